// TDynaArray: the one container of the program. A growable array of fixed-size plain
// records stored contiguously, growing and shrinking in whole chunks, with a cursor and
// a bound cursor variable that always points at the current record.
//
// Records are raw bytes: they are moved with memcpy and must be trivially copyable.
// Any pointer into the storage dies with the next Add, Delete or Clear, except the
// current-record pointer that the array rewrites itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

// T is the record type the bound cursor variable points to; use std::byte (or any
// one-byte type) for a byte-level array whose record size is given at creation.
template <class T>
class TDynaArray {
  static_assert(std::is_trivially_copyable_v<T>, "records are moved as raw bytes");

 public:
  // Create: empty, cursor -1, chunk 100. cursorVar may be null (no bound variable).
  explicit TDynaArray(T** cursorVar = nullptr, int32_t recordSize = int32_t(sizeof(T)))
      : bound_(cursorVar), recordSize_(recordSize) {}
  ~TDynaArray() { Destroy(); }
  TDynaArray(const TDynaArray&) = delete;
  TDynaArray& operator=(const TDynaArray&) = delete;

  int32_t Count = 0;
  int32_t cursor = -1;  // read and written by owners that save and restore it
  int32_t chunk = 100;  // growth step in records; set before the first Add

  int32_t RecordSize() const { return recordSize_; }
  int64_t Capacity() const { return capacity_; }
  T* Current() const { return current_; }
  T** BoundVariable() const { return bound_; }

  // Frees the storage; the bound variable is not written.
  void Destroy() {
    std::free(storage_);
    storage_ = nullptr;
    current_ = nullptr;
    capacity_ = 0;
    Count = 0;
    cursor = -1;
  }

  // No bounds check: callers pass 0 <= i < Count.
  T* Select(int32_t i) {
    cursor = i;
    SetCurrent(At(i));
    return current_;
  }

  // Appends one zero-filled record and makes it current. Throws std::bad_alloc when the
  // storage cannot grow (the array is then unchanged).
  T* Add() {
    Resize(Count + 1);
    ++Count;
    std::memset(storage_ + size_t(Count - 1) * size_t(recordSize_), 0, size_t(recordSize_));
    return Select(Count - 1);
  }

  void Delete(int32_t i) {
    if (i < 0 || i > Count - 1) return;
    // Records above i move down one place each, in rising order.
    for (int32_t k = i + 1; k < Count; ++k)
      std::memcpy(Bytes(k - 1), Bytes(k), size_t(recordSize_));
    --Count;
    Shrink();
    cursor = -1;
    SetCurrent(nullptr);
  }

  void Clear() {
    std::free(storage_);
    storage_ = nullptr;
    Count = 0;
    capacity_ = 0;
    cursor = -1;
    SetCurrent(nullptr);
  }

  void Swap(int32_t i, int32_t j) {
    if (i < 0 || j < 0 || i > Count - 1 || j > Count - 1) return;
    if (i != j) {
      // One record's worth of temporary space; records are small enough for the stack
      // in every list of the program, but sizes are runtime values, so use the heap.
      void* temp = std::malloc(size_t(recordSize_));
      if (!temp) throw std::bad_alloc();
      std::memcpy(temp, Bytes(i), size_t(recordSize_));
      std::memcpy(Bytes(i), Bytes(j), size_t(recordSize_));
      std::memcpy(Bytes(j), temp, size_t(recordSize_));
      std::free(temp);
    }
    Select(j);
  }

  void First() {
    if (Count > 0) Select(0);
  }

  bool Next() {
    if (Count == 0 || cursor < 0 || cursor > Count - 1) return false;
    SetCurrent(At(cursor));
    ++cursor;
    return true;
  }

  // Direct access without moving the cursor (for algorithms that index).
  T* At(int32_t i) const { return reinterpret_cast<T*>(Bytes(i)); }

 private:
  uint8_t* Bytes(int32_t i) const { return storage_ + size_t(i) * size_t(recordSize_); }

  void SetCurrent(T* record) {
    current_ = record;
    if (bound_) *bound_ = record;
  }

  int64_t WantedCapacity(int32_t count) const {
    // ((count - 1) div chunk + 1) * chunk * recordSize, the division unsigned.
    uint32_t chunks = uint32_t(count - 1) / uint32_t(chunk) + 1;
    return int64_t(chunks) * chunk * recordSize_;
  }

  void Resize(int32_t newCount) {
    int64_t wanted = WantedCapacity(newCount);
    if (storage_ && wanted == capacity_) return;
    uint8_t* block = static_cast<uint8_t*>(std::malloc(size_t(wanted)));
    if (!block) throw std::bad_alloc();
    // Only the records in use move: the rest of a chunk was never written, and copying it
    // would make the system hand out every page of the new block at once.
    if (storage_ && Count > 0) std::memcpy(block, storage_, size_t(Count) * size_t(recordSize_));
    std::free(storage_);
    storage_ = block;
    capacity_ = wanted;
  }

  void Shrink() {
    if (Count == 0) {
      std::free(storage_);
      storage_ = nullptr;
      capacity_ = 0;
      return;
    }
    int64_t wanted = WantedCapacity(Count);
    if (wanted == capacity_) return;
    void* block = std::realloc(storage_, size_t(wanted));
    if (block) storage_ = static_cast<uint8_t*>(block);  // a failed shrink keeps the old block
    capacity_ = wanted;
  }

  T** bound_;
  T* current_ = nullptr;
  uint8_t* storage_ = nullptr;
  int64_t capacity_ = 0;  // bytes
  int32_t recordSize_;
};
