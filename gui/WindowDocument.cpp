// The window's reading of whole documents and its guard over the user's text.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "app/MainUnit.h"
#include "gui/QtWindow.h"

namespace {

// The items of ReadPagesCombo.
constexpr int kReadAllPages = 0;
constexpr int kReadSelectedPages = 1;

bool HasText(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    if (line.find_first_not_of(" \t\f") != std::string::npos) return true;
  return false;
}

}  // namespace

std::vector<int32_t> QtWindow::PagesToRead() const {
  if (form_->pageCount <= 1 || form_->pictureName.empty()) return {form_->pageIndex};
  std::vector<int32_t> pages;
  if (ReadPagesCombo->currentIndex() == kReadAllPages) {
    for (int32_t page = 0; page < form_->pageCount; ++page) pages.push_back(page);
    return pages;
  }
  for (const QListWidgetItem* item : PageList->selectedItems())
    pages.push_back(int32_t(PageList->row(item)));
  std::sort(pages.begin(), pages.end());
  if (pages.empty()) pages.push_back(form_->pageIndex);
  return pages;
}

PageRead QtWindow::CurrentPageRead(int32_t page) const {
  return PageRead{page, OutputLines(), marks_, form_->pageText};
}

void QtWindow::ShowDocument(const std::vector<PageRead>& pages) {
  const DocumentText document = CombinePages(pages);
  OutputBeginUpdate();
  OutputClear();
  for (const std::string& line : document.lines) OutputAdd(line);
  OutputEndUpdate();
  OutputMarkWords(document.marks);
}

void QtWindow::ReadDocument() {
  // What the field shows now stays if the run is cancelled.
  const std::vector<std::string> shownLines = OutputLines();
  const std::vector<OutputMark> shownMarks = marks_;
  const bool shownUnsaved = textUnsaved_, shownEdited = textEdited_;
  if (!MayDiscardText()) return;
  const std::vector<int32_t> pages = PagesToRead();
  const PageText shownPageText = form_->pageText;
  BeginBusy("Reading...", int32_t(pages.size() > 1 ? pages.size() : 0));
  Run(Kind::Exclusive, [&] {
    std::vector<PageRead> read;
    bool cancelled = false;
    int32_t unopened = -1;
    linesMatchText_ = false;
    for (size_t i = 0; i < pages.size() && !cancelled; ++i) {
      StepBusy(
          int32_t(i),
          QString("Reading page %1 of %2...").arg(pages[i] + 1).arg(std::max(form_->pageCount, 1)));
      if (pages[i] != form_->pageIndex && !form_->OpenPicPage(form_->pictureName, pages[i])) {
        unopened = pages[i];
        break;
      }
      ShowPageList();
      ScrollToNewPage();
      form_->cancelRequested = false;
      form_->TextErkennBtnClick();
      // A cancel clicked while a page was read without pausing is heard now.
      QCoreApplication::processEvents();
      cancelled = form_->cancelRequested;
      if (!cancelled) read.push_back(CurrentPageRead(pages[i]));
    }
    if (cancelled) {
      OutputBeginUpdate();
      OutputClear();
      for (const std::string& line : shownLines) OutputAdd(line);
      OutputEndUpdate();
      OutputMarkWords(shownMarks);
      form_->pageText = shownPageText;
      textUnsaved_ = shownUnsaved;
      textEdited_ = shownEdited;
      LogAdd("Recognition cancelled: the text read before is kept.");
      return;
    }
    if (unopened >= 0)
      LogAdd("Reading stopped: page " + std::to_string(unopened + 1) + " could not be opened.");
    if (read.empty()) return;
    if (read.size() > 1) ShowDocument(read);
    form_->readPages.clear();
    if (read.size() > 1)
      for (const PageRead& page : read) form_->readPages.push_back({page.page, page.text});
    linesMatchText_ = read.size() == 1;  // the form holds this one page's lines
    document_ = std::move(read);
    textUnsaved_ = HasText(OutputLines());
    textEdited_ = false;
    SetActivePage(kPageOutputText);
  });
  EndBusy();
}

void QtWindow::OpenDroppedPicture(const std::string& name) {
  // After the drop has ended, so that the source does not wait for a question or message.
  QTimer::singleShot(0, this, [this, name] {
    if (!form_) return;
    if (Busy()) {
      QApplication::beep();
      return;
    }
    if (!MayDiscardText()) return;
    Run(Kind::Exclusive, [this, name] {
      if (!form_->OpenPic(name)) return;
      SetActivePage(kPageScanDocument);
      ForgetTextOfOldPicture();
    });
  });
}

void QtWindow::ForgetTextOfOldPicture() {
  // The text belongs to the picture it was read from; the question has been asked.
  if (document_.empty() && !textUnsaved_) return;
  document_.clear();
  form_->readPages.clear();
  OutputClear();
  textUnsaved_ = textEdited_ = false;
  linesMatchText_ = true;
}

bool QtWindow::MayDiscardText() {
  if (!textUnsaved_ || !HasText(OutputLines())) return true;
  QMessageBox box(QMessageBox::Warning, kApplicationTitle,
                  "The recognised text has not been saved.",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setObjectName("DiscardQuestion");
  box.setInformativeText(textEdited_ ? "It holds changes made by hand. Save it first?"
                                     : "Save it first?");
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      SaveOutput([this] { form_->SaveTextBtnClick(); });
      return !textUnsaved_;
    case QMessageBox::Discard:
      textUnsaved_ = textEdited_ = false;
      return true;
    default:
      return false;
  }
}

void QtWindow::SaveOutput(const std::function<void()>& save) {
  saveConfirmed_ = saveFailed_ = false;
  Run(Kind::Plain, save);
  if (!saveConfirmed_ || saveFailed_) return;
  textUnsaved_ = false;
  textEdited_ = false;  // the edits are in the file
}

void QtWindow::BeginBusy(const QString& what, int32_t steps) {
  BusyLabel->setText(what);
  BusyLabel->show();
  ReadProgress->setRange(0, steps);  // 0 steps: busy without a measure
  ReadProgress->setValue(0);
  ReadProgress->show();
  if (!busyShown_) leftPanelScroll_ = LeftPanel->verticalScrollBar()->value();
  LeftPanel->ensureWidgetVisible(ReadProgress);  // also where the column is scrolled
  if (!busyShown_) QApplication::setOverrideCursor(Qt::BusyCursor);
  busyShown_ = true;
  // Seen at once, also before an operation that holds the window.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtWindow::StepBusy(int32_t done, const QString& what) {
  BusyLabel->setText(what);
  if (ReadProgress->maximum() > 0) ReadProgress->setValue(done);
}

void QtWindow::EndBusy() {
  if (!busyShown_) return;
  busyShown_ = false;
  BusyLabel->hide();
  ReadProgress->hide();
  LeftPanel->verticalScrollBar()->setValue(leftPanelScroll_);
  QApplication::restoreOverrideCursor();
}
