// The writers that need big libraries (libxml2 for hOCR and ALTO, PoDoFo for PDF) live in
// a module that a run loads only when it writes one of their formats: loading those
// libraries at every start would cost a one-page run a tenth of its time.
#pragma once

#include <string>
#include <vector>

#include "output/Formats.h"

struct FormatModuleWriters {
  std::string (*hocr)(const std::vector<DocumentPage>& pages, const std::string& pictureName);
  std::string (*alto)(const std::vector<DocumentPage>& pages, const std::string& pictureName);
  bool (*pdf)(const std::vector<DocumentPage>& pages, std::string* pdf, std::string* error);
};

// The module's one entry point.
extern "C" const FormatModuleWriters* QuillonFormatWriters();
constexpr char kFormatWritersSymbol[] = "QuillonFormatWriters";
constexpr char kFormatModuleFile[] = "libquillon_formats.so";

// The module's writers, loaded at the first call from the installed tree or the build tree
// the program is in (the module's folder seen from the program's). Null with the reason in
// *error when the module cannot be loaded.
const FormatModuleWriters* LoadFormatWriters(std::string* error);
