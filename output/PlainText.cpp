#include "output/PlainText.h"

std::string PlainText(const PageText& page) {
  std::string text;
  for (const PageBlock& block : page.blocks) {
    if (!text.empty()) text += '\n';
    for (const PageLine& line : block.lines) {
      for (size_t w = 0; w < line.words.size(); ++w) {
        if (w > 0) text += ' ';
        text += line.words[w].Text();
      }
      text += '\n';
    }
  }
  return text;
}
