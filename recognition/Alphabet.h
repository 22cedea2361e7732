// The recognition alphabet: the 70 characters the classifier knows (Windows-1252), in
// the order that is also the candidate index (1-based), and the two class strings that
// say where each character sits on a text line.
#pragma once

#include <cstdint>

#include "recognition/GlyphTypes.h"

// Positions 1 ... 62 are matched against templates; 'i' (63), the umlauts (64 ... 69) and
// 'j' (70) only ever come from the dot rules.
inline constexpr char kAlphabet[] =
    "abcdefghklmnopqrstuvwxyzABDEFGHIJLMNQRT23456789\xDF"
    "CKOPSUVWXYZ(),i\xE4\xF6\xFC\xC4\xD6\xDC"
    "j";
inline constexpr int kMatchedCount = 62;

// n: within the x-height; h: tall; b: either (only 'l').
inline constexpr char kHeightClass[] =
    "nhnhnhnhhbnnnnnnnhnnnnnnhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhhnnnnnhhhn";
// u: descends below the base line; n: does not.
inline constexpr char kDescenderClass[] =
    "nnnnnnunnnnnnuunnnnnnnunnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnuuunnnnnnnu";

static_assert(sizeof(kAlphabet) == kAlphabetSize + 1);
static_assert(sizeof(kHeightClass) == kAlphabetSize + 1);
static_assert(sizeof(kDescenderClass) == kAlphabetSize + 1);

// The character at alphabet position k (1 ... 70) as an unsigned code.
constexpr uint8_t AlphabetChar(int k) {
  return static_cast<uint8_t>(kAlphabet[k - 1]);
}

// The position (1 ... 70) of a character, 0 when it is not in the alphabet.
constexpr int AlphabetIndex(uint8_t ch) {
  for (int k = 1; k <= kAlphabetSize; ++k)
    if (AlphabetChar(k) == ch) return k;
  return 0;
}
