// Fresh memory costs the system a fault per 4 KiB page it hands out; on a virtual machine
// that is the largest single cost of reading a page (some 4 ms per MiB), where 2 MiB pages
// cost a fault each. A recognition from the command line therefore takes its heap in huge
// pages; the window, which lives long, keeps the allocator's usual habits.
#pragma once

#include <cstddef>

// Reserves `bytes` of heap (address space only: nothing is resident until touched), marks
// it for huge pages and keeps it: allocations below `bytes` come from this heap and freed
// memory stays for the next allocation instead of going back to the system. Call once,
// early, before threads start. Harmless where huge pages are not available.
void BackTheHeapWithHugePages(size_t bytes);
