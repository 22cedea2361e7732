// The window's fonts and glyph templates: the font list of the installed typefaces, the
// glyph images '0' ... 'z' of the developer recognisers, and the 70 x 4 template grids that
// every recognition run builds afresh.
#include <cstring>

#include "app/MainUnit.h"
#include "core/DrawDIB.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/Templates.h"

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
