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
  int32_t row;  // output row given by the text fitting
  int32_t number;
  int32_t maxHeight;
  int32_t avgHeight;
  int32_t minHeight;
  int32_t thirdHeight;
  int32_t xMiddle;
  int32_t left;
  int32_t right;
  int32_t upperLevel;
  int32_t middle;
  int32_t bottom;
  int32_t descenderLevel;
  int32_t xTopLimit;
  int32_t baseline;
  int32_t xTop;
  int32_t top;
  double slope;     // temporary records of the slant pass only
  uint8_t invalid;  // temporary records: the line disagrees with the page's slant
  char* text;       // recognised text, owned; null when nothing was recognised
};

struct ValueCount {
  int32_t value;
  int32_t count;
};

inline void ReleasePageObject(PageObject& object) {
  deldib(&object.image);
}
void ReleaseTextLine(TextLine& line);
