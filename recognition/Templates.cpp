// Fonts and glyph templates: the font list of the installed typefaces, the glyph images
// '0' ... 'z' of the developer recognisers, and the 70 x 4 template grids that every
// recognition run builds afresh.
#include "recognition/Templates.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/MainUnit.h"
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

namespace {

// The fonts of the window's font dialog components live as long as the program; they are
// created on first use.
const PlatformFont* DialogFont(int index) {
  static std::unique_ptr<PlatformFont> fonts[5];
  if (!fonts[index])
    fonts[index].reset(PlatformFont::Create(index == 0 ? GlyphImageFontDescription()
                                                       : TemplateFontDescription(index)));
  return fonts[index].get();
}

}  // namespace

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

int32_t TMainForm::FontEnumCallback(const LogFont* logFont) {
  if (!logFont) return 1;
  LogFont description = *logFont;
  description.height = 24;
  for (int32_t weight : {400, 700}) {
    for (bool italic : {false, true}) {
      description.weight = weight;
      description.italic = italic;
      // A font that cannot be made is stored as null, as the platform answered.
      *fontHandles.Add() = PlatformFont::Create(description);
    }
  }
  return 1;
}

void TMainForm::EnumerateFonts() {
  for (const LogFont& typeface : EnumerateTypefaces()) FontEnumCallback(&typeface);
}

void TMainForm::ReleaseFonts() {
  for (int32_t i = 0; i < fontHandles.Count; ++i) {
    PlatformFont** handle = fontHandles.At(i);
    delete *handle;
    *handle = nullptr;
  }
}

void TMainForm::GenerateDibs() {
  SoftwareCanvas bitmap;
  bitmap.font = DialogFont(0);
  bitmap.brushColor = clWhite;
  bitmap.brushStyle = BrushStyle::Solid;
  bitmap.fontColor = clBlack;
  for (int32_t c = kFirstGlyphChar; c <= kLastGlyphChar; ++c) {
    const std::string text(1, char(c));
    bitmap.SetSize(0, 0);
    const int32_t w = bitmap.font ? bitmap.font->TextWidth(text) : 0;
    const int32_t h = bitmap.font ? bitmap.font->TextHeight(text) : 0;
    if (w <= 0 || h <= 0) continue;
    bitmap.SetSize(w, h);
    bitmap.TextOut(0, 0, text);

    GlyphImage* glyph = glyphImages.Add();
    glyph->charCode = uint8_t(c);
    newdib(&glyph->image, w, h, 24, nullptr, 0);
    if (!glyph->image.pixels) continue;  // out of memory: the record keeps no image
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const TColor color = bitmap.GetPixel(x, y);
        uint8_t* p = DIBPixel24(glyph->image, x, y);
        p[0] = uint8_t(color >> 16);
        p[1] = uint8_t(color >> 8);
        p[2] = uint8_t(color);
      }
    }

    int32_t minColumn, minRow, maxColumn, maxRow;
    if (FindInkBox24(glyph->image, &minColumn, &minRow, &maxColumn, &maxRow)) {
      RasterImage cropped{};
      newdib(&cropped, maxColumn - minColumn + 1, maxRow - minRow + 1, 24, nullptr, 0);
      if (cropped.pixels) {
        for (int32_t r = 0; r <= maxRow - minRow; ++r)
          std::memcpy(DIBRow(cropped, r), DIBRow(glyph->image, r + minRow) + 3 * minColumn,
                      size_t(3) * size_t(maxColumn - minColumn + 1));
        deldib(&glyph->image);
        glyph->image = cropped;
      }
    }
    const int32_t iw = DIBWidth(glyph->image), ih = DIBHeight(glyph->image);
    DrawDIB(window.PaintBox1Canvas(), 0, 0, iw, ih, glyph->image, 0, 0, iw, ih, RasterOp::Copy);
  }
}

void TMainForm::BitBtn2Click() {
  GenerateDibs();
}

void TMainForm::BuildTemplateSet(SoftwareCanvas& bitmap) {
  if (!templateSet) return;
  bitmap.SetSize(0, 0);
  bitmap.SetSize(10, 10);
  for (int f = 1; f <= kTemplateFonts; ++f) {
    bitmap.font = DialogFont(f);
    for (int c = 1; c <= kAlphabetSize; ++c) {
      if (RenderTemplateGrid(bitmap, AlphabetChar(c), &templateScratch))
        templateSet->grids[c - 1][f - 1] = templateScratch;
    }
  }
  bitmap.font = nullptr;
  TemplateSetChanged();
}
