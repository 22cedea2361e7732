// WindowInterface: what the logic needs of a window, and nothing more. The Qt window
// (gui/) implements it for people; HeadlessWindow (app/) for the command line and tests.
// All texts crossing this interface are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Canvas.h"
#include "output/OutputMark.h"

enum class CursorKind { Default, SizeWE, SizeNS, SizeNWSE, SizeNESW };

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No, Cancel };

// Pages of the page control, by index.
constexpr int kPageScanDocument = 0;
constexpr int kPageOutputText = 1;
constexpr int kPageOtherSettings = 2;

class WindowInterface {
 public:
  virtual ~WindowInterface() = default;

  // ---- log (Memo1) ----
  virtual void LogAdd(const std::string& line) = 0;
  virtual int32_t LogCount() const = 0;
  virtual std::string LogLine(int32_t index) const = 0;
  virtual void LogSetLine(int32_t index, const std::string& line) = 0;
  virtual void LogClear() = 0;

  // ---- output field (RichEdit1) ----
  virtual void OutputBeginUpdate() = 0;  // batch: no redraw until OutputEndUpdate
  virtual void OutputEndUpdate() = 0;
  virtual void OutputClear() = 0;
  virtual void OutputAdd(const std::string& line) = 0;
  virtual int32_t OutputCount() const = 0;
  virtual std::string OutputLine(int32_t index) const = 0;
  virtual void OutputSetLine(int32_t index, const std::string& line) = 0;
  // Marks doubtful words for proofreading: the field shows them in a colour (unless the
  // user switched the marks off). New marks replace the old; clearing the field drops them.
  virtual void OutputMarkWords(const std::vector<OutputMark>& marks) = 0;

  // ---- page view (PaintBox1) and histogram box (PaintBox2) ----
  virtual Canvas& PaintBox1Canvas() = 0;
  virtual int32_t PaintBox1Width() const = 0;
  virtual int32_t PaintBox1Height() const = 0;
  // Resizing the page view makes it paint itself again later (RepaintPaintBox1).
  virtual void SetPaintBox1Size(int32_t width, int32_t height) = 0;
  virtual void RepaintPaintBox1() = 0;  // asks for a repaint (PaintBox1Paint runs later)
  virtual Canvas& PaintBox2Canvas() = 0;
  virtual void RepaintPaintBox2() = 0;
  // Scrolls the page view so that the area (page-view pixels, right and bottom excluded)
  // is seen.
  virtual void ShowPageViewArea(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
  virtual void SetPageViewCursor(CursorKind cursor) = 0;
  virtual void CaptureMouse(bool capture) = 0;

  // ---- page control, caption, end ----
  virtual void SetActivePage(int32_t index) = 0;
  virtual int32_t ActivePage() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void RequestClose() = 0;  // ends the program once the current event is done

  // ---- dialogs ----
  virtual MessageResult MessageBox(const std::string& text, const std::string& title,
                                   MessageIcon icon, MessageButtons buttons) = 0;
  // filter: "Caption|*.EXT;*.EXT|Caption|*.EXT..." as the program writes it. Returns false
  // when cancelled.
  virtual bool OpenFileDialog(const std::string& filter, std::string* fileName) = 0;
  // filterIndex: in and out, 1-based entry of the filter. The dialog asks before
  // replacing an existing file.
  virtual bool SaveFileDialog(const std::string& filter, std::string* fileName,
                              int32_t* filterIndex) = 0;
  // The "Lernen" dialog: asks for a character. Returns false on Cancel.
  virtual bool EnterCharDialog(std::string* text) = 0;

  // The scanner choice: shows the devices (names and descriptions) and returns the index
  // chosen, or -1 when cancelled.
  virtual int32_t ChooseScannerDialog(const std::vector<std::string>& devices) = 0;

  // ---- event loop and shell ----
  // Posts the scan message: WMUser2 with `scanId` runs later on the window's thread.
  virtual void PostScanMessage(int32_t scanId) = 0;
  // Lets pending window events run. Cheap to call very often.
  virtual void ProcessMessages() = 0;
  // Opens a file with the desktop's default program. Returns false when it could not start.
  virtual bool ShellOpen(const std::string& path) = 0;
};
