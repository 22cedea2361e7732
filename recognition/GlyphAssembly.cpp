// Characters from the ink parts of a line. A character of several parts has them stacked
// (i j ä é : ; ! ?) or nested in its width (% ÷); the two marks of a quote („ “ ") stand side
// by side, close, of one size and in one zone of the line. Touching characters are one part;
// they are cut where the vertical projection has little ink if the pieces read better.
#include <algorithm>
#include <array>
#include <numeric>

#include "recognition/ExtendedPage.h"

namespace {

// Parts of one character: one within the other's columns (kNestedColumns of the narrower
// one's width shared: the rings of "%" within its stroke's columns), or stacked, sharing
// kStackedColumns of the columns and at most kStackedRows of the rows of the lower one (the dot
// over an "i", the accent over an "é"); a letter's neighbour leans over it by less.
constexpr double kNestedColumns = 0.4;
constexpr double kStackedColumns = 0.3;
constexpr double kStackedRows = 0.25;
// A dot or accent is lower than this share of the part it stands on.
constexpr double kMarkHeight = 0.6;
// The marks of a quote: taller than a full stop (kQuoteLowest x-heights), lower than the
// small letters (kQuoteHighest), kUpright times as tall as wide at least; high ones end more
// than kHighZone x-heights above the baseline, low ones begin less than kLowZone above it.
constexpr double kQuoteLowest = 0.3, kQuoteHighest = 0.8, kUpright = 1.3;
constexpr double kHighZone = 0.45, kLowZone = 0.35;
// The two marks of a quote touch (or overlap by a pixel, rounded) or stand at most kQuoteGap
// x-heights apart, the taller at most kQuoteSizes times the other.
constexpr int32_t kQuoteOverlap = 1;
constexpr double kQuoteGap = 0.45, kQuoteSizes = 1.5;
// A full stop has at least this share of an x-height squared in ink, and two pixels at any
// size: less is a speck.
constexpr double kFullStopArea = 0.015;
constexpr double kSpeckPixels = 2.0;
// The columns of least ink tried as cuts, lowest first: a touching pair meets at one of
// its valleys, and more tries cost reading time.
constexpr size_t kCutsTried = 4;
// A glyph at least half as wide as tall may be two letters; narrower ones are one.
constexpr double kWideShape = 0.5;
// A piece of a cut is at least two pixels wide, however small the print.
constexpr int32_t kNarrowestPiecePixels = 2;
// The pieces of a cut may be cut twice more (up to eight letters touching: a heavy copy of a
// typewriter face runs "ommod" into one), no further.
constexpr int kCutDepth = 3;

// Union-find over the parts of a line.
struct Groups {
  std::vector<int32_t> parent;
  explicit Groups(size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
  int32_t Find(int32_t i) {
    while (parent[size_t(i)] != i) i = parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
    return i;
  }
  void Join(int32_t a, int32_t b) { parent[size_t(Find(a))] = Find(b); }
};

// Parts of one character: one within the other's columns, or stacked above each other.
bool PartsOfOneGlyph(const PageBox& a, const PageBox& b) {
  const int32_t overlap = std::min(a.right, b.right) - std::max(a.left, b.left) + 1;
  const int32_t narrower = std::min(a.Width(), b.Width());
  if (overlap >= kNestedColumns * narrower) return true;
  const int32_t vertical = std::min(a.bottom, b.bottom) - std::max(a.top, b.top) + 1;
  return overlap >= kStackedColumns * narrower &&
         vertical <= kStackedRows * std::min(a.Height(), b.Height());
}

int32_t ColumnsShared(const PageBox& a, const PageBox& b) {
  return std::min(a.right, b.right) - std::max(a.left, b.left) + 1;
}

// A dot or accent standing above or below a taller part and sharing its columns.
bool IsMarkOn(const PageBox& mark, const PageBox& base) {
  const int32_t vertical = std::min(mark.bottom, base.bottom) - std::max(mark.top, base.top) + 1;
  return mark.Height() < kMarkHeight * base.Height() && vertical <= kStackedRows * mark.Height() &&
         ColumnsShared(mark, base) >= kStackedColumns * mark.Width();
}

// A low part beside a letter (a cedilla, a comma, a fax's speck) belongs to it only where
// the letter's ink comes down to within kHangingReach x-heights of it in the low part's own
// columns: a comma tucked under the arm of an "r" or a "T" is a character of its own. A low
// part's top is at most kLowMarkTop x-heights above the baseline (the lower piece of a
// broken letter begins higher); a letter is at least kLetterHigh x-heights high (the upper
// dot of a colon is not).
constexpr double kHangingReach = 0.5;
constexpr double kLowMarkTop = 0.3;
constexpr double kLetterHigh = 0.5;

// A full stop kerned under the arm of an "r" (or a "T") comes nearer to it than a comma
// would: a round dot kStopSmallest to kStopLargest x-heights across, standing on the baseline
// (within kStopOnBaseline), reaching out past the letter, and under ink no lower than the
// letter's top third. It is a character of its own unless the letter comes down to within
// kStopReach of it. A fax's letter that lost its hairlines leaves pieces there too (the foot of
// a "z"), but broken strokes fill less of their box than a round dot (pi/4): kRoundFill.
constexpr double kStopSmallest = 0.18, kStopLargest = 0.4, kStopOnBaseline = 0.1;
constexpr double kRoundFill = 0.72;
constexpr double kStopReach = 0.2;

bool RoundDotOnTheBaseline(const PageBox& low, const GlyphBitmap& lowInk, int32_t base,
                           int32_t xHeight) {
  const auto across = [xHeight](int32_t side) {
    return side >= kStopSmallest * xHeight && side <= kStopLargest * xHeight;
  };
  if (!across(low.Width()) || !across(low.Height()) ||
      std::abs(low.bottom - base) > kStopOnBaseline * xHeight + 1)
    return false;
  const auto inked =
      std::count_if(lowInk.ink.begin(), lowInk.ink.end(), [](uint8_t v) { return v != 0; });
  return double(inked) >= kRoundFill * low.Width() * low.Height();
}

// The row of `ink` (the letter at `box`) nearest its bottom, or its top, that holds ink within
// the columns of `columns` (another part beside or under it); -1 for none.
int32_t InkedRowWithin(const GlyphBitmap& ink, const PageBox& box, const PageBox& columns,
                       bool fromBottom) {
  const int32_t from = std::max(std::max(columns.left, box.left) - box.left, 0);
  const int32_t to = std::min(std::min(columns.right, box.right) - box.left, ink.width - 1);
  for (int32_t i = 0; i < ink.height; ++i) {
    const int32_t y = fromBottom ? ink.height - 1 - i : i;
    for (int32_t x = from; x <= to; ++x)
      if (ink.at(x, y)) return y;
  }
  return -1;
}

bool HangsApart(const PageBox& low, const GlyphBitmap& lowInk, const PageBox& high,
                const GlyphBitmap& highInk, const InkLine& line) {
  const int32_t base = line.Baseline((low.left + low.right) / 2);
  if (low.top < base - kLowMarkTop * line.xHeight || high.Height() < kLetterHigh * line.xHeight)
    return false;
  const int32_t lowest = InkedRowWithin(highInk, high, low, true);
  if (lowest < 0) return true;
  const bool stopUnderArm = low.right > high.right && 3 * lowest < high.Height() &&
                            RoundDotOnTheBaseline(low, lowInk, base, line.xHeight);
  return low.top - (high.top + lowest) > (stopUnderArm ? kStopReach : kHangingReach) * line.xHeight;
}

// Parts (InkPart) and read glyphs (ReadGlyph) alike: a box and its ink.
template <typename Inked>
bool HangsApart(const Inked& low, const Inked& high, const InkLine& line) {
  return HangsApart(low.box, low.ink, high.box, high.ink, line);
}

template <typename Inked>
bool ApartOneBelowTheOther(const Inked& a, const Inked& b, const InkLine& line) {
  return HangsApart(a, b, line) || HangsApart(b, a, line);
}

// For each part of the line, the part it is a mark of (-1: none): of the parts it stands
// on, the one whose columns it shares most, so that the dot of "i" after "f" or of "ä"
// after "r" goes to its own letter alone.
std::vector<int32_t> MarkBases(const std::vector<InkPart>& parts,
                               const std::vector<int32_t>& members, const InkLine& line) {
  std::vector<int32_t> base(members.size(), -1);
  std::vector<int32_t> shared(members.size(), 0);
  for (size_t i = 0; i < members.size(); ++i)
    for (size_t j = 0; j < members.size(); ++j) {
      const PageBox& mark = parts[size_t(members[i])].box;
      const PageBox& under = parts[size_t(members[j])].box;
      if (under.left > mark.right) break;  // the parts run left to right
      if (i == j || under.right < mark.left) continue;
      if (IsMarkOn(mark, under) && ColumnsShared(mark, under) > shared[i] &&
          !HangsApart(parts[size_t(members[i])], parts[size_t(members[j])], line))
        shared[i] = ColumnsShared(mark, under), base[i] = int32_t(j);
    }
  return base;
}

enum class Zone { Other, High, Low };

// Where a narrow, upright mark stands: above the small letters (“ ") or on the baseline („).
Zone MarkZone(const PageBox& box, const InkLine& line) {
  const int32_t xh = std::max(line.xHeight, 1);
  // Upright and taller than a full stop.
  if (box.Height() > kQuoteHighest * xh || box.Height() < kUpright * box.Width() ||
      box.Height() < kQuoteLowest * xh)
    return Zone::Other;
  const int32_t base = line.Baseline((box.left + box.right) / 2);
  if (box.bottom < base - kHighZone * xh) return Zone::High;
  if (box.top > base - kLowZone * xh) return Zone::Low;
  return Zone::Other;
}

// An apostrophe or quote mark set into a letter over its low arm (the "L" of "L'atelier")
// shares the letter's columns and rows but none of its ink there: the letter's ink in its
// columns begins more than kHangingReach x-heights below it. A character of its own.
bool HighMarkOverAnArm(const InkPart& mark, const InkPart& letter, const InkLine& line) {
  // Within the letter's rows: a dot or an accent stands above them.
  if (MarkZone(mark.box, line) != Zone::High || mark.box.top < letter.box.top ||
      letter.box.Height() < mark.box.Height() * 2)
    return false;
  const int32_t highest = InkedRowWithin(letter.ink, letter.box, mark.box, false);
  return highest >= 0 && letter.box.top + highest - mark.box.bottom > kHangingReach * line.xHeight;
}

bool QuoteMarks(const PageBox& a, const PageBox& b, const InkLine& line) {
  const Zone zone = MarkZone(a, line);
  if (zone == Zone::Other || MarkZone(b, line) != zone) return false;
  const int32_t gap = b.left - a.right - 1;
  const int32_t taller = std::max(a.Height(), b.Height()),
                shorter = std::min(a.Height(), b.Height());
  return gap >= -kQuoteOverlap && gap <= kQuoteGap * line.xHeight &&
         taller <= kQuoteSizes * shorter;
}

// Specks smaller than any full stop of the line's size.
bool IsSpeck(const InkPart& part, const InkLine& line) {
  return part.inkPixels < std::max(kSpeckPixels, kFullStopArea * line.xHeight * line.xHeight);
}

double PiecesScore(const std::vector<ReadGlyph>& pieces) {
  double score = 1.0;
  for (const ReadGlyph& piece : pieces) score = std::min(score, piece.Score());
  return pieces.empty() ? 0.0 : score;
}

// The ink of each column of the glyph.
std::vector<int32_t> ColumnInk(const GlyphBitmap& ink) {
  std::vector<int32_t> columns(size_t(ink.width), 0);
  for (int32_t y = 0; y < ink.height; ++y)
    for (int32_t x = 0; x < ink.width; ++x) columns[size_t(x)] += ink.at(x, y);
  return columns;
}

// The glyph as read.
ReadGlyph WithReading(GlyphReading reading, const GlyphBitmap& ink, const PageBox& box) {
  ReadGlyph glyph;
  glyph.box = box;
  glyph.ink = ink;
  glyph.readings = std::move(reading.readings);
  glyph.verdict = std::move(reading.verdict);
  glyph.oneCharacter = reading.oneCharacter;
  glyph.features = std::move(reading.features);
  return glyph;
}

// Cut columns worth a try: both ends of each valley of the column ink counts (a thin
// joining stroke is flat, and the letters meet at one of its ends), the lowest first, the
// pieces at least a narrow letter wide.
std::vector<int32_t> CutCandidates(const GlyphBitmap& ink, int32_t minPiece) {
  const std::vector<int32_t> columns = ColumnInk(ink);
  std::vector<int32_t> cuts;
  for (int32_t x = minPiece; x <= ink.width - minPiece; ++x) {
    int32_t end = x;
    while (end + 1 <= ink.width - minPiece && columns[size_t(end + 1)] == columns[size_t(x)]) ++end;
    const bool lowerThanLeft = columns[size_t(x - 1)] > columns[size_t(x)];
    const bool lowerThanRight =
        end + 1 >= ink.width || columns[size_t(end + 1)] > columns[size_t(x)];
    if (lowerThanLeft && lowerThanRight) {
      cuts.push_back(x);
      if (end != x) cuts.push_back(end + 1);
    }
    x = end;
  }
  std::stable_sort(cuts.begin(), cuts.end(), [&columns](int32_t a, int32_t b) {
    return columns[size_t(a)] < columns[size_t(b)];
  });
  if (cuts.size() > kCutsTried) cuts.resize(kCutsTried);
  return cuts;
}

constexpr double kConfident = 0.85;  // a reading this good is not questioned by cutting
// Glyphs this wide (x-heights) may be two letters; each piece of a cut is a letter, at
// least as wide as an "i".
constexpr double kWideGlyph = 0.8;
constexpr double kNarrowestPiece = 0.2;
// The pieces must read this much better than the whole. Template scores of a whole and its
// pieces lie close together; the learned classifier's probabilities are spread wide, and
// a piece of a letter (the arc of an "o", half a "w") often reads as a letter of its own.
constexpr double kTemplateSplitGain = 0.03;
constexpr double kProbabilitySplitGain = 0.3;

std::vector<ReadGlyph> ReadSplit(const GlyphBitmap& ink, const PageBox& box, const InkLine& line,
                                 const ClassifyBatch& classify, double gain, int depth,
                                 GlyphReading reading, bool suspected = false) {
  std::vector<ReadGlyph> whole{WithReading(std::move(reading), ink, box)};
  const int32_t xh = std::max(line.xHeight, 1);
  const bool wide = ink.width >= kWideGlyph * xh && ink.width >= kWideShape * ink.height;
  if (depth >= kCutDepth || (!suspected && (whole[0].Wholeness() >= kConfident || !wide)))
    return whole;

  // Both pieces of every cut worth a try, read in one batch.
  struct Cut {
    GlyphBitmap ink[2];
    PageBox box[2];
  };
  std::vector<Cut> cuts;
  for (int32_t cut :
       CutCandidates(ink, std::max(kNarrowestPiecePixels, int32_t(kNarrowestPiece * xh)))) {
    Cut c;
    if (CutPiece(ink, box, 0, cut, &c.ink[0], &c.box[0]) &&
        CutPiece(ink, box, cut, ink.width, &c.ink[1], &c.box[1]))
      cuts.push_back(std::move(c));
  }
  std::vector<GlyphToRead> pieces;
  for (const Cut& c : cuts)
    for (int k = 0; k < 2; ++k)
      pieces.push_back({&c.ink[k], c.box[k], line.MetricsUnder(c.box[k])});
  std::vector<GlyphReading> readings =
      pieces.empty() ? std::vector<GlyphReading>{} : classify(pieces);
  std::vector<ReadGlyph> best = whole;
  double bestScore = whole[0].Wholeness() + gain;
  for (size_t i = 0; i < cuts.size(); ++i) {
    const Cut& c = cuts[i];
    std::vector<ReadGlyph> read =
        ReadSplit(c.ink[0], c.box[0], line, classify, gain, depth + 1, std::move(readings[2 * i]));
    for (ReadGlyph& g : ReadSplit(c.ink[1], c.box[1], line, classify, gain, depth + 1,
                                  std::move(readings[2 * i + 1])))
      read.push_back(std::move(g));
    const double score = PiecesScore(read);
    if (score > bestScore) bestScore = score, best = std::move(read);
  }
  return best;
}

}  // namespace

bool CutPiece(const GlyphBitmap& ink, const PageBox& box, int32_t from, int32_t to,
              GlyphBitmap* piece, PageBox* pieceBox) {
  int32_t left = to, right = from - 1, top = ink.height, bottom = -1;
  for (int32_t y = 0; y < ink.height; ++y)
    for (int32_t x = from; x < to; ++x)
      if (ink.at(x, y)) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  if (right < left) return false;
  piece->width = right - left + 1;
  piece->height = bottom - top + 1;
  piece->ink.assign(size_t(piece->width) * size_t(piece->height), 0);
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x)
      piece->ink[size_t(y - top) * size_t(piece->width) + size_t(x - left)] = ink.at(x, y);
  *pieceBox = {box.left + left, box.top + top, box.left + right, box.top + bottom};
  return true;
}

std::vector<GlyphParts> AssembleGlyphs(const std::vector<InkPart>& parts, const InkLine& line) {
  const std::vector<int32_t>& members = line.parts;  // left to right
  const size_t n = members.size();
  Groups groups(n);
  const std::vector<int32_t> markBase = MarkBases(parts, members, line);
  for (size_t i = 0; i < n; ++i) {
    if (markBase[i] >= 0) groups.Join(int32_t(i), markBase[i]);
    for (size_t j = i + 1; j < n; ++j) {
      const PageBox& a = parts[size_t(members[i])].box;
      const PageBox& b = parts[size_t(members[j])].box;
      if (b.left > a.right) break;
      // A mark joins its own base only.
      const bool aMark = markBase[i] >= 0 && a.Height() <= b.Height();
      const bool bMark = markBase[j] >= 0 && b.Height() <= a.Height();
      const InkPart& partA = parts[size_t(members[i])];
      const InkPart& partB = parts[size_t(members[j])];
      if (!aMark && !bMark && PartsOfOneGlyph(a, b) && !ApartOneBelowTheOther(partA, partB, line) &&
          !HighMarkOverAnArm(partA, partB, line) && !HighMarkOverAnArm(partB, partA, line))
        groups.Join(int32_t(i), int32_t(j));
    }
  }
  std::vector<int32_t> size(n, 0);
  for (size_t i = 0; i < n; ++i) ++size[size_t(groups.Find(int32_t(i)))];
  for (size_t i = 0; i + 1 < n; ++i) {
    const int32_t a = groups.Find(int32_t(i)), b = groups.Find(int32_t(i + 1));
    if (size[size_t(a)] == 1 && size[size_t(b)] == 1 &&
        QuoteMarks(parts[size_t(members[i])].box, parts[size_t(members[i + 1])].box, line)) {
      groups.Join(int32_t(i), int32_t(i + 1));
      size[size_t(groups.Find(int32_t(i)))] = 2;
    }
  }
  std::vector<GlyphParts> glyphs;
  std::vector<int32_t> glyphOfRoot(n, -1);
  for (size_t i = 0; i < n; ++i) {
    const int32_t root = groups.Find(int32_t(i));
    if (glyphOfRoot[size_t(root)] < 0) {
      glyphOfRoot[size_t(root)] = int32_t(glyphs.size());
      glyphs.emplace_back();
    }
    GlyphParts& glyph = glyphs[size_t(glyphOfRoot[size_t(root)])];
    glyph.parts.push_back(members[i]);
    glyph.box.Include(parts[size_t(members[i])].box);
  }
  std::erase_if(glyphs, [&](const GlyphParts& g) {
    return g.parts.size() == 1 && IsSpeck(parts[size_t(g.parts[0])], line);
  });
  std::sort(glyphs.begin(), glyphs.end(), [](const GlyphParts& a, const GlyphParts& b) {
    return a.box.left + a.box.right < b.box.left + b.box.right;
  });
  return glyphs;
}

GlyphBitmap GlyphInk(const std::vector<InkPart>& parts, const std::vector<int32_t>& members,
                     const PageBox& box) {
  GlyphBitmap glyph;
  glyph.width = box.Width();
  glyph.height = box.Height();
  glyph.ink.assign(size_t(glyph.width) * size_t(glyph.height), 0);
  for (int32_t index : members) {
    const InkPart& part = parts[size_t(index)];
    const int32_t dx = part.box.left - box.left, dy = part.box.top - box.top;
    for (int32_t y = 0; y < part.ink.height; ++y)
      for (int32_t x = 0; x < part.ink.width; ++x)
        if (part.ink.at(x, y)) glyph.ink[size_t(y + dy) * size_t(glyph.width) + size_t(x + dx)] = 1;
  }
  return glyph;
}

std::vector<ReadGlyph> ReadWithSplits(const GlyphBitmap& ink, const PageBox& box,
                                      const InkLine& line, const ClassifyFunction& classify) {
  const ClassifyBatch eachAlone = [&classify](const std::vector<GlyphToRead>& glyphs) {
    std::vector<GlyphReading> readings;
    for (const GlyphToRead& g : glyphs) readings.push_back(classify(*g.ink, g.box, g.metrics));
    return readings;
  };
  return ReadSplit(ink, box, line, eachAlone, kTemplateSplitGain, 0,
                   classify(ink, box, line.MetricsUnder(box)));
}

std::vector<ReadGlyph> ReadWithSplits(const GlyphBitmap& ink, const PageBox& box,
                                      const InkLine& line, const ClassifyBatch& classify,
                                      GlyphReading whole) {
  return ReadSplit(ink, box, line, classify, kProbabilitySplitGain, 0, std::move(whole));
}

// The pieces of a glyph too wide for its reading need only read fairly: the whole is
// known to be wrong.
constexpr double kWideCutPieces = 0.6;

std::vector<ReadGlyph> CutTooWide(const ReadGlyph& glyph, const InkLine& line,
                                  const ClassifyBatch& classify) {
  // Read as doubted wholly, a cut wins where each piece reads fairly.
  GlyphReading doubted(glyph.readings, glyph.verdict);
  doubted.oneCharacter = 0;
  std::vector<ReadGlyph> read =
      ReadSplit(glyph.ink, glyph.box, line, classify, kWideCutPieces, 0, std::move(doubted), true);
  if (read.size() == 1) return {glyph};
  return read;
}

namespace {

// Neighbours this close may be pieces of one character whose thin strokes were lost: a fax
// or a light copy breaks the arch of an "n" or the bowl of a "D" into strokes that stand
// closer than letters do.
constexpr double kJoinGap = 0.15;  // x-heights between the pieces
// The whole must read this much better than its weaker piece: two letters drawn together
// read as "not one character", so real neighbours are not joined.
constexpr double kJoinGain = 0.15;
// The pieces of a broken letter stand side by side sharing most of their rows, or one
// above the other sharing most of their columns; a mark beside and above its neighbour
// (the apostrophe of "r's") is no piece of it.
constexpr double kJoinRows = 0.5;
// A character broken into three or four pieces is joined over as many rounds.
constexpr int kJoinRounds = 3;
// A letter of a light copy that lost its hairlines leaves strokes that read as marks ("e" as
// "(" and "‘"), farther apart than kJoinGap: two such pieces up to kMarkJoinGap apart,
// together no wider than kMarkJoinWidth (x-heights), are joined where the whole reads at least
// kSureMarkJoin. A fax's specks joined so read less surely, as junk.
constexpr double kMarkJoinGap = 0.5;
constexpr double kMarkJoinWidth = 1.2;
constexpr double kSureMarkJoin = 0.95;

// A low double quote opens a word. Two marks right after a letter that read as one are two:
// the full stop and the comma of "Inc.," or "U.S.,". A letter this close (x-heights) ends the
// word they follow; a space before a quote is wider.
constexpr uint8_t kLowDoubleQuote = 0x84;  // „
constexpr double kWordEndGap = 0.25;

bool RightAfterALetter(const std::vector<ReadGlyph>& glyphs, size_t i, double xh) {
  return i > 0 && !glyphs[i - 1].readings.empty() &&
         IsLetter1252(glyphs[i - 1].readings.front().code) &&
         glyphs[i].box.left - glyphs[i - 1].box.right - 1 <= kWordEndGap * xh;
}

// Whether two neighbours may be pieces of one character, by the gap between them; `marks`:
// only as pieces that both read as marks.
bool CloseEnoughToJoin(const ReadGlyph& a, const ReadGlyph& b, double xh, bool* marks) {
  const int32_t gap = b.box.left - a.box.right - 1;
  *marks = false;
  if (gap <= kJoinGap * xh) return true;
  *marks = ReadAsMark(a) && ReadAsMark(b) && gap <= kMarkJoinGap * xh &&
           b.box.right - a.box.left + 1 <= kMarkJoinWidth * xh;
  return *marks;
}

// One round: every close pair with a doubtful piece is read whole in one batch, and the
// pairs that gain most are joined (no glyph twice). False when nothing was joined.
bool JoinRound(std::vector<ReadGlyph>* glyphs, const InkLine& line, const ClassifyBatch& classify) {
  const double xh = std::max(line.xHeight, 1);
  std::vector<size_t> firsts;
  std::vector<ReadGlyph> wholes;
  std::vector<bool> ofMarks;
  for (size_t i = 0; i + 1 < glyphs->size(); ++i) {
    const ReadGlyph& a = (*glyphs)[i];
    const ReadGlyph& b = (*glyphs)[i + 1];
    bool marks = false;
    const bool close = CloseEnoughToJoin(a, b, xh, &marks);
    const int32_t sharedRows =
        std::min(a.box.bottom, b.box.bottom) - std::max(a.box.top, b.box.top) + 1;
    const int32_t sharedColumns = a.box.right - b.box.left + 1;
    const bool sideBySide = sharedRows >= kJoinRows * std::min(a.box.Height(), b.box.Height());
    const bool stacked = sharedColumns >= kJoinRows * std::min(a.box.Width(), b.box.Width());
    if (!close || !(sideBySide || stacked) || std::min(a.Score(), b.Score()) >= kConfident ||
        ApartOneBelowTheOther(a, b, line))
      continue;
    firsts.push_back(i);
    wholes.push_back(JoinedGlyph(a, b));
    ofMarks.push_back(marks);
  }
  if (wholes.empty()) return false;
  std::vector<GlyphToRead> batch;
  for (const ReadGlyph& whole : wholes)
    batch.push_back({&whole.ink, whole.box, line.MetricsUnder(whole.box)});
  std::vector<GlyphReading> readings = classify(batch);
  std::vector<std::pair<double, size_t>> gains;
  for (size_t k = 0; k < wholes.size(); ++k) {
    wholes[k].readings = std::move(readings[k].readings);
    wholes[k].oneCharacter = readings[k].oneCharacter;
    wholes[k].features = std::move(readings[k].features);
    const size_t i = firsts[k];
    const double pieces = std::min((*glyphs)[i].Score(), (*glyphs)[i + 1].Score());
    if (ofMarks[k] && wholes[k].Score() < kSureMarkJoin) continue;
    if (wholes[k].readings.front().code == kLowDoubleQuote && RightAfterALetter(*glyphs, i, xh))
      continue;
    if (wholes[k].Score() >= pieces + kJoinGain) gains.push_back({wholes[k].Score() - pieces, k});
  }
  if (gains.empty()) return false;
  std::sort(gains.rbegin(), gains.rend());
  std::vector<int> joinedWith(glyphs->size(), -1);  // the whole that replaces the glyph
  for (const auto& [gain, k] : gains) {
    const size_t i = firsts[k];
    if (joinedWith[i] >= 0 || joinedWith[i + 1] >= 0) continue;
    joinedWith[i] = joinedWith[i + 1] = int(k);
  }
  std::vector<ReadGlyph> result;
  for (size_t i = 0; i < glyphs->size(); ++i) {
    if (joinedWith[i] < 0) {
      result.push_back(std::move((*glyphs)[i]));
    } else if (i == firsts[size_t(joinedWith[i])]) {
      result.push_back(std::move(wholes[size_t(joinedWith[i])]));
    }
  }
  *glyphs = std::move(result);
  return true;
}

}  // namespace

ReadGlyph JoinedGlyph(const ReadGlyph& a, const ReadGlyph& b) {
  ReadGlyph joined;
  joined.box = a.box;
  joined.box.Include(b.box);
  joined.ink.width = joined.box.Width();
  joined.ink.height = joined.box.Height();
  joined.ink.ink.assign(size_t(joined.ink.width) * size_t(joined.ink.height), 0);
  for (const ReadGlyph* piece : {&a, &b})
    for (int32_t y = 0; y < piece->ink.height; ++y)
      for (int32_t x = 0; x < piece->ink.width; ++x)
        if (piece->ink.at(x, y))
          joined.ink.ink[size_t(y + piece->box.top - joined.box.top) * size_t(joined.ink.width) +
                         size_t(x + piece->box.left - joined.box.left)] = 1;
  return joined;
}

// The characters past the kept readings are rare ones, taken as weighed by 1.
void WeighByPriors(const CharacterPriors& priors, GlyphReading* reading) {
  double lost = 0;
  for (ScoredChar& c : reading->readings) {
    lost += c.score * (1.0 - priors[c.code]);
    c.score *= priors[c.code];
  }
  if (lost <= 0) return;
  const double total = 1.0 - lost;  // of all classes, "not one character" among them
  for (ScoredChar& c : reading->readings) c.score /= total;
  reading->oneCharacter = std::max(0.0, reading->oneCharacter - lost) / total;
  std::stable_sort(reading->readings.begin(), reading->readings.end(),
                   [](const ScoredChar& a, const ScoredChar& b) { return a.score > b.score; });
}

std::vector<std::array<ReadGlyph, 2>> CutsAcross(const ReadGlyph& glyph, const InkLine& line,
                                                 size_t most) {
  std::vector<std::array<ReadGlyph, 2>> cuts;
  const int32_t xh = std::max(line.xHeight, 1);
  const GlyphBitmap& ink = glyph.ink;
  if (ink.width < kWideGlyph * xh || ink.width < kWideShape * ink.height) return cuts;
  for (int32_t at :
       CutCandidates(ink, std::max(kNarrowestPiecePixels, int32_t(kNarrowestPiece * xh)))) {
    std::array<ReadGlyph, 2> pieces;
    if (!CutPiece(ink, glyph.box, 0, at, &pieces[0].ink, &pieces[0].box) ||
        !CutPiece(ink, glyph.box, at, ink.width, &pieces[1].ink, &pieces[1].box))
      continue;
    cuts.push_back(std::move(pieces));
    if (cuts.size() == most) break;
  }
  return cuts;
}

namespace {

// Each pixel's 8-connected component of the ink (0 for paper, components from 1); their count.
int32_t LabelComponents(const GlyphBitmap& ink, std::vector<int32_t>* labels) {
  labels->assign(ink.ink.size(), 0);
  int32_t count = 0;
  std::vector<std::pair<int32_t, int32_t>> stack;
  for (int32_t y0 = 0; y0 < ink.height; ++y0)
    for (int32_t x0 = 0; x0 < ink.width; ++x0) {
      if (!ink.at(x0, y0) || (*labels)[size_t(y0) * size_t(ink.width) + size_t(x0)]) continue;
      ++count;
      stack.push_back({x0, y0});
      (*labels)[size_t(y0) * size_t(ink.width) + size_t(x0)] = count;
      while (!stack.empty()) {
        const auto [x, y] = stack.back();
        stack.pop_back();
        for (int32_t ny = std::max(y - 1, 0); ny <= std::min(y + 1, ink.height - 1); ++ny)
          for (int32_t nx = std::max(x - 1, 0); nx <= std::min(x + 1, ink.width - 1); ++nx) {
            int32_t& label = (*labels)[size_t(ny) * size_t(ink.width) + size_t(nx)];
            if (ink.at(nx, ny) && !label) label = count, stack.push_back({nx, ny});
          }
      }
    }
  return count;
}

// A speck beside a letter's body has less ink than this share of the body's tallest piece.
constexpr double kSpeckShareOfBody = 0.25;

// A glyph's 8-connected pieces: each pixel's piece (0: paper), each piece's box in the glyph's
// own pixels and its ink, by piece from 1, and the tallest piece (0: no ink).
struct Pieces {
  std::vector<int32_t> labels;
  std::vector<PageBox> boxes;
  std::vector<int32_t> area;
  size_t tallest = 0;
  size_t Count() const { return boxes.size() - 1; }
  int32_t At(const GlyphBitmap& ink, int32_t x, int32_t y) const {
    return labels[size_t(y) * size_t(ink.width) + size_t(x)];
  }
};

Pieces PiecesOf(const GlyphBitmap& ink) {
  Pieces pieces;
  const int32_t count = LabelComponents(ink, &pieces.labels);
  pieces.boxes.assign(size_t(count) + 1, PageBox{ink.width, ink.height, -1, -1});
  pieces.area.assign(size_t(count) + 1, 0);
  for (int32_t y = 0; y < ink.height; ++y)
    for (int32_t x = 0; x < ink.width; ++x)
      if (const int32_t label = pieces.At(ink, x, y)) {
        PageBox& b = pieces.boxes[size_t(label)];
        b.left = std::min(b.left, x), b.right = std::max(b.right, x);
        b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
        ++pieces.area[size_t(label)];
      }
  for (size_t k = 1; k <= size_t(count); ++k)
    if (!pieces.tallest || pieces.boxes[k].Height() > pieces.boxes[pieces.tallest].Height())
      pieces.tallest = k;
  return pieces;
}

PageBox OnThePage(const PageBox& inGlyph, const PageBox& glyphBox) {
  return {glyphBox.left + inGlyph.left, glyphBox.top + inGlyph.top, glyphBox.left + inGlyph.right,
          glyphBox.top + inGlyph.bottom};
}

}  // namespace

std::vector<int32_t> InkPieceAreas(const GlyphBitmap& ink) {
  std::vector<int32_t> area = PiecesOf(ink).area;
  area.erase(area.begin());  // the paper's
  return area;
}

bool ReadAsMark(const ReadGlyph& glyph) {
  if (glyph.readings.empty()) return false;
  const uint8_t code = glyph.readings.front().code;
  return !IsLetter1252(code) && !IsDigit1252(code);
}

PageBox BodyBox(const ReadGlyph& glyph) {
  const Pieces pieces = PiecesOf(glyph.ink);
  if (pieces.Count() < 2) return glyph.box;
  const PageBox& tallest = pieces.boxes[pieces.tallest];
  PageBox body = tallest;
  for (size_t k = 1; k <= pieces.Count(); ++k) {
    const PageBox& b = pieces.boxes[k];
    const bool apart = b.bottom < tallest.top || b.top > tallest.bottom;
    if (apart && pieces.area[k] < kSpeckShareOfBody * pieces.area[pieces.tallest]) continue;
    body.Include(b);
  }
  return OnThePage(body, glyph.box);
}

namespace {

// A fax's speck joined into a glyph's box has less ink than this share of the glyph's tallest
// piece.
constexpr double kStraySpeckShare = 0.15;

// The glyph without the pieces that `leftOut(pieces, k)` picks; how many it picked.
template <typename Picks>
int32_t WithoutPieces(const ReadGlyph& glyph, ReadGlyph* body, Picks leftOut) {
  const GlyphBitmap& ink = glyph.ink;
  const Pieces pieces = PiecesOf(ink);
  if (pieces.Count() < 2) return 0;
  PageBox kept{ink.width, ink.height, -1, -1};  // in the glyph's own pixels
  int32_t picked = 0;
  for (size_t k = 1; k <= pieces.Count(); ++k)
    if (leftOut(pieces, k))
      ++picked;
    else
      kept.Include(pieces.boxes[k]);
  if (picked == 0) return 0;
  body->box = OnThePage(kept, glyph.box);
  body->ink.width = kept.Width();
  body->ink.height = kept.Height();
  body->ink.ink.assign(size_t(body->ink.width) * size_t(body->ink.height), 0);
  for (int32_t y = kept.top; y <= kept.bottom; ++y)
    for (int32_t x = kept.left; x <= kept.right; ++x) {
      const int32_t label = pieces.At(ink, x, y);
      if (label && !leftOut(pieces, size_t(label)))
        body->ink.ink[size_t(y - kept.top) * size_t(body->ink.width) + size_t(x - kept.left)] = 1;
    }
  return picked;
}

}  // namespace

int32_t WithoutMarkAbove(const ReadGlyph& glyph, ReadGlyph* body) {
  return WithoutPieces(glyph, body, [](const Pieces& pieces, size_t k) {
    return pieces.boxes[k].bottom < pieces.boxes[pieces.tallest].top;
  });
}

int32_t WithoutInkBelow(const ReadGlyph& glyph, ReadGlyph* body) {
  return WithoutPieces(glyph, body, [](const Pieces& pieces, size_t k) {
    return pieces.boxes[k].top > pieces.boxes[pieces.tallest].bottom;
  });
}

int32_t WithoutSpecks(const ReadGlyph& glyph, ReadGlyph* body) {
  return WithoutPieces(glyph, body, [](const Pieces& pieces, size_t k) {
    return k != pieces.tallest && pieces.area[k] < kStraySpeckShare * pieces.area[pieces.tallest];
  });
}

void JoinBrokenGlyphs(std::vector<ReadGlyph>* glyphs, const InkLine& line,
                      const ClassifyBatch& classify) {
  for (int round = 0; round < kJoinRounds; ++round)
    if (!JoinRound(glyphs, line, classify)) return;
}

namespace {

// A full stop or comma touching the letter before it: its head stands lower than
// kStopHeadTop x-heights above the baseline and a comma's tail ends less than kCommaTail below
// it; where it meets the letter (a serif's foot, ink spread by a copy), a neck of at most
// kNeckShare of the mark's thickest column joins them, and the mark's head (a full stop's
// size above the baseline) rises above the neck by at least kHeadOverNeck of its height. A
// letter's own foot, or a typewriter's foot serif blotted at its end, is about as thick where
// it leaves the letter as at its end.
constexpr double kStopHeadTop = 0.45;
constexpr double kCommaTail = 0.6;
constexpr double kNeckShare = 0.5;
constexpr double kHeadOverNeck = 0.5;
// The mark cut off must read as a full stop or comma at least this surely (a comma's tail
// loses a pixel or two to the cut); its shape above already rules out a letter's foot.
constexpr double kSureStop = 0.5;

// The glyph's topmost inked row in column x (its height where the column has no ink).
int32_t TopInkRow(const GlyphBitmap& ink, int32_t x) {
  int32_t y = 0;
  while (y < ink.height && !ink.at(x, y)) ++y;
  return y;
}

// The glyph's column where a mark touching its right end is cut off (the neck, left out of
// both pieces), or -1 where its last columns hold no such mark.
int32_t TouchingStopNeck(const ReadGlyph& glyph, const InkLine& line) {
  const GlyphBitmap& ink = glyph.ink;
  const int32_t xh = line.xHeight;
  if (xh <= 0) return -1;
  const int32_t base = line.Baseline(glyph.box.right) - glyph.box.top;  // a row of the glyph
  // The columns at the right end whose ink all stands as low as a mark's head.
  int32_t lowFrom = ink.width;
  while (lowFrom > 0 && TopInkRow(ink, lowFrom - 1) >= base + 1 - kStopHeadTop * xh) --lowFrom;
  const int32_t smallest = int32_t(std::ceil(kStopSmallest * xh));
  if (lowFrom < kNarrowestPiece * xh || ink.width - lowFrom < smallest + 1) return -1;
  const std::vector<int32_t> columns = ColumnInk(ink);
  int32_t neck = -1;
  for (int32_t x = lowFrom; x < ink.width - smallest; ++x)
    if (neck < 0 || columns[size_t(x)] <= columns[size_t(neck)]) neck = x;
  // A dot is as tall as wide: a foot serif two pixels thick is none.
  const int32_t thickest = *std::max_element(columns.begin() + neck + 1, columns.end());
  if (thickest < smallest || columns[size_t(neck)] > kNeckShare * thickest) return -1;
  int32_t headTop = ink.height;
  for (int32_t x = neck + 1; x < ink.width; ++x) headTop = std::min(headTop, TopInkRow(ink, x));
  const int32_t head = std::min(ink.height - 1, base) - headTop + 1;
  if (head < smallest || TopInkRow(ink, neck) - headTop < kHeadOverNeck * head) return -1;
  if (ink.width - 1 - neck > kStopLargest * xh + 1 || ink.height - 1 > base + kCommaTail * xh)
    return -1;
  return neck;
}

// The letter without the mark reads surely, and as the whole did: the foot of an "L" cut off
// leaves an "I", a typewriter's "l" whose foot ends in a blot of ink a "1".
bool ReadsAsTheSameLetter(const ReadGlyph& letter, const ReadGlyph& whole) {
  return letter.Score() >= kConfident && !whole.readings.empty() &&
         letter.readings.front().code == whole.readings.front().code;
}

bool ReadsAsStop(const ReadGlyph& mark) {
  return !mark.readings.empty() && mark.Score() >= kSureStop &&
         (mark.readings.front().code == '.' || mark.readings.front().code == ',');
}

}  // namespace

void SplitOffTouchingStops(std::vector<ReadGlyph>* glyphs, const InkLine& line,
                           const ClassifyBatch& classify) {
  struct Split {
    size_t glyph;
    GlyphBitmap ink[2];
    PageBox box[2];
  };
  std::vector<Split> splits;
  for (size_t i = 0; i < glyphs->size(); ++i) {
    const ReadGlyph& glyph = (*glyphs)[i];
    const int32_t neck = TouchingStopNeck(glyph, line);
    Split s{i, {}, {}};
    if (neck >= 0 && CutPiece(glyph.ink, glyph.box, 0, neck, &s.ink[0], &s.box[0]) &&
        CutPiece(glyph.ink, glyph.box, neck + 1, glyph.ink.width, &s.ink[1], &s.box[1]))
      splits.push_back(std::move(s));
  }
  if (splits.empty()) return;
  std::vector<GlyphToRead> pieces;
  for (const Split& s : splits)
    for (int k = 0; k < 2; ++k)
      pieces.push_back({&s.ink[k], s.box[k], line.MetricsUnder(s.box[k])});
  std::vector<GlyphReading> readings = classify(pieces);
  std::vector<ReadGlyph> result;
  size_t next = 0;
  for (size_t i = 0; i < glyphs->size(); ++i) {
    if (next < splits.size() && splits[next].glyph == i) {
      const Split& s = splits[next];
      ReadGlyph letter = WithReading(std::move(readings[2 * next]), s.ink[0], s.box[0]);
      ReadGlyph mark = WithReading(std::move(readings[2 * next + 1]), s.ink[1], s.box[1]);
      ++next;
      if (ReadsAsTheSameLetter(letter, (*glyphs)[i]) && ReadsAsStop(mark)) {
        result.push_back(std::move(letter));
        result.push_back(std::move(mark));
        continue;
      }
    }
    result.push_back(std::move((*glyphs)[i]));
  }
  *glyphs = std::move(result);
}
