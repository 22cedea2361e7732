// Replays every input that fuzzing found (and the hostile files of the hardening work)
// through the code of its fuzz target: none may crash, trip a sanitizer or break a promise.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/FuzzEntries.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRegressions = fs::path(QUILLON_TEST_DATA) / "fuzz-regressions";

TEST(FuzzRegressions, EveryFolderNamesATarget) {
  const auto& names = fuzz::TargetNames();
  for (const auto& entry : fs::directory_iterator(kRegressions))
    EXPECT_NE(std::find(names.begin(), names.end(), entry.path().filename().string()), names.end())
        << entry.path();
}

TEST(FuzzRegressions, EveryInputRunsThroughItsTarget) {
  int inputs = 0;
  for (const std::string& target : fuzz::TargetNames()) {
    const fs::path folder = kRegressions / target;
    if (!fs::is_directory(folder)) continue;
    for (const auto& entry : fs::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      EXPECT_TRUE(fuzz::RunTarget(target, bytes.data(), bytes.size())) << entry.path();
      ++inputs;
    }
  }
  EXPECT_GT(inputs, 0);
}

}  // namespace
