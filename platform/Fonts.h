// Fonts: the stand-in for the platform's font objects, over FreeType and fontconfig.
// Names resolve as the desktop resolves them ("Arial" -> Liberation Sans, "Times New
// Roman" -> Liberation Serif: the same advance widths and vertical metrics). Glyphs are
// rendered monochrome, so a pixel is ink or paper. Texts are Windows-1252. Beside them the
// outline faces of the extended recogniser's templates, drawn anti-aliased.
#pragma once

#include <cstdint>
#include <memory>
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

// A character drawn anti-aliased: coverage 0 ... 255 per pixel.
struct GrayGlyph {
  int32_t width = 0, height = 0;
  int32_t top = 0;  // rows above the baseline of row 0
  std::vector<uint8_t> coverage;
  uint8_t At(int32_t x, int32_t y) const { return coverage[size_t(y) * size_t(width) + size_t(x)]; }
};

// One typeface file of exactly one family and style, drawn anti-aliased and unhinted (as a
// scanner sees print): the extended recogniser's templates. Not safe to use from several
// threads at once; opening and closing faces is.
class OutlineFace {
 public:
  // Null when no installed face is exactly this family in this style (a substitute family,
  // or a style made up by slanting or emboldening, is none).
  static std::unique_ptr<OutlineFace> Open(const std::string& family, bool bold, bool italic);
  ~OutlineFace();
  OutlineFace(const OutlineFace&) = delete;
  OutlineFace& operator=(const OutlineFace&) = delete;

  const std::string& File() const { return file_; }
  // Draws a Windows-1252 character at `pixelsPerEm`, moved by a fraction of a pixel; false
  // when the face lacks the character.
  bool DrawGray(uint8_t code, int32_t pixelsPerEm, GrayGlyph& out, double shiftX,
                double shiftY) const;

  struct Face;

 private:
  OutlineFace(std::unique_ptr<Face> face, std::string file);
  std::unique_ptr<Face> face_;
  std::string file_;
};

// One description per installed typeface (EnumFonts without a face name).
std::vector<LogFont> EnumerateTypefaces();

// The font engine's version as "FreeType 2.12.1": what is rendered may differ between
// versions, so whatever keeps rendered glyphs names it.
std::string FontEngineVersion();
