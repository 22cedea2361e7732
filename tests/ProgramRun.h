// Running the program as a user does, from the tests: a shell command with its standard
// output, standard error and exit status.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace programrun {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// A name quoted for the shell.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

struct Result {
  int status = -1;  // the exit status; -1 when the command did not end normally
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `command` with the shell in `dir`; standard error is collected through a file there.
inline Result Run(const std::string& dir, const std::string& command) {
  const std::string errFile = dir + "/.stderr";
  Result result;
  FILE* pipe =
      popen(("cd " + Quoted(dir) + " && " + command + " 2>" + Quoted(errFile)).c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.out.append(buffer.data(), got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = ReadFile(errFile);
  return result;
}

}  // namespace programrun
