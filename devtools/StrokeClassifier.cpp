// Stroke-feature classifier: profiles, features and rules.
#include "devtools/StrokeClassifier.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

enum Region { R1, R2, R3, R4, R5, R6, R7 };

// Features by their log labels, in log order. "Strich" is a stroke (dark bins of a
// direction's profile), "links"/"rechts"/"oben"/"unten"/"mitte" left/right/top/bottom/
// middle, "ganz" the far edge, "halb" half as dark, over the whole glyph.
enum Feature {
  Strichlinks,         // stroke at the left (darkest across the columns in the left bins)
  Strichlinksmitte,    // stroke at the left in the middle region
  striktlinks,         // stroke at the very left edge (leftmost bin darkest)
  Strichlinksoben,     // stroke at the left in the upper region
  Strichlinksunten,    // stroke at the left in the lower region
  ganzlinksoben,       // ink at the far left, upper region
  ganzlinksunten,      // ink at the far left, lower region
  strichlinkhalb,      // half-dark stroke at the left over the whole glyph
  Strichrechts,        // stroke at the right
  Strichrechtsmitter,  // stroke at the right in the middle region
  Strichrechtsoben,    // stroke at the right in the upper region
  Strichrechtsunten,   // stroke at the right in the lower region
  ganzrechtsoben,      // ink at the far right, upper region
  ganzrechtsunten,     // ink at the far right, lower region
  strichrechtshalb,    // half-dark stroke at the right over the whole glyph
  Strichmitte,         // vertical stroke in the middle columns
  Middle,              // ink in the middle rows of the middle region
  Strichunten,         // bar along the bottom
  Strichuntenmitte,    // bar along the bottom in the middle region
  Strichuntenhalb,     // half-dark bar along the bottom
  Strichoben,          // bar along the top
  Tstrich,             // the cross-bar of a t, just above the middle
  Strichobenmitte,     // bar along the top in the middle region
  Strichobenhalb,      // half-dark bar along the top
  Strichmittey,        // horizontal bar in the middle rows
  Strichmitteyhalb,    // half-dark horizontal bar in the middle rows
  KSlash,              // the arms of a k: a rising diagonal at the right
  Slash,               // rising diagonal through the centre (/)
  Slashhalb,           // half-dark rising diagonal
  Backslash,           // falling diagonal through the centre (\\)
  Backslashhalb,       // half-dark falling diagonal
};

// Ink thresholds, as fractions of white.
constexpr double kRegionInk = 0.33;  // regions R2 ... R7
constexpr double kHalfInk = 0.66;    // the "halb" features on the whole glyph
constexpr double kTInk = 0.25;       // Tstrich

class Probes {
 public:
  explicit Probes(const ProfileMeans& means) : means_(means) {}

  // Darkest bin: not greater than any other bin of the direction (ties count).
  bool Darkest(int k, int b) const {
    double mean = means_[size_t(ProfileIndex(R1, k, b))];
    for (int other = 0; other < kProfileBins; ++other)
      if (mean > means_[size_t(ProfileIndex(R1, k, other))]) return false;
    return true;
  }
  bool DarkestIn(int k, int first, int last) const {
    for (int b = first; b <= last; ++b)
      if (Darkest(k, b)) return true;
    return false;
  }
  // Ink: strictly below the threshold, so a mean of exactly threshold x 255 is paper.
  bool Ink(Region region, int k, int b, double threshold) const {
    return means_[size_t(ProfileIndex(region, k, b))] / 255.0 < threshold;
  }
  bool InkIn(Region region, int k, int first, int last, double threshold) const {
    for (int b = first; b <= last; ++b)
      if (Ink(region, k, b, threshold)) return true;
    return false;
  }

 private:
  const ProfileMeans& means_;
};

}  // namespace

const std::array<const char*, kStrokeFeatures> kStrokeFeatureLabels = {"Strichlinks:",
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

DirectionTable BuildDirectionTable() {
  DirectionTable table;
  for (int k = 0; k < kStrokeDirections; ++k) {
    double angle = k * 90.0 / 4.0 * std::numbers::pi / 180.0;
    table.sin[size_t(k)] = std::sin(angle);
    table.cos[size_t(k)] = std::cos(angle);
  }
  return table;
}

int ProfileBin(double p, double minimum, double maximum) {
  double range = std::fabs(maximum - minimum);
  if (range == 0) return 0;
  double bin = std::nearbyint((p - minimum) / range * 9);
  // Rounding error at the ends must never leave the ten bins.
  return int(std::clamp(bin, 0.0, double(kProfileBins - 1)));
}

ProfileMeans ComputeProfiles(const RasterImage& image, const DirectionTable& directions) {
  // Sums are 64 bits: a long one-row glyph puts all its pixels into one bin, and 8.4 million
  // white pixels would already overflow 32 bits.
  constexpr size_t kCells = size_t(kStrokeRegions) * kStrokeDirections * kProfileBins;
  std::array<int64_t, kCells> sums{};
  std::array<int32_t, kCells> counts{};

  if (image.pixels && DIBBitCount(image) == 24 && DIBWidth(image) > 0 && DIBHeight(image) > 0) {
    const int32_t W = DIBWidth(image) - 1;
    const int32_t H = DIBHeight(image) - 1;
    std::array<double, kStrokeDirections> minimum{}, maximum{};
    for (int k = 0; k < kStrokeDirections; ++k) {
      double s = directions.sin[size_t(k)], c = directions.cos[size_t(k)];
      if (k <= 4) {
        minimum[size_t(k)] = 0;
        maximum[size_t(k)] = W * s + H * c;
      } else {
        minimum[size_t(k)] = H * c;
        maximum[size_t(k)] = W * s;
      }
    }
    std::array<Region, kStrokeRegions> regions{};
    for (int32_t u = 0; u <= H; ++u) {
      const uint8_t* row = DIBRow(image, u);
      for (int32_t x = 0; x <= W; ++x) {
        int32_t v = row[3 * size_t(x)];
        int n = 0;
        regions[size_t(n++)] = R1;
        if (u >= H / 2) regions[size_t(n++)] = R2;
        if (u < H / 2) regions[size_t(n++)] = R3;
        if (u >= (3 * H) / 4) regions[size_t(n++)] = R4;
        if (u <= H / 4) regions[size_t(n++)] = R5;
        if (W / 3 <= x && x <= (2 * W) / 3) regions[size_t(n++)] = R6;
        if (H / 3 <= u && u <= (2 * H) / 3) regions[size_t(n++)] = R7;
        for (int k = 0; k < kStrokeDirections; ++k) {
          double p = x * directions.sin[size_t(k)] + u * directions.cos[size_t(k)];
          int bin = ProfileBin(p, minimum[size_t(k)], maximum[size_t(k)]);
          for (int r = 0; r < n; ++r) {
            size_t index = size_t(ProfileIndex(regions[size_t(r)], k, bin));
            sums[index] += v;
            counts[index] += 1;
          }
        }
      }
    }
  }

  ProfileMeans means{};
  for (size_t i = 0; i < kCells; ++i)
    means[i] = counts[i] == 0 ? 255.0 : double(sums[i]) / double(counts[i]);
  return means;
}

StrokeFeatures ComputeStrokeFeatures(const ProfileMeans& means) {
  Probes p(means);
  StrokeFeatures f{};
  f[Strichlinks] = p.DarkestIn(4, 0, 2);
  f[Strichlinksmitte] = p.InkIn(R7, 4, 0, 2, kRegionInk);
  f[striktlinks] = p.Darkest(4, 0);
  f[Strichlinksoben] = p.InkIn(R2, 4, 0, 2, kRegionInk);
  f[Strichlinksunten] = p.InkIn(R3, 4, 0, 2, kRegionInk);
  f[ganzlinksoben] = p.InkIn(R4, 4, 0, 1, kRegionInk);
  f[ganzlinksunten] = p.InkIn(R3, 4, 0, 1, kRegionInk);  // the lower half, as it always was
  f[strichlinkhalb] = p.InkIn(R1, 4, 0, 2, kHalfInk);
  f[Strichrechts] = p.DarkestIn(4, 7, 9);
  f[Strichrechtsmitter] = p.InkIn(R7, 4, 7, 9, kRegionInk);
  f[Strichrechtsoben] = p.InkIn(R2, 4, 7, 9, kRegionInk);
  f[Strichrechtsunten] = p.InkIn(R3, 4, 7, 9, kRegionInk);
  f[ganzrechtsoben] = p.InkIn(R4, 4, 8, 9, kRegionInk);
  f[ganzrechtsunten] = p.InkIn(R5, 4, 8, 9, kRegionInk);
  f[strichrechtshalb] = p.InkIn(R1, 4, 7, 9, kHalfInk);
  f[Strichmitte] = p.DarkestIn(4, 3, 6);
  f[Middle] = p.InkIn(R6, 0, 3, 6, kRegionInk);
  f[Strichunten] = p.DarkestIn(0, 0, 2);
  f[Strichuntenmitte] = p.InkIn(R6, 0, 0, 2, kRegionInk);
  f[Strichuntenhalb] = p.InkIn(R1, 0, 0, 2, kHalfInk);
  f[Strichoben] = p.DarkestIn(0, 7, 9);
  f[Tstrich] = p.InkIn(R1, 0, 5, 7, kTInk);
  f[Strichobenmitte] = p.InkIn(R6, 0, 7, 9, kRegionInk);
  f[Strichobenhalb] = p.InkIn(R1, 0, 7, 9, kHalfInk);
  f[Strichmittey] = p.DarkestIn(0, 3, 6);
  f[Strichmitteyhalb] = p.InkIn(R1, 0, 3, 6, kHalfInk);
  f[KSlash] = p.DarkestIn(6, 2, 4);
  f[Slash] = p.Darkest(6, 4) || p.Darkest(6, 5) || p.Darkest(5, 4) || p.Darkest(5, 5);
  f[Slashhalb] = p.InkIn(R1, 6, 4, 5, kHalfInk);
  f[Backslash] = p.DarkestIn(2, 4, 5);
  f[Backslashhalb] = p.InkIn(R1, 2, 3, 6, kHalfInk);
  return f;
}

std::string StrokeRuleResult(const StrokeFeatures& f) {
  const bool leftAndRight = f[Strichlinks] && f[Strichrechts];
  if (f[Strichlinks] && f[Strichrechts] && f[Strichmitte] && f[Strichoben] && f[Strichunten] &&
      f[Strichmittey])
    return "l oder i";
  if (f[Strichlinks] && f[Strichunten] && !f[Strichrechtsoben] && !f[Strichrechtsunten] &&
      !f[Strichrechtsmitter] && !f[Strichobenmitte] && !f[Strichmittey])
    return "L";
  if (f[Strichoben] && f[Strichmitte] && !f[Strichrechts] && !f[Strichlinks] && !f[Strichunten])
    return "T";
  if (f[Strichoben] && f[Strichlinks] && f[Strichrechtsoben] && f[ganzrechtsunten] &&
      f[Strichmittey] && !f[Strichunten])
    return "R";
  if (f[Strichlinks] && f[Strichrechtsunten] && f[Strichmitteyhalb] && !f[Strichrechtsoben] &&
      !f[Strichobenmitte] && !f[Strichunten] && !f[Strichuntenmitte])
    return "h";
  if (f[Strichlinks] && f[Strichrechts] && f[Strichmittey] && !f[Strichobenmitte] &&
      !f[Strichuntenmitte])
    return "H";
  if (f[Strichlinks] && f[Strichmittey] && f[Strichoben] && f[Strichunten] &&
      !f[Strichrechtsoben] && !f[Strichrechtsunten])
    return "E";
  if (f[Strichlinks] && f[Strichrechtsoben] && f[Strichmitteyhalb] && f[Strichobenmitte] &&
      !f[Strichrechtsunten] && !f[Strichuntenmitte])
    return "p";
  if (f[Strichlinksmitte] && f[Strichobenmitte] && f[Strichuntenmitte] && !f[Strichrechtsmitter] &&
      !f[Strichmitte] && !f[Strichmittey])
    return "c";
  if (f[Strichoben] && f[Strichunten] && f[Slash] && !f[Backslash] && !f[Strichlinks] &&
      !f[Strichrechts])
    return "z";
  if (f[Strichlinks] && f[Strichoben] && !f[Tstrich] && !f[Strichunten] && !f[Strichmittey] &&
      !f[Strichrechts] && !f[Strichrechtsunten])
    return "r";
  if (f[Strichlinksoben] && f[Strichrechtsunten] && f[Strichobenhalb] && f[Strichuntenhalb] &&
      f[Backslash] && !f[Slash])
    return "s";
  if (f[Strichlinksoben] && f[Strichlinksunten] && f[Strichrechtsmitter] && f[Strichobenmitte] &&
      f[Strichuntenmitte] && !f[Strichmitte] && !f[Strichmittey] && !f[Middle])
    return "D";
  if (f[Strichlinksmitte] && f[Strichrechtsmitter] && f[Strichobenmitte] && f[Strichuntenmitte] &&
      !f[Strichmitte] && !f[Strichmittey] && !f[Middle])
    return "o";
  if (f[Strichmitte] && f[Strichmittey] && (f[Strichoben] || f[Strichobenmitte]) && !leftAndRight)
    return "f";
  if (f[Strichmitte] && f[Tstrich] && !leftAndRight) return "t";
  if (f[Slashhalb] && f[Backslashhalb] && f[Strichlinksoben] && f[Strichrechtsoben] &&
      !f[Strichrechts] && !f[Strichoben] && !f[Strichunten] && !f[Strichobenmitte])
    return "y";
  if (f[Strichlinksmitte] && f[Strichmittey] && f[Strichobenmitte] && f[Strichuntenmitte] &&
      f[Strichrechtsoben] && !f[Strichrechtsunten])
    return "e";
  if (f[Strichlinksunten] && f[Strichmitteyhalb] && f[Strichobenmitte] && f[Strichuntenmitte] &&
      f[Strichrechts] && !f[Strichlinksoben])
    return "a";
  if (f[Strichlinksoben] && f[Strichmitteyhalb] && f[Strichobenmitte] && f[Strichuntenmitte] &&
      f[Strichrechtsoben] && f[Strichrechtsunten] && !f[Strichlinksunten])
    return "g";
  if (f[Strichlinks] && f[Strichmitteyhalb] && f[Strichrechtsunten] &&
      (f[Strichunten] || f[Strichuntenmitte]) && !f[Strichmitte] && !f[Strichrechtsoben])
    return "b";
  if (f[Strichrechts] && f[Strichmitteyhalb] && f[Strichlinksunten] &&
      (f[Strichunten] || f[Strichuntenmitte]) && !f[Strichlinksoben] && !f[Strichobenmitte])
    return "d";
  if (f[Strichlinks] && f[Strichmitte] && f[Strichrechts] && f[Strichoben]) return "m";
  if (f[Strichlinks] && f[Strichrechts] && f[Strichoben]) return "n";
  if (f[Strichlinks] && f[Strichrechts] && f[Strichunten]) return "u";
  if (f[Strichlinks] && f[Backslashhalb] && (f[KSlash] || f[Slash])) return "k";
  return "";
}

std::string ClassifyStrokes(const ProfileMeans& means,
                            const std::function<void(const std::string&)>& log) {
  StrokeFeatures features = ComputeStrokeFeatures(means);
  for (int i = 0; i < kStrokeFeatures; ++i)
    log(std::string(kStrokeFeatureLabels[size_t(i)]) + (features[size_t(i)] ? "1" : "0"));
  return StrokeRuleResult(features);
}

void DrawProfileGraph(Canvas& canvas, const ProfileMeans& means) {
  constexpr TColor kSilver = 0xC0C0C0;
  constexpr int kBandSpacing = 11, kGroupSpacing = 15, kBarHeight = 10;
  canvas.penStyle = PenStyle::Solid;
  for (int k = 0; k < kStrokeDirections; ++k) {
    int32_t base = kBarHeight + k * kBandSpacing;
    for (int region = 0; region < kStrokeRegions; ++region) {
      for (int b = 0; b < kProfileBins; ++b) {
        int32_t x = region * kGroupSpacing + b;
        double mean = means[size_t(ProfileIndex(region, k, b))];
        int32_t height = int32_t((255.0 - mean) * 10.0 / 255.0);
        canvas.penColor = kSilver;
        canvas.MoveTo(x, base);
        canvas.LineTo(x, base - kBarHeight);
        canvas.penColor = clRed;
        canvas.MoveTo(x, base);
        canvas.LineTo(x, base - height);
      }
    }
  }
}
