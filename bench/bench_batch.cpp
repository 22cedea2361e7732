// bench_batch: pages per second of a batch of 40 A4 pages with --jobs=2, against the same
// pages read by single runs two at a time (one process per picture, the only way before
// batches), the peak memory of each worker, and whether every batch output is byte for
// byte the single run's.
//
//   bench_batch [CASES_DIR] [--quillon=PATH] [--jobs=N] [--pages=N] [QUILLON OPTIONS...]
//   (CASES_DIR also from $BENCH_CASES; options such as --recogniser=extended go to quillon)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchFiles.h"

namespace fs = std::filesystem;

namespace {

using bench::Quoted;
using bench::ReadFile;

// A4 text pages of the bench, taken in turn.
const char* const kPages[] = {"sans12",     "serif12", "sans12_general", "serif12_general",
                              "sans10bold", "letter",  "mixed",          "twocol"};

// CPU seconds (user and system) of every child process ended so far.
double ChildrenCpu() {
  struct rusage children {};
  getrusage(RUSAGE_CHILDREN, &children);
  return double(children.ru_utime.tv_sec + children.ru_stime.tv_sec) +
         double(children.ru_utime.tv_usec + children.ru_stime.tv_usec) / 1e6;
}

// Runs a shell command; returns its wall time in seconds (negative when it failed) and adds
// its CPU time to *cpu. On a shared machine the CPU time tells what the wall time hides.
double Timed(const std::string& command, double* cpu) {
  const double cpuBefore = ChildrenCpu();
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *cpu = ChildrenCpu() - cpuBefore;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

// The largest "worker peak memory N MiB" that the batch's log reported.
long LargestWorker(const std::string& log) {
  long largest = 0;
  const std::string key = "worker peak memory ";
  for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1))
    largest = std::max(largest, std::atol(log.c_str() + at + key.size()));
  return largest;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path cases = std::getenv("BENCH_CASES") ? std::getenv("BENCH_CASES") : QUILLON_BENCH_CASES;
  std::string program = QUILLON_PROGRAM, options;
  int jobs = 2, pages = 40;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--quillon=", 0) == 0)
      program = arg.substr(10);
    else if (arg.rfind("--jobs=", 0) == 0)
      jobs = std::atoi(arg.c_str() + 7);
    else if (arg.rfind("--pages=", 0) == 0)
      pages = std::atoi(arg.c_str() + 8);
    else if (arg.rfind("--", 0) == 0)
      options += " " + Quoted(arg);
    else
      cases = arg;
  }
  const fs::path work = fs::temp_directory_path() / ("bench_batch_" + std::to_string(getpid()));
  fs::create_directories(work / "pictures");
  std::string names;
  for (int i = 0; i < pages; ++i) {
    const std::string page = kPages[size_t(i) % std::size(kPages)];
    const fs::path source = cases / (page + ".png");
    if (!fs::exists(source)) {
      std::cerr << "bench_batch: no " << source << std::endl;
      return 1;
    }
    const std::string name = "p" + std::to_string(100 + i) + "_" + page + ".png";
    fs::create_symlink(source, work / "pictures" / name);
    names += " " + Quoted((work / "pictures" / name).string());
  }
  const std::string quillon = Quoted(program) + options;

  // Before: one process per picture, two at a time.
  fs::create_directories(work / "single");
  double singleCpu = 0, batchCpu = 1e9;
  const double single = Timed("cd " + Quoted((work / "pictures").string()) + " && ls | xargs -P" +
                                  std::to_string(jobs) + " -I{} sh -c " +
                                  Quoted(quillon + " \"$1\" ../single/\"${1%.png}.txt\"") + " _ {}",
                              &singleCpu);
  // After: one batch, best of three.
  double batch = 1e9;
  for (int run = 0; run < 3; ++run) {
    fs::remove_all(work / "batch");
    double cpu = 0;
    const double t = Timed(quillon + " --jobs=" + std::to_string(jobs) +
                               " --log --output-dir=" + Quoted((work / "batch").string()) + names +
                               " 2>" + Quoted((work / "log").string()),
                           &cpu);
    batchCpu = std::min(batchCpu, cpu);
    if (t < 0) {
      std::cerr << "bench_batch: the batch failed; see " << work / "log" << std::endl;
      return 1;
    }
    batch = std::min(batch, t);
  }
  int identical = 0;
  for (const auto& entry : fs::directory_iterator(work / "single"))
    identical += ReadFile(entry.path()) == ReadFile(work / "batch" / entry.path().filename());
  struct rusage children {};
  getrusage(RUSAGE_CHILDREN, &children);

  std::printf("pages: %d A4, --jobs=%d%s\n", pages, jobs, options.c_str());
  // The CPU time tells what a machine shared with other work hides: the pages per second
  // when each job has a core of its own.
  std::printf(
      "single runs, %d at a time: %6.2f s wall %6.2f pages/s; CPU %5.3f s/page: %6.2f pages/s\n",
      jobs, single, pages / single, singleCpu / pages, jobs * pages / singleCpu);
  std::printf(
      "batch (best of 3):        %6.2f s wall %6.2f pages/s; CPU %5.3f s/page: %6.2f pages/s\n",
      batch, pages / batch, batchCpu / pages, jobs * pages / batchCpu);
  std::printf("peak memory: largest worker %ld MiB, largest process %ld MiB\n",
              LargestWorker(ReadFile(work / "log")), long(children.ru_maxrss / 1024));
  std::printf("batch outputs identical to single runs: %d of %d\n", identical, pages);
  fs::remove_all(work);
  return identical == pages ? 0 : 1;
}
