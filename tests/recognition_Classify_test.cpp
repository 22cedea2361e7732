// Character classification: rendered characters are recognised; the rules after matching
// (first correction, dots, vetoes, sort, final corrections) on constructed inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/ClassifyRules.h"
#include "recognition_GlyphPage.h"

namespace {

// One form with its template set built once for all tests of the suite.
class ClassifyFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    templates_ = new TemplateSet;
    HeadlessWindow window;
    TMainForm form(window, "/tmp/quillon", {});
    form.templateSet = templates_;
    SoftwareCanvas bitmap;
    form.BuildTemplateSet(bitmap);
    form.templateSet = nullptr;
  }
  static void TearDownTestSuite() {
    delete templates_;
    templates_ = nullptr;
  }
  void SetUp() override {
    form_.templateSet = templates_;
    form_.TemplateSetChanged();
  }
  void TearDown() override { form_.templateSet = nullptr; }

  // Classifies each character of `text` drawn in `font` on one line; returns what came out.
  std::string Recognise(const PlatformFont& font, const std::string& text) {
    const int32_t cellTop = 100;
    *form_.lines.Add() = testpage::MakeLine(font, cellTop);
    const int32_t lineNumber = form_.lines.Count;
    std::string result;
    int32_t left = 10;
    for (unsigned char ch : text) {
      PageObject* object = form_.objects.Add();
      *object = testpage::MakeObject(font, ch, left, cellTop, lineNumber);
      left = object->box.Right + 10;
      form_.objects.Select(form_.objects.Count - 1);
      result += char(form_.ClassifyObject());
    }
    return result;
  }

  static std::unique_ptr<PlatformFont> Font(const char* face, int32_t height, int32_t weight) {
    LogFont description;
    description.faceName = face;
    description.height = height;
    description.weight = weight;
    return std::unique_ptr<PlatformFont>(PlatformFont::Create(description));
  }

  static int Agreement(const std::string& a, const std::string& b) {
    int same = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) same += a[i] == b[i];
    return same;
  }

  HeadlessWindow window_;
  TMainForm form_{window_, "/tmp/quillon", {}};
  static TemplateSet* templates_;
};
TemplateSet* ClassifyFixture::templates_ = nullptr;

// Entries in their fresh order with given scores by character.
void Score(Candidate candidates[], uint8_t ch, double score) {
  candidates[AlphabetIndex(ch) - 1].score = score;
}

ObjectFeatures PlainFeatures() {
  ObjectFeatures features;
  features.width = features.height = 20;
  features.aspect = 1;
  features.bottomFull = true;  // so that 'b' is not vetoed by default
  return features;
}

PositionFeatures PlainPosition() {
  PositionFeatures position;
  position.tall = true;
  position.box = {100, 100, 110, 130};
  position.lineMiddle = 120;
  position.lineXMiddle = 115;
  return position;
}

struct Table {
  Candidate entries[kCandidateCount + 1];
  Table() { ResetCandidates(entries); }
};

}  // namespace

TEST_F(ClassifyFixture, RecognisesSansLettersAtPageSize) {
  const std::string text = "abcdefghkmnopqrsuvwxyzABDEFGHJLMNQRT2345689CKOPSUVWXYZ";
  auto sans = Font("Arial", -50, 400);
  const std::string got = Recognise(*sans, text);
  EXPECT_GE(Agreement(got, text), int(text.size()) * 9 / 10) << got;
}

TEST_F(ClassifyFixture, RecognisesSerifAndBoldLetters) {
  const std::string text = "abcdeghkmnopqsuvwxyzABDEGHKMNPRSW";
  auto serif = Font("Times New Roman", -50, 400);
  const std::string serifGot = Recognise(*serif, text);
  EXPECT_GE(Agreement(serifGot, text), int(text.size()) * 8 / 10) << serifGot;
  auto bold = Font("Arial", -42, 700);
  const std::string boldGot = Recognise(*bold, text);
  EXPECT_GE(Agreement(boldGot, text), int(text.size()) * 8 / 10) << boldGot;
}

TEST_F(ClassifyFixture, CandidatesAreSortedAndClassifyingAgainGivesTheSameTable) {
  auto sans = Font("Arial", -50, 400);
  Recognise(*sans, "g");
  PageObject* object = form_.objects.At(0);
  form_.objects.Select(0);
  Candidate first[kCandidateCount + 1];
  std::memcpy(first, object->candidates, sizeof first);
  for (int i = 1; i < kCandidateCount; ++i) EXPECT_GE(first[i - 1].score, first[i].score);
  // A descending small letter: only descender-class characters were matched.
  for (int i = 0; i < kCandidateCount; ++i)
    if (first[i].score > 0) {
      EXPECT_EQ(kDescenderClass[first[i].charIndex - 1], 'u');
    }
  const int32_t again = form_.ClassifyObject();
  EXPECT_EQ(again, object->recognisedChar);
  EXPECT_EQ(0, std::memcmp(first, object->candidates, sizeof first));
}

TEST(ClassifyRules, AdmissionByHeightAndDescender) {
  PositionFeatures position;
  position.tall = false;
  position.descends = false;
  EXPECT_TRUE(IsAdmitted(AlphabetIndex('a'), position));
  EXPECT_FALSE(IsAdmitted(AlphabetIndex('b'), position));
  EXPECT_TRUE(IsAdmitted(AlphabetIndex('l'), position));  // either height
  EXPECT_FALSE(IsAdmitted(AlphabetIndex('g'), position));
  position.descends = true;
  EXPECT_TRUE(IsAdmitted(AlphabetIndex('g'), position));
  EXPECT_FALSE(IsAdmitted(AlphabetIndex('a'), position));
  EXPECT_FALSE(IsAdmitted(AlphabetIndex('('), position));  // tall
  position.anyHeight = true;
  EXPECT_TRUE(IsAdmitted(AlphabetIndex('('), position));
}

TEST(ClassifyRules, SortPutsTheEarliestOfTheHighestFirst) {
  Table t;
  Score(t.entries, 'x', 0.7);
  Score(t.entries, 'c', 0.7);
  Score(t.entries, 'Z', 0.9);
  Score(t.entries, 'k', 0.2);
  SortCandidates(t.entries);
  EXPECT_EQ(t.entries[0].charIndex, AlphabetIndex('Z'));
  for (int i = 1; i < kCandidateCount; ++i) EXPECT_GE(t.entries[i - 1].score, t.entries[i].score);
  // The exchanges are not stable below the top: here 'x' ends ahead of 'c'.
  EXPECT_EQ(t.entries[1].charIndex, AlphabetIndex('x'));
  EXPECT_EQ(t.entries[2].charIndex, AlphabetIndex('c'));
  EXPECT_EQ(t.entries[3].charIndex, AlphabetIndex('k'));

  // Equal highest scores decide for the earliest alphabet position.
  Table tie;
  Score(tie.entries, 'o', 0.8);
  Score(tie.entries, '8', 0.8);
  Score(tie.entries, 'e', 0.8);
  EXPECT_EQ(DecideCharacter(tie.entries, 'e', PlainFeatures(), PlainPosition()), 'e');
}

TEST(ClassifyRules, SortGivesTheTableOfTheFullExchangeSort) {
  // The sort stops early once only zeros are left; the table must be the same as that of
  // every exchange done in full, ties and order of equal entries included.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> level(0, 6);
  for (int trial = 0; trial < 300; ++trial) {
    Table fast;
    for (int k = 0; k < kCandidateCount; ++k) {
      const int v = level(random);
      fast.entries[k].score = v <= 3 ? 0 : v * 0.1;  // many zeros, many ties
      if (trial % 3 == 0) fast.entries[k].score = level(random) * 0.25;
    }
    Table full = fast;
    SortCandidates(fast.entries);
    for (int i = 0; i < kCandidateCount; ++i)
      for (int j = i; j < kCandidateCount; ++j)
        if (full.entries[j].score > full.entries[i].score) {
          full.entries[kCandidateCount] = full.entries[i];
          full.entries[i] = full.entries[j];
          full.entries[j] = full.entries[kCandidateCount];
        }
    for (int i = 0; i < kCandidateCount; ++i) {
      ASSERT_EQ(fast.entries[i].charIndex, full.entries[i].charIndex) << trial << " " << i;
      ASSERT_EQ(fast.entries[i].score, full.entries[i].score);
    }
  }
}

TEST(ClassifyRules, OneDotGivesI) {
  // Not tall: 'l' is out and 'i' scores exactly 1, beating every overlap.
  Table t;
  PositionFeatures position = PlainPosition();
  position.tall = false;
  position.dotsAbove = 1;
  Score(t.entries, 'l', 0.9);
  Score(t.entries, 'r', 0.95);
  EXPECT_EQ(DecideCharacter(t.entries, 'r', PlainFeatures(), position), 'i');
  EXPECT_EQ(t.entries[0].charIndex, 63);
  EXPECT_EQ(t.entries[0].score, 1.0);

  // A tall stroke matching 'l' with 0.8 gives 'i' the score 3.4.
  Table tall;
  position.tall = true;
  Score(tall.entries, 'l', 0.8);
  EXPECT_EQ(DecideCharacter(tall.entries, 'l', PlainFeatures(), position), 'i');
  EXPECT_DOUBLE_EQ(tall.entries[0].score, 3.4);
  // 'l', 'a' and 'I' were cleared.
  for (const Candidate& c : tall.entries)
    if (c.charIndex == AlphabetIndex('l') || c.charIndex == AlphabetIndex('I')) {
      EXPECT_EQ(c.score, 0);
    }
}

TEST(ClassifyRules, TwoDotsGiveUmlauts) {
  const std::pair<uint8_t, uint8_t> cases[] = {{'a', 0xE4}, {'o', 0xF6}, {'u', 0xFC},
                                               {'A', 0xC4}, {'O', 0xD6}, {'U', 0xDC}};
  for (auto [plain, umlaut] : cases) {
    Table t;
    PositionFeatures position = PlainPosition();
    position.dotsAbove = 2;
    Score(t.entries, plain, 0.9);
    EXPECT_EQ(DecideCharacter(t.entries, plain, PlainFeatures(), position), umlaut) << plain;
  }
  // An 'o' with a middle bar becomes 'e' first and keeps no umlaut.
  Table t;
  PositionFeatures position = PlainPosition();
  position.dotsAbove = 2;
  ObjectFeatures features = PlainFeatures();
  features.midBar = true;
  Score(t.entries, 'o', 0.9);
  EXPECT_EQ(DecideCharacter(t.entries, 'o', features, position), 'e');
}

TEST(ClassifyRules, StrokeCorrections) {
  struct Case {
    const char* what;
    Box box;
    uint8_t matched;
    int32_t expected;
  };
  const Case cases[] = {
      {"wider than high: a dash", {100, 118, 112, 121}, 'l', '-'},
      {"an 'a' twice as wide as high: a dash", {100, 118, 120, 122}, 'a', '-'},
      {"top below the line's middle, no dot: a comma", {100, 125, 103, 135}, 'l', ','},
      {"bottom above the x-middle: an apostrophe", {100, 100, 103, 110}, 'l', '\''},
  };
  PositionFeatures position = PlainPosition();
  for (const Case& c : cases) {
    Table table;
    position.box = c.box;
    Score(table.entries, c.matched, 0.9);
    EXPECT_EQ(DecideCharacter(table.entries, c.matched, PlainFeatures(), position), c.expected)
        << c.what;
  }
  // A matched comma with a dot above is the body of a j.
  Table j;
  position.dotsAbove = 1;
  position.tall = false;
  Score(j.entries, ',', 0.9);
  EXPECT_EQ(DecideCharacter(j.entries, ',', PlainFeatures(), position), 'j');
}

TEST(ClassifyRules, BarCorrections) {
  ObjectFeatures features = PlainFeatures();
  features.midBar = true;
  Table c;
  Score(c.entries, 'c', 0.9);
  EXPECT_EQ(DecideCharacter(c.entries, 'c', features, PlainPosition()), 'e');
  features.bottomBar = true;
  Table f;
  Score(f.entries, 'F', 0.9);
  EXPECT_EQ(DecideCharacter(f.entries, 'F', features, PlainPosition()), 'E');
  features.bottomBar = false;
  Table f2;
  Score(f2.entries, 'F', 0.9);
  EXPECT_EQ(DecideCharacter(f2.entries, 'F', features, PlainPosition()), 'F');
}

TEST(ClassifyRules, StructuralVetoes) {
  struct Case {
    uint8_t vetoed, runnerUp;
    void (*set)(ObjectFeatures&, PositionFeatures&);
  };
  const Case cases[] = {
      {'L', 'E', [](ObjectFeatures& f, PositionFeatures&) { f.bottomBar = false; }},
      {'I', 'T', [](ObjectFeatures& f, PositionFeatures&) { f.aspect = 0.6; }},
      {'D', 'O', [](ObjectFeatures& f, PositionFeatures&) { f.topGap = true; }},
      {'B', 'R',
       [](ObjectFeatures& f, PositionFeatures&) { f.upperRightEmpty = f.lowerRightEmpty = true; }},
      {'o', 'c', [](ObjectFeatures& f, PositionFeatures&) { f.bottomFull = false; }},
      {'u', 'v', [](ObjectFeatures& f, PositionFeatures&) { f.upperMid = 9, f.lowerMid = 3; }},
      {'n', 'r', [](ObjectFeatures& f, PositionFeatures&) { f.bottomFull = true; }},
      {'t', 'f', [](ObjectFeatures& f, PositionFeatures&) { f.rightTop = 5, f.rightBottom = 1; }},
      {'b', 'k', [](ObjectFeatures& f, PositionFeatures&) { f.bottomFull = false; }},
      {'h', 'k', [](ObjectFeatures& f, PositionFeatures&) { f.bottomFull = true; }},
      {'r', 'x', [](ObjectFeatures& f, PositionFeatures&) { f.strokes = 2; }},
  };
  for (const Case& test : cases) {
    ObjectFeatures features = PlainFeatures();
    features.bottomBar = true;
    features.bottomFull = false;
    PositionFeatures position = PlainPosition();
    // Without the feature the candidate wins ...
    Table before;
    Score(before.entries, test.vetoed, 0.9);
    Score(before.entries, test.runnerUp, 0.8);
    features.aspect = 0.3;
    // bottomFull vetoes some and saves others.
    features.bottomFull = test.vetoed == 'o' || test.vetoed == 'b';
    EXPECT_EQ(DecideCharacter(before.entries, test.vetoed, features, position), test.vetoed)
        << test.vetoed;
    // ... with it the runner-up does.
    Table after;
    Score(after.entries, test.vetoed, 0.9);
    Score(after.entries, test.runnerUp, 0.8);
    test.set(features, position);
    EXPECT_EQ(DecideCharacter(after.entries, test.vetoed, features, position), test.runnerUp)
        << test.vetoed;
  }
  // Vetoes that a dot above lifts: 'I' with a dot is not vetoed (the dot rule clears it).
  Table dotted;
  ObjectFeatures features = PlainFeatures();
  features.aspect = 0.6;
  features.topGap = true;
  PositionFeatures position = PlainPosition();
  position.dotsAbove = 2;
  Score(dotted.entries, 'D', 0.9);
  EXPECT_EQ(DecideCharacter(dotted.entries, 'D', features, position), 'D');
}

TEST(ClassifyRules, MidTallDoublesT) {
  ObjectFeatures features = PlainFeatures();
  features.strokes = 1;
  PositionFeatures position = PlainPosition();
  position.midTall = true;
  Table t;
  Score(t.entries, 't', 0.45);
  Score(t.entries, 'f', 0.8);
  EXPECT_EQ(DecideCharacter(t.entries, 'f', features, position), 't');
  EXPECT_DOUBLE_EQ(t.entries[0].score, 0.9);
}

TEST(ObjectFeatures, BarsStrokesAndZones) {
  // Two vertical bars joined at the foot: like a 'u' drawn square.
  RasterImage image{};
  newdib(&image, 20, 30, 24, nullptr, 0);
  auto set = [&](int x, int y) {
    uint8_t* p = DIBPixel24(image, x, y);
    p[0] = p[1] = p[2] = 0;
  };
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 20; ++x) {
      uint8_t* p = DIBPixel24(image, x, y);
      p[0] = p[1] = p[2] = 255;
    }
  for (int y = 0; y < 30; ++y)
    for (int x : {0, 1, 2, 17, 18, 19}) set(x, y);
  for (int y = 26; y < 30; ++y)
    for (int x = 0; x < 20; ++x) set(x, y);
  GlyphGrid grid;
  ObjectFeatures f;
  MeasureObject(image, &grid, &f);
  EXPECT_DOUBLE_EQ(f.aspect, 20.0 / 30.0);
  EXPECT_TRUE(f.bottomBar);
  EXPECT_FALSE(f.topBar);
  EXPECT_TRUE(f.bottomFull);
  EXPECT_TRUE(f.topGap);
  EXPECT_FALSE(f.upperRightEmpty);
  EXPECT_FALSE(f.midBar);
  EXPECT_EQ(f.strokes, 2);  // four changes in most rows: A = 4 or 3 -> 2
  EXPECT_EQ(f.upperMid, 0);
  EXPECT_GT(f.lowerMid, 0);
  EXPECT_EQ(grid.at(0, 0), 0);
  EXPECT_EQ(grid.at(8, 0), 255);
  EXPECT_EQ(grid.at(8, 16), 0);

  // A bar across the middle rows gives midBar; an empty image gives a paper grid.
  for (int x = 0; x < 20; ++x) set(x, 14);
  MeasureObject(image, &grid, &f);
  EXPECT_TRUE(f.midBar);
  deldib(&image);
  MeasureObject(image, &grid, &f);
  for (int32_t cell : grid.cells) EXPECT_EQ(cell, 255);
}

TEST_F(ClassifyFixture, DegenerateObjectsStillGetACharacter) {
  // No image and no valid line: measured as an empty picture on a line of its own box.
  PageObject* object = form_.objects.Add();
  object->box = {5, 5, 9, 20};
  object->unskewedBox = object->box;
  object->line = 7;  // there is no line 7
  form_.objects.Select(0);
  const int32_t c = form_.ClassifyObject();
  EXPECT_EQ(c, object->recognisedChar);
  EXPECT_NE(AlphabetIndex(uint8_t(c)), 0);
  for (int i = 1; i < kCandidateCount; ++i)
    EXPECT_GE(object->candidates[i - 1].score, object->candidates[i].score);
  // Without a template set nothing is matched, and the rules still decide.
  form_.templateSet = nullptr;
  EXPECT_EQ(form_.ClassifyObject(), object->recognisedChar);
}
