// Small pictures and temporary data directories for the developer-tool tests.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/RasterImage.h"
#include "tests/TestHelpers.h"

// A 24-bit image of one brightness everywhere.
inline RasterImage FlatImage(int32_t w, int32_t h, uint8_t brightness) {
  RasterImage image;
  newdib(&image, w, h, 24, nullptr, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = DIBPixel24(image, x, y);
      p[0] = p[1] = p[2] = brightness;
    }
  return image;
}

// Points XDG_DATA_HOME at a fresh directory for the life of the object.
class TemporaryDataHome {
 public:
  TemporaryDataHome() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillon-devtools-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp";
    path_ = pattern;
    if (const char* old = getenv("XDG_DATA_HOME")) old_ = old;
    setenv("XDG_DATA_HOME", path_.c_str(), 1);
  }
  ~TemporaryDataHome() {
    if (old_)
      setenv("XDG_DATA_HOME", old_->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string StoreDirectory() const { return path_ + "/quillon"; }

 private:
  std::string path_;
  std::optional<std::string> old_;
};
