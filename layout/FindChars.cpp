// Object search. (Being built.)
#include "app/MainUnit.h"

void TMainForm::FindCharsBtnClick() {}
void TMainForm::ClearChars() {
  for (int32_t i = 0; i < objects.Count; ++i) ReleasePageObject(*objects.At(i));
  for (int32_t i = 0; i < dots.Count; ++i) ReleasePageObject(*dots.At(i));
  objects.Clear();
  dots.Clear();
}
void TMainForm::findlinesoftext() {}
int32_t TMainForm::findaccentabove(Box) {
  return 0;
}
int32_t TMainForm::findaccentpoint(Box) {
  return 0;
}
