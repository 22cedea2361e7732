// Passes over the rows of a page in two bands on two threads. The page-sized passes
// (histogram, black/white conversion, search map) are bound by memory, and their first
// writes into fresh memory are half their time; two cores halve it.
#pragma once

#include <cstdint>
#include <system_error>
#include <thread>

// Pages from this many rows on are split; below, a thread costs more than it saves.
constexpr int32_t kTwoBandRows = 512;

// band(first, end) for the rows [0, middle) here and [middle, rows) on another thread; one
// band of all rows for a small page or when no thread can be had. The bands must write
// apart from each other.
template <class Band>
void InTwoBands(int32_t rows, const Band& band) {
  if (rows < kTwoBandRows) return band(0, rows);
  const int32_t middle = rows / 2;
  std::thread upper;
  try {
    upper = std::thread([&] { band(middle, rows); });
  } catch (const std::system_error&) {
    band(0, rows);
    return;
  }
  band(0, middle);
  upper.join();
}
