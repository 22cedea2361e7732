// File-dialog texts of picture intake, shared by the logic and the Qt window.
#pragma once

#include <cstdint>
#include <string>

// Filter of the open dialog ("Open picture...").
extern const char* const kOpenPictureFilter;

// The save dialog's filter has entries 1 ... kSaveFilterEntries (GetDIBSaveFilter); entry
// k writes SaveDib's format code k + 2.
constexpr int32_t kSaveFilterEntries = 11;
inline int32_t SaveFormatCode(int32_t filterIndex) {
  return filterIndex + 2;
}

// Extension appended to a saved picture's name that has none, by the save dialog's filter
// index 1 ... 11 (the order of GetDIBSaveFilter). Entry 0 is unused.
extern const char* const kSaveExtensions[kSaveFilterEntries + 1];

// The name under which a picture is saved: `name` itself when its file part has an
// extension, else `name` + the table's extension for filterIndex (unchanged when the
// index is outside 1 ... 11).
std::string SavePictureName(const std::string& name, int32_t filterIndex);
