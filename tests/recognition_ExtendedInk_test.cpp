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

}  // namespace
