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
};

void BuildIntegral(const uint8_t* ink, int32_t width, int32_t height, InkIntegral& integral) {
  int32_t block = std::max<int32_t>(1, (std::max(width, height) + kMaxSampled - 1) / kMaxSampled);
  int32_t w = (width + block - 1) / block, h = (height + block - 1) / block;
  integral.w = w;
  integral.h = h;
  integral.block = block;
  integral.sum.assign(size_t(w + 1) * size_t(h + 1), 0);
  thread_local std::vector<int32_t> row;
  row.resize(size_t(w));
  for (int32_t sy = 0; sy < h; ++sy) {
    std::fill(row.begin(), row.end(), 0);
    for (int32_t y = sy * block; y < std::min(height, (sy + 1) * block); ++y) {
      const uint8_t* line = ink + size_t(y) * size_t(width);
      if (block == 1) {
        for (int32_t x = 0; x < width; ++x) row[size_t(x)] += line[x] != 0;
      } else {
        for (int32_t x = 0; x < width; ++x) row[size_t(x / block)] += line[x] != 0;
      }
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
  // The ink above and left of every grid corner, then each cell from its four corners. A
  // corner lies between samples: the ink up to it is interpolated from the four around it,
  // exact since the ink is constant within a sample. Its columns and rows are found once.
  struct Edge {
    int32_t index = 0;
    double fraction = 0;
  };
  std::array<Edge, kGrid + 1> columns, rows;
  for (int g = 0; g <= kGrid; ++g) {
    double fx = g * cellW, fy = g * cellH;
    columns[size_t(g)].index = std::min(int32_t(fx), integral.w - 1);
    columns[size_t(g)].fraction = fx - columns[size_t(g)].index;
    rows[size_t(g)].index = std::min(int32_t(fy), integral.h - 1);
    rows[size_t(g)].fraction = fy - rows[size_t(g)].index;
  }
  std::array<std::array<double, kGrid + 1>, kGrid + 1> corner;
  for (int gy = 0; gy <= kGrid; ++gy) {
    const double ty = rows[size_t(gy)].fraction;
    const int32_t* above = &integral.sum[size_t(rows[size_t(gy)].index) * size_t(integral.w + 1)];
    const int32_t* below = above + integral.w + 1;
    for (int gx = 0; gx <= kGrid; ++gx) {
      const int32_t ix = columns[size_t(gx)].index;
      const double tx = columns[size_t(gx)].fraction;
      double top = above[ix] * (1 - tx) + above[ix + 1] * tx;
      double bottom = below[ix] * (1 - tx) + below[ix + 1] * tx;
      corner[size_t(gy)][size_t(gx)] = top * (1 - ty) + bottom * ty;
    }
  }
  for (int gy = 0; gy < kGrid; ++gy)
    for (int gx = 0; gx < kGrid; ++gx) {
      double ink =
          corner[gy + 1][gx + 1] - corner[gy + 1][gx] - corner[gy][gx + 1] + corner[gy][gx];
      grid[gy][gx] = float(std::clamp(ink / full, 0.0, 1.0));
    }
}

// Blurs the grid along one axis where one pixel of the glyph spans several cells, so that a
// comma 3 pixels wide and one 4 pixels wide give alike grids rather than different stairs.
// The blur's width is half a pixel; its kernels are made once per process.
struct Kernel {
  std::array<float, 2 * kGrid - 1> taps{};  // -15 ... 15
  int radius = 0;                           // the taps beyond are 0
};

const Kernel& PixelStepKernel(int32_t pixels) {
  static const std::array<Kernel, kGrid> kernels = [] {
    std::array<Kernel, kGrid> made{};
    for (int p = 1; p < kGrid; ++p) {
      double sigma = 0.5 * kGrid / p;
      float total = 0;
      Kernel& kernel = made[size_t(p)];
      kernel.radius = std::min(kGrid - 1, int(std::ceil(2 * sigma)));
      for (int k = -(kGrid - 1); k < kGrid; ++k) {
        float w = std::abs(k) <= std::ceil(2 * sigma)
                      ? float(std::exp(-0.5 * k * k / (sigma * sigma)))
                      : 0.0f;
        kernel.taps[size_t(k + kGrid - 1)] = w;
        total += w;
      }
      for (float& w : kernel.taps) w /= total;
    }
    return made;
  }();
  return kernels[size_t(pixels)];
}

void SmoothPixelSteps(Grid& grid, int32_t pixels, bool alongRows) {
  if (pixels >= kGrid) return;
  const Kernel& kernel = PixelStepKernel(std::max(1, pixels));
  Grid out{};
  for (int a = 0; a < kGrid; ++a)
    for (int c = 0; c < kGrid; ++c) {
      float value = alongRows ? grid[a][c] : grid[c][a];
      if (value == 0.0f) continue;
      // Spread the cell over its neighbours (paper beyond the box takes what falls outside);
      // the taps beyond the kernel's radius add nothing.
      const float* taps = &kernel.taps[size_t(kGrid - 1 - c)];
      const int from = std::max(0, c - kernel.radius), to = std::min(kGrid, c + kernel.radius + 1);
      if (alongRows) {
        for (int b = from; b < to; ++b) out[a][b] += value * taps[b];
      } else {
        for (int b = from; b < to; ++b) out[b][a] += value * taps[b];
      }
    }
  grid = out;
}

// std::lround of a value >= 0 without the library call: the fraction below the integer part
// is exact in floats of this size, so halves round up as lround's do.
int32_t RoundNonNegative(float value) {
  const int32_t whole = int32_t(value);
  return whole + (value - float(whole) >= 0.5f);
}

void PoolCoverage(const Grid& grid, uint8_t* out) {
  constexpr int kPool = kGrid / kCoverageSide;
  constexpr float kScale = 255.0f / (kPool * kPool);
  for (int y = 0; y < kCoverageSide; ++y)
    for (int x = 0; x < kCoverageSide; ++x) {
      float sum = 0;
      for (int dy = 0; dy < kPool; ++dy)
        for (int dx = 0; dx < kPool; ++dx) sum += grid[kPool * y + dy][kPool * x + dx];
      out[y * kCoverageSide + x] = uint8_t(RoundNonNegative(sum * kScale));
    }
}

// Sobel gradients of the grid (paper around it), each spread over the two nearest of
// eight directions and summed per 4x4 zone; normalised so that stroke weight matters less.
constexpr float kDirectionMean = 60.0f;

// The 45-degree sector (0 ... 7, counted from +x towards +y) the vector (x, y) points into.
int Octant(float x, float y) {
  float ax = std::abs(x), ay = std::abs(y);
  if (y >= 0) {
    if (x > 0) return ay < ax ? 0 : 1;
    return ay > ax ? 2 : 3;
  }
  if (x < 0) return ay < ax ? 4 : 5;
  return ay > ax ? 6 : 7;
}

void PoolDirections(const Grid& grid, uint8_t* out) {
  // The grid with a border of paper, so that the neighbours need no checks.
  std::array<std::array<float, kGrid + 2>, kGrid + 2> padded{};
  for (int y = 0; y < kGrid; ++y) std::copy(grid[y].begin(), grid[y].end(), &padded[y + 1][1]);
  auto at = [&](int y, int x) { return padded[size_t(y + 1)][size_t(x + 1)]; };
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
      float within = kDiagonal * magnitude;  // directions less than 45 degrees away
      // Only the two directions on either side of the gradient lie that near.
      int octant = Octant(gx, gy);
      for (int k : {octant, (octant + 1) & 7}) {
        float part = gx * kDirX[k] + gy * kDirY[k] - within;
        if (part > 0) {
          zone[k] += part;
          total += part;
        }
      }
    }
  float scale = total > 0 ? kDirectionMean * kDirectionBytes / total : 0.0f;
  for (int i = 0; i < kDirectionBytes; ++i)
    out[i] = uint8_t(std::min(255, RoundNonNegative(std::min(256.0f, zones[size_t(i)] * scale))));
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
  SmoothPixelSteps(grid, width, true);
  SmoothPixelSteps(grid, height, false);
  PoolCoverage(grid, bytes.data());
  PoolDirections(grid, bytes.data() + kCoverageBytes);
  return true;
}

void CoarseShape(const uint8_t* shape, uint8_t* coarse) {
  constexpr int kPool = kCoverageSide / 4;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      int sum = 0;
      for (int dy = 0; dy < kPool; ++dy)
        for (int dx = 0; dx < kPool; ++dx)
          sum += shape[(kPool * y + dy) * kCoverageSide + kPool * x + dx];
      coarse[4 * y + x] = uint8_t((sum + kPool * kPool / 2) / (kPool * kPool));
    }
}

void PlacementDistances(const GlyphPlacement& a, const float* top, const float* bottom,
                        const float* logAspect, const float* logWidth, size_t count, float* out) {
  size_t i = 0;
#ifdef __SSE2__
  // Four at a time; |x| by clearing the sign bit.
  const __m128 sign = _mm_set1_ps(-0.0f);
  const __m128 t = _mm_set1_ps(a.top), b = _mm_set1_ps(a.bottom);
  const __m128 r = _mm_set1_ps(a.logAspect), w = _mm_set1_ps(a.logWidth);
  const __m128 rWeight = _mm_set1_ps(0.3f), wWeight = _mm_set1_ps(0.2f);
  auto distance = [&](__m128 x, const float* y) {
    return _mm_andnot_ps(sign, _mm_sub_ps(x, _mm_loadu_ps(y)));
  };
  for (; i + 4 <= count; i += 4) {
    __m128 sum = _mm_add_ps(distance(t, top + i), distance(b, bottom + i));
    sum = _mm_add_ps(sum, _mm_mul_ps(rWeight, distance(r, logAspect + i)));
    sum = _mm_add_ps(sum, _mm_mul_ps(wWeight, distance(w, logWidth + i)));
    _mm_storeu_ps(out + i, sum);
  }
#endif
  for (; i < count; ++i)
    out[i] = PlacementDistance(a, top[i], bottom[i], logAspect[i], logWidth[i]);
}
