#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "recognition/WordList.h"

namespace {

struct Decoded {
  std::vector<std::string> words;
  WordListDecodeResult result;
};

// The bytes live in a block of exactly their size, so a read past the end is caught by
// the address sanitizer.
Decoded Decode(const std::vector<uint8_t>& bytes) {
  Decoded d;
  uint8_t* block = static_cast<uint8_t*>(std::malloc(bytes.size() + (bytes.empty() ? 1 : 0)));
  std::copy(bytes.begin(), bytes.end(), block);
  d.result =
      DecodeWordList(block, bytes.size(), [&d](std::string_view w) { d.words.emplace_back(w); });
  std::free(block);
  return d;
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

const std::vector<uint8_t> kExample = {0x80, 0x04, 'h', 'a', 'u', 's',                 //
                                       0x84, 0x07, 'a', 'u', 'f', 'g', 'a', 'b', 'e',  //
                                       0x04, 0x02, 'e', 'n'};

TEST(WordList, ExampleGivesHausHausaufgabeHausen) {
  const Decoded d = Decode(kExample);
  EXPECT_EQ(d.words, (std::vector<std::string>{"Haus", "Hausaufgabe", "hausen"}));
  EXPECT_TRUE(d.result.complete);
  EXPECT_EQ(d.result.words, 3);
}

TEST(WordList, EmptyDataGivesNoWords) {
  const Decoded d = Decode({});
  EXPECT_TRUE(d.words.empty());
  EXPECT_TRUE(d.result.complete);
}

TEST(WordList, NoNewCharactersRepeatsTheKeptPartWithItsOwnCase) {
  std::vector<uint8_t> bytes = kExample;
  bytes.insert(bytes.end(), {0x83, 0x00});  // keep "hau", capital
  bytes.insert(bytes.end(), {0x02, 0x00});  // keep "Ha", small
  const Decoded d = Decode(bytes);
  ASSERT_EQ(d.words.size(), 5u);
  EXPECT_EQ(d.words[3], "Hau");
  EXPECT_EQ(d.words[4], "ha");
}

TEST(WordList, UmlautOrDigitFirstKeepsItsStoredForm) {
  // 0xE4 = ä, 0xC4 = Ä in Windows-1252: the capital flag changes only A...Z / a...z.
  const Decoded d = Decode({0x80, 0x03, 0xE4, 'r', 'a',  //
                            0x00, 0x03, 0xC4, 'r', 'a',  //
                            0x80, 0x02, '2', 'd'});
  EXPECT_EQ(d.words, (std::vector<std::string>{"\xE4ra", "\xC4ra", "2d"}));
}

TEST(WordList, MalformedEntryStopsLoadingAndKeepsTheWordsBefore) {
  // Keep count beyond the previous word.
  Decoded d = Decode({0x80, 0x02, 'a', 'b', 0x03, 0x01, 'c', 0x00, 0x01, 'x'});
  EXPECT_EQ(d.words, (std::vector<std::string>{"Ab"}));
  EXPECT_FALSE(d.result.complete);
  EXPECT_EQ(d.result.badOffset, 4u);

  // A keep count beyond the empty word before the first entry.
  d = Decode({0x01, 0x01, 'a'});
  EXPECT_TRUE(d.words.empty());
  EXPECT_FALSE(d.result.complete);

  // A word of 51 characters: 2 kept + 49 new.
  std::vector<uint8_t> bytes = {0x00, 0x02, 'a', 'b', 0x02, 49};
  bytes.insert(bytes.end(), 49, 'x');
  d = Decode(bytes);
  EXPECT_EQ(d.words, (std::vector<std::string>{"ab"}));
  EXPECT_FALSE(d.result.complete);

  // 50 characters fit.
  bytes[5] = 48;
  bytes.pop_back();
  d = Decode(bytes);
  ASSERT_EQ(d.words.size(), 2u);
  EXPECT_EQ(d.words[1].size(), 50u);
  EXPECT_TRUE(d.result.complete);

  // An entry cut off in its characters, and one cut off after its flag byte.
  d = Decode({0x80, 0x02, 'a', 'b', 0x00, 0x05, 'c', 'd'});
  EXPECT_EQ(d.words, (std::vector<std::string>{"Ab"}));
  EXPECT_FALSE(d.result.complete);
  d = Decode({0x80, 0x02, 'a', 'b', 0x00});
  EXPECT_EQ(d.words, (std::vector<std::string>{"Ab"}));
  EXPECT_FALSE(d.result.complete);
  EXPECT_EQ(d.result.badOffset, 4u);
}

TEST(WordList, EncoderRoundTripsAndLeavesOutOverlongWords) {
  const std::string fifty(50, 'q');
  const std::vector<std::string> words = {"Haus", "Hausaufgabe", "hausen", "\xC4rger", "\xE4rgern",
                                          "Zahl", "zahlen",      "Zahl",   fifty,      fifty + "q",
                                          "Zahn", "a",           ""};
  const Decoded d = Decode(Bytes(EncodeWordList(words)));
  std::vector<std::string> expected;
  for (const std::string& w : words)
    if (!w.empty() && w.size() <= 50) expected.push_back(w);
  EXPECT_EQ(d.words, expected);
  EXPECT_TRUE(d.result.complete);
  // Front coding: "Hausaufgabe" keeps the four characters of "Haus".
  EXPECT_EQ(EncodeWordList({"Haus", "Hausaufgabe", "hausen"}),
            std::string(kExample.begin(), kExample.end()));
}

TEST(WordList, OpenWordListAppendsWordsAndIgnoresMissingFile) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("wordlist_test_" + std::to_string(getpid())))
          .string();
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(kExample.data()), std::streamsize(kExample.size()));
  }
  TDynaArray<char*> list;
  list.chunk = 50000;
  WordArena arena;
  OpenWordList(path, list, arena);
  ASSERT_EQ(list.Count, 3);
  EXPECT_STREQ(*list.At(0), "Haus");
  EXPECT_STREQ(*list.At(2), "hausen");

  OpenWordList(path + ".missing", list, arena);
  EXPECT_EQ(list.Count, 3);
  std::filesystem::remove(path);
}

TEST(WordList, ArenaKeepsEveryWordIntactAcrossBlocks) {
  WordArena arena;
  std::vector<std::pair<char*, std::string>> stored;
  // Enough words of up to 50 characters to fill several 1 MiB blocks.
  for (int i = 0; i < 120000; ++i) {
    std::string word(size_t(1 + i % 50), char('a' + i % 26));
    word += std::to_string(i);
    stored.emplace_back(arena.Store(word), word);
  }
  EXPECT_GT(arena.BlockCount(), 3u);
  for (const auto& [address, word] : stored) ASSERT_STREQ(address, word.c_str());
  arena.Release();
  EXPECT_EQ(arena.BlockCount(), 0u);
  EXPECT_STREQ(arena.Store("Haus"), "Haus");
}

}  // namespace
