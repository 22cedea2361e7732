// The algorithms of the text line finding, as plain functions over the objects' boxes:
// the sort by Left, the grouping into lines, the slant measurement, the picture
// tolerance, the correction angle, the skew correction, the line records and the
// reading order of the lines. The main window's line finding (app/classic/FindLines.cpp)
// strings them together.
//
// Boxes are page coordinates (y downwards), inclusive; `line` values are 1-based line
// numbers, 0 for "no line yet". Integer division truncates toward zero throughout.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/DynaArray.h"
#include "layout/LayoutTypes.h"

// The quicksort by Left: i = lo, j = hi, pivot = Left at (lo + hi) div 2; i rises while
// Left < pivot, j falls while Left > pivot; i <= j exchanges them. Records of equal Left
// end wherever this exchange rule puts them. Returns the new order as indexes into
// `lefts`: place k receives the record that was at result[k].
std::vector<int32_t> SortOrderByLeft(std::vector<int32_t> lefts);

// Chains the boxes (in list order, normally sorted by Left) into lines. `line` must hold
// one 0 per box on entry; on return every box carries its line, 1 ... the returned count.
int32_t GroupLines(const std::vector<Box>& boxes, std::vector<int32_t>& line);

// Slants are per mille, -1000 ... +1000; the histograms are indexed by slant + 1000.
constexpr int32_t kSlantRange = 1000;
using SlantHistogram = std::array<int32_t, 2 * kSlantRange + 1>;

struct SlantMeasure {
  std::vector<double> lineSlope;  // slope of line k at index k - 1
  double pageSlope = 0;
  SlantHistogram pageHistogram{};
  int32_t pageBest = 0;       // the page's dominant slant other than 0
  int32_t pageBestCount = 0;  // its count; 0 when no pair gave a slant other than 0
};

// Measures the slant of every line and of the page from the bottoms of the pairs of
// objects of each line, pairs met line by line, then i ascending, then j ascending.
// The slope of a line (and of the page) is -(best slant) / 1000, or 0 when the pairs at
// slant 0 outnumber three times the best slant's pairs.
SlantMeasure MeasureSlant(const std::vector<Box>& boxes, const std::vector<int32_t>& line,
                          int32_t lineCount);

// Largest difference between a line's slope and the page's that the picture exclusion
// lets pass, for the slider position 0 ("More text") ... 10 ("Less pictures"); positions
// outside the slider's range are taken as its nearest end.
double PictureTolerance(int32_t position);

// The page's slant angle in degrees (never negative).
double CorrectionAngle(double pageSlope);
// "Correction angle:" with two decimals, the current locale's decimal separator and the
// degree sign, in UTF-8.
std::string CorrectionAngleLogLine(double angle);

// Vertical shift of an object `distance` pixels right of its line's first object:
// Round(distance * slope), halves to even.
int32_t SkewShift(int32_t distance, double pageSlope);

// Corrects `boxes` for skew, line by line (lines 1 ... lineCount): Top and Bottom move by
// the shift of the object's distance from its line's leftmost object.
void CorrectSkew(std::vector<Box>& boxes, const std::vector<int32_t>& line, int32_t lineCount,
                 double pageSlope);

// The record of line `number` from the boxes of its objects, given in list order (at
// least one). The two value lists are the working lists of the line finding; they are
// emptied first and left with this line's counts.
TextLine MakeTextLine(int32_t number, const std::vector<Box>& members,
                      TDynaArray<ValueCount>& bottomCounts, TDynaArray<ValueCount>& topCounts);

// The exchange sort of the lines into reading order: top to bottom within a column, a
// left column before the lines of a right column that it overlaps.
void SortLinesReadingOrder(std::vector<TextLine>& lines);
