// Developer recognisers and learning. (Being built.)
#include "app/MainUnit.h"

void TMainForm::RecogBtnClick() {}
void TMainForm::Rec2BtnClick() {}
void TMainForm::AutolearnClick() {}
void TMainForm::BitBtn3Click() {}
