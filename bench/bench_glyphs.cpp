// bench_glyphs: accuracy and speed of the extended classifier on every character of its
// alphabet, drawn from the template faces and from faces the templates do not use, at
// x-heights of 7 to 60 pixels, clean and degraded (bolder, thinner, shifted).
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "core/Cp1252.h"
#include "platform/Fonts.h"
#include "recognition/ExtendedAlphabet.h"
#include "recognition/GlyphClassifier.h"
#include "recognition/GlyphTemplates.h"

namespace {

using Clock = std::chrono::steady_clock;

// The thread's own processor time: the machine is shared, wall time is not this program's.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

struct Degradation {
  const char* name;
  uint8_t threshold;
  double shift;
  bool lineOff = false;  // the line's x-height estimated 10 % high and its baseline a row low
};
constexpr Degradation kDegradations[] = {{"clean", 128, 0.0},
                                         {"bolder", 60, 0.3},
                                         {"thinner", 190, 0.5},
                                         {"line estimate off", 128, 0.25, true}};
constexpr int kXHeights[] = {7, 10, 14, 20, 30, 45, 60};

const std::vector<std::string> kHeldOut = {"Open Sans",   "Linux Biolinum O", "Linux Libertine O",
                                           "Caladea",     "URW Bookman",      "URW Gothic",
                                           "Nimbus Sans", "DejaVu Sans Mono"};

struct Tally {
  long total = 0, right = 0, second = 0;
  void Add(bool first, bool inTwo) {
    ++total;
    right += first;
    second += inTwo;
  }
  double Percent() const { return total ? 100.0 * right / total : 0.0; }
  double PercentTwo() const { return total ? 100.0 * second / total : 0.0; }
};

std::string Show(uint8_t code) {
  // Windows-1252 to UTF-8 for the few codes above ASCII that the report shows.
  static const std::map<uint8_t, const char*> kNames = {
      {0x84, "„"}, {0x93, "“"}, {0x94, "”"}, {0x82, "‚"}, {0x91, "‘"}, {0x92, "’"},
      {0x96, "–"}, {0x97, "—"}, {0x80, "€"}, {0xA7, "§"}, {0xBB, "»"}, {0xAB, "«"}};
  if (auto it = kNames.find(code); it != kNames.end()) return it->second;
  if (code < 0x80) return std::string(1, char(code));
  std::string utf8;
  utf8 += char(0xC0 | (code >> 6));
  utf8 += char(0x80 | (code & 0x3F));
  return utf8;
}

// How often each character occurs in the bench pages' true texts (UTF-8), so that the
// accuracy can be weighted as running text weights it.
std::array<double, 256> TextFrequencies() {
  std::array<double, 256> counts{};
  std::map<uint32_t, uint8_t> toCode;
  for (int code = 1; code < 256; ++code) toCode[Cp1252ToCodePoint(uint8_t(code))] = uint8_t(code);
  for (const auto& entry : std::filesystem::directory_iterator(QUILLON_BENCH_CASES)) {
    if (entry.path().extension() != ".txt") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t i = 0; i < text.size();) {
      uint8_t lead = uint8_t(text[i]);
      int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      uint32_t point = length == 1 ? lead : lead & (0x3F >> (length - 1));
      for (int k = 1; k < length && i + size_t(k) < text.size(); ++k)
        point = (point << 6) | (uint8_t(text[i + size_t(k)]) & 0x3F);
      i += size_t(length);
      if (auto it = toCode.find(point); it != toCode.end()) counts[it->second] += 1;
    }
  }
  return counts;
}

// Accuracy per character, weighted by the character's frequency in running text.
struct CharTally {
  std::array<long, 256> total{}, right{};
  void Add(uint8_t code, bool first) {
    ++total[code];
    right[code] += first;
  }
  double TextWeighted(const std::array<double, 256>& frequency) const {
    double weight = 0, sum = 0;
    for (int c = 0; c < 256; ++c)
      if (total[size_t(c)] > 0 && frequency[size_t(c)] > 0) {
        weight += frequency[size_t(c)];
        sum += frequency[size_t(c)] * double(right[size_t(c)]) / double(total[size_t(c)]);
      }
    return weight > 0 ? 100.0 * sum / weight : 0.0;
  }
};

// Page learning: the held-out faces read once with the templates alone, then again after
// learning each character from another print of the same page (clean, unshifted).
void MeasureLearning(const std::vector<std::string>& families) {
  std::printf("\npage learning (held-out faces, bolder and thinner prints, x-height 14 and 24):\n");
  for (const std::string& family : families) {
    auto font = GlyphFont::Open(family, false, false);
    if (!font) continue;
    Tally before, after;
    for (int xHeight : {14, 24}) {
      int32_t size = std::max(4, int32_t(std::lround(xHeight / font->XHeightPerEm())));
      GlyphClassifier classifier;
      auto sample = [&](uint8_t code, const Degradation& d, RenderedGlyph& glyph, PageBox& box,
                        LineMetrics& line) {
        line = font->Metrics(size, d.threshold);
        line.baseline = 1000;
        if (!font->Render(code, size, d.threshold, glyph, d.shift, d.shift)) return false;
        box = {100, line.baseline + 1 - glyph.extent.topEdge, 100 + glyph.bitmap.width - 1,
               line.baseline - glyph.extent.bottomEdge};
        return true;
      };
      RenderedGlyph glyph;
      PageBox box;
      LineMetrics line;
      for (Tally* tally : {&before, &after}) {
        for (const Degradation& d : {kDegradations[1], kDegradations[2]})
          for (char c : kExtendedAlphabet)
            if (sample(uint8_t(c), d, glyph, box, line)) {
              auto read = classifier.Classify(glyph.bitmap, box, line, 2);
              tally->Add(!read.empty() && read[0].code == uint8_t(c), false);
            }
        for (char c : kExtendedAlphabet)
          if (sample(uint8_t(c), kDegradations[0], glyph, box, line))
            classifier.Learn(glyph.bitmap, box, line, uint8_t(c));
      }
    }
    std::printf("  %-20s %6.2f %% -> %6.2f %%\n", family.c_str(), before.Percent(),
                after.Percent());
  }
}

}  // namespace

int main(int argc, char** argv) {
  // An optional x-height: measure that size only.
  int onlyXHeight = argc > 1 ? std::atoi(argv[1]) : 0;
  const std::array<double, 256> frequency = TextFrequencies();
  CharTally templateChars, heldOutChars;
  // Template rendering per size bucket, first use.
  for (double x : TemplateStore::kBucketXHeights) {
    double start = ThreadSeconds();
    const TemplateBucket& set = TemplateStore::Instance().ForXHeight(x);
    double ms = 1e3 * (ThreadSeconds() - start);
    std::printf("bucket x-height %2.0f: %zu templates rendered in %.1f ms, typical distance %.3f\n",
                x, set.Size(), ms, set.typicalDistance);
  }
  std::vector<std::pair<std::string, bool>> families;
  for (const auto& f : kTemplateFamilies) families.push_back({f, false});
  for (const auto& f : kHeldOut) families.push_back({f, true});

  GlyphClassifier classifier;
  std::map<std::pair<uint8_t, uint8_t>, long> confusions;
  std::map<int, Tally> bySize;
  std::map<int, CharTally> bySizeChars;
  Tally templateFaces, heldOutFaces;
  std::vector<double> rightScores, wrongScores;
  double seconds = 0;
  long calls = 0;
  for (const auto& [family, heldOut] : families)
    for (int style = 0; style < 3; ++style) {
      auto font = GlyphFont::Open(family, style == 1, style == 2);
      if (!font) continue;
      Tally tally;
      for (int xHeight : kXHeights)
        for (const Degradation& degradation : kDegradations) {
          if (onlyXHeight > 0 && xHeight != onlyXHeight) continue;
          int32_t size = std::max(4, int32_t(std::lround(xHeight / font->XHeightPerEm())));
          LineMetrics line = font->Metrics(size, degradation.threshold);
          line.baseline = 1000;
          if (degradation.lineOff) {
            line.xHeight = int32_t(std::lround(line.xHeight * 1.1));
            line.capHeight = int32_t(std::lround(line.capHeight * 1.1));
            line.baseline += 1;
          }
          RenderedGlyph glyph;
          for (char c : kExtendedAlphabet) {
            uint8_t code = uint8_t(c);
            if (!font->Render(code, size, degradation.threshold, glyph, degradation.shift,
                              degradation.shift))
              continue;
            int32_t baseline = degradation.lineOff ? line.baseline - 1 : line.baseline;
            PageBox box{100, baseline + 1 - glyph.extent.topEdge, 100 + glyph.bitmap.width - 1,
                        baseline - glyph.extent.bottomEdge};
            double start = ThreadSeconds();
            std::vector<ScoredChar> read = classifier.Classify(glyph.bitmap, box, line, 2);
            seconds += ThreadSeconds() - start;
            ++calls;
            bool first = !read.empty() && read[0].code == code;
            bool inTwo = first || (read.size() > 1 && read[1].code == code);
            tally.Add(first, inTwo);
            bySize[xHeight].Add(first, inTwo);
            bySizeChars[xHeight].Add(code, first);
            (heldOut ? heldOutFaces : templateFaces).Add(first, inTwo);
            (heldOut ? heldOutChars : templateChars).Add(code, first);
            if (!read.empty()) (first ? rightScores : wrongScores).push_back(read[0].score);
            if (!first) ++confusions[{code, read.empty() ? uint8_t(0) : read[0].code}];
          }
        }
      std::printf("%-34s %s %6.2f %% (top 2: %6.2f %%) of %ld\n", font->Name().c_str(),
                  heldOut ? "held out" : "template", tally.Percent(), tally.PercentTwo(),
                  tally.total);
    }
  std::printf(
      "\ntemplate faces: %.2f %% (top 2 %.2f %%); held-out faces: %.2f %% (top 2 %.2f %%)\n",
      templateFaces.Percent(), templateFaces.PercentTwo(), heldOutFaces.Percent(),
      heldOutFaces.PercentTwo());
  std::printf("weighted as running text: template faces %.2f %%, held-out faces %.2f %%\n",
              templateChars.TextWeighted(frequency), heldOutChars.TextWeighted(frequency));
  for (const auto& [xHeight, tally] : bySize)
    std::printf("x-height %2d px: %6.2f %%, weighted as running text %6.2f %%\n", xHeight,
                tally.Percent(), bySizeChars[xHeight].TextWeighted(frequency));
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  std::printf("median score: right %.3f, wrong %.3f\n", median(rightScores), median(wrongScores));
  // Calibration: how often the first reading is right, by its score.
  constexpr double kBins[] = {0.0, 0.3, 0.5, 0.7, 0.8, 0.9, 0.95, 1.01};
  std::printf("share right by score:");
  for (size_t b = 0; b + 1 < std::size(kBins); ++b) {
    auto in = [&](double v) { return v >= kBins[b] && v < kBins[b + 1]; };
    long right = std::count_if(rightScores.begin(), rightScores.end(), in);
    long wrong = std::count_if(wrongScores.begin(), wrongScores.end(), in);
    std::printf(" [%.2f,%.2f) %.0f %% of %ld;", kBins[b], std::min(1.0, kBins[b + 1]),
                right + wrong ? 100.0 * double(right) / double(right + wrong) : 0.0, right + wrong);
  }
  std::printf("\n");
  std::printf("%.1f us per Classify (%ld calls)\n", 1e6 * seconds / double(calls), calls);
  MeasureLearning(kHeldOut);
  std::vector<std::pair<long, std::pair<uint8_t, uint8_t>>> top;
  for (const auto& [pair, n] : confusions) top.push_back({n, pair});
  std::sort(top.rbegin(), top.rend());
  std::printf("top confusions (true -> read):");
  for (size_t i = 0; i < std::min<size_t>(40, top.size()); ++i)
    std::printf("%s %s->%s %ld", i % 10 ? "," : "\n ", Show(top[i].second.first).c_str(),
                Show(top[i].second.second).c_str(), top[i].first);
  std::printf("\n");
  // The same, weighted as running text: the share of a page's characters each confusion costs.
  double allText = 0;
  for (double f : frequency) allText += f;
  std::vector<std::pair<double, std::pair<uint8_t, uint8_t>>> weighted;
  for (const auto& [pair, n] : confusions) {
    long total = templateChars.total[pair.first] + heldOutChars.total[pair.first];
    if (total > 0 && allText > 0)
      weighted.push_back(
          {100.0 * frequency[pair.first] / allText * double(n) / double(total), pair});
  }
  std::sort(weighted.rbegin(), weighted.rend());
  std::printf("top confusions weighted as running text (%% of characters):");
  for (size_t i = 0; i < std::min<size_t>(30, weighted.size()); ++i)
    std::printf("%s %s->%s %.3f", i % 10 ? "," : "\n ", Show(weighted[i].second.first).c_str(),
                Show(weighted[i].second.second).c_str(), weighted[i].first);
  std::printf("\n");
}
