// The one way the program writes a file the user owns (texts, pictures, the learned-grid
// store): the user's data is never lost, whatever fails on the way.
//
// A plain file is replaced whole or not at all: the content goes to a temporary file beside
// it (a short name, so that a target of the longest allowed name still works), is flushed
// to the disk when it replaces a file, and is renamed over the target; the folder is then
// flushed too, so that the rename outlasts a crash. A new file is neither flushed nor is
// its folder: a crash of the machine may lose it, but no data of the user's. The new file
// keeps the permissions (and, where allowed, the owner) of the one it replaces; a new file
// gets 0666 less the umask. On any failure, a full disk or an exceeded file size limit
// (SIGXFSZ) included, the temporary file is removed and the target is as it was.
//
// Other targets behave as users of Unix tools expect:
// - a symbolic link is followed, and its target is replaced (the link stays a link);
// - a FIFO, a terminal or a device such as /dev/null is written into, not replaced;
// - a read-only file is refused, as an editor refuses it; so is a folder;
// - a picture or document the program reads, or a file the run reads, is refused
//   (core/OverwriteGuard.h), also behind a link.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>
#include <string_view>

class FileSizeSignalIgnored;

// A file written piece by piece as described above, for a writer that streams (a PDF page
// by page): Begin, Write or Fd as often as needed, then Commit. Until Commit succeeds the
// target is as it was; destroying an uncommitted write removes its temporary file.
class AtomicFileWrite {
 public:
  AtomicFileWrite();
  ~AtomicFileWrite();
  AtomicFileWrite(const AtomicFileWrite&) = delete;
  AtomicFileWrite& operator=(const AtomicFileWrite&) = delete;

  // What an existing target may be: a picture the user saves from the window may replace
  // a picture, as the save dialog has asked; nothing else may.
  enum class Guard { KeepPictures, MayReplacePicture };
  bool Begin(const std::string& path, std::string* error, Guard guard = Guard::KeepPictures);
  void BeginStandardOutput();
  bool Write(std::string_view content, std::string* error);
  // The descriptor to write into, for a library that writes itself.
  int Fd() const { return fd_; }
  bool Commit(std::string* error);

 private:
  std::string path_, target_, temp_;
  struct stat existing_ {};
  bool replacing_ = false;
  int fd_ = -1;
  std::unique_ptr<FileSizeSignalIgnored> sizeSignal_;
};

// Writes `content` to `path` as described above. On failure returns false with a
// sentence in *error that names the file.
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error);

// WriteFileAtomically without the guard: a picture the user saves from the window may
// replace a picture, as the save dialog has asked.
bool WritePictureFileAtomically(const std::string& path, std::string_view content,
                                std::string* error);

// The file that writing `path` would change: `path` with every symbolic link followed
// (a link to a missing file names that file). Returns `path` itself when it is no link.
std::string ResolveWriteTarget(const std::string& path);
