#include "core/Modules.h"
#include "output/FormatModule.h"

namespace {

struct LoadedModule {
  const FormatModuleWriters* writers = nullptr;
  std::string error;
};

LoadedModule Load() {
  LoadedModule loaded;
  std::string why;
  loaded.writers = static_cast<const FormatModuleWriters*>(
      LoadModuleEntry(kFormatModuleFile, QUILLON_FORMAT_MODULE, kFormatWritersSymbol, &why));
  if (!loaded.writers) loaded.error = "the hOCR, ALTO and PDF writers cannot be loaded: " + why;
  return loaded;
}

}  // namespace

const FormatModuleWriters* LoadFormatWriters(std::string* error) {
  static const LoadedModule loaded = Load();  // once, also when threads ask at once
  if (!loaded.writers) *error = loaded.error;
  return loaded.writers;
}
