// Opening and saving picture files: every save format read back, the palette convention
// of 1-bit pictures, readable errors, safe saving, and the legacy formats against
// independent readers and writers (GraphicsMagick's gm, netpbm's ILBM tools).
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <tuple>

#include "core/RasterImage.h"
#include "tests/core_PictureTestUtil.h"

namespace {

namespace fs = std::filesystem;

const char* const kExtensions[11] = {".BMP", ".DIB", ".GIF", ".IFF", ".JIF", ".JPG",
                                     ".LBM", ".PCX", ".RLE", ".TGA", ".TIF"};

// What lossy formats must keep close: a gradient with a disc at 24 bits, broad bands of
// palette colours at 1 to 8 bits.
RasterImage MakeSmooth(int32_t w, int32_t h, int32_t bits = 24) {
  if (bits <= 8) {
    RasterImage img = testpic::Make(bits, w, h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        setpixel(img, x, y, uint32_t((x / 16 + y / 16) % 2 + 1) & ((1u << bits) - 1));
    return img;
  }
  RasterImage img;
  newdib(&img, w, h, 24, nullptr, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint32_t c = uint32_t(x * 255 / w) | uint32_t(y * 255 / h) << 8 | 0x600000;
      if ((x - 20) * (x - 20) + (y - 20) * (y - 20) < 100) c = 0x000000;
      setpixel(img, x, y, c);
    }
  return img;
}

std::string Open(const std::string& path, RasterImage* img) {
  OpenDib(img, path.c_str(), 0, nullptr);
  return img->pixels ? std::string() : DIBErrorText(*img);
}

bool HaveCommand(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

bool RunQuietly(const std::string& command) {
  return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

// A binary PPM (P6, maxval 255) as a 24-bit picture; pixels null when it cannot be parsed.
RasterImage ReadPpm(const std::string& path) {
  RasterImage img{};
  const std::vector<uint8_t> bytes = testpic::ReadBytes(path);
  size_t pos = 0;
  auto token = [&]() {
    std::string t;
    while (pos < bytes.size()) {
      const char c = char(bytes[pos]);
      if (c == '#') {
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        if (!t.empty()) break;
        ++pos;
      } else {
        t += c;
        ++pos;
      }
    }
    return t;
  };
  if (token() != "P6") return img;
  const int w = std::stoi(token()), h = std::stoi(token()), max = std::stoi(token());
  ++pos;
  if (max != 255 || bytes.size() < pos + size_t(w) * h * 3) return img;
  newdib(&img, w, h, 24, nullptr, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, pos += 3)
      setpixel(img, x, y, bytes[pos] | bytes[pos + 1] << 8 | bytes[pos + 2] << 16);
  return img;
}

void WritePpm(const std::string& path, const RasterImage& img) {
  std::ostringstream head;
  head << "P6\n" << DIBWidth(img) << " " << DIBHeight(img) << "\n255\n";
  std::string s = head.str();
  std::vector<uint8_t> bytes(s.begin(), s.end());
  for (int y = 0; y < DIBHeight(img); ++y)
    for (int x = 0; x < DIBWidth(img); ++x) {
      const uint32_t c = testpic::ColourAt(img, x, y);
      bytes.push_back(uint8_t(c)), bytes.push_back(uint8_t(c >> 8)),
          bytes.push_back(uint8_t(c >> 16));
    }
  testpic::WriteBytes(path, bytes);
}

// The PNG file of `pix`, which it destroys; empty when Leptonica cannot write it.
std::vector<uint8_t> PngOf(PIX* pix) {
  l_uint8* bytes = nullptr;
  size_t size = 0;
  const bool written = pixWriteMemPng(&bytes, &size, pix, 0) == 0;
  pixDestroy(&pix);
  if (!written) return {};
  std::vector<uint8_t> png(bytes, bytes + size);
  lept_free(bytes);
  return png;
}

// Saves `img` in the format `code` and reads it back: the same pixels.
void ExpectSavedUnchanged(const RasterImage& img, const std::string& path, int32_t code) {
  std::string error;
  ASSERT_TRUE(SaveDib(img, path.c_str(), code, nullptr, &error)) << error;
  RasterImage back;
  ASSERT_EQ(Open(path, &back), "");
  EXPECT_EQ(testpic::Compare(img, back).pixels, 0);
  deldib(&back);
}

TEST(RasterFiles, SaveFilterListsTheElevenFormatsInOrder) {
  std::vector<std::string> parts;
  std::stringstream text(GetDIBSaveFilter());
  for (std::string part; std::getline(text, part, '|');) parts.push_back(part);
  ASSERT_EQ(parts.size(), 22u);
  for (int k = 0; k < 11; ++k) {
    const std::string name = std::string(kExtensions[k]).substr(1);
    EXPECT_EQ(parts[size_t(2 * k)].substr(0, name.size() + 3), name + " - ");
    EXPECT_EQ(parts[size_t(2 * k + 1)], "*" + std::string(kExtensions[k]));
  }
}

TEST(RasterFiles, EverySaveFormatReadsBackTheSamePicture) {
  const std::string dir = testpic::TempDir();
  for (int32_t code = 3; code <= 13; ++code)
    for (int32_t bits : {1, 4, 8, 24}) {
      const std::string path = dir + "/picture" + kExtensions[code - 3];
      SCOPED_TRACE(path + " " + std::to_string(bits) + " bits");
      const bool jpeg = code == 7 || code == 8;
      RasterImage img = jpeg ? MakeSmooth(61, 47, bits) : testpic::Make(bits, 61, 47, 7);
      std::string error;
      ASSERT_TRUE(SaveDib(img, path.c_str(), code, nullptr, &error)) << error;
      RasterImage back;
      ASSERT_EQ(Open(path, &back), "");
      const testpic::Difference d = testpic::Compare(img, back);
      if (jpeg) {
        EXPECT_LT(d.meanChannel, 4.0);
      } else if (code == 5 && bits == 24) {
        // Thousands of colours: quantised to 256.
        EXPECT_LT(d.meanChannel, 24.0);
      } else {
        EXPECT_EQ(d.pixels, 0);
        // Lossless formats keep indexed pictures indexed.
        if (bits <= 8) {
          EXPECT_LE(DIBBitCount(back), 8);
        }
      }
      deldib(&back);
      deldib(&img);
      fs::remove(path);
    }
  fs::remove_all(dir);
}

TEST(RasterFiles, GifKeepsA24BitPictureOfFewColoursExactly) {
  const std::string dir = testpic::TempDir(), path = dir + "/few.gif";
  RasterImage img = MakeSmooth(40, 30);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) setpixel(img, x, y, getpixel(img, x, y) & 0xC0C0C0);
  ASSERT_NO_FATAL_FAILURE(ExpectSavedUnchanged(img, path, 5));
  deldib(&img);
  fs::remove_all(dir);
}

TEST(RasterFiles, OneBitPicturesKeepDepthAndStateTheirColoursInThePalette) {
  const std::string dir = testpic::TempDir(), path = dir + "/page.tif";
  RasterImage img = testpic::Make(1, 77, 20);  // index 0 white
  std::string error;
  ASSERT_TRUE(SaveDib(img, path.c_str(), 13, nullptr, &error)) << error;
  l_int32 format = 0;
  findFileFormat(path.c_str(), &format);
  EXPECT_EQ(format, IFF_TIFF_G4);
  RasterImage back;
  ASSERT_EQ(Open(path, &back), "");
  EXPECT_EQ(DIBBitCount(back), 1);
  EXPECT_EQ(testpic::ColourAt(back, 0, 0) == 0xFFFFFF, getpixel(back, 0, 0) == 0);
  EXPECT_EQ(back.logPalette.entries[0].red, 255);
  EXPECT_EQ(back.logPalette.entries[1].red, 0);
  EXPECT_EQ(testpic::Compare(img, back).pixels, 0);
  deldib(&back);

  // The same page with the palette the other way round saves the same colours.
  std::swap(DIBColorTable(img)[0], DIBColorTable(img)[1]);
  std::swap(img.logPalette.entries[0], img.logPalette.entries[1]);
  ASSERT_NO_FATAL_FAILURE(ExpectSavedUnchanged(img, path, 13));
  deldib(&img);
  fs::remove_all(dir);
}

TEST(RasterFiles, LeptonicaFormatsArriveAtTheirDepthAlphaOverWhite) {
  const std::string dir = testpic::TempDir();
  // 8-bit grey PNG: 8 bits with the grey ramp.
  PIX* grey = pixCreate(5, 3, 8);
  pixSetPixel(grey, 2, 1, 77);
  l_uint8* bytes = nullptr;
  size_t size = 0;
  ASSERT_EQ(pixWriteMemPng(&bytes, &size, grey, 0), 0);
  testpic::WriteBytes(dir + "/grey.png", std::vector<uint8_t>(bytes, bytes + size));
  lept_free(bytes);
  pixDestroy(&grey);
  RasterImage img;
  ASSERT_EQ(Open(dir + "/grey.png", &img), "");
  EXPECT_EQ(DIBBitCount(img), 8);
  EXPECT_EQ(getpixel(img, 2, 1), 77u);
  EXPECT_EQ(testpic::ColourAt(img, 2, 1), 77u * 0x010101);
  deldib(&img);

  // 2-bit PNG: widened to 4 bits, the grey levels in the palette.
  PIX* twoBit = pixCreate(4, 1, 2);
  for (int x = 0; x < 4; ++x) pixSetPixel(twoBit, x, 0, l_uint32(x));
  ASSERT_EQ(pixWriteMemPng(&bytes, &size, twoBit, 0), 0);
  testpic::WriteBytes(dir + "/two.png", std::vector<uint8_t>(bytes, bytes + size));
  lept_free(bytes);
  pixDestroy(&twoBit);
  ASSERT_EQ(Open(dir + "/two.png", &img), "");
  EXPECT_EQ(DIBBitCount(img), 4);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(testpic::ColourAt(img, x, 0), uint32_t(x * 85) * 0x010101);
  deldib(&img);

  // RGBA WebP (lossless): a transparent pixel is white paper, an opaque one keeps its colour.
  PIX* rgba = pixCreate(2, 1, 32);
  pixSetSpp(rgba, 4);
  pixSetPixel(rgba, 0, 0, 0x10203000);  // alpha 0
  pixSetPixel(rgba, 1, 0, 0x102030FF);
  ASSERT_EQ(pixWriteMemWebP(&bytes, &size, rgba, 100, 1), 0);
  testpic::WriteBytes(dir + "/alpha.webp", std::vector<uint8_t>(bytes, bytes + size));
  lept_free(bytes);
  pixDestroy(&rgba);
  ASSERT_EQ(Open(dir + "/alpha.webp", &img), "");
  EXPECT_EQ(DIBBitCount(img), 24);
  EXPECT_EQ(getpixel(img, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(getpixel(img, 1, 0), 0x302010u);
  deldib(&img);
  fs::remove_all(dir);
}

TEST(RasterFiles, UnreadableFilesGiveAClearMessage) {
  const std::string dir = testpic::TempDir();
  RasterImage img;
  EXPECT_EQ(Open(dir + "/missing.png", &img), "The file does not exist.");
  EXPECT_EQ(img.pixels, nullptr);
  EXPECT_EQ(Open(dir, &img), "This is a folder, not a picture file.");
  testpic::WriteBytes(dir + "/empty.bmp", {});
  EXPECT_EQ(Open(dir + "/empty.bmp", &img), "The file is empty.");
  testpic::WriteBytes(dir + "/notes.txt", std::vector<uint8_t>(100, 'x'));
  EXPECT_EQ(Open(dir + "/notes.txt", &img), "The file is not a picture in a known format.");

  // A Windows metafile, by content and by extension.
  std::vector<uint8_t> emf(88, 0);
  emf[0] = 1;
  std::memcpy(emf.data() + 40, " EMF", 4);
  testpic::WriteBytes(dir + "/drawing.dat", emf);
  EXPECT_EQ(Open(dir + "/drawing.dat", &img),
            "EMF pictures (Windows metafiles) cannot be read on Linux.");
  testpic::WriteBytes(dir + "/drawing.emf", std::vector<uint8_t>(64, 0));
  EXPECT_EQ(Open(dir + "/drawing.emf", &img),
            "EMF pictures (Windows metafiles) cannot be read on Linux.");

  // Cut files of the formats Leptonica reads.
  RasterImage saved = testpic::Make(24, 64, 48);
  for (auto [code, ext] : {std::pair{5, ".gif"}, {8, ".jpg"}, {13, ".tif"}}) {
    const std::string path = dir + "/whole" + ext;
    ASSERT_TRUE(SaveDib(saved, path.c_str(), code, nullptr));
    std::vector<uint8_t> whole = testpic::ReadBytes(path);
    whole.resize(whole.size() * 6 / 10);
    testpic::WriteBytes(path, whole);
    EXPECT_EQ(Open(path, &img), "The picture file is damaged or truncated.") << ext;
  }
  deldib(&saved);

  // A PNG cut in half, and one whose header claims 70000 x 70000 pixels.
  PIX* pix = pixCreate(300, 200, 8);
  std::vector<uint8_t> png = PngOf(pix);
  ASSERT_FALSE(png.empty());
  testpic::WriteBytes(dir + "/cut.png",
                      std::vector<uint8_t>(png.begin(), png.begin() + long(png.size() / 2)));
  EXPECT_EQ(Open(dir + "/cut.png", &img), "The picture file is damaged or truncated.");
  for (int k : {16, 20})
    png[size_t(k)] = 0, png[size_t(k) + 1] = 1, png[size_t(k) + 2] = 0x11,
    png[size_t(k) + 3] = 0x70;
  testpic::WriteBytes(dir + "/huge.png", png);
  EXPECT_NE(Open(dir + "/huge.png", &img).find("too large"), std::string::npos);
  EXPECT_EQ(img.pixels, nullptr);
  deldib(&img);  // harmless on a failed record
  fs::remove_all(dir);
}

TEST(RasterFiles, FailedSaveLeavesTheOldFileAndNoTemporary) {
  const std::string dir = testpic::TempDir(), path = dir + "/keep.bmp";
  testpic::WriteBytes(path, {'o', 'l', 'd'});
  RasterImage wrongDepth;
  newdib(&wrongDepth, 4, 4, 32, nullptr, 0);
  std::string error;
  EXPECT_FALSE(SaveDib(wrongDepth, path.c_str(), 3, nullptr, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(testpic::ReadBytes(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  RasterImage none{};
  EXPECT_FALSE(SaveDib(none, path.c_str(), 13, nullptr, &error));
  EXPECT_FALSE(SaveDib(wrongDepth, path.c_str(), 99, nullptr, &error));
  EXPECT_NE(error.find("99"), std::string::npos);
  deldib(&wrongDepth);

  RasterImage img = testpic::Make(8, 9, 9);
  EXPECT_FALSE(SaveDib(img, (dir + "/no/such/dir/x.bmp").c_str(), 3, nullptr, &error));
  EXPECT_NE(error.find("no/such/dir"), std::string::npos) << error;
  EXPECT_FALSE(SaveDib(img, dir.c_str(), 3, nullptr, &error));  // a folder as target

  // A good save replaces the file and keeps its mode.
  chmod(path.c_str(), 0640);
  ASSERT_TRUE(SaveDib(img, path.c_str(), 3, nullptr, &error)) << error;
  EXPECT_GT(testpic::ReadBytes(path).size(), 100u);
  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);  // no temporary left behind
  deldib(&img);
  fs::remove_all(dir);
}

// ---- independent readers and writers ----

TEST(RasterFiles, LegacyFilesWeWriteAreReadByOtherPrograms) {
  if (!HaveCommand("gm")) GTEST_SKIP() << "GraphicsMagick (gm) is not installed";
  const bool netpbm = HaveCommand("ilbmtoppm");
  const std::string dir = testpic::TempDir();
  struct Case {
    int32_t code;
    const char* ext;
  };
  for (const Case& c : {Case{3, ".bmp"}, Case{9, ".lbm"}, Case{10, ".pcx"}, Case{11, ".rle"},
                        Case{12, ".tga"}, Case{6, ".iff"}})
    for (int32_t bits : {1, 4, 8, 24}) {
      const bool iff = c.code == 6 || c.code == 9;
      if (iff && !netpbm) continue;
      const std::string path = dir + "/ours" + c.ext, ppm = dir + "/theirs.ppm";
      SCOPED_TRACE(path + " " + std::to_string(bits) + " bits");
      RasterImage img = testpic::Make(bits, 45, 21, 3);
      std::string error;
      ASSERT_TRUE(SaveDib(img, path.c_str(), c.code, nullptr, &error)) << error;
      const std::string command = iff ? "ilbmtoppm " + path + " > " + ppm
                                      : "gm convert " + std::string(c.code == 11 ? "bmp:" : "") +
                                            path + " -depth 8 ppm:" + ppm;
      ASSERT_TRUE(RunQuietly(command)) << command;
      RasterImage theirs = ReadPpm(ppm);
      ASSERT_NE(theirs.pixels, nullptr);
      EXPECT_EQ(testpic::Compare(img, theirs).pixels, 0);
      deldib(&theirs);
      deldib(&img);
    }
  if (!netpbm) std::printf("netpbm (ilbmtoppm) not installed: IFF/LBM not cross-checked\n");
  fs::remove_all(dir);
}

TEST(RasterFiles, LegacyFilesOthersWriteAreRead) {
  if (!HaveCommand("gm")) GTEST_SKIP() << "GraphicsMagick (gm) is not installed";
  const std::string dir = testpic::TempDir(), ppm = dir + "/in.ppm";
  // Few colours, so that palette formats take the picture as it is.
  RasterImage img = testpic::Make(4, 37, 19, 5);
  WritePpm(ppm, img);
  const std::vector<std::pair<std::string, std::string>> writers = {
      {"gm convert " + ppm + " PCX:" + dir + "/a.pcx", "/a.pcx"},
      {"gm convert " + ppm + " -type TrueColor PCX:" + dir + "/b.pcx", "/b.pcx"},
      {"gm convert " + ppm + " TGA:" + dir + "/c.tga", "/c.tga"},
      {"gm convert " + ppm + " -compress RLE TGA:" + dir + "/d.tga", "/d.tga"},
      {"gm convert " + ppm + " -compress RLE BMP3:" + dir + "/e.bmp", "/e.bmp"},
      {"gm convert " + ppm + " -type TrueColor BMP:" + dir + "/f.bmp", "/f.bmp"},
      {"gm convert " + ppm + " TIFF:" + dir + "/g.tif", "/g.tif"},
      {"gm convert " + ppm + " PNG:" + dir + "/h.png", "/h.png"},
      {"ppmtoilbm " + ppm + " > " + dir + "/i.iff", "/i.iff"},
      {"ppmtoilbm -24force " + ppm + " > " + dir + "/j.iff", "/j.iff"},
  };
  for (const auto& [command, name] : writers) {
    SCOPED_TRACE(command);
    if (command.rfind("ppmtoilbm", 0) == 0 && !HaveCommand("ppmtoilbm")) continue;
    if (!RunQuietly(command)) {
      ADD_FAILURE() << "writer failed";
      continue;
    }
    RasterImage back;
    ASSERT_EQ(Open(dir + name, &back), "");
    EXPECT_EQ(testpic::Compare(img, back).pixels, 0);
    deldib(&back);
  }
  deldib(&img);

  // A 1-bit page as a scanner writes it: CCITT G4, min-is-white.
  RasterImage page = testpic::Make(1, 70, 30, 8);
  WritePpm(ppm, page);
  ASSERT_TRUE(
      RunQuietly("gm convert " + ppm + " -monochrome -compress Group4 TIFF:" + dir + "/g4.tif"));
  RasterImage back;
  ASSERT_EQ(Open(dir + "/g4.tif", &back), "");
  EXPECT_EQ(DIBBitCount(back), 1);
  EXPECT_EQ(testpic::Compare(page, back).pixels, 0);
  deldib(&back);
  deldib(&page);
  fs::remove_all(dir);
}

// Chunk checksum of PNG (CRC-32 over the chunk type and data).
uint32_t PngCrc(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// Position of the type field of the first chunk named `type`, or 0.
size_t FindChunk(const std::vector<uint8_t>& png, const char* type) {
  for (size_t pos = 8; pos + 12 <= png.size();) {
    const uint32_t length =
        uint32_t(png[pos]) << 24 | png[pos + 1] << 16 | png[pos + 2] << 8 | png[pos + 3];
    if (std::memcmp(png.data() + pos + 4, type, 4) == 0) return pos + 4;
    pos += 12 + length;
  }
  return 0;
}

void PutBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) bytes[at + size_t(k)] = uint8_t(v >> (24 - 8 * k));
}

// Rewrites the data of the chunk whose type field is at `type` and fixes its checksum.
void PatchChunk(std::vector<uint8_t>& png, size_t type, size_t offset,
                const std::vector<uint8_t>& data) {
  std::copy(data.begin(), data.end(), png.begin() + long(type + 4 + offset));
  const uint32_t length =
      uint32_t(png[type - 4]) << 24 | png[type - 3] << 16 | png[type - 2] << 8 | png[type - 1];
  PutBigEndian(png, type + 4 + length, PngCrc(png.data() + type, 4 + length));
}

TEST(RasterFiles, PlainGreyAndColourPngReadExactlyAsLeptonicaReadsThem) {
  // Such PNGs are read with libpng straight into the image; every other PNG goes through
  // Leptonica. Both must give the same picture, resolution and verdict.
  const std::string dir = testpic::TempDir();
  const std::string path = dir + "/grey.png";
  auto expectSame = [&](const std::vector<uint8_t>& png, const std::string& what) {
    SCOPED_TRACE(what);
    testpic::WriteBytes(path, png);
    PIX* lept = pixReadMem(png.data(), png.size());
    RasterImage img;
    const std::string error = Open(path, &img);
    ASSERT_EQ(error.empty(), lept != nullptr) << error;
    if (lept) {
      const bool colour = pixGetDepth(lept) == 32;
      ASSERT_EQ(DIBBitCount(img), colour ? 24 : 8);
      ASSERT_EQ(DIBWidth(img), pixGetWidth(lept));
      ASSERT_EQ(DIBHeight(img), pixGetHeight(lept));
      for (int i = 0; i < (colour ? 0 : 256); ++i) ASSERT_EQ(DIBColorTable(img)[i].green, i);
      for (int32_t y = 0; y < DIBHeight(img); ++y)
        for (int32_t x = 0; x < DIBWidth(img); ++x) {
          l_uint32 v = 0;
          pixGetPixel(lept, x, y, &v);
          // Leptonica packs red, green, blue from the top byte down; getpixel from the bottom.
          const l_uint32 expected =
              colour ? (v >> 24) | ((v >> 16) & 0xFF) << 8 | ((v >> 8) & 0xFF) << 16 : v;
          ASSERT_EQ(getpixel(img, x, y), expected) << x << "," << y;
        }
      auto perMetre = [](int dpi) { return dpi > 0 ? int32_t(std::lround(dpi / 0.0254)) : 11811; };
      EXPECT_EQ(DIBInfo(img)->biXPelsPerMeter, perMetre(pixGetXRes(lept)));
      EXPECT_EQ(DIBInfo(img)->biYPelsPerMeter, perMetre(pixGetYRes(lept)));
    }
    pixDestroy(&lept);
    deldib(&img);
  };

  uint32_t seed = 99;
  auto random = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
  for (auto [w, h, depth] : {std::tuple{1, 1, 8},
                             {5, 3, 8},
                             {17, 9, 8},
                             {64, 2, 8},
                             {333, 7, 8},
                             {1, 1, 32},
                             {6, 5, 32},
                             {129, 3, 32}}) {
    PIX* pix = pixCreate(w, h, depth);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        pixSetPixel(pix, x, y, depth == 8 ? random() & 0xFF : (random() << 16 | random()) << 8);
    pixSetResolution(pix, 300, 300);
    std::vector<uint8_t> png = PngOf(pix);
    ASSERT_FALSE(png.empty());
    ASSERT_EQ(png[25], depth == 8 ? 0 : 2);  // IHDR's colour type: grey, or colour without alpha
    expectSame(png, std::to_string(w) + " x " + std::to_string(h) + " x " + std::to_string(depth));

    // Resolutions: unit metre and unknown, round values and ones near the halves.
    const size_t phys = FindChunk(png, "pHYs");
    ASSERT_NE(phys, 0u);
    for (uint32_t perMetre : {0u, 1u, 20u, 59u, 2953u, 3937u, 11811u, 11812u, 23622u, 99999u}) {
      std::vector<uint8_t> data(9, 0);
      std::vector<uint8_t> patched = png;
      PutBigEndian(data, 0, perMetre);
      PutBigEndian(data, 4, perMetre * 3 + 7);
      for (uint8_t unit : {0, 1}) {
        data[8] = unit;
        PatchChunk(patched, phys, 0, data);
        expectSame(patched, "pHYs " + std::to_string(perMetre) + " unit " + std::to_string(unit));
      }
    }
    // Damaged image data whose chunk checksum still fits.
    const size_t idat = FindChunk(png, "IDAT");
    ASSERT_NE(idat, 0u);
    const uint32_t idatLength =
        uint32_t(png[idat - 4]) << 24 | png[idat - 3] << 16 | png[idat - 2] << 8 | png[idat - 1];
    for (uint32_t k = 0; k < 6; ++k) {
      std::vector<uint8_t> damaged = png;
      const size_t at = 2 + random() % (idatLength > 2 ? idatLength - 2 : 1);
      PatchChunk(damaged, idat, at, {uint8_t(damaged[idat + 4 + at] ^ (1u << (k % 8)))});
      expectSame(damaged, "IDAT byte " + std::to_string(at));
    }
  }
  fs::remove_all(dir);
}

}  // namespace
