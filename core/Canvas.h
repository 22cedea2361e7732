// Canvas: what the logic draws with (page view, histogram box, off-screen glyph bitmaps).
// Coordinates are device pixels, x to the right and y downwards from the top-left corner.
// Colours are 0x00BBGGRR values (red in the low byte), as the logic has always used them.
// The one implementation, SoftwareCanvas (platform/), draws into a 32-bit pixel buffer
// that headless runs read back and the Qt window shows.
#pragma once

#include <cstdint>
#include <string>

struct RasterImage;
class PlatformFont;

using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clGreen = 0x008000;  // dark green: red 0, green 128, blue 0
constexpr TColor clBlue = 0xFF0000;

enum class PenStyle { Solid, Dot };
enum class BrushStyle { Solid, Clear };

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Current drawing state, read by the primitives below.
  TColor penColor = clBlack;
  PenStyle penStyle = PenStyle::Solid;
  TColor brushColor = clWhite;
  BrushStyle brushStyle = BrushStyle::Solid;
  // The font TextOut draws with (not owned); without one TextOut draws nothing.
  const PlatformFont* font = nullptr;
  TColor fontColor = clBlack;

  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;

  virtual void MoveTo(int32_t x, int32_t y) = 0;
  // Draws from the pen position to (x, y), excluding the end point, and moves the pen there.
  virtual void LineTo(int32_t x, int32_t y) = 0;
  // Outline with the pen and inside with the brush; right and bottom are exclusive.
  virtual void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  // Fills with the brush colour, no outline; right and bottom are exclusive.
  virtual void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  // Text in `font` and `fontColor`, top-left corner at (x, y); the text is Windows-1252.
  virtual void TextOut(int32_t x, int32_t y, const std::string& text) = 0;
  virtual TColor GetPixel(int32_t x, int32_t y) const = 0;
  virtual void SetPixel(int32_t x, int32_t y, TColor color) = 0;

  // Copies a whole 24- or 8-bit image to the device with its top-left corner at (x, y),
  // unscaled.
  virtual void SetDIBitsToDevice(int32_t x, int32_t y, const RasterImage& image) = 0;
  // Scales the source rectangle (srcY counted from the bottom row, DIB style) into the
  // destination rectangle. Returns false when the device cannot do it.
  virtual bool StretchDIBits(int32_t destX, int32_t destY, int32_t destWidth, int32_t destHeight,
                             const RasterImage& image, int32_t srcX, int32_t srcY, int32_t srcWidth,
                             int32_t srcHeight) = 0;
  virtual bool IsRasterPrinter() const { return false; }
};
