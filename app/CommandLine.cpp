#include "app/CommandLine.h"

#include <iostream>

#include "app/HeadlessWindow.h"
#include "app/Options.h"
#include "app/OutputGuard.h"

namespace {

bool HasText(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (line.find_first_not_of(" \t") != std::string::npos) return true;
  return false;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* commandLine,
                      std::string* error) {
  commandLine->programFile = argc > 0 ? argv[0] : "quillon";
  bool optionsEnded = false;  // after "--" every word is an argument, as with any Unix tool
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && arg == "-h") {
      commandLine->help = true;
      continue;
    }
    if (optionsEnded || arg.rfind("--", 0) != 0) {
      commandLine->args.push_back(arg);
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    const OptionSpec* spec = FindOption(name);
    const bool flag = spec && spec->kind == OptionKind::Flag;
    if (!spec || flag != (eq == std::string::npos)) {
      *error = "unknown option: " + arg + " (see --help)";
      return false;
    }
    OptionValue parsed;
    if (!ParseOptionValue(*spec, value, &parsed)) {
      *error = "invalid value for " + name + ": \"" + value + "\" (see --help)";
      return false;
    }
    spec->store(*commandLine, parsed);
  }
  return true;
}

std::string UsageText() {
  return "Usage: quillon [OPTIONS] [--] [PICTURE [OUTPUT [-exit]]]\n"
         "\n"
         "Optical character recognition of printed pages.\n"
         "\n"
         "  quillon                  open the window\n"
         "  quillon PICTURE          open the window with PICTURE\n"
         "  quillon PICTURE OUTPUT   recognise PICTURE without a window and write its text\n"
         "                           to OUTPUT as UTF-8 (\"-\" for standard output)\n"
         "\n"
         "Options:\n" +
         OptionsHelp();
}

std::string VersionText() {
  return std::string(kProductCaption) + "\n";
}

int RunAutomatic(const CommandLine& commandLine, std::ostream& err) {
  const std::string& picture = commandLine.args[0];
  const std::string& output = commandLine.args[1];
  // Checked before anything runs: the user's picture must survive a mistyped command line.
  const std::string refusal = OutputRefusal(picture, output);
  if (!refusal.empty()) {
    err << "quillon: " << refusal << std::endl;
    return 1;
  }
  HeadlessWindow window;
  window.drawsPageView = false;  // nothing shows it
  if (commandLine.log) window.logSink = &err;
  window.messageSink = &err;
  TMainForm form(window, commandLine.programFile, commandLine.args);
  form.settings = commandLine.settings;
  form.FormCreate();
  // A picture that cannot be opened ends the run: recognising the blank start-up page
  // instead would report success with an empty text.
  if (!form.OpenPic(picture)) return 1;
  const int32_t pages = PictureFilePageCount(picture);
  if (pages > 1)
    err << "quillon: \"" << picture << "\" holds " << pages << " pages; only the first is read."
        << std::endl;
  form.Timer1Timer();
  std::string error;
  if (!form.WriteOutputDocument(commandLine.format, output, &error)) {
    err << "quillon: " << error << std::endl;
    return 1;
  }
  if (!HasText(window.output))
    err << "quillon: no text was found on \"" << picture << "\"; the output is empty." << std::endl;
  return 0;
}
