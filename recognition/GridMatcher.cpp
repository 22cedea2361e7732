// The grid matcher: plain cell loop and the packed popcount path (see GridMatcher.h).
#include "recognition/GridMatcher.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint32_t kRowMask = (1u << kGridSize) - 1;

// Row masks of a grid: bit x of row y set when cell (x, y) is ink.
void RowMasks(const GlyphGrid& grid, uint32_t rows[kGridSize]) {
  for (int y = 0; y < kGridSize; ++y) rows[y] = 0;
  for (int x = 0; x < kGridSize; ++x)
    for (int y = 0; y < kGridSize; ++y)
      if (grid.at(x, y) == 0) rows[y] |= 1u << x;
}

void PutRow(uint64_t bits[kPackedWords], int y, uint32_t row) {
  const int bit = y * kGridSize;
  bits[bit / 64] |= uint64_t(row) << (bit % 64);
  if (bit % 64 + kGridSize > 64) bits[bit / 64 + 1] |= uint64_t(row) >> (64 - bit % 64);
}

}  // namespace

void MatchCountsReference(const GlyphGrid& templ, const GlyphGrid& object, int dx, int dy,
                          int32_t* both, int32_t* unionCount) {
  int32_t b = 0, u = 0;
  for (int x = 0; x < kGridSize; ++x) {
    for (int y = 0; y < kGridSize; ++y) {
      const int ox = x + dx, oy = y + dy;
      if (ox < 0 || ox >= kGridSize || oy < 0 || oy >= kGridSize) continue;
      const bool t = templ.at(x, y) == 0, o = object.at(ox, oy) == 0;
      if (t || o) ++u;
      if (t && o) ++b;
    }
  }
  *both = b;
  *unionCount = u;
}

double MatchBestReference(const GlyphGrid& templ, const GlyphGrid& object, double best) {
  for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
    for (int dy = -kMaxShift; dy <= kMaxShift; ++dy) {
      int32_t both, unionCount;
      MatchCountsReference(templ, object, dx, dy, &both, &unionCount);
      if (unionCount > 0 && double(both) / double(unionCount) > best)
        best = double(both) / double(unionCount);
    }
  }
  return best;
}

void PackTemplate(const GlyphGrid& templ, PackedTemplate* packed) {
  uint32_t rows[kGridSize];
  RowMasks(templ, rows);
  std::memset(packed->bits, 0, sizeof packed->bits);
  for (int y = 0; y < kGridSize; ++y) PutRow(packed->bits, y, rows[y]);
  for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
    // Columns x whose shifted column x + dx stays inside.
    const uint32_t columns = dx >= 0 ? kRowMask >> dx : (kRowMask << -dx) & kRowMask;
    for (int dy = -kMaxShift; dy <= kMaxShift; ++dy) {
      int count = 0;
      for (int y = 0; y < kGridSize; ++y)
        if (y + dy >= 0 && y + dy < kGridSize) count += std::popcount(rows[y] & columns);
      packed->inkInShift[ShiftIndex(dx, dy)] = uint16_t(count);
    }
  }
}

void PrepareObject(const GlyphGrid& object, ShiftedObject* shifted) {
  uint32_t rows[kGridSize];
  RowMasks(object, rows);
  std::memset(shifted->bits, 0, sizeof shifted->bits);
  for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
    for (int dy = -kMaxShift; dy <= kMaxShift; ++dy) {
      const int s = ShiftIndex(dx, dy);
      int count = 0;
      for (int y = 0; y < kGridSize; ++y) {
        const int oy = y + dy;
        if (oy < 0 || oy >= kGridSize) continue;
        // Cell (x + dx, oy) of the object goes to column x.
        const uint32_t row = dx >= 0 ? rows[oy] >> dx : (rows[oy] << -dx) & kRowMask;
        PutRow(shifted->bits[s], y, row);
        count += std::popcount(row);
      }
      shifted->inkInShift[s] = uint16_t(count);
    }
  }
}

void MatchCountsFast(const PackedTemplate& templ, const ShiftedObject& object, int dx, int dy,
                     int32_t* both, int32_t* unionCount) {
  const int s = ShiftIndex(dx, dy);
  int32_t b = 0;
  for (int w = 0; w < kPackedWords; ++w) b += std::popcount(templ.bits[w] & object.bits[s][w]);
  *both = b;
  *unionCount = int32_t(templ.inkInShift[s]) + int32_t(object.inkInShift[s]) - b;
}

// Compiled twice, with and without the popcount instruction; the loader picks the one the
// processor supports.
__attribute__((target_clones("popcnt", "default"))) double MatchBestFast(
    const PackedTemplate& templ, const ShiftedObject& object, double best) {
  const uint64_t t0 = templ.bits[0], t1 = templ.bits[1], t2 = templ.bits[2], t3 = templ.bits[3],
                 t4 = templ.bits[4];
  for (int s = 0; s < kShiftCount; ++s) {
    const uint64_t* o = object.bits[s];
    const int32_t b = __builtin_popcountll(t0 & o[0]) + __builtin_popcountll(t1 & o[1]) +
                      __builtin_popcountll(t2 & o[2]) + __builtin_popcountll(t3 & o[3]) +
                      __builtin_popcountll(t4 & o[4]);
    const int32_t u = int32_t(templ.inkInShift[s]) + int32_t(object.inkInShift[s]) - b;
    if (u > 0 && double(b) / double(u) > best) best = double(b) / double(u);
  }
  return best;
}
