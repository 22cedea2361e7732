// Fitting the recognised lines into the output field, and saving its text.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "core/PdfPages.h"
#include "core/RasterPages.h"
#include "output/DoubtfulWords.h"
#include "output/LineFitting.h"
#include "output/SaveFiles.h"
#include "platform/Fonts.h"

namespace fs = std::filesystem;

namespace {

// The output field's font: Arial, 11 pixels character height, regular.
LogFont OutputFieldFont() {
  LogFont font;
  font.height = -11;
  font.weight = 400;
  font.faceName = "Arial";
  return font;
}

// "Save text as...": the formats in the order of OutputFormat.
constexpr const char* kSaveTextFilter =
    "Text files (*.txt)|*.txt|hOCR files (*.hocr)|*.hocr|ALTO XML files (*.xml)|*.xml|"
    "TSV files (*.tsv)|*.tsv|Searchable PDF files (*.pdf)|*.pdf";
constexpr int32_t kFormatCount = 5;

// Without the font, indentation still needs a width; 3 pixels is the font's blank.
constexpr int32_t kFallbackCharWidth = 3;

std::vector<std::string> OutputLines(const WindowInterface& window) {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < window.OutputCount(); ++i) lines.push_back(window.OutputLine(i));
  return lines;
}

}  // namespace

void TMainForm::Lines2Textfield() {
  Log("Fitting found texts to textfield...");
  SortLinesIntoRows(lines);
  const double factor = ColumnWidthFactor(settings.KoorFakEd);
  const std::unique_ptr<PlatformFont> font(PlatformFont::Create(OutputFieldFont()));
  const MeasureText measure = [&font](std::string_view text) {
    return font ? font->TextWidth(std::string(text)) : int32_t(text.size()) * kFallbackCharWidth;
  };
  std::vector<RowPiece> pieces;
  const std::vector<std::string> laidOut = LayOutRows(lines, factor, measure, &pieces);
  // The other outputs take their words from the page result: the same words in the same
  // order as the output field's rows.
  SetClassicPageText(RowLines(laidOut, pieces, lines, lineChars));
  std::vector<std::string> rows;
  for (const std::string& row : laidOut) rows.push_back(Cp1252ToUtf8(row));
  ShowOutputLines(rows);
  Log("done.");
}

void TMainForm::ShowOutputLines(const std::vector<std::string>& lines) {
  window.OutputBeginUpdate();
  window.OutputClear();
  for (const std::string& line : lines) window.OutputAdd(line);
  window.OutputEndUpdate();
  recognisedText = JoinLines(lines);
}

void TMainForm::KoorFakEdChange() {
  ShowRecognisedText();
}

void TMainForm::SaveTextBtnClick() {
  std::string name;
  int32_t filterIndex = 1;
  if (!window.SaveFileDialog(kSaveTextFilter, &name, &filterIndex)) return;
  OutputFormat format = OutputFormat(std::clamp(filterIndex, 1, kFormatCount) - 1);
  // A name ending in another format's extension asks for that format.
  std::string extension = fs::path(name).extension().string();
  for (char& c : extension) c = char(std::tolower(uint8_t(c)));
  for (int32_t i = 0; i < kFormatCount; ++i)
    if (extension == FormatExtension(OutputFormat(i))) format = OutputFormat(i);
  name = WithDefaultExtension(name, FormatExtension(format));
  std::string error;
  if (!WriteOutputDocument(format, name, &error))
    window.MessageBox(error, "Error while saving " + name + "!", MessageIcon::Error,
                      MessageButtons::Ok);
}

void TMainForm::SaveWordBtnClick() {
  std::string name;
  int32_t filterIndex = 1;
  if (!window.SaveFileDialog("Word files (*.doc)|*.doc", &name, &filterIndex)) return;
  name = WithDefaultExtension(name, ".doc");
  std::string error;
  if (!WriteFileReplacing(name, LinesToRtf(OutputLines(window)), &error)) {
    window.MessageBox(error, "Error while saving " + name + "!", MessageIcon::Error,
                      MessageButtons::Ok);
    return;
  }
  if (openWordFileAfterCreation && !window.ShellOpen(name))
    window.MessageBox("No program could be started to open " + name + ".",
                      "Error while opening " + name + "!", MessageIcon::Error, MessageButtons::Ok);
}

DocumentPage TMainForm::RecognisedPage() const {
  DocumentPage page;
  page.text = pageText;
  page.picture = &picture;
  page.textField = recognisedText;
  // A page result without its size (a run that recorded nothing) takes the picture's.
  if (page.text.width <= 0 || page.text.height <= 0) {
    page.text.width = DIBWidth(picture);
    page.text.height = DIBHeight(picture);
  }
  return page;
}

DocumentPage TMainForm::OutputDocumentPage() const {
  DocumentPage page = RecognisedPage();
  page.textField = JoinLines(OutputLines(window));  // as the user may have edited it
  return page;
}

namespace {

// The pages read from the PDF `source` as the PDF writer lays them over it: where each
// picture read lies on its page, and what becomes of the page's own text, as for a page
// the command line reads as a picture (app/PictureRun.cpp).
bool PagesOverPdf(const std::string& source, std::vector<DocumentPage>* pages, std::string* error) {
  const PdfModule* pdf = LoadPdfModule(error);
  if (!pdf) return false;
  for (DocumentPage& page : *pages) {
    PdfPageFacts facts;
    if (!pdf->pageFacts(source.c_str(), page.pdfPage, &facts, error)) return false;
    page.place = facts.place;
    page.replacesText = facts.hasText && facts.invisibleTextOnly;
    page.keepsPage = facts.hasText && !facts.invisibleTextOnly;
  }
  return true;
}

}  // namespace

bool TMainForm::WriteOutputDocument(OutputFormat format, const std::string& fileName,
                                    std::string* error) {
  // A PDF's searchable PDF is that PDF with a layer, as the command line writes it.
  if (format == OutputFormat::Pdf && IsPdfFile(pictureName.c_str())) {
    std::vector<DocumentPage> pages;
    if (readPages.empty()) {
      pages.push_back(OutputDocumentPage());
      pages.back().picture = nullptr;
      pages.back().pdfPage = pageIndex;
    }
    for (const ReadPage& read : readPages) {
      pages.push_back(DocumentPage{read.text, nullptr, ""});
      pages.back().pdfPage = read.page;
    }
    if (!PagesOverPdf(pictureName, &pages, error)) return false;
    DocumentWriter writer(format, fileName, pictureName, pictureName);
    for (DocumentPage& page : pages)
      if (!writer.AddPage(std::move(page), error)) return false;
    return writer.Finish(error);
  }
  if (readPages.empty() || format == OutputFormat::Text)
    return WriteDocument(format, {OutputDocumentPage()}, fileName, pictureName, error);
  // The pages read together; a PDF shows their pictures, opened again one by one.
  std::vector<DocumentPage> pages;
  std::vector<RasterImage> pictures(readPages.size(), RasterImage{});
  bool opened = true;
  for (size_t i = 0; i < readPages.size(); ++i) {
    pages.push_back(DocumentPage{readPages[i].text, nullptr, ""});
    if (format != OutputFormat::Pdf || !opened) continue;
    OpenDibPage(&pictures[i], pictureName.c_str(), readPages[i].page,
                int64_t(settings.maxMegapixels) * 1000000, true);
    opened = pictures[i].pixels != nullptr;
    if (!opened)
      *error = "page " + std::to_string(readPages[i].page + 1) + ": " + DIBErrorText(pictures[i]);
    pages.back().picture = &pictures[i];
  }
  const bool written = opened && WriteDocument(format, pages, fileName, pictureName, error);
  for (RasterImage& picture : pictures) deldib(&picture);
  return written;
}

void TMainForm::MarkDoubtfulWords() {
  // The words that settled the page, if it was settled: a word they know is likelier right.
  const KnownWords* words = pageWords.Empty() ? nullptr : &pageWords;
  window.OutputMarkWords(FindDoubtfulWords(OutputLines(window), pageText, words));
}
