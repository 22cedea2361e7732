// Recognition. (Being built.)
#include "app/MainUnit.h"
#include "recognition/WordList.h"

void OpenWordList(const std::string&, TDynaArray<char*>&) {}
void TMainForm::EnumerateFonts() {}
void TMainForm::ReleaseFonts() {}
void TMainForm::GenerateDibs() {}
void TMainForm::BitBtn2Click() {
  GenerateDibs();
}
void TMainForm::LoadWordsBtnClick() {
  LoadWordsIn();
}
void TMainForm::RegBtnClick() {}
int32_t TMainForm::ClassifyObject() {
  return '?';
}
void TMainForm::BuildTemplateSet(SoftwareCanvas&) {}
