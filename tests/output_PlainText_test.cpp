// The page result as plain text in columns and in page order, with divided words joined.
#include <gtest/gtest.h>

#include <sstream>

#include "output/PlainText.h"
#include "recognition/WordCorrection.h"

namespace {

constexpr int32_t kCharWidth = 20;

// A line of words at (x, y), every character kCharWidth wide with a blank between words.
PageLine Line(int32_t x, int32_t y, const std::string& text) {
  PageLine line;
  std::istringstream words(text);
  std::string w;
  while (words >> w) {
    PageWord word;
    for (char c : w) {
      PageChar pc;
      pc.code = uint8_t(c);
      pc.box = {x, y, x + kCharWidth - 3, y + 30};
      pc.confidence = 0.9;
      word.chars.push_back(pc);
      x += kCharWidth;
    }
    x += kCharWidth;
    line.words.push_back(word);
  }
  return line;
}

PageBlock Block(std::vector<PageLine> lines) {
  PageBlock block;
  block.lines = std::move(lines);
  return block;
}

// Two columns: the left one ends with a word divided at its last line's end.
PageText TwoColumns(const std::string& head, const std::string& rightFirstLine) {
  PageText page;
  page.blocks.push_back(Block({Line(0, 0, "eins zwei"), Line(0, 50, "drei " + head)}));
  page.blocks.push_back(Block({Line(600, 0, rightFirstLine), Line(600, 50, "vier")}));
  page.Summarise();
  return page;
}

bool Joins(std::string_view head, std::string_view tail) {
  return JoinsDividedWord(head, tail, nullptr);
}

// The text in columns after the divided words are joined in the page result.
std::string JoinedColumns(PageText page) {
  JoinDividedWords(&page, Joins);
  return PlainText(page, ReadingOrder::Columns);
}

TEST(PlainText, ColumnsJoinAWordDividedAcrossTheColumnBreak) {
  EXPECT_EQ(JoinedColumns(TwoColumns("Wet-", "ter stets")),
            "eins zwei\ndrei Wetter\n\nstets\nvier\n");
  // The tail alone on its line leaves no empty line behind.
  EXPECT_EQ(JoinedColumns(TwoColumns("Wet-", "ter")), "eins zwei\ndrei Wetter\n\nvier\n");
}

TEST(PlainText, CompoundHyphensAndUnjoinedOutputStay) {
  EXPECT_EQ(JoinedColumns(TwoColumns("Nord-", "Ostsee")),
            "eins zwei\ndrei Nord-\n\nOstsee\nvier\n");
  EXPECT_EQ(JoinedColumns(TwoColumns("Bus-", "und Bahn")),
            "eins zwei\ndrei Bus-\n\nund Bahn\nvier\n");
  // Without a test nothing is joined; a lone hyphen is no divided word.
  EXPECT_EQ(PlainText(TwoColumns("Wet-", "ter"), ReadingOrder::Columns),
            "eins zwei\ndrei Wet-\n\nter\nvier\n");
  EXPECT_EQ(JoinedColumns(TwoColumns("-", "ter")), "eins zwei\ndrei -\n\nter\nvier\n");
}

TEST(PlainText, PageOrderPutsRowsAcrossTheColumns) {
  const std::string text = PlainText(TwoColumns("Wet-", "ter stets"), ReadingOrder::Page);
  const size_t rowEnd = text.find('\n');
  ASSERT_NE(rowEnd, std::string::npos);
  const std::string first = text.substr(0, rowEnd), second = text.substr(rowEnd + 1);
  // Row by row, the right column's lines where they stand: 600 px is about 30 characters.
  ASSERT_EQ(first.rfind("eins zwei ", 0), 0u);
  ASSERT_EQ(second.rfind("drei Wet- ", 0), 0u);  // no joining in page order
  const size_t column = first.find("ter stets");
  EXPECT_EQ(second.find("vier"), column);
  EXPECT_NEAR(double(column), 30.0, 2.0);
  EXPECT_EQ(second.substr(column), "vier\n");
}

TEST(PlainText, PageOrderFollowsHeightNotBlockOrder) {
  PageText page;
  page.blocks.push_back(Block({Line(0, 200, "unten")}));
  page.blocks.push_back(Block({Line(100, 0, "oben")}));
  page.Summarise();
  EXPECT_EQ(PlainText(page, ReadingOrder::Page), std::string(5, ' ') + "oben\nunten\n");
  EXPECT_EQ(PlainText(page, ReadingOrder::Columns), "unten\n\noben\n");
}

TEST(PlainText, EmptyPageAndEmptyLines) {
  EXPECT_EQ(PlainText(PageText(), ReadingOrder::Page), "");
  EXPECT_EQ(PlainText(PageText(), ReadingOrder::Columns), "");
  PageText page;
  page.blocks.push_back(Block({PageLine(), Line(0, 0, "a")}));
  page.blocks.push_back(Block({}));
  EXPECT_EQ(PlainText(page, ReadingOrder::Columns), "a\n");
  EXPECT_EQ(PlainText(page, ReadingOrder::Page), "a\n");
}

}  // namespace
