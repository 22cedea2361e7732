// Learned-grid store: file format, crash-safe saving, setting damaged files aside, and the
// nearest-example recogniser.
#include "devtools/LearnedGrids.h"

#include "core/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

constexpr const char* kHeader = "Quillon learned grids 1";
// Far beyond any store learned by hand (about 200 000 examples); a bigger file is not ours.
constexpr std::uintmax_t kMaxFileSize = 64u << 20;

std::string ErrnoText(int error) {
  return std::strerror(error);
}

}  // namespace

bool ParseLearnedGrids(const std::string& content, std::vector<LearnedGrid>* examples,
                       std::string* reason) {
  std::istringstream in(content);
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    *reason = "it does not begin with \"" + std::string(kHeader) + "\"";
    return false;
  }
  if (content.back() != '\n') {
    *reason = "its last line is cut off";
    return false;
  }
  int lineNumber = 1;
  while (std::getline(in, line)) {
    ++lineNumber;
    size_t blank = line.find(' ');
    bool good = blank != std::string::npos && blank >= 1 && blank <= 3 &&
                line.size() == blank + 1 + kGridCells;
    int code = 0;
    for (size_t i = 0; good && i < blank; ++i) {
      good = line[i] >= '0' && line[i] <= '9';
      code = code * 10 + (line[i] - '0');
    }
    good = good && code >= 1 && code <= 255;
    LearnedGrid example{uint8_t(code), {}};
    for (int cell = 0; good && cell < kGridCells; ++cell) {
      char c = line[blank + 1 + size_t(cell)];
      good = c == '#' || c == '.';
      example.grid.cells[cell] = c == '#' ? 0 : 255;
    }
    if (!good) {
      *reason = "line " + std::to_string(lineNumber) + " is not a learned grid";
      return false;
    }
    examples->push_back(example);
  }
  return true;
}

std::string FormatLearnedGrids(const std::vector<LearnedGrid>& examples) {
  std::string out = std::string(kHeader) + "\n";
  out.reserve(out.size() + examples.size() * (5 + kGridCells));
  for (const LearnedGrid& example : examples) {
    out += std::to_string(int(example.charCode));
    out += ' ';
    for (int32_t cell : example.grid.cells) out += cell == 0 ? '#' : '.';
    out += '\n';
  }
  return out;
}

namespace {

// Holds an exclusive lock on the store's lock file, so that two programs learning at the
// same time do not lose each other's examples. Without a lock file the store still works.
class StoreLock {
 public:
  explicit StoreLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

double OverlapRatio(const GlyphGrid& a, const GlyphGrid& b) {
  int both = 0, either = 0;
  for (int i = 0; i < kGridCells; ++i) {
    bool inkA = a.cells[i] == 0, inkB = b.cells[i] == 0;
    if (inkA || inkB) ++either;
    if (inkA && inkB) ++both;
  }
  return either > 0 ? double(both) / double(either) : 0.0;
}

LearnedGrids::LearnedGrids(std::string directory) : directory_(std::move(directory)) {}

std::string LearnedGrids::DefaultDirectory() {
  const char* data = std::getenv("XDG_DATA_HOME");
  // XDG base directories ignore relative paths.
  if (data && data[0] == '/') return std::string(data) + "/quillon";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.local/share/quillon";
  return "";
}

std::string LearnedGrids::FilePath() const {
  return directory_.empty() ? "" : directory_ + "/" + kFileName;
}

LearnedGrids::LoadResult LearnedGrids::Load() {
  examples_.clear();
  problem_.clear();
  replaceable_ = true;
  if (directory_.empty()) return LoadResult::NoFile;
  const std::string path = FilePath();
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return LoadResult::NoFile;

  std::string reason;
  if (!fs::is_regular_file(status)) {
    problem_ = "The file of learned characters " + path + " is not a regular file.";
    replaceable_ = false;
    return LoadResult::Unreadable;
  }
  std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > kMaxFileSize) {
    reason = "it is larger than any store of learned grids";
  } else {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      problem_ =
          "The file of learned characters " + path + " cannot be read: " + ErrnoText(errno) + ".";
      replaceable_ = false;
      return LoadResult::Unreadable;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
      problem_ = "The file of learned characters " + path + " cannot be read.";
      replaceable_ = false;
      return LoadResult::Unreadable;
    }
    std::vector<LearnedGrid> parsed;
    if (!content.empty() && ParseLearnedGrids(content, &parsed, &reason)) {
      examples_ = std::move(parsed);
      return LoadResult::Loaded;
    }
    if (content.empty()) reason = "it is empty";
  }

  // Damaged: keep it for inspection under a free name, and start afresh.
  std::string aside;
  for (int n = 0; n < 1000; ++n) {
    std::string candidate = path + ".damaged" + (n == 0 ? "" : "." + std::to_string(n));
    if (!fs::exists(fs::symlink_status(candidate, ec))) {
      aside = candidate;
      break;
    }
  }
  if (!aside.empty() && ::rename(path.c_str(), aside.c_str()) == 0) {
    problem_ = "The file of learned characters " + path + " is damaged (" + reason +
               "). It was renamed to " + aside + ", and learning starts afresh.";
    return LoadResult::SetAside;
  }
  std::string why = aside.empty() ? "no free name" : ErrnoText(errno);
  problem_ = "The file of learned characters " + path + " is damaged (" + reason +
             ") and could not be renamed (" + why + "). Nothing is learned until it is moved away.";
  replaceable_ = false;
  return LoadResult::Unreadable;
}

bool LearnedGrids::Add(uint8_t charCode, const GlyphGrid& grid, std::string* error) {
  if (directory_.empty()) {
    *error =
        "There is no data directory to keep learned characters in (set HOME or XDG_DATA_HOME).";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(directory_, ec);
  if (ec) {
    *error = "The directory " + directory_ + " cannot be created: " + ec.message() + ".";
    return false;
  }
  StoreLock lock(FilePath() + ".lock");
  Load();
  if (!replaceable_) {
    *error = problem_;
    return false;
  }
  LearnedGrid example{charCode, {}};
  for (int i = 0; i < kGridCells; ++i) example.grid.cells[i] = grid.cells[i] == 0 ? 0 : 255;
  examples_.push_back(example);
  if (!Save(error)) {
    examples_.pop_back();
    return false;
  }
  return true;
}

bool LearnedGrids::Save(std::string* error) const {
  const std::string path = FilePath();
  std::string reason;
  if (WriteFileAtomically(path, FormatLearnedGrids(examples_), &reason)) return true;
  *error = "The learned characters could not be saved to " + path + " (" + reason +
           "); the file keeps what was learned before.";
  return false;
}

uint8_t LearnedGrids::Nearest(const GlyphGrid& grid, double* ratio) const {
  double best = 0;
  uint8_t answer = uint8_t(kNothingLearned);
  for (const LearnedGrid& example : examples_) {
    double r = OverlapRatio(grid, example.grid);
    if (r > best) {
      best = r;
      answer = example.charCode;
    }
  }
  if (ratio) *ratio = best;
  return answer;
}
