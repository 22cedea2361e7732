// The extended classifier: nearest neighbours among the templates of the glyph's size
// bucket and the page's learned examples, by shape bytes plus placement on the line.
#include "recognition/GlyphClassifier.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "recognition/GlyphFeatures.h"
#include "recognition/GlyphTemplates.h"

namespace {

// A template this far from the glyph's placement cannot be it (a comma is no apostrophe,
// whatever its shape); skipping it also keeps the scan cheap.
constexpr float kPlacementCutoff = 1.2f;
// The shape distance's unit: the mean difference per byte that counts as much as a
// mismatch of one x-height in placement.
constexpr float kShapeUnit = 40.0f * kShapeBytes;
// The page's own shapes are preferred to the templates at equal distance.
constexpr float kLearnedWeight = 0.8f;
// Scores fall along a logistic curve of the distance: a typical match of another typeface
// lies near 0.4 (score ~0.9), a typical wrong character near 0.75 and beyond.
constexpr double kDoubtfulDistance = 0.68;
constexpr double kScoreSlope = 0.11;
constexpr size_t kMaxLearned = 2000;
// The coarse comparison's unit and the number of characters it hands to the fine one.
constexpr float kCoarseUnit = 100.0f * kCoarseBytes;
constexpr size_t kShortlist = 16;

float PlacementDistance(const GlyphPlacement& a, const GlyphPlacement& b) {
  return std::abs(a.top - b.top) + std::abs(a.bottom - b.bottom) +
         0.3f * std::abs(a.logAspect - b.logAspect) + 0.2f * std::abs(a.logWidth - b.logWidth);
}

// The glyph's tight ink box inside its bitmap, copied out when there is paper around it.
// False when there is no ink.
bool TightInk(const GlyphBitmap& glyph, std::vector<uint8_t>& ink, int32_t& width, int32_t& height,
              int32_t& left, int32_t& top) {
  if (glyph.width <= 0 || glyph.height <= 0 ||
      glyph.ink.size() != size_t(glyph.width) * size_t(glyph.height))
    return false;
  int32_t x0 = glyph.width, x1 = -1, y0 = glyph.height, y1 = -1;
  for (int32_t y = 0; y < glyph.height; ++y)
    for (int32_t x = 0; x < glyph.width; ++x)
      if (glyph.at(x, y)) {
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  if (x1 < 0) return false;
  left = x0, top = y0, width = x1 - x0 + 1, height = y1 - y0 + 1;
  ink.resize(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ink[size_t(y) * size_t(width) + size_t(x)] = glyph.at(x0 + x, y0 + y) != 0;
  return true;
}

// The glyph's shape and placement; false when it has no ink.
bool DescribeGlyph(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                   GlyphShape& shape) {
  thread_local std::vector<uint8_t> ink;
  int32_t width = 0, height = 0, left = 0, top = 0;
  if (!TightInk(glyph, ink, width, height, left, top)) return false;
  if (!DescribeShape(ink.data(), width, height, shape.bytes)) return false;
  int32_t inkTop = box.top + top, inkBottom = inkTop + height - 1;
  InkExtent extent{width, height, line.baseline + 1 - inkTop, line.baseline - inkBottom};
  double xHeight = line.xHeight > 0 ? line.xHeight : std::max(1.0, height * 0.7);
  shape.placement = PlaceOnLine(extent, xHeight, line.capHeight);
  return true;
}

double Score(float distance) {
  return 1.0 / (1.0 + std::exp((double(distance) - kDoubtfulDistance) / kScoreSlope));
}

using CodeDistances = std::array<float, 256>;

// The characters whose templates come nearest on the coarse shape and the placement.
std::vector<uint8_t> Shortlist(const GlyphShape& glyph, const TemplateSet& set, float cutoff) {
  uint8_t coarse[kCoarseBytes];
  CoarseShape(glyph.bytes.data(), coarse);
  CodeDistances nearest;
  nearest.fill(std::numeric_limits<float>::infinity());
  for (size_t i = 0; i < set.Size(); ++i) {
    float placement = PlacementDistance(glyph.placement, set.placements[i]);
    if (placement > cutoff) continue;
    float d = float(CoarseDistance(coarse, set.Coarse(i))) / kCoarseUnit + placement;
    float& slot = nearest[set.codes[i]];
    slot = std::min(slot, d);
  }
  std::vector<uint8_t> codes;
  for (int code = 0; code < 256; ++code)
    if (!std::isinf(nearest[size_t(code)])) codes.push_back(uint8_t(code));
  size_t keep = std::min(kShortlist, codes.size());
  std::partial_sort(codes.begin(), codes.begin() + ptrdiff_t(keep), codes.end(),
                    [&](uint8_t a, uint8_t b) { return nearest[a] < nearest[b]; });
  codes.resize(keep);
  return codes;
}

void ScanTemplates(const GlyphShape& glyph, const TemplateSet& set, float cutoff,
                   CodeDistances& best) {
  for (uint8_t code : Shortlist(glyph, set, cutoff))
    for (size_t i = set.firstOfCode[code]; i < set.firstOfCode[code + 1u]; ++i) {
      float placement = PlacementDistance(glyph.placement, set.placements[i]);
      if (placement > cutoff) continue;
      float d = float(ShapeDistance(glyph.bytes.data(), set.Shape(i))) / kShapeUnit + placement;
      best[code] = std::min(best[code], d);
    }
}

}  // namespace

struct GlyphClassifier::Impl {
  struct Example {
    GlyphShape shape;
    uint8_t code = 0;
  };
  std::vector<Example> learned;
};

GlyphClassifier::GlyphClassifier() : impl_(std::make_unique<Impl>()) {}
GlyphClassifier::~GlyphClassifier() = default;

std::vector<ScoredChar> GlyphClassifier::Classify(const GlyphBitmap& glyph, const PageBox& box,
                                                  const LineMetrics& line, size_t count) const {
  GlyphShape shape;
  if (count == 0 || !DescribeGlyph(glyph, box, line, shape)) return {};
  const TemplateSet& set =
      TemplateStore::Instance().ForXHeight(line.xHeight > 0 ? line.xHeight : glyph.height);
  CodeDistances best;
  best.fill(std::numeric_limits<float>::infinity());
  ScanTemplates(shape, set, kPlacementCutoff, best);
  for (const Impl::Example& example : impl_->learned) {
    float placement = PlacementDistance(shape.placement, example.shape.placement);
    if (placement > kPlacementCutoff) continue;
    float d = float(ShapeDistance(shape.bytes.data(), example.shape.bytes.data())) / kShapeUnit +
              placement;
    float& slot = best[example.code];
    slot = std::min(slot, d * kLearnedWeight);
  }
  // Nothing placed like it (a blob, a speck far off the line): compare with everything.
  if (std::all_of(best.begin(), best.end(), [](float d) { return std::isinf(d); }))
    ScanTemplates(shape, set, std::numeric_limits<float>::infinity(), best);

  std::vector<ScoredChar> result;
  for (int code = 0; code < 256; ++code)
    if (!std::isinf(best[size_t(code)]))
      result.push_back({uint8_t(code), Score(best[size_t(code)])});
  size_t keep = std::min(count, result.size());
  std::partial_sort(result.begin(), result.begin() + ptrdiff_t(keep), result.end(),
                    [](const ScoredChar& a, const ScoredChar& b) { return a.score > b.score; });
  result.resize(keep);
  return result;
}

void GlyphClassifier::Learn(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                            uint8_t code) {
  Impl::Example example;
  example.code = code;
  if (impl_->learned.size() >= kMaxLearned || !DescribeGlyph(glyph, box, line, example.shape))
    return;
  impl_->learned.push_back(example);
}

void GlyphClassifier::Forget() {
  impl_->learned.clear();
}
