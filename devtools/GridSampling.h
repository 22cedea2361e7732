// Sampling of an ink area onto a 17 x 17 GlyphGrid for the learning recogniser, and the
// grid's display on the page view.
//
// The area is cut by 17 vertical and 17 horizontal sample lines; cell (j, i) is ink when
// any ink pixel lies in its block, which ends at column xs[j] and row ys[i]. The block of
// cell 0 starts at the first line; every later block starts just after the previous line,
// or at its own line when the lines coincide (an area narrower than 17 pixels), so no
// block is ever empty and no ink between two lines is missed.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "core/Canvas.h"
#include "core/RasterImage.h"
#include "recognition/GlyphTypes.h"

using SampleLines = std::array<int32_t, kGridSize>;

// isInk(x, y): whether the pixel at column x, row y (from the top) is ink. The lines must
// rise (not strictly).
GlyphGrid SampleGrid(const SampleLines& xs, const SampleLines& ys,
                     const std::function<bool(int32_t x, int32_t y)>& isInk);

// Recog V2: lines (w - 1) * j div 16 and (h - 1) * i div 16 over a 24-bit object image; a
// pixel is ink when its first byte is 0. An image that is null or not 24 bits gives an
// all-paper grid.
GlyphGrid SampleObjectImage(const RasterImage& image);

// Auto learn: lines bw * j / 16 + minX and bh * i / 16 + minY rounded half to even over the
// ink box (minX, minY)-(maxX, maxY).
SampleLines InkBoxSampleLines(int32_t minimum, int32_t maximum);

// Each cell as a 10-pixel square from (10 j, 100 + 10 i), in the cell's grey; outlined in
// black or without outline.
void DrawGridDisplay(Canvas& canvas, const GlyphGrid& grid, bool outline);
