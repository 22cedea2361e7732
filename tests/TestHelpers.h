// Helpers shared by the test programs: reading a file whole and drawing small pages.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/RasterImage.h"

// The bytes of a file ("" when it cannot be read).
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// A 24-bit image from rows written top-down: '#' ink (0), anything else paper (255).
inline RasterImage DrawnImage(const std::vector<std::string>& rows) {
  RasterImage image;
  const int32_t w = int32_t(rows.at(0).size()), h = int32_t(rows.size());
  newdib(&image, w, h, 24, nullptr, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = DIBPixel24(image, x, y);
      p[0] = p[1] = p[2] = rows[size_t(y)][size_t(x)] == '#' ? 0 : 255;
    }
  return image;
}
