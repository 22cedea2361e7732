// The word list "german.spe": a front-coded list of Windows-1252 words.
#pragma once

#include <string>

#include "core/DynaArray.h"

// Decodes the file and appends its words (malloc'd, NUL-terminated) to `list`. A missing
// or unreadable file leaves the list unchanged.
void OpenWordList(const std::string& fileName, TDynaArray<char*>& list);
