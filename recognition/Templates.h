// Glyph templates: the fonts the recogniser draws its templates with, and the steps that
// turn one drawn character into a 17 x 17 sample grid or a cropped glyph image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Canvas.h"
#include "core/RasterImage.h"
#include "platform/Fonts.h"
#include "recognition/GlyphTypes.h"

class SoftwareCanvas;

// The font of the glyph images ('0' ... 'z'): Arial, 16-pixel character height.
LogFont GlyphImageFontDescription();
// Template font f = 1 ... 4: Times New Roman, Arial, Times New Roman bold, Arial bold, all
// at a character height of 37 pixels.
LogFont TemplateFontDescription(int f);
// The files the four template fonts resolve to, font 1 first ("" for a font not found).
std::vector<std::string> TemplateFontFiles();

// The fonts of the window's font dialog components (0: the glyph images, 1 ... 4: the
// template fonts); they are created on first use and live as long as the program.
const PlatformFont* DialogFont(int index);

// Draws ch with the canvas font on `bitmap` (sized 2 x TextWidth by 2 x TextHeight) and
// samples its ink box at 17 x 17 points into `grid`. Returns false, leaving `grid`
// untouched, when the character has no positive extent in that font. A character without
// any ink gives an all-paper grid.
bool RenderTemplateGrid(SoftwareCanvas& bitmap, uint8_t ch, GlyphGrid* grid);

// Samples the ink box of the w x h area of `bitmap` (ink: GetPixel answers 0) at 17 x 17
// points from its first to its last pixel in each direction, positions rounded half to
// even. A box one pixel wide or high puts every sample of that axis on the same column or
// row. Without ink the grid becomes all paper.
void SampleInkBox(const Canvas& bitmap, int32_t w, int32_t h, GlyphGrid* grid);

// The ink box of a 24-bit image in memory rows (a pixel is ink when its blue byte is not
// 255). Returns false when the image has no ink.
bool FindInkBox24(const RasterImage& image, int32_t* minColumn, int32_t* minRow, int32_t* maxColumn,
                  int32_t* maxRow);
