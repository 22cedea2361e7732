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
