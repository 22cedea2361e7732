// DrawDIB on the software canvas: nearest-neighbour sampling, clipping of the source with
// the destination shrunk in proportion (halves to even), and the paths by depth.
#include <gtest/gtest.h>

#include "core/DrawDIB.h"
#include "platform/SoftwareCanvas.h"
#include "tests/core_PictureTestUtil.h"

namespace {

// Every pixel a different colour: x + 320 y.
RasterImage Numbered(int32_t w, int32_t h) {
  RasterImage img;
  newdib(&img, w, h, 24, nullptr, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) setpixel(img, x, y, uint32_t(x + 320 * y));
  return img;
}

RasterImage Black(int32_t w, int32_t h, int32_t bits) {
  RasterImage img;
  std::vector<uint8_t> info(kBitmapInfoSize, 0);  // palette all black
  newdib(&img, w, h, bits, info.data(), bits <= 8 ? 1 << bits : 0);
  return img;
}

// Painted (non-white) columns and rows of the canvas, as first and one-past-last.
struct Painted {
  int32_t left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
};

Painted PaintedArea(const SoftwareCanvas& canvas) {
  Painted p;
  for (int32_t y = 0; y < canvas.Height(); ++y)
    for (int32_t x = 0; x < canvas.Width(); ++x)
      if (canvas.GetPixel(x, y) != clWhite) {
        p.left = std::min(p.left, x), p.right = std::max(p.right, x + 1);
        p.top = std::min(p.top, y), p.bottom = std::max(p.bottom, y + 1);
      }
  return p;
}

TEST(DrawDIB, ThirtyPercentSamplesColumnsAndRowsByIntegerDivision) {
  RasterImage img = Numbered(320, 200);
  SoftwareCanvas canvas(120, 80);
  DrawDIB(canvas, 0, 0, 96, 60, img, 0, 0, 320, 200);
  for (int32_t r = 0; r < 60; ++r)
    for (int32_t i = 0; i < 96; ++i) {
      const int32_t column = 320 * i / 96, memoryRow = 199 - 200 * r / 60;
      ASSERT_EQ(canvas.GetPixel(i, r), uint32_t(column + 320 * (199 - memoryRow))) << i << "," << r;
    }
  const Painted p = PaintedArea(canvas);
  EXPECT_EQ(p.right, 96);
  EXPECT_EQ(p.bottom, 60);
  deldib(&img);
}

TEST(DrawDIB, EightBitPicturesTakeColoursFromThePalette) {
  RasterImage img = testpic::Make(8, 50, 30, 4);
  SoftwareCanvas canvas(40, 40);
  DrawDIB(canvas, 3, 2, 25, 15, img, 0, 0, 50, 30);
  for (int32_t r = 0; r < 15; ++r)
    for (int32_t i = 0; i < 25; ++i)
      ASSERT_EQ(canvas.GetPixel(3 + i, 2 + r), testpic::ColourAt(img, 50 * i / 25, 30 * r / 15));
  EXPECT_EQ(canvas.GetPixel(2, 2), clWhite);
  deldib(&img);
}

TEST(DrawDIB, SourcePastTheRightEdgeNarrowsTheDestination) {
  RasterImage img = Numbered(100, 50);
  SoftwareCanvas canvas(130, 60);
  DrawDIB(canvas, 0, 0, 110, 50, img, 0, 0, 110, 50);  // 10 px past the right edge
  const Painted p = PaintedArea(canvas);
  EXPECT_EQ(p.right, 100);  // 110 * 100 / 110
  for (int32_t x = 0; x < 100; ++x) EXPECT_EQ(canvas.GetPixel(x, 7), uint32_t(x + 320 * 7));
  deldib(&img);
}

TEST(DrawDIB, ClippedSizesRoundHalvesToEven) {
  RasterImage img = Black(10, 10, 24);
  for (auto [destWidth, expected] : {std::pair{5, 2}, {7, 4}, {9, 4}, {11, 6}, {6, 3}}) {
    SoftwareCanvas canvas(40, 20);
    DrawDIB(canvas, 0, 0, destWidth, 10, img, 0, 0, 20, 10);  // half of the source exists
    EXPECT_EQ(PaintedArea(canvas).right, expected) << destWidth;
  }
  deldib(&img);
}

TEST(DrawDIB, ClippingAtEachEdgeMovesWhatRemains) {
  RasterImage img = Black(10, 10, 24);
  {  // left: half the source lies left of the picture, the drawing moves right
    SoftwareCanvas canvas(40, 40);
    DrawDIB(canvas, 0, 0, 20, 10, img, -10, 0, 20, 10);
    const Painted p = PaintedArea(canvas);
    EXPECT_EQ(p.left, 10);
    EXPECT_EQ(p.right, 20);
  }
  {  // top: the source reaches above the picture, the drawing moves down
    SoftwareCanvas canvas(40, 40);
    DrawDIB(canvas, 0, 0, 10, 20, img, 0, 0, 10, 20);
    const Painted p = PaintedArea(canvas);
    EXPECT_EQ(p.top, 10);
    EXPECT_EQ(p.bottom, 20);
  }
  {  // bottom: the source starts below the picture, the drawing stays at the top
    SoftwareCanvas canvas(40, 40);
    DrawDIB(canvas, 0, 0, 10, 20, img, 0, -10, 10, 20);
    const Painted p = PaintedArea(canvas);
    EXPECT_EQ(p.top, 0);
    EXPECT_EQ(p.bottom, 10);
  }
  {  // wholly outside, or empty: nothing
    SoftwareCanvas canvas(40, 40);
    DrawDIB(canvas, 0, 0, 10, 10, img, 10, 0, 10, 10);
    DrawDIB(canvas, 0, 0, 10, 10, img, 0, -10, 10, 10);
    DrawDIB(canvas, 0, 0, 10, 10, img, 0, 0, 0, 10);
    DrawDIB(canvas, 0, 0, 0, 10, img, 0, 0, 10, 10);
    EXPECT_EQ(PaintedArea(canvas).right, INT32_MIN);
  }
  deldib(&img);
}

TEST(DrawDIB, NullImageDrawsNothing) {
  RasterImage none{};
  SoftwareCanvas canvas(10, 10);
  DrawDIB(canvas, 0, 0, 10, 10, none, 0, 0, 10, 10);
  EXPECT_EQ(PaintedArea(canvas).right, INT32_MIN);
}

// A device that cannot stretch: DrawDIB then sets a scaled copy.
class NoStretchCanvas : public SoftwareCanvas {
 public:
  using SoftwareCanvas::SoftwareCanvas;
  bool StretchDIBits(int32_t, int32_t, int32_t, int32_t, const RasterImage&, int32_t, int32_t,
                     int32_t, int32_t) override {
    return false;
  }
};

TEST(DrawDIB, OtherDepthsStretchOrFallBackToAScaledCopy) {
  for (int32_t bits : {1, 4}) {
    RasterImage img = testpic::Make(bits, 31, 17, 2);
    SoftwareCanvas canvas(80, 40);
    NoStretchCanvas plain(80, 40);
    DrawDIB(canvas, 1, 1, 62, 34, img, 0, 0, 31, 17);
    DrawDIB(plain, 1, 1, 62, 34, img, 0, 0, 31, 17);
    for (int32_t r = 0; r < 34; ++r)
      for (int32_t i = 0; i < 62; ++i) {
        const TColor expected = testpic::ColourAt(img, i / 2, r / 2);
        ASSERT_EQ(canvas.GetPixel(1 + i, 1 + r), expected) << bits << ": " << i << "," << r;
        ASSERT_EQ(plain.GetPixel(1 + i, 1 + r), expected) << bits << ": " << i << "," << r;
      }
    deldib(&img);
  }
}

}  // namespace
