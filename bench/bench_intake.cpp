// bench_intake: picture intake and black/white conversion on an A4 page at 300 dpi.
//   opening the page and bringing it to 24 bits   (target < 60 ms)
//   the black/white conversion                    (target < 30 ms)
//   peak memory of the whole automatic run        (target < 100 MB)
// Usage: bench_intake [PAGE]   (default: the sans12 page of the bench cases)
#include <sys/resource.h>
#include <sys/wait.h>
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

double Milliseconds(const std::function<void()>& step) {
  const auto start = std::chrono::steady_clock::now();
  step();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

void Report(const char* what, std::vector<double> times, double target) {
  std::sort(times.begin(), times.end());
  const double median = times[times.size() / 2];
  std::printf("%-40s min %7.2f ms  median %7.2f ms  (target < %.0f ms) %s\n", what, times.front(),
              median, target, median < target ? "ok" : "SLOW");
}

// Peak resident memory of `quillon PAGE -`, in MB, or -1 when it could not run.
double AutomaticRunPeakMB(const std::string& page) {
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

  std::vector<double> openTimes;
  RasterImage picture{};
  for (int i = 0; i < kRounds; ++i) {
    deldib(&picture);
    openTimes.push_back(Milliseconds([&] {
      OpenDib(&picture, page.c_str(), 0, nullptr);
      if (picture.pixels && DIBBitCount(picture) != 24) DepthUpTo(24, picture);
    }));
    if (!picture.pixels) {
      std::fprintf(stderr, "bench_intake: %s: %s\n", page.c_str(), DIBErrorText(picture).c_str());
      return 1;
    }
  }
  std::printf("page %s: %d x %d\n", page.c_str(), DIBWidth(picture), DIBHeight(picture));
  Report("OpenDib + DepthUpTo", openTimes, 60);

  HeadlessWindow window;
  std::vector<double> bwTimes;
  {
    TMainForm form(window, QUILLON_PROGRAM, {});
    form.picture = picture;  // the form releases it
    for (int i = 0; i < kRounds; ++i)
      bwTimes.push_back(Milliseconds([&] { form.ToBlackWhiteBtnClick(); }));
    std::printf("%s\n", window.log.back().c_str());
  }
  Report("ToBlackWhiteBtnClick", bwTimes, 30);

  const double peak = AutomaticRunPeakMB(page);
  if (peak < 0)
    std::printf("automatic run: could not run %s\n", QUILLON_PROGRAM);
  else
    std::printf("%-40s peak %7.1f MB  (target < 100 MB) %s\n", "automatic run (quillon PAGE -)",
                peak, peak < 100 ? "ok" : "HIGH");
  return 0;
}
