#include "app/PictureRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/PdfTextPage.h"
#include "core/PdfPages.h"
#include "core/RasterPages.h"

RunOutputs::RunOutputs(OutputFormat format, const std::string& output,
                       const std::string& pictureName, const std::string& pictureFile,
                       const std::string& sidecar) {
  const bool keepsDocument = format == OutputFormat::Pdf && IsPdfFile(pictureFile.c_str());
  output_ = std::make_unique<DocumentWriter>(format, output, pictureName,
                                             keepsDocument ? pictureFile : "");
  if (!sidecar.empty())
    sidecar_ = std::make_unique<DocumentWriter>(OutputFormat::Text, sidecar, pictureName, "");
}

bool RunOutputs::AddPage(DocumentPage page, std::string* error) {
  hasText_ = hasText_ || page.textField.find_first_not_of(" \t\n\f") != std::string::npos;
  if (noTextReason_.empty()) noTextReason_ = page.text.noTextReason;
  if (sidecar_ && !sidecar_->AddPage(page, error)) return false;
  return output_->AddPage(std::move(page), error);
}

bool RunOutputs::Finish(std::string* error) {
  return output_->Finish(error) && (!sidecar_ || sidecar_->Finish(error));
}

namespace {

// Reports a page that cannot be read as opening a picture reports it (the message box
// reaches the user in a single run, the batch's report in a batch).
bool PageFailed(HeadlessWindow& window, const std::string& picture, int32_t page,
                const std::string& why, std::string* error) {
  window.MessageBox(why, "Error while opening " + picture + "!", MessageIcon::Error,
                    MessageButtons::Ok);
  *error = page > 0 ? "page " + std::to_string(page + 1) + ": " + why : why;
  return false;
}

// Whether a PDF page that carries text is taken as it stands rather than read.
bool TakesOwnText(const PdfPageFacts& facts, const DocumentChoices& choices) {
  return facts.hasText && !choices.forceOcr && !(choices.redoText && facts.invisibleTextOnly);
}

// Reads one page into *read: a PDF page's own text, or the page recognised as a picture.
// *installed says whether the form holds a page of this run already.
bool ReadOnePage(TMainForm& form, HeadlessWindow& window, const std::string& picture, int32_t page,
                 int32_t pages, const PdfModule* pdf, const DocumentChoices& choices,
                 bool* installed, DocumentPage* read, std::string* error) {
  PdfPageFacts facts;
  std::string why;
  if (pdf && !pdf->pageFacts(picture.c_str(), page, &facts, &why))
    return PageFailed(window, picture, page, why, error);
  if (pdf && TakesOwnText(facts, choices)) {
    PdfPageText text;
    if (!pdf->pageText(picture.c_str(), page, &text, &why))
      return PageFailed(window, picture, page, why, error);
    *read = PdfTextPage(text);
  } else {
    const size_t messages = window.messages.size();
    // A page that cannot be opened ends the picture: recognising the page before it
    // again would report success with a wrong text. So the page before, read already,
    // gives its memory up before the next is decoded: two pages never take it at once.
    if (*installed) deldib(&form.picture);
    form.pageCount = pages;
    if (!form.OpenPicPage(picture, page)) {
      *error = window.messages.size() > messages ? window.messages.back().text
                                                 : "The picture could not be opened.";
      if (page > 0) *error = "page " + std::to_string(page + 1) + ": " + *error;
      return false;
    }
    *installed = true;
    form.Timer1Timer();
    *read = form.RecognisedPage();
    read->replacesText = facts.hasText && facts.invisibleTextOnly;
    read->keepsPage = facts.hasText && !facts.invisibleTextOnly;  // read by --force-ocr
  }
  if (pdf) {
    read->pdfPage = page;
    read->place = facts.place;
  }
  return true;
}

}  // namespace

bool RecognisePicture(TMainForm& form, HeadlessWindow& window, const std::string& picture,
                      const DocumentChoices& choices,
                      const std::function<void(int32_t page, int32_t pages)>& onPage,
                      RunOutputs* outputs, std::string* error) {
  const std::future<void> meanwhile = form.PrepareRecogniser(TMainForm::Preparation::Meanwhile);
  const PdfModule* pdf = nullptr;
  std::string why;
  if (IsPdfFile(picture.c_str()) && !(pdf = LoadPdfModule(&why)))
    return PageFailed(window, picture, 0, why, error);
  const int32_t pages = DIBPageCount(picture.c_str());
  int32_t page = choices.pages.Next(0, pages);
  if (page >= pages)
    return PageFailed(
        window, picture, 0,
        "The file has none of the pages asked for (it has " + std::to_string(pages) + ").", error);
  bool installed = false;
  for (; page < pages; page = choices.pages.Next(page + 1, pages)) {
    if (onPage) onPage(page, pages);
    DocumentPage read;
    if (!ReadOnePage(form, window, picture, page, pages, pdf, choices, &installed, &read, error) ||
        !outputs->AddPage(std::move(read), error))
      return false;
  }
  return true;
}

namespace {

// As for a picture file (core/RasterFiles.cpp): no picture the library can hold needs more.
constexpr uint64_t kMaxStreamedBytes = uint64_t(4) << 30;

// Copies everything from `in` to `out`; false with errno set on failure.
bool CopyStream(int in, int out, std::string* error) {
  char buffer[1 << 16];
  uint64_t total = 0;
  for (;;) {
    const ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) return true;
    if (got < 0) {
      *error = std::strerror(errno);
      return false;
    }
    total += uint64_t(got);
    if (total > kMaxStreamedBytes) {
      *error = "more than 4 GiB, too large for a picture";
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t n = write(out, buffer + done, size_t(got - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        *error = std::strerror(n < 0 ? errno : EIO);
        return false;
      }
      done += n;
    }
  }
}

}  // namespace

bool IsStreamedPicture(const std::string& name) {
  struct stat info {};
  return name == "-" || (::stat(name.c_str(), &info) == 0 && S_ISFIFO(info.st_mode));
}

StreamedPicture::~StreamedPicture() {
  if (fd_ >= 0) close(fd_);
}

bool StreamedPicture::Take(const std::string& source, std::string* error) {
  const std::string what = source == "-" ? "standard input" : "\"" + source + "\"";
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir && *dir ? dir : "/tmp") + "/quillon-stdin-XXXXXX";
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) {
    *error = "cannot keep " + what + " in a temporary file: " + std::strerror(errno);
    return false;
  }
  unlink(name.c_str());  // the descriptor keeps it
  fileName_ = "/proc/self/fd/" + std::to_string(fd_);
  const int in = source == "-" ? STDIN_FILENO : open(source.c_str(), O_RDONLY | O_CLOEXEC);
  std::string why = in < 0 ? std::strerror(errno) : "";
  const bool ok = in >= 0 && CopyStream(in, fd_, &why);
  if (in >= 0 && in != STDIN_FILENO) close(in);
  if (!ok) *error = "cannot read the picture from " + what + ": " + why;
  return ok;
}
