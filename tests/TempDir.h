// A fresh, empty folder for one test, removed by the caller when done.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// temp/<prefix>_<pid>_<test name>: the pid keeps parallel runs apart, the test name the
// tests of one program.
inline std::filesystem::path FreshTestDir(const std::string& prefix) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      (prefix + "_" + std::to_string(getpid()) + "_" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}
