// quillon: the program. With two or more arguments it recognises a picture without any
// window (and without a display); otherwise it opens the window, which opens a picture
// named on the command line when it is first shown.
#include <clocale>
#include <filesystem>
#include <iostream>

#include "app/CommandLine.h"

#ifdef QUILLON_WITH_WINDOW
#include <QApplication>
#include <cstdlib>

#include "app/MainUnit.h"
#include "gui/QtWindow.h"

namespace {

int RunWindow(int argc, char** argv, const CommandLine& commandLine) {
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
      !std::getenv("QT_QPA_PLATFORM")) {
    // Qt would abort with a message about platform plugins; say what helps instead.
    std::cerr << "quillon: no display for the window; to recognise a picture without one: "
                 "quillon PICTURE OUTPUT"
              << std::endl;
    return 1;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  QApplication::setApplicationVersion("1.0");
  int status = 0;
  {
    QtWindow window;
    if (commandLine.log) window.logSink = &std::cerr;
    // The program's own file, found through the system rather than argv[0], so that the
    // data files beside it are found however the program was started.
    const std::string programFile = QApplication::applicationFilePath().toStdString();
    TMainForm form(window, programFile.empty() ? commandLine.programFile : programFile,
                   commandLine.args);
    form.settings = commandLine.settings;
    window.Attach(&form);
    form.FormCreate();
    window.show();  // FormShow follows on the first showing
    status = QApplication::exec();
    window.Attach(nullptr);
  }
  return status;
}

}  // namespace
#endif

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
  if (commandLine.args.size() >= 2) return RunAutomatic(commandLine, std::cerr);
#ifdef QUILLON_WITH_WINDOW
  return RunWindow(argc, argv, commandLine);
#else
  std::cerr << "quillon: the window is not available in this build" << std::endl;
  return 1;
#endif
}
