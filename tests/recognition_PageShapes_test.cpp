// The page's own shapes: a glyph that looks like the page's letters gets their reading, and
// what the features cannot tell (case, accents, figures, marks) stays the classifier's.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "recognition/ExtendedPage.h"

namespace {

constexpr size_t kWidth = 8;

// A point of the feature space near `centre` (one of a few far-apart corners).
GlyphFeatures Near(size_t centre, double offset) {
  std::vector<float> values(kWidth, 0.0f);
  values[centre] = 10.0f;
  values[(centre + 1) % kWidth] = float(offset);
  return std::make_shared<const std::vector<float>>(std::move(values));
}

// The page shows many "e" near corner 0, "c" near corner 2, "n" near corner 4, each glyph a
// little apart from the others.
PageShapes FaxPage() {
  std::vector<ShapeExample> examples;
  for (size_t i = 0; i < 20; ++i) {
    examples.push_back({Near(0, 0.1 * double(i)), 'e'});
    examples.push_back({Near(2, 0.1 * double(i)), 'c'});
    examples.push_back({Near(4, 0.1 * double(i)), 'n'});
  }
  return PageShapes(examples);
}

GlyphReading Reading(GlyphFeatures features, std::vector<ScoredChar> readings) {
  GlyphReading reading(std::move(readings));
  reading.features = std::move(features);
  return reading;
}

std::string Order(const GlyphReading& reading) {
  std::string order;
  for (const ScoredChar& s : reading.readings) order += char(s.code);
  return order;
}

}  // namespace

TEST(PageShapes, AGlyphLikeThePagesOwnLettersTakesTheirReading) {
  const PageShapes shapes = FaxPage();
  ASSERT_FALSE(shapes.Empty());
  std::vector<GlyphReading> readings = {
      // An "e" whose bar the fax lost, read as "c", among the page's "e"s.
      Reading(Near(0, 0.55), {{'c', 0.7}, {'e', 0.2}, {'o', 0.05}}),
      // An "n" read as "u" where the classifier gave "n" no reading at all.
      Reading(Near(4, 0.35), {{'u', 0.8}, {'a', 0.1}}),
      // A "c" read as "c" stays.
      Reading(Near(2, 0.45), {{'c', 0.9}, {'e', 0.05}})};
  shapes.Weigh(&readings);
  EXPECT_EQ(Order(readings[0]).front(), 'e');
  EXPECT_EQ(Order(readings[1]).front(), 'n');
  EXPECT_EQ(Order(readings[2]).front(), 'c');
  EXPECT_GT(readings[2].readings[0].score, 0.9);
}

TEST(PageShapes, AGlyphUnlikeThePagesLettersKeepsItsReading) {
  const PageShapes shapes = FaxPage();
  // Far from every example: the vote fades to nothing.
  std::vector<float> far(kWidth, 0.0f);
  far[6] = 40.0f;
  std::vector<GlyphReading> readings = {
      Reading(std::make_shared<const std::vector<float>>(far), {{'x', 0.6}, {'e', 0.3}})};
  shapes.Weigh(&readings);
  EXPECT_EQ(Order(readings[0]), "xe");
  EXPECT_NEAR(readings[0].readings[0].score, 0.6, 0.01);
  // A figure or a comma is no letter of the page's, however close it lies to one; a glyph
  // without features is left as it is.
  readings = {Reading(Near(0, 0.5), {{'6', 0.7}, {'e', 0.2}}),
              Reading(Near(2, 0.5), {{',', 0.9}, {'c', 0.05}}),
              Reading(nullptr, {{'c', 0.7}, {'e', 0.2}})};
  shapes.Weigh(&readings);
  EXPECT_EQ(Order(readings[0]), "6e");
  EXPECT_EQ(Order(readings[1]), ",c");
  EXPECT_EQ(Order(readings[2]), "ce");
}

TEST(PageShapes, CaseAndAccentStayTheClassifiers) {
  // The page's "e"s vote for an "é" read as "é": its accent is kept, and its share beside
  // "e" is the classifier's.
  std::vector<ScoredChar> readings = {{0xE9, 0.6}, {'e', 0.3}, {'c', 0.1}};
  WeighWithVote({'e', 'e', 'e', 'e', 'c'}, 0.5, &readings);
  ASSERT_EQ(readings.size(), 3u);
  EXPECT_EQ(readings[0].code, 0xE9);
  EXPECT_NEAR(readings[0].score / readings[1].score, 2.0, 1e-9);
  // "I" and "l" are one upright stroke to the vote; "1" read as such keeps its reading.
  readings = {{'I', 0.7}, {'t', 0.3}};
  WeighWithVote({'l', 'l', 'l', 'l', 'l'}, 0.5, &readings);
  EXPECT_EQ(readings[0].code, 'I');
  // A letter voted for and not read is added, and no more than eight readings are kept.
  readings = {{'u', 0.5},  {'a', 0.2},  {'o', 0.1},  {'v', 0.1},
              {'w', 0.04}, {'x', 0.03}, {'y', 0.02}, {'z', 0.01}};
  WeighWithVote({'n', 'n', 'n', 'h', 'n'}, 0.5, &readings);
  ASSERT_EQ(readings.size(), 8u);
  EXPECT_EQ(readings[0].code, 'n');
  EXPECT_NEAR(readings[0].score, 0.4, 1e-9);
  double total = 0;
  for (const ScoredChar& s : readings) total += s.score;
  EXPECT_LE(total, 1.0 + 1e-9);
}

TEST(PageShapes, TooFewOrAllAlikeExamplesWeighNothing) {
  std::vector<ShapeExample> few;
  for (size_t i = 0; i < 10; ++i) few.push_back({Near(0, 0.1 * double(i)), 'e'});
  EXPECT_TRUE(PageShapes(few).Empty());
  // A page whose letters repeat pixel for pixel shows no spread to judge distance by.
  std::vector<ShapeExample> alike;
  for (size_t i = 0; i < 60; ++i) alike.push_back({Near(2 * (i % 3), 0.0), uint8_t("ecn"[i % 3])});
  EXPECT_TRUE(PageShapes(alike).Empty());
  std::vector<GlyphReading> readings = {Reading(Near(0, 0.0), {{'c', 0.7}, {'e', 0.2}})};
  PageShapes(alike).Weigh(&readings);
  EXPECT_EQ(Order(readings[0]), "ce");
}

// Features of any width, far from the origin, with glyphs close together: the distances must
// keep the small differences that tell the page's letters apart.
TEST(PageShapes, CloseGlyphsFarFromTheOriginAreToldApart) {
  constexpr size_t kOddWidth = 13;
  const auto near = [](size_t centre, double offset) {
    std::vector<float> values(kOddWidth, 3000.0f);
    values[centre] += 2.0f;
    values[kOddWidth - 1] += float(offset);  // in the tail beyond whole runs of eight
    return std::make_shared<const std::vector<float>>(std::move(values));
  };
  std::vector<ShapeExample> examples;
  for (size_t i = 0; i < 20; ++i) {
    examples.push_back({near(0, 0.01 * double(i)), 'e'});
    examples.push_back({near(3, 0.01 * double(i)), 'c'});
    examples.push_back({near(6, 0.01 * double(i)), 'n'});
  }
  const PageShapes shapes(examples);
  ASSERT_FALSE(shapes.Empty());
  std::vector<GlyphReading> readings = {Reading(near(0, 0.055), {{'c', 0.7}, {'e', 0.2}}),
                                        Reading(near(6, 0.035), {{'u', 0.8}, {'a', 0.1}})};
  shapes.Weigh(&readings);
  EXPECT_EQ(Order(readings[0]).front(), 'e');
  EXPECT_EQ(Order(readings[1]).front(), 'n');
}
