// File-dialog texts of picture intake, shared by the logic and the Qt window.
#pragma once

#include <cstdint>
#include <string>

// Filter of the open dialog ("Open picture...").
extern const char* const kOpenPictureFilter;

// Extension appended to a saved picture's name that has none, by the save dialog's filter
// index 1 ... 11 (the order of GetDIBSaveFilter). Entry 0 is unused.
extern const char* const kSaveExtensions[12];

// The name under which a picture is saved: `name` itself when its file part has an
// extension, else `name` + the table's extension for filterIndex (unchanged when the
// index is outside 1 ... 11).
std::string SavePictureName(const std::string& name, int32_t filterIndex);
