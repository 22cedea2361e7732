// One libFuzzer target; FUZZ_TARGET names which (see FuzzEntries.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzEntries.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The whole run makes its fonts and templates before the first input.
  if (std::string(FUZZ_TARGET) == "pipeline") fuzz::RunTarget(FUZZ_TARGET, nullptr, 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::RunTarget(FUZZ_TARGET, data, size)) __builtin_trap();
  return 0;
}
