// Small pictures drawn by the core tests, and comparing pictures by colour.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/RasterImage.h"

namespace testpic {

// The colour of pixel (x, y) (y from the top) as red | green << 8 | blue << 16, taken
// from the palette for indexed pictures.
inline uint32_t ColourAt(const RasterImage& img, int32_t x, int32_t y) {
  const uint32_t v = getpixel(img, x, y);
  if (DIBBitCount(img) > 8) return v;
  const LogPaletteEntry& e = img.logPalette.entries[v & 0xFF];
  const RgbQuad& q = DIBColorTable(img)[v & 0xFF];
  // Colour table and logical palette must agree.
  EXPECT_EQ(e.red, q.red);
  EXPECT_EQ(e.green, q.green);
  EXPECT_EQ(e.blue, q.blue);
  return uint32_t(q.red) | uint32_t(q.green) << 8 | uint32_t(q.blue) << 16;
}

// A picture with runs, single pixels and noise, so that encoders meet every case. Indexed
// pictures get a palette of distinct colours; grey = true gives 8 bits the grey ramp.
inline RasterImage Make(int32_t bits, int32_t w, int32_t h, uint32_t seed = 1, bool grey = false) {
  RasterImage img;
  std::vector<uint8_t> info(kBitmapInfoSize, 0);
  auto* table = reinterpret_cast<RgbQuad*>(info.data() + 40);
  std::mt19937 rng(seed);
  const int colors = bits <= 8 ? 1 << bits : 0;
  for (int i = 0; i < colors; ++i) {
    if (bits == 1)
      table[i] = i ? RgbQuad{0, 0, 0, 0} : RgbQuad{255, 255, 255, 0};  // 0 white, 1 black
    else if (grey)
      table[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    else
      table[i] = {uint8_t(i * 37 + 5), uint8_t(255 - i * 13), uint8_t(i * 101 + 7), 0};
  }
  newdib(&img, w, h, bits, colors ? info.data() : nullptr, colors);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t v;
      if (x < w / 3)
        v = uint32_t(y / 3);  // long runs
      else if (x < 2 * w / 3)
        v = uint32_t(x + y);  // changes at every pixel
      else
        v = rng();
      if (bits == 24)
        v = (v * 2654435761u) & 0xFFFFFF;
      else
        v &= uint32_t(colors - 1);
      setpixel(img, x, y, v);
    }
  return img;
}

// Number of pixels whose colours differ, and the largest channel difference.
struct Difference {
  int64_t pixels = 0;
  int maxChannel = 0;
  double meanChannel = 0;
};

inline Difference Compare(const RasterImage& a, const RasterImage& b) {
  Difference d;
  EXPECT_EQ(DIBWidth(a), DIBWidth(b));
  EXPECT_EQ(DIBHeight(a), DIBHeight(b));
  if (DIBWidth(a) != DIBWidth(b) || DIBHeight(a) != DIBHeight(b)) {
    d.pixels = -1;
    return d;
  }
  double sum = 0;
  for (int32_t y = 0; y < DIBHeight(a); ++y)
    for (int32_t x = 0; x < DIBWidth(a); ++x) {
      const uint32_t ca = ColourAt(a, x, y), cb = ColourAt(b, x, y);
      if (ca != cb) ++d.pixels;
      for (int k = 0; k < 24; k += 8) {
        const int diff = std::abs(int((ca >> k) & 0xFF) - int((cb >> k) & 0xFF));
        d.maxChannel = std::max(d.maxChannel, diff);
        sum += diff;
      }
    }
  d.meanChannel = sum / (3.0 * DIBWidth(a) * DIBHeight(a));
  return d;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A fresh, empty directory for one test.
inline std::string TempDir() {
  std::string tmpl = ::testing::TempDir() + "quillon_pic_XXXXXX";
  const char* dir = mkdtemp(tmpl.data());
  return dir ? std::string(dir) : std::string();
}

}  // namespace testpic
