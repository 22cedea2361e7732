// Glyph records: rendered character images and the 17 x 17 sample grids.
#pragma once

#include <cstdint>

#include "core/RasterImage.h"

constexpr int kGridSize = 17;
constexpr int kGridCells = kGridSize * kGridSize;

// 0 for ink, 255 for paper; cell (x, y), row 0 at the top, at index x * 17 + y.
struct GlyphGrid {
  int32_t cells[kGridCells];
  int32_t& at(int x, int y) { return cells[x * kGridSize + y]; }
  int32_t at(int x, int y) const { return cells[x * kGridSize + y]; }
};

// A glyph rendered from a font, cropped to its ink. Owns `image` (released with deldib).
struct GlyphImage {
  RasterImage image;  // 24 bits, black ink on white paper
  uint8_t charCode;   // Windows-1252 code, '0' ... 'z'
};

constexpr int kAlphabetSize = 70;
constexpr int kTemplateFonts = 4;

// The templates of one recognition run: [character index 1...70 - 1][font 1...4 - 1].
struct TemplateSet {
  GlyphGrid grids[kAlphabetSize][kTemplateFonts];
};
