// OpenDib on the bench pages: an A4 8-bit grey PNG and an A4 1-bit CCITT G4 TIFF. Each
// is also decoded by Leptonica alone, so that the cost of bringing the picture into a
// RasterImage shows apart from the decoder's own time (and from the machine's load).
#include <benchmark/benchmark.h>
#include <leptonica/allheaders.h>

#include <filesystem>
#include <string>

#include "core/RasterImage.h"

namespace {

std::string CasePath(const char* name) {
  return std::string(QUILLON_BENCH_CASES) + "/" + name;
}

void OpenCase(benchmark::State& state, const char* name) {
  const std::string path = CasePath(name);
  if (!std::filesystem::exists(path)) {
    state.SkipWithError(("missing " + path).c_str());
    return;
  }
  for (auto _ : state) {
    RasterImage img;
    OpenDib(&img, path.c_str(), 0, nullptr);
    if (!img.pixels) {
      state.SkipWithError(DIBErrorText(img).c_str());
      return;
    }
    benchmark::DoNotOptimize(img.pixels);
    deldib(&img);
  }
}

void LeptonicaCase(benchmark::State& state, const char* name) {
  const std::string path = CasePath(name);
  if (!std::filesystem::exists(path)) {
    state.SkipWithError(("missing " + path).c_str());
    return;
  }
  setMsgSeverity(L_SEVERITY_NONE);
  for (auto _ : state) {
    PIX* pix = pixRead(path.c_str());
    benchmark::DoNotOptimize(pix);
    pixDestroy(&pix);
  }
}

void BM_OpenDib_Png(benchmark::State& state) {
  OpenCase(state, "sans12.png");
}
void BM_OpenDib_G4Tiff(benchmark::State& state) {
  OpenCase(state, "scan_g4.tif");
}
void BM_Leptonica_Png(benchmark::State& state) {
  LeptonicaCase(state, "sans12.png");
}
void BM_Leptonica_G4Tiff(benchmark::State& state) {
  LeptonicaCase(state, "scan_g4.tif");
}

BENCHMARK(BM_OpenDib_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Leptonica_Png)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenDib_G4Tiff)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Leptonica_G4Tiff)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
