// Glyph shapes: the ink's coverage of a 16x16 grid laid over its box, taken exactly from
// an integral image (a glyph of 6 pixels and one of 200 give comparable grids), then
// pooled to 8x8 coverage bytes and to edge-direction bytes on 4x4 zones. Edge directions
// carry over between typefaces better than the coverage alone; both are needed to tell
// bold from regular shapes of different letters.
#include "recognition/GlyphFeatures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr int kGrid = 16;
// Glyphs larger than this are summed in blocks first, so that a page-sized blob costs a
// pass over its pixels and a small table, never a table of its size.
constexpr int32_t kMaxSampled = 256;

// The integral image of the ink, summed in k x k blocks: (w+1) x (h+1) entries.
struct InkIntegral {
  int32_t w = 0, h = 0, block = 1;
  std::vector<int32_t> sum;
  int32_t At(int32_t x, int32_t y) const { return sum[size_t(y) * size_t(w + 1) + size_t(x)]; }
  // The ink in [0, fx) x [0, fy): exact for fractional edges, since the ink is constant
  // within a sample.
  double Below(double fx, double fy) const {
    int32_t ix = std::min(int32_t(fx), w - 1), iy = std::min(int32_t(fy), h - 1);
    double tx = fx - ix, ty = fy - iy;
    double top = At(ix, iy) * (1 - tx) + At(ix + 1, iy) * tx;
    double bottom = At(ix, iy + 1) * (1 - tx) + At(ix + 1, iy + 1) * tx;
    return top * (1 - ty) + bottom * ty;
  }
};

void BuildIntegral(const uint8_t* ink, int32_t width, int32_t height, InkIntegral& integral) {
  int32_t block = std::max<int32_t>(1, (std::max(width, height) + kMaxSampled - 1) / kMaxSampled);
  int32_t w = (width + block - 1) / block, h = (height + block - 1) / block;
  integral.w = w;
  integral.h = h;
  integral.block = block;
  integral.sum.assign(size_t(w + 1) * size_t(h + 1), 0);
  std::vector<int32_t> row(size_t(w), 0);
  for (int32_t sy = 0; sy < h; ++sy) {
    std::fill(row.begin(), row.end(), 0);
    for (int32_t y = sy * block; y < std::min(height, (sy + 1) * block); ++y) {
      const uint8_t* line = ink + size_t(y) * size_t(width);
      for (int32_t x = 0; x < width; ++x) row[size_t(x / block)] += line[x] != 0;
    }
    int32_t running = 0;
    for (int32_t sx = 0; sx < w; ++sx) {
      running += row[size_t(sx)];
      integral.sum[size_t(sy + 1) * size_t(w + 1) + size_t(sx + 1)] =
          integral.At(sx + 1, sy) + running;
    }
  }
}

using Grid = std::array<std::array<float, kGrid>, kGrid>;

void CoverGrid(const InkIntegral& integral, Grid& grid) {
  double cellW = double(integral.w) / kGrid, cellH = double(integral.h) / kGrid;
  double full = cellW * cellH * integral.block * integral.block;
  for (int gy = 0; gy < kGrid; ++gy) {
    double y0 = gy * cellH, y1 = (gy + 1) * cellH;
    for (int gx = 0; gx < kGrid; ++gx) {
      double x0 = gx * cellW, x1 = (gx + 1) * cellW;
      double ink = integral.Below(x1, y1) - integral.Below(x0, y1) - integral.Below(x1, y0) +
                   integral.Below(x0, y0);
      grid[gy][gx] = float(std::clamp(ink / full, 0.0, 1.0));
    }
  }
}

void PoolCoverage(const Grid& grid, uint8_t* out) {
  for (int y = 0; y < kGrid / 2; ++y)
    for (int x = 0; x < kGrid / 2; ++x) {
      float sum = grid[2 * y][2 * x] + grid[2 * y][2 * x + 1] + grid[2 * y + 1][2 * x] +
                  grid[2 * y + 1][2 * x + 1];
      out[y * (kGrid / 2) + x] = uint8_t(std::lround(sum * 63.75f));
    }
}

// Sobel gradients of the grid (paper around it), each spread over the two nearest of
// eight directions and summed per 4x4 zone; normalised so that stroke weight matters less.
void PoolDirections(const Grid& grid, uint8_t* out) {
  auto at = [&](int y, int x) {
    return (x < 0 || y < 0 || x >= kGrid || y >= kGrid) ? 0.0f : grid[y][x];
  };
  constexpr float kDiagonal = 0.70710678f;
  static constexpr float kDirX[8] = {1, kDiagonal, 0, -kDiagonal, -1, -kDiagonal, 0, kDiagonal};
  static constexpr float kDirY[8] = {0, kDiagonal, 1, kDiagonal, 0, -kDiagonal, -1, -kDiagonal};
  std::array<float, kDirectionBytes> zones{};
  float total = 0.0f;
  for (int y = 0; y < kGrid; ++y)
    for (int x = 0; x < kGrid; ++x) {
      float gx = at(y - 1, x + 1) + 2 * at(y, x + 1) + at(y + 1, x + 1) - at(y - 1, x - 1) -
                 2 * at(y, x - 1) - at(y + 1, x - 1);
      float gy = at(y + 1, x - 1) + 2 * at(y + 1, x) + at(y + 1, x + 1) - at(y - 1, x - 1) -
                 2 * at(y - 1, x) - at(y - 1, x + 1);
      float magnitude = std::sqrt(gx * gx + gy * gy);
      if (magnitude < 1e-4f) continue;
      float* zone = &zones[size_t(((y / 4) * 4 + x / 4) * 8)];
      for (int k = 0; k < 8; ++k) {
        float part = (gx * kDirX[k] + gy * kDirY[k]) / magnitude - kDiagonal;
        if (part > 0) {
          zone[k] += part * magnitude;
          total += part * magnitude;
        }
      }
    }
  float scale = total > 0 ? 40.0f * kDirectionBytes / total : 0.0f;
  for (int i = 0; i < kDirectionBytes; ++i)
    out[i] = uint8_t(std::min(255.0f, std::round(zones[size_t(i)] * scale)));
}

float LineUnits(double pixels, double xHeight, double capHeight) {
  if (pixels <= xHeight) return float(pixels / xHeight);
  return float(1.0 + 0.4 * (pixels - xHeight) / (capHeight - xHeight));
}

}  // namespace

GlyphPlacement PlaceOnLine(const InkExtent& extent, double xHeight, double capHeight) {
  xHeight = std::max(1.0, xHeight);
  if (capHeight < xHeight * 1.1) capHeight = xHeight * 1.4;
  GlyphPlacement p;
  p.top = LineUnits(extent.topEdge, xHeight, capHeight);
  p.bottom = LineUnits(extent.bottomEdge, xHeight, capHeight);
  // Half a pixel each way: small glyphs' proportions are only known that well.
  p.logAspect = float(std::log((extent.width + 0.5) / (extent.height + 0.5)));
  p.logWidth = float(std::log((extent.width + 0.5) / xHeight));
  return p;
}

bool DescribeShape(const uint8_t* ink, int32_t width, int32_t height,
                   std::array<uint8_t, kShapeBytes>& bytes) {
  bytes.fill(0);
  if (width <= 0 || height <= 0) return false;
  thread_local InkIntegral integral;
  BuildIntegral(ink, width, height, integral);
  if (integral.At(integral.w, integral.h) == 0) return false;
  Grid grid;
  CoverGrid(integral, grid);
  PoolCoverage(grid, bytes.data());
  PoolDirections(grid, bytes.data() + kCoverageBytes);
  return true;
}

uint32_t ShapeDistance(const uint8_t* a, const uint8_t* b) {
#ifdef __SSE2__
  __m128i sum = _mm_setzero_si128();
  for (int i = 0; i < kShapeBytes; i += 16) {
    __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    sum = _mm_add_epi64(sum, _mm_sad_epu8(va, vb));
  }
  return uint32_t(_mm_cvtsi128_si32(sum) + _mm_extract_epi16(sum, 4));
#else
  uint32_t sum = 0;
  for (int i = 0; i < kShapeBytes; ++i) sum += uint32_t(std::abs(int(a[i]) - int(b[i])));
  return sum;
#endif
}

void CoarseShape(const uint8_t* shape, uint8_t* coarse) {
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t* cell = shape + 16 * y + 2 * x;
      coarse[4 * y + x] = uint8_t((cell[0] + cell[1] + cell[8] + cell[9] + 2) / 4);
    }
}

uint32_t CoarseDistance(const uint8_t* a, const uint8_t* b) {
#ifdef __SSE2__
  __m128i sad = _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(b)));
  return uint32_t(_mm_cvtsi128_si32(sad) + _mm_extract_epi16(sad, 4));
#else
  uint32_t sum = 0;
  for (int i = 0; i < kCoarseBytes; ++i) sum += uint32_t(std::abs(int(a[i]) - int(b[i])));
  return sum;
#endif
}
