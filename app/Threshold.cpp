// The black/white threshold rule: histogram, paper level, peak suppression, separation
// distance, and the table-driven conversion of a 24-bit picture.
#include "app/Threshold.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Minor peaks nearer than this many levels to a greater one are dropped.
constexpr int32_t kPeakNeighbourhood = 64;

int32_t GreyOfColor(uint8_t red, uint8_t green, uint8_t blue) {
  return (int32_t(blue) + green + red) / 3;
}

}  // namespace

void HistogramOfPicture(const RasterImage& picture, GreyHistogram* histogram) {
  histogram->fill(0);
  if (!picture.pixels || !picture.header) return;
  const int32_t w = DIBWidth(picture), h = DIBHeight(picture);
  if (DIBBitCount(picture) == 24) {
    // Four partial histograms let consecutive pixels of the same level count without
    // waiting on each other's store.
    std::array<std::array<uint32_t, 256>, 4> part{};
    for (int32_t row = 0; row < h; ++row) {
      const uint8_t* p = DIBRow(picture, row);
      int32_t x = 0;
      for (; x + 4 <= w; x += 4, p += 12) {
        ++part[0][(p[0] + p[1] + p[2]) / 3u];
        ++part[1][(p[3] + p[4] + p[5]) / 3u];
        ++part[2][(p[6] + p[7] + p[8]) / 3u];
        ++part[3][(p[9] + p[10] + p[11]) / 3u];
      }
      for (; x < w; ++x, p += 3) ++part[0][(p[0] + p[1] + p[2]) / 3u];
    }
    for (int32_t i = 0; i < 256; ++i)
      (*histogram)[i] = int32_t(part[0][i] + part[1][i] + part[2][i] + part[3][i]);
    return;
  }
  const bool indexed = DIBBitCount(picture) <= 8;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = getpixel(picture, x, y);
      if (indexed) {
        const LogPaletteEntry& e = picture.logPalette.entries[v & 0xFF];
        ++(*histogram)[GreyOfColor(e.red, e.green, e.blue)];
      } else {
        ++(*histogram)[GreyOfColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF)];
      }
    }
}

ThresholdResult ThresholdOfHistogram(const GreyHistogram& histogram, int32_t separationPercent,
                                     PeakTable* peaks) {
  ThresholdResult result;
  // Paper: the most frequent level; the strict comparison keeps the lowest on ties.
  result.histogramMax = histogram[0];
  for (int32_t i = 1; i < 256; ++i)
    if (histogram[i] > result.histogramMax) {
      result.histogramMax = histogram[i];
      result.paperLevel = i;
    }

  for (int32_t i = 0; i < 256; ++i) (*peaks)[i] = {histogram[i], i};
  // In level order, against the table as it stands: a level already dropped counts 0.
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t low = std::max(0, i - kPeakNeighbourhood + 1);
    const int32_t high = std::min(255, i + kPeakNeighbourhood - 1);
    for (int32_t j = low; j <= high; ++j)
      if (j != i && (*peaks)[j][0] > (*peaks)[i][0]) {
        (*peaks)[i][0] = 0;
        break;
      }
  }

  for (int32_t i = 0; i < 256; ++i)
    if ((*peaks)[i][0] != 0 && i != result.paperLevel)
      result.peakDistance = std::min(result.peakDistance, std::abs(i - result.paperLevel));

  // Halves go to the even neighbour (127.5 -> 128, 0.5 -> 0).
  result.separation =
      int32_t(std::nearbyint(double(int64_t(separationPercent) * result.peakDistance) / 100.0));
  return result;
}

std::array<uint8_t, 256> BlackWhiteTable(int32_t paperLevel, int32_t separation) {
  std::array<uint8_t, 256> table{};
  for (int32_t g = 0; g < 256; ++g)
    table[g] = (g == paperLevel || std::abs(g - paperLevel) < separation) ? 255 : 0;
  return table;
}

void RenderBlackWhite(const RasterImage& picture, const std::array<uint8_t, 256>& table,
                      RasterImage* bw) {
  if (!picture.pixels || !bw->pixels) return;
  const int32_t w = DIBWidth(picture), h = DIBHeight(picture);
  if (DIBWidth(*bw) != w || DIBHeight(*bw) != h || DIBBitCount(*bw) != 24) return;
  if (DIBBitCount(picture) != 24) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t v = getpixel(picture, x, y);
        int32_t grey;
        if (DIBBitCount(picture) <= 8) {
          const LogPaletteEntry& e = picture.logPalette.entries[v & 0xFF];
          grey = GreyOfColor(e.red, e.green, e.blue);
        } else {
          grey = GreyOfColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
        }
        uint8_t* q = DIBPixel24(*bw, x, y);
        q[0] = q[1] = q[2] = table[grey];
      }
    return;
  }
  for (int32_t row = 0; row < h; ++row) {
    const uint8_t* p = DIBRow(picture, row);
    uint8_t* q = DIBRow(*bw, row);
    for (int32_t x = 0; x < w; ++x, p += 3, q += 3) {
      const uint8_t v = table[(p[0] + p[1] + p[2]) / 3u];
      q[0] = v;
      q[1] = v;
      q[2] = v;
    }
  }
}
