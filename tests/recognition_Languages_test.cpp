// The page's languages: codes, Hunspell's dictionaries behind the settling, dictionaries
// that are not installed, and the form reading with the languages it is set to.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "recognition/Languages.h"
#include "recognition/WordList.h"
#include "tests/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Codes(const std::string& list) {
  std::vector<Language> languages;
  std::string error;
  EXPECT_TRUE(ParseLanguages(list, &languages, &error)) << list << ": " << error;
  std::vector<std::string> codes;
  for (const Language& language : languages) codes.push_back(language.code);
  return codes;
}

// Why `list` is refused; empty when it is not.
std::string Refusal(const std::string& list) {
  std::vector<Language> languages;
  std::string error;
  return ParseLanguages(list, &languages, &error) ? "" : error;
}

const Language& Known(const std::string& code) {
  for (const Language& language : KnownLanguages())
    if (code == language.code) return language;
  ADD_FAILURE() << code;
  return KnownLanguages().front();
}

std::unique_ptr<HunspellWords> Dictionary(const std::string& code) {
  std::string problem;
  auto words = HunspellWords::Open(Known(code), DictionaryFolders(), &problem);
  EXPECT_TRUE(words) << problem;
  return words;
}

// The German word list as the program builds it: wngerman's words in Windows-1252.
const WordLookup& GermanList() {
  static const WordLookup words = [] {
    WordLookup lookup;
    std::ifstream in("/usr/share/dict/ngerman");
    std::string line, word;
    while (std::getline(in, line))
      if (Utf8ToCp1252(line, &word)) lookup.Add(word);
    lookup.Build();
    return lookup;
  }();
  return words;
}

// `text` read with every character at 0.9 and the alternatives `doubts` (position,
// Windows-1252 code, confidence), settled against `words`: the text it ends with.
std::string Settled(const std::string& text,
                    const std::vector<std::tuple<size_t, uint8_t, double>>& doubts,
                    const KnownWords& words) {
  PageWord word;
  for (char c : text) {
    PageChar pc;
    pc.code = uint8_t(c);
    pc.confidence = 0.9;
    word.chars.push_back(pc);
  }
  for (const auto& [position, code, confidence] : doubts)
    word.chars[position].alternatives.push_back({code, confidence});
  SettleWord(word, words);
  return word.Text();
}

TEST(Languages, ListsOfKnownCodesGiveEachLanguageOnceInOrder) {
  EXPECT_EQ(Codes("deu"), std::vector<std::string>{"deu"});
  EXPECT_EQ(Codes("deu+eng"), (std::vector<std::string>{"deu", "eng"}));
  EXPECT_EQ(Codes("fra+deu+fra"), (std::vector<std::string>{"fra", "deu"}));
  for (const Language& language : KnownLanguages()) EXPECT_EQ(Codes(language.code).size(), 1u);
}

TEST(Languages, AListOfOneLanguageHasTheTagDocumentsUse) {
  EXPECT_EQ(DocumentTagOf("fra"), "fr");
  EXPECT_EQ(DocumentTagOf("deu"), "de");
  EXPECT_EQ(DocumentTagOf("nob"), "nb");
  EXPECT_EQ(DocumentTagOf("deu+eng"), "");  // which of the two a word is in is not known
  EXPECT_EQ(DocumentTagOf("xyz"), "");
}

TEST(Languages, UnknownCodesAndEmptyItemsAreRefusedWithTheKnownCodes) {
  for (const char* list : {"", "deu+", "+eng", "deu++eng", "DEU", "de", "xyz", "deu eng"}) {
    const std::string refusal = Refusal(list);
    EXPECT_NE(refusal.find("known: deu, eng"), std::string::npos) << list << ": " << refusal;
  }
  EXPECT_NE(Refusal("deu+xyz").find("\"xyz\""), std::string::npos);
  EXPECT_NE(Refusal("deu+").find("missing"), std::string::npos);
}

TEST(Languages, FrenchAndEnglishWordsAreSettledByTheirDictionariesNotByTheGermanList) {
  const auto french = Dictionary("fra");
  const auto english = Dictionary("eng");
  ASSERT_TRUE(french && english);
  // "café" read with a grave accent: é is one byte on the page, two in the dictionary.
  const std::vector<std::tuple<size_t, uint8_t, double>> acute = {{3, 0xE9, 0.88}};
  EXPECT_EQ(Settled("caf\xE8", acute, GermanList()), "caf\xE8");
  EXPECT_EQ(Settled("caf\xE8", acute, *french), "caf\xE9");
  EXPECT_EQ(Settled("Caf\xE8", acute, *french), "Caf\xE9");  // a sentence's first word
  // "hcuse" could be English "house" or German "hause": each language takes its own.
  const std::vector<std::tuple<size_t, uint8_t, double>> vowels = {{1, 'o', 0.88}, {1, 'a', 0.85}};
  EXPECT_EQ(Settled("hcuse", vowels, GermanList()), "hause");
  EXPECT_EQ(Settled("hcuse", vowels, *english), "house");
  AnyOfWords both;
  both.languages = {&GermanList(), english.get()};
  EXPECT_EQ(Settled("hcuse", vowels, both), "house");  // the closer reading of the two
  EXPECT_TRUE(both.Knows("Haus") && both.Knows("house") && !both.Knows("maison"));
}

// A page's words, as its first reading parts them (Windows-1252).
std::vector<std::string> WordsOf(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

TEST(Languages, APagesLanguageIsToldByItsCommonWords) {
  const auto guess = [](const std::string& text) {
    return PageLanguagesByCommonWords(WordsOf(text), KnownLanguages(), kUsualLanguage);
  };
  const std::string english =
      "The building was given to the town by a family of mill owners who had made their money "
      "in wool, and their portrait still hangs above the fireplace in the reading room. ";
  const std::string french =
      "Elle a appris le m\xE9tier aupr\xE8s de son oncle, qui reliait les registres de la mairie "
      "et les missels de la paroisse pour les collectionneurs. ";
  const std::string german =
      "Der Saal war bis auf den letzten Platz besetzt, und viele Zuh\xF6rer mussten stehen, als "
      "sie die alten Briefe zeigte, die auf einem Dachboden gefunden wurden. ";
  EXPECT_EQ(guess(english + english), "eng");
  EXPECT_EQ(guess(french + french), "fra");
  EXPECT_EQ(guess(german + german), "");  // the usual language: nothing to change
  // A page in two languages, the one of more words first.
  EXPECT_EQ(guess(french + french + english), "fra+eng");
  EXPECT_EQ(guess(english + english + french), "eng+fra");
  EXPECT_EQ(guess(german + english), "deu+eng");
  // An English phrase quoted on a German page, and French that shares "de", "la" and "en" with
  // Spanish, bring in no second language.
  EXPECT_EQ(guess(german + german + "a quiet little place"), "");
  EXPECT_EQ(guess(french + french + french), "fra");
  // An invoice: its figures are no language's words, and its few words are plainly English.
  EXPECT_EQ(guess("Invoice 2024/0193 of 04.03.2024 for your order 55-2381 of 26.02.2024: 1 40 "
                  "boxes steel screws M6 30 0.35 14.00 2 12 torque wrenches 48.00 576.00 3 6 drill "
                  "sets 89.00 534.00 4 2 cases 330.00 660.00 5 25 dowels 0.12 3.00 6 3 brackets "
                  "2.49 7.47 7 1 hammer 19.90 19.90 8 4 files 5.60 22.40 9 10 hinges 1.10 11.00 10 "
                  "2 saws 24.00 48.00 total 1,784.00 VAT 20 % 356.80 The goods will be shipped on "
                  "11.03.2024 and the amount is payable within 30 days to our account."),
            "eng");
  // Too few words to tell, or a language none of them is (Latin).
  EXPECT_EQ(guess("the cat and the dog"), "");
  EXPECT_EQ(guess("Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
                  "tempor incididunt ut labore et dolore magna aliqua, ut enim ad minim veniam "
                  "quis nostrud exercitation ullamco laboris nisi ut aliquip ex ea commodo "
                  "consequat in voluptate velit esse cillum dolore eu fugiat nulla pariatur."),
            "");
  // Only installed languages are candidates.
  std::vector<Language> withoutEnglish;
  for (const Language& language : KnownLanguages())
    if (std::string(language.code) != "eng") withoutEnglish.push_back(language);
  EXPECT_EQ(PageLanguagesByCommonWords(WordsOf(english + english), withoutEnglish, kUsualLanguage),
            "");
}

// Letters fallen apart into strokes read as no language's words; a page read badly still
// holds its own language's, and a short note is too short to tell.
TEST(Languages, WordsOfStrokesSpellHardlyAnyLanguage) {
  std::string strokes, fax;
  for (int i = 0; i < 12; ++i) {
    strokes += "ii(l vi()l() (l()i' iiitissl,()ii ";
    fax += "Tlie buildmg was givcn to the towii by a farnily of rnill owners ";
  }
  EXPECT_TRUE(HardlyAnyLanguagesWords(WordsOf(strokes), KnownLanguages()));
  EXPECT_FALSE(HardlyAnyLanguagesWords(WordsOf(fax), KnownLanguages()));
  EXPECT_FALSE(
      HardlyAnyLanguagesWords(WordsOf("ii(l vi()l() (l()i' iiitissl,()ii"), KnownLanguages()));
}

TEST(Languages, DictionariesAreLookedForInDicpathFirst) {
  const char* before = getenv("DICPATH");
  const std::string kept = before ? before : "";
  setenv("DICPATH", "/one:/two::", 1);
  EXPECT_EQ(DictionaryFolders(), (std::vector<std::string>{"/one", "/two", "/usr/share/hunspell"}));
  before ? setenv("DICPATH", kept.c_str(), 1) : unsetenv("DICPATH");
  EXPECT_EQ(FindDictionary(Known("eng"), {"/nowhere", "/usr/share/hunspell"}),
            "/usr/share/hunspell/en_US.aff");
}

// A folder that holds the English dictionary only.
class MissingDictionary : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"en_US.aff", "en_US.dic"})
      fs::create_symlink(fs::path("/usr/share/hunspell") / file, dir / file);
  }
  void TearDown() override { fs::remove_all(dir); }
  // CheckLanguages for the extended recogniser reading `languages`: its result and message.
  std::pair<bool, std::string> Checked(const std::string& languages,
                                       RecogniserKind recogniser = RecogniserKind::Extended) {
    Settings settings;
    settings.recogniser = recogniser;
    settings.languages = languages;
    std::ostringstream err;
    const bool accepted = CheckLanguages(settings, {dir.string()}, err);
    return {accepted, err.str()};
  }
  fs::path dir = FreshTestDir("quillon_languages");
};

TEST_F(MissingDictionary, TheOthersAreOpenedAndTheMissingOneNamesItsPackage) {
  const LanguageDictionaries opened =
      OpenDictionaries({Known("eng"), Known("fra")}, {dir.string()});
  ASSERT_EQ(opened.open.size(), 1u);
  EXPECT_TRUE(opened.open[0]->Knows("house"));
  ASSERT_EQ(opened.problems.size(), 1u);
  EXPECT_EQ(opened.problems[0], "no dictionary for fra is installed (Debian package hunspell-fr)");
}

TEST_F(MissingDictionary, TheRunGoesOnWithoutItUnlessNoLanguageIsLeft) {
  const auto [withEnglish, told] = Checked("eng+fra");
  EXPECT_TRUE(withEnglish);
  EXPECT_NE(told.find("hunspell-fr); the pages are read without it"), std::string::npos) << told;
  EXPECT_EQ(Checked("eng"), std::make_pair(true, std::string()));
  EXPECT_TRUE(Checked("deu+fra").first);  // German is the program's own word list
  const auto [frenchOnly, refusal] = Checked("fra+ita");
  EXPECT_FALSE(frenchOnly);
  EXPECT_NE(refusal.find("--language=fra+ita: "), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("hunspell-it"), std::string::npos) << refusal;
  // The classic recogniser consults no language: nothing to tell.
  EXPECT_EQ(Checked("fra", RecogniserKind::Classic), std::make_pair(true, std::string()));
}

// A form whose German word list holds a few words, reading with `languages`.
class FormLanguages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir / "german.spe", std::ios::binary) << EncodeWordList({"Haus", "und"});
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir = FreshTestDir("quillon_form_languages");
  HeadlessWindow window;
};

TEST_F(FormLanguages, TheWordsAreThoseOfTheLanguagesSetAndFollowAChange) {
  TMainForm form(window, (dir / "quillon").string(), {});
  form.FormCreate();
  form.settings.recogniser = RecogniserKind::Extended;
  EXPECT_TRUE(form.PageLanguageWords().Knows("Haus"));
  EXPECT_FALSE(form.PageLanguageWords().Knows("maison"));
  form.settings.languages = "deu+fra";
  form.LoadWordLookupMeanwhile();  // the French dictionary opens on the loading thread
  EXPECT_TRUE(form.PageLanguageWords().Knows("maison"));
  EXPECT_TRUE(form.PageLanguageWords().Knows("und"));
  form.settings.languages = "eng";
  EXPECT_TRUE(form.PageLanguageWords().Knows("house"));
  EXPECT_FALSE(form.PageLanguageWords().Knows("Haus"));  // no German
  EXPECT_FALSE(form.PageLanguageWords().Knows("maison"));
}

TEST(Languages, CorrectionsAreKnownWordsOneStepAwayOrHunspellsSuggestions) {
  WordLookup list;
  for (const char* word : {"Haus", "Hauses", "Maus", "aus"}) list.Add(word);
  list.Build();
  const std::string letters = "abcdefghijklmnopqrstuvwxyz";
  // One too many before one too few; a misread capital is replaced by a capital.
  EXPECT_EQ(NearKnownWords(list, "Hauss", letters, 5),
            (std::vector<std::string>{"Haus", "Hauses"}));
  EXPECT_EQ(NearKnownWords(list, "Haus", "aeu", 5), (std::vector<std::string>{"aus"}));
  EXPECT_EQ(NearKnownWords(list, "Laus", letters, 5),
            (std::vector<std::string>{"Haus", "Maus", "aus"}));
  EXPECT_EQ(NearKnownWords(list, "Laus", letters, 1).size(), 1u);  // no more than asked for
  const auto english = Dictionary("eng");
  ASSERT_TRUE(english);
  const std::vector<std::string> suggestions = english->Suggest("hcuse");
  EXPECT_NE(std::find(suggestions.begin(), suggestions.end(), "house"), suggestions.end());
}

TEST_F(FormLanguages, ADoubtfulWordGetsCorrectionsFromEachLanguageOfThePage) {
  TMainForm form(window, (dir / "quillon").string(), {});
  form.FormCreate();
  form.settings.languages = "deu+fra";
  const std::vector<std::string> german = form.WordSuggestions("Hauss");
  ASSERT_FALSE(german.empty());
  EXPECT_EQ(german.front(), "Haus");  // the word list's, before the French dictionary's
  EXPECT_LE(german.size(), TMainForm::kMostSuggestions);
  // A French suggestion comes back as UTF-8.
  const std::vector<std::string> french = form.WordSuggestions("caf\xC3\xA8");
  EXPECT_NE(std::find(french.begin(), french.end(), "caf\xC3\xA9"), french.end());
  form.settings.languages = "eng";
  const std::vector<std::string> english = form.WordSuggestions("Hauss");
  EXPECT_EQ(std::find(english.begin(), english.end(), "Haus"), english.end());
  EXPECT_TRUE(form.WordSuggestions("").empty());
}

}  // namespace
