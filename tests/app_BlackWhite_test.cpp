// Black/white conversion: the threshold rule on histograms, the page it writes, the log
// line and marker, and the histogram box.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/Threshold.h"

namespace {

// A 24-bit picture whose pixels, in reading order, have the given grey levels.
RasterImage GreyPicture(int32_t width, int32_t height, const std::vector<int32_t>& greys) {
  RasterImage image;
  newdib(&image, width, height, 24, nullptr, 0);
  for (int32_t i = 0; i < width * height; ++i) {
    const uint32_t g = uint32_t(greys[size_t(i)]);
    setpixel(image, i % width, i / width, g | (g << 8) | (g << 16));
  }
  return image;
}

// Pixels with the counts of grey levels given as (level, count) pairs, 100 pixels a row.
std::vector<int32_t> Levels(const std::vector<std::pair<int32_t, int32_t>>& counts) {
  std::vector<int32_t> greys;
  for (auto [level, count] : counts) greys.insert(greys.end(), size_t(count), level);
  return greys;
}

struct Form {
  HeadlessWindow window;
  TMainForm form{window, "/x/quillon", {}};
  void SetPicture(RasterImage image) {
    deldib(&form.picture);
    form.picture = image;
  }
};

bool IsWhite(const RasterImage& bw, int32_t x, int32_t y) {
  const uint8_t* p = DIBPixel24(bw, x, y);
  EXPECT_TRUE((p[0] == 0 && p[1] == 0 && p[2] == 0) || (p[0] == 255 && p[1] == 255 && p[2] == 255))
      << "pixel " << x << "," << y << " is neither black nor white";
  return p[0] == 255;
}

TEST(Threshold, MinorPeaksDropAndPaperTakesNearestSurvivor) {
  GreyHistogram h{};
  h[220] = 5000;
  h[200] = 4000;
  h[30] = 1000;
  h[60] = 500;
  PeakTable peaks;
  const ThresholdResult r = ThresholdOfHistogram(h, 50, &peaks);
  EXPECT_EQ(r.paperLevel, 220);
  EXPECT_EQ(r.histogramMax, 5000);
  EXPECT_EQ(peaks[200][0], 0) << "220 is nearer than 64 and larger";
  EXPECT_EQ(peaks[60][0], 0) << "30 is nearer than 64 and larger";
  EXPECT_EQ(peaks[30][0], 1000);
  EXPECT_EQ(peaks[220][0], 5000);
  EXPECT_EQ(peaks[30][1], 30);
  EXPECT_EQ(r.peakDistance, 190);
  EXPECT_EQ(r.separation, 95);
  const auto table = BlackWhiteTable(r.paperLevel, r.separation);
  for (int32_t g = 0; g < 256; ++g) EXPECT_EQ(table[g], g >= 126 ? 255 : 0) << "grey " << g;
}

TEST(Threshold, SingleLevelHalfRoundsToEven) {
  GreyHistogram h{};
  h[77] = 64000;
  PeakTable peaks;
  const ThresholdResult r = ThresholdOfHistogram(h, 50, &peaks);
  EXPECT_EQ(r.peakDistance, 255);
  EXPECT_EQ(r.separation, 128) << "127.5 goes to the even 128";
  // 25 * 255 / 100 = 63.75 -> 64; 10 * 255 / 100 = 25.5 -> 26 (even); 30 * 255 / 100 = 76.5 -> 76
  EXPECT_EQ(ThresholdOfHistogram(h, 25, &peaks).separation, 64);
  EXPECT_EQ(ThresholdOfHistogram(h, 10, &peaks).separation, 26);
  EXPECT_EQ(ThresholdOfHistogram(h, 30, &peaks).separation, 76);
}

TEST(Threshold, EqualLargestCountsTakeLowerLevelAndDoNotDropEachOther) {
  GreyHistogram h{};
  h[100] = 700;
  h[140] = 700;
  PeakTable peaks;
  const ThresholdResult r = ThresholdOfHistogram(h, 50, &peaks);
  EXPECT_EQ(r.paperLevel, 100);
  EXPECT_EQ(peaks[140][0], 700);
  EXPECT_EQ(r.peakDistance, 40);
}

TEST(Threshold, PeaksAreDroppedInLevelOrder) {
  GreyHistogram h{};
  h[200] = 1000;
  h[150] = 800;
  h[100] = 300;
  PeakTable peaks;
  // 100 drops against 150, which still stands when 100 is examined; then 150 drops
  // against 200. No ink peak is left.
  EXPECT_EQ(ThresholdOfHistogram(h, 50, &peaks).peakDistance, 255);
  EXPECT_EQ(peaks[100][0], 0);
  EXPECT_EQ(peaks[150][0], 0);

  GreyHistogram g{};
  g[200] = 1000;
  g[170] = 800;
  g[60] = 300;
  const ThresholdResult r = ThresholdOfHistogram(g, 50, &peaks);
  EXPECT_EQ(peaks[170][0], 0);
  EXPECT_EQ(r.peakDistance, 140) << "measured to the surviving peak at 60, not to 170";
}

TEST(BlackWhite, WorkedExampleLogsMarksAndWritesPage) {
  Form f;
  f.SetPicture(GreyPicture(100, 105, Levels({{220, 5000}, {200, 4000}, {30, 1000}, {60, 500}})));
  f.form.ToBlackWhiteBtnClick();
  ASSERT_FALSE(f.window.log.empty());
  EXPECT_EQ(f.window.log.back(), "Histogram broder away from maximum:95");
  EXPECT_EQ(f.form.histogramMax, 5000);
  EXPECT_EQ(f.form.histogram[125], 200090) << "marker at paper level - t";
  EXPECT_EQ(f.form.histogram[220], 5000);
  EXPECT_EQ(f.form.histogram[200], 4000);
  ASSERT_NE(f.form.bwImage.pixels, nullptr);
  EXPECT_EQ(DIBWidth(f.form.bwImage), 100);
  EXPECT_EQ(DIBHeight(f.form.bwImage), 105);
  EXPECT_EQ(DIBBitCount(f.form.bwImage), 24);
  EXPECT_TRUE(IsWhite(f.form.bwImage, 0, 0));      // 220
  EXPECT_TRUE(IsWhite(f.form.bwImage, 0, 50));     // 200
  EXPECT_FALSE(IsWhite(f.form.bwImage, 0, 90));    // 30
  EXPECT_FALSE(IsWhite(f.form.bwImage, 99, 104));  // 60
  EXPECT_GT(f.window.paintBox1Repaints, 0);
  EXPECT_GT(f.window.paintBox2Repaints, 0);
}

TEST(BlackWhite, GreyIsChannelSumDivThree) {
  Form f;
  RasterImage image;
  newdib(&image, 4, 1, 24, nullptr, 0);
  // Paper: (90 + 90 + 90) / 3 = 90 twice; (0 + 0 + 255) / 3 = 85 and (0 + 0 + 254) / 3 = 84.
  setpixel(image, 0, 0, 0x5A5A5A);
  setpixel(image, 1, 0, 0x5A5A5A);
  setpixel(image, 2, 0, 0x0000FF);
  setpixel(image, 3, 0, 0x0000FE);
  f.SetPicture(image);
  f.form.ToBlackWhiteBtnClick();
  EXPECT_EQ(f.form.histogram[90], 2);
  EXPECT_EQ(f.form.histogram[85], 1);
  EXPECT_EQ(f.form.histogram[84], 1);
}

TEST(BlackWhite, SeparationOnePercentKeepsOnlyPaperLevel) {
  Form f;
  f.form.settings.SchwellEd = 1;
  // Equal counts do not drop each other: 140 survives 40 levels from the paper at 100.
  f.SetPicture(GreyPicture(10, 3, Levels({{100, 14}, {140, 14}, {101, 1}, {99, 1}})));
  f.form.ToBlackWhiteBtnClick();
  EXPECT_EQ(f.window.log.back(), "Histogram broder away from maximum:0");
  EXPECT_TRUE(IsWhite(f.form.bwImage, 0, 0));
  EXPECT_FALSE(IsWhite(f.form.bwImage, 8, 2)) << "101 is not the paper level";
  EXPECT_FALSE(IsWhite(f.form.bwImage, 9, 2)) << "99 is not the paper level";
  EXPECT_EQ(f.form.histogram[100], 200090) << "t = 0 puts the marker on the paper level";
}

TEST(BlackWhite, DarkPageHasNoMarkerAndDarkGroundTurnsWhite) {
  Form f;
  f.SetPicture(GreyPicture(10, 10, Levels({{20, 80}, {220, 20}})));
  f.form.ToBlackWhiteBtnClick();
  EXPECT_EQ(f.window.log.back(), "Histogram broder away from maximum:100");
  for (int32_t i = 0; i < 256; ++i)
    EXPECT_EQ(f.form.histogram[i], i == 20 ? 80 : i == 220 ? 20 : 0) << "level " << i;
  EXPECT_TRUE(IsWhite(f.form.bwImage, 0, 0)) << "the most frequent level is paper";
  EXPECT_FALSE(IsWhite(f.form.bwImage, 9, 9));
}

TEST(BlackWhite, RenderAgainRepeatsPageAndLogLine) {
  Form f;
  f.SetPicture(GreyPicture(10, 10, Levels({{200, 70}, {10, 30}})));
  f.form.ToBlackWhiteBtnClick();
  const int64_t size = int64_t(f.form.bwImage.stride) * 10;
  std::vector<uint8_t> first(f.form.bwImage.pixels, f.form.bwImage.pixels + size);
  f.form.RenderBlackWhiteBtnClick();
  ASSERT_EQ(f.window.log.size(), 2u);
  EXPECT_EQ(f.window.log[0], f.window.log[1]);
  EXPECT_EQ(std::memcmp(first.data(), f.form.bwImage.pixels, size_t(size)), 0);
}

TEST(BlackWhite, TableConversionMatchesPlainRule) {
  // Random pictures of many widths (row padding, pixels left over after groups of eight)
  // against the rule pixel by pixel: runs of one grey, as paper makes them, runs of one
  // colour that is not grey, grey runs that differ in one channel, and noise. Pages of
  // 512 rows and more are done in two bands on two threads, an odd count of rows too.
  std::mt19937 random(7);
  for (auto [w, h] : {std::pair{1, 23},
                      {7, 23},
                      {8, 23},
                      {9, 23},
                      {16, 23},
                      {23, 23},
                      {37, 23},
                      {64, 23},
                      {37, 513},
                      {64, 600}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    RasterImage picture;
    newdib(&picture, w, h, 24, nullptr, 0);
    for (int32_t y = 0; y < h; ++y) {
      int32_t x = 0;
      while (x < w) {
        const int32_t run = 1 + int32_t(random() % 20);
        const uint32_t kind = random() % 4, g = random() & 0xFF;
        const uint32_t colour = kind == 0   ? g * 0x010101u
                                : kind == 1 ? random() & 0xFFFFFF
                                            : g * 0x010101u ^ (1u << (random() % 24));
        for (int32_t k = 0; k < run && x < w; ++k, ++x)
          setpixel(picture, x, y, kind == 3 ? random() & 0xFFFFFF : colour);
      }
    }
    GreyHistogram histogram;
    HistogramOfPicture(picture, &histogram);
    GreyHistogram plain{};
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint32_t v = getpixel(picture, x, y);
        ++plain[((v & 0xFF) + ((v >> 8) & 0xFF) + (v >> 16)) / 3];
      }
    EXPECT_EQ(histogram, plain);

    for (auto [paper, t] : {std::pair{128, 40}, {255, 128}, {0, 1}}) {
      RasterImage bw;
      newdib(&bw, w, h, 24, nullptr, 0);
      RenderBlackWhite(picture, BlackWhiteTable(paper, t), &bw);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const uint32_t v = getpixel(picture, x, y);
          const int32_t g = int32_t(((v & 0xFF) + ((v >> 8) & 0xFF) + (v >> 16)) / 3);
          const bool white = g == paper || std::abs(g - paper) < t;
          ASSERT_EQ(getpixel(bw, x, y), white ? 0xFFFFFFu : 0u) << x << "," << y;
        }
      deldib(&bw);
    }
    deldib(&picture);
  }
}

TEST(BlackWhite, PictureWithoutPixelsLeavesNoPage) {
  Form f;
  f.form.ToBlackWhiteBtnClick();  // no picture at all
  EXPECT_EQ(f.form.bwImage.pixels, nullptr);
  EXPECT_EQ(f.window.log.back(), "Histogram broder away from maximum:128");
  f.form.PaintBox1Paint();  // draws nothing, does not crash
}

TEST(HistogramBox, RedColumnsScaledToLargestCount) {
  Form f;
  f.form.histogramMax = 99;
  f.form.histogram[10] = 99;          // 99 * 256 div 100 = 253: from y 256 up to y 3
  f.form.histogram[20] = 50;          // 128: up to y 128
  f.form.histogram[30] = 200090;      // the marker: reaches past the top
  f.form.histogram[40] = 2000000000;  // needs a 64-bit product
  f.form.PaintBox2Paint();
  const SoftwareCanvas& c = f.window.paintBox2;
  EXPECT_EQ(c.GetPixel(10, 255), clRed);
  EXPECT_EQ(c.GetPixel(10, 4), clRed);
  EXPECT_EQ(c.GetPixel(10, 3), clWhite) << "the end point is not drawn";
  EXPECT_EQ(c.GetPixel(20, 129), clRed);
  EXPECT_EQ(c.GetPixel(20, 128), clWhite);
  EXPECT_EQ(c.GetPixel(30, 0), clRed);
  EXPECT_EQ(c.GetPixel(40, 0), clRed);
  EXPECT_EQ(c.GetPixel(11, 255), clWhite);
  EXPECT_EQ(c.GetPixel(255, 0), clWhite);
}

}  // namespace
