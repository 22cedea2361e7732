// The grid matcher: how well an object's 17 x 17 grid overlaps a template under the 49
// shifts dx, dy = -3 ... +3. For one shift, "both" counts the template cells (x, y) whose
// shifted cell (x + dx, y + dy) lies in the grid with template and object both ink there,
// and "union" those with either ink; the ratio is both / union.
//
// Two implementations give the same numbers: the plain cell loop (the reference, kept for
// the tests) and the fast path, which packs each grid into 289 bits (row y at bits
// 17y ... 17y + 16, bit x of a row = cell (x, y) is ink) and counts with popcounts. The ink
// counts per shift are computed once: for a template when the template set is packed,
// for the object once per object. Then union = template ink + object ink - both.
#pragma once

#include <cstdint>

#include "recognition/GlyphTypes.h"

constexpr int kMaxShift = 3;
constexpr int kShiftCount = (2 * kMaxShift + 1) * (2 * kMaxShift + 1);  // 49

// Shift number s = (dx + 3) * 7 + (dy + 3).
constexpr int ShiftIndex(int dx, int dy) {
  return (dx + kMaxShift) * (2 * kMaxShift + 1) + (dy + kMaxShift);
}

// ---- reference: the plain cell loop ----
void MatchCountsReference(const GlyphGrid& templ, const GlyphGrid& object, int dx, int dy,
                          int32_t* both, int32_t* unionCount);
// Raises `best` to every ratio both / union (union > 0) over the 49 shifts; returns it.
double MatchBestReference(const GlyphGrid& templ, const GlyphGrid& object, double best);

// ---- fast path ----
// A grid as 289 bits in ten 32-bit words: row y at bits 17y ... 17y + 16 of the whole,
// bit x of a row = cell (x, y) is ink. The shifts are padded to 56 (seven groups of
// eight) for the vector kernel; padding lanes hold no ink and never count.
constexpr int kPackedWords = 10;
constexpr int kShiftLanes = 56;

struct PackedTemplate {
  uint32_t words[kPackedWords];
  int32_t inkInShift[kShiftLanes];  // template ink whose shifted cell stays in the grid
};

struct alignas(32) ShiftedObject {
  // words[w][s]: word w of the object grid moved so that its cell (x + dx, y + dy) lies at
  // (x, y) for shift s; cells coming from outside the grid are paper. The popcount over
  // the words of one shift is the object's ink count for that shift.
  uint32_t words[kPackedWords][kShiftLanes];
  int32_t inkInShift[kShiftLanes];
};

void PackTemplate(const GlyphGrid& templ, PackedTemplate* packed);
void PrepareObject(const GlyphGrid& object, ShiftedObject* shifted);
void MatchCountsFast(const PackedTemplate& templ, const ShiftedObject& object, int dx, int dy,
                     int32_t* both, int32_t* unionCount);
// The same result as MatchBestReference. Uses AVX2 when the processor has it.
double MatchBestFast(const PackedTemplate& templ, const ShiftedObject& object, double best);
// The portable kernel alone (for the tests on machines with AVX2).
double MatchBestFastScalar(const PackedTemplate& templ, const ShiftedObject& object, double best);
