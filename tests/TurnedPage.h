// A grey page turned as a scanner's page lies askew, for the tests of the page analysis.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

// A page of text turned `degrees` clockwise about its centre on white paper wide enough to hold
// it (nearest pixels), as a scanner's page lies askew; `places` move with it.
inline std::vector<uint8_t> TurnedPage(const std::vector<uint8_t>& grey, int32_t width,
                                       int32_t height, double degrees, int32_t* turnedWidth,
                                       int32_t* turnedHeight,
                                       std::vector<std::pair<double, double>>* places) {
  const double radians = degrees * M_PI / 180, c = std::cos(radians), s = std::sin(radians);
  *turnedWidth = int32_t(std::ceil(width * std::abs(c) + height * std::abs(s)));
  *turnedHeight = int32_t(std::ceil(width * std::abs(s) + height * std::abs(c)));
  std::vector<uint8_t> turned(size_t(*turnedWidth) * size_t(*turnedHeight), 255);
  for (int32_t y = 0; y < *turnedHeight; ++y)
    for (int32_t x = 0; x < *turnedWidth; ++x) {
      const double dx = x - *turnedWidth / 2.0, dy = y - *turnedHeight / 2.0;
      const auto sx = int32_t(std::lround(width / 2.0 + dx * c + dy * s));
      const auto sy = int32_t(std::lround(height / 2.0 - dx * s + dy * c));
      if (sx >= 0 && sy >= 0 && sx < width && sy < height)
        turned[size_t(y) * size_t(*turnedWidth) + size_t(x)] =
            grey[size_t(sy) * size_t(width) + size_t(sx)];
    }
  for (auto& [x, y] : *places) {
    const double sx = x - width / 2.0, sy = y - height / 2.0;
    const double px = *turnedWidth / 2.0 + sx * c - sy * s;
    y = *turnedHeight / 2.0 + sx * s + sy * c;
    x = px;
  }
  return turned;
}
