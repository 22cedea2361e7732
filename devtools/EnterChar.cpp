// "Lernen" dialog logic and the Windows-1252 conversions it needs.
#include "devtools/EnterChar.h"

namespace {

// 0x80 ... 0x9F, where Windows-1252 differs from Latin-1. The five unassigned codes keep
// the C1 control of the same value, as the Windows conversion does.
constexpr uint16_t kHighCodes[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The first code point of UTF-8 text, or nothing when the text does not start with a
// well-formed sequence (overlong forms and surrogates refused).
std::optional<uint32_t> FirstCodePoint(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const auto byte = [&](size_t i) { return uint8_t(text[i]); };
  uint8_t lead = byte(0);
  if (lead < 0x80) return lead;
  int length;
  uint32_t value;
  uint32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() < size_t(length)) return std::nullopt;
  for (int i = 1; i < length; ++i) {
    if ((byte(size_t(i)) & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (byte(size_t(i)) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
    return std::nullopt;
  return value;
}

}  // namespace

std::optional<uint8_t> UnicodeToWindows1252(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return uint8_t(codePoint);
  for (int i = 0; i < 32; ++i)
    if (kHighCodes[i] == codePoint) return uint8_t(0x80 + i);
  return std::nullopt;
}

std::string Windows1252CharToUtf8(uint8_t code) {
  uint32_t c = code >= 0x80 && code <= 0x9F ? kHighCodes[code - 0x80] : code;
  std::string out;
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | c >> 6);
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | c >> 12);
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
  return out;
}

std::optional<uint8_t> CharacterToLearn(bool confirmed, const std::string& utf8Text) {
  if (!confirmed) return std::nullopt;
  std::optional<uint32_t> first = FirstCodePoint(utf8Text);
  if (!first || *first == 0) return std::nullopt;
  return UnicodeToWindows1252(*first);
}
