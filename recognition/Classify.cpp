// The rules of the character classification: an object's sample grid scored against the
// templates, and the rules for dots, bars, strokes and position on the line.
#include "recognition/ClassifyRules.h"

#include <cstring>

#include "recognition/Alphabet.h"

namespace {

Candidate& Entry(Candidate candidates[], uint8_t ch) {
  return candidates[AlphabetIndex(ch) - 1];
}

}  // namespace

PositionFeatures MeasurePosition(const Box& box, const TextLine& line, int32_t dotsAbove) {
  PositionFeatures position;
  position.tall = box.Top < line.xTopLimit;
  position.midTall = position.tall && box.Top > line.upperLevel;
  position.descends = box.Bottom > line.descenderLevel;
  position.anyHeight = line.xTop == line.top;
  position.dotsAbove = dotsAbove;
  position.box = box;
  position.lineMiddle = line.middle;
  position.lineXMiddle = line.xMiddle;
  return position;
}

bool IsAdmitted(int k, const PositionFeatures& position) {
  const char height = kHeightClass[k - 1], descender = kDescenderClass[k - 1];
  const bool heightFits = (height == 'h' && position.tall) || height == 'b' ||
                          (height == 'n' && !position.tall) || position.anyHeight;
  const bool descenderFits =
      (descender == 'u' && position.descends) || (descender == 'n' && !position.descends);
  return heightFits && descenderFits;
}

void PackTemplateSet(const TemplateSet& set, PackedTemplateSet* packed) {
  for (int k = 1; k <= kMatchedCount; ++k)
    for (int f = 0; f < kTemplateFonts; ++f)
      PackTemplate(set.grids[k - 1][f], &packed->templates[k - 1][f]);
}

void ResetCandidates(Candidate candidates[kCandidateCount + 1]) {
  for (int k = 1; k <= kCandidateCount + 1; ++k) {
    candidates[k - 1].score = 0;
    candidates[k - 1].charIndex = k <= kIndexedCandidates ? k : 0;
  }
}

uint8_t ScoreCandidates(const ShiftedObject& object, const PackedTemplateSet& templates,
                        const PositionFeatures& position, Candidate candidates[]) {
  double runningBest = 0;
  uint8_t provisional = 0;
  for (int k = 1; k <= kMatchedCount; ++k) {
    candidates[k - 1].charIndex = k;
    candidates[k - 1].score = 0;
    if (!IsAdmitted(k, position)) continue;
    double best = -1;
    for (int f = 0; f < kTemplateFonts; ++f)
      best = MatchBestFast(templates.templates[k - 1][f], object, best);
    // Only grids without any ink on either side leave no ratio at all; they share none.
    if (best < 0) best = 0;
    candidates[k - 1].score = best;
    if (best > runningBest) {
      runningBest = best;
      provisional = AlphabetChar(k);
    }
  }
  return provisional;
}

void SortCandidates(Candidate candidates[kCandidateCount + 1]) {
  Candidate& spare = candidates[kCandidateCount];
  // Scores are never negative. Position i receives the highest score left, so once the
  // positions holding a positive score are filled, only zeros remain and no exchange can
  // happen any more: stopping there gives the same table.
  // Likewise nothing after the last positive score ever moves: an exchange only puts the
  // smaller score further back.
  int positive = 0, end = 0;
  for (int i = 0; i < kCandidateCount; ++i) {
    if (candidates[i].score <= 0) continue;
    ++positive;
    end = i + 1;
  }
  for (int i = 0; i < positive; ++i) {
    for (int j = i; j < end; ++j) {
      if (candidates[j].score > candidates[i].score) {
        spare = candidates[i];
        candidates[i] = candidates[j];
        candidates[j] = spare;
      }
    }
  }
}

namespace {

// First correction: dashes, commas and the j whose body matched a comma are final (0: no
// character is final yet).
int32_t FirstCorrection(uint8_t provisional, const PositionFeatures& position) {
  const int32_t d = position.dotsAbove;
  const Box& box = position.box;
  const int32_t boxWidth = box.Right - box.Left, boxHeight = box.Bottom - box.Top;
  int32_t fixed = 0;
  if (provisional == 'l') {
    if (boxWidth > boxHeight)
      fixed = '-';
    else if (box.Top > position.lineMiddle && d == 0)
      fixed = ',';
  } else if (provisional == 'a') {
    if (boxWidth / 2 > boxHeight) fixed = '-';
  } else if (provisional == ',') {
    fixed = d == 0 ? ',' : 'j';
  }
  return fixed;
}

// Dot rules: one dot above turns a stroke into an i, beating any template overlap.
void ApplyDotRules(Candidate candidates[], const PositionFeatures& position) {
  if (!position.tall) Entry(candidates, 'l').score = 0;
  if (position.dotsAbove == 1) {
    Candidate& i = Entry(candidates, 'i');
    i.score = 3 * Entry(candidates, 'l').score + 1;
    i.charIndex = AlphabetIndex('i');
    Entry(candidates, 'l').score = 0;
    Entry(candidates, 'a').score = 0;
    Entry(candidates, 'I').score = 0;
  }
}

void ApplyStructuralVetoes(Candidate candidates[], const ObjectFeatures& features,
                           const PositionFeatures& position) {
  const int32_t d = position.dotsAbove;
  auto veto = [&](uint8_t ch, bool when) {
    if (when) Entry(candidates, ch).score = 0;
  };
  veto('L', !features.bottomBar || (d == 0 && features.topBar));
  veto('I', d == 0 && features.aspect > 0.5);
  veto('D', d == 0 && features.topGap);
  veto('B', d == 0 && features.upperRightEmpty && features.lowerRightEmpty);
  veto('o', (d == 0 && features.leftMid > 4 * features.rightMid) || features.topGap ||
                !features.bottomFull);
  veto('u', d == 0 && features.upperMid > features.lowerMid);
  veto('n', (d == 0 && features.upperMid < features.lowerMid) || features.bottomFull);
  veto('t', features.rightTop > features.rightBottom || features.strokes >= 2);
  veto('b', !features.bottomFull);
  veto('h', features.bottomFull);
  veto('r', features.strokes >= 2);
  if (position.midTall) Entry(candidates, 't').score *= 2;
}

// The umlaut of a, o, u, A, O, U (two dots above); any other character stays.
int32_t WithUmlaut(int32_t r) {
  switch (r) {
    case 'a':
      return kSmallAUmlaut;
    case 'u':
      return kSmallUUmlaut;
    case 'o':
      return kSmallOUmlaut;
    case 'A':
      return kCapitalAUmlaut;
    case 'U':
      return kCapitalUUmlaut;
    case 'O':
      return kCapitalOUmlaut;
    default:
      return r;
  }
}

int32_t FinalCorrections(int32_t r, const ObjectFeatures& features,
                         const PositionFeatures& position) {
  if (r == 'l' && position.box.Bottom < position.lineXMiddle) r = '\'';
  if ((r == 'c' || r == 'o') && features.midBar) r = 'e';
  if (r == 'F' && features.bottomBar) r = 'E';
  if (position.dotsAbove == 2) r = WithUmlaut(r);
  return r;
}

}  // namespace

int32_t DecideCharacter(Candidate candidates[kCandidateCount + 1], uint8_t provisional,
                        const ObjectFeatures& features, const PositionFeatures& position) {
  const int32_t fixed = FirstCorrection(provisional, position);
  ApplyDotRules(candidates, position);
  ApplyStructuralVetoes(candidates, features, position);
  SortCandidates(candidates);
  if (fixed) return fixed;
  const int top = candidates[0].charIndex;
  const int32_t r = top >= 1 && top <= kAlphabetSize ? AlphabetChar(top) : AlphabetChar(1);
  return FinalCorrections(r, features, position);
}
