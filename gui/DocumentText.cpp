#include "gui/DocumentText.h"

DocumentText CombinePages(const std::vector<PageRead>& pages) {
  DocumentText document;
  for (size_t i = 0; i < pages.size(); ++i) {
    const PageRead& page = pages[i];
    const int32_t firstLine = int32_t(document.lines.size());
    const bool breakBefore = i > 0;
    if (breakBefore && page.lines.empty()) document.lines.emplace_back(1, kPageBreak);
    for (size_t k = 0; k < page.lines.size(); ++k)
      document.lines.push_back(breakBefore && k == 0 ? kPageBreak + page.lines[k] : page.lines[k]);
    for (OutputMark mark : page.marks) {
      // The form feed before the page's first line moves that line's words one on.
      if (breakBefore && mark.line == 0) ++mark.start;
      mark.line += firstLine;
      document.marks.push_back(mark);
    }
  }
  return document;
}
