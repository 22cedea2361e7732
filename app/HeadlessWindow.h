// HeadlessWindow: the window interface without a display, for the command line and the
// tests. The log goes to a line sink (standard error with --log), message boxes to
// standard error, dialogs answer as scripted, canvases draw into memory.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "app/WindowInterface.h"
#include "platform/SoftwareCanvas.h"

// A page view that no one sees (the command line's): it keeps its size and draws nothing,
// so a run costs no page-sized canvas.
class UnseenCanvas : public Canvas {
 public:
  int32_t Width() const override { return width; }
  int32_t Height() const override { return height; }
  void MoveTo(int32_t, int32_t) override {}
  void LineTo(int32_t, int32_t) override {}
  void Rectangle(int32_t, int32_t, int32_t, int32_t) override {}
  void FillRect(int32_t, int32_t, int32_t, int32_t) override {}
  void TextOut(int32_t, int32_t, const std::string&) override {}
  TColor GetPixel(int32_t, int32_t) const override { return clWhite; }
  void SetPixel(int32_t, int32_t, TColor) override {}
  void SetDIBitsToDevice(int32_t, int32_t, const RasterImage&) override {}
  bool StretchDIBits(int32_t, int32_t, int32_t, int32_t, const RasterImage&, int32_t, int32_t,
                     int32_t, int32_t) override {
    return true;
  }
  int32_t width = 0, height = 0;
};

class HeadlessWindow : public WindowInterface {
 public:
  HeadlessWindow();
  ~HeadlessWindow() override;

  // ---- what the window holds, for callers and tests ----
  std::vector<std::string> log;
  std::vector<std::string> output;
  std::vector<OutputMark> outputMarks;  // the doubtful words marked in `output`
  SoftwareCanvas paintBox1;
  // False: the page view is drawn on `unseenPageView` instead of paintBox1 (nothing shows it).
  bool drawsPageView = true;
  UnseenCanvas unseenPageView;
  SoftwareCanvas paintBox2{256, 256};
  int32_t activePage = kPageScanDocument;
  std::string caption;
  bool closeRequested = false;
  CursorKind cursor = CursorKind::Default;
  bool mouseCaptured = false;
  int32_t paintBox1Repaints = 0;
  int32_t paintBox2Repaints = 0;
  std::array<int32_t, 4> shownPageViewArea{};  // the last area asked to be seen
  std::vector<std::string> shellOpened;
  struct Message {
    std::string text, title;
    MessageIcon icon;
  };
  std::vector<Message> messages;

  // ---- scripting ----
  // Every log line is also written here, once it is finished: the last line is held back
  // until the next one starts (or FlushLog), because the recognition run grows its text
  // in the last line.
  std::ostream* logSink = nullptr;
  std::ostream* messageSink = nullptr;       // message boxes are written here
  std::deque<MessageResult> messageAnswers;  // answers to Yes/No boxes (default No)
  std::deque<std::string> openAnswers;       // file names for open dialogs (empty: cancel)
  struct SaveAnswer {
    std::string fileName;
    int32_t filterIndex;
  };
  std::deque<SaveAnswer> saveAnswers;          // answers for save dialogs (none: cancel)
  std::deque<std::string> enterCharAnswers;    // answers for "Lernen" (none: Cancel)
  std::deque<int32_t> scannerAnswers;          // answers for the scanner choice (none: -1)
  std::function<void()> onProcessMessages;     // runs inside ProcessMessages
  std::function<void(int32_t)> onScanMessage;  // delivers the scan message
  std::vector<int32_t> postedScans;            // scan messages posted and not yet delivered
  std::mutex scanMutex;  // guards postedScans: a scan posts from its worker thread
  bool shellOpenSucceeds = true;

 private:
  int32_t unwrittenLogLine_ = -1;  // index of the log line not yet given to logSink

 public:
  // ---- WindowInterface ----
  void LogAdd(const std::string& line) override;
  int32_t LogCount() const override { return int32_t(log.size()); }
  std::string LogLine(int32_t index) const override;
  void LogSetLine(int32_t index, const std::string& line) override;
  void LogClear() override;
  void FlushLog();
  void OutputBeginUpdate() override {}
  void OutputEndUpdate() override {}
  void OutputClear() override {
    output.clear();
    outputMarks.clear();
  }
  void OutputAdd(const std::string& line) override { output.push_back(line); }
  int32_t OutputCount() const override { return int32_t(output.size()); }
  std::string OutputLine(int32_t index) const override;
  void OutputSetLine(int32_t index, const std::string& line) override;
  void OutputMarkWords(const std::vector<OutputMark>& marks) override { outputMarks = marks; }
  Canvas& PaintBox1Canvas() override {
    return drawsPageView ? static_cast<Canvas&>(paintBox1) : unseenPageView;
  }
  int32_t PaintBox1Width() const override {
    return drawsPageView ? paintBox1.Width() : unseenPageView.width;
  }
  int32_t PaintBox1Height() const override {
    return drawsPageView ? paintBox1.Height() : unseenPageView.height;
  }
  void SetPaintBox1Size(int32_t width, int32_t height) override;
  void RepaintPaintBox1() override { ++paintBox1Repaints; }
  Canvas& PaintBox2Canvas() override { return paintBox2; }
  void RepaintPaintBox2() override { ++paintBox2Repaints; }
  void ShowPageViewArea(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
    shownPageViewArea = {left, top, right, bottom};
  }
  void SetPageViewCursor(CursorKind c) override { cursor = c; }
  void CaptureMouse(bool capture) override { mouseCaptured = capture; }
  void SetActivePage(int32_t index) override { activePage = index; }
  int32_t ActivePage() const override { return activePage; }
  void SetCaption(const std::string& text) override { caption = text; }
  void RequestClose() override { closeRequested = true; }
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  bool OpenFileDialog(const std::string& filter, std::string* fileName) override;
  bool SaveFileDialog(const std::string& filter, std::string* fileName,
                      int32_t* filterIndex) override;
  bool EnterCharDialog(std::string* text) override;
  int32_t ChooseScannerDialog(const std::vector<std::string>& devices) override;
  void PostScanMessage(int32_t scanId) override;
  void ProcessMessages() override;
  bool ShellOpen(const std::string& path) override;
};
