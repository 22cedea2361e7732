#include "recognition/WordList.h"

#include <sys/stat.h>

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

WordListDecodeResult OpenWordList(const std::string& fileName, TDynaArray<char*>& list,
                                  WordArena& arena) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return {0, true, 0};
  // Read whole: one block of the file's size, filled in large reads.
  std::string buffer;
  struct stat info {};
  if (::fstat(::fileno(file), &info) == 0 && info.st_size > 0) buffer.reserve(size_t(info.st_size));
  char chunk[1 << 16];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) buffer.append(chunk, got);
  const bool readError = std::ferror(file) != 0;
  std::fclose(file);
  if (readError) return {0, false, 0};
  return DecodeWordList(
      reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size(),
      [&list, &arena](std::string_view word) { *list.Add() = arena.Store(word); });
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
