// The window as a loadable module: the program loads it only when a window is wanted, so
// that a recognition from the command line neither loads nor relocates the Qt libraries.
#include <QApplication>
#include <iostream>

#include "app/CommandLine.h"
#include "app/MainUnit.h"
#include "gui/QtWindow.h"
#include "gui/WindowModule.h"

extern "C" int QuillonRunWindow(int argc, char** argv, const CommandLine& commandLine) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(kApplicationTitle);
  QApplication::setOrganizationName(kApplicationTitle);  // where the window's memory is kept
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
