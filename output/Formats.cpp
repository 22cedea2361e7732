#include "output/Formats.h"

#include <iostream>
#include <iterator>

#include "core/AtomicFile.h"
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

DocumentWriter::DocumentWriter(OutputFormat format, std::string fileName, std::string pictureName,
                               std::string sourcePdf)
    : format_(format),
      fileName_(std::move(fileName)),
      pictureName_(std::move(pictureName)),
      sourcePdf_(std::move(sourcePdf)) {}

DocumentWriter::~DocumentWriter() = default;

bool DocumentWriter::Begin(std::string* error) {
  file_ = std::make_unique<AtomicFileWrite>();
  if (fileName_ == "-") {
    file_->BeginStandardOutput();
    return true;
  }
  return file_->Begin(fileName_, error);
}

bool DocumentWriter::AddPage(DocumentPage page, std::string* error) {
  if (format_ == OutputFormat::Pdf && sourcePdf_.empty()) {
    if (!pdf_) {
      const FormatModuleWriters* module = LoadFormatWriters(error);
      if (!module || !Begin(error)) return false;
      pdf_.reset(module->pdfFromPictures(file_->Fd(), error));
      if (!pdf_) return false;
    }
    return pdf_->AddPage(page, error);
  }
  page.picture = nullptr;  // the picture belongs to the page being read, not to the output
  // Text takes the output field's text alone; a thousand pages keep no more than that.
  if (format_ == OutputFormat::Text) {
    std::string why = std::move(page.text.noTextReason);
    page.text = PageText{};
    page.text.noTextReason = std::move(why);
  }
  pages_.push_back(std::move(page));
  return true;
}

bool DocumentWriter::Finish(std::string* error) {
  if (format_ == OutputFormat::Pdf && sourcePdf_.empty()) {
    if (!pdf_) {
      *error = "a PDF needs at least one page";
      return false;
    }
    return pdf_->Finish(error) && file_->Commit(error);
  }
  const FormatModuleWriters* module = nullptr;
  if (format_ == OutputFormat::Hocr || format_ == OutputFormat::Alto ||
      format_ == OutputFormat::Pdf) {
    module = LoadFormatWriters(error);
    if (!module) return false;
  }
  std::string content;
  switch (format_) {
    case OutputFormat::Text:
      content = TextDocument(pages_);
      break;
    case OutputFormat::Hocr:
      content = module->hocr(pages_, pictureName_);
      break;
    case OutputFormat::Alto:
      content = module->alto(pages_, pictureName_);
      break;
    case OutputFormat::Tsv:
      content = TsvDocument(pages_);
      break;
    case OutputFormat::Pdf:
      return Begin(error) && module->pdfWithText(sourcePdf_, pages_, file_->Fd(), error) &&
             file_->Commit(error);
  }
  return WriteOutputFile(fileName_, content, error);
}

bool WriteDocument(OutputFormat format, const std::vector<DocumentPage>& pages,
                   const std::string& fileName, const std::string& pictureName,
                   std::string* error) {
  DocumentWriter writer(format, fileName, pictureName, "");
  for (const DocumentPage& page : pages)
    if (!writer.AddPage(page, error)) return false;
  return writer.Finish(error);
}
