// bench_classify: the classification of every object of a page.
//   average time of ClassifyObject per object            (target < 20 us)
//   the matching alone, fast path against the cell loop  (the same admitted candidates)
// Usage: bench_classify [PAGE]   (default: the sans12 page of the bench cases)
// The page goes through the program's own intake, black/white conversion, object search
// and line finding first; those are not timed here.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/ClassifyRules.h"
#include "recognition/GridMatcher.h"
#include "recognition/ObjectFeatures.h"

namespace {

// The machine is shared: time counts this thread's processor time, not the wall clock.
struct Clock {
  using time_point = double;
  static double now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
  }
};

double Microseconds(double start, double end) {
  return end - start;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string page = argc > 1 ? argv[1] : QUILLON_BENCH_CASES "/sans12.png";
  HeadlessWindow window;
  TMainForm form(window, argv[0], {});
  if (!form.OpenPic(page)) {
    std::fprintf(stderr, "bench_classify: cannot open %s\n", page.c_str());
    return 1;
  }
  form.ToBlackWhiteBtnClick();
  form.FindCharsBtnClick();
  const int32_t count = form.objects.Count;
  if (count == 0 || form.lines.Count == 0) {
    std::fprintf(stderr, "bench_classify: no objects found on %s\n", page.c_str());
    return 1;
  }

  auto templates = std::make_unique<TemplateSet>();
  form.templateSet = templates.get();
  SoftwareCanvas bitmap;
  const auto buildStart = Clock::now();
  form.BuildTemplateSet(bitmap);
  const double buildUs = Microseconds(buildStart, Clock::now());

  // The whole classification, three rounds; the best round counts.
  double bestRoundUs = 1e300;
  std::map<int32_t, int32_t> characters;
  for (int round = 0; round < 3; ++round) {
    const auto start = Clock::now();
    for (int32_t i = 0; i < count; ++i) {
      form.objects.Select(i);
      const int32_t line = form.currentObject->line;
      if (line >= 1 && line <= form.lines.Count) form.lines.Select(line - 1);
      const int32_t c = form.ClassifyObject();
      if (round == 0) ++characters[c];
    }
    bestRoundUs = std::min(bestRoundUs, Microseconds(start, Clock::now()));
  }

  // The matching alone on the same admitted candidates: fast path for every object, the
  // cell loop for a sample of objects (it is slow), with identical results required.
  static ShiftedObject shifted;
  static PackedTemplateSet packed;
  PackTemplateSet(*templates, &packed);
  const int32_t sampleStep = std::max(1, count / 60);
  double fastUs = 0, referenceUs = 0;
  int64_t matches = 0, mismatches = 0, sampled = 0;
  for (int32_t i = 0; i < count; i += sampleStep) {
    PageObject& object = *form.objects.At(i);
    GlyphGrid grid;
    ObjectFeatures features;
    MeasureObject(object.image, &grid, &features);
    const int32_t line = object.line;
    if (line < 1 || line > form.lines.Count) continue;
    const PositionFeatures position = MeasurePosition(object.box, *form.lines.At(line - 1), 0);
    double fastScores[kMatchedCount] = {}, referenceScores[kMatchedCount] = {};
    auto start = Clock::now();
    PrepareObject(grid, &shifted);
    for (int k = 1; k <= kMatchedCount; ++k) {
      if (!IsAdmitted(k, position)) continue;
      double best = -1;
      for (int f = 0; f < kTemplateFonts; ++f)
        best = MatchBestFast(packed.templates[k - 1][f], shifted, best);
      fastScores[k - 1] = best;
    }
    fastUs += Microseconds(start, Clock::now());
    start = Clock::now();
    for (int k = 1; k <= kMatchedCount; ++k) {
      if (!IsAdmitted(k, position)) continue;
      double best = -1;
      for (int f = 0; f < kTemplateFonts; ++f)
        best = MatchBestReference(templates->grids[k - 1][f], grid, best);
      referenceScores[k - 1] = best;
      ++matches;
    }
    referenceUs += Microseconds(start, Clock::now());
    for (int k = 0; k < kMatchedCount; ++k) mismatches += fastScores[k] != referenceScores[k];
    ++sampled;
  }
  form.templateSet = nullptr;

  const double perObject = bestRoundUs / count;
  std::printf("page %s: %d objects on %d lines\n", page.c_str(), count, form.lines.Count);
  std::printf("template set built in %.1f ms\n", buildUs / 1000.0);
  std::printf(
      "ClassifyObject: %.2f us per object on average, %.1f ms for the page "
      "(target < 20 us) %s\n",
      perObject, bestRoundUs / 1000.0, perObject < 20 ? "ok" : "SLOW");
  std::printf("matching alone over %lld sampled objects (%.1f admitted candidates each):\n",
              static_cast<long long>(sampled),
              double(matches) / double(std::max<int64_t>(1, sampled)));
  std::printf("  fast path  %9.2f us per object\n", fastUs / double(sampled));
  std::printf("  cell loop  %9.2f us per object\n", referenceUs / double(sampled));
  std::printf("  speedup    %9.1f x, %lld differing scores\n", referenceUs / fastUs,
              static_cast<long long>(mismatches));
  std::printf("most frequent characters:");
  std::vector<std::pair<int32_t, int32_t>> byCount;
  for (auto [c, n] : characters) byCount.push_back({n, c});
  std::sort(byCount.rbegin(), byCount.rend());
  for (size_t i = 0; i < byCount.size() && i < 12; ++i)
    std::printf(" %c:%d", byCount[i].second < 128 ? char(byCount[i].second) : '?',
                byCount[i].first);
  std::printf("\n");
  return mismatches == 0 ? 0 : 2;
}
