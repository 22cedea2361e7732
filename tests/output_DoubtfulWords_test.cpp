// Finding doubtful words in the output field, and saving the field's page in every format
// from the window's "Save text as...".
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "output/DoubtfulWords.h"
#include "tests/TempDir.h"
#include "tests/TestHelpers.h"

namespace fs = std::filesystem;

void PrintTo(const OutputMark& m, std::ostream* os) {
  *os << "{line " << m.line << ", start " << m.start << ", length " << m.length << "}";
}

namespace {

// One line of words (Windows-1252), each with the given probability of being right (all on
// its first character), boxes side by side.
PageLine Line(const std::vector<std::pair<std::string, double>>& words, int32_t top = 0) {
  PageLine line;
  int32_t x = 0;
  for (const auto& [text, confidence] : words) {
    PageWord word;
    for (const char c : text) {
      PageChar pc;
      pc.code = uint8_t(c);
      pc.box = PageBox{x, top, x + 9, top + 19};
      pc.confidence = word.chars.empty() ? confidence : 1.0;
      word.chars.push_back(pc);
      x += 12;
    }
    line.words.push_back(word);
    x += 20;
  }
  return line;
}

PageText Page(const std::vector<std::vector<PageLine>>& blocks) {
  PageText page;
  page.width = 400;
  page.height = 300;
  for (const auto& lines : blocks) page.blocks.push_back(PageBlock{lines, {}, 0});
  page.Summarise();
  return page;
}

TEST(DoubtfulWords, MarksTheRightOccurrenceOfRepeatedAndPartWords) {
  // "Haus" stands three times: inside "Hausmaus", then twice as a word; the second word
  // is the doubtful one.
  const PageText page =
      Page({{Line({{"Hausmaus", 0.9}, {"Haus", 0.9}}), Line({{"Haus", 0.3}, {"Ende", 0.95}})}});
  const std::vector<std::string> field{"Hausmaus Haus", "  Haus  Ende"};
  EXPECT_EQ(FindDoubtfulWords(field, page, nullptr, 0.75), (std::vector<OutputMark>{{1, 2, 4}}));
  EXPECT_TRUE(FindDoubtfulWords(field, page, nullptr, 0.2).empty());
  EXPECT_EQ(FindDoubtfulWords(field, page, nullptr, 1.0).size(), 4u);
}

TEST(DoubtfulWords, CountsCharactersNotBytes) {
  const PageText page = Page({{Line({{"Gr\xFC\xDF"
                                      "e",
                                      0.9},
                                     {"\x80"
                                      "5",
                                      0.1}})}});
  EXPECT_EQ(FindDoubtfulWords({"Grüße €5"}, page, nullptr, 0.75),
            (std::vector<OutputMark>{{0, 6, 2}}));
}

TEST(DoubtfulWords, FindsWordsLaidOutInAnotherOrder) {
  // Two columns in reading order, which the page layout puts side by side in rows.
  const PageText page = Page({{Line({{"links", 0.9}}), Line({{"unten", 0.2}}, 30)},
                              {Line({{"rechts", 0.2}}), Line({{"auch", 0.9}}, 30)}});
  const std::vector<std::string> field{"links      rechts", "unten      auch"};
  EXPECT_EQ(FindDoubtfulWords(field, page, nullptr, 0.75),
            (std::vector<OutputMark>{{1, 0, 5}, {0, 11, 6}}));
}

TEST(DoubtfulWords, WordsEditedAwayAreNotMarked) {
  const PageText page = Page({{Line({{"Fehler", 0.1}, {"bleibt", 0.1}})}});
  EXPECT_EQ(FindDoubtfulWords({"Fehlerchen bleibt"}, page, nullptr, 0.75),
            (std::vector<OutputMark>{{0, 11, 6}}));
  EXPECT_TRUE(FindDoubtfulWords({}, page, nullptr, 0.75).empty());
}

// A click in a two-page document: the line's page, its own lines, and the word there.
TEST(WordsInTheField, APositionOfADocumentMapsToItsPageAndWord) {
  const PageText first = Page({{Line({{"eins", 1}, {"zwei", 1}})}, {Line({{"drei", 1}}, 40)}});
  const PageText second = Page({{Line({{"vier", 1}, {"zwei", 1}}, 80)}});
  const std::vector<std::string> field = {"eins zwei", "drei", "\fvier zwei"};
  const PagePart start = PartOfDocument(field, 1);
  EXPECT_EQ(start.index, 0);
  EXPECT_EQ(start.firstLine, 0);
  EXPECT_EQ(start.lines, (std::vector<std::string>{"eins zwei", "drei"}));
  const PagePart later = PartOfDocument(field, 2);
  EXPECT_EQ(later.index, 1);
  EXPECT_EQ(later.firstLine, 2);
  EXPECT_EQ(later.lines, (std::vector<std::string>{"vier zwei"}));

  // "zwei" stands on both pages: each page's lines give that page's word and box.
  const PageWord* onFirst = WordAt(start.lines, first, 0, 6);
  const PageWord* onSecond = WordAt(later.lines, second, 0, 6);
  ASSERT_TRUE(onFirst && onSecond);
  EXPECT_EQ(onFirst, &first.blocks[0].lines[0].words[1]);
  EXPECT_EQ(onSecond, &second.blocks[0].lines[0].words[1]);
  EXPECT_EQ(onSecond->box.top, 80);
  // The word's first character and the place just after its last one are the word; the
  // blank between two words and a line without page words are none.
  EXPECT_EQ(WordAt(start.lines, first, 1, 0), &first.blocks[1].lines[0].words[0]);
  EXPECT_EQ(WordAt(start.lines, first, 0, 4), &first.blocks[0].lines[0].words[0]);
  EXPECT_EQ(WordAt({"eins  zwei"}, first, 0, 5), nullptr);
  EXPECT_EQ(WordAt(start.lines, first, 3, 0), nullptr);
  EXPECT_EQ(WordAt({"ganz anders"}, first, 0, 2), nullptr);  // edited away
}

TEST(WordsInTheField, AClickOnAWordMarksItsBoxAndShowsIt) {
  HeadlessWindow window;
  TMainForm form(window, "quillon", {});
  form.pageText = Page({{Line({{"eins", 1}, {"zwei", 1}})}});
  window.output = {"eins zwei"};
  form.ShowOutputWord(0, 7);
  const PageBox box = form.pageText.blocks[0].lines[0].words[1].box;
  EXPECT_EQ(form.markedWord.left, box.left);
  EXPECT_EQ(form.markedWord.right, box.right);
  const int32_t z = form.settings.ZoomEd;
  EXPECT_EQ(window.shownPageViewArea[0], box.left * z / 100);
  EXPECT_EQ(window.shownPageViewArea[3], (box.bottom + 1) * z / 100);
  // A later page the form did not read marks nothing.
  form.markedWord = PageBox();
  window.output = {"eins zwei", "\fdrei"};
  form.ShowOutputWord(1, 2);
  EXPECT_TRUE(form.markedWord.Empty());
}

class SaveFormatsTest : public ::testing::Test {
 protected:
  HeadlessWindow window;
  TMainForm form{window, "/nonexistent/quillon", {}};
  fs::path dir;

  void SetUp() override {
    dir = FreshTestDir("quillon_saveformats");
    newdib(&form.picture, 400, 300, 24, nullptr, 0);
    form.pageText = Page({{Line({{"Seite", 0.9}, {"zwei", 0.4}})}});
    window.output = {"Seite zwei"};
  }
  void TearDown() override {
    deldib(&form.picture);
    fs::remove_all(dir);
  }
  std::string Save(const std::string& name, int32_t filterIndex) {
    window.saveAnswers.push_back({(dir / name).string(), filterIndex});
    form.SaveTextBtnClick();
    EXPECT_TRUE(window.messages.empty()) << window.messages.back().text;
    return (dir / name).string();
  }
};

TEST_F(SaveFormatsTest, EachFilterWritesItsFormatWithItsExtension) {
  Save("page", 1);
  EXPECT_EQ(ReadFile(dir / "page.txt"), "Seite zwei\n");
  Save("page", 2);
  EXPECT_NE(ReadFile(dir / "page.hocr").find("class=\"ocrx_word\""), std::string::npos);
  Save("page", 3);
  EXPECT_NE(ReadFile(dir / "page.xml").find("CONTENT=\"zwei\""), std::string::npos);
  Save("page", 4);
  EXPECT_NE(ReadFile(dir / "page.tsv").find("\tzwei\n"), std::string::npos);
  Save("page", 5);
  EXPECT_EQ(ReadFile(dir / "page.pdf").rfind("%PDF-", 0), 0u);
}

TEST_F(SaveFormatsTest, TypedExtensionOfAnotherFormatWins) {
  Save("typed.PDF", 1);
  EXPECT_EQ(ReadFile(dir / "typed.PDF").rfind("%PDF-", 0), 0u);
  Save("notes.text", 4);  // not a format's extension: the filter's format, name kept
  EXPECT_EQ(ReadFile(dir / "notes.text").rfind("level\t", 0), 0u);
}

TEST_F(SaveFormatsTest, FailureIsShownAndCancelWritesNothing) {
  form.SaveTextBtnClick();  // no answer: cancelled
  EXPECT_TRUE(fs::is_empty(dir));
  window.saveAnswers.push_back({(dir / "no" / "page.hocr").string(), 2});
  form.SaveTextBtnClick();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].title,
            "Error while saving " + (dir / "no" / "page.hocr").string() + "!");
}

TEST_F(SaveFormatsTest, FormMarksTheDoubtfulWordsInTheField) {
  form.MarkDoubtfulWords();
  EXPECT_EQ(window.outputMarks, (std::vector<OutputMark>{{0, 6, 4}}));
  window.OutputClear();
  EXPECT_TRUE(window.outputMarks.empty());
}

}  // namespace
