// The extended recogniser's learned classifier: a small convolutional net trained on glyphs
// rendered from many typeface families and degraded as scanned, copied and faxed pages
// degrade (training/), run with OpenCV's dnn module. How a glyph is prepared for it is fixed
// by training/README.md; the trainer prepares its samples the same way.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recognition/GlyphClassifier.h"

constexpr int32_t kGlyphNetSide = 32;
constexpr int32_t kGlyphNetGeometry = 5;

// One glyph as the net sees it.
struct GlyphNetInput {
  std::array<float, kGlyphNetSide * kGlyphNetSide> image{};  // ink 1, paper 0
  std::array<float, kGlyphNetGeometry> geometry{};           // size and place on the line
};

// The net's view of the glyph whose ink lies in `box` (page pixels) on `line`; the paper
// around the ink is cropped first. False when the glyph has no ink.
bool PrepareGlyph(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                  GlyphNetInput* input);

class GlyphNet {
 public:
  // Reads the model and its classes (one Windows-1252 code a line, 0: not one character).
  // Throws std::runtime_error saying what is wrong when they cannot be used.
  GlyphNet(const std::string& modelFile, const std::string& labelsFile);
  ~GlyphNet();
  GlyphNet(const GlyphNet&) = delete;
  GlyphNet& operator=(const GlyphNet&) = delete;

  // Each glyph's class probabilities, in the order of Codes(). Safe from several threads.
  std::vector<std::vector<float>> Probabilities(const std::vector<GlyphNetInput>& glyphs) const;
  // Each glyph's best `count` characters (the class "not one character" left out: its share
  // only lowers theirs) and the share of all characters.
  // Each input is read once: a clean page repeats most of its glyphs pixel for pixel.
  std::vector<GlyphReading> Classify(const std::vector<GlyphNetInput>& glyphs,
                                     size_t count = 5) const;
  const std::vector<uint8_t>& Codes() const { return codes_; }

 private:
  struct Pool;
  struct Remembered;
  // The probabilities and, where `features` is given, what the net saw of each glyph.
  std::vector<std::vector<float>> Forward(const std::vector<GlyphNetInput>& glyphs,
                                          std::vector<GlyphFeatures>* features) const;
  // The same for glyphs [first, end), into their places in the outputs.
  void ForwardSome(const std::vector<GlyphNetInput>& glyphs, size_t first, size_t end,
                   std::vector<std::vector<float>>* probabilities,
                   std::vector<GlyphFeatures>* features) const;
  GlyphReading Best(const std::vector<float>& probabilities, size_t count) const;
  std::vector<uint8_t> codes_;
  std::unique_ptr<Pool> pool_;
  std::unique_ptr<Remembered> remembered_;
};
