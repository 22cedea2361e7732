// A place in the output field's text.
#pragma once

#include <cstdint>

// A stretch of one output line: `length` characters from character `start` (characters,
// not bytes of UTF-8).
struct OutputMark {
  int32_t line = 0, start = 0, length = 0;
  bool operator==(const OutputMark&) const = default;
};
