#include "core/BothCores.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// The threads that ran ParallelFor's items, and how often each item ran.
struct Runs {
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::vector<int> timesRun;

  explicit Runs(size_t count) : timesRun(count, 0) {}
  void Record(size_t i) {
    const std::lock_guard<std::mutex> lock(mutex);
    threads.insert(std::this_thread::get_id());
    ++timesRun[i];
  }
};

}  // namespace

TEST(ParallelFor, RunsEveryItemOnceOnAtMostTheThreadsGiven) {
  for (const unsigned threads : {0u, 1u, 2u, 3u, 5u})
    for (const size_t count : {size_t(0), size_t(1), size_t(2), size_t(7)}) {
      Runs runs(count);
      ParallelFor(count, threads, [&](size_t i) { runs.Record(i); });
      for (size_t i = 0; i < count; ++i)
        EXPECT_EQ(runs.timesRun[i], 1) << threads << " threads, item " << i << " of " << count;
      EXPECT_LE(runs.threads.size(), std::max(threads, 1u));
    }
}

TEST(ParallelFor, OneThreadIsTheCallersAndTwoAreTwo) {
  Runs alone(6);
  ParallelFor(6, 1, [&](size_t i) { alone.Record(i); });
  EXPECT_EQ(alone.threads, std::set<std::thread::id>{std::this_thread::get_id()});
  Runs two(6);
  ParallelFor(6, 2, [&](size_t i) { two.Record(i); });
  EXPECT_EQ(two.threads.size(), 2u);
  EXPECT_TRUE(two.threads.count(std::this_thread::get_id()));
}

TEST(ParallelFor, AnExceptionOnAnyThreadReachesTheCallerAfterTheOthersFinish) {
  for (const size_t failing : {size_t(0), size_t(1)}) {  // the caller's item, the other's
    Runs runs(8);
    try {
      ParallelFor(8, 2, [&](size_t i) {
        if (i == failing) throw std::runtime_error("item " + std::to_string(i));
        runs.Record(i);
      });
      ADD_FAILURE() << "no exception for item " << failing;
    } catch (const std::runtime_error& problem) {
      EXPECT_EQ(problem.what(), "item " + std::to_string(failing));
    }
    // The thread without the fault finished its share.
    for (size_t i = 1 - failing; i < 8; i += 2) EXPECT_EQ(runs.timesRun[i], 1) << i;
  }
}

TEST(PageThreads, WorkersThatFillTheCoresGetOneEachAndASingleRunTwo) {
  EXPECT_EQ(PageThreadsFor(1, 2), kSingleRunThreads);
  EXPECT_EQ(PageThreadsFor(2, 2), 1u);
  EXPECT_EQ(PageThreadsFor(4, 2), 1u);
  EXPECT_EQ(PageThreadsFor(2, 16), kSingleRunThreads);
  EXPECT_EQ(PageThreadsFor(1, 1), 1u);
  EXPECT_EQ(PageThreadsFor(0, 1), 1u);
}

TEST(PageThreads, OnPageThreadsTakesTheProcessCount) {
  SetPageThreads(1);
  Runs runs(6);
  OnPageThreads(6, [&](size_t i) { runs.Record(i); });
  SetPageThreads(kSingleRunThreads);
  EXPECT_EQ(runs.threads, std::set<std::thread::id>{std::this_thread::get_id()});
}
