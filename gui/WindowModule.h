// The seam between the program and its window module (libquillon_window.so).
#pragma once

struct CommandLine;

constexpr const char* kWindowModuleFile = "libquillon_window.so";
constexpr const char* kRunWindowSymbol = "QuillonRunWindow";

// Runs the window until it is closed; returns the program's exit status.
using RunWindowFunction = int(int argc, char** argv, const CommandLine& commandLine);
extern "C" RunWindowFunction QuillonRunWindow;
