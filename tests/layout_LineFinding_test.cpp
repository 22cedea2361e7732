// Line finding: the sort by Left, the grouping, the slant measurement with its tie rules,
// the picture exclusion, the skew correction, the line levels and the reading order.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "layout/LineFinding.h"

namespace {

TEST(SortOrderByLeft, FollowsTheExchangeRuleOnEqualKeys) {
  // Pivot at the middle; equal Lefts are exchanged from both ends, so ties reverse.
  EXPECT_EQ(SortOrderByLeft({5, 5, 5}), (std::vector<int32_t>{2, 1, 0}));
  EXPECT_EQ(SortOrderByLeft({30, 10, 20}), (std::vector<int32_t>{1, 2, 0}));
  EXPECT_TRUE(SortOrderByLeft({}).empty());
  std::vector<int32_t> lefts;
  for (int32_t i = 0; i < 500; ++i) lefts.push_back((i * 7919) % 101);
  const std::vector<int32_t> order = SortOrderByLeft(lefts);
  for (size_t k = 1; k < order.size(); ++k)
    ASSERT_LE(lefts[size_t(order[k - 1])], lefts[size_t(order[k])]);
}

TEST(GroupLines, WorkedExampleWithComma) {
  const Box a{10, 10, 19, 29}, b{22, 12, 31, 29}, comma{34, 26, 36, 31};
  std::vector<int32_t> line;
  EXPECT_EQ(GroupLines({a, b, comma}, line), 1);
  EXPECT_EQ(line, (std::vector<int32_t>{1, 1, 1}));
  // The same comma beyond the near reach 49 (though within the far reach 67) stays out.
  const Box farComma{49, 26, 51, 31};
  EXPECT_EQ(GroupLines({a, b, farComma}, line), 2);
  EXPECT_EQ(line, (std::vector<int32_t>{1, 1, 2}));
  // A full-size object at the same place joins: it only needs the far reach.
  const Box letter{49, 12, 58, 29};
  EXPECT_EQ(GroupLines({a, b, letter}, line), 1);
}

TEST(GroupLines, ReachComesFromTheLastJoinedObject) {
  // After a small mark joins, the reach shrinks to the mark's: the next letter is too far.
  const Box seed{0, 0, 9, 19}, dot{12, 16, 14, 19}, letter{22, 0, 31, 19};
  std::vector<int32_t> line;
  EXPECT_EQ(GroupLines({seed, dot, letter}, line), 2);
  EXPECT_EQ(line, (std::vector<int32_t>{1, 1, 2}));
}

TEST(GroupLines, OffCentreChainIsUndoneAndRegrouped) {
  // B's centre (32) lies below the band 0 ... 29: 0 of 1 centred, so the line is refused.
  const Box a{0, 0, 9, 29}, b{12, 20, 21, 45}, c{24, 20, 33, 45};
  std::vector<int32_t> line;
  EXPECT_EQ(GroupLines({a, b, c}, line), 2);
  EXPECT_EQ(line, (std::vector<int32_t>{1, 2, 2}));
}

TEST(GroupLines, ColumnsWithAWideGapBecomeSeparateLines) {
  const Box left{0, 0, 9, 19}, right{60, 0, 69, 19};  // 60 >= 9 + 2 x 20
  std::vector<int32_t> line;
  EXPECT_EQ(GroupLines({left, right}, line), 2);
}

TEST(MeasureSlant, FirstSlantToReachACountWins) {
  // Pairs in order give 10, 20, 30 per mille, one each: 10 reached count 1 first.
  const std::vector<Box> boxes{{0, 0, 5, 0}, {100, 0, 105, 1}, {200, 0, 205, 4}};
  const SlantMeasure m = MeasureSlant(boxes, {1, 1, 1}, 1);
  EXPECT_EQ(m.pageBest, 10);
  EXPECT_EQ(m.pageBestCount, 1);
  EXPECT_DOUBLE_EQ(m.pageSlope, -0.01);
  EXPECT_DOUBLE_EQ(m.lineSlope[0], -0.01);
}

TEST(MeasureSlant, SlantZeroIsCountedButNeverBest) {
  // Three pairs at 0 against one at 10 (then 15 and 30): 3 x 1 < 3 fails, slope stays.
  std::vector<Box> boxes{{0, 0, 5, 0}, {100, 0, 105, 0}, {200, 0, 205, 0}, {300, 0, 305, 3}};
  SlantMeasure m = MeasureSlant(boxes, {1, 1, 1, 1}, 1);
  EXPECT_EQ(m.pageHistogram[kSlantRange], 3);
  EXPECT_EQ(m.pageBest, 10);
  EXPECT_DOUBLE_EQ(m.pageSlope, -0.01);
  // A fourth object on the common bottom: six pairs at 0 outweigh three times one.
  boxes.insert(boxes.begin() + 3, Box{250, 0, 255, 0});
  m = MeasureSlant(boxes, {1, 1, 1, 1, 1}, 1);
  EXPECT_EQ(m.pageSlope, 0.0);
  EXPECT_EQ(m.lineSlope[0], 0.0);
}

TEST(MeasureSlant, PairsOfEqualLeftAndOtherLinesAreSkipped) {
  const std::vector<Box> boxes{{0, 0, 5, 0}, {0, 0, 5, 50}, {100, 0, 105, 200}};
  const SlantMeasure m = MeasureSlant(boxes, {1, 1, 2}, 2);
  int32_t pairs = 0;
  for (int32_t c : m.pageHistogram) pairs += c;
  EXPECT_EQ(pairs, 0);
  EXPECT_EQ(m.pageBestCount, 0);
  EXPECT_EQ(m.pageSlope, 0.0);
}

TEST(PictureTolerance, Table) {
  EXPECT_EQ(PictureTolerance(0), 0.05);
  EXPECT_EQ(PictureTolerance(5), 0.005);
  EXPECT_EQ(PictureTolerance(10), 0.0005);
}

TEST(Skew, TenPixelsOverAThousand) {
  ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
  EXPECT_EQ(CorrectionAngleLogLine(CorrectionAngle(-0.01)), "Correction angle:0.57\xC2\xB0");
  EXPECT_EQ(CorrectionAngleLogLine(CorrectionAngle(0.0)), "Correction angle:0.00\xC2\xB0");
  EXPECT_EQ(SkewShift(500, -0.01), -5);
  // Halves go to the even neighbour.
  EXPECT_EQ(SkewShift(250, -0.01), -2);
  EXPECT_EQ(SkewShift(350, -0.01), -4);
}

TEST(MakeTextLine, LevelsFromTheBoxes) {
  // Bottoms 40, 42, 42, 40: 42 climbs to two first, so it is the baseline. Tops 10 (twice)
  // and 20 (three times): only Tops below 10 + 32 div 5 = 16 count, so xTop = 20.
  const std::vector<Box> boxes{
      {0, 10, 9, 40}, {10, 20, 19, 42}, {20, 20, 29, 42}, {30, 10, 39, 40}, {40, 20, 49, 36}};
  TDynaArray<ValueCount> bottoms, tops;
  const TextLine t = MakeTextLine(7, boxes, bottoms, tops);
  EXPECT_EQ(t.number, 7);
  EXPECT_EQ(t.left, 0);
  EXPECT_EQ(t.right, 49);
  EXPECT_EQ(t.top, 10);
  EXPECT_EQ(t.bottom, 42);
  EXPECT_EQ(t.maxHeight, 31);
  EXPECT_EQ(t.minHeight, 17);
  EXPECT_EQ(t.avgHeight, (31 + 23 + 23 + 31 + 17) / 5);
  EXPECT_EQ(t.baseline, 42);
  EXPECT_EQ(t.xTop, 20);
  EXPECT_EQ(t.middle, 26);
  EXPECT_EQ(t.upperLevel, 12);
  EXPECT_EQ(t.xTopLimit, 20 - 1 - 1);
  EXPECT_EQ(t.descenderLevel, 42) << "bottom - baseline <= 2";
  EXPECT_EQ(t.xMiddle, 31);
  EXPECT_EQ(t.thirdHeight, 8) << "Round(25 / 3)";
  EXPECT_EQ(bottoms.Count, 3);
  EXPECT_EQ(tops.Count, 2);

  // No Top below the limit: xTop falls back to top + (bottom - top) div 3.
  const TextLine flat = MakeTextLine(1, {{0, 0, 9, 30}, {10, 0, 19, 30}}, bottoms, tops);
  EXPECT_EQ(flat.xTop, 10);
  EXPECT_EQ(flat.descenderLevel, 30);
  // A descender: bottom - baseline = 9 > 2.
  const TextLine desc =
      MakeTextLine(1, {{0, 0, 9, 30}, {10, 0, 19, 30}, {20, 10, 29, 39}}, bottoms, tops);
  EXPECT_EQ(desc.baseline, 30);
  EXPECT_EQ(desc.descenderLevel, 33);
}

TEST(MakeTextLine, XHeightExactlyOnTheFloorCounts) {
  // A 10 pt bold line: ascenders at 304, the bottom of a descender at 339, so the floor is
  // 304 + 35 div 5 = 311, where the small letters begin.
  const std::vector<Box> boxes{{0, 304, 9, 332},   {10, 311, 19, 332}, {20, 311, 29, 332},
                               {30, 311, 39, 332}, {40, 311, 49, 339}, {50, 328, 53, 335}};
  TDynaArray<ValueCount> bottoms, tops;
  const TextLine t = MakeTextLine(1, boxes, bottoms, tops);
  EXPECT_EQ(t.xTop, 311);
}

TextLine LineAt(int32_t number, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TextLine t{};
  t.number = number;
  t.left = left;
  t.top = top;
  t.right = right;
  t.bottom = bottom;
  return t;
}

TEST(SortLinesReadingOrder, ExchangeSortOverColumns) {
  std::vector<TextLine> lines{LineAt(1, 500, 0, 900, 20), LineAt(2, 500, 50, 900, 70),
                              LineAt(3, 0, 0, 400, 20), LineAt(4, 0, 50, 400, 70)};
  SortLinesReadingOrder(lines);
  std::vector<int32_t> numbers;
  for (const auto& t : lines) numbers.push_back(t.number);
  // Each left line comes before the right line it overlaps.
  EXPECT_EQ(numbers, (std::vector<int32_t>{3, 1, 4, 2}));

  std::vector<TextLine> column{LineAt(1, 0, 200, 400, 220), LineAt(2, 0, 0, 400, 20),
                               LineAt(3, 0, 100, 400, 120)};
  SortLinesReadingOrder(column);
  EXPECT_EQ(column[0].number, 2);
  EXPECT_EQ(column[1].number, 3);
  EXPECT_EQ(column[2].number, 1);
}

// ---- findlinesoftext on objects set up directly ----

struct LinesFixture : ::testing::Test {
  HeadlessWindow window;
  TMainForm form{window, "/tmp/quillon", {}};

  LinesFixture() {
    std::setlocale(LC_NUMERIC, "C");
    window.paintBox1.SetSize(400, 300);
  }
  void AddObject(const Box& box) {
    PageObject* object = form.objects.Add();
    object->box = box;
  }
  // Eleven 60 x 60 blocks 100 pixels apart, falling one pixel per block: 10 per mille.
  void AddFallingLine(int32_t top) {
    for (int32_t k = 0; k <= 10; ++k)
      AddObject({100 + 100 * k, top + k, 159 + 100 * k, top + k + 59});
  }
  bool Logged(const std::string& line) const {
    for (const auto& l : window.log)
      if (l == line) return true;
    return false;
  }
};

TEST_F(LinesFixture, PageFallingTenOverAThousand) {
  AddFallingLine(100);
  form.findlinesoftext();
  EXPECT_TRUE(Logged("Correction angle:0.57\xC2\xB0"));
  EXPECT_TRUE(Logged("0 lines marked as invalid. Remaining: 1 Lines"));
  ASSERT_EQ(form.objects.Count, 11);
  ASSERT_EQ(form.lines.Count, 1);
  // Block 5 is 500 pixels right of the first: moved up by 5, its level now 100.
  const PageObject& block = *form.objects.At(5);
  EXPECT_EQ(block.unskewedBox.Left, 600);
  EXPECT_EQ(block.unskewedBox.Top, 105);
  EXPECT_EQ(block.box.Top, 100);
  EXPECT_EQ(block.box.Bottom, 159);
  EXPECT_EQ(form.lines.At(0)->baseline, 159) << "all corrected bottoms meet";
  EXPECT_NEAR(form.correctionAngle, 0.5729, 1e-4);
}

TEST_F(LinesFixture, FallingPageThroughTheWholeSearch) {
  // The same eleven blocks drawn as 60 x 60 frames on a page and found by the search.
  RasterImage page;
  newdib(&page, 1300, 260, 24, nullptr, 0);
  std::memset(page.pixels, 255, size_t(page.stride) * 260);
  for (int32_t k = 0; k <= 10; ++k)
    for (int32_t y = 100 + k; y < 160 + k; ++y)
      for (int32_t x = 100 + 100 * k; x < 160 + 100 * k; ++x) {
        const bool frame = y < 103 + k || y >= 157 + k || x < 103 + 100 * k || x >= 157 + 100 * k;
        if (frame) std::memset(DIBPixel24(page, x, y), 0, 3);
      }
  form.bwImage = page;
  form.searchArea = {0, 0, 1299, 259};
  form.FindCharsBtnClick();
  EXPECT_TRUE(Logged("Correction angle:0.57\xC2\xB0"));
  ASSERT_EQ(form.objects.Count, 11);
  EXPECT_EQ(form.objects.At(5)->unskewedBox.Top, 105);
  EXPECT_EQ(form.objects.At(5)->box.Top, 100);
}

TEST_F(LinesFixture, AngleUsesTheLocalesDecimalSeparator) {
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE.utf8"))
    GTEST_SKIP() << "no German locale installed";
  const std::string line = CorrectionAngleLogLine(CorrectionAngle(-0.01));
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(line, "Correction angle:0,57\xC2\xB0");
}

TEST_F(LinesFixture, PictureExclusionFollowsTheSlider) {
  // The page falls at 10 per mille; a second line lies flat (slope 0), 0.01 off the page.
  for (int32_t position : {0, 3, 4, 10}) {
    SCOPED_TRACE(position);
    form.ClearChars();
    form.lines.Clear();
    window.log.clear();
    AddFallingLine(100);
    for (int32_t k = 0; k < 3; ++k) AddObject({100 + 100 * k, 400, 159 + 100 * k, 459});
    form.settings.TrackBar1 = position;
    form.findlinesoftext();
    const bool removed = position >= 4;  // the tolerance 0.01 of position 3 still passes 0.01
    EXPECT_TRUE(Logged(removed ? "1 lines marked as invalid. Remaining: 1 Lines"
                               : "0 lines marked as invalid. Remaining: 2 Lines"));
    EXPECT_EQ(form.lines.Count, removed ? 1 : 2);
    EXPECT_EQ(form.objects.Count, removed ? 11 : 14);
    for (int32_t i = 0; i < form.objects.Count; ++i)
      EXPECT_LE(form.objects.At(i)->line, form.lines.Count);
  }
}

TEST_F(LinesFixture, WithoutExclusionNothingIsRemovedAndNoLineIsLogged) {
  AddFallingLine(100);
  for (int32_t k = 0; k < 3; ++k) AddObject({100 + 100 * k, 400, 159 + 100 * k, 459});
  form.settings.BildFilterCheck = false;
  form.findlinesoftext();
  for (const auto& l : window.log) EXPECT_EQ(l.find("marked as invalid"), std::string::npos);
  EXPECT_EQ(form.lines.Count, 2);
  EXPECT_EQ(form.objects.Count, 14);
  EXPECT_TRUE(Logged("Correction angle:0.57\xC2\xB0"));
}

TEST_F(LinesFixture, SingleObjectGivesOneLineAndNoAngle) {
  AddObject({10, 10, 19, 29});
  form.findlinesoftext();
  EXPECT_EQ(window.log, (std::vector<std::string>{"Search lines...",
                                                  "0 lines marked as invalid. Remaining: 1 Lines",
                                                  "Correction angle:0.00\xC2\xB0", "Sorting..."}));
  EXPECT_EQ(form.lines.Count, 1);
  EXPECT_EQ(form.objects.At(0)->line, 1);
}

TEST_F(LinesFixture, EmptyListLogsOnlyTheFirstLine) {
  form.findlinesoftext();
  EXPECT_EQ(window.log, (std::vector<std::string>{"Search lines..."}));
  EXPECT_EQ(form.lines.Count, 0);
}

TEST_F(LinesFixture, ObjectsEndInReadingOrderInsideTheirLines) {
  // Two columns of two lines each; the objects arrive in no particular order.
  const std::vector<Box> boxes{{520, 50, 529, 69}, {0, 0, 9, 19},     {12, 0, 21, 19},
                               {500, 0, 509, 19},  {512, 0, 521, 19}, {24, 50, 33, 69},
                               {0, 50, 9, 69},     {12, 50, 21, 69},  {500, 50, 509, 69}};
  for (const Box& b : boxes) AddObject(b);
  form.findlinesoftext();
  ASSERT_EQ(form.lines.Count, 4);
  int32_t previousLine = 0, previousLeft = -1;
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    const PageObject& o = *form.objects.At(i);
    ASSERT_GE(o.line, previousLine);
    if (o.line == previousLine) {
      EXPECT_GE(o.box.Left, previousLeft);
    }
    previousLine = o.line;
    previousLeft = o.box.Left;
    const TextLine* line = form.lines.Select(o.line - 1);
    EXPECT_EQ(form.currentLine, line);
    EXPECT_TRUE(line->left <= o.box.Left && o.box.Right <= line->right && line->top <= o.box.Top &&
                o.box.Bottom <= line->bottom);
  }
  std::vector<int32_t> lefts, tops;
  for (int32_t p = 0; p < 4; ++p) {
    lefts.push_back(form.lines.At(p)->left);
    tops.push_back(form.lines.At(p)->top);
  }
  EXPECT_EQ(lefts, (std::vector<int32_t>{0, 500, 0, 500}));
  EXPECT_EQ(tops, (std::vector<int32_t>{0, 0, 50, 50}));
}

bool AnyRed(const SoftwareCanvas& canvas, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x)
      if (canvas.GetPixel(x, y) == clRed) return true;
  return false;
}

TEST_F(LinesFixture, SlantChartWithoutABestSlantDrawsNoBars) {
  // Bottoms all level: every pair at slant 0, so the best count is 0.
  for (int32_t k = 0; k < 4; ++k) AddObject({100 * k, 0, 100 * k + 59, 59});
  form.findlinesoftext();
  EXPECT_FALSE(AnyRed(window.paintBox2, 0, 0, 255, 255));
}

TEST_F(LinesFixture, SlantChartShowsTheBestSlantFullHeight) {
  AddFallingLine(100);
  form.findlinesoftext();
  // Slant 10 is the bar from x = 150 to 159, full height up to y = 0.
  EXPECT_TRUE(AnyRed(window.paintBox2, 150, 0, 158, 2));
  EXPECT_FALSE(AnyRed(window.paintBox2, 0, 0, 140, 98)) << "no other slant was counted";
}

TEST_F(LinesFixture, LineBoxesAreDrawnAtTheZoom) {
  AddFallingLine(100);
  form.settings.ZoomEd = 25;
  form.findlinesoftext();
  // The line's box (100, 100) ... (1159, 159) at 25 %: an outline from (25, 25) to
  // (289, 39), exclusive.
  ASSERT_EQ(form.lines.At(0)->right, 1159);
  EXPECT_EQ(window.paintBox1.GetPixel(100, 25), clRed);
  EXPECT_EQ(window.paintBox1.GetPixel(100, 38), clRed);
  EXPECT_EQ(window.paintBox1.GetPixel(288, 30), clRed);
  EXPECT_NE(window.paintBox1.GetPixel(100, 30), clRed) << "an outline, not a filled box";
  EXPECT_NE(window.paintBox1.GetPixel(100, 39), clRed);
}

}  // namespace
