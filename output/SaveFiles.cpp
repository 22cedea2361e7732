#include "output/SaveFiles.h"

#include <cstdio>
#include <filesystem>

#include "core/AtomicFile.h"
#include "core/Cp1252.h"

bool WriteFileReplacing(const std::string& path, std::string_view content, std::string* error) {
  return WriteFileAtomically(path, content, error);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return text;
}

std::string LinesToRtf(const std::vector<std::string>& lines) {
  std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1"
      "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\n"
      "\\f0\\fs20\n";
  for (const std::string& line : lines) {
    size_t pos = 0;
    while (pos < line.size()) {
      const char32_t c = Utf8Next(line, &pos);
      uint8_t byte = 0;
      if (c == '\\' || c == '{' || c == '}') {
        rtf += '\\';
        rtf += char(c);
      } else if (c == '\t') {
        rtf += "\\tab ";
      } else if (c >= 0x20 && c < 0x80) {
        rtf += char(c);
      } else if (c < 0x20 || c == 0x7F) {
        // Other control characters have no place in a paragraph.
      } else if (CodePointToCp1252(c, &byte) && !(byte >= 0x80 && byte <= 0x9F && byte == c)) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\'%02x", byte);
        rtf += hex;
      } else if (c <= 0xFFFF) {
        // \uN takes a signed 16-bit number; '?' stands in for readers without Unicode.
        rtf += "\\u" + std::to_string(int16_t(uint16_t(c))) + "?";
      } else {
        // Beyond the basic plane: a surrogate pair, each half as \uN.
        const char32_t v = c - 0x10000;
        rtf += "\\u" + std::to_string(int16_t(uint16_t(0xD800 + (v >> 10)))) + "?";
        rtf += "\\u" + std::to_string(int16_t(uint16_t(0xDC00 + (v & 0x3FF)))) + "?";
      }
    }
    rtf += "\\par\n";
  }
  rtf += "}\n";
  return rtf;
}

std::string WithDefaultExtension(const std::string& name, const std::string& extension) {
  if (std::filesystem::path(name).extension().empty()) return name + extension;
  return name;
}
