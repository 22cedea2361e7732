// The command line: options (beginning with "--") and arguments.
//   quillon                       the window
//   quillon PICTURE               the window, which opens PICTURE at its first showing
//   quillon PICTURE OUTPUT [-exit] the automatic run without a window: OUTPUT gets the text
//   quillon --output-dir=DIR PICTURE...  a batch (app/Batch.h)
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/MainUnit.h"
#include "app/PageSelection.h"
#include "app/PictureRun.h"
#include "output/Formats.h"

struct CommandLine {
  std::string programFile;                   // argument 0
  std::vector<std::string> args;             // the arguments that are not options
  Settings settings;                         // defaults changed by the options
  OutputFormat format = OutputFormat::Text;  // --format: what OUTPUT gets
  bool log = false;                          // --log: log lines to standard error
  bool help = false;
  bool version = false;
  // A batch (app/Batch.h).
  std::string outputDir;      // --output-dir: each picture's output goes there
  std::string listFile;       // --list: picture names one a line ("-": standard input)
  int32_t jobs = 0;           // --jobs: pictures read at once; 0: one per core
  bool skipExisting = false;  // --skip-existing: leave out pictures whose output exists
  int32_t pageTimeout = 60;   // --page-timeout: seconds before a page is given up
  // Documents.
  PageSelection pages;    // --pages: the pages read (none named: all)
  bool redoText = false;  // --redo-text: an earlier OCR's invisible text is replaced
  bool forceOcr = false;  // --force-ocr: pages that carry text are read as pictures too
  std::string sidecar;    // --sidecar: the plain text also goes there
};

// Parses argv. Returns false with a message in *error for an unknown option or a value
// out of range or not a number.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine* commandLine,
                      std::string* error);

// The page's languages whose dictionaries are not installed, named on `err` with their
// Debian packages when the run consults them (the extended recogniser with its word list):
// the run goes on without them. False when none of the languages is left, which refuses
// the command line. `folders`: where dictionaries are looked for (DictionaryFolders()).
bool CheckLanguages(const Settings& settings, const std::vector<std::string>& folders,
                    std::ostream& err);

// The command line's choices of what a run does with a document's pages.
DocumentChoices Choices(const CommandLine& commandLine);

std::string UsageText();
std::string VersionText();

// The automatic run: opens args[0] ("-": standard input), recognises every page of it and
// writes the output field's text of each to args[1] ("-" is standard output), a form feed
// between pages. Returns the exit status: 0 on success, 1 when the picture cannot be
// opened or the text cannot be written.
int RunAutomatic(const CommandLine& commandLine, std::ostream& err);
