#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "core/RasterImage.h"

namespace {

TEST(RasterImage, NewdibMakesPaddedBottomUpImage) {
  RasterImage img;
  newdib(&img, 5, 3, 24, nullptr, 0);
  ASSERT_NE(img.pixels, nullptr);
  EXPECT_EQ(DIBWidth(img), 5);
  EXPECT_EQ(DIBHeight(img), 3);
  EXPECT_EQ(DIBBitCount(img), 24);
  EXPECT_EQ(img.stride, 16);      // 15 bytes padded to a multiple of 4
  setpixel(img, 1, 0, 0x0000FF);  // red, top row
  // Top row is memory row H - 1; blue, green, red order.
  const uint8_t* p = img.pixels + 2 * img.stride + 3;
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[2], 255);
  EXPECT_EQ(getpixel(img, 1, 0), 0x0000FFu);
  deldib(&img);
  EXPECT_EQ(img.pixels, nullptr);
  deldib(&img);  // harmless twice
}

TEST(RasterImage, PixelAccessAtEveryDepth) {
  for (int bits : {1, 4, 8, 24}) {
    RasterImage img;
    newdib(&img, 9, 4, bits, nullptr, 0);
    ASSERT_NE(img.pixels, nullptr) << bits;
    const uint32_t value = bits == 24 ? 0x123456u : (bits == 1 ? 1u : (bits == 4 ? 9u : 200u));
    setpixel(img, 8, 3, value);
    setpixel(img, 0, 0, value);
    EXPECT_EQ(getpixel(img, 8, 3), value) << bits;
    EXPECT_EQ(getpixel(img, 0, 0), value) << bits;
    EXPECT_EQ(getpixel(img, 7, 3), 0u) << bits;
    EXPECT_EQ(getpixel(img, 9, 0), 0u) << "outside reads 0";
    setpixel(img, -1, 0, value);  // outside writes nothing
    deldib(&img);
  }
}

TEST(RasterImage, FourBitEvenXInHighNibble) {
  RasterImage img;
  newdib(&img, 3, 1, 4, nullptr, 0);
  setpixel(img, 0, 0, 0xA);
  setpixel(img, 1, 0, 0x5);
  setpixel(img, 2, 0, 0xC);
  EXPECT_EQ(img.pixels[0], 0xA5);
  EXPECT_EQ(img.pixels[1], 0xC0);
  deldib(&img);
}

TEST(RasterImage, ColorCountsAndPowerOfTwo) {
  EXPECT_EQ(PowerOfTwo(0), 1);
  EXPECT_EQ(PowerOfTwo(-3), 1);
  EXPECT_EQ(PowerOfTwo(8), 256);
  RasterImage img;
  newdib(&img, 1, 1, 24, nullptr, 0);
  EXPECT_EQ(DIBColorCount(img), 16777216);
  deldib(&img);
}

TEST(RasterImage, ColourTableIsCopiedIntoPalette) {
  RasterImage grey;
  newdib(&grey, 2, 2, 8, nullptr, 0);
  RgbQuad* table = DIBColorTable(grey);
  for (int i = 0; i < 256; ++i) table[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  RasterImage copy;
  newdib(&copy, 4, 4, 8, grey.header, 256);
  ASSERT_NE(copy.pixels, nullptr);
  EXPECT_EQ(DIBColorTable(copy)[77].green, 77);
  EXPECT_EQ(copy.logPalette.entries[77].red, 77);
  deldib(&grey);
  deldib(&copy);
}

TEST(RasterImage, RefusesBadAndHugeSizes) {
  RasterImage img;
  newdib(&img, 0, 10, 24, nullptr, 0);
  EXPECT_EQ(img.pixels, nullptr);
  newdib(&img, 100000, 100000, 24, nullptr, 0);
  EXPECT_EQ(img.pixels, nullptr);
  EXPECT_NE(DIBErrorText(img).find("too large"), std::string::npos);
  newdib(&img, 10, 10, 7, nullptr, 0);
  EXPECT_EQ(img.pixels, nullptr);
  deldib(&img);
}

// Virtual size of this process in KiB.
long VirtualKiB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  long kb = -1;
  char line[256];
  while (f && std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmSize: %ld", &kb) == 1) break;
  if (f) std::fclose(f);
  return kb;
}

TEST(RasterImage, BigImagesAreZeroedWritableAndGiveTheirMemoryBack) {
  // Page-sized images get pixel blocks of their own; releasing one must return all of it,
  // the room to spare of its mapping included.
  RasterImage first;
  newdib(&first, 2480, 3508, 24, nullptr, 0);
  ASSERT_NE(first.pixels, nullptr);
  deldib(&first);
  const long before = VirtualKiB();
  for (int round = 0; round < 40; ++round) {
    RasterImage image;
    const int32_t w = 1000 + 37 * round, h = 700 + round;  // odd sizes, blocks of 2 to 4 MB
    newdib(&image, w, h, 24, nullptr, 0);
    ASSERT_NE(image.pixels, nullptr);
    const size_t size = size_t(image.stride) * size_t(h);
    for (size_t i = 0; i < size; i += 4093) ASSERT_EQ(image.pixels[i], 0) << i;
    EXPECT_EQ(image.pixels[size - 1], 0);
    setpixel(image, w - 1, 0, 0x123456);
    setpixel(image, 0, h - 1, 0x654321);
    EXPECT_EQ(getpixel(image, w - 1, 0), 0x123456u);
    EXPECT_EQ(getpixel(image, 0, h - 1), 0x654321u);
    std::memset(image.pixels, 0xAB, size);
    deldib(&image);
    EXPECT_EQ(image.pixels, nullptr);
  }
  EXPECT_LT(VirtualKiB() - before, 4096) << "mappings left behind";
}

}  // namespace
