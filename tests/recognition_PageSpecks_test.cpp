// Specks read as marks: told from the page's printed marks by the ink of its own full stops.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "recognition/ExtendedPage.h"

namespace {

// A glyph read as `code`, `width` x `height` pixels with `ink` of them inked.
ReadGlyph Glyph(uint8_t code, double score, int32_t width, int32_t height, int32_t ink) {
  ReadGlyph glyph;
  glyph.box = {0, 0, width - 1, height - 1};
  glyph.ink.width = width;
  glyph.ink.height = height;
  glyph.ink.ink.assign(size_t(width) * size_t(height), 0);
  for (int32_t i = 0; i < ink; ++i) glyph.ink.ink[size_t(i)] = 1;
  glyph.readings = {{code, score}, {'i', (1 - score) / 2}};
  return glyph;
}

// A line of `count` full stops of 5 x 5 pixels, read surely, at an x-height of 20.
std::vector<ReadGlyph> FullStops(size_t count) {
  return std::vector<ReadGlyph>(count, Glyph('.', 0.95, 5, 5, 25));
}

std::string Text(const std::vector<ReadGlyph>& glyphs) {
  std::string text;
  for (const ReadGlyph& g : glyphs) text += char(g.readings.front().code);
  return text;
}

}  // namespace

TEST(PageSpecks, MarksWithFarLessInkThanThePagesFullStopsAreLeftOut) {
  PageFullStops page;
  page.Add(FullStops(8), 20);
  std::vector<ReadGlyph> line = {
      Glyph('a', 0.99, 10, 10, 60), Glyph(',', 0.6, 2, 2, 4),  // a copy's speck after a word
      Glyph(0x92, 0.4, 3, 3, 9),                               // one read as a quote mark
      Glyph('_', 0.1, 3, 2, 6),                                // one read as a low line
      Glyph('.', 0.95, 5, 4, 16),                              // a full stop worn by the copy: kept
      Glyph(',', 0.7, 3, 6, 10),                               // a faint comma keeps its tail: kept
      Glyph('i', 0.9, 2, 2, 4),  // a speck read as a letter is the words' to settle
  };
  page.LeaveOutSpecks(&line, 20);
  EXPECT_EQ(Text(line), "a.,i");
}

TEST(PageSpecks, AMarksInkIsJudgedAtItsLinesSize) {
  PageFullStops page;
  page.Add(FullStops(8), 20);
  // The full stop of a footnote at half the size has a quarter of the ink.
  std::vector<ReadGlyph> footnote = {Glyph('.', 0.95, 3, 3, 7), Glyph('.', 0.95, 2, 2, 3)};
  page.LeaveOutSpecks(&footnote, 10);
  EXPECT_EQ(footnote.size(), 1u);
  EXPECT_EQ(footnote[0].box.Width(), 3);
  // The same full stop in the body's lines is a speck.
  std::vector<ReadGlyph> body = {Glyph('.', 0.95, 3, 3, 7)};
  page.LeaveOutSpecks(&body, 20);
  EXPECT_TRUE(body.empty());
}

TEST(PageSpecks, SpecksReadSurelyAsFullStopsDoNotSetTheirSize) {
  // Fewer specks than printed full stops, and on a fax more.
  for (auto [printed, specks] : {std::pair{6, 4}, {5, 8}}) {
    PageFullStops page;
    std::vector<ReadGlyph> line = FullStops(size_t(printed));
    for (int i = 0; i < specks; ++i) line.push_back(Glyph('.', 0.97, 2, 2, 4));
    page.Add(line, 20);
    page.LeaveOutSpecks(&line, 20);
    EXPECT_EQ(line.size(), size_t(printed)) << specks << " specks";
  }
}

TEST(PageSpecks, APageOfTooFewFullStopsLeavesEveryMark) {
  PageFullStops page;
  page.Add(FullStops(4), 20);
  page.Add({Glyph('.', 0.5, 5, 5, 25), Glyph(',', 0.99, 5, 8, 30)},
           20);  // not full stops, or not surely
  std::vector<ReadGlyph> line = {Glyph(',', 0.6, 2, 2, 4), Glyph('.', 0.9, 1, 1, 1)};
  page.LeaveOutSpecks(&line, 20);
  EXPECT_EQ(line.size(), 2u);
}
