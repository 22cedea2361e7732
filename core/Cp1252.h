// Windows-1252 <-> UTF-8. Inside the program characters are single Windows-1252 bytes; text
// that crosses the window interface or goes to files and standard output is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode code point of a Windows-1252 byte. The five codes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same number.
char32_t Cp1252ToCodePoint(uint8_t byte);

// The letters of Windows-1252: ASCII's, Latin-1's À ... ÿ (but × and ÷), and Š Œ Ž š œ ž Ÿ
// among the codes where Windows-1252 differs from Latin-1. ß and ÿ are small letters; ß
// has no capital of its own, ÿ's is Ÿ.
bool IsLetter1252(uint8_t c);
bool IsCapital1252(uint8_t c);
bool IsSmall1252(uint8_t c);
// A figure 0 ... 9.
bool IsDigit1252(uint8_t c);
// The other case of a letter; any other byte stays as it is.
uint8_t ToSmall1252(uint8_t c);
uint8_t ToCapital1252(uint8_t c);
// The letter under an accent, a caron, a cedilla, a tilde, a ring or two dots ("é" -> "e",
// "Ä" -> "A"); 0 for a letter without one (ß, æ, ø and their kin too) and for other bytes.
uint8_t BaseLetter1252(uint8_t c);
// Whether the byte means in Windows-1252 what it means in Latin-1 (all but 0x80 ... 0x9F).
bool SameInLatin1(uint8_t c);

// The Windows-1252 byte of a code point; false when Windows-1252 has no such character.
bool CodePointToCp1252(char32_t codePoint, uint8_t* byte);

std::string Cp1252ToUtf8(std::string_view text);

// Converts UTF-8 to Windows-1252. Returns false (and leaves *out unspecified) when the text
// is not valid UTF-8 or holds a character that Windows-1252 cannot represent.
bool Utf8ToCp1252(std::string_view text, std::string* out);

// Decodes one UTF-8 sequence at text[*pos] and advances *pos. Invalid or truncated
// sequences yield U+FFFD and advance one byte, so every input makes progress.
char32_t Utf8Next(std::string_view text, size_t* pos);

void AppendUtf8(char32_t codePoint, std::string* out);
