#include "platform/SoftwareCanvas.h"

#include <algorithm>
#include <cstdlib>

#include "core/RasterImage.h"
#include "platform/Fonts.h"

namespace {
// Colour of pixel (x, memory row) of a 24- or 8-bit image as a canvas pixel.
uint32_t ImagePixel(const RasterImage& image, int32_t x, int32_t memoryRow) {
  const uint8_t* row = DIBRow(image, memoryRow);
  if (DIBBitCount(image) == 24) {
    const uint8_t* p = row + 3 * int64_t(x);
    return 0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
  }
  if (DIBBitCount(image) == 8) {
    const RgbQuad& q = DIBColorTable(image)[row[x]];
    return 0xFF000000u | (uint32_t(q.red) << 16) | (uint32_t(q.green) << 8) | q.blue;
  }
  uint32_t v = getpixel(image, x, DIBHeight(image) - 1 - memoryRow);
  if (DIBBitCount(image) <= 8) {
    const RgbQuad& q = DIBColorTable(image)[v & 0xFF];
    return 0xFF000000u | (uint32_t(q.red) << 16) | (uint32_t(q.green) << 8) | q.blue;
  }
  return SoftwareCanvas::ToPixel(v);
}
}  // namespace

SoftwareCanvas::SoftwareCanvas(int32_t width, int32_t height) {
  SetSize(width, height);
}

void SoftwareCanvas::SetSize(int32_t width, int32_t height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  buffer_.assign(size_t(width_) * size_t(height_), 0xFFFFFFFFu);
}

void SoftwareCanvas::MoveTo(int32_t x, int32_t y) {
  penX_ = x;
  penY_ = y;
  dotPhase_ = 0;
}

void SoftwareCanvas::LineTo(int32_t x, int32_t y) {
  // Bresenham from the pen position; the end point is not drawn, as with GDI.
  int32_t x0 = penX_, y0 = penY_;
  const int32_t dx = std::abs(x - x0), dy = -std::abs(y - y0);
  const int32_t sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int32_t err = dx + dy;
  const uint32_t pixel = ToPixel(penColor);
  while (x0 != x || y0 != y) {
    // A dotted pen alternates one pixel on, one off, and carries its phase across lines.
    if (penStyle == PenStyle::Solid || (dotPhase_ & 1) == 0) Plot(x0, y0, pixel);
    ++dotPhase_;
    const int32_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  penX_ = x;
  penY_ = y;
}

void SoftwareCanvas::HorizontalRun(int32_t x0, int32_t x1, int32_t y, uint32_t pixel) {
  if (y < 0 || y >= height_) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, width_ - 1);
  for (int32_t x = x0; x <= x1; ++x) buffer_[size_t(y) * width_ + x] = pixel;
}

void SoftwareCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  if (brushStyle == BrushStyle::Solid) {
    const uint32_t fill = ToPixel(brushColor);
    for (int32_t y = top + 1; y < bottom - 1; ++y) HorizontalRun(left + 1, right - 2, y, fill);
  }
  // Outline of the rectangle (left, top) to (right - 1, bottom - 1).
  const uint32_t pen = ToPixel(penColor);
  if (right - left < 1 || bottom - top < 1) return;
  HorizontalRun(left, right - 1, top, pen);
  HorizontalRun(left, right - 1, bottom - 1, pen);
  for (int32_t y = top; y < bottom; ++y) {
    Plot(left, y, pen);
    Plot(right - 1, y, pen);
  }
}

void SoftwareCanvas::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const uint32_t fill = ToPixel(brushColor);
  for (int32_t y = top; y < bottom; ++y) HorizontalRun(left, right - 1, y, fill);
}

void SoftwareCanvas::TextOut(int32_t x, int32_t y, const std::string& text) {
  if (font) font->TextOut(*this, x, y, text, fontColor);
}

TColor SoftwareCanvas::GetPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFFu;  // CLR_INVALID
  return FromPixel(buffer_[size_t(y) * width_ + x]);
}

void SoftwareCanvas::SetPixel(int32_t x, int32_t y, TColor color) {
  Plot(x, y, ToPixel(color));
}

void SoftwareCanvas::SetDIBitsToDevice(int32_t x, int32_t y, const RasterImage& image) {
  if (!image.pixels) return;
  const int32_t w = DIBWidth(image), h = DIBHeight(image);
  for (int32_t r = 0; r < h; ++r) {
    const int32_t deviceY = y + r;
    if (deviceY < 0 || deviceY >= height_) continue;
    const int32_t memoryRow = h - 1 - r;
    for (int32_t c = 0; c < w; ++c) Plot(x + c, deviceY, ImagePixel(image, c, memoryRow));
  }
}

bool SoftwareCanvas::StretchDIBits(int32_t destX, int32_t destY, int32_t destWidth,
                                   int32_t destHeight, const RasterImage& image, int32_t srcX,
                                   int32_t srcY, int32_t srcWidth, int32_t srcHeight) {
  if (!image.pixels || destWidth <= 0 || destHeight <= 0 || srcWidth <= 0 || srcHeight <= 0)
    return false;
  for (int32_t r = 0; r < destHeight; ++r) {
    const int32_t memoryRow = srcY + srcHeight - 1 - int32_t(int64_t(srcHeight) * r / destHeight);
    if (memoryRow < 0 || memoryRow >= DIBHeight(image)) continue;
    for (int32_t c = 0; c < destWidth; ++c) {
      const int32_t x = srcX + int32_t(int64_t(srcWidth) * c / destWidth);
      if (x < 0 || x >= DIBWidth(image)) continue;
      Plot(destX + c, destY + r, ImagePixel(image, x, memoryRow));
    }
  }
  return true;
}
