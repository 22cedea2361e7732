// What each fuzz target does with one input, shared by the libFuzzer targets and the test
// that replays the regression inputs (tests/data/fuzz-regressions/TARGET/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// The targets: bmp pcx tga iff png jpeg gif tiff pnm wordlist learned_grids pipeline pdf.
const std::vector<std::string>& TargetNames();

// Runs `target` on the input. False when the code under test broke a promise it makes
// (besides crashing, which the sanitizers report); the libFuzzer targets trap then.
bool RunTarget(const std::string& target, const uint8_t* data, size_t size);

// The pdf target (FuzzPdf.cpp).
bool ReadPdf(const uint8_t* data, size_t size);

}  // namespace fuzz
