#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "devtools/EnterChar.h"
#include "devtools/GridSampling.h"
#include "devtools/LearnedGrids.h"
#include "devtools_TestImages.h"
#include "platform/SoftwareCanvas.h"
#include "tests/TestHelpers.h"

namespace fs = std::filesystem;

namespace {

GlyphGrid PaperGrid() {
  GlyphGrid grid;
  for (int32_t& cell : grid.cells) cell = 255;
  return grid;
}

// A grid with ink in the given columns (all rows) and rows (all columns).
GlyphGrid BarGrid(std::initializer_list<int> columns, std::initializer_list<int> rows) {
  GlyphGrid grid = PaperGrid();
  for (int x : columns)
    for (int y = 0; y < kGridSize; ++y) grid.at(x, y) = 0;
  for (int y : rows)
    for (int x = 0; x < kGridSize; ++x) grid.at(x, y) = 0;
  return grid;
}

TEST(GridSampling, SeventeenPixelImageMapsOneToOne) {
  std::vector<std::string> rows(17, std::string(17, '.'));
  for (int n = 0; n < 17; ++n) rows[size_t(n)][size_t(n)] = '#';
  rows[3][12] = '#';
  RasterImage image = DrawnImage(rows);
  GlyphGrid grid = SampleObjectImage(image);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 17; ++x)
      EXPECT_EQ(grid.at(x, y), rows[size_t(y)][size_t(x)] == '#' ? 0 : 255) << x << "," << y;
  deldib(&image);
}

TEST(GridSampling, NoInkIsLostOrInvented) {
  // Every ink pixel of a small or large image shows in some cell, and every ink cell holds
  // ink of the image: random pictures of every size from 1 x 1 to 40 x 40.
  std::mt19937 random(6);
  for (int trial = 0; trial < 300; ++trial) {
    int32_t w = 1 + int32_t(random() % 40), h = 1 + int32_t(random() % 40);
    std::vector<std::string> rows(size_t(h), std::string(size_t(w), '.'));
    int inkPixels = int(random() % 4);
    for (int n = 0; n < inkPixels; ++n) rows[random() % size_t(h)][random() % size_t(w)] = '#';
    RasterImage image = DrawnImage(rows);
    GlyphGrid grid = SampleObjectImage(image);
    int inkCells = 0;
    for (int32_t cell : grid.cells) inkCells += cell == 0;
    bool anyInk = false;
    for (const std::string& row : rows) anyInk = anyInk || row.find('#') != std::string::npos;
    EXPECT_EQ(inkCells > 0, anyInk) << w << "x" << h;
    // The corner cell is the corner pixel alone.
    EXPECT_EQ(grid.at(0, 0) == 0, rows[0][0] == '#');
    EXPECT_EQ(grid.at(16, 16) == 0, rows[size_t(h - 1)][size_t(w - 1)] == '#');
    deldib(&image);
  }
}

TEST(GridSampling, InkBoxLinesRoundHalfToEven) {
  // Extent 8: the lines fall on minimum + j / 2, so 10.5 -> 10 and 11.5 -> 12.
  SampleLines lines = InkBoxSampleLines(10, 18);
  EXPECT_EQ(lines[0], 10);
  EXPECT_EQ(lines[1], 10);
  EXPECT_EQ(lines[3], 12);
  EXPECT_EQ(lines[5], 12);
  EXPECT_EQ(lines[16], 18);
}

TEST(GridSampling, DisplayPaintsCellsInTheirGrey) {
  SoftwareCanvas canvas(200, 300);
  GlyphGrid grid = BarGrid({2}, {});
  DrawGridDisplay(canvas, grid, false);
  EXPECT_EQ(canvas.GetPixel(20, 100), clBlack);  // cell (2, 0), corner included
  EXPECT_EQ(canvas.GetPixel(29, 269), clBlack);  // cell (2, 16), far corner
  EXPECT_EQ(canvas.GetPixel(30, 150), clWhite);  // cell (3, 5)
  DrawGridDisplay(canvas, PaperGrid(), true);
  EXPECT_EQ(canvas.GetPixel(30, 150), clBlack);  // outline of cell (3, 5)
  EXPECT_EQ(canvas.GetPixel(35, 155), clWhite);
}

TEST(EnterChar, OnlyTheFirstTypedCharacterIsLearned) {
  EXPECT_FALSE(CharacterToLearn(false, "a"));
  EXPECT_FALSE(CharacterToLearn(true, ""));
  EXPECT_EQ(CharacterToLearn(true, "xyz"), uint8_t('x'));
  EXPECT_EQ(CharacterToLearn(true, "\xC3\xA4q"), uint8_t(228));      // "äq"
  EXPECT_EQ(CharacterToLearn(true, "\xE2\x82\xAC"), uint8_t(0x80));  // the euro sign
  EXPECT_FALSE(CharacterToLearn(true, "\xE4\xB8\xAD"));              // not in Windows-1252
  EXPECT_FALSE(CharacterToLearn(true, "\xC3"));                      // cut-off sequence
  EXPECT_FALSE(CharacterToLearn(true, std::string(1, '\0')));
  for (int code = 1; code < 256; ++code)
    EXPECT_EQ(CharacterToLearn(true, Windows1252CharToUtf8(uint8_t(code))), uint8_t(code));
}

class LearnedGridsTest : public ::testing::Test {
 protected:
  TemporaryDataHome home;
  std::string dir = home.StoreDirectory();
  std::string file = dir + "/learned-grids.txt";
};

TEST_F(LearnedGridsTest, DefaultDirectoryFollowsXdgThenHome) {
  EXPECT_EQ(LearnedGrids::DefaultDirectory(), dir);
  setenv("XDG_DATA_HOME", "relative/path", 1);
  const char* home = getenv("HOME");
  if (home && home[0] == '/') {
    EXPECT_EQ(LearnedGrids::DefaultDirectory(), std::string(home) + "/.local/share/quillon");
  }
}

TEST_F(LearnedGridsTest, NothingLearnedAnswersQuestionMark) {
  LearnedGrids store(dir);
  EXPECT_EQ(store.Load(), LearnedGrids::LoadResult::NoFile);
  EXPECT_EQ(store.Nearest(BarGrid({8}, {})), '?');
  EXPECT_TRUE(store.Problem().empty());
  LearnedGrids nowhere("");
  std::string error;
  EXPECT_FALSE(nowhere.Add('a', BarGrid({1}, {}), &error));
  EXPECT_FALSE(error.empty());
}

TEST_F(LearnedGridsTest, LearnedGridsAreRecognisedAfterARestart) {
  GlyphGrid l = BarGrid({8}, {}), minus = BarGrid({}, {8}), plus = BarGrid({8}, {8});
  {
    LearnedGrids store(dir);
    std::string error;
    ASSERT_TRUE(store.Add('l', l, &error)) << error;
    ASSERT_TRUE(store.Add('-', minus, &error)) << error;
    ASSERT_TRUE(store.Add(228, plus, &error)) << error;
    ASSERT_TRUE(store.Add('I', l, &error)) << error;  // the same grid again
  }
  LearnedGrids again(dir);
  ASSERT_EQ(again.Load(), LearnedGrids::LoadResult::Loaded);
  ASSERT_EQ(again.Examples().size(), 4u);
  EXPECT_EQ(again.Examples()[2].charCode, 228);
  double ratio = 0;
  EXPECT_EQ(again.Nearest(l, &ratio), 'l') << "the first learned among equals";
  EXPECT_EQ(ratio, 1.0);
  EXPECT_EQ(again.Nearest(BarGrid({7, 8}, {})), 'l');
  EXPECT_EQ(again.Nearest(BarGrid({}, {8, 9})), '-');
  EXPECT_EQ(again.Nearest(plus), 228);
  EXPECT_EQ(again.Nearest(PaperGrid()), '?') << "no shared ink";
  // Nothing but the store and its lock file is left in the directory.
  for (const auto& entry : fs::directory_iterator(dir))
    EXPECT_TRUE(entry.path().filename() == "learned-grids.txt" ||
                entry.path().filename() == "learned-grids.txt.lock")
        << entry.path();
}

TEST_F(LearnedGridsTest, DamagedFileIsSetAsideAndReported) {
  fs::create_directories(dir);
  for (const std::string& damage :
       {std::string("not a store\n"), std::string("Quillon learned grids 1\n97 ###\n"),
        std::string("Quillon learned grids 1\n0 ") + std::string(289, '#') + "\n",
        std::string("Quillon learned grids 1\n97 ") + std::string(289, '#'), std::string()}) {
    { std::ofstream(file, std::ios::binary) << damage; }
    LearnedGrids store(dir);
    EXPECT_EQ(store.Load(), LearnedGrids::LoadResult::SetAside) << damage;
    EXPECT_NE(store.Problem().find("damaged"), std::string::npos) << store.Problem();
    EXPECT_TRUE(store.Examples().empty());
    EXPECT_FALSE(fs::exists(file));
  }
  // Each damaged file kept under its own name, content untouched.
  EXPECT_EQ(ReadFile(file + ".damaged"), "not a store\n");
  EXPECT_TRUE(fs::exists(file + ".damaged.4"));
  // Learning starts afresh.
  LearnedGrids store(dir);
  std::string error;
  EXPECT_TRUE(store.Add('a', BarGrid({3}, {}), &error)) << error;
  EXPECT_EQ(LearnedGrids(dir).Load(), LearnedGrids::LoadResult::Loaded);
}

TEST_F(LearnedGridsTest, FailedSaveKeepsWhatWasLearned) {
  LearnedGrids store(dir);
  std::string error;
  ASSERT_TRUE(store.Add('a', BarGrid({3}, {}), &error)) << error;
  const std::string before = ReadFile(file);
  // A file size limit below the new store's size makes the write fail half way.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = before.size();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool added = store.Add('b', BarGrid({5}, {}), &error);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(added);
  EXPECT_NE(error.find("could not be saved"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(file), before);
  LearnedGrids again(dir);
  ASSERT_EQ(again.Load(), LearnedGrids::LoadResult::Loaded);
  ASSERT_EQ(again.Examples().size(), 1u);
  EXPECT_EQ(again.Examples()[0].charCode, 'a');
}

TEST_F(LearnedGridsTest, UnreadableStoreIsNeverReplaced) {
  fs::create_directories(file);  // something that is not a file stands in the way
  LearnedGrids store(dir);
  EXPECT_EQ(store.Load(), LearnedGrids::LoadResult::Unreadable);
  EXPECT_FALSE(store.Problem().empty());
  std::string error;
  EXPECT_FALSE(store.Add('a', BarGrid({3}, {}), &error));
  EXPECT_TRUE(fs::is_directory(file));
}

}  // namespace
