#include "output/Formats.h"

#include <iterator>
#include <memory>

#include "core/AtomicFile.h"
#include "output/FormatModule.h"
#include "output/FormatWriters.h"

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

namespace {

class TextStream : public PageStream {
 public:
  std::string Page(const DocumentPage& page) override {
    return (pages_++ > 0 ? "\f" : "") + page.textField;
  }
  std::string End() override { return ""; }

 private:
  int pages_ = 0;
};

}  // namespace

PageStream* NewTextStream() {
  return new TextStream();
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

bool DocumentWriter::BeginStream(std::string* error) {
  if (format_ == OutputFormat::Hocr || format_ == OutputFormat::Alto) {
    const FormatModuleWriters* module = LoadFormatWriters(error);
    if (!module) return false;
    stream_.reset(format_ == OutputFormat::Hocr ? module->hocr(pictureName_)
                                                : module->alto(pictureName_));
  } else {
    stream_.reset(format_ == OutputFormat::Tsv ? NewTsvStream() : NewTextStream());
  }
  return Begin(error);
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
  if (format_ == OutputFormat::Pdf) {
    // The layer is laid over the source at the end, from the words' places and letters:
    // the picture belongs to the page being read, and the other readings are not needed.
    page.picture = nullptr;
    for (PageBlock& block : page.text.blocks)
      for (PageLine& line : block.lines)
        for (PageWord& word : line.words)
          for (PageChar& c : word.chars) std::vector<Alternative>().swap(c.alternatives);
    pdfPages_.push_back(std::move(page));
    return true;
  }
  // Text formats write each page as it comes: a document of any length keeps none.
  if (!stream_ && !BeginStream(error)) return false;
  return file_->Write(stream_->Page(page), error);
}

bool DocumentWriter::Finish(std::string* error) {
  if (format_ == OutputFormat::Pdf && sourcePdf_.empty()) {
    if (!pdf_) {
      *error = "a PDF needs at least one page";
      return false;
    }
    return pdf_->Finish(error) && file_->Commit(error);
  }
  if (format_ == OutputFormat::Pdf) {
    const FormatModuleWriters* module = LoadFormatWriters(error);
    return module && Begin(error) &&
           module->pdfWithText(sourcePdf_, pdfPages_, file_->Fd(), error) && file_->Commit(error);
  }
  if (!stream_ && !BeginStream(error)) return false;
  return file_->Write(stream_->End(), error) && file_->Commit(error);
}

bool WriteDocument(OutputFormat format, const std::vector<DocumentPage>& pages,
                   const std::string& fileName, const std::string& pictureName,
                   std::string* error) {
  DocumentWriter writer(format, fileName, pictureName, "");
  for (const DocumentPage& page : pages)
    if (!writer.AddPage(page, error)) return false;
  return writer.Finish(error);
}
