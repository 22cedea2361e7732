// The black/white threshold rule: histogram, paper level, peak suppression, separation
// distance, and the table-driven conversion of a 24-bit picture.
#include "app/Threshold.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/RowBands.h"

namespace {

// Minor peaks nearer than this many levels to a greater one are dropped.
constexpr int32_t kPeakNeighbourhood = 64;

int32_t GreyOfColor(uint8_t red, uint8_t green, uint8_t blue) {
  return (int32_t(blue) + green + red) / 3;
}

// Channel sums of a 24-bit pixel: 0 ... 765.
constexpr int32_t kSumCount = 766;

// True when the 8 pixels (24 bytes) at `p` are all the same grey: 24 equal bytes.
inline bool IsGreyRun8(const uint8_t* p) {
  uint64_t a, b, c;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 8);
  std::memcpy(&c, p + 16, 8);
  return a == b && b == c && a == (a & 0xFF) * 0x0101010101010101u;
}

// Channel sums of the rows [first, end) of a 24-bit picture. Four partial tables let
// neighbouring pixels of the same level count without waiting on each other's store;
// eight equal grey pixels (most of a page) count at once.
using SumCounts = std::array<std::array<uint32_t, kSumCount>, 4>;
void CountSums(const RasterImage& picture, int32_t first, int32_t end, SumCounts* part) {
  const int32_t w = DIBWidth(picture);
  for (int32_t row = first; row < end; ++row) {
    const uint8_t* p = DIBRow(picture, row);
    int32_t x = 0;
    for (; x + 8 <= w; x += 8, p += 24) {
      if (IsGreyRun8(p)) {
        (*part)[0][3 * p[0]] += 8;
        continue;
      }
      for (int32_t k = 0; k < 24; k += 12) {
        ++(*part)[0][p[k] + p[k + 1] + p[k + 2]];
        ++(*part)[1][p[k + 3] + p[k + 4] + p[k + 5]];
        ++(*part)[2][p[k + 6] + p[k + 7] + p[k + 8]];
        ++(*part)[3][p[k + 9] + p[k + 10] + p[k + 11]];
      }
    }
    for (; x < w; ++x, p += 3) ++(*part)[0][p[0] + p[1] + p[2]];
  }
}

}  // namespace

void HistogramOfPicture(const RasterImage& picture, GreyHistogram* histogram) {
  histogram->fill(0);
  if (!picture.pixels || !picture.header) return;
  const int32_t w = DIBWidth(picture), h = DIBHeight(picture);
  if (DIBBitCount(picture) == 24) {
    // Counted by channel sum (0 ... 765), each band on its own, and folded into levels at
    // the end: level = sum div 3.
    std::array<SumCounts, 2> bands{};
    InTwoBands(h, [&](int32_t first, int32_t end, size_t band) {
      CountSums(picture, first, end, &bands[band]);
    });
    for (int32_t sum = 0; sum < kSumCount; ++sum)
      for (const SumCounts& part : bands)
        (*histogram)[sum / 3] += int32_t(part[0][sum] + part[1][sum] + part[2][sum] + part[3][sum]);
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
  // The table by channel sum, so that no pixel needs a division.
  std::array<uint8_t, kSumCount> bySum;
  for (int32_t sum = 0; sum < kSumCount; ++sum) bySum[sum] = table[sum / 3];
  InTwoBands(h, [&](int32_t first, int32_t end, size_t) {
    for (int32_t row = first; row < end; ++row) {
      const uint8_t* p = DIBRow(picture, row);
      uint8_t* q = DIBRow(*bw, row);
      int32_t x = 0;
      for (; x + 8 <= w; x += 8, p += 24, q += 24) {
        if (IsGreyRun8(p)) {
          std::memset(q, table[p[0]], 24);
          continue;
        }
        for (int32_t k = 0; k < 24; k += 3)
          q[k] = q[k + 1] = q[k + 2] = bySum[p[k] + p[k + 1] + p[k + 2]];
      }
      for (; x < w; ++x, p += 3, q += 3) q[0] = q[1] = q[2] = bySum[p[0] + p[1] + p[2]];
    }
  });
}
