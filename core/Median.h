// The median as the program takes it everywhere, and the upper quartile.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The middle of `values` in order, the upper of the two middle ones when their count is
// even (the element at size / 2); a value-initialised T (0) for none.
template <typename T>
T Median(std::vector<T> values) {
  if (values.empty()) return T{};
  const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The element at three quarters of `values` in order (at size * 3 / 4); 0 for none.
template <typename T>
T UpperQuartile(std::vector<T> values) {
  if (values.empty()) return T{};
  const auto at = values.begin() + std::ptrdiff_t(values.size() * 3 / 4);
  std::nth_element(values.begin(), at, values.end());
  return *at;
}
