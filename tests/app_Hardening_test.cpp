// The command line as a careless or hostile user meets it: the user's files survive, odd
// inputs get a clear word, and the word list cannot hold up or break the start.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/CommandLine.h"
#include "app/DepthUp.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "recognition/WordList.h"
#include "tests/TestHelpers.h"

namespace {

namespace fs = std::filesystem;

bool Parse(std::vector<const char*> argv, CommandLine* cl, std::string* error) {
  argv.insert(argv.begin(), "/opt/q/quillon");
  return ParseCommandLine(int(argv.size()), argv.data(), cl, error);
}

class Hardening : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override {
    std::string tmpl = ::testing::TempDir() + "quillon_hard_XXXXXX";
    dir = mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir); }

  int Run(std::vector<std::string> args, std::string* said, CommandLine cl = {}) {
    cl.programFile = (dir / "quillon").string();
    cl.args = std::move(args);
    std::ostringstream err;
    const int status = RunAutomatic(cl, err);
    *said = err.str();
    return status;
  }
  fs::path Sample(const std::string& name) {
    fs::copy_file(fs::path(QUILLON_SAMPLES) / "sample.png", dir / name);
    return dir / name;
  }
};

TEST_F(Hardening, OutputThatIsThePictureItselfIsRefusedWhateverItsSpelling) {
  const fs::path picture = Sample("x.png");
  const std::string before = ReadFile(picture);
  std::string said;
  const std::string other = (dir / "." / ".." / dir.filename() / "x.png").string();
  EXPECT_EQ(Run({picture.string(), other}, &said), 1);
  EXPECT_NE(said.find("is the picture itself"), std::string::npos) << said;
  EXPECT_EQ(ReadFile(picture), before);
  // A hard link is the same file too.
  fs::create_hard_link(picture, dir / "alias.txt");
  EXPECT_EQ(Run({picture.string(), (dir / "alias.txt").string()}, &said), 1);
  EXPECT_EQ(ReadFile(picture), before);
}

TEST_F(Hardening, AnotherPictureAsOutputIsRefusedWithAWordAboutSeveralPictures) {
  const fs::path a = Sample("a.png"), b = Sample("b.png");
  const std::string before = ReadFile(b);
  std::string said;
  EXPECT_EQ(Run({a.string(), b.string(), (dir / "c.txt").string()}, &said), 1);
  EXPECT_NE(said.find("--output-dir"), std::string::npos) << said;
  EXPECT_EQ(ReadFile(b), before);
  EXPECT_FALSE(fs::exists(dir / "c.txt"));
}

// Formats with weak signatures: PCX needs its whole 128-byte header, TGA has no signature
// at its start and its footer is optional ("quillon *.pcx" with three scans).
TEST_F(Hardening, PcxAndTgaScansNamedAsOutputAreNotReplaced) {
  RasterImage page{};
  OpenDib(&page, (std::string(QUILLON_SAMPLES) + "/sample.png").c_str(), 0, nullptr);
  ASSERT_NE(page.pixels, nullptr);
  ASSERT_TRUE(SaveDib(page, (dir / "a.pcx").c_str(), 10, nullptr));
  ASSERT_TRUE(SaveDib(page, (dir / "b.pcx").c_str(), 10, nullptr));
  ASSERT_TRUE(SaveDib(page, (dir / "c.tga").c_str(), 12, nullptr));
  deldib(&page);
  std::string tga = ReadFile(dir / "c.tga");
  tga.resize(tga.size() - 26);  // without the footer
  std::ofstream(dir / "c.tga", std::ios::binary) << tga;
  for (const char* output : {"b.pcx", "c.tga"}) {
    const std::string before = ReadFile(dir / output);
    std::string said;
    EXPECT_EQ(Run({(dir / "a.pcx").string(), (dir / output).string()}, &said), 1) << output;
    EXPECT_NE(said.find("--output-dir"), std::string::npos) << said;
    EXPECT_EQ(ReadFile(dir / output), before) << output;
  }
}

TEST_F(Hardening, ATextFileAsOutputIsReplacedAsBefore) {
  const fs::path a = Sample("a.png");
  std::ofstream(dir / "out.txt") << "BM old text\n";
  std::string said;
  EXPECT_EQ(Run({a.string(), (dir / "out.txt").string()}, &said), 0) << said;
  EXPECT_NE(ReadFile(dir / "out.txt"), "BM old text\n");
  EXPECT_EQ(said, "");
}

TEST_F(Hardening, BlankPageWritesAnEmptyOutputWithANote) {
  RasterImage white{};
  newdib(&white, 200, 100, 24, nullptr, 0);
  std::memset(white.pixels, 0xFF, size_t(white.stride) * 100);
  ASSERT_TRUE(SaveDib(white, (dir / "blank.bmp").c_str(), 3, nullptr));
  deldib(&white);
  std::string said;
  EXPECT_EQ(Run({(dir / "blank.bmp").string(), (dir / "out.txt").string()}, &said), 0);
  EXPECT_TRUE(fs::exists(dir / "out.txt"));
  EXPECT_EQ(ReadFile(dir / "out.txt").find_first_not_of("\n"), std::string::npos);
  EXPECT_NE(said.find("no text was found"), std::string::npos) << said;
}

TEST_F(Hardening, PictureAboveThePixelLimitEndsWithStatusOne) {
  RasterImage page{};
  newdib(&page, 1500, 1000, 1, nullptr, 0);  // 1.5 megapixels
  const fs::path a = dir / "a.bmp";
  ASSERT_TRUE(SaveDib(page, a.c_str(), 3, nullptr));
  deldib(&page);
  CommandLine cl;
  std::string error, said;
  ASSERT_TRUE(Parse({"--max-megapixels=1"}, &cl, &error)) << error;
  EXPECT_EQ(cl.settings.maxMegapixels, 1);
  EXPECT_EQ(Run({a.string(), (dir / "out.txt").string()}, &said, cl), 1);
  EXPECT_NE(said.find("too large"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(dir / "out.txt"));
  EXPECT_FALSE(Parse({"--max-megapixels=269"}, &cl, &error));
}

TEST(CommandLineHardening, DashHAsksForHelpAndDoubleDashEndsTheOptions) {
  CommandLine cl;
  std::string error;
  ASSERT_TRUE(Parse({"-h"}, &cl, &error)) << error;
  EXPECT_TRUE(cl.help);
  CommandLine after;
  ASSERT_TRUE(Parse({"--log", "--", "--odd name.png", "-h", "out.txt"}, &after, &error)) << error;
  EXPECT_TRUE(after.log);
  EXPECT_FALSE(after.help);
  EXPECT_EQ(after.args, (std::vector<std::string>{"--odd name.png", "-h", "out.txt"}));
}

TEST(CommandLineHardening, NumbersWithBlanksOrPlusSignsAreRefusedByEveryNumberOption) {
  for (const char* bad : {"--separation= 5", "--separation=+5", "--separation=5 ",
                          "--column-width= 5", "--column-width=+5", "--max-megapixels=+5"}) {
    CommandLine cl;
    std::string error;
    EXPECT_FALSE(Parse({bad}, &cl, &error)) << bad;
  }
}

// ---- the word list ----

class WordListAtStart : public Hardening {
 protected:
  HeadlessWindow window;
  std::vector<std::string> Start(TMainForm& form) {
    form.FormCreate();
    return window.log;
  }
  bool Logged(const std::string& part) {
    for (const std::string& line : window.log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
  // Starts with the list `dir` holds and then asks for it: nothing is loaded and `message`
  // is logged, already by the start when `atStart`.
  void ExpectRefused(const std::string& message, bool atStart) {
    TMainForm form(window, (dir / "quillon").string(), {});
    form.FormCreate();
    if (atStart) {
      EXPECT_TRUE(Logged(message));
    }
    form.EnsureWordList();
    EXPECT_TRUE(Logged(message));
    EXPECT_EQ(form.wordList.Count, 0);
  }
};

TEST_F(WordListAtStart, IsNotReadUntilAStepConsultsIt) {
  std::ofstream(dir / "german.spe", std::ios::binary) << EncodeWordList({"Apfel", "Birne"});
  TMainForm form(window, (dir / "quillon").string(), {});
  form.FormCreate();
  EXPECT_EQ(form.wordList.Count, 0);
  form.LoadWordsBtnClick();
  EXPECT_EQ(form.wordList.Count, 2);
  form.EnsureWordList();  // once only
  EXPECT_EQ(form.wordList.Count, 2);
  EXPECT_FALSE(Logged("Word list"));
}

TEST_F(WordListAtStart, AFifoDoesNotHoldUpTheStartAndIsReported) {
  ASSERT_EQ(mkfifo((dir / "german.spe").c_str(), 0600), 0);
  ExpectRefused("not a plain file", true);
}

TEST_F(WordListAtStart, ALinkToAnEndlessDeviceIsRefused) {
  fs::create_symlink("/dev/zero", dir / "german.spe");
  ExpectRefused("not a plain file", false);
}

TEST_F(WordListAtStart, AnOversizedListIsRefusedWithoutReadingIt) {
  { std::ofstream(dir / "german.spe") << "x"; }
  fs::resize_file(dir / "german.spe", uintmax_t(kMaxWordListBytes) + 1);  // sparse
  ExpectRefused("too large for a word list", true);
}

TEST_F(WordListAtStart, MissingAndDamagedListsAreReportedAndTheRunGoesOn) {
  {
    TMainForm form(window, (dir / "quillon").string(), {});
    form.FormCreate();
    EXPECT_TRUE(Logged("cannot be opened"));
  }
  window.log.clear();
  std::string list = EncodeWordList({"Apfel", "Birne"});
  list += std::string("\x05\x02", 2);   // keeps 5 characters of a word of 5: fine
  list += std::string("\x33\x01x", 3);  // keeps 51: damaged
  std::ofstream(dir / "german.spe", std::ios::binary) << list;
  TMainForm form(window, (dir / "quillon").string(), {});
  form.FormCreate();
  form.EnsureWordList();
  EXPECT_TRUE(Logged("damaged at byte"));
  EXPECT_EQ(form.wordList.Count, 3);
}

TEST_F(WordListAtStart, ALoadMeanwhileGivesTheListAndTheLogOfALoadOnDemand) {
  std::string list = EncodeWordList({"Apfel", "Birne", "Kirsche", "Pflaume"});
  list += std::string("\x33\x01x", 3);  // damaged after four words
  std::ofstream(dir / "german.spe", std::ios::binary) << list;
  auto loaded = [this](bool meanwhile) {
    window.log.clear();
    TMainForm form(window, (dir / "quillon").string(), {});
    form.FormCreate();
    if (meanwhile) form.LoadWordLookupMeanwhile();
    form.SettleDoubtfulCharacters();
    std::vector<std::string> known;
    for (const char* word : {"Apfel", "Birne", "Kirsche", "Pflaume", "Quitte", "apfel"})
      if (form.CurrentWordLookup().Contains(word)) known.push_back(word);
    EXPECT_EQ(form.wordList.Count, 4);
    return std::make_pair(known, window.log);
  };
  const auto onDemand = loaded(false);
  EXPECT_EQ(onDemand, loaded(true));
  EXPECT_EQ(onDemand.first, (std::vector<std::string>{"Apfel", "Birne", "Kirsche", "Pflaume"}));
  EXPECT_TRUE(Logged("damaged at byte"));
  EXPECT_FALSE(Logged("no words loaded"));  // the count is taken once the list is in
}

TEST_F(WordListAtStart, AFormEndsSafelyWhileItsListIsStillLoading) {
  std::vector<std::string> words;
  for (int i = 0; i < 20000; ++i) words.push_back("Wort" + std::to_string(100000 + i));
  std::ofstream(dir / "german.spe", std::ios::binary) << EncodeWordList(words);
  for (int i = 0; i < 3; ++i) {
    TMainForm form(window, (dir / "quillon").string(), {});
    form.FormCreate();
    form.LoadWordLookupMeanwhile();
  }  // each form waits for its thread before it frees the list
  TMainForm form(window, (dir / "quillon").string(), {});
  form.FormCreate();
  form.LoadWordLookupMeanwhile();
  form.LoadWordLookupMeanwhile();  // once only
  EXPECT_TRUE(form.CurrentWordLookup().Contains("Wort119999"));
  EXPECT_EQ(form.CurrentWordLookup().Size(), words.size());
}

}  // namespace

namespace {

// The speed paths give exactly what the plain paths give.
TEST(SpeedPaths, GreyPngReadStraightAsColourEqualsTheConversion) {
  const std::string sample = std::string(QUILLON_SAMPLES) + "/sample.png";
  RasterImage plain{}, direct{};
  OpenDib(&plain, sample.c_str(), 0, nullptr);
  ASSERT_EQ(DIBBitCount(plain), 8);
  ASSERT_TRUE(DepthUpTo(24, plain));
  OpenDibLimited(&direct, sample.c_str(), kMaxImagePixels, true);
  ASSERT_EQ(DIBBitCount(direct), 24);
  EXPECT_EQ(std::memcmp(plain.header, direct.header, sizeof(BitmapInfoHeader)), 0);
  ASSERT_EQ(plain.stride, direct.stride);
  EXPECT_EQ(std::memcmp(plain.pixels, direct.pixels, size_t(plain.stride) * DIBHeight(plain)), 0);
  deldib(&plain);
  deldib(&direct);
}

TEST(SpeedPaths, AnUnseenPageViewGivesTheSameText) {
  const std::string sample = std::string(QUILLON_SAMPLES) + "/sample.png";
  std::vector<std::string> texts;
  for (bool drawn : {true, false}) {
    HeadlessWindow window;
    window.drawsPageView = drawn;
    TMainForm form(window, "/nonexistent/quillon", {sample, "-"});
    form.FormCreate();
    ASSERT_TRUE(form.OpenPic(sample));
    form.Timer1Timer();
    std::string text;
    for (const std::string& line : window.output) text += line + "\n";
    texts.push_back(text);
    EXPECT_EQ(window.paintBox1.Width() > 0, drawn);
  }
  EXPECT_GT(texts[0].size(), 100u);
  EXPECT_EQ(texts[0], texts[1]);
}

}  // namespace
