// Pages of multi-page picture files (TIFF, GIF) for the raster library. A page is read on
// its own, so that a file of a thousand pages never needs more memory than one page.
#pragma once

#include <cstdint>

#include "core/RasterImage.h"

// The number of pages of a picture file: the directories of a TIFF, the frames of a GIF,
// 1 for every other format and for a file that cannot be read (opening then says why).
int32_t DIBPageCount(const char* fileName);

// Opens page `page` (0 = the first) of a picture file, as OpenDibLimited opens a whole one
// (page 0 of a single-page file is exactly what it gives, directColour included). A page of
// more than maxPixels pixels is refused before its pixels are allocated. On failure
// `out.pixels` is null and DIBErrorText(out) describes the problem.
void OpenDibPage(RasterImage* out, const char* fileName, int32_t page,
                 int64_t maxPixels = kMaxImagePixels, bool directColour = false);
