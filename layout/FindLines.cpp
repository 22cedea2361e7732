// Text line finding. (Being built.)
#include "app/MainUnit.h"

void TMainForm::findlinesoftext() {}
