// Tab-separated values in the columns that OCR tools share: one row for each page, block,
// paragraph, line and word, with its box; words carry their confidence and text.
#include <charconv>

#include "core/Cp1252.h"
#include "output/FormatWriters.h"

namespace {

enum Level { kPage = 1, kBlock = 2, kParagraph = 3, kLine = 4, kWord = 5 };

struct Position {
  int page = 0, block = 0, paragraph = 0, line = 0, word = 0;
};

// Tabs and line breaks would break the table; they become blanks.
std::string TsvText(const std::string& cp1252) {
  std::string utf8;
  for (const char c : cp1252) {
    const uint8_t byte = uint8_t(c);
    AppendUtf8(byte < 0x20 ? U' ' : Cp1252ToCodePoint(byte), &utf8);
  }
  return utf8;
}

// The confidence as a percentage with two decimals and a point in every locale; -1 for
// rows without a confidence of their own.
std::string Confidence(double confidence) {
  char text[32];
  const double percent = std::clamp(confidence, 0.0, 1.0) * 100.0;
  const auto result = std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed, 2);
  return std::string(text, result.ptr);
}

void Row(std::string* tsv, Level level, const Position& at, const PageBox& box,
         const std::string& confidence, const std::string& text) {
  for (const int value : {int(level), at.page, at.block, at.paragraph, at.line, at.word,
                          int(box.left), int(box.top), int(box.Width()), int(box.Height())}) {
    *tsv += std::to_string(value);
    *tsv += '\t';
  }
  *tsv += confidence + '\t' + text + '\n';
}

bool HasText(const PageLine& line) {
  for (const PageWord& word : line.words)
    if (!word.chars.empty()) return true;
  return false;
}

void LineRows(std::string* tsv, const PageLine& line, Position at) {
  Row(tsv, kLine, at, line.box, "-1", "");
  for (const PageWord& word : line.words) {
    if (word.chars.empty()) continue;
    ++at.word;
    Row(tsv, kWord, at, word.box, Confidence(word.confidence), TsvText(word.Text()));
  }
}

// The rows of one page, numbered `pageNumber` (from 1).
std::string TsvPage(const DocumentPage& page, int pageNumber) {
  std::string tsv;
  Position at{pageNumber};
  Row(&tsv, kPage, at, PageBox{0, 0, page.text.width - 1, page.text.height - 1}, "-1", "");
  for (const PageBlock& block : page.text.blocks) {
    bool blockStarted = false;
    for (const PageLine& line : block.lines) {
      if (!HasText(line)) continue;
      if (!blockStarted) {
        // A block is one paragraph: the recognisers do not split blocks further.
        at = Position{at.page, at.block + 1};
        Row(&tsv, kBlock, at, block.box, "-1", "");
        at.paragraph = 1;
        Row(&tsv, kParagraph, at, block.box, "-1", "");
        blockStarted = true;
      }
      at = Position{at.page, at.block, at.paragraph, at.line + 1};
      LineRows(&tsv, line, at);
    }
  }
  return tsv;
}

constexpr char kHeader[] =
    "level\tpage_num\tblock_num\tpar_num\tline_num\tword_num\tleft\ttop\twidth\theight\tconf\t"
    "text\n";

class TsvStream : public PageStream {
 public:
  std::string Page(const DocumentPage& page) override {
    const bool first = pages_ == 0;
    const std::string rows = TsvPage(page, ++pages_);
    return first ? kHeader + rows : rows;
  }
  std::string End() override { return pages_ == 0 ? kHeader : ""; }

 private:
  int pages_ = 0;
};

}  // namespace

PageStream* NewTsvStream() {
  return new TsvStream();
}
