// The single run's check of its output before anything runs: the overwrite guard
// (core/OverwriteGuard.h), worded for "quillon PICTURE OUTPUT".
#pragma once

#include <string>

// Marks `picture` as the run's input, then: empty when `output` may receive its text; else
// the message that says why not.
std::string OutputRefusal(const std::string& picture, const std::string& output);
