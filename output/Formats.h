// The output formats of a recognised document: plain text, hOCR, ALTO XML, TSV and a
// searchable PDF, written from the page results (and, for the PDF, the pictures).
#pragma once

#include <string>
#include <vector>

#include "core/RasterImage.h"
#include "recognition/PageText.h"

enum class OutputFormat { Text, Hocr, Alto, Tsv, Pdf };

// One page of a document as the writers take it.
struct DocumentPage {
  PageText text;                         // the page result (Windows-1252 characters)
  const RasterImage* picture = nullptr;  // the page's picture; the PDF needs it
  std::string textField;                 // the output field's text (UTF-8), for Text
};

// The file name extension of each format, with its dot: ".txt", ".hocr", ".xml", ".tsv",
// ".pdf".
const char* FormatExtension(OutputFormat format);
// The name of each format as the command line spells it: "text", "hocr", ...
const char* FormatName(OutputFormat format);

// Writes the pages in `format` to `fileName` ("-": standard output). `pictureName` names
// the picture in the formats that record it (hOCR, ALTO). A file is replaced only by a
// complete new one. Returns false with a description in *error when the document cannot
// be made or written (a PDF page without a picture, a full disc, ...).
bool WriteDocument(OutputFormat format, const std::vector<DocumentPage>& pages,
                   const std::string& fileName, const std::string& pictureName, std::string* error);
