// One picture from file to output without a window: every page in order, and the output
// written whole. The single run and each worker of a batch use it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "output/Formats.h"

class HeadlessWindow;
class TMainForm;

// The pages of a recognised picture as the writers take them. A format that shows the
// pictures (the PDF) keeps a copy of each page's picture here.
struct RecognisedDocument {
  RecognisedDocument() = default;
  ~RecognisedDocument();
  RecognisedDocument(const RecognisedDocument&) = delete;
  RecognisedDocument& operator=(const RecognisedDocument&) = delete;

  std::vector<DocumentPage> pages;
  std::vector<std::unique_ptr<RasterImage>> pictures;
};

// Recognises every page of `picture` with a created form whose window is `window`, for an
// output in `format`. onPage, when set, hears of each page (from 0) before it is read.
// Returns false with the reason when a page cannot be opened.
bool RecognisePicture(TMainForm& form, HeadlessWindow& window, const std::string& picture,
                      OutputFormat format,
                      const std::function<void(int32_t page, int32_t pages)>& onPage,
                      RecognisedDocument* document, std::string* error);

// Writes the document in `format` to `fileName` ("-": standard output); `pictureName` is
// the picture as the user named it. A file is replaced only by a complete new one.
bool WriteRecognisedDocument(OutputFormat format, const RecognisedDocument& document,
                             const std::string& fileName, const std::string& pictureName,
                             std::string* error);

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
