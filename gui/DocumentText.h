// The text of a document read page by page in the window: each page's output lines and
// doubtful words, put together as one text whose pages are separated as the text output of
// a multi-page run separates them (a form feed before each later page).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/WindowInterface.h"
#include "output/DoubtfulWords.h"
#include "recognition/PageText.h"

// One page as the window read it.
struct PageRead {
  int32_t page = 0;                // from 0
  std::vector<std::string> lines;  // the output field's lines for this page (UTF-8)
  std::vector<OutputMark> marks;   // its doubtful words, in its own lines
  PageText text;                   // its page result
};

struct DocumentText {
  std::vector<std::string> lines;
  std::vector<OutputMark> marks;
};

// The pages' lines one after another, the first line of every page after the first
// beginning with a form feed (a line of its own where the page has no text); the marks
// moved to where their words now stand.
DocumentText CombinePages(const std::vector<PageRead>& pages);
