// Picture intake: bringing pictures to 24 bits, opening and saving through the dialogs,
// the rotations, and the scan through SANE's test backend.
#include <gtest/gtest.h>

#include <sane/sane.h>
#include <sys/wait.h>
#include <unistd.h>
#include "SaneTestBackend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/DepthUp.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/PictureFiles.h"
#include "platform/Scanner.h"

namespace {

// A BITMAPINFO block whose colour table holds the given colours (0xRRGGBB).
std::vector<uint8_t> ColourTable(const std::vector<uint32_t>& colours) {
  std::vector<uint8_t> info(kBitmapInfoSize, 0);
  auto* table = reinterpret_cast<RgbQuad*>(info.data() + sizeof(BitmapInfoHeader));
  for (size_t k = 0; k < colours.size(); ++k)
    table[k] = {uint8_t(colours[k]), uint8_t(colours[k] >> 8), uint8_t(colours[k] >> 16), 0};
  return info;
}

// 24-bit pixel (x, y) as 0xRRGGBB.
uint32_t Rgb(const RasterImage& image, int32_t x, int32_t y) {
  const uint8_t* p = DIBPixel24(image, x, y);
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

struct Pixel {
  int32_t x, y;
  uint32_t rgb;
};

// Raises `image` to 24 bits, finds `pixels` there and frees it.
void ExpectAt24Bits(RasterImage& image, std::initializer_list<Pixel> pixels) {
  ASSERT_TRUE(DepthUpTo(24, image));
  ASSERT_EQ(DIBBitCount(image), 24);
  for (const Pixel& p : pixels) EXPECT_EQ(Rgb(image, p.x, p.y), p.rgb) << p.x << ", " << p.y;
  deldib(&image);
}

TEST(DepthUpTo, OneBitTakesItsColoursFromThePalette) {
  // Min-is-white, as scanners write 1-bit TIFFs: index 0 is white, 1 black.
  std::vector<uint8_t> info = ColourTable({0xFFFFFF, 0x000000});
  RasterImage image;
  newdib(&image, 10, 2, 1, info.data(), 2);
  setpixel(image, 3, 0, 1);
  setpixel(image, 9, 1, 1);
  ASSERT_NO_FATAL_FAILURE(ExpectAt24Bits(
      image, {{0, 0, 0xFFFFFF}, {3, 0, 0x000000}, {9, 1, 0x000000}, {8, 1, 0xFFFFFF}}));
}

TEST(DepthUpTo, OneBitWithoutPaletteReadsZeroAsBlack) {
  RasterImage image;
  newdib(&image, 9, 1, 1, nullptr, 0);
  setpixel(image, 8, 0, 1);
  ASSERT_NO_FATAL_FAILURE(ExpectAt24Bits(image, {{0, 0, 0x000000}, {8, 0, 0xFFFFFF}}));
}

TEST(DepthUpTo, FourBitOddWidthTakesLastPixelFromHighNibble) {
  std::vector<uint32_t> colours(16);
  for (uint32_t k = 0; k < 16; ++k) colours[k] = 0x010203 * k;
  std::vector<uint8_t> info = ColourTable(colours);
  RasterImage image;
  newdib(&image, 5, 2, 4, info.data(), 16);
  for (int32_t x = 0; x < 5; ++x) {
    setpixel(image, x, 0, uint32_t(x + 1));
    setpixel(image, x, 1, uint32_t(15 - x));
  }
  // Byte 2 of each row also holds a stray low nibble that must not show.
  DIBRow(image, 0)[2] |= 0x0F;
  DIBRow(image, 1)[2] |= 0x0F;
  ASSERT_TRUE(DepthUpTo(24, image));
  for (int32_t x = 0; x < 5; ++x) {
    EXPECT_EQ(Rgb(image, x, 0), colours[size_t(x + 1)]) << x;
    EXPECT_EQ(Rgb(image, x, 1), colours[size_t(15 - x)]) << x;
  }
  deldib(&image);
}

TEST(DepthUpTo, EightBitGreyAndSixteenThirtyTwoBit) {
  std::vector<uint32_t> grey(256);
  for (uint32_t g = 0; g < 256; ++g) grey[g] = g * 0x010101;
  std::vector<uint8_t> info = ColourTable(grey);
  RasterImage eight;
  newdib(&eight, 3, 2, 8, info.data(), 256);
  setpixel(eight, 2, 1, 77);
  ASSERT_NO_FATAL_FAILURE(ExpectAt24Bits(eight, {{2, 1, 77u * 0x010101}, {0, 0, 0}}));

  RasterImage thirtyTwo;
  newdib(&thirtyTwo, 3, 2, 32, nullptr, 0);
  uint8_t* p = DIBRow(thirtyTwo, 0) + 4;  // pixel (1, 1): blue, green, red, unused
  p[0] = 10, p[1] = 20, p[2] = 30, p[3] = 99;
  ASSERT_NO_FATAL_FAILURE(ExpectAt24Bits(thirtyTwo, {{1, 1, 0x1E140A}}));

  RasterImage sixteen;
  newdib(&sixteen, 2, 1, 16, nullptr, 0);
  DIBRow(sixteen, 0)[2] = 0xFF;  // pixel (1, 0) = 0x7FFF: white in 5-5-5
  DIBRow(sixteen, 0)[3] = 0x7F;
  ASSERT_NO_FATAL_FAILURE(ExpectAt24Bits(sixteen, {{1, 0, 0xFFFFFF}, {0, 0, 0}}));
}

TEST(DepthUpTo, EightBitRowsOfEveryWidthTakeThePaletteColours) {
  // Each row's last pixel is written on its own: widths around the row padding, and a
  // picture whose last pixel ends exactly at the end of the pixel block.
  std::vector<uint32_t> palette(256);
  uint32_t seed = 5;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
  for (uint32_t& c : palette) c = next() & 0xFFFFFF;
  std::vector<uint8_t> info = ColourTable(palette);
  for (int32_t w : {1, 2, 3, 4, 5, 8, 13, 4 * 7}) {
    const int32_t h = 3;
    RasterImage image;
    newdib(&image, w, h, 8, info.data(), 256);
    std::vector<uint8_t> index(size_t(w * h));
    for (int32_t i = 0; i < w * h; ++i) {
      index[size_t(i)] = uint8_t(next());
      setpixel(image, i % w, i / w, index[size_t(i)]);
    }
    ASSERT_TRUE(DepthUpTo(24, image));
    for (int32_t i = 0; i < w * h; ++i)
      ASSERT_EQ(Rgb(image, i % w, i / w), palette[index[size_t(i)]]) << w << " " << i;
    deldib(&image);
  }
}

struct Form {
  HeadlessWindow window;
  TMainForm form{window, "/x/quillon", {}};
  Form() {
    newdib(&form.picture, 320, 200, 24, nullptr, 0);
    form.NewPicture();
  }
};

TEST(OpenPic, FailureShowsMessageAndKeepsPicture) {
  Form f;
  const uint8_t* before = f.form.picture.pixels;
  const std::string name = "/nonexistent/page.png";
  EXPECT_FALSE(f.form.OpenPic(name));
  ASSERT_EQ(f.window.messages.size(), 1u);
  EXPECT_EQ(f.window.messages[0].title, "Error while opening " + name + "!");
  EXPECT_FALSE(f.window.messages[0].text.empty()) << "the reason from OpenDib";
  EXPECT_EQ(f.window.messages[0].icon, MessageIcon::Error);
  EXPECT_EQ(f.form.picture.pixels, before);
}

TEST(OpenPic, CancelledDialogChangesNothing) {
  Form f;
  const uint8_t* before = f.form.picture.pixels;
  f.form.OpenPicsBtnClick();  // no scripted answer: cancelled
  EXPECT_TRUE(f.window.messages.empty());
  EXPECT_TRUE(f.window.log.empty());
  EXPECT_EQ(f.form.picture.pixels, before);
}

TEST(OpenPic, DirectoryIsRefusedWithMessage) {
  Form f;
  f.window.openAnswers.push_back(std::filesystem::temp_directory_path().string());
  f.form.OpenPicsBtnClick();
  ASSERT_EQ(f.window.messages.size(), 1u);
  EXPECT_EQ(f.window.messages[0].title,
            "Error while opening " + std::filesystem::temp_directory_path().string() + "!");
  EXPECT_EQ(DIBWidth(f.form.picture), 320);
}

TEST(SavePicture, NameGetsExtensionOfFilterOnlyWhenItHasNone) {
  EXPECT_EQ(SavePictureName("/tmp/page", 6), "/tmp/page.JPG");
  EXPECT_EQ(SavePictureName("/tmp/page.tif", 11), "/tmp/page.tif");
  EXPECT_EQ(SavePictureName("/tmp/v1.0/page", 1), "/tmp/v1.0/page.BMP") << "dot in a folder";
  EXPECT_EQ(SavePictureName("page", 11), "page.TIF");
}

// A scratch folder of this test, removed afterwards.
struct ScratchDir {
  std::filesystem::path path;
  ScratchDir() {
    path =
        std::filesystem::temp_directory_path() / ("quillon_intake_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() { std::filesystem::remove_all(path); }
};

TEST(SavePicture, CancelledDialogWritesNothing) {
  ScratchDir dir;
  Form f;
  f.form.SavePicBtnClick();
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  EXPECT_TRUE(f.window.messages.empty());
}

TEST(SavePicture, FailedSaveIsReported) {
  ScratchDir dir;
  Form f;
  const std::string name = (dir.path / "missing-folder" / "page").string();
  f.window.saveAnswers.push_back({name, 1});
  f.form.SavePicBtnClick();
  ASSERT_EQ(f.window.messages.size(), 1u);
  EXPECT_EQ(f.window.messages[0].title, "Error while saving " + name + ".BMP!");
  EXPECT_FALSE(f.window.messages[0].text.empty());
  EXPECT_FALSE(std::filesystem::exists(name + ".BMP"));
}

TEST(SavePicture, SavedPictureOpensAgainWithItsPixels) {
  ScratchDir dir;
  Form f;
  setpixel(f.form.picture, 5, 7, 0x123456);
  f.window.saveAnswers.push_back({(dir.path / "page").string(), 1});
  f.form.SavePicBtnClick();
  if (!f.window.messages.empty() && !std::filesystem::exists(dir.path / "page.BMP"))
    GTEST_SKIP() << "picture files cannot be written yet: " << f.window.messages[0].text;
  ASSERT_TRUE(f.window.messages.empty()) << f.window.messages[0].text;
  ASSERT_TRUE(f.form.OpenPic((dir.path / "page.BMP").string()));
  EXPECT_EQ(getpixel(f.form.picture, 5, 7), 0x123456u);
  EXPECT_EQ(DIBWidth(f.form.picture), 320);
}

TEST(AutomaticRun, LogsSeparationOfTheOpenedPicture) {
  // quillon --log PICTURE - on a page with 5000 pixels of grey 220, 4000 of 200, 1000 of
  // 30 and 500 of 60.
  ScratchDir dir;
  RasterImage page;
  newdib(&page, 100, 105, 24, nullptr, 0);
  const std::pair<int32_t, int32_t> counts[] = {{220, 5000}, {200, 4000}, {30, 1000}, {60, 500}};
  int32_t i = 0;
  for (auto [grey, count] : counts)
    for (int32_t k = 0; k < count; ++k, ++i)
      setpixel(page, i % 100, i / 100, uint32_t(grey) * 0x010101);
  const std::string file = (dir.path / "page.bmp").string();
  std::string error;
  ASSERT_TRUE(SaveDib(page, file.c_str(), 3, nullptr, &error)) << error;
  deldib(&page);

  const char* argv[] = {"/x/quillon", "--log", file.c_str(), "-"};
  CommandLine commandLine;
  ASSERT_TRUE(ParseCommandLine(4, argv, &commandLine, &error)) << error;
  std::ostringstream err;
  EXPECT_EQ(RunAutomatic(commandLine, err), 0) << err.str();
  const std::string log = err.str();
  // The start-up page logs its own line first; the opened picture's line follows.
  EXPECT_NE(log.find("Histogram broder away from maximum:95\n"), std::string::npos) << log;
}

// A turned page: its size, where the red and the green pixel went, the search area the whole
// page.
void ExpectTurned(const TMainForm& form, int32_t width, int32_t height, std::pair<int, int> red,
                  std::pair<int, int> green) {
  EXPECT_EQ(DIBWidth(form.picture), width);
  EXPECT_EQ(DIBHeight(form.picture), height);
  EXPECT_EQ(getpixel(form.picture, red.first, red.second), 0x0000FFu);
  EXPECT_EQ(getpixel(form.picture, green.first, green.second), 0x00FF00u);
  EXPECT_EQ(form.searchArea.left, 0);
  EXPECT_EQ(form.searchArea.top, 0);
  EXPECT_EQ(form.searchArea.right, width - 1);
  EXPECT_EQ(form.searchArea.bottom, height - 1);
}

TEST(Rotation, LeftTwiceTurnsByHalfAndResetsState) {
  Form f;
  setpixel(f.form.picture, 0, 0, 0x0000FF);
  setpixel(f.form.picture, 10, 20, 0x00FF00);
  f.form.lines.Add();
  f.form.searchArea = {5, 5, 50, 50};
  f.form.DIBRotLeft();
  // Counter-clockwise: (x, y) goes to (y, W - 1 - x).
  ExpectTurned(f.form, 200, 320, {0, 319}, {20, 309});
  EXPECT_EQ(f.form.lines.Count, 0);
  ASSERT_NE(f.form.bwImage.pixels, nullptr);
  EXPECT_EQ(DIBWidth(f.form.bwImage), 200) << "the black/white page follows";
  f.form.DIBRotLeft();
  ExpectTurned(f.form, 320, 200, {319, 199}, {309, 179});
}

TEST(Rotation, RightIsClockwiseAndUndoesLeft) {
  Form f;
  setpixel(f.form.picture, 10, 20, 0x00FF00);
  f.form.DIBRotRight();
  // Clockwise: (x, y) goes to (H - 1 - y, x).
  EXPECT_EQ(getpixel(f.form.picture, 179, 10), 0x00FF00u);
  f.form.Rotation901Click();
  EXPECT_EQ(getpixel(f.form.picture, 10, 20), 0x00FF00u);
  EXPECT_GT(f.window.paintBox1Repaints, 0);
}

TEST(Rotation, PalettePicturesKeepTheirDepthAndColours) {
  Form f;
  std::vector<uint8_t> info = ColourTable({0xFFFFFF, 0x000000});
  RasterImage oneBit;
  newdib(&oneBit, 9, 4, 1, info.data(), 2);
  setpixel(oneBit, 8, 0, 1);
  deldib(&f.form.picture);
  f.form.picture = oneBit;
  f.form.DIBRotRight();
  EXPECT_EQ(DIBBitCount(f.form.picture), 1);
  EXPECT_EQ(getpixel(f.form.picture, 3, 8), 1u);
  EXPECT_EQ(f.form.picture.logPalette.entries[0].red, 255);
}

// The scan through SANE's test backend, configured by tests/data/sane.
class Scan : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = UseSaneTestBackend();
    if (!missing.empty()) GTEST_SKIP() << missing;
  }
};

TEST_F(Scan, ChosenSourceScansAndScanMessageInstallsPicture) {
  Form f;
  f.window.onScanMessage = [&f](int32_t id) { f.form.WMUser2(id); };
  f.window.scannerAnswers.push_back(0);
  f.form.SourceBtnClick();
  ASSERT_TRUE(f.window.messages.empty()) << f.window.messages[0].text;
  f.form.ScanBtnClick();
  f.form.WaitForScan();
  ASSERT_EQ(f.window.postedScans.size(), 1u);
  f.window.ProcessMessages();
  ASSERT_TRUE(f.window.messages.empty()) << f.window.messages[0].text;
  // 80 x 100 mm at the 300 dpi asked for.
  EXPECT_NEAR(DIBWidth(f.form.picture), 80 / 25.4 * 300, 1.0);
  EXPECT_NEAR(DIBHeight(f.form.picture), 100 / 25.4 * 300, 1.0);
  EXPECT_EQ(DIBBitCount(f.form.picture), 24);
  EXPECT_EQ(getpixel(f.form.picture, 5, 5), 0xFFFFFFu) << "the white test page, grey palette";
  EXPECT_EQ(f.form.searchArea.right, DIBWidth(f.form.picture) - 1);
  EXPECT_EQ(DIBWidth(f.form.bwImage), DIBWidth(f.form.picture));
}

TEST(ScanLineArt, WhitePageKeepsItsColours) {
  // SANE line art sets a bit for black: a white page arrives as zero bits and must not
  // turn black on the way to 24 bits. SANE reads its configuration once per process, so
  // the line-art device scans in a fresh process (exit 3: no test backend there). The
  // process leaves at once with its verdict: at a normal exit the leak checker now and then
  // blames a buffer of SANE's own, unloaded, test backend; the scans in this process are
  // checked for leaks.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("SANE_CONFIG_DIR", QUILLON_TEST_DATA "/sane/lineart", 1);
        RasterImage scanned;
        ScannerAcquire("test:0", &scanned);
        if (!scanned.pixels) {
          std::fprintf(stderr, "%s\n", DIBErrorText(scanned).c_str());
          std::_Exit(3);
        }
        const bool lineArt = DIBBitCount(scanned) == 1 && getpixel(scanned, 3, 3) == 0;
        const bool white = DepthUpTo(24, scanned) && getpixel(scanned, 3, 3) == 0xFFFFFFu;
        std::_Exit(lineArt && white ? 0 : 1);
      },
      [](int status) {
        return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3);
      },
      "");
}

TEST_F(Scan, MessageWithoutPageIsIgnored) {
  Form f;
  const uint8_t* before = f.form.picture.pixels;
  f.form.WMUser2(987654);
  EXPECT_EQ(f.form.picture.pixels, before);
  EXPECT_TRUE(f.window.messages.empty());
}

TEST_F(Scan, UnknownSourceGivesNoPicture) {
  Form f;
  f.window.onScanMessage = [&f](int32_t id) { f.form.WMUser2(id); };
  f.form.scanner.link->source = "test:99";
  const uint8_t* before = f.form.picture.pixels;
  f.form.ScanBtnClick();
  f.form.WaitForScan();
  f.window.ProcessMessages();
  EXPECT_EQ(f.form.picture.pixels, before);
  ASSERT_FALSE(f.window.log.empty());
  EXPECT_NE(f.window.log.back().find("test:99"), std::string::npos) << f.window.log.back();
}

}  // namespace
