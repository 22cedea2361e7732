// The recognition run. (Being built.)
#include "app/MainUnit.h"

void TMainForm::RegBtnClick() {}
