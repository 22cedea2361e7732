// One picture from file to output without a window: every page in order, the text of
// each, and the output written whole. The single run and each worker of a batch use it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class HeadlessWindow;
class TMainForm;

// Recognises every page of `picture` with a created form whose window is `window`, and
// gives each page's text (the output field's lines). onPage, when set, hears of each page
// (from 0) before it is read. Returns false with the reason when a page cannot be opened.
bool RecognisePicture(TMainForm& form, HeadlessWindow& window, const std::string& picture,
                      const std::function<void(int32_t page, int32_t pages)>& onPage,
                      std::vector<std::string>* pageTexts, std::string* error);

// Writes the pages' texts to `fileName` ("-": standard output), a form feed between two
// pages, replacing an existing file only once the new one is complete.
bool WritePictureText(const std::vector<std::string>& pageTexts, const std::string& fileName,
                      std::string* error);

// A picture read from standard input ("-") waits in a temporary file while it is read;
// the file goes when this goes.
class StdinPicture {
 public:
  StdinPicture() = default;
  ~StdinPicture();
  StdinPicture(const StdinPicture&) = delete;
  StdinPicture& operator=(const StdinPicture&) = delete;
  // Copies standard input into the temporary file; false with the reason on failure.
  bool Take(std::string* error);
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
};
