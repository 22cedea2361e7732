// The developer button "Load Words". The list itself is loaded at window creation.
#include "app/MainUnit.h"

void TMainForm::LoadWordsBtnClick() {
  LoadWordsIn();
}
