// Keeps the automatic run from writing its text over a picture: the picture itself, or
// another picture named where the text should go (as with "quillon a.png b.png").
#pragma once

#include <string>

// Empty when `output` may receive the text of `picture`; else the message that says why not.
std::string OutputRefusal(const std::string& picture, const std::string& output);
