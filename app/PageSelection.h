// The pages a run reads (--pages=1-3,7): ranges of page numbers from 1, as printers take them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct PageSelection {
  std::vector<std::pair<int32_t, int32_t>> ranges;  // first and last page from 0; none: all

  bool Contains(int32_t page) const;
  // The first selected page at or after `page`; `pages` when there is none.
  int32_t Next(int32_t page, int32_t pages) const;
};

// Parses "1-3,7" (also "5-" up to the last page); false with the reason in *problem for a
// list that is empty, malformed, has a page 0 or a range that runs backwards.
bool ParsePageSelection(const std::string& text, PageSelection* selection, std::string* problem);
