// A Leptonica picture (or number array) owned as a unique_ptr, so that every return path gives
// it back.
#pragma once

#include <leptonica/allheaders.h>

#include <memory>

struct PixDeleter {
  void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<PIX, PixDeleter>;

struct NumaDeleter {
  void operator()(NUMA* numa) const { numaDestroy(&numa); }
};
using NumaPtr = std::unique_ptr<NUMA, NumaDeleter>;
