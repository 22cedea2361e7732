#include "core/RegularFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int OpenRegularFile(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = "\"" + path + "\" cannot be opened: " + std::strerror(errno) + ".";
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    *error = S_ISDIR(info.st_mode) ? "\"" + path + "\" is a folder, not a file."
                                   : "\"" + path + "\" is not a regular file.";
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string* content,
                     std::string* error) {
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && uint64_t(info.st_size) <= maxBytes;
  if (!ok) *error = "\"" + path + "\" is too large (" + std::to_string(info.st_size) + " bytes).";
  content->clear();
  if (ok) content->reserve(size_t(info.st_size));
  char chunk[1 << 16];
  while (ok) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ok = false;
      *error = "\"" + path + "\" cannot be read: " + std::strerror(errno) + ".";
    }
    if (got <= 0) break;
    content->append(chunk, size_t(got));
    // A file may grow while it is read.
    if (content->size() > maxBytes) {
      ok = false;
      *error = "\"" + path + "\" is too large.";
    }
  }
  ::close(fd);
  return ok;
}
