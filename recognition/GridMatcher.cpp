// The grid matcher: plain cell loop and the packed popcount path (see GridMatcher.h).
#include "recognition/GridMatcher.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t kRowMask = (1u << kGridSize) - 1;

// Row masks of a grid: bit x of row y set when cell (x, y) is ink.
void RowMasks(const GlyphGrid& grid, uint32_t rows[kGridSize]) {
  for (int y = 0; y < kGridSize; ++y) rows[y] = 0;
  for (int x = 0; x < kGridSize; ++x)
    for (int y = 0; y < kGridSize; ++y)
      if (grid.at(x, y) == 0) rows[y] |= 1u << x;
}

// ORs a 17-bit row into the 289-bit vector at bit 17y (it spans at most two words).
template <class Store>
void PutRow(Store&& word, int y, uint32_t row) {
  const int bit = y * kGridSize;
  word(bit / 32) |= row << (bit % 32);
  if (bit % 32 + kGridSize > 32) word(bit / 32 + 1) |= row >> (32 - bit % 32);
}

// Bits of a row, without relying on a popcount instruction (these run once per template
// or object, not in the matching loop).
inline int32_t SmallPopcount(uint32_t v) {
  v = v - ((v >> 1) & 0x55555555u);
  v = (v & 0x33333333u) + ((v >> 2) & 0x33333333u);
  return int32_t((((v + (v >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
}

// Picks the best (both, union) pair by comparing fractions exactly (b1 * u2 > b2 * u1) and
// divides once: a correctly rounded division keeps the order of the exact fractions, so
// the result is the double that the cell loop's running maximum reaches.
inline double RaiseBest(double best, int32_t bestBoth, int32_t bestUnion) {
  if (bestUnion > 0 && double(bestBoth) / double(bestUnion) > best)
    best = double(bestBoth) / double(bestUnion);
  return best;
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
  std::memset(packed, 0, sizeof *packed);
  for (int y = 0; y < kGridSize; ++y)
    PutRow([&](int w) -> uint32_t& { return packed->words[w]; }, y, rows[y]);
  for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
    // Columns x whose shifted column x + dx stays inside.
    const uint32_t columns = dx >= 0 ? kRowMask >> dx : (kRowMask << -dx) & kRowMask;
    for (int dy = -kMaxShift; dy <= kMaxShift; ++dy) {
      int count = 0;
      for (int y = 0; y < kGridSize; ++y)
        if (y + dy >= 0 && y + dy < kGridSize) count += SmallPopcount(rows[y] & columns);
      packed->inkInShift[ShiftIndex(dx, dy)] = count;
    }
  }
}

void PrepareObject(const GlyphGrid& object, ShiftedObject* shifted) {
  uint32_t rows[kGridSize];
  RowMasks(object, rows);
  for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
    // The rows moved by dx and their ink, then every dy from them.
    uint32_t moved[kGridSize];
    int32_t ink[kGridSize];
    for (int y = 0; y < kGridSize; ++y) {
      moved[y] = dx >= 0 ? rows[y] >> dx : (rows[y] << -dx) & kRowMask;
      ink[y] = SmallPopcount(moved[y]);
    }
    for (int dy = -kMaxShift; dy <= kMaxShift; ++dy) {
      const int s = ShiftIndex(dx, dy);
      uint32_t words[kPackedWords] = {};
      int32_t count = 0;
      for (int y = std::max(0, -dy); y < std::min(kGridSize, kGridSize - dy); ++y) {
        // Cell (x + dx, y + dy) of the object goes to (x, y).
        PutRow([&](int w) -> uint32_t& { return words[w]; }, y, moved[y + dy]);
        count += ink[y + dy];
      }
      for (int w = 0; w < kPackedWords; ++w) shifted->words[w][s] = words[w];
      shifted->inkInShift[s] = count;
    }
  }
  // The padding lanes hold no ink.
  for (int s = kShiftCount; s < kShiftLanes; ++s) {
    for (int w = 0; w < kPackedWords; ++w) shifted->words[w][s] = 0;
    shifted->inkInShift[s] = 0;
  }
}

void MatchCountsFast(const PackedTemplate& templ, const ShiftedObject& object, int dx, int dy,
                     int32_t* both, int32_t* unionCount) {
  const int s = ShiftIndex(dx, dy);
  int32_t b = 0;
  for (int w = 0; w < kPackedWords; ++w) b += std::popcount(templ.words[w] & object.words[w][s]);
  *both = b;
  *unionCount = templ.inkInShift[s] + object.inkInShift[s] - b;
}

// Keeps b / u when it beats the best fraction so far (compared exactly, without division);
// a union of 0 has no fraction.
static inline void KeepBetterRatio(int32_t b, int32_t u, int32_t* bestBoth, int32_t* bestUnion) {
  if (u > 0 && (*bestUnion == 0 || b * *bestUnion > *bestBoth * u)) {
    *bestBoth = b;
    *bestUnion = u;
  }
}

__attribute__((target_clones("popcnt", "default"))) double MatchBestFastScalar(
    const PackedTemplate& templ, const ShiftedObject& object, double best) {
  int32_t bestBoth = 0, bestUnion = 0;  // 0 / 0: no ratio yet
  for (int s = 0; s < kShiftCount; ++s) {
    int32_t b = 0;
    for (int w = 0; w < kPackedWords; ++w)
      b += __builtin_popcount(templ.words[w] & object.words[w][s]);
    const int32_t u = templ.inkInShift[s] + object.inkInShift[s] - b;
    KeepBetterRatio(b, u, &bestBoth, &bestUnion);
  }
  return RaiseBest(best, bestBoth, bestUnion);
}

#if defined(__x86_64__)
// Eight shifts at a time: AND with the template word, count bits per byte with a nibble
// table, add the bytes of each 32-bit lane. Each lane keeps its own best fraction; the
// lanes are merged in shift order at the end, so ties go as in the scalar loop (only the
// value matters for the result anyway).
__attribute__((target("avx2,popcnt"))) static double MatchBestAvx2(const PackedTemplate& templ,
                                                                   const ShiftedObject& object,
                                                                   double best) {
  const __m256i nibbleCounts = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0,
                                                1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
  const __m256i lowNibble = _mm256_set1_epi8(0x0F);
  const __m256i ones8 = _mm256_set1_epi8(1);
  const __m256i ones16 = _mm256_set1_epi16(1);
  __m256i t[kPackedWords];
  for (int w = 0; w < kPackedWords; ++w) t[w] = _mm256_set1_epi32(int32_t(templ.words[w]));
  __m256i bestB = _mm256_setzero_si256(), bestU = _mm256_setzero_si256();
  // Six groups take shifts 0 ... 47; the 49th is counted on its own below rather than in
  // a seventh group of seven empty lanes.
  constexpr int kVectorShifts = kShiftCount / 8 * 8;
  for (int g = 0; g < kVectorShifts; g += 8) {
    __m256i bytes = _mm256_setzero_si256();
    for (int w = 0; w < kPackedWords; ++w) {
      const __m256i v = _mm256_and_si256(
          t[w], _mm256_load_si256(reinterpret_cast<const __m256i*>(&object.words[w][g])));
      const __m256i lo = _mm256_and_si256(v, lowNibble);
      const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), lowNibble);
      bytes = _mm256_add_epi8(bytes, _mm256_add_epi8(_mm256_shuffle_epi8(nibbleCounts, lo),
                                                     _mm256_shuffle_epi8(nibbleCounts, hi)));
    }
    // At most 8 per byte and word: 80 fits a byte.
    const __m256i b = _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, ones8), ones16);
    const __m256i u = _mm256_sub_epi32(
        _mm256_add_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&templ.inkInShift[g])),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(&object.inkInShift[g]))),
        b);
    // Take the lane when u > 0 and (no best yet or b * bestU > bestB * u).
    const __m256i positive = _mm256_cmpgt_epi32(u, _mm256_setzero_si256());
    const __m256i none = _mm256_cmpeq_epi32(bestU, _mm256_setzero_si256());
    const __m256i better =
        _mm256_cmpgt_epi32(_mm256_mullo_epi32(b, bestU), _mm256_mullo_epi32(bestB, u));
    const __m256i take = _mm256_and_si256(positive, _mm256_or_si256(none, better));
    bestB = _mm256_blendv_epi8(bestB, b, take);
    bestU = _mm256_blendv_epi8(bestU, u, take);
  }
  alignas(32) int32_t laneB[8], laneU[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(laneB), bestB);
  _mm256_store_si256(reinterpret_cast<__m256i*>(laneU), bestU);
  int32_t bestBoth = 0, bestUnion = 0;
  for (int lane = 0; lane < 8; ++lane) {
    const int32_t b = laneB[lane], u = laneU[lane];
    KeepBetterRatio(b, u, &bestBoth, &bestUnion);
  }
  for (int s = kVectorShifts; s < kShiftCount; ++s) {
    int32_t b = 0;
    for (int w = 0; w < kPackedWords; ++w)
      b += __builtin_popcount(templ.words[w] & object.words[w][s]);
    const int32_t u = templ.inkInShift[s] + object.inkInShift[s] - b;
    KeepBetterRatio(b, u, &bestBoth, &bestUnion);
  }
  return RaiseBest(best, bestBoth, bestUnion);
}
#endif

double MatchBestFast(const PackedTemplate& templ, const ShiftedObject& object, double best) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return MatchBestAvx2(templ, object, best);
#endif
  return MatchBestFastScalar(templ, object, best);
}
