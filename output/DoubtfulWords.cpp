#include "output/DoubtfulWords.h"

#include <algorithm>
#include <set>

#include "core/Cp1252.h"

namespace {

// The field as one run of characters with a line feed after each line.
struct FieldText {
  std::u32string chars;
  std::vector<size_t> lineStarts;
};

FieldText Flatten(const std::vector<std::string>& lines) {
  FieldText field;
  for (const std::string& line : lines) {
    field.lineStarts.push_back(field.chars.size());
    for (size_t pos = 0; pos < line.size();) field.chars += Utf8Next(line, &pos);
    field.chars += U'\n';
  }
  return field;
}

bool Blank(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\n';
}

// The first whole-word occurrence of `word` in [from, to) that no earlier word took;
// npos when there is none.
size_t FindWord(const FieldText& field, const std::u32string& word, size_t from, size_t to,
                const std::set<size_t>& taken) {
  for (size_t at = field.chars.find(word, from); at != std::u32string::npos && at < to;
       at = field.chars.find(word, at + 1)) {
    const size_t end = at + word.size();
    const bool startsWord = at == 0 || Blank(field.chars[at - 1]);
    const bool endsWord = end == field.chars.size() || Blank(field.chars[end]);
    if (startsWord && endsWord && !taken.count(at)) return at;
  }
  return std::u32string::npos;
}

OutputMark MarkAt(const FieldText& field, size_t at, size_t length) {
  const auto line = std::upper_bound(field.lineStarts.begin(), field.lineStarts.end(), at) - 1;
  return OutputMark{int32_t(line - field.lineStarts.begin()), int32_t(at - *line), int32_t(length)};
}

}  // namespace

std::vector<WordInField> WordsInField(const std::vector<std::string>& lines, const PageText& page) {
  const FieldText field = Flatten(lines);
  std::vector<WordInField> placed;
  std::set<size_t> taken;
  size_t cursor = 0;
  for (const PageBlock& block : page.blocks)
    for (const PageLine& line : block.lines)
      for (const PageWord& word : line.words) {
        if (word.chars.empty()) continue;
        std::u32string text;
        for (const PageChar& c : word.chars) text += Cp1252ToCodePoint(c.code);
        size_t at = FindWord(field, text, cursor, field.chars.size(), taken);
        if (at == std::u32string::npos) at = FindWord(field, text, 0, cursor, taken);
        if (at == std::u32string::npos) continue;
        taken.insert(at);
        cursor = at + text.size();
        placed.push_back({&word, MarkAt(field, at, text.size())});
      }
  return placed;
}

std::vector<OutputMark> FindDoubtfulWords(const std::vector<std::string>& lines,
                                          const PageText& page, const KnownWords* words,
                                          double threshold) {
  std::vector<OutputMark> marks;
  for (const WordInField& placed : WordsInField(lines, page))
    if (WordRightProbability(*placed.word, words) < threshold) marks.push_back(placed.place);
  return marks;
}

const PageWord* WordAt(const std::vector<std::string>& lines, const PageText& page, int32_t line,
                       int32_t column) {
  for (const WordInField& placed : WordsInField(lines, page)) {
    const OutputMark& place = placed.place;
    // A click just after a word's last character still means the word.
    if (place.line == line && column >= place.start && column <= place.start + place.length)
      return placed.word;
  }
  return nullptr;
}

PagePart PartOfDocument(const std::vector<std::string>& lines, int32_t line) {
  PagePart part;
  for (int32_t i = 0; i < int32_t(lines.size()); ++i) {
    const bool startsPage = i > 0 && !lines[i].empty() && lines[i][0] == kPageBreak;
    if (startsPage && i > line) break;
    if (startsPage) {
      ++part.index;
      part.firstLine = i;
      part.lines.clear();
    }
    part.lines.push_back(startsPage ? lines[i].substr(1) : lines[i]);
  }
  return part;
}
