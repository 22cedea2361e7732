// The letters of the words the word lists settle are the page's own examples of its face, as
// degraded as the rest of it. A glyph is compared with them in the learned classifier's
// features: its nearest examples vote for their letters, and the vote weighs in beside the
// classifier's own reading as far as the glyph lies as close to them as the page's letters lie
// to each other.
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <opencv2/core.hpp>
#include <string>

#ifdef __SSE2__
#include <xmmintrin.h>
#endif

#include "core/Cp1252.h"
#include "core/Median.h"
#include "recognition/ExtendedPage.h"

namespace {

// Enough examples of a letter to show its spread; more only cost time.
constexpr size_t kExamplesPerLetter = 60;
// Fewer examples than this on the page (a few words) would vote on too little.
constexpr size_t kLeastExamples = 40;
// The nearest examples that vote: a few, so that a letter the page shows seldom still wins
// where its glyph lies among its own.
constexpr size_t kVoters = 5;
// The vote's weight beside the classifier's reading, for a glyph as close to its nearest
// example as the page's letters lie to theirs; it fades as the glyph lies further off.
constexpr double kPageWeight = 0.5;
// Below this the vote would move no reading: the glyph is none of the page's letters.
constexpr double kLeastWeight = 0.01;
constexpr size_t kReadingsKept = 8;

// Readings the vote leaves to the classifier: the same letter in another case or with an
// accent, and the upright strokes, told apart by height and marks the features hardly weigh.
uint8_t ShapeFamily(uint8_t code) {
  if (code == 'I' || code == 'l' || code == '1' || code == '|') return 'l';
  const uint8_t base = BaseLetter1252(code);
  return ToSmall1252(base ? base : code);
}

// A glyph read as a figure or a small mark: the examples are letters, and a comma or a full
// stop lies nearer to some letter's examples than to none.
bool ReadAsFigureOrMark(uint8_t code) {
  static const std::string kMarks = ",.;:'-!\x82\x84\x91\x92\x93\x94\"";
  return IsDigit1252(code) || kMarks.find(char(code)) != std::string::npos;
}

// The squared distance of two rows of `width` floats, summed directly: from the rows' norms
// and their product, the small differences of close glyphs far from the origin are lost, and
// OpenCV's product took half the time of reading the doubtful words again.
float SquaredDistance(const float* a, const float* b, int width) {
  int i = 0;
  float sum = 0;
#ifdef __SSE2__
  __m128 sums[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
  for (; i + 8 <= width; i += 8)
    for (int k = 0; k < 2; ++k) {
      const __m128 d = _mm_sub_ps(_mm_loadu_ps(a + i + 4 * k), _mm_loadu_ps(b + i + 4 * k));
      sums[k] = _mm_add_ps(sums[k], _mm_mul_ps(d, d));
    }
  alignas(16) float lanes[4];
  _mm_store_ps(lanes, _mm_add_ps(sums[0], sums[1]));
  sum = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
#endif
  for (; i < width; ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
  return sum;
}

// Squared distances of each row of `queries` to each row of `examples` (rows x examples).
cv::Mat SquaredDistances(const cv::Mat& queries, const cv::Mat& examples) {
  cv::Mat distances(queries.rows, examples.rows, CV_32F);
  for (int r = 0; r < queries.rows; ++r) {
    float* row = distances.ptr<float>(r);
    for (int c = 0; c < examples.rows; ++c)
      row[c] = SquaredDistance(queries.ptr<float>(r), examples.ptr<float>(c), queries.cols);
  }
  return distances;
}

// How far each example lies from the nearest other example of its letter, where the two are
// not pixel for pixel the same glyph.
void AddNearestOfSameLetter(const cv::Mat& same, std::vector<double>* nearest) {
  const cv::Mat distances = SquaredDistances(same, same);
  for (int i = 0; i < distances.rows; ++i) {
    float best = -1;
    for (int j = 0; j < distances.cols; ++j)
      if (j != i && (best < 0 || distances.at<float>(i, j) < best))
        best = distances.at<float>(i, j);
    if (best > 0) nearest->push_back(std::sqrt(double(best)));
  }
}

// Rows of `width` floats, viewed in place.
cv::Mat RowsOf(const std::vector<float>& values, size_t width) {
  return cv::Mat(int(values.size() / width), int(width), CV_32F, const_cast<float*>(values.data()));
}

}  // namespace

PageShapes::PageShapes(const std::vector<ShapeExample>& examples) {
  std::array<size_t, 256> taken{};
  for (const ShapeExample& example : examples) {
    if (!example.features || example.features->empty()) continue;
    if (width_ == 0) width_ = example.features->size();
    if (example.features->size() != width_ || taken[example.code] >= kExamplesPerLetter) continue;
    ++taken[example.code];
    examples_.insert(examples_.end(), example.features->begin(), example.features->end());
    codes_.push_back(example.code);
  }
  if (codes_.size() < kLeastExamples) {
    codes_.clear();
    return;
  }
  const cv::Mat rows = RowsOf(examples_, width_);
  std::vector<double> nearest;
  for (size_t code = 0; code < taken.size(); ++code) {
    if (taken[code] < 2) continue;
    cv::Mat same;
    for (size_t i = 0; i < codes_.size(); ++i)
      if (codes_[i] == code) same.push_back(rows.row(int(i)));
    AddNearestOfSameLetter(same, &nearest);
  }
  typicalDistance_ = nearest.empty() ? 0.0 : Median(std::move(nearest));
  if (typicalDistance_ <= 0) codes_.clear();
}

void PageShapes::Weigh(std::vector<GlyphReading>* readings) const {
  if (Empty()) return;
  std::vector<size_t> weighed;
  cv::Mat queries;
  for (size_t i = 0; i < readings->size(); ++i) {
    const GlyphReading& reading = (*readings)[i];
    if (!reading.features || reading.features->size() != width_ || reading.readings.empty() ||
        ReadAsFigureOrMark(reading.readings.front().code))
      continue;
    weighed.push_back(i);
    queries.push_back(
        cv::Mat(1, int(width_), CV_32F, const_cast<float*>(reading.features->data())));
  }
  if (weighed.empty()) return;
  const cv::Mat distances = SquaredDistances(queries, RowsOf(examples_, width_));
  std::vector<size_t> order(codes_.size());
  for (size_t q = 0; q < weighed.size(); ++q) {
    const float* row = distances.ptr<float>(int(q));
    std::iota(order.begin(), order.end(), size_t(0));
    const size_t voters = std::min(kVoters, order.size());
    std::partial_sort(order.begin(), order.begin() + long(voters), order.end(),
                      [row](size_t a, size_t b) { return row[a] < row[b]; });
    const double nearest = std::sqrt(double(row[order[0]])) / typicalDistance_;
    const double weight = kPageWeight * std::exp(-std::max(0.0, nearest - 1.0));
    if (weight < kLeastWeight) continue;
    std::vector<uint8_t> voted;
    for (size_t v = 0; v < voters; ++v) voted.push_back(codes_[order[v]]);
    WeighWithVote(voted, weight, &(*readings)[weighed[q]].readings);
  }
}

void WeighWithVote(const std::vector<uint8_t>& voted, double weight,
                   std::vector<ScoredChar>* readings) {
  if (voted.empty()) return;
  std::array<double, 256> vote{};
  std::array<uint8_t, 256> nearestOfFamily{};
  for (uint8_t code : voted) {
    const uint8_t family = ShapeFamily(code);
    if (vote[family] == 0) nearestOfFamily[family] = code;
    vote[family] += 1.0 / double(voted.size());
  }
  // Within a family the classifier's own shares stand.
  std::array<double, 256> familyScore{};
  for (const ScoredChar& s : *readings) familyScore[ShapeFamily(s.code)] += s.score;
  for (ScoredChar& s : *readings) {
    const double family = familyScore[ShapeFamily(s.code)];
    const double share = family > 0 ? s.score / family : 0.0;
    s.score = (1 - weight) * s.score + weight * vote[ShapeFamily(s.code)] * share;
  }
  for (size_t family = 0; family < vote.size(); ++family)
    if (vote[family] > 0 && familyScore[family] <= 0)
      readings->push_back({nearestOfFamily[family], weight * vote[family]});
  std::stable_sort(readings->begin(), readings->end(),
                   [](const ScoredChar& a, const ScoredChar& b) { return a.score > b.score; });
  if (readings->size() > kReadingsKept) readings->resize(kReadingsKept);
}
