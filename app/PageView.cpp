// Page view: drawing the black/white page with its overlays, and the search area under
// the mouse. (Being built.)
#include "app/MainUnit.h"

void TMainForm::PaintBox1Paint() {}
void TMainForm::ZoomEdChange() {
  PaintBox1Paint();
}
void TMainForm::lineedChange() {
  window.RepaintPaintBox1();
}
void TMainForm::PaintBox1MouseDown(int32_t, int32_t) {}
void TMainForm::PaintBox1MouseMove(int32_t, int32_t) {}
void TMainForm::PaintBox1MouseUp(int32_t, int32_t) {}
void TMainForm::setcursor(CursorKind cursor) {
  if (cursor == pageViewCursor) return;
  pageViewCursor = cursor;
  window.SetPageViewCursor(cursor);
}
