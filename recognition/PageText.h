// The page result: what a recogniser read on one page, in reading order, with every
// block, line, word and character boxed in page pixels and scored. Every output (the
// text field and file, hOCR, ALTO, TSV, the searchable PDF) is written from it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// Page pixels, inclusive on all four sides (as Box): width = right - left + 1.
struct PageBox {
  int32_t left = 0, top = 0, right = -1, bottom = -1;
  bool Empty() const { return right < left || bottom < top; }
  int32_t Width() const { return right - left + 1; }
  int32_t Height() const { return bottom - top + 1; }
  // The smallest box holding both (an empty box holds nothing).
  void Include(const PageBox& other) {
    if (other.Empty()) return;
    if (Empty()) {
      *this = other;
      return;
    }
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
  }
};

// The box on a picture `width` by `height` turned clockwise by `quarters` quarter turns, as
// Leptonica's pixRotateOrth turns it.
inline PageBox TurnedClockwise(const PageBox& box, int32_t quarters, int32_t width,
                               int32_t height) {
  switch (((quarters % 4) + 4) % 4) {
    case 1:
      return {height - 1 - box.bottom, box.left, height - 1 - box.top, box.right};
    case 2:
      return {width - 1 - box.right, height - 1 - box.bottom, width - 1 - box.left,
              height - 1 - box.top};
    case 3:
      return {box.top, width - 1 - box.right, box.bottom, width - 1 - box.left};
    default:
      return box;
  }
}

// The box turned `radians` clockwise about (centreX, centreY): its middle turned, its size kept,
// as a letter's box turned by a few degrees is as wide and as tall.
inline PageBox TurnedAbout(const PageBox& box, double radians, double centreX, double centreY) {
  const double dx = (box.left + box.right) / 2.0 - centreX;
  const double dy = (box.top + box.bottom) / 2.0 - centreY;
  const double c = std::cos(radians), s = std::sin(radians);
  PageBox turned;
  turned.left = int32_t(std::lround(centreX + dx * c - dy * s - (box.Width() - 1) / 2.0));
  turned.top = int32_t(std::lround(centreY + dx * s + dy * c - (box.Height() - 1) / 2.0));
  turned.right = turned.left + box.Width() - 1;
  turned.bottom = turned.top + box.Height() - 1;
  return turned;
}

// Another reading of a character, for the word list to choose from.
struct Alternative {
  uint8_t code = 0;  // Windows-1252
  double confidence = 0.0;
};

struct PageChar {
  uint8_t code = 0;                       // Windows-1252
  PageBox box;                            // the ink of the character
  double confidence = 0.0;                // 0 ... 1: the match score of the character chosen
  std::vector<Alternative> alternatives;  // the next best readings, best first (may be empty)
};

struct PageWord {
  std::vector<PageChar> chars;
  PageBox box;
  double confidence = 0.0;    // the lowest confidence of its characters
  std::string Text() const {  // Windows-1252
    std::string text;
    for (const PageChar& c : chars) text += char(c.code);
    return text;
  }
};

struct PageLine {
  std::vector<PageWord> words;
  PageBox box;
  int32_t baseline = 0;  // page row of the baseline (0 when unknown)
  double confidence = 0.0;
};

struct PageBlock {
  std::vector<PageLine> lines;
  PageBox box;
  double confidence = 0.0;
};

struct PageText {
  int32_t width = 0, height = 0;  // of the picture, in pixels
  int32_t dpi = 0;                // the picture's stated resolution, 0 when unknown
  // Clockwise quarter turns that bring the text upright (0 ... 3): a page scanned on its side
  // or upside down. The boxes stand on the picture as it is; the baselines are unknown (0).
  int32_t quarterTurns = 0;
  std::vector<PageBlock> blocks;  // in reading order
  std::string noTextReason;       // why no text was found, where none was (for the user)
  // The text's language as documents tag it ("fr"), where it was read in one; empty where it
  // was read in several, or by a recogniser that reads no language.
  std::string language;

  // Recomputes every word, line and block box and confidence from its parts (a part
  // without characters adds nothing).
  void Summarise();
};

inline void PageText::Summarise() {
  for (PageBlock& block : blocks) {
    block.box = PageBox();
    block.confidence = 1.0;
    bool blockHasText = false;
    for (PageLine& line : block.lines) {
      line.box = PageBox();
      line.confidence = 1.0;
      bool lineHasText = false;
      for (PageWord& word : line.words) {
        word.box = PageBox();
        word.confidence = word.chars.empty() ? 0.0 : 1.0;
        for (const PageChar& c : word.chars) {
          word.box.Include(c.box);
          word.confidence = std::min(word.confidence, c.confidence);
        }
        if (word.chars.empty()) continue;
        line.box.Include(word.box);
        line.confidence = std::min(line.confidence, word.confidence);
        lineHasText = true;
      }
      if (!lineHasText) line.confidence = 0.0;
      if (!lineHasText) continue;
      block.box.Include(line.box);
      block.confidence = std::min(block.confidence, line.confidence);
      blockHasText = true;
    }
    if (!blockHasText) block.confidence = 0.0;
  }
}
