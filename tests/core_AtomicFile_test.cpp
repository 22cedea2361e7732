#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/AtomicFile.h"
#include "core_PictureTestUtil.h"
#include "tests/TestHelpers.h"

namespace {

namespace fs = std::filesystem;

size_t EntriesIn(const fs::path& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++n;
  return n;
}

class AtomicFile : public ::testing::Test {
 protected:
  fs::path dir = testpic::TempDir();
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(AtomicFile, ReplacesAPlainFileKeepingItsPermissionsAndLeavesNoTemporary) {
  const fs::path file = dir / "page.txt";
  std::ofstream(file) << "old";
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, "new text", &error)) << error;
  EXPECT_EQ(ReadFile(file), "new text");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST_F(AtomicFile, FollowsASymbolicLinkAndReplacesItsTarget) {
  fs::create_directories(dir / "real");
  const fs::path target = dir / "real" / "text.txt";
  std::ofstream(target) << "old";
  fs::create_symlink("real/text.txt", dir / "link.txt");
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(dir / "link.txt", "through the link", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
  EXPECT_EQ(ReadFile(target), "through the link");
  // A link to a file not yet there makes that file.
  fs::create_symlink("real/new.txt", dir / "dangling.txt");
  ASSERT_TRUE(WriteFileAtomically(dir / "dangling.txt", "made", &error)) << error;
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.txt"));
  EXPECT_EQ(ReadFile(dir / "real" / "new.txt"), "made");
}

TEST_F(AtomicFile, WritesIntoAFifoAndADeviceInsteadOfReplacingThem) {
  const fs::path fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(fifo); });
  std::string error;
  EXPECT_TRUE(WriteFileAtomically(fifo, "down the pipe", &error)) << error;
  reader.join();
  EXPECT_EQ(received, "down the pipe");
  EXPECT_TRUE(fs::is_fifo(fifo));

  EXPECT_TRUE(WriteFileAtomically("/dev/null", "nothing", &error)) << error;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST_F(AtomicFile, RefusesAReadOnlyFileAndAFolder) {
  const fs::path file = dir / "keep.txt";
  std::ofstream(file) << "precious";
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(file, "new", &error));
  EXPECT_NE(error.find("read-only"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(file), "precious");
  fs::create_directories(dir / "folder");
  EXPECT_FALSE(WriteFileAtomically(dir / "folder", "new", &error));
  EXPECT_NE(error.find("folder"), std::string::npos) << error;
  EXPECT_EQ(EntriesIn(dir), 2u);
}

TEST_F(AtomicFile, TakesTheLongestFileNameTheSystemAllows) {
  const fs::path file = dir / std::string(255, 'n');
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(file, "long", &error)) << error;
  ASSERT_TRUE(WriteFileAtomically(file, "again", &error)) << error;
  EXPECT_EQ(ReadFile(file), "again");
  EXPECT_EQ(EntriesIn(dir), 1u);
}

// ulimit -f: the write runs into the file size limit, whose signal would end the program
// by default and leave the temporary file behind.
TEST_F(AtomicFile, FileSizeLimitFailsCleanlyWithoutKillingTheProgram) {
  const fs::path file = dir / "existing.txt";
  std::ofstream(file) << "old content";
  const auto previous = std::signal(SIGXFSZ, SIG_DFL);
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit none = old;
  none.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
  std::string error;
  const bool ok = WriteFileAtomically(file, std::string(4096, 'x'), &error);
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(ok);
  EXPECT_NE(error.find("existing.txt"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(file), "old content");
  EXPECT_EQ(EntriesIn(dir), 1u);
}

TEST_F(AtomicFile, MissingFolderIsReportedAndNothingIsMade) {
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir / "no such folder" / "x.txt", "x", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(EntriesIn(dir), 0u);
}

}  // namespace
