#include "core/Cp1252.h"

#include <array>

namespace {

// Code points of 0x80 ... 0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

enum class LetterCase : uint8_t { None, Small, Capital };

struct LetterClass {
  LetterCase letterCase = LetterCase::None;
  uint8_t otherCase = 0;  // the letter of the other case (ß: itself)
};

constexpr std::array<LetterClass, 256> MakeLetterClasses() {
  std::array<LetterClass, 256> classes{};
  const auto pair = [&](int capital, int small) {
    classes[capital] = {LetterCase::Capital, uint8_t(small)};
    classes[small] = {LetterCase::Small, uint8_t(capital)};
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 0x20);
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) pair(c, c + 0x20);         // × and ÷ are no letters
  pair(0x8A, 0x9A);                           // Š š
  pair(0x8C, 0x9C);                           // Œ œ
  pair(0x8E, 0x9E);                           // Ž ž
  pair(0x9F, 0xFF);                           // Ÿ ÿ
  classes[0xDF] = {LetterCase::Small, 0xDF};  // ß
  return classes;
}

constexpr std::array<LetterClass, 256> kLetterClasses = MakeLetterClasses();

}  // namespace

bool IsLetter1252(uint8_t c) {
  return kLetterClasses[c].letterCase != LetterCase::None;
}

bool IsCapital1252(uint8_t c) {
  return kLetterClasses[c].letterCase == LetterCase::Capital;
}

bool IsSmall1252(uint8_t c) {
  return kLetterClasses[c].letterCase == LetterCase::Small;
}

uint8_t ToSmall1252(uint8_t c) {
  return IsCapital1252(c) ? kLetterClasses[c].otherCase : c;
}

uint8_t ToCapital1252(uint8_t c) {
  return IsSmall1252(c) ? kLetterClasses[c].otherCase : c;
}

bool IsDigit1252(uint8_t c) {
  return c >= '0' && c <= '9';
}

uint8_t BaseLetter1252(uint8_t c) {
  struct Run {
    uint8_t first, count;
    char letter;
  };
  static constexpr Run kRuns[] = {{0x8A, 1, 'S'}, {0x8E, 1, 'Z'}, {0x9A, 1, 's'}, {0x9E, 1, 'z'},
                                  {0x9F, 1, 'Y'}, {0xC0, 6, 'A'}, {0xC7, 1, 'C'}, {0xC8, 4, 'E'},
                                  {0xCC, 4, 'I'}, {0xD1, 1, 'N'}, {0xD2, 5, 'O'}, {0xD9, 4, 'U'},
                                  {0xDD, 1, 'Y'}, {0xE0, 6, 'a'}, {0xE7, 1, 'c'}, {0xE8, 4, 'e'},
                                  {0xEC, 4, 'i'}, {0xF1, 1, 'n'}, {0xF2, 5, 'o'}, {0xF9, 4, 'u'},
                                  {0xFD, 1, 'y'}, {0xFF, 1, 'y'}};
  for (const Run& run : kRuns)
    if (c >= run.first && c < run.first + run.count) return uint8_t(run.letter);
  return 0;
}

bool SameInLatin1(uint8_t c) {
  return c < 0x80 || c >= 0xA0;
}

char32_t Cp1252ToCodePoint(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

bool CodePointToCp1252(char32_t codePoint, uint8_t* byte) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    *byte = uint8_t(codePoint);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == codePoint) {
      *byte = uint8_t(0x80 + i);
      return true;
    }
  }
  return false;
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(char(c));
  } else if (c < 0x800) {
    out->push_back(char(0xC0 | (c >> 6)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(char(0xE0 | (c >> 12)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (c >> 18)));
    out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(char(0x80 | (c & 0x3F)));
  }
}

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char ch : text) AppendUtf8(Cp1252ToCodePoint(uint8_t(ch)), &out);
  return out;
}

char32_t Utf8Next(std::string_view text, size_t* pos) {
  const size_t p = *pos;
  const uint8_t lead = uint8_t(text[p]);
  int length = 0;
  char32_t c = 0;
  if (lead < 0x80) {
    *pos = p + 1;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
  } else {
    *pos = p + 1;
    return 0xFFFD;
  }
  if (p + size_t(length) > text.size()) {
    *pos = p + 1;
    return 0xFFFD;
  }
  for (int i = 1; i < length; ++i) {
    const uint8_t next = uint8_t(text[p + size_t(i)]);
    if ((next & 0xC0) != 0x80) {
      *pos = p + 1;
      return 0xFFFD;
    }
    c = (c << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not characters.
  static constexpr char32_t kMinimum[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kMinimum[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
    *pos = p + 1;
    return 0xFFFD;
  }
  *pos = p + size_t(length);
  return c;
}

bool Utf8ToCp1252(std::string_view text, std::string* out) {
  out->clear();
  out->reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    const char32_t c = Utf8Next(text, &pos);
    // A genuine U+FFFD takes three bytes; a one-byte advance means a broken sequence.
    if (c == 0xFFFD && pos - start != 3) return false;
    uint8_t byte = 0;
    if (!CodePointToCp1252(c, &byte)) return false;
    out->push_back(char(byte));
  }
  return true;
}
