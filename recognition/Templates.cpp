// Fonts and glyph templates. (Being built.)
#include "app/MainUnit.h"

void TMainForm::EnumerateFonts() {}
void TMainForm::ReleaseFonts() {}
void TMainForm::GenerateDibs() {}
void TMainForm::BitBtn2Click() { GenerateDibs(); }
void TMainForm::BuildTemplateSet(SoftwareCanvas&) {}
