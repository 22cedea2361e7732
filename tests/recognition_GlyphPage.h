// Test helper: characters drawn with the program's fonts as the objects and line of a
// page, the way the object search and the line finding would hand them over.
#pragma once

#include <cstring>
#include <string>

#include "core/RasterImage.h"
#include "layout/LayoutTypes.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

namespace testpage {

// The ink box of the canvas area (x0, y0) ... (x1, y1) inclusive; false without ink.
inline bool InkBox(const SoftwareCanvas& canvas, Box* box) {
  Box b{canvas.Width(), canvas.Height(), -1, -1};
  for (int32_t y = 0; y < canvas.Height(); ++y)
    for (int32_t x = 0; x < canvas.Width(); ++x)
      if (canvas.GetPixel(x, y) == 0) {
        b.Left = std::min(b.Left, x);
        b.Top = std::min(b.Top, y);
        b.Right = std::max(b.Right, x);
        b.Bottom = std::max(b.Bottom, y);
      }
  *box = b;
  return b.Right >= 0;
}

// Draws ch with its cell at (0, 0) on a fresh canvas; the baseline is at font.Ascent().
inline SoftwareCanvas Draw(const PlatformFont& font, uint8_t ch) {
  const std::string text(1, char(ch));
  SoftwareCanvas canvas(font.TextWidth(text) + 8, font.TextHeight(text) + 4);
  canvas.brushStyle = BrushStyle::Clear;
  canvas.font = &font;
  canvas.TextOut(4, 0, text);
  return canvas;
}

// The object of one character drawn with its cell's top at page row `cellTop`: its image
// cut to the ink box (ink black, paper white, 24 bits) and its box in page coordinates.
// The caller owns the image.
inline PageObject MakeObject(const PlatformFont& font, uint8_t ch, int32_t pageLeft,
                             int32_t cellTop, int32_t line) {
  PageObject object;
  std::memset(&object, 0, sizeof object);
  SoftwareCanvas canvas = Draw(font, ch);
  Box ink;
  if (!InkBox(canvas, &ink)) return object;
  const int32_t w = ink.Right - ink.Left + 1, h = ink.Bottom - ink.Top + 1;
  newdib(&object.image, w, h, 24, nullptr, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t v = canvas.GetPixel(ink.Left + x, ink.Top + y) == 0 ? 0 : 255;
      uint8_t* p = DIBPixel24(object.image, x, y);
      p[0] = p[1] = p[2] = v;
    }
  object.box = {pageLeft, cellTop + ink.Top, pageLeft + w - 1, cellTop + ink.Bottom};
  object.unskewedBox = object.box;
  object.line = line;
  return object;
}

// A line whose levels come from the font's own letters, with the derived fields as the
// line finding computes them.
inline TextLine MakeLine(const PlatformFont& font, int32_t cellTop, int32_t number = 1) {
  Box d, x, g;
  InkBox(Draw(font, 'd'), &d);
  InkBox(Draw(font, 'x'), &x);
  InkBox(Draw(font, 'g'), &g);
  TextLine line;
  std::memset(&line, 0, sizeof line);
  line.number = number;
  line.top = cellTop + d.Top;
  line.bottom = cellTop + g.Bottom;
  line.baseline = cellTop + x.Bottom;
  line.xTop = cellTop + x.Top;
  line.maxHeight = line.bottom - line.top + 1;
  line.minHeight = x.Bottom - x.Top + 1;
  line.avgHeight = (line.maxHeight + line.minHeight) / 2;
  line.middle = line.top + (line.bottom - line.top) / 2;
  line.upperLevel = line.top + (line.xTop - line.top) / 4;
  line.xTopLimit = line.xTop - (line.xTop - line.top) / 8 - 1;
  line.descenderLevel = line.bottom - line.baseline > 2
                            ? line.baseline + (line.bottom - line.baseline) / 3
                            : line.bottom;
  line.xMiddle = line.xTop + (line.baseline - line.xTop) / 2;
  line.thirdHeight = line.avgHeight / 3;
  return line;
}

}  // namespace testpage
