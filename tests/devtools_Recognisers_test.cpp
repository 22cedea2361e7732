#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "devtools/LearnedGrids.h"
#include "devtools_TestImages.h"
#include "platform/Fonts.h"

namespace fs = std::filesystem;

namespace {

// Notes how many log lines stood when each box or dialog was shown.
class RecordingWindow : public HeadlessWindow {
 public:
  std::vector<size_t> logAtMessage;
  int dialogsShown = 0;
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override {
    logAtMessage.push_back(log.size());
    return HeadlessWindow::MessageBox(text, title, icon, buttons);
  }
  bool EnterCharDialog(std::string* text) override {
    ++dialogsShown;
    return HeadlessWindow::EnterCharDialog(text);
  }
};

class RecognisersTest : public ::testing::Test {
 protected:
  RecognisersTest() { window.SetPaintBox1Size(200, 300); }
  ~RecognisersTest() override { Release(*form); }

  void AddObject(const std::vector<std::string>& rows, Box box) {
    PageObject* object = form->objects.Add();
    object->image = DrawnImage(rows);
    object->box = box;
  }
  static void Release(TMainForm& f) {
    for (int32_t i = 0; i < f.objects.Count; ++i) deldib(&f.objects.At(i)->image);
    f.objects.Clear();
    for (int32_t i = 0; i < f.glyphImages.Count; ++i) deldib(&f.glyphImages.At(i)->image);
    f.glyphImages.Clear();
  }
  std::vector<LearnedGrid> Learned() {
    LearnedGrids store(home.StoreDirectory());
    store.Load();
    return store.Examples();
  }

  TemporaryDataHome home;
  RecordingWindow window;
  std::unique_ptr<TMainForm> form =
      std::make_unique<TMainForm>(window, "/x/quillon", std::vector<std::string>{});
  const std::vector<std::string> kBar = {"##", "##", "##", "##", "##", "##"};
  const std::vector<std::string> kSlash = {"...#", "..#.", ".#..", "#..."};
};

TEST_F(RecognisersTest, RecognizeWithoutObjectsDoesNothing) {
  form->RecogBtnClick();
  form->Rec2BtnClick();
  EXPECT_TRUE(window.log.empty());
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RecognisersTest, RecognizeLogsFeaturesAndSummaryThenAsks) {
  AddObject(std::vector<std::string>(12, "#####"), {50, 60, 54, 71});
  AddObject(kSlash, {70, 60, 73, 63});
  // The second object as a recognition run left it.
  form->objects.At(1)->candidates[0] = {0.8125, 11};
  form->objects.At(1)->recognisedChar = 'm';
  // Glyph images are drawn one over the other at (100, 0), in the object's size.
  for (uint8_t brightness : {uint8_t(255), uint8_t(0)}) {
    GlyphImage* glyph = form->glyphImages.Add();
    glyph->image = FlatImage(8, 9, brightness);
    glyph->charCode = 'a';
  }
  form->RecogBtnClick();
  ASSERT_EQ(window.log.size(), 64u);
  EXPECT_EQ(window.log[0].rfind("Strichlinks:", 0), 0u);
  EXPECT_EQ(window.log[30].rfind("Backslash halb:", 0), 0u);
  EXPECT_EQ(window.log[31], "l oder i;0.0000;0;0") << "unclassified: score and codes 0";
  EXPECT_EQ(window.log[32].rfind("Strichlinks:", 0), 0u);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text, "dd");
  EXPECT_EQ(window.messages[0].title, "dd");
  EXPECT_EQ(window.logAtMessage, (std::vector<size_t>{32, 64}));
  EXPECT_NE(window.log[63].find(";0.8125;11;109"), std::string::npos) << window.log[63];
  // The first object (5 x 12) left the last glyph stretched to its size.
  EXPECT_EQ(window.paintBox1.GetPixel(104, 11), clBlack) << "the last glyph stands there";
  EXPECT_EQ(window.paintBox1.GetPixel(105, 0), clWhite);
  EXPECT_EQ(window.paintBox1.GetPixel(100, 12), clWhite);
  // The last object: its box in red on the page view, its image top left.
  EXPECT_EQ(window.paintBox1.GetPixel(71, 61), clRed);
  const std::string stroke = form->label2Caption.empty() ? "-" : form->label2Caption;
  EXPECT_EQ(window.log[63].rfind(stroke + ";", 0), 0u) << "Label2 holds the last result";
}

TEST_F(RecognisersTest, LearningFollowsTheAnswers) {
  AddObject(kBar, {0, 0, 1, 5});
  // No: the dialog never opens.
  window.enterCharAnswers = {"z"};
  form->Rec2BtnClick();
  EXPECT_EQ(window.dialogsShown, 0);
  EXPECT_EQ(window.messages.at(0).text, "lernen???");
  EXPECT_EQ(window.messages.at(0).title, "dd");
  EXPECT_EQ(form->label2Caption, "?") << "nothing learned yet";
  // Yes, then Cancel (no scripted answer), then OK with an empty field: nothing learned.
  window.enterCharAnswers.clear();
  window.messageAnswers = {MessageResult::Yes};
  form->Rec2BtnClick();
  window.messageAnswers = {MessageResult::Yes};
  window.enterCharAnswers = {""};
  form->Rec2BtnClick();
  EXPECT_EQ(window.dialogsShown, 2);
  EXPECT_TRUE(Learned().empty());
  // Several characters: only the first is learned.
  window.messageAnswers = {MessageResult::Yes};
  window.enterCharAnswers = {"\xC3\xA4xy"};  // "äxy"
  form->Rec2BtnClick();
  std::vector<LearnedGrid> learned = Learned();
  ASSERT_EQ(learned.size(), 1u);
  EXPECT_EQ(learned[0].charCode, 228);
  for (int32_t cell : learned[0].grid.cells) EXPECT_EQ(cell, 0) << "a solid bar fills the grid";

  // After a restart the object is recognised as what was learned.
  Release(*form);
  form = std::make_unique<TMainForm>(window, "/x/quillon", std::vector<std::string>{});
  AddObject(kBar, {0, 0, 1, 5});
  form->Rec2BtnClick();
  EXPECT_EQ(form->label2Caption, "\xC3\xA4");
}

TEST_F(RecognisersTest, DamagedStoreIsReportedAndSetAside) {
  fs::create_directories(home.StoreDirectory());
  const std::string file = home.StoreDirectory() + "/learned-grids.txt";
  { std::ofstream(file) << "garbage"; }
  AddObject(kSlash, {0, 0, 3, 3});
  form->Rec2BtnClick();
  EXPECT_EQ(form->label2Caption, "?");
  ASSERT_GE(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].icon, MessageIcon::Warning);
  EXPECT_NE(window.messages[0].text.find("damaged"), std::string::npos);
  EXPECT_EQ(window.messages[1].text, "lernen???");
  EXPECT_TRUE(fs::exists(file + ".damaged"));
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(RecognisersTest, AutoLearnLearnsTheListInOrder) {
  LogFont font;
  font.faceName = "Times New Roman";
  font.height = -37;
  std::unique_ptr<PlatformFont> probe(PlatformFont::Create(font));
  if (!probe || probe->TextWidth("a") <= 0) GTEST_SKIP() << "no Times New Roman substitute";
  form->AutolearnClick();
  std::vector<LearnedGrid> learned = Learned();
  const std::string list = "abcdefghklmnopqrstuvwxyzABDEFGHJLMNQRT23456789";
  ASSERT_EQ(learned.size(), list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(learned[i].charCode, uint8_t(list[i])) << i;
    // The grid spans the character's own ink box: ink on all four edges.
    bool left = false, right = false, top = false, bottom = false;
    for (int n = 0; n < kGridSize; ++n) {
      left = left || learned[i].grid.at(0, n) == 0;
      right = right || learned[i].grid.at(16, n) == 0;
      top = top || learned[i].grid.at(n, 0) == 0;
      bottom = bottom || learned[i].grid.at(n, 16) == 0;
    }
    EXPECT_TRUE(left && right && top && bottom) << list[i];
  }
  EXPECT_EQ(form->label1Caption, "-1 " + std::to_string(form->fontHandles.Count));
  // The last character's grid stays on the page view, outlined in black.
  EXPECT_EQ(window.paintBox1.GetPixel(0, 100), clBlack);
}

TEST_F(RecognisersTest, BitBtn3ShowsPixelsOfTheLastGlyph) {
  form->BitBtn3Click();
  EXPECT_EQ(window.caption, "1");
  for (int32_t w : {3, 5}) {
    GlyphImage* glyph = form->glyphImages.Add();
    glyph->image = FlatImage(w, 4, 0);
    glyph->charCode = 'a';
  }
  form->BitBtn3Click();
  EXPECT_EQ(window.caption, "20");
}

}  // namespace
