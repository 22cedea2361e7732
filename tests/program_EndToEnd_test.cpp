// The program as a user runs it: the sample page from picture file to text, and the
// window module that the program loads for its window.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/TestHelpers.h"

namespace {

// Runs a shell command and returns its standard output and exit status.
std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), got);
  *status = pclose(pipe);
  return output;
}

TEST(Program, RecognisesTheSamplePageExactly) {
  int status = -1;
  const std::string text = RunCommand(
      std::string("'") + QUILLON_PROGRAM + "' '" + QUILLON_SAMPLES + "/sample.png' -", &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text, ReadFile(std::string(QUILLON_SAMPLES) + "/sample.txt"));
}

TEST(Program, UnreadablePictureEndsWithAnErrorStatus) {
  int status = -1;
  const std::string text =
      RunCommand(std::string("'") + QUILLON_PROGRAM + "' /nonexistent.png - 2>/dev/null", &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(text, "");
}

// The module holds the window only: it loads into a program that exports the logic (as
// this test program does, like quillon) and binds to that one copy, so that statics such
// as the scanner's lock and the scan store exist once.
TEST(Program, WindowModuleUsesTheProgramsCopyOfTheLogic) {
  void* module = dlopen(QUILLON_WINDOW_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_NE(dlsym(module, "QuillonRunWindow"), nullptr);
  for (const char* logic : {"_ZN9TMainForm10FormCreateEv", "_ZTV14SoftwareCanvas"}) {
    EXPECT_EQ(dlsym(module, logic), nullptr) << logic << " has a second copy in the module";
    EXPECT_NE(dlsym(RTLD_DEFAULT, logic), nullptr) << logic;
  }
  dlclose(module);
}

}  // namespace
