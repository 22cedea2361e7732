// The pages of a multi-page picture in the window: the page shown, and going to the
// previous or next one.
#include "app/MainUnit.h"

void TMainForm::PrevPageBtnClick() {
  if (pageIndex > 0 && !pictureName.empty()) OpenPicPage(pictureName, pageIndex - 1);
}

void TMainForm::NextPageBtnClick() {
  if (pageIndex + 1 < pageCount && !pictureName.empty()) OpenPicPage(pictureName, pageIndex + 1);
}

std::string TMainForm::PageCaption() const {
  if (pageCount <= 1) return "";
  return "Page " + std::to_string(pageIndex + 1) + " of " + std::to_string(pageCount);
}
