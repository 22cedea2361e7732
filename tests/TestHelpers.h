// Helpers shared by the test programs: reading a file whole and drawing small pages.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <cmath>

#include "core/RasterImage.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

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

// Draws Windows-1252 text with its baseline at row `baseline`, one character at a time,
// rising `rise` pixels per pixel to the right (a skewed line).
inline void DrawText(SoftwareCanvas& canvas, const PlatformFont& font, int32_t x, int32_t baseline,
                     const std::string& text, double rise = 0.0) {
  canvas.brushStyle = BrushStyle::Clear;
  canvas.font = &font;
  int32_t pen = x;
  for (char c : text) {
    const int32_t y = baseline - font.Ascent() - int32_t(std::lround(rise * (pen - x)));
    canvas.TextOut(pen, y, std::string(1, c));
    pen += font.TextWidth(std::string(1, c));
  }
}
