#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "output/LineFitting.h"

namespace {

// Every character 3 pixels wide, as a blank of the output font is.
int32_t ThreePixels(std::string_view text) {
  return int32_t(text.size()) * 3;
}

struct LineSpec {
  int32_t left, bottom, maxHeight;
  const char* text;
  int32_t right = -1;  // default: 10 page pixels per character
};

class LineFittingTest : public ::testing::Test {
 protected:
  TextLine* currentLine = nullptr;
  TDynaArray<TextLine> lines{&currentLine};

  void Add(std::initializer_list<LineSpec> specs) {
    for (const LineSpec& s : specs) {
      TextLine* line = lines.Add();
      line->left = s.left;
      line->bottom = s.bottom;
      line->maxHeight = s.maxHeight;
      line->thirdHeight = s.maxHeight / 3;
      line->right =
          s.right >= 0 ? s.right : s.left + 10 * int32_t(s.text ? std::strlen(s.text) : 1) - 1;
      line->text = s.text ? strdup(s.text) : nullptr;
    }
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> t;
    for (int32_t i = 0; i < lines.Count; ++i)
      t.push_back(lines.At(i)->text ? lines.At(i)->text : "");
    return t;
  }
  std::vector<int32_t> Rows() {
    std::vector<int32_t> r;
    for (int32_t i = 0; i < lines.Count; ++i) r.push_back(lines.At(i)->row);
    return r;
  }
  void TearDown() override {
    for (int32_t i = 0; i < lines.Count; ++i) std::free(lines.At(i)->text);
  }
};

TEST_F(LineFittingTest, SortsIntoRowsTopToBottomThenLeftToRight) {
  Add({{500, 200, 20, "d"},
       {100, 102, 20, "b"},
       {50, 300, 20, "e"},
       {10, 100, 20, "a"},
       {300, 205, 20, "c"}});
  SortLinesIntoRows(lines);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(Rows(), (std::vector<int32_t>{0, 0, 1, 1, 2}));
  // Lines of one row are ordered by left edge, so "c" (300) comes before "d" (500).
  SortLinesIntoRows(lines);  // sorting again changes nothing
  EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST_F(LineFittingTest, RowHoldsLinesUpToExactlySixTenthsOfTheHeightBelow) {
  Add({{0, 100, 10, "anchor"}, {50, 106, 10, "joins"}, {100, 113, 10, "opens"}});
  SortLinesIntoRows(lines);
  EXPECT_EQ(Rows(), (std::vector<int32_t>{0, 0, 1}));
  // Compared with the anchor, not with the line before: 106 joins 100, 112 does not.
  TearDown();
  lines.Clear();
  Add({{0, 100, 10, "a"}, {50, 106, 10, "b"}, {100, 112, 10, "c"}});
  SortLinesIntoRows(lines);
  EXPECT_EQ(Rows(), (std::vector<int32_t>{0, 0, 1}));
  // Equal bottoms always share a row.
  TearDown();
  lines.Clear();
  Add({{0, 100, 1, "a"}, {50, 100, 1, "b"}});
  SortLinesIntoRows(lines);
  EXPECT_EQ(Rows(), (std::vector<int32_t>{0, 0}));
}

TEST_F(LineFittingTest, IndentationExampleWithFactorFive) {
  Add({{120, 100, 20, "abc"}, {620, 100, 20, "def"}, {120, 200, 20, "ghi"}});
  SortLinesIntoRows(lines);
  const std::vector<std::string> out = LayOutRows(lines, 5.0, ThreePixels);
  ASSERT_EQ(out.size(), 2u);
  // (620 - 120) / 5 = 100 pixels: blanks until the line is at least 100 pixels wide.
  const size_t blanks = out[0].size() - 6;
  EXPECT_EQ(out[0], "abc" + std::string(blanks, ' ') + "def");
  EXPECT_GE(ThreePixels(out[0].substr(0, 3 + blanks)), 100);
  EXPECT_LT(ThreePixels(out[0].substr(0, 3 + blanks - 1)), 100);
  EXPECT_EQ(out[1], "ghi");
}

TEST_F(LineFittingTest, CloseLinesAreKeptApartByOneBlankAtAWordGap) {
  // Columns: the second starts 60 page pixels after the first ends, but closer to the left
  // than the first text is wide in the output font.
  Add({{100, 100, 21, "wide text", 190},
       {250, 100, 21, "next"},
       {100, 200, 20, nullptr},
       {160, 200, 20, nullptr}});
  SortLinesIntoRows(lines);
  std::vector<std::string> out = LayOutRows(lines, 10.0, ThreePixels);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], "wide text next");
  EXPECT_EQ(out[1], std::string(2, ' '));  // 6 pixels of blanks, no text

  // Pieces of one text line within a word gap (7 = third of 21) stay joined.
  TearDown();
  lines.Clear();
  Add({{100, 100, 21, "Stra", 139}, {146, 100, 21, "sse"}});
  SortLinesIntoRows(lines);
  EXPECT_EQ(LayOutRows(lines, 10.0, ThreePixels)[0], "Strasse");

  // Padded lines get no second blank.
  TearDown();
  lines.Clear();
  Add({{100, 100, 20, "ab", 110}, {190, 100, 20, "c"}});
  SortLinesIntoRows(lines);
  EXPECT_EQ(LayOutRows(lines, 10.0, ThreePixels)[0], "ab c");
}

TEST_F(LineFittingTest, FactorZeroNegativeOrUnreadableCountsAsMinimum) {
  EXPECT_EQ(ColumnWidthFactor(0), 0.1);
  EXPECT_EQ(ColumnWidthFactor(-3), 0.1);
  EXPECT_EQ(ColumnWidthFactor(std::numeric_limits<double>::quiet_NaN()), 0.1);
  EXPECT_EQ(ColumnWidthFactor(100), 100);
  Add({{0, 100, 20, "a"}, {30, 200, 20, "b"}});
  SortLinesIntoRows(lines);
  const std::vector<std::string> atMinimum = LayOutRows(lines, 0.1, ThreePixels);
  EXPECT_EQ(LayOutRows(lines, 0, ThreePixels), atMinimum);
  EXPECT_EQ(LayOutRows(lines, std::nan(""), ThreePixels), atMinimum);
  EXPECT_EQ(atMinimum[1], std::string(100, ' ') + "b");    // 300 pixels
  EXPECT_EQ(LayOutRows(lines, 100, ThreePixels)[1], "b");  // 0.3 pixels: no blank
}

// The page result's words are the laid-out rows' words: two lines' texts that touch in a
// row make one word, padding and blanks part words, each character keeps its own box.
TEST_F(LineFittingTest, PageResultLinesBreakWordsWhereTheRowsDo) {
  Add({{100, 100, 21, "Stra", 139}, {146, 100, 21, "sse zu"}, {100, 200, 20, "ab"}});
  LineChars chars;
  for (int32_t i = 0; i < lines.Count; ++i) {
    TextLine& line = *lines.At(i);
    line.number = i + 1;
    line.baseline = line.bottom - 2;
    for (const char* c = line.text; *c; ++c)
      if (*c != ' ') {
        PageChar pageChar;
        pageChar.code = uint8_t(*c);
        pageChar.box = {line.left + int32_t(c - line.text) * 10, line.bottom - 20,
                        line.left + int32_t(c - line.text) * 10 + 8, line.bottom};
        chars[line.number].push_back(pageChar);
      }
  }
  SortLinesIntoRows(lines);
  std::vector<RowPiece> pieces;
  const std::vector<std::string> rows = LayOutRows(lines, 10.0, ThreePixels, &pieces);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(rows[0], "Strasse zu");
  const std::vector<PageLine> pageLines = RowLines(rows, pieces, lines, chars);
  ASSERT_EQ(pageLines.size(), 2u);
  std::vector<std::string> words;
  for (const PageLine& line : pageLines)
    for (const PageWord& word : line.words) words.push_back(word.Text());
  EXPECT_EQ(words, (std::vector<std::string>{"Strasse", "zu", "ab"}));
  const PageWord& joined = pageLines[0].words[0];
  EXPECT_EQ(joined.chars[3].box.left, 130);  // the last of "Stra"
  EXPECT_EQ(joined.chars[4].box.left, 146);  // the first of "sse"
  EXPECT_EQ(pageLines[0].words[1].chars[0].box.left, 146 + 40);
  EXPECT_EQ(pageLines[1].baseline, 198);

  // Before the fitting, each line's text is a row of its own.
  pieces.clear();
  const std::vector<std::string> unfitted = UnfittedRows(lines, &pieces);
  EXPECT_EQ(unfitted, (std::vector<std::string>{"Stra", "sse zu", "ab"}));
  EXPECT_EQ(RowLines(unfitted, pieces, lines, chars)[1].words.size(), 2u);
}

TEST_F(LineFittingTest, NoLinesGiveNoRows) {
  SortLinesIntoRows(lines);
  EXPECT_TRUE(LayOutRows(lines, 5.0, ThreePixels).empty());
}

}  // namespace
