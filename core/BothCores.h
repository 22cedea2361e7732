// Work shared out between the machine's two cores (the extended recogniser reads lines and
// renders template faces this way; core/RowBands.h passes over a page's rows so).
#pragma once

#include <algorithm>
#include <cstddef>
#include <thread>

// Runs work(i) for i in [0, count) on both cores, every second item on each.
template <typename Work>
void OnBothCores(size_t count, const Work& work) {
  if (std::thread::hardware_concurrency() < 2 || count < 2) {
    for (size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::thread other([&] {
    for (size_t i = 1; i < count; i += 2) work(i);
  });
  for (size_t i = 0; i < count; i += 2) work(i);
  other.join();
}
