// bench_intake: picture intake and black/white conversion on an A4 page at 300 dpi.
//   opening the page and bringing it to 24 bits   (target < 60 ms)
//   the black/white conversion                    (target < 30 ms)
//   peak memory of the whole automatic run        (target < 100 MB)
// Usage: bench_intake [PAGE]   (default: the sans12 page of the bench cases)
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/DepthUp.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"

namespace {

struct Time {
  double wall, cpu;  // milliseconds; cpu counts this thread only, so other load does not
};

double ThreadCpuMs() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

Time Measure(const std::function<void()>& step) {
  const auto start = std::chrono::steady_clock::now();
  const double cpuStart = ThreadCpuMs();
  step();
  return {
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
      ThreadCpuMs() - cpuStart};
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Report(const char* what, const std::vector<Time>& times, double target) {
  std::vector<double> wall, cpu;
  for (const Time& t : times) {
    wall.push_back(t.wall);
    cpu.push_back(t.cpu);
  }
  const double cpuMedian = Median(cpu);
  std::printf(
      "%-36s wall: min %6.1f median %6.1f ms; cpu: min %6.1f median %6.1f ms "
      "(target < %.0f ms) %s\n",
      what, *std::min_element(wall.begin(), wall.end()), Median(wall),
      *std::min_element(cpu.begin(), cpu.end()), cpuMedian, target,
      cpuMedian < target ? "ok" : "SLOW");
}

// VmHWM of this process in MB.
double PeakOfThisProcessMB() {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  double kb = -1;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %lf", &kb) == 1) break;
  std::fclose(f);
  return kb / 1024.0;
}

// Peak resident memory of `quillon PAGE -`, in MB, or -1 when it could not run.
double AutomaticRunPeakMB(const std::string& page) {
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    execl(QUILLON_PROGRAM, QUILLON_PROGRAM, page.c_str(), "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  return double(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string page = argc > 1 ? argv[1] : QUILLON_BENCH_CASES "/sans12.png";
  constexpr int kRounds = 15;
  const double startPeak = PeakOfThisProcessMB();

  std::vector<Time> openTimes, depthTimes, bothTimes;
  RasterImage picture{};
  for (int i = 0; i < kRounds; ++i) {
    deldib(&picture);
    openTimes.push_back(Measure([&] { OpenDib(&picture, page.c_str(), 0, nullptr); }));
    if (!picture.pixels) {
      std::fprintf(stderr, "bench_intake: %s: %s\n", page.c_str(), DIBErrorText(picture).c_str());
      return 1;
    }
    if (i == 0)
      std::printf("page %s: %d x %d, %d bits\n", page.c_str(), DIBWidth(picture),
                  DIBHeight(picture), DIBBitCount(picture));
    depthTimes.push_back(Measure([&] { DepthUpTo(24, picture); }));
    bothTimes.push_back({openTimes.back().wall + depthTimes.back().wall,
                         openTimes.back().cpu + depthTimes.back().cpu});
  }
  Report("OpenDib", openTimes, 60);
  Report("DepthUpTo", depthTimes, 60);
  Report("OpenDib + DepthUpTo", bothTimes, 60);

  HeadlessWindow window;
  std::vector<Time> bwTimes;
  {
    TMainForm form(window, QUILLON_PROGRAM, {});
    form.picture = picture;  // the form releases it
    for (int i = 0; i < kRounds; ++i)
      bwTimes.push_back(Measure([&] { form.ToBlackWhiteBtnClick(); }));
    std::printf("%s\n", window.log.back().c_str());
  }
  // The first run also pays for the fresh pages of the new black/white image, as the
  // conversion after opening a page does.
  std::printf("%-36s first: wall %6.1f ms, cpu %6.1f ms\n", "ToBlackWhiteBtnClick",
              bwTimes.front().wall, bwTimes.front().cpu);
  std::printf("%-36s peak %6.1f MB (this process; %.1f MB before the page)\n",
              "after intake and conversion", PeakOfThisProcessMB(), startPeak);
  Report("ToBlackWhiteBtnClick (Render again)", bwTimes, 30);

  const double peak = AutomaticRunPeakMB(page);
  if (peak < 0)
    std::printf("automatic run: could not run %s\n", QUILLON_PROGRAM);
  else
    std::printf("%-40s peak %7.1f MB  (target < 100 MB) %s\n", "automatic run (quillon PAGE -)",
                peak, peak < 100 ? "ok" : "HIGH");
  return 0;
}
