#include "output/PlainText.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

std::string LineText(const PageLine& line, size_t firstWord = 0) {
  std::string text;
  for (size_t w = firstWord; w < line.words.size(); ++w) {
    if (w > firstWord) text += ' ';
    text += line.words[w].Text();
  }
  return text;
}

// The word ends with a hyphen after a letter or digit: it may go on in the next line.
bool EndsDivided(const PageWord& word) {
  const size_t n = word.chars.size();
  if (n < 2 || word.chars[n - 1].code != '-') return false;
  const uint8_t before = word.chars[n - 2].code;
  return before != '-' && before != ' ';
}

std::string ColumnsText(const PageText& page) {
  std::string text;
  for (const PageBlock& block : page.blocks) {
    bool blockStarted = false;
    for (const PageLine& line : block.lines) {
      if (line.words.empty()) continue;
      if (!blockStarted && !text.empty()) text += '\n';
      blockStarted = true;
      text += LineText(line) + '\n';
    }
  }
  return text;
}

struct PlacedLine {
  const PageLine* line;
  int32_t top, bottom, left;
};

std::string PageOrderText(const PageText& page) {
  std::vector<PlacedLine> lines;
  int32_t chars = 0, inkWidth = 0, minLeft = INT32_MAX;
  for (const PageBlock& block : page.blocks)
    for (const PageLine& line : block.lines) {
      if (line.words.empty()) continue;
      PageBox box;
      for (const PageWord& w : line.words) {
        for (const PageChar& c : w.chars) box.Include(c.box);
        chars += int32_t(w.chars.size());
        inkWidth += w.box.Empty() ? 0 : w.box.Width();
      }
      if (box.Empty()) box = line.box;
      lines.push_back({&line, box.top, box.bottom, box.left});
      minLeft = std::min(minLeft, box.left);
    }
  if (lines.empty()) return {};
  const double charWidth = chars > 0 && inkWidth > 0 ? double(inkWidth) / chars : 1.0;
  std::stable_sort(lines.begin(), lines.end(),
                   [](const PlacedLine& a, const PlacedLine& b) { return a.top < b.top; });
  std::string text;
  for (size_t first = 0; first < lines.size();) {
    // A row: the lines whose middle lies within the first line's height.
    size_t end = first + 1;
    while (end < lines.size() && (lines[end].top + lines[end].bottom) / 2 <= lines[first].bottom)
      ++end;
    std::stable_sort(lines.begin() + std::ptrdiff_t(first), lines.begin() + std::ptrdiff_t(end),
                     [](const PlacedLine& a, const PlacedLine& b) { return a.left < b.left; });
    std::string row;
    for (size_t l = first; l < end; ++l) {
      const size_t column = size_t(std::lround((lines[l].left - minLeft) / charWidth));
      const size_t at = row.empty() ? column : std::max(row.size() + 1, column);
      row.resize(at, ' ');
      row += LineText(*lines[l].line);
    }
    text += row + '\n';
    first = end;
  }
  return text;
}

}  // namespace

std::string PlainText(const PageText& page, ReadingOrder order) {
  return order == ReadingOrder::Page ? PageOrderText(page) : ColumnsText(page);
}

void JoinDividedWords(PageText* page, const DividedWordTest& joins) {
  std::vector<PageLine*> lines;
  for (PageBlock& block : page->blocks)
    for (PageLine& line : block.lines)
      if (!line.words.empty()) lines.push_back(&line);
  for (size_t l = 0; l + 1 < lines.size(); ++l) {
    // A line whose only word went up to the line before divides nothing.
    if (lines[l]->words.empty()) continue;
    PageWord& head = lines[l]->words.back();
    std::vector<PageWord>& next = lines[l + 1]->words;
    if (!EndsDivided(head)) continue;
    const std::string headText = head.Text().substr(0, head.chars.size() - 1);
    if (!joins(headText, next.front().Text())) continue;
    head.chars.pop_back();  // the hyphen
    head.chars.insert(head.chars.end(), next.front().chars.begin(), next.front().chars.end());
    head.confidence = std::min(head.confidence, next.front().confidence);
    next.erase(next.begin());
  }
}
