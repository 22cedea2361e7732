// The extended classifier: nearest neighbours among the templates of the glyph's size
// bucket and the page's learned examples, by shape bytes plus placement on the line.
#include "recognition/GlyphClassifier.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "recognition/ExtendedAlphabet.h"
#include "recognition/GlyphFeatures.h"
#include "recognition/GlyphTemplates.h"

bool InkBounds(const GlyphBitmap& glyph, PageBox* bounds) {
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
  *bounds = {x0, y0, x1, y1};
  return true;
}

namespace {

// A template this far from the glyph's placement cannot be it (a comma is no apostrophe,
// whatever its shape); skipping it also keeps the scan cheap.
constexpr float kPlacementCutoff = 1.2f;
// The page's own shapes are preferred to the templates at equal distance.
constexpr float kLearnedWeight = 0.8f;
// Scores fall along a logistic curve of the distance: a typical match of another typeface
// lies near 0.4 (score ~0.9), a typical wrong character near 0.75 and beyond.
constexpr double kDoubtfulDistance = 0.68;
constexpr double kScoreSlope = 0.11;
constexpr double kLargePrintTypicalDistance = 0.46;
// How much nearer one character must be than another to take (1 - 1/e) of their share.
constexpr double kShareScale = 0.05;
// A few examples of each character carry a page's face; more would only slow every call
// (and a page's commonest letters would crowd out the rest).
constexpr size_t kExamplesPerCode = 6;
// The coarse comparison's unit and the number of characters it hands to the fine one.
constexpr float kCoarseUnit = 100.0f * kCoarseBytes;
constexpr size_t kShortlist = 16;
// What a rare look-alike pays against its common twin (see kRareLookAlikes).
constexpr float kRarePenalty = 0.04f;
// "‚" is drawn as a comma in nearly every face; only its place in a word tells them apart,
// so it never reads better than the comma (the word's reader may still choose it).
constexpr uint8_t kLowQuote = 0x82;
constexpr float kTwinGap = 0.05f;

// The glyph's tight ink box inside its bitmap, copied out when there is paper around it.
// False when there is no ink.
bool TightInk(const GlyphBitmap& glyph, std::vector<uint8_t>& ink, int32_t& width, int32_t& height,
              int32_t& left, int32_t& top) {
  PageBox bounds;
  if (!InkBounds(glyph, &bounds)) return false;
  left = bounds.left, top = bounds.top, width = bounds.Width(), height = bounds.Height();
  ink.resize(size_t(width) * size_t(height));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      ink[size_t(y) * size_t(width) + size_t(x)] = glyph.at(left + x, top + y) != 0;
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

// Distances are first brought to the scale of large print, where faces differ least.
double Score(float distance, const TemplateBucket& set) {
  double scaled = double(distance) * kLargePrintTypicalDistance / set.typicalDistance;
  return 1.0 / (1.0 + std::exp((scaled - kDoubtfulDistance) / kScoreSlope));
}

using CodeDistances = std::array<float, 256>;

// The characters whose templates come nearest on the coarse shape and the placement.
struct Shortlisted {
  std::array<uint8_t, kShortlist> codes{};
  size_t count = 0;
  const uint8_t* begin() const { return codes.data(); }
  const uint8_t* end() const { return codes.data() + count; }
};

Shortlisted Shortlist(const GlyphShape& glyph, const TemplateBucket& set, float cutoff) {
  uint8_t coarse[kCoarseBytes];
  CoarseShape(glyph.bytes.data(), coarse);
  CodeDistances nearest;
  nearest.fill(std::numeric_limits<float>::infinity());
  const TemplateBucket::Plain& plain = set.plain;
  thread_local std::vector<float> placement;
  placement.resize(plain.Size());
  PlacementDistances(glyph.placement, plain.top.data(), plain.bottom.data(), plain.logAspect.data(),
                     plain.logWidth.data(), plain.Size(), placement.data());
  for (size_t i = 0; i < plain.Size(); ++i) {
    if (placement[i] > cutoff) continue;
    float d =
        float(CoarseDistance(coarse, &plain.coarse[i * kCoarseBytes])) / kCoarseUnit + placement[i];
    float& slot = nearest[plain.codes[i]];
    slot = std::min(slot, d);
  }
  std::array<uint8_t, 256> codes;
  size_t found = 0;
  for (int code = 0; code < 256; ++code)
    if (!std::isinf(nearest[size_t(code)])) codes[found++] = uint8_t(code);
  Shortlisted list;
  list.count = std::min(kShortlist, found);
  std::partial_sort(codes.begin(), codes.begin() + ptrdiff_t(list.count),
                    codes.begin() + ptrdiff_t(found),
                    [&](uint8_t a, uint8_t b) { return nearest[a] < nearest[b]; });
  std::copy_n(codes.begin(), list.count, list.codes.begin());
  return list;
}

void ScanTemplates(const GlyphShape& glyph, const TemplateBucket& set, float cutoff,
                   CodeDistances& best) {
  for (uint8_t code : Shortlist(glyph, set, cutoff)) {
    float rarity = kRareLookAlikes.find(char(code)) == std::string_view::npos ? 0.0f : kRarePenalty;
    for (size_t i = set.firstOfCode[code]; i < set.firstOfCode[code + 1u]; ++i) {
      // The shape only adds to the placement's distance: a template placed no nearer than
      // the best so far need not be compared.
      float placement = PlacementDistance(glyph.placement, set.placements[i]);
      if (placement > cutoff || placement + rarity >= best[code]) continue;
      float d = float(ShapeDistance(glyph.bytes.data(), set.Shape(i))) / kShapeUnit + placement;
      best[code] = std::min(best[code], d + rarity);
    }
  }
}

// The `count` nearest characters, scored by how well each matches and by how clearly it
// beats the others: two characters that match equally well (a sans "l" and "I") share.
std::vector<ScoredChar> Ranked(const CodeDistances& best, const TemplateBucket& set, size_t count) {
  float nearest = *std::min_element(best.begin(), best.end());
  double total = 0;
  for (float d : best)
    if (!std::isinf(d)) total += std::exp(-double(d - nearest) / kShareScale);
  std::vector<ScoredChar> result;
  for (int code = 0; code < 256; ++code) {
    float d = best[size_t(code)];
    if (std::isinf(d)) continue;
    double share = std::exp(-double(d - nearest) / kShareScale) / total;
    result.push_back({uint8_t(code), Score(d, set) * share});
  }
  size_t keep = std::min(count, result.size());
  std::partial_sort(result.begin(), result.begin() + ptrdiff_t(keep), result.end(),
                    [](const ScoredChar& a, const ScoredChar& b) { return a.score > b.score; });
  result.resize(keep);
  return result;
}

}  // namespace

struct GlyphClassifier::Impl {
  struct Example {
    GlyphShape shape;
    uint8_t code = 0;
  };
  std::vector<Example> learned;
  std::array<size_t, 256> examplesOf{};
};

GlyphClassifier::GlyphClassifier() : impl_(std::make_unique<Impl>()) {}
GlyphClassifier::~GlyphClassifier() = default;

struct TemplateVerdict {
  GlyphShape shape;
  const TemplateBucket* set = nullptr;
  CodeDistances best;  // the templates' distances alone
};

namespace {

// The glyph against its size's templates; false when it has no ink.
bool JudgeByTemplates(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                      TemplateVerdict& verdict) {
  if (!DescribeGlyph(glyph, box, line, verdict.shape)) return false;
  verdict.set =
      &TemplateStore::Instance().ForXHeight(line.xHeight > 0 ? line.xHeight : glyph.height);
  verdict.best.fill(std::numeric_limits<float>::infinity());
  ScanTemplates(verdict.shape, *verdict.set, kPlacementCutoff, verdict.best);
  return true;
}

}  // namespace

std::vector<ScoredChar> GlyphClassifier::Classify(const GlyphBitmap& glyph, const PageBox& box,
                                                  const LineMetrics& line, size_t count) const {
  thread_local TemplateVerdict verdict;
  if (count == 0 || !JudgeByTemplates(glyph, box, line, verdict)) return {};
  return ReadAgain(verdict, count);
}

GlyphReading GlyphClassifier::Read(const GlyphBitmap& glyph, const PageBox& box,
                                   const LineMetrics& line, size_t count) const {
  auto verdict = std::make_shared<TemplateVerdict>();
  if (count == 0 || !JudgeByTemplates(glyph, box, line, *verdict)) return {};
  std::vector<ScoredChar> readings = ReadAgain(*verdict, count);
  return {std::move(readings), std::move(verdict)};
}

std::vector<ScoredChar> GlyphClassifier::ReadAgain(const TemplateVerdict& verdict,
                                                   size_t count) const {
  if (count == 0 || !verdict.set) return {};
  const GlyphShape& shape = verdict.shape;
  CodeDistances best = verdict.best;
  for (const Impl::Example& example : impl_->learned) {
    if (PlacementDistance(shape.placement, example.shape.placement) > kPlacementCutoff) continue;
    float d = GlyphDistance(shape, example.shape.bytes.data(), example.shape.placement);
    best[example.code] = std::min(best[example.code], d * kLearnedWeight);
  }
  // Nothing placed like it (a blob, a speck far off the line): compare with everything.
  if (std::all_of(best.begin(), best.end(), [](float d) { return std::isinf(d); }))
    ScanTemplates(shape, *verdict.set, std::numeric_limits<float>::infinity(), best);

  if (!std::isinf(best[','])) best[kLowQuote] = std::max(best[kLowQuote], best[','] + kTwinGap);

  return Ranked(best, *verdict.set, count);
}

void GlyphClassifier::Prepare() {
  for (double xHeight : TemplateStore::kBucketXHeights)
    TemplateStore::Instance().ForXHeight(xHeight);
}

void GlyphClassifier::OpenFaces() {
  TemplateStore::Instance().FaceNames();
}

void GlyphClassifier::PrepareFor(const std::vector<int32_t>& xHeights) {
  for (int32_t xHeight : xHeights)
    if (xHeight > 0) TemplateStore::Instance().ForXHeight(xHeight);
}

void GlyphClassifier::Learn(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                            uint8_t code) {
  Impl::Example example;
  example.code = code;
  if (impl_->examplesOf[code] >= kExamplesPerCode ||
      !DescribeGlyph(glyph, box, line, example.shape))
    return;
  impl_->learned.push_back(example);
  ++impl_->examplesOf[code];
}

void GlyphClassifier::Forget() {
  impl_->learned.clear();
  impl_->examplesOf.fill(0);
}
