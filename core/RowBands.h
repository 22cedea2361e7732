// Passes over the rows of a page in two bands, one on each of the page's threads. The page-sized
// passes (histogram, black/white conversion, search map, the extended recogniser's ink) are bound
// by memory, and their first writes into fresh memory are half their time; two cores
// halve it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/BothCores.h"

// Pages from this many rows on are split; below, a thread costs more than it saves.
constexpr int32_t kTwoBandRows = 512;

// band(first, end, index) for the rows [0, rows / 2) as band 0 and [rows / 2, rows) as
// band 1, one on each of the page's threads; a small page is one band 0 of all rows. The bands must
// write apart from each other.
template <class Band>
void InTwoBands(int32_t rows, const Band& band) {
  if (rows < kTwoBandRows) return band(0, rows, size_t(0));
  const int32_t middle = rows / 2;
  OnPageThreads(2, [&](size_t index) {
    if (index == 0)
      band(0, middle, index);
    else
      band(middle, rows, index);
  });
}
