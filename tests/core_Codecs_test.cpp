// The raster library's own codecs (BMP/RLE, PCX, TGA, IFF): round trips at every depth,
// hand-made files of the variants other writers produce, and malformed input.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/codecs/Codec.h"
#include "tests/core_PictureTestUtil.h"

namespace {

using Encoder = std::function<bool(const RasterImage&, std::vector<uint8_t>*, std::string*)>;
using Decoder = bool (*)(const uint8_t*, size_t, RasterImage*, std::string*, int64_t);

struct Codec {
  const char* name;
  Encoder encode;
  Decoder decode;
  // Depth a picture of `bits` arrives at after the round trip.
  int32_t (*readBits)(int32_t bits);
};

std::vector<Codec> AllCodecs() {
  auto same = [](int32_t bits) { return bits; };
  return {
      {"BMP", [](auto& i, auto* o, auto* e) { return codecs::EncodeBmp(i, false, o, e); },
       codecs::DecodeBmp, same},
      {"BMP RLE", [](auto& i, auto* o, auto* e) { return codecs::EncodeBmp(i, true, o, e); },
       codecs::DecodeBmp, [](int32_t bits) { return bits == 1 ? 4 : bits; }},
      {"PCX", codecs::EncodePcx, codecs::DecodePcx, same},
      {"TGA RLE", [](auto& i, auto* o, auto* e) { return codecs::EncodeTga(i, true, o, e); },
       codecs::DecodeTga, [](int32_t bits) { return bits == 24 ? 24 : 8; }},
      {"TGA raw", [](auto& i, auto* o, auto* e) { return codecs::EncodeTga(i, false, o, e); },
       codecs::DecodeTga, [](int32_t bits) { return bits == 24 ? 24 : 8; }},
      {"IFF", codecs::EncodeIff, codecs::DecodeIff, same},
  };
}

TEST(Codecs, RoundTripKeepsEveryColourAtEveryDepthAndWidth) {
  for (const Codec& codec : AllCodecs())
    for (int32_t bits : {1, 4, 8, 24})
      for (int32_t width : {1, 2, 7, 16, 33, 300}) {
        SCOPED_TRACE(std::string(codec.name) + " " + std::to_string(bits) + " bits, width " +
                     std::to_string(width));
        RasterImage img = testpic::Make(bits, width, 9, uint32_t(width));
        std::vector<uint8_t> file;
        std::string error;
        ASSERT_TRUE(codec.encode(img, &file, &error)) << error;
        RasterImage back;
        ASSERT_TRUE(codec.decode(file.data(), file.size(), &back, &error, kMaxImagePixels))
            << error;
        EXPECT_EQ(DIBBitCount(back), codec.readBits(bits));
        EXPECT_EQ(testpic::Compare(img, back).pixels, 0);
        deldib(&back);
        deldib(&img);
      }
}

TEST(Codecs, GreyPicturesStayGrey) {
  RasterImage img = testpic::Make(8, 40, 6, 3, /*grey=*/true);
  for (const Codec& codec : AllCodecs()) {
    std::vector<uint8_t> file;
    std::string error;
    ASSERT_TRUE(codec.encode(img, &file, &error)) << codec.name << error;
    RasterImage back;
    ASSERT_TRUE(codec.decode(file.data(), file.size(), &back, &error, kMaxImagePixels))
        << codec.name << error;
    EXPECT_TRUE(codecs::IsGreyRamp(back)) << codec.name;
    EXPECT_EQ(testpic::Compare(img, back).pixels, 0) << codec.name;
    deldib(&back);
  }
  deldib(&img);
}

TEST(Codecs, RleIsSmallerThanRawOnAPageLikePicture) {
  RasterImage img;
  newdib(&img, 600, 400, 8, nullptr, 0);
  for (int32_t y = 100; y < 110; ++y) setpixel(img, 50 + y, y, 7);
  std::vector<uint8_t> raw, rle;
  std::string error;
  ASSERT_TRUE(codecs::EncodeBmp(img, false, &raw, &error));
  ASSERT_TRUE(codecs::EncodeBmp(img, true, &rle, &error));
  EXPECT_LT(rle.size() * 20, raw.size());
  deldib(&img);
}

TEST(Codecs, RefusesDepthsItCannotSave) {
  RasterImage img;
  newdib(&img, 4, 4, 16, nullptr, 0);
  for (const Codec& codec : AllCodecs()) {
    std::vector<uint8_t> file;
    std::string error;
    EXPECT_FALSE(codec.encode(img, &file, &error)) << codec.name;
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
  }
  deldib(&img);
  RasterImage none{};
  std::vector<uint8_t> file;
  std::string error;
  EXPECT_FALSE(codecs::EncodePcx(none, &file, &error));
}

// ---- BMP variants written by other programs ----

std::vector<uint8_t> BmpHeader(int32_t w, int32_t h, int bits, uint32_t compression,
                               uint32_t colours, uint32_t extra) {
  std::vector<uint8_t> f = {'B', 'M'};
  codecs::PutU32LE(f, 0);
  codecs::PutU32LE(f, 0);
  codecs::PutU32LE(f, 14 + 40 + extra + colours * 4);
  codecs::PutU32LE(f, 40);
  codecs::PutU32LE(f, uint32_t(w));
  codecs::PutU32LE(f, uint32_t(h));
  codecs::PutU16LE(f, 1);
  codecs::PutU16LE(f, uint32_t(bits));
  codecs::PutU32LE(f, compression);
  for (int i = 0; i < 3; ++i) codecs::PutU32LE(f, 0);
  codecs::PutU32LE(f, colours);
  codecs::PutU32LE(f, 0);
  return f;
}

TEST(Codecs, BmpTopDownAndBitFields) {
  // 2 x 2, top-down (negative height), 16 bits 5-6-5: top row red, white; bottom row
  // green, blue.
  std::vector<uint8_t> f = BmpHeader(2, -2, 16, 3, 0, 12);
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) codecs::PutU32LE(f, m);
  for (uint32_t px : {0xF800u, 0xFFFFu, 0x07E0u, 0x001Fu}) codecs::PutU16LE(f, px);
  RasterImage img;
  std::string error;
  ASSERT_TRUE(codecs::DecodeBmp(f.data(), f.size(), &img, &error)) << error;
  EXPECT_EQ(DIBBitCount(img), 24);
  EXPECT_EQ(getpixel(img, 0, 0), 0x0000FFu);
  EXPECT_EQ(getpixel(img, 1, 0), 0xFFFFFFu);
  EXPECT_EQ(getpixel(img, 0, 1), 0x00FF00u);
  EXPECT_EQ(getpixel(img, 1, 1), 0xFF0000u);
  deldib(&img);

  // 32 bits, bottom-up, alpha byte zero (ignored).
  f = BmpHeader(1, 2, 32, 0, 0, 0);
  codecs::PutU32LE(f, 0x00102030);  // bottom
  codecs::PutU32LE(f, 0x00A0B0C0);  // top
  ASSERT_TRUE(codecs::DecodeBmp(f.data(), f.size(), &img, &error)) << error;
  EXPECT_EQ(getpixel(img, 0, 0), 0xC0B0A0u);
  EXPECT_EQ(getpixel(img, 0, 1), 0x302010u);
  deldib(&img);
}

TEST(Codecs, DibWithoutFileHeader) {
  RasterImage img = testpic::Make(4, 13, 5);
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(codecs::EncodeBmp(img, false, &file, &error));
  file.erase(file.begin(), file.begin() + 14);  // info header, colours, pixels
  RasterImage back;
  ASSERT_TRUE(codecs::DecodeBmp(file.data(), file.size(), &back, &error)) << error;
  EXPECT_EQ(testpic::Compare(img, back).pixels, 0);
  deldib(&back);
  deldib(&img);
}

TEST(Codecs, BmpRle8WithDeltaAndAbsoluteRuns) {
  // 6 x 3, palette of 3. Bottom row: run of 4 x index 1, absolute (2, 1, 2) -- cut to
  // the 2 remaining pixels; end of line; a delta of (2, 1) to the top row; run of 2 x
  // index 2; end of picture. The middle row is never written.
  std::vector<uint8_t> f = BmpHeader(6, 3, 8, 1, 3, 0);
  for (uint8_t c : {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0}) f.push_back(c);
  for (uint8_t b : {4, 1, 0, 3, 2, 1, 2, 0, 0, 0, 0, 2, 2, 1, 2, 2, 0, 1}) f.push_back(b);
  RasterImage img;
  std::string error;
  ASSERT_TRUE(codecs::DecodeBmp(f.data(), f.size(), &img, &error)) << error;
  const uint32_t expected[3][6] = {{0, 0, 2, 2, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, 1, 1, 2, 1}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(getpixel(img, x, y), expected[y][x]) << x << "," << y;
  EXPECT_EQ(testpic::ColourAt(img, 4, 2), 0x00FF00u);  // green: palette entry 2 is B G R
  deldib(&img);
}

TEST(Codecs, BmpRle4OddAbsoluteRunIsPadded) {
  // 5 x 1: absolute run of 3 pixels (2 bytes, already even), then encoded run of 2.
  std::vector<uint8_t> f = BmpHeader(5, 1, 4, 2, 16, 0);
  for (int i = 0; i < 16; ++i) codecs::PutU32LE(f, uint32_t(i * 0x111111));
  for (uint8_t b : {0, 3, 0x12, 0x30, 2, 0x45, 0, 1}) f.push_back(b);
  RasterImage img;
  std::string error;
  ASSERT_TRUE(codecs::DecodeBmp(f.data(), f.size(), &img, &error)) << error;
  const uint32_t expected[5] = {1, 2, 3, 4, 5};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(getpixel(img, x, 0), expected[x]);
  deldib(&img);
}

TEST(Codecs, OversizedHeadersAreRefusedBeforeAllocating) {
  std::vector<uint8_t> bmp = BmpHeader(100000, 100000, 24, 0, 0, 0);
  RasterImage img;
  std::string error;
  EXPECT_FALSE(codecs::DecodeBmp(bmp.data(), bmp.size(), &img, &error));
  EXPECT_EQ(img.pixels, nullptr);
  EXPECT_NE(error.find("too large"), std::string::npos) << error;

  std::vector<uint8_t> tga(18, 0);
  tga[2] = 10, tga[12] = tga[13] = tga[14] = tga[15] = 0xFF, tga[16] = 24;
  EXPECT_FALSE(codecs::DecodeTga(tga.data(), tga.size(), &img, &error));
  EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

// ---- PCX and IFF variants ----

TEST(Codecs, PcxEightBitWithoutPaletteIsGrey) {
  RasterImage img = testpic::Make(8, 10, 4, 5);
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(codecs::EncodePcx(img, &file, &error));
  file.resize(file.size() - 769);  // as an old writer leaves it
  RasterImage back;
  ASSERT_TRUE(codecs::DecodePcx(file.data(), file.size(), &back, &error)) << error;
  EXPECT_TRUE(codecs::IsGreyRamp(back));
  for (int x = 0; x < 10; ++x) EXPECT_EQ(getpixel(back, x, 2), getpixel(img, x, 2));
  deldib(&back);
  deldib(&img);
}

TEST(Codecs, PcxOneBitPutsTheDarkColourAtIndexZero) {
  // Readers take a one-plane 1-bit PCX as 0 black whatever the header says.
  RasterImage img = testpic::Make(1, 20, 3);  // index 0 white
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(codecs::EncodePcx(img, &file, &error));
  EXPECT_EQ(file[16] + file[17] + file[18], 0);  // header palette entry 0 black
  RasterImage back;
  ASSERT_TRUE(codecs::DecodePcx(file.data(), file.size(), &back, &error));
  EXPECT_EQ(testpic::Compare(img, back).pixels, 0);
  deldib(&back);
  deldib(&img);
}

TEST(Codecs, PcxWithoutHeaderPaletteUsesTheEgaColours) {
  // 1 bit in 3 planes (8 colours), header palette left empty by the writer.
  RasterImage img = testpic::Make(4, 16, 2);
  std::vector<uint8_t> file;
  std::string error;
  ASSERT_TRUE(codecs::EncodePcx(img, &file, &error));
  file[65] = 3;
  std::fill(file.begin() + 16, file.begin() + 64, 0);
  RasterImage back;
  ASSERT_TRUE(codecs::DecodePcx(file.data(), file.size(), &back, &error)) << error;
  EXPECT_EQ(DIBBitCount(back), 4);
  EXPECT_EQ(back.logPalette.entries[0].red, 0);
  EXPECT_EQ(back.logPalette.entries[7].red, 255);  // the last of 8 is white
  deldib(&back);
  deldib(&img);
}

std::vector<uint8_t> IffFile(const char* type, uint32_t w, uint32_t h, uint32_t planes,
                             uint32_t camg, const std::vector<uint8_t>& cmap,
                             const std::vector<uint8_t>& body) {
  std::vector<uint8_t> form(type, type + 4), bmhd;
  codecs::PutU16BE(bmhd, w);
  codecs::PutU16BE(bmhd, h);
  codecs::PutU32BE(bmhd, 0);
  for (uint32_t b : {planes, 0u, 0u, 0u}) bmhd.push_back(uint8_t(b));
  for (int i = 0; i < 8; ++i) bmhd.push_back(0);
  auto chunk = [&](const char* id, const std::vector<uint8_t>& data) {
    form.insert(form.end(), id, id + 4);
    codecs::PutU32BE(form, uint32_t(data.size()));
    form.insert(form.end(), data.begin(), data.end());
    if (data.size() & 1) form.push_back(0);
  };
  chunk("BMHD", bmhd);
  if (!cmap.empty()) chunk("CMAP", cmap);
  if (camg) {
    std::vector<uint8_t> c;
    codecs::PutU32BE(c, camg);
    chunk("CAMG", c);
  }
  chunk("BODY", body);
  std::vector<uint8_t> file = {'F', 'O', 'R', 'M'};
  codecs::PutU32BE(file, uint32_t(form.size()));
  file.insert(file.end(), form.begin(), form.end());
  return file;
}

TEST(Codecs, IffChunkyPbmAndHam6) {
  // PBM: 3 x 1 chunky pixels, row padded to 4 bytes, uncompressed.
  std::vector<uint8_t> cmap(256 * 3, 0);
  cmap[3 * 2] = 200;
  std::vector<uint8_t> pbm = IffFile("PBM ", 3, 1, 8, 0, cmap, {0, 2, 1, 0});
  RasterImage img;
  std::string error;
  ASSERT_TRUE(codecs::DecodeIff(pbm.data(), pbm.size(), &img, &error)) << error;
  EXPECT_EQ(getpixel(img, 1, 0), 2u);
  EXPECT_EQ(testpic::ColourAt(img, 1, 0), 200u);
  deldib(&img);

  // HAM6, 3 x 1: palette colour 1, then modify red to 15, then modify blue to 8.
  // Values 0x01, 0x2F, 0x18 in 6 planes, one 16-pixel word per plane.
  std::vector<uint8_t> hamMap(16 * 3, 0);
  hamMap[3] = 10, hamMap[4] = 20, hamMap[5] = 30;
  const uint32_t values[3] = {0x01, 0x2F, 0x18};
  std::vector<uint8_t> body;
  for (int p = 0; p < 6; ++p) {
    uint8_t b = 0;
    for (int x = 0; x < 3; ++x) b |= uint8_t(((values[x] >> p) & 1) << (7 - x));
    body.push_back(b);
    body.push_back(0);
  }
  std::vector<uint8_t> ham = IffFile("ILBM", 3, 1, 6, 0x800, hamMap, body);
  ASSERT_TRUE(codecs::DecodeIff(ham.data(), ham.size(), &img, &error)) << error;
  EXPECT_EQ(DIBBitCount(img), 24);
  EXPECT_EQ(getpixel(img, 0, 0), 10u | 20u << 8 | 30u << 16);
  EXPECT_EQ(getpixel(img, 1, 0), 255u | 20u << 8 | 30u << 16);
  EXPECT_EQ(getpixel(img, 2, 0), 255u | 20u << 8 | 136u << 16);
  deldib(&img);
}

// ---- malformed input ----

void ExpectNoCrash(Decoder decode, const std::vector<uint8_t>& bytes) {
  RasterImage img;
  std::string error;
  if (decode(bytes.data(), bytes.size(), &img, &error, kMaxImagePixels)) {
    ASSERT_NE(img.pixels, nullptr);
    // Walk the picture: every row must be addressable.
    uint32_t sum = 0;
    for (int32_t y = 0; y < DIBHeight(img); y += 7) sum += getpixel(img, DIBWidth(img) - 1, y);
    EXPECT_GE(sum, 0u);
    deldib(&img);
  } else {
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_FALSE(error.empty());
  }
}

TEST(Codecs, TruncatedAndCorruptFilesFailCleanly) {
  std::mt19937 rng(12345);
  for (const Codec& codec : AllCodecs())
    for (int32_t bits : {1, 8, 24}) {
      SCOPED_TRACE(std::string(codec.name) + " " + std::to_string(bits));
      RasterImage img = testpic::Make(bits, 23, 11, 9);
      std::vector<uint8_t> file;
      std::string error;
      ASSERT_TRUE(codec.encode(img, &file, &error));
      deldib(&img);
      for (size_t n = 0; n < file.size(); n += 1 + n / 16) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + long(n));
        ExpectNoCrash(codec.decode, cut);
      }
      for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bad = file;
        const int flips = 1 + int(rng() % 8);
        for (int k = 0; k < flips; ++k) bad[rng() % bad.size()] = uint8_t(rng());
        ExpectNoCrash(codec.decode, bad);
      }
      // Random bodies behind a valid header.
      for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> bad(file.begin(),
                                 file.begin() + long(std::min<size_t>(file.size(), 40)));
        const size_t extra = rng() % 2000;
        for (size_t k = 0; k < extra; ++k) bad.push_back(uint8_t(rng()));
        ExpectNoCrash(codec.decode, bad);
      }
    }
}

}  // namespace

namespace {

// A 3 x 2 grey TGA whose file rows run in the order its descriptor (bits 4 and 5) names.
// The page, from the top: 10 20 30 / 40 50 60.
std::vector<uint8_t> GreyTga(bool topDown, bool rightToLeft) {
  std::vector<uint8_t> tga(18, 0);
  tga[2] = 3, tga[12] = 3, tga[14] = 2, tga[16] = 8;
  tga[17] = uint8_t((topDown ? 0x20 : 0) | (rightToLeft ? 0x10 : 0));
  const uint8_t page[2][3] = {{10, 20, 30}, {40, 50, 60}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) tga.push_back(page[topDown ? i : 1 - i][rightToLeft ? 2 - j : j]);
  return tga;
}

}  // namespace

TEST(Codecs, TgaIsReadInAllFourOrientations) {
  for (const bool topDown : {false, true})
    for (const bool rightToLeft : {false, true}) {
      const std::vector<uint8_t> tga = GreyTga(topDown, rightToLeft);
      RasterImage img;
      std::string error;
      ASSERT_TRUE(codecs::DecodeTga(tga.data(), tga.size(), &img, &error)) << error;
      EXPECT_EQ(getpixel(img, 0, 0), 10u) << topDown << rightToLeft;
      EXPECT_EQ(getpixel(img, 2, 0), 30u) << topDown << rightToLeft;
      EXPECT_EQ(getpixel(img, 0, 1), 40u) << topDown << rightToLeft;
      deldib(&img);
    }
}
