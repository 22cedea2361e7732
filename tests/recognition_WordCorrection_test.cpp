// The word list settling doubtful characters, and the test for words divided at a line's end.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "recognition/ExtendedPage.h"
#include "recognition/WordCorrection.h"

namespace {

WordLookup Lookup(std::initializer_list<const char*> words) {
  WordLookup lookup;
  for (const char* w : words) lookup.Add(w);
  lookup.Build();
  return lookup;
}

// A word read as `text`, every character with confidence 0.9; doubts are added per test.
PageWord Word(const std::string& text) {
  PageWord word;
  int32_t x = 0;
  for (char c : text) {
    PageChar pc;
    pc.code = uint8_t(c);
    pc.confidence = 0.9;
    pc.box = {x, 0, x + 10, 20};
    x += 12;
    word.chars.push_back(pc);
  }
  return word;
}

void Doubt(PageWord& word, size_t position, char other, double confidence) {
  word.chars[position].alternatives.push_back({uint8_t(other), confidence});
}

const WordLookup& German() {
  static const WordLookup words =
      Lookup({"wandert", "wandern", "Haus", "Maus", "sehr", "und", "Bahn", "Kinder", "Rinder",
              "ihre", "Know-how", "Wetter", "Nordsee", "vielleicht", "wollte"});
  return words;
}

struct Doubting {
  size_t position;
  char other;
  double confidence;
};
using Outcome = std::pair<bool, std::string>;

// A word read as `text` with `doubts` added.
PageWord Doubted(const std::string& text, const std::vector<Doubting>& doubts) {
  PageWord word = Word(text);
  for (const Doubting& d : doubts) Doubt(word, d.position, d.other, d.confidence);
  return word;
}

// A page of one block holding one line of `words`.
PageText OneLine(std::vector<PageWord> words) {
  PageText page;
  page.blocks.resize(1);
  page.blocks[0].lines.resize(1);
  page.blocks[0].lines[0].words = std::move(words);
  return page;
}

// `text` read with `doubts`, settled against `words`: whether it was settled, and its text.
Outcome Settled(const std::string& text, const std::vector<Doubting>& doubts,
                const WordLookup& words) {
  PageWord word = Doubted(text, doubts);
  const bool settled = SettleWord(word, words);
  return {settled, word.Text()};
}

// The same for the marks of the word.
Outcome MarksSettled(const std::string& text, const std::vector<Doubting>& doubts) {
  PageWord word = Doubted(text, doubts);
  const bool settled = SettleMarks(word);
  return {settled, word.Text()};
}

TEST(WordLookup, FindsWordsAndSentenceInitialCapitals) {
  const WordLookup& words = German();
  EXPECT_TRUE(words.Contains("wandert"));
  EXPECT_FALSE(words.Contains("wander"));
  EXPECT_FALSE(words.Contains(""));
  EXPECT_TRUE(words.Knows("Sehr"));   // "sehr" at a sentence's start
  EXPECT_FALSE(words.Knows("hAUS"));  // a noun's capital is not optional the other way
  EXPECT_FALSE(words.Contains("haus"));
  WordLookup empty;
  EXPECT_FALSE(empty.Contains("und"));
  empty.Build();
  EXPECT_FALSE(empty.Knows("und"));
}

TEST(WordLookup, ManyWordsAllFound) {
  WordLookup words;
  for (int i = 0; i < 20000; ++i) words.Add("w" + std::to_string(i));
  words.Build();
  for (int i = 0; i < 20000; i += 7) ASSERT_TRUE(words.Contains("w" + std::to_string(i)));
  EXPECT_FALSE(words.Contains("w20000"));
  EXPECT_EQ(words.Size(), 20000u);
}

TEST(SettleWord, DoubtfulLetterTakesTheListsReading) {
  PageWord word = Word("wanbert");
  Doubt(word, 3, 'd', 0.85);
  Doubt(word, 3, 'h', 0.80);
  EXPECT_TRUE(SettleWord(word, German()));
  EXPECT_EQ(word.Text(), "wandert");
  // The reading given up stays as an alternative.
  EXPECT_EQ(word.chars[3].alternatives.front().code, 'b');
}

TEST(SettleWord, PunctuationAroundTheWordStays) {
  EXPECT_EQ(Settled("\x84wanbert,", {{4, 'd', 0.86}}, German()), Outcome(true, "\x84wandert,"));
}

TEST(SettleWord, WordOfTheListStaysEvenWithCloseAlternatives) {
  // "wandern" is a word too.
  EXPECT_EQ(Settled("wandert", {{6, 'n', 0.899}}, German()), Outcome(false, "wandert"));
}

TEST(SettleWord, NumbersAndUnknownNamesStay) {
  EXPECT_EQ(Settled("2019", {{0, 'Z', 0.89}}, German()), Outcome(false, "2019"));

  PageWord mixed = Word("1O");  // a number with a letter-like digit: left alone
  Doubt(mixed, 0, 'I', 0.89);
  EXPECT_FALSE(SettleWord(mixed, Lookup({"IO"})));

  PageWord name = Word("\xD6zt\xFCrk");  // no reading of it is a list word
  Doubt(name, 0, 'O', 0.88);
  EXPECT_FALSE(SettleWord(name, German()));

  // A capitalised unknown word is taken only on close readings: two changes of 0.05 each
  // are too far.
  EXPECT_EQ(Settled("Hoas", {{1, 'a', 0.85}, {2, 'u', 0.85}}, German()), Outcome(false, "Hoas"));
}

TEST(SettleWord, CapitalisedNounWithOneClearDoubtIsSettled) {
  EXPECT_EQ(Settled("Bahm", {{3, 'n', 0.86}}, German()), Outcome(true, "Bahn"));
  // "lhre" at a sentence's start: the capital I was doubtful.
  EXPECT_EQ(Settled("lhre", {{0, 'I', 0.87}}, German()), Outcome(true, "Ihre"));
}

TEST(SettleWord, SeveralNearTiesAreSettledTogether) {
  // I and l, 0 and o: the classifier can hardly tell them apart.
  EXPECT_EQ(Settled("w0IIte", {{1, 'o', 0.83}, {2, 'l', 0.896}, {3, 'l', 0.896}}, German()),
            Outcome(true, "wollte"));
  // As many digits as letters, a letter first: a word.
  EXPECT_EQ(Settled("s0", {{1, 'o', 0.83}}, Lookup({"so"})), Outcome(true, "so"));
  EXPECT_EQ(Settled("VieIIeicht", {{3, 'l', 0.896}, {4, 'l', 0.896}}, German()),
            Outcome(true, "Vielleicht"));
}

TEST(SettleMarks, LowQuoteAfterALetterIsAComma) {
  EXPECT_EQ(MarksSettled("Wetter\x82", {{6, ',', 0.7}}), Outcome(true, "Wetter,"));
  EXPECT_EQ(MarksSettled("1\x82"
                         "4",
                         {{1, ',', 0.8}}),
            Outcome(true, "1,4"));
  // An opening quote at the word's start stays; so does one without a comma reading, or
  // one whose comma reading is far below.
  PageWord quoted = Word("\x82Wetter");
  Doubt(quoted, 0, ',', 0.89);
  EXPECT_FALSE(SettleMarks(quoted));
  EXPECT_EQ(MarksSettled("Wetter\x82", {{6, ',', 0.3}, {6, '.', 0.89}}),
            Outcome(false, "Wetter\x82"));
  // A comma in front of a word is the low quote.
  EXPECT_EQ(MarksSettled(",Wort", {{0, '\x82', 0.85}}), Outcome(true, "\x82Wort"));
}

// The place rule for the comma and the low single quote is one: where the reader offers the
// other of the two, the word list's settling gives what the extended run gives outright.
TEST(SettleMarks, CommaAndLowQuoteAreSettledAsTheRunSettlesThem) {
  for (const std::string text : {"Wetter\x82", "\x82Wetter", ",Wort", ",5",
                                 "1\x82"
                                 "4",
                                 "\x82\x82Wort", ",", "\x82"}) {
    PageWord offered = Word(text);
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == ',') Doubt(offered, i, '\x82', 0.85);
      if (text[i] == '\x82') Doubt(offered, i, ',', 0.85);
    }
    PageWord outright = offered;
    SettleMarks(offered);
    SettleCommas(&outright);
    EXPECT_EQ(offered.Text(), outright.Text()) << text;
  }
  // A low double quote after a character is a comma with a speck, when read so too; one
  // that opens a word stays.
  EXPECT_EQ(MarksSettled("Wetter\x84", {{6, ',', 0.8}}), Outcome(true, "Wetter,"));
  EXPECT_EQ(MarksSettled("\x84Wetter", {{0, ',', 0.89}}), Outcome(false, "\x84Wetter"));
}

TEST(SettleWord, WeakEvidenceStays) {
  // The alternative scored far below the reading.
  EXPECT_EQ(Settled("wanbert", {{3, 'd', 0.55}}, German()), Outcome(false, "wanbert"));

  // Two list words equally close: nothing tells them apart.
  EXPECT_EQ(Settled("Ninder", {{0, 'K', 0.87}, {0, 'R', 0.87}}, German()),
            Outcome(false, "Ninder"));

  // Four changes are too many even when each is close.
  PageWord many = Word("xamdcrf");
  Doubt(many, 0, 'w', 0.89);
  Doubt(many, 2, 'n', 0.89);
  Doubt(many, 5, 'e', 0.89);
  Doubt(many, 6, 't', 0.89);
  EXPECT_FALSE(SettleWord(many, German()));
}

TEST(SettleDoubtfulCharacters, CountsAndSummarisesThePage) {
  PageText page = OneLine({Word("und"), Doubted("Maux", {{3, 's', 0.88}}), Word("Xyzzy")});
  const CorrectionCount count = SettleDoubtfulCharacters(page, German());
  EXPECT_EQ(count.wordsChecked, 2);
  EXPECT_EQ(count.wordsChanged, 1);
  EXPECT_EQ(page.blocks[0].lines[0].words[1].Text(), "Maus");
  EXPECT_LT(page.blocks[0].lines[0].words[1].confidence, 0.9);
  EXPECT_FALSE(page.blocks[0].box.Empty());
}

TEST(SettleDoubtfulCharacters, WithoutAListOnlyMarksAreSettled) {
  PageText page = OneLine({Doubted("Maux\x82", {{3, 's', 0.89}, {4, ',', 0.8}})});
  const CorrectionCount count = SettleDoubtfulCharacters(page, WordLookup());
  EXPECT_EQ(count.marksChanged, 1);
  EXPECT_EQ(count.wordsChanged, 0);
  EXPECT_EQ(page.blocks[0].lines[0].words[0].Text(), "Maux,");
}

TEST(JoinsDividedWord, DividedWordsJoinCompoundHyphensStay) {
  const WordLookup& words = German();
  EXPECT_TRUE(JoinsDividedWord("Wet", "ter", &words));
  EXPECT_TRUE(JoinsDividedWord("Wet", "ter,", nullptr));
  EXPECT_TRUE(JoinsDividedWord("unbe", "kannt", &words));  // unknown: a division is likelier
  EXPECT_FALSE(JoinsDividedWord("Nord", "Ostsee", &words));
  EXPECT_FALSE(JoinsDividedWord("Bus", "und", &words));
  EXPECT_FALSE(JoinsDividedWord("Know", "how", &words));  // the list knows "Know-how"
  EXPECT_FALSE(JoinsDividedWord("19", "20", &words));
  EXPECT_FALSE(JoinsDividedWord("", "ter", &words));
}

}  // namespace

namespace {

// A word's probability of being right: its characters' together; in a known word only the
// readings that make another known word keep their doubt.
TEST(WordRightProbability, AKnownWordDoubtsOnlyReadingsThatAreWordsToo) {
  // "wollte" with its l doubted as I: "woIlte" is no word, so the list settles the doubt.
  PageWord wollte = Doubted("wollte", {{2, 'I', 0.3}});
  wollte.chars[2].confidence = 0.7;
  const double raw = std::pow(0.9, 5) * 0.7;
  EXPECT_NEAR(WordRightProbability(wollte, nullptr), raw, 1e-9);
  EXPECT_NEAR(WordRightProbability(wollte, &German()), 1.0, 1e-9);
  // "Haus" doubted as "Maus": both are words, the doubt stays.
  PageWord haus = Doubted("Haus", {{0, 'M', 0.45}});
  haus.chars[0].confidence = 0.45;
  EXPECT_NEAR(WordRightProbability(haus, &German()), 0.5, 1e-9);
  // An unknown word and the punctuation beside a known one keep every doubt.
  PageWord unknown = Doubted("Hous", {{1, 'a', 0.2}});
  EXPECT_NEAR(WordRightProbability(unknown, &German()), std::pow(0.9, 4), 1e-9);
  PageWord quoted = Word("sehr,");
  quoted.chars[4].confidence = 0.4;
  EXPECT_NEAR(WordRightProbability(quoted, &German()), 0.4, 1e-9);
}

TEST(WeighByKnownWords, EveryFormatGetsTheKnownWordsEvidence) {
  // A letter the word reading took from its second reading ("sont" of "sonf"): "wollte" with
  // its l read at 0.2, "Haus" as likely "Maus", an unknown word, a comma beside a word.
  PageWord wollte = Doubted("wollte", {{2, 'I', 0.7}});
  wollte.chars[2].confidence = 0.2;
  PageWord haus = Doubted("Haus", {{0, 'M', 0.45}});
  haus.chars[0].confidence = 0.45;
  PageWord hous = Doubted("Hous", {{1, 'a', 0.2}});
  PageWord sehr = Word("sehr,");
  sehr.chars[4].confidence = 0.4;
  PageText page = OneLine({wollte, haus, hous, sehr});
  WeighByKnownWords(page, German());
  const std::vector<PageWord>& words = page.blocks[0].lines[0].words;
  EXPECT_NEAR(words[0].chars[2].confidence, 1.0, 1e-9);
  EXPECT_NEAR(words[0].confidence, 1.0, 1e-9);  // the summaries follow
  EXPECT_NEAR(words[1].chars[0].confidence, 0.5, 1e-9);
  EXPECT_NEAR(words[2].chars[1].confidence, 0.9, 1e-9);
  EXPECT_NEAR(words[3].confidence, 0.4, 1e-9);
  EXPECT_NEAR(page.blocks[0].lines[0].confidence, 0.4, 1e-9);
}

}  // namespace
