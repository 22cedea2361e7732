// PaintBoxWidget: a paint box of the window (the page view PaintBox1, the histogram box
// PaintBox2). The logic draws into the widget's SoftwareCanvas; the widget only shows that
// buffer. A paint event runs the logic's paint handler only when the logic asked for a
// repaint (or the box was resized); other paint events just show the buffer, so drawing
// that the logic does between two repaints (line boxes, the red boxes of the recognition
// run) stays visible until the next repaint.
#pragma once

#include <QWidget>
#include <functional>

#include "platform/SoftwareCanvas.h"

class PaintBoxWidget : public QWidget {
  Q_OBJECT

 public:
  PaintBoxWidget(int32_t width, int32_t height, QWidget* parent = nullptr);

  SoftwareCanvas canvas;

  // The logic's paint handler (PaintBox1Paint, PaintBox2Paint).
  std::function<void()> onPaint;
  // Mouse handlers, with the position in the box's pixels.
  std::function<void(int32_t, int32_t)> onMouseDown, onMouseMove, onMouseUp;

  // The logic asks for a repaint: the next paint event runs onPaint first.
  void RequestRepaint();
  // Resizes buffer and widget; the box then paints itself again.
  void SetBoxSize(int32_t width, int32_t height);
  // Shows the buffer as it is now (no logic paint).
  void ShowBuffer() { update(); }
  bool RepaintPending() const { return repaintPending_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool repaintPending_ = true;
  bool inPaint_ = false;
};
