// Grid sampling and display for the learning recogniser.
#include "devtools/GridSampling.h"

#include <cmath>

GlyphGrid SampleGrid(const SampleLines& xs, const SampleLines& ys,
                     const std::function<bool(int32_t x, int32_t y)>& isInk) {
  GlyphGrid grid;
  auto blockStart = [](const SampleLines& lines, int index) {
    if (index == 0) return lines[0];
    int32_t start = lines[size_t(index) - 1] + 1;
    return start > lines[size_t(index)] ? lines[size_t(index)] : start;
  };
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      bool ink = false;
      for (int32_t y = blockStart(ys, i); y <= ys[size_t(i)] && !ink; ++y)
        for (int32_t x = blockStart(xs, j); x <= xs[size_t(j)] && !ink; ++x) ink = isInk(x, y);
      grid.at(j, i) = ink ? 0 : 255;
    }
  }
  return grid;
}

GlyphGrid SampleObjectImage(const RasterImage& image) {
  const int32_t w = DIBWidth(image), h = DIBHeight(image);
  if (!image.pixels || DIBBitCount(image) != 24 || w <= 0 || h <= 0) {
    GlyphGrid paper;
    for (int32_t& cell : paper.cells) cell = 255;
    return paper;
  }
  SampleLines xs, ys;
  for (int n = 0; n < kGridSize; ++n) {
    xs[size_t(n)] = int32_t(int64_t(w - 1) * n / 16);
    ys[size_t(n)] = int32_t(int64_t(h - 1) * n / 16);
  }
  return SampleGrid(xs, ys, [&](int32_t x, int32_t y) { return *DIBPixel24(image, x, y) == 0; });
}

SampleLines InkBoxSampleLines(int32_t minimum, int32_t maximum) {
  SampleLines lines;
  const double extent = double(maximum) - double(minimum);
  for (int n = 0; n < kGridSize; ++n)
    lines[size_t(n)] = int32_t(std::nearbyint(extent * n / 16 + minimum));
  return lines;
}

void DrawGridDisplay(Canvas& canvas, const GlyphGrid& grid, bool outline) {
  canvas.brushStyle = BrushStyle::Solid;
  canvas.penStyle = PenStyle::Solid;
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      uint32_t grey = uint32_t(grid.at(j, i)) & 0xFF;
      TColor color = grey | grey << 8 | grey << 16;
      canvas.brushColor = color;
      canvas.penColor = outline ? clBlack : color;
      // Right and bottom are exclusive: the square covers 10 j ... 10 j + 9.
      canvas.Rectangle(10 * j, 100 + 10 * i, 10 * j + 10, 110 + 10 * i);
    }
  }
}
