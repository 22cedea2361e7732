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
#include "app/classic/RecordOrder.h"
#include "layout/LineFinding.h"
#include "platform/Fonts.h"

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

// The temporary line records: record k - 1 holds line k with its slope.
void AddTemporaryLines(TMainForm& form, const SlantMeasure& slant, int32_t lineCount) {
  for (int32_t k = 1; k <= lineCount; ++k) {
    TextLine* temporary = form.lines.Add();
    temporary->number = k;
    temporary->slope = slant.lineSlope[size_t(k - 1)];
  }
}

// Lines whose slant disagrees with the page's are pictures (or their debris): their
// objects go, and the lines after them move up. Returns the number of lines left.
int32_t ExcludePictureLines(TMainForm& form, const SlantMeasure& slant, std::vector<Box>& boxes,
                            std::vector<int32_t>& lineOf, int32_t lineCount) {
  const double tolerance = PictureTolerance(form.settings.TrackBar1);
  // removedBefore[k]: invalid lines among 1 ... k - 1, the amount line k moves up by.
  std::vector<int32_t> removedBefore(size_t(lineCount) + 1, 0);
  int32_t invalidCount = 0;
  for (int32_t t = 0; t < lineCount; ++t) {
    TextLine* temporary = form.lines.At(t);
    temporary->invalid = std::fabs(temporary->slope - slant.pageSlope) > tolerance ? 1 : 0;
    removedBefore[size_t(t) + 1] = invalidCount;
    invalidCount += temporary->invalid;
  }
  std::vector<int32_t> keep;
  keep.reserve(size_t(form.objects.Count));
  std::vector<Box> keptBoxes;
  std::vector<int32_t> keptLines;
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    const int32_t k = lineOf[size_t(i)];
    if (form.lines.At(k - 1)->invalid) {
      ReleasePageObject(*form.objects.At(i));
      continue;
    }
    keep.push_back(i);
    keptBoxes.push_back(boxes[size_t(i)]);
    keptLines.push_back(k - removedBefore[size_t(k)]);
  }
  ArrangeRecords(form.objects, keep);
  boxes = std::move(keptBoxes);
  lineOf = std::move(keptLines);
  lineCount -= invalidCount;
  form.Log(std::to_string(invalidCount) +
           " lines marked as invalid. Remaining: " + std::to_string(lineCount) + " Lines");
  return lineCount;
}

// The corrected boxes go to the objects; the boxes as found stay in unskewedBox.
void StoreCorrectedBoxes(TMainForm& form, const std::vector<Box>& boxes,
                         const std::vector<int32_t>& lineOf) {
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    PageObject* object = form.objects.At(i);
    object->unskewedBox = object->box;
    object->box = boxes[size_t(i)];
    object->line = lineOf[size_t(i)];
  }
}

// One record per line, from the corrected boxes of its objects in list order, put into
// `lines` in reading order.
void MakeLineRecords(TMainForm& form, const std::vector<Box>& boxes,
                     const std::vector<int32_t>& lineOf, int32_t lineCount) {
  std::vector<std::vector<Box>> members(static_cast<size_t>(lineCount));
  for (size_t i = 0; i < boxes.size(); ++i) members[size_t(lineOf[i] - 1)].push_back(boxes[i]);
  std::vector<TextLine> records;
  records.reserve(size_t(lineCount));
  for (int32_t k = 1; k <= lineCount; ++k)
    records.push_back(MakeTextLine(k, members[size_t(k - 1)], form.bottomCounts, form.topCounts));
  members.clear();
  SortLinesReadingOrder(records);
  for (const TextLine& record : records) *form.lines.Add() = record;
}

// Line boxes with their labels "number;position" on the page view, until its next
// repaint.
void DrawLineBoxes(TMainForm& form) {
  Canvas& view = form.window.PaintBox1Canvas();
  LogFont description;
  description.height = -11;
  description.faceName = "Arial";
  const std::unique_ptr<PlatformFont> labelFont(PlatformFont::Create(description));
  const PlatformFont* previousFont = view.font;
  const TColor previousFontColor = view.fontColor;
  view.font = labelFont.get();  // may be null: labels are then left out
  view.fontColor = clBlue;
  view.brushStyle = BrushStyle::Clear;
  view.penColor = clRed;
  view.penStyle = PenStyle::Solid;
  const int64_t zoom = form.settings.ZoomEd;
  auto scaled = [zoom](int32_t v) { return int32_t(int64_t(v) * zoom / 100); };
  for (int32_t p = 0; p < form.lines.Count; ++p) {
    const TextLine* line = form.lines.At(p);
    view.Rectangle(scaled(line->left), scaled(line->top), scaled(line->right),
                   scaled(line->bottom));
    if (view.font)
      view.TextOut(scaled(line->left), scaled(line->top),
                   std::to_string(line->number) + ";" + std::to_string(p + 1));
  }
  view.font = previousFont;
  view.fontColor = previousFontColor;
}

// Objects refer to their line by its place in the sorted `lines`.
void NumberObjectsByLinePosition(TMainForm& form, int32_t lineCount) {
  std::vector<int32_t> position(size_t(lineCount) + 1, 0);
  for (int32_t p = 0; p < form.lines.Count; ++p) position[size_t(form.lines.At(p)->number)] = p + 1;
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    PageObject* object = form.objects.At(i);
    object->line = position[size_t(object->line)];
  }
}

// Objects in reading order: line by line, by Left within a line.
void SortObjectsReadingOrder(TMainForm& form, int32_t lineCount) {
  form.Log("Sorting...");
  form.SortObjectsByLeft();
  std::vector<std::vector<int32_t>> byLine(size_t(lineCount) + 1);
  for (int32_t i = 0; i < form.objects.Count; ++i)
    byLine[size_t(form.objects.At(i)->line)].push_back(i);
  std::vector<int32_t> order;
  order.reserve(size_t(form.objects.Count));
  for (int32_t p = 1; p <= lineCount; ++p)
    order.insert(order.end(), byLine[size_t(p)].begin(), byLine[size_t(p)].end());
  ArrangeRecords(form.objects, order);
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

  SortObjectsByLeft();
  std::vector<Box> boxes = ObjectBoxes(objects);
  std::vector<int32_t> lineOf;
  int32_t lineCount = GroupLines(boxes, lineOf);
  const SlantMeasure slant = MeasureSlant(boxes, lineOf, lineCount);
  AddTemporaryLines(*this, slant, lineCount);
  DrawSlantChart(window.PaintBox2Canvas(), slant);
  if (settings.BildFilterCheck)
    lineCount = ExcludePictureLines(*this, slant, boxes, lineOf, lineCount);

  ClearLines();
  correctionAngle = CorrectionAngle(slant.pageSlope);
  Log(CorrectionAngleLogLine(correctionAngle));
  CorrectSkew(boxes, lineOf, lineCount, slant.pageSlope);
  StoreCorrectedBoxes(*this, boxes, lineOf);
  MakeLineRecords(*this, boxes, lineOf, lineCount);
  DrawLineBoxes(*this);
  NumberObjectsByLinePosition(*this, lineCount);
  SortObjectsReadingOrder(*this, lineCount);
}
