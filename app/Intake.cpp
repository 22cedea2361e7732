// Picture intake: opening, scanning, rotating and saving pictures. (Being built.)
#include "app/MainUnit.h"

bool TMainForm::OpenPic(const std::string& name) {
  RasterImage img;
  OpenDib(&img, name.c_str(), 0, nullptr);
  if (!img.pixels) {
    window.MessageBox(DIBErrorText(img), "Error while opening " + name + "!", MessageIcon::Error,
                      MessageButtons::Ok);
    deldib(&img);
    return false;
  }
  InstallPicture(img);
  return true;
}
void TMainForm::InstallPicture(RasterImage& image) {
  deldib(&picture);
  picture = image;
  NewPicture();
  ToBlackWhiteBtnClick();
}
void TMainForm::NewPicture() {
  searchArea = {0, 0, DIBWidth(picture) - 1, DIBHeight(picture) - 1};
  for (int32_t i = 0; i < lines.Count; ++i) ReleaseTextLine(*lines.At(i));
  lines.Clear();
}
void TMainForm::OpenPicsBtnClick() {}
void TMainForm::SavePicBtnClick() {}
void TMainForm::SourceBtnClick() {}
void TMainForm::ScanBtnClick() {}
void TMainForm::WMUser2(int32_t) {}
void TMainForm::Rotation901Click() {
  DIBRotLeft();
}
void TMainForm::Rotation90nachrechts1Click() {
  DIBRotRight();
}
void TMainForm::DIBRotLeft() {}
void TMainForm::DIBRotRight() {}
