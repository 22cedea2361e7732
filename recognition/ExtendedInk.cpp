// The extended recogniser's black/white page and its ink components, with Leptonica: its
// background normalisation evens out uneven light and grey paper, and its component search
// hands over each component's own pixels, so that a neighbour reaching into the box (kerned
// or italic letters) does not become part of the character.
#include <leptonica/allheaders.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "core/RowBands.h"
#include "recognition/ExtendedPage.h"
#include "recognition/ExtendedSheet.h"
#include "recognition/InkComponents.h"
#include "recognition/LeptonicaPix.h"

namespace {

// Leptonica's background normalisation with the tiles and limits of pixBackgroundNormSimple.
constexpr l_int32 kTileWidth = 10, kTileHeight = 15, kForegroundBelow = 60, kMinPaperPixels = 40;
constexpr l_int32 kSmoothX = 2, kSmoothY = 1;
// An object too large for a letter with at least this share of its box in ink is a solid
// blot (a photograph's dark body, a black border); a frame or a table's lines have little.
constexpr double kSolidBlot = 0.3;
// A straight line of ink four letter heights long is no letter's stroke: a rule or an
// underline. Rules are thinner than a third of a letter's height; what is thicker is a
// picture's ink or a heading's bar.
constexpr double kRuleLength = 4.0, kRuleThickness = 0.34;
// Otsu's split of the histogram is the middle of the splits that score within this share
// of the best one: a page's histogram has a broad valley between ink and paper.
constexpr l_float32 kSplitScoreShare = 0.1f;
// The threshold stays between these grey levels whatever the ink's level says: a page of
// next to no ink or of almost only ink measures its ink badly, and the paper is at
// kPaperGrey.
constexpr int32_t kLowestThreshold = 60, kHighestThreshold = 160;
// Pictures narrower or lower than this many pixels are not brought to one paper level:
// they hold too few of the normalisation's tiles to map the light, which is even across
// so small a picture anyway.
constexpr int32_t kSmallestNormalised = 100;
// A part taller than a kTallestTextPart of the page or wider than a kWidestTextPart of
// it is no character (a heading's letter stays below either); on a small picture the
// bounds are kLargestTextPixels.
constexpr int32_t kTallestTextPart = 6, kWidestTextPart = 3, kLargestTextPixels = 64;

}  // namespace

// The grey level between ink and paper of a page whose paper has been brought to one level
// (kPaperGrey): halfway from the page's own ink level (a scan's ink is grey, not black)
// to the paper; Otsu's split alone lies too near the ink and breaks the thin strokes of
// small serif type.
int32_t InkThreshold(const GreyCounts& counts) {
  NUMA* histogram = numaCreate(256);
  if (histogram) {
    numaSetCount(histogram, 256);
    l_float32* values = numaGetFArray(histogram, L_NOCOPY);
    // As pixGetGrayHistogram counts: in floats, which stop growing at 2^24.
    for (size_t v = 0; v < 256; ++v) values[v] = l_float32(std::min<uint64_t>(counts[v], 1 << 24));
  }
  l_int32 split = 128;
  if (histogram)
    numaSplitDistribution(histogram, kSplitScoreShare, &split, nullptr, nullptr, nullptr, nullptr,
                          nullptr);
  // The median grey of what lies below the split is the ink's level.
  auto count = [histogram](int32_t v) {
    l_float32 value = 0;
    if (histogram) numaGetFValue(histogram, v, &value);
    return double(value);
  };
  double below = 0;
  for (int32_t v = 0; v < split; ++v) below += count(v);
  int32_t inkLevel = 0;
  for (double seen = count(0); inkLevel + 1 < split && seen < below / 2;) seen += count(++inkLevel);
  numaDestroy(&histogram);
  return std::clamp<int32_t>((inkLevel + kPaperGrey) / 2, kLowestThreshold, kHighestThreshold);
}

namespace {

// Rows [top, bottom) of the grey page brought to one paper level in place, as
// pixApplyInvBackgroundGrayMap would write them into a new page: each pixel times its
// tile's inverse background / 256 (without a map, the page stays as it is). Counts every
// second pixel of every second row, as pixGetGrayHistogram does with a factor of 2.
void NormaliseRows(PIX* grey, PIX* inverseMap, int32_t top, int32_t bottom, GreyCounts* counts) {
  const int32_t width = pixGetWidth(grey), wpl = pixGetWpl(grey);
  const int32_t mapWidth = inverseMap ? pixGetWidth(inverseMap) : 0;
  const int32_t mapHeight = inverseMap ? pixGetHeight(inverseMap) : 0;
  for (int32_t y = top; y < bottom; ++y) {
    l_uint32* line = pixGetData(grey) + int64_t(y) * wpl;
    const int32_t tileRow = y / kTileHeight;
    const l_uint32* factors =
        inverseMap && tileRow < mapHeight
            ? pixGetData(inverseMap) + int64_t(tileRow) * pixGetWpl(inverseMap)
            : nullptr;
    for (int32_t x = 0; x < width; ++x) {
      uint32_t value = GET_DATA_BYTE(line, x);
      if (inverseMap) {
        // Pixels that no tile covers stay 0, as in the new page Leptonica writes.
        const uint32_t factor =
            factors && x / kTileWidth < mapWidth ? GET_DATA_TWO_BYTES(factors, x / kTileWidth) : 0;
        value = std::min<uint32_t>(value * factor / 256, 255);
        SET_DATA_BYTE(line, x, value);
      }
      if (y % 2 == 0 && x % 2 == 0) ++(*counts)[value];
    }
  }
}

// Rows [top, bottom) of the black/white page: ink where the grey lies below `threshold`.
void ThresholdRows(PIX* grey, int32_t threshold, int32_t top, int32_t bottom, PIX* binary) {
  const int32_t width = pixGetWidth(grey);
  for (int32_t y = top; y < bottom; ++y) {
    const l_uint32* line = pixGetData(grey) + int64_t(y) * pixGetWpl(grey);
    l_uint32* out = pixGetData(binary) + int64_t(y) * pixGetWpl(binary);
    for (int32_t x = 0; x < width; x += 32) {
      l_uint32 word = 0;
      for (int32_t bit = 0; bit < 32 && x + bit < width; ++bit)
        word |= l_uint32(int32_t(GET_DATA_BYTE(line, x + bit)) < threshold) << (31 - bit);
      out[x / 32] = word;
    }
  }
}

// The black/white page of a grey page (which is brought to one paper level in place):
// Leptonica's background map, then the map applied, the histogram counted and the threshold
// taken in two bands on both cores, without the page-sized copies of Leptonica's steps.
PixPtr BlackWhitePage(PIX* grey, int32_t* thresholdUsed = nullptr) {
  const int32_t width = pixGetWidth(grey), height = pixGetHeight(grey);
  // A page without paper to measure keeps its grey, as pixBackgroundNorm returns it.
  PIX* map = nullptr;
  if (width >= kSmallestNormalised && height >= kSmallestNormalised)
    pixGetBackgroundGrayMap(grey, nullptr, kTileWidth, kTileHeight, kForegroundBelow,
                            kMinPaperPixels, &map);
  const PixPtr background(map);
  const PixPtr inverseMap(
      background ? pixGetInvBackgroundMap(background.get(), kPaperGrey, kSmoothX, kSmoothY)
                 : nullptr);
  std::array<GreyCounts, 2> counts{};
  InTwoBands(height, [&](int32_t top, int32_t bottom, size_t band) {
    NormaliseRows(grey, inverseMap.get(), top, bottom, &counts[band]);
  });
  for (size_t v = 0; v < 256; ++v) counts[0][v] += counts[1][v];
  const int32_t threshold = InkThreshold(counts[0]);
  if (thresholdUsed) *thresholdUsed = threshold;
  PixPtr binary(pixCreateNoInit(width, height, 1));
  if (!binary) return nullptr;
  InTwoBands(height, [&](int32_t top, int32_t bottom, size_t) {
    ThresholdRows(grey, threshold, top, bottom, binary.get());
  });
  return binary;
}

// A page turned by less than this (degrees) is read as it is: its lines are followed as they
// slope (its columns told apart as if it lay level), and its letters, turned so little, read as
// they are (typeset pages turned 1.5 degrees read as well), while straightening moves pixels and
// breaks thin strokes (a phone's picture turned 1.2 degrees read 14 characters wrong as it was, 30
// straightened). One turned further loses letters and words to lines and gaps measured across the
// slope (2 degrees: a phone's picture 26 characters wrong straightened, 286 not; 3 degrees: 2 to 15
// % of a clean page's characters; 5 degrees: two thirds).
constexpr double kLeastSkewStraightened = 1.5;
// Leptonica's own bound for a skew it measured surely (pixDeskew's).
constexpr l_float32 kLeastSkewConfidence = 3.0f;
// Turns sought up to this many degrees either way: with Leptonica's default of 7 its search
// for a page turned 6 degrees ran into the range's end and doubted what it found. The sweep
// and search otherwise as pixFindSkew's: a sweep of the page reduced 4 times in steps of a
// degree, then a search of the page reduced twice down to a hundredth of a degree.
constexpr l_float32 kWidestSkewSought = 10.0f;
constexpr l_int32 kSweepReduction = 4, kSearchReduction = 2;
constexpr l_float32 kSweepStep = 1.0f, kSearchStep = 0.01f;

// The skew of the page's lines in degrees (clockwise), as Leptonica measures it; false where
// it finds no lines to measure surely (a photograph, a blank page).
bool MeasuredSkew(PIX* binary, double* degrees) {
  l_float32 found = 0, confidence = 0;
  if (pixFindSkewSweepAndSearch(binary, &found, &confidence, kSweepReduction, kSearchReduction,
                                kWidestSkewSought, kSweepStep, kSearchStep) != 0 ||
      confidence < kLeastSkewConfidence)
    return false;
  *degrees = found;
  return true;
}

// A page whose upper or lower half holds level lines, measured surely, is read as it lies: a
// page of straight lines with a few askew below (a cutting pasted in, a caption) measures askew
// as a whole, and turned, its straight lines would lie askew. Level within this many degrees;
// the halves of a page scanned askew measure alike within a degree or so (a phone's picture,
// drawn in perspective, differs more, yet no half of it lies level).
constexpr double kLevelHalf = 0.5;

// The skew of the page's lines in degrees (clockwise) where it is kLevelHalf or more; 0 where
// they lie nearly level, or where one half of the page holds level lines, or nothing to measure.
double PageSkew(PIX* letters) {
  double degrees = 0;
  if (!MeasuredSkew(letters, &degrees) || std::abs(degrees) < kLevelHalf) return 0;
  const int32_t width = pixGetWidth(letters), height = pixGetHeight(letters);
  for (const int32_t top : {0, height / 2}) {
    BOX* half = boxCreate(0, top, width, height / 2);
    const PixPtr halfPage(half ? pixClipRectangle(letters, half, nullptr) : nullptr);
    boxDestroy(&half);
    double halfDegrees = 0;
    if (halfPage && MeasuredSkew(halfPage.get(), &halfDegrees) &&
        std::abs(halfDegrees) < kLevelHalf)
      return 0;
  }
  return degrees;
}

// Leptonica's typical bounds for telling which way up a page's text stands: a confidence of at
// least 8, and 2.5 times that of the other axis. Of 175 upright pages (typeset, scanned,
// copied, faxed, photographed, askew) none was turned; 26 pages on their side or upside down
// (typeset and scanned) were all turned upright.
constexpr l_float32 kLeastOrientConfidence = 8.0f, kLeastOrientRatio = 2.5f;
// Pages on their side measured up to 10.5 upright, upright pages 17 to 57: a page this clearly
// upright is not measured on its side.
constexpr l_float32 kClearlyUpright = 15.0f;
// The page's letters (their median height in pixels) at 600 dpi; at 300 dpi 15 to 25.
constexpr int32_t kLettersTallEnoughToHalve = 30;

// Clockwise quarter turns that bring the page's letters upright (0 where they stand upright or
// do not tell which way up they stand); none where they are too few to count.
std::optional<int32_t> QuarterTurnsOf(PIX* letters) {
  l_float32 up = 0, left = 0;
  // Half the cost of measuring both ways: a page whose letters clearly stand upright does.
  if (pixUpDownDetect(letters, &up, 0, 0, 0) == 0 && up >= kClearlyUpright) return 0;
  if (pixOrientDetect(letters, &up, &left, 0, 0) != 0 || (up == 0 && left == 0))
    return std::nullopt;
  // Leptonica's rule (makeOrientDecision), but a side whose letters' ends were too few to
  // count (0) is not taken to doubt the other: on its side a page's letters show no up or down.
  const double sureUp = std::abs(up), sureLeft = std::abs(left);
  if (sureUp > kLeastOrientConfidence && sureUp > kLeastOrientRatio * sureLeft)
    return up > 0 ? 0 : 2;
  if (sureLeft > kLeastOrientConfidence && sureLeft > kLeastOrientRatio * sureUp)
    return left > 0 ? 1 : 3;
  return 0;
}

// The same for the page's letters, of the median height given. Leptonica's detector is made
// for text scanned at 150 to 300 dpi: a page whose letters stand as tall as 600 dpi gives them
// is halved first (a fifth of the time), unless its letters halved are too few to count (a
// short page in large type); a 300 dpi page's small letters halved measured too little.
int32_t QuarterTurnsUpright(PIX* letters, int32_t letterHeight) {
  if (letterHeight >= kLettersTallEnoughToHalve) {
    const PixPtr halved(pixReduceRankBinaryCascade(letters, 1, 0, 0, 0));
    if (halved)
      if (const std::optional<int32_t> turns = QuarterTurnsOf(halved.get())) return *turns;
  }
  return QuarterTurnsOf(letters).value_or(0);
}

// The black/white page turned by `radians` about its centre on white paper wide enough to
// hold all of it; `turn` says how to find a place on the page as it came. Turned by shears,
// which move pixels without blending them: a turned grey page thresholded again lost the thin
// strokes of "fl" and "fi".
PixPtr TurnedPage(PIX* binary, double radians, PageTurn* turn) {
  const int32_t width = pixGetWidth(binary), height = pixGetHeight(binary);
  const double c = std::abs(std::cos(radians)), s = std::abs(std::sin(radians));
  const int32_t widened = int32_t(std::ceil(width * c + height * s));
  const int32_t heightened = int32_t(std::ceil(width * s + height * c));
  const int32_t left = std::max(0, (widened - width) / 2);
  const int32_t top = std::max(0, (heightened - height) / 2);
  const PixPtr paper(pixAddBorderGeneral(binary, left, std::max(0, widened - width - left), top,
                                         std::max(0, heightened - height - top), 0));
  if (!paper) return nullptr;
  const int32_t centreX = pixGetWidth(paper.get()) / 2, centreY = pixGetHeight(paper.get()) / 2;
  PixPtr turned(
      pixRotate3Shear(paper.get(), centreX, centreY, l_float32(radians), L_BRING_IN_WHITE));
  if (turned) {
    turn->radians = radians;
    turn->left = left;
    turn->top = top;
    turn->centreX = centreX;
    turn->centreY = centreY;
  }
  return turned;
}

InkPart PartOf(PIX* pix, BOX* box) {
  InkPart part;
  l_int32 x = 0, y = 0, w = 0, h = 0;
  boxGetGeometry(box, &x, &y, &w, &h);
  part.box = {x, y, x + w - 1, y + h - 1};
  part.ink.width = w;
  part.ink.height = h;
  part.ink.ink.assign(size_t(w) * size_t(h), 0);
  const int32_t wpl = pixGetWpl(pix);
  const l_uint32* data = pixGetData(pix);
  for (int32_t row = 0; row < h; ++row) {
    const l_uint32* line = data + int64_t(row) * wpl;
    uint8_t* out = part.ink.ink.data() + size_t(row) * size_t(w);
    for (int32_t col = 0; col < w; ++col)
      if (GET_DATA_BIT(line, col)) {
        out[col] = 1;
        ++part.inkPixels;
      }
  }
  return part;
}

// Objects this large are rules, frames or pictures, never characters.
bool TooLargeForText(const PageBox& box, int32_t width, int32_t height) {
  return box.Height() > std::max(height / kTallestTextPart, kLargestTextPixels) ||
         box.Width() > std::max(width / kWidestTextPart, kLargestTextPixels);
}

// The objects (their indices) too large for a letter and mostly ink: a photograph's dark body,
// a black border. What lies within their boxes is their lighter parts, not text (a frame,
// mostly paper, keeps the text inside it), or white letters on them (ReversedLetters).
std::vector<int32_t> SolidBlots(const Components& objects, int32_t width, int32_t height) {
  std::vector<int32_t> blots;
  for (size_t i = 0; i < objects.boxes.size(); ++i) {
    const PageBox& box = objects.boxes[i];
    if (TooLargeForText(box, width, height) &&
        objects.InkOf(int32_t(i)) >= kSolidBlot * box.Width() * box.Height())
      blots.push_back(int32_t(i));
  }
  return blots;
}

bool InsideAny(const PageBox& box, const std::vector<PageBox>& blots) {
  const int32_t x = (box.left + box.right) / 2, y = (box.top + box.bottom) / 2;
  return std::any_of(blots.begin(), blots.end(), [&](const PageBox& b) {
    return b.left < box.left && b.right > box.right && x > b.left && x < b.right && y > b.top &&
           y < b.bottom;
  });
}

// Thin straight lines of the page outside its pictures, horizontal and vertical (underlines,
// rules, a table's lines): Leptonica's opening with a line kRuleLength letter heights long,
// less what is thicker than a rule (a photograph's dark parts); null where there are none.
// Taken from the page, they part the letters they touch (an underline through descenders).
PixPtr ThinRules(PIX* binary, const std::vector<PageBox>& boxes, int32_t letterHeight,
                 const RegionMap& pictures) {
  if (letterHeight <= 0) return nullptr;
  const l_int32 length = l_int32(kRuleLength * letterHeight);
  const l_int32 thick = std::max<l_int32>(2, l_int32(kRuleThickness * letterHeight));
  PixPtr rules(pixCreateTemplate(binary));
  if (!rules) return nullptr;
  // Leptonica's composite DWA openings, and only in a direction in which some object is
  // long and not wide the other way (a rule, or one with letters hanging on it): most pages
  // have none.
  for (const bool across : {true, false}) {
    const bool someLine = std::any_of(boxes.begin(), boxes.end(), [&](const PageBox& b) {
      const int32_t along = across ? b.Width() : b.Height(),
                    other = across ? b.Height() : b.Width();
      return along >= length && other < length;
    });
    if (!someLine) continue;
    PixPtr lines(
        pixOpenCompBrickExtendDwa(nullptr, binary, across ? length : 1, across ? 1 : length));
    if (!lines) return nullptr;
    l_int32 none = 1;
    pixZero(lines.get(), &none);
    if (none) continue;  // most pages: no line, nothing thicker to take out
    PixPtr thicker(pixOpenCompBrickExtendDwa(nullptr, binary, across ? length : thick,
                                             across ? thick : length));
    if (!thicker) return nullptr;
    pixSubtract(lines.get(), lines.get(), thicker.get());
    pixOr(rules.get(), rules.get(), lines.get());
  }
  // The straight edges and stripes of a picture, and of its rim a cell wide, are the
  // picture's.
  const int32_t side = pictures.cell, columns = pictures.columns;
  for (size_t at = 0; at < pictures.inRegion.size(); ++at) {
    if (!pictures.inRegion[at]) continue;
    const int32_t x = int32_t(at) % columns * side, y = int32_t(at) / columns * side;
    BOX* box = boxCreate(x - side, y - side, 3 * side, 3 * side);
    if (box) pixClearInRect(rules.get(), box);
    boxDestroy(&box);
  }
  l_int32 empty = 1;
  pixZero(rules.get(), &empty);
  return empty ? nullptr : std::move(rules);
}

// The parts of `objects`, less those in regions that are no text (`skip`), inside a solid
// blot, or too large for a letter (each noted).
void TakeParts(const Components& objects, const RegionMap& skip, const std::vector<PageBox>& blots,
               InkPage* page) {
  for (int32_t i = 0; i < int32_t(objects.boxes.size()); ++i) {
    const PageBox& b = objects.boxes[size_t(i)];
    if (skip.Covers(b) || InsideAny(b, blots)) continue;
    if (TooLargeForText(b, page->width, page->height)) {
      page->leftOut.push_back({b, "too large for a letter (a rule, frame or picture)"});
      continue;
    }
    BOX* box = boxaGetBox(objects.boxa, i, L_CLONE);
    PIX* pix = pixaGetPix(objects.pixa, i, L_CLONE);
    if (box && pix) page->parts.push_back(PartOf(pix, box));
    pixDestroy(&pix);
    boxDestroy(&box);
  }
}

// White letters on a dark ground (a banner's heading, a table's head row) are the holes of a
// solid blot. They are taken as letters, with their dots and marks, where at least
// kFewestReversedLetters holes stand as tall as the page's letters or taller (half its letter
// height and more: a photograph's highlights and a halftone's white dots are smaller), at least
// half of all its holes; where most of those are alike (within twice or half their median
// height: small letters, capitals and a heading's dots); and where they take no more than
// kMostReversedInk of the blot's box (a photograph's light parts are broad).
constexpr size_t kFewestReversedLetters = 5;
constexpr double kLeastReversedHeight = 0.5;  // of the page's letter height
constexpr double kReversedAlike = 2.0;        // times their median height, or a part of it
constexpr double kMostAlikeShare = 0.6;
constexpr double kMostReversedInk = 0.4;  // of the blot's box

// The holes of blot `i` that are letters, as parts of the page; none where they are not.
std::vector<InkPart> ReversedLetters(PIX* binary, const Components& objects, int32_t i,
                                     const InkPage& page) {
  const PageBox& blot = objects.boxes[size_t(i)];
  if (page.letterHeight <= 0) return {};
  const PixPtr pix(pixaGetPix(objects.pixa, i, L_CLONE));
  const PixPtr holes(pix ? pixHolesByFilling(pix.get(), 4) : nullptr);
  BOX* box = boxCreate(blot.left, blot.top, blot.Width(), blot.Height());
  const PixPtr dark(box ? pixClipRectangle(binary, box, nullptr) : nullptr);
  boxDestroy(&box);
  if (!holes || !dark) return {};
  // The dark ink within the letters (an "e"'s eye) is no part of them.
  pixSubtract(holes.get(), holes.get(), dark.get());
  const Components white(holes.get());
  std::vector<size_t> tall;
  for (size_t k = 0; k < white.boxes.size(); ++k)
    if (white.boxes[k].Height() >= kLeastReversedHeight * page.letterHeight &&
        !TooLargeForText(white.boxes[k], page.width, page.height))
      tall.push_back(k);
  // A photograph's highlights are many small white dots, letters' marks are few.
  if (tall.size() < kFewestReversedLetters || 2 * tall.size() < white.boxes.size()) return {};
  std::vector<int32_t> heights;
  for (const size_t k : tall) heights.push_back(white.boxes[k].Height());
  std::nth_element(heights.begin(), heights.begin() + long(heights.size() / 2), heights.end());
  const double median = heights[heights.size() / 2];
  size_t alike = 0;
  l_int32 ink = 0;
  for (const size_t k : tall) {
    const double height = white.boxes[k].Height();
    alike += height <= kReversedAlike * median && height * kReversedAlike >= median;
    ink += white.InkOf(int32_t(k));
  }
  if (double(alike) < kMostAlikeShare * double(tall.size()) ||
      double(ink) > kMostReversedInk * blot.Width() * blot.Height())
    return {};
  // Their dots and marks too.
  std::vector<InkPart> letters;
  for (size_t k = 0; k < white.boxes.size(); ++k) {
    if (TooLargeForText(white.boxes[k], page.width, page.height)) continue;
    BOX* box = boxaGetBox(white.boxa, int32_t(k), L_CLONE);
    PIX* hole = pixaGetPix(white.pixa, int32_t(k), L_CLONE);
    if (box && hole) {
      InkPart part = PartOf(hole, box);
      part.box.left += blot.left;
      part.box.right += blot.left;
      part.box.top += blot.top;
      part.box.bottom += blot.top;
      letters.push_back(std::move(part));
    }
    pixDestroy(&hole);
    boxDestroy(&box);
  }
  return letters;
}

// A page's grey levels are counted on every fourth pixel of every fourth row: its paper and its
// ink's share show as well as on all.
constexpr l_int32 kHistogramStep = 4;

// A band of a middle tone behind white letters (an orange or a grey box) is brought to the
// paper's level with the rest of the page, and its letters with it. It is found on the page as
// it came, as ink darker than its paper by kBandBelowPaper grey levels or more; its paper is
// the median grey (most of a page is paper).
constexpr int32_t kBandBelowPaper = 50;

// A band's white letters stand down at least this share of its height: a shaded box behind
// black print, its top edge cutting a line, holds white holes between that line's letters and
// the edge, all in one row.
constexpr double kLettersDownABand = 0.5;

// How many of the band's rows the parts reach into.
int32_t RowsHeld(const std::vector<InkPart>& parts, const PageBox& band) {
  std::vector<bool> held(size_t(band.Height()), false);
  for (const InkPart& part : parts)
    for (int32_t y = std::max(part.box.top, band.top); y <= std::min(part.box.bottom, band.bottom);
         ++y)
      held[size_t(y - band.top)] = true;
  return int32_t(std::count(held.begin(), held.end(), true));
}

// The page as it came, black where it is darker than its paper by kBandBelowPaper: what holds
// the bands of a middle tone; null where the page is mostly dark (a negative is read otherwise).
PixPtr TonedInk(PIX* grey) {
  const NumaPtr histogram(pixGetGrayHistogram(grey, kHistogramStep));
  l_float32 median = 0;
  if (!histogram ||
      numaGetHistogramStats(histogram.get(), 0, 1, nullptr, &median, nullptr, nullptr) != 0 ||
      median < kMidGrey)
    return nullptr;
  return PixPtr(pixThresholdToBinary(grey, l_int32(median) - kBandBelowPaper));
}

// Whether any object of the black/white page is too large for a letter, found on the page
// reduced four times (each pixel ink where any of the 16 it stands for is).
bool AnyTooLargeForText(PIX* binary) {
  constexpr int32_t kReduced = 4;
  const PixPtr reduced(pixReduceRankBinaryCascade(binary, 1, 1, 0, 0));
  BOXA* boxa = reduced ? pixConnCompBB(reduced.get(), 8) : nullptr;
  if (!boxa) return true;  // unknown: looked for
  bool any = false;
  for (l_int32 i = 0; i < boxaGetCount(boxa) && !any; ++i) {
    l_int32 x, y, w, h;
    boxaGetBoxGeometry(boxa, i, &x, &y, &w, &h);
    // As large as it may be: the reduced object stands for at least the whole object.
    any = TooLargeForText({0, 0, w * kReduced - 1, h * kReduced - 1}, pixGetWidth(binary),
                          pixGetHeight(binary));
  }
  boxaDestroy(&boxa);
  return any;
}

// White letters on bands of a middle tone put into the black/white page as ink, the band's other
// ink there (its tone where the evened light left it dark) taken out. `toned`: TonedInk's page.
void TakeLettersOnTonedBands(PIX* toned, PIX* binary) {
  if (!AnyTooLargeForText(toned)) return;  // most pages: their objects alone, found once
  const Components bands(toned);
  InkPage page;
  page.width = pixGetWidth(binary);
  page.height = pixGetHeight(binary);
  const std::vector<int32_t> solid = SolidBlots(bands, page.width, page.height);
  if (solid.empty()) return;
  page.letterHeight = LetterHeight(Components(binary).boxes, std::max(page.width, page.height));
  for (const int32_t i : solid) {
    const std::vector<InkPart> letters = ReversedLetters(toned, bands, i, page);
    const PageBox& band = bands.boxes[size_t(i)];
    if (letters.empty() || RowsHeld(letters, band) < kLettersDownABand * band.Height()) continue;
    PIX* pix = pixaGetPix(bands.pixa, i, L_CLONE);
    pixRasterop(binary, band.left, band.top, band.Width(), band.Height(),
                PIX_NOT(PIX_SRC) & PIX_DST, pix, 0, 0);
    pixDestroy(&pix);
    l_uint32* data = pixGetData(binary);
    const int32_t wpl = pixGetWpl(binary);
    for (const InkPart& letter : letters)
      for (int32_t y = 0; y < letter.ink.height; ++y)
        for (int32_t x = 0; x < letter.ink.width; ++x)
          if (letter.ink.at(x, y))
            SET_DATA_BIT(data + int64_t(letter.box.top + y) * wpl, letter.box.left + x);
  }
}

// The ink of a black/white page (the Pix is taken over): its objects with thin rules parted
// from the letters they touch, less those of regions that are no text and those too large for
// a letter, each noted; the rules stay objects of their own.
InkPage InkOfBlackWhite(PixPtr binary) {
  InkPage page;
  page.width = pixGetWidth(binary.get());
  page.height = pixGetHeight(binary.get());
  auto objects = std::make_unique<Components>(binary.get());
  page.letterHeight = LetterHeight(objects->boxes, std::max(page.width, page.height));
  const RegionMap regions =
      NonTextRegions(binary.get(), objects->boxes, page.letterHeight, &page.leftOut);
  const PixPtr rules = ThinRules(binary.get(), objects->boxes, page.letterHeight, regions);
  if (rules) {
    pixSubtract(binary.get(), binary.get(), rules.get());
    objects = std::make_unique<Components>(binary.get());
  }
  const std::vector<int32_t> blots = SolidBlots(*objects, page.width, page.height);
  std::vector<PageBox> blotBoxes;
  for (const int32_t i : blots) blotBoxes.push_back(objects->boxes[size_t(i)]);
  TakeParts(*objects, regions, blotBoxes, &page);
  if (rules) TakeParts(Components(rules.get()), regions, blotBoxes, &page);
  // White letters on a blot are its holes (a table's or a frame's cells are those of little ink).
  for (const int32_t i : blots)
    for (InkPart& letter : ReversedLetters(binary.get(), *objects, i, page))
      page.parts.push_back(std::move(letter));
  return page;
}

// Parts this many letter heights tall or taller (rules, a heading's letters) are left out of
// the page's skew: its lines of letters tell it.
constexpr int32_t kTallerThanLetters = 2;

// The page's letters alone on white paper, without its pictures, borders and shadows: a
// photograph's edge or a border's measured as lines had a straight page turned 1.7 degrees.
PixPtr LettersOf(const InkPage& page) {
  PixPtr letters(pixCreate(page.width, page.height, 1));
  if (!letters) return nullptr;
  l_uint32* data = pixGetData(letters.get());
  const int32_t wpl = pixGetWpl(letters.get());
  for (const InkPart& part : page.parts) {
    if (page.letterHeight > 0 && part.box.Height() >= kTallerThanLetters * page.letterHeight)
      continue;
    for (int32_t y = 0; y < part.ink.height; ++y)
      for (int32_t x = 0; x < part.ink.width; ++x)
        if (part.ink.at(x, y))
          SET_DATA_BIT(data + int64_t(part.box.top + y) * wpl, part.box.left + x);
  }
  return letters;
}

// The ink of a grey page (the Pix is taken over): that of its black/white page with its grey
// print and without the dark ground around a sheet, turned upright and straightened first where
// it lies on its side or askew.
InkPage InkOfGreyPage(PixPtr pixGrey) {
  InkPage page;
  if (!pixGrey) return page;
  page.width = pixGetWidth(pixGrey.get());
  page.height = pixGetHeight(pixGrey.get());
  const PixPtr ground = GroundAroundSheet(pixGrey.get());
  const PixPtr toned = TonedInk(pixGrey.get());
  int32_t threshold = 0;
  PixPtr binary = BlackWhitePage(pixGrey.get(), &threshold);
  if (!binary) return page;
  AddFaintInk(pixGrey.get(), threshold, binary.get());
  if (toned) TakeLettersOnTonedBands(toned.get(), binary.get());
  if (ground) LeaveOutGround(binary.get(), ground.get());
  pixGrey.reset();
  // Kept to be turned: finding the ink takes the rules out of the page. Where memory runs short
  // for a turned page, the page is read as it lies.
  PixPtr asItLies(pixCopy(nullptr, binary.get()));
  page = InkOfBlackWhite(std::move(binary));
  if (!asItLies) return page;
  PageTurn turn;
  PixPtr letters = LettersOf(page);
  turn.quarterTurns = letters ? QuarterTurnsUpright(letters.get(), page.letterHeight) : 0;
  if (turn.quarterTurns != 0) {
    PixPtr upright(pixRotateOrth(asItLies.get(), turn.quarterTurns));
    PixPtr kept(upright ? pixCopy(nullptr, upright.get()) : nullptr);
    if (!kept) return page;
    page = InkOfBlackWhite(std::move(upright));
    asItLies = std::move(kept);
    letters = LettersOf(page);
  }
  turn.uprightWidth = pixGetWidth(asItLies.get());
  turn.uprightHeight = pixGetHeight(asItLies.get());
  const double radians = (letters ? PageSkew(letters.get()) : 0) * M_PI / 180;
  if (std::abs(radians) >= kLeastSkewStraightened * M_PI / 180) {
    if (PixPtr straight = TurnedPage(asItLies.get(), radians, &turn))
      page = InkOfBlackWhite(std::move(straight));
  } else {
    page.lyingSkew = radians;
  }
  page.turn = turn;
  page.onDarkGround = ground != nullptr;
  return page;
}

// A page of light print on dark paper (a film's negative, a screen in dark colours) has less
// than this share of its pixels lighter than kMidGrey: its print's strokes. A page on paper has
// most of them light.
constexpr double kLightestNegative = 0.25;
// Read as it is, such a page is one dark blot with a few white letters on it, or its ground's
// grain: its negative stands this many times as many letters on baselines at least (a dark
// photograph's caption, read either way, stands as many).
constexpr size_t kNegativeLetters = 2;

bool MostlyDark(PIX* grey) {
  const NumaPtr histogram(pixGetGrayHistogram(grey, kHistogramStep));
  if (!histogram) return false;
  double light = 0, all = 0;
  for (l_int32 v = 0; v < numaGetCount(histogram.get()); ++v) {
    l_float32 count = 0;
    numaGetFValue(histogram.get(), v, &count);
    all += count;
    if (v >= kMidGrey) light += count;
  }
  return all > 0 && light < kLightestNegative * all;
}

// The parts of the page that stand like letters, beside others of their height on a baseline.
size_t LettersStanding(const InkPage& page) {
  std::vector<PageBox> boxes;
  boxes.reserve(page.parts.size());
  for (const InkPart& part : page.parts) boxes.push_back(part.box);
  const std::vector<uint8_t> standing =
      StandingLikeLetters(boxes, std::max(page.width, page.height));
  return size_t(std::count(standing.begin(), standing.end(), uint8_t(1)));
}

// The ink of a grey page (the Pix is taken over); a page of light print on dark paper is read
// as its negative where that stands far more letters than the page as it is.
InkPage InkOfGreyPix(PixPtr pixGrey) {
  setMsgSeverity(L_SEVERITY_ERROR);  // a page without paper is no news to warn about
  if (!pixGrey) return {};
  PixPtr negative(MostlyDark(pixGrey.get()) ? pixInvert(nullptr, pixGrey.get()) : nullptr);
  InkPage page = InkOfGreyPage(std::move(pixGrey));
  if (!negative) return page;
  InkPage inverted = InkOfGreyPage(std::move(negative));
  if (LettersStanding(inverted) <= kNegativeLetters * LettersStanding(page)) return page;
  inverted.lightOnDark = true;
  return inverted;
}

// One row of the 24-bit picture in grey, four pixels to a word (the first in its highest
// byte, as SET_DATA_BYTE stores them).
void ToGreyRow(const RasterImage& picture, int32_t y, int32_t width, l_uint32* line) {
  const uint8_t* p = DIBPixel24(picture, 0, y);
  auto grey = [&p] {
    const uint32_t g = uint32_t(p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8;
    p += 3;
    return g;
  };
  int32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    uint32_t word = grey() << 24;
    word |= grey() << 16;
    word |= grey() << 8;
    line[x / 4] = word | grey();
  }
  for (; x < width; ++x) SET_DATA_BYTE(line, x, grey());
}

PixPtr GreyPix(const std::vector<uint8_t>& grey, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || grey.size() < size_t(width) * size_t(height)) return nullptr;
  PixPtr pix(pixCreateNoInit(width, height, 8));
  if (!pix) return nullptr;
  const int32_t wpl = pixGetWpl(pix.get());
  for (int32_t y = 0; y < height; ++y) {
    l_uint32* line = pixGetData(pix.get()) + int64_t(y) * wpl;
    const uint8_t* src = grey.data() + int64_t(y) * width;
    for (int32_t x = 0; x < width; ++x) SET_DATA_BYTE(line, x, src[x]);
  }
  return pix;
}

}  // namespace

PageBox PageTurn::Back(const PageBox& box) const {
  if (!Turned() || box.Empty()) return box;
  PageBox upright = box;
  if (radians != 0) {
    // As pixRotate3Shear finds each turned pixel's source, less the margins added to turn it.
    upright = TurnedAbout(box, -radians, centreX, centreY);
    upright.left -= left;
    upright.right -= left;
    upright.top -= top;
    upright.bottom -= top;
  }
  // The page as it came is the upright page turned on round the circle.
  return TurnedClockwise(upright, 4 - quarterTurns, uprightWidth, uprightHeight);
}

InkPage FindInkInGrey(const std::vector<uint8_t>& grey, int32_t width, int32_t height) {
  PixPtr pix = GreyPix(grey, width, height);
  return pix ? InkOfGreyPix(std::move(pix)) : InkPage{};
}

std::vector<uint8_t> BlackWhiteOfGrey(const std::vector<uint8_t>& grey, int32_t width,
                                      int32_t height, int32_t* threshold) {
  const PixPtr pix = GreyPix(grey, width, height);
  const PixPtr binary = pix ? BlackWhitePage(pix.get(), threshold) : nullptr;
  if (!binary) return {};
  std::vector<uint8_t> ink(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ink[size_t(y) * size_t(width) + size_t(x)] =
          uint8_t(GET_DATA_BIT(pixGetData(binary.get()) + int64_t(y) * pixGetWpl(binary.get()), x));
  return ink;
}

InkPage FindInk(const RasterImage& picture) {
  const int32_t width = DIBWidth(picture), height = DIBHeight(picture);
  if (!picture.pixels || DIBBitCount(picture) != 24 || width <= 0 || height <= 0) return {};
  PixPtr pix(pixCreateNoInit(width, height, 8));
  if (!pix) return {};
  const int32_t wpl = pixGetWpl(pix.get());
  InTwoBands(height, [&](int32_t top, int32_t bottom, size_t) {
    for (int32_t y = top; y < bottom; ++y)
      ToGreyRow(picture, y, width, pixGetData(pix.get()) + int64_t(y) * wpl);
  });
  return InkOfGreyPix(std::move(pix));
}
