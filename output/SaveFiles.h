// Writing the output text: the text file, the word file (RTF), and replacing a file only
// once its new content is complete.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Writes `content` to `path` with the program's one atomic writer (core/AtomicFile.h): an
// existing file is replaced only by a complete new one and stays untouched on failure.
bool WriteFileReplacing(const std::string& path, std::string_view content, std::string* error);

// The lines as text: each line followed by a line feed.
std::string JoinLines(const std::vector<std::string>& lines);

// An RTF document holding the lines (UTF-8) as paragraphs in Arial. Characters of
// Windows-1252 beyond ASCII are written as \'xx, others as \uN, and { } \ are escaped.
std::string LinesToRtf(const std::vector<std::string>& lines);

// `name` with `extension` (".txt") appended when it has no extension of its own.
std::string WithDefaultExtension(const std::string& name, const std::string& extension);
