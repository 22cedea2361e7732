#include "layout/ObjectSearch.h"

#include <algorithm>
#include <cstring>

#include "core/RowBands.h"

namespace {

// Row of page (or map) row y, y counted from the top.
inline uint8_t* PageRow(const RasterImage& image, int32_t height, int32_t y) {
  return DIBRow(image, height - 1 - y);
}

inline uint8_t MarkOfPixel(const uint8_t* p) {
  return (p[0] | p[1] | p[2]) == 0 ? kInkUnvisited : kPaperOrTaken;
}

// True when the 8 pixels (24 bytes) at `p` are all white paper.
inline bool IsPaper8(const uint8_t* p) {
  uint64_t a, b, c;
  std::memcpy(&a, p, 8);
  std::memcpy(&b, p + 8, 8);
  std::memcpy(&c, p + 16, 8);
  return (a & b & c) == ~uint64_t(0);
}

}  // namespace

RasterImage DuplicateImage(const RasterImage& source, ImageMaker make) {
  RasterImage copy{};
  if (!source.pixels || !source.header) return copy;
  const int32_t bits = DIBBitCount(source);
  const int64_t colors = PowerOfTwo(bits);
  make(&copy, DIBWidth(source), DIBHeight(source), bits, source.header,
       colors <= 256 ? int32_t(colors) : 0);
  if (!copy.pixels) return copy;
  const int32_t height = DIBHeight(source);
  if (copy.stride == source.stride) {
    std::memcpy(copy.pixels, source.pixels, size_t(height) * size_t(source.stride));
  } else {
    const size_t rowBytes = size_t(std::min(copy.stride, source.stride));
    for (int32_t row = 0; row < height; ++row)
      std::memcpy(DIBRow(copy, row), DIBRow(source, row), rowBytes);
  }
  return copy;
}

RasterImage MakeSearchMap(const RasterImage& page, ImageMaker make) {
  RasterImage map{};
  if (!page.pixels || !page.header || DIBBitCount(page) != 24) return map;
  const int32_t width = DIBWidth(page), height = DIBHeight(page);
  make(&map, width, height, 8, nullptr, 0);
  if (!map.pixels) return map;
  InTwoBands(height, [&](int32_t first, int32_t end, size_t) {
    for (int32_t row = first; row < end; ++row) {
      const uint8_t* p = DIBRow(page, row);
      uint8_t* mark = DIBRow(map, row);
      int32_t x = 0;
      // Paper dominates a page: eight white pixels are passed at once.
      for (; x + 8 <= width; x += 8, p += 24) {
        if (IsPaper8(p)) {
          std::memset(mark + x, kPaperOrTaken, 8);
          continue;
        }
        for (int32_t k = 0; k < 8; ++k) mark[x + k] = MarkOfPixel(p + 3 * k);
      }
      for (; x < width; ++x, p += 3) mark[x] = MarkOfPixel(p);
    }
  });
  return map;
}

void FillObject(RasterImage& map, int32_t x, int32_t y, FillBounds& bounds,
                std::vector<FillSeed>& work, SpanListener* listener) {
  const int32_t width = DIBWidth(map), height = DIBHeight(map);
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  work.clear();
  work.push_back({x, y});
  // Each seed stands for the whole horizontal run of ink it lies in; a seed whose pixel
  // has been marked meanwhile belongs to a run already walked.
  while (!work.empty()) {
    const FillSeed seed = work.back();
    work.pop_back();
    uint8_t* row = PageRow(map, height, seed.y);
    if (row[seed.x] != kInkUnvisited) continue;
    if (listener) listener->Span();
    int32_t left = seed.x;
    while (left >= 0 && row[left] == kInkUnvisited) row[left--] = kInkVisited;
    ++left;
    int32_t right = seed.x + 1;
    while (right < width && row[right] == kInkUnvisited) row[right++] = kInkVisited;
    --right;
    bounds.minX = std::min(bounds.minX, left);
    bounds.maxX = std::max(bounds.maxX, right);
    bounds.minY = std::min(bounds.minY, seed.y);
    bounds.maxY = std::max(bounds.maxY, seed.y);
    bounds.ink += right - left + 1;
    ++bounds.rowRuns;
    // A pixel starts a vertical run unless the pixel above it is ink; ink that touches
    // this object belongs to it, so anything but paper (or taken ink) above counts.
    int64_t inkAbove = 0;
    for (int32_t ny : {seed.y + 1, seed.y - 1}) {
      if (ny < 0 || ny >= height) continue;
      const uint8_t* next = PageRow(map, height, ny);
      bool inRun = false;
      for (int32_t c = left; c <= right; ++c) {
        const bool ink = next[c] == kInkUnvisited;
        if (ink && !inRun) work.push_back({c, ny});
        inRun = ink;
        if (ny < seed.y) inkAbove += next[c] != kPaperOrTaken;
      }
    }
    bounds.columnRuns += right - left + 1 - inkAbove;
  }
}

bool IsDrawing(const FillBounds& bounds) {
  const int64_t w = bounds.maxX - bounds.minX + 1, h = bounds.maxY - bounds.minY + 1;
  if (w < kDrawingMinSide || h < kDrawingMinSide) return false;
  // size > ratio * ink / runs, without the division.
  return std::max(w, h) * (bounds.rowRuns + bounds.columnRuns) > kDrawingStrokeRatio * bounds.ink;
}

void TakeObjectMarks(RasterImage& map, const FillBounds& bounds) {
  const int32_t mapHeight = DIBHeight(map);
  for (int32_t y = bounds.minY; y <= bounds.maxY; ++y) {
    uint8_t* mark = PageRow(map, mapHeight, y);
    for (int32_t x = bounds.minX; x <= bounds.maxX; ++x)
      if (mark[x] == kInkVisited) mark[x] = kPaperOrTaken;
  }
}

bool CutOutObject(RasterImage& map, const FillBounds& bounds, RasterImage* image, ImageMaker make) {
  const int32_t w = bounds.maxX - bounds.minX + 1, h = bounds.maxY - bounds.minY + 1;
  make(image, w, h, 24, nullptr, 0);
  if (!image->pixels) {
    deldib(image);
    return false;
  }
  const int32_t mapHeight = DIBHeight(map);
  for (int32_t r = 0; r < h; ++r) {
    uint8_t* mark = PageRow(map, mapHeight, bounds.minY + r) + bounds.minX;
    uint8_t* dest = DIBPixel24(*image, 0, r);
    for (int32_t c = 0; c < w; ++c, ++mark, dest += 3) {
      if (*mark == kInkVisited)
        *mark = kPaperOrTaken;  // the image pixel stays black
      else
        dest[0] = dest[1] = dest[2] = 255;
    }
  }
  return true;
}

bool IsRoundDot(const RasterImage& image) {
  if (!image.pixels) return false;
  const int32_t w = DIBWidth(image), h = DIBHeight(image);
  if (w <= 0 || h <= 0) return false;
  const double ratio = double(w) / double(h);
  if (ratio < 0.5 || ratio > 1.5) return false;
  const int32_t cx = w / 2, cy = h / 2;
  const int32_t radius = (2 * std::min(cx, cy)) / 3;
  // Trunc(sqrt(d2)) <= radius exactly when d2 < (radius + 1)^2, d2 being an integer.
  const int64_t limit = int64_t(radius + 1) * (radius + 1);
  int64_t inside = 0, black = 0;
  for (int32_t r = 0; r < h; ++r) {
    const int64_t dy2 = int64_t(r - cy) * (r - cy);
    if (dy2 >= limit) continue;
    const uint8_t* p = DIBPixel24(image, 0, r);
    for (int32_t c = 0; c < w; ++c) {
      if (dy2 + int64_t(c - cx) * (c - cx) >= limit) continue;
      ++inside;
      if (p[3 * c] == 0) ++black;
    }
  }
  return inside > 0 && double(black) / double(inside) > 0.9;
}
