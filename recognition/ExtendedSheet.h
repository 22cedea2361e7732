// A sheet smaller than its picture on a dark ground (a scanner's black lid, a dark table).
#pragma once

#include "recognition/ExtendedPage.h"
#include "recognition/LeptonicaPix.h"

// The ground around such a sheet, as a 1-bit mask of the grey page's size (Leptonica's 8-bit Pix,
// before its light is evened out); null where the page is no such sheet.
PixPtr GroundAroundSheet(PIX* grey);
// The black/white page's ink on the ground, and all ink joined to it, left out.
void LeaveOutGround(PIX* binary, PIX* ground);
