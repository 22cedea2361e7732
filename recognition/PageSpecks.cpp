// Specks read as small marks, told by the ink of the page's own full stops.
#include <algorithm>

#include "core/Median.h"
#include "recognition/ExtendedPage.h"

namespace {

// A full stop read this surely counts among the page's full stops. Specks read as full stops
// too, some as surely, and on a fax they may be as many as the printed ones: the upper
// quartile of their ink holds to the printed ones, which are the larger.
constexpr double kSureFullStop = 0.9;
// Fewer full stops than this tell nothing of their size.
constexpr size_t kFullStopsToTell = 5;
// A printed mark has at least this share of a full stop's ink: a comma or a quote mark has
// more, a full stop worn by a copy about two thirds. The stray ink of a copy, a fax or an old
// page read as marks has a tenth to a half.
constexpr double kLeastShareOfFullStop = 0.5;
// A comma or a quote mark keeps its tail however faint its strike (a typewriter's comma with
// under half a full stop's ink): a mark this many times as tall as wide is printed.
constexpr double kTailedMark = 1.5;

// The marks a speck reads as: full stop, comma, middle dot, quote marks, low line.
bool IsSmallMark(uint8_t c) {
  return c == '.' || c == ',' || c == 0xB7 || c == '\'' || c == '`' || c == 0x91 || c == 0x92 ||
         c == 0x82 || c == '_';
}

double InkPixels(const GlyphBitmap& ink) {
  return double(std::count_if(ink.ink.begin(), ink.ink.end(), [](uint8_t v) { return v != 0; }));
}

// Ink scales with the square of the type's size.
double SquareOf(int32_t xHeight) {
  const double xh = std::max(xHeight, 1);
  return xh * xh;
}

}  // namespace

void PageFullStops::Add(const std::vector<ReadGlyph>& glyphs, int32_t xHeight) {
  for (const ReadGlyph& glyph : glyphs)
    if (!glyph.readings.empty() && glyph.readings.front().code == '.' &&
        glyph.Score() >= kSureFullStop)
      inkShares_.push_back(InkPixels(glyph.ink) / SquareOf(xHeight));
}

void PageFullStops::LeaveOutSpecks(std::vector<ReadGlyph>* glyphs, int32_t xHeight) const {
  if (inkShares_.size() < kFullStopsToTell) return;
  const double least = kLeastShareOfFullStop * UpperQuartile(inkShares_) * SquareOf(xHeight);
  std::erase_if(*glyphs, [least](const ReadGlyph& glyph) {
    return !glyph.readings.empty() && IsSmallMark(glyph.readings.front().code) &&
           InkPixels(glyph.ink) < least && glyph.box.Height() < kTailedMark * glyph.box.Width();
  });
}
