// Word breaks of a line. The gaps between letters and between words differ by typeface,
// size, resolution and justification, so each line's gaps are split into two groups where
// they separate best; a line whose gaps are all of one kind is judged against its x-height.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>

#include "core/Median.h"
#include "recognition/ExtendedPage.h"
#include "recognition/WordCorrection.h"

namespace {

// The two groups of a line's gaps: between letters and between words.
struct GapGroups {
  double threshold = -1;  // negative when the gaps are not clearly of two kinds
  double letterMean = 0, spaceMean = 0;
};

// A line whose gaps make no two groups takes its spaces from this width (x-heights).
constexpr double kAlikeSpace = 0.4;

// No space is narrower than this (x-heights): a loosely set face's letters on a photocopy
// gape up to a fifth of one, and a short line's few spaces do not outweigh them.
constexpr double kNarrowestSpace = 0.25;

// The split of sorted gaps into two groups of least spread within them. A line of words has at
// least half as many letter gaps as spaces (a line of two-letter words has as many), so a split
// that leaves fewer below it has cut the letter gaps themselves in two: a fax's run from
// nothing to a space's width.
GapGroups SplitOfGaps(const std::vector<int32_t>& sorted, int32_t xHeight) {
  const size_t n = sorted.size();
  std::vector<double> prefix(n + 1, 0), prefixSquares(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    prefix[i + 1] = prefix[i] + sorted[i];
    prefixSquares[i + 1] = prefixSquares[i] + double(sorted[i]) * sorted[i];
  }
  auto spread = [&](size_t from, size_t to) {
    const double count = double(to - from), sum = prefix[to] - prefix[from];
    return prefixSquares[to] - prefixSquares[from] - sum * sum / count;
  };
  GapGroups best;
  double bestSpread = 1e300;
  for (size_t k = 1; k < n; ++k) {
    if (sorted[k] == sorted[k - 1] || 2 * k < n - k) continue;
    const double s = spread(0, k) + spread(k, n);
    const double lowMean = prefix[k] / double(k),
                 highMean = (prefix[n] - prefix[k]) / double(n - k);
    const bool apart =
        highMean >= 2 * lowMean + 0.1 * xHeight && sorted[k] >= kNarrowestSpace * xHeight;
    if (apart && s < bestSpread)
      bestSpread = s, best = {(sorted[k - 1] + sorted[k]) / 2.0, lowMean, highMean};
  }
  return best;
}

// As SplitOfGaps, where the gaps wider than any space (`widest`, to which they are cut) may set
// themselves apart: a short line's few spaces, set tight as a headline's are, spread less among
// its letter gaps than beside one such gap (a headline's second column, a tab), and its words
// ran together. Then the narrower gaps make the groups where their spaces are as wide as a
// line's spaces are at least (kAlikeSpace), and more than the wide gaps: a typewriter
// face's spaces are all that wide, and its letter gaps differ with the letters.
GapGroups SplitOfTwoGroups(const std::vector<int32_t>& sorted, int32_t xHeight, int32_t widest) {
  const GapGroups groups = SplitOfGaps(sorted, xHeight);
  const auto firstWidest = std::lower_bound(sorted.begin(), sorted.end(), widest);
  const bool onlyWidestApart = groups.threshold >= 0 && firstWidest != sorted.begin() &&
                               double(*(firstWidest - 1)) < groups.threshold;
  if (!onlyWidestApart) return groups;
  const std::vector<int32_t> narrower(sorted.begin(), firstWidest);
  const GapGroups split = SplitOfGaps(narrower, xHeight);
  if (split.threshold < 0 || split.spaceMean < kAlikeSpace * xHeight) return groups;
  const auto firstSpace = std::upper_bound(narrower.begin(), narrower.end(), split.threshold);
  return sorted.end() - firstWidest < narrower.end() - firstSpace ? split : groups;
}

}  // namespace

namespace {

// An apostrophe whose bottom stands this share of its height left of its top is curled (’);
// a straight one (') is a wedge standing upright.
constexpr double kCurledTail = 0.1;

// The widest space of a justified line, in x-heights.
constexpr double kWidestSpace = 1.5;

// A gap is doubtful, space or none, when it lies farther than this share of the way from the
// line's letter gaps to its spaces, from either. The gap after an "f" or an "r" of a serif
// face, whose arm reaches over it, is narrower than a space; a fax's letters gape.
constexpr double kDoubtfulSpaceShare = 0.25;
// So a space after a word that ends in one measures narrower than the line's others
// ("Früherwurden", "Bahnhofan"): a gap there is doubtful from this share already, and the page's
// words settle it. Measured 0 to 0.25: 0.1 and 0.15 best; a "t" (its bar) so doubted was worse.
constexpr double kDoubtfulAfterAnArm = 0.1;

// Small letters whose arm reaches to the right over their foot.
bool ReachesOver(uint8_t c) {
  return c == 'r' || c == 'f';
}

// On a fax whose letters gape, a line's spaces may be no wider than twice its letter gaps
// (no two groups, kAlikeSpace): where it has enough gaps to tell, those between
// kAlikeDoubtfulFrom and kAlikeDoubtfulTo are in doubt, for the words the page's languages
// know to settle ("gi bt", "sel tén").
constexpr size_t kAlikeGapsToDoubt = 8;
constexpr double kAlikeDoubtfulFrom = 0.3, kAlikeDoubtfulTo = 0.6;

// Digits, and the shapes a "1" is often read as.
bool DigitLike(uint8_t c) {
  return IsDigit1252(c) || c == 'I' || c == 'l' || c == ']' || c == '|';
}

// Whether gaps[i], after codes[i], lies within a number: both sides figures, one of them a
// digit. A look-alike of a "1" that has a letter beside it within its word is a letter
// ("1934 lagen"); beside a space it may be a "1" ("von 1911").
bool WithinFigures(const std::vector<uint8_t>& codes, const std::vector<int32_t>& gaps, size_t i,
                   double threshold) {
  const auto figure = [&](size_t at, size_t beyond, size_t gapBetween) {
    return IsDigit1252(codes[at]) ||
           (DigitLike(codes[at]) &&
            (beyond >= codes.size() || gaps[gapBetween] > threshold || DigitLike(codes[beyond])));
  };
  return (IsDigit1252(codes[i]) || IsDigit1252(codes[i + 1])) && figure(i, i - 1, i - 1) &&
         figure(i + 1, i + 2, i + 1);
}

// Figures share one advance, so a narrow one ("1") stands wide apart from its neighbours: by
// about half its difference from the line's widest figure on each side. A gap between figures
// kFiguresApart times as wide as the line's threshold is a space; where the line has at least
// kFigureGapsToTell gaps between figures, so is one that stands out from them as a space
// stands out from letter gaps ("47 11 08 15", "DE89 3704 0044").
constexpr size_t kFigureGapsToTell = 3;
constexpr double kFiguresApart = 1.6;
// Figures may stand farther apart than letters; their usual gap is taken at the lower
// kUsualFigureGapShare of the line's gaps between figures, each less its narrow figure's room
// (groups of figures have fewer spaces than figures).
constexpr double kUsualFigureGapShare = 1.0 / 3.0;

// Of each gap within figures, its width less the room a narrow figure leaves (-1 elsewhere).
std::vector<double> FigureGaps(const std::vector<PageBox>& chars, const std::vector<uint8_t>& codes,
                               const std::vector<int32_t>& gaps, double threshold) {
  int32_t widest = 0;
  for (size_t i = 0; i < chars.size(); ++i)
    if (IsDigit1252(codes[i])) widest = std::max(widest, chars[i].Width());
  const auto room = [&](size_t i) { return std::max(0, widest - chars[i].Width()) / 2.0; };
  std::vector<double> figureGaps(gaps.size(), -1.0);
  for (size_t i = 0; i < gaps.size(); ++i)
    if (WithinFigures(codes, gaps, i, threshold)) figureGaps[i] = gaps[i] - room(i) - room(i + 1);
  return figureGaps;
}

// The width beyond which a gap between figures, less its narrow figure's room, stands out as a
// space: the line's threshold, moved by as much as its figures stand farther apart than its
// letters. -1 where the line tells nothing of its figures.
double FigureSpaceThreshold(const std::vector<double>& figureGaps, const GapGroups& groups) {
  std::vector<double> within;
  for (const double gap : figureGaps)
    if (gap >= 0) within.push_back(gap);
  if (groups.threshold < 0 || within.size() < kFigureGapsToTell) return -1;
  const auto usual = within.begin() + long(kUsualFigureGapShare * double(within.size() - 1));
  std::nth_element(within.begin(), usual, within.end());
  return groups.threshold + std::max(0.0, *usual - groups.letterMean);
}

// A letter beside a figure: "A4" and "H2O" set them close, while a wider gap there is a space
// ("auf 4,8", "1934 lagen").
bool LetterBesideFigure(uint8_t a, uint8_t b) {
  return (IsLetter1252(a) && IsDigit1252(b)) || (IsDigit1252(a) && IsLetter1252(b));
}

// A tight justified line of a fax may set its spaces no wider than its letters gape, and its
// words run together into one longer than any word ("hinterderSchuleentstandvor"). Within
// such a run the widest of its gaps (the kWidestGapsShare widest) are in doubt: the words
// that the page's languages know settle them.
constexpr double kWidestGapsShare = 0.3;
// A long compound ("Quecksilberthermometer") is about 20 x-heights wide.
constexpr double kLongestWord = 35.0;  // x-heights

void DoubtTheWidestGapsOfLongRuns(const std::vector<PageBox>& chars, int32_t xHeight,
                                  const std::vector<int32_t>& gaps, WordGaps* result) {
  size_t begin = 0;
  for (size_t i = 0; i <= gaps.size(); ++i) {
    if (i < gaps.size() && !result->breaks[i]) continue;
    // The run's characters are [begin, i]; its gaps [begin, i).
    if (i > begin && LongerThanAnyWord(chars[begin], chars[i], xHeight)) {
      std::vector<int32_t> widths(gaps.begin() + long(begin), gaps.begin() + long(i));
      std::sort(widths.begin(), widths.end(), std::greater<>());
      const int32_t least = widths[size_t(kWidestGapsShare * double(widths.size()))];
      for (size_t k = begin; k < i; ++k)
        if (gaps[k] > least) result->doubtful[k] = true;
    }
    begin = i + 1;
  }
}

}  // namespace

bool LongerThanAnyWord(const PageBox& first, const PageBox& last, int32_t xHeight) {
  return last.right - first.left > kLongestWord * std::max(xHeight, 1);
}

WordGaps GapsBetweenWords(const std::vector<PageBox>& chars, int32_t xHeight,
                          const std::vector<uint8_t>& codes) {
  WordGaps result;
  if (chars.size() < 2) return result;
  std::vector<int32_t> gaps;
  for (size_t i = 0; i + 1 < chars.size(); ++i)
    gaps.push_back(chars[i + 1].left - chars[i].right - 1);
  // A gap wider than any space (a tab, a gap before a figure's column) is a break, and taken
  // as one of the widest spaces, so that it does not form a group of its own.
  const int32_t widest = int32_t(std::lround(kWidestSpace * xHeight));
  std::vector<int32_t> sorted;
  for (const int32_t gap : gaps) sorted.push_back(std::min(gap, widest));
  std::sort(sorted.begin(), sorted.end());
  const GapGroups groups = SplitOfTwoGroups(sorted, std::max(xHeight, 1), widest);
  // All gaps alike: letters of one word, or single letters apart.
  const bool alike = groups.threshold < 0;
  const double threshold = alike ? kAlikeSpace * xHeight : groups.threshold;
  const double apart = groups.spaceMean - groups.letterMean;
  const bool read = codes.size() == chars.size();
  const std::vector<double> figureGaps =
      read ? FigureGaps(chars, codes, gaps, threshold) : std::vector<double>(gaps.size(), -1.0);
  const double figureSpace = FigureSpaceThreshold(figureGaps, groups);
  for (size_t i = 0; i < gaps.size(); ++i) {
    const bool figures = figureGaps[i] >= 0;
    const bool between =
        alike ? !figures && gaps.size() >= kAlikeGapsToDoubt &&
                    gaps[i] > kAlikeDoubtfulFrom * xHeight && gaps[i] < kAlikeDoubtfulTo * xHeight
              : !figures && gaps[i] > groups.letterMean + kDoubtfulSpaceShare * apart &&
                    gaps[i] < groups.spaceMean - kDoubtfulSpaceShare * apart;
    const bool spaceBesideFigure = read && between && LetterBesideFigure(codes[i], codes[i + 1]);
    // Between figures a gap is a space where far wider than the line's threshold, or where as
    // wide as its spaces and, less a narrow figure's room, wider than its figures stand apart.
    const bool spaceWide = !alike && gaps[i] >= groups.spaceMean - kDoubtfulSpaceShare * apart;
    const bool space = !figures
                           ? gaps[i] > threshold
                           : gaps[i] > kFiguresApart * threshold ||
                                 (spaceWide && figureSpace >= 0 && figureGaps[i] > figureSpace);
    result.breaks.push_back(space || spaceBesideFigure);
    // No word has a capital after a small letter: the space before it went unseen where the
    // capital's arm reaches over it ("DieAufzeichnungen").
    const bool smallThenCapital =
        read && !result.breaks.back() && IsSmall1252(codes[i]) && IsCapital1252(codes[i + 1]);
    const bool afterAnArm = read && !alike && !result.breaks.back() && ReachesOver(codes[i]) &&
                            IsLetter1252(codes[i + 1]) &&
                            gaps[i] > groups.letterMean + kDoubtfulAfterAnArm * apart;
    result.doubtful.push_back((between && !spaceBesideFigure) || smallThenCapital || afterAnArm);
  }
  DoubtTheWidestGapsOfLongRuns(chars, xHeight, gaps, &result);
  return result;
}

std::vector<bool> WordBreaks(const std::vector<PageBox>& chars, int32_t xHeight,
                             const std::vector<uint8_t>& codes) {
  return GapsBetweenWords(chars, xHeight, codes).breaks;
}

namespace {

// A bar, an arm or a hook reaching back over a gap narrows it by this much at least
// (x-heights); less is a letter's own slant or a baseline measured a little off.
constexpr double kReachesOver = 0.25;

// The glyph's box, its sides where its ink between the line's baseline and x-height ends; a
// glyph with no ink there (a quote mark) keeps its box.
PageBox BodyBox(const ReadGlyph& glyph, const InkLine& line) {
  const PageBox& box = glyph.box;
  const GlyphBitmap& ink = glyph.ink;
  if (ink.width != box.Width() || ink.height != box.Height()) return box;
  const int32_t baseline = line.Baseline((box.left + box.right) / 2);
  const int32_t top = std::max(box.top, baseline - line.xHeight + 1);
  const int32_t bottom = std::min(box.bottom, baseline);
  int32_t left = ink.width, right = -1;
  for (int32_t y = top - box.top; y <= bottom - box.top; ++y)
    for (int32_t x = 0; x < ink.width; ++x)
      if (ink.at(x, y)) left = std::min(left, x), right = std::max(right, x);
  if (right < 0) return box;
  return {box.left + left, box.top, box.left + right, box.bottom};
}

}  // namespace

WordGaps GlyphWordGaps(const std::vector<const ReadGlyph*>& glyphs, const InkLine& line) {
  std::vector<PageBox> boxes, bodies;
  std::vector<uint8_t> codes;
  for (const ReadGlyph* g : glyphs) {
    boxes.push_back(g->box);
    bodies.push_back(BodyBox(*g, line));
    codes.push_back(g->readings.empty() ? uint8_t(0) : g->readings.front().code);
  }
  WordGaps gaps = GapsBetweenWords(boxes, line.xHeight, codes);
  // A space is white between the small letters' bodies. The bar or arm of a capital after it
  // ("P.S. The") or a descender's hook ("Dr. J.", "sich je") may reach back over it: where the
  // bodies alone stand a word apart, the gap is in doubt, for the page's words to settle.
  // (Measuring every gap so split letters whose arms reach over their neighbours; an "f"'s
  // arm reaching forward, doubted so, split words of two known ones: "ggf landen".)
  // Most lines have no such glyph, and their gaps need no second measure.
  const double reachOver = kReachesOver * line.xHeight;
  const auto reachesBack = [&](size_t i) { return bodies[i].left - boxes[i].left >= reachOver; };
  bool anyReachesBack = false;
  for (size_t i = 1; i < glyphs.size(); ++i) anyReachesBack |= reachesBack(i);
  if (anyReachesBack) {
    const WordGaps ofBodies = GapsBetweenWords(bodies, line.xHeight, codes);
    for (size_t i = 0; i < gaps.breaks.size(); ++i)
      if (!gaps.breaks[i] && ofBodies.breaks[i] && reachesBack(i + 1)) gaps.doubtful[i] = true;
  }
  for (size_t i = 0; i < gaps.breaks.size(); ++i)
    if (glyphs[i]->spaceAfter != SpaceAfter::kByGap) {
      gaps.breaks[i] = glyphs[i]->spaceAfter == SpaceAfter::kYes;
      gaps.doubtful[i] = false;
    }
  return gaps;
}

namespace {

// The digit and case rules below read the letters that Windows-1252 shares with Latin-1:
// Š Œ Ž š œ ž Ÿ are no letters to them.
bool Lower(uint8_t c) {
  return IsSmall1252(c) && SameInLatin1(c);
}

bool Upper(uint8_t c) {
  return IsCapital1252(c) && SameInLatin1(c);
}

}  // namespace

void Recode(PageChar* c, uint8_t code) {
  if (c->code == code) return;
  std::erase_if(c->alternatives, [code](const Alternative& a) { return a.code == code; });
  c->alternatives.insert(c->alternatives.begin(), {c->code, c->confidence});
  c->code = code;
}

namespace {

// A fax or a light copy loses a nought's thin top and bottom, and its sides read as "()": beside
// a figure, the two are one nought ("2()26", "18:0()").
void JoinBrokenNoughts(std::vector<PageChar>* chars) {
  for (size_t i = 0; i + 1 < chars->size(); ++i) {
    const PageChar& open = (*chars)[i];
    const PageChar& close = (*chars)[i + 1];
    if (open.code != '(' || close.code != ')') continue;
    const bool besideFigure = (i > 0 && IsDigit1252((*chars)[i - 1].code)) ||
                              (i + 2 < chars->size() && IsDigit1252((*chars)[i + 2].code));
    if (!besideFigure) continue;
    PageChar nought = open;
    nought.box.Include(close.box);
    nought.confidence = std::min(open.confidence, close.confidence);
    Recode(&nought, '0');
    (*chars)[i] = std::move(nought);
    chars->erase(chars->begin() + long(i) + 1);
  }
}

}  // namespace

void SettleDigits(PageWord* word) {
  std::vector<PageChar>& chars = word->chars;
  JoinBrokenNoughts(&chars);
  bool letters = false;
  int32_t digits = 0;
  for (const PageChar& c : chars) {
    digits += IsDigit1252(c.code);
    letters |=
        (Lower(c.code) || Upper(c.code)) && !DigitLike(c.code) && c.code != 'O' && c.code != 'o';
  }
  if (letters && digits == 1) {
    // A word with one figure among its letters: a "0" or "1" there is the letter of that
    // shape ("10er" keeps its figures).
    for (size_t i = 0; i < chars.size(); ++i) {
      const uint8_t c = chars[i].code;
      const bool lowerNext =
          (i > 0 && Lower(chars[i - 1].code)) || (i + 1 < chars.size() && Lower(chars[i + 1].code));
      if (c == '0') Recode(&chars[i], lowerNext ? 'o' : 'O');
      if (c == '1' && lowerNext) Recode(&chars[i], 'l');
    }
    return;
  }
  if (letters || digits == 0) return;
  // A number: what reads as a letter or a bracket among its figures is a figure.
  for (size_t i = 0; i < chars.size(); ++i) {
    const uint8_t c = chars[i].code;
    if (c == 'I' || c == 'l' || c == '|' || (c == ']' && i + 1 < chars.size()))
      Recode(&chars[i], '1');
    if (c == 'O' || c == 'o') Recode(&chars[i], '0');
  }
}

namespace {

// At a word's start "I" and "l" differ only in height where a face draws them alike, and the
// height tells only where a page's capitals and ascenders stand apart by more than a scan's
// pixel of noise and the letter stands clearly nearer one of them: a typewriter's capitals
// stand as high as its "l", a book face's nearly so, and there the height read "le" and
// "love" as "Ie" and "Iove" where the classifier had read the shape right.
constexpr double kLeastPixelsApart = 1.5;
constexpr double kNearerBy = 0.25;  // of the distance between the two heights

// 'I', 'l', or 0 where the height tells nothing.
uint8_t IOrLByHeight(const PageChar& c, const LetterHeights& heights, int32_t xHeight) {
  const double apart = heights.ascender - heights.capital;
  if (apart * xHeight < kLeastPixelsApart) return 0;
  const double h = double(c.box.Height()) / xHeight;
  const double middle = (heights.ascender + heights.capital) / 2;
  if (std::abs(h - middle) < kNearerBy * apart) return 0;
  return h > middle ? 'l' : 'I';
}

}  // namespace

void SettleIAndL(PageWord* word, const LetterHeights& heights, int32_t xHeight) {
  std::vector<PageChar>& chars = word->chars;
  for (size_t i = 0; i < chars.size(); ++i) {
    const uint8_t c = chars[i].code;
    if (c != 'I' && c != 'l') continue;
    const bool lowerBefore = i > 0 && Lower(chars[i - 1].code);
    const bool lowerAfter = i + 1 < chars.size() && Lower(chars[i + 1].code);
    const bool upperAfter = i + 1 < chars.size() && Upper(chars[i + 1].code);
    const bool upperAround =
        (i > 0 && Upper(chars[i - 1].code)) && (i + 1 >= chars.size() || upperAfter);
    // A word of capitals may begin with an "I" ("IBAN", "IT"), never with an "l".
    const bool beginsCapitals =
        i == 0 && upperAfter && (i + 2 >= chars.size() || Upper(chars[i + 2].code));
    if (lowerBefore || (i > 0 && lowerAfter)) {
      Recode(&chars[i], 'l');
    } else if (upperAround || beginsCapitals) {
      Recode(&chars[i], 'I');
    } else if (i == 0 && lowerAfter && heights.ascender > 0 && heights.capital > 0 && xHeight > 0) {
      if (const uint8_t byHeight = IOrLByHeight(chars[i], heights, xHeight))
        Recode(&chars[i], byHeight);
    }
  }
}

namespace {

constexpr std::string_view kSmallOnly = "aemnr";
constexpr std::string_view kCaseTwins = "cosuvwxz";
// Capitals stand 1.3 to 1.45 x-heights high in common faces, round small letters overshoot
// by a few per cent: between these, the height tells nothing and the reading stays.
constexpr double kSmallTwinAtMost = 1.12;
constexpr double kCapitalTwinAtLeast = 1.22;
constexpr size_t kSmallLettersNeeded = 3;

}  // namespace

bool IsCaseTwin(uint8_t code) {
  return kCaseTwins.find(char(ToSmall1252(code))) != std::string_view::npos;
}

double SmallLetterHeight(const std::vector<PageWord>& words) {
  std::vector<int32_t> heights;
  for (const PageWord& word : words)
    for (const PageChar& c : word.chars)
      if (kSmallOnly.find(char(c.code)) != std::string_view::npos)
        heights.push_back(c.box.Height());
  if (heights.size() < kSmallLettersNeeded) return 0;
  return Median(std::move(heights));
}

namespace {

// A twin whose top stands no higher above its word's small letters' bottom than this share of
// their height is small, whatever the line says: a fax doubles its rows, and where the line
// is skewed its words' letters stand a row pair taller or shorter than the line's median
// ("Von", 16 rows where the line's small letters have 14); and a speck joined below makes a
// small letter tall ("Um").
constexpr double kSmallLettersTopAtMost = 1.05;

// Whether the letter's top stands level with the word's own small letters (a e m n r), by the
// medians of their tops and bottoms; false where the word has none.
bool LevelWithItsSmallLetters(const PageChar& letter, const PageWord& word) {
  std::vector<int32_t> tops, bottoms;
  for (const PageChar& c : word.chars)
    if (kSmallOnly.find(char(c.code)) != std::string_view::npos)
      tops.push_back(c.box.top), bottoms.push_back(c.box.bottom);
  if (tops.empty()) return false;
  const int32_t bottom = Median(std::move(bottoms));
  const int32_t height = bottom - Median(std::move(tops)) + 1;
  return height > 0 && bottom - letter.box.top + 1 <= kSmallLettersTopAtMost * height;
}

}  // namespace

void SettleCaseTwins(PageWord* word, double smallHeight) {
  if (smallHeight <= 0) return;
  for (PageChar& c : word->chars) {
    if (!IsCaseTwin(c.code)) continue;
    const uint8_t small = ToSmall1252(c.code);
    const double h = LevelWithItsSmallLetters(c, *word) ? 1.0 : c.box.Height() / smallHeight;
    if (h <= kSmallTwinAtMost && c.code != small) Recode(&c, small);
    if (h >= kCapitalTwinAtLeast && c.code == small) Recode(&c, uint8_t(small - 0x20));
  }
}

namespace {

// Capitals whose small letter has another shape or height: one of them no taller than this
// many x-heights is a small capital (a capital stands 1.3 x-heights high or more).
constexpr std::string_view kShapedCapitals = "ABDEFGHKLMNQRTY";
constexpr double kSmallCapitalAtMost = 1.12;
// A line in small capitals shows them in this many words; a lone one is a misreading.
constexpr size_t kWordsInSmallCapitals = 2;

bool SmallCapital(const PageChar& c, int32_t xHeight) {
  return kShapedCapitals.find(char(c.code)) != std::string_view::npos &&
         c.box.Height() <= kSmallCapitalAtMost * xHeight;
}

}  // namespace

void SettleSmallCapitals(std::vector<PageWord>* words, int32_t xHeight) {
  if (xHeight <= 0) return;
  std::vector<bool> shows(words->size(), false);
  size_t showing = 0;
  for (size_t w = 0; w < words->size(); ++w) {
    const std::vector<PageChar>& chars = (*words)[w].chars;
    shows[w] = std::any_of(chars.begin(), chars.end(),
                           [xHeight](const PageChar& c) { return SmallCapital(c, xHeight); });
    showing += shows[w];
  }
  if (showing < kWordsInSmallCapitals) return;
  for (size_t w = 0; w < words->size(); ++w) {
    if (!shows[w]) continue;
    for (PageChar& c : (*words)[w].chars)
      if (IsSmall1252(c.code) && ToCapital1252(c.code) != c.code) Recode(&c, ToCapital1252(c.code));
  }
}

namespace {

constexpr uint8_t kBullet = 0x95, kDegree = 0xB0;  // • °
// A bullet is a dot at least this wide and high (x-heights), a middle dot or a full stop about
// a fifth; and no higher than this, as a letter is. A copy or a fax fattens or frays it, and
// it reads as a small letter or an asterisk too.
constexpr double kLeastBullet = 0.35, kLargestBullet = 0.75;
// Its centre stands between these heights above the baseline (x-heights), as a small letter's.
constexpr double kBulletCentreLowest = 0.2, kBulletCentreHighest = 0.8;
// A degree sign is a ring at most this high (x-heights), its bottom at least this far above
// the baseline: a small "o" stands on it, a raised one ("nº") is rarer than "5 °C".
constexpr double kLargestDegree = 0.7, kDegreeRaised = 0.4;

bool IsBullet(const PageChar& c, int32_t baseline, int32_t xHeight) {
  static constexpr std::string_view kReadAs = "\xB7.eo*";
  if (kReadAs.find(char(c.code)) == std::string_view::npos) return false;
  const double centre = (c.box.top + c.box.bottom) / 2.0;
  const auto bulletSized = [xHeight](int32_t size) {
    return size >= kLeastBullet * xHeight && size <= kLargestBullet * xHeight;
  };
  return bulletSized(c.box.Width()) && bulletSized(c.box.Height()) &&
         centre < baseline - kBulletCentreLowest * xHeight &&
         centre > baseline - kBulletCentreHighest * xHeight;
}

bool IsDegree(const PageChar& c, int32_t baseline, int32_t xHeight) {
  return (c.code == 'o' || c.code == 'O' || c.code == '0') &&
         c.box.Height() <= kLargestDegree * xHeight &&
         c.box.bottom <= baseline - kDegreeRaised * xHeight;
}

// A raised figure ("m³", a footnote's "¹") is about two thirds of a capital high, at most this
// many x-heights, and stands as far above the baseline as a degree sign.
constexpr double kLargestRaisedFigure = 1.0;

// The superscript of a raised "1", "2" or "3" after a character of its word; 0 for none.
uint8_t RaisedFigure(const PageChar& c, int32_t baseline, int32_t xHeight) {
  if (c.box.Height() > kLargestRaisedFigure * xHeight ||
      c.box.bottom > baseline - kDegreeRaised * xHeight)
    return 0;
  switch (c.code) {
    case '1':
      return 0xB9;  // ¹
    case '2':
      return 0xB2;  // ²
    case '3':
      return 0xB3;  // ³
    default:
      return 0;
  }
}

}  // namespace

void SettleCharactersWithoutAClass(PageWord* word, const InkLine& line) {
  if (line.xHeight <= 0) return;
  for (size_t i = 0; i < word->chars.size(); ++i) {
    PageChar& c = word->chars[i];
    const int32_t baseline = line.Baseline((c.box.left + c.box.right) / 2);
    if (word->chars.size() == 1 && IsBullet(c, baseline, line.xHeight)) Recode(&c, kBullet);
    if (IsDegree(c, baseline, line.xHeight)) Recode(&c, kDegree);
    if (const uint8_t raised = i > 0 ? RaisedFigure(c, baseline, line.xHeight) : 0)
      Recode(&c, raised);
  }
}

void SettleCommas(PageWord* word) {
  // Whichever of the two the reader saw (it reads the shape alone), the place decides.
  for (size_t i = 0; i < word->chars.size(); ++i) {
    const uint8_t byPlace = CommaOrLowQuote(*word, i);
    if (byPlace != word->chars[i].code) Recode(&word->chars[i], byPlace);
  }
}

namespace {

// Abbreviations end in a full stop and are mostly short ("usw.", "bzw.", "etc.", "evtl."); a
// word of more small letters before its full stop is none.
constexpr size_t kLongestAbbreviation = 4;
// Before a small letter a shorter word's full stop is an abbreviation's or a comma that lost
// its tail: a comma when the reader found one at least this share as likely as the stop.
constexpr double kCommaShareAfterShortWord = 0.25;

// A mark before a word: an opening quote or bracket, or a speck read as a mark.
bool MarkBeforeAWord(uint8_t c) {
  return !IsLetter1252(c) && !IsDigit1252(c) && c != '.';
}

// The full stop that ends a word of letters (after any marks before it), not a number; -1 when
// the word has none. `letters`: how many letters stand before it.
int FinalStopOf(const PageWord& word, size_t* letters) {
  const std::vector<PageChar>& chars = word.chars;
  if (chars.size() < 2 || chars.back().code != '.') return -1;
  size_t first = 0;
  while (first + 1 < chars.size() && MarkBeforeAWord(chars[first].code)) ++first;
  if (first + 1 == chars.size()) return -1;
  for (size_t i = first; i + 1 < chars.size(); ++i) {
    const bool small = Lower(chars[i].code), capital = i == first && Upper(chars[i].code);
    if (!small && !capital) return -1;
  }
  *letters = chars.size() - 1 - first;
  return int(chars.size()) - 1;
}

bool ReadAsCommaToo(const PageChar& stop) {
  for (const Alternative& a : stop.alternatives)
    if (a.code == ',') return a.confidence >= kCommaShareAfterShortWord * stop.confidence;
  return false;
}

}  // namespace

namespace {

// A comma before a sentence's first word is a full stop with a fax's speck under it, when the
// reader found the stop at least this share as likely as the comma.
constexpr double kStopShareBeforeASentence = 0.15;

bool ReadAsStopToo(const PageChar& comma) {
  for (const Alternative& a : comma.alternatives)
    if (a.code == '.') return a.confidence >= kStopShareBeforeASentence * comma.confidence;
  return false;
}

// Whether a word ends in a comma after a letter.
bool EndsInACommaAfterALetter(const PageWord& word) {
  const std::vector<PageChar>& chars = word.chars;
  return chars.size() > 1 && chars.back().code == ',' && IsLetter1252(chars[chars.size() - 2].code);
}

// Whether the word begins a sentence: a capital whose word the languages know in small
// letters (a noun keeps its capital after a comma: "Vereinbarung, Telefon").
bool BeginsASentence(const PageWord& word, const KnownWords& words) {
  std::string small(CoreOf(word.Text()));
  if (small.empty() || !Upper(uint8_t(small[0]))) return false;
  small[0] = char(ToSmall1252(uint8_t(small[0])));
  return words.Knows(small);
}

}  // namespace

void CommasBeforeSmallLetters(PageText* page, const KnownWords* words) {
  for (PageBlock& block : page->blocks) {
    PageWord* before = nullptr;
    for (PageLine& line : block.lines)
      for (PageWord& word : line.words) {
        // A small "l" may be a capital "I": "Ich" read as "lch".
        if (before && !word.chars.empty() && Lower(word.chars.front().code) &&
            word.chars.front().code != 'l') {
          size_t letters = 0;
          const int stop = FinalStopOf(*before, &letters);
          if (stop >= 0 &&
              (letters > kLongestAbbreviation || ReadAsCommaToo(before->chars[size_t(stop)])))
            Recode(&before->chars[size_t(stop)], ',');
        }
        if (before && words && EndsInACommaAfterALetter(*before) &&
            ReadAsStopToo(before->chars.back()) && BeginsASentence(word, *words))
          Recode(&before->chars.back(), '.');
        before = &word;
      }
  }
}

namespace {

// A mark read this surely, standing alone between spaces, was printed (a quote mark set off
// from its word by a doubtful gap); one read less surely is a speck, and so is one read less
// surely at a word's edge where no mark of its kind stands.
constexpr double kSureLoneMark = 0.8;

// The marks a word of one character may be that belong to a word beside it: full stop, comma,
// middle dot, the quote marks.
bool SmallMark(uint8_t c) {
  return c == '.' || c == ',' || c == 0xB7 || c == '\'' || c == '`' || c == '"' ||
         (c >= 0x91 && c <= 0x94) || c == 0x82 || c == 0x84;  // ‘ ’ “ ” ‚ „
}

bool OpeningQuote(uint8_t c) {
  return c == 0x82 || c == 0x84;  // ‚ „
}

// Marks that never begin a word: a bar, a middle dot, a closing single quote, a grave accent,
// a low single quote (German opens with the double one); and those that never end one.
bool NeverBeginsAWord(uint8_t c) {
  return c == '|' || c == 0xB7 || c == 0x92 || c == '`' || c == 0x82;
}
bool NeverEndsAWord(uint8_t c) {
  return c == '|' || c == 0xB7 || c == 0x82 || c == 0x84;
}

// Such a mark read unsurely before or after a word's letters is a speck ("|gehört", "wir·").
void LeaveOutStrayMarks(PageWord* word) {
  std::vector<PageChar>& chars = word->chars;
  const auto stray = [](const PageChar& c, bool first) {
    return (first ? NeverBeginsAWord(c.code) : NeverEndsAWord(c.code)) &&
           c.confidence < kSureLoneMark;
  };
  if (chars.size() >= 3 && stray(chars.front(), true) && IsLetter1252(chars[1].code))
    chars.erase(chars.begin());
  if (chars.size() >= 3 && stray(chars.back(), false) && IsLetter1252(chars[chars.size() - 2].code))
    chars.pop_back();
  // Two full stops or commas end no word ("Beete..", three are an ellipsis), nor does a comma
  // before a full stop; an abbreviation's full stop before a comma does ("Inc.,"). The less
  // surely read of the two is a speck.
  const size_t n = chars.size();
  if (n >= 3 && IsLetter1252(chars[n - 3].code) &&
      ((chars[n - 2].code == ',' && (chars[n - 1].code == '.' || chars[n - 1].code == ',')) ||
       (chars[n - 2].code == '.' && chars[n - 1].code == '.')))
    chars.erase(chars.begin() +
                long(chars[n - 1].confidence > chars[n - 2].confidence ? n - 2 : n - 1));
}

}  // namespace

void SettleStrayMarks(PageText* page) {
  for (PageBlock& block : page->blocks)
    for (PageLine& line : block.lines) {
      std::vector<PageWord> kept;
      for (size_t w = 0; w < line.words.size(); ++w) {
        PageWord& word = line.words[w];
        if (word.chars.size() != 1 || !SmallMark(word.chars[0].code)) {
          kept.push_back(std::move(word));
          continue;
        }
        const PageChar mark = word.chars[0];
        const bool stopOrComma = mark.code == '.' || mark.code == ',';
        // A middle dot stands between words as a separator ("GmbH · Hauptstraße"), however
        // unsurely it is told from a full stop.
        if (mark.code == 0xB7) {
          kept.push_back(std::move(word));
          continue;
        }
        if (!stopOrComma && mark.confidence < kSureLoneMark) continue;
        PageWord* next = w + 1 < line.words.size() ? &line.words[w + 1] : nullptr;
        if (OpeningQuote(mark.code) && next)
          next->chars.insert(next->chars.begin(), mark);
        else if (!kept.empty())
          kept.back().chars.push_back(mark);
        else if (next && !stopOrComma)
          next->chars.insert(next->chars.begin(), mark);
      }
      for (PageWord& word : kept) LeaveOutStrayMarks(&word);
      line.words = std::move(kept);
    }
  page->Summarise();
}

namespace {

// The single quote marks and the apostrophe: ' ` ‘ ’ ‚
bool SingleQuoteMark(uint8_t c) {
  return c == '\'' || c == '`' || c == 0x91 || c == 0x92 || c == 0x82;
}

// A mark that may stand after a closing quote at a word's end.
bool EndsASentencePart(uint8_t c) {
  return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?';
}

// Where a word's single quote marks at its edges stand: the first character, and the last
// before any closing punctuation (-1: none).
std::pair<int, int> EdgeQuotes(const PageWord& word) {
  const std::vector<PageChar>& chars = word.chars;
  if (chars.size() < 2) return {-1, -1};
  const int first = SingleQuoteMark(chars.front().code) ? 0 : -1;
  int last = int(chars.size()) - 1;
  while (last > 0 && EndsASentencePart(chars[size_t(last)].code)) --last;
  if (last <= first || !SingleQuoteMark(chars[size_t(last)].code)) last = -1;
  return {first, last};
}

bool AfterASibilant(const PageWord& word, int at) {
  if (at < 1) return false;
  const uint8_t before = ToSmall1252(word.chars[size_t(at - 1)].code);
  return before == 's' || before == 'x' || before == 'z' || before == 0xDF;
}

// The word's letters without one of its characters, its marks around them left out.
std::string CoreWithout(const PageWord& word, int without) {
  std::string text;
  for (size_t i = 0; i < word.chars.size(); ++i)
    if (int(i) != without) text += char(word.chars[i].code);
  return std::string(CoreOf(text));
}

// The sentence's first word ("Il", French and Italian for "he" and "the"), read as two equal
// strokes "II"; a Roman numeral stands after a name ("Louis II est") or before a full stop.
constexpr std::string_view kCapitalIAndSmallL = "Il";

bool EndsASentence(const PageWord* before) {
  if (!before) return true;
  const std::string text = before->Text();
  const uint8_t last = text.empty() ? 0 : uint8_t(text.back());
  return last == '.' || last == '!' || last == '?' || last == ':' || last == 0xAB;
}

// "II", "lI" or "ll" as a whole word that begins a sentence before a small letter's word:
// "Il" where the languages know it. The French dictionary knows "II" too, as a numeral: the
// place decides.
bool IsIlReadAsStrokes(const PageWord& word, const PageWord* before, const PageWord* after,
                       const KnownWords& words) {
  const std::string text = word.Text();
  if (text.size() != 2 || text == kCapitalIAndSmallL) return false;
  for (const char c : text)
    if (c != 'I' && c != 'l') return false;
  return EndsASentence(before) && after && !after->chars.empty() &&
         Lower(after->chars.front().code) && words.Knows(kCapitalIAndSmallL);
}

}  // namespace

void SettleIAndLByKnownWords(PageText* page, const KnownWords& words) {
  for (PageBlock& block : page->blocks) {
    std::vector<PageWord*> blockWords;
    for (PageLine& line : block.lines)
      for (PageWord& word : line.words) blockWords.push_back(&word);
    for (size_t w = 0; w < blockWords.size(); ++w) {
      PageWord& word = *blockWords[w];
      const PageWord* before = w > 0 ? blockWords[w - 1] : nullptr;
      const PageWord* after = w + 1 < blockWords.size() ? blockWords[w + 1] : nullptr;
      if (IsIlReadAsStrokes(word, before, after, words)) {
        for (size_t i = 0; i < 2; ++i)
          if (word.chars[i].code != uint8_t(kCapitalIAndSmallL[i]))
            Recode(&word.chars[i], uint8_t(kCapitalIAndSmallL[i]));
        continue;
      }
      const std::string text = word.Text();
      const std::string_view core = CoreOf(text);
      if (core.size() < 2 || (core[0] != 'I' && core[0] != 'l') || !Lower(uint8_t(core[1])))
        continue;
      std::string twin(core);
      twin[0] = core[0] == 'I' ? 'l' : 'I';
      if (words.Knows(core) || !words.Knows(twin)) continue;
      Recode(&word.chars[size_t(core.data() - text.data())], uint8_t(twin[0]));
    }
  }
}

std::string_view CoreOf(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && !IsLetter1252(uint8_t(text[begin]))) ++begin;
  while (end > begin && !IsLetter1252(uint8_t(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

void LeaveOutUnpairedQuotes(PageText* page, const KnownWords& words) {
  struct EdgeMark {
    PageWord* word;
    int at;
    bool opens;  // begins its word
  };
  for (PageBlock& block : page->blocks) {
    std::vector<EdgeMark> marks;  // in reading order
    for (PageLine& line : block.lines)
      for (PageWord& word : line.words) {
        const auto [first, last] = EdgeQuotes(word);
        for (const int at : {first, last})
          if (at >= 0) marks.push_back({&word, at, at == first});
      }
    // An opening mark pairs with a closing one after it, a closing one with an opening one
    // before it.
    std::vector<bool> paired(marks.size(), false);
    bool openedBefore = false, closedAfter = false;
    for (size_t k = 0; k < marks.size(); ++k) {
      if (!marks[k].opens) paired[k] = openedBefore;
      openedBefore |= marks[k].opens;
    }
    for (size_t k = marks.size(); k-- > 0;) {
      if (marks[k].opens) paired[k] = closedAfter;
      closedAfter |= !marks[k].opens;
    }
    // Marks left out from the back, so that a word's first mark keeps its place.
    for (size_t k = marks.size(); k-- > 0;) {
      PageWord& word = *marks[k].word;
      const int at = marks[k].at;
      const std::string core = CoreWithout(word, at);
      if (paired[k] || word.chars[size_t(at)].confidence >= kSureLoneMark || core.size() < 2 ||
          !words.Knows(core) || (!marks[k].opens && AfterASibilant(word, at)))
        continue;
      word.chars.erase(word.chars.begin() + at);
    }
  }
  page->Summarise();
}

namespace {

bool IsSingleQuote(uint8_t c) {
  return c == '\'' || c == 0x91 || c == 0x92;  // ' ‘ ’
}

// How far the tail (the lowest quarter of the ink) ends left of the top half, in the glyph's
// heights. A book face's "’" swings right below its bulb before it curls back: its lower
// half as a whole stands no farther left than its top.
double LeftwardTail(const GlyphBitmap& ink) {
  double top = 0, bottom = 0;
  int32_t inTop = 0, inBottom = 0;
  for (int32_t y = 0; y < ink.height; ++y)
    for (int32_t x = 0; x < ink.width; ++x) {
      if (!ink.at(x, y)) continue;
      if (2 * y < ink.height)
        top += x, ++inTop;
      else if (4 * y >= 3 * ink.height)
        bottom += x, ++inBottom;
    }
  if (inTop == 0 || inBottom == 0 || ink.height == 0) return 0;
  return (top / inTop - bottom / inBottom) / ink.height;
}

}  // namespace

void SettleApostrophes(std::vector<ReadGlyph>* glyphs) {
  for (size_t i = 1; i + 1 < glyphs->size(); ++i) {
    ReadGlyph& mark = (*glyphs)[i];
    const ReadGlyph& before = (*glyphs)[i - 1];
    const ReadGlyph& after = (*glyphs)[i + 1];
    if (mark.readings.empty() || before.readings.empty() || after.readings.empty()) continue;
    if (!IsSingleQuote(mark.readings.front().code) || !IsLetter1252(before.readings.front().code) ||
        !IsLetter1252(after.readings.front().code))
      continue;
    const uint8_t wanted = LeftwardTail(mark.ink) > kCurledTail ? uint8_t(0x92) : uint8_t('\'');
    const auto found = std::find_if(mark.readings.begin(), mark.readings.end(),
                                    [wanted](const ScoredChar& r) { return r.code == wanted; });
    if (found != mark.readings.end()) std::rotate(mark.readings.begin(), found, found + 1);
  }
}

namespace {

// A semicolon's dot has about the ink of its comma's head; a piece with less than this share
// of the rest is a speck (a cut's remnant of the letter before).
constexpr double kSemicolonDotShare = 0.25;

}  // namespace

void SettleSpeckedSemicolons(std::vector<ReadGlyph>* glyphs) {
  for (ReadGlyph& glyph : *glyphs) {
    std::vector<ScoredChar>& readings = glyph.readings;
    if (readings.empty() || readings.front().code != ';') continue;
    std::vector<int32_t> areas = InkPieceAreas(glyph.ink);
    std::sort(areas.begin(), areas.end(), std::greater<>());
    if (areas.size() >= 2 && areas[1] >= kSemicolonDotShare * areas[0]) continue;
    const auto comma = std::find_if(readings.begin(), readings.end(),
                                    [](const ScoredChar& r) { return r.code == ','; });
    if (comma != readings.end())
      std::rotate(readings.begin(), comma, comma + 1);
    else
      readings.insert(readings.begin(), {',', readings.front().score});
  }
}
