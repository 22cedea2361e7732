// Reordering and thinning a record list in place, for the steps that put `objects` in a
// new order or keep only part of it. Moving the records where they stand needs one
// spare record instead of a second list of the same size.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/DynaArray.h"

// Leaves in `list` exactly the records named by `keep` (indexes into the list as it is,
// each at most once), in the order of `keep`. Records not named are dropped without
// being looked at: the caller releases what they own first. The chunk and the bound
// variable stay; the cursor is reset.
template <class T>
void ArrangeRecords(TDynaArray<T>& list, const std::vector<int32_t>& keep) {
  const int32_t count = list.Count;
  // source[k]: the record that moves to place k. The dropped records fill the places
  // after the kept ones and are then cut off.
  std::vector<int32_t> source;
  source.reserve(size_t(count));
  std::vector<uint8_t> named(size_t(count), 0);
  for (int32_t index : keep) {
    source.push_back(index);
    named[size_t(index)] = 1;
  }
  for (int32_t i = 0; i < count; ++i)
    if (!named[size_t(i)]) source.push_back(i);

  const size_t size = size_t(list.RecordSize());
  std::vector<uint8_t> spare(size);
  std::vector<uint8_t> done(size_t(count), 0);
  for (int32_t start = 0; start < count; ++start) {
    if (done[size_t(start)] || source[size_t(start)] == start) {
      done[size_t(start)] = 1;
      continue;
    }
    // Follow the cycle through `start`: each place takes the record from its source.
    std::memcpy(spare.data(), list.At(start), size);
    int32_t place = start;
    while (source[size_t(place)] != start) {
      const int32_t from = source[size_t(place)];
      std::memcpy(static_cast<void*>(list.At(place)), list.At(from), size);
      done[size_t(place)] = 1;
      place = from;
    }
    std::memcpy(static_cast<void*>(list.At(place)), spare.data(), size);
    done[size_t(place)] = 1;
  }
  while (list.Count > int32_t(keep.size())) list.Delete(list.Count - 1);
  // The records under the cursor have moved: no record is current.
  list.cursor = -1;
  if (list.BoundVariable()) *list.BoundVariable() = nullptr;
}
