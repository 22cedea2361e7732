// The extended recogniser on pages drawn here: the ink, the lines, characters of several
// parts, touching characters cut, word gaps at any scale, and the run from picture to page
// result and output field, with bad pages and the classic run beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestHelpers.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/ExtendedPage.h"
#include "recognition/WordList.h"
#include "tests/TempDir.h"

namespace {

std::unique_ptr<PlatformFont> Font(const std::string& face, int32_t pixelsPerEm) {
  LogFont description;
  description.height = -pixelsPerEm;
  description.faceName = face;
  return std::unique_ptr<PlatformFont>(PlatformFont::Create(description));
}

// A white page on which text is drawn; its grey levels (0 black ... 255 white).
struct DrawnPage {
  SoftwareCanvas canvas;
  DrawnPage(int32_t width, int32_t height) : canvas(width, height) {}
  // Draws Windows-1252 text with its baseline at row `baseline`, one character at a time
  // when `rise` is given (pixels up per pixel right: a skewed line).
  void Text(const PlatformFont& font, int32_t x, int32_t baseline, const std::string& text,
            double rise = 0.0) {
    DrawText(canvas, font, x, baseline, text, rise);
  }
  std::vector<uint8_t> Grey() const {
    std::vector<uint8_t> grey(size_t(canvas.Width()) * size_t(canvas.Height()));
    for (int32_t y = 0; y < canvas.Height(); ++y)
      for (int32_t x = 0; x < canvas.Width(); ++x)
        grey[size_t(y) * size_t(canvas.Width()) + size_t(x)] =
            uint8_t(canvas.GetPixel(x, y) & 0xFF);
    return grey;
  }
  InkPage Ink() const { return FindInkInGrey(Grey(), canvas.Width(), canvas.Height()); }
};

// The union of all ink of a page.
PageBox AllInk(const InkPage& page) {
  PageBox box;
  for (const InkPart& part : page.parts) box.Include(part.box);
  return box;
}

std::vector<int32_t> AllParts(const InkPage& page) {
  std::vector<int32_t> all;
  for (size_t i = 0; i < page.parts.size(); ++i) all.push_back(int32_t(i));
  return all;
}

bool Inside(const PageBox& inner, const PageBox& outer) {
  return inner.left >= outer.left && inner.right <= outer.right && inner.top >= outer.top &&
         inner.bottom <= outer.bottom;
}

// ---- ink ----

TEST(ExtendedInk, UnevenLightAndGreyPaperGiveTheLettersParts) {
  const auto font = Font("Liberation Sans", 40);
  ASSERT_TRUE(font);
  DrawnPage page(400, 120);
  page.Text(*font, 20, 70, "Hi \xE4");  // H, i and its dot, a and two dots
  std::vector<uint8_t> grey = page.Grey();
  // Light falling off from 250 to 120 across the page, ink lifted to 40.
  for (int32_t y = 0; y < 120; ++y)
    for (int32_t x = 0; x < 400; ++x) {
      uint8_t& v = grey[size_t(y) * 400 + size_t(x)];
      const double paper = 250 - 130.0 * x / 400;
      v = uint8_t(40 + (paper - 40) * v / 255.0);
    }
  const InkPage even = page.Ink();
  const InkPage uneven = FindInkInGrey(grey, 400, 120);
  EXPECT_EQ(even.parts.size(), 6u);
  ASSERT_EQ(uneven.parts.size(), even.parts.size());
  for (size_t i = 0; i < even.parts.size(); ++i) {
    EXPECT_NEAR(uneven.parts[i].box.left, even.parts[i].box.left, 1);
    EXPECT_NEAR(uneven.parts[i].box.bottom, even.parts[i].box.bottom, 1);
  }
}

TEST(ExtendedInk, NoiseAndOneHugeObjectGiveNoText) {
  std::mt19937 random(5);
  std::vector<uint8_t> noise(600 * 400);
  for (uint8_t& v : noise) v = random() % 2 ? 0 : 255;
  const InkPage noisy = FindInkInGrey(noise, 600, 400);
  // Noise is left out as a region of its own, or gives nothing that stands like letters.
  EXPECT_TRUE(!noisy.leftOut.empty() || noisy.parts.size() < 50);

  std::vector<uint8_t> block(600 * 400, 255);
  for (int32_t y = 20; y < 380; ++y)
    for (int32_t x = 20; x < 580; ++x) block[size_t(y) * 600 + size_t(x)] = 0;
  EXPECT_TRUE(FindInkInGrey(block, 600, 400).parts.empty());

  EXPECT_TRUE(FindInkInGrey(std::vector<uint8_t>(600 * 400, 255), 600, 400).parts.empty());
  EXPECT_TRUE(FindInkInGrey({}, 0, 0).parts.empty());
}

// ---- lines ----

TEST(ExtendedLines, SkewedLinesKeepAllTheirPartsAndMetrics) {
  const auto font = Font("DejaVu Serif", 42);
  ASSERT_TRUE(font);
  DrawnPage page(1600, 300);
  const double rise = std::tan(0.6 * M_PI / 180);
  page.Text(*font, 20, 100,
            "Gef\xE4hrliche Wege, j\xE4hrlich gepr\xFC"
            "ft.",
            rise);
  page.Text(*font, 20, 160, "Im \xD6lbad quietscht nichts: gar nie!", rise);
  const InkPage ink = page.Ink();
  const std::vector<InkLine> lines = FindLines(ink.parts, AllParts(ink));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].parts.size() + lines[1].parts.size(), ink.parts.size());
  for (const InkLine& line : lines)
    for (int32_t i : line.parts) EXPECT_TRUE(Inside(ink.parts[size_t(i)].box, line.box));
  // The drawn baselines, the x-height of the face's "x" and a capital's height.
  DrawnPage x(200, 120), cap(200, 120);
  x.Text(*font, 10, 80, "x");
  cap.Text(*font, 10, 80, "H");
  const int32_t xHeight = AllInk(x.Ink()).Height(), capHeight = AllInk(cap.Ink()).Height();
  for (size_t l = 0; l < 2; ++l) {
    const int32_t drawnBaseline = (l == 0 ? 100 : 160) - int32_t(std::lround(rise * 700));
    EXPECT_NEAR(lines[l].Baseline(720), drawnBaseline, 2) << l;
    EXPECT_NEAR(lines[l].xHeight, xHeight, 2) << l;
    EXPECT_NEAR(lines[l].capHeight, capHeight, 3) << l;
  }
}

// Small print with a raised footnote mark ("1)") in the white between two lines: the mark
// belongs to the line it is raised over, and makes no line of its own.
TEST(ExtendedLines, RaisedMarksBetweenSmallLinesJoinTheirLine) {
  const auto font = Font("Liberation Serif", 26), small = Font("Liberation Serif", 13);
  ASSERT_TRUE(font && small);
  DrawnPage page(1300, 160);
  page.Text(*font, 20, 50, "the Premium Access Checks and Preferred Access");
  page.Text(*font, 20, 78, "Checks are registered marks of the bank, as is");
  page.Text(*small, 130, 62, "1)");
  const InkPage ink = page.Ink();
  const std::vector<InkLine> lines = FindLines(ink.parts, AllParts(ink));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].parts.size() + lines[1].parts.size(), ink.parts.size());
}

// A headline over its byline in one block: the byline's letters are much smaller than the
// block's, but of the page's size, and make a line of their own.
TEST(ExtendedLines, ABylineUnderAHeadlineIsALineOfItsOwn) {
  const auto headline = Font("DejaVu Serif", 110), text = Font("DejaVu Serif", 30);
  ASSERT_TRUE(headline && text);
  DrawnPage page(1900, 700);
  page.Text(*headline, 20, 150, "Was Kinder brauchen");
  page.Text(*text, 20, 250, "von ralph kinney");
  page.Text(*text, 20, 450, "Ein Absatz in der Schrift des Textes, der die");
  page.Text(*text, 20, 500, "Buchstaben der Seite zeigt, zwei Zeilen lang.");
  const InkPage ink = page.Ink();
  std::vector<int32_t> block;
  for (int32_t i : AllParts(ink))
    if (ink.parts[size_t(i)].box.bottom < 300) block.push_back(i);
  const std::vector<InkLine> lines = FindLines(ink.parts, block, ink.letterHeight);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].parts.size() + lines[1].parts.size(), block.size());
  EXPECT_GT(lines[1].box.top, lines[0].box.bottom);
}

// A headline in heavy type: its strokes cover the cells in which the page's dark areas are
// looked for, yet its letters are letters, not a photograph's dark parts.
TEST(ExtendedInk, AHeadlinesBoldLettersAreNoSolidInk) {
  LogFont heavy;
  heavy.height = -260;
  heavy.faceName = "DejaVu Sans";
  heavy.weight = 700;
  const std::unique_ptr<PlatformFont> headline(PlatformFont::Create(heavy));
  const auto text = Font("DejaVu Serif", 40);
  ASSERT_TRUE(headline && text);
  DrawnPage page(2480, 1400);
  page.Text(*headline, 40, 260, "Mehl");
  for (int32_t line = 0; line < 8; ++line)
    page.Text(*text, 40, 420 + 60 * line, "Im Sommer wird das Korn gemahlen, im Winter gebacken.");
  const InkPage ink = page.Ink();
  for (const LeftOutRegion& region : ink.leftOut) ADD_FAILURE() << region.why;
  // Nearly all the headline's ink is the page's parts.
  const std::vector<uint8_t> grey = page.Grey();
  int64_t drawn = 0, kept = 0;
  for (size_t at = 0; at < size_t(2480 * 300); ++at) drawn += grey[at] < 128;
  for (const InkPart& part : ink.parts)
    if (part.box.bottom < 300) kept += part.inkPixels;
  EXPECT_GT(kept, drawn * 9 / 10);
}

// A part of ink a third of its box inked.
void AddPart(std::vector<InkPart>* parts, int32_t left, int32_t top, int32_t width,
             int32_t height) {
  InkPart part;
  part.box = {left, top, left + width - 1, top + height - 1};
  part.inkPixels = width * height / 3;
  part.ink = {width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 1)};
  parts->push_back(std::move(part));
}

// Closer under the headline, the byline's letters lie in the reach of the headline's marks
// (a comma hangs half an x-height below its letters): being of the page's letters' size,
// they are letters of a line of their own all the same.
TEST(ExtendedLines, LettersOfThePagesSizeUnderAHeadlineAreNoMarksOfIt) {
  std::vector<InkPart> parts;
  const auto add = [&parts](int32_t left, int32_t top, int32_t width, int32_t height) {
    AddPart(&parts, left, top, width, height);
  };
  for (int32_t k = 0; k < 10; ++k)  // the headline: capitals and small letters
    k % 3 == 0 ? add(100 + 80 * k, 900, 60, 100) : add(100 + 80 * k, 930, 60, 70);
  for (int32_t k = 0; k < 12; ++k)  // the byline, 40 pixels under the headline's baseline
    add(100 + 20 * k, 1040, 15, 20);
  std::vector<int32_t> all(parts.size());
  std::iota(all.begin(), all.end(), 0);
  const std::vector<InkLine> lines = FindLines(parts, all, 20);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].parts.size(), 10u);
  EXPECT_EQ(lines[1].parts.size(), 12u);
}

// A fax's paragraph whose small letters broke into pieces: every line shows letters of one
// height. Where the block shows no capitals beside small letters, the page's ratio of them
// tells that height's meaning; the block's own lines add theirs to the page's.
TEST(ExtendedLines, LinesOfOneHeightAreMeasuredByTheGivenRatio) {
  std::vector<InkPart> parts;
  const auto add = [&parts](int32_t left, int32_t top, int32_t width, int32_t height) {
    AddPart(&parts, left, top, width, height);
  };
  for (int32_t line = 0; line < 3; ++line)
    for (int32_t k = 0; k < 12; ++k) add(100 + 25 * k, 100 + 60 * line, 18, 30);
  std::vector<int32_t> all(parts.size());
  std::iota(all.begin(), all.end(), 0);
  std::vector<int32_t> shown;
  const std::vector<InkLine> common = FindLines(parts, all, 0, 0, &shown);
  const std::vector<InkLine> measured = FindLines(parts, all, 0, 250);
  ASSERT_EQ(common.size(), 3u);
  ASSERT_EQ(measured.size(), 3u);
  EXPECT_TRUE(shown.empty());
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(common[i].capHeight, 30);
    EXPECT_EQ(common[i].xHeight, 21);  // a common face's: capitals 1.4 small letters
    EXPECT_EQ(measured[i].capHeight, 30);
    EXPECT_EQ(measured[i].xHeight, 12);
  }
  // Lines of capitals and small letters show their ratio, and keep their own measure.
  std::vector<InkPart> mixed;
  parts.swap(mixed);
  for (int32_t k = 0; k < 12; ++k)
    k % 3 == 0 ? add(100 + 25 * k, 100, 18, 30) : add(100 + 25 * k, 110, 18, 20);
  std::vector<int32_t> line(parts.size());
  std::iota(line.begin(), line.end(), 0);
  const std::vector<InkLine> own = FindLines(parts, line, 0, 250, &shown);
  ASSERT_EQ(own.size(), 1u);
  EXPECT_EQ(own[0].xHeight, 20);
  EXPECT_EQ(shown, std::vector<int32_t>{150});
}

// ---- characters ----

// Characters drawn apart on one line: each must come out as one glyph holding its own ink.
void ExpectOneGlyphEach(const std::string& face, int32_t pixelsPerEm) {
  const auto font = Font(face, pixelsPerEm);
  ASSERT_TRUE(font) << face;
  const std::string chars = "i\xE4:;!?%\x84\x93=\xF7\xE9\xDCjx\xC4\xD6";
  const int32_t step = pixelsPerEm * 3 / 2, baseline = pixelsPerEm * 2;
  DrawnPage page(step * int32_t(chars.size() + 2), pixelsPerEm * 3);
  for (size_t i = 0; i < chars.size(); ++i)
    page.Text(*font, step * int32_t(i + 1), baseline, chars.substr(i, 1));
  const InkPage ink = page.Ink();
  const std::vector<InkLine> lines = FindLines(ink.parts, AllParts(ink));
  ASSERT_EQ(lines.size(), 1u) << face << " " << pixelsPerEm;
  const std::vector<GlyphParts> glyphs = AssembleGlyphs(ink.parts, lines[0]);
  ASSERT_EQ(glyphs.size(), chars.size()) << face << " " << pixelsPerEm;
  for (size_t i = 0; i < chars.size(); ++i) {
    DrawnPage alone(page.canvas.Width(), page.canvas.Height());
    alone.Text(*font, step * int32_t(i + 1), baseline, chars.substr(i, 1));
    const PageBox expected = AllInk(alone.Ink());
    EXPECT_EQ(glyphs[i].box.left, expected.left) << face << " char " << i;
    EXPECT_EQ(glyphs[i].box.top, expected.top) << face << " char " << i;
    EXPECT_EQ(glyphs[i].box.right, expected.right) << face << " char " << i;
    EXPECT_EQ(glyphs[i].box.bottom, expected.bottom) << face << " char " << i;
  }
}

TEST(GlyphAssembly, CharactersOfSeveralPartsAreOneGlyphEach) {
  ExpectOneGlyphEach("Liberation Sans", 50);
  ExpectOneGlyphEach("DejaVu Serif", 50);
  ExpectOneGlyphEach("Open Sans", 30);
  ExpectOneGlyphEach("Liberation Serif", 22);
  ExpectOneGlyphEach("C059", 42);
  ExpectOneGlyphEach("Linux Libertine O", 50);
  ExpectOneGlyphEach("Nimbus Sans", 42);
}

TEST(GlyphAssembly, StopsCommasAndQuotesInRunningTextStayApart) {
  const auto font = Font("Liberation Sans", 50);
  ASSERT_TRUE(font);
  DrawnPage page(1400, 150);
  page.Text(*font, 20, 90, "ja, in... \"Ort\" ist's.");
  const InkPage ink = page.Ink();
  const std::vector<InkLine> lines = FindLines(ink.parts, AllParts(ink));
  ASSERT_EQ(lines.size(), 1u);
  // j a , i n . . . " O r t " i s t ' s .
  EXPECT_EQ(AssembleGlyphs(ink.parts, lines[0]).size(), 19u);
}

// A comma or full stop set close under the arm of an "r", "T" or "f" (as faces kern them),
// and an apostrophe set into an "L" over its arm ("L'atelier"), share the letter's columns
// but not its ink: each stays a character of its own, where a cedilla under its "c" and the
// dots of a colon stay one character.
TEST(GlyphAssembly, AMarkTuckedUnderALettersArmStaysApart) {
  const auto font = Font("Liberation Sans", 60);
  ASSERT_TRUE(font);
  const int32_t baseline = 100;
  const auto inkOf = [&](const std::string& text) {
    DrawnPage alone(300, 160);
    alone.Text(*font, 40, baseline, text);
    return AllInk(alone.Ink());
  };
  for (const char* pair : {"r,", "T.", "f,", "r.", "L'", "L\x92"}) {
    const PageBox letter = inkOf(std::string(1, pair[0]));
    const PageBox mark = inkOf(std::string(1, pair[1]));
    // The mark's right edge under the letter's right edge, or just right of it where the
    // letter's foot would touch it there.
    InkPage ink;
    int32_t shift = letter.right - mark.right - 1;
    while (ink.parts.size() != 2 && shift < letter.right - mark.left) {
      DrawnPage page(300, 160);
      page.Text(*font, 40, baseline, std::string(1, pair[0]));
      page.Text(*font, 40 + ++shift, baseline, std::string(1, pair[1]));
      ink = page.Ink();
    }
    ASSERT_EQ(ink.parts.size(), 2u) << pair << ": drawn apart";
    ASSERT_GE(letter.right - (mark.left + shift), mark.Width() / 2) << pair << ": tucked under";
    const std::vector<InkLine> lines = FindLines(ink.parts, AllParts(ink));
    ASSERT_EQ(lines.size(), 1u) << pair;
    EXPECT_EQ(AssembleGlyphs(ink.parts, lines[0]).size(), 2u) << pair;
  }
  DrawnPage page(700, 160);
  page.Text(*font, 40, baseline, "ga\xE7on: ");
  const InkPage ink = page.Ink();
  const std::vector<InkLine> lines = FindLines(ink.parts, AllParts(ink));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(AssembleGlyphs(ink.parts, lines[0]).size(), 6u);  // g a ç o n :
}

// A serif face kerns a full stop so far under an "r" that it reaches past the letter and
// comes nearer its arm than a comma would; a fax's letter that lost its hairlines leaves a
// piece of its foot in that place, which is no round dot and stays with its letter.
TEST(GlyphAssembly, AFullStopKernedUnderASerifArmStaysApartWhereABrokenFootJoins) {
  constexpr int32_t kBaseline = 99, kXHeight = 40;
  const auto glyphsOf = [&](bool round) {
    DrawnPage page(120, 130);
    const auto fill = [&](int32_t left, int32_t top, int32_t right, int32_t bottom) {
      for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x) page.canvas.SetPixel(x, y, 0x000000);
    };
    fill(10, 60, 16, kBaseline);  // the stem
    fill(4, 96, 22, kBaseline);   // its foot serif
    fill(17, 60, 34, 66);         // the arm, and its drop down to 0.68 x-heights
    fill(28, 60, 34, 72);
    if (round) {  // a full stop 10 pixels across, 0.45 x-heights below the drop
      for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
          if ((2 * x - 9) * (2 * x - 9) + (2 * y - 9) * (2 * y - 9) <= 100)
            page.canvas.SetPixel(28 + x, 90 + y, 0x000000);
    } else {  // the same box, its lower half and right column inked
      fill(28, 95, 37, kBaseline);
      fill(37, 90, 37, kBaseline);
    }
    const InkPage ink = page.Ink();
    EXPECT_EQ(ink.parts.size(), 2u) << (round ? "stop" : "piece") << ": drawn apart";
    InkLine line;
    line.parts = AllParts(ink);
    line.baselineAt0 = kBaseline;
    line.xHeight = kXHeight;
    line.capHeight = 56;
    line.box = AllInk(ink);
    return AssembleGlyphs(ink.parts, line).size();
  };
  EXPECT_EQ(glyphsOf(true), 2u);
  EXPECT_EQ(glyphsOf(false), 1u);
}

// An "n" whose foot serif reaches a full stop through a one-pixel neck is one object that
// reads as "n"; a stand-in reads any piece at the right end as a full stop. The stop is split
// off where the letter reads as before without it; a foot as thick where it leaves the letter
// as at its end is the letter's own, and a cut that leaves another letter (an "L" without its
// arm reads "I") is no split.
TEST(GlyphAssembly, AFullStopTouchingALettersFootIsSplitOffAtItsNeck) {
  constexpr int32_t kBaseline = 39, kXHeight = 20, kWidth = 24;
  InkLine line;
  line.baselineAt0 = kBaseline;
  line.xHeight = kXHeight;
  line.capHeight = 28;
  const auto glyphWith = [&](bool neck, uint8_t wholeCode) {
    ReadGlyph glyph;
    glyph.box = {0, kBaseline - kXHeight + 1, kWidth - 1, kBaseline};
    glyph.ink = {kWidth, kXHeight, std::vector<uint8_t>(size_t(kWidth * kXHeight), 0)};
    const auto fill = [&](int32_t left, int32_t top, int32_t right, int32_t bottom) {
      for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x) glyph.ink.ink[size_t(y * kWidth + x)] = 1;
    };
    fill(2, 0, 5, 19);  // the stems
    fill(12, 0, 15, 19);
    fill(2, 0, 15, 3);  // the arch
    if (neck) {
      fill(0, 17, 17, 19);  // the foot, then one pixel, then a stop five pixels across
      fill(18, 19, 18, 19);
      fill(19, 15, 23, 19);
    } else {
      fill(0, 16, 23, 19);  // a foot reaching as thick to its end
    }
    glyph.readings = {{wholeCode, 0.99}};
    return glyph;
  };
  const auto split = [&](ReadGlyph glyph, uint8_t letterCode) {
    const ClassifyBatch standIn = [&](const std::vector<GlyphToRead>& pieces) {
      std::vector<GlyphReading> readings;
      for (const GlyphToRead& piece : pieces)
        readings.push_back(
            GlyphReading({{piece.box.left >= kWidth / 2 ? uint8_t('.') : letterCode, 0.95}}));
      return readings;
    };
    std::vector<ReadGlyph> glyphs{std::move(glyph)};
    SplitOffTouchingStops(&glyphs, line, standIn);
    std::string read;
    for (const ReadGlyph& g : glyphs) read += char(g.readings.front().code);
    return read;
  };
  EXPECT_EQ(split(glyphWith(true, 'n'), 'n'), "n.");
  EXPECT_EQ(split(glyphWith(false, 'n'), 'n'), "n");
  EXPECT_EQ(split(glyphWith(true, 'L'), 'I'), "L");
}

// Two letters drawn so close that they touch, read by a stand-in that knows the width of
// each letter alone: the cut must find them again.
TEST(GlyphAssembly, TouchingLettersAreCutWhereThePiecesReadBest) {
  const auto font = Font("DejaVu Sans", 48);
  ASSERT_TRUE(font);
  for (const char* pair : {"rn", "tt", "re", "ff"}) {
    // The second letter moved left until the two just touch.
    DrawnPage first(400, 150);
    first.Text(*font, 40, 100, std::string(1, pair[0]));
    const PageBox a = AllInk(first.Ink());
    PageBox b;
    InkPage ink;
    for (int32_t x = a.right + 1; x > a.left && ink.parts.size() != 1; --x) {
      DrawnPage page(400, 150), second(400, 150);
      page.Text(*font, 40, 100, std::string(1, pair[0]));
      second.Text(*font, 40, 100, std::string(1, pair[1]));
      const int32_t shift = x - AllInk(second.Ink()).left;
      page.Text(*font, 40 + shift, 100, std::string(1, pair[1]));
      DrawnPage moved(400, 150);
      moved.Text(*font, 40 + shift, 100, std::string(1, pair[1]));
      b = AllInk(moved.Ink());
      ink = page.Ink();
    }
    ASSERT_EQ(ink.parts.size(), 1u) << pair << ": the letters must touch";
    InkLine line;
    line.parts = {0};
    line.baselineAt0 = 100;
    line.xHeight = 26;
    line.capHeight = 35;
    const ClassifyFunction byWidth = [&](const GlyphBitmap&, const PageBox& box,
                                         const LineMetrics&) {
      const bool likeA = std::abs(box.left - a.left) <= 2 && std::abs(box.right - a.right) <= 3;
      const bool likeB = std::abs(box.left - b.left) <= 3 && std::abs(box.right - b.right) <= 2;
      return std::vector<ScoredChar>{{uint8_t(likeA   ? pair[0]
                                              : likeB ? pair[1]
                                                      : '?'),
                                      likeA || likeB ? 0.9 : 0.4}};
    };
    const std::vector<ReadGlyph> read =
        ReadWithSplits(GlyphInk(ink.parts, {0}, ink.parts[0].box), ink.parts[0].box, line, byWidth);
    ASSERT_EQ(read.size(), 2u) << pair;
    EXPECT_EQ(read[0].readings[0].code, uint8_t(pair[0])) << pair;
    EXPECT_EQ(read[1].readings[0].code, uint8_t(pair[1])) << pair;
  }
}

TEST(GlyphAssembly, AWellReadObjectIsNotCut) {
  GlyphBitmap ink;
  ink.width = 60;
  ink.height = 30;
  ink.ink.assign(60 * 30, 1);
  InkLine line;
  line.xHeight = 30;
  int32_t calls = 0;
  const ClassifyFunction sure = [&](const GlyphBitmap&, const PageBox&, const LineMetrics&) {
    ++calls;
    return std::vector<ScoredChar>{{'m', 0.97}};
  };
  EXPECT_EQ(ReadWithSplits(ink, {0, 0, 59, 29}, line, sure).size(), 1u);
  EXPECT_EQ(calls, 1);
}

// With probabilities, a letter that reads fairly (a "w" at 0.7) is not cut into pieces that
// read as letters of their own ("v" and "v" at 0.9); a blot of two letters (0.2) is.
TEST(GlyphAssembly, ProbabilitiesCutOnlyWhatReadsBadlyWhole) {
  GlyphBitmap ink{60, 30, std::vector<uint8_t>(60 * 30, 0)};
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x : {2, 3, 4, 26, 27, 28, 33, 34, 35, 57, 58}) ink.ink[size_t(y * 60 + x)] = 1;
  for (int32_t x = 2; x < 58; ++x) ink.ink[size_t(29 * 60 + x)] = 1;  // joined at the foot
  InkLine line;
  line.xHeight = 30;
  line.baselineAt0 = 29;
  const ClassifyBatch pieces = [](const std::vector<GlyphToRead>& glyphs) {
    return std::vector<GlyphReading>(glyphs.size(), GlyphReading({{'v', 0.9}}));
  };
  EXPECT_EQ(ReadWithSplits(ink, {0, 0, 59, 29}, line, pieces, GlyphReading({{'w', 0.7}})).size(),
            1u);
  EXPECT_EQ(ReadWithSplits(ink, {0, 0, 59, 29}, line, pieces, GlyphReading({{'w', 0.2}})).size(),
            2u);
}

// A glyph read confidently but too wide for its reading ("fl" touching, read "f") is cut
// where its pieces read fairly, and kept whole, as it was read, where they do not.
TEST(GlyphAssembly, ATooWideGlyphIsCutOnlyWherePiecesReadFairly) {
  ReadGlyph fl;
  fl.box = {0, 0, 29, 29};
  fl.ink = {30, 30, std::vector<uint8_t>(30 * 30, 0)};
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x : {5, 6, 7, 22, 23, 24}) fl.ink.ink[size_t(y * 30 + x)] = 1;
  for (int32_t x = 5; x < 25; ++x) fl.ink.ink[size_t(8 * 30 + x)] = 1;  // the bar that joins them
  fl.readings = {{'f', 0.97}};
  fl.oneCharacter = 0.99;
  InkLine line;
  line.xHeight = 20;
  line.baselineAt0 = 29;
  const auto reading = [](double score) {
    return ClassifyBatch([score](const std::vector<GlyphToRead>& pieces) {
      std::vector<GlyphReading> read;
      for (const GlyphToRead& piece : pieces)
        read.emplace_back(
            std::vector<ScoredChar>{{uint8_t(piece.box.right < 15 ? 'f' : 'l'), score}});
      return read;
    });
  };
  const std::vector<ReadGlyph> cut = CutTooWide(fl, line, reading(0.8));
  ASSERT_EQ(cut.size(), 2u);
  EXPECT_EQ(cut[0].readings.front().code, 'f');
  EXPECT_EQ(cut[1].readings.front().code, 'l');
  const std::vector<ReadGlyph> kept = CutTooWide(fl, line, reading(0.3));
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].readings.front().score, 0.97);
  EXPECT_EQ(kept[0].oneCharacter, 0.99);
}

// A light copy's "e" that lost its hairlines stands as two strokes read as "(" and "‘",
// farther apart than a broken letter's pieces may be: two marks are joined across such a
// gap only where the whole reads surely; letters at that gap, or marks farther apart, are not.
TEST(GlyphAssembly, TwoMarksFartherApartJoinOnlyWhereTheWholeReadsSurely) {
  InkLine line;
  line.xHeight = 20;
  line.baselineAt0 = 19;
  const auto glyph = [](int32_t left, int32_t right, uint8_t code) {
    ReadGlyph g;
    g.box = {left, 0, right, 19};
    g.ink = {right - left + 1, 20, std::vector<uint8_t>(size_t(right - left + 1) * 20, 1)};
    g.readings = {{code, 0.5}};
    return g;
  };
  const auto joined = [&](uint8_t first, uint8_t second, int32_t gap, double wholeScore) {
    std::vector<ReadGlyph> glyphs = {glyph(0, 4, first), glyph(5 + gap, 9 + gap, second)};
    const ClassifyBatch asE = [wholeScore](const std::vector<GlyphToRead>& wholes) {
      return std::vector<GlyphReading>(wholes.size(), GlyphReading({{'e', wholeScore}}));
    };
    JoinBrokenGlyphs(&glyphs, line, asE);
    return glyphs.size() == 1;
  };
  EXPECT_TRUE(joined('(', 0x91, 8, 0.97));    // 0.4 x-heights apart
  EXPECT_FALSE(joined('(', 0x91, 8, 0.9));    // read less surely
  EXPECT_FALSE(joined('c', 'i', 8, 0.97));    // letters
  EXPECT_FALSE(joined('(', 0x91, 12, 0.97));  // 0.6 x-heights apart
  EXPECT_TRUE(joined('c', 'i', 2, 0.9));      // any close pieces, as before
}

// A heavy copy of a typewriter face runs five letters into one blob ("ommod"): it is cut into
// all five, where each piece reads as a letter.
TEST(GlyphAssembly, FiveTouchingLettersAreCutIntoFive) {
  ReadGlyph blob;
  blob.box = {0, 0, 69, 19};
  blob.ink = {70, 20, std::vector<uint8_t>(70 * 20, 0)};
  for (int32_t letter = 0; letter < 5; ++letter)
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 15 * letter; x < 15 * letter + 10; ++x) blob.ink.ink[size_t(y * 70 + x)] = 1;
  for (int32_t x = 0; x < 70; ++x) blob.ink.ink[size_t(x)] = 1;  // the row that joins them
  blob.readings = {{'O', 0.01}};
  InkLine line;
  line.xHeight = 20;
  line.baselineAt0 = 19;
  const ClassifyBatch oneLetterWide = [](const std::vector<GlyphToRead>& pieces) {
    std::vector<GlyphReading> read;
    for (const GlyphToRead& piece : pieces)
      read.emplace_back(piece.box.Width() <= 16 ? std::vector<ScoredChar>{{'o', 0.9}}
                                                : std::vector<ScoredChar>{{'?', 0.05}});
    return read;
  };
  const std::vector<ReadGlyph> cut = CutTooWide(blob, line, oneLetterWide);
  ASSERT_EQ(cut.size(), 5u);
  for (const ReadGlyph& piece : cut) EXPECT_EQ(piece.readings.front().code, 'o');
}

// Pieces of characters broken apart (lost hairlines), read by a stand-in that knows which
// boxes are whole characters: a piece joins its neighbour only where the whole reads clearly
// better, over as many rounds as the character has pieces.
TEST(GlyphAssembly, BrokenPiecesAreJoinedWhereTheWholeReadsBetter) {
  InkLine line;
  line.xHeight = 20;
  line.baselineAt0 = 19;
  const auto glyph = [](int32_t left, int32_t right, uint8_t code, double score) {
    ReadGlyph g;
    g.box = {left, 0, right, 19};
    g.ink = {right - left + 1, 20, std::vector<uint8_t>(size_t(right - left + 1) * 20, 1)};
    g.readings = {{code, score}};
    return g;
  };
  // An "m" in three strokes, a gap, an "r" and an "n" that stand close, and an "o" apart.
  std::vector<ReadGlyph> glyphs = {glyph(0, 3, 'l', 0.5),   glyph(5, 8, 'l', 0.5),
                                   glyph(10, 13, 'l', 0.5), glyph(30, 35, 'r', 0.6),
                                   glyph(37, 45, 'n', 0.6), glyph(60, 70, 'o', 0.6)};
  int32_t batches = 0;
  const ClassifyBatch stand_in = [&](const std::vector<GlyphToRead>& wholes) {
    ++batches;
    std::vector<GlyphReading> readings;
    for (const GlyphToRead& w : wholes) {
      EXPECT_EQ(w.ink->width, w.box.Width());
      if (w.box.left == 0 && w.box.right == 13)
        readings.emplace_back(std::vector<ScoredChar>{{'m', 0.97}});
      else if (w.box.left == 0 || w.box.left == 5)
        readings.emplace_back(std::vector<ScoredChar>{{'n', 0.7}});
      else
        readings.emplace_back(std::vector<ScoredChar>{{'?', 0.3}});  // two letters together
    }
    return readings;
  };
  JoinBrokenGlyphs(&glyphs, line, stand_in);
  std::string codes;
  for (const ReadGlyph& g : glyphs) codes += char(g.readings.front().code);
  EXPECT_EQ(codes, "mrno");
  EXPECT_EQ(glyphs[0].box.right, 13);
  EXPECT_EQ(glyphs[0].ink.width, 14);
  EXPECT_LE(batches, 3);

  // An apostrophe close beside an "r", above its rows, stays a character of its own even
  // where the two together would read as an "r".
  ReadGlyph r = glyph(0, 9, 'r', 1.0);
  ReadGlyph apostrophe = glyph(11, 13, 0x92, 0.44);
  apostrophe.box = {11, -10, 13, 0};
  apostrophe.ink = {3, 11, std::vector<uint8_t>(33, 1)};
  std::vector<ReadGlyph> rs = {r, apostrophe};
  const ClassifyBatch asR = [](const std::vector<GlyphToRead>& wholes) {
    return std::vector<GlyphReading>(wholes.size(), GlyphReading({{'r', 0.95}}));
  };
  JoinBrokenGlyphs(&rs, line, asR);
  EXPECT_EQ(rs.size(), 2u);

  // So does a comma under its arm, on the baseline, though it shares the "r"'s columns.
  ReadGlyph comma = glyph(6, 9, ',', 0.6);
  comma.box = {6, 17, 9, 24};
  comma.ink = {4, 8, std::vector<uint8_t>(32, 1)};
  r.readings = {{'r', 0.8}};
  r.ink = {10, 20, std::vector<uint8_t>(200, 0)};
  for (int32_t x = 0; x < 3; ++x)  // the stem, and the arm across the top rows
    for (int32_t y = 0; y < 20; ++y) r.ink.ink[size_t(y * 10 + x)] = 1;
  for (int32_t x = 0; x < 10; ++x)
    for (int32_t y = 0; y < 4; ++y) r.ink.ink[size_t(y * 10 + x)] = 1;
  rs = {r, comma};
  JoinBrokenGlyphs(&rs, line, asR);
  EXPECT_EQ(rs.size(), 2u);

  // A full stop and a comma right after a letter ("Inc.,") stay two, though together they
  // read as a low double quote; after a space they may be one.
  const auto mark = [&glyph](int32_t left, uint8_t code) {
    ReadGlyph g = glyph(left, left + 3, code, 0.6);
    g.box.top = 16;
    g.box.bottom = 22;
    g.ink = {4, 7, std::vector<uint8_t>(28, 1)};
    return g;
  };
  const ClassifyBatch asQuote = [](const std::vector<GlyphToRead>& wholes) {
    return std::vector<GlyphReading>(wholes.size(), GlyphReading({{0x84, 0.95}}));
  };
  for (const int32_t space : {1, 12}) {
    std::vector<ReadGlyph> marks = {glyph(0, 9, 'c', 0.99), mark(10 + space, '.'),
                                    mark(16 + space, ',')};
    JoinBrokenGlyphs(&marks, line, asQuote);
    EXPECT_EQ(marks.size(), space == 1 ? 3u : 2u) << space;
  }
}

// ---- words ----

// Boxes of letters `width` wide, `gap` apart within words and `space` apart between them.
std::vector<PageBox> Letters(const std::vector<int32_t>& wordLengths, int32_t width, int32_t gap,
                             int32_t space) {
  std::vector<PageBox> boxes;
  int32_t x = 0;
  for (int32_t length : wordLengths) {
    for (int32_t i = 0; i < length; ++i) {
      boxes.push_back({x, 0, x + width - 1, width});
      x += width + (i + 1 < length ? gap + (i % 3) : 0);
    }
    x += space;
  }
  return boxes;
}

std::vector<bool> Expected(const std::vector<int32_t>& wordLengths) {
  std::vector<bool> breaks;
  for (size_t w = 0; w < wordLengths.size(); ++w)
    for (int32_t i = 0; i < wordLengths[w]; ++i) breaks.push_back(i + 1 == wordLengths[w]);
  breaks.pop_back();
  return breaks;
}

TEST(ExtendedWords, GapsAreJudgedAgainstTheLineAtAnyScale) {
  const std::vector<int32_t> words = {3, 5, 1, 7, 2, 4};
  for (int32_t scale : {1, 2, 4}) {  // 150, 300, 600 dpi
    EXPECT_EQ(WordBreaks(Letters(words, 10 * scale, 1 * scale, 7 * scale), 12 * scale),
              Expected(words))
        << scale;
    // Justified: wide spaces.
    EXPECT_EQ(WordBreaks(Letters(words, 10 * scale, 1 * scale, 16 * scale), 12 * scale),
              Expected(words))
        << scale;
  }
  EXPECT_EQ(WordBreaks(Letters({9}, 20, 3, 0), 24), Expected({9}));
  EXPECT_EQ(WordBreaks(Letters({1, 1, 1, 1}, 20, 3, 14), 24), Expected({1, 1, 1, 1}));

  // One gap far wider than any space (a bullet before the text, a tab) leaves the spaces
  // of the rest of the line breaks.
  std::vector<PageBox> bulleted = Letters(words, 10, 1, 8);
  for (size_t i = 1; i < bulleted.size(); ++i) bulleted[i].left += 90, bulleted[i].right += 90;
  std::vector<bool> expected = Expected(words);
  expected[0] = true;
  EXPECT_EQ(WordBreaks(bulleted, 12), expected);
  EXPECT_TRUE(WordBreaks({}, 20).empty());
  // A clean line's gaps are all of one kind or the other.
  const WordGaps clean = GapsBetweenWords(Letters(words, 10, 1, 7), 12);
  EXPECT_EQ(std::count(clean.doubtful.begin(), clean.doubtful.end(), true), 0);
  // ... but a capital after a small letter inside a word is in doubt: its arm may hide a space.
  const std::vector<uint8_t> derTube = {'w', 'i', 'r', 'd', 'e', 'r', 'T', 'u', 'b', 'e', 'x', 'y'};
  const WordGaps capital = GapsBetweenWords(Letters({2, 8, 2}, 10, 1, 7), 12, derTube);
  EXPECT_EQ(capital.doubtful, (std::vector<bool>{false, false, false, false, false, true, false,
                                                 false, false, false, false}));
}

// Boxes 10 wide, at the given gaps after each.
std::vector<PageBox> BoxesApart(const std::vector<int32_t>& gaps) {
  std::vector<PageBox> boxes;
  int32_t x = 0;
  for (size_t i = 0; i <= gaps.size(); ++i) {
    boxes.push_back({x, 0, x + 9, 11});
    if (i < gaps.size()) x += 10 + gaps[i];
  }
  return boxes;
}

TEST(ExtendedWords, AShortLinesWidestLetterGapsAreNoSpaces) {
  // A paragraph's last line, "zerbrochen, Barometer unversehrt.“", in a loosely set face on a
  // photocopy: letters 0 to 5 pixels apart, spaces of 9 and 10, and 6 before the quote mark,
  // at an x-height of 21.
  const std::vector<int32_t> gaps = {0, 4, 1, 1,  1, 1, 1, 3, 3, 4, 9, 5, 4, 0, 3, 2,
                                     2, 4, 4, 10, 0, 3, 1, 4, 2, 2, 3, 4, 0, 6, 1};
  const std::vector<bool> breaks = WordBreaks(BoxesApart(gaps), 21);
  ASSERT_EQ(breaks.size(), gaps.size());
  for (size_t i = 0; i < gaps.size(); ++i) {
    if (gaps[i] == 6) continue;
    EXPECT_EQ(breaks[i], gaps[i] >= 9) << i;
  }
}

TEST(ExtendedWords, TightSpacesBesideATabAreSpaces) {
  // A headline's first words, a gap of three x-heights before its second part, then four
  // words: letters -3 to 3 pixels apart, spaces of 13 and 14 at an x-height of 30.
  const std::vector<int32_t> headline = {2,  -3, 1, 13, 0, 2, 3,  100, 1, 2,  -1, 14,
                                         -2, 3,  0, 13, 1, 2, 14, 2,   0, -1, 3};
  const std::vector<bool> breaks = WordBreaks(BoxesApart(headline), 30);
  ASSERT_EQ(breaks.size(), headline.size());
  for (size_t i = 0; i < headline.size(); ++i) EXPECT_EQ(breaks[i], headline[i] >= 13) << i;

  // A typewriter face's spaces may all be that wide, and its letter gaps differ with the
  // letters ("il" gapes, "mm" touches): they are no spaces.
  const std::vector<int32_t> typewritten = {0, 5,  2, 8, 30, 1, 6,  0, 9, 2, 30, 4, 0,
                                            7, 30, 2, 5, 1,  9, 30, 0, 3, 6, 2,  8};
  const std::vector<bool> typed = WordBreaks(BoxesApart(typewritten), 20);
  ASSERT_EQ(typed.size(), typewritten.size());
  for (size_t i = 0; i < typewritten.size(); ++i) EXPECT_EQ(typed[i], typewritten[i] == 30) << i;
}

std::vector<uint8_t> Codes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(ExtendedWords, AFaxLineWhoseGapsMakeNoTwoGroupsLeavesTheMiddlingOnesInDoubt) {
  // "Bienen kümmert. Streit gibt es selten, am ..." of a fax at an x-height of 14: letters 2
  // to 5 pixels apart, spaces 8 to 10, and letters gaping 6 and 7 ("~") within "gibt",
  // "selten", "am": too close for two groups.
  const std::string line = "Bienen k\xFC~mmert. Streit gi~bt es sel~ten, a~m ehesten um die";
  std::string text;
  std::vector<int32_t> gaps;
  const int32_t letterGaps[] = {3, 4, 5, 2, 4}, spaces[] = {9, 10, 8}, gapes[] = {6, 7};
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ' ' || line[i] == '~') continue;
    if (!text.empty()) {
      const char before = line[i - 1];
      gaps.push_back(before == ' '   ? spaces[gaps.size() % 3]
                     : before == '~' ? gapes[gaps.size() % 2]
                                     : letterGaps[gaps.size() % 5]);
    }
    text += line[i];
  }
  const WordGaps read = GapsBetweenWords(BoxesApart(gaps), 14, Codes(text));
  ASSERT_EQ(read.breaks.size(), gaps.size());
  for (size_t i = 0; i < gaps.size(); ++i) {
    EXPECT_EQ(read.breaks[i], gaps[i] >= 6) << i;  // as before: beyond 0.4 x-heights
    EXPECT_EQ(read.doubtful[i], gaps[i] >= 5 && gaps[i] <= 8) << i;
  }
  // A short line has too few gaps to tell what is middling.
  const WordGaps gibt = GapsBetweenWords(BoxesApart({4, 7, 4}), 14, Codes("gibt"));
  EXPECT_EQ(gibt.doubtful, std::vector<bool>(3, false));
}

// The arm of an "r" or an "f" narrows the space after a word that ends in one ("Früherwurden"):
// a gap there a little wider than the letter gaps is in doubt for the words to settle, where
// the same gap after another letter is none.
TEST(ExtendedWords, AGapAfterAnArmIsInDoubt) {
  // "Früher wurden die Tische", letter gaps 1 and 2, spaces 11, and 4 after "Früher".
  const std::vector<int32_t> gaps = {2, 1, 2, 2, 1, 4, 2, 1, 2, 2, 1, 11, 2, 2, 11, 1, 2, 2, 1, 2};
  const WordGaps read = GapsBetweenWords(BoxesApart(gaps), 14, Codes("Fr\xFCherwurdendieTische"));
  ASSERT_EQ(read.doubtful.size(), gaps.size());
  for (size_t i = 0; i < gaps.size(); ++i) {
    EXPECT_EQ(read.breaks[i], gaps[i] == 11) << i;
    EXPECT_EQ(read.doubtful[i], i == 5) << i;  // after "r", not after "e" nor inside "wurden"
  }
  // After an "e" the same gap is a letter gap.
  const WordGaps afterE = GapsBetweenWords(BoxesApart(gaps), 14, Codes("Fr\xFCheewurdendieTische"));
  EXPECT_FALSE(afterE.doubtful[5]);
}

// Figures stand wide apart within a number, but a letter's arm may narrow the space before
// one ("auf 4,8"), and a figure beside a "l" that begins a word is no "1" ("1934 lagen").
// Boxes of the given widths, the given gaps apart.
std::vector<PageBox> BoxesOfWidths(const std::vector<int32_t>& widths,
                                   const std::vector<int32_t>& gaps) {
  std::vector<PageBox> boxes;
  int32_t x = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    boxes.push_back({x, 0, x + widths[i] - 1, 21});
    if (i < gaps.size()) x += widths[i] + gaps[i];
  }
  return boxes;
}

TEST(ExtendedWords, GroupsOfFiguresKeepTheirSpaces) {
  // "Kundennummer: 47 11 08 15" as Lato sets it at 300 dpi (x-height 22): letters 3 to 6
  // pixels apart, the "1"s narrower than the other figures; the spaces between the groups
  // (15 to 17) are as wide as the line's others, and no "1" stands that far apart.
  const std::vector<int32_t> widths = {23, 17, 18, 18, 18, 18, 18, 17, 29, 29, 18,
                                       12, 5,  22, 21, 17, 17, 22, 20, 17, 19};
  const std::vector<int32_t> gaps = {3, 6, 4,  5, 5,  5, 5,  6, 5,  4,
                                     5, 3, 14, 3, 16, 7, 15, 3, 17, 6};
  const WordGaps groups =
      GapsBetweenWords(BoxesOfWidths(widths, gaps), 22, Codes("Kundennummer:47110815"));
  std::string read;
  for (size_t i = 0; i < groups.breaks.size(); ++i)
    read += std::string(1, "Kundennummer:47110815"[i]) + (groups.breaks[i] ? " " : "");
  EXPECT_EQ(read + "5", "Kundennummer: 47 11 08 15");

  // "von 1911 steht" in a face of figures of one advance: the narrow "1"s stand 5 and 8
  // pixels from their neighbours, as far as the line's spaces (9), and are one number.
  const std::vector<int32_t> yearWidths = {12, 12, 12, 6, 12, 6, 6, 10, 9, 12, 12, 9};
  const std::vector<int32_t> yearGaps = {2, 2, 9, 5, 5, 8, 9, 2, 2, 2, 2};
  const WordGaps year =
      GapsBetweenWords(BoxesOfWidths(yearWidths, yearGaps), 22, Codes("von1911steht"));
  EXPECT_EQ(year.breaks, (std::vector<bool>{false, false, true, false, false, false, true, false,
                                            false, false, false}));
}

TEST(ExtendedWords, ASpaceBesideAFigureIsABreak) {
  // Letter gaps 1 to 3, spaces 12: the gap of 6 after "f" is in doubt, and beside a figure
  // it is a space.
  const std::vector<int32_t> aufVier = {2, 1, 6, 1, 3, 12, 2, 1, 12, 2, 3};
  const WordGaps auf = GapsBetweenWords(BoxesApart(aufVier), 12, Codes("auf4,8denTag"));
  EXPECT_TRUE(auf.breaks[2]);
  EXPECT_FALSE(auf.doubtful[2]);
  EXPECT_FALSE(auf.breaks[3]);  // "4,8" stays one number
  // The same gap between two letters stays in doubt for the words to settle.
  const WordGaps letters = GapsBetweenWords(BoxesApart(aufVier), 12, Codes("aufdiedenTag"));
  EXPECT_FALSE(letters.breaks[2]);
  EXPECT_TRUE(letters.doubtful[2]);
  // A letter close to a figure stays joined to it ("A4").
  const WordGaps paper = GapsBetweenWords(BoxesApart({2, 12, 1, 12, 2, 3}), 12, Codes("inA4das"));
  EXPECT_FALSE(paper.breaks[2]);

  // "1934 lagen": a space of 11 where letter gaps are 1 to 3 is a break, though an "l" is a
  // look-alike of a "1" and figures stand wider apart.
  const std::vector<int32_t> year = {3, 3, 2, 11, 1, 2, 2, 3, 2, 12, 2, 3};
  const WordGaps lagen = GapsBetweenWords(BoxesApart(year), 12, Codes("1934lagen,der"));
  EXPECT_TRUE(lagen.breaks[3]);
  // Between figures, a "l" read for a "1" still belongs to the number.
  const WordGaps ones = GapsBetweenWords(BoxesApart({3, 7, 3, 12, 2, 2}), 12, Codes("19l4der"));
  EXPECT_FALSE(ones.breaks[1]);
  EXPECT_FALSE(ones.breaks[2]);
  // ... and so does one at the number's end, beside the space before the next word.
  const std::vector<int32_t> von = {2, 2, 12, 7, 7, 7, 12, 2, 2, 3, 2};
  const WordGaps year1911 = GapsBetweenWords(BoxesApart(von), 12, Codes("vonl91lsteht"));
  EXPECT_EQ(year1911.breaks, (std::vector<bool>{false, false, true, false, false, false, true,
                                                false, false, false, false}));
}

TEST(ExtendedWords, AFaxsNarrowestLetterGapsAreNoGroupOfTheirOwn) {
  // A fax's letters gape: their gaps run from 1 to 7 pixels, most of them 3 to 5, and its
  // spaces 8 to 10, at an x-height of 14 (as a fax of a sans face at 10 points measures).
  // The two or three narrowest gaps are not the letter gaps, and the rest not the spaces: a
  // space is a break or left in doubt for the words to settle.
  const std::vector<int32_t> words = {5, 6, 4, 7, 5, 6, 8, 4, 5, 6, 5};
  const std::vector<int32_t> letterGaps = {4, 3, 4, 5, 4, 3, 6, 4, 5, 3, 7, 4, 5, 6, 2, 1};
  std::vector<PageBox> boxes;
  size_t letter = 0, space = 0;
  int32_t x = 0;
  for (const int32_t length : words) {
    for (int32_t i = 0; i < length; ++i) {
      boxes.push_back({x, 0, x + 9, 13});
      x += 10 +
           (i + 1 < length ? letterGaps[letter++ % letterGaps.size()] : 8 + int32_t(space++ % 3));
    }
  }
  const WordGaps gaps = GapsBetweenWords(boxes, 14);
  const std::vector<bool> spaces = Expected(words);
  for (size_t i = 0; i < spaces.size(); ++i) {
    const int32_t gap = boxes[i + 1].left - boxes[i].right - 1;
    if (spaces[i]) {
      EXPECT_TRUE(gaps.breaks[i] || gaps.doubtful[i]) << gap;
    } else if (gap <= 5) {
      EXPECT_FALSE(gaps.breaks[i]) << gap;
    }
  }
}

// A word of the given characters, each box `height` tall, with the reading it was read as
// among its alternatives as a recogniser would leave it.
PageWord WordOf(const std::string& text, int32_t height = 20) {
  PageWord word;
  for (size_t i = 0; i < text.size(); ++i) {
    PageChar c;
    c.code = uint8_t(text[i]);
    c.box = {int32_t(i) * 12, 0, int32_t(i) * 12 + 9, height - 1};
    c.confidence = 0.8;
    c.alternatives = {{uint8_t(c.code == 'x' ? 'y' : 'x'), 0.5}};
    word.chars.push_back(c);
  }
  return word;
}

// A bullet, a degree sign and a raised figure, which the classifier has no class for, by their
// size and place:
// the line's x-height is 20 rows above its baseline, row 19.
TEST(ExtendedWords, BulletsDegreeSignsAndRaisedFiguresAreToldByTheirSizeAndPlace) {
  InkLine line;
  line.xHeight = 20;
  line.baselineAt0 = 19;
  const auto mark = [](uint8_t code, int32_t top, int32_t size) {
    PageWord word = WordOf(std::string(1, char(code)));
    word.chars[0].box = {0, top, size - 1, top + size - 1};
    return word;
  };
  const auto settled = [&line](PageWord word) {
    SettleCharactersWithoutAClass(&word, line);
    return word.Text();
  };
  EXPECT_EQ(settled(mark(0xB7, 5, 10)), "\x95");  // a dot of half an x-height, centred
  EXPECT_EQ(settled(mark('e', 5, 10)), "\x95");   // a copy's bullet read as a small letter
  EXPECT_EQ(settled(mark(0xB7, 8, 4)), "\xB7");   // a middle dot
  EXPECT_EQ(settled(mark('.', 16, 4)), ".");      // a full stop
  EXPECT_EQ(settled(mark('o', 0, 20)), "o");      // a letter
  PageWord celsius = WordOf("oC");                // "5 °C": its ring at the capital's top
  celsius.chars[0].box = {0, -6, 7, 1};
  EXPECT_EQ(settled(celsius),
            "\xB0"
            "C");
  PageWord cubic = WordOf("m3");  // "m³": its figure half as high as a capital, raised
  cubic.chars[1].box = {12, -6, 19, 7};
  EXPECT_EQ(settled(cubic), "m\xB3");
  EXPECT_EQ(settled(WordOf("m3")), "m3");  // standing on the baseline
  PageWord bullet = mark(0xB7, 5, 10);     // a large dot within a word is none
  bullet.chars.push_back(WordOf("a").chars[0]);
  EXPECT_EQ(settled(bullet),
            "\xB7"
            "a");
}

// "s" and "S" (and the other twins of one shape) by their height against the line's small
// letters; a height between the two sizes, or a line without small letters, changes nothing.
TEST(ExtendedWords, CaseTwinsAreSettledByTheirHeight) {
  std::vector<PageWord> line = {WordOf("sonne", 20), WordOf("an", 20)};
  line[0].chars[0].box.top = -8;  // 28 rows: a capital's height
  line[0].chars[1].box.top = -8;  // an "o" as tall: read "o", but stands as a capital
  const double small = SmallLetterHeight(line);
  EXPECT_EQ(small, 20);
  SettleCaseTwins(&line[0], small);
  EXPECT_EQ(line[0].Text(), "SOnne");
  PageWord capitals = WordOf("WOCHE", 20);  // small letters read as capitals
  capitals.chars[2].box.top = -3;           // 23 rows: neither size
  SettleCaseTwins(&capitals, small);
  EXPECT_EQ(capitals.Text(), "woCHE");
  EXPECT_EQ(SmallLetterHeight({WordOf("so", 20)}), 0);
  PageWord unknown = WordOf("so", 20);
  SettleCaseTwins(&unknown, 0);
  EXPECT_EQ(unknown.Text(), "so");

  // Level with its word's small letters, a twin is small however tall against the line: a
  // fax's word whose letters stand a row pair taller than the line's, or a letter with a speck
  // below it.
  PageWord tall = WordOf("Von", 23);
  SettleCaseTwins(&tall, small);
  EXPECT_EQ(tall.Text(), "von");
  PageWord specked = WordOf("Um", 20);
  specked.chars[0].box.bottom = 26;
  SettleCaseTwins(&specked, small);
  EXPECT_EQ(specked.Text(), "um");
  PageWord capital = WordOf("Von", 20);
  capital.chars[0].box.top = -8;
  SettleCaseTwins(&capital, small);
  EXPECT_EQ(capital.Text(), "Von");
}

// A byline in small capitals reads as a mix of capitals and small letters; where two words
// show capitals of x-height size, the words that show them are set in capitals. A capital
// as tall as a capital, or a lone small one, changes nothing.
TEST(ExtendedWords, WordsInSmallCapitalsAreSetInCapitals) {
  const auto line = [](std::vector<std::string> texts) {
    std::vector<PageWord> words;
    for (const std::string& t : texts) words.push_back(WordOf(t, 20));
    return words;
  };
  const auto text = [](const std::vector<PageWord>& words) {
    std::string all;
    for (const PageWord& w : words) all += w.Text() + " ";
    return all;
  };
  std::vector<PageWord> byline = line({"EiN", "BeRichT", "von", "JoNAs"});
  byline[0].chars[0].box.top = -8;  // the first letters stand as full capitals
  byline[1].chars[0].box.top = -8;
  byline[3].chars[0].box.top = -8;
  SettleSmallCapitals(&byline, 20);
  EXPECT_EQ(text(byline), "EIN BERICHT von JONAS ");

  std::vector<PageWord> prose = line({"Die", "Metern", "ReiSe"});
  prose[0].chars[0].box.top = -8;
  prose[1].chars[0].box.top = -8;
  SettleSmallCapitals(&prose, 20);  // one word shows a small "S": a misreading
  EXPECT_EQ(text(prose), "Die Metern ReiSe ");
  std::vector<PageWord> tall = line({"NATO", "Dank"});
  for (PageWord& w : tall)
    for (PageChar& c : w.chars)
      if (IsCapital1252(c.code)) c.box.top = -8;  // capitals of a capital's height
  SettleSmallCapitals(&tall, 20);
  EXPECT_EQ(text(tall), "NATO Dank ");
}

// A fax's speck above or below a small letter is no part of its height: the letter would
// stand as tall as its capital. Pieces beside the body (a broken stroke) and a large piece
// apart from it stay.
TEST(ExtendedWords, ABodysBoxLeavesOutSpecksAboveAndBelow) {
  const auto sides = [](const PageBox& b) { return std::array{b.left, b.top, b.right, b.bottom}; };
  ReadGlyph v;
  v.box = {100, 50, 114, 81};  // 15 x 32, as the bitmap
  v.ink = {15, 32, std::vector<uint8_t>(15 * 32, 0)};
  const auto ink = [&v](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) v.ink.ink[size_t(y * 15 + x)] = 1;
  };
  ink(0, 0, 0, 1);      // a speck far above
  ink(2, 14, 5, 27);    // the left stroke
  ink(14, 30, 14, 31);  // a speck below
  EXPECT_EQ(sides(BodyBox(v)), (std::array{102, 64, 105, 77}));
  ink(9, 16, 12, 27);  // the right stroke, broken off the left: beside it, kept
  EXPECT_EQ(sides(BodyBox(v)), (std::array{102, 64, 112, 77}));
  ink(6, 29, 12, 31);  // much ink below: part of the glyph (the speck beside it is not)
  EXPECT_EQ(sides(BodyBox(v)), (std::array{102, 64, 112, 81}));
  ReadGlyph whole = v;
  whole.ink = {15, 32, std::vector<uint8_t>(15 * 32, 1)};
  EXPECT_EQ(sides(BodyBox(whole)), sides(whole.box));
}

TEST(ExtendedWords, ReadingsAreSettledByTheirPlaceInTheWord) {
  PageWord number = WordOf("l9,5O");
  SettleCommas(&number);
  SettleDigits(&number);
  EXPECT_EQ(number.Text(), "19,50");
  // The reading replaced is kept as the best alternative, the new one is not repeated.
  ASSERT_FALSE(number.chars[0].alternatives.empty());
  EXPECT_EQ(number.chars[0].alternatives[0].code, 'l');
  for (const PageChar& c : number.chars)
    for (const Alternative& a : c.alternatives) EXPECT_NE(a.code, c.code);

  PageWord quoted = WordOf("\x82Wort");
  SettleCommas(&quoted);
  EXPECT_EQ(quoted.Text(), "\x82Wort");
  PageWord comma = WordOf("Wort\x82");
  SettleCommas(&comma);
  EXPECT_EQ(comma.Text(), "Wort,");
  for (const auto& [read, settled] :
       std::vector<std::pair<std::string, std::string>>{{"WeIIe", "WeIIe"},
                                                        {"W0che", "Woche"},
                                                        {"10er", "10er"},
                                                        {"A4", "A4"},
                                                        {"0TTO", "OTTO"},
                                                        {"2()26", "2026"},
                                                        {"18:0()", "18:00"},
                                                        {"f()", "f()"}}) {
    PageWord w = WordOf(read);
    SettleDigits(&w);
    EXPECT_EQ(w.Text(), settled);
  }
  // A broken nought's two sides are one character, over both their boxes.
  PageWord year = WordOf("2()26");
  SettleDigits(&year);
  ASSERT_EQ(year.chars.size(), 4u);
  EXPECT_EQ(year.chars[1].box.left, 12);
  EXPECT_EQ(year.chars[1].box.right, 33);

  // "I" and "l": by their neighbours, at the start of a word by height.
  const LetterHeights heights{1.5, 1.35};  // in x-heights
  for (const auto& [read, settled] :
       std::vector<std::pair<std::string, std::string>>{{"WeIIe", "Welle"},
                                                        {"BIatt", "Blatt"},
                                                        {"HOlZ", "HOIZ"},
                                                        {"IBM", "IBM"},
                                                        {"lBAN", "IBAN"},
                                                        {"lT", "IT"},
                                                        {"lA", "IA"}}) {
    PageWord w = WordOf(read);
    SettleIAndL(&w, heights, 20);
    EXPECT_EQ(w.Text(), settled);
  }
  PageWord tall = WordOf("Iang", 30), short_ = WordOf("lch", 27);
  SettleIAndL(&tall, heights, 20);
  SettleIAndL(&short_, heights, 20);
  EXPECT_EQ(tall.Text(), "lang");
  EXPECT_EQ(short_.Text(), "Ich");
  // Where the height tells nothing the reading stays: a typewriter's capitals stand as high as
  // its ascenders, a book face's a pixel apart, and a letter midway between is either.
  for (const auto& [apart, height] : std::vector<std::pair<LetterHeights, int32_t>>{
           {{1.4, 1.4}, 28}, {{1.45, 1.42}, 29}, {{1.5, 1.35}, 28}}) {
    PageWord le = WordOf("le", height), ich = WordOf("Ich", height);
    SettleIAndL(&le, apart, 20);
    SettleIAndL(&ich, apart, 20);
    EXPECT_EQ(le.Text(), "le");
    EXPECT_EQ(ich.Text(), "Ich");
  }
}

TEST(ExtendedWords, TheWideGapsAroundANarrowFigureDoNotSplitANumber) {
  // "ab 19 cd": letters 10 wide 2 apart, the "1" 8 from the "9", words 14 apart.
  const std::vector<PageBox> boxes = {{0, 0, 9, 20},   {12, 0, 21, 20}, {36, 0, 39, 20},
                                      {48, 0, 57, 20}, {72, 0, 81, 20}, {84, 0, 93, 20}};
  EXPECT_EQ(WordBreaks(boxes, 20, {'a', 'b', '1', '9', 'c', 'd'}),
            (std::vector<bool>{false, true, false, true, false}));
  EXPECT_EQ(WordBreaks(boxes, 20, {'a', 'b', 'x', 'y', 'c', 'd'}),
            (std::vector<bool>{false, true, true, true, false}));
}

// ---- the run ----

class ExtendedRunTest : public ::testing::Test {
 protected:
  HeadlessWindow window;
  // Beside the model, as the program finds it.
  TMainForm form{window, std::string(QUILLON_MODEL_DIR) + "/quillon", {}};
  void SetUp() override { form.FormCreate(); }

  void Install(const std::vector<uint8_t>& grey, int32_t width, int32_t height) {
    RasterImage image{};
    newdib(&image, width, height, 24, nullptr, 0);
    ASSERT_TRUE(image.pixels);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        uint8_t* p = DIBPixel24(image, x, y);
        p[0] = p[1] = p[2] = grey[size_t(y) * size_t(width) + size_t(x)];
      }
    form.InstallPicture(image);
  }
  // The output field's text, lines joined with line breaks (UTF-8).
  std::string Read() {
    form.settings.recogniser = RecogniserKind::Extended;
    form.TextErkennBtnClick();
    std::string text;
    for (const std::string& line : window.output) text += line + "\n";
    return text;
  }
};

TEST_F(ExtendedRunTest, ReadsTextInSeveralFacesAndSizes) {
  struct Case {
    const char* face;
    int32_t pixelsPerEm;
  };
  // Open Sans and EB Garamond are not among the template faces.
  for (const Case& c : {Case{"Liberation Sans", 50}, Case{"Liberation Serif", 42},
                        Case{"DejaVu Sans", 30}, Case{"Open Sans", 46}, Case{"EB Garamond", 50}}) {
    const auto font = Font(c.face, c.pixelsPerEm);
    ASSERT_TRUE(font) << c.face;
    DrawnPage page(c.pixelsPerEm * 24, c.pixelsPerEm * 5);
    const std::string first = "Der B\xE4r sa\xDF im Zug nach K\xF6ln.";
    const std::string second = "\x84Wie sp\xE4t ist es?\x93 fragte er: 19,50 \x80!";
    page.Text(*font, c.pixelsPerEm, c.pixelsPerEm * 2, first);
    page.Text(*font, c.pixelsPerEm, c.pixelsPerEm * 2 + c.pixelsPerEm * 3 / 2, second);
    Install(page.Grey(), page.canvas.Width(), page.canvas.Height());
    EXPECT_EQ(Read(), Cp1252ToUtf8(first + "\n" + second + "\n")) << c.face;
  }
}

TEST_F(ExtendedRunTest, PageResultNestsItsBoxesAndScoresWithinRange) {
  const auto font = Font("DejaVu Serif", 40);
  ASSERT_TRUE(font);
  DrawnPage page(1200, 300);
  page.Text(*font, 30, 80, "Zwei Zeilen, ein Block;");
  page.Text(*font, 30, 150,
            "\xFC"
            "berall Punkte: i, j, \xE4.");
  Install(page.Grey(), 1200, 300);
  Read();
  const PageText& result = form.pageText;
  EXPECT_EQ(result.width, 1200);
  ASSERT_EQ(result.blocks.size(), 1u);
  ASSERT_EQ(result.blocks[0].lines.size(), 2u);
  for (const PageBlock& block : result.blocks)
    for (const PageLine& line : block.lines) {
      EXPECT_TRUE(Inside(line.box, block.box));
      EXPECT_GE(line.words.size(), 3u);
      for (const PageWord& word : line.words) {
        EXPECT_TRUE(Inside(word.box, line.box));
        EXPECT_FALSE(word.chars.empty());
        for (const PageChar& c : word.chars) {
          EXPECT_TRUE(Inside(c.box, word.box));
          EXPECT_GE(c.confidence, 0.0);
          EXPECT_LE(c.confidence, 1.0);
          for (const Alternative& a : c.alternatives) {
            EXPECT_NE(a.code, c.code);
            EXPECT_LE(a.confidence, 1.0);
          }
        }
      }
    }
  EXPECT_NE(std::find(window.log.begin(), window.log.end(), "Starting OCR process..."),
            window.log.end());
  // A new column width keeps the extended run's text.
  const std::vector<std::string> shown = window.output;
  form.settings.KoorFakEd = 2.0;
  form.KoorFakEdChange();
  EXPECT_EQ(window.output, shown);
  EXPECT_EQ(window.log.back(), "done.");
}

TEST_F(ExtendedRunTest, WithoutAWindowNoBlackWhitePageIsMadeAndTheTextStays) {
  const auto font = Font("Liberation Sans", 40);
  ASSERT_TRUE(font);
  DrawnPage page(900, 200);
  page.Text(*font, 30, 90, "Ohne Fenster kein Bild.");
  form.settings.recogniser = RecogniserKind::Extended;
  form.pageUnseen = false;
  Install(page.Grey(), 900, 200);
  EXPECT_EQ(DIBWidth(form.bwImage), 900);  // the window shows it
  const std::string shown = Read();
  EXPECT_EQ(shown, "Ohne Fenster kein Bild.\n");
  deldib(&form.bwImage);
  form.pageUnseen = true;
  Install(page.Grey(), 900, 200);
  EXPECT_EQ(form.bwImage.pixels, nullptr);
  EXPECT_EQ(Read(), shown);
  form.settings.recogniser = RecogniserKind::Classic;  // the classic search needs it
  Install(page.Grey(), 900, 200);
  EXPECT_EQ(DIBWidth(form.bwImage), 900);
}

TEST_F(ExtendedRunTest, EmptyNoisyAndSolidPagesGiveLittleTextAndNoCrash) {
  Install(std::vector<uint8_t>(800 * 600, 255), 800, 600);
  EXPECT_EQ(Read(), "");
  std::mt19937 random(11);
  std::vector<uint8_t> noise(800 * 600);
  for (uint8_t& v : noise) v = uint8_t(random() % 256);
  Install(noise, 800, 600);
  EXPECT_LT(Read().size(), 200u);
  std::vector<uint8_t> solid(800 * 600, 0);
  Install(solid, 800, 600);
  EXPECT_EQ(Read(), "");
}

TEST(ExtendedRun, WithoutItsModelTheTemplatesReadAndTheLogSaysSo) {
  HeadlessWindow window;
  TMainForm form{window, "/nonexistent/quillon", {}};
  const auto font = Font("Liberation Sans", 50);
  ASSERT_TRUE(font);
  DrawnPage page(1200, 250);
  const std::string text = "Der B\xE4r sa\xDF im Zug.";
  page.Text(*font, 50, 100, text);
  RasterImage image{};
  newdib(&image, 1200, 250, 24, nullptr, 0);
  ASSERT_TRUE(image.pixels);
  const std::vector<uint8_t> grey = page.Grey();
  for (int32_t y = 0; y < 250; ++y)
    for (int32_t x = 0; x < 1200; ++x) {
      uint8_t* p = DIBPixel24(image, x, y);
      p[0] = p[1] = p[2] = grey[size_t(y) * 1200 + size_t(x)];
    }
  form.InstallPicture(image);
  form.settings.recogniser = RecogniserKind::Extended;
  form.TextErkennBtnClick();
  ASSERT_EQ(window.output.size(), 1u);
  EXPECT_EQ(window.output[0], Cp1252ToUtf8(text));
  EXPECT_TRUE(std::any_of(window.log.begin(), window.log.end(), [](const std::string& line) {
    return line.find("The templates read instead.") != std::string::npos;
  }));
}

// Where the user named no language, a page whose words are plainly another language's is
// read in that language; a named language is kept.
TEST_F(ExtendedRunTest, APageInAnotherLanguageIsReadInItUnlessTheLanguagesWereNamed) {
  const auto font = Font("DejaVu Serif", 30);
  ASSERT_TRUE(font);
  const auto readPage = [&](const std::vector<std::string>& lines) {
    DrawnPage page(1500, 60 * int32_t(lines.size()) + 60);
    for (size_t i = 0; i < lines.size(); ++i) page.Text(*font, 30, 60 + 60 * int32_t(i), lines[i]);
    Install(page.Grey(), page.canvas.Width(), page.canvas.Height());
    window.log.clear();
    window.output.clear();
    return Read();
  };
  const auto guessed = [&] {
    return std::any_of(window.log.begin(), window.log.end(),
                       [](const std::string& line) { return line.rfind("Languages: ", 0) == 0; });
  };
  const std::vector<std::string> english = {"The reading room of the library opens at nine,",
                                            "and the first of the visitors are waiting on",
                                            "the steps long before that. Most of them come",
                                            "for the papers, which are laid out on the table."};
  std::string text;
  for (const std::string& line : english) text += line + "\n";
  EXPECT_EQ(readPage(english), text);
  EXPECT_TRUE(guessed());
  EXPECT_EQ(form.PageLanguages(), "eng");
  EXPECT_EQ(form.pageText.language, "en");  // for hOCR and ALTO

  const std::vector<std::string> german = {"Der Saal war bis auf den letzten Platz besetzt,",
                                           "und viele der Zuh\xF6rer mussten an der Wand stehen,",
                                           "als sie die Briefe zeigte, die auf dem Dachboden",
                                           "eines der alten H\xE4user gefunden wurden."};
  readPage(german);
  EXPECT_FALSE(guessed());
  EXPECT_EQ(form.PageLanguages(), "deu");  // the last page's language is not kept
  EXPECT_EQ(form.pageText.language, "de");

  readPage(english);
  form.settings.languagesNamed = true;  // named after the page was read: the user's from now
  EXPECT_EQ(form.PageLanguages(), "deu");
  readPage(english);  // --language=deu
  EXPECT_FALSE(guessed());
  EXPECT_EQ(form.PageLanguages(), "deu");
}

// The program in a folder of its own, beside the glyph model and a German word list of the
// test's words, reading a page of the test data with the extended recogniser.
class ProgramWithWords {
 public:
  ProgramWithWords(const std::string& name, const std::vector<std::string>& germanWords)
      : dir_(FreshTestDir(name)) {
    for (const char* file : {"glyphnet.onnx", "glyphnet.labels", "letters.tsv"})
      std::filesystem::create_symlink(std::filesystem::path(QUILLON_MODEL_DIR) / file, dir_ / file);
    std::ofstream(dir_ / "german.spe", std::ios::binary) << EncodeWordList(germanWords);
    form = std::make_unique<TMainForm>(window, (dir_ / "quillon").string(),
                                       std::vector<std::string>{});
    form->FormCreate();
  }
  ~ProgramWithWords() {
    form.reset();
    std::filesystem::remove_all(dir_);
  }
  bool Read(const std::string& page) {
    if (!form->OpenPic(std::string(QUILLON_TEST_DATA) + "/pages/" + page)) return false;
    form->settings.recogniser = RecogniserKind::Extended;
    form->TextErkennBtnClick();
    return true;
  }

  HeadlessWindow window;
  std::unique_ptr<TMainForm> form;

 private:
  std::filesystem::path dir_;
};

// A copy of a copy of a page in a face of hairlines (Old Standard, which the glyph model never
// saw): the third line's letters lost theirs, its "m" stands as three stems. Glyph by glyph it
// reads like a picture's grain; read again as words, it is the page's text.
TEST(ExtendedRun, ALineWhoseLettersLostTheirHairlinesIsKeptAsItsWords) {
  std::istringstream words(
      "In der Werkstatt riecht es nach Lein\xF6l S\xE4gemehl und kaltem Kaffee Martin K\xFChn "
      "restauriert seit \xFC"
      "ber zwanzig Jahren alte M\xF6"
      "bel vor allem Schr\xE4nke und "
      "Kommoden aus der Zeit zwischen Viele St\xFC"
      "cke kommen aus "
      "Haushaltsaufl\xF6sungen manche aus Scheunen in denen sie jahrzehntelang unter Planen "
      "gestanden haben");
  ProgramWithWords program("quillon_hairlines", {std::istream_iterator<std::string>(words), {}});
  ASSERT_TRUE(program.Read("copy-of-a-copy-hairlines-lost.png"));
  const std::vector<std::string>& output = program.window.output;
  ASSERT_EQ(output.size(), 4u);
  EXPECT_EQ(output[2], Cp1252ToUtf8("Viele St\xFC"
                                    "cke kommen aus Haushaltsaufl\xF6sungen, "
                                    "manche aus Scheunen, in denen sie jahr"));
}

// A light copy of an English page whose letters fell apart into strokes: as first read its
// words are no language's, read again in German the English ones stand out, and the page is
// read in English, where the user named no language.
TEST(ExtendedRun, ALightCopyWhoseLettersFellApartIsReadInTheLanguageItsWordsThenShow) {
  // German is read with the word list the build makes from Debian's.
  std::ifstream german("/usr/share/dict/ngerman");
  if (!german) GTEST_SKIP() << "no German word list (Debian's wngerman)";
  std::vector<std::string> list;
  std::string line, word;
  while (std::getline(german, line))
    if (Utf8ToCp1252(line, &word) && !word.empty() && word.size() <= size_t(kMaxWordLength))
      list.push_back(word);
  ProgramWithWords program("quillon_apart", list);
  ASSERT_TRUE(program.Read("light-copy-english-strokes-apart.png"));
  EXPECT_EQ(program.form->PageLanguages(), "eng");
  ASSERT_GE(program.window.output.size(), 11u);  // every line, none left out as a picture's grain
  std::string text;
  for (const std::string& shown : program.window.output) text += shown + "\n";
  for (const char* phrase : {"Most of them come for the newspapers,",
                             "that the old gentleman in the painting has watched over",
                             "council proposed to close the branch and move its books"})
    EXPECT_NE(text.find(phrase), std::string::npos) << phrase << " in\n" << text;
}

// Eight-point Gentium Plus (a face the glyph model never saw) at 300 dpi: the foot serif of
// an "n" reaches the full stop or comma after it, and letter and mark are one object, read
// surely as the letter.
TEST(ExtendedRun, AFullStopOrCommaTouchingTheLetterBeforeItIsReadInSmallPrint) {
  std::istringstream words(
      "Am Donnerstag sprach die Historikerin Dr Anna Vogt im Gemeindesaal \xFC"
      "ber die Geschichte der Tuchmacher in unserer Stadt Der Saal war bis auf den letzten Platz "
      "besetzt und viele Zuh\xF6rer mussten stehen Sie zeigte alte Fotografien "
      "Rechnungsb\xFC"
      "cher und Briefe die erst vor wenigen Jahren auf einem Dachboden gefunden wurden");
  ProgramWithWords program("quillon_touching_stops",
                           {std::istream_iterator<std::string>(words), {}});
  ASSERT_TRUE(program.Read("small-print-stops-touching.png"));
  const std::vector<std::string>& output = program.window.output;
  ASSERT_EQ(output.size(), 3u);
  EXPECT_NE(output[1].find("mussten stehen. Sie zeigte alte Fotografien, Rechnungs"),
            std::string::npos)
      << output[1];
}

TEST_F(ExtendedRunTest, ClassicSettingKeepsTheClassicRun) {
  ASSERT_TRUE(form.OpenPic(std::string(QUILLON_SAMPLES) + "/sample.png"));
  form.settings.recogniser = RecogniserKind::Classic;
  form.TextErkennBtnClick();
  std::string text;
  for (const std::string& line : window.output) text += line + "\n";
  EXPECT_EQ(text, ReadFile(std::string(QUILLON_SAMPLES) + "/sample.txt"));
}

}  // namespace
