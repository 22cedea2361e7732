// The extended recogniser's black/white page, made in bands on both cores, against
// Leptonica's whole-page steps.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/SoftwareCanvas.h"
#include "recognition/ExtendedPage.h"
#include "tests/DrawnPage.h"
#include "tests/TurnedPage.h"

namespace {

// A page of text lines in grey (0 black ... 255 white).
std::vector<uint8_t> TextPage(int32_t width, int32_t height) {
  return DrawnPage(width, height, [height](SoftwareCanvas& canvas) {
    for (int32_t line = 0; line * 30 + 40 < height; ++line)
      canvas.TextOut(10, 10 + line * 30, "Grauer Grund, ungleiches Licht: \xE4\xF6\xFC 0123");
  });
}

// The black/white page as Leptonica's whole-page steps give it, the yardstick of the
// banded passes: background normalisation (none below 100 pixels), the histogram of every
// second pixel, the threshold.
std::vector<uint8_t> WholePageBlackWhite(const std::vector<uint8_t>& grey, int32_t width,
                                         int32_t height, int32_t* threshold) {
  PIX* pix = pixCreate(width, height, 8);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      SET_DATA_BYTE(pixGetData(pix) + y * pixGetWpl(pix), x, grey[size_t(y * width + x)]);
  PIX* normalised = width >= 100 && height >= 100 ? pixBackgroundNormSimple(pix, nullptr, nullptr)
                                                  : pixClone(pix);
  NUMA* histogram = pixGetGrayHistogram(normalised, 2);
  GreyCounts counts{};
  for (int v = 0; v < 256; ++v) {
    l_float32 count = 0;
    numaGetFValue(histogram, v, &count);
    counts[size_t(v)] = uint64_t(count);
  }
  *threshold = InkThreshold(counts);
  PIX* binary = pixThresholdToBinary(normalised, *threshold);
  std::vector<uint8_t> ink(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ink[size_t(y * width + x)] =
          uint8_t(GET_DATA_BIT(pixGetData(binary) + y * pixGetWpl(binary), x));
  numaDestroy(&histogram);
  pixDestroy(&binary);
  pixDestroy(&normalised);
  pixDestroy(&pix);
  return ink;
}

TEST(ExtendedInk, BandsOnBothCoresGiveWhatTheWholePageStepsGive) {
  std::mt19937 random(3);
  struct Size {
    int32_t width, height;
  };
  // Odd sizes (tiles cut at the edges, bands of odd rows), one below the normalisation's
  // limit, one too dark to measure paper on.
  for (const Size size : {Size{1237, 911}, Size{641, 333}, Size{90, 71}, Size{300, 101}}) {
    std::vector<uint8_t> grey = TextPage(size.width, size.height);
    ASSERT_LT(*std::min_element(grey.begin(), grey.end()), 100) << "no text drawn";
    for (int32_t y = 0; y < size.height; ++y)
      for (int32_t x = 0; x < size.width; ++x) {
        uint8_t& v = grey[size_t(y) * size_t(size.width) + size_t(x)];
        const double paper = 240 - 150.0 * x / size.width - 40.0 * y / size.height;
        v = uint8_t(
            std::clamp(30 + (paper - 30) * v / 255.0 + double(random() % 21) - 10, 0.0, 255.0));
      }
    for (const bool dark : {false, true}) {
      if (dark) std::fill(grey.begin(), grey.end(), uint8_t(12));
      int32_t banded = 0, whole = 0;
      EXPECT_EQ(BlackWhiteOfGrey(grey, size.width, size.height, &banded),
                WholePageBlackWhite(grey, size.width, size.height, &whole))
          << size.width << "x" << size.height << (dark ? " dark" : "");
      EXPECT_EQ(banded, whole);
    }
  }
}

// Rows of the page that no part of its ink reaches, between its first part and its last.
double ShareOfEmptyRows(const InkPage& ink) {
  std::vector<bool> reached(size_t(ink.height), false);
  int32_t first = ink.height, last = 0;
  for (const InkPart& part : ink.parts) {
    for (int32_t y = part.box.top; y <= part.box.bottom; ++y) reached[size_t(y)] = true;
    first = std::min(first, part.box.top);
    last = std::max(last, part.box.bottom);
  }
  if (last <= first) return 0;
  return double(std::count(reached.begin() + first, reached.begin() + last, false)) /
         (last - first);
}

// A page scanned askew is straightened before its ink is found, so that its lines lie level,
// and one scanned on its side or upside down is turned upright; its parts' boxes turned back
// stand where their ink stands on the page as it came. A page askew by half a degree is read
// as it is.
TEST(ExtendedInk, APageAskewOrOnItsSideIsTurnedAndItsPlacesFoundOnThePageAsItCame) {
  constexpr int32_t kWidth = 1200, kHeight = 1400, kMark = 16;
  std::vector<uint8_t> page = TextPage(kWidth, kHeight);
  // Square marks beside the lines (the text is narrower than half the page).
  const std::vector<std::pair<double, double>> marks = {
      {900, 200}, {1000, 700}, {850, 1200}, {1100, 400}};
  for (const auto& [x, y] : marks)
    for (int32_t dy = 0; dy < kMark; ++dy)
      for (int32_t dx = 0; dx < kMark; ++dx) page[size_t(y + dy) * kWidth + size_t(x + dx)] = 0;
  // Also on its side and upside down, askew too: turned upright by quarter turns first.
  for (const double degrees : {4.0, -3.0, 0.5, 93.0, 180.0, 267.0}) {
    std::vector<std::pair<double, double>> centres;
    for (const auto& [x, y] : marks)
      centres.emplace_back(x + (kMark - 1) / 2.0, y + (kMark - 1) / 2.0);
    int32_t width = 0, height = 0;
    const std::vector<uint8_t> askew =
        TurnedPage(page, kWidth, kHeight, degrees, &width, &height, &centres);
    const InkPage ink = FindInkInGrey(askew, width, height);
    if (degrees == 0.5) {
      EXPECT_EQ(ink.turn.radians, 0.0);
      EXPECT_EQ(ink.width, width);
      continue;
    }
    const int32_t quarters = int32_t(std::lround(degrees / 90));
    EXPECT_EQ(ink.turn.quarterTurns, (4 - quarters) % 4) << degrees;
    EXPECT_NEAR(-ink.turn.radians * 180 / M_PI, degrees - 90 * quarters, 0.2) << degrees;
    // Level lines leave white rows between them; lines askew by a few degrees leave none.
    EXPECT_GT(ShareOfEmptyRows(ink), 0.1) << degrees;
    for (const auto& [x, y] : centres) {
      int32_t found = 0;
      for (const InkPart& part : ink.parts) {
        const PageBox back = ink.turn.Back(part.box);
        if (std::abs((back.left + back.right) / 2.0 - x) <= 2 &&
            std::abs((back.top + back.bottom) / 2.0 - y) <= 2 && part.box.Width() >= kMark - 2 &&
            part.box.Width() <= kMark + 2)
          ++found;
      }
      EXPECT_EQ(found, 1) << degrees << " degrees, the mark at " << x << "," << y;
    }
  }
}

// White letters on a dark box (a banner's heading) are letters of the page, with their dots;
// a dark box's small white dots (a photograph's highlights) are none.
TEST(ExtendedInk, WhiteLettersOnADarkBoxAreTheLettersOfThePage) {
  constexpr int32_t kWidth = 1000, kHeight = 700;
  std::vector<uint8_t> page = TextPage(kWidth, kHeight);
  struct Box {
    int32_t left, top, right, bottom;
    bool Holds(const PageBox& b) const {
      const int32_t x = (b.left + b.right) / 2, y = (b.top + b.bottom) / 2;
      return x > left && x < right && y > top && y < bottom;
    }
  };
  const Box banner{40, 250, 900, 330}, photo{40, 420, 900, 560};
  // The banner: the page's own lines there turned white on black.
  for (int32_t y = banner.top; y < banner.bottom; ++y)
    for (int32_t x = banner.left; x < banner.right; ++x) {
      uint8_t& v = page[size_t(y) * kWidth + size_t(x)];
      v = uint8_t(255 - v);
    }
  std::mt19937 random(5);
  for (int32_t y = photo.top; y < photo.bottom; ++y)
    for (int32_t x = photo.left; x < photo.right; ++x)
      page[size_t(y) * kWidth + size_t(x)] = random() % 40 == 0 ? 255 : 10;
  const InkPage ink = FindInkInGrey(page, kWidth, kHeight);
  size_t inBanner = 0, dots = 0, inPhoto = 0;
  for (const InkPart& part : ink.parts) {
    inBanner += banner.Holds(part.box);
    dots += banner.Holds(part.box) && part.box.Height() < ink.letterHeight / 2;
    inPhoto += photo.Holds(part.box);
  }
  // Two lines of "Grauer Grund, ungleiches Licht: äöü 0123" (30 letters and marks each, the
  // umlauts' dots and the colon's among them).
  EXPECT_GE(inBanner, 60u);
  EXPECT_GE(dots, 8u);
  EXPECT_EQ(inPhoto, 0u);
}

// Grey print below black print is read with it; a back page showing through the paper, as
// dark but blurred by it, is not. The page: black lines, grey lines, then, a line's gap below
// them, paper with the lines mirrored and blurred.
TEST(ExtendedInk, GreyPrintIsInkAndABackPageShowingThroughIsNot) {
  constexpr int32_t kWidth = 1000, kHeight = 900;
  // Eight lines of each, parted where lines part.
  constexpr int32_t kGreyFrom = 247, kGreyTo = 487, kBackFrom = 547;
  const std::vector<uint8_t> text = TextPage(kWidth, kHeight);
  auto at = [](const std::vector<uint8_t>& grey, int32_t x, int32_t y) {
    return double(grey[size_t(std::clamp(y, 0, kHeight - 1)) * kWidth +
                       size_t(std::clamp(x, 0, kWidth - 1))]);
  };
  // Two passes of a 5 x 5 mean: the blur of a sheet's thickness at this size of print.
  std::vector<uint8_t> back = text;
  for (int32_t pass = 0; pass < 2; ++pass) {
    std::vector<uint8_t> blurred(back.size());
    for (int32_t y = 0; y < kHeight; ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        double sum = 0;
        for (int32_t dy = -2; dy <= 2; ++dy)
          for (int32_t dx = -2; dx <= 2; ++dx) sum += at(back, kWidth - 1 - (x + dx), y + dy);
        blurred[size_t(y) * kWidth + size_t(x)] = uint8_t(sum / 25);
      }
    back = blurred;
  }
  // The grey print at 55 % black; the back page as dark where its strokes are thickest.
  constexpr double kGreyPrint = 0.55, kShowingThrough = 0.9;
  std::vector<uint8_t> page(text.size());
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const size_t i = size_t(y) * kWidth + size_t(x);
      const double ink = y < kGreyFrom   ? 255 - text[i]
                         : y < kGreyTo   ? kGreyPrint * (255 - text[i])
                         : y < kBackFrom ? 0
                                         : kShowingThrough * (255 - back[i]);
      page[i] = uint8_t(255 - ink);
    }
  const InkPage ink = FindInkInGrey(page, kWidth, kHeight);
  size_t black = 0, grey = 0, shownThrough = 0;
  for (const InkPart& part : ink.parts) {
    const int32_t middle = (part.box.top + part.box.bottom) / 2;
    (middle < kGreyFrom ? black : middle < kBackFrom ? grey : shownThrough) += 1;
  }
  ASSERT_GT(black, 200u);
  EXPECT_GE(grey, black * 95 / 100);  // the same lines, as many
  EXPECT_EQ(shownThrough, 0u);
}

// A sheet scanned under a scanner's black lid is read, and the lid is no ink of it; a page of
// light print on dark paper (a film's negative) is read as its negative; a page mostly covered
// by a dark photograph, with black lines below it, is read as it is.
TEST(ExtendedInk, ASheetOnADarkGroundAndANegativePageAreReadAsPaper) {
  constexpr int32_t kSheetWidth = 900, kSheetHeight = 600;
  const std::vector<uint8_t> sheet = TextPage(kSheetWidth, kSheetHeight);
  const InkPage alone = FindInkInGrey(sheet, kSheetWidth, kSheetHeight);
  ASSERT_GT(alone.parts.size(), 300u);

  constexpr int32_t kWidth = 1400, kHeight = 1100, kLeft = 250, kTop = 200;
  std::vector<uint8_t> lid(size_t(kWidth) * kHeight, 20);
  for (int32_t y = 0; y < kSheetHeight; ++y)
    std::copy_n(sheet.begin() + y * kSheetWidth, kSheetWidth,
                lid.begin() + (kTop + y) * kWidth + kLeft);
  const InkPage onLid = FindInkInGrey(lid, kWidth, kHeight);
  EXPECT_TRUE(onLid.onDarkGround);
  EXPECT_FALSE(onLid.lightOnDark);
  EXPECT_GE(onLid.parts.size(), alone.parts.size() * 95 / 100);
  for (const InkPart& part : onLid.parts)
    EXPECT_TRUE(part.box.left >= kLeft && part.box.right < kLeft + kSheetWidth &&
                part.box.top >= kTop && part.box.bottom < kTop + kSheetHeight)
        << "ink of the lid at " << part.box.left << "," << part.box.top;

  std::vector<uint8_t> negative = sheet;
  for (uint8_t& v : negative) v = uint8_t(255 - v);
  const InkPage asNegative = FindInkInGrey(negative, kSheetWidth, kSheetHeight);
  EXPECT_TRUE(asNegative.lightOnDark);
  EXPECT_GE(asNegative.parts.size(), alone.parts.size() * 95 / 100);

  // The photograph: dark grain over the upper four fifths, the sheet's last lines below.
  std::vector<uint8_t> photo = sheet;
  std::mt19937 random(3);
  for (int32_t y = 0; y < kSheetHeight * 4 / 5; ++y)
    for (int32_t x = 0; x < kSheetWidth; ++x)
      photo[size_t(y) * kSheetWidth + size_t(x)] = uint8_t(30 + random() % 60);
  const InkPage withPhoto = FindInkInGrey(photo, kSheetWidth, kSheetHeight);
  EXPECT_FALSE(withPhoto.lightOnDark);
  EXPECT_FALSE(withPhoto.onDarkGround);
  EXPECT_GT(std::count_if(withPhoto.parts.begin(), withPhoto.parts.end(),
                          [](const InkPart& part) { return part.box.top > kSheetHeight * 4 / 5; }),
            50);
}

// White letters on a band of a middle tone (an orange box) are the page's letters, as black
// letters on such a band are, also where the band's top edge cuts through a line (white holes
// between its letters and the edge); the band's evened-out tone leaves no ink of its own.
TEST(ExtendedInk, WhiteLettersOnABandOfAMiddleToneAreLetters) {
  constexpr int32_t kWidth = 1000, kHeight = 700, kBand = 150, kPitch = 30;
  const std::vector<uint8_t> text = TextPage(kWidth, kHeight);
  auto lineTop = [](int32_t line) { return 10 + line * kPitch - 4; };
  // Lines 0-5 black on white, lines 6-11 on the band (its top at line 6's top, or cutting it just
  // above its baseline).
  auto onBand = [&](bool whiteLetters, int32_t bandTop) {
    std::vector<uint8_t> page = text;
    for (int32_t y = bandTop; y < lineTop(12); ++y)
      for (int32_t x = 0; x < kWidth; ++x) {
        uint8_t& v = page[size_t(y) * kWidth + size_t(x)];
        const double ink = (255 - v) / 255.0;
        v = uint8_t(whiteLetters ? kBand + (255 - kBand) * ink : kBand * (1 - ink));
      }
    return FindInkInGrey(page, kWidth, kHeight);
  };
  auto count = [](const InkPage& ink, int32_t top, int32_t bottom) {
    return size_t(std::count_if(ink.parts.begin(), ink.parts.end(), [&](const InkPart& part) {
      return part.box.top >= top && part.box.bottom < bottom;
    }));
  };
  struct Band {
    bool whiteLetters;
    int32_t top;
  };
  for (const Band band :
       {Band{true, lineTop(6)}, Band{false, lineTop(6)}, Band{false, lineTop(6) + 21}}) {
    const InkPage ink = onBand(band.whiteLetters, band.top);
    // Five lines wholly above the band, five wholly on it.
    const size_t above = count(ink, 0, lineTop(5)), on = count(ink, lineTop(7), lineTop(12));
    ASSERT_GT(above, 150u);
    EXPECT_GE(on, above * 95 / 100) << band.whiteLetters << " " << band.top;
    EXPECT_LE(on, above * 105 / 100) << band.whiteLetters << " " << band.top;
  }
}

// A photograph's grain fills cells of two text heights; the line below it may put its dots
// ("ü", "i") into a row of cells of their own, above the middles of their letters. Those
// dots stay text, while a cell of grain alone beside the photograph joins it.
TEST(NonTextRegions, TheDotsOfALineBelowAPhotographStayText) {
  for (const int32_t scale : {1, 2, 4}) {
    const int32_t textHeight = 20 * scale, cell = 2 * textHeight, dot = 3 * scale;
    std::vector<PageBox> boxes;
    for (int32_t row = 0; row < 3; ++row)  // the photograph: 3 x 4 cells of grain
      for (int32_t column = 0; column < 4; ++column)
        for (int32_t k = 0; k < 10; ++k) {
          const int32_t x = column * cell + (k % 5) * cell / 5, y = row * cell + (k / 5) * cell / 2;
          boxes.push_back({x, y, x + dot - 1, y + dot - 1});
        }
    // Below it, the dots of a "ü" in the first row of cells under the photograph, their
    // letter's middle and that of the "b" beside it in the next row.
    const int32_t dotsTop = 3 * cell + 3 * cell / 4;
    const PageBox dots[] = {{10 * scale, dotsTop, 10 * scale + dot - 1, dotsTop + dot - 1},
                            {20 * scale, dotsTop, 20 * scale + dot - 1, dotsTop + dot - 1}};
    boxes.insert(boxes.end(), std::begin(dots), std::end(dots));
    boxes.push_back({8 * scale, dotsTop + 5 * scale, 26 * scale, dotsTop + 25 * scale});
    boxes.push_back({28 * scale, dotsTop, 46 * scale, dotsTop + 25 * scale});
    // Beside the photograph on the right, a cell of a few dots of its lighter edge.
    for (int32_t k = 0; k < 4; ++k)
      boxes.push_back(
          {4 * cell + k * cell / 4, cell, 4 * cell + k * cell / 4 + dot - 1, cell + dot - 1});
    PIX* paper = pixCreate(8 * cell, 6 * cell, 1);
    ASSERT_NE(paper, nullptr);
    std::vector<LeftOutRegion> regions;
    const RegionMap map = NonTextRegions(paper, boxes, textHeight, &regions);
    pixDestroy(&paper);
    ASSERT_EQ(regions.size(), 1u) << "scale " << scale;
    EXPECT_TRUE(map.Covers(boxes.front())) << "scale " << scale;
    for (const PageBox& d : dots) EXPECT_FALSE(map.Covers(d)) << "scale " << scale;
    EXPECT_TRUE(map.Covers(boxes.back())) << "scale " << scale;
  }
}

}  // namespace
