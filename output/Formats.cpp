#include "output/Formats.h"

#include <iostream>

#include "output/FormatWriters.h"
#include "output/SaveFiles.h"

namespace {

// Every format's file goes through here, so that one place decides how files are written.
bool WriteOutputFile(const std::string& fileName, const std::string& content, std::string* error) {
  if (fileName == "-") {
    std::cout.write(content.data(), std::streamsize(content.size()));
    std::cout.flush();
    if (!std::cout) *error = "cannot write to standard output";
    return bool(std::cout);
  }
  return WriteFileReplacing(fileName, content, error);
}

}  // namespace

const char* FormatExtension(OutputFormat format) {
  switch (format) {
    case OutputFormat::Text:
      return ".txt";
    case OutputFormat::Hocr:
      return ".hocr";
    case OutputFormat::Alto:
      return ".xml";
    case OutputFormat::Tsv:
      return ".tsv";
    case OutputFormat::Pdf:
      return ".pdf";
  }
  return ".txt";
}

const char* FormatName(OutputFormat format) {
  switch (format) {
    case OutputFormat::Text:
      return "text";
    case OutputFormat::Hocr:
      return "hocr";
    case OutputFormat::Alto:
      return "alto";
    case OutputFormat::Tsv:
      return "tsv";
    case OutputFormat::Pdf:
      return "pdf";
  }
  return "text";
}

std::string TextDocument(const std::vector<DocumentPage>& pages) {
  std::string text;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) text += '\f';
    text += pages[i].textField;
  }
  return text;
}

bool WriteDocument(OutputFormat format, const std::vector<DocumentPage>& pages,
                   const std::string& fileName, const std::string& pictureName,
                   std::string* error) {
  std::string content;
  switch (format) {
    case OutputFormat::Text:
      content = TextDocument(pages);
      break;
    case OutputFormat::Hocr:
      content = HocrDocument(pages, pictureName);
      break;
    case OutputFormat::Alto:
      content = AltoDocument(pages, pictureName);
      break;
    case OutputFormat::Tsv:
      content = TsvDocument(pages);
      break;
    case OutputFormat::Pdf:
      if (!PdfDocument(pages, &content, error)) return false;
      break;
  }
  return WriteOutputFile(fileName, content, error);
}
