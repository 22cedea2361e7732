// The page result as plain text (Windows-1252): the blocks one after another in reading
// order with a blank line between them, a line break after each line, a blank between words.
#pragma once

#include <string>

#include "recognition/PageText.h"

std::string PlainText(const PageText& page);
