// Black/white conversion and the brightness histogram. (Being built.)
#include "app/MainUnit.h"

void TMainForm::ToBlackWhiteBtnClick() {}
void TMainForm::RenderBlackWhiteBtnClick() {
  ToBlackWhiteBtnClick();
}
void TMainForm::PaintBox2Paint() {}
