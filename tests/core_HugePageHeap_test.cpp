#include "core/HugePageHeap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Sanitizers bring their own allocator, which takes no advice from the heap's settings.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
namespace {

// The flags of the mapping that holds `address`, as /proc/self/smaps lists them.
std::string FlagsOfMappingAt(const void* address) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> from >> dash >> to && dash == '-') inside = from <= at && at < to;
    if (inside && line.rfind("VmFlags:", 0) == 0) return line;
  }
  return "";
}

bool HugePagesAvailable() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  return bool(mode);
}

}  // namespace

TEST(HugePageHeap, LaterBlocksLieInMemoryMarkedForHugePages) {
  if (!HugePagesAvailable()) GTEST_SKIP() << "no transparent huge pages on this system";
  constexpr size_t kReserve = size_t(64) << 20;
  BackTheHeapWithHugePages(kReserve);
  // A page-sized buffer of a run (a 24-bit A4 page is 26 MB).
  char* page = static_cast<char*>(std::malloc(size_t(26) << 20));
  ASSERT_NE(page, nullptr);
  EXPECT_NE(FlagsOfMappingAt(page + (size_t(13) << 20)).find(" hg"), std::string::npos);
  std::free(page);
  // Objects' cut-outs, thousands of small blocks: past what the heap held before, they
  // come from the marked memory too.
  std::vector<void*> blocks;
  for (int i = 0; i < 4000; ++i) blocks.push_back(std::malloc(6000));
  EXPECT_NE(FlagsOfMappingAt(blocks.back()).find(" hg"), std::string::npos);
  for (void* block : blocks) std::free(block);
}
#endif
