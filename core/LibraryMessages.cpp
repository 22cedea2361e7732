#include "core/LibraryMessages.h"

#include <leptonica/allheaders.h>

#include <mutex>
#include <ostream>

namespace {

std::mutex& SinkMutex() {
  static std::mutex mutex;
  return mutex;
}

std::ostream*& Sink() {
  static std::ostream* sink = nullptr;
  return sink;
}

void FromLeptonica(const char* text) {
  std::string line = text ? text : "";
  while (!line.empty() && line.back() == '\n') line.pop_back();
  LibraryMessage("Leptonica: " + line);
}

// Installed before main: a picture read by the program's own codecs leaves the first
// Leptonica call to a later step.
const bool kRoutedAtStart = (RouteLeptonicaMessages(), true);

}  // namespace

void ShowLibraryMessages(std::ostream* sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  Sink() = sink;
}

void LibraryMessage(const std::string& text) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  if (Sink()) *Sink() << "quillon: " << text << std::endl;
}

void RouteLeptonicaMessages() {
  static const bool routed = [] {
    // Errors only: its warnings are about steps that go on as meant.
    setMsgSeverity(L_SEVERITY_ERROR);
    leptSetStderrHandler(FromLeptonica);
    return true;
  }();
  (void)routed;
  (void)kRoutedAtStart;
}
