// Page segmentation on drawn pages: letter boxes set in lines, paragraphs and columns,
// with pictures, rules and specks among them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "layout/PageSegmentation.h"

namespace {

constexpr int32_t kLetter = 24;  // height of a small letter, as on a 300-dpi page at 11 pt
constexpr int32_t kPitch = 56;   // line pitch

struct DrawnPage {
  std::vector<InkComponent> components;

  // A line of words of letter boxes from x to about x + width; returns the indices drawn.
  std::vector<int32_t> Line(int32_t x, int32_t y, int32_t width) {
    std::vector<int32_t> drawn;
    int32_t left = x, k = 0;
    while (left + 20 <= x + width) {
      const bool tall = k % 3 == 0;  // ascenders now and then
      const Box box{left, tall ? y - 10 : y, left + 13, y + kLetter - 1};
      drawn.push_back(Add(box, (box.Right - box.Left + 1) * (box.Bottom - box.Top + 1) / 3));
      left += (++k % 6 == 0) ? 30 : 17;  // a word gap after every sixth letter
    }
    return drawn;
  }
  // `lines` lines of a paragraph; the last one shorter.
  std::vector<int32_t> Paragraph(int32_t x, int32_t y, int32_t width, int32_t lines) {
    std::vector<int32_t> drawn;
    for (int32_t l = 0; l < lines; ++l) {
      const std::vector<int32_t> line = Line(x, y + l * kPitch, l + 1 == lines ? width / 2 : width);
      drawn.insert(drawn.end(), line.begin(), line.end());
    }
    return drawn;
  }
  // A headline's letters, `pitch` apart with a word gap before letter `secondWord`; every other
  // one reaches a little lower, as round letters do.
  std::vector<int32_t> Headline(int32_t x, int32_t y, int32_t count, int32_t pitch, int32_t side,
                                int32_t secondWord) {
    std::vector<int32_t> drawn;
    for (int32_t k = 0; k < count; ++k) {
      const int32_t left = x + k * pitch + (k >= secondWord ? pitch / 2 : 0);
      drawn.push_back(
          Add({left, y, left + side - 1, y + side - 1 + (k % 2 ? 5 : 0)}, side * side / 3));
    }
    return drawn;
  }
  int32_t Add(Box box, int32_t ink) {
    components.push_back({box, ink});
    return int32_t(components.size()) - 1;
  }
  // A photo: solid blobs with grain and lighter patches around them.
  std::vector<int32_t> Photo(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t seed) {
    std::vector<int32_t> drawn;
    std::mt19937 random(seed);
    drawn.push_back(Add({x + w / 4, y + h / 4, x + 3 * w / 4, y + 3 * h / 4}, w * h / 6));
    for (int32_t k = 0; k < 300; ++k) {
      const int32_t px = x + int32_t(random() % uint32_t(w - 8));
      const int32_t py = y + int32_t(random() % uint32_t(h - 8));
      const int32_t size = 1 + int32_t(random() % 7);
      drawn.push_back(Add({px, py, px + size, py + size}, (size + 1) * (size + 1)));
    }
    return drawn;
  }
};

SegmentedPage Segment(const DrawnPage& page) {
  return SegmentPage(page.components, 2480, 3508, kLetter);
}

// The index of the text block holding component i, -1 when none does.
int32_t BlockOf(const SegmentedPage& page, int32_t i) {
  for (size_t b = 0; b < page.textBlocks.size(); ++b) {
    const auto& members = page.textBlocks[b].components;
    if (std::find(members.begin(), members.end(), i) != members.end()) return int32_t(b);
  }
  return -1;
}

// Blocks of the given components (each wholly in one block) come in this order.
void ExpectReadInOrder(const SegmentedPage& page,
                       const std::vector<std::vector<int32_t>>& partsInOrder) {
  int32_t previousLast = -1;
  for (size_t p = 0; p < partsInOrder.size(); ++p) {
    std::set<int32_t> blocks;
    for (int32_t i : partsInOrder[p]) blocks.insert(BlockOf(page, i));
    ASSERT_FALSE(blocks.count(-1)) << "part " << p << " has components in no text block";
    EXPECT_GT(*blocks.begin(), previousLast) << "part " << p << " is read too early";
    previousLast = *blocks.rbegin();
  }
}

// Every component is given out exactly once.
void ExpectEachComponentOnce(const SegmentedPage& page, size_t count) {
  std::vector<int32_t> seen(count, 0);
  for (const auto* regions : {&page.textBlocks, &page.nonText})
    for (const PageRegion& r : *regions)
      for (int32_t i : r.components) ++seen[size_t(i)];
  for (size_t i = 0; i < count; ++i) EXPECT_EQ(seen[i], 1) << "component " << i;
}

TEST(PageSegmentation, EmptyPageOneComponentOneWord) {
  EXPECT_TRUE(SegmentPage({}, 100, 100, 0).textBlocks.empty());
  EXPECT_TRUE(SegmentPage({}, 0, 0, 0).nonText.empty());
  const SegmentedPage one = SegmentPage({{{10, 10, 23, 33}, 120}}, 100, 100, 0);
  ExpectEachComponentOnce(one, 1);
  DrawnPage word;
  word.Line(100, 100, 100);
  const SegmentedPage segmented = SegmentPage(word.components, 1000, 1000, 0);
  ASSERT_EQ(segmented.textBlocks.size(), 1u);
  EXPECT_EQ(segmented.textBlocks[0].components.size(), word.components.size());
}

TEST(PageSegmentation, TwoColumnsAreReadOneAfterTheOther) {
  DrawnPage page;
  // Both columns have a paragraph gap at the same height: a cut across the page there
  // would read the columns' halves in the wrong order.
  const auto leftTop = page.Paragraph(300, 300, 880, 8);
  const auto leftBottom = page.Paragraph(300, 300 + 9 * kPitch, 880, 8);
  const auto rightTop = page.Paragraph(1300, 300, 880, 8);
  const auto rightBottom = page.Paragraph(1300, 300 + 9 * kPitch, 880, 8);
  const SegmentedPage segmented = Segment(page);
  ExpectReadInOrder(segmented, {leftTop, leftBottom, rightTop, rightBottom});
  ExpectEachComponentOnce(segmented, page.components.size());
  for (const PageRegion& block : segmented.textBlocks)
    EXPECT_TRUE(block.box.Right < 1240 || block.box.Left > 1240) << "a block spans the gutter";
}

TEST(PageSegmentation, AListsNumbersSetOffByATabStayInTheirLines) {
  // A table of contents: a figure, a tab, the chapter's title, a tab and its page number
  // (two figures), line under line. Figures one to a line stand beside no other letter.
  DrawnPage page;
  std::vector<int32_t> numbers, pages, titles;
  for (int32_t l = 0; l < 12; ++l) {
    const int32_t y = 400 + l * kPitch;
    numbers.push_back(page.Add({300, y - 10, 315, y + kLetter - 1}, 120));
    const std::vector<int32_t> title = page.Line(420, y, 500 + 60 * (l % 4));
    titles.insert(titles.end(), title.begin(), title.end());
    for (int32_t x : {1300, 1318})
      pages.push_back(page.Add({x, y - 10, x + 15, y + kLetter - 1}, 120));
  }
  const SegmentedPage segmented = Segment(page);
  ExpectEachComponentOnce(segmented, page.components.size());
  // One block, read line by line: neither the numbers nor the page numbers a column apart.
  ASSERT_EQ(segmented.textBlocks.size(), 1u);
  for (int32_t i : numbers) EXPECT_EQ(BlockOf(segmented, i), 0) << i;
  for (int32_t i : pages) EXPECT_EQ(BlockOf(segmented, i), 0) << i;

  // Columns of text as narrow as a few words each stay columns.
  DrawnPage narrow;
  const auto left = narrow.Paragraph(300, 300, 300, 14);
  const auto right = narrow.Paragraph(700, 300, 300, 14);
  const SegmentedPage columns = Segment(narrow);
  ExpectReadInOrder(columns, {left, right});
  EXPECT_NE(BlockOf(columns, left.front()), BlockOf(columns, right.front()));
}

TEST(PageSegmentation, APagesNumberOnALineOfItsOwnIsText) {
  // "- 162 -" over the text, its figures ending a few rows apart as an old book's do: none
  // stands beside two others of like height, as letters do.
  DrawnPage page;
  const std::vector<int32_t> number = {
      page.Add({1000, 215, 1060, 219}, 300), page.Add({1100, 190, 1118, 229}, 300),
      page.Add({1124, 188, 1148, 232}, 400), page.Add({1154, 190, 1176, 229}, 400),
      page.Add({1216, 215, 1276, 219}, 300)};
  const auto text = page.Paragraph(300, 400, 1800, 10);
  const SegmentedPage segmented = Segment(page);
  ExpectEachComponentOnce(segmented, page.components.size());
  ExpectReadInOrder(segmented, {number, text});
  // Two specks of letter size far apart stay no text.
  DrawnPage specks;
  specks.Paragraph(300, 400, 1800, 10);
  const int32_t a = specks.Add({400, 1500, 420, 1525}, 300);
  const int32_t b = specks.Add({900, 1500, 920, 1525}, 300);
  const SegmentedPage speckled = Segment(specks);
  EXPECT_EQ(BlockOf(speckled, a), -1);
  EXPECT_EQ(BlockOf(speckled, b), -1);
}

TEST(PageSegmentation, HeadingSpanningThreeColumnsComesFirst) {
  DrawnPage page;
  const auto heading = page.Line(300, 250, 1500);
  std::vector<std::vector<int32_t>> columns;
  for (int32_t c = 0; c < 3; ++c) columns.push_back(page.Paragraph(300 + c * 640, 400, 560, 12));
  const SegmentedPage segmented = Segment(page);
  ExpectReadInOrder(segmented, {heading, columns[0], columns[1], columns[2]});
  EXPECT_EQ(segmented.textBlocks.size(), 4u);
  ExpectEachComponentOnce(segmented, page.components.size());
}

TEST(PageSegmentation, DateSetRightIsABlockWhereItStands) {
  DrawnPage page;
  const auto address = page.Paragraph(300, 400, 500, 3);
  const auto date = page.Line(1600, 400 + 5 * kPitch, 550);
  const auto body = page.Paragraph(300, 400 + 7 * kPitch, 1880, 5);
  const SegmentedPage segmented = Segment(page);
  ExpectReadInOrder(segmented, {address, date, body});
  const int32_t dateBlock = BlockOf(segmented, date.front());
  EXPECT_EQ(segmented.textBlocks[size_t(dateBlock)].components.size(), date.size());
}

TEST(PageSegmentation, FootnoteUnderARuleIsReadLast) {
  DrawnPage page;
  const auto left = page.Paragraph(300, 300, 880, 20);
  const auto right = page.Paragraph(1300, 300, 880, 20);
  // The rule and the footnote stand under the left column only.
  const int32_t rule = page.Add({300, 3000, 900, 3002}, 600 * 3);
  const auto footnote = page.Paragraph(300, 3040, 880, 2);
  const SegmentedPage segmented = Segment(page);
  ExpectReadInOrder(segmented, {left, right, footnote});
  EXPECT_EQ(BlockOf(segmented, rule), -1);
  ASSERT_FALSE(segmented.nonText.empty());
  bool ruleFound = false;
  for (const PageRegion& r : segmented.nonText) ruleFound |= r.kind == BlockKind::Rule;
  EXPECT_TRUE(ruleFound);
}

TEST(PageSegmentation, PictureBetweenParagraphsGivesNoText) {
  DrawnPage page;
  const auto above = page.Paragraph(300, 300, 1880, 5);
  const auto photo = page.Photo(800, 700, 800, 600, 7);
  const auto below = page.Paragraph(300, 1400, 1880, 5);
  const SegmentedPage segmented = Segment(page);
  ExpectReadInOrder(segmented, {above, below});
  for (int32_t i : photo) EXPECT_EQ(BlockOf(segmented, i), -1) << "photo component " << i;
  ExpectEachComponentOnce(segmented, page.components.size());
}

// A magazine's headline: letters more than five text heights each way, as big as a photo's
// blob, but standing side by side on one baseline (its round letters reach a few pixels
// below it). The photo beside it stays no text.
TEST(PageSegmentation, AHeadlinesBigLettersAreText) {
  DrawnPage page;
  const auto photo = page.Photo(100, 300, 500, 700, 11);
  std::vector<int32_t> headline;
  for (int32_t k = 0; k < 8; ++k) {
    const int32_t left = 700 + k * 150 + (k >= 4 ? 80 : 0);  // two words
    const int32_t bottom = k % 2 ? 444 : 439;
    headline.push_back(page.Add({left, 300, left + 129, bottom}, 130 * 140 / 3));
  }
  const auto body = page.Paragraph(700, 600, 1600, 6);
  const SegmentedPage segmented = Segment(page);
  for (int32_t i : headline) EXPECT_NE(BlockOf(segmented, i), -1) << "headline letter " << i;
  for (int32_t i : photo) EXPECT_EQ(BlockOf(segmented, i), -1) << "photo component " << i;
  ExpectReadInOrder(segmented, {headline, body});
}

TEST(PageSegmentation, AHeadlinesLettersRunTogetherAreText) {
  // A fax or a copier's toner runs three letters together, one with a descender: they stand on
  // no baseline with the headline's other letters, but beside them. A photograph below stands
  // beside its caption's letters, which are many times smaller.
  DrawnPage page;
  const auto headline = page.Headline(300, 300, 6, 150, 140, 3);
  const int32_t runTogether = page.Add({1280, 300, 1639, 520}, 360 * 220 / 3);
  const auto body = page.Paragraph(300, 700, 1600, 6);
  const auto photo = page.Photo(300, 1200, 500, 700, 12);
  const auto caption = page.Line(300, 1950, 500);
  const SegmentedPage segmented = Segment(page);
  EXPECT_NE(BlockOf(segmented, runTogether), -1);
  ExpectReadInOrder(segmented, {headline, body, caption});
  EXPECT_EQ(BlockOf(segmented, photo.front()), -1);  // the photo's blob
  ExpectEachComponentOnce(segmented, page.components.size());
}

TEST(PageSegmentation, SpecksDownTheMarginMakeNoColumnOfAHeadlinesLastWord) {
  // A headline wider than the text's measure: its last word stands beyond a gap as wide as a
  // gutter, above the margin, where a fax's specks are strewn down the page.
  DrawnPage page;
  const auto headline = page.Headline(300, 200, 10, 100, 80, 5);
  const auto lastWord = page.Headline(1400, 200, 3, 100, 80, 3);
  const auto body = page.Paragraph(300, 400, 1000, 14);
  for (int32_t y = 350; y < 1200; y += 60)
    page.Add({1450 + (y % 7) * 20, y, 1452 + (y % 7) * 20, y + 2}, 9);
  const SegmentedPage segmented = Segment(page);
  ExpectEachComponentOnce(segmented, page.components.size());
  for (int32_t i : lastWord) EXPECT_EQ(BlockOf(segmented, i), BlockOf(segmented, headline[0])) << i;
  ExpectReadInOrder(segmented, {headline, body});
}

TEST(PageSegmentation, AFaxsSpecksBetweenTheLinesJoinNoParagraphs) {
  // Two paragraphs a paragraph's gap apart, and a fax's specks strewn in the white between
  // every two lines and in the gap between the paragraphs.
  DrawnPage page;
  const auto first = page.Paragraph(300, 400, 1600, 6);
  const auto second = page.Paragraph(300, 400 + 7 * kPitch + kPitch / 2, 1600, 6);
  for (int32_t y = 400 + kLetter + 4; y < 400 + 14 * kPitch; y += kPitch / 4)
    page.Add({500 + (y * 7) % 1300, y, 502 + (y * 7) % 1300, y + 2}, 9);
  const SegmentedPage segmented = Segment(page);
  ExpectEachComponentOnce(segmented, page.components.size());
  ExpectReadInOrder(segmented, {first, second});
  EXPECT_NE(BlockOf(segmented, first.front()), BlockOf(segmented, second.front()));
}

TEST(PageSegmentation, GrainWithoutABlobIsNoText) {
  // A light photo: only grain and small patches, none of them big.
  DrawnPage page;
  std::mt19937 random(3);
  for (int32_t k = 0; k < 2000; ++k) {
    const int32_t x = 500 + int32_t(random() % 900), y = 500 + int32_t(random() % 700);
    const int32_t size = 1 + int32_t(random() % 5);
    page.Add({x, y, x + size, y + size}, (size + 1) * (size + 1));
  }
  const SegmentedPage segmented = Segment(page);
  EXPECT_TRUE(segmented.textBlocks.empty());
  ExpectEachComponentOnce(segmented, page.components.size());
}

TEST(PageSegmentation, PageThatIsAllPictureHasNoTextBlocks) {
  DrawnPage page;
  for (int32_t y = 0; y + 877 <= 3508; y += 877)
    for (int32_t x = 0; x + 620 <= 2480; x += 620) page.Photo(x, y, 620, 877, uint32_t(x + y));
  const SegmentedPage segmented = SegmentPage(page.components, 2480, 3508, 0);
  EXPECT_TRUE(segmented.textBlocks.empty());
  EXPECT_FALSE(segmented.nonText.empty());
}

TEST(PageSegmentation, FrameAroundTextIsNoPicture) {
  // A thin box drawn around a paragraph: big, but sparse.
  DrawnPage page;
  page.Add({250, 250, 2230, 800}, 2 * (1980 + 550) * 3);
  const auto text = page.Paragraph(300, 320, 1880, 6);
  const SegmentedPage segmented = Segment(page);
  for (int32_t i : text) EXPECT_GE(BlockOf(segmented, i), 0);
  EXPECT_EQ(BlockOf(segmented, 0), -1);
}

int32_t RightmostOf(const DrawnPage& page, const std::vector<int32_t>& drawn) {
  int32_t right = 0;
  for (int32_t i : drawn) right = std::max(right, page.components[size_t(i)].box.Right);
  return right;
}

// A magazine's gutter may be under two letter heights wide; over many lines it still parts
// the columns.
TEST(PageSegmentation, NarrowGutterOverManyLinesPartsTheColumns) {
  DrawnPage page;
  const auto left = page.Paragraph(300, 300, 700, 30);
  const int32_t gutterFrom = RightmostOf(page, left) + 1;
  const auto right = page.Paragraph(gutterFrom + kLetter * 18 / 10, 300, 700, 30);
  const SegmentedPage segmented = Segment(page);
  ExpectReadInOrder(segmented, {left, right});
  for (const PageRegion& block : segmented.textBlocks)
    EXPECT_TRUE(block.box.Right < gutterFrom || block.box.Left >= gutterFrom);
}

// Typewritten lines whose spaces line up, as wide as a narrow gutter, over a few lines are
// one paragraph, read line by line.
TEST(PageSegmentation, SpacesLinedUpOverAFewLinesAreNoGutter) {
  DrawnPage page;
  for (int32_t l = 0; l < 5; ++l) {
    const auto first = page.Line(300, 300 + l * kPitch, 400);
    page.Line(RightmostOf(page, first) + 1 + kLetter * 18 / 10, 300 + l * kPitch, 600);
  }
  const SegmentedPage segmented = Segment(page);
  ASSERT_EQ(segmented.textBlocks.size(), 1u);
  EXPECT_EQ(segmented.textBlocks[0].components.size(), page.components.size());
}

// Justified monospaced lines: three stretched spaces of three letters' width line up in a
// paragraph of ten lines, and the paragraph stays one block.
TEST(PageSegmentation, StretchedSpacesLinedUpInAJustifiedParagraphAreNoGutter) {
  DrawnPage page;
  for (int32_t l = 0; l < 10; ++l) {
    const int32_t y = 300 + l * kPitch;
    if (l >= 4 && l < 7) {
      const auto first = page.Line(300, y, 700);
      page.Line(RightmostOf(page, first) + 1 + kLetter * 3, y, 900);
    } else {
      page.Line(300, y, 1700);
    }
  }
  const SegmentedPage segmented = Segment(page);
  ASSERT_EQ(segmented.textBlocks.size(), 1u);
  EXPECT_EQ(segmented.textBlocks[0].components.size(), page.components.size());
}

// Dust in the gutter does not join two columns into one.
TEST(PageSegmentation, SpecksInAGutterDoNotJoinTheColumns) {
  DrawnPage page;
  const auto left = page.Paragraph(300, 300, 880, 12);
  const int32_t gutterFrom = RightmostOf(page, left) + 1, gutter = kLetter * 5 / 2;
  const auto right = page.Paragraph(gutterFrom + gutter, 300, 880, 12);
  for (int32_t y = 310; y < 300 + 12 * kPitch; y += 97)
    page.Add({gutterFrom + gutter / 2, y, gutterFrom + gutter / 2 + 1, y + 1}, 4);
  ExpectReadInOrder(Segment(page), {left, right});
}

// A dirty copy may have more specks than letters strewn among them: the text stays text.
TEST(PageSegmentation, ACopysSpecksAmongTheLettersLeaveTheTextText) {
  DrawnPage page;
  const auto text = page.Paragraph(300, 300, 1200, 10);
  std::mt19937 random(3);
  for (size_t k = 0; k < text.size() * 3 / 2; ++k) {
    const int32_t x = 300 + int32_t(random() % 1200), y = 290 + int32_t(random() % (10 * kPitch));
    page.Add({x, y, x + 2, y + 2}, 9);
  }
  const SegmentedPage segmented = Segment(page);
  for (int32_t i : text) EXPECT_GE(BlockOf(segmented, i), 0) << i;
}

// A fax's grain strewn over the paper above and beside the first lines: the lines are read,
// the grain around them is not.
TEST(PageSegmentation, FaxGrainAroundTheFirstLinesLeavesThemText) {
  DrawnPage page;
  const auto first = page.Paragraph(300, 400, 1600, 2);
  std::vector<int32_t> grain;
  std::mt19937 random(5);
  for (int32_t k = 0; k < 1500; ++k) {
    const int32_t x = 100 + int32_t(random() % 2200), y = 100 + int32_t(random() % 400);
    const bool amongLetters = x > 280 && x < 1920 && y > 370;
    if (!amongLetters) grain.push_back(page.Add({x, y, x + 2, y + 2}, 6));
  }
  const auto rest = page.Paragraph(300, 400 + 3 * kPitch, 1600, 10);
  const SegmentedPage segmented = Segment(page);
  for (int32_t i : first) EXPECT_GE(BlockOf(segmented, i), 0) << i;
  for (int32_t i : rest) EXPECT_GE(BlockOf(segmented, i), 0) << i;
  for (int32_t i : grain) EXPECT_EQ(BlockOf(segmented, i), -1) << i;
  ExpectEachComponentOnce(segmented, page.components.size());
}

// A short line of figures ("21 / 78 43.", a paragraph's last line cut off from it by the
// white below the descenders) with a copier's specks strewn over the paper beside and below
// it: the figures are text, the specks are not.
TEST(PageSegmentation, AShortLineAmongACopysSpecksIsText) {
  DrawnPage page;
  std::vector<int32_t> figures;
  const int32_t top = 1600;
  for (int32_t left : {300, 317, 360, 400, 417, 450, 467})
    figures.push_back(page.Add({left, top, left + 13, top + kLetter + 9}, 150));
  std::vector<int32_t> specks;
  const std::pair<int32_t, int32_t> strewn[] = {{940, 0},  {1230, 1},  {210, 7},   {515, 23},
                                                {100, 28}, {1890, 29}, {960, 37},  {2470, 49},
                                                {126, 55}, {550, 62},  {1013, 62}, {2026, 69}};
  for (const auto& [x, dy] : strewn)
    specks.push_back(page.Add({x, top + dy, x + 2, top + dy + 2}, 6));
  const SegmentedPage segmented = Segment(page);
  for (int32_t i : figures) EXPECT_GE(BlockOf(segmented, i), 0) << i;
  for (int32_t i : specks) EXPECT_EQ(BlockOf(segmented, i), -1) << i;
  ExpectEachComponentOnce(segmented, page.components.size());
}

// Typewritten last lines whose spaces line up, with a copier's specks strewn over the white
// below them: the specks make the lined-up spaces no taller, and the lines stay whole.
TEST(PageSegmentation, SpecksBelowTheLastLinesMakeNoColumnsOfThem) {
  DrawnPage page;
  std::vector<int32_t> text;
  for (int32_t l = 0; l < 3; ++l) {
    const auto first = page.Line(300, 300 + l * kPitch, 400);
    const auto second =
        page.Line(RightmostOf(page, first) + 1 + kLetter * 18 / 10, 300 + l * kPitch, 600);
    text.insert(text.end(), first.begin(), first.end());
    text.insert(text.end(), second.begin(), second.end());
  }
  std::mt19937 random(7);
  for (int32_t k = 0; k < 60; ++k) {
    const int32_t x = 300 + int32_t(random() % 1100), y = 500 + int32_t(random() % 1500);
    page.Add({x, y, x + 2, y + 2}, 9);
  }
  const SegmentedPage segmented = Segment(page);
  const int32_t block = BlockOf(segmented, text.front());
  ASSERT_GE(block, 0);
  for (int32_t i : text) EXPECT_EQ(BlockOf(segmented, i), block) << i;
}

}  // namespace
