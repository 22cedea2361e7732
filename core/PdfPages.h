// Pages of PDF documents, read as pictures wherever a picture is read. Poppler and QPDF do
// the reading; they live in a module (libquillon_pdf.so) that a run loads only when it
// meets a PDF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Pix;

// A scan's page is read at the resolution of its image; a page of other content is
// rendered at the resolution scanners are most often set to.
constexpr int32_t kPdfRenderDpi = 300;

// Where the picture read from a page lies on it: a rectangle of the page in points of its
// default user space (y up), shown turned by `rotation` degrees clockwise (the page's
// /Rotate), as a viewer shows it and the picture holds it.
struct PdfPagePlace {
  double left = 0, bottom = 0, right = 0, top = 0;
  int32_t rotation = 0;  // 0, 90, 180 or 270
};

// What a page holds, as far as reading it goes.
struct PdfPageFacts {
  PdfPagePlace place;              // of the picture that readPage gives
  bool oneImage = false;           // the page is one image, read as it is stored
  bool hasText = false;            // the page carries text of its own
  bool invisibleTextOnly = false;  // all its text is invisible: an earlier OCR's text layer
};

// A word of a page's own text; its box in points from the top left corner of the page as
// shown (turned by its /Rotate).
struct PdfWord {
  std::string utf8;
  double left = 0, top = 0, right = 0, bottom = 0;
};

struct PdfPageText {
  double width = 0, height = 0;  // of the page as shown, in points
  std::vector<PdfWord> words;    // in the order of the page's text
  std::string text;              // the page's text laid out as on the page (UTF-8)
};

// The module's functions. Each takes the file's name and a page from 0, and fails with a
// sentence for the user in *error (an encrypted or damaged document, a page too large).
struct PdfModule {
  // The number of pages; 0 when the document cannot be read.
  int32_t (*pageCount)(const char* fileName, std::string* error);
  bool (*pageFacts)(const char* fileName, int32_t page, PdfPageFacts* facts, std::string* error);
  // The page's picture: its image when it is one, else rendered at kPdfRenderDpi; a page of
  // more than maxPixels pixels is refused before its pixels are made. Null on failure.
  Pix* (*readPage)(const char* fileName, int32_t page, int64_t maxPixels, std::string* error);
  bool (*pageText)(const char* fileName, int32_t page, PdfPageText* text, std::string* error);
};

// The module's one entry point.
extern "C" const PdfModule* QuillonPdfModule();
constexpr char kPdfModuleSymbol[] = "QuillonPdfModule";
constexpr char kPdfModuleFile[] = "libquillon_pdf.so";

// Whether the file is a PDF: "%PDF-" within its first kilobyte, as readers accept it.
bool IsPdfFile(const char* fileName);
bool IsPdfBytes(const uint8_t* bytes, size_t size);

// The module, loaded at the first call. Null with the reason in *error.
const PdfModule* LoadPdfModule(std::string* error);
