// DrawDIB: paints a source rectangle of an image, scaled by nearest neighbour, into a
// destination rectangle of a canvas. The source is first clipped to the image and the
// destination shrunk in the same proportion (rounded, halves to even), so that clipping
// never stretches what remains. 24- and 8-bit images go row by row through a one-row
// image; other depths through the canvas's StretchDIBits.
#include "core/DrawDIB.h"

#include <vector>

namespace {

// a / b rounded to the nearest integer, halves to the even one; a >= 0, b > 0.
int64_t RoundDiv(int64_t a, int64_t b) {
  const int64_t q = a / b, r = a % b;
  if (2 * r > b || (2 * r == b && (q & 1))) return q + 1;
  return q;
}

// Nearest-neighbour copy through a one-row image of the source's depth (24 or 8 bits),
// set to the canvas one destination row at a time. False when no row image could be made.
bool DrawRows(Canvas& canvas, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
              const RasterImage& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
              int32_t srcHeight) {
  const int32_t bits = DIBBitCount(image);
  RasterImage row;
  newdib(&row, destWidth, 1, bits, bits == 8 ? image.header : nullptr, bits == 8 ? 256 : 0);
  if (!row.pixels) return false;
  const int32_t bytes = bits / 8;
  std::vector<int64_t> columns(static_cast<size_t>(destWidth));
  for (int32_t i = 0; i < destWidth; ++i)
    columns[size_t(i)] = (srcX + int64_t(srcWidth) * i / destWidth) * bytes;
  int64_t previous = -1;
  for (int32_t r = 0; r < destHeight; ++r) {
    // Rows outside the canvas would set nothing.
    const int64_t deviceY = int64_t(destY) + r;
    if (deviceY < 0 || deviceY >= canvas.Height()) continue;
    const int64_t memoryRow = srcY + srcHeight - 1 - int64_t(srcHeight) * r / destHeight;
    if (memoryRow != previous) {
      const uint8_t* src = DIBRow(image, int32_t(memoryRow));
      uint8_t* dst = row.pixels;
      if (bytes == 3) {
        for (int32_t i = 0; i < destWidth; ++i, dst += 3) {
          const uint8_t* p = src + columns[size_t(i)];
          dst[0] = p[0], dst[1] = p[1], dst[2] = p[2];
        }
      } else {
        for (int32_t i = 0; i < destWidth; ++i) dst[i] = src[columns[size_t(i)]];
      }
      previous = memoryRow;
    }
    canvas.SetDIBitsToDevice(destX, int32_t(deviceY), row);
  }
  deldib(&row);
  return true;
}

// When the canvas cannot stretch: an image of the destination size, sampled from the
// source rectangle, set to the canvas unscaled.
void DrawScaledCopy(Canvas& canvas, int32_t destX, int32_t destY, int32_t destWidth,
                    int32_t destHeight, const RasterImage& image, int32_t srcX, int32_t srcY,
                    int32_t srcWidth, int32_t srcHeight) {
  const int64_t colors = DIBColorCount(image);
  RasterImage copy;
  newdib(&copy, destWidth, destHeight, DIBBitCount(image), image.header,
         colors <= 256 ? int32_t(colors) : 0);
  if (!copy.pixels) return;
  const int32_t height = DIBHeight(image);
  for (int32_t r = 0; r < destHeight; ++r) {
    const int64_t memoryRow = srcY + srcHeight - 1 - int64_t(srcHeight) * r / destHeight;
    const int32_t y = height - 1 - int32_t(memoryRow);
    for (int32_t i = 0; i < destWidth; ++i)
      setpixel(copy, i, r, getpixel(image, int32_t(srcX + int64_t(srcWidth) * i / destWidth), y));
  }
  canvas.SetDIBitsToDevice(destX, destY, copy);
  deldib(&copy);
}

}  // namespace

void DrawDIB(Canvas& canvas, int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
             const RasterImage& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
             int32_t srcHeight, RasterOp) {
  if (!image.pixels || !image.header) return;
  // Empty or mirrored rectangles draw nothing (and would divide by zero below).
  if (destWidth <= 0 || destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0) return;
  int64_t dx = destX, dy = destY, dw = destWidth, dh = destHeight;
  int64_t sx = srcX, sy = srcY, sw = srcWidth, sh = srcHeight;
  const int64_t width = DIBWidth(image), height = DIBHeight(image);

  // Clip the source to the image; the destination shrinks in proportion.
  if (width < sx + sw) {  // right edge
    const int64_t newWidth = width - sx;
    if (newWidth <= 0) return;
    dw = RoundDiv(dw * newWidth, sw);
    sw = newWidth;
  }
  if (sy < 0) {  // bottom edge
    if (sh + sy <= 0) return;
    dh = RoundDiv(dh * (sh + sy), sh);
    sh += sy;
    sy = 0;
  }
  if (height < sy + sh) {  // top edge
    const int64_t newHeight = height - sy;
    if (newHeight <= 0) return;
    const int64_t h = RoundDiv(dh * newHeight, sh);
    dy += dh - h;
    dh = h;
    sh = newHeight;
  }
  if (sx < 0) {  // left edge
    if (sx + sw <= 0) return;
    const int64_t w = RoundDiv(dw * (sx + sw), sw);
    dx += dw - w;
    dw = w;
    sw += sx;
    sx = 0;
  }
  if (dw <= 0 || dh <= 0 || dx > INT32_MAX || dy > INT32_MAX) return;

  const int32_t bits = DIBBitCount(image);
  if (!canvas.IsRasterPrinter() && (bits == 24 || bits == 8) &&
      DrawRows(canvas, int32_t(dx), int32_t(dy), int32_t(dw), int32_t(dh), image, int32_t(sx),
               int32_t(sy), int32_t(sw), int32_t(sh)))
    return;
  if (canvas.StretchDIBits(int32_t(dx), int32_t(dy), int32_t(dw), int32_t(dh), image, int32_t(sx),
                           int32_t(sy), int32_t(sw), int32_t(sh)))
    return;
  // A canvas over memory has no separate device bitmap to fall back on, so this copy is
  // the last resort; when even it cannot be made, nothing is drawn.
  DrawScaledCopy(canvas, int32_t(dx), int32_t(dy), int32_t(dw), int32_t(dh), image, int32_t(sx),
                 int32_t(sy), int32_t(sw), int32_t(sh));
}
