// Template rendering: the platform's outline faces (anti-aliased, unhinted) thresholded, as a
// scanner sees print.
#include "recognition/GlyphTemplates.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/BothCores.h"
#include "core/Median.h"
#include "platform/Fonts.h"
#include "recognition/ExtendedAlphabet.h"

const std::vector<std::string> kTemplateFamilies = {
    "Liberation Sans", "Liberation Serif", "DejaVu Sans", "DejaVu Serif", "Carlito", "C059", "P052",
    "EB Garamond"};

GlyphFont::GlyphFont(std::unique_ptr<OutlineFace> face, std::string name)
    : face_(std::move(face)), name_(std::move(name)) {
  RenderedGlyph x;
  constexpr int32_t kMeasureSize = 200;
  if (Render('x', kMeasureSize, 128, x)) xHeightPerEm_ = double(x.extent.height) / kMeasureSize;
}

GlyphFont::~GlyphFont() = default;

std::unique_ptr<GlyphFont> GlyphFont::Open(const std::string& family, bool bold, bool italic) {
  std::unique_ptr<OutlineFace> face = OutlineFace::Open(family, bold, italic);
  if (!face) return nullptr;
  std::string name = family + (bold ? " Bold" : "") + (italic ? " Italic" : "");
  return std::unique_ptr<GlyphFont>(new GlyphFont(std::move(face), std::move(name)));
}

bool GlyphFont::Render(uint8_t code, int32_t pixelsPerEm, uint8_t threshold, RenderedGlyph& out,
                       double shiftX, double shiftY) const {
  GrayGlyph gray;
  return RenderGray(code, pixelsPerEm, gray, shiftX, shiftY) &&
         ThresholdGlyph(gray, threshold, out);
}

bool GlyphFont::RenderGray(uint8_t code, int32_t pixelsPerEm, GrayGlyph& out, double shiftX,
                           double shiftY) const {
  return face_->DrawGray(code, pixelsPerEm, out, shiftX, shiftY);
}

bool ThresholdGlyph(const GrayGlyph& gray, uint8_t threshold, RenderedGlyph& out) {
  int32_t left = gray.width, right = -1, top = gray.height, bottom = -1;
  for (int32_t y = 0; y < gray.height; ++y)
    for (int32_t x = 0; x < gray.width; ++x)
      if (gray.At(x, y) >= threshold) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  if (right < 0) return false;
  out.bitmap.width = right - left + 1;
  out.bitmap.height = bottom - top + 1;
  out.bitmap.ink.assign(size_t(out.bitmap.width) * size_t(out.bitmap.height), 0);
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x)
      out.bitmap.ink[size_t(y - top) * size_t(out.bitmap.width) + size_t(x - left)] =
          gray.At(x, y) >= threshold;
  out.extent = {out.bitmap.width, out.bitmap.height, gray.top - top, gray.top - bottom - 1};
  return true;
}

LineMetrics GlyphFont::Metrics(int32_t pixelsPerEm, uint8_t threshold) const {
  LineMetrics line;
  RenderedGlyph glyph;
  if (Render('x', pixelsPerEm, threshold, glyph)) line.xHeight = glyph.extent.topEdge;
  if (Render('H', pixelsPerEm, threshold, glyph)) line.capHeight = glyph.extent.topEdge;
  line.xHeight = std::max(1, line.xHeight);
  return line;
}

TemplateStore& TemplateStore::Instance() {
  static TemplateStore store;
  return store;
}

void TemplateStore::OpenFaces() {
  std::call_once(facesOpened_, [this] {
    for (const std::string& family : kTemplateFamilies)
      for (int style = 0; style < 3; ++style)
        if (auto font = GlyphFont::Open(family, style == 1, style == 2)) {
          // A family without a bold or italic face may answer with its regular file.
          bool known = std::any_of(faces_.begin(), faces_.end(),
                                   [&](const auto& face) { return face->File() == font->File(); });
          if (!known) faces_.push_back(std::move(font));
        }
  });
}

std::vector<std::string> TemplateStore::FaceNames() {
  OpenFaces();
  std::vector<std::string> names;
  for (const auto& face : faces_) names.push_back(face->Name());
  return names;
}

const TemplateBucket& TemplateStore::ForXHeight(double xHeight) {
  size_t nearest = 0;
  double logX = std::log(std::max(1.0, xHeight));
  for (size_t i = 1; i < kBucketXHeights.size(); ++i)
    if (std::abs(std::log(kBucketXHeights[i]) - logX) <
        std::abs(std::log(kBucketXHeights[nearest]) - logX))
      nearest = i;
  OpenFaces();
  std::call_once(rendered_[nearest], [&] {
    buckets_[nearest].xHeight = kBucketXHeights[nearest];
    RenderBucket(buckets_[nearest]);
  });
  return buckets_[nearest];
}

namespace {

// Small marks change shape most from one print to the next (a comma's tail is one pixel or
// none), so every bucket holds several prints of them; small buckets hold several prints of
// every character (the bar of an "e" at 7 pixels comes and goes with the scan's darkness).
struct Print {
  uint8_t threshold;
  double shift;
};
constexpr Print kPrints[] = {{128, 0.0}, {72, 0.0}, {184, 0.0}, {72, 0.5}, {184, 0.5}};
constexpr std::string_view kSmallMarks = ".,:;'\"\x84\x93\x94\x82\x91\x92\xB7-\x96\x97!i";

// One face's templates of a bucket, in the order of the alphabet.
void RenderFace(const GlyphFont& face, uint8_t faceNumber, double xHeight, TemplateBucket& set) {
  size_t prints = xHeight <= TemplateStore::kDarknessVariantsUpTo ? 3 : 1;
  int32_t size = std::max<int32_t>(4, int32_t(std::lround(xHeight / face.XHeightPerEm())));
  std::array<LineMetrics, std::size(kPrints)> lines;
  for (size_t variant = 0; variant < std::size(kPrints); ++variant)
    lines[variant] = face.Metrics(size, kPrints[variant].threshold);
  GrayGlyph gray;
  RenderedGlyph glyph;
  GlyphShape shape;
  for (char c : kExtendedAlphabet) {
    uint8_t code = uint8_t(c);
    bool mark = kSmallMarks.find(c) != std::string_view::npos;
    double renderedShift = -1;
    for (size_t variant = 0; variant < std::size(kPrints); ++variant) {
      const Print& print = kPrints[variant];
      if (variant >= prints && !mark) break;
      // One drawing serves every darkness at the same shift.
      if (print.shift != renderedShift) {
        if (!face.RenderGray(code, size, gray, print.shift, print.shift)) break;
        renderedShift = print.shift;
      }
      if (!ThresholdGlyph(gray, print.threshold, glyph) ||
          !DescribeShape(glyph.bitmap.ink.data(), glyph.bitmap.width, glyph.bitmap.height,
                         shape.bytes))
        continue;
      shape.placement = PlaceOnLine(glyph.extent, lines[variant].xHeight, lines[variant].capHeight);
      set.Add(shape, code, uint8_t(variant), faceNumber);
    }
  }
}

}  // namespace

void TemplateStore::RenderBucket(TemplateBucket& set) const {
  // The faces are shared by every bucket, and each face draws on one thread at a time.
  static std::mutex renderMutex;
  std::lock_guard lock(renderMutex);
  // Every face on its own: the faces are shared out between both cores, and their
  // templates joined in the faces' order afterwards, so the set is the same either way.
  std::vector<TemplateBucket> ofFace(faces_.size());
  OnPageThreads(faces_.size(), [&](size_t faceNumber) {
    RenderFace(*faces_[faceNumber], uint8_t(faceNumber), set.xHeight, ofFace[faceNumber]);
  });
  for (const TemplateBucket& face : ofFace) set.Append(face);
  set.SortByCode();
  set.MeasureTypicalDistance();
}

void TemplateBucket::MeasureTypicalDistance() {
  std::vector<float> nearest;
  GlyphShape shape;
  for (uint32_t i = 0; i < Size(); ++i) {
    if (variant[i] != 0) continue;
    std::copy_n(Shape(i), kShapeBytes, shape.bytes.begin());
    shape.placement = placements[i];
    float best = std::numeric_limits<float>::infinity();
    for (uint32_t j = firstOfCode[codes[i]]; j < firstOfCode[codes[i] + 1u]; ++j)
      if (faces[j] != faces[i] && variant[j] == 0)
        best = std::min(best, GlyphDistance(shape, Shape(j), placements[j]));
    if (!std::isinf(best)) nearest.push_back(best);
  }
  if (nearest.empty()) return;
  typicalDistance = std::max(0.01f, Median(std::move(nearest)));
}

void TemplateBucket::Append(const TemplateBucket& other) {
  variant.insert(variant.end(), other.variant.begin(), other.variant.end());
  faces.insert(faces.end(), other.faces.begin(), other.faces.end());
  shapes.insert(shapes.end(), other.shapes.begin(), other.shapes.end());
  coarse.insert(coarse.end(), other.coarse.begin(), other.coarse.end());
  placements.insert(placements.end(), other.placements.begin(), other.placements.end());
  codes.insert(codes.end(), other.codes.begin(), other.codes.end());
}

void TemplateBucket::Add(const GlyphShape& shape, uint8_t code, uint8_t variantNumber,
                         uint8_t face) {
  variant.push_back(variantNumber);
  faces.push_back(face);
  shapes.insert(shapes.end(), shape.bytes.begin(), shape.bytes.end());
  coarse.resize(coarse.size() + kCoarseBytes);
  CoarseShape(shape.bytes.data(), coarse.data() + coarse.size() - kCoarseBytes);
  placements.push_back(shape.placement);
  codes.push_back(code);
}

void TemplateBucket::SortByCode() {
  std::vector<size_t> order(Size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return codes[a] < codes[b]; });
  TemplateBucket sorted;
  for (size_t i : order) {
    GlyphShape shape;
    std::copy_n(Shape(i), kShapeBytes, shape.bytes.begin());
    shape.placement = placements[i];
    sorted.Add(shape, codes[i], variant[i], faces[i]);
  }
  variant = std::move(sorted.variant);
  faces = std::move(sorted.faces);
  plain = {};
  for (size_t i = 0; i < variant.size(); ++i)
    if (variant[i] == 0) {
      plain.top.push_back(placements[i].top);
      plain.bottom.push_back(placements[i].bottom);
      plain.logAspect.push_back(placements[i].logAspect);
      plain.logWidth.push_back(placements[i].logWidth);
      plain.coarse.insert(plain.coarse.end(), Coarse(i), Coarse(i) + kCoarseBytes);
      plain.codes.push_back(codes[i]);
    }
  shapes = std::move(sorted.shapes);
  coarse = std::move(sorted.coarse);
  placements = std::move(sorted.placements);
  codes = std::move(sorted.codes);
  size_t next = 0;
  for (int code = 0; code <= 256; ++code) {
    while (next < codes.size() && codes[next] < code) ++next;
    firstOfCode[size_t(code)] = uint32_t(next);
  }
}
