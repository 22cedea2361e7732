// A grey page drawn with the program's own canvas, for the tests of the page analysis.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

// A white page (0 black ... 255 white) on which `draw` writes in Liberation Serif, 23 pixels.
template <typename Draw>
std::vector<uint8_t> DrawnPage(int32_t width, int32_t height, Draw draw) {
  LogFont description;
  description.height = -23;
  description.faceName = "Liberation Serif";
  const std::unique_ptr<PlatformFont> font(PlatformFont::Create(description));
  SoftwareCanvas canvas(width, height);
  canvas.brushStyle = BrushStyle::Clear;
  canvas.font = font.get();
  draw(canvas);
  std::vector<uint8_t> grey(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      grey[size_t(y) * size_t(width) + size_t(x)] = uint8_t(canvas.GetPixel(x, y) & 0xFF);
  return grey;
}
