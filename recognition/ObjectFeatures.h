// What the classifier measures on one object: its 17 x 17 sample grid with the zone
// counts, and structural features of the full-resolution image.
#pragma once

#include <cstdint>

#include "core/RasterImage.h"
#include "recognition/GlyphTypes.h"

struct ObjectFeatures {
  int32_t width = 0, height = 0;  // of the image
  double aspect = 0;              // width / height
  // Ink cells of the grid in zones (x column, y row of the grid).
  int32_t upperMid = 0;     // 5 <= x <= 10, y <= 7
  int32_t lowerMid = 0;     // 5 <= x <= 10, y >= 9
  int32_t leftMid = 0;      // 5 <= y <= 10, x <= 7
  int32_t rightMid = 0;     // 5 <= y <= 10, x >= 9
  int32_t rightTop = 0;     // x >= 11, y <= 3
  int32_t rightBottom = 0;  // x >= 11, y >= 13
  bool midBar = false;      // a grid row 6 ... 10 with at least 14 of 17 cells ink
  // Of the image (y from the top; all divisions truncate).
  bool bottomBar = false;        // a row y > 8h div 10 with more than 0.8 w ink pixels
  bool topBar = false;           // a row with h - 1 - y > 8h div 10, more than 0.75 w ink
  bool bottomFull = false;       // columns w div 3 ... 2w div 3 all have ink in the bottom third
  bool topGap = false;           // one of those columns has no ink in rows 0 ... h div 3
  bool upperRightEmpty = false;  // no ink in rows 2h div 10 ... 3h div 10, columns w div 2 ...
  bool lowerRightEmpty = false;  // no ink in rows 7h div 10 ... 8h div 10, columns w div 2 ...
  int32_t strokes = 0;           // (A + 1) div 2, A = paper/ink changes per row, rounded
};

// Samples `image` (24 bits; a pixel is ink when its first byte is 0) onto `grid` and
// measures every feature. An image without pixels gives an all-paper grid and the
// features of an empty picture.
void MeasureObject(const RasterImage& image, GlyphGrid* grid, ObjectFeatures* features);
