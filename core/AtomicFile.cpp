#include "core/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/OverwriteGuard.h"

namespace {

std::string Failure(const std::string& path, const std::string& what) {
  return "Could not write \"" + path + "\": " + what + ".";
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes all of content to fd; false with errno set on failure.
bool WriteAll(int fd, std::string_view content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

}  // namespace

// While it lives, a write beyond the file size limit fails with EFBIG instead of ending
// the program by SIGXFSZ, so that the temporary file can still be removed.
class FileSizeSignalIgnored {
 public:
  FileSizeSignalIgnored() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    saved_ = ::sigaction(SIGXFSZ, &ignore, &old_) == 0;
  }
  ~FileSizeSignalIgnored() {
    if (saved_) ::sigaction(SIGXFSZ, &old_, nullptr);
  }
  FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
  FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

 private:
  struct sigaction old_ {};
  bool saved_ = false;
};

namespace {

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Flushes the folder, so that a rename in it survives a crash. Not every file system
// can; that costs durability, not data, so it is no failure.
void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Opens the temporary file beside the target. `existing` is the target's status when it
// exists, else null.
bool OpenTemporary(const std::string& path, const struct stat* existing, std::string* temp, int* fd,
                   std::string* error) {
  const std::string folder = FolderOf(path);
  *temp = folder + "/.quillon-XXXXXX";
  *fd = ::mkostemp(temp->data(), O_CLOEXEC);
  if (*fd < 0) {
    *error = "Cannot write into the folder \"" + folder + "\": " + std::strerror(errno) + ".";
    return false;
  }
  if (::fchmod(*fd, existing ? existing->st_mode & 07777 : NewFileMode()) != 0) {
    *error = Failure(path, std::strerror(errno));
    ::close(*fd);
    ::unlink(temp->c_str());
    *fd = -1;
    return false;
  }
  // Keeps the owner of a replaced file where the system allows it (as root); else the
  // new file is the writer's, as with any editor that saves by rename.
  if (existing && ::fchown(*fd, existing->st_uid, existing->st_gid) != 0) errno = 0;
  return true;
}

bool IsReadOnly(const std::string& path, const struct stat& status) {
  // Root may write anything; a file without any write permission is still meant to stay.
  return (status.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

std::string ResolveWriteTarget(const std::string& path) {
  std::string current = path;
  // As many links as the system itself follows before it gives up (ELOOP).
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status {};
    if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0) return current;
    const std::string link(buffer, size_t(n));
    current = link[0] == '/' ? link : FolderOf(current) + "/" + link;
  }
  return current;
}

AtomicFileWrite::AtomicFileWrite() : sizeSignal_(std::make_unique<FileSizeSignalIgnored>()) {}

AtomicFileWrite::~AtomicFileWrite() {
  if (fd_ >= 0 && fd_ != STDOUT_FILENO) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

bool AtomicFileWrite::Begin(const std::string& path, std::string* error, Guard guard) {
  path_ = path;
  if (path.empty()) {
    *error = "No file name was given.";
    return false;
  }
  target_ = ResolveWriteTarget(path);
  if (::stat(target_.c_str(), &existing_) != 0) {
    if (errno != ENOENT) {
      *error = Failure(path, std::strerror(errno));
      return false;
    }
    return OpenTemporary(target_, nullptr, &temp_, &fd_, error);
  }
  replacing_ = true;
  if (S_ISDIR(existing_.st_mode)) {
    *error = Failure(path, "it is a folder");
    return false;
  }
  if (!S_ISREG(existing_.st_mode)) {  // a FIFO, a terminal, a device: written into
    fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) *error = Failure(path, std::strerror(errno));
    return fd_ >= 0;
  }
  const std::string refusal = guard == Guard::MayReplacePicture ? "" : OverwriteRefusal(target_);
  if (!refusal.empty()) {
    *error = target_ == path ? refusal : "\"" + path + "\" is a link: " + refusal;
    return false;
  }
  if (IsReadOnly(target_, existing_)) {
    *error = Failure(path, "the file is read-only");
    return false;
  }
  return OpenTemporary(target_, &existing_, &temp_, &fd_, error);
}

void AtomicFileWrite::BeginStandardOutput() {
  path_ = "standard output";
  fd_ = STDOUT_FILENO;
}

bool AtomicFileWrite::Write(std::string_view content, std::string* error) {
  if (WriteAll(fd_, content)) return true;
  *error = Failure(path_, std::strerror(errno));
  return false;
}

bool AtomicFileWrite::Commit(std::string* error) {
  if (fd_ == STDOUT_FILENO) {
    fd_ = -1;
    return true;
  }
  // Only a file that replaces another must be on the disk before the rename: it is the
  // old content that a crash would otherwise lose. A new file costs no data if a crash
  // empties it (a batch resuming with --skip-existing reads an empty output again), and
  // its flush would cost a one-page run a fifth of its time.
  bool ok = temp_.empty() || !replacing_ || ::fsync(fd_) == 0;
  int code = ok ? 0 : errno;
  if (::close(fd_) != 0 && ok) ok = false, code = errno;
  fd_ = -1;
  if (ok && !temp_.empty() && ::rename(temp_.c_str(), target_.c_str()) != 0)
    ok = false, code = errno;
  if (!ok) {
    *error = Failure(path_, std::strerror(code));
    return false;
  }
  if (!temp_.empty() && replacing_) SyncFolder(FolderOf(target_));  // see above
  temp_.clear();
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error) {
  AtomicFileWrite file;
  return file.Begin(path, error) && file.Write(content, error) && file.Commit(error);
}

bool WritePictureFileAtomically(const std::string& path, std::string_view content,
                                std::string* error) {
  AtomicFileWrite file;
  return file.Begin(path, error, AtomicFileWrite::Guard::MayReplacePicture) &&
         file.Write(content, error) && file.Commit(error);
}
