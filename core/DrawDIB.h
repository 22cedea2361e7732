// DrawDIB: paints a source rectangle of an image, scaled, into a destination rectangle
// of a canvas, clipping the source to the image first.
#pragma once

#include <cstdint>

#include "core/Canvas.h"
#include "core/RasterImage.h"

enum class RasterOp { Copy };

// srcX counts from the left, srcY from the bottom row of the picture (DIB coordinates),
// so srcY = 0 with srcHeight = DIBHeight is the whole picture. A null image draws nothing.
void DrawDIB(Canvas& canvas, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
             const RasterImage& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
             int32_t srcHeight, RasterOp rasterOp = RasterOp::Copy);
