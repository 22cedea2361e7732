// bench_glyphs: accuracy and speed of the extended classifier on every character of its
// alphabet, drawn from the template faces and from faces the templates do not use, at
// x-heights of 7 to 60 pixels, clean and degraded (bolder, thinner, shifted).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

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
};
constexpr Degradation kDegradations[] = {
    {"clean", 128, 0.0}, {"bolder", 60, 0.3}, {"thinner", 190, 0.5}};
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

}  // namespace

int main() {
  // Template rendering per size bucket, first use.
  for (double x : TemplateStore::kBucketXHeights) {
    double start = ThreadSeconds();
    const TemplateSet& set = TemplateStore::Instance().ForXHeight(x);
    double ms = 1e3 * (ThreadSeconds() - start);
    std::printf("bucket x-height %2.0f: %zu templates rendered in %.1f ms\n", x, set.Size(), ms);
  }
  std::vector<std::pair<std::string, bool>> families;
  for (const auto& f : kTemplateFamilies) families.push_back({f, false});
  for (const auto& f : kHeldOut) families.push_back({f, true});

  GlyphClassifier classifier;
  std::map<std::pair<uint8_t, uint8_t>, long> confusions;
  std::map<int, Tally> bySize;
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
          int32_t size = std::max(4, int32_t(std::lround(xHeight / font->XHeightPerEm())));
          LineMetrics line = font->Metrics(size, degradation.threshold);
          line.baseline = 1000;
          RenderedGlyph glyph;
          for (char c : kExtendedAlphabet) {
            uint8_t code = uint8_t(c);
            if (!font->Render(code, size, degradation.threshold, glyph, degradation.shift,
                              degradation.shift))
              continue;
            PageBox box{100, line.baseline + 1 - glyph.extent.topEdge, 100 + glyph.bitmap.width - 1,
                        line.baseline - glyph.extent.bottomEdge};
            double start = ThreadSeconds();
            std::vector<ScoredChar> read = classifier.Classify(glyph.bitmap, box, line, 2);
            seconds += ThreadSeconds() - start;
            ++calls;
            bool first = !read.empty() && read[0].code == code;
            bool inTwo = first || (read.size() > 1 && read[1].code == code);
            tally.Add(first, inTwo);
            bySize[xHeight].Add(first, inTwo);
            (heldOut ? heldOutFaces : templateFaces).Add(first, inTwo);
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
  for (const auto& [xHeight, tally] : bySize)
    std::printf("x-height %2d px: %6.2f %%\n", xHeight, tally.Percent());
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  std::printf("median score: right %.3f, wrong %.3f\n", median(rightScores), median(wrongScores));
  std::printf("%.1f us per Classify (%ld calls)\n", 1e6 * seconds / double(calls), calls);
  std::vector<std::pair<long, std::pair<uint8_t, uint8_t>>> top;
  for (const auto& [pair, n] : confusions) top.push_back({n, pair});
  std::sort(top.rbegin(), top.rend());
  std::printf("top confusions (true -> read):");
  for (size_t i = 0; i < std::min<size_t>(40, top.size()); ++i)
    std::printf("%s %s->%s %ld", i % 10 ? "," : "\n ", Show(top[i].second.first).c_str(),
                Show(top[i].second.second).c_str(), top[i].first);
  std::printf("\n");
}
