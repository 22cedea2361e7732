// Messages of the libraries the program uses (Leptonica's "Error in ...", a JPEG decoder's
// warning about a picture it still reads): they reach standard error only when the user
// asks for the log (--log), never in the middle of a run's own output otherwise.
#pragma once

#include <iosfwd>
#include <string>

// Where library messages go from now on; null (the default): nowhere. Safe from any thread.
void ShowLibraryMessages(std::ostream* sink);

// Shows library messages on `sink` while it lives (a run with --log), nowhere after.
class LibraryMessagesShown {
 public:
  explicit LibraryMessagesShown(std::ostream* sink) { ShowLibraryMessages(sink); }
  ~LibraryMessagesShown() { ShowLibraryMessages(nullptr); }
  LibraryMessagesShown(const LibraryMessagesShown&) = delete;
  LibraryMessagesShown& operator=(const LibraryMessagesShown&) = delete;
};

// Hands one message to the sink, as a line of its own.
void LibraryMessage(const std::string& text);

// Routes Leptonica's messages here; called by everything that uses Leptonica first
// (and at start-up), harmless when repeated.
void RouteLeptonicaMessages();
