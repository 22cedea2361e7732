#include "app/PictureRun.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "output/SaveFiles.h"

bool RecognisePicture(TMainForm& form, HeadlessWindow& window, const std::string& picture,
                      const std::function<void(int32_t page, int32_t pages)>& onPage,
                      std::vector<std::string>* pageTexts, std::string* error) {
  pageTexts->clear();
  form.KeepTemplateSet();  // rendered once for all pages (a batch has done so already)
  for (int32_t page = 0; page == 0 || page < form.pageCount; ++page) {
    if (onPage) onPage(page, form.pageCount);
    const size_t messages = window.messages.size();
    // A page that cannot be opened ends the picture: recognising the page before it
    // again would report success with a wrong text.
    const bool opened = page == 0 ? form.OpenPic(picture) : form.OpenPicPage(picture, page);
    if (!opened) {
      *error = window.messages.size() > messages ? window.messages.back().text
                                                 : "The picture could not be opened.";
      if (page > 0) *error = "page " + std::to_string(page + 1) + ": " + *error;
      return false;
    }
    form.Timer1Timer();
    pageTexts->push_back(JoinLines(window.output));
  }
  return true;
}

bool WritePictureText(const std::vector<std::string>& pageTexts, const std::string& fileName,
                      std::string* error) {
  std::string text;
  for (size_t i = 0; i < pageTexts.size(); ++i) text += (i ? "\f" : "") + pageTexts[i];
  if (fileName == "-") {
    std::cout << text << std::flush;
    if (!std::cout) *error = "cannot write to standard output";
    return bool(std::cout);
  }
  return WriteFileReplacing(fileName, text, error);
}

StdinPicture::~StdinPicture() {
  if (!fileName_.empty()) unlink(fileName_.c_str());
}

bool StdinPicture::Take(std::string* error) {
  const char* dir = std::getenv("TMPDIR");
  std::string name = std::string(dir && *dir ? dir : "/tmp") + "/quillon-stdin-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot keep standard input in a temporary file: " + std::string(std::strerror(errno));
    return false;
  }
  fileName_ = name;
  char buffer[1 << 16];
  bool ok = true;
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t n = write(fd, buffer + done, size_t(got - done));
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      done += ok ? n : 0;
    }
    if (!ok) break;
  }
  const int code = errno;
  if (close(fd) != 0) ok = false;
  if (!ok)
    *error = "cannot read the picture from standard input: " + std::string(std::strerror(code));
  return ok;
}
