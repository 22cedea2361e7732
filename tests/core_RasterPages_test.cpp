// Pages of multi-page picture files: TIFF directories and GIF frames counted and opened
// one by one, a single-page file as before, damaged and missing pages, a thousand pages.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/RasterPages.h"
#include "core/codecs/Codec.h"
#include "tests/MultiPageFiles.h"
#include "tests/TempDir.h"

namespace {

namespace fs = std::filesystem;

class RasterPagesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = FreshTestDir("quillon_pages"); }
  void TearDown() override {
    for (PIX*& pix : pages) pixDestroy(&pix);
    fs::remove_all(dir);
  }
  // A page of the given size and depth (1: black on white; 8: grey; 32: colour) with a
  // black square at (x, 10).
  PIX* Page(int32_t w, int32_t h, int32_t depth, int32_t x) {
    PIX* pix = pixCreate(w, h, depth);
    if (depth > 1) pixSetAll(pix);  // white
    const l_uint32 black = depth == 32 ? 0x000000FF : 0;
    for (int32_t y = 10; y < 30; ++y)
      for (int32_t i = x; i < x + 20; ++i) pixSetPixel(pix, i, y, depth == 1 ? 1 : black);
    pages.push_back(pix);
    return pix;
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  // Whether pixel (x, y) of page `page` of the file is black.
  bool BlackAt(const std::string& path, int32_t page, int32_t x, int32_t y) {
    RasterImage image;
    OpenDibPage(&image, path.c_str(), page);
    EXPECT_NE(image.pixels, nullptr) << DIBErrorText(image);
    if (!image.pixels) return false;
    const int32_t bits = DIBBitCount(image);
    const uint32_t value = getpixel(image, x, y);
    bool black = false;
    if (bits == 24) {
      black = value == 0;
    } else {
      const RgbQuad colour = DIBColorTable(image)[value];
      black = colour.red == 0 && colour.green == 0 && colour.blue == 0;
    }
    deldib(&image);
    return black;
  }

  fs::path dir;
  std::vector<PIX*> pages;
};

TEST_F(RasterPagesTest, TiffPagesOfEveryDepthAreCountedAndOpenedInOrder) {
  const std::string tiff = Path("three.tif");
  ASSERT_TRUE(multipage::WriteTiff(
      tiff, {Page(200, 60, 1, 10), Page(300, 70, 8, 100), Page(250, 80, 32, 200)}));
  ASSERT_EQ(DIBPageCount(tiff.c_str()), 3);
  const int32_t widths[3] = {200, 300, 250}, heights[3] = {60, 70, 80}, squares[3] = {10, 100, 200};
  for (int32_t page = 0; page < 3; ++page) {
    RasterImage image;
    OpenDibPage(&image, tiff.c_str(), page);
    ASSERT_NE(image.pixels, nullptr) << DIBErrorText(image);
    EXPECT_EQ(DIBWidth(image), widths[page]);
    EXPECT_EQ(DIBHeight(image), heights[page]);
    deldib(&image);
    EXPECT_TRUE(BlackAt(tiff, page, squares[page] + 5, 15)) << "page " << page;
    EXPECT_FALSE(BlackAt(tiff, page, squares[page] + 25, 15)) << "page " << page;
  }
}

TEST_F(RasterPagesTest, MissingPagesAreRefusedWithTheirNumber) {
  const std::string tiff = Path("two.tif");
  ASSERT_TRUE(multipage::WriteTiff(tiff, {Page(100, 50, 1, 10), Page(100, 50, 1, 40)}));
  RasterImage image;
  OpenDibPage(&image, tiff.c_str(), 2);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_NE(DIBErrorText(image).find("3"), std::string::npos) << DIBErrorText(image);
  OpenDibPage(&image, tiff.c_str(), -1);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(DIBErrorText(image).empty());
}

TEST_F(RasterPagesTest, ASinglePageFileIsOnePageAndOpensAsBefore) {
  const std::string png = Path("one.png");
  ASSERT_EQ(pixWrite(png.c_str(), Page(120, 40, 8, 30), IFF_PNG), 0);
  EXPECT_EQ(DIBPageCount(png.c_str()), 1);
  RasterImage whole, page;
  OpenDib(&whole, png.c_str(), 0, nullptr);
  OpenDibPage(&page, png.c_str(), 0);
  ASSERT_NE(whole.pixels, nullptr);
  ASSERT_NE(page.pixels, nullptr);
  ASSERT_EQ(DIBBitCount(page), DIBBitCount(whole));
  EXPECT_EQ(std::memcmp(page.pixels, whole.pixels, size_t(whole.stride) * 40), 0);
  deldib(&whole);
  deldib(&page);
  OpenDibPage(&page, png.c_str(), 1);
  EXPECT_EQ(page.pixels, nullptr);
  // A file that cannot be read counts as one page; opening it says why.
  EXPECT_EQ(DIBPageCount(Path("missing.tif").c_str()), 1);
  OpenDibPage(&page, Path("missing.tif").c_str(), 0);
  EXPECT_EQ(DIBErrorText(page), "The file does not exist.");
}

TEST_F(RasterPagesTest, GifFramesArePagesOfTheirOwnSize) {
  const std::string gif = Path("frames.gif");
  WriteBytes(gif, multipage::GifFrames(
                      {Page(200, 60, 8, 10), Page(320, 90, 8, 150), Page(100, 50, 1, 60)}));
  ASSERT_EQ(DIBPageCount(gif.c_str()), 3);
  const int32_t widths[3] = {200, 320, 100}, squares[3] = {10, 150, 60};
  for (int32_t page = 0; page < 3; ++page) {
    RasterImage image;
    OpenDibPage(&image, gif.c_str(), page);
    ASSERT_NE(image.pixels, nullptr) << DIBErrorText(image);
    EXPECT_EQ(DIBWidth(image), widths[page]);
    deldib(&image);
    EXPECT_TRUE(BlackAt(gif, page, squares[page] + 5, 15)) << "page " << page;
    EXPECT_FALSE(BlackAt(gif, page, squares[page] + 25, 15)) << "page " << page;
  }
}

TEST_F(RasterPagesTest, ACutGifKeepsItsWholeFrames) {
  std::vector<uint8_t> bytes =
      multipage::GifFrames({Page(200, 60, 8, 10), Page(200, 60, 8, 50), Page(200, 60, 8, 90)});
  ASSERT_GT(bytes.size(), 40u);
  bytes.resize(bytes.size() - 20);  // into the third frame's data
  const std::string gif = Path("cut.gif");
  WriteBytes(gif, bytes);
  EXPECT_EQ(DIBPageCount(gif.c_str()), 2);
  EXPECT_TRUE(BlackAt(gif, 1, 55, 15));
  RasterImage image;
  OpenDibPage(&image, gif.c_str(), 2);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_FALSE(DIBErrorText(image).empty());
}

TEST_F(RasterPagesTest, ATiffWhoseDirectoriesLoopIsCountedOnce) {
  std::vector<uint8_t> bytes = multipage::PlainTiff({40, 50, 60}, 30);
  // The last directory (at the file's end) points back to the first.
  std::copy(bytes.begin() + 4, bytes.begin() + 8, bytes.end() - 4);
  const std::string tiff = Path("loop.tif");
  WriteBytes(tiff, bytes);
  EXPECT_EQ(DIBPageCount(tiff.c_str()), 3);
  // A chain that leaves the file ends there.
  bytes[bytes.size() - 1] = 0x7F;
  WriteBytes(tiff, bytes);
  EXPECT_EQ(DIBPageCount(tiff.c_str()), 3);
}

// A two-page file whose second directory libtiff refuses (it has no width): the first page
// reads, the second is refused with its number, and nothing of libtiff's is left behind
// (the sanitizer build's leak check sees to that).
TEST_F(RasterPagesTest, ADamagedSecondPageIsRefusedAndTheFirstStillReads) {
  std::vector<uint8_t> bytes = multipage::PlainTiff({40, 50}, 30);
  ASSERT_EQ(bytes[0], 'I');
  const auto number = [&bytes](size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) value |= uint32_t(bytes[at + size_t(i)]) << (8 * i);
    return value;
  };
  const size_t first = number(4, 4), entries = number(first, 2);
  const size_t second = number(first + 2 + 12 * entries, 4);
  bool renamed = false;
  for (size_t e = 0; e < number(second, 2); ++e) {
    const size_t entry = second + 2 + 12 * e;
    if (number(entry, 2) != 256) continue;  // ImageWidth becomes a tag nobody knows
    bytes[entry] = 0xE8, bytes[entry + 1] = 0xFD;
    renamed = true;
  }
  ASSERT_TRUE(renamed);
  const std::string tiff = Path("damaged.tif");
  WriteBytes(tiff, bytes);
  ASSERT_EQ(DIBPageCount(tiff.c_str()), 2);
  RasterImage image;
  OpenDibPage(&image, tiff.c_str(), 0);
  ASSERT_NE(image.pixels, nullptr) << DIBErrorText(image);
  EXPECT_EQ(DIBWidth(image), 40);
  deldib(&image);
  OpenDibPage(&image, tiff.c_str(), 1);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_NE(DIBErrorText(image).find("Page 2"), std::string::npos) << DIBErrorText(image);
}

TEST_F(RasterPagesTest, AFifoIsNotOpenedToCountItsPages) {
  const std::string fifo = Path("pipe.tif");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Opening a FIFO for reading would wait for a writer for ever.
  EXPECT_EQ(DIBPageCount(fifo.c_str()), 1);
}

TEST_F(RasterPagesTest, AThousandPageTiffIsReadOnePageAtATime) {
  const std::string tiff = Path("thousand.tif");
  WriteBytes(tiff, multipage::PlainTiff(std::vector<int32_t>(1000, 48), 48, 500));
  ASSERT_EQ(DIBPageCount(tiff.c_str()), 1000);
  for (int32_t page : {0, 1, 499, 999}) {
    RasterImage image;
    OpenDibPage(&image, tiff.c_str(), page);
    ASSERT_NE(image.pixels, nullptr) << page << ": " << DIBErrorText(image);
    EXPECT_EQ(DIBWidth(image), 48);
    EXPECT_FALSE(BlackAt(tiff, page, 20, 20));
    deldib(&image);
  }
  // A page that claims more pixels than memory holds is refused before it is decoded.
  RasterImage image;
  OpenDibPage(&image, tiff.c_str(), 500);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_NE(DIBErrorText(image).find("too large"), std::string::npos) << DIBErrorText(image);
  OpenDibPage(&image, tiff.c_str(), 1000);
  EXPECT_EQ(image.pixels, nullptr);
}

}  // namespace

namespace {

// A grey TIFF of 40 x 24 pixels stored uncompressed in tiles of 16 x 16.
std::vector<uint8_t> TiledTiff() {
  constexpr uint32_t kWidth = 40, kHeight = 24, kTile = 16, kTiles = 3 * 2;
  std::vector<uint8_t> f = {'I', 'I', 42, 0};
  const uint32_t ifd = 8 + kTiles * kTile * kTile;
  codecs::PutU32LE(f, ifd);
  f.resize(ifd, 255);
  const std::vector<std::pair<uint16_t, uint32_t>> shorts = {
      {256, kWidth}, {257, kHeight}, {258, 8},     {259, 1},    {262, 1},
      {277, 1},      {284, 1},       {322, kTile}, {323, kTile}};
  const uint32_t arrays = ifd + 2 + 12 * uint32_t(shorts.size() + 2) + 4;
  codecs::PutU16LE(f, uint32_t(shorts.size() + 2));
  for (const auto& [tag, value] : shorts) {
    codecs::PutU16LE(f, tag);
    codecs::PutU16LE(f, 3);
    codecs::PutU32LE(f, 1);
    codecs::PutU32LE(f, value);
  }
  for (uint32_t k = 0; k < 2; ++k) {  // TileOffsets, TileByteCounts
    codecs::PutU16LE(f, 324 + k);
    codecs::PutU16LE(f, 4);
    codecs::PutU32LE(f, kTiles);
    codecs::PutU32LE(f, arrays + k * 4 * kTiles);
  }
  codecs::PutU32LE(f, 0);
  for (uint32_t t = 0; t < kTiles; ++t) codecs::PutU32LE(f, 8 + t * kTile * kTile);
  for (uint32_t t = 0; t < kTiles; ++t) codecs::PutU32LE(f, kTile * kTile);
  return f;
}

}  // namespace

TEST(RasterPagesTiled, ATiledTiffIsRefusedWithTheTrueReason) {
  const std::string dir = FreshTestDir("quillon_tiled").string();
  const std::vector<uint8_t> tiff = TiledTiff();
  std::ofstream(dir + "/tiled.tif", std::ios::binary)
      .write(reinterpret_cast<const char*>(tiff.data()), std::streamsize(tiff.size()));
  RasterImage image{};
  OpenDibPage(&image, (dir + "/tiled.tif").c_str(), 0);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_NE(DIBErrorText(image).find("stored in tiles"), std::string::npos) << DIBErrorText(image);
  std::filesystem::remove_all(dir);
}
