// The page view in the window: the black/white page at the zoom, the search area under
// the mouse with its cursors, and drawing that lasts until the next repaint.
#include <QMouseEvent>
#include <QScrollArea>
#include <QSpinBox>

#include "gui_TestWindow.h"

namespace {

class PageViewTest : public WindowTest {
 protected:
  void Mouse(QEvent::Type type, int x, int y) {
    const QPointF local(x, y);
    const QPointF global = window->PaintBox1->mapToGlobal(local);
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease || !pressed_ ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(
        type, local, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
        type == QEvent::MouseButtonPress ? Qt::MouseButtons(Qt::LeftButton) : held, Qt::NoModifier);
    if (type == QEvent::MouseButtonPress) pressed_ = true;
    if (type == QEvent::MouseButtonRelease) pressed_ = false;
    QApplication::sendEvent(window->PaintBox1, &event);
  }
  void Press(int x, int y) { Mouse(QEvent::MouseButtonPress, x, y); }
  void Move(int x, int y) { Mouse(QEvent::MouseMove, x, y); }
  void Release(int x, int y) { Mouse(QEvent::MouseButtonRelease, x, y); }

  QImage View() {
    Settle(20);
    return window->PaintBox1->grab().toImage();
  }

  // The page logic is someone else's; without it these checks say so rather than fail.
  bool PageViewDraws() {
    // The blank start page is white; its search area is outlined along the top row.
    const QImage view = View();
    for (int x = 0; x < view.width(); ++x)
      if (view.pixelColor(x, 0) != QColor(Qt::white)) return true;
    return false;
  }

  bool pressed_ = false;
};

TEST_F(PageViewTest, OpenedPictureShowsAtTheZoom) {
  StartWindow();
  // 400 x 300 with a black block at 100...199 x 50...149.
  ASSERT_TRUE(form->OpenPic(DrawBoxes("block.png", 400, 300, {QRect(100, 50, 100, 100)})));
  const QImage view = View();
  if (window->PaintBox1->width() == 96) GTEST_SKIP() << "the page view logic does not draw yet";
  EXPECT_EQ(window->PaintBox1->width(), 120);
  EXPECT_EQ(window->PaintBox1->height(), 90);
  EXPECT_EQ(window->PaintBox1Width(), 120);
  ASSERT_EQ(view.width(), 120);
  EXPECT_EQ(view.pixelColor(45, 30), QColor(Qt::black));  // (150, 100) on the page
  EXPECT_EQ(view.pixelColor(20, 60), QColor(Qt::white));  // (66, 200): paper
  EXPECT_EQ(view.pixelColor(65, 30), QColor(Qt::white));  // (216, 100): paper
  // The search area of a new picture is the whole picture, outlined at the view's edge.
  EXPECT_EQ(form->viewArea.right, 119);
  EXPECT_EQ(form->viewArea.bottom, 89);
}

TEST_F(PageViewTest, DraggingUpAndLeftTurnsTheAreaOver) {
  StartWindow();  // the blank 320 x 200 page: 96 x 60 at 30 %
  if (!PageViewDraws()) GTEST_SKIP() << "the page view logic does not draw yet";
  Press(50, 40);
  EXPECT_TRUE(window->Busy() == false);
  Move(20, 10);
  // Right and bottom passed the start point: the sides were exchanged.
  EXPECT_EQ(form->searchArea.left, 67);  // Round(20 / 30 * 100)
  EXPECT_EQ(form->searchArea.top, 33);
  EXPECT_EQ(form->searchArea.right, 167);  // Round(50 / 30 * 100)
  EXPECT_EQ(form->searchArea.bottom, 133);
  Move(10, 5);  // now left and top follow the mouse
  EXPECT_EQ(form->searchArea.left, 33);
  EXPECT_EQ(form->searchArea.top, 17);
  EXPECT_EQ(form->searchArea.right, 167);
  Move(-40, -40);  // beyond the box: kept inside it
  EXPECT_EQ(form->searchArea.left, 0);
  EXPECT_EQ(form->searchArea.top, 0);
  Release(-40, -40);
  EXPECT_EQ(form->dragging, 0u);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  // The outline is drawn where the area now is.
  const QImage view = View();
  EXPECT_EQ(form->viewArea.right, 49);  // Round(0.3 * 167) - 1
  int outlined = 0;
  for (int y = 0; y < 40; ++y) outlined += view.pixelColor(49, y) != QColor(Qt::white);
  EXPECT_GT(outlined, 0);
}

TEST_F(PageViewTest, PressNearACornerMovesTwoEdgesWithTheDiagonalCursor) {
  StartWindow();
  if (!PageViewDraws()) GTEST_SKIP() << "the page view logic does not draw yet";
  Move(2, 2);  // hovering near the top-left corner of the outline (0, 0, 95, 59)
  EXPECT_EQ(window->PaintBox1->cursor().shape(), Qt::SizeFDiagCursor);
  Press(2, 2);
  EXPECT_EQ(form->dragging, 1u);
  Move(30, 21);
  Release(30, 21);
  EXPECT_EQ(form->searchArea.left, 100);
  EXPECT_EQ(form->searchArea.top, 70);
  EXPECT_EQ(form->searchArea.right, 319);  // the other edges stay
  EXPECT_EQ(form->searchArea.bottom, 199);

  Move(94, 40);  // the right edge alone
  EXPECT_EQ(window->PaintBox1->cursor().shape(), Qt::SizeHorCursor);
  Move(94, 21);  // the top-right corner of the new outline (30, 21, 95, 59)
  EXPECT_EQ(window->PaintBox1->cursor().shape(), Qt::SizeBDiagCursor);
  Move(60, 40);  // inside, away from the edges
  EXPECT_EQ(window->PaintBox1->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PageViewTest, ZoomChangeResizesTheViewAndKeepsTheAreaInPicturePixels) {
  StartWindow();
  if (!PageViewDraws()) GTEST_SKIP() << "the page view logic does not draw yet";
  Press(30, 15);
  Move(60, 45);
  Release(60, 45);
  const PageBox area = form->searchArea;
  window->ZoomEd->setValue(60);
  EXPECT_EQ(form->settings.ZoomEd, 60);
  View();
  EXPECT_EQ(window->PaintBox1->width(), 192);
  EXPECT_EQ(window->PaintBox1->height(), 120);
  EXPECT_EQ(window->ScrollBox1->widget(), window->PaintBox1);
  EXPECT_EQ(form->searchArea.left, area.left);
  EXPECT_EQ(form->searchArea.top, area.top);
  EXPECT_EQ(form->searchArea.right, area.right);
  EXPECT_EQ(form->searchArea.bottom, area.bottom);
  EXPECT_EQ(form->viewArea.left, 60);
  EXPECT_EQ(form->viewArea.right, 119);
}

TEST_F(PageViewTest, DrawingBetweenRepaintsStaysUntilTheNextRepaint) {
  StartWindow();
  if (!PageViewDraws()) GTEST_SKIP() << "the page view logic does not draw yet";
  // What a recognition run draws while it works: a red box, outside any repaint.
  Canvas& canvas = window->PaintBox1Canvas();
  canvas.brushStyle = BrushStyle::Solid;
  canvas.brushColor = clRed;
  canvas.penColor = clRed;
  canvas.Rectangle(40, 20, 50, 30);
  window->PaintBox1->update();  // an exposure, not a repaint request
  EXPECT_EQ(View().pixelColor(45, 25), QColor(Qt::red));
  window->RepaintPaintBox1();
  EXPECT_EQ(View().pixelColor(45, 25), QColor(Qt::white));
}

TEST_F(PageViewTest, ViewTooLargeForMemoryIsRefusedWithAMessage) {
  StartWindow();
  // 8000 x 8000 at 300 % would need 576 million view pixels (2.3 GB).
  QImage page(8000, 8000, QImage::Format_Mono);
  page.fill(1);
  const QString name = directory.filePath("huge.png");
  ASSERT_TRUE(page.save(name));
  ASSERT_TRUE(form->OpenPic(name.toStdString()));
  View();
  if (window->PaintBox1->width() != 2400) GTEST_SKIP() << "the page view logic does not draw yet";
  window->ZoomEd->setValue(300);
  Settle(200);
  ASSERT_EQ(strayMessages.size(), 1u);
  EXPECT_NE(strayMessages[0].find("not enough memory"), std::string::npos);
  EXPECT_EQ(window->PaintBox1->width(), 2400);  // the view as it was
  window->ZoomEd->setValue(50);                 // a size that fits works again
  View();
  EXPECT_EQ(window->PaintBox1->width(), 4000);
}

}  // namespace
