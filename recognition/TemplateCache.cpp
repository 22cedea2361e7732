#include "recognition/TemplateCache.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "core/AtomicFile.h"
#include "core/RegularFiles.h"
#include "platform/Fonts.h"
#include "recognition/Alphabet.h"
#include "recognition/Templates.h"

namespace {

constexpr char kMagic[] = "Quillon classic templates 1\n";
constexpr size_t kCellCount = size_t(kAlphabetSize) * kTemplateFonts * kGridCells;

// A font file as the key names it: a changed or replaced file changes its size or time.
std::string FileStamp(const std::string& file) {
  struct stat status {};
  if (file.empty() || ::stat(file.c_str(), &status) != 0) return "";
  return file + " " + std::to_string(status.st_size) + " " + std::to_string(status.st_mtim.tv_sec) +
         "." + std::to_string(status.st_mtim.tv_nsec);
}

}  // namespace

std::string TemplateCacheFile() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  // XDG base directories ignore relative paths.
  if (cache && cache[0] == '/') return std::string(cache) + "/quillon/classic-templates";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.cache/quillon/classic-templates";
  return "";
}

std::string TemplateCacheKey(const std::vector<std::string>& fontFiles) {
  std::string key = FontEngineVersion() + "\n" + kAlphabet + "\n";
  for (size_t f = 0; f < fontFiles.size(); ++f) {
    const std::string stamp = FileStamp(fontFiles[f]);
    if (stamp.empty()) return "";
    const LogFont description = TemplateFontDescription(int(f) + 1);
    key += description.faceName + " " + std::to_string(description.height) + " " +
           std::to_string(description.weight) + " " + stamp + "\n";
  }
  return key;
}

bool ReadTemplateCache(const std::string& file, const std::string& key, TemplateSet* set) {
  if (file.empty() || key.empty()) return false;
  const std::string header = std::string(kMagic) + key;
  // Only a regular file, opened without waiting: a FIFO in its place would hold up every
  // classic run. A longer file than a whole set is not one of ours.
  std::string content, error;
  if (!ReadRegularFile(file, header.size() + kCellCount, &content, &error) ||
      content.size() != header.size() + kCellCount)
    return false;
  if (content.compare(0, header.size(), header) != 0) return false;
  const char* cells = content.data() + header.size();
  for (size_t i = 0; i < kCellCount; ++i)
    if (uint8_t(cells[i]) != 0 && uint8_t(cells[i]) != 255) return false;
  size_t i = 0;
  for (auto& fonts : set->grids)
    for (GlyphGrid& grid : fonts)
      for (int32_t& cell : grid.cells) cell = uint8_t(cells[i++]);
  return true;
}

void WriteTemplateCache(const std::string& file, const std::string& key, const TemplateSet& set) {
  if (file.empty() || key.empty()) return;
  std::string content = std::string(kMagic) + key;
  for (const auto& fonts : set.grids)
    for (const GlyphGrid& grid : fonts)
      for (int32_t cell : grid.cells) {
        if (cell != 0 && cell != 255) return;  // not a rendered set
        content += char(uint8_t(cell));
      }
  // Only a regular file is replaced: writing into a FIFO there would wait for a reader.
  struct stat status {};
  if (::stat(file.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) return;
  std::error_code noFolder;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), noFolder);
  std::string error;
  WriteFileAtomically(file, content, &error);
}
