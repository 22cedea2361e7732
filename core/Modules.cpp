#include "core/Modules.h"

#include <dlfcn.h>

#include <filesystem>

const void* LoadModuleEntry(const char* fileName, const char* installedPath, const char* symbol,
                            std::string* error) {
  namespace fs = std::filesystem;
  std::error_code noLink;
  const fs::path program = fs::read_symlink("/proc/self/exe", noLink);
  const std::string besideProgram =
      (program.parent_path() / QUILLON_MODULE_FROM_BIN / fileName).lexically_normal();
  void* module = dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) module = dlopen(installedPath, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    *error = dlerror();
    return nullptr;
  }
  using Entry = const void* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, symbol));
  const void* result = entry ? entry() : nullptr;
  if (!result) *error = std::string(fileName) + " is damaged";
  return result;
}
