// DepthUpTo: 1-, 4-, 8-, 16- and 32-bit pictures to 24 bits, reading the rows directly.
#include "app/DepthUp.h"

#include <array>
#include <cstring>

namespace {

struct Bgr {
  uint8_t blue, green, red;
};

// Colours of the palette indexes. A 1-bit picture without a palette keeps the old
// meaning of its indexes: 0 black, 1 white.
std::array<Bgr, 256> PaletteColours(const RasterImage& image) {
  std::array<Bgr, 256> colours{};
  for (int32_t k = 0; k < 256; ++k) {
    const LogPaletteEntry& e = image.logPalette.entries[k];
    colours[k] = {e.blue, e.green, e.red};
  }
  if (DIBBitCount(image) == 1 && image.logPalette.count < 2) {
    colours[0] = {0, 0, 0};
    colours[1] = {255, 255, 255};
  }
  return colours;
}

}  // namespace

bool DepthUpTo(int32_t depth, RasterImage& image) {
  if (!image.pixels) return false;
  const int32_t bits = DIBBitCount(image);
  if (bits == depth) return true;
  if (depth != 24) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 32) return false;

  const int32_t w = DIBWidth(image), h = DIBHeight(image);
  RasterImage out;
  newdib(&out, w, h, 24, nullptr, 0);
  if (!out.pixels) {
    deldib(&out);
    return false;
  }
  const std::array<Bgr, 256> colours = PaletteColours(image);
  std::array<std::array<uint8_t, 4>, 256> wide;
  for (int32_t k = 0; k < 256; ++k)
    wide[k] = {colours[k].blue, colours[k].green, colours[k].red, 0};
  auto put = [](uint8_t* dst, const Bgr& c) {
    dst[0] = c.blue;
    dst[1] = c.green;
    dst[2] = c.red;
  };
  for (int32_t i = 0; i < h; ++i) {  // memory rows, both images bottom-up
    const uint8_t* src = DIBRow(image, i);
    uint8_t* dst = DIBRow(out, i);
    switch (bits) {
      case 1:
        for (int32_t x = 0; x < w; ++x, dst += 3)
          put(dst, colours[(src[x >> 3] >> (7 - (x & 7))) & 1]);
        break;
      case 4:  // even x in the high nibble
        for (int32_t x = 0; x < w; ++x, dst += 3)
          put(dst, colours[(x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4)]);
        break;
      case 8: {
        // One 4-byte store per pixel: its fourth byte is the next pixel's first and is
        // written over by it. The row's last pixel gets exactly its 3 bytes.
        int32_t x = 0;
        for (; x + 1 < w; ++x, dst += 3) std::memcpy(dst, wide[src[x]].data(), 4);
        put(dst, colours[src[x]]);
        break;
      }
      default:  // 16 and 32 bits: the library's own reading of the pixel
        for (int32_t x = 0; x < w; ++x, dst += 3) {
          const uint32_t v = getpixel(image, x, h - 1 - i);
          put(dst, {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
        }
    }
  }
  deldib(&image);
  image = out;
  return true;
}
