// The output formats of a recognised document: plain text, hOCR, ALTO XML, TSV and a
// searchable PDF, written from the page results (and, for the PDF, the pictures).
#pragma once

#include <string>
#include <vector>

#include <memory>

#include "core/PdfPages.h"
#include "core/RasterImage.h"
#include "recognition/PageText.h"

enum class OutputFormat { Text, Hocr, Alto, Tsv, Pdf };

// One page of a document as the writers take it.
struct DocumentPage {
  PageText text;                         // the page result (Windows-1252 characters)
  const RasterImage* picture = nullptr;  // the page's picture; the PDF needs it
  std::string textField;                 // the output field's text (UTF-8), for Text
  // A page read from a PDF: its page there (from 0) and where the picture read lies on it.
  int32_t pdfPage = -1;
  PdfPagePlace place = {};
  // The PDF page stays as it is, without a layer: its own text was taken, or (read with
  // --force-ocr) the text it shows serves search and copy, which a layer would double.
  bool keepsPage = false;
  bool replacesText = false;  // the PDF page's invisible text (an earlier OCR's) goes
};

// The file name extension of each format, with its dot: ".txt", ".hocr", ".xml", ".tsv",
// ".pdf".
const char* FormatExtension(OutputFormat format);
// The name of each format as the command line spells it: "text", "hocr", ...
const char* FormatName(OutputFormat format);

class AtomicFileWrite;
class PdfPageWriter;
class PageStream;

// Writes a document to `fileName` ("-": standard output) page by page, as it is read: each
// page is written when it comes (a PDF made from pictures with its picture), so that a
// document of any length needs the memory of one page. `sourcePdf` names the PDF the pages
// were read from, which a PDF output keeps with its text laid over it ("" for pictures);
// that one keeps the pages' results (no pictures) until Finish. Nothing appears under
// `fileName` before Finish succeeds.
class DocumentWriter {
 public:
  DocumentWriter(OutputFormat format, std::string fileName, std::string pictureName,
                 std::string sourcePdf);
  ~DocumentWriter();
  DocumentWriter(const DocumentWriter&) = delete;
  DocumentWriter& operator=(const DocumentWriter&) = delete;

  bool AddPage(DocumentPage page, std::string* error);
  bool Finish(std::string* error);

 private:
  bool Begin(std::string* error);
  bool BeginStream(std::string* error);

  OutputFormat format_;
  std::string fileName_, pictureName_, sourcePdf_;
  std::vector<DocumentPage> pdfPages_;  // of a PDF laid over its source
  std::unique_ptr<AtomicFileWrite> file_;
  std::unique_ptr<PdfPageWriter> pdf_;
  std::unique_ptr<PageStream> stream_;
};

// Writes the pages in `format` to `fileName` ("-": standard output). `pictureName` names
// the picture in the formats that record it (hOCR, ALTO). A file is replaced only by a
// complete new one. Returns false with a description in *error when the document cannot
// be made or written (a PDF page without a picture, a full disc, ...).
bool WriteDocument(OutputFormat format, const std::vector<DocumentPage>& pages,
                   const std::string& fileName, const std::string& pictureName, std::string* error);
