// DepthUpTo: brings a picture of any depth to 24 bits per pixel, in place.
#pragma once

#include <cstdint>

#include "core/RasterImage.h"

// Converts `image` to `depth` bits per pixel (the program always asks for 24). Pictures
// of 1, 4 and 8 bits take the colours of their palette indexes from logPalette (a 1-bit
// picture without a palette reads index 0 as black, 1 as white); pictures of 16 and 32
// bits take their colours as getpixel gives them. On success the old image is released
// and replaced. Returns false, leaving the image as it was, when no new image can be made
// or the depth is not one of these; a 24-bit image or a null image is left alone (true
// for 24 bits).
bool DepthUpTo(int32_t depth, RasterImage& image);
