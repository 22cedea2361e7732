#include "gui/PaintBoxWidget.h"

#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

PaintBoxWidget::PaintBoxWidget(int32_t width, int32_t height, QWidget* parent)
    : QWidget(parent), canvas(width, height) {
  setFixedSize(width, height);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);  // hovering moves decide the edge cursors
}

void PaintBoxWidget::RequestRepaint() {
  repaintPending_ = true;
  update();
}

void PaintBoxWidget::SetBoxSize(int32_t width, int32_t height) {
  width = std::max<int32_t>(width, 0);
  height = std::max<int32_t>(height, 0);
  canvas.SetSize(width, height);
  if (inPaint_) {
    // Geometry changes inside the widget's own paint event are unsafe; the buffer already
    // has the new size, which is all the logic reads.
    QTimer::singleShot(0, this, [this] { setFixedSize(canvas.Width(), canvas.Height()); });
  } else {
    setFixedSize(width, height);
  }
  RequestRepaint();
}

void PaintBoxWidget::paintEvent(QPaintEvent* event) {
  if (repaintPending_ && onPaint && !inPaint_) {
    repaintPending_ = false;
    inPaint_ = true;
    onPaint();
    inPaint_ = false;
  }
  QPainter painter(this);
  const QRect bufferRect(0, 0, canvas.Width(), canvas.Height());
  const QRect shown = event->rect() & bufferRect;
  if (!shown.isEmpty()) {
    const QImage image(reinterpret_cast<const uchar*>(canvas.Buffer().data()), canvas.Width(),
                       canvas.Height(), canvas.Width() * 4, QImage::Format_RGB32);
    painter.drawImage(shown, image, shown);
  }
  // Between a resize of the buffer and the widget following it.
  const QRegion rest = QRegion(event->rect()) - QRegion(bufferRect);
  for (const QRect& r : rest) painter.fillRect(r, palette().window());
}

namespace {
// Positions are whole pixels of the box; a move far outside still arrives while captured.
int32_t Pixel(double v) {
  return int32_t(std::floor(v));
}
}  // namespace

void PaintBoxWidget::mousePressEvent(QMouseEvent* event) {
  if (onMouseDown) onMouseDown(Pixel(event->position().x()), Pixel(event->position().y()));
}

void PaintBoxWidget::mouseMoveEvent(QMouseEvent* event) {
  if (onMouseMove) onMouseMove(Pixel(event->position().x()), Pixel(event->position().y()));
}

void PaintBoxWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (onMouseUp) onMouseUp(Pixel(event->position().x()), Pixel(event->position().y()));
}
