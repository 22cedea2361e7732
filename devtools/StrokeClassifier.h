// Stroke-feature classifier of the developer recogniser "Recognize": projection profiles of
// a glyph along eight directions in seven regions, 31 yes/no stroke features read from them,
// and 26 ordered rules that name a letter.
//
// Entry points: BuildDirectionTable once per run, then per glyph ComputeProfiles and
// ClassifyStrokes (which logs the features and returns the rule result). DrawProfileGraph
// shows the profiles for the developer's eye.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/Canvas.h"
#include "core/RasterImage.h"

constexpr int kStrokeRegions = 7;     // whole, upper half, lower half, top and bottom quarter,
                                      // middle column band, middle row band
constexpr int kStrokeDirections = 8;  // k * 22.5 degrees, k = 0 ... 7
constexpr int kProfileBins = 10;
constexpr int kStrokeFeatures = 31;

// sin and cos of the eight directions.
struct DirectionTable {
  std::array<double, kStrokeDirections> sin{}, cos{};
};

// Mean brightness per region, direction and bin (0 ink ... 255 paper; 255 for an empty bin).
using ProfileMeans = std::array<double, kStrokeRegions * kStrokeDirections * kProfileBins>;

// region 0 ... 6 (R1 ... R7), direction 0 ... 7, bin 0 ... 9.
inline int ProfileIndex(int region, int direction, int bin) {
  return (region * kStrokeDirections + direction) * kProfileBins + bin;
}

DirectionTable BuildDirectionTable();

// The bin of projection p in [minimum, maximum]: the scaled position rounded half to even.
// A zero range (a glyph of one pixel row in direction 0, or of one pixel) puts everything
// in bin 0, so such a glyph still gets profiles and a result.
int ProfileBin(double p, double minimum, double maximum);

// Profiles of a 24-bit glyph image (brightness = first byte of a pixel). An image that is
// null or not 24 bits has no pixels: every mean is 255.
ProfileMeans ComputeProfiles(const RasterImage& image, const DirectionTable& directions);

using StrokeFeatures = std::array<bool, kStrokeFeatures>;

// Labels of the features, in log order ("Strichlinks:" ... "Backslash halb:").
extern const std::array<const char*, kStrokeFeatures> kStrokeFeatureLabels;

StrokeFeatures ComputeStrokeFeatures(const ProfileMeans& means);

// The result of the first rule whose conditions hold ("l oder i" or one letter), or empty.
std::string StrokeRuleResult(const StrokeFeatures& features);

// Computes the features, logs one line per feature in order (label, then "1" or "0") and
// returns the rule result.
std::string ClassifyStrokes(const ProfileMeans& means,
                            const std::function<void(const std::string&)>& log);

// One band per direction, 11 pixels apart; in each band one group of ten one-pixel bars per
// region, 15 pixels apart: a silver line per bin with a red bar whose height grows with the
// bin's darkness (0 ... 10 pixels).
void DrawProfileGraph(Canvas& canvas, const ProfileMeans& means);
