// Page view: size at zoom, the overlays, and the search area under the mouse.
#include <gtest/gtest.h>

#include <cstring>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/ViewArithmetic.h"

namespace {

// A form showing a white 320 x 200 page at 30 %, painted once so that the view has its
// size and viewArea its value.
struct View {
  HeadlessWindow window;
  TMainForm form{window, "/x/quillon", {}};
  View() {
    newdib(&form.picture, 320, 200, 24, nullptr, 0);
    newdib(&form.bwImage, 320, 200, 24, nullptr, 0);
    std::memset(form.bwImage.pixels, 255, size_t(form.bwImage.stride) * 200);
    form.NewPicture();
    form.PaintBox1Paint();  // resizes
    form.PaintBox1Paint();  // draws
  }
  void Area(PageBox area) {
    form.searchArea = area;
    form.PaintBox1Paint();
  }
};

void ExpectRect(const PageBox& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

TEST(ViewArithmetic, HalvesRoundToEven) {
  EXPECT_EQ(RoundDivHalfEven(255, 2), 128);
  EXPECT_EQ(RoundDivHalfEven(5, 2), 2);
  EXPECT_EQ(RoundDivHalfEven(7, 2), 4);
  EXPECT_EQ(RoundDivHalfEven(-5, 2), -2);
  EXPECT_EQ(RoundDivHalfEven(-7, 2), -4);
  EXPECT_EQ(RoundDivHalfEven(200, 30), 7);  // 6.67
  EXPECT_EQ(RoundDivHalfEven(-1, 3), 0);
}

TEST(PageView, FirstPaintOnlyResizesThenOutlinesWholePage) {
  HeadlessWindow window;
  TMainForm form(window, "/x/quillon", {});
  newdib(&form.picture, 320, 200, 24, nullptr, 0);
  newdib(&form.bwImage, 320, 200, 24, nullptr, 0);
  std::memset(form.bwImage.pixels, 255, size_t(form.bwImage.stride) * 200);
  form.NewPicture();
  form.PaintBox1Paint();
  EXPECT_EQ(window.paintBox1.Width(), 96);
  EXPECT_EQ(window.paintBox1.Height(), 60);
  ExpectRect(form.viewArea, 0, 0, 0, 0);  // not drawn yet
  EXPECT_EQ(window.paintBox1.GetPixel(2, 0), clWhite);
  form.PaintBox1Paint();
  ExpectRect(form.viewArea, 0, 0, 95, 59);
  // The dotted outline: every other pixel of the top edge from (0, 0).
  EXPECT_EQ(window.paintBox1.GetPixel(0, 0), clBlack);
  EXPECT_EQ(window.paintBox1.GetPixel(2, 0), clBlack);
  EXPECT_EQ(window.paintBox1.GetPixel(1, 0), clWhite);
  EXPECT_EQ(form.window.PaintBox1Canvas().penStyle, PenStyle::Solid);
}

TEST(PageView, EmptyPageLeavesViewUntouched) {
  HeadlessWindow window;
  TMainForm form(window, "/x/quillon", {});
  window.paintBox1.SetSize(10, 10);
  window.paintBox1.SetPixel(3, 3, clRed);
  form.PaintBox1Paint();
  EXPECT_EQ(window.paintBox1.Width(), 10);
  EXPECT_EQ(window.paintBox1.GetPixel(3, 3), clRed);
}

TEST(PageView, PageSmallerThanOnePixelAtZoomIsSafe) {
  HeadlessWindow window;
  TMainForm form(window, "/x/quillon", {});
  newdib(&form.picture, 5, 3, 24, nullptr, 0);
  newdib(&form.bwImage, 5, 3, 24, nullptr, 0);
  form.NewPicture();
  form.settings.ZoomEd = 10;
  form.PaintBox1Paint();
  form.PaintBox1Paint();
  EXPECT_EQ(window.paintBox1.Width(), 0);
  ExpectRect(form.viewArea, 0, 0, -1, -1);
  form.PaintBox1MouseMove(0, 0);
  form.PaintBox1MouseDown(0, 0);
  form.PaintBox1MouseMove(3, 3);
  ExpectRect(form.searchArea, 0, 0, 0, 0);
}

TEST(PageView, ZoomChangeKeepsSearchAreaInPicturePixels) {
  View v;
  v.Area({100, 50, 199, 149});
  ExpectRect(v.form.viewArea, 30, 15, 59, 44);
  v.form.settings.ZoomEd = 60;
  v.form.ZoomEdChange();
  EXPECT_EQ(v.window.paintBox1.Width(), 192);
  v.form.PaintBox1Paint();
  ExpectRect(v.form.viewArea, 60, 30, 118, 88);  // 119.4 and 89.4 rounded, less 1
  ExpectRect(v.form.searchArea, 100, 50, 199, 149);
}

TEST(PageView, LineBoxesAndObjectsOfChosenLine) {
  View v;
  TextLine* good = v.form.lines.Add();
  *good = TextLine{};
  good->left = 10, good->top = 10, good->right = 100, good->bottom = 40;
  TextLine* bad = v.form.lines.Add();
  bad->left = 10, bad->top = 100, bad->right = 100, bad->bottom = 140, bad->invalid = 1;
  PageObject* object = v.form.objects.Add();
  object->unskewedBox = {200, 100, 260, 160};
  object->line = 2;
  v.form.settings.lineed = 2;
  v.form.PaintBox1Paint();
  const SoftwareCanvas& c = v.window.paintBox1;
  EXPECT_EQ(c.GetPixel(3, 3), clRed);      // (10, 10) at 30 %
  EXPECT_EQ(c.GetPixel(3, 30), clYellow);  // (10, 100)
  EXPECT_EQ(c.GetPixel(60, 30), clRed);    // object outline at (200, 100)
  EXPECT_EQ(c.GetPixel(70, 40), clGreen);  // its fill
  v.form.settings.lineed = 0;
  v.form.PaintBox1Paint();
  EXPECT_EQ(v.window.paintBox1.GetPixel(70, 40), clWhite) << "only the chosen line's objects";
}

TEST(PageView, DragUpAndLeftTurnsTheAreaOver) {
  View v;
  v.form.PaintBox1MouseMove(50, 40);  // hover away from the outline
  EXPECT_FALSE(v.form.overEdge);
  v.form.PaintBox1MouseDown(50, 40);
  EXPECT_EQ(v.form.dragging, 1u);
  EXPECT_TRUE(v.window.mouseCaptured);
  ExpectRect(v.form.searchArea, 167, 133, 167, 133);  // 166.67 and 133.33 rounded
  v.form.PaintBox1MouseMove(20, 10);
  // Right and bottom passed the start: exchanged, so the area lies up and left of it.
  ExpectRect(v.form.searchArea, 67, 33, 167, 133);
  EXPECT_TRUE(v.form.dragEdges[0]) << "left follows now";
  EXPECT_FALSE(v.form.dragEdges[1]);
  EXPECT_TRUE(v.form.dragEdges[2]) << "top follows now";
  EXPECT_FALSE(v.form.dragEdges[3]);
  v.form.PaintBox1MouseMove(10, 5);
  ExpectRect(v.form.searchArea, 33, 17, 167, 133);
  v.form.PaintBox1MouseUp(10, 5);
  EXPECT_EQ(v.form.dragging, 0u);
  EXPECT_FALSE(v.window.mouseCaptured);
}

TEST(PageView, HoverCursorsOnEdgesAndCorners) {
  View v;
  v.Area({100, 50, 199, 149});  // view (30, 15) - (59, 44)
  struct Case {
    int32_t x, y;
    CursorKind cursor;
  } cases[] = {
      {31, 30, CursorKind::SizeWE},   {58, 30, CursorKind::SizeWE},
      {45, 16, CursorKind::SizeNS},   {45, 43, CursorKind::SizeNS},
      {32, 17, CursorKind::SizeNWSE}, {57, 42, CursorKind::SizeNWSE},
      {57, 17, CursorKind::SizeNESW}, {32, 42, CursorKind::SizeNESW},
      {45, 30, CursorKind::Default},  {26, 30, CursorKind::SizeWE},
      {25, 30, CursorKind::Default},  {31, 50, CursorKind::Default},
  };
  for (const Case& c : cases) {
    v.form.PaintBox1MouseMove(c.x, c.y);
    EXPECT_EQ(v.window.cursor, c.cursor) << c.x << "," << c.y;
    EXPECT_EQ(v.form.overEdge, c.cursor != CursorKind::Default) << c.x << "," << c.y;
  }
}

TEST(PageView, EdgePressMovesOnlyThatEdge) {
  View v;
  v.Area({100, 50, 199, 149});
  v.form.PaintBox1MouseMove(32, 30);
  v.form.PaintBox1MouseDown(32, 30);
  v.form.PaintBox1MouseMove(12, 35);
  ExpectRect(v.form.searchArea, 40, 50, 199, 149);
}

TEST(PageView, CornerPressMovesBothEdgesWithDiagonalCursor) {
  View v;
  v.Area({100, 50, 199, 149});
  v.form.PaintBox1MouseMove(32, 17);
  EXPECT_EQ(v.window.cursor, CursorKind::SizeNWSE);
  v.form.PaintBox1MouseDown(32, 17);
  EXPECT_EQ(v.form.dragging, 1u);
  ExpectRect(v.form.searchArea, 100, 50, 199, 149);  // a press on an edge changes nothing yet
  v.form.PaintBox1MouseMove(20, 5);
  ExpectRect(v.form.searchArea, 67, 17, 199, 149);
  ExpectRect(v.form.viewArea, 20, 5, 59, 44);
}

TEST(PageView, DraggingBeyondTheViewIsClamped) {
  View v;
  v.form.PaintBox1MouseDown(50, 40);
  v.form.PaintBox1MouseMove(500, 400);
  ExpectRect(v.form.searchArea, 167, 133, 320, 200);  // view right 96, bottom 60
  v.form.PaintBox1MouseMove(-50, -70);
  // Right and bottom follow the mouse to 0 and turn over; nothing goes below 0.
  ExpectRect(v.form.searchArea, 0, 0, 167, 133);
}

TEST(PageView, PressOutsideTheViewDoesNothing) {
  View v;
  v.form.PaintBox1MouseMove(200, 200);
  v.form.PaintBox1MouseDown(200, 200);
  EXPECT_EQ(v.form.dragging, 0u);
  EXPECT_FALSE(v.window.mouseCaptured);
  ExpectRect(v.form.searchArea, 0, 0, 319, 199);
}

}  // namespace
