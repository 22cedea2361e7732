// The extended recogniser's character classifier: a glyph's ink (one or several objects
// already put together, such as the dots of "ä" or the two marks of "„") in, its possible
// characters of the full alphabet out, best first. It compares with templates rendered from
// several installed typefaces at the glyph's own size, and learns the page's own shapes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "recognition/PageText.h"

// A glyph's pixels, row 0 at the top, row-major: 1 ink, 0 paper.
struct GlyphBitmap {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> ink;
  uint8_t at(int32_t x, int32_t y) const { return ink[size_t(y) * size_t(width) + size_t(x)]; }
};

// The box of the glyph's ink inside its bitmap; false when it has none or its pixels are
// not width x height.
bool InkBounds(const GlyphBitmap& glyph, PageBox* bounds);

// Where the glyph's line stands, in page rows: the classifier tells "o" from "O", "," from
// "'" and "-" from "_" by the glyph's box against these.
struct LineMetrics {
  int32_t baseline = 0;   // the row the letters stand on
  int32_t xHeight = 0;    // height of a lowercase "x" in pixels (> 0)
  int32_t capHeight = 0;  // height of a capital letter in pixels (0: unknown)
};

struct ScoredChar {
  uint8_t code = 0;    // Windows-1252
  double score = 0.0;  // 0 ... 1, higher is better
};

// What the templates alone say of one glyph (its shape and distances), kept so that the glyph
// can be read again after the page's shapes are learned without comparing it with the
// templates again.
struct TemplateVerdict;

// What the learned classifier saw of a glyph: the input of its last layer. Glyphs of one
// character in one face lie close together in it.
using GlyphFeatures = std::shared_ptr<const std::vector<float>>;

// A glyph's readings, best first, and the verdict they came from (null: none kept).
struct GlyphReading {
  std::vector<ScoredChar> readings;
  std::shared_ptr<const TemplateVerdict> verdict;
  // How probable it is that the glyph is one character at all, whichever (the learned
  // classifier's share of every character; -1: not known, the best score stands for it).
  double oneCharacter = -1;
  GlyphFeatures features;  // the learned classifier's (null: none)
  GlyphReading(std::vector<ScoredChar> scored = {},
               std::shared_ptr<const TemplateVerdict> kept = nullptr)
      : readings(std::move(scored)), verdict(std::move(kept)) {}
};

class GlyphClassifier {
 public:
  // Renders the templates from the installed template typefaces (fontconfig).
  GlyphClassifier();
  ~GlyphClassifier();
  GlyphClassifier(const GlyphClassifier&) = delete;
  GlyphClassifier& operator=(const GlyphClassifier&) = delete;

  // The best `count` readings of the glyph whose ink lies in `box` (page pixels) on `line`.
  // Empty when the glyph has no ink or its bitmap is not width x height. The first call at a
  // new size renders that size's templates (60 ... 160 ms, once per process).
  // Safe to call from several threads at once (between Learn calls).
  std::vector<ScoredChar> Classify(const GlyphBitmap& glyph, const PageBox& box,
                                   const LineMetrics& line, size_t count = 5) const;

  // Takes a confidently read glyph of this page as an example of `code` for later Classify
  // calls (the first six of each character are kept); Forget drops every example (a new
  // page).
  // Classify, keeping the templates' verdict for ReadAgain.
  GlyphReading Read(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                    size_t count = 5) const;
  // The readings Classify would give now (with the examples learned since) of the glyph
  // that `verdict` was kept for.
  std::vector<ScoredChar> ReadAgain(const TemplateVerdict& verdict, size_t count = 5) const;

  // Renders the templates of every size now, each size's faces on both cores: a parent
  // process calls this once before it forks a child per page, so that no child renders.
  static void Prepare();
  // Renders the templates of the sizes of these x-heights (pixels) now, so that threads
  // reading lines later need not wait for each other's first call at a size.
  static void PrepareFor(const std::vector<int32_t>& xHeights);
  // Opens the template typefaces now (PrepareFor does so first), e.g. on another thread
  // while a page is decoded.
  static void OpenFaces();

  void Learn(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line, uint8_t code);
  void Forget();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};
