// Accents and dots. (Being built.)
#include "app/MainUnit.h"

int32_t TMainForm::findaccentabove(Box) { return 0; }
int32_t TMainForm::findaccentpoint(Box) { return 0; }
