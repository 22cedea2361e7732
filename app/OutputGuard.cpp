#include "app/OutputGuard.h"

#include <sys/stat.h>

#include "core/RasterImage.h"

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
  if (output == "-") return "";
  if (SameFile(picture, output))
    return "\"" + output + "\" is the picture itself; its text would replace it.";
  if (LooksLikePictureFile(output))
    return "\"" + output + "\" is a picture; it is not replaced by the text of \"" + picture +
           "\"." + kSeveralPictures;
  return "";
}
