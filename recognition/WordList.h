// The word list "german.spe": a front-coded list of Windows-1252 words. Each entry is a
// flag byte (bit 7: the first character is a capital; bits 0-6: how many characters of
// the previous word it keeps), a count byte n, and n new characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/DynaArray.h"

constexpr int kMaxWordLength = 50;  // the decoder's word buffer

struct WordListDecodeResult {
  int32_t words = 0;     // words delivered
  bool complete = true;  // false: decoding stopped at a malformed entry
  size_t badOffset = 0;  // offset of that entry when not complete
  std::string problem;   // OpenWordList: a sentence for the log when not all went well
};

// Far beyond any real word list (the German one is about 5 MB); a larger file is not one.
constexpr int64_t kMaxWordListBytes = int64_t(64) << 20;

// Why `fileName` cannot serve as the word list: missing, not a plain file (a FIFO or a
// device would block or never end), or larger than kMaxWordListBytes. Empty when it can be
// read. Cheap: it looks at the file without reading it.
std::string WordListFileProblem(const std::string& fileName);

// Decodes the entries of `data` in order and hands each word to `add`. A malformed entry
// (keep count beyond the previous word, word longer than 50 characters, entry cut off by
// the end of the data) ends the decoding there: the words before it are kept, nothing
// after it is trusted, and no byte outside `data` or the word buffer is touched.
// `add` is called as add(std::string_view word).
template <class Add>
WordListDecodeResult DecodeWordList(const uint8_t* data, size_t size, Add&& add);

// Storage of the words of a word list: NUL-terminated copies packed into large blocks, so
// that a list of several hundred thousand words costs a handful of allocations instead of
// one each, and is released at once. The words live as long as the arena.
class WordArena {
 public:
  WordArena() = default;
  WordArena(const WordArena&) = delete;
  WordArena& operator=(const WordArena&) = delete;
  // Returns a NUL-terminated copy of `word`. Throws std::bad_alloc without memory.
  char* Store(std::string_view word);
  void Release();  // frees every word stored so far
  size_t BlockCount() const { return blocks_.size(); }

 private:
  static constexpr size_t kBlockSize = size_t(1) << 20;
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t used_ = kBlockSize;  // bytes used in the last block; full when there is none
};

// Decodes the file and appends its words, stored in `arena`, to `list`. A missing,
// unreadable or oversized file, or one that is not a plain file, leaves the list unchanged;
// a malformed file gives the words before the first malformed entry. Either way `problem`
// of the result says what happened.
WordListDecodeResult OpenWordList(const std::string& fileName, TDynaArray<char*>& list,
                                  WordArena& arena);

// Front-codes Windows-1252 words in the given order. Words longer than 50 characters
// have no place in the format and are left out; so are empty words.
std::string EncodeWordList(const std::vector<std::string>& words);

// ---- implementation of the template ----

template <class Add>
WordListDecodeResult DecodeWordList(const uint8_t* data, size_t size, Add&& add) {
  constexpr uint8_t kCapitalFlag = 0x80;
  constexpr uint8_t kKeepMask = 0x7F;
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
    if (keep > length || keep + fresh > size_t(kMaxWordLength) || size - pos - 2 < fresh) {
      result.complete = false;
      result.badOffset = pos;
      break;
    }
    for (size_t i = 0; i < fresh; ++i) word[keep + i] = char(data[pos + 2 + i]);
    length = keep + fresh;
    if (length > 0) {
      if (flag & kCapitalFlag) {
        if (word[0] >= 'a' && word[0] <= 'z') word[0] = char(word[0] - 'a' + 'A');
      } else if (word[0] >= 'A' && word[0] <= 'Z') {
        word[0] = char(word[0] - 'A' + 'a');
      }
    }
    add(std::string_view(word, length));
    ++result.words;
    pos += 2 + fresh;
  }
  return result;
}
