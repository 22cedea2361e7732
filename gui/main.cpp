// quillon: the program. With two or more arguments it recognises a picture without any
// window; otherwise it opens the window.
#include <iostream>

#include "app/CommandLine.h"

int main(int argc, char** argv) {
  CommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(argc, argv, &commandLine, &error)) {
    std::cerr << "quillon: " << error << std::endl;
    return 2;
  }
  if (commandLine.help) {
    std::cout << UsageText();
    return 0;
  }
  if (commandLine.version) {
    std::cout << VersionText();
    return 0;
  }
  if (commandLine.args.size() >= 2) return RunAutomatic(commandLine, std::cerr);
  std::cerr << "quillon: the window is not available in this build" << std::endl;
  return 1;
}
