// A picture's page read on another thread while the program prepares its fonts and
// templates: a one-page run from the command line then waits for the slower of the two
// instead of both in turn.
#pragma once

#include <cstdint>
#include <future>
#include <string>

#include "core/RasterImage.h"

class PageReadAhead {
 public:
  PageReadAhead() = default;
  // Waits for a reading still under way and frees an image nobody took.
  ~PageReadAhead();
  PageReadAhead(const PageReadAhead&) = delete;
  PageReadAhead& operator=(const PageReadAhead&) = delete;

  // Starts reading the page as OpenDibPage(out, file, page, maxPixels, true) would.
  void Start(const std::string& file, int32_t page, int64_t maxPixels);
  // When the page read ahead is the one asked for, waits for it and hands it over (failed
  // readings included: the image then carries its error text). Otherwise, and on any
  // second call, returns false (dropping what was read) and the caller reads the page.
  bool Take(const std::string& file, int32_t page, int64_t maxPixels, RasterImage* out);

 private:
  std::string file_;
  int32_t page_ = 0;
  int64_t maxPixels_ = 0;
  std::future<RasterImage> reading_;
};
