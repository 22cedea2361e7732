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
    {"deu", "", "", "äöüß"},
    {"eng", "en_US", "hunspell-en-us", ""},
    {"fra", "fr_FR", "hunspell-fr", "àâæçéèêëîïôœùûüÿ"},
    {"ita", "it_IT", "hunspell-it", "àèéìíîòóùú"},
    {"spa", "es_ES", "hunspell-es", "áéíñóúü¡¿"},
    {"por", "pt_PT", "hunspell-pt-pt", "áâãàçéêíóôõú"},
    {"nld", "nl_NL", "hunspell-nl", "éëïóöü"},
    {"dan", "da_DK", "hunspell-da", "æøåé"},
    {"swe", "sv_SE", "hunspell-sv", "åäöé"},
    {"nob", "nb_NO", "hunspell-no", "æøåéòóô"},
    {"cat", "ca_ES", "hunspell-ca", "àçèéíïòóúü·"},
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
  // Hunspell itself accepts a capital at a sentence's start and words in capitals.
  return !word.empty() && hunspell_->spell(Cp1252ToUtf8(word));
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
