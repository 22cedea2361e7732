// Batches run as a user runs them: bad, missing and hanging pictures among good ones,
// resuming, lists and pictures from standard input, multi-page pictures, the command
// line's mistakes, and the GNU parallel recipe of the README. Every output is compared
// with the single run of the same picture.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "tests/MultiPageFiles.h"
#include "tests/ProgramRun.h"
#include "tests/TempDir.h"

namespace {

namespace fs = std::filesystem;
using programrun::Quoted;
using programrun::ReadFile;
using programrun::WriteFile;

const std::string kProgram = QUILLON_PROGRAM;
const std::string kSample = std::string(QUILLON_SAMPLES) + "/sample.png";

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = FreshTestDir("quillon_batch").string();
    fs::copy_file(kSample, dir + "/a.png");
    // Two more pages with texts of their own: the halves of the sample page.
    PIX* sample = pixRead(kSample.c_str());
    ASSERT_NE(sample, nullptr);
    const int32_t w = pixGetWidth(sample), h = pixGetHeight(sample);
    for (int32_t half = 0; half < 2; ++half) {
      BOX* box = boxCreate(0, half * h / 2, w, h / 2);
      PIX* part = pixClipRectangle(sample, box, nullptr);
      halves[half] = part;
      ASSERT_EQ(pixWrite((dir + (half ? "/bottom.png" : "/top.png")).c_str(), part, IFF_PNG), 0);
      boxDestroy(&box);
    }
    whole = sample;
  }
  void TearDown() override {
    pixDestroy(&whole);
    pixDestroy(&halves[0]);
    pixDestroy(&halves[1]);
    fs::remove_all(dir);
  }
  programrun::Result Quillon(const std::string& arguments) {
    return programrun::Run(dir, Quoted(kProgram) + " " + arguments);
  }
  // The text of the single run of a picture.
  std::string Single(const std::string& picture) {
    auto known = singles.find(picture);
    if (known != singles.end()) return known->second;
    const programrun::Result single = Quillon(Quoted(picture) + " -");
    EXPECT_EQ(single.status, 0) << picture << ": " << single.err;
    EXPECT_FALSE(single.out.empty()) << picture;
    return singles[picture] = single.out;
  }
  std::string Output(const std::string& name) { return ReadFile(dir + "/out/" + name); }
  bool Exists(const std::string& name) { return fs::exists(dir + "/out/" + name); }

  std::string dir;
  std::map<std::string, std::string> singles;
  PIX* whole = nullptr;
  PIX* halves[2] = {nullptr, nullptr};
};

TEST_F(BatchTest, ABadPictureIsReportedAndTheGoodOnesAreWritten) {
  WriteFile(dir + "/bad.png", "not a picture at all");
  const programrun::Result batch =
      Quillon("--jobs=2 --output-dir=out a.png bad.png top.png missing.png bottom.png");
  EXPECT_EQ(batch.status, 1) << batch.err;
  EXPECT_NE(batch.err.find("bad.png: "), std::string::npos) << batch.err;
  EXPECT_NE(batch.err.find("missing.png: The file does not exist."), std::string::npos)
      << batch.err;
  EXPECT_FALSE(Exists("bad.txt"));
  EXPECT_FALSE(Exists("missing.txt"));
  EXPECT_EQ(Output("a.txt"), ReadFile(std::string(QUILLON_SAMPLES) + "/sample.txt"));
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
  EXPECT_EQ(Output("top.txt"), Single("top.png"));
  EXPECT_EQ(Output("bottom.txt"), Single("bottom.png"));
  EXPECT_EQ(batch.out, "");
  // Every output is complete: no temporary file is left beside them.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir + "/out"), fs::directory_iterator()), 3);
}

TEST_F(BatchTest, AHangingPageIsGivenUpAfterItsTimeoutAndTheBatchGoesOn) {
  // Reading a FIFO that nobody writes to never ends.
  ASSERT_EQ(mkfifo((dir + "/hang.png").c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  const programrun::Result batch =
      Quillon("--page-timeout=1 --jobs=2 --output-dir=out hang.png a.png");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(batch.status, 1) << batch.err;
  EXPECT_NE(batch.err.find("hang.png: given up after 1 s on page 1"), std::string::npos)
      << batch.err;
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
  EXPECT_FALSE(Exists("hang.txt"));
  EXPECT_LT(seconds, 20);
}

// The processes whose parent is `parent`, from /proc.
std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string stat = ReadFile(entry.path().string() + "/stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
      children.push_back(pid_t(std::atoi(entry.path().filename().c_str())));
  }
  return children;
}

TEST_F(BatchTest, AWorkerThatCrashesCostsOnlyItsPicture) {
  ASSERT_EQ(mkfifo((dir + "/hang.png").c_str(), 0600), 0);
  const pid_t batch = fork();
  ASSERT_GE(batch, 0);
  if (batch == 0) {
    if (chdir(dir.c_str()) != 0 || !freopen(".stderr", "w", stderr)) _exit(127);
    execl(kProgram.c_str(), kProgram.c_str(), "--jobs=2", "--output-dir=out", "hang.png", "a.png",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  // Once a.png is done, the only worker left hangs on hang.png: it is killed. (A signal a
  // sanitizer build would catch, such as SIGSEGV, ends it with a status instead.)
  for (int i = 0; i < 600 && !Exists("a.txt"); ++i) usleep(100000);
  std::vector<pid_t> workers;
  for (int i = 0; i < 100 && workers.size() != 1; ++i, usleep(100000)) workers = ChildrenOf(batch);
  ASSERT_EQ(workers.size(), 1u);
  kill(workers[0], SIGKILL);  // as the kernel ends a process that ran out of memory
  int status = 0;
  ASSERT_EQ(waitpid(batch, &status, 0), batch);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  const std::string err = ReadFile(dir + "/.stderr");
  EXPECT_NE(err.find("hang.png: crashed on page 1 (Killed)"), std::string::npos) << err;
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
}

bool Alive(pid_t pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

TEST_F(BatchTest, AWorkerDiesWithItsBatch) {
  ASSERT_EQ(mkfifo((dir + "/hang.png").c_str(), 0600), 0);
  for (int signal : {SIGKILL, SIGTERM}) {
    const pid_t batch = fork();
    ASSERT_GE(batch, 0);
    if (batch == 0) {
      if (chdir(dir.c_str()) != 0 || !freopen(".stderr", "w", stderr)) _exit(127);
      execl(kProgram.c_str(), kProgram.c_str(), "--page-timeout=600", "--output-dir=out",
            "hang.png", static_cast<char*>(nullptr));
      _exit(127);
    }
    std::vector<pid_t> workers;
    for (int i = 0; i < 300 && workers.size() != 1; ++i, usleep(100000))
      workers = ChildrenOf(batch);
    ASSERT_EQ(workers.size(), 1u);
    kill(batch, signal);
    ASSERT_EQ(waitpid(batch, nullptr, 0), batch);
    bool alive = true;
    for (int i = 0; i < 100 && (alive = Alive(workers[0])); ++i) usleep(100000);
    EXPECT_FALSE(alive) << "signal " << signal;
    if (alive) kill(workers[0], SIGKILL);
  }
}

// A FIFO as the picture is read as standard input is, in a single run and in a batch; in
// place of the template cache it is passed over, not waited for.
TEST_F(BatchTest, AFifoIsReadAsAStreamOrPassedOver) {
  ASSERT_EQ(mkfifo((dir + "/fifo.png").c_str(), 0600), 0);
  // The program and the FIFO's writer side by side.
  auto withWriter = [&](const std::string& arguments) {
    return programrun::Run(
        dir, "(" + Quoted(kProgram) + " " + arguments + " & cat a.png > fifo.png; wait)");
  };
  programrun::Result run = withWriter("fifo.png -");
  EXPECT_EQ(run.out, Single("a.png")) << run.err;
  run = withWriter("--output-dir=out fifo.png");
  EXPECT_EQ(Output("fifo.txt"), Single("a.png")) << run.err;
  fs::create_directories(dir + "/cache/quillon");
  ASSERT_EQ(mkfifo((dir + "/cache/quillon/classic-templates").c_str(), 0600), 0);
  run = programrun::Run(dir, "XDG_CACHE_HOME=" + Quoted(dir + "/cache") + " timeout 120 " +
                                 Quoted(kProgram) + " a.png -");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, Single("a.png"));
}

// The copy of a picture from standard input is left nowhere when the run is ended.
TEST_F(BatchTest, NoCopyOfStandardInputOutlivesAnEndedRun) {
  fs::create_directories(dir + "/tmp");
  for (int signal : {SIGINT, SIGTERM}) {
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    const pid_t run = fork();
    ASSERT_GE(run, 0);
    if (run == 0) {
      dup2(input[0], STDIN_FILENO);
      close(input[1]);
      setenv("TMPDIR", (dir + "/tmp").c_str(), 1);
      if (!freopen((dir + "/.stderr").c_str(), "w", stderr)) _exit(127);
      execl(kProgram.c_str(), kProgram.c_str(), "-", (dir + "/out.txt").c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(input[0]);
    const std::string head = ReadFile(dir + "/a.png").substr(0, 100);
    ASSERT_EQ(write(input[1], head.data(), head.size()), ssize_t(head.size()));
    usleep(500000);  // the program is reading standard input now
    kill(run, signal);
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    close(input[1]);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(fs::is_empty(dir + "/tmp")) << "signal " << signal;
  }
}

TEST_F(BatchTest, SkipExistingResumesAnInterruptedBatch) {
  fs::create_directories(dir + "/out");
  WriteFile(dir + "/out/a.txt", "read earlier\n");
  // What an interrupted write leaves behind is not an output.
  WriteFile(dir + "/out/top.txt.Ab12Cd", "half");
  // Nor is an empty file, as a machine's crash may leave an output that was not flushed.
  WriteFile(dir + "/out/bottom.txt", "");
  programrun::Result batch = Quillon("--skip-existing --output-dir=out a.png top.png bottom.png");
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Output("a.txt"), "read earlier\n");
  EXPECT_EQ(Output("top.txt"), Single("top.png"));
  EXPECT_EQ(Output("bottom.txt"), Single("bottom.png"));
  batch = Quillon("--output-dir=out a.png");
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
}

TEST_F(BatchTest, TheListComesFromStandardInput) {
  WriteFile(dir + "/list", "a.png\n\ntop.png\r\nbottom.png");
  const programrun::Result batch = Quillon("--list=- --output-dir=out < list");
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
  EXPECT_EQ(Output("top.txt"), Single("top.png"));
  EXPECT_EQ(Output("bottom.txt"), Single("bottom.png"));
  // A list file, with pictures named on the command line beside it.
  WriteFile(dir + "/list2", "top.png\n");
  EXPECT_EQ(Quillon("--list=list2 --output-dir=out2 bottom.png").status, 0);
  EXPECT_EQ(ReadFile(dir + "/out2/top.txt"), Single("top.png"));
  EXPECT_EQ(ReadFile(dir + "/out2/bottom.txt"), Single("bottom.png"));
}

TEST_F(BatchTest, APictureComesFromStandardInput) {
  const programrun::Result single = Quillon("- - < a.png");
  EXPECT_EQ(single.status, 0) << single.err;
  EXPECT_EQ(single.out, Single("a.png"));
  const programrun::Result batch = Quillon("--output-dir=out - top.png < a.png");
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Output("stdin.txt"), Single("a.png"));
  EXPECT_EQ(Output("top.txt"), Single("top.png"));
}

TEST_F(BatchTest, EveryPageOfATiffInOrderWithFormFeeds) {
  ASSERT_TRUE(multipage::WriteTiff(dir + "/three.tif", {halves[0], whole, halves[1]}));
  const std::string expected =
      Single("top.png") + "\f" + Single("a.png") + "\f" + Single("bottom.png");
  EXPECT_EQ(Single("three.tif"), expected);
  const programrun::Result batch = Quillon("--output-dir=out three.tif a.png");
  EXPECT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Output("three.txt"), expected);
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
}

// Each format of a batch is the single run's, byte for byte (the PDF, which records when
// it was made, by its text); a multi-page picture gives a page element (hOCR, ALTO) or a
// PDF page for each of its pages.
TEST_F(BatchTest, EveryFormatOfABatchIsTheSingleRunsWithAPageForEachPage) {
  ASSERT_TRUE(multipage::WriteTiff(dir + "/three.tif", {halves[0], whole, halves[1]}));
  struct Format {
    const char* name;
    const char* extension;
    const char* pageMark;  // what starts each page
  };
  for (const Format& format : {Format{"hocr", ".hocr", "class=\"ocr_page\""},
                               Format{"alto", ".xml", "<Page "}, Format{"tsv", ".tsv", ""}}) {
    const std::string option = std::string("--format=") + format.name;
    const programrun::Result batch = Quillon(option + " --output-dir=out three.tif a.png");
    ASSERT_EQ(batch.status, 0) << format.name << ": " << batch.err;
    const std::string output = Output(std::string("three") + format.extension);
    EXPECT_TRUE(output == Quillon(option + " three.tif -").out) << format.name;
    EXPECT_TRUE(Output(std::string("a") + format.extension) == Quillon(option + " a.png -").out)
        << format.name;
    if (!*format.pageMark) continue;
    size_t pages = 0;
    for (size_t at = output.find(format.pageMark); at != std::string::npos;
         at = output.find(format.pageMark, at + 1))
      ++pages;
    EXPECT_EQ(pages, 3u) << format.name;
  }
  if (programrun::Run(dir, "command -v pdftotext").status != 0)
    GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
  ASSERT_EQ(Quillon("--format=pdf --output-dir=out three.tif").status, 0);
  ASSERT_EQ(Quillon("--format=pdf three.tif single.pdf").status, 0);
  const programrun::Result batchText = programrun::Run(dir, "pdftotext out/three.pdf -");
  EXPECT_EQ(batchText.out, programrun::Run(dir, "pdftotext single.pdf -").out);
  EXPECT_EQ(std::count(batchText.out.begin(), batchText.out.end(), '\f'), 3);
  EXPECT_NE(programrun::Run(dir, "pdfinfo out/three.pdf | grep -E '^Pages: +3$'").out, "");
}

// A PDF page is as large as the picture at its resolution; a resolution no page has (1 dpi
// would make a page of 85,000 points, beyond PDF's limit; 100,000 dpi a speck whose text
// layer comes out scrambled) is replaced, and the log says so.
TEST_F(BatchTest, APdfPageHasABelievableSizeWhateverResolutionThePictureStates) {
  if (programrun::Run(dir, "command -v pdfinfo").status != 0)
    GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
  for (const int32_t dpi : {1, 100000}) {
    pixSetResolution(whole, dpi, dpi);
    ASSERT_EQ(pixWrite((dir + "/odd.png").c_str(), whole, IFF_PNG), 0);
    const programrun::Result run = Quillon("--log --format=pdf odd.png odd.pdf");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("taken as 300 dpi"), std::string::npos) << run.err;
    const std::string info = programrun::Run(dir, "pdfinfo odd.pdf").out;
    double width = 0, height = 0;
    const size_t at = info.find("Page size:");
    ASSERT_NE(at, std::string::npos) << info;
    ASSERT_EQ(std::sscanf(info.c_str() + at, "Page size: %lf x %lf", &width, &height), 2);
    EXPECT_NEAR(width, pixGetWidth(whole) * 72.0 / 300, 1) << dpi;
    EXPECT_NEAR(height, pixGetHeight(whole) * 72.0 / 300, 1) << dpi;
  }
}

TEST_F(BatchTest, EveryFrameOfAGifInOrder) {
  const std::vector<uint8_t> gif = multipage::GifFrames({halves[1], halves[0]});
  ASSERT_FALSE(gif.empty());
  WriteFile(dir + "/two.gif", std::string(gif.begin(), gif.end()));
  EXPECT_EQ(Single("two.gif"), Single("bottom.png") + "\f" + Single("top.png"));
}

TEST_F(BatchTest, ClashingOutputsAreReportedNotOverwritten) {
  fs::create_directories(dir + "/other");
  fs::copy_file(dir + "/top.png", dir + "/other/a.png");
  const programrun::Result batch = Quillon("--output-dir=out a.png other/a.png");
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("other/a.png: "), std::string::npos) << batch.err;
  EXPECT_EQ(Output("a.txt"), Single("a.png"));
}

// No output of a batch replaces a picture: the picture itself (named like its output), a
// picture at the output's name, one behind a link there, whatever the format. The
// program's own outputs, a searchable PDF included, are replaced by the next run.
TEST_F(BatchTest, NoOutputReplacesAPictureButEachReplacesTheProgramsOwn) {
  fs::copy_file(dir + "/a.png", dir + "/page.txt");
  const std::string page = ReadFile(dir + "/page.txt");
  programrun::Result batch = Quillon("--output-dir=. page.txt");
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("not replaced"), std::string::npos) << batch.err;
  EXPECT_EQ(ReadFile(dir + "/page.txt"), page);

  fs::create_directories(dir + "/out");
  fs::copy_file(dir + "/a.png", dir + "/out/top.hocr");
  fs::create_symlink(dir + "/a.png", dir + "/out/bottom.hocr");
  batch = Quillon("--skip-existing --format=hocr --output-dir=out top.png bottom.png");
  EXPECT_EQ(batch.status, 1);
  EXPECT_NE(batch.err.find("top.png: "), std::string::npos) << batch.err;
  EXPECT_NE(batch.err.find("bottom.png: "), std::string::npos) << batch.err;
  EXPECT_EQ(ReadFile(dir + "/out/top.hocr"), page);
  EXPECT_EQ(ReadFile(dir + "/a.png"), page);

  for (int round = 0; round < 2; ++round) {
    batch = Quillon("--format=pdf --output-dir=out top.png");
    EXPECT_EQ(batch.status, 0) << batch.err;
  }
}

TEST_F(BatchTest, MistakesOfTheCommandLineEndWithStatusTwo) {
  EXPECT_EQ(Quillon("--list=- a.png < /dev/null").status, 2);           // no output folder
  EXPECT_EQ(Quillon("--list=- --output-dir=out - < a.png").status, 2);  // stdin twice
  EXPECT_EQ(Quillon("--output-dir=out").status, 2);                     // no pictures
  EXPECT_EQ(Quillon("--jobs=0 --output-dir=out a.png").status, 2);
  EXPECT_EQ(Quillon("--page-timeout=soon --output-dir=out a.png").status, 2);
  const programrun::Result language = Quillon("--language=deu+xyz --output-dir=out a.png");
  EXPECT_EQ(language.status, 2);
  EXPECT_NE(language.err.find("unknown language \"xyz\""), std::string::npos) << language.err;
  EXPECT_FALSE(Exists("a.txt"));
  // A list that names no pictures, or is a folder, is a mistake that is named.
  const programrun::Result empty = Quillon("--list=- --output-dir=out < /dev/null");
  EXPECT_EQ(empty.status, 2);
  EXPECT_NE(empty.err.find("names no pictures"), std::string::npos) << empty.err;
  fs::create_directories(dir + "/names");
  const programrun::Result folder = Quillon("--list=names --output-dir=out");
  EXPECT_EQ(folder.status, 2);
  EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
  const programrun::Result help = Quillon("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* line :
       {"Exit status:", "  0  ", "  1  ", "  2  ", "--output-dir=DIR", "--list=FILE", "--jobs=N",
        "--skip-existing", "--page-timeout=S", "--language=LIST", "no effect on the classic one"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
}

// The README's recipe for many machines, on this one: GNU parallel hands out shares of
// the list to two job slots, each running a batch that skips what exists.
TEST_F(BatchTest, TheGnuParallelRecipeReadsEveryPicture) {
  if (programrun::Run(dir, "command -v parallel").status != 0)
    GTEST_SKIP() << "GNU parallel is not installed (scripts/setup installs it)";
  std::string list;
  for (int i = 0; i < 6; ++i) {
    const std::string name = "page" + std::to_string(i) + ".png";
    fs::copy_file(dir + (i % 3 == 0   ? "/a.png"
                         : i % 3 == 1 ? "/top.png"
                                      : "/bottom.png"),
                  dir + "/" + name);
    list += name + "\n";
  }
  WriteFile(dir + "/pictures.list", list);
  const programrun::Result recipe = programrun::Run(
      dir, "parallel --will-cite -j2 --pipe -N 2 " + Quoted(kProgram) +
               " --list=- --jobs=1 --skip-existing --output-dir=out < pictures.list");
  EXPECT_EQ(recipe.status, 0) << recipe.err;
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(Output("page" + std::to_string(i) + ".txt"), Single(i % 3 == 0   ? "a.png"
                                                                  : i % 3 == 1 ? "top.png"
                                                                               : "bottom.png"))
        << i;
}

}  // namespace
