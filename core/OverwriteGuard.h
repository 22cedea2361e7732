// Nothing the program writes may replace what the user reads with it: a picture or document
// of a format the program reads (told by its content, whatever its name), nor a file that
// the run reads, nor either of them behind a symbolic link. Every file the program writes
// passes this guard (core/AtomicFile.h); only a picture the user saves from the window may
// replace a picture, as the save dialog has asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The most bytes any format needs to be told by its header (PCX: its 128-byte header).
constexpr size_t kLongestReadableHeader = 128;

// "a PNG picture", "a PDF document", ... when `head` (a file's first bytes, at least
// kLongestReadableHeader of them where the file has so many) begins a file of a format the
// program reads; null otherwise. A PDF that names this program as its creator (in `head` or
// in `tail`, the file's last bytes) is an output of the program's, not the user's document.
const char* ReadableFormatOf(const uint8_t* head, size_t size, std::string_view tail = {});

// The same for a file: null for a file that is not regular or cannot be read.
const char* ReadableFormatOfFile(const std::string& path);

// Marks `path` (whatever it leads to) as read by this run, so that no output replaces it.
// Safe from any thread; a forked worker inherits the marks.
void ProtectFromOverwrite(const std::string& path);

// Empty when writing `path` replaces nothing of the user's; else the sentence that says
// why it is refused. A link is judged by the file it leads to.
std::string OverwriteRefusal(const std::string& path);
