// Rounding helpers of the page view's zoom arithmetic.
#pragma once

#include <cstdint>

// numerator / denominator (denominator > 0) rounded to the nearest integer, halves to the
// even neighbour. Exact for every 64-bit numerator, unlike a detour through doubles.
inline int64_t RoundDivHalfEven(int64_t numerator, int64_t denominator) {
  int64_t q = numerator / denominator, r = numerator % denominator;
  if (r < 0) {  // floor division
    q -= 1;
    r += denominator;
  }
  const int64_t twice = 2 * r;
  if (twice > denominator || (twice == denominator && (q & 1) != 0)) ++q;
  return q;
}
