// quillon: the program. With two or more arguments it recognises a picture without any
// window (and without a display); otherwise it opens the window, which opens a picture
// named on the command line when it is first shown.
#include <dlfcn.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "app/Batch.h"
#include "app/CommandLine.h"
#include "core/HugePageHeap.h"
#include "gui/WindowModule.h"
#include "recognition/Languages.h"

namespace {

// Loads the window module from beside the program (a build tree), else from the installed
// tree the program is in, else from where it was meant to be installed, and runs the window.
int RunWindow(int argc, char** argv, const CommandLine& commandLine) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
      !std::getenv("QT_QPA_PLATFORM")) {
    // Qt would abort with a message about platform plugins; say what helps instead.
    std::cerr << "quillon: no display for the window; to recognise a picture without one: "
                 "quillon PICTURE OUTPUT"
              << std::endl;
    return 1;
  }
  const std::string besideProgram =
      std::filesystem::path(commandLine.programFile).parent_path() / kWindowModuleFile;
  const std::string installedTree = std::filesystem::path(commandLine.programFile).parent_path() /
                                    QUILLON_MODULE_FROM_BIN / kWindowModuleFile;
  void* module = dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) module = dlopen(installedTree.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) module = dlopen(QUILLON_WINDOW_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    std::cerr << "quillon: the window cannot be loaded (" << dlerror()
              << "); to recognise a picture without it: quillon PICTURE OUTPUT" << std::endl;
    return 1;
  }
  auto run = reinterpret_cast<RunWindowFunction*>(dlsym(module, kRunWindowSymbol));
  if (!run) {
    std::cerr << "quillon: the window module is damaged: " << dlerror() << std::endl;
    return 1;
  }
  return run(argc, argv, commandLine);  // the module stays loaded until the program ends
}

}  // namespace

int main(int argc, char** argv) {
  // The log writes numbers with the user's decimal separator, as the window does.
  std::setlocale(LC_ALL, "");
  CommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(argc, argv, &commandLine, &error)) {
    std::cerr << "quillon: " << error << std::endl;
    return 2;
  }
  // The data files lie beside the program file, however the program was started.
  std::error_code noFile;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", noFile);
  if (!noFile && !self.empty()) commandLine.programFile = self.string();
  if (commandLine.help) {
    std::cout << UsageText();
    return 0;
  }
  if (commandLine.version) {
    std::cout << VersionText();
    return 0;
  }
  if (!CheckLanguages(commandLine.settings, DictionaryFolders(), std::cerr)) return 2;
  const bool batch = IsBatch(commandLine);
  if (batch || commandLine.args.size() >= 2) {
    BackTheHeapWithHugePages(size_t(256) << 20);
    return batch ? RunBatch(commandLine, std::cerr) : RunAutomatic(commandLine, std::cerr);
  }
  return RunWindow(argc, argv, commandLine);
}
