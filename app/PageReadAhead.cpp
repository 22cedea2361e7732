#include "app/PageReadAhead.h"

#include <cstring>

#include "core/RasterPages.h"

namespace {

RasterImage ReadPage(const std::string& file, int32_t page, int64_t maxPixels) {
  RasterImage image;
  std::memset(&image, 0, sizeof(image));
  OpenDibPage(&image, file.c_str(), page, maxPixels, true);
  return image;
}

}  // namespace

PageReadAhead::~PageReadAhead() {
  if (!reading_.valid()) return;
  RasterImage untaken = reading_.get();
  deldib(&untaken);
}

void PageReadAhead::Start(const std::string& file, int32_t page, int64_t maxPixels) {
  if (reading_.valid()) return;
  file_ = file, page_ = page, maxPixels_ = maxPixels;
  try {
    reading_ = std::async(std::launch::async, ReadPage, file, page, maxPixels);
  } catch (const std::system_error&) {
    // No thread to be had: the page is read when it is asked for.
  }
}

bool PageReadAhead::Take(const std::string& file, int32_t page, int64_t maxPixels,
                         RasterImage* out) {
  if (!reading_.valid()) return false;
  RasterImage image = reading_.get();
  if (file != file_ || page != page_ || maxPixels != maxPixels_) {
    deldib(&image);  // another page after all: its memory is not kept waiting
    return false;
  }
  *out = image;
  return true;
}
