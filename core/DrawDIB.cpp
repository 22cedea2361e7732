// DrawDIB. (Being built.)
#include "core/DrawDIB.h"

void DrawDIB(Canvas&, int32_t, int32_t, int32_t, int32_t, const RasterImage&, int32_t, int32_t,
             int32_t, int32_t, RasterOp) {}
