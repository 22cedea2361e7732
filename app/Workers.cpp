#include "app/Workers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Worker {
  size_t job = 0;
  pid_t pid = -1;
  int fd = -1;          // the read end of the job's report pipe
  std::string pending;  // a report line not yet complete
  std::string reason;   // the job's own report of its failure
  int32_t page = 0;     // the page under way, from 0
  Clock::time_point pageStart;
  bool timedOut = false;
};

void WriteAll(int fd, const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the parent is gone; nothing to tell
    done += size_t(n);
  }
}

// Starts job `job` in a child; the child never returns from here.
bool StartWorker(size_t job, const std::function<bool(size_t, int)>& work, Worker* worker) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  // Buffered output would otherwise be written twice, by the parent and by the child.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    close(ends[0]);
    close(ends[1]);
    return false;
  }
  if (pid == 0) {
    // A worker ends with the batch: killed or ended, the batch no longer times its pages.
    // The parent may have gone before the request was made.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    close(ends[0]);
    bool ok = false;
    try {
      ok = work(job, ends[1]);
    } catch (const std::exception& e) {
      ReportFailure(ends[1], std::string("internal error: ") + e.what());
    }
    std::cout.flush();
    _exit(ok ? 0 : 1);  // no destructors: the parent's state is not the child's to release
  }
  close(ends[1]);
  *worker = Worker{};
  worker->job = job;
  worker->pid = pid;
  worker->fd = ends[0];
  worker->pageStart = Clock::now();
  return true;
}

void ReadReports(Worker& w) {
  char buffer[4096];
  ssize_t n;
  while ((n = read(w.fd, buffer, sizeof buffer)) < 0 && errno == EINTR) {
  }
  if (n <= 0) {
    close(w.fd);
    w.fd = -1;
    return;
  }
  w.pending.append(buffer, size_t(n));
  for (size_t end; (end = w.pending.find('\n')) != std::string::npos;) {
    const std::string line = w.pending.substr(0, end);
    w.pending.erase(0, end + 1);
    if (line.rfind("page ", 0) == 0) {
      w.page = std::atoi(line.c_str() + 5);
      w.pageStart = Clock::now();
    } else if (line.rfind("fail ", 0) == 0) {
      w.reason = line.substr(5);
    }
  }
}

JobOutcome Finish(Worker& w, const WorkerLimits& limits) {
  if (w.fd >= 0) close(w.fd);
  int status = 0;
  struct rusage usage {};
  while (wait4(w.pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  JobOutcome outcome;
  outcome.job = w.job;
  outcome.peakKiB = usage.ru_maxrss;
  outcome.ok = !w.timedOut && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  const std::string page = "page " + std::to_string(w.page + 1);
  if (w.timedOut)
    outcome.reason = "given up after " + std::to_string(limits.pageSeconds) + " s on " + page;
  else if (WIFSIGNALED(status))
    outcome.reason = std::string("crashed on ") + page + " (" + strsignal(WTERMSIG(status)) + ")";
  else if (!outcome.ok)
    outcome.reason = w.reason.empty() ? "failed on " + page : w.reason;
  return outcome;
}

}  // namespace

void ReportPageStart(int reportFd, int32_t page) {
  WriteAll(reportFd, "page " + std::to_string(page) + "\n");
}

void ReportFailure(int reportFd, const std::string& reason) {
  std::string line = reason;
  for (char& c : line)
    if (c == '\n') c = ' ';
  WriteAll(reportFd, "fail " + line + "\n");
}

void RunInWorkers(size_t jobCount, const WorkerLimits& limits,
                  const std::function<bool(size_t job, int reportFd)>& work,
                  const std::function<void(const JobOutcome&)>& done) {
  std::vector<Worker> running;
  size_t next = 0;
  const auto pageTime = std::chrono::seconds(limits.pageSeconds);
  while (next < jobCount || !running.empty()) {
    while (next < jobCount && running.size() < size_t(std::max(1, limits.slots))) {
      Worker w;
      if (!StartWorker(next, work, &w)) {
        done({next, false, std::string("no worker process: ") + std::strerror(errno), 0});
      } else {
        running.push_back(std::move(w));
      }
      ++next;
    }
    if (running.empty()) continue;
    // Wait for a report, an end, or the nearest page deadline.
    std::vector<pollfd> fds;
    auto nearest = Clock::time_point::max();
    for (const Worker& w : running) {
      if (w.fd >= 0) fds.push_back({w.fd, POLLIN, 0});
      nearest = std::min(nearest, w.pageStart + pageTime);
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now());
    poll(fds.data(), fds.size(), int(std::clamp<int64_t>(wait.count() + 1, 0, 1000)));
    for (size_t i = 0; i < running.size();) {
      Worker& w = running[i];
      pollfd probe{w.fd, POLLIN, 0};
      if (w.fd >= 0 && poll(&probe, 1, 0) > 0) ReadReports(w);
      if (w.fd >= 0 && Clock::now() >= w.pageStart + pageTime) {
        kill(w.pid, SIGKILL);
        w.timedOut = true;
        close(w.fd);
        w.fd = -1;
      }
      if (w.fd >= 0) {
        ++i;
        continue;
      }
      done(Finish(w, limits));
      running.erase(running.begin() + std::ptrdiff_t(i));
    }
  }
}
