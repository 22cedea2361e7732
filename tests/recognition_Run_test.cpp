#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"

namespace {

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

}  // namespace
