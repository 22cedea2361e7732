#include "output/Formats.h"

#include <iostream>
#include <iterator>

#include "output/FormatModule.h"
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

namespace {

// Name and extension of each format, in the order of OutputFormat.
struct FormatFacts {
  const char* name;
  const char* extension;
};
constexpr FormatFacts kFormats[] = {
    {"text", ".txt"}, {"hocr", ".hocr"}, {"alto", ".xml"}, {"tsv", ".tsv"}, {"pdf", ".pdf"}};

const FormatFacts& FactsOf(OutputFormat format) {
  const size_t index = size_t(format);
  return index < std::size(kFormats) ? kFormats[index] : kFormats[0];
}

}  // namespace

const char* FormatExtension(OutputFormat format) {
  return FactsOf(format).extension;
}

const char* FormatName(OutputFormat format) {
  return FactsOf(format).name;
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
  const FormatModuleWriters* module = nullptr;
  if (format == OutputFormat::Hocr || format == OutputFormat::Alto || format == OutputFormat::Pdf) {
    module = LoadFormatWriters(error);
    if (!module) return false;
  }
  switch (format) {
    case OutputFormat::Text:
      content = TextDocument(pages);
      break;
    case OutputFormat::Hocr:
      content = module->hocr(pages, pictureName);
      break;
    case OutputFormat::Alto:
      content = module->alto(pages, pictureName);
      break;
    case OutputFormat::Tsv:
      content = TsvDocument(pages);
      break;
    case OutputFormat::Pdf:
      if (!module->pdf(pages, &content, error)) return false;
      break;
  }
  return WriteOutputFile(fileName, content, error);
}
