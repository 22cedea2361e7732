// The installed program: `cmake --install` into a fresh prefix puts every file where a
// Debian system expects it, and the program run from there reads the sample page and
// finds its data beside its own folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/Options.h"
#include "recognition/Languages.h"
#include "tests/ProgramRun.h"
#include "tests/TempDir.h"

namespace {

namespace fs = std::filesystem;
using programrun::Quoted;
using programrun::ReadFile;

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override { root = FreshTestDir("quillon_install").string(); }
  void TearDown() override { fs::remove_all(root); }
  std::string root;
};

TEST_F(InstallTest, TheInstalledTreeRunsFromAnyPrefix) {
  const std::string prefix = root + "/usr";
  const programrun::Result install = programrun::Run(
      root, "cmake --install " + Quoted(QUILLON_BUILD_DIR) + " --prefix " + Quoted(prefix));
  ASSERT_EQ(install.status, 0) << install.err;
  for (const char* file :
       {"bin/quillon", "share/quillon/german.spe", "share/quillon/quillon-manual.html",
        "share/quillon/glyphnet.onnx", "share/quillon/glyphnet.labels", "share/quillon/letters.tsv",
        "share/man/man1/quillon.1", "share/applications/quillon.desktop",
        "share/icons/hicolor/scalable/apps/quillon.svg"})
    EXPECT_TRUE(fs::is_regular_file(prefix + "/" + file)) << file;
  bool window = false, formats = false;
  for (const auto& entry : fs::recursive_directory_iterator(prefix + "/lib")) {
    window = window || entry.path().filename() == "libquillon_window.so";
    formats = formats || entry.path().filename() == "libquillon_formats.so";
  }
  EXPECT_TRUE(window);
  EXPECT_TRUE(formats);

  // The program reads the sample page from its new home, nothing of the build tree beside it.
  const programrun::Result run = programrun::Run(
      root, Quoted(prefix + "/bin/quillon") + " " + Quoted(QUILLON_SAMPLES "/sample.png") + " -");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, ReadFile(QUILLON_SAMPLES "/sample.txt"));
  // The writers of hOCR, ALTO and PDF come from the installed tree's module.
  const programrun::Result hocr =
      programrun::Run(root, Quoted(prefix + "/bin/quillon") + " --format=hocr " +
                                Quoted(QUILLON_SAMPLES "/sample.png") + " -");
  EXPECT_EQ(hocr.status, 0) << hocr.err;
  EXPECT_NE(hocr.out.find("ocrx_word"), std::string::npos);
  // The extended recogniser finds its model there: it does not fall back to its templates.
  const programrun::Result extended =
      programrun::Run(root, Quoted(prefix + "/bin/quillon") + " --log --recogniser=extended " +
                                Quoted(QUILLON_SAMPLES "/sample.png") + " -");
  EXPECT_EQ(extended.status, 0) << extended.err;
  EXPECT_EQ(extended.err.find("templates read instead"), std::string::npos) << extended.err;
  EXPECT_FALSE(extended.out.empty());
}

TEST_F(InstallTest, WithoutItsModuleOnlyTheFormatsThatNeedItFail) {
  fs::create_directories(root + "/bin");
  fs::copy_file(QUILLON_PROGRAM, root + "/bin/quillon");
  const std::string program = Quoted(root + "/bin/quillon") + " ";
  const std::string sample = Quoted(QUILLON_SAMPLES "/sample.png");
  const programrun::Result text = programrun::Run(root, program + sample + " -");
  EXPECT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out, ReadFile(QUILLON_SAMPLES "/sample.txt"));
  const programrun::Result alto =
      programrun::Run(root, program + "--format=alto " + sample + " a.xml");
  if (fs::exists(QUILLON_FORMAT_MODULE)) GTEST_SKIP() << "installed on this machine";
  EXPECT_EQ(alto.status, 1);
  EXPECT_NE(alto.err.find("writers cannot be loaded"), std::string::npos) << alto.err;
  EXPECT_FALSE(fs::exists(root + "/a.xml"));
}

TEST(InstalledData, TheDataIsFoundBesideTheProgramsFolder) {
  const fs::path tree = fs::temp_directory_path() / ("quillon_tree_" + std::to_string(getpid()));
  fs::create_directories(tree / "bin");
  fs::create_directories(tree / "share/quillon");
  programrun::WriteFile((tree / "share/quillon/german.spe").string(), "");
  HeadlessWindow window;
  TMainForm form(window, (tree / "bin/quillon").string(), {});
  form.programPath = (tree / "bin").string() + "/";
  EXPECT_EQ(fs::canonical(form.DataFilePath("german.spe")),
            fs::canonical(tree / "share/quillon/german.spe"));
  // Beside the program (a build tree) comes first.
  programrun::WriteFile((tree / "bin/german.spe").string(), "");
  EXPECT_EQ(form.DataFilePath("german.spe"), (tree / "bin/german.spe").string());
  fs::remove_all(tree);
}

// The manual page is written by hand: it must not forget an option of the table.
TEST(ManualPage, ListsEveryOptionAndTheExitStatuses) {
  const std::string page = ReadFile(QUILLON_SOURCE_DIR "/data/quillon.1");
  ASSERT_FALSE(page.empty());
  auto troff = [](std::string name) {
    std::string escaped;
    for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
    return escaped;
  };
  for (const OptionSpec& spec : OptionTable())
    EXPECT_NE(page.find(troff(spec.name)), std::string::npos) << spec.name;
  EXPECT_NE(page.find(".SH EXIT STATUS"), std::string::npos);
  const programrun::Result man =
      programrun::Run("/", "man -l " + Quoted(QUILLON_SOURCE_DIR "/data/quillon.1") + " | cat");
  EXPECT_EQ(man.status, 0);
  EXPECT_NE(man.out.find("EXIT STATUS"), std::string::npos);
  EXPECT_EQ(man.err.find("warning"), std::string::npos) << man.err;
}

// `word` stands in `page` as a word of its own, not as part of a longer one.
bool NamesWord(const std::string& page, const std::string& word) {
  for (size_t at = page.find(word); at != std::string::npos; at = page.find(word, at + 1)) {
    const size_t end = at + word.size();
    if ((at == 0 || !std::isalpha(uint8_t(page[at - 1]))) &&
        (end == page.size() || !std::isalpha(uint8_t(page[end]))))
      return true;
  }
  return false;
}

// The language codes are listed by hand too, in the manual page, the user manual and the
// README.
TEST(ManualPage, ListsEveryLanguage) {
  for (const char* file : {"/data/quillon.1", "/gui/quillon-manual.html", "/README.md"}) {
    const std::string page = ReadFile(QUILLON_SOURCE_DIR + std::string(file));
    ASSERT_FALSE(page.empty()) << file;
    for (const Language& language : KnownLanguages()) {
      EXPECT_TRUE(NamesWord(page, language.code)) << file << " " << language.code;
      const bool namesPackages = std::string(file) != "/data/quillon.1";
      if (!*language.package || !namesPackages) continue;
      EXPECT_NE(page.find(language.package), std::string::npos) << file << " " << language.package;
    }
  }
}

}  // namespace
