// One picture from file to output without a window: every page in order, and the output
// written whole. The single run and each worker of a batch use it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/PageSelection.h"
#include "output/Formats.h"

class HeadlessWindow;
class TMainForm;

// What a run does with the pages of a document (the command line's choices).
struct DocumentChoices {
  PageSelection pages;    // the pages read
  bool redoText = false;  // a PDF page whose text is all invisible is read again
  bool forceOcr = false;  // every PDF page is read as a picture, also one that carries text
};

// Where a run's pages go, each as soon as it is read: the output in its format and, with
// --sidecar, the plain text beside it. A PDF output of a PDF keeps that PDF's pages.
class RunOutputs {
 public:
  RunOutputs(OutputFormat format, const std::string& output, const std::string& pictureName,
             const std::string& pictureFile, const std::string& sidecar);
  bool AddPage(DocumentPage page, std::string* error);
  bool Finish(std::string* error);
  bool HasText() const { return hasText_; }
  // Why the first page without text had none ("" when no page said).
  const std::string& NoTextReason() const { return noTextReason_; }

 private:
  std::unique_ptr<DocumentWriter> output_, sidecar_;
  bool hasText_ = false;
  std::string noTextReason_;
};

// Recognises the chosen pages of `picture` (a picture file or a PDF) with a created form
// whose window is `window`, and hands each to `outputs`. A PDF page that carries text is
// taken as it stands unless the choices say to read it. onPage, when set, hears of each
// page (from 0) before it is read. Returns false with the reason when a page cannot be
// opened or written.
bool RecognisePicture(TMainForm& form, HeadlessWindow& window, const std::string& picture,
                      const DocumentChoices& choices,
                      const std::function<void(int32_t page, int32_t pages)>& onPage,
                      RunOutputs* outputs, std::string* error);

// Whether `name` is a picture read as a stream: standard input ("-") or a FIFO (as a
// shell's "<(...)" gives one).
bool IsStreamedPicture(const std::string& name);

// A streamed picture waits in a temporary file while it is read, so that its pages can be
// read ahead and one at a time. The file has no name from the start: nothing is left
// behind however the program ends (SIGINT, SIGTERM, SIGKILL); FileName() reaches it
// through /proc/self/fd, in this process and in its forked workers.
class StreamedPicture {
 public:
  StreamedPicture() = default;
  ~StreamedPicture();
  StreamedPicture(const StreamedPicture&) = delete;
  StreamedPicture& operator=(const StreamedPicture&) = delete;
  // Copies the stream `source` ("-": standard input) into the temporary file; false with
  // the reason on failure. Waits for a FIFO's writer, as for standard input's.
  bool Take(const std::string& source, std::string* error);
  const std::string& FileName() const { return fileName_; }

 private:
  int fd_ = -1;
  std::string fileName_;
};
