// What the benches that run the program share: where it and the bench pages are, and reading
// and quoting files for the shell.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef QUILLON_PROGRAM
#define QUILLON_PROGRAM "quillon"
#endif
#ifndef QUILLON_BENCH_CASES
#define QUILLON_BENCH_CASES "/work/shared/bench/cases"
#endif

namespace bench {

// The bytes of a file ("" when it cannot be read).
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A name quoted for the shell.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace bench
