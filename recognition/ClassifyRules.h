// The classification of one object as plain steps over plain data: admission and matching
// against the templates, then the first correction, the dot rules, the structural vetoes,
// the sort and the final corrections. The main window gathers the inputs
// (app/classic/ClassifyObject.cpp).
#pragma once

#include <cstdint>

#include "layout/LayoutTypes.h"
#include "recognition/GridMatcher.h"
#include "recognition/ObjectFeatures.h"

// Where the object sits on its text line.
struct PositionFeatures {
  bool tall = false;       // box Top < xTopLimit
  bool midTall = false;    // tall and box Top > upperLevel
  bool descends = false;   // box Bottom > descenderLevel
  bool anyHeight = false;  // the line gives no x-height (xTop = top)
  int32_t dotsAbove = 0;   // dots just above the object
  Box box{};               // the object's skew-corrected box
  int32_t lineMiddle = 0;
  int32_t lineXMiddle = 0;
};

PositionFeatures MeasurePosition(const Box& box, const TextLine& line, int32_t dotsAbove);

// Whether alphabet position k (1 ... 62) may be matched at this position of the line.
bool IsAdmitted(int k, const PositionFeatures& position);

// The templates of the 62 matched characters in 4 fonts, packed for the fast matcher.
struct PackedTemplateSet {
  PackedTemplate templates[62][kTemplateFonts];
};
void PackTemplateSet(const TemplateSet& set, PackedTemplateSet* packed);

// Resets the 71 entries to their fresh state: entries 1 ... 67 carry their own position,
// 68 ... 71 position 0, every score 0.
void ResetCandidates(Candidate candidates[kCandidateCount + 1]);

// Scores positions 1 ... 62 (entry k - 1) and returns the provisional character: the first
// position with the highest score above 0, or 0 when none scores above 0.
uint8_t ScoreCandidates(const ShiftedObject& object, const PackedTemplateSet& templates,
                        const PositionFeatures& position, Candidate candidates[]);

// The rules after matching, then the sort (entries 1 ... 70, the 71st is the exchange
// slot). Returns the character.
int32_t DecideCharacter(Candidate candidates[kCandidateCount + 1], uint8_t provisional,
                        const ObjectFeatures& features, const PositionFeatures& position);

// Sorts entries 1 ... 70 by score, highest first, with the exchange sort whose ties keep
// the earlier entry ahead; the 71st entry is the exchange slot.
void SortCandidates(Candidate candidates[kCandidateCount + 1]);
