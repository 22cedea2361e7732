// Opening and saving picture files. (Being built.)
#include <cstring>
#include "core/RasterImage.h"

void OpenDib(RasterImage* out, const char*, int32_t, void*) {
  std::memset(out, 0, sizeof(*out));
  DIBSetErrorText(*out, "Picture files cannot be read yet.");
}
bool SaveDib(const RasterImage&, const char*, int32_t, void*, std::string* error) {
  if (error) *error = "not yet";
  return false;
}
const char* GetDIBSaveFilter() {
  return "";
}
