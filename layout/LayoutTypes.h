// Records of the page layout: the ink objects of a page and its text lines.
//
// Ownership: a PageObject owns its `image` (released with deldib by whoever removes the
// record or empties its list; see ReleasePageObject). A TextLine owns its `text` (a
// malloc'd NUL-terminated Windows-1252 string or null; see ReleaseTextLine).
#pragma once

#include <cstdint>

#include "core/RasterImage.h"

// Page coordinates, inclusive on all four sides: width = Right - Left + 1.
struct Box {
  int32_t Left, Top, Right, Bottom;
};

// One scored candidate of the classification.
struct Candidate {
  double score;
  int32_t charIndex;  // position 1 ... 70 in the recognition alphabet
};

constexpr int kCandidateCount = 70;

struct PageObject {
  RasterImage image;  // the object cut out: its own pixels black, the rest white, 24 bits
  Box unskewedBox;    // the box as found, before the skew correction
  Box box;            // bounding box in page coordinates, skew-corrected by the line finding
  int32_t line;       // 1-based line of the object, 0 before the line finding
  // Recogniser fields, zero until a recogniser has run.
  int32_t recognisedChar;                     // Windows-1252 code decided by the classification
  Candidate candidates[kCandidateCount + 1];  // sorted by score; the last is the sort's spare
};

struct TextLine {
  int32_t row;             // output row given by the text fitting
  int32_t number;          // the line's number in the grouping order (the label's first part)
  int32_t maxHeight;       // tallest object
  int32_t avgHeight;       // mean object height
  int32_t minHeight;       // smallest object
  int32_t thirdHeight;     // avgHeight / 3, rounded: a wider gap starts a word
  int32_t xMiddle;         // halfway between xTop and the baseline
  int32_t left;            // the line's box: smallest Left of its objects
  int32_t right;           // largest Right
  int32_t upperLevel;      // a quarter of the way from top down to xTop
  int32_t middle;          // halfway between top and bottom
  int32_t bottom;          // largest Bottom (descenders included)
  int32_t descenderLevel;  // objects reaching below it descend (g, p, q, y)
  int32_t xTopLimit;       // objects starting above it are tall (capitals, ascenders)
  int32_t baseline;        // the commonest Bottom: where the letters stand
  int32_t xTop;            // the commonest Top below the line's top: the x-height
  int32_t top;             // smallest Top (ascenders and capitals included)
  double slope;            // temporary records of the slant pass only
  uint8_t invalid;         // temporary records: the line disagrees with the page's slant
  char* text;              // recognised text, owned; null when nothing was recognised
};

struct ValueCount {
  int32_t value;
  int32_t count;
};

inline void ReleasePageObject(PageObject& object) {
  deldib(&object.image);
}
void ReleaseTextLine(TextLine& line);
