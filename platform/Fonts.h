// Fonts: the stand-in for the platform's font objects, over FreeType and fontconfig.
// Names resolve as the desktop resolves them ("Arial" -> Liberation Sans, "Times New
// Roman" -> Liberation Serif: the same advance widths and vertical metrics). Glyphs are
// rendered monochrome, so a pixel is ink or paper. Texts are Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Canvas.h"

class SoftwareCanvas;

// The description of a font, as the program asks for one.
struct LogFont {
  int32_t height = 0;    // negative: character height (pixels per em); positive: cell height
  int32_t weight = 400;  // 400 regular, 700 bold
  bool italic = false;
  uint8_t charSet = 0;
  std::string faceName;  // a family name as fontconfig knows it, or an alias such as "Arial"
};

class PlatformFont {
 public:
  // CreateFontIndirect: returns null when no font file could be found or loaded.
  static PlatformFont* Create(const LogFont& description);
  ~PlatformFont();
  PlatformFont(const PlatformFont&) = delete;
  PlatformFont& operator=(const PlatformFont&) = delete;

  const LogFont& Description() const;
  const std::string& FontFile() const;  // the file the name resolved to
  int32_t PixelsPerEm() const;          // the size chosen for the height; 0 without a face
  int32_t Ascent() const;               // from the font's Windows metrics (usWinAscent), scaled
  int32_t Descent() const;              // usWinDescent, scaled
  int32_t TextHeight(const std::string& text) const;  // Ascent + Descent
  int32_t TextWidth(const std::string& text) const;   // sum of the hinted advances
  // Draws text with its cell's top-left corner at (x, y): the baseline at y + Ascent.
  // Opaque when the canvas brush is solid (the text cell is filled with the brush first).
  void TextOut(SoftwareCanvas& canvas, int32_t x, int32_t y, const std::string& text,
               TColor color) const;

  struct Impl;

 private:
  explicit PlatformFont(Impl* impl);
  Impl* impl_;
};

// The Unicode code point of a Windows-1252 byte.
uint32_t Windows1252ToUnicode(uint8_t code);

// One description per installed typeface (EnumFonts without a face name).
std::vector<LogFont> EnumerateTypefaces();

// The font engine's version as "FreeType 2.12.1": what is rendered may differ between
// versions, so whatever keeps rendered glyphs names it.
std::string FontEngineVersion();
