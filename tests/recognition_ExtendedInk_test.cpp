// The extended recogniser's black/white page, made in bands on both cores, against
// Leptonica's whole-page steps.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/ExtendedPage.h"

namespace {

// A page of text lines in grey (0 black ... 255 white).
std::vector<uint8_t> TextPage(int32_t width, int32_t height) {
  LogFont description;
  description.height = -23;
  description.faceName = "Liberation Serif";
  const std::unique_ptr<PlatformFont> font(PlatformFont::Create(description));
  SoftwareCanvas canvas(width, height);
  canvas.brushStyle = BrushStyle::Clear;
  canvas.font = font.get();
  for (int32_t line = 0; line * 30 + 40 < height; ++line)
    canvas.TextOut(10, 10 + line * 30, "Grauer Grund, ungleiches Licht: \xE4\xF6\xFC 0123");
  std::vector<uint8_t> grey(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      grey[size_t(y) * size_t(width) + size_t(x)] = uint8_t(canvas.GetPixel(x, y) & 0xFF);
  return grey;
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
