// Picture intake: opening, scanning, rotating and saving pictures, and installing a new
// picture (NewPicture, the black/white page, the view).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/DepthUp.h"
#include "app/MainUnit.h"
#include "app/PageReadAhead.h"
#include "app/PictureFiles.h"
#include "core/OverwriteGuard.h"
#include "core/RasterPages.h"
#include "platform/Scanner.h"

namespace {

// A stated resolution is believed between a coarse fax or screen picture and a film
// scanner's finest, and only while the page it makes is no larger than a PDF page may be
// (14,400 points: 200 inches); 1 or 100,000 dpi come from writers that fill the field
// with anything. Otherwise the page is taken as a scan of kAssumedDpi.
constexpr double kMinBelievableDpi = 50, kMaxBelievableDpi = 4800;
constexpr double kLargestPageInches = 200;
constexpr int32_t kAssumedDpi = 300;

// Replaces an unbelievable stated resolution of `image` by kAssumedDpi (or, for a picture
// too long even for that, by the least that keeps the page within the limit); returns the
// note for the log, empty when the resolution stands.
std::string BelievableResolution(RasterImage& image) {
  auto* info = reinterpret_cast<BitmapInfoHeader*>(image.header);
  const double stated = info->biXPelsPerMeter * 0.0254;
  const double inches = std::max(DIBWidth(image), DIBHeight(image)) / std::max(stated, 1e-9);
  if (info->biXPelsPerMeter <= 0 ||
      (stated >= kMinBelievableDpi && stated <= kMaxBelievableDpi && inches <= kLargestPageInches))
    return "";
  const int32_t longest = std::max(DIBWidth(image), DIBHeight(image));
  const int32_t dpi = std::max(kAssumedDpi, int32_t(std::ceil(longest / kLargestPageInches)));
  info->biXPelsPerMeter = info->biYPelsPerMeter = int32_t(std::lround(dpi / 0.0254));
  return "The picture states " + std::to_string(int64_t(std::lround(stated))) +
         " dpi, which no page has; it is taken as " + std::to_string(dpi) + " dpi.";
}

RasterImage EmptyImage() {
  RasterImage image;
  std::memset(&image, 0, sizeof(image));
  return image;
}

}  // namespace

TMainForm::ScannerHandle::ScannerHandle() : link(new ScannerLink) {}

TMainForm::ScannerHandle::~ScannerHandle() {
  delete link;  // waits for a running scan, whose message goes to the window
}

void TMainForm::InstallPicture(RasterImage& image) {
  pageIndex = 0;
  pageCount = 1;
  deldib(&picture);
  picture = image;
  image = EmptyImage();  // the form owns it now
  pictureName.clear();   // OpenPic names a picture from a file
  NewPicture();
  // Only the window and the classic search use the black/white page; without them it would
  // cost a page-sized image and a pass over every pixel.
  if (!pageUnseen || RecogniserUsesBlackWhite()) ToBlackWhiteBtnClick();
}

void TMainForm::NewPicture() {
  searchArea = {0, 0, DIBWidth(picture) - 1, DIBHeight(picture) - 1};
  ClearLines();
  pageText = PageText();  // a result belongs to the picture it was read from
  markedWord = PageBox();
}

bool TMainForm::OpenPic(const std::string& name) {
  ProtectFromOverwrite(name);  // no text saved later may replace it
  const int32_t pages = DIBPageCount(name.c_str());
  if (!OpenPicPage(name, 0)) return false;
  pageCount = pages;
  return true;
}

bool TMainForm::OpenPicPage(const std::string& fileName, int32_t page) {
  const std::string name = fileName;  // it may be pictureName, which installing clears
  const std::string title = "Error while opening " + name + "!";
  const int32_t pages = pageCount;  // another page of the same file: the count stays
  RasterImage img = EmptyImage();
  const int64_t maxPixels = int64_t(settings.maxMegapixels) * 1000000;
  if (!pageReadAhead || !pageReadAhead->Take(name, page, maxPixels, &img))
    OpenDibPage(&img, name.c_str(), page, maxPixels, true);
  if (!img.pixels) {
    window.MessageBox(DIBErrorText(img), title, MessageIcon::Error, MessageButtons::Ok);
    deldib(&img);
    return false;
  }
  // Everything after intake reads the picture as 3 bytes per pixel, so a picture that
  // cannot be brought to 24 bits (no memory for the copy) is refused, not installed.
  if (DIBBitCount(img) != 24 && !DepthUpTo(24, img)) {
    deldib(&img);
    window.MessageBox("Not enough memory to convert the picture to 24 bits per pixel.", title,
                      MessageIcon::Error, MessageButtons::Ok);
    return false;
  }
  const std::string resolutionNote = BelievableResolution(img);
  if (!resolutionNote.empty()) Log(resolutionNote);
  InstallPicture(img);
  pictureName = name;
  pageIndex = page;
  pageCount = pages;
  PaintBox1Paint();
  return true;
}

void TMainForm::OpenPicsBtnClick() {
  std::string name;
  if (!window.OpenFileDialog(kOpenPictureFilter, &name)) return;
  OpenPic(name);
}

void TMainForm::SavePicBtnClick() {
  std::string name;
  int32_t filterIndex = 1;
  if (!window.SaveFileDialog(GetDIBSaveFilter(), &name, &filterIndex)) return;
  name = SavePictureName(name, filterIndex);
  std::string error;
  if (!SaveDib(picture, name.c_str(), SaveFormatCode(filterIndex), nullptr, &error))
    window.MessageBox(error, "Error while saving " + name + "!", MessageIcon::Error,
                      MessageButtons::Ok);
}

void TMainForm::SourceBtnClick() {
  std::string error;
  const bool listed = scanner.link->TWAIN_SelectScanner(
      [this](const std::vector<std::string>& devices) {
        return window.ChooseScannerDialog(devices);
      },
      &error);
  if (!listed) window.MessageBox(error, "Scanner", MessageIcon::Error, MessageButtons::Ok);
}

void TMainForm::ScanBtnClick() {
  // The scan runs on a worker thread so that the window stays alive; its end arrives
  // as the scan message (WMUser2) on the window's thread.
  std::string error;
  WindowInterface* target = &window;
  if (!scanner.link->TWAIN_ScanImage([target](int32_t id) { target->PostScanMessage(id); }, &error))
    window.MessageBox(error, "Scanner", MessageIcon::Warning, MessageButtons::Ok);
}

void TMainForm::WaitForScan() {
  scanner.link->WaitForScan();
}

void TMainForm::WMUser2(int32_t scanId) {
  RasterImage img = EmptyImage();
  GetScanedDib(&img, scanId);
  if (!img.pixels) {
    // Nothing to install; a failed scan leaves its reason in the log.
    const std::string reason = DIBErrorText(img);
    if (!reason.empty()) Log("Scan: " + reason);
    deldib(&img);
    return;
  }
  if (DIBBitCount(img) != 24 && !DepthUpTo(24, img)) {
    Log("Scan: not enough memory to convert the picture to 24 bits per pixel.");
    deldib(&img);
    return;
  }
  InstallPicture(img);
  PaintBox1Paint();
}

void TMainForm::Rotation901Click() {
  DIBRotLeft();
}

void TMainForm::Rotation90nachrechts1Click() {
  DIBRotRight();
}

namespace {

// The picture turned by 90 degrees: counter-clockwise when `left`, else clockwise. Null
// pixels when no image could be made.
RasterImage RotatedPicture(const RasterImage& picture, bool left) {
  const int32_t w = DIBWidth(picture), h = DIBHeight(picture), bits = DIBBitCount(picture);
  const int32_t colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
  RasterImage turned = EmptyImage();
  if (!picture.pixels) return turned;
  newdib(&turned, h, w, bits, colours ? picture.header : nullptr, colours);
  if (!turned.pixels) return turned;
  if (bits == 24) {
    // Direct copy of the 3 bytes of each pixel; same places as getpixel/setpixel.
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = DIBPixel24(picture, x, y);
        uint8_t* q = left ? DIBPixel24(turned, y, w - 1 - x) : DIBPixel24(turned, h - 1 - y, x);
        q[0] = p[0];
        q[1] = p[1];
        q[2] = p[2];
      }
    return turned;
  }
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t value = getpixel(picture, x, y);
      if (left)
        setpixel(turned, y, w - 1 - x, value);
      else
        setpixel(turned, h - 1 - y, x, value);
    }
  return turned;
}

}  // namespace

void TMainForm::DIBRotLeft() {
  RotatePicture(true);
}

void TMainForm::DIBRotRight() {
  RotatePicture(false);
}

void TMainForm::RotatePicture(bool left) {
  RasterImage turned = RotatedPicture(picture, left);
  if (!turned.pixels) {
    deldib(&turned);
    return;
  }
  InstallPicture(turned);
  window.RepaintPaintBox1();
}
