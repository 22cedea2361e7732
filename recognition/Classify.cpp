// Character classification. (Being built.)
#include "app/MainUnit.h"

int32_t TMainForm::ClassifyObject() { return '?'; }
