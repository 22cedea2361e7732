// Worker processes for a batch: each job runs in a child process forked from the caller,
// so that the child inherits what the caller has set up (fonts, glyph templates, the word
// list) without copying it, and a crash or a hang in one job ends only that child.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What a job says to the parent while it runs, one line each on `reportFd`.
void ReportPageStart(int reportFd, int32_t page);             // restarts the page's clock
void ReportFailure(int reportFd, const std::string& reason);  // why the job failed

struct JobOutcome {
  size_t job = 0;
  bool ok = false;
  std::string reason;   // why it failed: the job's own report, a timeout or a crash
  int64_t peakKiB = 0;  // the worker's peak resident memory
};

struct WorkerLimits {
  int32_t slots = 1;         // jobs running at once
  int32_t pageSeconds = 60;  // a page that takes longer is given up
};

// Runs jobs 0 ... jobCount - 1, at most limits.slots at once, each in a child process that
// calls work(job, reportFd) and ends with its answer (true: done). A child past its page
// time is killed. done() hears of every job as it ends, in the order they end.
void RunInWorkers(size_t jobCount, const WorkerLimits& limits,
                  const std::function<bool(size_t job, int reportFd)>& work,
                  const std::function<void(const JobOutcome&)>& done);
