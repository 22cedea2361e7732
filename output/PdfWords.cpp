#include "output/PdfWords.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

// Helvetica's descender, as a share of the font size.
constexpr double kDescent = 0.207;
// Horizontal scaling stays within what viewers draw and select sensibly.
constexpr double kNarrowest = 1.0, kWidest = 1000.0;
// A word's glyphs end at least this share of the font size before the next word starts:
// text extraction takes a narrower gap for none (pdftotext still ran words of the bench
// pages together at 0.15).
constexpr double kLeastGap = 0.25;

// A number with at most one decimal, without a trailing ".0": a tenth of a pixel (or of a
// point) is finer than any viewer selects, and fewer digits keep the layer small.
std::string Number(double value) {
  const long tenths = std::lround(value * 10);
  std::string text = std::to_string(tenths / 10);
  if (tenths < 0 && tenths > -10) text = "-0";
  if (tenths % 10 != 0) text += "." + std::to_string(std::labs(tenths % 10));
  return text;
}

std::vector<const PageWord*> WordsWithText(const PageLine& line) {
  std::vector<const PageWord*> words;
  for (const PageWord& word : line.words)
    if (!word.chars.empty()) words.push_back(&word);
  return words;
}

// Where a line's text starts and how it is sized.
struct LinePlace {
  double x = 0, baseline = 0;
  double size = 0;
};

LinePlace PlaceLine(const PageLine& line, const PageWord& first, double unit, double pageHeight) {
  LinePlace place;
  place.size = std::max(1.0, line.box.Height() * unit);
  // The baseline: the line's when known, else above the line's bottom by the descender.
  const double baselineRow = line.baseline > 0
                                 ? line.baseline + 1.0
                                 : line.box.bottom + 1.0 - kDescent * line.box.Height();
  place.x = std::round(first.box.left * unit * 10) / 10;
  place.baseline = std::round((pageHeight - baselineRow * unit) * 10) / 10;
  return place;
}

// The line's scale (Tz, whole percents): its words as wide as their boxes together, but
// narrower where a word would otherwise reach within kLeastGap of the next word. One scale
// a line keeps the layer small; a word's glyphs so end near its box's right edge, off by
// how much its letters are wider or narrower than the line's on average.
double LineScale(const std::vector<const PageWord*>& words, double size, double unit,
                 const NaturalWidth& naturalWidth) {
  double natural = 0, wanted = 0, widest = kWidest;
  for (size_t w = 0; w < words.size(); ++w) {
    const double width = naturalWidth(words[w]->Text()) * size;
    natural += width;
    wanted += words[w]->box.Width() * unit;
    if (w + 1 == words.size() || width <= 0) continue;
    const double room = (words[w + 1]->box.left - words[w]->box.left) * unit - kLeastGap * size;
    if (room > 0) widest = std::min(widest, 100.0 * room / width);
  }
  const double percent = natural > 0 ? std::min(100.0 * wanted / natural, widest) : 100.0;
  return std::round(std::clamp(percent, kNarrowest, kWidest));
}

// The line's words in one TJ array, a blank after each but the last; the number after a
// word (thousandths of the font size) moves the next word to its box's left edge, from
// where the text before ended, so that rounding never adds up along a line.
std::string LineWords(const std::vector<const PageWord*>& words, const LinePlace& place,
                      double scale, double unit, const NaturalWidth& naturalWidth) {
  const double perThousandth = place.size * scale / 100.0 / 1000.0;
  std::string array = "[";
  double pen = place.x;
  for (size_t w = 0; w < words.size(); ++w) {
    const bool last = w + 1 == words.size();
    const std::string text = words[w]->Text() + (last ? "" : " ");
    array += PdfLiteral(text);
    if (last) break;
    pen += naturalWidth(text) * place.size * scale / 100.0;
    const long move = std::lround((pen - words[w + 1]->box.left * unit) / perThousandth);
    if (move != 0) array += std::to_string(move);
    pen -= double(move) * perThousandth;
  }
  return array + "]TJ\n";
}

// The page's text as it reads upright: its boxes on the page turned by its quarter turns, as
// pixRotateOrth turns a picture clockwise.
PageText Upright(const PageText& text) {
  PageText upright = text;
  upright.quarterTurns = 0;
  if (text.quarterTurns % 2 != 0) std::swap(upright.width, upright.height);
  for (PageBlock& block : upright.blocks)
    for (PageLine& line : block.lines)
      for (PageWord& word : line.words)
        for (PageChar& c : word.chars)
          c.box = TurnedClockwise(c.box, text.quarterTurns, text.width, text.height);
  upright.Summarise();
  return upright;
}

// The matrix (cm) that lays the upright text's space onto the page's, the page `width` by
// `height` in the layer's units.
std::string UprightToPage(int32_t quarterTurns, double width, double height) {
  switch (((quarterTurns % 4) + 4) % 4) {
    case 1:
      return "0 1 -1 0 " + Number(width) + " 0 cm\n";
    case 2:
      return "-1 0 0 -1 " + Number(width) + " " + Number(height) + " cm\n";
    case 3:
      return "0 -1 1 0 0 " + Number(height) + " cm\n";
    default:
      return {};
  }
}

}  // namespace

std::string PdfLiteral(const std::string& cp1252) {
  std::string literal = "(";
  for (const char c : cp1252) {
    const auto byte = uint8_t(c);
    if (c == '(' || c == ')' || c == '\\') {
      literal += '\\';
      literal += c;
    } else if (byte < 32 || byte >= 127) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", byte);
      literal += octal;
    } else {
      literal += c;
    }
  }
  return literal + ")";
}

std::string TextLayer(const PageText& text, double unit, const std::string& font,
                      const NaturalWidth& naturalWidth) {
  // A page scanned on its side or upside down: its lines are written as they read, upright,
  // and turned onto the page.
  if (text.quarterTurns % 4 != 0)
    return "q\n" + UprightToPage(text.quarterTurns, text.width * unit, text.height * unit) +
           TextLayer(Upright(text), unit, font, naturalWidth) + "Q\n";
  const double pageHeight = text.height * unit;
  std::string out = "BT\n3 Tr\n";
  double size = 0, x = 0, y = 0, scale = 100;
  for (const PageBlock& block : text.blocks)
    for (const PageLine& line : block.lines) {
      const std::vector<const PageWord*> words = WordsWithText(line);
      if (words.empty()) continue;
      const LinePlace place = PlaceLine(line, *words.front(), unit, pageHeight);
      // The size and scale are set only where they change; each line's start is moved to
      // from the one before (Td), between tenths, which add up to no drift over the page.
      const double lineScale = LineScale(words, place.size, unit, naturalWidth);
      if (place.size != size) out += font + " " + Number(place.size) + " Tf ";
      if (lineScale != scale) out += Number(lineScale) + " Tz ";
      out += Number(place.x - x) + " " + Number(place.baseline - y) + " Td";
      out += LineWords(words, place, lineScale, unit, naturalWidth);
      size = place.size, scale = lineScale, x = place.x, y = place.baseline;
    }
  return out + "ET\n";
}

std::string DocumentLanguage(const std::vector<std::string>& pageLanguages) {
  if (pageLanguages.empty()) return {};
  for (const std::string& language : pageLanguages)
    if (language != pageLanguages.front()) return {};
  return pageLanguages.front();
}
