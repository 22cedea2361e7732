// The word list applied to the extended recogniser's page result, and the page result as
// the output field's text in the reading order set.
#include <string>

#include "app/MainUnit.h"
#include "output/PlainText.h"

const WordLookup& TMainForm::CurrentWordLookup() {
  EnsureWordList();  // loaded at its first use
  if (wordLookupSource != wordList.Count) {
    wordLookup = WordLookup();
    for (int32_t i = 0; i < wordList.Count; ++i) wordLookup.Add(*wordList.At(i));
    wordLookup.Build();
    wordLookupSource = wordList.Count;
  }
  return wordLookup;
}

void TMainForm::SettleDoubtfulCharacters() {
  if (wordList.Count == 0) Log("Word list: no words loaded, only commas and quotes settled");
  const CorrectionCount count = ::SettleDoubtfulCharacters(pageText, CurrentWordLookup());
  Log("Word list: " + std::to_string(count.wordsChanged) + " of " +
      std::to_string(count.wordsChecked) + " unknown words settled, " +
      std::to_string(count.marksChanged) + " commas and quotes");
}

std::string TMainForm::PageTextForOutput() {
  std::string text;
  if (!settings.ColumnsOrder()) {
    text = PlainText(pageText, TextOrder::Page);
  } else {
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
