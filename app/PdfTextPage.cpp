#include "app/PdfTextPage.h"

#include <algorithm>
#include <cmath>

#include "core/Cp1252.h"

namespace {

// Windows-1252 for the page result; a character it lacks becomes '?'.
std::string ToCp1252(const std::string& utf8) {
  std::string out;
  for (size_t at = 0; at < utf8.size();) {
    uint8_t byte = '?';
    CodePointToCp1252(Utf8Next(utf8, &at), &byte);
    out += char(byte);
  }
  return out;
}

// A word's characters share its box evenly: the text's own glyph boxes are not kept.
PageWord WordOf(const std::string& text, const PageBox& box) {
  PageWord word;
  const int32_t count = int32_t(text.size());
  for (int32_t i = 0; i < count; ++i) {
    PageChar c;
    c.code = uint8_t(text[size_t(i)]);
    c.confidence = 1.0;  // the document's own text, not a reading
    c.box = {box.left + box.Width() * i / count, box.top,
             box.left + box.Width() * (i + 1) / count - 1, box.bottom};
    word.chars.push_back(c);
  }
  return word;
}

// A word begins a new line when it is not beside the previous word: above or below it, or
// back to the left.
bool StartsLine(const PageBox& word, const PageBox& previous) {
  const int32_t middle = (word.top + word.bottom) / 2;
  return middle < previous.top || middle > previous.bottom || word.left < previous.left;
}

std::string TrimmedText(const std::string& text) {
  const size_t end = text.find_last_not_of(" \t\r\n\f");
  return end == std::string::npos ? "" : text.substr(0, end + 1) + "\n";
}

}  // namespace

DocumentPage PdfTextPage(const PdfPageText& text) {
  const double scale = kPdfRenderDpi / 72.0;  // pixels per point
  DocumentPage page;
  page.text.dpi = kPdfRenderDpi;
  page.text.width = std::max<int32_t>(1, int32_t(std::lround(text.width * scale)));
  page.text.height = std::max<int32_t>(1, int32_t(std::lround(text.height * scale)));
  page.text.blocks.emplace_back();
  PageBox previous;
  for (const PdfWord& found : text.words) {
    const std::string characters = ToCp1252(found.utf8);
    if (characters.empty()) continue;
    const PageBox box{int32_t(std::floor(found.left * scale)),
                      int32_t(std::floor(found.top * scale)),
                      std::max(int32_t(std::floor(found.left * scale)),
                               int32_t(std::ceil(found.right * scale)) - 1),
                      std::max(int32_t(std::floor(found.top * scale)),
                               int32_t(std::ceil(found.bottom * scale)) - 1)};
    std::vector<PageLine>& lines = page.text.blocks.back().lines;
    if (lines.empty() || StartsLine(box, previous)) lines.emplace_back();
    lines.back().words.push_back(WordOf(characters, box));
    previous = box;
  }
  page.text.Summarise();
  page.textField = TrimmedText(text.text);
  page.keepsPage = true;
  return page;
}
