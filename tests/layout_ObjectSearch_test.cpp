// Object search: the fill, the dot test, the size test and filter, and the page left
// exactly as it was, through FindCharsBtnClick on small pages drawn here.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "layout/ObjectSearch.h"
#include "tests/TestHelpers.h"

namespace {

RasterImage BlankPage(int32_t w, int32_t h) {
  RasterImage page;
  newdib(&page, w, h, 24, nullptr, 0);
  std::memset(page.pixels, 255, size_t(page.stride) * size_t(h));
  return page;
}

void FillRect(RasterImage& page, int32_t left, int32_t top, int32_t right, int32_t bottom,
              uint8_t value = 0) {
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x) std::memset(DIBPixel24(page, x, y), value, 3);
}

std::vector<uint8_t> PixelBytes(const RasterImage& image) {
  return {image.pixels, image.pixels + size_t(image.stride) * size_t(DIBHeight(image))};
}

// The search map's mark of page pixel (x, y), y counted from the top.
uint8_t MapMark(const RasterImage& map, int32_t x, int32_t y) {
  return DIBRow(map, DIBHeight(map) - 1 - y)[x];
}

// Rows of an object's image as '#' and '.'.
std::vector<std::string> ImageRows(const RasterImage& image) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < DIBHeight(image); ++y) {
    std::string row;
    for (int32_t x = 0; x < DIBWidth(image); ++x) {
      const uint8_t* p = DIBPixel24(image, x, y);
      row += (p[0] == 0 && p[1] == 0 && p[2] == 0) ? '#' : '.';
    }
    rows.push_back(row);
  }
  return rows;
}

struct SearchFixture : ::testing::Test {
  HeadlessWindow window;
  TMainForm form{window, "/tmp/quillon", {}};

  void SetPage(RasterImage page) {
    deldib(&form.bwImage);
    form.bwImage = page;
    form.searchArea = {0, 0, DIBWidth(page) - 1, DIBHeight(page) - 1};
  }
  std::vector<Box> Boxes(TDynaArray<PageObject>& list) {
    std::vector<Box> boxes;
    for (int32_t i = 0; i < list.Count; ++i) boxes.push_back(list.At(i)->box);
    return boxes;
  }
};

bool operator==(const Box& a, const Box& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// A plain 4-connected flood fill, one pixel at a time, to check the span fill against.
void ReferenceFill(std::vector<std::string>& rows, int32_t x, int32_t y, FillBounds& b) {
  std::vector<std::pair<int32_t, int32_t>> todo{{x, y}};
  const int32_t h = int32_t(rows.size()), w = int32_t(rows[0].size());
  while (!todo.empty()) {
    auto [px, py] = todo.back();
    todo.pop_back();
    if (px < 0 || py < 0 || px >= w || py >= h || rows[size_t(py)][size_t(px)] != '#') continue;
    rows[size_t(py)][size_t(px)] = 'v';
    b.minX = std::min(b.minX, px);
    b.maxX = std::max(b.maxX, px);
    b.minY = std::min(b.minY, py);
    b.maxY = std::max(b.maxY, py);
    todo.push_back({px - 1, py});
    todo.push_back({px + 1, py});
    todo.push_back({px, py - 1});
    todo.push_back({px, py + 1});
  }
}

TEST(FillObject, MarksTheSameComponentAsAPixelFloodFill) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    const int32_t w = 1 + int32_t(random() % 23), h = 1 + int32_t(random() % 17);
    std::vector<std::string> rows(size_t(h), std::string(size_t(w), '.'));
    for (auto& row : rows)
      for (auto& c : row) c = random() % 100 < 55 ? '#' : '.';
    const int32_t sx = int32_t(random() % uint32_t(w)), sy = int32_t(random() % uint32_t(h));
    RasterImage page = DrawnImage(rows);
    RasterImage map = MakeSearchMap(page);
    ASSERT_NE(map.pixels, nullptr);
    FillBounds fast{w, h, -1, -1}, slow{w, h, -1, -1};
    std::vector<FillSeed> work;
    FillObject(map, sx, sy, fast, work, nullptr);
    ReferenceFill(rows, sx, sy, slow);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t mark = MapMark(map, x, y);
        const char expected = rows[size_t(y)][size_t(x)];
        ASSERT_EQ(mark, expected == 'v'   ? kInkVisited
                        : expected == '#' ? kInkUnvisited
                                          : kPaperOrTaken)
            << "round " << round << " pixel " << x << "," << y;
      }
    ASSERT_EQ(fast.minX, slow.minX);
    ASSERT_EQ(fast.minY, slow.minY);
    ASSERT_EQ(fast.maxX, slow.maxX);
    ASSERT_EQ(fast.maxY, slow.maxY);
    // The counts against the pixels the reference fill visited, run by run.
    int64_t ink = 0, rowRuns = 0, columnRuns = 0;
    auto visited = [&rows](int32_t x, int32_t y) { return rows[size_t(y)][size_t(x)] == 'v'; };
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        if (!visited(x, y)) continue;
        ++ink;
        rowRuns += x == 0 || !visited(x - 1, y);
        columnRuns += y == 0 || !visited(x, y - 1);
      }
    ASSERT_EQ(fast.ink, ink) << "round " << round;
    ASSERT_EQ(fast.rowRuns, rowRuns) << "round " << round;
    ASSERT_EQ(fast.columnRuns, columnRuns) << "round " << round;
    deldib(&map);
    deldib(&page);
  }
}

TEST(MakeSearchMap, InkOnlyWhereAllThreeBytesAreZeroAndThePageIsLeftAlone) {
  // Widths around the eight-pixel steps of the paper test; one row of paper only.
  const uint8_t kinds[4][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 1}, {128, 0, 0}};
  for (int32_t w = 1; w <= 19; ++w) {
    RasterImage page = BlankPage(w, 3);
    for (int32_t x = 0; x < w; ++x) {
      std::memcpy(DIBPixel24(page, x, 0), kinds[x % 4], 3);
      std::memcpy(DIBPixel24(page, x, 2), kinds[(x * 7 + 1) % 4], 3);
    }
    const std::vector<uint8_t> before = PixelBytes(page);
    RasterImage map = MakeSearchMap(page);
    ASSERT_NE(map.pixels, nullptr);
    ASSERT_EQ(DIBWidth(map), w);
    ASSERT_EQ(DIBHeight(map), 3);
    for (int32_t x = 0; x < w; ++x) {
      EXPECT_EQ(MapMark(map, x, 0), x % 4 == 0 ? kInkUnvisited : kPaperOrTaken) << w << " " << x;
      EXPECT_EQ(MapMark(map, x, 1), kPaperOrTaken) << w << " " << x;
      EXPECT_EQ(MapMark(map, x, 2), (x * 7 + 1) % 4 == 0 ? kInkUnvisited : kPaperOrTaken)
          << w << " " << x;
    }
    EXPECT_EQ(PixelBytes(page), before);
    deldib(&map);
    deldib(&page);
  }
  // A page of 512 rows and more is mapped in two bands on two threads: every row counts.
  RasterImage tall = BlankPage(9, 515);
  for (int32_t y = 0; y < 515; ++y)
    for (int32_t x = 0; x < 9; ++x) std::memcpy(DIBPixel24(tall, x, y), kinds[(x + y) % 4], 3);
  RasterImage tallMap = MakeSearchMap(tall);
  ASSERT_NE(tallMap.pixels, nullptr);
  for (int32_t y = 0; y < 515; ++y)
    for (int32_t x = 0; x < 9; ++x)
      ASSERT_EQ(MapMark(tallMap, x, y), (x + y) % 4 == 0 ? kInkUnvisited : kPaperOrTaken)
          << x << "," << y;
  deldib(&tallMap);
  deldib(&tall);
  RasterImage none{};
  EXPECT_EQ(MakeSearchMap(none).pixels, nullptr);
}

TEST(TicksBetween, StaysRightAcrossTheCountersWrap) {
  EXPECT_EQ(TicksBetween(1000u, 1250u), 250u);
  EXPECT_EQ(TicksBetween(0xFFFFFF00u, 0x00000010u), 0x110u);
  EXPECT_EQ(TicksBetween(uint32_t(INT32_MAX), uint32_t(INT32_MAX) + 5u), 5u);
}

TEST(IsRoundDot, WorkedExamples) {
  auto dot = [](const std::vector<std::string>& rows) {
    RasterImage image = DrawnImage(rows);
    const bool result = IsRoundDot(image);
    deldib(&image);
    return result;
  };
  EXPECT_TRUE(dot({"#"}));
  EXPECT_TRUE(dot({"###", "###", "###"}));
  EXPECT_FALSE(dot({"###", "#.#", "###"})) << "a ring";
  EXPECT_TRUE(dot(std::vector<std::string>(8, "########")));
  EXPECT_FALSE(dot({"..####..", ".######.", "###..###", "##....##", "##....##", "###..###",
                    ".######.", "..####.."}))
      << "an o with its open centre";
  EXPECT_FALSE(dot(std::vector<std::string>(8, "###"))) << "a narrow l: ratio 3/8 < 0.5";
  EXPECT_TRUE(dot(std::vector<std::string>(8, "####"))) << "ratio exactly 0.5 passes";
  EXPECT_TRUE(dot(std::vector<std::string>(4, "######"))) << "ratio exactly 1.5 passes";
  // 7 x 7: radius 2, 25 pixels inside. 23 black of 25 is above 0.9, 22 is not.
  EXPECT_TRUE(dot({"#######", "#######", "##.####", "###.###", "#######", "#######", "#######"}));
  EXPECT_FALSE(dot({"#######", "#######", "##.####", "###.###", "####.##", "#######", "#######"}));
}

TEST_F(SearchFixture, DiagonalPixelsAreTwoObjectsAndBothDots) {
  SetPage(DrawnImage({"....", ".#..", "..#.", "...."}));
  form.settings.MinObjSizeED = 1;
  form.FindCharsBtnClick();
  EXPECT_EQ(form.objects.Count, 0);
  ASSERT_EQ(form.dots.Count, 2);
  // The filter visits the objects from the last found to the first.
  EXPECT_TRUE(form.dots.At(0)->box == (Box{2, 2, 2, 2}));
  EXPECT_TRUE(form.dots.At(1)->box == (Box{1, 1, 1, 1}));
  ASSERT_GE(window.log.size(), 3u);
  EXPECT_EQ(window.log[0], "Search for objects...");
  EXPECT_EQ(window.log[1], "4 x 4 Pixel...");
  EXPECT_EQ(window.log[2].rfind("Objects found: 2; Time:", 0), 0u) << window.log[2];
  EXPECT_EQ(window.log[2].substr(window.log[2].size() - 8), "msek....");
}

TEST_F(SearchFixture, SizeTestAndFilterTakeSpecksAndDotsOut) {
  // A 2 x 2 speck (too small), a 1 x 3 and a 3 x 1 bar (pass the size test, then dropped),
  // a filled 3 x 3 square (a dot), a 3 x 3 ring (kept).
  SetPage(DrawnImage({
      "##.........#.......",
      "##.###.....#..###..",
      "...#.#.....#..###..",
      "...###........###..",
      "...................",
      ".###...............",
  }));
  form.settings.MinObjSizeED = 3;
  form.FindCharsBtnClick();
  ASSERT_GE(window.log.size(), 3u);
  EXPECT_EQ(window.log[2].rfind("Objects found: 4;", 0), 0u) << "counted before the filter";
  ASSERT_EQ(form.objects.Count, 1);
  EXPECT_TRUE(form.objects.At(0)->box == (Box{3, 1, 5, 3}));
  ASSERT_EQ(form.dots.Count, 1);
  EXPECT_TRUE(form.dots.At(0)->box == (Box{14, 1, 16, 3}));
  EXPECT_EQ(form.objects.At(0)->line, 1);
}

TEST_F(SearchFixture, LongThinRuleStaysWhenTenTimesTheAverageHeight) {
  // Average height of the kept objects: (1 + 1 + 4 x 3) div 6 = 2, so 20 pixels is big.
  RasterImage page = BlankPage(40, 12);
  FillRect(page, 0, 10, 19, 10);       // 20 x 1: big, stays
  FillRect(page, 0, 0, 2, 0);          // 3 x 1: dropped
  for (int32_t x : {6, 12, 18, 24}) {  // 3 x 3 rings, kept
    FillRect(page, x, 3, x + 2, 5);
    FillRect(page, x + 1, 4, x + 1, 4, 255);
  }
  SetPage(page);
  form.FindCharsBtnClick();
  int32_t rules = 0, shortBars = 0;
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    const Box& b = form.objects.At(i)->unskewedBox;
    rules += b.Right - b.Left == 19 && b.Top == b.Bottom;
    shortBars += b.Right - b.Left == 2 && b.Top == b.Bottom;
  }
  EXPECT_EQ(rules, 1);
  EXPECT_EQ(shortBars, 0);
  EXPECT_EQ(form.objects.Count, 5);
}

TEST_F(SearchFixture, SpeckInsideALaterObjectsBoxBecomesPartOfItsImage) {
  SetPage(DrawnImage({
      "........",
      "..#..#..",
      ".....#..",
      ".#####..",
      "........",
  }));
  form.settings.MinObjSizeED = 3;
  form.settings.BildFilterCheck = false;
  form.FindCharsBtnClick();
  ASSERT_EQ(form.objects.Count, 1);
  const PageObject& object = *form.objects.At(0);
  EXPECT_TRUE(object.unskewedBox == (Box{1, 1, 5, 3}));
  EXPECT_EQ(ImageRows(object.image), (std::vector<std::string>{".#..#", "....#", "#####"}));
}

TEST_F(SearchFixture, ObjectStartingInsideTheAreaIsFoundWholeOthersNot) {
  RasterImage page = BlankPage(60, 30);
  FillRect(page, 10, 5, 40, 8);  // starts inside, reaches out to the right
  FillRect(page, 10, 5, 12, 25);
  FillRect(page, 50, 2, 55, 20);  // wholly outside
  FillRect(page, 51, 3, 54, 19, 255);
  SetPage(page);
  form.searchArea = {-5, -3, 20, 100};
  form.FindCharsBtnClick();
  EXPECT_EQ(form.searchArea.left, 0);
  EXPECT_EQ(form.searchArea.top, 0);
  EXPECT_EQ(form.searchArea.right, 20);
  EXPECT_EQ(form.searchArea.bottom, 29);
  ASSERT_EQ(form.objects.Count, 1);
  EXPECT_TRUE(form.objects.At(0)->unskewedBox == (Box{10, 5, 40, 25}));
}

TEST_F(SearchFixture, PageIsExactlyAsBeforeAndResultsReplaceTheLastSearch) {
  RasterImage page = BlankPage(50, 20);
  FillRect(page, 2, 2, 9, 15);
  FillRect(page, 4, 4, 7, 13, 255);
  FillRect(page, 20, 2, 27, 15);
  FillRect(page, 21, 3, 26, 14, 255);
  FillRect(page, 40, 18, 40, 18);  // a speck: marked, not kept
  SetPage(page);
  const std::vector<uint8_t> before = PixelBytes(form.bwImage);
  form.settings.MinObjSizeED = 3;
  form.FindCharsBtnClick();
  EXPECT_EQ(PixelBytes(form.bwImage), before);
  EXPECT_EQ(form.objects.Count, 2);
  EXPECT_EQ(form.lines.Count, 1);
  form.FindCharsBtnClick();
  EXPECT_EQ(PixelBytes(form.bwImage), before);
  EXPECT_EQ(form.objects.Count, 2) << "a second search replaces the first one's results";
  EXPECT_EQ(form.lines.Count, 1);
}

// "Only find lines" paints the page view there and then and draws the red line boxes
// with their blue labels over it; no later repaint is asked for that would wipe them.
TEST_F(SearchFixture, ViewShowsThePageWithLineBoxesAndLabelsAfterTheSearch) {
  RasterImage page = BlankPage(200, 60);
  for (int32_t left : {20, 60, 100, 140}) {
    FillRect(page, left, 10, left + 29, 49);
    FillRect(page, left + 3, 13, left + 26, 46, 255);
  }
  SetPage(page);
  form.settings.ZoomEd = 100;
  form.PaintBox1Paint();  // sizes the view, as opening the page does
  window.paintBox1.brushColor = clYellow;
  window.paintBox1.FillRect(0, 0, 200, 60);  // whatever the view showed before
  const int32_t repaintsBefore = window.paintBox1Repaints;
  form.FindCharsBtnClick();
  ASSERT_EQ(form.lines.Count, 1);
  EXPECT_EQ(window.paintBox1Repaints, repaintsBefore);
  const SoftwareCanvas& view = window.paintBox1;
  EXPECT_EQ(view.GetPixel(150, 30), clWhite) << "the page, painted by the search";
  EXPECT_EQ(view.GetPixel(141, 30), clBlack);
  EXPECT_EQ(view.GetPixel(55, 10), clRed) << "the line box's top edge";
  int32_t blue = 0;
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 20; x < 60; ++x) blue += view.GetPixel(x, y) == clBlue;
  EXPECT_GT(blue, 0) << "the label \"1;1\" at the line's corner";
}

TEST_F(SearchFixture, EmptyPageAndEmptyAreaFindNothing) {
  SetPage(BlankPage(30, 20));
  form.FindCharsBtnClick();
  ASSERT_EQ(window.log.size(), 4u);
  EXPECT_EQ(window.log[2].rfind("Objects found: 0;", 0), 0u);
  EXPECT_EQ(window.log[3], "Search lines...");
  EXPECT_EQ(form.objects.Count, 0);
  EXPECT_EQ(form.lines.Count, 0);

  RasterImage inked = BlankPage(30, 20);
  FillRect(inked, 0, 0, 29, 19);
  SetPage(inked);
  form.searchArea = {10, 5, 9, 15};  // Right < Left
  form.FindCharsBtnClick();
  EXPECT_EQ(form.objects.Count, 0);
}

TEST_F(SearchFixture, AllBlackPageIsOneObjectWithOneWindowPumpPerSpan) {
  // A page-sized object: the fill must not lean on the call stack.
  const int32_t w = 1700, h = 2400;
  RasterImage page = BlankPage(w, h);
  std::memset(page.pixels, 0, size_t(page.stride) * size_t(h));
  SetPage(page);
  int32_t pumps = 0;
  window.onProcessMessages = [&pumps] { ++pumps; };
  form.FindCharsBtnClick();
  EXPECT_EQ(pumps, h) << "one span per row";
  // Filled and not far from square, the page passes the dot test.
  EXPECT_EQ(form.objects.Count, 0);
  ASSERT_EQ(form.dots.Count, 1);
  EXPECT_TRUE(form.dots.At(0)->box == (Box{0, 0, w - 1, h - 1}));
  const RasterImage& image = form.dots.At(0)->image;
  EXPECT_EQ(DIBWidth(image), w);
  EXPECT_EQ(DIBPixel24(image, w - 1, h - 1)[0], 0);
  EXPECT_EQ(DIBPixel24(form.bwImage, w / 2, h / 2)[0], 0) << "the page keeps its ink";
}

TEST_F(SearchFixture, SecondSearchStartedWhileTheFillLetsEventsRunIsRefused) {
  SetPage(DrawnImage({"###..###", "#.#..#.#", "###..###"}));
  form.settings.MinObjSizeED = 1;
  int32_t pumps = 0;
  window.onProcessMessages = [&] {
    ++pumps;
    form.FindCharsBtnClick();
  };
  form.FindCharsBtnClick();
  EXPECT_GT(pumps, 0);
  EXPECT_EQ(form.objects.Count, 2);
  int32_t searches = 0;
  for (const auto& line : window.log) searches += line == "Search for objects...";
  EXPECT_EQ(searches, 1);
}

// Image factories that fail on their n-th call (the search map is the first).
int32_t gMakerCalls = 0;
int32_t gMakerFailsAt = 0;
void FailingMaker(RasterImage* out, int32_t w, int32_t h, int32_t bits, const uint8_t* colors,
                  int32_t colorCount) {
  if (++gMakerCalls == gMakerFailsAt) {
    std::memset(out, 0, sizeof *out);
    return;
  }
  newdib(out, w, h, bits, colors, colorCount);
}

TEST_F(SearchFixture, FailedSearchMapLeavesPageAndResultsAsTheyWere) {
  SetPage(DrawnImage({"###..###", "#.#..#.#", "###..###"}));
  form.settings.MinObjSizeED = 1;
  form.FindCharsBtnClick();
  ASSERT_EQ(form.objects.Count, 2);
  const size_t logLines = window.log.size();
  const std::vector<uint8_t> before = PixelBytes(form.bwImage);
  uint8_t* pagePixels = form.bwImage.pixels;

  gMakerCalls = 0;
  gMakerFailsAt = 1;
  form.objectImageMaker = FailingMaker;
  form.FindCharsBtnClick();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Error: Not enough memory for this function!!!");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(window.log.size(), logLines);
  EXPECT_EQ(form.objects.Count, 2);
  EXPECT_EQ(form.lines.Count, 1);
  EXPECT_EQ(form.bwImage.pixels, pagePixels);
  EXPECT_EQ(PixelBytes(form.bwImage), before);

  // The program goes on: the next search works.
  form.objectImageMaker = newdib;
  form.FindCharsBtnClick();
  EXPECT_EQ(form.objects.Count, 2);
}

TEST_F(SearchFixture, FailedObjectImageRestoresThePageAndLeaksNothing) {
  SetPage(DrawnImage({"###..###..###", "#.#..#.#..#.#", "###..###..###"}));
  form.settings.MinObjSizeED = 1;
  const std::vector<uint8_t> before = PixelBytes(form.bwImage);
  gMakerCalls = 0;
  gMakerFailsAt = 3;  // search map, first object, then the second object fails
  form.objectImageMaker = FailingMaker;
  form.FindCharsBtnClick();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "Error: Not enough memory for this function!!!");
  EXPECT_EQ(PixelBytes(form.bwImage), before);
  EXPECT_EQ(form.objects.Count, 0);
  EXPECT_EQ(form.dots.Count, 0);
  EXPECT_EQ(form.lines.Count, 0);
  // Leaks would show under the sanitizer build.
}

TEST(DuplicateImage, CopiesSizeDepthPaletteAndPixels) {
  RasterImage grey;
  newdib(&grey, 5, 3, 8, nullptr, 0);
  RgbQuad* table = DIBColorTable(grey);
  for (int i = 0; i < 256; ++i) table[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  for (int32_t i = 0; i < grey.stride * 3; ++i) grey.pixels[i] = uint8_t(i * 7);
  RasterImage copy = DuplicateImage(grey);
  ASSERT_NE(copy.pixels, nullptr);
  EXPECT_NE(copy.pixels, grey.pixels);
  EXPECT_EQ(DIBWidth(copy), 5);
  EXPECT_EQ(DIBBitCount(copy), 8);
  EXPECT_EQ(DIBColorTable(copy)[200].green, 200);
  EXPECT_EQ(PixelBytes(copy), PixelBytes(grey));
  deldib(&copy);
  deldib(&grey);
  RasterImage none{};
  RasterImage noCopy = DuplicateImage(none);
  EXPECT_EQ(noCopy.pixels, nullptr);
}

}  // namespace
