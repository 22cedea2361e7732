// Fresh memory costs the system a fault per 4 KiB page it hands out; on a virtual machine
// that is the largest single cost of reading a page (some 4 ms per MiB), where 2 MiB pages
// cost a fault each. A recognition from the command line therefore takes its heap in huge
// pages; the window, which lives long, keeps the allocator's usual habits.
//
// Measured on the 2-core development VM (batch of 20 bench pages, two workers,
// /usr/bin/time -v, two rounds each, the machine shared): the classic recogniser took
// 2.3-2.9 s with the huge-page heap and 4.3-4.9 s without, the extended one 6.1-8.5 s and
// 8.8-9.5 s; minor page faults fell from about 116,000 to 16,000 (classic) and from 100,000
// to 25,000 (extended), at 2-8 MB more peak memory per worker. Its single arena made no
// difference that stood out of the noise there (a batch worker reads a page on one thread);
// it stays so that a single run's second thread allocates from the marked heap too. Not yet
// measured on a machine with many cores, where one arena may cost more.
#pragma once

#include <cstddef>

// Reserves `bytes` of heap (address space only: nothing is resident until touched), marks
// it for huge pages and keeps it: allocations below `bytes` come from this heap and freed
// memory stays for the next allocation instead of going back to the system. Call once,
// early, before threads start. Harmless where huge pages are not available.
void BackTheHeapWithHugePages(size_t bytes);
