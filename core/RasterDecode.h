// Decoding steps of the raster library (core/RasterFiles.cpp) that the reading of single
// pages of multi-page files (core/RasterPages.cpp) shares.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/RasterImage.h"

struct Pix;

// Leptonica's own messages stay off standard error; failures reach the user as error texts.
void QuietRasterLibrary();
// A picture file's bytes in a format Leptonica reads (GIF, TIFF, PNG...) to an image; one
// of more than maxPixels pixels is refused before its pixels are allocated.
bool DecodeLeptonicaBytes(const std::vector<uint8_t>& bytes, int64_t maxPixels, RasterImage* out,
                          std::string* error);
// A Leptonica image to a new RasterImage, at its depth with its palette.
bool RasterFromPix(Pix* pix, RasterImage* out, std::string* error);
