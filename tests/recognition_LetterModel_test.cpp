// The letter model: how the page's languages spell, from the trigram table of their word
// lists.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "core/Cp1252.h"
#include "recognition/Languages.h"
#include "recognition/LetterModel.h"

namespace {

constexpr uint8_t kEdge = LetterModel::kBoundary;

// The table's lines for a language's words (UTF-8), as training/letter_model.py writes them.
std::string TableOf(const std::string& language, const std::vector<std::string>& words) {
  std::map<std::string, int> counts;
  for (const std::string& word : words) {
    std::vector<std::string> characters = {"^", "^"};
    for (size_t i = 0; i < word.size();) {
      const size_t start = i;
      Utf8Next(word, &i);
      characters.push_back(word.substr(start, i - start));
    }
    characters.push_back("$");
    for (size_t i = 2; i < characters.size(); ++i)
      ++counts[characters[i - 2] + characters[i - 1] + characters[i]];
  }
  std::string table;
  for (const auto& [gram, n] : counts)
    table += language + "\t" + gram + "\t" + std::to_string(n) + "\n";
  return table;
}

LetterModel ModelOf(const std::string& table, const std::vector<std::string>& languages) {
  std::istringstream in(table);
  return LetterModel::FromTable(in, languages);
}

const std::vector<std::string> kGerman = {"drei",  "dreimal", "mal",  "malen", "reim", "leise",
                                          "lesen", "dreh",    "rede", "edel",  "meer"};

}  // namespace

TEST(LetterModel, SequencesTheWordsSpellWeighAboveOnesTheyDoNot) {
  const LetterModel model = ModelOf(TableOf("deu", kGerman), {"deu"});
  ASSERT_FALSE(model.Empty());
  // "dr" begins words, "lr" none; "mal" ends one, "ma" alone none.
  EXPECT_GT(model.Weigh(kEdge, 'd', 'r'), model.Weigh(kEdge, 'l', 'r') + 1.0);
  EXPECT_GT(model.Weigh('m', 'a', 'l'), model.Weigh('m', 'a', 'x') + 1.0);
  EXPECT_GT(model.Weigh('a', 'l', kEdge), model.Weigh('m', 'a', kEdge));
  // A usual sequence weighs above the average letter, an unseen one below.
  EXPECT_GT(model.Weigh('d', 'r', 'e'), 0.0);
  EXPECT_LT(model.Weigh(kEdge, 'l', 'r'), 0.0);
  // Capitals spell as their small letters.
  EXPECT_DOUBLE_EQ(model.Weigh(kEdge, kEdge, 'D'), model.Weigh(kEdge, kEdge, 'd'));
  EXPECT_DOUBLE_EQ(model.Weigh('D', 'R', 'E'), model.Weigh('d', 'r', 'e'));
}

TEST(LetterModel, OnlyTheNamedLanguagesSpeak) {
  const std::string table = TableOf("deu", kGerman) + TableOf("fra", {"oui", "quoi", "quand"});
  const LetterModel german = ModelOf(table, {"deu"});
  const LetterModel french = ModelOf(table, {"fra"});
  const LetterModel both = ModelOf(table, {"deu", "fra"});
  EXPECT_GT(french.Weigh(kEdge, 'q', 'u'), german.Weigh(kEdge, 'q', 'u') + 1.0);
  // Together, each language's sequences stay likely.
  EXPECT_GT(both.Weigh(kEdge, 'q', 'u'), 0.0);
  EXPECT_GT(both.Weigh(kEdge, 'd', 'r'), 0.0);

  // No line of the languages: no model, and no letter weighs more than another.
  const LetterModel none = ModelOf(table, {"ita"});
  EXPECT_TRUE(none.Empty());
  EXPECT_EQ(none.Weigh(kEdge, 'l', 'r'), 0.0);
  EXPECT_TRUE(LetterModel::FromFile("/nonexistent/letters.tsv", {"deu"}).Empty());
}

TEST(LetterModel, DamagedLinesArePassedOver) {
  const std::string table = TableOf("deu", kGerman);
  const std::string damaged =
      "# a comment\n\ndeu\n deu\tdre\t3\ndeu\tdr\t5\ndeu\tdrei\t5\n"
      "deu\td1e\t5\ndeu\tdre\tmany\ndeu\tdre\t-4\ndeu\tdre\t7x\n" +
      table + "deu\tdr";
  const LetterModel clean = ModelOf(table, {"deu"});
  const LetterModel model = ModelOf(damaged, {"deu"});
  for (const auto& [a, b, c] : {std::array<uint8_t, 3>{kEdge, 'd', 'r'},
                                {'d', 'r', 'e'},
                                {'a', 'l', kEdge},
                                {'x', 'y', 'z'}})
    EXPECT_DOUBLE_EQ(model.Weigh(a, b, c), clean.Weigh(a, b, c));
}

// A letter with an accent that the language seldom writes weighs as its base letter: the
// glyph, not the model, says whether the accent is there. Where the language writes it
// often, it is a letter of its own.
TEST(LetterModel, ARareAccentedLetterWeighsAsItsBaseLetter) {
  std::vector<std::string> german = kGerman;
  for (int i = 0; i < 400; ++i) german.push_back("tee");  // one "é" in over a thousand letters
  german.push_back("café");
  for (int i = 0; i < 10; ++i) german.push_back("ärmel");
  const LetterModel model = ModelOf(TableOf("deu", german), {"deu"});
  EXPECT_DOUBLE_EQ(model.Weigh('a', 'f', 0xE9), model.Weigh('a', 'f', 'e'));   // é
  EXPECT_NE(model.Weigh(kEdge, kEdge, 0xE4), model.Weigh(kEdge, kEdge, 'a'));  // ä is common

  const LetterModel french = ModelOf(TableOf("fra", {"été", "café", "thé", "de", "le"}), {"fra"});
  EXPECT_NE(french.Weigh('a', 'f', 0xE9), french.Weigh('a', 'f', 'e'));
}

// The program's table holds every language the program reads.
TEST(LetterModel, TheProgramsTableHasEveryLanguage) {
  for (const Language& language : KnownLanguages()) {
    const LetterModel model =
        LetterModel::FromFile(std::string(QUILLON_MODEL_DIR) + "/letters.tsv", {language.code});
    ASSERT_FALSE(model.Empty()) << language.code;
    EXPECT_GT(model.Weigh(kEdge, 't', 'h'), model.Weigh(kEdge, 't', 'q')) << language.code;
  }
  const LetterModel german =
      LetterModel::FromFile(std::string(QUILLON_MODEL_DIR) + "/letters.tsv", {"deu"});
  EXPECT_GT(german.Weigh('s', 'c', 'h'), german.Weigh('s', 'c', 'x') + 3.0);
}
