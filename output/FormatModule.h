// The writers that need big libraries (libxml2 for hOCR and ALTO, PoDoFo for PDF) live in
// a module that a run loads only when it writes one of their formats: loading those
// libraries at every start would cost a one-page run a tenth of its time.
#pragma once

#include <string>
#include <vector>

#include "output/Formats.h"

// A searchable PDF made from pictures, written page by page into a file descriptor: each
// page's picture is written when the page is added and is not needed afterwards.
class PdfPageWriter {
 public:
  virtual ~PdfPageWriter() = default;
  // False with a description when the page has no picture or the library fails.
  virtual bool AddPage(const DocumentPage& page, std::string* error) = 0;
  virtual bool Finish(std::string* error) = 0;
};

// A document in a text format (text, hOCR, ALTO, TSV) made page by page: each call gives
// the bytes that come next in the file, so that no page needs to be kept.
class PageStream {
 public:
  virtual ~PageStream() = default;
  // The page's bytes; at the first call, what the document puts before its first page too.
  virtual std::string Page(const DocumentPage& page) = 0;
  // What ends the document (with its beginning, where no page came).
  virtual std::string End() = 0;
};

struct FormatModuleWriters {
  // New streams of hOCR and ALTO documents; `pictureName` names the picture in them.
  PageStream* (*hocr)(const std::string& pictureName);
  PageStream* (*alto)(const std::string& pictureName);
  // A new writer of a PDF from pictures into `fd` (which stays the caller's); null with
  // the reason on failure.
  PdfPageWriter* (*pdfFromPictures)(int fd, std::string* error);
  // The PDF `source` written into `fd` with the text of each page read laid invisibly over
  // it (the pages' pdfPage say which); everything else of it stays as it was.
  bool (*pdfWithText)(const std::string& source, const std::vector<DocumentPage>& pages, int fd,
                      std::string* error);
};

// The module's one entry point.
extern "C" const FormatModuleWriters* QuillonFormatWriters();
constexpr char kFormatWritersSymbol[] = "QuillonFormatWriters";
constexpr char kFormatModuleFile[] = "libquillon_formats.so";

// The module's writers, loaded at the first call from the installed tree or the build tree
// the program is in (the module's folder seen from the program's). Null with the reason in
// *error when the module cannot be loaded.
const FormatModuleWriters* LoadFormatWriters(std::string* error);
