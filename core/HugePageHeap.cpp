#include "core/HugePageHeap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

void BackTheHeapWithHugePages(size_t bytes) {
  if (bytes == 0 || bytes > size_t(INT_MAX) / 4) return;
  // One arena, so that the classification thread allocates from the same heap.
  mallopt(M_ARENA_MAX, 1);
  // Blocks of up to twice `bytes` from the heap, and the heap never trimmed, so that the marked
  // range is what serves them.
  mallopt(M_MMAP_THRESHOLD, int(2 * bytes));
  mallopt(M_TRIM_THRESHOLD, int(4 * bytes));
  // The heap grows by a block of that size; its inside, in whole huge pages, is marked.
  void* block = std::malloc(bytes);
  if (!block) return;
  constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
  const uintptr_t first = reinterpret_cast<uintptr_t>(block);
  const uintptr_t start = (first + kHugePage - 1) / kHugePage * kHugePage;
  const uintptr_t end = (first + bytes) / kHugePage * kHugePage;
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  std::free(block);
}
