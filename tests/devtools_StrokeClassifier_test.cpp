#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devtools/StrokeClassifier.h"
#include "devtools_TestImages.h"
#include "platform/SoftwareCanvas.h"

namespace {

const std::vector<std::string> kLabels = {"Strichlinks:",
                                          "Strichlinksmitte:",
                                          "striktlinks:",
                                          "Strichlinksoben:",
                                          "Strichlinksunten:",
                                          "ganzlinksoben:",
                                          "ganzlinksunten:",
                                          "strichlink halb:",
                                          "Strichrechts:",
                                          "Strichrechtsmitter:",
                                          "Strichrechtsoben:",
                                          "Strichrechtsunten:",
                                          "ganzrechtsoben:",
                                          "ganzrechtsunten:",
                                          "strichrechts halb:",
                                          "Strichmitte:",
                                          "Middle:",
                                          "Strichunten:",
                                          "Strichuntenmitte:",
                                          "Strichunten halb:",
                                          "Strichoben:",
                                          "Tstrich:",
                                          "Strichobenmitte:",
                                          "Strichobenhalb:",
                                          "Strichmittey:",
                                          "Strichmitteyhalb:",
                                          "KSlash:",
                                          "Slash:",
                                          "Slash halb:",
                                          "Backslash:",
                                          "Backslash halb:"};
// Positions of the darkest-bin features (the others are ink features).
const std::vector<int> kDarkestFeatures = {0, 2, 8, 15, 17, 20, 24, 26, 27, 29};

struct Classified {
  std::string result;
  std::vector<std::string> log;
  ProfileMeans means;
};

Classified ClassifyImage(RasterImage image) {
  Classified c;
  c.means = ComputeProfiles(image, BuildDirectionTable());
  c.result = ClassifyStrokes(c.means, [&](const std::string& line) { c.log.push_back(line); });
  deldib(&image);
  return c;
}

// Checks that the log holds the 31 labels in order, each with "0" or "1", and returns the
// feature values.
std::vector<bool> CheckedFeatureLog(const std::vector<std::string>& log) {
  std::vector<bool> values;
  EXPECT_EQ(log.size(), 31u);
  for (size_t i = 0; i < log.size() && i < kLabels.size(); ++i) {
    EXPECT_EQ(log[i].substr(0, log[i].size() - 1), kLabels[i]) << i;
    char last = log[i].back();
    EXPECT_TRUE(last == '0' || last == '1') << log[i];
    values.push_back(last == '1');
  }
  return values;
}

StrokeFeatures FeaturesNamed(const std::vector<std::string>& labels) {
  StrokeFeatures f{};
  for (const std::string& label : labels) {
    size_t i = 0;
    while (i < kLabels.size() && kLabels[i] != label + ":") ++i;
    EXPECT_LT(i, kLabels.size()) << label;
    if (i < kLabels.size()) f[i] = true;
  }
  return f;
}

TEST(StrokeClassifier, SolidBoxIsLOderIWithEveryDarkestFeature) {
  Classified c = ClassifyImage(FlatImage(5, 12, 0));
  EXPECT_EQ(c.result, "l oder i");
  for (double mean : c.means) EXPECT_EQ(mean == 0.0 || mean == 255.0, true);
  std::vector<bool> values = CheckedFeatureLog(c.log);
  for (int i : kDarkestFeatures) EXPECT_TRUE(values[size_t(i)]) << kLabels[size_t(i)];
}

TEST(StrokeClassifier, WhiteImageIsLOderIWithoutAnyInk) {
  Classified c = ClassifyImage(FlatImage(7, 9, 255));
  EXPECT_EQ(c.result, "l oder i");
  for (double mean : c.means) EXPECT_EQ(mean, 255.0);
  std::vector<bool> values = CheckedFeatureLog(c.log);
  for (size_t i = 0; i < values.size(); ++i) {
    bool darkest = std::find(kDarkestFeatures.begin(), kDarkestFeatures.end(), int(i)) !=
                   kDarkestFeatures.end();
    EXPECT_EQ(values[i], darkest) << kLabels[i];
  }
}

TEST(StrokeClassifier, LogsAllFeaturesInOrderWhenNoRuleApplies) {
  // Darkest only in the middle columns and the bottom rows, no ink anywhere.
  ProfileMeans means;
  means.fill(200);
  means[size_t(ProfileIndex(0, 4, 5))] = 100;
  for (int k : {0, 2, 5, 6}) means[size_t(ProfileIndex(0, k, 0))] = 100;
  std::vector<std::string> log;
  std::string result = ClassifyStrokes(means, [&](const std::string& l) { log.push_back(l); });
  EXPECT_EQ(result, "");
  std::vector<bool> values = CheckedFeatureLog(log);
  EXPECT_TRUE(values[15]);  // Strichmitte
  EXPECT_TRUE(values[17]);  // Strichunten
}

TEST(StrokeClassifier, InkThresholdsAreStrict) {
  // Ten rows, so in direction 0 row u (from the bottom) is bin u. Row u = 6 averages
  // exactly 0.25 x 255 = 63.75: not ink for Tstrich; one step darker it is.
  for (uint8_t last : {uint8_t(255), uint8_t(254)}) {
    RasterImage image = FlatImage(4, 10, 255);
    uint8_t* row = DIBRow(image, 6);
    row[0] = row[3] = row[6] = 0;
    row[9] = last;
    Classified c = ClassifyImage(image);
    EXPECT_DOUBLE_EQ(c.means[size_t(ProfileIndex(0, 0, 6))], (3 * 0 + last) / 4.0);
    std::vector<bool> values = CheckedFeatureLog(c.log);
    EXPECT_EQ(values[21], last == 254) << "Tstrich with mean " << (last / 4.0);
  }
}

TEST(StrokeClassifier, BinsRoundHalfToEven) {
  // 19 rows: direction 0 scales row u to u / 18 x 9 = u / 2. Row 1 (0.5) falls into bin 0,
  // row 5 (2.5) into bin 2, and row 3 (1.5) into bin 2 as well.
  for (int32_t u : {1, 3, 5}) {
    RasterImage image = FlatImage(2, 19, 255);
    uint8_t* row = DIBRow(image, u);
    row[0] = row[3] = 0;
    Classified c = ClassifyImage(image);
    int expectedBin = u == 1 ? 0 : 2;
    for (int b = 0; b < kProfileBins; ++b) {
      double mean = c.means[size_t(ProfileIndex(0, 0, b))];
      EXPECT_EQ(mean < 255, b == expectedBin) << "row " << u << " bin " << b << " mean " << mean;
    }
  }
  EXPECT_EQ(ProfileBin(0.5, 0, 9), 0);
  EXPECT_EQ(ProfileBin(1.5, 0, 9), 2);
  EXPECT_EQ(ProfileBin(-2.5, -4.5, 4.5), 2);
}

TEST(StrokeClassifier, OnePixelRowOrColumnFallsIntoBinZero) {
  // A one-row glyph has no extent in direction 0: all of it counts in bin 0 there.
  Classified row = ClassifyImage(FlatImage(6, 1, 0));
  EXPECT_EQ(row.means[size_t(ProfileIndex(0, 0, 0))], 0.0);
  for (int b = 1; b < kProfileBins; ++b) EXPECT_EQ(row.means[size_t(ProfileIndex(0, 0, b))], 255);
  CheckedFeatureLog(row.log);

  // A single pixel has no extent in any direction.
  Classified dot = ClassifyImage(FlatImage(1, 1, 0));
  for (int k = 0; k < kStrokeDirections; ++k) {
    EXPECT_EQ(dot.means[size_t(ProfileIndex(0, k, 0))], 0.0) << k;
    for (int b = 1; b < kProfileBins; ++b)
      EXPECT_EQ(dot.means[size_t(ProfileIndex(0, k, b))], 255) << k;
  }
  CheckedFeatureLog(dot.log);

  // A one-column glyph spreads over the bins of direction 0 and keeps its mean.
  Classified column = ClassifyImage(FlatImage(1, 10, 0));
  for (int b = 0; b < kProfileBins; ++b)
    EXPECT_EQ(column.means[size_t(ProfileIndex(0, 0, b))], 0.0) << b;
}

TEST(StrokeClassifier, RegionsSplitTheGlyph) {
  // Ink only in the top row: the upper half and top quarter see it, the lower half and the
  // bottom quarter do not.
  Classified c = ClassifyImage(DrawnImage({"#####", ".....", ".....", ".....", "....."}));
  auto darkestMean = [&](int region) {
    double least = 255;
    for (int k = 0; k < kStrokeDirections; ++k)
      for (int b = 0; b < kProfileBins; ++b)
        least = std::min(least, c.means[size_t(ProfileIndex(region, k, b))]);
    return least;
  };
  EXPECT_EQ(darkestMean(1), 0.0);    // upper half
  EXPECT_EQ(darkestMean(2), 255.0);  // lower half
  EXPECT_EQ(darkestMean(3), 0.0);    // top quarter
  EXPECT_EQ(darkestMean(4), 255.0);  // bottom quarter
  EXPECT_EQ(darkestMean(6), 255.0);  // middle row band
  std::vector<bool> values = CheckedFeatureLog(c.log);
  EXPECT_TRUE(values[20]);   // Strichoben
  EXPECT_FALSE(values[17]);  // Strichunten
}

TEST(StrokeClassifier, EarlierRuleWins) {
  // Rules 23 ("m") and 24 ("n") both hold: the earlier one decides.
  StrokeFeatures both = FeaturesNamed({"Strichlinks", "Strichmitte", "Strichrechts", "Strichoben"});
  EXPECT_EQ(StrokeRuleResult(both), "m");
  EXPECT_EQ(StrokeRuleResult(FeaturesNamed({"Strichlinks", "Strichrechts", "Strichoben"})), "n");
  // Rule 1 needs all six strokes: without Strichmittey the bare "L" rule comes first.
  EXPECT_EQ(StrokeRuleResult(FeaturesNamed(
                {"Strichlinks", "Strichrechts", "Strichmitte", "Strichoben", "Strichunten"})),
            "L");
  // A must-be-false feature blocks its rule: "L" turns into "u" once Strichrechts holds
  // (Strichrechtsunten blocks L).
  EXPECT_EQ(StrokeRuleResult(FeaturesNamed({"Strichlinks", "Strichunten"})), "L");
  EXPECT_EQ(StrokeRuleResult(
                FeaturesNamed({"Strichlinks", "Strichunten", "Strichrechts", "Strichrechtsunten"})),
            "u");
  EXPECT_EQ(StrokeRuleResult(StrokeFeatures{}), "");
}

TEST(StrokeClassifier, GraphBarsGrowWithDarkness) {
  SoftwareCanvas canvas(120, 100);
  ProfileMeans means;
  means.fill(255);
  means[size_t(ProfileIndex(0, 0, 0))] = 0;      // region 1, direction 0, bin 0: full bar
  means[size_t(ProfileIndex(1, 2, 3))] = 127.5;  // region 2, direction 2, bin 3: half bar
  DrawProfileGraph(canvas, means);
  const TColor silver = 0xC0C0C0;
  // Direction 0's base line is y = 10; a full bar covers y = 10 down to 1.
  EXPECT_EQ(canvas.GetPixel(0, 10), clRed);
  EXPECT_EQ(canvas.GetPixel(0, 1), clRed);
  EXPECT_EQ(canvas.GetPixel(0, 0), clWhite);
  EXPECT_EQ(canvas.GetPixel(1, 10), silver);  // bin 1 is white: background only
  // Region 2 starts at x = 15, direction 2's base line is y = 32; 5 pixels of red.
  EXPECT_EQ(canvas.GetPixel(18, 32), clRed);
  EXPECT_EQ(canvas.GetPixel(18, 28), clRed);
  EXPECT_EQ(canvas.GetPixel(18, 27), silver);
}

}  // namespace
