#include <dlfcn.h>

#include <filesystem>

#include "output/FormatModule.h"

namespace {

struct LoadedModule {
  const FormatModuleWriters* writers = nullptr;
  std::string error;
};

LoadedModule Load() {
  namespace fs = std::filesystem;
  std::error_code noLink;
  const fs::path program = fs::read_symlink("/proc/self/exe", noLink);
  const std::string besideProgram =
      (program.parent_path() / QUILLON_MODULE_FROM_BIN / kFormatModuleFile).lexically_normal();
  void* module = dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) module = dlopen(QUILLON_FORMAT_MODULE, RTLD_NOW | RTLD_LOCAL);
  LoadedModule loaded;
  if (!module) {
    loaded.error = std::string("the hOCR, ALTO and PDF writers cannot be loaded: ") + dlerror();
    return loaded;
  }
  using Entry = const FormatModuleWriters* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, kFormatWritersSymbol));
  loaded.writers = entry ? entry() : nullptr;
  if (!loaded.writers) loaded.error = "the module of the hOCR, ALTO and PDF writers is damaged";
  return loaded;
}

}  // namespace

const FormatModuleWriters* LoadFormatWriters(std::string* error) {
  static const LoadedModule loaded = Load();  // once, also when threads ask at once
  if (!loaded.writers) *error = loaded.error;
  return loaded.writers;
}
