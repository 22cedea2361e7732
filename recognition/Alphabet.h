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
// Entries up to this one start a classification with their own position as charIndex;
// the later ones (the last umlauts and 'j') start without a character.
inline constexpr int kIndexedCandidates = 67;

// Characters the rules make, in Windows-1252.
inline constexpr uint8_t kSharpS = 0xDF;  // ß
inline constexpr uint8_t kSmallAUmlaut = 0xE4, kSmallOUmlaut = 0xF6, kSmallUUmlaut = 0xFC;
inline constexpr uint8_t kCapitalAUmlaut = 0xC4, kCapitalOUmlaut = 0xD6, kCapitalUUmlaut = 0xDC;

// The characters rendered for the developer recognisers: '0' ... 'z'.
inline constexpr uint8_t kFirstGlyphChar = '0', kLastGlyphChar = 'z';

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
