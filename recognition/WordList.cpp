#include "recognition/WordList.h"

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

WordListDecodeResult DecodeWordList(const uint8_t* data, size_t size,
                                    const std::function<void(std::string_view)>& add) {
  WordListDecodeResult result;
  char word[kMaxWordLength];
  size_t length = 0;  // of the previous word, then of the word being built
  size_t pos = 0;
  while (pos < size) {
    if (size - pos < 2) {
      result.complete = false;
      result.badOffset = pos;
      break;
    }
    const uint8_t flag = data[pos];
    const size_t keep = flag & kKeepMask;
    const size_t fresh = data[pos + 1];
    if (keep > length || keep + fresh > kMaxWordLength || size - pos - 2 < fresh) {
      result.complete = false;
      result.badOffset = pos;
      break;
    }
    std::memcpy(word + keep, data + pos + 2, fresh);
    length = keep + fresh;
    if (length > 0) {
      if (flag & kCapitalFlag) {
        if (IsAsciiLower(word[0])) word[0] = char(word[0] - 'a' + 'A');
      } else if (IsAsciiUpper(word[0])) {
        word[0] = char(word[0] - 'A' + 'a');
      }
    }
    add(std::string_view(word, length));
    ++result.words;
    pos += 2 + fresh;
  }
  return result;
}

WordListDecodeResult OpenWordList(const std::string& fileName, TDynaArray<char*>& list) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return {0, true, 0};
  std::string buffer;
  char chunk[65536];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) buffer.append(chunk, got);
  const bool readError = std::ferror(file) != 0;
  std::fclose(file);
  if (readError) return {0, false, 0};
  return DecodeWordList(reinterpret_cast<const uint8_t*>(buffer.data()), buffer.size(),
                        [&list](std::string_view word) {
                          char* block = static_cast<char*>(std::malloc(word.size() + 1));
                          if (!block) throw std::bad_alloc();
                          std::memcpy(block, word.data(), word.size());
                          block[word.size()] = '\0';
                          *list.Add() = block;
                        });
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
