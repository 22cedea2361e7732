#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "output/SaveFiles.h"
#include "tests/TempDir.h"
#include "tests/TestHelpers.h"

namespace fs = std::filesystem;

namespace {

class TextFieldTest : public ::testing::Test {
 protected:
  HeadlessWindow window;
  TMainForm form{window, "/nonexistent/quillon", {}};
  fs::path dir;

  void SetUp() override { dir = FreshTestDir("quillon_textfield"); }
  void TearDown() override {
    for (int32_t i = 0; i < form.lines.Count; ++i) ReleaseTextLine(*form.lines.At(i));
    fs::remove_all(dir);
  }
  void AddLine(int32_t left, int32_t bottom, const char* text) {
    TextLine* line = form.lines.Add();
    line->left = left;
    line->bottom = bottom;
    line->maxHeight = 20;
    line->text = text ? strdup(text) : nullptr;
  }
  size_t FilesIn(const fs::path& d) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(d)) ++n;
    return n;
  }
};

TEST_F(TextFieldTest, FittingWritesUtf8RowsAndLogs) {
  AddLine(300, 200, "zw\xF6lf");  // Windows-1252 ö
  AddLine(100, 100,
          "Stra\xDF"
          "e");
  form.Lines2Textfield();
  ASSERT_EQ(window.output.size(), 2u);
  EXPECT_EQ(window.output[0],
            "Stra\xC3\x9F"
            "e");
  // Indented by (300 - 100) / 5 = 40 pixels of blanks of the output font.
  const std::string& second = window.output[1];
  ASSERT_GT(second.size(), 6u);
  EXPECT_EQ(second.substr(second.find_first_not_of(' ')), "zw\xC3\xB6lf");
  EXPECT_GT(second.find_first_not_of(' '), 0u);
  EXPECT_EQ(window.log, (std::vector<std::string>{"Fitting found texts to textfield...", "done."}));
}

// A headless run writes the text its recogniser showed; saving from the window writes the
// field as the user left it.
TEST_F(TextFieldTest, RecognisedPageKeepsTheShownTextAndTheFieldItsEdits) {
  AddLine(100, 100,
          "Stra\xDF"
          "e");
  form.Lines2Textfield();
  const std::string shown =
      "Stra\xC3\x9F"
      "e\n";
  window.OutputSetLine(0, "edited");
  EXPECT_EQ(form.RecognisedPage().textField, shown);
  EXPECT_EQ(form.OutputDocumentPage().textField, "edited\n");
}

TEST_F(TextFieldTest, ColumnWidthChangeRefitsAndUnreadableCountsAsMinimum) {
  AddLine(100, 100, "a");
  AddLine(400, 200, "b");
  form.settings.KoorFakEd = 100;
  form.KoorFakEdChange();
  // 3 pixels of indentation: one blank of the output font at most.
  EXPECT_LE(window.output[1].size(), 2u);
  const size_t atHundred = window.output[1].size();
  form.settings.KoorFakEd = std::numeric_limits<double>::quiet_NaN();
  form.KoorFakEdChange();
  const std::string unreadable = window.output[1];
  form.settings.KoorFakEd = 0.1;
  form.KoorFakEdChange();
  EXPECT_EQ(window.output[1], unreadable);
  EXPECT_GT(unreadable.size(), atHundred + 100);  // 3000 pixels of blanks
  form.settings.KoorFakEd = -1;
  form.KoorFakEdChange();
  EXPECT_EQ(window.output[1], unreadable);
}

TEST_F(TextFieldTest, NoLinesGiveAnEmptyField) {
  window.output = {"old text"};
  form.Lines2Textfield();
  EXPECT_TRUE(window.output.empty());
  EXPECT_EQ(window.log.size(), 2u);
}

TEST_F(TextFieldTest, SaveTextWritesTheFieldAsUtf8WithDefaultExtension) {
  window.output = {
      "Gr\xC3\xBC\xC3\x9F"
      "e",
      "", "  zwei"};
  window.saveAnswers.push_back({(dir / "page").string(), 1});
  form.SaveTextBtnClick();
  EXPECT_EQ(ReadFile(dir / "page.txt"),
            "Gr\xC3\xBC\xC3\x9F"
            "e\n\n  zwei\n");
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(FilesIn(dir), 1u);  // no temporary file left behind
}

TEST_F(TextFieldTest, ReplacedFileKeepsItsPermissions) {
  const fs::path file = dir / "kept.txt";
  std::ofstream(file) << "old";
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(file.string(), "new", &error)) << error;
  EXPECT_EQ(ReadFile(file), "new");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(TextFieldTest, FailedWriteLeavesTheExistingFileUntouched) {
  const fs::path file = dir / "existing.txt";
  std::ofstream(file) << "old content";
  // A file size limit makes the write fail half way, after the temporary file exists.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 16;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool ok = WriteFileReplacing(file.string(), std::string(4096, 'x'), &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(ok);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(file), "old content");
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST_F(TextFieldTest, SaveFailureIsReportedWithAMessageBox) {
  window.output = {"text"};
  const std::string name = (dir / "no such folder" / "page.txt").string();
  window.saveAnswers.push_back({name, 1});
  form.SaveTextBtnClick();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].title, "Error while saving " + name + "!");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::Error);
  // A cancelled dialog writes nothing and says nothing.
  form.SaveTextBtnClick();
  EXPECT_EQ(window.messages.size(), 1u);
}

// The window's saves pass the overwrite guard: a picture chosen as the text's or the word
// file's name stays, and the message box says why.
TEST_F(TextFieldTest, TheWindowsSavesNeverReplaceAPicture) {
  window.output = {"text"};
  const fs::path picture = dir / "scan.doc";
  fs::copy_file(fs::path(QUILLON_SAMPLES) / "sample.png", picture);
  const std::string before = ReadFile(picture);
  window.saveAnswers.push_back({picture.string(), 1});
  form.SaveTextBtnClick();
  window.saveAnswers.push_back({picture.string(), 1});
  form.SaveWordBtnClick();
  EXPECT_EQ(ReadFile(picture), before);
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_NE(window.messages[1].text.find("PNG picture"), std::string::npos)
      << window.messages[1].text;
}

TEST_F(TextFieldTest, WordFileIsRtfAndOpenedWhenAsked) {
  window.output = {"a{b}\\c", "\xC3\xA4\xC3\x9F\xE2\x82\xAC \xE6\xBC\xA2"};  // äß€ 漢
  window.saveAnswers.push_back({(dir / "page").string(), 1});
  form.SaveWordBtnClick();
  const std::string rtf = ReadFile(dir / "page.doc");
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
  EXPECT_NE(rtf.find("a\\{b\\}\\\\c\\par"), std::string::npos);
  EXPECT_NE(rtf.find("\\'e4\\'df\\'80 \\u28450?\\par"), std::string::npos);
  EXPECT_EQ(rtf.back(), '\n');
  EXPECT_EQ(window.shellOpened, (std::vector<std::string>{(dir / "page.doc").string()}));

  form.openWordFileAfterCreation = false;
  window.saveAnswers.push_back({(dir / "second.doc").string(), 1});
  form.SaveWordBtnClick();
  EXPECT_TRUE(fs::exists(dir / "second.doc"));
  EXPECT_EQ(window.shellOpened.size(), 1u);
}

}  // namespace
