// The extended recogniser's alphabet: every character of German print it reads, as
// Windows-1252 codes. Characters made of several marks (i, ä, „, %, :) are whole here.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::string_view kExtendedAlphabet =
    "abcdefghijklmnopqrstuvwxyz"
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "0123456789"
    "\xE4\xF6\xFC\xC4\xD6\xDC\xDF"               // ä ö ü Ä Ö Ü ß
    ".,:;?!'\"\x84\x93\x94\x82\x91\x92\xBB\xAB"  // sentence marks and quotes
    "-\x96\x97()/%\xA7&\x80+=*#@[]_|"            // dashes and symbols
    "\xE9\xE8\xEA\xEB\xE0\xE2\xE1\xE7\xF1\xF3\xF2\xF4\xED\xEC\xEE\xEF\xFA\xF9\xFB"
    "\xC9\xC8\xCA\xC0\xC2\xC1\xC7\xD1\xD3\xD4\xCD\xDA";  // accented letters of loan words
