#include "app/Batch.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

#include "app/CommandLine.h"
#include "app/HeadlessWindow.h"
#include "app/PictureRun.h"
#include "app/Workers.h"
#include "core/BothCores.h"
#include "core/LibraryMessages.h"
#include "core/OverwriteGuard.h"

namespace fs = std::filesystem;

namespace {

// An output that a resumed batch may leave alone. An empty one is read again: outputs are
// not flushed to the disk before their rename, so a crash of the machine may leave one
// empty (a blank page's text costs little to read twice).
bool IsFinishedOutput(const std::string& output) {
  std::error_code noFile;
  const auto size = fs::file_size(output, noFile);
  return !noFile && size > 0;
}

struct BatchPicture {
  std::string name;    // as given
  std::string file;    // where it is read from (standard input waits in a temporary file)
  std::string output;  // DIR/NAME.EXT
};

std::string ListName(const std::string& listFile) {
  return listFile == "-" ? "on standard input" : listFile;
}

// Picture names, one a line; blank lines are left out and a line end of CR LF is taken
// whole, so that a list written on Windows works too.
bool ReadList(const std::string& listFile, std::vector<std::string>* names, std::string* error) {
  std::ifstream file;
  if (listFile != "-") {
    std::error_code noFile;
    if (fs::is_directory(listFile, noFile)) {
      *error = "the list " + listFile + " is a folder; --list names a file of picture names";
      return false;
    }
    file.open(listFile);
    if (!file) {
      *error = "cannot read the list " + listFile;
      return false;
    }
  }
  std::istream& in = listFile == "-" ? std::cin : file;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) names->push_back(line);
  }
  return true;
}

// A line that updates in place on a terminal; nothing at all otherwise. Reports of
// failures are whole lines either way.
class Progress {
 public:
  Progress(std::ostream& err, bool terminal, size_t total)
      : err_(err), terminal_(terminal), total_(total) {}
  void Done(const std::string& name) {
    ++done_;
    if (!terminal_) return;
    std::string line = "[" + std::to_string(done_) + "/" + std::to_string(total_) + "] " + name;
    if (line.size() > 78) line = line.substr(0, 75) + "...";
    err_ << "\r\033[K" << line << std::flush;
  }
  void Report(const std::string& line) {
    if (terminal_) err_ << "\r\033[K";
    err_ << line << std::endl;
  }
  void Fail(const std::string& name, const std::string& reason) {
    ++failures_;
    Report("quillon: " + name + ": " + reason);
  }
  size_t Failures() const { return failures_; }
  void End() {
    if (terminal_ && done_ > 0) err_ << std::endl;
  }

 private:
  std::ostream& err_;
  bool terminal_;
  size_t total_;
  size_t done_ = 0;
  size_t failures_ = 0;
};

unsigned CoreCount() {
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? unsigned(cores) : 1;
}

int32_t Slots(const CommandLine& commandLine) {
  return commandLine.jobs > 0 ? commandLine.jobs : int32_t(CoreCount());
}

// The pictures named on the command line and in the list; false (with the reason) when
// the command line cannot work.
bool CollectNames(const CommandLine& commandLine, std::vector<std::string>* names,
                  std::string* error) {
  *names = commandLine.args;
  size_t readers = commandLine.listFile == "-" ? 1 : 0;
  for (const std::string& name : *names) readers += name == "-" ? 1 : 0;
  if (readers > 1) {
    *error = "standard input (\"-\") can be read only once: by the list or by one picture";
    return false;
  }
  if (commandLine.outputDir.empty()) {
    *error = "a batch needs --output-dir=DIR";
    return false;
  }
  if (!commandLine.sidecar.empty()) {
    *error = "--sidecar names one file, for a single picture; a batch writes --format=text instead";
    return false;
  }
  if (!commandLine.listFile.empty() && !ReadList(commandLine.listFile, names, error)) return false;
  if (names->empty())
    *error = commandLine.listFile.empty()
                 ? "no pictures given (see --help)"
                 : "the list " + ListName(commandLine.listFile) + " names no pictures";
  return !names->empty();
}

bool MakeOutputFolder(const std::string& folder, std::ostream& err) {
  std::error_code made;
  fs::create_directories(folder, made);
  if (!made && fs::is_directory(folder)) return true;
  err << "quillon: cannot make the output folder " << folder << std::endl;
  return false;
}

// The pictures of `names` to read, each with its output; those that cannot be read or
// need not be (--skip-existing) are reported to `progress` and left out. Standard input
// waits in `stdinPicture`.
std::vector<BatchPicture> PlanPictures(const CommandLine& commandLine,
                                       const std::vector<std::string>& names, Progress& progress,
                                       StreamedPicture& stdinPicture) {
  std::vector<BatchPicture> pictures;
  std::set<std::string> outputs;
  for (const std::string& name : names) ProtectFromOverwrite(name);
  for (const std::string& name : names) {
    BatchPicture picture{
        name, name,
        BatchOutputName(commandLine.outputDir, name, FormatExtension(commandLine.format))};
    if (!outputs.insert(picture.output).second) {
      progress.Fail(name, "its output " + picture.output + " is that of an earlier picture");
      continue;
    }
    // Checked again when the output is written; here it spares reading the picture.
    const std::string refusal = OverwriteRefusal(picture.output);
    if (!refusal.empty()) {
      progress.Fail(name, refusal);
      continue;
    }
    if (commandLine.skipExisting && IsFinishedOutput(picture.output)) {
      progress.Done(name);
      continue;
    }
    if (name == "-") {
      std::string error;
      if (!stdinPicture.Take(name, &error)) {
        progress.Fail(name, error);
        continue;
      }
      picture.file = stdinPicture.FileName();
    }
    pictures.push_back(picture);
  }
  return pictures;
}

// Reads one picture of the batch in a worker and writes its output; a failure goes to
// the batch through `reportFd`.
bool ReadBatchPicture(const BatchPicture& picture, const CommandLine& commandLine, TMainForm& form,
                      HeadlessWindow& window, int reportFd) {
  std::string reason;
  // A FIFO is read by its worker, under the page's time limit.
  StreamedPicture stream;
  const bool streamed = picture.name != "-" && IsStreamedPicture(picture.file);
  if (streamed && !stream.Take(picture.file, &reason)) {
    ReportFailure(reportFd, reason);
    return false;
  }
  const std::string file = streamed ? stream.FileName() : picture.file;
  RunOutputs outputs(commandLine.format, picture.output, picture.name, file, "");
  const bool ok = RecognisePicture(
                      form, window, file, Choices(commandLine),
                      [reportFd](int32_t page, int32_t) { ReportPageStart(reportFd, page); },
                      &outputs, &reason) &&
                  outputs.Finish(&reason);
  window.FlushLog();
  if (!ok) ReportFailure(reportFd, reason);
  return ok;
}

}  // namespace

bool IsBatch(const CommandLine& commandLine) {
  return !commandLine.outputDir.empty() || !commandLine.listFile.empty();
}

std::string BatchOutputName(const std::string& outputDir, const std::string& picture,
                            const std::string& extension) {
  const std::string stem = picture == "-" ? "stdin" : fs::path(picture).stem().string();
  return (fs::path(outputDir) / (stem + extension)).string();
}

int RunBatch(const CommandLine& commandLine, std::ostream& err) {
  const LibraryMessagesShown libraryMessages(commandLine.log ? &err : nullptr);
  std::vector<std::string> names;
  std::string error;
  if (!CollectNames(commandLine, &names, &error)) {
    err << "quillon: " << error << std::endl;
    return kExitBadCommandLine;
  }
  if (!MakeOutputFolder(commandLine.outputDir, err)) return kExitSomeFailed;
  Progress progress(err, isatty(STDERR_FILENO) && &err == &std::cerr, names.size());
  StreamedPicture stdinPicture;
  const std::vector<BatchPicture> pictures =
      PlanPictures(commandLine, names, progress, stdinPicture);
  if (pictures.empty()) {  // all done before: nothing to set up
    progress.End();
    return progress.Failures() ? kExitSomeFailed : kExitAllRead;
  }

  // Fonts, templates and the word list are set up once; each worker inherits them.
  HeadlessWindow window;
  if (commandLine.log) window.logSink = &err;
  window.messageSink = &err;
  TMainForm form(window, commandLine.programFile, {});
  form.settings = commandLine.settings;
  form.pageUnseen = true;
  form.FormCreate();
  form.PrepareRecogniser(TMainForm::Preparation::BeforeWorkers);
  window.FlushLog();
  window.messageSink = nullptr;  // a worker's message boxes become its failure report

  const WorkerLimits limits{Slots(commandLine), commandLine.pageTimeout};
  // Workers that fill the cores read each page on one thread: more would only take turns.
  SetPageThreads(PageThreadsFor(unsigned(limits.slots), CoreCount()));
  RunInWorkers(
      pictures.size(), limits,
      [&](size_t job, int reportFd) {
        return ReadBatchPicture(pictures[job], commandLine, form, window, reportFd);
      },
      [&](const JobOutcome& outcome) {
        const BatchPicture& picture = pictures[outcome.job];
        if (!outcome.ok) progress.Fail(picture.name, outcome.reason);
        progress.Done(picture.name);
        if (commandLine.log)
          progress.Report("quillon: " + picture.name + ": worker peak memory " +
                          std::to_string(outcome.peakKiB / 1024) + " MiB");
      });
  progress.End();
  return progress.Failures() ? kExitSomeFailed : kExitAllRead;
}
