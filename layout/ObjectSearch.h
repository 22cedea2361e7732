// The algorithms of the object search, as plain functions over raster images:
// DuplicateImage (a page copy), MakeSearchMap (the visited map of a search), FillObject
// (4-connected span fill with an explicit work list), CutOutObject (an object's own image)
// and IsRoundDot (the dot test). The main window's object search strings them together
// (app/classic/FindChars.cpp).
//
// The search never writes the page. It keeps its marks in a map of one byte per page
// pixel (an 8-bit image of the page's size, rows bottom-up like the page's):
//   0   ink not yet visited
//   128 ink visited by the fill (the object being collected, or a speck too small to keep)
//   255 white, or ink of an object already cut out
#pragma once

#include <cstdint>
#include <vector>

#include "core/RasterImage.h"

constexpr uint8_t kInkUnvisited = 0;
constexpr uint8_t kInkVisited = 128;
constexpr uint8_t kPaperOrTaken = 255;

// The image factory of the search, newdib's signature. The handler holds one so that a
// failed allocation can be staged; newdib is the one used in the program.
using ImageMaker = void (*)(RasterImage* out, int32_t width, int32_t height, int32_t bitsPerPixel,
                            const uint8_t* colorSource, int32_t colorCount);

// A new image with the size, depth, colour table and pixel bytes of `source`. A source
// without pixels, or a failed allocation, gives an image with null `pixels`.
RasterImage DuplicateImage(const RasterImage& source, ImageMaker make = newdib);

// The visited map of a search over the 24-bit `page`: an 8-bit image of the page's size
// holding kInkUnvisited where the pixel is ink (all three bytes 0) and kPaperOrTaken
// everywhere else. A page without pixels, or a failed allocation, gives null `pixels`.
RasterImage MakeSearchMap(const RasterImage& page, ImageMaker make = newdib);

// What the fill gathers of one object: its bounding box (page coordinates, inclusive) and
// counts of its ink from which the width of its strokes can be told.
struct FillBounds {
  int32_t minX, minY, maxX, maxY;
  int64_t ink = 0;         // pixels
  int64_t rowRuns = 0;     // horizontal runs of ink (the spans)
  int64_t columnRuns = 0;  // vertical runs of ink
};

// One pending span seed of the fill.
struct FillSeed {
  int32_t x, y;
};

// Called once per span the fill walks (the window lets its pending events run there).
struct SpanListener {
  virtual void Span() = 0;

 protected:
  ~SpanListener() = default;
};

// Marks the 4-connected component of unvisited ink of the search map `map` (kInkUnvisited
// bytes) that contains page pixel (x, y), y counted from the top: each of its bytes becomes
// kInkVisited, `bounds` is widened to include it and its counts grow. The page edges bound the
// fill, nothing else. `work` is the explicit work list (its contents are discarded; passing the
// same vector again avoids reallocations), so a page-sized object needs no call-stack depth. When
// (x, y) is not ink, nothing is marked. `listener` may be null.
void FillObject(RasterImage& map, int32_t x, int32_t y, FillBounds& bounds,
                std::vector<FillSeed>& work, SpanListener* listener);

// A drawing rather than a glyph: both sides of the box at least kDrawingMinSide pixels and
// the larger side more than kDrawingStrokeRatio times the mean width of its strokes
// (ink / (rowRuns + columnRuns), which sits between 0.7 and 1 times the true width). The
// letters of any text face have strokes of a tenth to a twenty-fifth of their size; the
// lines of a spiral, a chart, a frame or a large circle are far thinner than that, and the
// 17 x 17 sampling of the classification could not see them anyway.
constexpr int32_t kDrawingMinSide = 64;
constexpr int32_t kDrawingStrokeRatio = 40;
bool IsDrawing(const FillBounds& bounds);

// Takes the object whose box is `bounds` out of the search map without cutting out its
// image: the map bytes holding kInkVisited within the box become kPaperOrTaken, exactly
// as CutOutObject leaves them.
void TakeObjectMarks(RasterImage& map, const FillBounds& bounds);

// Cuts the object whose box is `bounds` out of the search map: a new 24-bit image of the
// box's size whose pixels are black where the map holds kInkVisited and white elsewhere;
// those map bytes become kPaperOrTaken. Returns false (map untouched, `image` null) when
// the image cannot be made.
bool CutOutObject(RasterImage& map, const FillBounds& bounds, RasterImage* image,
                  ImageMaker make = newdib);

// The dot test: a w x h 24-bit object image is a round dot when 0.5 <= w/h <= 1.5 and more
// than 90 % of the pixels within the radius (2 * min(w div 2, h div 2)) div 3 of the
// centre (w div 2, h div 2) are black (first byte 0). An image without pixels is no dot.
bool IsRoundDot(const RasterImage& image);

// Milliseconds from the tick count `start` to `now`. The counter is 32 bits wide and wraps
// after about 49 days; the difference taken modulo 2^32 stays right across the wrap.
inline uint32_t TicksBetween(uint32_t start, uint32_t now) {
  return now - start;
}
