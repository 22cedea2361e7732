// The learned classifier: the program prepares and reads glyphs as the training framework
// did (the cases file was written by the trainer's export), and bad model files are
// refused with a message instead of reading nonsense.
#include "recognition/GlyphNet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"

namespace {

const std::string kModel = std::string(QUILLON_MODEL_DIR) + "/glyphnet.onnx";
const std::string kLabels = std::string(QUILLON_MODEL_DIR) + "/glyphnet.labels";

struct NetCase {
  GlyphBitmap glyph;
  PageBox box;
  LineMetrics line;
  std::vector<ScoredChar> expected;
};

std::vector<NetCase> ReadCases() {
  std::ifstream in(std::string(QUILLON_TEST_DATA) + "/glyphnet/cases.txt");
  std::vector<NetCase> cases;
  std::string word;
  while (in >> word) {
    if (word != "glyph") continue;
    NetCase c;
    int32_t inkTop = 0;
    in >> c.glyph.width >> c.glyph.height >> inkTop >> c.line.baseline >> c.line.xHeight;
    for (int32_t y = 0; y < c.glyph.height; ++y) {
      std::string row;
      in >> row;
      for (char pixel : row) c.glyph.ink.push_back(pixel == '1');
    }
    c.box = {0, inkTop, c.glyph.width - 1, inkTop + c.glyph.height - 1};
    in >> word;  // "probs"
    std::string pair;
    std::getline(in, pair);
    std::istringstream pairs(pair);
    while (pairs >> pair) {
      const size_t colon = pair.find(':');
      c.expected.push_back(
          {uint8_t(std::stoi(pair.substr(0, colon))), std::stod(pair.substr(colon + 1))});
    }
    cases.push_back(std::move(c));
  }
  return cases;
}

GlyphBitmap Bar(int32_t width, int32_t height) {
  return {width, height, std::vector<uint8_t>(size_t(width) * size_t(height), 1)};
}

// The first `count` cases as the net sees them.
std::vector<GlyphNetInput> FirstInputs(size_t count) {
  const std::vector<NetCase> cases = ReadCases();
  std::vector<GlyphNetInput> inputs(count);
  for (size_t i = 0; i < count && i < cases.size(); ++i)
    EXPECT_TRUE(PrepareGlyph(cases[i].glyph, cases[i].box, cases[i].line, &inputs[i]));
  EXPECT_GE(cases.size(), count);
  return inputs;
}

}  // namespace

TEST(GlyphNet, GivesTheTrainingFrameworksAnswers) {
  const GlyphNet net(kModel, kLabels);
  const std::vector<NetCase> cases = ReadCases();
  ASSERT_GE(cases.size(), 10u);
  std::vector<GlyphNetInput> inputs(cases.size());
  for (size_t i = 0; i < cases.size(); ++i)
    ASSERT_TRUE(PrepareGlyph(cases[i].glyph, cases[i].box, cases[i].line, &inputs[i]));
  // One batch, as a line is read: each glyph's answer must not depend on its neighbours.
  const std::vector<std::vector<float>> probabilities = net.Probabilities(inputs);
  ASSERT_EQ(probabilities.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    std::vector<size_t> order(net.Codes().size());
    for (size_t c = 0; c < order.size(); ++c) order[c] = c;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return probabilities[i][a] > probabilities[i][b]; });
    for (size_t k = 0; k < cases[i].expected.size(); ++k) {
      EXPECT_EQ(net.Codes()[order[k]], cases[i].expected[k].code) << "case " << i << " rank " << k;
      EXPECT_NEAR(probabilities[i][order[k]], cases[i].expected[k].score, 1e-3) << "case " << i;
    }
  }
}

TEST(GlyphNet, ReadingsLeaveOutNotACharacterAndComeBestFirst) {
  const GlyphNet net(kModel, kLabels);
  const std::vector<NetCase> cases = ReadCases();
  ASSERT_FALSE(cases.empty());
  GlyphNetInput input;
  ASSERT_TRUE(PrepareGlyph(cases[0].glyph, cases[0].box, cases[0].line, &input));
  const GlyphReading reading = net.Classify({input}, 5).front();
  const std::vector<ScoredChar>& readings = reading.readings;
  EXPECT_GE(reading.oneCharacter, readings.front().score);
  EXPECT_LE(reading.oneCharacter, 1.0 + 1e-6);
  ASSERT_EQ(readings.size(), 5u);
  for (size_t i = 0; i < readings.size(); ++i) {
    EXPECT_NE(readings[i].code, 0);
    EXPECT_GE(readings[i].score, 0.0);
    EXPECT_LE(readings[i].score, 1.0);
    if (i > 0) {
      EXPECT_LE(readings[i].score, readings[i - 1].score);
    }
  }
}

// Inputs read before are not read again: the readings must be those of a first reading,
// within a batch and across calls.
TEST(GlyphNet, RepeatedGlyphsReadAsTheFirstTime) {
  const GlyphNet net(kModel, kLabels);
  const std::vector<GlyphNetInput> inputs = FirstInputs(3);
  const std::vector<GlyphNetInput> batch = {inputs[0], inputs[1], inputs[0], inputs[2], inputs[1]};
  const auto first = net.Classify(batch, 3);
  const auto again = net.Classify({inputs[2], inputs[0]}, 3);
  const auto probabilities = net.Probabilities(inputs);
  // The three most probable characters of each input, from its probabilities alone.
  const auto expect = [&](const GlyphReading& reading, size_t input) {
    const std::vector<ScoredChar>& got = reading.readings;
    std::vector<size_t> order;
    for (size_t k = 0; k < net.Codes().size(); ++k)
      if (net.Codes()[k] != 0) order.push_back(k);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
      return probabilities[input][a] > probabilities[input][b];
    });
    ASSERT_EQ(got.size(), 3u);
    for (size_t r = 0; r < 3; ++r) {
      EXPECT_EQ(got[r].code, net.Codes()[order[r]]);
      EXPECT_FLOAT_EQ(float(got[r].score), probabilities[input][order[r]]);
    }
    EXPECT_NEAR(reading.oneCharacter, 1.0 - probabilities[input][0], 1e-5);
  };
  const size_t which[] = {0, 1, 0, 2, 1};
  for (size_t i = 0; i < batch.size(); ++i) expect(first[i], which[i]);
  expect(again[0], 2);
  expect(again[1], 0);
}

// What the net saw of each glyph comes with its readings, the same for the same input (read
// again or remembered) and apart for different glyphs.
TEST(GlyphNet, ReadingsCarryWhatTheNetSaw) {
  const GlyphNet net(kModel, kLabels);
  const std::vector<GlyphNetInput> inputs = FirstInputs(2);
  const auto first = net.Classify({inputs[0], inputs[1], inputs[0]}, 5);
  const auto again = net.Classify({inputs[0]}, 5);
  for (const GlyphReading& reading : first) {
    ASSERT_TRUE(reading.features);
    EXPECT_FALSE(reading.features->empty());
  }
  ASSERT_TRUE(again[0].features);
  EXPECT_EQ(*first[0].features, *first[2].features);
  EXPECT_EQ(*first[0].features, *again[0].features);
  EXPECT_NE(*first[0].features, *first[1].features);
}

// A page's glyphs go through the net in runs: each glyph's readings and what the net saw of
// it must be its own, whatever run it fell in.
TEST(GlyphNet, ALongBatchReadsEachGlyphAsAlone) {
  const std::vector<NetCase> cases = ReadCases();
  ASSERT_GE(cases.size(), 40u);
  const std::vector<GlyphNetInput> inputs = FirstInputs(40);
  const GlyphNet together(kModel, kLabels);
  const GlyphNet alone(kModel, kLabels);
  const auto batch = together.Classify(inputs, 3);
  ASSERT_EQ(batch.size(), inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    const GlyphReading single = alone.Classify({inputs[i]}, 3).front();
    ASSERT_EQ(batch[i].readings.size(), single.readings.size()) << "glyph " << i;
    EXPECT_EQ(batch[i].readings.front().code, single.readings.front().code) << "glyph " << i;
    EXPECT_NEAR(batch[i].readings.front().score, single.readings.front().score, 1e-4);
    ASSERT_TRUE(batch[i].features && single.features);
    ASSERT_EQ(batch[i].features->size(), single.features->size());
    for (size_t k = 0; k < single.features->size(); ++k)
      ASSERT_NEAR((*batch[i].features)[k], (*single.features)[k], 1e-3) << "glyph " << i;
  }
}

TEST(GlyphNet, PreparationCropsPaperAndPlacesTheInkOnItsLine) {
  const LineMetrics line{100, 20, 28};
  GlyphNetInput tight, padded;
  // A stem from the x-height down to a descender's depth, once with paper around it.
  ASSERT_TRUE(PrepareGlyph(Bar(4, 30), {10, 81, 13, 110}, line, &tight));
  GlyphBitmap withPaper{10, 40, std::vector<uint8_t>(400, 0)};
  for (int32_t y = 5; y < 35; ++y)
    for (int32_t x = 3; x < 7; ++x) withPaper.ink[size_t(y * 10 + x)] = 1;
  ASSERT_TRUE(PrepareGlyph(withPaper, {7, 76, 16, 115}, line, &padded));
  EXPECT_EQ(tight.image, padded.image);
  EXPECT_EQ(tight.geometry, padded.geometry);
  EXPECT_FLOAT_EQ(tight.geometry[1], 1.5f);   // 30 rows, 20 of x-height
  EXPECT_FLOAT_EQ(tight.geometry[2], 1.0f);   // top at the x-height
  EXPECT_FLOAT_EQ(tight.geometry[3], -0.5f);  // bottom below the baseline
  // The ink fills the frame's height and stays centred: no ink in the margins.
  float sum = 0;
  for (int32_t x = 0; x < kGlyphNetSide; ++x)
    sum += tight.image[size_t(x)] + tight.image[size_t(31 * kGlyphNetSide + x)];
  EXPECT_EQ(sum, 0.0f);
  EXPECT_FLOAT_EQ(tight.image[size_t(16 * kGlyphNetSide + 16)], 1.0f);
  // Nothing to read, and a box that does not fit its bitmap.
  EXPECT_FALSE(
      PrepareGlyph(GlyphBitmap{5, 5, std::vector<uint8_t>(25, 0)}, {0, 0, 4, 4}, line, &tight));
  EXPECT_FALSE(
      PrepareGlyph(GlyphBitmap{5, 5, std::vector<uint8_t>(3, 1)}, {0, 0, 4, 4}, line, &tight));
}

TEST(GlyphNet, BadModelFilesAreRefusedWithAMessage) {
  const std::filesystem::path dir = FreshTestDir("glyphnet");
  const auto file = [&dir](const char* name) { return (dir / name).string(); };
  const std::string garbage = file("garbage.onnx");
  std::ofstream(garbage) << "not a model at all";
  const std::string fewLabels = file("few.labels");
  std::ofstream(fewLabels) << "97\n98\n";
  const std::string badLabels = file("bad.labels");
  std::ofstream(badLabels) << "97\nx\n";
  const auto message = [](const std::string& model, const std::string& labels) {
    try {
      GlyphNet net(model, labels);
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  EXPECT_NE(message(file("missing.onnx"), kLabels).find("cannot be read"), std::string::npos);
  EXPECT_NE(message(kModel, file("missing.labels")).find("cannot be read"), std::string::npos);
  EXPECT_NE(message(garbage, kLabels).find("damaged"), std::string::npos);
  EXPECT_NE(message(kModel, badLabels).find("damaged"), std::string::npos);
  EXPECT_NE(message(kModel, fewLabels).find("does not match"), std::string::npos);
  std::filesystem::remove_all(dir);
}
