// Work shared out between threads (the extended recogniser reads lines and renders template
// faces this way; core/RowBands.h passes over a page's rows so). How many threads a page's
// work takes is the process's choice: a single run uses two, a batch whose workers fill
// every core gives each worker one.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

// A single run's page work: two threads. Its passes are bound by memory and its line lists
// are short, so further threads gained little on the machines measured.
constexpr unsigned kSingleRunThreads = 2;

// The threads each page's work takes in this process (see SetPageThreads).
inline std::atomic<unsigned> pageThreads{kSingleRunThreads};

// How many threads each page's work should take when `workers` pages are read at once on
// `cores` cores: the cores shared out, at least one, at most a single run's count.
inline unsigned PageThreadsFor(unsigned workers, unsigned cores) {
  const unsigned share = workers > 0 ? cores / workers : cores;
  return std::clamp(share, 1u, kSingleRunThreads);
}

// Sets the threads of every later page's work in this process (before its workers start).
inline void SetPageThreads(unsigned threads) {
  pageThreads = std::max(threads, 1u);
}

// Runs work(i) for i in [0, count) on `threads` threads, the caller's among them, each thread
// taking the next item when done with its last (a page's lines differ in cost many times
// over). When work throws, that thread takes no more items, the others finish the rest, and
// the first exception caught is thrown again to the caller.
template <typename Work>
void ParallelFor(size_t count, unsigned threads, const Work& work) {
  threads = unsigned(std::min<size_t>(std::max(threads, 1u), count));
  if (threads <= 1) {
    for (size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::vector<std::exception_ptr> failures(threads);
  std::atomic<size_t> next{0};
  const auto share = [&](unsigned thread) {
    try {
      for (size_t i = next++; i < count; i = next++) work(i);
    } catch (...) {
      failures[thread] = std::current_exception();
    }
  };
  std::vector<std::thread> others;
  for (unsigned thread = 1; thread < threads; ++thread) others.emplace_back(share, thread);
  share(0);
  for (std::thread& other : others) other.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

// Runs work(i) for i in [0, count) on the threads of a page's work.
template <typename Work>
void OnPageThreads(size_t count, const Work& work) {
  ParallelFor(count, std::thread::hardware_concurrency() < 2 ? 1u : pageThreads.load(), work);
}
