// Fitting text lines into the rows of the output field: the lines are put in reading order
// (rows top to bottom, each row left to right) and each is indented by its distance from
// the leftmost line, scaled by the column width factor.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DynaArray.h"
#include "layout/LayoutTypes.h"

// Lines whose bottom edges lie within 0.6 of a line's height share a row.
constexpr double kRowTolerance = 0.6;

// Sorts `lines` by bottom edge, assigns every record its `row`, then orders each row by
// left edge. Both sorts are exchange sorts that never swap equal keys.
void SortLinesIntoRows(TDynaArray<TextLine>& lines);

// The column width factor as the fitting uses it: a value of 0 or less, or one that is not
// a number, counts as the field's minimum 0.1.
double ColumnWidthFactor(double value);

// Pixel width of a Windows-1252 text in the output field's font.
using MeasureText = std::function<int32_t(std::string_view)>;

// The output lines (Windows-1252) for `lines` in their current order: one per row, every
// line padded with blanks up to (left - smallest left) / factor pixels, then its text. A
// text that would touch the text before it in the row gets one blank in between when the
// page shows a word gap between the two lines (more than the larger `thirdHeight`).
std::vector<std::string> LayOutRows(const TDynaArray<TextLine>& lines, double factor,
                                    const MeasureText& measure);
