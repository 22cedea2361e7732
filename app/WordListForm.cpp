// The developer button "Load Words", and loading the word list when it is first consulted.
#include "app/MainUnit.h"

void TMainForm::LoadWordsBtnClick() {
  EnsureWordList();
}

void TMainForm::EnsureWordList() {
  AwaitWordLookup();  // a load started meanwhile
  if (wordListLoaded) return;
  wordListLoaded = true;
  const std::string file = DataFilePath("german.spe");
  const WordListDecodeResult result = OpenWordList(file, wordList, wordArena);
  // A missing or oversized list was reported at start-up; damage shows only now.
  if (!result.complete && !result.problem.empty()) Log(result.problem);
}
