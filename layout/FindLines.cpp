// Text line finding (findlinesoftext): chains the objects of the search into lines,
// measures the page's slant, leaves out the lines that disagree with it ("Exclude
// pictures"), corrects the boxes for skew, computes every line's levels and puts lines
// and objects in reading order. The algorithms are in LineFinding.h; this file gathers
// the boxes out of `objects`, calls them and writes the results back.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "app/MainUnit.h"
#include "layout/LineFinding.h"
#include "layout/RecordOrder.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

namespace {

std::vector<Box> ObjectBoxes(TDynaArray<PageObject>& objects) {
  std::vector<Box> boxes(static_cast<size_t>(objects.Count));
  for (int32_t i = 0; i < objects.Count; ++i) boxes[size_t(i)] = objects.At(i)->box;
  return boxes;
}

// The page's slant histogram for -20 ... +20 per mille as red bars, scaled to the best
// slant's count. Without a best slant (no pair off 0) there is nothing to scale to, and
// no bars are drawn.
void DrawSlantChart(Canvas& canvas, const SlantMeasure& slant) {
  if (slant.pageBestCount <= 0) return;
  canvas.penColor = clRed;
  canvas.penStyle = PenStyle::Solid;
  canvas.brushColor = clRed;
  canvas.brushStyle = BrushStyle::Solid;
  for (int32_t v = -20; v <= 20; ++v) {
    const int32_t count = slant.pageHistogram[size_t(v + kSlantRange)];
    // The pairs at slant 0 can outnumber the best many times over; the part of such a bar
    // above the box is not drawn.
    const double top = std::max(-1.0, 100.0 - 100.0 * double(count) / double(slant.pageBestCount));
    const int32_t x = 5 * (v + 20);
    canvas.Rectangle(x, 100, x + 9, int32_t(std::trunc(top)));
  }
}

}  // namespace

void TMainForm::SortObjectsByLeft() {
  std::vector<int32_t> lefts(static_cast<size_t>(objects.Count));
  for (int32_t i = 0; i < objects.Count; ++i) lefts[size_t(i)] = objects.At(i)->box.Left;
  // The quicksort runs on the Lefts alone; the records then move once into its order.
  ArrangeRecords(objects, SortOrderByLeft(std::move(lefts)));
}

void TMainForm::findlinesoftext() {
  Log("Search lines...");
  if (objects.Count == 0) return;

  // 1. - 2.
  SortObjectsByLeft();
  std::vector<Box> boxes = ObjectBoxes(objects);
  std::vector<int32_t> lineOf;
  int32_t lineCount = GroupLines(boxes, lineOf);

  // 3. Slant of every line and of the page; temporary record k - 1 belongs to line k.
  const SlantMeasure slant = MeasureSlant(boxes, lineOf, lineCount);
  for (int32_t k = 1; k <= lineCount; ++k) {
    TextLine* temporary = lines.Add();
    temporary->number = k;
    temporary->slope = slant.lineSlope[size_t(k - 1)];
  }

  // 4.
  DrawSlantChart(window.PaintBox2Canvas(), slant);

  // 5. Lines whose slant disagrees with the page's are pictures (or their debris).
  if (settings.BildFilterCheck) {
    const double tolerance = PictureTolerance(settings.TrackBar1);
    // removedBefore[k]: invalid lines among 1 ... k - 1, the amount line k moves up by.
    std::vector<int32_t> removedBefore(size_t(lineCount) + 1, 0);
    int32_t invalidCount = 0;
    for (int32_t t = 0; t < lineCount; ++t) {
      TextLine* temporary = lines.At(t);
      temporary->invalid = std::fabs(temporary->slope - slant.pageSlope) > tolerance ? 1 : 0;
      removedBefore[size_t(t) + 1] = invalidCount;
      invalidCount += temporary->invalid;
    }
    std::vector<int32_t> keep;
    keep.reserve(size_t(objects.Count));
    std::vector<Box> keptBoxes;
    std::vector<int32_t> keptLines;
    for (int32_t i = 0; i < objects.Count; ++i) {
      const int32_t k = lineOf[size_t(i)];
      if (lines.At(k - 1)->invalid) {
        ReleasePageObject(*objects.At(i));
        continue;
      }
      keep.push_back(i);
      keptBoxes.push_back(boxes[size_t(i)]);
      keptLines.push_back(k - removedBefore[size_t(k)]);
    }
    ArrangeRecords(objects, keep);
    boxes = std::move(keptBoxes);
    lineOf = std::move(keptLines);
    lineCount -= invalidCount;
    Log(std::to_string(invalidCount) +
        " lines marked as invalid. Remaining: " + std::to_string(lineCount) + " Lines");
  }

  // 6.
  for (int32_t i = 0; i < lines.Count; ++i) ReleaseTextLine(*lines.At(i));
  lines.Clear();
  correctionAngle = CorrectionAngle(slant.pageSlope);
  Log(CorrectionAngleLogLine(correctionAngle));

  // 7. Skew correction; the boxes as found stay in unskewedBox.
  CorrectSkew(boxes, lineOf, lineCount, slant.pageSlope);
  for (int32_t i = 0; i < objects.Count; ++i) {
    PageObject* object = objects.At(i);
    object->unskewedBox = object->box;
    object->box = boxes[size_t(i)];
    object->line = lineOf[size_t(i)];
  }

  // 8. One record per line, from the corrected boxes of its objects in list order.
  std::vector<std::vector<Box>> members(static_cast<size_t>(lineCount));
  for (size_t i = 0; i < boxes.size(); ++i) members[size_t(lineOf[i] - 1)].push_back(boxes[i]);
  std::vector<TextLine> records;
  records.reserve(size_t(lineCount));
  for (int32_t k = 1; k <= lineCount; ++k)
    records.push_back(MakeTextLine(k, members[size_t(k - 1)], bottomCounts, topCounts));
  members.clear();

  // 9.
  SortLinesReadingOrder(records);
  for (const TextLine& record : records) *lines.Add() = record;

  // 10. Line boxes with their labels "number;position" on the page view, until its next
  // repaint.
  Canvas& view = window.PaintBox1Canvas();
  auto* softwareView = dynamic_cast<SoftwareCanvas*>(&view);
  std::unique_ptr<PlatformFont> labelFont;
  const PlatformFont* previousFont = softwareView ? softwareView->font : nullptr;
  const TColor previousFontColor = softwareView ? softwareView->fontColor : clBlack;
  if (softwareView) {
    LogFont description;
    description.height = -11;
    description.faceName = "Arial";
    labelFont.reset(PlatformFont::Create(description));
    softwareView->font = labelFont.get();  // may be null: labels are then left out
    softwareView->fontColor = clBlue;
  }
  view.brushStyle = BrushStyle::Clear;
  view.penColor = clRed;
  view.penStyle = PenStyle::Solid;
  const int64_t zoom = settings.ZoomEd;
  auto scaled = [zoom](int32_t v) { return int32_t(int64_t(v) * zoom / 100); };
  for (int32_t p = 0; p < lines.Count; ++p) {
    const TextLine* line = lines.At(p);
    view.Rectangle(scaled(line->left), scaled(line->top), scaled(line->right),
                   scaled(line->bottom));
    if (!softwareView || softwareView->font)
      view.TextOut(scaled(line->left), scaled(line->top),
                   std::to_string(line->number) + ";" + std::to_string(p + 1));
  }
  if (softwareView) {
    softwareView->font = previousFont;
    softwareView->fontColor = previousFontColor;
  }

  // 11. Objects refer to their line by its place in the sorted `lines`.
  std::vector<int32_t> position(size_t(lineCount) + 1, 0);
  for (int32_t p = 0; p < lines.Count; ++p) position[size_t(lines.At(p)->number)] = p + 1;
  for (int32_t i = 0; i < objects.Count; ++i) {
    PageObject* object = objects.At(i);
    object->line = position[size_t(object->line)];
  }

  // 12. Objects in reading order: line by line, by Left within a line.
  Log("Sorting...");
  SortObjectsByLeft();
  std::vector<std::vector<int32_t>> byLine(size_t(lineCount) + 1);
  for (int32_t i = 0; i < objects.Count; ++i) byLine[size_t(objects.At(i)->line)].push_back(i);
  std::vector<int32_t> order;
  order.reserve(size_t(objects.Count));
  for (int32_t p = 1; p <= lineCount; ++p)
    order.insert(order.end(), byLine[size_t(p)].begin(), byLine[size_t(p)].end());
  ArrangeRecords(objects, order);
}
