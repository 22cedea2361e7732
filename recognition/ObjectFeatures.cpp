// Sampling one object onto its grid and measuring its structural features.
#include "recognition/ObjectFeatures.h"

#include <algorithm>
#include <cmath>

namespace {

// Reads the ink of an object image: a pixel is ink when its first byte is 0 (24 bits);
// other depths count palette index or colour 0 as ink. y counts from the top; memory rows
// run bottom-up. An image without pixels reads as one pixel of paper.
struct InkReader {
  explicit InkReader(const RasterImage& image)
      : image(image),
        valid(image.pixels && DIBWidth(image) > 0 && DIBHeight(image) > 0),
        w(valid ? DIBWidth(image) : 1),
        h(valid ? DIBHeight(image) : 1),
        bitCount(valid ? DIBBitCount(image) : 0),
        top(valid ? DIBRow(image, h - 1) : nullptr),
        step(valid ? -int64_t(image.stride) : 0) {}
  bool operator()(int32_t x, int32_t y) const {
    if (bitCount == 24) return top[y * step + 3 * int64_t(x)] == 0;
    return valid && getpixel(image, x, y) == 0;
  }
  const RasterImage& image;
  const bool valid;
  const int32_t w, h, bitCount;
  const uint8_t* const top;
  const int64_t step;
};

// The 17 x 17 grid, the ink counts of its zones and the middle bar.
void SampleGrid(const InkReader& ink, GlyphGrid* grid, ObjectFeatures* features) {
  int32_t rowInk[kGridSize] = {};
  for (int32_t& cell : grid->cells) cell = 0;
  for (int y = 0; y < kGridSize; ++y) {
    const int32_t py = (ink.h - 1) * y / 16;
    for (int x = 0; x < kGridSize; ++x) {
      const int32_t px = (ink.w - 1) * x / 16;
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
}

// Ink pixels of row y and the ink/paper changes along it (a row starts as paper).
void CountRow(const InkReader& ink, int32_t y, int32_t* count, int64_t* changes) {
  bool previous = false;
  if (ink.bitCount == 24) {
    // The hot case, read straight from the row.
    const uint8_t* p = ink.top + y * ink.step;
    for (int32_t x = 0; x < ink.w; ++x, p += 3) {
      const bool isInk = *p == 0;
      *count += isInk;
      *changes += isInk != previous;
      previous = isInk;
    }
    return;
  }
  for (int32_t x = 0; x < ink.w; ++x) {
    const bool isInk = ink(x, y);
    *count += isInk;
    *changes += isInk != previous;
    previous = isInk;
  }
}

// Row features: the bars at the bottom and top and the number of strokes.
void MeasureRows(const InkReader& ink, ObjectFeatures* features) {
  const int32_t w = ink.w, h = ink.h;
  int32_t widestBottom = 0, widestTop = 0;
  int64_t changes = 0;
  const int32_t barLimit = 8 * h / 10;
  for (int32_t y = 0; y < h; ++y) {
    int32_t count = 0;
    CountRow(ink, y, &count, &changes);
    if (y > barLimit) widestBottom = std::max(widestBottom, count);
    if (h - 1 - y > barLimit) widestTop = std::max(widestTop, count);
  }
  features->bottomBar = double(widestBottom) / double(w) > 0.8;
  features->topBar = double(widestTop) / double(w) > 0.75;
  const int32_t a = int32_t(std::nearbyint(double(changes) / double(h)));
  features->strokes = (a + 1) / 2;
}

// Column features over the middle third: ink in every column's lower third, a column
// without ink in its upper third.
void MeasureMiddleColumns(const InkReader& ink, ObjectFeatures* features) {
  const int32_t w = ink.w, h = ink.h;
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
}

// No ink in the right half of rows y0 ... y1.
bool RightBandEmpty(const InkReader& ink, int32_t y0, int32_t y1) {
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = ink.w / 2; x <= ink.w - 1; ++x)
      if (ink(x, y)) return false;
  return true;
}

}  // namespace

void MeasureObject(const RasterImage& image, GlyphGrid* grid, ObjectFeatures* features) {
  *features = ObjectFeatures{};
  const InkReader ink(image);
  const int32_t h = ink.h;
  features->width = ink.w;
  features->height = h;
  features->aspect = double(ink.w) / double(h);
  SampleGrid(ink, grid, features);
  MeasureRows(ink, features);
  MeasureMiddleColumns(ink, features);
  features->upperRightEmpty = RightBandEmpty(ink, 2 * h / 10, 3 * h / 10);
  features->lowerRightEmpty = RightBandEmpty(ink, 7 * h / 10, 8 * h / 10);
}
