// Modules that the program loads only when a run needs their big libraries (the writers of
// hOCR, ALTO and PDF; the reading of PDFs): loading those libraries at every start would
// cost a one-page run a tenth of its time.
#pragma once

#include <string>

// Loads `fileName` from the module folder seen from the program's own folder (the build
// tree and an installed tree alike), else from `installedPath`, and returns its entry
// `symbol` called once. Null with the reason in *error when either cannot be found.
const void* LoadModuleEntry(const char* fileName, const char* installedPath, const char* symbol,
                            std::string* error);
