// Fitting text lines into the rows of the output field: the lines are put in reading order
// (rows top to bottom, each row left to right) and each is indented by its distance from
// the leftmost line, scaled by the column width factor.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/DynaArray.h"
#include "layout/LayoutTypes.h"
#include "recognition/PageText.h"

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

// Where a line's text stands in the output: its row, the line's place in `lines`, and the
// place of the text's first character in the row.
struct RowPiece {
  size_t row = 0;
  int32_t line = 0;
  size_t offset = 0;
};

// The output lines (Windows-1252) for `lines` in their current order: one per row, every
// line padded with blanks up to (left - smallest left) / factor pixels, then its text. A
// text that would touch the text before it in the row gets one blank in between when the
// page shows a word gap between the two lines (more than the larger `thirdHeight`).
// `pieces`, when given, receives where each line's text went.
std::vector<std::string> LayOutRows(const TDynaArray<TextLine>& lines, double factor,
                                    const MeasureText& measure,
                                    std::vector<RowPiece>* pieces = nullptr);

// The classic run's characters of each line's text, blanks left out, by the line's number:
// the page result's characters in the order of the text.
using LineChars = std::map<int32_t, std::vector<PageChar>>;

// Each line's text as a row of its own, in the order of `lines` (before the fitting).
std::vector<std::string> UnfittedRows(const TDynaArray<TextLine>& lines,
                                      std::vector<RowPiece>* pieces);

// The page result's lines for `rows` as laid out from `lines`: a line per row that holds
// text, a word per part of the row between blanks. Words so break exactly where the output
// text breaks them, also where two lines' texts touch in a row.
std::vector<PageLine> RowLines(const std::vector<std::string>& rows,
                               const std::vector<RowPiece>& pieces,
                               const TDynaArray<TextLine>& lines, const LineChars& chars);
