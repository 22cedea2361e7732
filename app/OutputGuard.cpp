#include "app/OutputGuard.h"

#include <sys/stat.h>

#include "core/OverwriteGuard.h"

namespace {

// One text file per run: several pictures want a folder for their texts.
constexpr const char* kSeveralPictures =
    " To recognise several pictures, name a folder for their texts with --output-dir.";

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

std::string OutputRefusal(const std::string& picture, const std::string& output) {
  ProtectFromOverwrite(picture);
  const std::string refusal = OverwriteRefusal(output);
  if (refusal.empty() || SameFile(picture, output)) return refusal;
  return refusal + kSeveralPictures;
}
