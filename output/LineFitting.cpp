#include "output/LineFitting.h"

#include <algorithm>
#include <cmath>

void SortLinesIntoRows(TDynaArray<TextLine>& lines) {
  const int32_t count = lines.Count;
  for (int32_t i = 0; i < count - 1; ++i)
    for (int32_t j = i + 1; j < count; ++j)
      if (lines.At(j)->bottom < lines.At(i)->bottom) lines.Swap(i, j);

  // Every line is compared with the row's first (topmost) line, the anchor.
  int32_t row = 0;
  double anchorBottom = 0, anchorHeight = 0;
  for (int32_t i = 0; i < count; ++i) {
    TextLine& line = *lines.At(i);
    const double b = line.bottom, h = line.maxHeight;
    if (i == 0) {
      anchorBottom = b;
      anchorHeight = h;
    } else if (!(b >= anchorBottom - kRowTolerance * anchorHeight &&
                 anchorBottom >= b - kRowTolerance * h)) {
      ++row;
      anchorBottom = b;
      anchorHeight = h;
    }
    line.row = row;
  }

  for (int32_t i = 0; i < count; ++i)
    for (int32_t j = i + 1; j < count; ++j)
      if (lines.At(j)->row == lines.At(i)->row && lines.At(j)->left < lines.At(i)->left)
        lines.Swap(i, j);
}

double ColumnWidthFactor(double value) {
  return std::isnan(value) || value <= 0 ? 0.1 : value;
}

std::vector<std::string> LayOutRows(const TDynaArray<TextLine>& lines, double factor,
                                    const MeasureText& measure, std::vector<RowPiece>* pieces) {
  factor = ColumnWidthFactor(factor);
  int32_t smallestLeft = 999999999;
  for (int32_t i = 0; i < lines.Count; ++i)
    if (lines.At(i)->left < smallestLeft) smallestLeft = lines.At(i)->left;

  const int32_t blankWidth = measure(" ");
  std::vector<std::string> out;
  int32_t previousRow = -1;
  for (int32_t i = 0; i < lines.Count; ++i) {
    const TextLine& line = *lines.At(i);
    if (line.row != previousRow || out.empty()) out.emplace_back();
    std::string& last = out.back();
    const double target = std::trunc((double(line.left) - smallestLeft) / factor);
    // Advances add up, so the grown line's width is its width plus one blank per blank;
    // measuring once keeps a wide indentation (factor 0.1) linear. A font whose blank has
    // no width cannot pad at all.
    if (blankWidth > 0) {
      double width = measure(last);
      while (width < target) {
        last.push_back(' ');
        width += blankWidth;
      }
    }
    // A line of the row that starts where the text before it has not yet ended would run
    // into its last word ("stetsAuf" across two columns). When the page shows a word gap
    // between the two (wider than a third of the text height, as between words), one blank
    // keeps them apart; pieces of one text line that touch stay joined.
    if (line.text && *line.text) {
      if (i > 0 && !last.empty() && last.back() != ' ') {
        const TextLine& before = *lines.At(i - 1);
        const int32_t wordGap = std::max(before.thirdHeight, line.thirdHeight);
        if (before.row == line.row && line.left - before.right > wordGap) last.push_back(' ');
      }
      if (pieces) pieces->push_back({out.size() - 1, i, last.size()});
      last += line.text;
    }
    previousRow = line.row;
  }
  return out;
}

std::vector<std::string> UnfittedRows(const TDynaArray<TextLine>& lines,
                                      std::vector<RowPiece>* pieces) {
  std::vector<std::string> rows;
  for (int32_t i = 0; i < lines.Count; ++i) {
    const char* text = lines.At(i)->text;
    if (!text || !*text) continue;
    pieces->push_back({rows.size(), i, 0});
    rows.emplace_back(text);
  }
  return rows;
}

namespace {

// The character of each place of `row`: its line's next character for every character of
// a line's text but a blank, null for blanks and padding.
std::vector<const PageChar*> RowChars(const std::string& row, const std::vector<RowPiece>& pieces,
                                      size_t rowIndex, const TDynaArray<TextLine>& lines,
                                      const LineChars& chars) {
  std::vector<const PageChar*> placed(row.size(), nullptr);
  for (const RowPiece& piece : pieces) {
    if (piece.row != rowIndex) continue;
    const TextLine& line = *lines.At(piece.line);
    const auto found = chars.find(line.number);
    if (found == chars.end()) continue;
    size_t next = 0;
    for (size_t at = piece.offset; at < row.size() && line.text[at - piece.offset]; ++at) {
      if (row[at] == ' ') continue;
      if (next < found->second.size()) placed[at] = &found->second[next++];
    }
  }
  return placed;
}

}  // namespace

std::vector<PageLine> RowLines(const std::vector<std::string>& rows,
                               const std::vector<RowPiece>& pieces,
                               const TDynaArray<TextLine>& lines, const LineChars& chars) {
  std::vector<PageLine> result;
  for (size_t r = 0; r < rows.size(); ++r) {
    PageLine pageLine;
    bool inWord = false;
    for (const PageChar* c : RowChars(rows[r], pieces, r, lines, chars)) {
      if (!c) {
        inWord = false;
        continue;
      }
      if (!inWord) pageLine.words.emplace_back();
      pageLine.words.back().chars.push_back(*c);
      inWord = true;
    }
    if (pageLine.words.empty()) continue;
    for (const RowPiece& piece : pieces)
      if (piece.row == r) {
        pageLine.baseline = lines.At(piece.line)->baseline;
        break;
      }
    result.push_back(std::move(pageLine));
  }
  return result;
}
