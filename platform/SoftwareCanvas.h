// SoftwareCanvas: a Canvas over a 32-bit pixel buffer (0xFFRRGGBB per pixel, rows top
// down), used for every canvas of the program. Headless runs read it back; the Qt window
// shows the same buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Canvas.h"

class PlatformFont;

class SoftwareCanvas : public Canvas {
 public:
  SoftwareCanvas(int32_t width = 0, int32_t height = 0);

  // Resizes the buffer; the new content is white.
  void SetSize(int32_t width, int32_t height);
  const std::vector<uint32_t>& Buffer() const { return buffer_; }

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void MoveTo(int32_t x, int32_t y) override;
  void LineTo(int32_t x, int32_t y) override;
  void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  void TextOut(int32_t x, int32_t y, const std::string& text) override;
  TColor GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, TColor color) override;
  void SetDIBitsToDevice(int32_t x, int32_t y, const RasterImage& image) override;
  bool StretchDIBits(int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                     const RasterImage& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
                     int32_t srcHeight) override;

  static uint32_t ToPixel(TColor color) {
    return 0xFF000000u | ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
  }
  static TColor FromPixel(uint32_t pixel) {
    return ((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16);
  }

 private:
  void Plot(int32_t x, int32_t y, uint32_t pixel) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) buffer_[size_t(y) * width_ + x] = pixel;
  }
  void HorizontalRun(int32_t x0, int32_t x1, int32_t y, uint32_t pixel);

  int32_t width_ = 0, height_ = 0;
  std::vector<uint32_t> buffer_;
  int32_t penX_ = 0, penY_ = 0;
  uint32_t dotPhase_ = 0;
};
