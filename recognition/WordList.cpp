// The word list. (Being built.)
#include "app/MainUnit.h"
#include "recognition/WordList.h"

void OpenWordList(const std::string&, TDynaArray<char*>&) {}
void TMainForm::LoadWordsBtnClick() { LoadWordsIn(); }
