#include "recognition/Languages.h"

#include <hunspell/hunspell.hxx>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "core/Cp1252.h"

namespace {

// Languages written in Windows-1252's letters, with the dictionary Debian installs for the
// country most of their print comes from. German is read with the program's own word list
// german.spe (from wngerman): on German pages it settles as well as Hunspell's German
// dictionary, and a lookup in it is a hash probe where Hunspell takes 20 microseconds.
const std::vector<Language> kLanguages = {
    {"deu", "de", "", "", "äöüß",
     "der die und in den von zu das mit sich des auf für ist im dem nicht ein eine als auch es an "
     "werden aus er hat dass sie nach wird bei einer um am sind noch wie einem über einen so zum "
     "war haben nur oder aber vor zur bis"},
    {"eng", "en", "en_US", "hunspell-en-us", "",
     "the of and to in is that for it as was with be by on not he this are or his from at which "
     "but have an had they you were their one all we been has more would there when your will "
     "our can if"},
    {"fra", "fr", "fr_FR", "hunspell-fr", "àâæçéèêëîïôœùûüÿ",
     "de la le et les des en un du une que est pour qui dans par au sur pas plus ne se ce il "
     "sont avec ou son aux elle nous vous mais cette comme ont été"},
    {"ita", "it", "it_IT", "hunspell-it", "àèéìíîòóùú",
     "di il la che le per un in del della non una con si da sono al dei gli nel alla anche come "
     "più ma delle ha lo questo se"},
    {"spa", "es", "es_ES", "hunspell-es", "áéíñóúü¡¿",
     "de la que el en los del se las por un para con no una su al es lo como más pero sus le ya "
     "fue este ha"},
    {"por", "pt", "pt_PT", "hunspell-pt-pt", "áâãàçéêíóôõú",
     "de que do da em um para com não uma os no se na por mais as dos como mas ao ele das"},
    {"nld", "nl", "nl_NL", "hunspell-nl", "éëïóöü",
     "de het een van en in is dat op te zijn met voor niet aan er die ook als bij door maar om "
     "dan nog wordt uit"},
    {"dan", "da", "da_DK", "hunspell-da", "æøåé",
     "og at det er en til af den på med for som de ikke har et var sig fra"},
    {"swe", "sv", "sv_SE", "hunspell-sv", "åäöé",
     "och att det som en på är av för med den till har inte de ett om var"},
    {"nob", "nb", "nb_NO", "hunspell-no", "æøåéòóô",
     "og det er en til på som at av for med ikke den har de et var"},
    {"cat", "ca", "ca_ES", "hunspell-ca", "àçèéíïòóúü·",
     "de la que el les en per del un una amb no els es al com va"},
};

// A letter or mark the page's languages do not write is this much less likely than the
// classifier thinks: a speck over an "e" or a broken "h" ("lì") then reads as the plain letters,
// and a clear foreign letter (a name's "ñ") still wins over a poor look-alike.
constexpr double kForeignLetterPrior = 0.1;

// The special letters of Windows-1252 (those with diacritics, ß, æ, ø, œ, ð, þ), and the
// marks that only some languages write (· ¡ ¿) or none does in running text (lone accents,
// ¦ ¤): a speck beside a word reads as one of them.
bool IsSpecialCharacter(uint8_t code) {
  static constexpr std::string_view kRareMarks = "\x88\x98\xA1\xA4\xA6\xA8\xAF\xB4\xB7\xB8\xBF";
  return (code >= 0x80 && IsLetter1252(code)) ||
         kRareMarks.find(char(code)) != std::string_view::npos;
}

constexpr const char* kDebianDictionaries = "/usr/share/hunspell";

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);  // follows Debian's links
}

std::string DicFile(const std::string& affFile) {
  return affFile.substr(0, affFile.size() - 4) + ".dic";
}

}  // namespace

const std::vector<Language>& KnownLanguages() {
  return kLanguages;
}

CharacterPriors PriorsOf(const std::vector<Language>& languages) {
  CharacterPriors priors;
  for (size_t code = 0; code < priors.size(); ++code)
    priors[code] = IsSpecialCharacter(uint8_t(code)) ? kForeignLetterPrior : 1.0;
  for (const Language& language : languages) {
    std::string letters;
    if (!Utf8ToCp1252(language.letters, &letters)) continue;
    for (const char letter : letters) {
      priors[uint8_t(letter)] = 1.0;
      priors[ToCapital1252(uint8_t(letter))] = 1.0;
    }
  }
  return priors;
}

std::string LanguageCodes() {
  std::string codes;
  for (const Language& language : kLanguages)
    codes += (codes.empty() ? "" : ", ") + std::string(language.code);
  return codes;
}

bool ParseLanguages(std::string_view list, std::vector<Language>* languages, std::string* error) {
  languages->clear();
  size_t start = 0;
  while (true) {
    const size_t end = std::min(list.find('+', start), list.size());
    const std::string_view code = list.substr(start, end - start);
    const auto known = std::find_if(kLanguages.begin(), kLanguages.end(),
                                    [code](const Language& l) { return code == l.code; });
    if (known == kLanguages.end()) {
      *error = code.empty() ? "a language code is missing"
                            : "unknown language \"" + std::string(code) + "\"";
      *error += "; known: " + LanguageCodes();
      return false;
    }
    const bool listed = std::any_of(languages->begin(), languages->end(),
                                    [code](const Language& l) { return code == l.code; });
    if (!listed) languages->push_back(*known);
    if (end == list.size()) return true;
    start = end + 1;
  }
}

std::vector<std::string> DictionaryFolders() {
  std::vector<std::string> folders;
  const char* path = std::getenv("DICPATH");
  for (std::string_view rest = path ? path : ""; !rest.empty();) {
    const size_t colon = std::min(rest.find(':'), rest.size());
    if (colon > 0) folders.emplace_back(rest.substr(0, colon));
    rest.remove_prefix(std::min(colon + 1, rest.size()));
  }
  folders.push_back(kDebianDictionaries);
  return folders;
}

std::string FindDictionary(const Language& language, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    const std::string aff = folder + "/" + language.dictionary + ".aff";
    if (IsFile(aff) && IsFile(DicFile(aff))) return aff;
  }
  return "";
}

std::string NotInstalled(const Language& language) {
  return std::string("no dictionary for ") + language.code + " is installed (Debian package " +
         language.package + ")";
}

HunspellWords::HunspellWords(std::unique_ptr<Hunspell> hunspell) : hunspell_(std::move(hunspell)) {}

HunspellWords::~HunspellWords() = default;

std::unique_ptr<HunspellWords> HunspellWords::Open(const Language& language,
                                                   const std::vector<std::string>& folders,
                                                   std::string* problem) {
  const std::string aff = FindDictionary(language, folders);
  if (aff.empty()) {
    *problem = NotInstalled(language);
    return nullptr;
  }
  auto hunspell = std::make_unique<Hunspell>(aff.c_str(), DicFile(aff).c_str());
  const std::string encoding = hunspell->get_dic_encoding();
  if (encoding != "UTF-8") {
    *problem = "the dictionary " + aff + " is in " + encoding + ", not UTF-8";
    return nullptr;
  }
  return std::unique_ptr<HunspellWords>(new HunspellWords(std::move(hunspell)));
}

bool HunspellWords::Knows(std::string_view word) const {
  if (word.empty()) return false;
  const auto answer = answers_.find(std::string(word));
  if (answer != answers_.end()) return answer->second;
  // So many words are more than a batch of pages asks about; the answers start again.
  constexpr size_t kMostAnswers = 1 << 18;
  if (answers_.size() >= kMostAnswers) answers_.clear();
  // Hunspell itself accepts a capital at a sentence's start and words in capitals.
  const bool known = hunspell_->spell(Cp1252ToUtf8(word));
  answers_.emplace(word, known);
  return known;
}

std::vector<std::string> HunspellWords::Suggest(std::string_view word) const {
  std::vector<std::string> suggestions;
  if (word.empty()) return suggestions;
  for (const std::string& utf8 : hunspell_->suggest(Cp1252ToUtf8(word))) {
    std::string suggestion;
    // A suggestion beyond Windows-1252 cannot stand in the page text.
    if (Utf8ToCp1252(utf8, &suggestion)) suggestions.push_back(suggestion);
  }
  return suggestions;
}

namespace {

// The capital of a letter tried in a word's capital: the letters that Windows-1252 shares
// with Latin-1 change case, the others (Š Œ Ž Ÿ and their small forms) stay as they are.
char CapitalOf(char small) {
  const uint8_t capital = ToCapital1252(uint8_t(small));
  return SameInLatin1(uint8_t(small)) && SameInLatin1(capital) ? char(capital) : small;
}

}  // namespace

std::vector<std::string> NearKnownWords(const KnownWords& words, std::string_view word,
                                        std::string_view letters, size_t most) {
  std::vector<std::string> found;
  const auto consider = [&](const std::string& candidate) {
    if (found.size() < most && !candidate.empty() && candidate != word &&
        std::find(found.begin(), found.end(), candidate) == found.end() && words.Knows(candidate))
      found.push_back(candidate);
  };
  const std::string original(word);
  // A misread character is the commonest fault of a reading, then one too many or too few.
  for (size_t i = 0; i < original.size(); ++i)
    for (char letter : letters) {
      std::string candidate = original;
      // A capital stays a capital: the misread first letter of a noun.
      candidate[i] = IsCapital1252(uint8_t(original[i])) ? CapitalOf(letter) : letter;
      consider(candidate);
    }
  for (size_t i = 0; i < original.size(); ++i) consider(std::string(original).erase(i, 1));
  for (size_t i = 0; i + 1 < original.size(); ++i) {
    std::string candidate = original;
    std::swap(candidate[i], candidate[i + 1]);
    consider(candidate);
  }
  for (size_t i = 0; i <= original.size(); ++i)
    for (char letter : letters) consider(std::string(original).insert(i, 1, letter));
  return found;
}

LanguageDictionaries OpenDictionaries(const std::vector<Language>& languages,
                                      const std::vector<std::string>& folders) {
  LanguageDictionaries dictionaries;
  for (const Language& language : languages) {
    std::string problem;
    if (auto words = HunspellWords::Open(language, folders, &problem))
      dictionaries.open.push_back(std::move(words));
    else
      dictionaries.problems.push_back(problem);
  }
  return dictionaries;
}

namespace {

// A page's words are a language's where so large a share of them are its common words: about
// a quarter and more of a page's words are, in each language, and a tenth of the words of a
// page in a language not among them (Latin) are another's.
constexpr double kCommonWordsShare = 0.15;
// And so many of them at least: fewer, as on a label or a short note, tell no language surely.
constexpr size_t kFewestCommonWords = 8;
// Another language than the usual one is the page's where its common words stand on the page
// this many times as often; a few English words quoted on a German page are not.
constexpr size_t kPlainlyMore = 2;
// A second language is the page's too where its common words stand at least this share as
// often as the first's: a page in two languages, as a bilingual notice or a letter's reply.
constexpr double kSecondLanguageShare = 0.4;

std::string CommonWordsOf(const Language& language) {
  std::string common;
  if (!Utf8ToCp1252(language.commonWords, &common)) return {};
  return " " + common + " ";
}

// How many of the words are the language's common words (blank before and after each), less
// those that are common words of `but` too.
size_t CommonWordsAmong(const std::vector<std::string>& words, const std::string& common,
                        const std::string& but = {}) {
  size_t found = 0;
  for (const std::string& word : words) {
    std::string small = " ";
    for (const char c : word)
      if (IsLetter1252(uint8_t(c))) small += char(ToSmall1252(uint8_t(c)));
    small += ' ';
    if (small.size() >= 4 && common.find(small) != std::string::npos &&
        but.find(small) == std::string::npos)
      ++found;
  }
  return found;
}

// The words that may be a language's: two letters or more. Figures, dates and marks are no
// language's, and a letter's or an invoice's many would hide the share of its words.
size_t WordsOfLetters(const std::vector<std::string>& words) {
  return size_t(std::count_if(words.begin(), words.end(), [](const std::string& word) {
    return std::count_if(word.begin(), word.end(),
                         [](char c) { return IsLetter1252(uint8_t(c)); }) >= 2;
  }));
}

// A page of this many words whose first reading holds fewer than this share of any language's
// common words spells none: a page in any language holds a quarter and more, one read badly (a
// fax) a tenth; a light copy whose letters fell apart into strokes, under 4 %.
constexpr size_t kWordsToTellNoLanguage = 40;
constexpr double kHardlyAnyCommonWords = 0.05;

}  // namespace

bool HardlyAnyLanguagesWords(const std::vector<std::string>& words,
                             const std::vector<Language>& candidates) {
  if (words.size() < kWordsToTellNoLanguage) return false;
  for (const Language& language : candidates)
    if (double(CommonWordsAmong(words, CommonWordsOf(language))) >=
        kHardlyAnyCommonWords * double(words.size()))
      return false;
  return true;
}

std::string PageLanguagesByCommonWords(const std::vector<std::string>& words,
                                       const std::vector<Language>& candidates,
                                       const std::string& usual) {
  std::vector<std::string> common;
  for (const Language& language : candidates) common.push_back(CommonWordsOf(language));
  size_t first = candidates.size(), firstCount = 0, usualCount = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const size_t count = CommonWordsAmong(words, common[i]);
    if (candidates[i].code == usual) usualCount = count;
    if (count > firstCount) first = i, firstCount = count;
  }
  if (first == candidates.size() || firstCount < kFewestCommonWords ||
      double(firstCount) < kCommonWordsShare * double(WordsOfLetters(words)))
    return {};
  const bool usualFirst = candidates[first].code == usual;
  if (!usualFirst && firstCount < kPlainlyMore * usualCount) return {};
  // The languages share many common words ("de", "en", "la"): a second language is told by
  // those the first does not write, against those of the first it does not write.
  size_t second = candidates.size(), secondOwn = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    if (i == first) continue;
    const size_t own = CommonWordsAmong(words, common[i], common[first]);
    if (own > secondOwn) second = i, secondOwn = own;
  }
  const bool twoLanguages =
      second < candidates.size() &&
      double(secondOwn) >=
          kSecondLanguageShare * double(CommonWordsAmong(words, common[first], common[second])) &&
      // a language of half the page or less needs half the share
      double(secondOwn) >= kCommonWordsShare / 2 * double(words.size());
  if (usualFirst && !twoLanguages) return {};
  const std::string firstCode = candidates[first].code;
  return twoLanguages ? firstCode + "+" + candidates[second].code : firstCode;
}

std::string DocumentTagOf(const std::string& list) {
  std::vector<Language> languages;
  std::string error;
  if (!ParseLanguages(list, &languages, &error) || languages.size() != 1) return {};
  return languages[0].tag;
}
