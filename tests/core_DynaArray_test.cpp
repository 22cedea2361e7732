#include <gtest/gtest.h>

#include <cstdint>

#include "core/DynaArray.h"

namespace {

struct Rec {
  int32_t a;
  int32_t b;
};

// Fills an array with n records whose field a is 0 ... n - 1.
void Fill(TDynaArray<Rec>& array, int n) {
  for (int i = 0; i < n; ++i) array.Add()->a = i;
}

TEST(DynaArray, CreateIsEmptyWithDefaultChunk) {
  Rec* cur = reinterpret_cast<Rec*>(0x1);
  TDynaArray<Rec> array(&cur);
  EXPECT_EQ(array.Count, 0);
  EXPECT_EQ(array.cursor, -1);
  EXPECT_EQ(array.chunk, 100);
  EXPECT_EQ(array.Capacity(), 0);
  EXPECT_EQ(cur, reinterpret_cast<Rec*>(0x1)) << "creation does not write the bound variable";
  EXPECT_FALSE(array.Next());
}

TEST(DynaArray, GrowsInWholeChunksKeepingRecords) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  array.Add()->a = 0;
  EXPECT_EQ(array.Capacity(), 100 * int64_t(sizeof(Rec)));
  Fill(array, 0);
  for (int i = 1; i < 100; ++i) array.Add()->a = i;
  EXPECT_EQ(array.Capacity(), 100 * int64_t(sizeof(Rec)));
  array.Add()->a = 100;
  EXPECT_EQ(array.Capacity(), 200 * int64_t(sizeof(Rec)));
  for (int i = 0; i <= 100; ++i) EXPECT_EQ(array.At(i)->a, i);
}

TEST(DynaArray, LargeChunkAllocatesOnce) {
  TDynaArray<Rec> array;
  array.chunk = 10000;
  array.Add();
  EXPECT_EQ(array.Capacity(), 10000 * int64_t(sizeof(Rec)));
}

TEST(DynaArray, AddZeroFillsAndMakesCurrent) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  Rec* r = array.Add();
  r->a = 7;
  r->b = 9;
  array.Delete(0);
  Rec* again = array.Add();
  EXPECT_EQ(again->a, 0);
  EXPECT_EQ(again->b, 0);
  EXPECT_EQ(cur, again);
  EXPECT_EQ(array.cursor, 0);
  // A Next right after Add visits the new record.
  EXPECT_TRUE(array.Next());
  EXPECT_EQ(cur, again);
  EXPECT_FALSE(array.Next());
}

TEST(DynaArray, DeleteNextToLastKeepsLast) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  Fill(array, 5);
  array.Delete(3);
  ASSERT_EQ(array.Count, 4);
  EXPECT_EQ(array.At(3)->a, 4);
  EXPECT_EQ(cur, nullptr);
  EXPECT_EQ(array.cursor, -1);
  array.Delete(3);  // the last record: nothing moves
  ASSERT_EQ(array.Count, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(array.At(i)->a, i);
}

TEST(DynaArray, DeleteOutsideChangesNothing) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  Fill(array, 3);
  array.Select(1);
  array.Delete(-1);
  array.Delete(3);
  EXPECT_EQ(array.Count, 3);
  EXPECT_EQ(array.cursor, 1);
  EXPECT_EQ(cur, array.At(1));
}

TEST(DynaArray, ShrinksByChunksAndFreesWhenEmpty) {
  TDynaArray<Rec> array;
  array.chunk = 10;
  Fill(array, 11);
  EXPECT_EQ(array.Capacity(), 20 * int64_t(sizeof(Rec)));
  array.Delete(0);
  EXPECT_EQ(array.Capacity(), 10 * int64_t(sizeof(Rec)));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(array.At(i)->a, i + 1);
  while (array.Count > 0) array.Delete(0);
  EXPECT_EQ(array.Capacity(), 0);
  array.Add()->a = 42;  // allocates afresh
  EXPECT_EQ(array.At(0)->a, 42);
}

TEST(DynaArray, IterationVisitsEveryRecordOnce) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  Fill(array, 4);
  std::vector<int> seen;
  array.First();
  while (array.Next()) seen.push_back(cur->a);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
  // Select then Next visits the selected record again.
  array.Select(2);
  ASSERT_TRUE(array.Next());
  EXPECT_EQ(cur->a, 2);
}

TEST(DynaArray, NextAfterClearAnswersFalseUntilFirst) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  Fill(array, 2);
  array.Clear();
  EXPECT_EQ(cur, nullptr);
  EXPECT_EQ(array.Capacity(), 0);
  Fill(array, 2);
  array.Delete(0);
  EXPECT_FALSE(array.Next());
  array.First();
  EXPECT_TRUE(array.Next());
}

TEST(DynaArray, SwapExchangesAndSelectsSecond) {
  Rec* cur = nullptr;
  TDynaArray<Rec> array(&cur);
  Fill(array, 3);
  array.Swap(0, 2);
  EXPECT_EQ(array.At(0)->a, 2);
  EXPECT_EQ(array.At(2)->a, 0);
  EXPECT_EQ(array.cursor, 2);
  EXPECT_EQ(cur, array.At(2));
  array.Swap(1, 1);
  EXPECT_EQ(array.At(1)->a, 1);
  EXPECT_EQ(cur, array.At(1));
  array.Swap(0, 3);  // outside: nothing
  EXPECT_EQ(array.At(0)->a, 2);
  EXPECT_EQ(array.cursor, 1);
}

TEST(DynaArray, ByteLevelRecordSize) {
  std::byte* cur = nullptr;
  TDynaArray<std::byte> array(&cur, 12);
  array.Add();
  array.Add();
  EXPECT_EQ(array.Capacity(), 1200);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(array.At(1)) - reinterpret_cast<uint8_t*>(array.At(0)), 12);
}

}  // namespace
