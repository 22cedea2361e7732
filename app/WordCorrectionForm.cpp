// The word list applied to the extended recogniser's page result, and the page result as
// the output field's text in the reading order set.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "output/PlainText.h"

namespace {

// The small letters of German words in Windows-1252 (ä ö ü ß after a-z): the word list's
// corrections are made of them; a capital first letter the lookup finds by itself.
constexpr std::string_view kGermanLetters = "abcdefghijklmnopqrstuvwxyz\xE4\xF6\xFC\xDF";

void MakeLookup(const TDynaArray<char*>& list, WordLookup* lookup, int32_t* source) {
  *lookup = WordLookup();
  // Room made at once: a growing copy of a list this long would touch twice its memory.
  size_t bytes = 0;
  for (int32_t i = 0; i < list.Count; ++i) bytes += std::strlen(*list.At(i));
  lookup->Reserve(size_t(list.Count), bytes);
  for (int32_t i = 0; i < list.Count; ++i) lookup->Add(*list.At(i));
  lookup->Build();
  *source = list.Count;
}

}  // namespace

const WordLookup& TMainForm::CurrentWordLookup() {
  EnsureWordList();  // loaded at its first use
  if (wordLookupSource != wordList.Count) MakeLookup(wordList, &wordLookup, &wordLookupSource);
  return wordLookup;
}

const std::string& TMainForm::PageLanguages() const {
  // Languages named after the page was read are its languages from then on.
  return guessedLanguage.empty() || settings.languagesNamed ? settings.languages : guessedLanguage;
}

bool TMainForm::ReadsGerman() const {
  std::vector<Language> languages;
  std::string error;
  if (!ParseLanguages(PageLanguages(), &languages, &error)) return false;
  for (const Language& language : languages)
    if (!*language.dictionary) return true;  // German, read with the word list
  return false;
}

std::vector<std::string> TMainForm::OpenLanguageDictionaries(const std::string& list) {
  if (dictionariesLanguages == list) return {};
  dictionariesLanguages = list;
  std::vector<Language> languages, others;
  std::string error;
  if (!ParseLanguages(list, &languages, &error)) {
    dictionaries = {};
    return {"Languages: " + error};
  }
  for (const Language& language : languages)
    if (*language.dictionary) others.push_back(language);
  dictionaries = OpenDictionaries(others, DictionaryFolders());
  std::vector<std::string> problems;
  for (const std::string& problem : dictionaries.problems)
    problems.push_back("Languages: " + problem + "; the page is read without it");
  return problems;
}

const KnownWords& TMainForm::PageLanguageWords() {
  AwaitWordLookup();
  for (const std::string& problem : OpenLanguageDictionaries(PageLanguages())) Log(problem);
  pageWords.languages.clear();
  if (ReadsGerman()) pageWords.languages.push_back(&CurrentWordLookup());
  for (const auto& dictionary : dictionaries.open) pageWords.languages.push_back(dictionary.get());
  return pageWords;
}

void TMainForm::LoadWordLookupMeanwhile() {
  const bool list = ReadsGerman() && !wordListLoaded;
  if (wordLookupLoad.valid() || (!list && dictionariesLanguages == PageLanguages())) return;
  if (list) wordListLoaded = true;  // by the thread
  pageWords.languages.clear();      // the dictionaries it points to may be opened again
  const std::string file = DataFilePath("german.spe");
  // The log is the window's: the thread hands its problems over instead of logging them.
  // The window may change the settings meanwhile: the thread reads the languages of now.
  wordLookupLoad = std::async(std::launch::async, [this, file, list, languages = PageLanguages()] {
    std::vector<std::string> problems = OpenLanguageDictionaries(languages);
    if (!list) return problems;
    const WordListDecodeResult result = OpenWordList(file, wordList, wordArena);
    MakeLookup(wordList, &wordLookup, &wordLookupSource);
    if (!result.complete && !result.problem.empty()) problems.push_back(result.problem);
    return problems;
  });
}

void TMainForm::AwaitWordLookup() {
  if (!wordLookupLoad.valid()) return;
  for (const std::string& problem : wordLookupLoad.get()) Log(problem);
}

void TMainForm::SettleDoubtfulCharacters() {
  const KnownWords& words = PageLanguageWords();  // loaded first: only then is the count known
  if (words.Empty()) Log("Word list: no words loaded, only commas and quotes settled");
  const CorrectionCount count = ::SettleDoubtfulCharacters(pageText, words);
  Log("Word list: " + std::to_string(count.wordsChanged) + " of " +
      std::to_string(count.wordsChecked) + " unknown words settled, " +
      std::to_string(count.marksChanged) + " commas and quotes");
}

std::vector<std::string> TMainForm::WordSuggestions(const std::string& utf8Word) {
  std::string word;
  if (!Utf8ToCp1252(utf8Word, &word) || word.empty()) return {};
  PageLanguageWords();  // opens what the page's languages need
  std::vector<std::string> found;
  const auto take = [&found](const std::vector<std::string>& suggestions) {
    for (const std::string& suggestion : suggestions)
      if (found.size() < kMostSuggestions &&
          std::find(found.begin(), found.end(), suggestion) == found.end())
        found.push_back(suggestion);
  };
  if (ReadsGerman())
    take(NearKnownWords(CurrentWordLookup(), word, kGermanLetters, kMostSuggestions));
  for (const auto& dictionary : dictionaries.open) take(dictionary->Suggest(word));
  std::vector<std::string> utf8;
  for (const std::string& suggestion : found) utf8.push_back(Cp1252ToUtf8(suggestion));
  return utf8;
}

std::string TMainForm::PageTextForOutput() {
  std::string text;
  if (settings.Order() == ReadingOrder::Page) {
    text = PlainText(pageText, ReadingOrder::Page);
  } else {
    AwaitWordLookup();
    // The words that settled the page, if it was settled.
    const KnownWords* words = pageWords.Empty() ? nullptr : &pageWords;
    JoinDividedWords(&pageText, [words](std::string_view head, std::string_view tail) {
      return JoinsDividedWord(head, tail, words);
    });
    text = PlainText(pageText, ReadingOrder::Columns);
  }
  // A page of pictures only, or of nothing: an empty text, and the log says why.
  if (text.empty()) Log("No text blocks on the page: nothing to read");
  return text;
}
