// Multi-page files for the window's tests, apart from the window's headers: Leptonica's
// names clash with the program's.
#include "tests/MultiPageFiles.h"

bool WritePagesAsTiff(const std::string& path, const std::vector<std::string>& pictures) {
  std::vector<PIX*> pages;
  for (const std::string& picture : pictures) pages.push_back(pixRead(picture.c_str()));
  bool ok = true;
  for (PIX* page : pages) ok = ok && page;
  ok = ok && multipage::WriteTiff(path, pages);
  for (PIX* page : pages) pixDestroy(&page);
  return ok;
}
