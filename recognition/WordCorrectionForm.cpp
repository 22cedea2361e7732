// The word list applied to the extended recogniser's page result, and the page result as
// the output field's text in the reading order set.
#include <cstring>
#include <string>

#include "app/MainUnit.h"
#include "output/PlainText.h"

namespace {

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

void TMainForm::LoadWordLookupMeanwhile() {
  if (wordListLoaded) return;
  wordListLoaded = true;  // by the thread
  const std::string file = DataFilePath("german.spe");
  // The log is the window's: the thread hands its problem over instead of logging it.
  wordLookupLoad = std::async(std::launch::async, [this, file] {
    const WordListDecodeResult result = OpenWordList(file, wordList, wordArena);
    MakeLookup(wordList, &wordLookup, &wordLookupSource);
    return result.complete ? std::string() : result.problem;
  });
}

void TMainForm::AwaitWordLookup() {
  if (!wordLookupLoad.valid()) return;
  const std::string problem = wordLookupLoad.get();
  if (!problem.empty()) Log(problem);
}

void TMainForm::SettleDoubtfulCharacters() {
  const WordLookup& words = CurrentWordLookup();  // loaded first: only then is the count known
  if (wordList.Count == 0) Log("Word list: no words loaded, only commas and quotes settled");
  const CorrectionCount count = ::SettleDoubtfulCharacters(pageText, words);
  Log("Word list: " + std::to_string(count.wordsChanged) + " of " +
      std::to_string(count.wordsChecked) + " unknown words settled, " +
      std::to_string(count.marksChanged) + " commas and quotes");
}

std::string TMainForm::PageTextForOutput() {
  std::string text;
  if (!settings.ColumnsOrder()) {
    text = PlainText(pageText, TextOrder::Page);
  } else {
    AwaitWordLookup();
    const WordLookup* words = wordList.Count > 0 ? &CurrentWordLookup() : nullptr;
    text = PlainText(pageText, TextOrder::Columns,
                     [words](std::string_view head, std::string_view tail) {
                       return JoinsDividedWord(head, tail, words);
                     });
  }
  // A page of pictures only, or of nothing: an empty text, and the log says why.
  if (text.empty()) Log("No text blocks on the page: nothing to read");
  return text;
}
