#include "app/HeadlessWindow.h"

#include <ostream>

HeadlessWindow::HeadlessWindow() = default;

HeadlessWindow::~HeadlessWindow() {
  FlushLog();
}

void HeadlessWindow::FlushLog() {
  if (logSink && unwrittenLogLine_ >= 0 && unwrittenLogLine_ < LogCount())
    *logSink << log[size_t(unwrittenLogLine_)] << std::endl;
  unwrittenLogLine_ = -1;
}

void HeadlessWindow::LogClear() {
  FlushLog();
  log.clear();
}

void HeadlessWindow::LogAdd(const std::string& line) {
  FlushLog();
  log.push_back(line);
  unwrittenLogLine_ = LogCount() - 1;
}

std::string HeadlessWindow::LogLine(int32_t index) const {
  return index >= 0 && index < LogCount() ? log[size_t(index)] : std::string();
}

void HeadlessWindow::LogSetLine(int32_t index, const std::string& line) {
  if (index < 0 || index >= LogCount()) return;
  log[size_t(index)] = line;
}

std::string HeadlessWindow::OutputLine(int32_t index) const {
  return index >= 0 && index < OutputCount() ? output[size_t(index)] : std::string();
}

void HeadlessWindow::OutputSetLine(int32_t index, const std::string& line) {
  if (index >= 0 && index < OutputCount()) output[size_t(index)] = line;
}

void HeadlessWindow::SetPaintBox1Size(int32_t width, int32_t height) {
  if (drawsPageView) {
    paintBox1.SetSize(width, height);
  } else {
    unseenPageView.width = width;
    unseenPageView.height = height;
  }
  ++paintBox1Repaints;
}

MessageResult HeadlessWindow::MessageBox(const std::string& text, const std::string& title,
                                         MessageIcon icon, MessageButtons buttons) {
  FlushLog();  // keeps the sink's log and messages in the order they happened
  messages.push_back({text, title, icon});
  if (messageSink) *messageSink << (title.empty() ? "" : title + ": ") << text << std::endl;
  if (buttons == MessageButtons::Ok) return MessageResult::Ok;
  if (messageAnswers.empty()) return MessageResult::No;
  MessageResult answer = messageAnswers.front();
  messageAnswers.pop_front();
  return answer;
}

bool HeadlessWindow::OpenFileDialog(const std::string&, std::string* fileName) {
  if (openAnswers.empty()) return false;
  *fileName = openAnswers.front();
  openAnswers.pop_front();
  return !fileName->empty();
}

bool HeadlessWindow::SaveFileDialog(const std::string&, std::string* fileName,
                                    int32_t* filterIndex) {
  if (saveAnswers.empty()) return false;
  *fileName = saveAnswers.front().fileName;
  *filterIndex = saveAnswers.front().filterIndex;
  saveAnswers.pop_front();
  return true;
}

bool HeadlessWindow::EnterCharDialog(std::string* text) {
  if (enterCharAnswers.empty()) return false;
  *text = enterCharAnswers.front();
  enterCharAnswers.pop_front();
  return true;
}

int32_t HeadlessWindow::ChooseScannerDialog(const std::vector<std::string>&) {
  if (scannerAnswers.empty()) return -1;
  int32_t answer = scannerAnswers.front();
  scannerAnswers.pop_front();
  return answer;
}

void HeadlessWindow::PostScanMessage(int32_t scanId) {
  std::lock_guard lock(scanMutex);
  postedScans.push_back(scanId);
}

void HeadlessWindow::ProcessMessages() {
  if (onProcessMessages) onProcessMessages();
  // Deliver posted scan messages as a window's event loop would.
  while (onScanMessage) {
    int32_t id;
    {
      std::lock_guard lock(scanMutex);
      if (postedScans.empty()) break;
      id = postedScans.front();
      postedScans.erase(postedScans.begin());
    }
    onScanMessage(id);
  }
}

bool HeadlessWindow::ShellOpen(const std::string& path) {
  shellOpened.push_back(path);
  return shellOpenSucceeds;
}
