#include "app/PageSelection.h"

#include <charconv>
#include <limits>

namespace {

bool ParsePageNumber(const std::string& text, int32_t* number) {
  const char* last = text.data() + text.size();
  const auto [end, status] = std::from_chars(text.data(), last, *number);
  return !text.empty() && status == std::errc() && end == last && *number >= 1;
}

}  // namespace

bool PageSelection::Contains(int32_t page) const {
  if (ranges.empty()) return true;
  for (const auto& [first, last] : ranges)
    if (page >= first && page <= last) return true;
  return false;
}

int32_t PageSelection::Next(int32_t page, int32_t pages) const {
  while (page < pages && !Contains(page)) ++page;
  return page;
}

bool ParsePageSelection(const std::string& text, PageSelection* selection, std::string* problem) {
  selection->ranges.clear();
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string part = text.substr(start, comma - start);
    const size_t dash = part.find('-');
    int32_t first = 0, last = 0;
    const bool open = dash != std::string::npos && dash + 1 == part.size();
    const bool ok = dash == std::string::npos
                        ? ParsePageNumber(part, &first) && ParsePageNumber(part, &last)
                        : ParsePageNumber(part.substr(0, dash), &first) &&
                              (open || ParsePageNumber(part.substr(dash + 1), &last));
    if (open) last = std::numeric_limits<int32_t>::max();
    if (!ok || last < first) {
      *problem = "pages are numbers from 1 and ranges such as 1-3,7 or 5-";
      return false;
    }
    selection->ranges.emplace_back(first - 1,
                                   last == std::numeric_limits<int32_t>::max() ? last : last - 1);
    start = comma + 1;
  }
  return true;
}
