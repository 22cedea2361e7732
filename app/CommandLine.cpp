#include "app/CommandLine.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "app/HeadlessWindow.h"

namespace {

bool ParseInt(const std::string& text, int32_t low, int32_t high, int32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = int32_t(v);
  return true;
}

bool ParseReal(const std::string& text, double low, double high, double* value) {
  if (text.empty()) return false;
  // A point, whatever the locale: the same command line works for every user.
  double v = 0;
  const char* last = text.data() + text.size();
  const auto [end, status] = std::from_chars(text.data(), last, v);
  if (status != std::errc() || end != last || !std::isfinite(v) || v < low || v > high)
    return false;
  *value = v;
  return true;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* commandLine,
                      std::string* error) {
  commandLine->programFile = argc > 0 ? argv[0] : "quillon";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      commandLine->args.push_back(arg);
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    Settings& s = commandLine->settings;
    bool ok = true;
    if (name == "--log" && eq == std::string::npos) {
      commandLine->log = true;
    } else if (name == "--help" && eq == std::string::npos) {
      commandLine->help = true;
    } else if (name == "--version" && eq == std::string::npos) {
      commandLine->version = true;
    } else if (name == "--separation") {
      ok = ParseInt(value, 1, 99, &s.SchwellEd);
    } else if (name == "--min-object-size") {
      ok = ParseInt(value, 1, 10, &s.MinObjSizeED);
    } else if (name == "--exclude-pictures") {
      ok = value == "on" || value == "off";
      if (ok) s.BildFilterCheck = value == "on";
    } else if (name == "--picture-filter") {
      ok = ParseInt(value, 0, 10, &s.TrackBar1);
    } else if (name == "--column-width") {
      ok = ParseReal(value, 0.1, 100, &s.KoorFakEd);
    } else {
      *error = "unknown option: " + arg + " (see --help)";
      return false;
    }
    if (!ok) {
      *error = "invalid value for " + name + ": \"" + value + "\" (see --help)";
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return "Usage: quillon [OPTIONS] [PICTURE [OUTPUT [-exit]]]\n"
         "\n"
         "Optical character recognition of printed pages.\n"
         "\n"
         "  quillon                  open the window\n"
         "  quillon PICTURE          open the window with PICTURE\n"
         "  quillon PICTURE OUTPUT   recognise PICTURE without a window and write its text\n"
         "                           to OUTPUT as UTF-8 (\"-\" for standard output)\n"
         "\n"
         "Options:\n"
         "  --separation=N           black/white separation value, 1...99 % (50)\n"
         "  --min-object-size=N      minimal object size in pixels, 1...10 (3)\n"
         "  --exclude-pictures=on|off  leave out lines that belong to pictures (on)\n"
         "  --picture-filter=N       0 (more text) ... 10 (less pictures) (5)\n"
         "  --column-width=X         column width factor of the text layout, 0.1...100 (5.0)\n"
         "  --log                    write the log lines to standard error\n"
         "  --help                   show this text\n"
         "  --version                show the version\n";
}

std::string VersionText() {
  return std::string(kProductCaption) + "\n";
}

int RunAutomatic(const CommandLine& commandLine, std::ostream& err) {
  HeadlessWindow window;
  if (commandLine.log) window.logSink = &err;
  window.messageSink = &err;
  TMainForm form(window, commandLine.programFile, commandLine.args);
  form.settings = commandLine.settings;
  form.FormCreate();
  // A picture that cannot be opened ends the run: recognising the blank start-up page
  // instead would report success with an empty text.
  if (!form.OpenPic(commandLine.args[0])) return 1;
  form.Timer1Timer();
  std::string error;
  if (!form.WriteOutputText(commandLine.args[1], &error)) {
    err << "quillon: " << error << std::endl;
    return 1;
  }
  return 0;
}
