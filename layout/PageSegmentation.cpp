// Page segmentation by column zones and recursive cuts on the components' boxes.
//
// Boxes alone carry the page's structure here (the recogniser has not run yet), so the
// segmentation works on them directly instead of on the picture: big dense objects and
// everything touching them are pictures, long thin ones rules, and the rest is cut at its
// white space. The page is taken in horizontal bands (rows of ink without a white row
// inside); runs of bands that share a wide white interval are column zones and are cut
// there, left to right; other bands are cut into paragraphs at gaps clearly wider than a
// line gap. A footnote under a rule in the lower half is cut off first and read last.
#include "layout/PageSegmentation.h"

#include <algorithm>
#include <cstdint>

#include "core/Median.h"

namespace {

struct Interval {
  int32_t from, to;  // inclusive
};

// Sizes of the page's white space, all from the text height.
struct Measures {
  int32_t textHeight;  // of a lowercase letter
  int32_t gutter;      // narrowest white interval between columns
  int32_t lineGap;     // the usual white between two lines of a paragraph
};

// Columns are at least this many text heights tall (about two lines); shorter side by
// side pieces are a gap in a line.
constexpr int32_t kMinColumnLines = 4;
// The narrowest white between columns, in tenths of a text height: a magazine's narrow
// gutter is about two letters wide. The spaces of typewritten lines can line up over a few
// lines at that width, so a gutter narrower than kWideGutterTenths must hold over
// kMinNarrowColumnLines text heights (a dozen lines) or more; the stretched spaces of
// justified monospaced lines line up over three lines or so at up to three letters wide,
// so a gutter narrower than kVeryWideGutterTenths must hold over kMinWideColumnLines.
constexpr int32_t kGutterTenths = 17;
constexpr int32_t kWideGutterTenths = 22;
constexpr int32_t kVeryWideGutterTenths = 40;
constexpr int32_t kMinNarrowColumnLines = 24;
constexpr int32_t kMinWideColumnLines = 12;
// A list's numbers ("12.", "iv)") and a table of contents' page numbers are a few letters wide;
// a column of text is many times that (text heights).
constexpr int32_t kListMarksWidth = 4;
// A line's band, from its ascenders to its descenders, is about two text heights tall.
constexpr int32_t kLineOfMarksHeight = 3;
// A block of which this share of objects is smaller than half a letter is grain: text has a
// dot or comma to a few letters, and a dirty copy's specks are seldom twice as many.
constexpr double kGrainShare = 0.75;
// Letters' boxes cover a quarter or more of a text block, specks strewn over the page next
// to nothing: a block whose boxes cover less than this share of it holds no text (the
// margin is wide, for a block with short lines and wide spacing).
constexpr double kMinTextCover = 0.06;
// Letters standing on baselines in a block of grain: at least a short word or a number (a
// paragraph's last line "21 / 78 43." among a copier's specks). What is left of the block
// without the grain around them must then pass as text on its own.
constexpr int32_t kLettersOfAWord = 4;
// A page's number with the dashes around it ("- 1234 -", a dash may break in two), whose
// figures end on one row within a kFiguresUneven of their height.
constexpr size_t kPartsOfAShortNumber = 8;
constexpr int32_t kFiguresUneven = 10;

int32_t BoxWidth(const Box& b) {
  return b.Right - b.Left + 1;
}
int32_t BoxHeight(const Box& b) {
  return b.Bottom - b.Top + 1;
}

void Include(Box& into, const Box& b, bool first) {
  if (first) {
    into = b;
    return;
  }
  into.Left = std::min(into.Left, b.Left);
  into.Top = std::min(into.Top, b.Top);
  into.Right = std::max(into.Right, b.Right);
  into.Bottom = std::max(into.Bottom, b.Bottom);
}

bool Overlaps(const Box& a, const Box& b) {
  return a.Left <= b.Right && b.Left <= a.Right && a.Top <= b.Bottom && b.Top <= a.Bottom;
}

Box Grown(const Box& b, int32_t by) {
  return {b.Left - by, b.Top - by, b.Right + by, b.Bottom + by};
}

// Letters smaller than this cannot be read anyway; grain must not set the measure.
constexpr int32_t kSmallestTextHeight = 8;
constexpr size_t kFewestLetters = 3;

// The letters are found before the text height is known, so in pixels and in the page's
// size: an object lower than kLowestLetter pixels is a dot or a speck; one taller than a
// kTallestLetterPart of the page's side (kSmallestTextHeight at least: a small picture
// may hold a single line of large letters) is no letter; nor is one wider than
// kWidestLetter heights (a rule, a row of touching letters).
constexpr int32_t kLowestLetter = 4;
constexpr int32_t kTallestLetterPart = 5;
constexpr int32_t kWidestLetter = 4;
// Letters of one line end on the same row within kBaselineJitter pixels (a scan's
// jitter), or a kOvershootPart of the taller one's height (a headline's round letters reach
// that far below its baseline), neither is more than kLikeHeights times as tall as the other,
// and they stand less than kNeighbourReach times the taller one's height apart.
constexpr int32_t kBaselineJitter = 2;
constexpr int32_t kOvershootPart = 25;
constexpr int32_t kLikeHeights = 2;
constexpr int32_t kNeighbourReach = 2;

}  // namespace

std::vector<uint8_t> LetterFlags(const std::vector<InkComponent>& components, int32_t pageSide) {
  const int32_t tallest = std::max(kSmallestTextHeight, pageSide / kTallestLetterPart);
  std::vector<int32_t> order;
  for (int32_t i = 0; i < int32_t(components.size()); ++i) {
    const Box& b = components[size_t(i)].box;
    if (BoxHeight(b) >= kLowestLetter && BoxHeight(b) <= tallest &&
        BoxWidth(b) <= kWidestLetter * BoxHeight(b))
      order.push_back(i);
  }
  const auto box = [&components](int32_t i) -> const Box& { return components[size_t(i)].box; };
  std::sort(order.begin(), order.end(),
            [&box](int32_t a, int32_t b) { return box(a).Bottom < box(b).Bottom; });
  std::vector<uint8_t> neighbours(components.size(), 0);
  const auto jitter = [](int32_t height) {
    return std::max(kBaselineJitter, height / kOvershootPart);
  };
  for (size_t k = 0; k < order.size(); ++k) {
    const Box& a = box(order[k]);
    const int32_t reach = jitter(kLikeHeights * BoxHeight(a));  // of its tallest like neighbour
    for (size_t j = k + 1; j < order.size() && box(order[j]).Bottom <= a.Bottom + reach; ++j) {
      const Box& b = box(order[j]);
      const int32_t ha = BoxHeight(a), hb = BoxHeight(b);
      const int32_t apart = std::max(b.Left - a.Right, a.Left - b.Right);
      if (kLikeHeights * ha < hb || kLikeHeights * hb < ha ||
          apart > kNeighbourReach * std::max(ha, hb) ||
          b.Bottom - a.Bottom > jitter(std::max(ha, hb)))
        continue;
      uint8_t& first = neighbours[size_t(order[k])];
      uint8_t& second = neighbours[size_t(order[j])];
      first = uint8_t(std::min(first + 1, 2));
      second = uint8_t(std::min(second + 1, 2));
    }
  }
  std::vector<uint8_t> letter(components.size(), 0);
  for (size_t i = 0; i < letter.size(); ++i) letter[i] = neighbours[i] >= 2;
  return letter;
}

namespace {

// The median height of the page's letters; 0 when nothing on the page stands like letters.
int32_t EstimateTextHeight(const std::vector<InkComponent>& components,
                           const std::vector<uint8_t>& letter) {
  std::vector<int32_t> heights;
  for (size_t i = 0; i < components.size(); ++i)
    if (letter[i]) heights.push_back(BoxHeight(components[i].box));
  if (heights.size() < kFewestLetters) return 0;
  return std::max(kSmallestTextHeight, Median(std::move(heights)));
}

double InkDensity(const InkComponent& c) {
  const double area = double(BoxWidth(c.box)) * double(BoxHeight(c.box));
  // Without a pixel count the object counts as solid, as a photo's blob would be.
  return c.inkPixels > 0 ? double(c.inkPixels) / area : 1.0;
}

// A rule is kRuleLength text heights long or longer (no word is that long without a
// gap) and a kRuleThicknessPart of a text height thick or thinner; in small print, where
// that is less than a scanned hairline, kThinnestRule pixels.
constexpr int32_t kRuleLength = 6;
constexpr int32_t kRuleThicknessPart = 3;
constexpr int32_t kThinnestRule = 3;

bool IsRule(const Box& b, int32_t textHeight) {
  const int32_t w = BoxWidth(b), h = BoxHeight(b);
  const int32_t thin = std::max(kThinnestRule, textHeight / kRuleThicknessPart);
  return (w >= kRuleLength * textHeight && h <= thin) ||
         (h >= kRuleLength * textHeight && w <= thin);
}

// Bigger than any letter: kBigSide text heights both ways (a heading's letters stay
// below), or kTallSide text heights tall and wider than a letter (a photo's narrow strip).
constexpr int32_t kBigSide = 5;
constexpr int32_t kTallSide = 8;

bool IsBig(const Box& b, int32_t textHeight) {
  const int32_t w = BoxWidth(b), h = BoxHeight(b);
  return (w > kBigSide * textHeight && h > kBigSide * textHeight) ||
         (h > kTallSide * textHeight && w > textHeight);
}

// A photo's blob or a drawing inks this share of its box or more; a frame or a table's
// lines far less.
constexpr double kPictureDensity = 0.15;

// Big and dense: a photo's blob, a drawing. A big sparse object is a frame or a table's
// lines, drawn like rules.
bool IsPictureObject(const InkComponent& c, int32_t textHeight) {
  return IsBig(c.box, textHeight) && InkDensity(c) >= kPictureDensity;
}
bool IsFrame(const InkComponent& c, int32_t textHeight) {
  return IsBig(c.box, textHeight) && InkDensity(c) < kPictureDensity;
}

// A speck is no larger than a kSpeckPart of a text height, about a full stop (and no larger
// than kLargestSpeck pixels in small print, where a fifth of a letter is next to nothing).
constexpr int32_t kSpeckPart = 5;
constexpr int32_t kLargestSpeck = 2;

bool IsSpeck(const Box& b, int32_t textHeight) {
  return std::max(BoxWidth(b), BoxHeight(b)) <= std::max(kLargestSpeck, textHeight / kSpeckPart);
}

// A headline's letters that a copier's toner or a fax ran together ("ugh", its descender below
// the line) stand on no baseline with others, but beside the headline's other letters: a
// letter at least a kLikeHeights part as tall, sharing half its rows, kNeighbourReach of its
// heights away at most. A photograph stands beside its caption's letters, many times smaller.
bool BesideALetterOfItsSize(const std::vector<InkComponent>& components,
                            const std::vector<uint8_t>& letter, const Box& big) {
  for (size_t k = 0; k < components.size(); ++k) {
    if (!letter[k]) continue;
    const Box& b = components[k].box;
    const int32_t shared = std::min(big.Bottom, b.Bottom) - std::max(big.Top, b.Top) + 1;
    const int32_t apart = std::max(b.Left - big.Right, big.Left - b.Right);
    if (kLikeHeights * BoxHeight(b) >= BoxHeight(big) && 2 * shared >= BoxHeight(b) &&
        apart <= kNeighbourReach * BoxHeight(b))
      return true;
  }
  return false;
}

// Pictures grow over whatever touches them (a photo's grain and lighter parts), until
// nothing more touches; pictures that meet become one. A big object standing like a letter
// beside others of its height is a headline's letter, and starts no picture; nor do letters
// run together beside the headline's others.
std::vector<PageRegion> GrowPictures(const std::vector<InkComponent>& components,
                                     const std::vector<uint8_t>& letter,
                                     std::vector<uint8_t>& taken, int32_t textHeight) {
  std::vector<PageRegion> pictures;
  for (int32_t i = 0; i < int32_t(components.size()); ++i) {
    if (taken[size_t(i)] || letter[size_t(i)] ||
        !IsPictureObject(components[size_t(i)], textHeight) ||
        BesideALetterOfItsSize(components, letter, components[size_t(i)].box))
      continue;
    PageRegion picture;
    picture.kind = BlockKind::Picture;
    picture.box = components[size_t(i)].box;
    picture.components.push_back(i);
    taken[size_t(i)] = 1;
    pictures.push_back(std::move(picture));
  }
  const int32_t reach = std::max(1, textHeight / 2);
  for (bool grew = true; grew;) {
    grew = false;
    for (PageRegion& picture : pictures) {
      const Box zone = Grown(picture.box, reach);
      for (int32_t i = 0; i < int32_t(components.size()); ++i) {
        if (taken[size_t(i)] || !Overlaps(zone, components[size_t(i)].box)) continue;
        taken[size_t(i)] = 1;
        picture.components.push_back(i);
        Include(picture.box, components[size_t(i)].box, false);
        grew = true;
      }
    }
    for (size_t a = 0; a < pictures.size(); ++a) {
      for (size_t b = a + 1; b < pictures.size();) {
        if (!Overlaps(pictures[a].box, pictures[b].box)) {
          ++b;
          continue;
        }
        Include(pictures[a].box, pictures[b].box, false);
        pictures[a].components.insert(pictures[a].components.end(), pictures[b].components.begin(),
                                      pictures[b].components.end());
        pictures.erase(pictures.begin() + std::ptrdiff_t(b));
        grew = true;
      }
    }
  }
  return pictures;
}

class Segmenter {
 public:
  Segmenter(const std::vector<InkComponent>& components, const std::vector<uint8_t>& letter,
            Measures measures, SegmentedPage& page)
      : components_(components), letter_(letter), m_(measures), page_(page) {}

  // Appends the blocks of `members` in reading order.
  void Segment(std::vector<int32_t> members) {
    if (members.empty()) return;
    const std::vector<std::vector<int32_t>> bands = Bands(members);
    Interval span{INT32_MAX, INT32_MIN};
    for (int32_t i : members) {
      span.from = std::min(span.from, BoxOf(i).Left);
      span.to = std::max(span.to, BoxOf(i).Right);
    }
    size_t i = 0;
    std::vector<int32_t> plain;
    while (i < bands.size()) {
      std::vector<Interval> gutters;
      const size_t end = ColumnRunEnd(bands, i, span, gutters);
      std::vector<int32_t> zone;
      for (size_t b = i; b < end; ++b) zone.insert(zone.end(), bands[b].begin(), bands[b].end());
      std::vector<std::vector<int32_t>> columns;
      if (end > i) {
        columns = SplitColumns(zone, gutters);
        MergeColumnsTallOnlyBySpecks(columns, gutters);
      }
      if (!AreColumns(columns, gutters)) {
        plain.insert(plain.end(), bands[i].begin(), bands[i].end());
        ++i;
        continue;
      }
      Paragraphs(plain);
      plain.clear();
      for (std::vector<int32_t>& column : columns) Segment(std::move(column));
      i = end;
    }
    Paragraphs(plain);
  }

 private:
  const Box& BoxOf(int32_t i) const { return components_[size_t(i)].box; }

  // Rows of ink separated by white rows, top to bottom.
  std::vector<std::vector<int32_t>> Bands(std::vector<int32_t>& members) const {
    std::sort(members.begin(), members.end(),
              [this](int32_t a, int32_t b) { return BoxOf(a).Top < BoxOf(b).Top; });
    std::vector<std::vector<int32_t>> bands;
    int32_t bottom = 0;
    for (int32_t i : members) {
      if (bands.empty() || BoxOf(i).Top > bottom) {
        bands.emplace_back();
        bottom = BoxOf(i).Bottom;
      }
      bands.back().push_back(i);
      bottom = std::max(bottom, BoxOf(i).Bottom);
    }
    return bands;
  }

  // The white intervals of a band across the page width.
  std::vector<Interval> WhiteOf(std::vector<int32_t> band) const {
    std::sort(band.begin(), band.end(),
              [this](int32_t a, int32_t b) { return BoxOf(a).Left < BoxOf(b).Left; });
    std::vector<Interval> white;
    int32_t x = INT32_MIN / 2;
    for (int32_t i : band) {
      // A speck in a gutter (dust, a copier's toner) does not join two columns.
      if (IsSpeck(BoxOf(i), m_.textHeight)) continue;
      if (BoxOf(i).Left > x) white.push_back({x, BoxOf(i).Left - 1});
      x = std::max(x, BoxOf(i).Right + 1);
    }
    white.push_back({x, INT32_MAX / 2});
    return white;
  }

  static std::vector<Interval> Intersect(const std::vector<Interval>& a,
                                         const std::vector<Interval>& b) {
    std::vector<Interval> out;
    for (size_t i = 0, j = 0; i < a.size() && j < b.size();) {
      const int32_t from = std::max(a[i].from, b[j].from), to = std::min(a[i].to, b[j].to);
      if (from <= to) out.push_back({from, to});
      (a[i].to < b[j].to) ? ++i : ++j;
    }
    return out;
  }

  // Gutters: white intervals wide enough with ink on both sides.
  std::vector<Interval> Gutters(const std::vector<Interval>& white, int32_t inkLeft,
                                int32_t inkRight) const {
    std::vector<Interval> gutters;
    for (const Interval& w : white)
      if (int64_t(w.to) - w.from + 1 >= m_.gutter && w.from > inkLeft && w.to < inkRight)
        gutters.push_back(w);
    return gutters;
  }

  // The end of the run of bands from `first` that keeps a gutter; `gutters` gets the run's
  // gutters. A band may join before the gutter has ink on both sides (a capital's umlaut
  // dots above the first line of a column): the run lasts while a wide white interval
  // inside the stretch's width remains, and ends after its last band with a gutter. Bands
  // of specks alone (a copier's toner below the last lines) neither end the run nor make
  // its columns taller.
  size_t ColumnRunEnd(const std::vector<std::vector<int32_t>>& bands, size_t first, Interval span,
                      std::vector<Interval>& gutters) const {
    std::vector<Interval> white;
    int32_t inkLeft = INT32_MAX, inkRight = INT32_MIN;
    size_t end = first;
    for (size_t b = first; b < bands.size(); ++b) {
      std::vector<Interval> next = WhiteOf(bands[b]);
      if (b > first) next = Intersect(white, next);
      if (b > first && Gutters(next, span.from, span.to).empty()) break;
      for (int32_t i : bands[b]) {
        inkLeft = std::min(inkLeft, BoxOf(i).Left);
        inkRight = std::max(inkRight, BoxOf(i).Right);
      }
      std::vector<Interval> found = Gutters(next, inkLeft, inkRight);
      white = std::move(next);
      if (found.empty() || OnlySpecks(bands[b])) continue;
      gutters = std::move(found);
      end = b + 1;
    }
    return end;
  }

  bool OnlySpecks(const std::vector<int32_t>& band) const {
    return std::all_of(band.begin(), band.end(),
                       [this](int32_t i) { return IsSpeck(BoxOf(i), m_.textHeight); });
  }

  std::vector<std::vector<int32_t>> SplitColumns(const std::vector<int32_t>& zone,
                                                 const std::vector<Interval>& gutters) const {
    std::vector<std::vector<int32_t>> columns(gutters.size() + 1);
    for (int32_t i : zone) {
      size_t c = 0;
      while (c < gutters.size() && BoxOf(i).Left > gutters[c].to) ++c;
      columns[c].push_back(i);
    }
    return columns;
  }

  Interval RowsOf(const std::vector<int32_t>& members) const {
    Interval rows{INT32_MAX, INT32_MIN};
    for (int32_t i : members) {
      rows.from = std::min(rows.from, BoxOf(i).Top);
      rows.to = std::max(rows.to, BoxOf(i).Bottom);
    }
    return rows;
  }

  // Whether `marks` are the first or last words of the lines of `lines`, set off by a tab: no
  // wider than a few letters (a list's numbers or bullets, a table of contents' page numbers),
  // each of their lines no taller than a line of text and beside one of `lines`. Read as a
  // column of their own they would stand apart from their lines, or be lost: lone figures one
  // to a line stand beside no letter and pass for no text. (What a photograph's edge leaves
  // runs down in bands taller than lines.)
  bool MarksBesideLines(const std::vector<int32_t>& marks,
                        const std::vector<int32_t>& lines) const {
    Interval across{INT32_MAX, INT32_MIN};
    for (int32_t i : marks) {
      across.from = std::min(across.from, BoxOf(i).Left);
      across.to = std::max(across.to, BoxOf(i).Right);
    }
    if (int64_t(across.to) - across.from + 1 > int64_t(kListMarksWidth) * m_.textHeight)
      return false;
    std::vector<int32_t> sorted = marks;
    for (const std::vector<int32_t>& band : Bands(sorted)) {
      const Interval rows = RowsOf(band);
      if (int64_t(rows.to) - rows.from + 1 > int64_t(kLineOfMarksHeight) * m_.textHeight)
        return false;
      const bool beside = std::any_of(lines.begin(), lines.end(), [&](int32_t i) {
        return BoxOf(i).Top <= rows.to && rows.from <= BoxOf(i).Bottom;
      });
      if (!beside) return false;
    }
    return true;
  }

  // How tall columns must be, in text heights, beside gutters so wide.
  int32_t MinColumnLines(const std::vector<Interval>& gutters) const {
    int32_t minLines = kMinColumnLines;
    for (const Interval& g : gutters) {
      const int64_t tenths = 10 * (int64_t(g.to) - g.from + 1);
      if (tenths < kWideGutterTenths * int64_t(m_.textHeight))
        minLines = std::max(minLines, kMinNarrowColumnLines);
      else if (tenths < kVeryWideGutterTenths * int64_t(m_.textHeight))
        minLines = std::max(minLines, kMinWideColumnLines);
    }
    return minLines;
  }

  // A fax's or a copier's specks strewn down the margin make a column tall that holds no more
  // than a line's ink (a headline's last word beyond the text's measure): it joins its
  // neighbour, and its gutter is none.
  void MergeColumnsTallOnlyBySpecks(std::vector<std::vector<int32_t>>& columns,
                                    std::vector<Interval>& gutters) const {
    for (size_t c = 0; c < columns.size() && columns.size() > 1;) {
      const int32_t least = MinColumnLines(gutters) * m_.textHeight;
      std::vector<int32_t> ink;
      for (int32_t i : columns[c])
        if (!IsSpeck(BoxOf(i), m_.textHeight)) ink.push_back(i);
      const Interval all = RowsOf(columns[c]), inked = RowsOf(ink);
      const bool tallOnlyBySpecks = int64_t(all.to) - all.from + 1 >= least &&
                                    (ink.empty() || int64_t(inked.to) - inked.from + 1 < least);
      if (!tallOnlyBySpecks) {
        ++c;
        continue;
      }
      const size_t into = c > 0 ? c - 1 : c + 1;
      columns[into].insert(columns[into].end(), columns[c].begin(), columns[c].end());
      columns.erase(columns.begin() + std::ptrdiff_t(c));
      gutters.erase(gutters.begin() + std::ptrdiff_t(c > 0 ? c - 1 : c));
      if (c > 0) --c;
    }
  }

  // Columns stand side by side over several lines: each pair of neighbours shares at least
  // half the rows of the shorter one. An address block with a date set right below it
  // shares none and is read top to bottom.
  bool AreColumns(const std::vector<std::vector<int32_t>>& columns,
                  const std::vector<Interval>& gutters) const {
    if (columns.size() < 2) return false;
    const int32_t minLines = MinColumnLines(gutters);
    for (size_t c = 0; c + 1 < columns.size(); ++c) {
      if (MarksBesideLines(columns[c], columns[c + 1]) ||
          MarksBesideLines(columns[c + 1], columns[c]))
        return false;
      const Interval a = RowsOf(columns[c]), b = RowsOf(columns[c + 1]);
      const int32_t shared = std::min(a.to, b.to) - std::max(a.from, b.from) + 1;
      const int32_t shorter = std::min(a.to - a.from, b.to - b.from) + 1;
      if (shorter < minLines * m_.textHeight || 2 * shared < shorter) return false;
    }
    return true;
  }

  // Blocks of a single-column stretch, split at gaps clearly wider than a line gap.
  void Paragraphs(std::vector<int32_t> members) {
    if (members.empty()) return;
    const int32_t paragraphGap = std::max(m_.lineGap * 8 / 5, m_.lineGap + m_.textHeight * 3 / 5);
    std::vector<int32_t> block;
    int32_t bottom = 0;
    for (const std::vector<int32_t>& band : Bands(members)) {
      // A fax's or a copier's specks in the white between paragraphs do not join them.
      if (!block.empty() && OnlySpecks(band)) {
        block.insert(block.end(), band.begin(), band.end());
        continue;
      }
      const int32_t top = BoxOf(band.front()).Top;
      if (!block.empty() && top - bottom - 1 >= paragraphGap) {
        Emit(block);
        block.clear();
      }
      for (int32_t i : band) {
        bottom = block.empty() ? BoxOf(i).Bottom : std::max(bottom, BoxOf(i).Bottom);
        block.push_back(i);
      }
    }
    Emit(block);
  }

  // Letters stand on baselines: most objects of a text block share their bottom row with
  // two others. Grain and a drawing's pieces end anywhere.
  bool StandsOnLines(const std::vector<int32_t>& block) const {
    std::vector<int32_t> bottoms;
    for (int32_t i : block)
      if (2 * std::max(BoxWidth(BoxOf(i)), BoxHeight(BoxOf(i))) >= m_.textHeight)
        bottoms.push_back(BoxOf(i).Bottom);
    if (bottoms.size() < 8) return true;  // too few to tell
    std::sort(bottoms.begin(), bottoms.end());
    const int32_t tolerance = std::max(2, m_.textHeight / 8);
    size_t aligned = 0;
    for (size_t k = 0, from = 0, to = 0; k < bottoms.size(); ++k) {
      while (bottoms[from] < bottoms[k] - tolerance) ++from;
      while (to < bottoms.size() && bottoms[to] <= bottoms[k] + tolerance) ++to;
      if (to - from >= 3) ++aligned;
    }
    return 2 * aligned >= bottoms.size();
  }

  // A short number or word on a line of its own (a page's number, "- 162 -"): two or three
  // figures or letters stand side by side, but none beside two others of like height as a
  // line's letters do; and an old book's figures stand less even on their line than its
  // letters.
  bool ShortNumberAlone(const std::vector<int32_t>& block) const {
    if (block.size() > kPartsOfAShortNumber) return false;
    const auto figure = [this](const Box& b) { return 4 * BoxHeight(b) >= 3 * m_.textHeight; };
    for (size_t a = 0; a < block.size(); ++a)
      for (size_t b = a + 1; b < block.size(); ++b) {
        const Box &one = BoxOf(block[a]), &other = BoxOf(block[b]);
        const int32_t taller = std::max(BoxHeight(one), BoxHeight(other));
        const int32_t apart = std::max(other.Left - one.Right, one.Left - other.Right);
        if (figure(one) && figure(other) && apart < taller &&
            std::abs(one.Bottom - other.Bottom) <= taller / kFiguresUneven)
          return true;
      }
    return false;
  }

  // A block of only specks, or only of objects smaller than half a letter, is specks. Text
  // is mostly letters and a few dots and commas: a block mostly of small objects is grain,
  // one mostly of ink or of objects off any baseline a picture. Letters fill a good part
  // of their block; a few objects scattered far apart are specks.
  void Emit(const std::vector<int32_t>& block) {
    PageRegion region;
    region.components = block;
    int32_t specks = 0, small = 0, letters = 0;
    double ink = 0, covered = 0;
    for (size_t k = 0; k < block.size(); ++k) {
      const InkComponent& c = components_[size_t(block[k])];
      Include(region.box, c.box, k == 0);
      if (IsSpeck(c.box, m_.textHeight)) ++specks;
      letters += letter_[size_t(block[k])];
      if (2 * std::max(BoxWidth(c.box), BoxHeight(c.box)) < m_.textHeight) ++small;
      covered += double(BoxWidth(c.box)) * double(BoxHeight(c.box));
      ink += double(BoxWidth(c.box)) * double(BoxHeight(c.box)) * InkDensity(c);
    }
    const double area = double(BoxWidth(region.box)) * double(BoxHeight(region.box));
    const int32_t n = int32_t(block.size());
    // Two letters side by side at least, or a lone object as tall as a capital (a page's
    // number); anything else is grain.
    const bool noLetters = n > 1 ? letters < 2 && !ShortNumberAlone(block)
                                 : 5 * BoxHeight(region.box) < 6 * m_.textHeight;
    if (specks == n || small == n || (noLetters && n <= 5) || covered < kMinTextCover * area) {
      region.kind = BlockKind::Speck;
    } else if ((n >= 8 && small > kGrainShare * n) || noLetters || !StandsOnLines(block) ||
               (ink > 0.45 * area && BoxHeight(region.box) > 2 * m_.textHeight)) {
      region.kind = BlockKind::Picture;
    }
    if (region.kind != BlockKind::Text && small < n && letters >= kLettersOfAWord &&
        SegmentedWithoutGrain(block))
      return;
    (region.kind == BlockKind::Text ? page_.textBlocks : page_.nonText)
        .push_back(std::move(region));
  }

  // A fax's or a copier's grain scattered around lines of text makes one block with them
  // that reads as grain. The block is segmented again with only what lies among its objects
  // of letter size (the dots, commas and full stops of their lines), and the grain around
  // is left out as specks. False when that leaves nothing out, or nothing of letter size.
  bool SegmentedWithoutGrain(const std::vector<int32_t>& block) {
    const auto small = [this](const Box& b) {
      return 2 * std::max(BoxWidth(b), BoxHeight(b)) < m_.textHeight;
    };
    Box letters{};
    bool any = false;
    for (int32_t i : block)
      if (!small(components_[size_t(i)].box))
        Include(letters, components_[size_t(i)].box, !any), any = true;
    if (!any) return false;
    const int32_t margin = m_.textHeight / 2;  // a dot above its letter, a comma below
    std::vector<int32_t> kept;
    PageRegion grain;
    grain.kind = BlockKind::Speck;
    for (int32_t i : block) {
      const Box& b = components_[size_t(i)].box;
      const bool among = b.Left >= letters.Left && b.Right <= letters.Right &&
                         b.Top >= letters.Top - margin && b.Bottom <= letters.Bottom + margin;
      if (among) {
        kept.push_back(i);
      } else {
        Include(grain.box, b, grain.components.empty());
        grain.components.push_back(i);
      }
    }
    if (grain.components.empty()) return false;
    Segment(std::move(kept));
    page_.nonText.push_back(std::move(grain));
    return true;
  }

  const std::vector<InkComponent>& components_;
  const std::vector<uint8_t>& letter_;  // stands beside another like it on a baseline
  Measures m_;
  SegmentedPage& page_;
};

// The usual white between two lines: the median gap between the page's lines.
int32_t EstimateLineGap(const std::vector<InkComponent>& components,
                        const std::vector<int32_t>& members, int32_t textHeight) {
  // A fax's specks between the lines would cut the white between them in two.
  std::vector<Interval> rows;
  rows.reserve(members.size());
  for (int32_t i : members)
    if (!IsSpeck(components[size_t(i)].box, textHeight))
      rows.push_back({components[size_t(i)].box.Top, components[size_t(i)].box.Bottom});
  std::sort(rows.begin(), rows.end(),
            [](const Interval& a, const Interval& b) { return a.from < b.from; });
  // Bands of rows, then the gaps between bands of line height (dots above a line and
  // lone marks make bands of their own and gaps that say nothing of the leading).
  std::vector<Interval> bands;
  for (const Interval& r : rows) {
    if (bands.empty() || r.from > bands.back().to)
      bands.push_back(r);
    else
      bands.back().to = std::max(bands.back().to, r.to);
  }
  std::vector<int32_t> gaps;
  for (size_t b = 1; b < bands.size(); ++b) {
    const bool lines = 5 * (bands[b - 1].to - bands[b - 1].from + 1) >= 4 * textHeight &&
                       5 * (bands[b].to - bands[b].from + 1) >= 4 * textHeight;
    if (lines) gaps.push_back(bands[b].from - bands[b - 1].to - 1);
  }
  // Too few lines to tell: the white between lines is seldom more than a letter's height.
  if (gaps.size() < 3) return textHeight;
  return std::clamp(Median(std::move(gaps)), 1, 2 * textHeight);
}

// The lowest long horizontal rule of the lower half with text under it: what lies
// below it is a footnote.
int32_t FootnoteRuleBottom(const std::vector<InkComponent>& components,
                           const std::vector<PageRegion>& rules, const std::vector<int32_t>& text,
                           int32_t textHeight) {
  if (text.empty()) return -1;
  int32_t top = INT32_MAX, bottom = INT32_MIN;
  for (int32_t i : text) {
    top = std::min(top, components[size_t(i)].box.Top);
    bottom = std::max(bottom, components[size_t(i)].box.Bottom);
  }
  int32_t best = -1;
  for (const PageRegion& rule : rules) {
    const Box& b = rule.box;
    if (!IsRule(b, textHeight) || BoxWidth(b) <= BoxHeight(b)) continue;
    if (b.Top < top + (bottom - top) / 2) continue;
    if (b.Bottom < bottom) best = std::max(best, b.Bottom);
  }
  return best;
}

}  // namespace

int32_t LetterHeight(const std::vector<InkComponent>& components, int32_t pageSide) {
  return EstimateTextHeight(components, LetterFlags(components, pageSide));
}

SegmentedPage SegmentPage(const std::vector<InkComponent>& components, int32_t width,
                          int32_t height, int32_t textHeight) {
  SegmentedPage page;
  if (components.empty()) return page;
  const std::vector<uint8_t> letter = LetterFlags(components, std::max(width, height));
  const int32_t th = textHeight > 0 ? textHeight : EstimateTextHeight(components, letter);
  if (th == 0) {
    // Nothing stands like letters: the page is a picture (or empty paper with specks).
    PageRegion picture{BlockKind::Picture, components.front().box, {}};
    for (int32_t i = 0; i < int32_t(components.size()); ++i) {
      Include(picture.box, components[size_t(i)].box, false);
      picture.components.push_back(i);
    }
    page.nonText.push_back(std::move(picture));
    return page;
  }

  std::vector<uint8_t> taken(components.size(), 0);
  page.nonText = GrowPictures(components, letter, taken, th);
  std::vector<PageRegion> rules;
  std::vector<int32_t> text;
  for (int32_t i = 0; i < int32_t(components.size()); ++i) {
    if (taken[size_t(i)]) continue;
    if (IsRule(components[size_t(i)].box, th) || IsFrame(components[size_t(i)], th)) {
      rules.push_back({BlockKind::Rule, components[size_t(i)].box, {i}});
      continue;
    }
    text.push_back(i);
  }

  const Measures measures{th, std::max(4, th * kGutterTenths / 10),
                          EstimateLineGap(components, text, th)};
  Segmenter segmenter(components, letter, measures, page);
  const int32_t ruleBottom = FootnoteRuleBottom(components, rules, text, th);
  std::vector<int32_t> body, footnote;
  for (int32_t i : text)
    (ruleBottom >= 0 && components[size_t(i)].box.Top > ruleBottom ? footnote : body).push_back(i);
  segmenter.Segment(std::move(body));
  segmenter.Segment(std::move(footnote));
  page.nonText.insert(page.nonText.end(), rules.begin(), rules.end());
  return page;
}
