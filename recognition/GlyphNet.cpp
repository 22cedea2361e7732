#include "recognition/GlyphNet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numeric>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/dnn.hpp>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

#include "core/RegularFiles.h"

namespace {

// The glyph is scaled into this square, centred in the net's input, so that a margin of
// paper surrounds it as in training.
constexpr double kGlyphFrame = 28.0;
// Samples a side within each input pixel: one rule that scales up and down alike.
constexpr int32_t kSamples = 4;
// Readings kept of inputs read before, with what the net saw of each (0.7 KB): enough for
// the distinct glyphs of a few pages, under 20 megabytes.
constexpr size_t kRememberedGlyphs = 25000;
// The net's working memory grows with the glyphs it reads at once (some 50 KB each: a long
// line's words read again took 50 MB), and it reads no faster beyond a few dozen a call
// (below 32 it slows): the glyphs go through in runs of this many.
constexpr size_t kGlyphsPerForward = 32;
// Readings given of each glyph: a fax's broken letter or a piece of a cut may have its own
// reading below the fifth, and the word reading weighs the first eight.
constexpr size_t kRememberedReadings = 8;
// The layers whose outputs are the readings and what the net saw of the glyph (the input of
// its last layer).
const char* const kProbabilitiesLayer = "probabilities";
const char* const kFeaturesLayer = "onnx_node!/net/Concat";
// Geometry beyond this many x-heights is noise (a line's metrics gone wrong), not shape.
constexpr float kGeometryLimit = 6.0f;

// For each input pixel's samples along one axis, the glyph's row or column they fall on
// (-1: outside it, paper).
std::array<int32_t, kGlyphNetSide * kSamples> SampleIndices(int32_t length, double scale,
                                                            double offset) {
  std::array<int32_t, kGlyphNetSide * kSamples> indices;
  for (int32_t p = 0; p < kGlyphNetSide; ++p)
    for (int32_t k = 0; k < kSamples; ++k) {
      const int32_t at = int32_t(std::floor((p + (k + 0.5) / kSamples - offset) / scale));
      indices[size_t(p * kSamples + k)] = at >= 0 && at < length ? at : -1;
    }
  return indices;
}

void DrawScaled(const GlyphBitmap& glyph, const PageBox& tight, GlyphNetInput* input) {
  const double scale =
      std::min(kGlyphFrame / double(tight.Width()), kGlyphFrame / double(tight.Height()));
  const auto columns =
      SampleIndices(tight.Width(), scale, (kGlyphNetSide - tight.Width() * scale) / 2);
  const auto rows =
      SampleIndices(tight.Height(), scale, (kGlyphNetSide - tight.Height() * scale) / 2);
  // The ink samples of one glyph row, summed by input pixel; neighbouring sample rows often
  // fall on the same glyph row, which is then sampled once.
  std::array<int32_t, kGlyphNetSide> rowSamples{};
  int32_t sampledRow = -1;
  for (int32_t y = 0; y < kGlyphNetSide; ++y) {
    std::array<int32_t, kGlyphNetSide> inkSamples{};
    for (int32_t j = 0; j < kSamples; ++j) {
      const int32_t sy = rows[size_t(y * kSamples + j)];
      if (sy < 0) continue;
      if (sy != sampledRow) {
        const uint8_t* row = &glyph.ink[size_t(tight.top + sy) * size_t(glyph.width)];
        for (int32_t x = 0; x < kGlyphNetSide; ++x) {
          int32_t sum = 0;
          for (int32_t i = 0; i < kSamples; ++i) {
            const int32_t column = columns[size_t(x * kSamples + i)];
            sum += column >= 0 && row[tight.left + column] != 0;
          }
          rowSamples[size_t(x)] = sum;
        }
        sampledRow = sy;
      }
      for (int32_t x = 0; x < kGlyphNetSide; ++x) inkSamples[size_t(x)] += rowSamples[size_t(x)];
    }
    for (int32_t x = 0; x < kGlyphNetSide; ++x)
      input->image[size_t(y * kGlyphNetSide + x)] =
          float(inkSamples[size_t(x)]) / float(kSamples * kSamples);
  }
}

// FNV-1a over the input, eight bytes a step (a byte a step cost as much as preparing the
// glyph): equal inputs, equal keys; each step is one-to-one, so inputs differing in one word
// never share a key, and a clash of others is as likely as a cosmic ray.
uint64_t KeyOf(const GlyphNetInput& input) {
  uint64_t key = 14695981039346656037ull;
  const auto mix = [&key](const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t i = 0;
    for (; i + sizeof(uint64_t) <= size; i += sizeof(uint64_t)) {
      uint64_t word;
      std::memcpy(&word, bytes + i, sizeof(word));
      key = (key ^ word) * 1099511628211ull;
    }
    for (; i < size; ++i) key = (key ^ bytes[i]) * 1099511628211ull;
  };
  mix(input.image.data(), sizeof(input.image));
  mix(input.geometry.data(), sizeof(input.geometry));
  return key;
}

// Far above the committed model's size; a larger file is not a model of ours.
constexpr uint64_t kMaxModelBytes = uint64_t(1) << 30;

// The model's files are opened only when regular, so that nothing put in their place can
// hold up the start.
std::string ReadModelFile(const std::string& file) {
  std::string content, error;
  if (!ReadRegularFile(file, kMaxModelBytes, &content, &error))
    throw std::runtime_error("The glyph model cannot be read: " + error);
  return content;
}

std::vector<uint8_t> ReadCodes(const std::string& labelsFile) {
  std::istringstream in(ReadModelFile(labelsFile));
  std::vector<uint8_t> codes;
  int32_t code = 0;
  while (in >> code) {
    if (code < 0 || code > 255)
      throw std::runtime_error("The glyph model's classes are damaged: " + labelsFile);
    codes.push_back(uint8_t(code));
  }
  if (codes.empty() || !in.eof())
    throw std::runtime_error("The glyph model's classes are damaged: " + labelsFile);
  return codes;
}

std::vector<uchar> ReadBytes(const std::string& file) {
  const std::string content = ReadModelFile(file);
  return {content.begin(), content.end()};
}

}  // namespace

bool PrepareGlyph(const GlyphBitmap& glyph, const PageBox& box, const LineMetrics& line,
                  GlyphNetInput* input) {
  PageBox tight;
  if (!InkBounds(glyph, &tight)) return false;
  DrawScaled(glyph, tight, input);
  const double xHeight = std::max(1, line.xHeight);
  const int32_t inkTop = box.top + tight.top;
  const int32_t inkBottom = inkTop + tight.Height() - 1;
  const double values[kGlyphNetGeometry] = {
      tight.Width() / xHeight, tight.Height() / xHeight, (line.baseline + 1 - inkTop) / xHeight,
      (line.baseline - inkBottom) / xHeight, std::log(double(tight.Width()) / tight.Height())};
  for (int32_t i = 0; i < kGlyphNetGeometry; ++i)
    input->geometry[size_t(i)] = std::clamp(float(values[i]), -kGeometryLimit, kGeometryLimit);
  return true;
}

// A net may run one batch at a time: each thread that reads takes a net of its own from
// here, made from the model's bytes when none is free.
struct GlyphNet::Pool {
  std::vector<uchar> model;
  std::mutex lock;
  std::vector<cv::dnn::Net> idle;

  cv::dnn::Net Take() {
    {
      std::lock_guard<std::mutex> hold(lock);
      if (!idle.empty()) {
        cv::dnn::Net net = idle.back();
        idle.pop_back();
        return net;
      }
    }
    return cv::dnn::readNetFromONNX(model);
  }
  void Give(cv::dnn::Net net) {
    std::lock_guard<std::mutex> hold(lock);
    idle.push_back(std::move(net));
  }
};

struct GlyphNet::Remembered {
  std::mutex lock;
  std::unordered_map<uint64_t, GlyphReading> readings;
};

GlyphNet::GlyphNet(const std::string& modelFile, const std::string& labelsFile)
    : codes_(ReadCodes(labelsFile)),
      pool_(std::make_unique<Pool>()),
      remembered_(std::make_unique<Remembered>()) {
  // The program reads lines on both cores itself, and a batch forks workers after loading
  // the model: OpenCV's own thread pool would only compete, and does not survive a fork.
  cv::setNumThreads(1);
  // A damaged model is reported by the exception below, in the program's own words.
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  pool_->model = ReadBytes(modelFile);
  try {
    cv::dnn::Net net = cv::dnn::readNetFromONNX(pool_->model);
    if (net.empty()) throw std::runtime_error("empty");
    pool_->Give(std::move(net));
  } catch (const std::exception&) {
    throw std::runtime_error("The glyph model is damaged: " + modelFile);
  }
  // One trial glyph tells whether the model and its classes belong together.
  if (Probabilities({GlyphNetInput{}}).front().size() != codes_.size())
    throw std::runtime_error("The glyph model does not match its classes: " + labelsFile);
}

GlyphNet::~GlyphNet() = default;

std::vector<std::vector<float>> GlyphNet::Probabilities(
    const std::vector<GlyphNetInput>& glyphs) const {
  return Forward(glyphs, nullptr);
}

std::vector<std::vector<float>> GlyphNet::Forward(const std::vector<GlyphNetInput>& glyphs,
                                                  std::vector<GlyphFeatures>* features) const {
  std::vector<std::vector<float>> probabilities(glyphs.size());
  if (features) features->resize(glyphs.size());
  for (size_t first = 0; first < glyphs.size(); first += kGlyphsPerForward)
    ForwardSome(glyphs, first, std::min(glyphs.size(), first + kGlyphsPerForward), &probabilities,
                features);
  return probabilities;
}

void GlyphNet::ForwardSome(const std::vector<GlyphNetInput>& glyphs, size_t first, size_t end,
                           std::vector<std::vector<float>>* probabilities,
                           std::vector<GlyphFeatures>* features) const {
  const int32_t count = int32_t(end - first);
  const int imageSizes[4] = {count, 1, kGlyphNetSide, kGlyphNetSide};
  cv::Mat images(4, imageSizes, CV_32F);
  cv::Mat geometry(count, kGlyphNetGeometry, CV_32F);
  for (int32_t n = 0; n < count; ++n) {
    const GlyphNetInput& glyph = glyphs[first + size_t(n)];
    std::copy(glyph.image.begin(), glyph.image.end(), images.ptr<float>(n));
    std::copy(glyph.geometry.begin(), glyph.geometry.end(), geometry.ptr<float>(n));
  }
  cv::dnn::Net net = pool_->Take();
  net.setInput(images, "image");
  net.setInput(geometry, "geometry");
  std::vector<cv::Mat> outs;
  try {
    if (features)
      net.forward(outs, std::vector<cv::String>{kProbabilitiesLayer, kFeaturesLayer});
    else
      outs.push_back(net.forward());
  } catch (...) {
    pool_->Give(std::move(net));
    throw;
  }
  pool_->Give(std::move(net));
  const cv::Mat out = outs[0].reshape(1, count);
  for (int32_t n = 0; n < count; ++n)
    (*probabilities)[first + size_t(n)].assign(out.ptr<float>(n), out.ptr<float>(n) + out.cols);
  if (!features) return;
  const cv::Mat seen = outs[1].reshape(1, count);
  for (int32_t n = 0; n < count; ++n)
    (*features)[first + size_t(n)] = std::make_shared<const std::vector<float>>(
        seen.ptr<float>(n), seen.ptr<float>(n) + seen.cols);
}

GlyphReading GlyphNet::Best(const std::vector<float>& p, size_t count) const {
  std::vector<size_t> order(p.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::erase_if(order, [this](size_t c) { return codes_[c] == 0; });
  const size_t kept = std::min(count, order.size());
  std::partial_sort(order.begin(), order.begin() + long(kept), order.end(),
                    [&p](size_t a, size_t b) { return p[a] > p[b]; });
  GlyphReading best;
  for (size_t i = 0; i < kept; ++i)
    best.readings.push_back({codes_[order[i]], double(p[order[i]])});
  best.oneCharacter = 0;
  for (size_t c : order) best.oneCharacter += p[c];
  return best;
}

std::vector<GlyphReading> GlyphNet::Classify(const std::vector<GlyphNetInput>& glyphs,
                                             size_t count) const {
  std::vector<GlyphReading> readings(glyphs.size());
  if (count > kRememberedReadings) {
    const std::vector<std::vector<float>> probabilities = Probabilities(glyphs);
    for (size_t i = 0; i < glyphs.size(); ++i) readings[i] = Best(probabilities[i], count);
    return readings;
  }
  // The inputs not read before, each once.
  std::vector<uint64_t> keys(glyphs.size());
  std::vector<GlyphNetInput> unread;
  std::vector<uint64_t> unreadKeys;
  {
    std::lock_guard<std::mutex> hold(remembered_->lock);
    for (size_t i = 0; i < glyphs.size(); ++i) {
      keys[i] = KeyOf(glyphs[i]);
      if (remembered_->readings.count(keys[i]) == 0 &&
          std::find(unreadKeys.begin(), unreadKeys.end(), keys[i]) == unreadKeys.end()) {
        unread.push_back(glyphs[i]);
        unreadKeys.push_back(keys[i]);
      }
    }
  }
  std::vector<GlyphFeatures> features;
  const std::vector<std::vector<float>> probabilities = Forward(unread, &features);
  std::lock_guard<std::mutex> hold(remembered_->lock);
  if (remembered_->readings.size() + unread.size() > kRememberedGlyphs)
    remembered_->readings.clear();
  for (size_t k = 0; k < unread.size(); ++k) {
    GlyphReading& reading = remembered_->readings[unreadKeys[k]];
    reading = Best(probabilities[k], kRememberedReadings);
    reading.features = std::move(features[k]);
  }
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const GlyphReading& best = remembered_->readings.at(keys[i]);
    readings[i].readings.assign(
        best.readings.begin(), best.readings.begin() + long(std::min(count, best.readings.size())));
    readings[i].oneCharacter = best.oneCharacter;
    readings[i].features = best.features;
  }
  return readings;
}
