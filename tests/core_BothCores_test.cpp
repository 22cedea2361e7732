#include "core/BothCores.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
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
  // The first two items wait for each other (or give up after a while): both threads run.
  Runs two(6);
  std::mutex mutex;
  std::condition_variable arrived;
  size_t waiting = 0;
  ParallelFor(6, 2, [&](size_t i) {
    if (i < 2) {
      std::unique_lock<std::mutex> lock(mutex);
      ++waiting;
      arrived.notify_all();
      arrived.wait_for(lock, std::chrono::seconds(10), [&] { return waiting == 2; });
    }
    two.Record(i);
  });
  EXPECT_EQ(two.threads.size(), 2u);
  EXPECT_TRUE(two.threads.count(std::this_thread::get_id()));
}

TEST(ParallelFor, AnExceptionOnAnyThreadReachesTheCallerAfterTheOthersFinish) {
  for (const size_t failing : {size_t(0), size_t(5)}) {  // the first item, a later one
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
    // The other items ran, each once (the thread without the fault took the rest).
    for (size_t i = 0; i < 8; ++i) EXPECT_EQ(runs.timesRun[i], i == failing ? 0 : 1) << i;
  }
}

// Items of very different cost: the threads share them as they come free, so a thread held
// up by a long item leaves all the others to the other thread. (Item 0 waits for the rest; the
// wait gives up after a while, which fails the test, where they are not shared so.)
TEST(ParallelFor, AThreadHeldUpLeavesTheRestToTheOther) {
  std::mutex mutex;
  std::condition_variable done;
  size_t others = 0;
  bool allOthers = false;
  ParallelFor(8, 2, [&](size_t i) {
    std::unique_lock<std::mutex> lock(mutex);
    if (i == 0) {
      allOthers = done.wait_for(lock, std::chrono::seconds(10), [&] { return others == 7; });
      return;
    }
    ++others;
    done.notify_all();
  });
  EXPECT_TRUE(allOthers);
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
