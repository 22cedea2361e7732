// The word list "german.spe": a front-coded list of Windows-1252 words. Each entry is a
// flag byte (bit 7: the first character is a capital; bits 0-6: how many characters of
// the previous word it keeps), a count byte n, and n new characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DynaArray.h"

constexpr int kMaxWordLength = 50;  // the decoder's word buffer

struct WordListDecodeResult {
  int32_t words = 0;     // words delivered
  bool complete = true;  // false: decoding stopped at a malformed entry
  size_t badOffset = 0;  // offset of that entry when not complete
};

// Decodes the entries of `data` in order and hands each word to `add`. A malformed entry
// (keep count beyond the previous word, word longer than 50 characters, entry cut off by
// the end of the data) ends the decoding there: the words before it are kept, nothing
// after it is trusted, and no byte outside `data` or the word buffer is touched.
WordListDecodeResult DecodeWordList(const uint8_t* data, size_t size,
                                    const std::function<void(std::string_view)>& add);

// Decodes the file and appends its words (malloc'd, NUL-terminated) to `list`. A missing
// or unreadable file leaves the list unchanged; a malformed file gives the words before
// the first malformed entry.
WordListDecodeResult OpenWordList(const std::string& fileName, TDynaArray<char*>& list);

// Front-codes Windows-1252 words in the given order. Words longer than 50 characters
// have no place in the format and are left out; so are empty words.
std::string EncodeWordList(const std::vector<std::string>& words);
