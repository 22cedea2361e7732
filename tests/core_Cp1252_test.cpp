#include <gtest/gtest.h>

#include <string>

#include "core/Cp1252.h"

namespace {

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, char(b));
    std::string back;
    ASSERT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(one), &back)) << b;
    EXPECT_EQ(back, one) << b;
  }
  EXPECT_EQ(Cp1252ToUtf8("\xE4\xDF\x80\x96"), "\xC3\xA4\xC3\x9F\xE2\x82\xAC\xE2\x80\x93");
}

TEST(Cp1252, UnrepresentableOrBrokenUtf8IsRefused) {
  std::string out;
  EXPECT_FALSE(Utf8ToCp1252("\xE6\xBC\xA2", &out));  // 漢
  EXPECT_FALSE(Utf8ToCp1252("ab\xC3", &out));        // cut off
  EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF", &out));      // overlong '/'
  EXPECT_FALSE(Utf8ToCp1252("\xED\xA0\x80", &out));  // surrogate
  EXPECT_FALSE(Utf8ToCp1252("\xEF\xBF\xBD", &out));  // U+FFFD itself has no byte
  EXPECT_TRUE(
      Utf8ToCp1252("Stra\xC3\x9F"
                   "e",
                   &out));
  EXPECT_EQ(out,
            "Stra\xDF"
            "e");
}

TEST(Cp1252, DecoderAlwaysMakesProgress) {
  const std::string text = "\xF0\x9F\x98\x80x\xFF\x80";
  size_t pos = 0;
  std::u32string decoded;
  while (pos < text.size()) decoded.push_back(Utf8Next(text, &pos));
  EXPECT_EQ(decoded, (std::u32string{0x1F600, 'x', 0xFFFD, 0xFFFD}));
}

}  // namespace

// The letter classes: the cases pair up, and the letters beyond ASCII are the ones the
// code page's Unicode names as letters.
TEST(Cp1252, LettersPairTheirCases) {
  for (int code = 0; code < 256; ++code) {
    const uint8_t c = uint8_t(code);
    EXPECT_EQ(IsLetter1252(c), IsSmall1252(c) || IsCapital1252(c)) << code;
    EXPECT_FALSE(IsSmall1252(c) && IsCapital1252(c)) << code;
    if (IsCapital1252(c)) {
      EXPECT_TRUE(IsSmall1252(ToSmall1252(c))) << code;
      EXPECT_EQ(ToCapital1252(ToSmall1252(c)), c) << code;
    } else {
      EXPECT_EQ(ToSmall1252(c), c) << code;
    }
    if (!IsLetter1252(c)) {
      EXPECT_EQ(ToCapital1252(c), c) << code;
    }
  }
  EXPECT_EQ(ToCapital1252('a'), 'A');
  EXPECT_EQ(ToCapital1252(0xE4), 0xC4);  // ä Ä
  EXPECT_EQ(ToCapital1252(0x9C), 0x8C);  // œ Œ
  EXPECT_EQ(ToCapital1252(0xFF), 0x9F);  // ÿ Ÿ
  EXPECT_EQ(ToCapital1252(0xDF), 0xDF);  // ß has no capital of its own
  EXPECT_TRUE(IsSmall1252(0xDF));
  for (const uint8_t sign : {0xD7, 0xF7, 0x80, 0xAA, 0xB5, 0xBA})  // × ÷ € ª µ º
    EXPECT_FALSE(IsLetter1252(sign)) << int(sign);
  EXPECT_TRUE(SameInLatin1(0x7F) && SameInLatin1(0xA0));
  EXPECT_FALSE(SameInLatin1(0x80) || SameInLatin1(0x9F));
}

// A letter's base letter: plain ASCII of the same case, alike for both cases of a letter.
TEST(Cp1252, AccentedLettersHaveTheirBaseLetter) {
  for (int code = 0; code < 256; ++code) {
    const uint8_t c = uint8_t(code);
    const uint8_t base = BaseLetter1252(c);
    if (base == 0) {
      if (IsLetter1252(c)) {
        EXPECT_EQ(BaseLetter1252(ToCapital1252(c)), 0) << code;
        EXPECT_EQ(BaseLetter1252(ToSmall1252(c)), 0) << code;
      }
      continue;
    }
    EXPECT_TRUE(c >= 0x80 && IsLetter1252(c)) << code;
    EXPECT_TRUE(base < 0x80 && IsLetter1252(base)) << code;
    EXPECT_EQ(IsCapital1252(base), IsCapital1252(c)) << code;
    EXPECT_EQ(BaseLetter1252(ToCapital1252(c)), ToCapital1252(base)) << code;
  }
  EXPECT_EQ(BaseLetter1252(0xE9), 'e');                                 // é
  EXPECT_EQ(BaseLetter1252(0xC4), 'A');                                 // Ä
  EXPECT_EQ(BaseLetter1252(0xE7), 'c');                                 // ç
  EXPECT_EQ(BaseLetter1252(0xF1), 'n');                                 // ñ
  EXPECT_EQ(BaseLetter1252(0x9A), 's');                                 // š
  EXPECT_EQ(BaseLetter1252(0x9F), 'Y');                                 // Ÿ
  EXPECT_EQ(BaseLetter1252(0xC5), 'A');                                 // Å
  for (const int own : {0xDF, 0xE6, 0xF8, 0x9C, 0xF0, 0xFE, int('e')})  // ß æ ø œ ð þ e
    EXPECT_EQ(BaseLetter1252(uint8_t(own)), 0) << own;
}
