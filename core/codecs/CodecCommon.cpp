// Helpers shared by the codecs: making images with palettes, grey ramps, depth checks.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "core/codecs/Codec.h"

namespace codecs {

bool CheckPixelCount(int64_t width, int64_t height, int64_t maxPixels, std::string* error) {
  if (width <= 0 || height <= 0) {
    *error = "The picture has no pixels (width or height is 0).";
    return false;
  }
  // Checked before the 32-bit arguments of newdib could wrap.
  const int64_t limit = std::min(maxPixels, kMaxImagePixels);
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || width * height > limit) {
    const int64_t mega = (width * height + 999999) / 1000000;
    *error = "The picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
             " pixels, " + std::to_string(mega) + " megapixels; the limit is " +
             std::to_string(limit / 1000000) + " megapixels).";
    return false;
  }
  return true;
}

bool MakeImage(RasterImage* out, int64_t width, int64_t height, int32_t bits,
               const RgbQuad* palette, int32_t count, std::string* error, int64_t maxPixels) {
  std::memset(out, 0, sizeof(*out));
  if (!CheckPixelCount(width, height, maxPixels, error)) return false;
  newdib(out, int32_t(width), int32_t(height), bits, nullptr, 0);
  if (!out->pixels) {
    *error = DIBErrorText(*out);
    return false;
  }
  if (bits <= 8) SetPalette(*out, palette, palette ? count : 0);
  return true;
}

void SetPalette(RasterImage& image, const RgbQuad* palette, int32_t count) {
  const int32_t size = int32_t(PowerOfTwo(DIBBitCount(image)));
  RgbQuad* table = DIBColorTable(image);
  for (int32_t i = 0; i < size && i < 256; ++i) {
    RgbQuad c = i < count ? palette[i] : RgbQuad{0, 0, 0, 0};
    c.reserved = 0;
    table[i] = c;
    image.logPalette.entries[i] = {c.red, c.green, c.blue, 0};
  }
  image.logPalette.version = 0x300;
  image.logPalette.count = uint16_t(std::min(size, 256));
  image.paletteInUse = 1;
}

std::vector<RgbQuad> GreyPalette(int32_t count) {
  std::vector<RgbQuad> grey(size_t(std::max(count, 1)));
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t v = uint8_t(count > 1 ? i * 255 / (count - 1) : 0);
    grey[size_t(i)] = {v, v, v, 0};
  }
  return grey;
}

bool IsGreyRamp(const RasterImage& image) {
  if (DIBBitCount(image) != 8) return false;
  const RgbQuad* table = DIBColorTable(image);
  for (int i = 0; i < 256; ++i)
    if (table[i].red != i || table[i].green != i || table[i].blue != i) return false;
  return true;
}

bool CheckSavable(const RasterImage& image, std::string* error) {
  if (!image.pixels || !image.header) {
    *error = "There is no picture to save.";
    return false;
  }
  const int32_t bits = DIBBitCount(image);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    *error = "Pictures of " + std::to_string(bits) + " bits per pixel cannot be saved.";
    return false;
  }
  if (DIBWidth(image) <= 0 || DIBHeight(image) <= 0) {
    *error = "The picture has no pixels.";
    return false;
  }
  return true;
}

namespace {

// Skips white space and comments from `pos`; false when there was none before a number.
bool SkipPnmBlanks(const uint8_t* d, size_t n, size_t* pos) {
  const size_t start = *pos;
  while (*pos < n && (std::isspace(d[*pos]) || d[*pos] == '#')) {
    if (d[*pos] == '#')
      while (*pos < n && d[*pos] != '\n') ++*pos;
    else
      ++*pos;
  }
  return *pos > start;
}

bool ReadPnmNumber(const uint8_t* d, size_t n, size_t* pos, int64_t* value) {
  const size_t start = *pos;
  *value = 0;
  for (; *pos < n && std::isdigit(d[*pos]); ++*pos)
    *value = *value > (INT64_MAX - 9) / 10 ? INT64_MAX : *value * 10 + (d[*pos] - '0');
  return *pos > start;
}

}  // namespace

bool ReadPnmHeader(const uint8_t* d, size_t n, PnmHeader* h) {
  if (n < 3 || d[0] != 'P' || d[1] < '1' || d[1] > '6') return false;
  h->numbers = d[1] == '1' || d[1] == '4' ? 2 : 3;
  int64_t* fields[3] = {&h->width, &h->height, &h->maxValue};
  size_t pos = 2;
  for (int32_t i = 0; i < h->numbers; ++i)
    if (!SkipPnmBlanks(d, n, &pos) || !ReadPnmNumber(d, n, &pos, fields[i])) return false;
  return pos < n && std::isspace(d[pos]);
}

}  // namespace codecs
