// The logic of the "Lernen" dialog (TEntercharForm: "Character:", Edit1, OK, Cancel): which
// character an answer asks to learn, and the conversions between the dialog's UTF-8 text
// and the program's Windows-1252 characters.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The character to learn: the first character of the text when the dialog closed with OK
// and the text is not empty. Nothing for Cancel, an empty field, a NUL, text that is not
// UTF-8, or a first character that Windows-1252 cannot hold.
std::optional<uint8_t> CharacterToLearn(bool confirmed, const std::string& utf8Text);

// The Windows-1252 code of a Unicode code point, or nothing.
std::optional<uint8_t> UnicodeToWindows1252(uint32_t codePoint);

// One Windows-1252 character as UTF-8.
std::string Windows1252CharToUtf8(uint8_t code);
