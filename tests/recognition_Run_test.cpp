#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "core/Cp1252.h"

namespace {

bool Holds(const PageBox& outer, const PageBox& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

// The text assembly over objects whose characters are known: the classification step
// hands out the scripted characters in order and records them as ClassifyObject would.
struct Script {
  std::string chars;
  size_t next = 0;
};

int32_t ScriptedClassify(TMainForm& form, void* context) {
  Script& script = *static_cast<Script*>(context);
  const int32_t c = script.next < script.chars.size() ? uint8_t(script.chars[script.next]) : '?';
  ++script.next;
  form.currentObject->recognisedChar = c;
  return c;
}

class RecognitionRunTest : public ::testing::Test {
 protected:
  HeadlessWindow window;
  TMainForm form{window, "/nonexistent/quillon", {}};
  Script script;

  // A line whose thirdHeight decides the word gaps.
  void AddLine(int32_t thirdHeight) {
    TextLine* line = form.lines.Add();
    line->number = form.lines.Count;
    line->thirdHeight = thirdHeight;
  }
  // An object of line `line` (1-based) spanning columns left ... right, rows 10 ... 30 of
  // line 1 (further lines 40 pixels lower each).
  void AddObject(int32_t line, int32_t left, int32_t right, char c) {
    PageObject* object = form.objects.Add();
    const int32_t top = 10 + 40 * (line - 1);
    object->box = {left, top, right, top + 20};
    object->unskewedBox = object->box;
    object->line = line;
    script.chars.push_back(c);
  }
  // A dot beside the foot of the object spanning left ... right on line `line`.
  void AddStopAfter(int32_t line, int32_t right) {
    PageObject* dot = form.dots.Add();
    const int32_t bottom = 30 + 40 * (line - 1);
    dot->box = {right + 2, bottom - 2, right + 4, bottom};
    dot->unskewedBox = dot->box;
  }
  void Run() { form.RecognitionRun(ScriptedClassify, &script); }
  std::string Text(int32_t line) {
    const char* t = form.lines.At(line - 1)->text;
    return t ? t : "";
  }
  void TearDown() override {
    for (int32_t i = 0; i < form.lines.Count; ++i) ReleaseTextLine(*form.lines.At(i));
  }
};

TEST_F(RecognitionRunTest, EmptyPageLogsStartAndEndOnly) {
  Run();
  EXPECT_EQ(window.log, (std::vector<std::string>{"Starting OCR process...", "", "done."}));
  EXPECT_EQ(form.templateSet, nullptr);  // the templates lived only for the run
}

TEST_F(RecognitionRunTest, GapsAboveThirdHeightStartWords) {
  AddLine(4);
  AddObject(1, 0, 9, 'a');
  AddObject(1, 13, 20, 'b');  // gap 4: same word
  AddObject(1, 25, 30, 'c');  // gap 5: new word
  AddObject(1, 33, 36, 'j');  // gap 3 > 4 / 2 for a 'j': new word
  AddObject(1, 39, 42, 'k');  // gap 3, not a 'j': same word
  Run();
  EXPECT_EQ(Text(1), "ab c jk");
  EXPECT_EQ(window.log, (std::vector<std::string>{"Starting OCR process...", "ab c jk", "done."}));
}

TEST_F(RecognitionRunTest, BAndRInsideAWordBecomeSharpS) {
  AddLine(4);
  AddObject(1, 0, 9, 'B');    // first of a word: stays
  AddObject(1, 10, 19, 'R');  // inside: ß
  AddObject(1, 30, 39, 'R');  // new word: stays
  AddObject(1, 40, 42, ',');  // a comma restarts the count...
  AddObject(1, 43, 50, 'B');  // ...but the B after it is the comma's second character
  Run();
  EXPECT_EQ(Text(1), "B\xDF R,\xDF");
  EXPECT_EQ(window.log[1], "B\xC3\x9F R,\xC3\x9F");    // the log is UTF-8
  EXPECT_EQ(form.objects.At(1)->recognisedChar, 'R');  // the object keeps its character
}

TEST_F(RecognitionRunTest, HyphenAtLineEndJoinsTheWordAndIsRemoved) {
  AddLine(4);
  AddLine(4);
  AddObject(1, 0, 9, 'a');
  AddObject(1, 10, 19, 'b');
  AddObject(1, 20, 29, '-');
  AddObject(2, 0, 9, 'c');
  AddObject(2, 10, 19, 'd');
  Run();
  EXPECT_EQ(Text(1), "ab-");
  EXPECT_EQ(Text(2), "cd");
  EXPECT_EQ(script.next, 5u);  // every object was classified once
  ASSERT_EQ(form.objects.Count, 4);
  EXPECT_EQ(form.objects.At(2)->recognisedChar, 'c');
  EXPECT_EQ(form.objects.At(3)->recognisedChar, 'd');
  EXPECT_EQ(window.log, (std::vector<std::string>{"Starting OCR process...", "ab-cd", "done."}));
}

TEST_F(RecognitionRunTest, LineChangeOpensALogLineAndNoSpace) {
  AddLine(4);
  AddLine(4);
  AddObject(1, 0, 9, 'a');
  AddObject(2, 100, 109, 'b');
  Run();
  EXPECT_EQ(Text(1), "a");
  EXPECT_EQ(Text(2), "b");
  EXPECT_EQ(window.log, (std::vector<std::string>{"Starting OCR process...", "a", "b", "done."}));
  // A second run without a new search appends every character again.
  script.next = 0;
  Run();
  EXPECT_EQ(Text(1), "aa");
}

TEST_F(RecognitionRunTest, FullStopsGoAfterTheWordAtLineEndAndAtPageEnd) {
  AddLine(4);
  AddLine(4);
  AddObject(1, 0, 9, 'a');
  AddObject(1, 10, 19, 'b');
  AddStopAfter(1, 19);
  AddObject(1, 40, 49, 'c');
  AddStopAfter(1, 49);
  AddObject(2, 0, 9, 'd');
  AddStopAfter(2, 9);
  Run();
  EXPECT_EQ(Text(1), "ab. c.");
  EXPECT_EQ(Text(2), "d.");
  EXPECT_EQ(window.log[1], "ab. c.");
  EXPECT_EQ(window.log[2], "d.");
}

// The page result holds what the text holds: a word per blank-separated part of a line
// (the full stop in its word), a line per text line, the hyphen kept at the line's end.
TEST_F(RecognitionRunTest, PageResultFollowsTheTextWordByWord) {
  for (const auto& [line, left, c] :
       {std::tuple{1, 0, 'a'}, {1, 10, 'b'}, {1, 40, 'c'}, {1, 50, '-'}, {2, 0, 'd'}})
    AddObject(line, left, left + 9, c);
  AddStopAfter(1, 19);
  AddLine(4);
  AddLine(4);
  Run();
  ASSERT_EQ(Text(1), "ab. c-");
  ASSERT_EQ(form.pageText.blocks.size(), 1u);
  const std::vector<PageLine>& lines = form.pageText.blocks[0].lines;
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].words.size(), 2u);
  EXPECT_EQ(lines[0].words[0].Text(), "ab.");
  EXPECT_EQ(lines[0].words[1].Text(), "c-");
  ASSERT_EQ(lines[1].words.size(), 1u);
  EXPECT_EQ(lines[1].words[0].Text(), "d");
  // The full stop is boxed by its dot; the word's box holds it.
  const PageChar& stop = lines[0].words[0].chars[2];
  EXPECT_EQ(stop.box.left, 21);
  EXPECT_EQ(lines[0].words[0].box.right, 23);
  EXPECT_EQ(lines[0].box.right, 59);
}

// After the fitting, the page result's words are the output field's: a speck line that
// shares a row with a text line and touches its end joins its last word there too.
TEST_F(RecognitionRunTest, FittedPageResultHasTheOutputFieldsWords) {
  AddLine(4);
  AddLine(4);
  for (const auto& [line, left, c] : {std::tuple{1, 0, 'a'}, {1, 10, 'b'}, {1, 40, 'c'}})
    AddObject(line, left, left + 9, c);
  AddObject(2, 52, 55, 'l');  // a speck just right of "c", a little lower
  form.objects.At(3)->box = form.objects.At(3)->unskewedBox = {52, 22, 55, 32};
  for (int32_t i = 0; i < 2; ++i) {
    TextLine& line = *form.lines.At(i);
    line.left = i == 0 ? 0 : 52;
    line.right = i == 0 ? 49 : 55;
    line.bottom = i == 0 ? 30 : 32;
    line.maxHeight = i == 0 ? 20 : 10;
  }
  Run();
  ASSERT_EQ(form.pageText.blocks[0].lines.size(), 2u);  // each line as read
  form.Lines2Textfield();
  ASSERT_EQ(window.output, (std::vector<std::string>{"ab cl"}));
  std::vector<std::string> words;
  for (const PageLine& line : form.pageText.blocks[0].lines)
    for (const PageWord& word : line.words) words.push_back(word.Text());
  EXPECT_EQ(words, (std::vector<std::string>{"ab", "cl"}));
  EXPECT_EQ(form.pageText.blocks[0].lines[0].words[1].box.bottom, 32);
}

TEST_F(RecognitionRunTest, CancelStopsAfterTheCurrentObjectAndKeepsTheText) {
  AddLine(4);
  for (int i = 0; i < 6; ++i) AddObject(1, i * 10, i * 10 + 9, char('a' + i));
  form.cancelRequested = true;  // an old request is cleared when the run starts
  int pumps = 0;
  window.onProcessMessages = [&] {
    if (++pumps == 3) form.BitBtn1Click();
  };
  Run();
  EXPECT_EQ(Text(1), "abc");
  EXPECT_EQ(window.log.back(), "done.");
  EXPECT_TRUE(form.cancelRequested);
  // The fitting that follows a cancelled run shows the text recognised so far.
  form.Lines2Textfield();
  EXPECT_EQ(window.output, (std::vector<std::string>{"abc"}));
}

TEST_F(RecognitionRunTest, RepaintWalkingTheObjectsDoesNotDisturbTheRun) {
  AddLine(4);
  for (int i = 0; i < 4; ++i) AddObject(1, i * 10, i * 10 + 9, char('w' + i));
  window.onProcessMessages = [&] {
    form.objects.First();
    while (form.objects.Next()) {
    }
  };
  Run();
  EXPECT_EQ(Text(1), "wxyz");
}

TEST_F(RecognitionRunTest, RecognisedObjectsGetRedBoxesAtTheZoom) {
  window.paintBox1.SetSize(100, 100);
  form.settings.ZoomEd = 50;
  AddLine(4);
  AddObject(1, 21, 61, 'a');  // rows 10 ... 30 -> (10, 5) ... (30, 15) at 50 %
  Run();
  EXPECT_EQ(window.paintBox1.GetPixel(12, 7), clRed);
  EXPECT_EQ(window.paintBox1.GetPixel(10, 5), clRed);
  EXPECT_NE(window.paintBox1.GetPixel(9, 7), clRed);
  EXPECT_NE(window.paintBox1.GetPixel(40, 40), clRed);
}

TEST_F(RecognitionRunTest, ObjectWithoutALineIsLeftOut) {
  AddLine(4);
  AddObject(1, 0, 9, 'a');
  AddObject(7, 10, 19, 'x');  // no such line: never classified
  script.chars.pop_back();
  AddObject(1, 10, 19, 'b');
  Run();
  EXPECT_EQ(Text(1), "ab");
}

// The classic run on the sample page: every character boxed inside its word, every word
// inside its line, confidences between 0 and 1, and the words those of the output text.
TEST(ClassicPageResult, SamplePageWordsAreTheOutputTextsWords) {
  HeadlessWindow window;
  TMainForm form(window, "/nonexistent/quillon", {});
  form.FormCreate();
  ASSERT_TRUE(form.OpenPic(std::string(QUILLON_SAMPLES) + "/sample.png"));
  form.TextErkennBtnClick();

  std::vector<std::string> outputWords;
  for (const std::string& line : window.output) {
    std::istringstream words(line);
    for (std::string word; words >> word;) outputWords.push_back(word);
  }
  ASSERT_FALSE(outputWords.empty());
  std::vector<std::string> pageWords;
  size_t alternatives = 0;
  ASSERT_EQ(form.pageText.blocks.size(), 1u);
  for (const PageLine& line : form.pageText.blocks[0].lines) {
    for (const PageWord& word : line.words) {
      pageWords.push_back(Cp1252ToUtf8(word.Text()));
      EXPECT_TRUE(Holds(line.box, word.box)) << pageWords.back();
      for (const PageChar& c : word.chars) {
        EXPECT_FALSE(c.box.Empty()) << pageWords.back();
        EXPECT_TRUE(Holds(word.box, c.box)) << pageWords.back();
        EXPECT_GE(c.confidence, 0.0);
        EXPECT_LE(c.confidence, 1.0);
        for (const Alternative& a : c.alternatives) {
          EXPECT_NE(a.code, c.code);
          EXPECT_LE(a.confidence, c.confidence + 1e-9) << "alternatives come after the best";
        }
        alternatives += c.alternatives.size();
      }
    }
  }
  EXPECT_EQ(pageWords, outputWords);
  EXPECT_GT(alternatives, 0u);
  EXPECT_EQ(form.pageText.width, DIBWidth(form.bwImage));
  EXPECT_GT(form.pageText.blocks[0].confidence, 0.0);
}

}  // namespace
