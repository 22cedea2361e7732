// Reading the files the program keeps beside the user's pictures (the template cache, word
// lists, learned grids, models): only regular files, and never a wait. A FIFO or a device
// put in such a file's place would otherwise hold up every run that opens it.
#pragma once

#include <cstdint>
#include <string>

// Opens `path` for reading when it is a regular file, without blocking on the way (a FIFO
// is refused at once). Returns the descriptor (blocking again, close-on-exec), or -1 with a
// sentence in *error that names the file.
int OpenRegularFile(const std::string& path, std::string* error);

// Reads the whole regular file `path` into *content; refuses one larger than maxBytes.
// False with a sentence in *error on any failure.
bool ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string* content,
                     std::string* error);
