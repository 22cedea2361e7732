// Raster image record accessors and the in-memory part of the raster library:
// newdib, deldib, getpixel, setpixel.
#include "core/RasterImage.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Pixel blocks from this size on are mapped directly: fresh pages are zero without a
// pass over them, freeing gives the memory back to the system at once, and the allocator's
// sliding mmap threshold cannot move the next page onto the heap (where calloc must clear
// it and a free keeps it resident).
constexpr size_t kMappedPixelBytes = size_t(1) << 20;

// The mapped length of an image's pixel block sits in libReserved1[0] (below 4 GiB, as an
// image holds at most 2^28 pixels of at most 4 bytes); 0 means the block came from calloc.
uint8_t* AllocatePixels(size_t bytes, uint32_t* mappedLength) {
  *mappedLength = 0;
  if (bytes < kMappedPixelBytes) return static_cast<uint8_t*>(std::calloc(bytes, 1));
  // Big images are written whole, row after row: a 2 MiB page takes one fault where 4 KiB
  // pages take 512. The block starts on a 2 MiB boundary (mapped with room to spare, the
  // spare unmapped again) and ends on one, so that all of it can take huge pages: the
  // unused end costs less than the faults of small pages would. The huge pages are only
  // a hint; without them nothing changes.
  constexpr size_t kHugePage = size_t(2) << 20;
  const size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* area =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (area == MAP_FAILED) return nullptr;
  uint8_t* const first = static_cast<uint8_t*>(area);
  const size_t head = (kHugePage - reinterpret_cast<uintptr_t>(first) % kHugePage) % kHugePage;
  if (head) munmap(first, head);
  munmap(first + head + length, kHugePage - head);
  uint8_t* const block = first + head;
  madvise(block, length, MADV_HUGEPAGE);
  *mappedLength = uint32_t(length);
  return block;
}

void FreePixels(uint8_t* pixels, uint32_t mappedLength) {
  if (mappedLength)
    munmap(pixels, mappedLength);
  else
    std::free(pixels);
}

}  // namespace

int32_t DIBWidth(const RasterImage& image) {
  return image.header ? DIBInfo(image)->biWidth : 0;
}

int32_t DIBHeight(const RasterImage& image) {
  return image.header ? DIBInfo(image)->biHeight : 0;
}

int32_t DIBBitCount(const RasterImage& image) {
  return image.header ? DIBInfo(image)->biBitCount : 0;
}

int64_t PowerOfTwo(int32_t n) {
  int64_t result = 1;
  for (int32_t i = 0; i < n && i < 62; ++i) result *= 2;
  return result;
}

int64_t DIBColorCount(const RasterImage& image) {
  return PowerOfTwo(DIBBitCount(image));
}

RgbQuad* DIBColorTable(const RasterImage& image) {
  return reinterpret_cast<RgbQuad*>(image.header + sizeof(BitmapInfoHeader));
}

std::string DIBErrorText(const RasterImage& image) {
  const char* text = reinterpret_cast<const char*>(image.logPalette.entries);
  return std::string(text, strnlen(text, sizeof(image.logPalette.entries)));
}

void DIBSetErrorText(RasterImage& image, const std::string& text) {
  char* dest = reinterpret_cast<char*>(image.logPalette.entries);
  size_t n = std::min(text.size(), sizeof(image.logPalette.entries) - 1);
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
}

void newdib(RasterImage* out, int32_t width, int32_t height, int32_t bitsPerPixel,
            const uint8_t* colorSource, int32_t colorCount) {
  std::memset(out, 0, sizeof(*out));
  const bool depthOk = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 ||
                       bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
  if (!depthOk || width <= 0 || height <= 0) {
    DIBSetErrorText(*out, "Invalid picture size or colour depth.");
    return;
  }
  if (int64_t(width) * height > kMaxImagePixels) {
    DIBSetErrorText(*out, "The picture is too large (" + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels).");
    return;
  }
  const int64_t stride = ((int64_t(width) * bitsPerPixel + 31) / 32) * 4;
  uint8_t* header = static_cast<uint8_t*>(std::calloc(1, kBitmapInfoSize));
  // Untouched pages stay the kernel's zero pages, so a big image costs nothing until it
  // is written.
  uint32_t mappedLength = 0;
  uint8_t* pixels = AllocatePixels(size_t(stride) * size_t(height), &mappedLength);
  if (!header || !pixels) {
    std::free(header);
    if (pixels) FreePixels(pixels, mappedLength);
    DIBSetErrorText(*out, "Not enough memory for the picture.");
    return;
  }
  auto* info = reinterpret_cast<BitmapInfoHeader*>(header);
  info->biSize = sizeof(BitmapInfoHeader);
  info->biWidth = width;
  info->biHeight = height;
  info->biPlanes = 1;
  info->biBitCount = uint16_t(bitsPerPixel);
  info->biSizeImage = uint32_t(stride * height);
  info->biXPelsPerMeter = info->biYPelsPerMeter = 11811;  // 300 dpi
  out->header = header;
  out->pixels = pixels;
  out->libReserved1[0] = mappedLength;
  out->stride = int32_t(stride);
  out->logPalette.version = 0x300;
  if (colorSource && colorCount > 0) {
    int32_t n = std::min(colorCount, 256);
    std::memcpy(header + sizeof(BitmapInfoHeader), colorSource + sizeof(BitmapInfoHeader),
                size_t(n) * 4);
    info->biClrUsed = uint32_t(bitsPerPixel <= 8 ? 0 : n);
    const RgbQuad* table = DIBColorTable(*out);
    for (int32_t i = 0; i < n; ++i)
      out->logPalette.entries[i] = {table[i].red, table[i].green, table[i].blue, 0};
    out->logPalette.count = uint16_t(n);
    out->paletteInUse = bitsPerPixel <= 8;
  }
}

void deldib(RasterImage* image) {
  std::free(image->header);
  if (image->pixels) FreePixels(image->pixels, image->libReserved1[0]);
  image->header = nullptr;
  image->pixels = nullptr;
  image->libReserved1[0] = 0;
  image->stride = 0;
}

uint32_t getpixel(const RasterImage& image, int32_t x, int32_t y) {
  if (!image.pixels || x < 0 || y < 0 || x >= DIBWidth(image) || y >= DIBHeight(image)) return 0;
  const uint8_t* row = DIBRow(image, DIBHeight(image) - 1 - y);
  switch (DIBBitCount(image)) {
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
      return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    case 8:
      return row[x];
    case 16: {
      uint16_t v = uint16_t(row[2 * x] | (row[2 * x + 1] << 8));  // 5-5-5
      uint32_t b = (v & 31) * 255 / 31, g = ((v >> 5) & 31) * 255 / 31,
               r = ((v >> 10) & 31) * 255 / 31;
      return r | (g << 8) | (b << 16);
    }
    case 24: {
      const uint8_t* p = row + 3 * int64_t(x);
      return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16);
    }
    case 32: {
      const uint8_t* p = row + 4 * int64_t(x);
      return uint32_t(p[2]) | (uint32_t(p[1]) << 8) | (uint32_t(p[0]) << 16);
    }
  }
  return 0;
}

void setpixel(RasterImage& image, int32_t x, int32_t y, uint32_t value) {
  if (!image.pixels || x < 0 || y < 0 || x >= DIBWidth(image) || y >= DIBHeight(image)) return;
  uint8_t* row = DIBRow(image, DIBHeight(image) - 1 - y);
  switch (DIBBitCount(image)) {
    case 1: {
      uint8_t mask = uint8_t(0x80 >> (x & 7));
      if (value & 1)
        row[x >> 3] |= mask;
      else
        row[x >> 3] &= uint8_t(~mask);
      break;
    }
    case 4:
      if (x & 1)
        row[x >> 1] = uint8_t((row[x >> 1] & 0xF0) | (value & 0x0F));
      else
        row[x >> 1] = uint8_t((row[x >> 1] & 0x0F) | ((value & 0x0F) << 4));
      break;
    case 8:
      row[x] = uint8_t(value);
      break;
    case 16: {
      uint32_t r = (value & 0xFF) >> 3, g = ((value >> 8) & 0xFF) >> 3,
               b = ((value >> 16) & 0xFF) >> 3;
      uint16_t v = uint16_t(b | (g << 5) | (r << 10));
      row[2 * x] = uint8_t(v);
      row[2 * x + 1] = uint8_t(v >> 8);
      break;
    }
    case 24: {
      uint8_t* p = row + 3 * int64_t(x);
      p[0] = uint8_t(value >> 16);
      p[1] = uint8_t(value >> 8);
      p[2] = uint8_t(value);
      break;
    }
    case 32: {
      uint8_t* p = row + 4 * int64_t(x);
      p[0] = uint8_t(value >> 16);
      p[1] = uint8_t(value >> 8);
      p[2] = uint8_t(value);
      p[3] = 0;
      break;
    }
  }
}
