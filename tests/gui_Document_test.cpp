// The window with whole documents and the user's text: the pages read together, the
// question before unsaved text goes, drops on the output field, the fit on a small screen,
// the keyboard, and help without a browser.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QUrl>
#include <fstream>

#include "gui/DocumentText.h"
#include "gui_TestWindow.h"

// gui_DocumentFiles.cpp: the pictures as the pages of one TIFF.
bool WritePagesAsTiff(const std::string& path, const std::vector<std::string>& pictures);

namespace {

TEST(DocumentText, PagesFollowEachOtherWithAFormFeedAndTheirMarksMoveAlong) {
  PageRead first{0, {"eins zwei", "drei"}, {{1, 0, 4}}, {}};
  PageRead empty{1, {}, {}, {}};
  PageRead third{2, {"vier fuenf"}, {{0, 5, 5}}, {}};
  const DocumentText document = CombinePages({first, empty, third});
  const std::vector<std::string> lines = {"eins zwei", "drei", "\f", "\fvier fuenf"};
  EXPECT_EQ(document.lines, lines);
  ASSERT_EQ(document.marks.size(), 2u);
  EXPECT_EQ(document.marks[0], (OutputMark{1, 0, 4}));
  EXPECT_EQ(document.marks[1], (OutputMark{3, 6, 5}));  // after the form feed
  EXPECT_TRUE(CombinePages({}).lines.empty());
}

class DocumentWindowTest : public WindowTest {
 protected:
  // A TIFF whose pages each hold one line of text.
  std::string DrawDocument(const QString& name, const std::vector<QString>& pageTexts) {
    std::vector<std::string> pages;
    for (size_t i = 0; i < pageTexts.size(); ++i)
      pages.push_back(DrawText(QString("page%1.png").arg(i), 700, 120, {{30, 40, pageTexts[i]}}));
    const std::string path = Path(name);
    EXPECT_TRUE(WritePagesAsTiff(path, pages));
    return path;
  }

  // Reads the page shown, so that the field holds text that was not saved.
  void ReadAPage() {
    ASSERT_TRUE(form->OpenPic(DrawText("page.png", 700, 120, {{30, 40, "Haus Maus Baum"}})));
    window->TextErkennBtn->click();
    ASSERT_FALSE(OutputText().trimmed().isEmpty()) << "the recognition run produces no text";
    ASSERT_TRUE(window->TextUnsaved());
  }

  // Runs `action`; the question before discarding text, if asked, gets `answer`.
  bool AnswerQuestion(QMessageBox::StandardButton answer, const std::function<void()>& action) {
    closeStrayBoxes = false;
    const bool asked = AnswerDialog<QMessageBox>(
        [answer](QMessageBox* box) {
          EXPECT_EQ(box->objectName(), "DiscardQuestion");
          box->button(answer)->click();
        },
        action);
    closeStrayBoxes = true;
    return asked;
  }

  void DropOn(QWidget* target, const std::string& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    Settle();
  }
};

// The output field's first occurrence of a word of the page result, and the cursor in it.
QTextCursor CursorInWord(QPlainTextEdit* field, const PageWord& word) {
  const int at = field->toPlainText().indexOf(QString::fromStdString(word.Text()));
  EXPECT_GE(at, 0) << word.Text();
  QTextCursor cursor(field->document());
  cursor.setPosition(at + 1);
  return cursor;
}

TEST_F(DocumentWindowTest, AClickOnAWordShowsAndMarksItsBoxOnItsPage) {
  const std::string path = DrawDocument("two.tif", {"Haus Maus", "Baum Zaun"});
  StartWindow({path});
  window->TextErkennBtn->click();
  ASSERT_EQ(form->readPages.size(), 2u);
  ASSERT_EQ(form->pageIndex, 1);  // the view shows the last page read
  const PageText& first = form->readPages[0].text;
  if (first.blocks.empty() || first.blocks[0].lines.empty())
    GTEST_SKIP() << "the recogniser gives no words with boxes";
  const PageWord& word = first.blocks[0].lines[0].words.front();
  ASSERT_FALSE(word.box.Empty());
  const QTextCursor cursor = CursorInWord(window->RichEdit1, word);
  QTest::mouseClick(window->RichEdit1->viewport(), Qt::LeftButton, Qt::NoModifier,
                    window->RichEdit1->cursorRect(cursor).center());
  Settle();
  EXPECT_EQ(form->pageIndex, 0);  // the word's page is shown
  EXPECT_EQ(window->PageList->currentRow(), 0);
  EXPECT_EQ(form->markedWord.left, word.box.left);
  EXPECT_EQ(form->markedWord.top, word.box.top);
  EXPECT_EQ(form->markedWord.right, word.box.right);
  EXPECT_EQ(form->markedWord.bottom, word.box.bottom);
  // The mark is drawn over the page view at the word's box, seen on its tab.
  window->SetActivePage(kPageScanDocument);
  Settle();
  const int32_t z = form->settings.ZoomEd;
  EXPECT_EQ(window->PaintBox1Canvas().GetPixel(word.box.left * z / 100, word.box.top * z / 100),
            clBlue);
  // Another page opened drops the mark.
  window->NextPageBtn->click();
  EXPECT_TRUE(form->markedWord.Empty());
}

TEST_F(DocumentWindowTest, TheWordClickedIsScrolledIntoTheView) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawText("wide.png", 2400, 200, {{2200, 60, "Haus"}})));
  window->ZoomEd->setValue(100);
  window->TextErkennBtn->click();
  if (form->pageText.blocks.empty()) GTEST_SKIP() << "the recogniser gives no words with boxes";
  const PageWord& word = form->pageText.blocks[0].lines[0].words.front();
  const QTextCursor cursor = CursorInWord(window->RichEdit1, word);
  QTest::mouseClick(window->RichEdit1->viewport(), Qt::LeftButton, Qt::NoModifier,
                    window->RichEdit1->cursorRect(cursor).center());
  window->SetActivePage(kPageScanDocument);
  Settle();
  const int scrolled = window->ScrollBox1->horizontalScrollBar()->value();
  EXPECT_GT(scrolled, 0);
  EXPECT_GE(word.box.left - scrolled, 0);
  EXPECT_LE(word.box.right - scrolled, window->ScrollBox1->viewport()->width());
}

TEST_F(DocumentWindowTest, AMarkedWordOffersCorrectionsAndOneReplacesItAsAnEdit) {
  StartWindow();
  form->settings.languages = "eng";
  window->OutputClear();
  window->OutputAdd("The hcuse stands");
  window->OutputMarkWords({{0, 4, 5}});
  ASSERT_FALSE(window->TextUnsaved());
  const auto menuAt = [this](int position) {
    QTextCursor cursor(window->RichEdit1->document());
    cursor.setPosition(position);
    return std::unique_ptr<QMenu>(
        window->OutputContextMenu(window->RichEdit1->cursorRect(cursor).center()));
  };
  const std::unique_ptr<QMenu> standard(window->RichEdit1->createStandardContextMenu());
  // An unmarked word offers no corrections: the menu is the standard one and "Show on page".
  EXPECT_EQ(menuAt(13)->actions().size(), standard->actions().size() + 2);

  const std::unique_ptr<QMenu> menu = menuAt(6);
  QAction* house = nullptr;
  int suggestions = 0;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) break;
    if (action->text() != "Show on page") ++suggestions;
    if (action->text() == "house") house = action;
  }
  ASSERT_TRUE(house) << "no suggestion \"house\"";
  EXPECT_LE(suggestions, int(TMainForm::kMostSuggestions));
  ASSERT_EQ(window->RichEdit1->extraSelections().size(), 1);  // the mark
  house->trigger();
  EXPECT_EQ(OutputText(), "The house stands");
  EXPECT_TRUE(window->RichEdit1->extraSelections().isEmpty());  // the corrected word is not
  EXPECT_EQ(form->window.OutputLine(0), "The house stands");
  // The replacement is the user's edit: the question before the text goes says so.
  EXPECT_TRUE(window->TextUnsaved());
  closeStrayBoxes = false;
  QString informative;
  AnswerDialog<QMessageBox>(
      [&informative](QMessageBox* box) {
        informative = box->informativeText();
        box->button(QMessageBox::Cancel)->click();
      },
      [this] { EXPECT_FALSE(window->MayDiscardText()); });
  closeStrayBoxes = true;
  EXPECT_TRUE(informative.contains("changes made by hand")) << informative.toStdString();
}

TEST_F(DocumentWindowTest, AllPagesAreReadIntoOneTextWithFormFeedsBetween) {
  const std::string path = DrawDocument("three.tif", {"Haus", "Maus", "Baum"});
  StartWindow({path});
  ASSERT_FALSE(window->PageList->isHidden());
  ASSERT_EQ(window->PageList->count(), 3);
  EXPECT_EQ(window->ReadPagesCombo->currentText(), "All pages");
  // While it reads, the window shows so, page by page.
  int mostPages = 0;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (window->ReadProgress->isVisible())
      mostPages = std::max(mostPages, window->ReadProgress->maximum());
  });
  poll.start();
  window->TextErkennBtn->click();
  poll.stop();
  EXPECT_EQ(mostPages, 3);
  EXPECT_FALSE(window->ReadProgress->isVisible());
  const QStringList pages = OutputText().split('\f');
  ASSERT_EQ(pages.size(), 3) << OutputText().toStdString();
  for (const QString& page : pages) EXPECT_FALSE(page.trimmed().isEmpty());
  EXPECT_EQ(window->ActivePage(), kPageOutputText);
  EXPECT_EQ(form->pageIndex, 2);  // the view shows the last page read
  EXPECT_EQ(window->PageList->currentRow(), 2);

  // The text output of the document is what the field holds.
  std::string saved = Path("document.txt");
  closeStrayBoxes = false;
  ASSERT_TRUE(AnswerDialog<QFileDialog>(
      [&](QFileDialog* dialog) {
        dialog->selectFile(QString::fromStdString(saved));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { window->SaveBtn->click(); }));
  std::ifstream file(saved, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(std::count(text.begin(), text.end(), '\f'), 2);
  EXPECT_FALSE(window->TextUnsaved());

  // Every format writes all pages: a TSV has a page row for each.
  saved = Path("document.tsv");
  ASSERT_TRUE(AnswerDialog<QFileDialog>(
      [&](QFileDialog* dialog) {
        dialog->selectFile(QString::fromStdString(saved));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { window->SaveBtn->click(); }));
  std::ifstream tsv(saved);
  int pageRows = 0;
  for (std::string row; std::getline(tsv, row);) pageRows += row.rfind("1\t", 0) == 0;
  EXPECT_EQ(pageRows, 3);
}

TEST_F(DocumentWindowTest, OnlyTheSelectedPagesAreReadWhenChosen) {
  StartWindow({DrawDocument("three.tif", {"Haus", "Maus", "Baum"})});
  window->PageList->item(0)->setSelected(true);
  window->PageList->item(2)->setSelected(true);
  EXPECT_EQ(window->ReadPagesCombo->currentText(), "Selected pages");  // chosen by selecting
  window->TextErkennBtn->click();
  EXPECT_EQ(OutputText().count('\f'), 1);
  EXPECT_EQ(form->pageIndex, 2);
}

TEST_F(DocumentWindowTest, AClickOnAPageShowsItFromItsTopLeft) {
  StartWindow({DrawDocument("three.tif", {"Haus", "Maus", "Baum"})});
  window->ZoomEd->setValue(300);
  Settle();
  window->ScrollBox1->verticalScrollBar()->setValue(50);
  window->ScrollBox1->horizontalScrollBar()->setValue(50);
  QListWidgetItem* second = window->PageList->item(1);
  QTest::mouseClick(window->PageList->viewport(), Qt::LeftButton, {},
                    window->PageList->visualItemRect(second).center());
  EXPECT_EQ(form->pageIndex, 1);
  EXPECT_EQ(window->ScrollBox1->verticalScrollBar()->value(), 0);
  EXPECT_EQ(window->ScrollBox1->horizontalScrollBar()->value(), 0);
}

TEST_F(DocumentWindowTest, UnsavedTextIsNotThrownAwayWithoutAsking) {
  StartWindow();
  ReadAPage();
  const QString text = OutputText();
  const int32_t logLines = window->LogCount();
  // A new run: Cancel keeps the text and starts nothing.
  EXPECT_TRUE(AnswerQuestion(QMessageBox::Cancel, [&] { window->TextErkennBtn->click(); }));
  EXPECT_EQ(OutputText(), text);
  EXPECT_EQ(window->LogCount(), logLines);
  // Closing: Cancel keeps the window.
  EXPECT_TRUE(AnswerQuestion(QMessageBox::Cancel, [&] { window->close(); }));
  EXPECT_TRUE(window->isVisible());
  // "Leave": Cancel does not end the program.
  EXPECT_TRUE(AnswerQuestion(QMessageBox::Cancel, [&] { window->endebtn->click(); }));
  EXPECT_FALSE(form->endRequested);
  // A new picture dropped: Discard lets it come, and the old text goes with the old picture.
  const std::string other = DrawBoxes("other.png", 300, 200, {QRect(20, 20, 40, 40)});
  EXPECT_TRUE(AnswerQuestion(QMessageBox::Discard, [&] { DropOn(window.get(), other); }));
  EXPECT_EQ(DIBWidth(form->picture), 300);
  EXPECT_TRUE(OutputText().isEmpty());
  EXPECT_FALSE(window->TextUnsaved());
}

TEST_F(DocumentWindowTest, SavingFromTheQuestionWritesTheTextBeforeItGoes) {
  StartWindow();
  ReadAPage();
  const std::string saved = Path("kept.txt");
  closeStrayBoxes = false;
  bool asked = false;
  QTimer poll;
  poll.setInterval(5);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal); box && !asked) {
      asked = true;
      box->button(QMessageBox::Save)->click();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
      dialog->selectFile(QString::fromStdString(saved));
      static_cast<QDialog*>(dialog)->accept();
    }
  });
  poll.start();
  window->close();
  poll.stop();
  EXPECT_TRUE(asked);
  EXPECT_TRUE(QFileInfo(QString::fromStdString(saved)).size() > 0);
  EXPECT_FALSE(window->isVisible()) << "saved, so the window closed";
}

TEST_F(DocumentWindowTest, ColumnWidthAsksBeforeReplacingEditsAndCancelKeepsThem) {
  StartWindow();
  ReadAPage();
  window->RichEdit1->appendPlainText("typed by hand");
  const QString edited = OutputText();
  const QString width = window->KoorFakEd->text();
  EXPECT_TRUE(AnswerQuestion(QMessageBox::Cancel, [&] { window->KoorFakEd->setValue(2.5); }));
  EXPECT_EQ(OutputText(), edited);
  EXPECT_EQ(window->KoorFakEd->text(), width);
  // Discard: the text is fitted again, and the next change does not ask again.
  EXPECT_TRUE(AnswerQuestion(QMessageBox::Discard, [&] { window->KoorFakEd->setValue(2.5); }));
  EXPECT_EQ(OutputText().indexOf("typed by hand"), -1);
  EXPECT_FALSE(AnswerQuestion(QMessageBox::Cancel, [&] { window->KoorFakEd->setValue(3.0); }));
}

TEST_F(DocumentWindowTest, AFileDroppedOnTheOutputFieldOpensThePicture) {
  StartWindow();
  const std::string picture = DrawBoxes("dropped.png", 260, 140, {QRect(20, 20, 40, 40)});
  window->SetActivePage(kPageOutputText);
  Settle();
  DropOn(window->RichEdit1->viewport(), picture);
  EXPECT_EQ(DIBWidth(form->picture), 260);
  EXPECT_EQ(OutputText().indexOf("file:"), -1);
  EXPECT_EQ(window->ActivePage(), kPageScanDocument);
}

TEST_F(DocumentWindowTest, TheWindowFitsA1024By768Screen) {
  StartWindow();
  // Room for the title bar and a panel of the desktop.
  const QSize screen(1024, 768 - 80);
  const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
  EXPECT_LE(least.width(), screen.width());
  EXPECT_LE(least.height(), screen.height());
  window->resize(screen);
  Settle();
  // Every control of the work column can be scrolled to.
  window->LeftPanel->ensureWidgetVisible(window->BreakBtn);
  Settle();
  const QRect shown = window->LeftPanel->viewport()->rect();
  const QPoint cancel = window->BreakBtn->mapTo(window->LeftPanel->viewport(), QPoint(0, 0));
  EXPECT_TRUE(shown.contains(QRect(cancel, window->BreakBtn->size())));
  // The page view gets the room, the log a share of it.
  EXPECT_GT(window->ScrollBox1->height(), 2 * window->Memo1->height());
}

TEST_F(DocumentWindowTest, CtrlWheelZoomsThePageView) {
  StartWindow();
  const int zoom = window->ZoomEd->value();
  QWidget* view = window->ScrollBox1->viewport();
  QWheelEvent up(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 120),
                 Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &up);
  EXPECT_EQ(window->ZoomEd->value(), zoom + window->ZoomEd->singleStep());
  QWheelEvent plain(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &plain);
  EXPECT_EQ(window->ZoomEd->value(), zoom + window->ZoomEd->singleStep());
}

TEST_F(DocumentWindowTest, KeysOpenSaveAndHelp) {
  StartWindow();
  closeStrayBoxes = false;
  const auto dialogFor = [&](const QKeySequence& keys) {
    return AnswerDialog<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); },
                                     [&] {
                                       window->activateWindow();
                                       Settle(30);
                                       QTest::keySequence(window.get(), keys);
                                       Settle(30);
                                     });
  };
  EXPECT_TRUE(dialogFor(QKeySequence::Open));
  EXPECT_TRUE(dialogFor(QKeySequence::Save));
}

TEST_F(DocumentWindowTest, ExtendedRecogniserShowsTheWordListInForce) {
  StartWindow();
  window->RecogniserBox->setCurrentIndex(0);
  EXPECT_FALSE(window->DictionaryCheck->isChecked());
  window->RecogniserBox->setCurrentIndex(1);
  EXPECT_TRUE(window->DictionaryCheck->isChecked());
  EXPECT_TRUE(form->settings.UseDictionary());
}

TEST_F(DocumentWindowTest, HelpWithoutABrowserShowsTheManualInTheProgram) {
  // The manual where the program looks for it first: beside the program.
  const QString manual = QApplication::applicationDirPath() + "/quillon-manual.html";
  QFile::remove(manual);
  ASSERT_TRUE(QFile::copy(QUILLON_MANUAL, manual));
  StartWindow();
  // xdg-open as it answers on a desktop without a browser: "no method available".
  const QString script = QString::fromStdString(Path("xdg-open"));
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("#!/bin/sh\nexit 3\n");
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFileInfo(script).absolutePath().toUtf8() + ":" + path);
  window->ImageBtn1->click();
  qputenv("PATH", path);
  QElapsedTimer clock;
  clock.start();
  QTextBrowser* viewer = nullptr;
  while (!viewer && clock.elapsed() < 5000) {
    Settle(20);
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->objectName() == "ManualViewer" && top->isVisible())
        viewer = qobject_cast<QTextBrowser*>(top);
  }
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->source().toLocalFile().endsWith("/quillon-manual.html"));
  EXPECT_NE(viewer->toPlainText().indexOf("Other settings"), -1);
  ASSERT_FALSE(strayMessages.empty());
  EXPECT_NE(strayMessages.back().find("No web browser"), std::string::npos);
  viewer->close();
  QFile::remove(manual);
}

}  // namespace
