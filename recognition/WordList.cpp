#include "recognition/WordList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr uint8_t kCapitalFlag = 0x80;
constexpr uint8_t kKeepMask = 0x7F;

bool IsAsciiUpper(char c) {
  return c >= 'A' && c <= 'Z';
}
bool IsAsciiLower(char c) {
  return c >= 'a' && c <= 'z';
}

}  // namespace

char* WordArena::Store(std::string_view word) {
  const size_t needed = word.size() + 1;
  if (used_ + needed > kBlockSize) {
    // Every byte is written before it is read: no need to zero the block first.
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(std::max(kBlockSize, needed)));
    used_ = 0;
  }
  char* block = blocks_.back().get() + used_;
  std::memcpy(block, word.data(), word.size());
  block[word.size()] = '\0';
  used_ += needed;
  return block;
}

void WordArena::Release() {
  blocks_.clear();
  used_ = kBlockSize;
}

namespace {

// The file opened for reading when it can serve as the word list, else -1 with *problem
// set. Opened without blocking, so that a FIFO cannot hold up the start of the program.
int OpenPlainWordFile(const std::string& fileName, std::string* problem) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *problem = "Word list " + fileName + " cannot be opened (" + std::strerror(errno) +
               "); recognition goes on without it.";
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *problem = "Word list " + fileName + " is not a plain file; recognition goes on without it.";
  } else if (info.st_size > kMaxWordListBytes) {
    *problem = "Word list " + fileName + " is larger than " +
               std::to_string(kMaxWordListBytes >> 20) +
               " MB, too large for a word list; recognition goes on without it.";
  } else {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
  }
  ::close(fd);
  return -1;
}

// Reads the whole file, at most kMaxWordListBytes (a file may grow while it is read).
bool ReadAll(int fd, std::string* buffer) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) buffer->reserve(size_t(info.st_size));
  char chunk[1 << 16];
  while (int64_t(buffer->size()) <= kMaxWordListBytes) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    buffer->append(chunk, size_t(got));
  }
  return false;
}

}  // namespace

std::string WordListFileProblem(const std::string& fileName) {
  std::string problem;
  const int fd = OpenPlainWordFile(fileName, &problem);
  if (fd >= 0) ::close(fd);
  return problem;
}

WordListDecodeResult OpenWordList(const std::string& fileName, TDynaArray<char*>& list,
                                  WordArena& arena) {
  WordListDecodeResult result;
  const int fd = OpenPlainWordFile(fileName, &result.problem);
  if (fd < 0) return result;
  std::string buffer;
  const bool read = ReadAll(fd, &buffer);
  ::close(fd);
  if (!read) {
    result.complete = false;
    result.problem = "Word list " + fileName + " cannot be read; recognition goes on without it.";
    return result;
  }
  result =
      DecodeWordList(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size(),
                     [&list, &arena](std::string_view word) { *list.Add() = arena.Store(word); });
  if (!result.complete)
    result.problem = "Word list " + fileName + " is damaged at byte " +
                     std::to_string(result.badOffset) + "; the " + std::to_string(result.words) +
                     " words before it are used.";
  return result;
}

std::string EncodeWordList(const std::vector<std::string>& words) {
  std::string out;
  std::string previous;
  for (const std::string& word : words) {
    if (word.empty() || word.size() > size_t(kMaxWordLength)) continue;
    // The first character may be kept from a word that differs only in its ASCII case:
    // the capital flag sets the case again. Other characters must match exactly.
    size_t keep = 0;
    const size_t limit = std::min(previous.size(), word.size());
    while (keep < limit && keep < kKeepMask) {
      const char a = previous[keep], b = word[keep];
      bool same = a == b;
      if (!same && keep == 0) {
        const auto lower = [](char c) { return IsAsciiUpper(c) ? char(c - 'A' + 'a') : c; };
        same = lower(a) == lower(b) && IsAsciiLower(lower(a));
      }
      if (!same) break;
      ++keep;
    }
    const bool capital = IsAsciiUpper(word[0]);
    out.push_back(char(uint8_t(keep) | (capital ? kCapitalFlag : 0)));
    out.push_back(char(uint8_t(word.size() - keep)));
    const size_t start = out.size();
    out.append(word, keep, std::string::npos);
    // A new first character is stored small; the capital flag raises it again.
    if (keep == 0 && capital) out[start] = char(out[start] - 'A' + 'a');
    previous = word;
  }
  return out;
}
