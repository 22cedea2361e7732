// Sampling one object onto its grid and measuring its structural features.
#include "recognition/ObjectFeatures.h"

#include <algorithm>
#include <cmath>

void MeasureObject(const RasterImage& image, GlyphGrid* grid, ObjectFeatures* features) {
  *features = ObjectFeatures{};
  const bool valid = image.pixels && DIBWidth(image) > 0 && DIBHeight(image) > 0;
  const int32_t w = valid ? DIBWidth(image) : 1, h = valid ? DIBHeight(image) : 1;
  const int32_t bitCount = valid ? DIBBitCount(image) : 0;
  features->width = w;
  features->height = h;
  features->aspect = double(w) / double(h);
  // A pixel is ink when its first byte is 0 (24 bits); other depths count palette index
  // or colour 0 as ink. y counts from the top; memory rows run bottom-up.
  const uint8_t* const top = valid ? DIBRow(image, h - 1) : nullptr;
  const int64_t step = valid ? -int64_t(image.stride) : 0;
  auto ink = [&](int32_t x, int32_t y) {
    if (bitCount == 24) return top[y * step + 3 * int64_t(x)] == 0;
    return valid && getpixel(image, x, y) == 0;
  };

  // The grid and its zone counts.
  int32_t rowInk[kGridSize] = {};
  for (int32_t& cell : grid->cells) cell = 0;
  for (int y = 0; y < kGridSize; ++y) {
    const int32_t py = (h - 1) * y / 16;
    for (int x = 0; x < kGridSize; ++x) {
      const int32_t px = (w - 1) * x / 16;
      const bool isInk = ink(px, py);
      grid->at(x, y) = isInk ? 0 : 255;
      if (!isInk) continue;
      ++rowInk[y];
      if (x >= 5 && x <= 10 && y <= 7) ++features->upperMid;
      if (x >= 5 && x <= 10 && y >= 9) ++features->lowerMid;
      if (y >= 5 && y <= 10 && x <= 7) ++features->leftMid;
      if (y >= 5 && y <= 10 && x >= 9) ++features->rightMid;
      if (x >= 11 && y <= 3) ++features->rightTop;
      if (x >= 11 && y >= 13) ++features->rightBottom;
    }
  }
  int32_t widestMidRow = 0;
  for (int y = 6; y <= 10; ++y) widestMidRow = std::max(widestMidRow, rowInk[y]);
  features->midBar = double(widestMidRow) / 17.0 > 0.8;

  // Row features: bars and stroke changes.
  int32_t widestBottom = 0, widestTop = 0;
  int64_t changes = 0;
  const int32_t barLimit = 8 * h / 10;
  for (int32_t y = 0; y < h; ++y) {
    int32_t count = 0;
    bool previous = false;  // every row starts as paper
    if (bitCount == 24) {
      // The hot case, read straight from the row.
      const uint8_t* p = top + y * step;
      for (int32_t x = 0; x < w; ++x, p += 3) {
        const bool isInk = *p == 0;
        count += isInk;
        changes += isInk != previous;
        previous = isInk;
      }
    } else {
      for (int32_t x = 0; x < w; ++x) {
        const bool isInk = ink(x, y);
        count += isInk;
        changes += isInk != previous;
        previous = isInk;
      }
    }
    if (y > barLimit) widestBottom = std::max(widestBottom, count);
    if (h - 1 - y > barLimit) widestTop = std::max(widestTop, count);
  }
  features->bottomBar = double(widestBottom) / double(w) > 0.8;
  features->topBar = double(widestTop) / double(w) > 0.75;
  const int32_t a = int32_t(std::nearbyint(double(changes) / double(h)));
  features->strokes = (a + 1) / 2;

  // Column features over the middle third.
  bool bottomFull = true, topGap = false;
  for (int32_t x = w / 3; x <= 2 * w / 3; ++x) {
    bool bottomInk = false;
    for (int32_t y = h - 1 - h / 3; y <= h - 1 && !bottomInk; ++y) bottomInk = ink(x, y);
    if (!bottomInk) bottomFull = false;
    bool topInk = false;
    for (int32_t y = 0; y <= h / 3 && !topInk; ++y) topInk = ink(x, y);
    if (!topInk) topGap = true;
  }
  features->bottomFull = bottomFull;
  features->topGap = topGap;

  auto emptyBand = [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = w / 2; x <= w - 1; ++x)
        if (ink(x, y)) return false;
    return true;
  };
  features->upperRightEmpty = emptyBand(2 * h / 10, 3 * h / 10);
  features->lowerRightEmpty = emptyBand(7 * h / 10, 8 * h / 10);
}
