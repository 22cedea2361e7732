// The languages of a page (--language=deu+eng): their words settle doubtful readings. German
// words come from the program's word list, those of the other languages from their Debian
// Hunspell dictionaries; codes are ISO 639-2, as users know them from other OCR programs.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "recognition/WordCorrection.h"

class Hunspell;

struct Language {
  const char* code;        // "fra"
  const char* tag;         // as documents tag their language (ISO 639-1): "fr"
  const char* dictionary;  // the dictionary's files without .aff and .dic: "fr_FR";
                           // empty for German, which the word list german.spe holds
  const char* package;     // the Debian package that installs them
  const char* letters;     // its letters beyond a-z (small ones) and marks, in UTF-8: "äöüß"
  // Its commonest words of two letters or more (small letters, UTF-8, a blank between two),
  // which tell a page in the language from one in another.
  const char* commonWords;
};

const std::vector<Language>& KnownLanguages();
// The language a page is read in where the user names none.
inline constexpr const char* kUsualLanguage = "deu";
std::string LanguageCodes();  // "deu, eng, fra, ...", for messages

// "deu+eng": each language once, in order. False, with a sentence in *error, for an
// empty item or a code not in KnownLanguages().
bool ParseLanguages(std::string_view list, std::vector<Language>* languages, std::string* error);

// How likely each Windows-1252 character is on a page in `languages`, against what the
// learned classifier assumes (every language it was trained on): 1, and less for a letter
// with a diacritic, another special letter, or a rare mark (· ¡ ¿, a lone accent) that none
// of them writes.
using CharacterPriors = std::array<double, 256>;
CharacterPriors PriorsOf(const std::vector<Language>& languages);

// Where dictionaries are looked for: the folders of $DICPATH (':' between them, as the
// hunspell program reads it), then Debian's /usr/share/hunspell.
std::vector<std::string> DictionaryFolders();

// The .aff file of the language's dictionary (its .dic beside it) in the first of `folders`
// that holds both; empty when none does.
std::string FindDictionary(const Language& language, const std::vector<std::string>& folders);

// "no dictionary for fra is installed (Debian package hunspell-fr)"
std::string NotInstalled(const Language& language);

// One language's Hunspell dictionary. Not for two threads at once (Hunspell keeps working
// state); a form's settling runs on one thread.
class HunspellWords final : public KnownWords {
 public:
  // Nullptr, with a sentence naming the Debian package in *problem, when the dictionary is
  // not installed or not in UTF-8 (every current Debian dictionary is).
  static std::unique_ptr<HunspellWords> Open(const Language& language,
                                             const std::vector<std::string>& folders,
                                             std::string* problem);
  ~HunspellWords();
  bool Knows(std::string_view word) const override;
  bool Empty() const override { return false; }
  // Hunspell's corrections of a word it does not know, best first (Windows-1252 in and out).
  std::vector<std::string> Suggest(std::string_view word) const;

 private:
  explicit HunspellWords(std::unique_ptr<Hunspell> hunspell);
  std::unique_ptr<Hunspell> hunspell_;
  // Its answers so far: reading a page's doubtful words again asks about each word three
  // times on average, and Hunspell takes up to 15 microseconds a word (French).
  mutable std::unordered_map<std::string, bool> answers_;
};

// The words `words` knows that are one step from `word` (a character replaced by one of
// `letters`, left out, swapped with the next, or one of `letters` added), at most `most`:
// the corrections of a word list, which has no suggestions of its own.
std::vector<std::string> NearKnownWords(const KnownWords& words, std::string_view word,
                                        std::string_view letters, size_t most);

// The dictionaries of a list of languages, and a sentence for each that could not be opened.
struct LanguageDictionaries {
  std::vector<std::unique_ptr<HunspellWords>> open;
  std::vector<std::string> problems;
};
LanguageDictionaries OpenDictionaries(const std::vector<Language>& languages,
                                      const std::vector<std::string>& folders);

// Whether so many words of a page (Windows-1252) are hardly any candidate's common words: its
// letters read apart (a light copy's strokes) spell no language yet.
bool HardlyAnyLanguagesWords(const std::vector<std::string>& words,
                             const std::vector<Language>& candidates);

// The languages of `candidates` whose common words the words of a page (its first reading,
// Windows-1252) hold plainly more often than those of `usual`: "eng", or "fra+eng" for a
// page in two; empty where the usual language may be the page's, or there are too few words
// to tell.
std::string PageLanguagesByCommonWords(const std::vector<std::string>& words,
                                       const std::vector<Language>& candidates,
                                       const std::string& usual);

// The tag of a list of one language ("fra": "fr"), for the languages of hOCR and ALTO; empty for
// a list of several or an unknown one.
std::string DocumentTagOf(const std::string& list);
