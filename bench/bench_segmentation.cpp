// bench_segmentation: the page segmentation on the bench pages (target <= 10 ms a page).
// The ink components come from Leptonica (threshold at half grey, 8-connected), as the
// extended recogniser finds them. Prints the time per page and every block in reading
// order with its box and first members, for a look at the order; with --pgm OUT_DIR it
// also writes each page at quarter size with the block boxes drawn (text black frames
// with their number as frame count, non-text grey).
// Usage: bench_segmentation [CASES_DIR]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/SegmentationComponents.h"
#include "layout/PageSegmentation.h"

namespace {

std::vector<InkComponent> Components(const std::string& file, int32_t& width, int32_t& height) {
  std::vector<InkComponent> components;
  for (const ComponentBox& c : LeptonicaComponents(file, width, height))
    components.push_back({{c.left, c.top, c.right, c.bottom}, c.ink});
  return components;
}

const char* KindName(BlockKind kind) {
  switch (kind) {
    case BlockKind::Text:
      return "text";
    case BlockKind::Picture:
      return "picture";
    case BlockKind::Rule:
      return "rule";
    case BlockKind::Speck:
      return "speck";
  }
  return "?";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : QUILLON_BENCH_CASES;
  const char* names[] = {"twocol",         "threecol",        "picture", "mixed", "letter",
                         "sans12_general", "serif12_general", "scan",    "skew"};
  for (const char* name : names) {
    int32_t width = 0, height = 0;
    const std::vector<InkComponent> components =
        Components(dir + "/" + name + ".png", width, height);
    constexpr int kRuns = 20;
    SegmentedPage page;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < kRuns; ++run) page = SegmentPage(components, width, height, 0);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count() /
        kRuns;
    std::printf("%-16s %5zu components  %6.2f ms  %zu text blocks  %zu non-text\n", name,
                components.size(), ms, page.textBlocks.size(), page.nonText.size());
    for (size_t b = 0; b < page.textBlocks.size(); ++b) {
      const PageRegion& r = page.textBlocks[b];
      std::printf("  %2zu text    %4d,%4d - %4d,%4d  %zu objects\n", b + 1, r.box.Left, r.box.Top,
                  r.box.Right, r.box.Bottom, r.components.size());
    }
    for (const PageRegion& r : page.nonText)
      if (r.components.size() > 1 || r.kind != BlockKind::Speck)
        std::printf("     %-7s %4d,%4d - %4d,%4d  %zu objects\n", KindName(r.kind), r.box.Left,
                    r.box.Top, r.box.Right, r.box.Bottom, r.components.size());
  }
  return 0;
}
