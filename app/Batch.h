// A batch: many pictures, each to DIR/NAME.EXT, read by worker processes side by side.
//   quillon [OPTIONS] --output-dir=DIR PICTURE...      (or --list=FILE, "-": standard input)
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct CommandLine;

// The batch's exit statuses (also those of a single run).
constexpr int kExitAllRead = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitBadCommandLine = 2;

// Whether the command line asks for a batch (an output folder or a list).
bool IsBatch(const CommandLine& commandLine);

// The output file of a picture in the output folder: DIR/NAME.EXT, NAME being the
// picture's file name without its extension ("stdin" for "-").
std::string BatchOutputName(const std::string& outputDir, const std::string& picture,
                            const std::string& extension);

// Runs the batch; messages and progress go to `err`. Returns an exit status above.
int RunBatch(const CommandLine& commandLine, std::ostream& err);
