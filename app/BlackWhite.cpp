// Black/white conversion and the brightness histogram: ToBlackWhiteBtnClick makes
// bwImage from picture by the threshold rule of app/Threshold.h; PaintBox2Paint draws
// the histogram.
#include <algorithm>

#include "app/MainUnit.h"
#include "app/Threshold.h"

namespace {
// Written into the histogram at the lower edge of the paper band, so that the
// histogram box shows a line taller than the box.
constexpr int32_t kHistogramMarker = 200090;
}  // namespace

void TMainForm::ToBlackWhiteBtnClick() {
  HistogramOfPicture(picture, &histogram);
  const ThresholdResult threshold = ThresholdOfHistogram(histogram, settings.SchwellEd, &peakTable);
  histogramMax = threshold.histogramMax;
  Log("Histogram broder away from maximum:" + std::to_string(threshold.separation));
  const int32_t markerLevel = threshold.paperLevel - threshold.separation;
  if (markerLevel >= 0 && markerLevel <= 255) histogram[markerLevel] = kHistogramMarker;

  // Every pixel is written below, so a page of the same size is written over in place:
  // "Render again" and pages of equal size skip the allocation and its fresh pages.
  const bool reuse = bwImage.pixels && DIBBitCount(bwImage) == 24 &&
                     DIBWidth(bwImage) == DIBWidth(picture) &&
                     DIBHeight(bwImage) == DIBHeight(picture);
  if (!reuse) {
    deldib(&bwImage);
    newdib(&bwImage, DIBWidth(picture), DIBHeight(picture), 24, nullptr, 0);
  }
  if (bwImage.pixels)
    RenderBlackWhite(picture, BlackWhiteTable(threshold.paperLevel, threshold.separation),
                     &bwImage);

  // Both boxes paint themselves from the new state (PaintBox1Paint, PaintBox2Paint).
  window.RepaintPaintBox1();
  window.RepaintPaintBox2();
}

void TMainForm::RenderBlackWhiteBtnClick() {
  ToBlackWhiteBtnClick();
}

void TMainForm::PaintBox2Paint() {
  Canvas& canvas = window.PaintBox2Canvas();
  canvas.brushStyle = BrushStyle::Solid;
  canvas.brushColor = clWhite;
  canvas.FillRect(0, 0, canvas.Width(), canvas.Height());
  canvas.penStyle = PenStyle::Solid;
  canvas.penColor = clRed;
  for (int32_t i = 0; i < 256; ++i) {
    // The marker and large pages make the product exceed 32 bits.
    const int64_t height = int64_t(histogram[i]) * 256 / (int64_t(histogramMax) + 1);
    // The line ends above the box at most one row past its top: a line drawn on towards
    // the marker's far end would look the same and cost millions of steps.
    canvas.MoveTo(i, 256);
    canvas.LineTo(i, int32_t(std::max<int64_t>(256 - height, -1)));
  }
}
