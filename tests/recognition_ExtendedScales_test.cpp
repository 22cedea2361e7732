// The extended page analysis on one page drawn at 150, 300 and 600 dpi: a heading, two
// columns (one sans, one serif), a line across both and a footnote, with commas, full stops, dotted
// letters, umlauts and quotes. Every resolution must give the same blocks, lines, characters and
// words in the same order, their boxes those of the page scaled.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "layout/PageSegmentation.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/ExtendedPage.h"

namespace {

// The page at 150 dpi; `scale` 1, 2, 4 gives 150, 300, 600 dpi. The footnote is 7 pt at
// 150 dpi, about the smallest print whose full stop is still more than a grey pixel there.
constexpr int32_t kWidth = 1100, kHeight = 560;
constexpr int32_t kBodyEm = 22, kHeadingEm = 36, kFootnoteEm = 15, kPitch = 32;
constexpr int32_t kLeftColumn = 60, kRightColumn = 600;

const char* const kLeftLines[] = {
    "Der Text steht in zwei Spalten,", "die man nacheinander liest: erst",
    "links von oben nach unten, dann", "rechts. Punkte, Kommas und das",
    "\x84Zitat\x93 bleiben bei ihren", "W\xf6rtern, die Tr\xfcmmer nicht.",
};
const char* const kRightLines[] = {
    "Die rechte Spalte beginnt auf",  "gleicher H\xf6he wie die linke.",
    "Jede Zeile hat ihre W\xf6rter,", "jedes Wort seine Zeichen, und",
    "bei jeder Aufl\xf6sung sind es", "dieselben an derselben Stelle.",
};
constexpr const char* kHeading = "Seiten in drei Aufl\xf6sungen";
constexpr const char* kFootnote = "Eine Fu\xdfnote in kleiner Schrift, mit Komma und Punkt.";
constexpr const char* kAcross =
    "Zum Schluss eine Zeile quer \xfc"
    "ber beide Spalten, die als letzte gelesen wird.";

std::unique_ptr<PlatformFont> Font(const std::string& face, int32_t pixelsPerEm) {
  LogFont description;
  description.height = -pixelsPerEm;
  description.faceName = face;
  return std::unique_ptr<PlatformFont>(PlatformFont::Create(description));
}

// Text drawn a character at a time, each set `tracking` pixels after the last one's advance:
// letters that touch at one resolution and not at another would be one part or two, which
// the reading cuts apart later, not the analysis tested here.
void Draw(SoftwareCanvas& canvas, const PlatformFont& font, int32_t x, int32_t baseline,
          const std::string& text, int32_t tracking) {
  canvas.brushStyle = BrushStyle::Clear;
  canvas.font = &font;
  for (char c : text) {
    canvas.TextOut(x, baseline - font.Ascent(), std::string(1, c));
    x += font.TextWidth(std::string(1, c)) + tracking;
  }
}

InkPage DrawPage(int32_t scale) {
  const auto body = Font("Liberation Sans", kBodyEm * scale);
  const auto serif = Font("Liberation Serif", kBodyEm * scale);
  const auto heading = Font("Liberation Sans Bold", kHeadingEm * scale);
  const auto small = Font("Liberation Sans", kFootnoteEm * scale);
  SoftwareCanvas canvas(kWidth * scale, kHeight * scale);
  Draw(canvas, *heading, kLeftColumn * scale, 70 * scale, kHeading, scale);
  for (int32_t l = 0; l < 6; ++l) {
    const int32_t baseline = (140 + l * kPitch) * scale;
    Draw(canvas, *body, kLeftColumn * scale, baseline, kLeftLines[l], scale);
    Draw(canvas, *serif, kRightColumn * scale, baseline, kRightLines[l], scale);
  }
  Draw(canvas, *body, kLeftColumn * scale, (140 + 7 * kPitch + 20) * scale, kAcross, scale);
  Draw(canvas, *small, kLeftColumn * scale, (140 + 9 * kPitch) * scale, kFootnote, scale);
  std::vector<uint8_t> grey(size_t(canvas.Width()) * size_t(canvas.Height()));
  for (int32_t y = 0; y < canvas.Height(); ++y)
    for (int32_t x = 0; x < canvas.Width(); ++x)
      grey[size_t(y) * size_t(canvas.Width()) + size_t(x)] = uint8_t(canvas.GetPixel(x, y) & 0xFF);
  return FindInkInGrey(grey, canvas.Width(), canvas.Height());
}

struct Word {
  size_t characters = 0;
  PageBox box;
};
struct Line {
  std::vector<Word> words;
  PageBox box;
};
struct Block {
  std::vector<Line> lines;
  PageBox box;
};

// What the extended run makes of the page before reading it: blocks in reading order, their
// lines, each line's characters put together from their parts and grouped into words.
std::vector<Block> Analyse(const InkPage& ink) {
  std::vector<Block> blocks;
  for (const PageRegion& region : SegmentInk(ink).textBlocks) {
    Block& block = blocks.emplace_back();
    for (const InkLine& inkLine : FindLines(ink.parts, region.components)) {
      Line& line = block.lines.emplace_back();
      line.box = inkLine.box;
      block.box.Include(inkLine.box);
      std::vector<PageBox> glyphs;
      for (const GlyphParts& glyph : AssembleGlyphs(ink.parts, inkLine))
        glyphs.push_back(glyph.box);
      const std::vector<bool> breaks = WordBreaks(glyphs, inkLine.xHeight);
      for (size_t i = 0; i < glyphs.size(); ++i) {
        if (i == 0 || breaks[i - 1]) line.words.emplace_back();
        ++line.words.back().characters;
        line.words.back().box.Include(glyphs[i]);
      }
    }
  }
  return blocks;
}

// Blocks, lines and the characters of each word, written out to compare and to show.
std::string Shape(const std::vector<Block>& blocks) {
  std::ostringstream out;
  for (const Block& block : blocks) {
    out << "block\n";
    for (const Line& line : block.lines) {
      for (const Word& word : line.words) out << ' ' << word.characters;
      out << '\n';
    }
  }
  return out.str();
}

// A box found at `scale` is the box found at 150 dpi scaled, to within a pixel or two at
// 150 dpi (the letters are drawn afresh at each size, and their edges round differently);
// across, each character's advance is rounded to whole pixels at each size, and that adds
// up along a line: by up to half a pixel in a character some ten pixels wide at 150 dpi.
constexpr int32_t kBoxSlack = 2;
constexpr double kAdvanceDrift = 0.05;

// `textLeft`: where the lines of the box's block start at `scale`.
void ExpectScaled(const PageBox& small, const PageBox& large, int32_t scale, int32_t textLeft,
                  const std::string& what) {
  const int32_t slack = kBoxSlack * scale;
  const auto across = [&](int32_t x) { return slack + int32_t(kAdvanceDrift * (x - textLeft)); };
  EXPECT_LE(std::abs(small.left * scale - large.left), across(large.left)) << what;
  EXPECT_LE(std::abs(small.top * scale - large.top), slack) << what;
  EXPECT_LE(std::abs((small.right + 1) * scale - (large.right + 1)), across(large.right)) << what;
  EXPECT_LE(std::abs((small.bottom + 1) * scale - (large.bottom + 1)), slack) << what;
}

TEST(ExtendedAnalysisAtThreeResolutions, GivesTheSameBlocksLinesAndWordsScaled) {
  const std::vector<Block> at150 = Analyse(DrawPage(1));
  // Heading, left column, right column, the line across, the footnote: in that order.
  ASSERT_EQ(at150.size(), 5u) << Shape(at150);
  EXPECT_EQ(at150[0].lines.size(), 1u);
  EXPECT_EQ(at150[1].lines.size(), 6u);
  EXPECT_EQ(at150[2].lines.size(), 6u);
  EXPECT_EQ(at150[3].lines.size(), 1u);
  EXPECT_EQ(at150[4].lines.size(), 1u);
  EXPECT_LT(at150[1].box.right, kRightColumn);
  EXPECT_GE(at150[2].box.left, kRightColumn - kBoxSlack);
  EXPECT_EQ(at150[0].lines[0].words.size(), 4u);
  EXPECT_EQ(at150[1].lines[0].words.size(), 6u);
  EXPECT_EQ(at150[4].lines[0].words.size(), 9u);
  for (const int32_t scale : {2, 4}) {
    const std::vector<Block> scaled = Analyse(DrawPage(scale));
    const std::string at = " at " + std::to_string(150 * scale) + " dpi";
    ASSERT_EQ(Shape(scaled), Shape(at150)) << at;
    for (size_t b = 0; b < at150.size(); ++b) {
      const int32_t blockLeft = scaled[b].box.left;
      ExpectScaled(at150[b].box, scaled[b].box, scale, blockLeft,
                   "block " + std::to_string(b) + at);
      for (size_t l = 0; l < at150[b].lines.size(); ++l) {
        const Line &small = at150[b].lines[l], &large = scaled[b].lines[l];
        const std::string where = "block " + std::to_string(b) + " line " + std::to_string(l);
        ExpectScaled(small.box, large.box, scale, blockLeft, where + at);
        for (size_t w = 0; w < small.words.size(); ++w)
          ExpectScaled(small.words[w].box, large.words[w].box, scale, blockLeft,
                       where + " word " + std::to_string(w) + at);
      }
    }
  }
}

}  // namespace
