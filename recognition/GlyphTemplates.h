// The extended classifier's templates: every character of the extended alphabet rendered
// from several installed typefaces, described as glyph shapes, once per process and per
// size bucket (a 7-pixel "e" is drawn differently from a 60-pixel one, so each bucket is
// rendered at its own size, when it is first needed).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Fonts.h"
#include "recognition/GlyphClassifier.h"
#include "recognition/GlyphFeatures.h"

struct RenderedGlyph {
  GlyphBitmap bitmap;  // the tight ink box
  InkExtent extent;    // the box against the baseline
};

// The pixels of `gray` whose coverage reaches `threshold` as ink; false when none do.
bool ThresholdGlyph(const GrayGlyph& gray, uint8_t threshold, RenderedGlyph& out);

// One typeface file opened for drawing single characters. Not safe to use from several
// threads at once.
class GlyphFont {
 public:
  // Null when no installed face is exactly this family in this style.
  static std::unique_ptr<GlyphFont> Open(const std::string& family, bool bold, bool italic);
  ~GlyphFont();
  GlyphFont(const GlyphFont&) = delete;
  GlyphFont& operator=(const GlyphFont&) = delete;

  const std::string& Name() const { return name_; }  // "Family Bold Italic"
  const std::string& File() const { return face_->File(); }
  double XHeightPerEm() const { return xHeightPerEm_; }
  // Draws a Windows-1252 character anti-aliased at `pixelsPerEm`, moved by a fraction of a
  // pixel, and keeps the pixels whose coverage reaches `threshold` (1 ... 255) as ink.
  // False when the face lacks the character or nothing reaches the threshold.
  bool Render(uint8_t code, int32_t pixelsPerEm, uint8_t threshold, RenderedGlyph& out,
              double shiftX = 0.0, double shiftY = 0.0) const;
  bool RenderGray(uint8_t code, int32_t pixelsPerEm, GrayGlyph& out, double shiftX = 0.0,
                  double shiftY = 0.0) const;
  // The ink height of "x" and "H" at this size and threshold: the line's metrics.
  LineMetrics Metrics(int32_t pixelsPerEm, uint8_t threshold) const;

 private:
  GlyphFont(std::unique_ptr<OutlineFace> face, std::string name);
  std::unique_ptr<OutlineFace> face_;
  std::string name_;
  double xHeightPerEm_ = 0.5;
};

// The families the templates are rendered from (each in regular, bold and italic where
// installed): sans and serif, office, humanist and book faces.
extern const std::vector<std::string> kTemplateFamilies;

// The templates of one size bucket, one entry per character and face, ordered by code.
struct TemplateBucket {
  double xHeight = 0;           // the bucket's x-height in pixels
  std::vector<uint8_t> shapes;  // kShapeBytes per template
  std::vector<uint8_t> coarse;  // kCoarseBytes per template
  std::vector<GlyphPlacement> placements;
  std::vector<uint8_t> codes;
  std::array<uint32_t, 257> firstOfCode{};  // code c: templates firstOfCode[c] ... [c + 1] - 1
  std::vector<uint8_t> variant;             // 0: the face's plain print; else a darker or lighter
  // The templates of variant 0, for the coarse pass: their placements one array per
  // measure (so that the pass runs over them in vector registers), coarse shapes and codes.
  struct Plain {
    std::vector<float> top, bottom, logAspect, logWidth;
    std::vector<uint8_t> coarse, codes;
    size_t Size() const { return codes.size(); }
  } plain;
  std::vector<uint8_t> faces;  // the face each template was drawn from
  // The median distance of a template to the same character in the nearest other face: how
  // far a good match lies at this size (small print differs more between faces).
  float typicalDistance = 1.0f;
  size_t Size() const { return codes.size(); }
  const uint8_t* Shape(size_t i) const { return shapes.data() + i * kShapeBytes; }
  const uint8_t* Coarse(size_t i) const { return coarse.data() + i * kCoarseBytes; }
  void Add(const GlyphShape& shape, uint8_t code, uint8_t variantNumber = 0, uint8_t face = 0);
  void Append(const TemplateBucket& other);  // other's templates after these
  void SortByCode();
  void MeasureTypicalDistance();
};

// The process's templates, shared by every classifier. Thread-safe.
class TemplateStore {
 public:
  static TemplateStore& Instance();
  // The bucket nearest to this x-height, rendered on first use.
  const TemplateBucket& ForXHeight(double xHeight);
  // The faces found (opened on first use of any bucket).
  std::vector<std::string> FaceNames();

  static constexpr std::array<double, 4> kBucketXHeights = {8, 12, 18, 28};
  static constexpr double kDarknessVariantsUpTo = 12;

 private:
  TemplateStore() = default;
  void OpenFaces();
  void RenderBucket(TemplateBucket& set) const;

  std::once_flag facesOpened_;
  std::vector<std::unique_ptr<GlyphFont>> faces_;
  std::array<std::once_flag, kBucketXHeights.size()> rendered_;
  std::array<TemplateBucket, kBucketXHeights.size()> buckets_;
};
