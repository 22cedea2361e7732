#include "app/PictureRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <new>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "recognition/GlyphClassifier.h"

namespace {

// A copy of the picture that outlives the form's next page.
std::unique_ptr<RasterImage> CopyOfPicture(const RasterImage& picture) {
  auto copy = std::make_unique<RasterImage>();
  const int32_t bits = DIBBitCount(picture);
  const int32_t colours = bits <= 8 ? 1 << bits : 0;
  newdib(copy.get(), DIBWidth(picture), DIBHeight(picture), bits,
         colours ? picture.header : nullptr, colours);
  if (!copy->pixels) throw std::bad_alloc();
  std::memcpy(copy->pixels, picture.pixels, size_t(picture.stride) * size_t(DIBHeight(picture)));
  std::memcpy(copy->header, picture.header, sizeof(BitmapInfoHeader));  // resolution too
  return copy;
}

}  // namespace

RecognisedDocument::~RecognisedDocument() {
  for (auto& picture : pictures) deldib(picture.get());
}

bool RecognisePicture(TMainForm& form, HeadlessWindow& window, const std::string& picture,
                      OutputFormat format,
                      const std::function<void(int32_t page, int32_t pages)>& onPage,
                      RecognisedDocument* document, std::string* error) {
  // The classic templates, rendered once for all pages (a batch has done so already).
  if (!form.settings.Extended()) form.KeepTemplateSet();
  // The word list loads (and the template faces open, where no model reads) while the first
  // page is decoded.
  std::future<void> faces;
  if (form.settings.Extended()) {
    if (form.settings.UseDictionary()) form.LoadWordLookupMeanwhile();
    if (!form.LoadGlyphNet()) faces = std::async(std::launch::async, GlyphClassifier::OpenFaces);
  }
  for (int32_t page = 0; page == 0 || page < form.pageCount; ++page) {
    if (onPage) onPage(page, form.pageCount);
    const size_t messages = window.messages.size();
    // A page that cannot be opened ends the picture: recognising the page before it
    // again would report success with a wrong text. So the page before, read already,
    // gives its memory up before the next is decoded: two pages never take it at once.
    if (page > 0) deldib(&form.picture);
    const bool opened = page == 0 ? form.OpenPic(picture) : form.OpenPicPage(picture, page);
    if (!opened) {
      *error = window.messages.size() > messages ? window.messages.back().text
                                                 : "The picture could not be opened.";
      if (page > 0) *error = "page " + std::to_string(page + 1) + ": " + *error;
      return false;
    }
    form.Timer1Timer();
    document->pages.push_back(form.OutputDocumentPage());
    document->pages.back().picture = nullptr;  // the form's picture is the next page's soon
    // Text takes the output field's text alone; a thousand pages keep no more than that.
    if (format == OutputFormat::Text) {
      std::string why = std::move(document->pages.back().text.noTextReason);
      document->pages.back().text = PageText{};
      document->pages.back().text.noTextReason = std::move(why);
    }
    if (format == OutputFormat::Pdf) {
      document->pictures.push_back(CopyOfPicture(form.picture));
      document->pages.back().picture = document->pictures.back().get();
    }
  }
  return true;
}

bool WriteRecognisedDocument(OutputFormat format, const RecognisedDocument& document,
                             const std::string& fileName, const std::string& pictureName,
                             std::string* error) {
  return WriteDocument(format, document.pages, fileName, pictureName, error);
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
