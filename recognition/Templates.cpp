// Glyph templates: the template fonts, and a character drawn in one of them sampled into
// the grid that the matcher compares objects with.
#include "recognition/Templates.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/DrawDIB.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/GridMatcher.h"

LogFont GlyphImageFontDescription() {
  LogFont description;
  description.faceName = "Arial";
  description.height = -16;
  description.charSet = 0;  // ANSI
  return description;
}

LogFont TemplateFontDescription(int f) {
  LogFont description;
  description.faceName = (f == 1 || f == 3) ? "Times New Roman" : "Arial";
  description.height = -37;
  description.weight = f >= 3 ? 700 : 400;
  description.charSet = (f == 1 || f == 3) ? 0 : 1;  // ANSI for Times, default for Arial
  return description;
}

const PlatformFont* DialogFont(int index) {
  static std::unique_ptr<PlatformFont> fonts[5];
  if (!fonts[index])
    fonts[index].reset(PlatformFont::Create(index == 0 ? GlyphImageFontDescription()
                                                       : TemplateFontDescription(index)));
  return fonts[index].get();
}

std::vector<std::string> TemplateFontFiles() {
  std::vector<std::string> files;
  for (int f = 1; f <= kTemplateFonts; ++f)
    files.push_back(DialogFont(f) ? DialogFont(f)->FontFile() : "");
  return files;
}

namespace {

// Round half to even: the sampling positions j * bw / 16 + min hit exact halves.
int32_t RoundHalfEven(double value) {
  return int32_t(std::nearbyint(value));
}

}  // namespace

bool RenderTemplateGrid(SoftwareCanvas& bitmap, uint8_t ch, GlyphGrid* grid) {
  const std::string text(1, char(ch));
  bitmap.SetSize(0, 0);
  if (!bitmap.font) return false;
  const int32_t w = 2 * bitmap.font->TextWidth(text);
  const int32_t h = 2 * bitmap.font->TextHeight(text);
  if (w <= 0 || h <= 0) return false;
  bitmap.SetSize(w, h);
  bitmap.brushColor = clWhite;
  bitmap.brushStyle = BrushStyle::Solid;
  bitmap.penColor = clWhite;
  bitmap.Rectangle(0, 0, w, h);
  bitmap.fontColor = clBlack;
  bitmap.TextOut(0, 0, text);

  SampleInkBox(bitmap, w, h, grid);
  return true;
}

namespace {

// GetPixel on the bitmap, read straight from a software canvas's buffer when it is one:
// the ink scan reads every pixel of 280 glyph bitmaps per run.
template <class IsInk>
void SampleInkBoxWith(IsInk isInk, int32_t w, int32_t h, GlyphGrid* grid) {
  int32_t minX = w, minY = h, maxX = 0, maxY = 0;
  bool ink = false;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (!isInk(x, y)) continue;
      ink = true;
      minX = std::min(minX, x);
      minY = std::min(minY, y);
      maxX = std::max(maxX, x);
      maxY = std::max(maxY, y);
    }
  }
  if (!ink) {
    // Nothing to sample: a blank template rather than samples from an inverted box.
    for (int32_t& cell : grid->cells) cell = 255;
    return;
  }
  const int32_t bw = maxX - minX, bh = maxY - minY;
  for (int i = 0; i < kGridSize; ++i) {
    for (int j = 0; j < kGridSize; ++j) {
      const int32_t x = RoundHalfEven(double(j * bw) / 16.0 + minX);
      const int32_t y = RoundHalfEven(double(i * bh) / 16.0 + minY);
      grid->at(j, i) = isInk(x, y) ? 0 : 255;
    }
  }
}

}  // namespace

void SampleInkBox(const Canvas& bitmap, int32_t w, int32_t h, GlyphGrid* grid) {
  const auto* software = dynamic_cast<const SoftwareCanvas*>(&bitmap);
  if (software && w <= software->Width() && h <= software->Height()) {
    const std::vector<uint32_t>& pixels = software->Buffer();
    const int32_t stride = software->Width();
    const uint32_t black = SoftwareCanvas::ToPixel(clBlack);
    SampleInkBoxWith(
        [&](int32_t x, int32_t y) {
          return x >= 0 && y >= 0 && x < w && y < h && pixels[size_t(y) * stride + x] == black;
        },
        w, h, grid);
    return;
  }
  SampleInkBoxWith([&](int32_t x, int32_t y) { return bitmap.GetPixel(x, y) == 0; }, w, h, grid);
}

bool FindInkBox24(const RasterImage& image, int32_t* minColumn, int32_t* minRow, int32_t* maxColumn,
                  int32_t* maxRow) {
  if (!image.pixels || DIBBitCount(image) != 24) return false;
  const int32_t w = DIBWidth(image), h = DIBHeight(image);
  int32_t x0 = w, y0 = h, x1 = -1, y1 = -1;
  for (int32_t row = 0; row < h; ++row) {
    const uint8_t* p = DIBRow(image, row);
    for (int32_t x = 0; x < w; ++x) {
      if (p[3 * x] == 255) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, row);
      x1 = std::max(x1, x);
      y1 = std::max(y1, row);
    }
  }
  if (x1 < 0) return false;
  *minColumn = x0;
  *minRow = y0;
  *maxColumn = x1;
  *maxRow = y1;
  return true;
}
