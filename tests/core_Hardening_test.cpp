// Picture files as a hostile or merely unusual user hands them over.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <filesystem>
#include <sstream>

#include "core/LibraryMessages.h"

#include "core/RasterPages.h"
#include "core/codecs/Codec.h"
#include "core_PictureTestUtil.h"

namespace {

namespace fs = std::filesystem;
using testpic::ReadBytes;
using testpic::WriteBytes;

// The smallest transparent GIF: one pixel of index 0, which the palette makes black and
// the control extension makes transparent.
const std::vector<uint8_t> kTransparentGif = {
    'G',  'I',  'F',  '8',  '9',  'a',  0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
constexpr size_t kGifFrameStart = 19;  // the control extension
constexpr size_t kGifTrailer = 42;

// A BMP header announcing an RLE8 picture of width x height whose data ends at once.
std::vector<uint8_t> HugeRleBmp(int32_t width, int32_t height) {
  std::vector<uint8_t> f;
  codecs::PutU8(f, 'B');
  codecs::PutU8(f, 'M');
  codecs::PutU32LE(f, 14 + 40 + 1024 + 2);
  codecs::PutU32LE(f, 0);
  codecs::PutU32LE(f, 14 + 40 + 1024);
  codecs::PutU32LE(f, 40);
  codecs::PutU32LE(f, uint32_t(width));
  codecs::PutU32LE(f, uint32_t(height));
  codecs::PutU16LE(f, 1);
  codecs::PutU16LE(f, 8);
  codecs::PutU32LE(f, 1);  // BI_RLE8
  for (int i = 0; i < 5; ++i) codecs::PutU32LE(f, 0);
  for (int i = 0; i < 256; ++i) codecs::PutU32LE(f, uint32_t(i * 0x010101));
  codecs::PutU8(f, 0);
  codecs::PutU8(f, 1);  // end of picture
  return f;
}

class Hardening : public ::testing::Test {
 protected:
  std::string dir = testpic::TempDir();
  void TearDown() override { fs::remove_all(dir); }
  RasterImage Open(const std::string& name, std::string* error = nullptr) {
    RasterImage image{};
    OpenDib(&image, (dir + "/" + name).c_str(), 0, nullptr);
    if (error) *error = DIBErrorText(image);
    return image;
  }
};

TEST_F(Hardening, PlainPbmWithoutBlanksBetweenItsBitsIsRead) {
  WriteBytes(dir + "/packed.pbm", {'P', '1', '\n', '#', ' ',  '1', '\n', '4', ' ', '2', '\n',
                                   '0', '1', '1',  '0', '\n', '1', '0',  '0', '1', '\n'});
  WriteBytes(dir + "/spaced.pbm", {'P', '1', '\n', '4', ' ', '2', '\n', '0', ' ', '1', ' ', '1',
                                   ' ', '0', '\n', '1', ' ', '0', ' ',  '0', ' ', '1', '\n'});
  std::string error;
  RasterImage packed = Open("packed.pbm", &error);
  ASSERT_NE(packed.pixels, nullptr) << error;
  RasterImage spaced = Open("spaced.pbm");
  ASSERT_NE(spaced.pixels, nullptr);
  EXPECT_EQ(testpic::Compare(packed, spaced).pixels, 0);
  EXPECT_EQ(testpic::ColourAt(packed, 1, 0), 0u);         // a 1 is black
  EXPECT_EQ(testpic::ColourAt(packed, 0, 0), 0xFFFFFFu);  // a 0 is white
  deldib(&packed);
  deldib(&spaced);
}

TEST_F(Hardening, GifTransparencyIsPaperLikePngAlpha) {
  WriteBytes(dir + "/clear.gif", kTransparentGif);
  std::vector<uint8_t> opaque = kTransparentGif;
  opaque[kGifFrameStart + 3] = 0;  // the transparency flag off
  WriteBytes(dir + "/opaque.gif", opaque);
  RasterImage clear = Open("clear.gif");
  RasterImage solid = Open("opaque.gif");
  ASSERT_NE(clear.pixels, nullptr);
  ASSERT_NE(solid.pixels, nullptr);
  EXPECT_EQ(testpic::ColourAt(clear, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(testpic::ColourAt(solid, 0, 0), 0u);
  deldib(&clear);
  deldib(&solid);
}

TEST_F(Hardening, PagesOfAnAnimatedGifAndAMultiPageTiffAreCounted) {
  std::vector<uint8_t> twoFrames(kTransparentGif.begin(), kTransparentGif.begin() + kGifTrailer);
  twoFrames.insert(twoFrames.end(), kTransparentGif.begin() + kGifFrameStart,
                   kTransparentGif.end());
  WriteBytes(dir + "/two.gif", twoFrames);
  WriteBytes(dir + "/one.gif", kTransparentGif);
  EXPECT_EQ(DIBPageCount((dir + "/two.gif").c_str()), 2);
  EXPECT_EQ(DIBPageCount((dir + "/one.gif").c_str()), 1);

  PIX* page = pixCreate(16, 8, 1);
  const std::string tiff = dir + "/three.tif";
  ASSERT_EQ(pixWriteTiff(tiff.c_str(), page, IFF_TIFF_G4, "w"), 0);
  ASSERT_EQ(pixWriteTiff(tiff.c_str(), page, IFF_TIFF_G4, "a"), 0);
  ASSERT_EQ(pixWriteTiff(tiff.c_str(), page, IFF_TIFF_G4, "a"), 0);
  pixDestroy(&page);
  EXPECT_EQ(DIBPageCount(tiff.c_str()), 3);
  RasterImage first = Open("three.tif");
  EXPECT_NE(first.pixels, nullptr);
  deldib(&first);
}

TEST_F(Hardening, LibraryWarningsStayOffStandardError) {
  PIX* grey = pixCreate(32, 32, 8);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) pixSetPixel(grey, x, y, l_uint32((x * 7 + y * 13) % 256));
  l_uint8* data = nullptr;
  size_t size = 0;
  ASSERT_EQ(pixWriteMemJpeg(&data, &size, grey, 75, 0), 0);
  std::vector<uint8_t> jpeg(data, data + size);
  lept_free(data);
  pixDestroy(&grey);
  // Stray bytes before the end-of-image marker: libjpeg warns and reads on.
  ASSERT_GE(jpeg.size(), 2u);
  jpeg.insert(jpeg.end() - 2, {0x12, 0x34, 0x56});
  WriteBytes(dir + "/stray.jpg", jpeg);
  ::testing::internal::CaptureStderr();
  RasterImage image = Open("stray.jpg");
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(image.pixels, nullptr);
  EXPECT_EQ(said, "");
  deldib(&image);
}

TEST_F(Hardening, PixelCountIsCheckedBeforeAnythingIsAllocated) {
  WriteBytes(dir + "/huge.bmp", HugeRleBmp(16000, 16000));
  RasterImage image{};
  OpenDibLimited(&image, (dir + "/huge.bmp").c_str(), 100 * 1000000);
  EXPECT_EQ(image.pixels, nullptr);
  const std::string error = DIBErrorText(image);
  EXPECT_NE(error.find("256 megapixels"), std::string::npos) << error;
  EXPECT_NE(error.find("limit is 100"), std::string::npos) << error;
  // Under the limit the same kind of file is read.
  WriteBytes(dir + "/small.bmp", HugeRleBmp(40, 30));
  OpenDibLimited(&image, (dir + "/small.bmp").c_str(), 100 * 1000000);
  EXPECT_NE(image.pixels, nullptr) << DIBErrorText(image);
  deldib(&image);
}

TEST_F(Hardening, PictureFilesAreToldFromTextByTheirFirstBytes) {
  WriteBytes(dir + "/small.bmp", HugeRleBmp(40, 30));
  WriteBytes(dir + "/one.gif", kTransparentGif);
  WriteBytes(dir + "/car.txt", {'B', 'M', 'W', ' ', 'f',  'a', 'e', 'h', 'r', 't', ' ',
                                'g', 'u', 't', '.', '\n', 'E', 'n', 'd', 'e', '\n'});
  EXPECT_TRUE(LooksLikePictureFile(dir + "/small.bmp"));
  EXPECT_TRUE(LooksLikePictureFile(dir + "/one.gif"));
  EXPECT_FALSE(LooksLikePictureFile(dir + "/car.txt"));
  EXPECT_FALSE(LooksLikePictureFile(dir + "/missing.png"));
  EXPECT_FALSE(LooksLikePictureFile("/dev/null"));
}

}  // namespace

namespace {

// Found by fuzzing: a 300-byte GIF whose frame is far larger than its screen made the GIF
// library allocate and clear a quarter of a gigabyte before any size was checked.
TEST(HardeningFound, AGifFrameLargerThanTheLimitIsRefusedBeforeDecoding) {
  const std::vector<uint8_t> gif = testpic::ReadBytes(
      std::string(QUILLON_TEST_DATA) + "/fuzz-regressions/gif/frame-larger-than-screen.gif");
  ASSERT_GT(gif.size(), 100u);
  const codecs::GifFacts facts = codecs::ScanGif(gif.data(), gif.size());
  EXPECT_GT(facts.largestFramePixels, int64_t(100) * 1000000);
  RasterImage image{};
  DecodeDib(&image, gif.data(), gif.size(), "frame.gif", int64_t(100) * 1000000);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_NE(DIBErrorText(image).find("too large"), std::string::npos) << DIBErrorText(image);
}

}  // namespace

namespace {

// A grey JPEG made by Leptonica, with a stroke to show it was read.
std::vector<uint8_t> Jpeg() {
  PIX* pix = pixCreate(64, 48, 8);
  pixSetAll(pix);
  pixRasterop(pix, 10, 10, 40, 8, PIX_CLR, nullptr, 0, 0);
  l_uint8* bytes = nullptr;
  size_t size = 0;
  EXPECT_EQ(pixWriteMemJpeg(&bytes, &size, pix, 90, 0), 0);
  std::vector<uint8_t> jpeg(bytes, bytes + size);
  lept_free(bytes);
  pixDestroy(&pix);
  return jpeg;
}

class Messages : public ::testing::Test {
 protected:
  std::string dir = testpic::TempDir();
  std::ostringstream log;
  void SetUp() override { ShowLibraryMessages(&log); }
  void TearDown() override {
    ShowLibraryMessages(nullptr);
    fs::remove_all(dir);
  }
};

// libjpeg only warns about an unknown JFIF revision and stray bytes before a marker.
TEST_F(Messages, AJpegDecodedWithAWarningIsReadAndTheWarningLogged) {
  std::vector<uint8_t> revision = Jpeg();
  revision[11] = 2;  // JFIF 2.01
  std::vector<uint8_t> stray = Jpeg();
  for (size_t i = 2; i + 1 < stray.size(); ++i)
    if (stray[i] == 0xFF && stray[i + 1] == 0xDA) {
      stray.insert(stray.begin() + std::ptrdiff_t(i), {0, 0, 0});
      break;
    }
  for (const auto& jpeg : {revision, stray}) {
    WriteBytes(dir + "/page.jpg", jpeg);
    RasterImage image{};
    OpenDib(&image, (dir + "/page.jpg").c_str(), 0, nullptr);
    ASSERT_NE(image.pixels, nullptr) << DIBErrorText(image);
    EXPECT_LT(testpic::ColourAt(image, 20, 12) & 0xFF, 60u);
    EXPECT_GT(testpic::ColourAt(image, 2, 2) & 0xFF, 200u);
    deldib(&image);
  }
  EXPECT_NE(log.str().find("JFIF revision"), std::string::npos) << log.str();
  EXPECT_NE(log.str().find("extraneous bytes"), std::string::npos) << log.str();
}

TEST_F(Messages, LeptonicasMessagesReachOnlyTheSinkTheRunNames) {
  l_int32 value = 0;
  ::testing::internal::CaptureStderr();
  numaGetIValue(nullptr, 0, &value);
  ShowLibraryMessages(nullptr);
  numaGetIValue(nullptr, 0, &value);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(log.str().find("numaGetIValue"), std::string::npos) << log.str();
}

// Leptonica reads the sizes into 32 bits: 2^32 + 1 would be 1.
TEST_F(Messages, APnmSizeBeyondThirtyTwoBitsIsRefusedNotWrapped) {
  const std::string pgm = "P5\n4294967297 1\n255\n\x00\x80";
  WriteBytes(dir + "/wrap.pgm", std::vector<uint8_t>(pgm.begin(), pgm.end()));
  RasterImage image{};
  OpenDib(&image, (dir + "/wrap.pgm").c_str(), 0, nullptr);
  EXPECT_EQ(image.pixels, nullptr);
  EXPECT_NE(DIBErrorText(image).find("4294967297"), std::string::npos) << DIBErrorText(image);
}

}  // namespace
