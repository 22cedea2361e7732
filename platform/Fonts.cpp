// Fonts over FreeType and fontconfig. (Being built.)
#include "platform/Fonts.h"

PlatformFont* PlatformFont::Create(const LogFont&) {
  return nullptr;
}
PlatformFont::~PlatformFont() = default;
void PlatformFont::TextOut(SoftwareCanvas&, int32_t, int32_t, const std::string&, TColor) const {}
std::vector<LogFont> EnumerateTypefaces() {
  return {};
}
