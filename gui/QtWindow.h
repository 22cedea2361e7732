// QtWindow: the main window of Quillon on a desktop. It implements the window interface
// for TMainForm and only shows and forwards: every control keeps the form's settings in
// step, every button calls the form's handler, and the page view and histogram box show
// the canvases the logic draws into.
//
// Long operations (the OCR run, the object search, the developer recognisers) let events
// run in the middle of their loops. While one is running, the cancel button and the view
// controls work, but operations that would replace the lists or pictures the running one
// is walking (opening, rotating, recognising again, ...) are refused with a beep, a scan
// message waits for the end of the run, and closing the window cancels the run and closes
// when it has stopped.
//
// The window guards the user's text: before recognised text that was not saved, or was
// edited by hand, is thrown away (a new run, a new picture, leaving, a new column width
// over edits) it asks whether to save it first; a cancelled run leaves the text as it was.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QTextCursor>
#include <QTextEdit>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/WindowInterface.h"
#include "gui/DocumentText.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QToolButton;
class QWidget;
class PaintBoxWidget;
class TAboutBox;
class TEntercharForm;
class TMainForm;

class QtWindow : public QMainWindow, public WindowInterface {
  Q_OBJECT

 public:
  explicit QtWindow(QWidget* parent = nullptr);
  ~QtWindow() override;

  // Connects the form (not owned; null detaches it). The widgets take the form's settings.
  void Attach(TMainForm* form);
  TMainForm* Form() const { return form_; }

  // Every log line is also written here (the --log option).
  std::ostream* logSink = nullptr;

  // True while one of the form's operations runs.
  bool Busy() const { return busyDepth_ > 0; }

  // ---- the controls, named as the program names them ----
  QTabWidget* PageControl1;
  PaintBoxWidget* PaintBox1;
  QScrollArea* ScrollBox1;
  PaintBoxWidget* PaintBox2;
  QPlainTextEdit* Memo1;
  QPlainTextEdit* RichEdit1;
  QSpinBox* SchwellEd;
  QSpinBox* ZoomEd;
  QSpinBox* MinObjSizeED;
  QCheckBox* BildFilterCheck;
  QComboBox* RecogniserBox;  // "Recogniser:" classic / extended
  QSlider* TrackBar1;
  QDoubleSpinBox* KoorFakEd;
  QCheckBox* OpenWordCheck;
  QCheckBox* MarkWordsCheck;     // shows the doubtful words' colour
  QComboBox* ReadingOrderCombo;  // "Reading order:" Automatic, page, columns
  QCheckBox* DictionaryCheck;    // "Settle doubtful characters with the word list"
  QLineEdit* LanguagesEdit;      // "Languages:" the page's languages, "deu+eng"
  QPushButton* OpenPicsBtn;
  QPushButton* SavePicBtn;
  QPushButton* PicEditBtn;
  QMenu* PicEditMenu;
  QPushButton* RenderBlackWhiteBtn;
  QPushButton* FindCharsBtn;
  QPushButton* TextErkennBtn;
  QPushButton* BreakBtn;
  QToolButton* SourceBtn;
  QToolButton* ScanBtn;
  QScrollArea* LeftPanel;      // the work column, scrolled when the window is low
  QSplitter* ViewSplitter;     // the page view above the log
  QListWidget* PageList;       // the pages of a document; hidden for a single page
  QComboBox* ReadPagesCombo;   // "Read:" all pages or the pages selected in PageList
  QProgressBar* ReadProgress;  // busy and per-page progress; hidden when idle
  QLabel* BusyLabel;           // what the program is busy with
  QWidget* PageRow;            // "Page 1 of 3" with previous and next; hidden for a single page
  QLabel* PageLabel;
  QPushButton* PrevPageBtn;
  QPushButton* NextPageBtn;
  QPushButton* SaveBtn;
  QPushButton* SaveRTFBtn;
  QToolButton* InfoBtn;
  QToolButton* ImageBtn1;
  QToolButton* endebtn;
  QWidget* Panel1;
  QSpinBox* lineed;
  QLabel* Label1;
  QLabel* Label2;
  QProgressBar* ProgressBar1;
  TEntercharForm* EntercharForm;
  TAboutBox* AboutBox;

  // ---- WindowInterface ----
  void LogAdd(const std::string& line) override;
  int32_t LogCount() const override { return int32_t(log_.size()); }
  std::string LogLine(int32_t index) const override;
  void LogSetLine(int32_t index, const std::string& line) override;
  void LogClear() override;
  void OutputBeginUpdate() override;
  void OutputEndUpdate() override;
  void OutputClear() override;
  void OutputAdd(const std::string& line) override;
  int32_t OutputCount() const override;
  std::string OutputLine(int32_t index) const override;
  void OutputSetLine(int32_t index, const std::string& line) override;
  void OutputMarkWords(const std::vector<OutputMark>& marks) override;
  Canvas& PaintBox1Canvas() override;
  int32_t PaintBox1Width() const override;
  int32_t PaintBox1Height() const override;
  void SetPaintBox1Size(int32_t width, int32_t height) override;
  void RepaintPaintBox1() override;
  Canvas& PaintBox2Canvas() override;
  void RepaintPaintBox2() override;
  void ShowPageViewArea(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  void SetPageViewCursor(CursorKind cursor) override;
  void CaptureMouse(bool capture) override;
  void SetActivePage(int32_t index) override;
  int32_t ActivePage() const override;
  void SetCaption(const std::string& caption) override;
  void RequestClose() override;
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

  // True while the output field holds recognised text that was not saved since it was
  // read or edited.
  bool TextUnsaved() const { return textUnsaved_; }
  // Asks before unsaved text is thrown away (Save, Discard, Cancel): true when it may go.
  bool MayDiscardText();

  // The output field's context menu at `at` (viewport pixels; the caller owns it): "Show on
  // page" and, on a doubtful word, up to five corrections from the page's languages, each
  // replacing the word as an edit of the user's.
  QMenu* OutputContextMenu(const QPoint& at);

  // Shows the developer panel (the key combination Ctrl+Shift+D toggles it).
  void SetDeveloperPanelVisible(bool visible);

 protected:
  void showEvent(QShowEvent* event) override;
  // A picture file dropped onto the window is opened.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Drops on the output field and Ctrl+wheel on the page view.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Kind { Plain, Exclusive };
  // Runs one of the form's operations. An Exclusive one is refused while another runs.
  void Run(Kind kind, const std::function<void()>& operation);
  void AfterOperation();
  // Runs a handler of the form; a failure it throws becomes a message box.
  void Guarded(const std::function<void()>& operation);
  void ShowDeveloperReadouts();
  void ShowPageRow();
  void ShowPageList();
  // A new page or picture is shown from its top-left corner.
  void ScrollToNewPage();

  // ---- gui/WindowDocument.cpp: reading documents, guarding the text ----
  // "Start text OCR...": reads the pages chosen (all, or those selected) one after
  // another and shows the whole text; a cancel keeps the text shown before.
  void ReadDocument();
  std::vector<int32_t> PagesToRead() const;
  // The page just read, as the output field and the form hold it.
  PageRead CurrentPageRead(int32_t page) const;
  void ShowDocument(const std::vector<PageRead>& pages);
  void OpenDroppedPicture(const std::string& name);
  // After a new picture was opened: the old one's text and pages go.
  void ForgetTextOfOldPicture();
  // Saves the text through "Save text as..."; true when it was written.
  bool SaveTextForQuestion();
  void SaveOutput(const std::function<void()>& save);
  void BeginBusy(const QString& what, int32_t steps);
  void StepBusy(int32_t done, const QString& what);
  void EndBusy();
  // The column width field shows `text` again without fitting.
  void RestoreColumnWidthText(const QString& text);
  void SettingsToWidgets();
  void KoorFakEdTextChanged(const QString& text);
  void RewriteOutput();
  // Makes the field's stretches of marks_, then shows them.
  void SelectMarks();
  // Colours the marked words in the field, or none when MarkWordsCheck is off.
  void ShowMarks();
  const std::vector<std::string>& OutputLines() const;
  // Shows the word at `cursor` on the page view (app/ finds it and its page).
  void ShowWordOnPage(const QTextCursor& cursor);
  // The doubtful word of markSelections_ at a position of the field; -1 where none is.
  int MarkAt(int position) const;

  QWidget* BuildScanPage();
  QWidget* BuildWorkColumn(QWidget* page);  // the left of the scan page, picture to text
  QGroupBox* BuildPictureBox(QWidget* column);
  QGroupBox* BuildBlackWhiteBox(QWidget* column);
  QGroupBox* BuildRecognitionBox(QWidget* column);
  QSplitter* BuildViewSplitter(QWidget* page);  // the pages and the page view above the log
  void ConnectPageView();
  QWidget* BuildOutputPage();
  QPlainTextEdit* BuildOutputField(QWidget* page);  // RichEdit1 with its context menu
  QWidget* BuildSettingsPage();
  QWidget* BuildRecogniserBox(QWidget* page);
  QWidget* BuildReadingBox(QWidget* page);
  QWidget* BuildDeveloperPanel();
  QWidget* BuildBar();
  QWidget* BuildPageArea(QWidget* parent);
  void BuildShortcuts();
  // The folder of the last file opened or saved, and the name a save dialog suggests.
  QString LastFolder() const;
  void RememberFolder(const QString& file);
  QString SuggestedName() const;
  // Tells the user when xdg-open found no program for `path` (the manual: shows it here).
  void WatchShellOpen(const QString& path, const QString& statusFile);
  void ShowManualHere(const QString& path);

  TMainForm* form_ = nullptr;
  QLineEdit* koorFakEdit_ = nullptr;  // the text of KoorFakEd
  QString lastKoorFakText_;           // the column width text last fitted with
  int busyDepth_ = 0;
  bool closeAfterRun_ = false;
  bool refitAfterRun_ = false;
  std::vector<int32_t> pendingScans_;
  std::chrono::steady_clock::time_point lastPump_{};

  std::vector<std::string> log_;
  // The output field's lines as the program last wrote them; rebuilt from the widget after
  // the user edits it.
  mutable std::vector<std::string> output_;
  mutable bool outputStale_ = false;
  bool outputBatch_ = false;
  bool writingOutput_ = false;
  std::vector<OutputMark> marks_;  // the doubtful words, as the program marked them
  // Their stretches of the field; the cursors follow the user's edits.
  QList<QTextEdit::ExtraSelection> markSelections_;

  bool textUnsaved_ = false;  // the field's text was not saved since it was read or edited
  bool textEdited_ = false;   // the user edited the field since the program wrote it
  // The pages the field's text was read from; the column width fits them again only while
  // it is the one page whose lines the form still holds.
  std::vector<PageRead> document_;
  bool linesMatchText_ = true;
  // A save started by the question: the dialog was confirmed, no error was shown.
  bool saveConfirmed_ = false;
  bool saveFailed_ = false;
  bool busyShown_ = false;
  int leftPanelScroll_ = 0;  // where the work column stood before the progress was shown
  // The picture shown, to see when a new one comes (its scroll starts at the top).
  const void* shownPixels_ = nullptr;
  int32_t shownPage_ = -1;
};
