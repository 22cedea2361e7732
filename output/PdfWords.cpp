#include "output/PdfWords.h"

#include <algorithm>

namespace {

// Helvetica's descender, as a share of the font size.
constexpr double kDescent = 0.207;
// Horizontal scaling stays within what viewers draw and select sensibly.
constexpr double kNarrowest = 1.0, kWidest = 1000.0;

PlacedWord Place(const PageWord& word, const PageLine& line, double unit, double pageHeight,
                 const std::function<double(const std::string&)>& naturalWidth) {
  PlacedWord placed;
  placed.text = word.Text();
  placed.size = std::max(1.0, line.box.Height() * unit);
  const double natural = naturalWidth(placed.text) * placed.size;
  const double wanted = word.box.Width() * unit;
  placed.widthPercent =
      natural > 0 ? std::clamp(100.0 * wanted / natural, kNarrowest, kWidest) : 100.0;
  // The baseline: the line's when known, else above the line's bottom by the descender.
  const double baselineRow = line.baseline > 0
                                 ? line.baseline + 1.0
                                 : line.box.bottom + 1.0 - kDescent * line.box.Height();
  placed.x = word.box.left * unit;
  placed.baseline = pageHeight - baselineRow * unit;
  return placed;
}

}  // namespace

std::vector<PlacedWord> PlaceWords(const PageText& text, double unit,
                                   const std::function<double(const std::string&)>& naturalWidth) {
  std::vector<PlacedWord> words;
  const double pageHeight = text.height * unit;
  for (const PageBlock& block : text.blocks)
    for (const PageLine& line : block.lines)
      for (const PageWord& word : line.words)
        if (!word.chars.empty()) words.push_back(Place(word, line, unit, pageHeight, naturalWidth));
  return words;
}
