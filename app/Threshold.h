// The black/white threshold rule as plain functions: the brightness histogram of a
// 24-bit picture, the paper level with the suppression of minor peaks, the separation
// distance, and the conversion of a picture into a black/white page through a table.
//
// Grey level of a 24-bit pixel: (blue + green + red) div 3, 0 ... 255.
#pragma once

#include <array>
#include <cstdint>

#include "core/RasterImage.h"

using GreyHistogram = std::array<int32_t, 256>;
using PeakTable = std::array<std::array<int32_t, 2>, 256>;  // (count, grey level)

// Counts the grey levels of every pixel. Images of 24 bits are read row by row; any
// other depth goes through getpixel and the palette (slow, but never out of bounds).
// An image without pixels gives an empty histogram.
void HistogramOfPicture(const RasterImage& picture, GreyHistogram* histogram);

struct ThresholdResult {
  int32_t paperLevel = 0;      // most frequent level, the lowest on equal counts
  int32_t histogramMax = 0;    // its count
  int32_t peakDistance = 255;  // d: paper level to the nearest surviving peak, 255 if none
  int32_t separation = 0;      // t: separation * d / 100, rounded half to even
};

// The threshold rule over a histogram. `peaks` is the working table: on return it holds
// the counts left after the suppression of minor peaks. separationPercent: 1 ... 99.
ThresholdResult ThresholdOfHistogram(const GreyHistogram& histogram, int32_t separationPercent,
                                     PeakTable* peaks);

// Table from grey level to the bw byte: 255 (paper) when level == paperLevel or
// |level - paperLevel| < separation, else 0 (ink).
std::array<uint8_t, 256> BlackWhiteTable(int32_t paperLevel, int32_t separation);

// Writes every pixel of `bw` (24 bits, same size as picture) as white or black from the
// grey level of the same pixel of `picture`. Does nothing when the sizes or depths do
// not fit.
void RenderBlackWhite(const RasterImage& picture, const std::array<uint8_t, 256>& table,
                      RasterImage* bw);
