#include <gtest/gtest.h>

#include <sstream>

#include "app/CommandLine.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"

namespace {

TEST(MainForm, ProgramPathEndsInOneSlash) {
  HeadlessWindow window;
  TMainForm a(window, "/opt/quillon/bin/quillon", {});
  a.FormCreate();
  EXPECT_EQ(a.programPath, "/opt/quillon/bin/");
  TMainForm b(window, "/quillon", {});
  b.FormCreate();
  EXPECT_EQ(b.programPath, "/");
  TMainForm c(window, "quillon", {});
  c.FormCreate();
  EXPECT_EQ(c.programPath, "./");
}

TEST(MainForm, CreationMakesBlankPagesAndSearchArea) {
  HeadlessWindow window;
  TMainForm form(window, "/x/quillon", {});
  form.FormCreate();
  ASSERT_NE(form.picture.pixels, nullptr);
  EXPECT_EQ(DIBWidth(form.picture), 320);
  EXPECT_EQ(DIBHeight(form.picture), 200);
  EXPECT_EQ(DIBBitCount(form.picture), 24);
  ASSERT_NE(form.bwImage.pixels, nullptr);
  EXPECT_EQ(form.searchArea.right, 319);
  EXPECT_EQ(form.searchArea.bottom, 199);
  EXPECT_EQ(form.objects.chunk, 10000);
  EXPECT_EQ(form.dots.chunk, 10000);
  EXPECT_EQ(form.wordList.chunk, 50000);
  EXPECT_FALSE(form.cancelRequested);
}

TEST(MainForm, OneArgumentOpensAtFirstShowingOnly) {
  HeadlessWindow window;
  TMainForm form(window, "/x/quillon", {"/nonexistent/page.png"});
  form.FormCreate();
  form.FormShow();
  // The picture was tried (and reported), the program keeps running.
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].title, "Error while opening /nonexistent/page.png!");
  EXPECT_FALSE(form.endRequested);
  EXPECT_TRUE(form.formShown);
  form.FormShow();
  EXPECT_EQ(window.messages.size(), 1u) << "a later showing does not open it again";
}

TEST(MainForm, TwoArgumentsEndAtShowing) {
  HeadlessWindow window;
  TMainForm form(window, "/x/quillon", {"page.png", "out.txt"});
  form.FormCreate();
  form.FormShow();
  EXPECT_TRUE(form.endRequested);
  EXPECT_TRUE(window.closeRequested);
  EXPECT_TRUE(window.messages.empty()) << "FormShow opens nothing with two arguments";
}

TEST(MainForm, ExitIsCaseSensitiveInTheTimer) {
  for (auto [third, ends] : {std::pair{"-exit", true}, std::pair{"-EXIT", false}}) {
    HeadlessWindow window;
    TMainForm form(window, "/x/quillon", {"page.png", "out.txt", third});
    form.FormCreate();
    form.Timer1Timer();
    EXPECT_EQ(form.endRequested, ends) << third;
  }
}

// A form made and created as the program makes it, on a headless window.
class CreatedMainForm : public ::testing::Test {
 protected:
  void SetUp() override { form.FormCreate(); }
  HeadlessWindow window;
  TMainForm form{window, "/x/quillon", {}};
};

TEST_F(CreatedMainForm, CancelButtonOnlySetsTheFlag) {
  form.BitBtn1Click();
  EXPECT_TRUE(form.cancelRequested);
  EXPECT_EQ(window.activePage, kPageScanDocument);
}

TEST_F(CreatedMainForm, OcrRunOnBlankPageShowsOutputPage) {
  form.TextErkennBtnClick();
  EXPECT_EQ(window.activePage, kPageOutputText);
}

TEST_F(CreatedMainForm, HelpOpensTheManualThroughTheShell) {
  form.ImageBtn1Click();
  ASSERT_EQ(window.shellOpened.size(), 1u);
  EXPECT_NE(window.shellOpened[0].find("quillon-manual.html"), std::string::npos);
}

TEST(AutomaticRun, UnreadablePictureFailsWithMessage) {
  CommandLine cl;
  cl.programFile = "/x/quillon";
  cl.args = {"/nonexistent/page.png", "-"};
  std::ostringstream err;
  EXPECT_NE(RunAutomatic(cl, err), 0);
  EXPECT_NE(err.str().find("Error while opening /nonexistent/page.png!"), std::string::npos)
      << err.str();
}

}  // namespace

namespace {

TEST(HeadlessWindow, LogSinkGetsEachLineAsFinallyWritten) {
  std::ostringstream sink;
  {
    HeadlessWindow window;
    window.logSink = &sink;
    window.LogAdd("Starting OCR process...");
    window.LogAdd("");
    window.LogSetLine(1, "D");
    window.LogSetLine(1, "Der");
    EXPECT_EQ(sink.str(), "Starting OCR process...\n");
    window.MessageBox("text", "title", MessageIcon::Error, MessageButtons::Ok);
    window.LogAdd("done.");
  }
  EXPECT_EQ(sink.str(), "Starting OCR process...\nDer\ndone.\n");
}

}  // namespace
