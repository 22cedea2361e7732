// A glyph's shape as the extended classifier compares it: the ink stretched to a square
// grid (so that size does not matter) and described by its coverage and by the directions
// of its edges, plus where the box stands on the line (which tells "o" from "O", "," from
// "'", "-" from "_").
#pragma once

#include <array>
#include <cstdint>

// Coverage on an 8x8 grid, then edge directions (8) on 4x4 zones.
inline constexpr int kCoverageBytes = 64;
inline constexpr int kDirectionBytes = 128;
inline constexpr int kShapeBytes = kCoverageBytes + kDirectionBytes;

// The box against its line, in line units: the x-height is 1 and the cap height 1.4 (so
// that faces with tall and short capitals compare alike); 0 is the baseline.
struct GlyphPlacement {
  float top = 0.0f, bottom = 0.0f;  // edges above the baseline (negative: below)
  float logAspect = 0.0f;           // log(width / height)
  float logWidth = 0.0f;            // log(width / x-height)
};

struct GlyphShape {
  std::array<uint8_t, kShapeBytes> bytes{};
  GlyphPlacement placement;
};

// The ink box of a glyph in whole pixels above the baseline: the top edge of the top row
// and the bottom edge of the bottom row (a letter standing on the baseline has bottom 0).
struct InkExtent {
  int32_t width = 0, height = 0;
  int32_t topEdge = 0, bottomEdge = 0;
};

// Places an ink box against a line whose x-height and cap height are given in pixels
// (capHeight 0: unknown).
GlyphPlacement PlaceOnLine(const InkExtent& extent, double xHeight, double capHeight);

// The shape bytes of `width` x `height` pixels of ink (row-major, nonzero is ink), which
// should be the glyph's tight box. Any size works: very large glyphs are sampled sparsely.
// False when there is no ink at all.
bool DescribeShape(const uint8_t* ink, int32_t width, int32_t height,
                   std::array<uint8_t, kShapeBytes>& bytes);

// Sum of absolute differences of two shapes' bytes.
uint32_t ShapeDistance(const uint8_t* a, const uint8_t* b);

// A shape's coverage on 4x4 cells: a first, cheap comparison that shortlists characters.
inline constexpr int kCoarseBytes = 16;
void CoarseShape(const uint8_t* shape, uint8_t* coarse);
uint32_t CoarseDistance(const uint8_t* a, const uint8_t* b);
