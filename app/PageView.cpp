// Page view: the black/white page at zoom with the text lines, the objects of one line
// and the search area drawn over it, and the search area under the mouse.
//
// Zoom z (ZoomEd, %): a picture coordinate v shows at v * z / 100, a view coordinate u
// stands for u * 100 / z. Sizes and overlays truncate; viewArea and the mouse round
// halves to even.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/MainUnit.h"
#include "app/ViewArithmetic.h"
#include "core/DrawDIB.h"
#include "output/DoubtfulWords.h"

namespace {

constexpr int32_t kEdgeReach = 5;  // the mouse hits an edge nearer than this, in view pixels

int32_t Shown(int32_t v, int32_t zoom) {  // Trunc(z * v / 100)
  return int32_t(int64_t(zoom) * v / 100);
}

int32_t ShownRounded(int32_t v, int32_t zoom) {  // Round(z * v / 100)
  return int32_t(RoundDivHalfEven(int64_t(zoom) * v, 100));
}

int32_t PictureRounded(int32_t u, int32_t zoom) {  // Round(u / z * 100)
  return int32_t(RoundDivHalfEven(int64_t(u) * 100, zoom));
}

enum Edge { kLeft, kRight, kTop, kBottom };

}  // namespace

void TMainForm::PaintBox1Paint() {
  if (!bwImage.pixels) return;
  const int32_t z = settings.ZoomEd;
  const int32_t w = Shown(DIBWidth(bwImage), z), h = Shown(DIBHeight(bwImage), z);
  if (window.PaintBox1Width() != w || window.PaintBox1Height() != h) {
    // The resized box paints itself again.
    window.SetPaintBox1Size(w, h);
    return;
  }
  Canvas& canvas = window.PaintBox1Canvas();
  DrawDIB(canvas, 0, 0, w, h, bwImage, 0, 0, DIBWidth(bwImage), DIBHeight(bwImage), RasterOp::Copy);

  // The lists are read by index: a repaint in the middle of a run must not move their
  // cursors.
  canvas.brushStyle = BrushStyle::Clear;
  canvas.penStyle = PenStyle::Solid;
  for (int32_t i = 0; i < lines.Count; ++i) {
    const TextLine& line = *lines.At(i);
    canvas.penColor = line.invalid ? clYellow : clRed;
    canvas.Rectangle(Shown(line.left, z), Shown(line.top, z), Shown(line.right, z),
                     Shown(line.bottom, z));
  }

  canvas.brushStyle = BrushStyle::Solid;
  canvas.brushColor = clGreen;
  canvas.penColor = clRed;
  for (int32_t i = 0; i < objects.Count; ++i) {
    const PageObject& object = *objects.At(i);
    if (object.line != settings.lineed) continue;
    const Box& b = object.unskewedBox;
    canvas.Rectangle(Shown(b.Left, z), Shown(b.Top, z), Shown(b.Right, z), Shown(b.Bottom, z));
  }

  viewArea = {ShownRounded(searchArea.left, z), ShownRounded(searchArea.top, z),
              ShownRounded(searchArea.right, z) - 1, ShownRounded(searchArea.bottom, z) - 1};
  canvas.penColor = clBlack;
  canvas.penStyle = PenStyle::Dot;
  canvas.brushStyle = BrushStyle::Solid;
  canvas.brushColor = clWhite;
  canvas.MoveTo(viewArea.left, viewArea.top);
  canvas.LineTo(viewArea.right, viewArea.top);
  canvas.LineTo(viewArea.right, viewArea.bottom);
  canvas.LineTo(viewArea.left, viewArea.bottom);
  canvas.LineTo(viewArea.left, viewArea.top);
  canvas.penStyle = PenStyle::Solid;
  DrawMarkedWord(canvas);
}

void TMainForm::DrawMarkedWord(Canvas& canvas) {
  if (markedWord.Empty()) return;
  const int32_t z = settings.ZoomEd;
  canvas.brushStyle = BrushStyle::Clear;
  canvas.penStyle = PenStyle::Solid;
  canvas.penColor = clBlue;
  // Rectangle leaves out the right and bottom edges; the box is inclusive.
  canvas.Rectangle(Shown(markedWord.left, z), Shown(markedWord.top, z),
                   Shown(markedWord.right + 1, z), Shown(markedWord.bottom + 1, z));
}

void TMainForm::ShowOutputWord(int32_t line, int32_t column) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < window.OutputCount(); ++i) lines.push_back(window.OutputLine(i));
  const PagePart part = PartOfDocument(lines, line);
  // The form feed that begins a later page is no character of its words.
  if (part.index > 0 && line == part.firstLine) --column;
  const bool document = !readPages.empty();
  if (document && part.index >= int32_t(readPages.size())) return;
  if (!document && part.index > 0) return;
  const PageText& text = document ? readPages[size_t(part.index)].text : pageText;
  const PageWord* word = WordAt(part.lines, text, line - part.firstLine, column);
  if (!word || word->box.Empty()) return;
  const PageBox box = word->box;  // opening another page may replace pageText
  const int32_t page = document ? readPages[size_t(part.index)].page : pageIndex;
  if (page != pageIndex && (pictureName.empty() || !OpenPicPage(pictureName, page))) return;
  markedWord = box;
  const int32_t z = settings.ZoomEd;
  window.RepaintPaintBox1();
  window.ShowPageViewArea(Shown(box.left, z), Shown(box.top, z), Shown(box.right + 1, z),
                          Shown(box.bottom + 1, z));
}

void TMainForm::ZoomEdChange() {
  PaintBox1Paint();
}

void TMainForm::lineedChange() {
  window.RepaintPaintBox1();
}

void TMainForm::PaintBox1MouseDown(int32_t x, int32_t y) {
  if (overEdge) {
    // The edges found while hovering follow the mouse; capture keeps moves outside the
    // view arriving.
    dragging = 1;
    window.CaptureMouse(true);
    return;
  }
  if (x < 0 || x > window.PaintBox1Width() || y < 0 || y > window.PaintBox1Height()) return;
  dragging = 1;
  window.CaptureMouse(true);
  viewArea = {x, y, x, y};
  dragEdges = {false, true, false, true};
  const int32_t z = settings.ZoomEd;
  searchArea = {PictureRounded(viewArea.left, z), PictureRounded(viewArea.top, z),
                PictureRounded(viewArea.right, z), PictureRounded(viewArea.bottom, z)};
  PaintBox1Paint();
}

void TMainForm::PaintBox1MouseMove(int32_t x, int32_t y) {
  if (dragging == 0) {
    const PageBox a = viewArea;
    const bool left =
        std::abs(x - a.left) < kEdgeReach && x < a.right && a.top <= y && y <= a.bottom;
    const bool right =
        !left && std::abs(x - a.right) < kEdgeReach && x > a.left && a.top <= y && y <= a.bottom;
    const bool top =
        std::abs(y - a.top) < kEdgeReach && y < a.bottom && a.left <= x && x <= a.right;
    const bool bottom =
        !top && std::abs(y - a.bottom) < kEdgeReach && y > a.top && a.left <= x && x <= a.right;
    CursorKind cursor = CursorKind::Default;
    if ((left || right) && !(top || bottom)) cursor = CursorKind::SizeWE;
    if ((top || bottom) && !(left || right)) cursor = CursorKind::SizeNS;
    if ((left && top) || (right && bottom)) cursor = CursorKind::SizeNWSE;
    if ((right && top) || (left && bottom)) cursor = CursorKind::SizeNESW;
    setcursor(cursor);
    dragEdges = {left, right, top, bottom};
    overEdge = left || right || top || bottom;
    return;
  }

  if (dragEdges[kLeft]) viewArea.left = x;
  if (dragEdges[kRight]) viewArea.right = x;
  if (dragEdges[kTop]) viewArea.top = y;
  if (dragEdges[kBottom]) viewArea.bottom = y;
  // Every side stays within the view: an edge dragged across the opposite one and out of
  // the view would otherwise carry the area past the page after it turns over.
  const int32_t width = window.PaintBox1Width(), height = window.PaintBox1Height();
  viewArea.left = std::clamp(viewArea.left, 0, std::max(width, 0));
  viewArea.right = std::clamp(viewArea.right, 0, std::max(width, 0));
  viewArea.top = std::clamp(viewArea.top, 0, std::max(height, 0));
  viewArea.bottom = std::clamp(viewArea.bottom, 0, std::max(height, 0));

  const int32_t z = settings.ZoomEd;
  if (dragEdges[kLeft]) searchArea.left = PictureRounded(viewArea.left, z);
  if (dragEdges[kRight]) searchArea.right = PictureRounded(viewArea.right, z);
  if (dragEdges[kTop]) searchArea.top = PictureRounded(viewArea.top, z);
  if (dragEdges[kBottom]) searchArea.bottom = PictureRounded(viewArea.bottom, z);
  // Dragging an edge across the opposite one turns the area over instead of emptying it.
  if (searchArea.right < searchArea.left) {
    std::swap(searchArea.left, searchArea.right);
    std::swap(dragEdges[kLeft], dragEdges[kRight]);
  }
  if (searchArea.bottom < searchArea.top) {
    std::swap(searchArea.top, searchArea.bottom);
    std::swap(dragEdges[kTop], dragEdges[kBottom]);
  }
  PaintBox1Paint();
}

void TMainForm::PaintBox1MouseUp(int32_t, int32_t) {
  if (dragging != 1) return;
  window.CaptureMouse(false);
  dragging = 0;
}

void TMainForm::setcursor(CursorKind cursor) {
  if (cursor == pageViewCursor) return;
  pageViewCursor = cursor;
  window.SetPageViewCursor(cursor);
}
