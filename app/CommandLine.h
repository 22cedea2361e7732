// The command line: options (beginning with "--") and arguments.
//   quillon                       the window
//   quillon PICTURE               the window, which opens PICTURE at its first showing
//   quillon PICTURE OUTPUT [-exit] the automatic run without a window: OUTPUT gets the text
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/MainUnit.h"
#include "output/Formats.h"

struct CommandLine {
  std::string programFile;                   // argument 0
  std::vector<std::string> args;             // the arguments that are not options
  Settings settings;                         // defaults changed by the options
  OutputFormat format = OutputFormat::Text;  // --format: what OUTPUT gets
  bool log = false;                          // --log: log lines to standard error
  bool help = false;
  bool version = false;
};

// Parses argv. Returns false with a message in *error for an unknown option or a value
// out of range or not a number.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* commandLine,
                      std::string* error);

std::string UsageText();
std::string VersionText();

// The automatic run: opens args[0], recognises it and writes the output field's text to
// args[1] ("-" is standard output). Returns the exit status: 0 on success, 1 when the
// picture cannot be opened or the text cannot be written.
int RunAutomatic(const CommandLine& commandLine, std::ostream& err);
