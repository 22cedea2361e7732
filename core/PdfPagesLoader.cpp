#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/Modules.h"
#include "core/PdfPages.h"

namespace {

// Readers find the header within the first kilobyte; some files carry a few bytes first.
constexpr size_t kPdfHeaderWindow = 1024;

struct LoadedModule {
  const PdfModule* module = nullptr;
  std::string error;
};

LoadedModule Load() {
  LoadedModule loaded;
  std::string why;
  loaded.module = static_cast<const PdfModule*>(
      LoadModuleEntry(kPdfModuleFile, QUILLON_PDF_MODULE, kPdfModuleSymbol, &why));
  if (!loaded.module) loaded.error = "PDF documents cannot be read here: " + why;
  return loaded;
}

}  // namespace

bool IsPdfBytes(const uint8_t* bytes, size_t size) {
  const size_t window = std::min(size, kPdfHeaderWindow);
  for (size_t i = 0; i + 5 <= window; ++i)
    if (std::memcmp(bytes + i, "%PDF-", 5) == 0) return true;
  return false;
}

bool IsPdfFile(const char* fileName) {
  struct stat info {};
  if (!fileName || stat(fileName, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(fileName, "rb"), &std::fclose);
  if (!f) return false;
  uint8_t head[kPdfHeaderWindow];
  const size_t got = std::fread(head, 1, sizeof head, f.get());
  return IsPdfBytes(head, got);
}

const PdfModule* LoadPdfModule(std::string* error) {
  static const LoadedModule loaded = Load();  // once, also when threads ask at once
  if (!loaded.module) *error = loaded.error;
  return loaded.module;
}
