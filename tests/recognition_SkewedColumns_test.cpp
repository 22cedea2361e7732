// The page analysis of a two-column page lying a little askew: read as it lies, its columns
// told apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "layout/PageSegmentation.h"
#include "recognition/ExtendedPage.h"
#include "tests/DrawnPage.h"
#include "tests/TurnedPage.h"

namespace {

// A two-column page lying a degree or so askew is read as it lies, and its columns are told
// apart as on the page set level: down a tall column the skew closes a narrow gutter.
TEST(ExtendedInk, TheColumnsOfAPageLyingALittleAskewAreToldApart) {
  constexpr int32_t kWidth = 1300, kHeight = 2000, kColumn = 620, kGutter = 45, kMargin = 10;
  constexpr int32_t kWordPitch = 62;
  // Lines of words spaced out to fill their column, as justified lines do.
  const std::vector<uint8_t> page = DrawnPage(kWidth, kHeight, [&](SoftwareCanvas& canvas) {
    const char* words[] = {"Licht", "Grund", "ganz", "oben", "unten", "Worte"};
    for (const int32_t left : {kMargin, kMargin + kColumn + kGutter})
      for (int32_t top = kMargin, line = 0; top + 40 < kHeight; top += 30, ++line)
        for (int32_t k = 0; k < 10; ++k)
          canvas.TextOut(left + k * kWordPitch, top, words[(line + k) % 6]);
  });
  // The columns reach to the gutter's edges (within a letter's width), and no further.
  int32_t leftEnd = 0, rightStart = kWidth;
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      if (page[size_t(y) * kWidth + size_t(x)] > 128) continue;
      if (x < kMargin + kColumn + kGutter / 2)
        leftEnd = std::max(leftEnd, x);
      else
        rightStart = std::min(rightStart, x);
    }
  ASSERT_LT(leftEnd, kMargin + kColumn);
  ASSERT_GT(leftEnd, kMargin + kColumn - 30);
  ASSERT_EQ(rightStart, kMargin + kColumn + kGutter);
  for (const double degrees : {1.2, -1.0}) {
    int32_t width = 0, height = 0;
    std::vector<std::pair<double, double>> none;
    const std::vector<uint8_t> askew =
        TurnedPage(page, kWidth, kHeight, degrees, &width, &height, &none);
    const InkPage ink = FindInkInGrey(askew, width, height);
    EXPECT_EQ(ink.turn.radians, 0.0) << degrees;
    EXPECT_NEAR(-ink.lyingSkew * 180 / M_PI, degrees, 0.2) << degrees;
    // A part's column, from where it stands on the page as drawn.
    const double c = std::cos(degrees * M_PI / 180), s = std::sin(degrees * M_PI / 180);
    auto rightColumn = [&](const PageBox& box) {
      const double dx = (box.left + box.right) / 2.0 - width / 2.0;
      const double dy = (box.top + box.bottom) / 2.0 - height / 2.0;
      return kWidth / 2.0 + dx * c + dy * s > kMargin + kColumn + kGutter / 2.0;
    };
    const SegmentedPage segments = SegmentInk(ink);
    ASSERT_GE(segments.textBlocks.size(), 2u) << degrees;
    bool rightReached = false;
    for (const PageRegion& block : segments.textBlocks) {
      const auto right =
          std::count_if(block.components.begin(), block.components.end(),
                        [&](int32_t i) { return rightColumn(ink.parts[size_t(i)].box); });
      EXPECT_TRUE(right == 0 || size_t(right) == block.components.size())
          << degrees << ": a block across both columns";
      EXPECT_FALSE(rightReached && right == 0)
          << degrees << ": the left column read after the right";
      rightReached = rightReached || right > 0;
    }
  }
}

}  // namespace
