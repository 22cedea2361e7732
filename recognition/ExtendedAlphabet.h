// The extended recogniser's alphabet: every character of German print it reads, as
// Windows-1252 codes. Characters made of several marks (i, ä, „, %, :) are whole here.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::string_view kExtendedAlphabet =
    "abcdefghijklmnopqrstuvwxyz"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "0123456789"
    "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"                   // ä ö ü Ä Ö Ü ß
    ".,:;?!\xB7'\"\x84\x93\x94\x82\x91\x92\xBB\xAB"  // sentence marks and quotes
    "-\x96\x97()/%\xA7&\x80+=*#@[]_|"                // dashes and symbols
    "\xE9\xE8\xEA\xEB\xE0\xE2\xE1\xE7\xF1\xF3\xF2\xF4\xED\xEC\xEE\xEF\xFA\xF9\xFB"
    "\xC9\xC8\xCA\xC0\xC2\xC1\xC7\xD1\xD3\xD4\xCD\xDA";  // accented letters of loan words

// Characters that look like a commoner one and are rare in German text: at equal distance
// the commoner reading wins (",", "i", "l", "-" and "e" over these; a sans "I" is an "l").
inline constexpr std::string_view kRareLookAlikes =
    "\x82\x91\xB7|[]_!\x97I"  // ‚ ‘ · | [ ] _ ! — I
    "\xE9\xE8\xEA\xEB\xE0\xE2\xE1\xE7\xF1\xF3\xF2\xF4\xED\xEC\xEE\xEF\xFA\xF9\xFB"  // é ... û
    "\xC9\xC8\xCA\xC0\xC2\xC1\xC7\xD1\xD3\xD4\xCD\xDA\xAB\xBB";  // É ... Ú « »
