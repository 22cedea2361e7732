// Text lines of a block. Letters of one line share a band of rows, and neighbours along the
// line share it even on a skewed page, so lines grow from left to right, each part joining
// the line whose band its last letters cover best. Small parts (dots, accents, commas,
// quotes, dashes) join afterwards the line whose zone they lie in.
#include <algorithm>
#include <cmath>

#include "core/Median.h"
#include "layout/PageSegmentation.h"
#include "recognition/ExtendedPage.h"

namespace {

// A part that fits no line and is smaller than this share of the letters' height (an accent
// or comma set off its line, a speck, a pen's dot) starts no line of its own; a dash, a
// page's number or a line of letters is larger. Where a block's letters are larger than the
// page's (a headline over its byline), the page's letters are the measure: the byline's small
// capitals are letters.
constexpr double kStrayMark = 0.5;
// A part this many times as tall as a line's band (or that much lower) is of another line:
// a drop capital spans three lines or more, while a line's band, from descender to
// ascender, is at most about three times the height of its lowest letters.
constexpr double kDropCapital = 3.0;
// Letters lower than this many pixels cannot be read at all; the dots of a halftone, which
// stand in rows like letters, are mostly lower and must not set the page's letter height.
constexpr int32_t kSmallestLetter = 8;
// A mark of small print is a part or two (a ® broken into its ring and letter) or three.
constexpr size_t kMarkParts = 3;
// ... and shares at least this much of its height with the rows of its line.
constexpr double kMarkOverlap = 0.3;
// Two lines whose baselines lie closer than this share of an x-height where they run side
// by side are one line; the next line's baseline lies two x-heights or more away.
constexpr double kSameBaseline = 0.5;
// A part joins the line whose band shares more than this share of the lower of the two
// heights: a letter of the line above or below touches a band only at its edge.
constexpr double kJoiningShare = 0.5;
// A part this many band heights to the right of a line's end is another column's line: a
// gap between the words of one line is a few heights at most.
constexpr int32_t kColumnJump = 12;
// A part lower than this share of its line's height is a mark (a dash, a lone quote, a
// comma), not a letter: it neither narrows the line's band nor sets its baseline.
constexpr double kLetterOfLine = 0.6;
// A line slopes by this much at most (a tangent: about 3.4 degrees); a page turned further
// is straightened before its lines are found.
constexpr double kMaxSlope = 0.06;
// The baseline is fitted kBaselinePasses times, each time through the bottoms within
// kBaselineSpread of the line's height plus kBaselineJitter pixels of the last fit: a
// descender or a mark lies farther off.
constexpr int kBaselinePasses = 3;
constexpr double kBaselineSpread = 0.1;
constexpr double kBaselineJitter = 1;
// A letter stands on the baseline when its bottom lies within a kOnBaselinePart of its
// height of it, and within kOnBaselinePixels in any case (a small letter's rounding).
constexpr int32_t kOnBaselinePart = 8;
constexpr int32_t kOnBaselinePixels = 2;
// Parts lower than this many pixels are dots and specks, whatever the print's size.
constexpr int32_t kLowestPart = 4;
// A line's band is that of its last few letters: enough to ride over one odd letter, few
// enough to follow a skewed line.
constexpr size_t kBandLetters = 3;
// A slope fitted through fewer bottoms than this is noise; the line is taken as level.
constexpr size_t kFewestForSlope = 4;
// Tall letters are as high as nine in ten letters: a few taller marks and specks aside.
constexpr size_t kTallTenths = 9;
// Letters at most this share of the tall ones are small letters (x-height); the shortest
// ascender or capital stands higher.
constexpr double kSmallLetterAtMost = 0.82;
// An x-height is at least this share of the tall letters (faces run from about a half to
// three quarters); lower "small letters" are marks, and the line has no x-height of its own.
constexpr double kLowestXHeight = 0.45;
// Capitals over small letters where no line of the page shows both: a common text face.
constexpr double kCommonCapToSmall = 1.4;
// A lone height within a seventh of a neighbouring line's x-height is an x-height too;
// neighbours are the lines up to two above and below.
constexpr int32_t kSameHeightParts = 7;
constexpr size_t kNeighbourLines = 2;
// A line's zone for its small parts, in x-heights from the baseline: accents on capitals
// reach two above it, commas half of one below; its middle lies just above the small
// letters' middle. A part more than kOutsideZone x-heights outside it belongs to no line
// there, nor one more than kMarkReach x-heights beyond the line's ends.
constexpr double kZoneAbove = 2.0, kZoneBelow = 0.5, kZoneMiddle = 0.6;
constexpr double kOutsideZone = 0.5;
// A part this share of the page's letters' height is a letter, whatever line it is near.
constexpr double kOwnLetter = 0.6;
constexpr int32_t kMarkReach = 3;
// The letters of a block are the parts at least kLetterAmongParts of the height that three
// in four parts do not exceed (dots and marks being at most a quarter); lines start only at
// parts kLineStart of the tall letters' height.
constexpr size_t kTypicalQuarters = 3;
constexpr double kLetterAmongParts = 0.45;
constexpr double kLineStart = 0.6;

int32_t VerticalOverlap(const PageBox& a, const PageBox& b) {
  return std::min(a.bottom, b.bottom) - std::max(a.top, b.top) + 1;
}

// A line while it grows: its members and the rows its last few letters cover.
struct GrowingLine {
  std::vector<int32_t> members;
  std::vector<int32_t> letters;  // members of the line's full height, which set its band
  PageBox band;  // vertical extent of the last letters (left/right: the line's x extent)
};

PageBox BandOfLast(const std::vector<InkPart>& parts, const std::vector<int32_t>& letters) {
  PageBox band;
  const size_t first = letters.size() > kBandLetters ? letters.size() - kBandLetters : 0;
  for (size_t i = first; i < letters.size(); ++i) band.Include(parts[size_t(letters[i])].box);
  return band;
}

// Lines from the given parts (sorted by left): each joins the line its band overlaps most.
// Only parts of at least `startHeight` start a line; shorter ones that join none are left
// in `rest`.
std::vector<GrowingLine> GrowLines(const std::vector<InkPart>& parts,
                                   const std::vector<int32_t>& sorted, int32_t startHeight,
                                   std::vector<int32_t>* rest) {
  std::vector<GrowingLine> lines;
  for (int32_t index : sorted) {
    const PageBox& box = parts[size_t(index)].box;
    GrowingLine* best = nullptr;
    double bestShare = kJoiningShare;
    for (GrowingLine& line : lines) {
      const int32_t overlap = VerticalOverlap(box, line.band);
      const double share = double(overlap) / std::min(box.Height(), line.band.Height());
      // Far to the right of the line's end is another column's line.
      if (box.left - line.band.right > kColumnJump * line.band.Height()) continue;
      // A drop capital beside several lines belongs to none of them.
      if (box.Height() > kDropCapital * line.band.Height() ||
          line.band.Height() > kDropCapital * box.Height())
        continue;
      if (share > bestShare) bestShare = share, best = &line;
    }
    if (!best && box.Height() < startHeight) {
      rest->push_back(index);
      continue;
    }
    if (!best) {
      lines.push_back({{index}, {index}, box});
      continue;
    }
    best->members.push_back(index);
    // Short members (a dash, a lone quote) must not narrow the band to their rows.
    if (box.Height() >= kLetterOfLine * best->band.Height()) best->letters.push_back(index);
    const PageBox band = BandOfLast(parts, best->letters);
    best->band = {std::min(best->band.left, box.left), band.top,
                  std::max(best->band.right, box.right), band.bottom};
  }
  return lines;
}

// Least squares line through points, the slope kept within a few degrees.
void FitLine(const std::vector<std::pair<double, double>>& points, double* at0, double* slope) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [x, y] : points) sx += x, sy += y, sxx += x * x, sxy += x * y;
  const double n = double(points.size());
  const double denominator = n * sxx - sx * sx;
  *slope = denominator > 1e-6 && points.size() >= kFewestForSlope
               ? (n * sxy - sx * sy) / denominator
               : 0.0;
  *slope = std::clamp(*slope, -kMaxSlope, kMaxSlope);
  *at0 = (sy - *slope * sx) / n;
}

// The baseline through the bottoms of the line's letters: marks and descenders left out,
// starting level at the most common bottom so that neither pulls the line.
void FitBaseline(const std::vector<InkPart>& parts, InkLine* line, int32_t height) {
  std::vector<std::pair<double, double>> points;
  std::vector<int32_t> bottoms;
  for (int32_t i : line->parts) {
    const PageBox& b = parts[size_t(i)].box;
    if (b.Height() < kLetterOfLine * height) continue;
    points.emplace_back((b.left + b.right) / 2.0, double(b.bottom));
    bottoms.push_back(b.bottom);
  }
  line->slope = 0;
  line->baselineAt0 = bottoms.empty() ? 0 : Median(bottoms);
  for (int pass = 0; pass < kBaselinePasses; ++pass) {
    std::vector<std::pair<double, double>> kept;
    for (const auto& p : points) {
      const double residual = p.second - (line->baselineAt0 + line->slope * p.first);
      if (std::abs(residual) <= kBaselineSpread * height + kBaselineJitter) kept.push_back(p);
    }
    if (kept.size() < 2) break;
    FitLine(kept, &line->baselineAt0, &line->slope);
  }
}

// x-height and cap height from the heights above the baseline of the letters on it.
void MeasureHeights(const std::vector<InkPart>& parts, InkLine* line) {
  std::vector<int32_t> heights;
  for (int32_t i : line->parts) {
    const PageBox& b = parts[size_t(i)].box;
    const int32_t base = line->Baseline((b.left + b.right) / 2);
    if (std::abs(b.bottom - base) <= std::max(kOnBaselinePixels, b.Height() / kOnBaselinePart))
      heights.push_back(base - b.top + 1);
  }
  if (heights.empty())
    for (int32_t i : line->parts) heights.push_back(parts[size_t(i)].box.Height());
  std::sort(heights.begin(), heights.end());
  const int32_t tall = heights[heights.size() * kTallTenths / 10];
  std::vector<int32_t> small, large;
  for (int32_t h : heights) (h <= kSmallLetterAtMost * tall ? small : large).push_back(h);
  line->capHeight = large.empty() ? 0 : Median(large);
  line->xHeight = small.size() >= 2 && Median(small) >= kLowestXHeight * tall ? Median(small) : 0;
}

// Lines with letters of one height alone: x-height or capitals, as the block's other lines
// tell (their ratio, and whether the height is that of a neighbour's small letters); where
// none shows both, by `fallbackPercent` (capitals over small letters, 0: a common text face's).
// The ratios the block's lines show are added to `shown`.
void SettleLoneHeights(std::vector<InkLine>* lines, int32_t fallbackPercent,
                       std::vector<int32_t>* shown) {
  std::vector<int32_t> ratios;
  for (const InkLine& l : *lines)
    if (l.xHeight > 0 && l.capHeight > 0) ratios.push_back(l.capHeight * 100 / l.xHeight);
  if (shown) shown->insert(shown->end(), ratios.begin(), ratios.end());
  const double fallback = fallbackPercent > 0 ? fallbackPercent / 100.0 : kCommonCapToSmall;
  const double ratio = ratios.empty() ? fallback : Median(ratios) / 100.0;
  for (size_t i = 0; i < lines->size(); ++i) {
    InkLine& l = (*lines)[i];
    if (l.xHeight > 0 && l.capHeight > 0) continue;
    const int32_t lone = std::max(l.xHeight, l.capHeight);
    bool isSmall = false;
    const size_t from = i > kNeighbourLines ? i - kNeighbourLines : 0;
    for (size_t j = from; j < std::min(lines->size(), i + kNeighbourLines + 1); ++j) {
      const InkLine& n = (*lines)[j];
      if (j != i && n.xHeight > 0 && n.capHeight > 0 &&
          std::abs(n.xHeight - lone) * kSameHeightParts <= lone)
        isSmall = true;
    }
    l.xHeight = isSmall ? lone : std::max(1, int32_t(lone / ratio + 0.5));
    l.capHeight = isSmall ? int32_t(lone * ratio + 0.5) : lone;
  }
}

InkLine MeasuredLine(const std::vector<InkPart>& parts, std::vector<int32_t> members) {
  InkLine line;
  line.parts = std::move(members);
  std::vector<int32_t> heights;
  for (int32_t i : line.parts) heights.push_back(parts[size_t(i)].box.Height());
  FitBaseline(parts, &line, Median(heights));
  MeasureHeights(parts, &line);
  return line;
}

// How far a small part lies outside the line's zone (0 inside), and from its middle.
std::pair<double, double> ZoneDistance(const InkLine& line, const PageBox& box) {
  const int32_t x = (box.left + box.right) / 2;
  const double base = line.Baseline(x), xh = std::max(line.xHeight, 1);
  const double top = base - kZoneAbove * xh, bottom = base + kZoneBelow * xh,
               centre = (box.top + box.bottom) / 2.0;
  const double outside = centre < top ? top - centre : centre > bottom ? centre - bottom : 0.0;
  return {outside, std::abs(centre - (base - kZoneMiddle * xh))};
}

// Gives each small part to the line whose zone it lies in; returns those that fit nowhere.
std::vector<int32_t> AttachSmallParts(const std::vector<InkPart>& parts,
                                      const std::vector<int32_t>& small, int32_t letterHeight,
                                      std::vector<InkLine>* lines) {
  std::vector<int32_t> homeless;
  for (int32_t index : small) {
    const PageBox& box = parts[size_t(index)].box;
    InkLine* best = nullptr;
    std::pair<double, double> bestDistance{1e30, 1e30};
    for (InkLine& line : *lines) {
      const int32_t reach = kMarkReach * std::max(line.xHeight, 1);
      if (box.right < line.box.left - reach || box.left > line.box.right + reach) continue;
      const auto distance = ZoneDistance(line, box);
      if (distance.first > kOutsideZone * line.xHeight) continue;
      // Outside the zone of a line of larger type, a part the size of the page's letters is
      // a letter of a line of its own (the byline under a headline), not a mark.
      if (distance.first > 0 && box.Height() >= kOwnLetter * letterHeight) continue;
      if (distance < bestDistance) bestDistance = distance, best = &line;
    }
    if (best)
      best->parts.push_back(index);
    else
      homeless.push_back(index);
  }
  return homeless;
}

// The height that share numerator/denominator of the parts do not exceed.
int32_t HeightAtShare(const std::vector<InkPart>& parts, const std::vector<int32_t>& members,
                      size_t numerator, size_t denominator) {
  std::vector<int32_t> heights;
  for (int32_t i : members) heights.push_back(parts[size_t(i)].box.Height());
  if (heights.empty()) return 0;
  std::sort(heights.begin(), heights.end());
  return heights[heights.size() * numerator / denominator];
}

PageBox BoxOf(const std::vector<InkPart>& parts, const std::vector<int32_t>& members) {
  PageBox box;
  for (int32_t i : members) box.Include(parts[size_t(i)].box);
  return box;
}

// Two lines over the same columns on one baseline are one line that grew in two pieces (a
// mark above its letters started a line of its own): they are joined and measured again.
void JoinSplitLines(const std::vector<InkPart>& parts, std::vector<InkLine>* lines) {
  for (size_t a = 0; a < lines->size(); ++a)
    for (size_t b = a + 1; b < lines->size(); ++b) {
      InkLine& first = (*lines)[a];
      const InkLine& second = (*lines)[b];
      const int32_t from = std::max(first.box.left, second.box.left);
      const int32_t to = std::min(first.box.right, second.box.right);
      const int32_t xHeight = std::max({first.xHeight, second.xHeight, 1});
      if (from > to || first.parts.size() < 2 || second.parts.size() < 2) continue;
      const int32_t middle = (from + to) / 2;
      if (std::abs(first.Baseline(middle) - second.Baseline(middle)) > kSameBaseline * xHeight)
        continue;
      std::vector<int32_t> members = first.parts;
      members.insert(members.end(), second.parts.begin(), second.parts.end());
      first = MeasuredLine(parts, std::move(members));
      first.box = BoxOf(parts, first.parts);
      lines->erase(lines->begin() + std::ptrdiff_t(b));
      b = a;
    }
}

// A line of a part or a few lying inside another line's box is that line's marks (a comma
// or an apostrophe of a typewriter whose letters jump up and down, a raised ® or footnote
// mark of small print between two lines), not a line of its own.
void JoinLoneMarks(const std::vector<InkPart>& parts, std::vector<InkLine>* lines) {
  for (InkLine& lone : *lines) {
    if (lone.parts.empty() || lone.parts.size() > kMarkParts) continue;
    const PageBox b = BoxOf(parts, lone.parts);
    const int32_t cx = (b.left + b.right) / 2;
    InkLine* host = nullptr;
    int32_t hostOverlap = 0;
    for (InkLine& line : *lines) {
      const int32_t overlap = VerticalOverlap(b, line.box);
      if (&line != &lone && line.parts.size() > lone.parts.size() && cx >= line.box.left &&
          cx <= line.box.right && overlap >= kMarkOverlap * b.Height() && overlap > hostOverlap)
        host = &line, hostOverlap = overlap;
    }
    if (!host) continue;
    host->parts.insert(host->parts.end(), lone.parts.begin(), lone.parts.end());
    lone.parts.clear();
  }
  std::erase_if(*lines, [](const InkLine& line) { return line.parts.empty(); });
}

// The page layout's view of an object: its box, and its ink where that is known.
InkComponent ComponentOf(const PageBox& b, int32_t inkPixels = 0) {
  return {{b.left, b.top, b.right, b.bottom}, inkPixels};
}

}  // namespace

int32_t LetterHeight(const std::vector<PageBox>& boxes, int32_t pageSide) {
  std::vector<InkComponent> components;
  components.reserve(boxes.size());
  for (const PageBox& b : boxes)
    if (b.Height() >= kSmallestLetter) components.push_back(ComponentOf(b));
  return LetterHeight(components, pageSide);
}

std::vector<uint8_t> StandingLikeLetters(const std::vector<PageBox>& boxes, int32_t pageSide) {
  std::vector<InkComponent> components;
  components.reserve(boxes.size());
  for (const PageBox& b : boxes) components.push_back(ComponentOf(b));
  return LetterFlags(components, pageSide);
}

int32_t TypicalTextHeight(const std::vector<InkPart>& parts) {
  std::vector<int32_t> heights;
  for (const InkPart& p : parts)
    if (p.box.Height() >= kLowestPart) heights.push_back(p.box.Height());
  return Median(heights);
}

std::vector<InkLine> FindLines(const std::vector<InkPart>& parts, const std::vector<int32_t>& block,
                               int32_t pageLetterHeight, int32_t capToSmallPercent,
                               std::vector<int32_t>* capToSmallShown) {
  std::vector<int32_t> sorted = block;
  std::sort(sorted.begin(), sorted.end(), [&parts](int32_t a, int32_t b) {
    return parts[size_t(a)].box.left < parts[size_t(b)].box.left;
  });
  // Letters are the taller part of the heights (whatever the share of dots and marks).
  const int32_t typical = HeightAtShare(parts, sorted, kTypicalQuarters, 4);
  const int32_t letterHeight = pageLetterHeight > 0 ? std::min(typical, pageLetterHeight) : typical;
  std::vector<int32_t> letters, small;
  for (int32_t i : sorted)
    (parts[size_t(i)].box.Height() >= kLetterAmongParts * typical ? letters : small).push_back(i);

  std::vector<InkLine> lines;
  // Parts that fit no line of letters (a line of dashes or dots, a footnote among larger
  // text) make lines of their own in a second round.
  for (int round = 0; round < 2 && !letters.empty(); ++round) {
    // Lines start at letters of nearly the full height, never at a comma or a dash.
    const int32_t startHeight =
        int32_t(kLineStart * HeightAtShare(parts, letters, kTallTenths, 10));
    for (GrowingLine& grown : GrowLines(parts, letters, startHeight, &small)) {
      lines.push_back(MeasuredLine(parts, std::move(grown.members)));
      lines.back().box = BoxOf(parts, lines.back().parts);
    }
    SettleLoneHeights(&lines, capToSmallPercent, round == 0 ? capToSmallShown : nullptr);
    std::sort(small.begin(), small.end());
    letters = AttachSmallParts(parts, small, letterHeight, &lines);
    // Stray marks and specks that belong to no line are no text of their own: they start no
    // line, but the next round's lines may take them (the dots over a byline's "i").
    small.clear();
    std::erase_if(letters, [&](int32_t i) {
      const PageBox& b = parts[size_t(i)].box;
      const bool stray = std::max(b.Width(), b.Height()) < kStrayMark * letterHeight;
      if (stray) small.push_back(i);
      return stray;
    });
    std::sort(letters.begin(), letters.end(), [&parts](int32_t a, int32_t b) {
      return parts[size_t(a)].box.left < parts[size_t(b)].box.left;
    });
  }
  JoinSplitLines(parts, &lines);
  JoinLoneMarks(parts, &lines);
  for (InkLine& line : lines) {
    std::sort(line.parts.begin(), line.parts.end(), [&parts](int32_t a, int32_t b) {
      return parts[size_t(a)].box.left < parts[size_t(b)].box.left;
    });
    line.box = BoxOf(parts, line.parts);
  }
  std::sort(lines.begin(), lines.end(),
            [](const InkLine& a, const InkLine& b) { return a.box.top < b.box.top; });
  return lines;
}

SegmentedPage SegmentInk(const InkPage& ink) {
  std::vector<InkComponent> components;
  components.reserve(ink.parts.size());
  // On a page lying a little askew, the parts stand where they would on the page set level: a
  // line's end sits as high as the next line's start one column over, so that across the page
  // no white row parts the lines and the columns run into one.
  for (const InkPart& part : ink.parts)
    components.push_back(ComponentOf(
        ink.lyingSkew != 0 ? TurnedAbout(part.box, ink.lyingSkew, ink.width / 2.0, ink.height / 2.0)
                           : part.box,
        part.inkPixels));
  return SegmentPage(components, ink.width, ink.height, TypicalTextHeight(ink.parts));
}
