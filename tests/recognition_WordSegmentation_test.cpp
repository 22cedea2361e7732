// Words read again over the ways of joining their pieces, and readings weighed by the
// page's languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "recognition/ExtendedPage.h"
#include "recognition/WordCorrection.h"

namespace {

struct Words final : KnownWords {
  std::set<std::string> known;
  bool Knows(std::string_view word) const override { return known.count(std::string(word)) > 0; }
  bool Empty() const override { return known.empty(); }
};

InkLine Line() {
  InkLine line;
  line.xHeight = 20;
  line.baselineAt0 = 19;
  return line;
}

ReadGlyph Glyph(int32_t left, int32_t right, std::vector<ScoredChar> readings) {
  ReadGlyph g;
  g.box = {left, 0, right, 19};
  g.ink = {right - left + 1, 20, std::vector<uint8_t>(size_t(right - left + 1) * 20, 1)};
  g.readings = std::move(readings);
  return g;
}

std::string Text(const std::vector<ReadGlyph>& glyphs) {
  std::string text;
  for (const ReadGlyph& g : glyphs) text += char(g.readings.front().code);
  return text;
}

// A small mark on the baseline read as `code`.
ReadGlyph Speck(int32_t left, uint8_t code) {
  ReadGlyph g = Glyph(left, left + 3, {{code, 0.9}});
  g.box.top = 15;
  g.box.bottom = 18;
  g.ink = {4, 4, std::vector<uint8_t>(16, 1)};
  return g;
}

// Glyphs of `text` read surely, its full stops and commas specks on the baseline.
std::vector<ReadGlyph> Abbreviated(const std::string& text) {
  std::vector<ReadGlyph> glyphs;
  int32_t left = 0;
  for (const char c : text) {
    const bool speck = c == '.' || c == ',';
    glyphs.push_back(speck ? Speck(left, uint8_t(c)) : Glyph(left, left + 9, {{uint8_t(c), 0.99}}));
    left = glyphs.back().box.right + 3;
  }
  return glyphs;
}

// A glyph 10 pixels wide and `rows` high from the top of the line, inked where `inked(x, y)`.
template <typename Inked>
ReadGlyph DrawnGlyph(int32_t left, int32_t rows, std::vector<ScoredChar> readings, Inked inked) {
  ReadGlyph g = Glyph(left, left + 9, std::move(readings));
  g.box.bottom = rows - 1;
  g.ink = {10, rows, std::vector<uint8_t>(size_t(10 * rows), 0)};
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < 10; ++x) g.ink.ink[size_t(y * 10 + x)] = inked(x, y);
  return g;
}

// Reads a joined glyph by its columns, as given; anything else as two letters together.
struct Joins {
  std::map<std::pair<int32_t, int32_t>, std::vector<ScoredChar>> wholes;
  int32_t glyphsRead = 0;
  std::map<std::pair<int32_t, int32_t>, int32_t> timesRead;  // by columns
  ClassifyBatch Reader() {
    return [this](const std::vector<GlyphToRead>& batch) {
      std::vector<GlyphReading> readings;
      for (const GlyphToRead& g : batch) {
        ++glyphsRead;
        ++timesRead[{g.box.left, g.box.right}];
        const auto found = wholes.find({g.box.left, g.box.right});
        readings.emplace_back(found != wholes.end() ? found->second
                                                    : std::vector<ScoredChar>{{'?', 0.05}});
        // What the classifier saw: here, where it looked.
        readings.back().features = std::make_shared<const std::vector<float>>(
            std::vector<float>{float(g.box.left), float(g.box.right)});
      }
      return readings;
    };
  }
};

// "hoch" whose "h" broke into a stem and an arch: "lìoch", then " so" apart.
std::vector<ReadGlyph> BrokenHoch() {
  return {Glyph(0, 4, {{'l', 0.95}}),   Glyph(7, 16, {{0xEC, 0.5}, {'i', 0.3}}),
          Glyph(20, 30, {{'o', 0.99}}), Glyph(33, 42, {{'c', 0.99}}),
          Glyph(45, 56, {{'h', 0.99}}), Glyph(80, 88, {{'s', 0.99}}),
          Glyph(91, 100, {{'o', 0.99}})};
}

}  // namespace

TEST(WordSegmentation, BrokenLetterJoinedWhereItMakesAKnownWord) {
  Joins joins;
  joins.wholes[{0, 16}] = {{'h', 0.9}, {'b', 0.05}};
  Words words;
  words.known = {"hoch", "so"};
  std::vector<ReadGlyph> glyphs = BrokenHoch();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "hochso");
  EXPECT_EQ(glyphs[0].box.left, 0);
  EXPECT_EQ(glyphs[0].box.right, 16);
  EXPECT_EQ(glyphs[0].ink.width, 17);
  // The joined glyph carries what the classifier saw of it, for the page's shapes.
  ASSERT_TRUE(glyphs[0].features);
  EXPECT_EQ(*glyphs[0].features, (std::vector<float>{0, 16}));

  // Without the word among the languages' words the pieces stay unless the whole reads
  // clearly better than they do.
  Words others;
  others.known = {"so"};
  Joins doubtfulWhole;
  doubtfulWhole.wholes[{0, 16}] = {{'h', 0.4}, {'b', 0.3}};
  glyphs = BrokenHoch();
  ReadDoubtfulWordsAgain(&glyphs, Line(), doubtfulWhole.Reader(), others);
  EXPECT_EQ(Text(glyphs), std::string("l\xECochso"));
  glyphs = BrokenHoch();
  ReadDoubtfulWordsAgain(&glyphs, Line(), doubtfulWhole.Reader(), words);
  EXPECT_EQ(Text(glyphs), "hochso");
}

// A copy of a copy loses a letter's thin strokes: of a "D" only its stem and the right side
// of its bowl stay, two thirds of an x-height apart, and they read as "l)".
TEST(WordSegmentation, LetterThatLostItsThinStrokesIsJoinedAcrossItsGap) {
  Joins joins;
  joins.wholes[{0, 27}] = {{'D', 0.6}, {'O', 0.3}};
  Words words;
  words.known = {"Dank", "so"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 4, {{'l', 0.95}}),    Glyph(18, 27, {{')', 0.95}}),
                                   Glyph(31, 40, {{'a', 0.99}}),  Glyph(43, 52, {{'n', 0.99}}),
                                   Glyph(55, 64, {{'k', 0.99}}),  Glyph(95, 104, {{'s', 0.99}}),
                                   Glyph(107, 116, {{'o', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Dankso");
  EXPECT_EQ(glyphs[0].box.right, 27);
}

// A fax breaks a "d" into a bow read as "(" and a stem read as "l", each more confidently
// than the "d" the two make together. No list knows the word; how German spells settles it.
TEST(WordSegmentation, ABrokenLetterIsJoinedWhereThePiecesSpellLikeNoWord) {
  const auto dreimal = [] {
    std::vector<ReadGlyph> glyphs = {Glyph(0, 4, {{'(', 0.9}, {'c', 0.05}}),
                                     Glyph(7, 10, {{'l', 0.9}, {'I', 0.05}})};
    int32_t left = 14;
    for (const char c : std::string("reimal")) {
      glyphs.push_back(Glyph(left, left + 9, {{uint8_t(c), 0.99}}));
      left += 13;
    }
    return glyphs;
  };
  Joins joins;
  joins.wholes[{0, 10}] = {{'d', 0.95}};
  Words words;
  words.known = {"so"};
  std::vector<ReadGlyph> glyphs = dreimal();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "(lreimal");

  const LetterModel german =
      LetterModel::FromFile(std::string(QUILLON_MODEL_DIR) + "/letters.tsv", {"deu"});
  ASSERT_FALSE(german.Empty());
  glyphs = dreimal();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "dreimal");
  EXPECT_EQ(glyphs[0].box.right, 10);

  // A word read confidently keeps its letters, however it spells ("Kyrill", a name).
  glyphs.clear();
  int32_t left = 0;
  for (const char c : std::string("Kyrill")) {
    glyphs.push_back(Glyph(left, left + 9, {{uint8_t(c), 0.97}, {'x', 0.02}}));
    left += 13;
  }
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "Kyrill");

  // Two letters read surely are no broken letter: a bold face's "nj", whose whole reads as a
  // fair "m", stays two letters however the language spells "nj" ("Regemacke").
  glyphs.clear();
  left = 0;
  for (const char c : std::string("Regenjacke")) {
    glyphs.push_back(Glyph(left, left + 9, {{uint8_t(c), c == 'j' ? 0.999 : 1.0}}));
    left += 13;
  }
  glyphs[1].readings = {{'e', 0.7}, {'c', 0.3}};  // a word in doubt is read again
  Joins nj;
  nj.wholes[{52, 74}] = {{'m', 0.96}};
  ReadDoubtfulWordsAgain(&glyphs, Line(), nj.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "Regenjacke");
}

// "1o.ooo": the noughts of a number read as "o" are the digit rules' to settle. The letter
// model has no say in a reading with a figure, so "ooo", which no list spells, does not
// make them pieces ("()") instead.
TEST(WordSegmentation, TheLetterModelHasNoSayInANumber) {
  std::vector<ReadGlyph> glyphs = {Glyph(0, 8, {{'1', 0.99}})};
  Joins pieces;
  for (int32_t left = 12; left < 12 + 3 * 22; left += 22) {
    ReadGlyph nought = Glyph(left, left + 17, {{'o', 0.6}, {'0', 0.3}});
    for (int32_t y = 0; y < 20; ++y)
      nought.ink.ink[size_t(y) * 18 + 8] = nought.ink.ink[size_t(y) * 18 + 9] = 0;
    glyphs.push_back(nought);
    pieces.wholes[{left, left + 7}] = {{'(', 0.9}};
    pieces.wholes[{left + 10, left + 17}] = {{')', 0.9}};
  }
  Words words;
  words.known = {"so"};
  const LetterModel german =
      LetterModel::FromFile(std::string(QUILLON_MODEL_DIR) + "/letters.tsv", {"deu"});
  ReadDoubtfulWordsAgain(&glyphs, Line(), pieces.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "1ooo");

  // Figures that the reading makes of the pieces of a letter are no number: "new", an English
  // word on a page read as German, is not "11ew".
  ReadGlyph n = Glyph(0, 17, {{'n', 0.7}, {'h', 0.2}});
  for (int32_t y = 0; y < 20; ++y)
    n.ink.ink[size_t(y) * 18 + 8] = n.ink.ink[size_t(y) * 18 + 9] = 0;
  pieces.wholes[{0, 7}] = {{'1', 0.95}};
  pieces.wholes[{10, 17}] = {{'1', 0.95}};
  glyphs = {n, Glyph(21, 30, {{'e', 0.97}}), Glyph(33, 46, {{'w', 0.97}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), pieces.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "new");
}

// A copy of a copy breaks the "o" of "so" into a "(" and a ")": a word of one letter, which
// would not be read again, but an opening mark after a letter is out of its place.
TEST(WordSegmentation, AWordWithAMarkOutOfPlaceIsReadAgain) {
  Joins joins;
  joins.wholes[{12, 24}] = {{'o', 0.8}, {'0', 0.1}};
  Words words;
  words.known = {"so"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 9, {{'s', 0.99}}), Glyph(12, 16, {{'(', 0.9}}),
                                   Glyph(19, 24, {{')', 0.9}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "so");

  // Marks in their places are left as read: "(so)".
  std::vector<ReadGlyph> bracketed = {Glyph(0, 4, {{'(', 0.9}}), Glyph(8, 17, {{'s', 0.99}}),
                                      Glyph(20, 29, {{'o', 0.99}}), Glyph(32, 36, {{')', 0.9}})};
  joins.glyphsRead = 0;
  ReadDoubtfulWordsAgain(&bracketed, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(bracketed), "(so)");
  EXPECT_EQ(joins.glyphsRead, 0);

  // A known word with a mark out of its place is none: "Inc.," whose last letter and marks
  // read together as "%" is not "In%" for the known "In".
  Words in;
  in.known = {"In"};
  std::vector<ReadGlyph> inc = Abbreviated("Inc.,");
  inc[2].readings = {{'c', 0.6}, {'e', 0.3}};
  joins.wholes[{inc[2].box.left, inc[4].box.right}] = {{'%', 0.99}};
  ReadDoubtfulWordsAgain(&inc, Line(), joins.Reader(), in);
  EXPECT_EQ(Text(inc), "Inc.,");
}

// A fax's stray pixels above an "e" read as an accent: "dÂr". The letter is read again
// without them where that makes a known word; two dots are left alone ("Wöhler", a name, is
// not the "Wohler" of a list).
TEST(WordSegmentation, StrayInkAboveALetterIsLeftOutWhereThatMakesAKnownWord) {
  // A glyph whose top rows hold pieces apart from its body: at columns `xs`.
  const auto withInkAbove = [](int32_t left, std::vector<ScoredChar> readings,
                               std::vector<int32_t> xs) {
    ReadGlyph g = Glyph(left, left + 9, std::move(readings));
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 10; ++x)
        g.ink.ink[size_t(y) * 10 + size_t(x)] =
            y < 2 && std::find(xs.begin(), xs.end(), x) != xs.end();
    return g;
  };
  Joins bodies;
  bodies.wholes[{13, 22}] = {{'e', 0.8}, {'c', 0.1}};
  Words words;
  words.known = {"der", "Wohler", "dort", "auf"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 9, {{'d', 0.99}}),
                                   withInkAbove(13, {{0xC2, 0.7}, {'E', 0.2}}, {4}),  // Â
                                   Glyph(26, 35, {{'r', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), bodies.Reader(), words);
  EXPECT_EQ(Text(glyphs), "der");
  EXPECT_EQ(glyphs[1].box.top, 4);
  EXPECT_EQ(glyphs[1].ink.height, 16);

  // An "o" with a speck over it reads as an "8", and an "a" with one as an "ä".
  bodies.wholes[{13, 22}] = {{'o', 0.8}};
  glyphs = {Glyph(0, 9, {{'d', 0.99}}), withInkAbove(13, {{'8', 0.6}, {0xD4, 0.3}}, {4}),
            Glyph(26, 35, {{'r', 0.99}}), Glyph(39, 45, {{'t', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), bodies.Reader(), words);
  EXPECT_EQ(Text(glyphs), "dort");
  bodies.wholes[{0, 9}] = {{'a', 0.8}};
  glyphs = {withInkAbove(0, {{0xE4, 0.9}}, {4}), Glyph(13, 22, {{'u', 0.99}}),
            Glyph(26, 32, {{'f', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), bodies.Reader(), words);
  EXPECT_EQ(Text(glyphs), "auf");

  // The two dots of an "ö" are its own: a name stays a name.
  glyphs = {Glyph(0, 9, {{'W', 0.99}}),   withInkAbove(13, {{0xF6, 0.7}, {'E', 0.2}}, {2, 7}),
            Glyph(26, 35, {{'h', 0.99}}), Glyph(39, 42, {{'l', 0.99}}),
            Glyph(46, 55, {{'e', 0.99}}), Glyph(59, 66, {{'r', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), bodies.Reader(), words);
  EXPECT_EQ(Text(glyphs), "W\xF6hler");
}

// A fax's speck under an "e", joined to it as if a cedilla, reads as a "g"; one beside an
// "o", within its box, as a "g" too. The letter is read again without it where that makes a
// known word. A "ç" keeps its cedilla and an "ï" its dots.
TEST(WordSegmentation, StrayInkBelowOrBesideALetterIsLeftOutWhereThatMakesAKnownWord) {
  const auto withInkBelow = [](int32_t left, std::vector<ScoredChar> readings) {
    return DrawnGlyph(left, 26, std::move(readings),
                      [](int32_t x, int32_t y) { return y < 20 || (y > 22 && x == 4); });
  };
  const auto withSpeck = [](int32_t left, std::vector<ScoredChar> readings) {
    return DrawnGlyph(left, 20, std::move(readings),
                      [](int32_t x, int32_t y) { return x < 8 || (x == 9 && y / 2 == 4); });
  };
  Joins bodies;
  bodies.wholes[{13, 22}] = {{'e', 0.8}};
  bodies.wholes[{13, 20}] = {{'o', 0.8}};
  bodies.wholes[{26, 33}] = {{'i', 0.8}};
  Words words;
  words.known = {"Ne", "Re", "so", "Ski"};
  const auto read = [&](std::vector<ReadGlyph> glyphs) {
    ReadDoubtfulWordsAgain(&glyphs, Line(), bodies.Reader(), words);
    return glyphs;
  };
  std::vector<ReadGlyph> glyphs =
      read({Glyph(0, 9, {{'N', 0.99}}), withInkBelow(13, {{'g', 0.7}})});
  EXPECT_EQ(Text(glyphs), "Ne");
  EXPECT_EQ(glyphs[1].box.bottom, 19);
  EXPECT_EQ(Text(read({Glyph(0, 9, {{'R', 0.99}}), withInkBelow(13, {{0xE7, 0.7}})})), "R\xE7");
  glyphs = read({Glyph(0, 9, {{'s', 0.99}}), withSpeck(13, {{'g', 0.7}})});
  EXPECT_EQ(Text(glyphs), "so");
  EXPECT_EQ(glyphs[1].box.right, 20);
  EXPECT_EQ(Text(read({Glyph(0, 9, {{'S', 0.99}}), Glyph(13, 22, {{'k', 0.99}}),
                       withSpeck(26, {{0xEF, 0.7}})})),
            "Sk\xEF");
}

// A fax's letter broke into pieces, and a streak stands over the first: an "m" as an "l" of
// a stroke and a streak, and an "n" of the rest. Joined as they stand they read as an "h";
// joined without the streak, as the "m" of a known word.
TEST(WordSegmentation, PiecesOfALetterAreJoinedWithoutStrayInkAboveThem) {
  ReadGlyph stroke = Glyph(33, 36, {{'l', 0.6}, {'i', 0.2}});
  stroke.box.top = -8;
  stroke.ink = {4, 28, std::vector<uint8_t>(4 * 28, 0)};
  for (int32_t y = 0; y < 28; ++y)
    for (int32_t x = 0; x < 4; ++x)
      stroke.ink.ink[size_t(y * 4 + x)] = y < 4 ? x == 1 : y >= 8;  // the streak, the stroke
  const ClassifyBatch reader = [](const std::vector<GlyphToRead>& batch) {
    std::vector<GlyphReading> readings;
    for (const GlyphToRead& g : batch) {
      const bool both = g.box.left == 33 && g.box.right == 47;
      readings.emplace_back(both && g.box.top == 0 ? std::vector<ScoredChar>{{'m', 0.9}}
                            : both                 ? std::vector<ScoredChar>{{'h', 0.5}}
                                                   : std::vector<ScoredChar>{{'?', 0.05}});
    }
    return readings;
  };
  Words words;
  words.known = {"Team"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 8, {{'T', 0.99}}), Glyph(11, 19, {{'e', 0.99}}),
                                   Glyph(22, 30, {{'a', 0.99}}), stroke,
                                   Glyph(38, 47, {{'n', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), reader, words);
  EXPECT_EQ(Text(glyphs), "Team");
  EXPECT_EQ(glyphs[3].box.top, 0);
}

// A fax's "m" with specks over it reads as nothing sure; wide and doubtful, it may be two
// letters and is tried at its cuts too. Read whole without the specks, it is the "m" of a
// known word.
TEST(WordSegmentation, AGlyphThatMayBeCutIsAlsoReadWithoutItsSpecks) {
  ReadGlyph m = DrawnGlyph(13, 28, {{'A', 0.3}, {'h', 0.2}}, [](int32_t, int32_t) { return 0; });
  m.box = {13, -8, 40, 19};
  m.ink = {28, 28, std::vector<uint8_t>(28 * 28, 0)};
  for (int32_t y = 0; y < 28; ++y)
    for (int32_t x = 0; x < 28; ++x) {
      const bool speck = y < 2 && (x == 6 || x == 20);
      const bool stem = x % 12 < 4, arch = y < 11;
      m.ink.ink[size_t(y * 28 + x)] = speck || (y >= 8 && (stem || arch));
    }
  const ClassifyBatch reader = [](const std::vector<GlyphToRead>& batch) {
    std::vector<GlyphReading> readings;
    for (const GlyphToRead& g : batch)
      readings.emplace_back(g.box.left == 13 && g.box.right == 40 && g.box.top == 0
                                ? std::vector<ScoredChar>{{'m', 0.9}}
                                : std::vector<ScoredChar>{{'?', 0.05}});
    return readings;
  };
  Words words;
  words.known = {"um"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 9, {{'u', 0.99}}), m};
  ReadDoubtfulWordsAgain(&glyphs, Line(), reader, words);
  EXPECT_EQ(Text(glyphs), "um");
  EXPECT_EQ(glyphs[1].box.top, 0);
}

// A fax lost the hairline of an "m" after its first stroke, and its arch touches the "i" after
// it: a stroke, and a glyph of an "n" and an "i" read as "m". The stroke joined with the
// glyph's front piece is the "m" of a known word.
TEST(WordSegmentation, APieceOfACutGlyphIsJoinedWithTheGlyphBesideIt) {
  const ReadGlyph stroke = Glyph(0, 3, {{'I', 0.6}, {'l', 0.3}});
  ReadGlyph ni = DrawnGlyph(7, 20, {{'m', 0.6}, {'n', 0.2}}, [](int32_t, int32_t) { return 0; });
  ni.box.right = 30;
  ni.ink = {24, 20, std::vector<uint8_t>(24 * 20, 0)};
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 24; ++x) {
      const bool n = x < 4 || (x >= 10 && x < 14) || (x < 14 && y < 3);
      const bool bridge = x >= 14 && x < 20 && y == 0, i = x >= 20;
      ni.ink.ink[size_t(y * 24 + x)] = n || bridge || i;
    }
  const ClassifyBatch reader = [](const std::vector<GlyphToRead>& batch) {
    std::vector<GlyphReading> readings;
    for (const GlyphToRead& g : batch) {
      const int32_t width = g.box.Width();
      readings.emplace_back(
          g.box.left == 0 && width >= 14 && width <= 22 ? std::vector<ScoredChar>{{'m', 0.9}}
          : g.box.left >= 20 && width <= 10             ? std::vector<ScoredChar>{{'i', 0.9}}
                                                        : std::vector<ScoredChar>{{'?', 0.05}});
    }
    return readings;
  };
  Words words;
  words.known = {"mit"};
  std::vector<ReadGlyph> glyphs = {stroke, ni, Glyph(34, 40, {{'t', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), reader, words);
  EXPECT_EQ(Text(glyphs), "mit");
  EXPECT_EQ(glyphs[0].box.left, 0);
  EXPECT_GE(glyphs[1].box.left, 20);
}

TEST(WordSegmentation, KnownConfidentWordsAndFiguresAreNotReadAgain) {
  Joins joins;
  Words words;
  words.known = {"so"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 8, {{'s', 0.99}}), Glyph(11, 20, {{'o', 0.99}}),
                                   Glyph(40, 48, {{'1', 0.99}}), Glyph(51, 59, {{'9', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "so19");
  EXPECT_EQ(joins.glyphsRead, 0);

  // An elided word is known by its pieces: "d'un" where the languages know "un".
  words.known = {"un"};
  std::vector<ReadGlyph> elided = {Glyph(0, 8, {{'d', 0.99}}), Glyph(10, 12, {{0x92, 0.99}}),
                                   Glyph(14, 22, {{'u', 0.99}}), Glyph(25, 33, {{'n', 0.99}})};
  ReadDoubtfulWordsAgain(&elided, Line(), joins.Reader(), words);
  EXPECT_EQ(joins.glyphsRead, 0);
}

// An e-mail or web address is no word of any language: it stays as read, where letters and
// marks that read as no word are read again.
TEST(WordSegmentation, AnAddressIsNotReadAgain) {
  Words words;
  words.known = {"so"};
  const auto glyphsOf = [](const std::string& text) {
    std::vector<ReadGlyph> glyphs;
    for (size_t i = 0; i < text.size(); ++i)
      glyphs.push_back(Glyph(int32_t(i) * 12, int32_t(i) * 12 + 9, {{uint8_t(text[i]), 0.99}}));
    return glyphs;
  };
  for (const std::string address : {"info@werk-mueller.de", "www.quillon.org"}) {
    Joins joins;
    std::vector<ReadGlyph> glyphs = glyphsOf(address);
    ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
    EXPECT_EQ(joins.glyphsRead, 0) << address;
    EXPECT_EQ(Text(glyphs), address);
  }
  Joins joins;
  std::vector<ReadGlyph> notAnAddress = glyphsOf("caf@");
  ReadDoubtfulWordsAgain(&notAnAddress, Line(), joins.Reader(), words);
  EXPECT_GT(joins.glyphsRead, 0);
}

TEST(WordSegmentation, MarkAfterAWordStaysWhereThePiecesReadWell) {
  // "erat," where "t," together read as a fair "t": the comma stays a character.
  Joins joins;
  joins.wholes[{30, 44}] = {{'t', 0.9}};
  Words words;
  words.known = {"erat"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 8, {{'e', 0.99}}), Glyph(11, 17, {{'r', 0.99}}),
                                   Glyph(20, 28, {{'a', 0.6}, {'o', 0.3}}),
                                   Glyph(30, 37, {{'t', 0.98}}), Glyph(40, 44, {{',', 0.97}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "erat,");

  // A word in doubt ("erot,") whose "t" (0.59) and comma read together a little likelier
  // than apart: two pieces of a letter would join so, a letter and a comma stay apart.
  const auto read = [&joins, &words](double t, double comma) {
    std::vector<ReadGlyph> word = {Glyph(0, 8, {{'e', 0.99}}), Glyph(11, 17, {{'r', 0.99}}),
                                   Glyph(20, 28, {{'o', 0.6}, {'a', 0.35}}),
                                   Glyph(30, 37, {{'t', t}, {'f', 0.05}}),
                                   Glyph(40, 44, {{',', comma}})};
    ReadDoubtfulWordsAgain(&word, Line(), joins.Reader(), words);
    return Text(word);
  };
  EXPECT_EQ(read(0.59, 0.97), "erat,");
  // Where the whole reads far likelier, the comma was the letter's ink.
  EXPECT_EQ(read(0.3, 0.6), "erat");
}

TEST(WordSegmentation, WithoutAJoinTheReadingsAreLeftToTheLaterSettling) {
  // "lm" or "Im": which of the look-alikes is right is settled by the letters' heights later;
  // a known word among the readings does not change them here.
  Joins joins;
  Words words;
  words.known = {"im"};
  std::vector<ReadGlyph> glyphs = {Glyph(0, 3, {{'l', 0.6}, {'I', 0.3}, {'i', 0.1}}),
                                   Glyph(6, 30, {{'m', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "lm");
  EXPECT_EQ(glyphs[0].readings.size(), 3u);
}

namespace {

// A word of well-spaced glyphs, one a character, each with its readings.
std::vector<ReadGlyph> Spelled(const std::vector<std::vector<ScoredChar>>& letters) {
  std::vector<ReadGlyph> glyphs;
  for (size_t i = 0; i < letters.size(); ++i)
    glyphs.push_back(Glyph(int32_t(i) * 14, int32_t(i) * 14 + 10, letters[i]));
  return glyphs;
}

}  // namespace

TEST(WordSegmentation, AnotherReadingTakenWhereItMakesAKnownWord) {
  // A face the model has not seen: its "t" reads as "f" with "t" second ("sonf").
  Joins joins;
  Words words;
  words.known = {"sont"};
  const std::vector<std::vector<ScoredChar>> sonf = {
      {{'s', 0.99}}, {{'o', 0.99}}, {{'n', 0.99}}, {{'f', 0.78}, {'t', 0.21}}};
  std::vector<ReadGlyph> glyphs = Spelled(sonf);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "sont");
  ASSERT_EQ(glyphs[3].readings.size(), 2u);  // the other reading kept as the alternative
  EXPECT_EQ(glyphs[3].readings[1].code, 'f');

  words.known = {"so"};
  glyphs = Spelled(sonf);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "sonf");
}

TEST(WordSegmentation, ALongKnownWordOutweighsMoreDoubtThanAShortOne) {
  // A fax lost the bars of the "e"s: each reads "c" three times likelier than "e".
  Joins joins;
  Words words;
  words.known = {"Niederschlag", "den"};
  const std::vector<ScoredChar> lostBar = {{'c', 0.6}, {'e', 0.2}};
  std::vector<std::vector<ScoredChar>> letters;
  for (const char c : std::string("Niederschlag"))
    letters.push_back(c == 'e' ? lostBar : std::vector<ScoredChar>{{uint8_t(c), 0.99}});
  std::vector<ReadGlyph> glyphs = Spelled(letters);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Niederschlag");

  // In a short word the same doubt twice over is too much: "dcn" stays.
  const std::vector<ScoredChar> doubtful = {{'c', 0.9}, {'e', 0.04}};
  glyphs = Spelled({{{'d', 0.99}}, doubtful, {{'n', 0.99}}});
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "dcn");
}

TEST(WordSegmentation, AKnownWordIsFoundWhereEveryLetterIsInDoubt) {
  // A fax page: every letter of "Zeitung" reads a little likelier as a look-alike, so its
  // own spelling is the least likely of the word's 128 readings.
  Joins joins;
  Words words;
  words.known = {"Zeitung"};
  const std::string misread = "2clfnuq";
  std::vector<std::vector<ScoredChar>> letters;
  for (size_t i = 0; i < misread.size(); ++i)
    letters.push_back({{uint8_t(misread[i]), 0.55}, {uint8_t("Zeitung"[i]), 0.45}});
  std::vector<ReadGlyph> glyphs = Spelled(letters);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Zeitung");
}

TEST(WordSegmentation, AFigureAgainstTheLettersMakesNoKnownWord) {
  // "Paddler," whose "r" touches its comma: joined they read as "5", and "Paddle" is a word.
  Joins joins;
  joins.wholes[{84, 108}] = {{'5', 0.9}};
  Words words;
  words.known = {"Paddle"};
  std::vector<std::vector<ScoredChar>> letters;
  for (const char c : std::string("Paddler")) letters.push_back({{uint8_t(c), 0.99}});
  letters.push_back({{',', 0.74}, {0x82, 0.25}});
  std::vector<ReadGlyph> glyphs = Spelled(letters);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Paddler,");
}

TEST(CharacterPriors, LettersOfThePageLanguagesKeepTheirOdds) {
  std::vector<Language> german, french;
  std::string error;
  ASSERT_TRUE(ParseLanguages("deu", &german, &error));
  ASSERT_TRUE(ParseLanguages("fra+deu", &french, &error));
  const CharacterPriors de = PriorsOf(german), fr = PriorsOf(french);
  for (const uint8_t plain :
       {uint8_t('e'), uint8_t('E'), uint8_t('7'), uint8_t(','), uint8_t(0xD7)})
    EXPECT_EQ(de[plain], 1.0) << int(plain);
  for (const uint8_t german_letter : {0xE4, 0xC4, 0xDF, 0xFC, 0xDC})  // ä Ä ß ü Ü
    EXPECT_EQ(de[german_letter], 1.0) << german_letter;
  for (const uint8_t foreign : {0xEA, 0xCA, 0xEC, 0xF1, 0x8A, 0xE6})  // ê Ê ì ñ Š æ
    EXPECT_LT(de[foreign], 1.0) << foreign;
  EXPECT_EQ(fr[0xEA], 1.0);  // ê
  EXPECT_EQ(fr[0xCA], 1.0);  // Ê
  EXPECT_EQ(fr[0x9C], 1.0);  // œ
  EXPECT_EQ(fr[0x8C], 1.0);  // Œ
  EXPECT_EQ(fr[0xE4], 1.0);  // ä of German
  EXPECT_LT(fr[0xF1], 1.0);  // ñ
  // Rare marks: a lone accent in no language, the middle dot only in Catalan.
  std::vector<Language> catalan;
  ASSERT_TRUE(ParseLanguages("cat", &catalan, &error));
  EXPECT_LT(de[0xB7], 1.0);  // ·
  EXPECT_LT(de[0xB4], 1.0);  // ´
  EXPECT_EQ(PriorsOf(catalan)[0xB7], 1.0);
  EXPECT_LT(PriorsOf(catalan)[0xB4], 1.0);
  for (const uint8_t common : {0xAB, 0xBB, 0xA7, 0xB0, 0x84, 0x93})  // « » § ° „ “
    EXPECT_EQ(de[common], 1.0) << int(common);
}

TEST(CharacterPriors, WeighingKeepsADistributionBestFirst) {
  CharacterPriors priors;
  priors.fill(1.0);
  priors[0xEA] = 0.1;  // ê
  GlyphReading reading({{0xEA, 0.6}, {'e', 0.3}, {'c', 0.05}});
  reading.oneCharacter = 0.97;
  WeighByPriors(priors, &reading);
  ASSERT_EQ(reading.readings.size(), 3u);
  EXPECT_EQ(reading.readings[0].code, 'e');
  EXPECT_EQ(reading.readings[1].code, 0xEA);
  // 0.6 of 1 became 0.06: the rest shares 0.46 in all.
  EXPECT_NEAR(reading.readings[0].score, 0.3 / 0.46, 1e-9);
  EXPECT_NEAR(reading.readings[1].score, 0.06 / 0.46, 1e-9);
  EXPECT_NEAR(reading.oneCharacter, (0.97 - 0.54) / 0.46, 1e-9);
  EXPECT_LE(reading.oneCharacter, 1.0);

  // A clear foreign letter still wins over a poor look-alike.
  GlyphReading clear({{0xEA, 0.98}, {'e', 0.01}});
  clear.oneCharacter = 0.99;
  WeighByPriors(priors, &clear);
  EXPECT_EQ(clear.readings[0].code, 0xEA);
}

TEST(WordSegmentation, TwoLettersPrintedAsOneAreCutWhereThatMakesAKnownWord) {
  // "6rst": the "fi" of "first" printed as one glyph reads as a figure. Its ink has a gap of
  // two columns between the letters' strokes, where it is cut.
  ReadGlyph fi = Glyph(0, 17, {{'6', 0.9}, {'b', 0.05}});
  for (int32_t y = 0; y < 20; ++y)
    fi.ink.ink[size_t(y) * 18 + 8] = fi.ink.ink[size_t(y) * 18 + 9] = 0;
  std::vector<ReadGlyph> glyphs = {fi, Glyph(20, 26, {{'r', 0.99}}), Glyph(29, 36, {{'s', 0.99}}),
                                   Glyph(39, 44, {{'t', 0.99}})};
  Joins pieces;
  pieces.wholes[{0, 7}] = {{'f', 0.9}};
  pieces.wholes[{10, 17}] = {{'i', 0.85}, {'l', 0.1}};
  Words words;
  words.known = {"first"};
  ReadDoubtfulWordsAgain(&glyphs, Line(), pieces.Reader(), words);
  EXPECT_EQ(Text(glyphs), "first");
  EXPECT_EQ(glyphs[0].box.right, 7);
  EXPECT_EQ(glyphs[1].box.left, 10);

  // The same glyph read confidently as `read`, its halves as `left` and `right`, before
  // `next` and "t", where the languages know `known`: the word as chosen. The classifier
  // believes the glyph one character with `oneCharacter`.
  const auto chosen = [&fi](uint8_t read, uint8_t left, uint8_t right, uint8_t next,
                            const std::string& known, double oneCharacter = 0.9999) {
    Joins halves;
    halves.wholes[{0, 7}] = {{left, 0.95}};
    halves.wholes[{10, 17}] = {{right, 0.95}};
    Words only;
    only.known = {known};
    std::vector<ReadGlyph> word = {fi, Glyph(20, 26, {{next, 0.99}}), Glyph(29, 36, {{'t', 0.99}})};
    word[0].readings = {{read, 0.97}};
    word[0].oneCharacter = oneCharacter;
    ReadDoubtfulWordsAgain(&word, Line(), halves.Reader(), only);
    return Text(word);
  };
  // A letter the classifier is sure of is not cut, even where its pieces would make a known
  // word ("d" as "cl").
  EXPECT_EQ(chosen('d', 'c', 'l', 'a', "clat"), "dat");
  // But a kerned serif face prints "rn" touching, and it reads confidently as "m" ("Metem"
  // for "Metern").
  EXPECT_EQ(chosen('m', 'r', 'n', 'a', "rnat"), "rnat");
  // And a confident "æ" may be a touching "re" of a blurred page ("stæicht").
  EXPECT_EQ(chosen(0xE6, 'r', 'e', 'i', "reit"), "reit");

  // A ligature reads confidently as a letter ("fi" as "h"), where the classifier doubts more
  // that it is one character: cut where that makes a known word.
  EXPECT_EQ(chosen('h', 'f', 'i', 'x', "fixt", 0.9), "fixt");
  EXPECT_EQ(chosen('h', 'f', 'i', 'x', "fixt", 0.9999), "hxt");
}

TEST(WordSegmentation, ATouchingPairIsCutAtItsSecondLeastInkToo) {
  // "rn" printed as one and read as "m": the arch of the "n" holds less ink (two rows at
  // column 19) than the arm of the "r" where it meets the "n" (three rows at column 7).
  ReadGlyph rn = Glyph(0, 28, {{'m', 0.97}});
  std::fill(rn.ink.ink.begin(), rn.ink.ink.end(), uint8_t(0));
  const auto rows = [&rn](int32_t x, int32_t count) {
    for (int32_t y = 0; y < count; ++y) rn.ink.ink[size_t(y) * 29 + size_t(x)] = 1;
  };
  for (int32_t x = 0; x < 29; ++x) rows(x, 3);
  for (const int32_t stem : {0, 11, 24})
    for (int32_t x = stem; x < stem + 5; ++x) rows(x, 20);
  for (int32_t x = 5; x < 11; ++x) rows(x, x == 7 ? 3 : 4);
  rn.ink.ink[size_t(2) * 29 + 19] = 0;
  Joins pieces;
  pieces.wholes[{0, 6}] = {{'r', 0.9}};
  pieces.wholes[{7, 28}] = {{'n', 0.9}};
  pieces.wholes[{0, 18}] = {{'n', 0.6}};
  pieces.wholes[{19, 28}] = {{'l', 0.5}};
  Words words;
  words.known = {"rnat"};
  std::vector<ReadGlyph> glyphs = {rn, Glyph(32, 41, {{'a', 0.99}}), Glyph(44, 50, {{'t', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), pieces.Reader(), words);
  EXPECT_EQ(Text(glyphs), "rnat");

  // An "m" the classifier is all but sure is one character is cut at its least ink only.
  rn.oneCharacter = 0.99999;
  glyphs = {rn, Glyph(32, 41, {{'a', 0.99}}), Glyph(44, 50, {{'t', 0.99}})};
  ReadDoubtfulWordsAgain(&glyphs, Line(), pieces.Reader(), words);
  EXPECT_EQ(Text(glyphs), "mat");
}

TEST(WordSegmentation, AConfidentMIsCutAtItsThirdLeastInkToo) {
  // "rn" whose "r" ends in a ball: the arch of the "n" holds least ink (two rows at column
  // 21), the "r"'s arm after its stem three (column 5), and only the third valley, where the
  // ball meets the "n" (four rows at column 12), parts them.
  ReadGlyph rn = Glyph(0, 30, {{'m', 0.97}});
  std::fill(rn.ink.ink.begin(), rn.ink.ink.end(), uint8_t(0));
  const auto rows = [&rn](int32_t x, int32_t count) {
    for (int32_t y = 0; y < count; ++y) rn.ink.ink[size_t(y) * 31 + size_t(x)] = 1;
  };
  for (int32_t x = 0; x < 31; ++x) rows(x, x == 5 ? 3 : x == 21 ? 2 : 4);
  for (int32_t x = 6; x < 12; ++x) rows(x, 6);
  for (const int32_t stem : {0, 13, 26})
    for (int32_t x = stem; x < stem + 5; ++x) rows(x, 20);
  Joins pieces;
  pieces.wholes[{0, 11}] = {{'r', 0.9}};
  pieces.wholes[{12, 30}] = {{'n', 0.9}};
  Words words;
  words.known = {"rnat"};
  const auto read = [&](double score) {
    rn.readings = {{'m', score}};
    std::vector<ReadGlyph> glyphs = {rn, Glyph(34, 43, {{'a', 0.99}}),
                                     Glyph(46, 52, {{'t', 0.99}})};
    ReadDoubtfulWordsAgain(&glyphs, Line(), pieces.Reader(), words);
    return Text(glyphs);
  };
  EXPECT_EQ(read(0.97), "rnat");
  // A doubtful glyph (a fax's) is tried at its two likeliest cuts only.
  EXPECT_EQ(read(0.6), "mat");
}

TEST(Apostrophes, StraightOrCurledAsTheInkIsDrawn) {
  // A straight wedge: the same columns top to bottom. A curled one: its tail runs down to
  // the left.
  ReadGlyph straight = Glyph(12, 15, {{0x92, 0.44}, {'\'', 0.42}});
  straight.ink = {4, 12, std::vector<uint8_t>(48, 0)};
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = y < 8 ? 0 : 1; x < (y < 8 ? 4 : 3); ++x)
      straight.ink.ink[size_t(y * 4 + x)] = 1;
  ReadGlyph curled = Glyph(12, 17, {{0x91, 0.5}, {0x92, 0.41}, {'\'', 0.09}});
  curled.ink = {6, 12, std::vector<uint8_t>(72, 0)};
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 6; ++x)
      if (x >= 5 - y / 2 - 1 && x <= 5 - y / 2 + 1) curled.ink.ink[size_t(y * 6 + x)] = 1;
  // A book face's: a bulb, and a tail that swings right below it and curls back to the left.
  ReadGlyph swung = Glyph(12, 17, {{'\'', 0.5}, {0x92, 0.45}});
  swung.ink = {6, 10, std::vector<uint8_t>(60, 0)};
  const int32_t rows[10][2] = {{1, 3}, {1, 4}, {1, 5}, {1, 5}, {3, 5},
                               {4, 5}, {4, 5}, {3, 4}, {2, 3}, {0, 2}};
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = rows[y][0]; x <= rows[y][1]; ++x) swung.ink.ink[size_t(y * 6 + x)] = 1;
  for (const auto& [mark, wanted] :
       {std::pair{straight, uint8_t('\'')}, {curled, uint8_t(0x92)}, {swung, uint8_t(0x92)}}) {
    std::vector<ReadGlyph> word = {Glyph(0, 10, {{'r', 0.99}}), mark, Glyph(19, 28, {{'s', 0.99}})};
    SettleApostrophes(&word);
    EXPECT_EQ(word[1].readings.front().code, wanted);
    EXPECT_EQ(word[1].readings.size(), mark.readings.size());
  }
  // A quote that opens a word is no apostrophe and stays as read.
  std::vector<ReadGlyph> opening = {Glyph(0, 3, {{0x91, 0.6}, {0x92, 0.3}}),
                                    Glyph(6, 14, {{'s', 0.99}}), Glyph(17, 25, {{'o', 0.99}})};
  opening[0].ink = curled.ink;
  SettleApostrophes(&opening);
  EXPECT_EQ(opening[0].readings.front().code, 0x91);
}

// A comma cut from the "t" it touched keeps a speck of the "t"'s crossbar above it and reads
// as a semicolon; a semicolon's dot is about as big as its comma's head.
TEST(WordSegmentation, ASemicolonWhoseDotIsASpeckIsAComma) {
  const auto semicolon = [](int32_t dotSide) {
    ReadGlyph g = Glyph(0, 5, {{';', 0.7}, {',', 0.2}});
    g.ink = {6, 20, std::vector<uint8_t>(120, 0)};
    for (int32_t y = 0; y < dotSide; ++y)
      for (int32_t x = 0; x < dotSide; ++x) g.ink.ink[size_t(y * 6 + x)] = 1;
    for (int32_t y = 12; y < 20; ++y)  // the comma: a head of 4 x 4 and a tail
      for (int32_t x = 1; x < 5; ++x)
        if (y < 16 || x == 4 - (y - 16)) g.ink.ink[size_t(y * 6 + x)] = 1;
    return g;
  };
  std::vector<ReadGlyph> glyphs = {semicolon(4), semicolon(1), semicolon(0)};
  glyphs[2].readings = {{';', 0.6}};  // no comma offered
  SettleSpeckedSemicolons(&glyphs);
  EXPECT_EQ(glyphs[0].readings.front().code, ';');
  EXPECT_EQ(glyphs[1].readings.front().code, ',');
  EXPECT_EQ(glyphs[1].readings.size(), 2u);
  EXPECT_EQ(glyphs[2].readings.front().code, ',');
}

TEST(WordSegmentation, SpecksInsideAWordAreLeftOutWhereThatMakesAKnownWord) {
  // A copier's speck between "B" and "a" read as a comma; and a speck over an "S" read as
  // its caron.
  const auto bahn = [] {
    return std::vector<ReadGlyph>{Glyph(0, 10, {{'B', 0.99}}), Speck(12, ','),
                                  Glyph(17, 26, {{'a', 0.99}}), Glyph(29, 38, {{'h', 0.99}}),
                                  Glyph(41, 50, {{'n', 0.99}})};
  };
  const auto sie = [] {
    return std::vector<ReadGlyph>{Glyph(0, 10, {{0x8A, 0.9}, {'S', 0.05}}),
                                  Glyph(13, 16, {{'i', 0.99}}), Glyph(19, 28, {{'e', 0.99}})};
  };
  Joins joins;
  Words words;
  words.known = {"Bahn", "Sie"};
  std::vector<ReadGlyph> glyphs = bahn();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Bahn");
  glyphs = sie();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Sie");
  EXPECT_EQ(glyphs[0].box.right, 10);

  // Where the languages do not know the word so, the marks stay as read.
  Words others;
  others.known = {"Bahnen"};
  glyphs = bahn();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), others);
  EXPECT_EQ(Text(glyphs), "B,ahn");
  glyphs = sie();
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), others);
  EXPECT_EQ(Text(glyphs),
            "\x8A"
            "ie");
}

TEST(WordSegmentation, AnAbbreviationKeepsItsFullStops) {
  // Its letters spell no word, and a known word of them ("PS") is no better reading.
  const LetterModel german =
      LetterModel::FromFile(std::string(QUILLON_MODEL_DIR) + "/letters.tsv", {"deu"});
  ASSERT_FALSE(german.Empty());
  Joins joins;
  Words words;
  words.known = {"PS", "US"};
  for (const std::string text : {"d.h.", "z.B.", "P.S.", "U.S.A.,"}) {
    std::vector<ReadGlyph> glyphs = Abbreviated(text);
    ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, nullptr, &german);
    EXPECT_EQ(Text(glyphs), text);
  }
  // A full stop joined to the letter after it may read as another letter (".V" as "N").
  std::vector<ReadGlyph> glyphs = Abbreviated("e.V.");
  joins.wholes[{glyphs[1].box.left, glyphs[2].box.right}] = {{'N', 0.9}};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "e.V.");

  // After a word it runs together with ("wird,z.B.").
  words.known = {"wird"};
  glyphs = Abbreviated("wird,z.B.");
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "wird,z.B.");

  // A speck between letters of a longer word is no abbreviation's full stop.
  words.known = {"Stadt"};
  glyphs = Abbreviated("St.adt.");
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, nullptr, &german);
  EXPECT_EQ(Text(glyphs), "Stadt.");
}

TEST(WordSegmentation, ASpeckReadAsAnApostropheMakesNoKnownWord) {
  // Beside an apostrophe stands one word and what elision or clipping leaves ("d'un",
  // "it's"); a copier's speck read as one makes no known word of a letter and a word ("z'um")
  // nor of two words ("Brief'und"), and is left out where that makes a known word.
  Joins joins;
  Words words;
  words.known = {"um", "zum", "Brief", "und", "it"};
  std::vector<ReadGlyph> zum = {Glyph(0, 10, {{'z', 0.99}}), Speck(12, 0x92),
                                Glyph(17, 26, {{'u', 0.99}}), Glyph(29, 38, {{'m', 0.99}})};
  ReadDoubtfulWordsAgain(&zum, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(zum), "zum");

  std::vector<std::vector<ScoredChar>> letters;
  for (const char c : std::string("Brief\x92und")) letters.push_back({{uint8_t(c), 0.99}});
  std::vector<ReadGlyph> glyphs = Spelled(letters);
  joins.glyphsRead = 0;
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_GT(joins.glyphsRead, 0);  // doubtful: read again

  std::vector<ReadGlyph> its = {Glyph(0, 4, {{'i', 0.99}}), Glyph(7, 14, {{'t', 0.99}}),
                                Speck(16, 0x92), Glyph(21, 28, {{'s', 0.99}})};
  joins.glyphsRead = 0;
  ReadDoubtfulWordsAgain(&its, Line(), joins.Reader(), words);
  EXPECT_EQ(joins.glyphsRead, 0);  // known as read
}

TEST(WordSegmentation, AFullStopBeforeALetterIsASpeck) {
  Joins joins;
  Words words;
  words.known = {"die"};
  // ".die" and "·die" lose the speck; ".5" and "..." keep their marks, and so does a full
  // stop too large to be a speck.
  for (const uint8_t mark : {uint8_t('.'), uint8_t(0xB7)}) {
    std::vector<ReadGlyph> glyphs = {Speck(0, mark), Glyph(6, 15, {{'d', 0.99}}),
                                     Glyph(18, 21, {{'i', 0.99}}), Glyph(24, 33, {{'e', 0.99}})};
    ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
    EXPECT_EQ(Text(glyphs), "die");
  }
  std::vector<ReadGlyph> figure = {Speck(0, '.'), Glyph(6, 15, {{'5', 0.99}})};
  ReadDoubtfulWordsAgain(&figure, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(figure), ".5");
  std::vector<ReadGlyph> dots = {Speck(0, '.'), Speck(6, '.'), Speck(12, '.')};
  ReadDoubtfulWordsAgain(&dots, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(dots), "...");
  std::vector<ReadGlyph> large = {Glyph(0, 9, {{'.', 0.9}}), Glyph(12, 21, {{'d', 0.99}})};
  ReadDoubtfulWordsAgain(&large, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(large), ".d");
}

namespace {

// One line of words, each character 10 pixels wide and 2 apart.
PageText LineOf(const std::vector<std::string>& words) {
  PageText page;
  PageLine line;
  int32_t x = 0;
  for (const std::string& text : words) {
    PageWord word;
    for (const char c : text) {
      word.chars.push_back({uint8_t(c), {x, 0, x + 9, 19}, 0.9, {}});
      x += 12;
    }
    x += 20;
    line.words.push_back(std::move(word));
  }
  page.blocks.emplace_back().lines.push_back(std::move(line));
  page.Summarise();
  return page;
}

std::vector<std::string> WordsOf(const PageText& page) {
  std::vector<std::string> words;
  for (const PageWord& word : page.blocks[0].lines[0].words) words.push_back(word.Text());
  return words;
}

}  // namespace

TEST(WordSegmentation, WordsRunTogetherAreSplitWhereBothPartsAreKnown) {
  Words words;
  words.known = {"der", "Tube", "notiert", "was", "ein"};
  // Before a capital whose bar hides the space, and after a comma or a full stop.
  PageText page = LineOf({"derTube.", "notiert.was", "ein,was"});
  SplitRunTogetherWords(&page, words);
  EXPECT_EQ(WordsOf(page),
            (std::vector<std::string>{"der", "Tube.", "notiert.", "was", "ein,", "was"}));
  const PageWord& der = page.blocks[0].lines[0].words[0];
  EXPECT_EQ(der.box.right, der.chars.back().box.right);  // each part has its own box

  // Left alone: a word the languages know, a part they do not, a part of one letter
  // ("z.B."), and a capital after a capital.
  words.known = {"der", "DER", "Tube", "derTube", "ab", "ok"};
  page = LineOf({"derTube", "derTubx", "z.B.", "a.b", "DERTube", "ab.ok"});
  SplitRunTogetherWords(&page, words);
  EXPECT_EQ(WordsOf(page), (std::vector<std::string>{"derTube", "derTubx", "z.B.", "a.b", "DERTube",
                                                     "ab.", "ok"}));

  // A date or an abbreviation before a known word with a capital; a figure before a small
  // letter stays ("3.b").
  words.known = {"Wie", "Oktober", "The", "bis", "wird"};
  page = LineOf({"14.11.2026.Wie", "14.Oktober", "P.S.The", "3.bis", "wird,z.B."});
  SplitRunTogetherWords(&page, words);
  EXPECT_EQ(WordsOf(page), (std::vector<std::string>{"14.11.2026.", "Wie", "14.", "Oktober", "P.S.",
                                                     "The", "3.bis", "wird,", "z.B."}));
}

TEST(WordSegmentation, AWordsFirstIOrLIsTheOneThatMakesAKnownWord) {
  Words words;
  words.known = {"Ihre", "lernen", "Im", "Ida", "lda"};
  // The face draws both alike: the word the languages know settles it, after a quote too.
  PageText page = LineOf({"lhre", "Iernen,", "\x84lm", "Ida", "lda", "Ixyz", "lxyz", "l", "IBM"});
  SettleIAndLByKnownWords(&page, words);
  // Left alone: a word known as read (and as the other too), neither known, one letter, capitals.
  EXPECT_EQ(WordsOf(page), (std::vector<std::string>{"Ihre", "lernen,", "\x84Im", "Ida", "lda",
                                                     "Ixyz", "lxyz", "l", "IBM"}));
  EXPECT_EQ(page.blocks[0].lines[0].words[0].chars[0].alternatives.front().code, 'l');

  // "Il" read as two equal strokes, where it begins a sentence before a small letter's word;
  // a Roman numeral after a name or before a full stop stays, as does every "II" of a page
  // whose languages do not know "Il".
  const std::vector<std::string> french = {"II",   "est",  "venu.", "lI",    "a",
                                           "dit:", "II",   "faut",  "Louis", "II",
                                           "est",  "Acte", "II.",   "II",    "Dupont"};
  words.known = {"Il", "II", "est", "venu", "Louis"};
  page = LineOf(french);
  SettleIAndLByKnownWords(&page, words);
  EXPECT_EQ(WordsOf(page),
            (std::vector<std::string>{"Il", "est", "venu.", "Il", "a", "dit:", "Il", "faut",
                                      "Louis", "II", "est", "Acte", "II.", "II", "Dupont"}));
  EXPECT_EQ(page.blocks[0].lines[0].words[0].chars[1].alternatives.front().code, 'I');
  words.known = {"Ihre", "est"};
  page = LineOf(french);
  SettleIAndLByKnownWords(&page, words);
  EXPECT_EQ(WordsOf(page), french);
}

TEST(WordSegmentation, AFullStopBeforeASmallLetterIsAComma) {
  // A light copy lost the commas' tails: "genäht. den", "Stoff. das".
  PageText page = LineOf({"gen\xE4ht.", "den", "Stoff.", "das", "Deinem.", "und", "Ende.", "Ein"});
  CommasBeforeSmallLetters(&page);
  EXPECT_EQ(WordsOf(page), (std::vector<std::string>{"gen\xE4ht,", "den", "Stoff,", "das",
                                                     "Deinem,", "und", "Ende.", "Ein"}));
  EXPECT_EQ(page.blocks[0].lines[0].words[0].chars.back().alternatives.front().code, '.');

  // Abbreviations, numbers and marks keep their full stops, and so does a word before an "l"
  // that may be a capital "I"; the next line's first word counts too.
  page = LineOf({"usw.", "und", "evtl.", "mit", "am", "3.", "und", "z.B.", "die", "Umzug.", "lch",
                 "gekauft.)", "die", "Garten."});
  page.blocks[0].lines.push_back(LineOf({"den"}).blocks[0].lines[0]);
  CommasBeforeSmallLetters(&page);
  EXPECT_EQ(WordsOf(page),
            (std::vector<std::string>{"usw.", "und", "evtl.", "mit", "am", "3.", "und", "z.B.",
                                      "die", "Umzug.", "lch", "gekauft.)", "die", "Garten,"}));

  // A speck or a quote before the word changes nothing; a short word's stop becomes a comma
  // where the reader found a comma nearly as likely, and stays where it found it unlikely.
  page = LineOf({")zufrieden.", "und", "zwei.", "und", "usw.", "und"});
  std::vector<PageWord>& words = page.blocks[0].lines[0].words;
  words[2].chars.back().alternatives = {{',', 0.3}};
  words[4].chars.back().alternatives = {{',', 0.1}};
  CommasBeforeSmallLetters(&page);
  EXPECT_EQ(WordsOf(page),
            (std::vector<std::string>{")zufrieden,", "und", "zwei,", "und", "usw.", "und"}));
}

TEST(WordSegmentation, ADoubtfulCommaBeforeASentencesFirstWordIsAFullStop) {
  // A fax's speck under a full stop makes it a comma: "kaum, Die". The languages know "die" in
  // small letters, so "Die" begins a sentence; "Telefon" is a noun, capital anywhere.
  Words words;
  words.known = {"die", "Telefon", "kaum"};
  const auto read = [&words](double stopShare, const std::string& next, bool withWords = true) {
    PageText page = LineOf({"kaum,", next});
    PageChar& comma = page.blocks[0].lines[0].words[0].chars.back();
    comma.confidence = 0.6;
    comma.alternatives = {{'.', stopShare * 0.6}};
    CommasBeforeSmallLetters(&page, withWords ? &words : nullptr);
    return WordsOf(page)[0];
  };
  EXPECT_EQ(read(0.5, "Die"), "kaum.");
  EXPECT_EQ(read(0.5,
                 "\x84"
                 "Die"),
            "kaum.");  // after an opening quote too
  EXPECT_EQ(read(0.5, "Telefon"), "kaum,");
  EXPECT_EQ(read(0.05, "Die"), "kaum,");  // a comma read surely stays
  EXPECT_EQ(read(0.5, "Die", false), "kaum,");
}

TEST(WordSegmentation, AMarkStandingAloneJoinsItsWordOrIsASpeck) {
  // A full stop or a quote mark set off by a doubtful gap joins the word it belongs to; a
  // speck read as a quote mark between two words is left out, and a middle dot, however
  // unsurely read, stays a separator.
  PageText page = LineOf({"hast", ".", "Die", "decade.", "\"", "Ein", "\x84", "Wort", "mit", "\x92",
                          "mehr", "\xB7", "Kunst", "GmbH", "\xB7", "Hauptstr."});
  std::vector<PageWord>& words = page.blocks[0].lines[0].words;
  words[9].chars[0].confidence = 0.3;  // a fax's speck
  words[11].chars[0].confidence = 0.5;
  words[14].chars[0].confidence = 0.95;
  SettleStrayMarks(&page);
  EXPECT_EQ(WordsOf(page),
            (std::vector<std::string>{"hast.", "Die", "decade.\"", "Ein", "\x84Wort", "mit", "mehr",
                                      "\xB7", "Kunst", "GmbH", "\xB7", "Hauptstr."}));
  const PageWord& hast = page.blocks[0].lines[0].words[0];
  EXPECT_EQ(hast.box.right, hast.chars.back().box.right);  // the word's box takes the mark in

  // At a word's edge: a bar or a middle dot read unsurely is a speck, a quote mark stays.
  page = LineOf({"|geh\xF6rt", "wir\xB7",
                 "\x84"
                 "Ein",
                 "Tanners\x92", "|die"});
  for (PageWord& word : page.blocks[0].lines[0].words)
    for (PageChar& c : word.chars)
      if (!IsLetter1252(c.code)) c.confidence = 0.4;
  page.blocks[0].lines[0].words[4].chars[0].confidence = 0.9;  // read surely: kept
  SettleStrayMarks(&page);
  EXPECT_EQ(WordsOf(page), (std::vector<std::string>{"geh\xF6rt", "wir",
                                                     "\x84"
                                                     "Ein",
                                                     "Tanners\x92", "|die"}));

  // Two full stops end no word, but an ellipsis and an abbreviation before a comma do.
  page = LineOf({"Beete..", "Inc.,", "also...", "Kiste,."});
  page.blocks[0].lines[0].words[0].chars[5].confidence = 0.95;  // the printed one
  page.blocks[0].lines[0].words[0].chars[6].confidence = 0.6;
  SettleStrayMarks(&page);
  EXPECT_EQ(WordsOf(page), (std::vector<std::string>{"Beete.", "Inc.,", "also...", "Kiste,"}));
}

TEST(WordSegmentation, AnUnsureSingleQuoteWithNoPartnerAtAKnownWordsEdgeIsASpeck) {
  Words words;
  words.known = {"zur", "ich", "Hause", "Tanners", "Tag", "gut"};
  const auto settled = [&](const std::vector<std::string>& text, double confidence) {
    PageText page = LineOf(text);
    for (PageWord& word : page.blocks[0].lines[0].words)
      for (PageChar& c : word.chars)
        if (!IsLetter1252(c.code)) c.confidence = confidence;
    LeaveOutUnpairedQuotes(&page, words);
    return WordsOf(page);
  };
  // Specks after and before known words, a quote before a full stop among them; an unknown
  // word and a possessive after an "s" keep theirs.
  EXPECT_EQ(settled({"zur'", "Hause\x92.", "Nachbar'", "Tanners\x92", "\x91ich"}, 0.4),
            (std::vector<std::string>{"zur", "Hause.", "Nachbar'", "Tanners\x92", "ich"}));
  // Read surely, they stay.
  EXPECT_EQ(settled({"zur'", "\x91ich"}, 0.9), (std::vector<std::string>{"zur'", "\x91ich"}));
  // An opening quote and a closing one after it are a pair, however unsurely read; a closing
  // quote before the opening one pairs with nothing.
  EXPECT_EQ(settled({"zur'", "\x91Tag", "ist", "gut\x92"}, 0.4),
            (std::vector<std::string>{"zur", "\x91Tag", "ist", "gut\x92"}));
}

namespace {

// A line of 10-pixel glyphs read as the text says, each letter 2 or 3 pixels from the next
// and each word 14; `gaps` gives other widths after the characters at those places.
std::vector<ReadGlyph> SetLine(const std::string& text, const std::map<size_t, int32_t>& gaps) {
  std::vector<ReadGlyph> glyphs;
  int32_t x = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == ' ') continue;
    glyphs.push_back(Glyph(x, x + 9, {{uint8_t(text[i]), 0.99}}));
    const auto other = gaps.find(i);
    const bool wordEnds = i + 1 < text.size() && text[i + 1] == ' ';
    x += 10 + (other != gaps.end() ? other->second : wordEnds ? 14 : 2 + int32_t(i % 2));
  }
  return glyphs;
}

// The line's words as its gaps and the word reading's verdicts make them.
std::string WordsOfLine(const std::vector<ReadGlyph>& glyphs) {
  std::vector<const ReadGlyph*> pointers;
  for (const ReadGlyph& g : glyphs) pointers.push_back(&g);
  const std::vector<bool> breaks = GlyphWordGaps(pointers, Line()).breaks;
  std::string text;
  for (size_t i = 0; i < glyphs.size(); ++i)
    text += std::string(1, char(glyphs[i].readings.front().code)) +
            (i < breaks.size() && breaks[i] ? " " : "");
  return text;
}

}  // namespace

TEST(WordSegmentation, GapsOfDoubtfulWidthAreSetAsMakeKnownWords) {
  // The gap after an "f" is narrowed by its arm, and a fax's letters gape: gaps of 7 and 9
  // pixels lie between the line's letter gaps (2, 3) and its spaces (14). Gaps of one width
  // go either way, as the words say; "frp" is no word, so "frpher" is not cut for "her".
  Words words;
  words.known = {"Wir", "sehen", "of", "mutual", "den",  "G\xE4rtnerinnen",
                 "und", "her",   "am", "Abend",  "auch", "nie"};
  const std::string text = "Wir sehen ofmutual den G\xE4 rtnerinnen und frpher am Abend auch nie";
  const std::map<size_t, int32_t> gaps = {
      {text.find("fm"), 7}, {text.find("\xE4 "), 9}, {text.find("ph"), 7}, {text.find("m A"), 9}};
  Joins joins;
  std::vector<ReadGlyph> glyphs = SetLine(text, gaps);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs),
            "Wir sehen of mutual den G\xE4rtnerinnen und frpher am Abend auch nie");
  // The words read over overlapping stretches share their joins and cuts: each is read once.
  for (const auto& [columns, times] : joins.timesRead) EXPECT_EQ(times, 1) << columns.first;
}

TEST(WordSegmentation, ALastLetterSetApartByALooseGapJoinsItsWord) {
  // A paragraph's short last line set loose: gaps of 9 pixels, between its letter gaps (2, 3)
  // and its spaces (14), cut a known word and one small letter off "einem" and "wurden.", and
  // neither part is a doubtful word. A one-letter word leads into the next: "a long" stays.
  Words words;
  words.known = {"Wir", "sahen", "auf",   "eine",  "einem", "Dach",
                 "a",   "long",  "along", "wurde", "wurden"};
  const std::string text = "Wir sahen auf eine m Dach a long wurde n.";
  const std::map<size_t, int32_t> gaps = {
      {text.find("e m"), 9}, {text.find("a l"), 9}, {text.find("e n."), 9}};
  Joins joins;
  std::vector<ReadGlyph> glyphs = SetLine(text, gaps);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs), "Wir sahen auf einem Dach a long wurden.");
}

TEST(WordSegmentation, ASpaceADescendersHookReachesUnderIsSetAsTheWordsSay) {
  // "sich je": the hook of the "j" reaches back under the "h", so that their boxes stand as
  // close as the line's letters; between their bodies the gap is a space.
  Words words;
  words.known = {"Wir", "sahen", "sich", "je", "den", "Abend"};
  const std::string text = "Wir sahen sich je den Abend";
  std::vector<ReadGlyph> glyphs = SetLine(text, {});
  ReadGlyph& j = glyphs[text.find('j') - 3];  // less the spaces before it
  ASSERT_EQ(j.readings.front().code, 'j');
  constexpr int32_t kHook = 12, kDescent = 6;
  j.box.left -= kHook;
  j.box.bottom += kDescent;
  j.ink = {j.box.Width(), j.box.Height(),
           std::vector<uint8_t>(size_t(j.box.Width() * j.box.Height()), 0)};
  for (int32_t y = 0; y < j.ink.height; ++y)
    for (int32_t x = 0; x < j.ink.width; ++x)
      j.ink.ink[size_t(y * j.ink.width + x)] = x >= kHook || y >= j.ink.height - 3;
  Joins joins;
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs), text);
}

TEST(WordSegmentation, WordsRunTogetherLongerThanAnyWordAreSetApartAsTheWordsSay) {
  // A tight justified fax line: its spaces (5 pixels) no wider than some of its letters gape
  // (5, against 2 and 3), so that only its first space stands out. The words run together
  // stretch farther than any word.
  const std::string text =
      "Wir sahen hinter der Schule entstand vor sechs Jahren auf einer Wiese auf der";
  std::map<size_t, int32_t> gaps;
  for (size_t i = text.find(' ', 4); i != std::string::npos; i = text.find(' ', i + 1))
    gaps[i - 1] = 5;
  gaps[text.find("hu")] = gaps[text.find("hr")] = gaps[text.find("ns")] = 5;
  Words words;
  words.known = {"Wir", "sahen", "hinter", "der", "Schule", "entstand",
                 "vor", "sechs", "Jahren", "auf", "einer",  "Wiese"};
  Joins joins;
  std::vector<ReadGlyph> glyphs = SetLine(text, gaps);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs), text);

  // A long word is no run of words: its letters stay together where they make no known word.
  words.known = {"Wir", "sahen", "das", "du", "tut", "her"};
  const std::string compound = "Wir sahen das Quecksilberthermometer";
  glyphs = SetLine(compound, {{compound.find("k"), 5}, {compound.find("rt"), 5}});
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs), compound);
}

TEST(WordSegmentation, AnAccentedCapitalWithinAWordMayBeItsSmallLetter) {
  // A fax's speck over the "u" of "braucht" makes it as tall as a capital: "bra\xDBcht".
  Joins joins;
  Words words;
  words.known = {"braucht"};
  std::vector<ReadGlyph> glyphs = Spelled({{{'b', 0.99}},
                                           {{'r', 0.99}},
                                           {{'a', 0.99}},
                                           {{0xDB, 0.6}, {0xDC, 0.3}},
                                           {{'c', 0.99}},
                                           {{'h', 0.99}},
                                           {{'t', 0.99}}});
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "braucht");

  // Two words run together at a gap of doubtful width keep their capital: "der Zeit" is no
  // "derzeit".
  words.known = {"wo", "der", "derzeit"};
  glyphs = SetLine("wo der Zeit", {{5, 9}});
  glyphs[6].readings = {{'e', 0.6}, {'c', 0.3}};  // a word in doubt is read again
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs), "wo der Zeit");
  // A word in capitals stays in capitals.
  words.known = {"Ralph"};
  glyphs = Spelled(
      {{{'R', 0.99}}, {{'A', 0.99}}, {{'L', 0.6}, {'l', 0.3}}, {{'P', 0.99}}, {{'H', 0.99}}});
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "RALPH");
}

TEST(WordSegmentation, AnUnsureLetterMayBeOneTheClassifierDidNotOffer) {
  // A fax's speck joined to the "o" of "Station": its readings hold no "o".
  auto stati9n = [](double nine) {
    std::vector<std::vector<ScoredChar>> letters;
    for (const char c : std::string("Stati")) letters.push_back({{uint8_t(c), 0.99}});
    letters.push_back({{'9', nine}, {'Q', 0.3}, {'g', 0.1}});
    letters.push_back({{'n', 0.99}});
    return Spelled(letters);
  };
  Joins joins;
  Words words;
  words.known = {"Station"};
  std::vector<ReadGlyph> glyphs = stati9n(0.45);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Station");
  EXPECT_LT(glyphs[5].Score(), 0.05);  // a guess, scored as the unoffered letter
  EXPECT_EQ(glyphs[5].readAs, '9');

  // A letter read more surely than not stays; so does one that two known words could take.
  glyphs = stati9n(0.6);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Stati9n");
  words.known = {"Station", "Stativn"};
  glyphs = stati9n(0.45);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Stati9n");
}

TEST(WordSegmentation, LettersPrintedAsOneAreReadAsThemWhereThatMakesAKnownWord) {
  // An "fi" printed as one shape reads as an "h" ("hrst"): wide as two letters, its left
  // half rising above the small letters as an "f" does.
  auto hrst = [](uint8_t first, int32_t top) {
    std::vector<ReadGlyph> glyphs =
        Spelled({{{first, 0.99}}, {{'r', 0.99}}, {{'s', 0.99}}, {{'t', 0.99}}});
    glyphs[0].box = {-6, top, 10, 19};
    glyphs[0].ink = {17, 20 - top, std::vector<uint8_t>(size_t(17 * (20 - top)), 1)};
    return glyphs;
  };
  Joins joins;
  Words words;
  words.known = {"first"};
  std::vector<ReadGlyph> glyphs = hrst('h', -10);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "first");
  ASSERT_EQ(glyphs.size(), 5u);
  // The shape's columns shared out between its letters; each a guess, marked doubtful.
  EXPECT_EQ(glyphs[0].box.left, -6);
  EXPECT_EQ(glyphs[1].box.right, 10);
  EXPECT_LT(glyphs[0].box.right, glyphs[1].box.left);
  for (size_t k = 0; k < 2; ++k) {  // each piece's ink is its box's
    EXPECT_EQ(glyphs[k].ink.width, glyphs[k].box.Width());
    EXPECT_EQ(glyphs[k].ink.height, glyphs[k].box.Height());
  }
  EXPECT_LT(glyphs[0].Score(), 0.5);
  EXPECT_LT(glyphs[1].Score(), 0.5);

  // A glyph as low as the small letters is no ligature, nor is one read as a letter of
  // another shape ("on" of a page in another language is no "oft").
  glyphs = hrst('h', 0);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "hrst");
  glyphs = hrst('n', -10);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "nrst");
  // Two ligatures that make known words: the shape does not tell which.
  words.known = {"first", "flrst"};
  glyphs = hrst('h', -10);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "hrst");
}

TEST(WordSegmentation, AWordWithManyDoubtfulGapsStaysWholeWhereNoReadingIsKnown) {
  // A fax's word whose letters gape at four places, more than a reading joins, and no reading
  // of it or of its pieces is a known word: it stays one word, as its gaps' widths make it.
  Words words;
  words.known = {"Wir", "sehen", "und", "nie", "auch"};
  const std::string text = "Wir sehen Gxrtenhaqs und nie auch";
  std::map<size_t, int32_t> gaps;
  for (const char* at : {"xr", "te", "nh", "aq"}) gaps[text.find(at)] = 7;
  Joins joins;
  std::vector<ReadGlyph> glyphs = SetLine(text, gaps);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(WordsOfLine(glyphs), text);
}

TEST(WordSegmentation, TheWordsOfALineReadAgainKeepTheirSpaces) {
  // Glyphs that the word reading cut or joined gape otherwise than those first read, and the
  // line's gaps measured again may group otherwise: on a fax, a word read again as more pieces
  // left one gap the widest, and the line's other spaces were taken for letter gaps. The words
  // as read keep their spaces, whatever the gaps measure afterwards.
  Words words;
  words.known = {"Wir", "sehen", "den", "Garten", "auch"};
  const std::string text = "Wir sehen den Gxrten auch";
  Joins joins;
  std::vector<ReadGlyph> glyphs = SetLine(text, {});
  glyphs[text.find('x') - 3].readings = {{'x', 0.5}, {'a', 0.4}};
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  const std::string read = "Wir sehen den Garten auch";
  ASSERT_EQ(WordsOfLine(glyphs), read);
  // Every gap now as wide as a letter gap, but one as wide as three spaces.
  int32_t x = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const int32_t width = glyphs[i].box.Width();
    glyphs[i].box.left = x, glyphs[i].box.right = x + width - 1;
    x += width + (i == 5 ? 42 : 3);
  }
  EXPECT_EQ(WordsOfLine(glyphs), read);
}

namespace {

std::vector<ReadAndMeant> Pairs(uint8_t read, uint8_t meant, int times) {
  return std::vector<ReadAndMeant>(size_t(times), ReadAndMeant{read, meant});
}

// A fax page whose "e"s lost their bars: six settled words showed an "e" read as "c", two a
// "c" read as itself; an "n" read as "u" twice may be a wrong word taken for a right one.
PageMisreadings FaxMisreadings() {
  std::vector<ReadAndMeant> pairs = Pairs('c', 'e', 6);
  for (const auto& more : {Pairs('c', 'c', 2), Pairs('e', 'e', 20), Pairs('n', 'u', 2)})
    pairs.insert(pairs.end(), more.begin(), more.end());
  return MisreadingsOf(pairs);
}

double ScoreOf(const std::vector<ScoredChar>& readings, uint8_t code) {
  for (const ScoredChar& r : readings)
    if (r.code == code) return r.score;
  return 0;
}

}  // namespace

TEST(PageMisreadings, OnlyAMisreadingSeenOftenEnoughIsSharedOut) {
  const PageMisreadings misreadings = FaxMisreadings();
  ASSERT_TRUE(AnyMisreading(misreadings));
  EXPECT_TRUE(misreadings['n'].empty());
  EXPECT_TRUE(misreadings['e'].empty());  // read as itself throughout
  double total = 0;
  for (const Misreading& m : misreadings['c']) total += m.share;
  EXPECT_NEAR(total, 1.0, 1e-9);
  // Six against two, and the reading's own weight: "e" gains, "c" keeps a fair share.
  std::vector<ScoredChar> c = {{'c', 0.9}, {'o', 0.05}};
  SpreadOverMisreadings(misreadings, &c);
  EXPECT_GT(ScoreOf(c, 'e'), 0.3);
  EXPECT_GT(ScoreOf(c, 'c'), 0.3);
  EXPECT_NEAR(ScoreOf(c, 'e') + ScoreOf(c, 'c'), 0.9, 1e-9);
  EXPECT_DOUBLE_EQ(ScoreOf(c, 'o'), 0.05);
  EXPECT_TRUE(std::is_sorted(c.begin(), c.end(), [](const ScoredChar& a, const ScoredChar& b) {
    return a.score > b.score;
  }));

  EXPECT_FALSE(AnyMisreading(MisreadingsOf(Pairs('n', 'u', 2))));
}

TEST(PageMisreadings, ADoubtfulWordIsReadWithThePagesMisreadings) {
  // "Mensch" with its "e" read as "c", and "e" far too unlikely for the word list alone.
  Joins joins;
  Words words;
  words.known = {"Mensch", "dich"};
  std::vector<std::vector<ScoredChar>> letters;
  for (const char c : std::string("Mcnsch"))
    letters.push_back(c == 'c' && letters.size() == 1
                          ? std::vector<ScoredChar>{{'c', 0.9}, {'e', 0.002}}
                          : std::vector<ScoredChar>{{uint8_t(c), 0.99}});
  std::vector<ReadGlyph> glyphs = Spelled(letters);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  EXPECT_EQ(Text(glyphs), "Mcnsch");

  const PageMisreadings misreadings = FaxMisreadings();
  glyphs = Spelled(letters);
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, &misreadings);
  EXPECT_EQ(Text(glyphs), "Mensch");

  // A word known as read keeps its readings: its "c" is no "e" however the page misreads.
  glyphs = Spelled({{{'d', 0.99}}, {{'i', 0.99}}, {{'c', 0.99}}, {{'h', 0.99}}});
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words, &misreadings);
  EXPECT_EQ(Text(glyphs), "dich");
  EXPECT_DOUBLE_EQ(glyphs[2].Score(), 0.99);
}

TEST(PageMisreadings, TheLettersOfKnownWordsTellWhatWasReadForWhat) {
  Joins joins;
  Words words;
  words.known = {"sont", "an"};
  // "sonf" settled as "sont", "an" known as read, "xq" unknown.
  std::vector<ReadGlyph> glyphs =
      Spelled({{{'s', 0.99}}, {{'o', 0.99}}, {{'n', 0.99}}, {{'f', 0.78}, {'t', 0.21}}});
  ReadDoubtfulWordsAgain(&glyphs, Line(), joins.Reader(), words);
  ASSERT_EQ(Text(glyphs), "sont");
  for (const auto& [left, code] : {std::pair{200, 'a'}, {214, 'n'}, {400, 'x'}, {414, 'q'}})
    glyphs.push_back(Glyph(left, left + 10, {{uint8_t(code), 0.99}}));
  const std::vector<ReadAndMeant> letters = LettersOfKnownWords(glyphs, Line(), words);
  std::string read, meant, where;
  for (const ReadAndMeant& l : letters) {
    read += char(l.read), meant += char(l.meant);
    where += char('0' + l.glyph);
  }
  EXPECT_EQ(read, "sonfan");
  EXPECT_EQ(meant, "sontan");
  // Each letter's own glyph, so that the page's shapes learn from the right ink.
  EXPECT_EQ(where, "012345");

  // The stems of a broken "m" or "n" read as "iii" or "ll" make no word, though a dictionary
  // lists them (roman numerals); "ill" and "il" are words.
  words.known = {"iii", "ll", "ill", "il"};
  glyphs.clear();
  int32_t left = 0;
  for (const std::string_view word : {"iii", "ll", "ill", "il"}) {
    for (const char c : word) {
      glyphs.push_back(Glyph(left, left + 4, {{uint8_t(c), 0.99}}));
      left += 6;
    }
    left += 30;
  }
  read.clear();
  for (const ReadAndMeant& l : LettersOfKnownWords(glyphs, Line(), words)) read += char(l.read);
  EXPECT_EQ(read, "illil");
}
