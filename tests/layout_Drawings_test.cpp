// Drawings on a page (spirals, circles, frames): the object search leaves them out, so that
// they are neither cut out nor read as letters, while the text beside them reads as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "layout/ObjectSearch.h"
#include "tests/TestHelpers.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

RasterImage WhitePage(int32_t w, int32_t h) {
  RasterImage page;
  newdib(&page, w, h, 24, nullptr, 0);
  std::memset(page.pixels, 255, size_t(page.stride) * size_t(h));
  return page;
}

void Ink(RasterImage& page, int32_t x, int32_t y, uint8_t value = 0) {
  if (x < 0 || y < 0 || x >= DIBWidth(page) || y >= DIBHeight(page)) return;
  std::memset(DIBPixel24(page, x, y), value, 3);
}

void FillBox(RasterImage& page, int32_t left, int32_t top, int32_t right, int32_t bottom,
             uint8_t value = 0) {
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x) Ink(page, x, y, value);
}

// A ring: the pixels whose distance from the centre lies in (radius - stroke, radius].
void DrawRing(RasterImage& page, int32_t cx, int32_t cy, int32_t radius, int32_t stroke) {
  for (int32_t y = cy - radius; y <= cy + radius; ++y)
    for (int32_t x = cx - radius; x <= cx + radius; ++x) {
      const double d = std::hypot(x - cx, y - cy);
      if (d <= radius && d > radius - stroke) Ink(page, x, y);
    }
}

// A frame of lines `stroke` pixels wide just inside the box.
void DrawFrame(RasterImage& page, int32_t left, int32_t top, int32_t right, int32_t bottom,
               int32_t stroke) {
  FillBox(page, left, top, right, top + stroke - 1);
  FillBox(page, left, bottom - stroke + 1, right, bottom);
  FillBox(page, left, top, left + stroke - 1, bottom);
  FillBox(page, right - stroke + 1, top, right, bottom);
}

// A spiral of `turns` turns from the centre out to `radius`, drawn as a chain of square
// pen marks `stroke` pixels wide. With `arcDegrees` > 0 the line breaks every so many
// degrees (a gap of 3 degrees), so that the spiral falls into nested arcs.
void DrawSpiral(RasterImage& page, int32_t cx, int32_t cy, double radius, double turns,
                int32_t stroke, double arcDegrees = 0) {
  const double total = turns * 2 * kPi;
  const int steps = int(total * radius);  // about a pixel apart on the outer turn
  for (int i = 0; i <= steps; ++i) {
    const double angle = total * i / steps;
    if (arcDegrees > 0 && std::fmod(angle * 180 / kPi, arcDegrees) < 3) continue;
    const double r = radius * i / steps;
    const int32_t x = int32_t(std::lround(cx + r * std::cos(angle)));
    const int32_t y = int32_t(std::lround(cy + r * std::sin(angle)));
    FillBox(page, x - stroke / 2, y - stroke / 2, x - stroke / 2 + stroke - 1,
            y - stroke / 2 + stroke - 1);
  }
}

// What the fill gathers of the object at the first ink pixel of `page` (top to bottom).
FillBounds MeasureFirstObject(const RasterImage& page) {
  RasterImage map = MakeSearchMap(page);
  const int32_t w = DIBWidth(page), h = DIBHeight(page);
  FillBounds bounds{w, h, -1, -1};
  std::vector<FillSeed> work;
  for (int32_t y = 0; y < h && bounds.maxX < 0; ++y)
    for (int32_t x = 0; x < w && bounds.maxX < 0; ++x)
      if (DIBPixel24(page, x, y)[0] == 0) FillObject(map, x, y, bounds, work, nullptr);
  deldib(&map);
  return bounds;
}

TEST(IsDrawing, ThinLinesOfLargeShapesAreDrawingsGlyphShapesAreNot) {
  struct Shape {
    const char* name;
    void (*draw)(RasterImage&);
    bool drawing;
  };
  const Shape shapes[] = {
      {"circle of 300 pixels, 3 wide", [](RasterImage& p) { DrawRing(p, 200, 200, 150, 3); }, true},
      {"circle of 300 pixels, 6 wide", [](RasterImage& p) { DrawRing(p, 200, 200, 150, 6); }, true},
      {"frame 360 x 240, 4 wide", [](RasterImage& p) { DrawFrame(p, 10, 10, 369, 249, 4); }, true},
      {"spiral, 5 turns, 4 wide", [](RasterImage& p) { DrawSpiral(p, 200, 200, 180, 5, 4); }, true},
      {"diagonal line", [](RasterImage& p) { DrawSpiral(p, 10, 10, 350, 0.125, 4); }, true},
      {"chart axes",
       [](RasterImage& p) {
         FillBox(p, 20, 20, 22, 380);
         FillBox(p, 20, 378, 380, 380);
       },
       true},
      // An O of a heavy face, of a light face at 200 pixels, and a bold 200-pixel letter.
      {"O of 100 pixels, 14 wide", [](RasterImage& p) { DrawRing(p, 200, 200, 50, 14); }, false},
      {"O of 200 pixels, 12 wide", [](RasterImage& p) { DrawRing(p, 200, 200, 100, 12); }, false},
      {"H of 200 pixels",
       [](RasterImage& p) {
         FillBox(p, 100, 100, 130, 299);
         FillBox(p, 220, 100, 250, 299);
         FillBox(p, 100, 185, 250, 214);
       },
       false},
      {"filled square", [](RasterImage& p) { FillBox(p, 50, 50, 349, 349); }, false},
      // Thin, but a line of text high at most: a rule under a heading stays a dash.
      {"rule 600 x 3", [](RasterImage& p) { FillBox(p, 0, 100, 599, 102); }, false},
      {"thin circle of 60 pixels", [](RasterImage& p) { DrawRing(p, 100, 100, 30, 1); }, false},
  };
  for (const Shape& shape : shapes) {
    RasterImage page = WhitePage(400, 400);
    shape.draw(page);
    const FillBounds bounds = MeasureFirstObject(page);
    EXPECT_EQ(IsDrawing(bounds), shape.drawing) << shape.name;
    deldib(&page);
  }
}

// Counts the bytes of every image the object search makes (its map and the cut-outs).
int64_t gImageBytes = 0;
void CountingMaker(RasterImage* out, int32_t w, int32_t h, int32_t bits, const uint8_t* colors,
                   int32_t colorCount) {
  newdib(out, w, h, bits, colors, colorCount);
  if (out->pixels) gImageBytes += int64_t(out->stride) * h;
}

struct DrawingSearch : ::testing::Test {
  HeadlessWindow window;
  TMainForm form{window, "/tmp/quillon", {}};
  // A second form, for the same letters searched without the drawing.
  HeadlessWindow plainWindow;
  TMainForm plain{plainWindow, "/tmp/quillon", {}};

  void SearchPlain(RasterImage letters) {
    deldib(&plain.bwImage);
    plain.bwImage = letters;
    plain.searchArea = {0, 0, DIBWidth(letters) - 1, DIBHeight(letters) - 1};
    plain.FindCharsBtnClick();
  }

  // Searches `page` (taken over) and answers the bytes of the images the search made.
  int64_t Search(RasterImage page) {
    deldib(&form.bwImage);
    form.bwImage = page;
    form.searchArea = {0, 0, DIBWidth(page) - 1, DIBHeight(page) - 1};
    form.objectImageMaker = CountingMaker;
    gImageBytes = 0;
    form.FindCharsBtnClick();
    return gImageBytes;
  }
  bool Logged(const std::string& line) const {
    return std::find(window.log.begin(), window.log.end(), line) != window.log.end();
  }
  std::string LogStarting(const std::string& start) const {
    for (const std::string& line : window.log)
      if (line.rfind(start, 0) == 0) return line;
    return "";
  }
};

TEST_F(DrawingSearch, SpiralOverThePageIsLeftOutAndNeverCutOut) {
  const int32_t w = 1240, h = 1754;  // A4 at 150 dpi
  RasterImage page = WhitePage(w, h);
  DrawSpiral(page, w / 2, h / 2, 580, 12, 4);
  RasterImage before = DuplicateImage(page);
  const int64_t bytes = Search(page);
  EXPECT_EQ(form.objects.Count, 0);
  EXPECT_EQ(form.dots.Count, 0);
  EXPECT_EQ(form.lines.Count, 0);
  EXPECT_EQ(LogStarting("Objects found: ").rfind("Objects found: 1;", 0), 0u);
  EXPECT_TRUE(Logged("Drawings left out (not read as letters): 1"));
  // The search map (a byte a pixel) and nothing for the object, whose box is most of the
  // page: a cut-out would have cost three bytes for each pixel of it.
  const int64_t mapBytes = int64_t((w + 3) / 4 * 4) * h;
  EXPECT_EQ(bytes, mapBytes);
  EXPECT_EQ(std::memcmp(form.bwImage.pixels, before.pixels, size_t(before.stride) * h), 0);
  deldib(&before);
}

TEST_F(DrawingSearch, BrokenSpiralCostsNoMoreThanItsPage) {
  // The arcs of a broken spiral nest: their boxes add up to many pages.
  const int32_t w = 1240, h = 1754;
  RasterImage page = WhitePage(w, h);
  DrawSpiral(page, w / 2, h / 2, 580, 12, 4, 180);
  const int64_t bytes = Search(page);
  const int64_t pixels = int64_t(w) * h;
  EXPECT_LT(bytes, 2 * pixels) << "the map and the cut-outs of the few small inner arcs";
  EXPECT_LE(form.objects.Count, 4) << "the innermost arcs are as small as letters";
  EXPECT_NE(LogStarting("Drawings left out (not read as letters): "), "");
}

// A row of letter-sized rings, each 24 x 32 with strokes 5 wide.
void DrawLetters(RasterImage& page, int32_t left, int32_t top, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t x = left + 34 * i;
    FillBox(page, x, top, x + 23, top + 31);
    for (int32_t y = top + 5; y <= top + 26; ++y)
      std::memset(DIBPixel24(page, x + 5, y), 255, 3 * 14);
  }
}

TEST_F(DrawingSearch, ObjectFarLargerThanThePagesLettersIsLeftOutAfterTheLines) {
  // A thick ring of 400 pixels, not thin for its size, but more than ten letters high
  // and wide, beside a line of letters.
  RasterImage page = WhitePage(1000, 500);
  DrawRing(page, 220, 250, 200, 60);
  DrawLetters(page, 500, 234, 12);
  Search(page);
  ASSERT_EQ(form.objects.Count, 12);
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    const PageObject& object = *form.objects.At(i);
    EXPECT_EQ(object.box.Bottom - object.box.Top + 1, 32);
    EXPECT_NE(object.image.pixels, nullptr);
  }
  EXPECT_TRUE(Logged("Drawings left out (not read as letters): 1"));
  // Grouped anew without the ring, which had taken the first letters into its line.
  EXPECT_EQ(form.lines.Count, 1);
  // Without the ring the same letters make the same objects, and no drawing is logged.
  RasterImage letters = WhitePage(1000, 500);
  DrawLetters(letters, 500, 234, 12);
  SearchPlain(letters);
  ASSERT_EQ(plain.objects.Count, 12);
  for (const std::string& line : plainWindow.log)
    EXPECT_EQ(line.find("Drawings"), std::string::npos);
}

TEST_F(DrawingSearch, ObjectsInsideAFrameKeepTheirBoxesAndImages) {
  RasterImage framed = WhitePage(700, 300);
  DrawFrame(framed, 20, 20, 679, 279, 3);
  DrawLetters(framed, 100, 120, 10);
  Search(framed);
  RasterImage letters = WhitePage(700, 300);
  DrawLetters(letters, 100, 120, 10);
  SearchPlain(letters);
  ASSERT_EQ(form.objects.Count, 10);
  ASSERT_EQ(plain.objects.Count, 10);
  for (int32_t i = 0; i < 10; ++i) {
    const PageObject& a = *form.objects.At(i);
    const PageObject& b = *plain.objects.At(i);
    EXPECT_EQ(std::memcmp(&a.box, &b.box, sizeof(Box)), 0) << i;
    EXPECT_EQ(a.line, b.line);
    ASSERT_EQ(a.image.stride, b.image.stride);
    EXPECT_EQ(std::memcmp(a.image.pixels, b.image.pixels, size_t(a.image.stride) * 32), 0) << i;
  }
}

// The classic run over the sample page with a drawing beside or around its text.
class DrawingWithText : public ::testing::Test {
 protected:
  void SetUp() override {
    form.FormCreate();
    ASSERT_TRUE(form.OpenPic(std::string(QUILLON_SAMPLES) + "/sample.png"));
    sample = DuplicateImage(form.picture);
    ASSERT_EQ(DIBBitCount(sample), 24);
  }
  void TearDown() override { deldib(&sample); }

  // A white page of w x h with the sample's picture at (left, top).
  RasterImage PageWithSample(int32_t w, int32_t h, int32_t left, int32_t top) {
    RasterImage page = WhitePage(w, h);
    for (int32_t y = 0; y < DIBHeight(sample); ++y)
      std::memcpy(DIBPixel24(page, left, top + y), DIBPixel24(sample, 0, y),
                  3 * size_t(DIBWidth(sample)));
    return page;
  }
  // The output lines that hold text, without the indentation.
  std::vector<std::string> Read(RasterImage page) {
    form.InstallPicture(page);
    form.TextErkennBtnClick();
    std::vector<std::string> lines;
    for (const std::string& line : window.output) {
      const size_t start = line.find_first_not_of(' ');
      if (start != std::string::npos) lines.push_back(line.substr(start));
    }
    return lines;
  }
  // The sample's text lines (three).
  std::vector<std::string> SampleText() {
    std::vector<std::string> lines;
    std::string text = ReadFile(std::string(QUILLON_SAMPLES) + "/sample.txt"), line;
    for (char c : text) {
      if (c != '\n') {
        line += c;
        continue;
      }
      if (!line.empty()) lines.push_back(line);
      line.clear();
    }
    EXPECT_EQ(lines.size(), 3u);
    return lines;
  }

  HeadlessWindow window;
  TMainForm form{window, "/x/quillon", {}};
  RasterImage sample{};
};

TEST_F(DrawingWithText, SpiralBesideTheTextGivesNoLetters) {
  RasterImage page = PageWithSample(2000, 900, 750, 250);
  DrawSpiral(page, 350, 450, 340, 8, 4);
  EXPECT_EQ(Read(page), SampleText());
}

TEST_F(DrawingWithText, BrokenCircleBelowTheTextGivesNoLetters) {
  RasterImage page = PageWithSample(1200, 1300, 0, 0);
  DrawRing(page, 600, 850, 380, 6);
  FillBox(page, 595, 400, 604, 1300, 255);  // broken into four quarter arcs
  FillBox(page, 200, 845, 1000, 854, 255);
  EXPECT_EQ(Read(page), SampleText());
}

TEST_F(DrawingWithText, ThickRingBesideTheTextGivesNoLettersAndTheTextItsLines) {
  // Not thin for its size, but ten letters high and wide: it is told apart after the line
  // finding, which had pulled the starts of the text lines into the ring's line.
  RasterImage page = PageWithSample(2000, 900, 750, 250);
  DrawRing(page, 350, 450, 300, 25);
  EXPECT_EQ(Read(page), SampleText());
  int32_t searches = 0;
  for (const std::string& line : window.log) searches += line == "Search lines...";
  EXPECT_EQ(searches, 2) << "the lines are found again without the ring";
}

TEST_F(DrawingWithText, TextInsideAFrameReads) {
  RasterImage page = PageWithSample(1400, 600, 100, 100);
  DrawFrame(page, 30, 30, 1369, 569, 4);
  EXPECT_EQ(Read(page), SampleText());
}

}  // namespace
