// A glyph's shape as the extended classifier compares it: the ink stretched to a square
// grid (so that size does not matter) and described by its coverage and by the directions
// of its edges, plus where the box stands on the line (which tells "o" from "O", "," from
// "'", "-" from "_").
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Coverage on a square grid, then edge directions (8) on 4x4 zones.
inline constexpr int kCoverageSide = 8;
inline constexpr int kCoverageBytes = kCoverageSide * kCoverageSide;
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

// Sum of absolute differences of two shapes' bytes (inline: the classifier calls it for
// hundreds of templates per glyph).
inline uint32_t ShapeDistance(const uint8_t* a, const uint8_t* b) {
#ifdef __SSE2__
  __m128i sum = _mm_setzero_si128();
  for (int i = 0; i < kShapeBytes; i += 16) {
    __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    sum = _mm_add_epi64(sum, _mm_sad_epu8(va, vb));
  }
  return uint32_t(_mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_srli_si128(sum, 8)));
#else
  uint32_t sum = 0;
  for (int i = 0; i < kShapeBytes; ++i) sum += uint32_t(std::abs(int(a[i]) - int(b[i])));
  return sum;
#endif
}

// A shape's coverage on 4x4 cells: a first, cheap comparison that shortlists characters.
inline constexpr int kCoarseBytes = 16;
void CoarseShape(const uint8_t* shape, uint8_t* coarse);
inline uint32_t CoarseDistance(const uint8_t* a, const uint8_t* b) {
#ifdef __SSE2__
  __m128i sad = _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  return uint32_t(_mm_cvtsi128_si32(sad) + _mm_cvtsi128_si32(_mm_srli_si128(sad, 8)));
#else
  uint32_t sum = 0;
  for (int i = 0; i < kCoarseBytes; ++i) sum += uint32_t(std::abs(int(a[i]) - int(b[i])));
  return sum;
#endif
}

// The distance of two glyphs: shape (in units of a mean difference of 40 per byte) plus
// placement (in line units, mostly the difference of the top and bottom edges).
inline constexpr float kShapeUnit = 40.0f * kShapeBytes;
inline float PlacementDistance(const GlyphPlacement& a, float top, float bottom, float logAspect,
                               float logWidth) {
  auto difference = [](float x, float y) { return x > y ? x - y : y - x; };
  return difference(a.top, top) + difference(a.bottom, bottom) +
         0.3f * difference(a.logAspect, logAspect) + 0.2f * difference(a.logWidth, logWidth);
}
// The placement distances of `a` to `count` placements given one array per measure.
void PlacementDistances(const GlyphPlacement& a, const float* top, const float* bottom,
                        const float* logAspect, const float* logWidth, size_t count, float* out);
inline float PlacementDistance(const GlyphPlacement& a, const GlyphPlacement& b) {
  return PlacementDistance(a, b.top, b.bottom, b.logAspect, b.logWidth);
}
inline float GlyphDistance(const GlyphShape& a, const uint8_t* bShape, const GlyphPlacement& b) {
  return float(ShapeDistance(a.bytes.data(), bShape)) / kShapeUnit +
         PlacementDistance(a.placement, b);
}
