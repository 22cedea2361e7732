// bench_layout: the object search and the line finding on A4 pages at 300 dpi.
//   object search (FindCharsBtnClick up to the line finding)   (target < 60 ms)
//   whole FindCharsBtnClick with the line finding               (target < 150 ms)
//   a synthetic page of 20 000 small objects, found and lined   (target < 2 s)
//   a page that is one drawing, a spiral broken into nested arcs: the images the search
//   makes (target: its map alone, a byte a pixel; the cut-outs of the arcs would cost
//   three bytes for every pixel of their boxes, many pages in all)
// Also reports the correction angle of every page and, on the picture page, the lines
// the picture exclusion removes at slider positions 0, 5 and 10.
// Usage: bench_layout [CASES_DIR]
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of this process in milliseconds: on a machine shared with other work the wall
// clock also counts the time spent waiting for a core.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Notes when each log line arrives, so that the steps of one handler can be timed apart.
class TimedWindow : public HeadlessWindow {
 public:
  struct Stamp {
    Clock::time_point wall;
    double cpu;
    std::string line;
  };
  std::vector<Stamp> stamps;
  void LogAdd(const std::string& line) override {
    stamps.push_back({Clock::now(), CpuMs(), line});
    HeadlessWindow::LogAdd(line);
  }
  const Stamp* At(const std::string& line) const {
    for (const auto& s : stamps)
      if (s.line == line) return &s;
    return nullptr;
  }
  std::string Find(const std::string& prefix) const {
    for (const auto& s : stamps)
      if (s.line.rfind(prefix, 0) == 0) return s.line;
    return {};
  }
};

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Timing {
  double search = 0, total = 0;        // wall clock
  double searchCpu = 0, totalCpu = 0;  // CPU time
};

// Runs FindCharsBtnClick `rounds` times; medians of the object search and the whole step.
Timing TimeSearch(TMainForm& form, TimedWindow& window, int rounds) {
  std::vector<double> search, total, searchCpu, totalCpu;
  for (int r = 0; r < rounds; ++r) {
    window.stamps.clear();
    window.log.clear();
    const auto start = Clock::now();
    const double startCpu = CpuMs();
    form.FindCharsBtnClick();
    const auto end = Clock::now();
    const double endCpu = CpuMs();
    const TimedWindow::Stamp* lines = window.At("Search lines...");
    search.push_back(Ms(start, lines->wall));
    searchCpu.push_back(lines->cpu - startCpu);
    total.push_back(Ms(start, end));
    totalCpu.push_back(endCpu - startCpu);
  }
  return {Median(search), Median(total), Median(searchCpu), Median(totalCpu)};
}

long PeakRssMB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// A4 page with 100 lines of 200 hollow 7 x 12 boxes, falling 1 pixel per 200.
void DrawSyntheticPage(RasterImage* page) {
  newdib(page, 2480, 3508, 24, nullptr, 0);
  std::memset(page->pixels, 255, size_t(page->stride) * 3508);
  for (int32_t line = 0; line < 100; ++line)
    for (int32_t k = 0; k < 200; ++k) {
      const int32_t left = 60 + 11 * k, top = 40 + 34 * line + left / 200;
      for (int32_t y = top; y < top + 12; ++y)
        for (int32_t x = left; x < left + 7; ++x) {
          const bool edge = y == top || y == top + 11 || x == left || x == left + 6;
          std::memset(DIBPixel24(*page, x, y), edge ? 0 : 255, 3);
        }
    }
}

// A4 page with a spiral of 30 turns, 4 pixels wide, broken every half turn.
void DrawBrokenSpiral(RasterImage* page) {
  newdib(page, 2480, 3508, 24, nullptr, 0);
  std::memset(page->pixels, 255, size_t(page->stride) * 3508);
  const double radius = 1160, total = 30 * 2 * 3.14159265358979;
  const int steps = int(total * radius);
  for (int i = 0; i <= steps; ++i) {
    const double angle = total * i / steps, r = radius * i / steps;
    if (std::fmod(angle, 3.14159265358979) < 0.05) continue;
    const int32_t x = int32_t(1240 + r * std::cos(angle)), y = int32_t(1754 + r * std::sin(angle));
    for (int32_t dy = -2; dy < 2; ++dy) std::memset(DIBPixel24(*page, x - 2, y + dy), 0, 12);
  }
}

int64_t gImageBytes = 0;
void CountingMaker(RasterImage* out, int32_t w, int32_t h, int32_t bits, const uint8_t* colors,
                   int32_t colorCount) {
  newdib(out, w, h, bits, colors, colorCount);
  if (out->pixels) gImageBytes += int64_t(out->stride) * h;
}

struct LineBox {
  int32_t left, top, right, bottom, objects;
  bool operator==(const LineBox& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

std::vector<LineBox> Lines(TMainForm& form) {
  std::vector<LineBox> result;
  for (int32_t p = 0; p < form.lines.Count; ++p) {
    const TextLine* t = form.lines.At(p);
    int32_t count = 0;
    for (int32_t i = 0; i < form.objects.Count; ++i) count += form.objects.At(i)->line == p + 1;
    result.push_back({t->left, t->top, t->right, t->bottom, count});
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cases = argc > 1 ? argv[1] : QUILLON_BENCH_CASES;
  const char* pages[] = {"sans12",  "serif12", "sans10bold",     "twocol",         "skew",
                         "picture", "scan",    "sans12_general", "serif12_general"};
  std::printf("%-16s %7s %5s %5s %17s %17s  %s\n", "page", "objects", "dots", "lines",
              "search ms wall/cpu", "total ms wall/cpu", "angle");
  double worstSearch = 0, worstTotal = 0, worstSearchCpu = 0, worstTotalCpu = 0;
  for (const char* name : pages) {
    TimedWindow window;
    TMainForm form(window, argv[0], {});
    if (!form.OpenPic(cases + "/" + name + ".png")) {
      std::printf("%-16s could not be opened\n", name);
      continue;
    }
    const Timing t = TimeSearch(form, window, 7);
    worstSearch = std::max(worstSearch, t.search);
    worstTotal = std::max(worstTotal, t.total);
    worstSearchCpu = std::max(worstSearchCpu, t.searchCpu);
    worstTotalCpu = std::max(worstTotalCpu, t.totalCpu);
    std::printf("%-16s %7d %5d %5d %8.1f /%7.1f %8.1f /%7.1f  %s\n", name, form.objects.Count,
                form.dots.Count, form.lines.Count, t.search, t.searchCpu, t.total, t.totalCpu,
                window.Find("Correction angle:").c_str());
  }
  std::printf("worst object search %.1f ms wall, %.1f ms cpu (target < 60)\n", worstSearch,
              worstSearchCpu);
  std::printf("worst whole step    %.1f ms wall, %.1f ms cpu (target < 150)\n", worstTotal,
              worstTotalCpu);

  {
    TimedWindow window;
    TMainForm form(window, argv[0], {});
    DrawSyntheticPage(&form.bwImage);
    form.searchArea = {0, 0, 2479, 3507};
    const Timing t = TimeSearch(form, window, 3);
    std::printf(
        "synthetic page: %d objects, %d lines; search %.1f ms wall / %.1f cpu, whole step "
        "%.1f ms wall / %.1f cpu (target < 2000); %s\n",
        form.objects.Count, form.lines.Count, t.search, t.searchCpu, t.total, t.totalCpu,
        window.Find("Correction angle:").c_str());
  }

  {
    TimedWindow window;
    TMainForm form(window, argv[0], {});
    DrawBrokenSpiral(&form.bwImage);
    form.searchArea = {0, 0, 2479, 3507};
    form.objectImageMaker = CountingMaker;
    const Timing t = TimeSearch(form, window, 1);
    std::printf(
        "drawing page: %d objects, %s; search %.1f ms wall, whole step %.1f ms wall; images "
        "made %.1f MB (target: the map, %.1f MB)\n",
        form.objects.Count, window.Find("Drawings left out").c_str(), t.search, t.total,
        double(gImageBytes) / 1e6, 2480.0 * 3508 / 1e6);
  }

  // Which lines the picture exclusion takes out, at both ends of the slider and between.
  for (const char* name : {"picture", "skew"}) {
    TimedWindow window;
    TMainForm form(window, argv[0], {});
    if (!form.OpenPic(cases + "/" + name + ".png")) continue;
    form.settings.BildFilterCheck = false;
    form.FindCharsBtnClick();
    const std::vector<LineBox> all = Lines(form);
    std::printf("%s page: %zu lines without the exclusion\n", name, all.size());
    for (int32_t position : {0, 5, 10}) {
      form.settings.BildFilterCheck = true;
      form.settings.TrackBar1 = position;
      window.stamps.clear();
      form.FindCharsBtnClick();
      const std::vector<LineBox> kept = Lines(form);
      std::printf("  TrackBar1 = %2d: %s\n", position,
                  window.Find(std::to_string(all.size() - kept.size()) + " lines").c_str());
      LineBox biggest{0, 0, -1, -1, 0};
      for (const LineBox& line : all)
        if (std::find(kept.begin(), kept.end(), line) == kept.end()) {
          std::printf("    removed (%d, %d)-(%d, %d), %d objects\n", line.left, line.top,
                      line.right, line.bottom, line.objects);
          if (line.objects > biggest.objects) biggest = line;
        }
      // Debris of a removed picture that stays among the text lines.
      int32_t debris = 0, debrisObjects = 0;
      for (const LineBox& line : kept)
        if (line.left >= biggest.left && line.right <= biggest.right && line.top >= biggest.top &&
            line.bottom <= biggest.bottom) {
          ++debris;
          debrisObjects += line.objects;
        }
      if (biggest.objects > 0)
        std::printf("    kept inside (%d, %d)-(%d, %d): %d lines of %d objects\n", biggest.left,
                    biggest.top, biggest.right, biggest.bottom, debris, debrisObjects);
    }
  }
  std::printf("peak resident memory %ld MB\n", PeakRssMB());
  return 0;
}
