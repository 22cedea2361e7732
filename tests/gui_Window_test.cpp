// The Qt window: its controls and the settings they hold, the log and output fields, the
// dialogs, the event pump, and the OCR run seen from the window. Runs on the offscreen
// platform; main() is at the end.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <fstream>
#include <thread>

#include "SaneTestBackend.h"
#include "gui/Dialogs.h"
#include "gui_TestWindow.h"
#include "platform/Scanner.h"
#include "tests/PlainTiff.h"

namespace {

TEST(GuiFilters, ProgramFiltersBecomeNameFiltersInBothCases) {
  const QStringList filters = NameFiltersFromFilter(
      "All pictures|*.BMP;*.PNG|TIF - Tagged image file Format|*.TIF|All files (*.*)|*.*");
  ASSERT_EQ(filters.size(), 3);
  EXPECT_EQ(filters[0], "All pictures (*.BMP *.bmp *.PNG *.png)");
  EXPECT_EQ(filters[1], "TIF - Tagged image file Format (*.TIF *.tif)");
  EXPECT_EQ(filters[2], "All files (*)");  // "*.*" would miss names without a dot
  EXPECT_EQ(NameFiltersFromFilter("Text files (*.txt)|*.txt"),
            QStringList{"Text files (*.txt *.TXT)"});
  EXPECT_TRUE(NameFiltersFromFilter("").isEmpty());
  EXPECT_TRUE(NameFiltersFromFilter("Caption without patterns").isEmpty());
}

TEST(GuiFilters, DefaultSuffixOnlyForOneExtension) {
  EXPECT_EQ(DefaultSuffixOfNameFilter("JPG - JPEG (*.JPG *.jpg)"), "JPG");
  EXPECT_EQ(DefaultSuffixOfNameFilter("Text files (*.txt *.TXT)"), "txt");
  EXPECT_EQ(DefaultSuffixOfNameFilter("All pictures (*.BMP *.bmp *.PNG *.png)"), "");
  EXPECT_EQ(DefaultSuffixOfNameFilter("All files (*)"), "");
}

// A caption as the window shows it: the letter after '&' is underlined, the '&' not shown.
QString Shown(QString caption) {
  return caption.remove(QRegularExpression("&(?!&)"));
}

TEST_F(WindowTest, CaptionPagesAndControlDefaults) {
  StartWindow();
  EXPECT_EQ(window->windowTitle(), "Quillon 1.0");
  ASSERT_EQ(window->PageControl1->count(), 3);
  EXPECT_EQ(window->PageControl1->tabText(0), "Scan document");
  EXPECT_EQ(window->PageControl1->tabText(1), "Output text");
  EXPECT_EQ(window->PageControl1->tabText(2), "Other settings");
  EXPECT_EQ(window->ActivePage(), kPageScanDocument);

  auto* schwell = window->findChild<QSpinBox*>("SchwellEd");
  ASSERT_NE(schwell, nullptr);
  EXPECT_EQ(schwell->minimum(), 1);
  EXPECT_EQ(schwell->maximum(), 99);
  EXPECT_EQ(schwell->value(), 50);
  auto* zoom = window->findChild<QSpinBox*>("ZoomEd");
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom->minimum(), 10);
  EXPECT_EQ(zoom->maximum(), 300);
  EXPECT_EQ(zoom->singleStep(), 5);
  EXPECT_EQ(zoom->value(), 30);
  auto* minSize = window->findChild<QSpinBox*>("MinObjSizeED");
  ASSERT_NE(minSize, nullptr);
  EXPECT_EQ(minSize->minimum(), 1);
  EXPECT_EQ(minSize->maximum(), 10);
  EXPECT_EQ(minSize->value(), 3);
  auto* filter = window->findChild<QCheckBox*>("BildFilterCheck");
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(filter->text(), "Exclude pictures");
  EXPECT_TRUE(filter->isChecked());
  auto* track = window->findChild<QSlider*>("TrackBar1");
  ASSERT_NE(track, nullptr);
  EXPECT_EQ(track->minimum(), 0);
  EXPECT_EQ(track->maximum(), 10);
  EXPECT_EQ(track->value(), 5);
  auto* column = window->findChild<QDoubleSpinBox*>("KoorFakEd");
  ASSERT_NE(column, nullptr);
  EXPECT_DOUBLE_EQ(column->minimum(), 0.1);
  EXPECT_DOUBLE_EQ(column->maximum(), 100.0);
  EXPECT_DOUBLE_EQ(column->value(), 5.0);
  auto* openWord = window->findChild<QCheckBox*>("OpenWordCheck");
  ASSERT_NE(openWord, nullptr);
  EXPECT_EQ(Shown(openWord->text()), "Open word file after creation");
  EXPECT_TRUE(openWord->isChecked());

  auto* title = window->findChild<QLabel*>("RxLabel2");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), "Output text - here you can save the recognized text as word file");
  EXPECT_TRUE(title->font().bold());
  ASSERT_NE(window->findChild<QLabel*>("RxLabel7"), nullptr);
  EXPECT_EQ(window->findChild<QLabel*>("RxLabel7")->text(), "Output text....");
  EXPECT_EQ(Shown(window->findChild<QLabel*>("Label10")->text()), "Column width:");

  const std::pair<const char*, const char*> buttons[] = {{"OpenPicsBtn", "Open picture..."},
                                                         {"SavePicBtn", "Save picture..."},
                                                         {"PicEditBtn", "Edit picture..."},
                                                         {"RenderBlackWhiteBtn", "Render again"},
                                                         {"FindCharsBtn", "Only find lines"},
                                                         {"TextErkennBtn", "Start text OCR..."},
                                                         {"SaveBtn", "Save text as..."},
                                                         {"SaveRTFBtn", "Save word file as..."},
                                                         {"RecogBtn", "Recognize"},
                                                         {"Rec2Btn", "Recog V2"},
                                                         {"RegBtn", "Regcog V3"},
                                                         {"Autolearn", "auto learn"},
                                                         {"BitBtn3", "BitBtn3"},
                                                         {"BitBtn2", "Generate font"},
                                                         {"LoadWordsBtn", "Load Words"}};
  for (const auto& [name, caption] : buttons) {
    auto* button = window->findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    EXPECT_EQ(Shown(button->text()), caption) << name;
  }
  const QList<QAction*> rotations = window->PicEditMenu->actions();
  ASSERT_EQ(rotations.size(), 2);
  EXPECT_EQ(rotations[0]->text(), "Rotation 90° to the left...");
  EXPECT_EQ(rotations[1]->text(), "Rotation 90° to the right...");
  EXPECT_EQ(window->ImageBtn1->toolTip(), "Click here, if you need help");
  EXPECT_EQ(window->endebtn->toolTip(), "Hereby you leave the program");

  // RichEdit1: no wrap, scroll bars, the tab key is text, Arial 11 pixels.
  EXPECT_EQ(window->RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_FALSE(window->RichEdit1->tabChangesFocus());
  EXPECT_EQ(window->RichEdit1->font().pixelSize(), 11);
  EXPECT_EQ(window->PaintBox2->width(), 256);
  EXPECT_EQ(window->PaintBox2->height(), 256);
}

TEST_F(WindowTest, ControlsKeepTheSettingsInStep) {
  StartWindow();
  window->SchwellEd->setValue(70);
  window->MinObjSizeED->setValue(5);
  window->BildFilterCheck->setChecked(false);
  window->TrackBar1->setValue(8);
  window->lineed->setValue(-3);
  window->OpenWordCheck->setChecked(false);
  EXPECT_EQ(form->settings.SchwellEd, 70);
  EXPECT_EQ(form->settings.MinObjSizeED, 5);
  EXPECT_FALSE(form->settings.BildFilterCheck);
  EXPECT_EQ(form->settings.TrackBar1, 8);
  EXPECT_EQ(form->settings.lineed, -3);
  EXPECT_FALSE(form->openWordFileAfterCreation);

  // Every typed character of the column width counts, and text that is no number reads
  // as NaN (the fitting then decides).
  QLineEdit* edit = window->KoorFakEd->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->selectAll();
  QTest::keyClicks(edit, "2");
  EXPECT_DOUBLE_EQ(form->settings.KoorFakEd, 2.0);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_TRUE(std::isnan(form->settings.KoorFakEd));
}

TEST_F(WindowTest, ReadingOrderAndWordListChoicesSetTheSettings) {
  window = std::make_unique<QtWindow>();
  form = std::make_unique<TMainForm>(*window, "/nowhere/quillon", std::vector<std::string>{});
  form->settings.readingOrder = ReadingOrder::Page;
  form->settings.recogniser = RecogniserKind::Extended;
  window->Attach(form.get());
  ASSERT_EQ(window->ReadingOrderCombo->count(), 3);
  EXPECT_EQ(window->ReadingOrderCombo->itemText(2), "columns");
  EXPECT_EQ(window->ReadingOrderCombo->currentIndex(), 1);  // page
  EXPECT_TRUE(window->DictionaryCheck->isChecked());        // on by default with the extended one
  window->ReadingOrderCombo->setCurrentIndex(2);
  EXPECT_EQ(form->settings.readingOrder, ReadingOrder::Columns);
  window->ReadingOrderCombo->setCurrentIndex(0);
  EXPECT_EQ(form->settings.readingOrder, std::nullopt);
  window->DictionaryCheck->setChecked(false);
  EXPECT_FALSE(form->settings.UseDictionary());
}

TEST_F(WindowTest, LanguagesFieldShowsAndSetsTheLanguagesOnceTheListIsWhole) {
  window = std::make_unique<QtWindow>();
  form = std::make_unique<TMainForm>(*window, "/nowhere/quillon", std::vector<std::string>{});
  form->settings.languages = "deu+fra";
  window->Attach(form.get());
  EXPECT_EQ(window->LanguagesEdit->text(), "deu+fra");
  EXPECT_FALSE(form->settings.languagesNamed);  // shown, not named by the user
  window->LanguagesEdit->setText("deu+");       // on the way to "deu+eng"
  EXPECT_EQ(form->settings.languages, "deu+fra");
  EXPECT_NE(window->LanguagesEdit->toolTip().indexOf("missing"), -1);
  window->LanguagesEdit->setText("deu+eng ");
  EXPECT_EQ(form->settings.languages, "deu+eng");
  EXPECT_TRUE(form->settings.languagesNamed);  // the page's own language is not guessed
  EXPECT_EQ(window->LanguagesEdit->styleSheet(), "");
}

TEST_F(WindowTest, SettingsGivenAtStartShowInTheControls) {
  window = std::make_unique<QtWindow>();
  form = std::make_unique<TMainForm>(*window, "/nowhere/quillon", std::vector<std::string>{});
  form->settings.SchwellEd = 33;
  form->settings.ZoomEd = 55;
  form->settings.KoorFakEd = 2.5;
  window->Attach(form.get());
  EXPECT_EQ(window->SchwellEd->value(), 33);
  EXPECT_EQ(window->ZoomEd->value(), 55);
  EXPECT_DOUBLE_EQ(window->KoorFakEd->value(), 2.5);
  // Showing the values is no change of them: nothing was fitted or logged.
  EXPECT_EQ(window->LogCount(), 0);
}

TEST_F(WindowTest, RecogniserChoiceFollowsAndSetsTheSetting) {
  window = std::make_unique<QtWindow>();
  form = std::make_unique<TMainForm>(*window, "/nowhere/quillon", std::vector<std::string>{});
  form->settings.recogniser = RecogniserKind::Extended;
  window->Attach(form.get());
  ASSERT_EQ(window->RecogniserBox->count(), 2);
  EXPECT_EQ(window->RecogniserBox->itemText(0), "classic");
  EXPECT_EQ(window->RecogniserBox->currentIndex(), 1);
  window->RecogniserBox->setCurrentIndex(0);
  EXPECT_FALSE(form->settings.Extended());
}

TEST_F(WindowTest, LogLinesAreNumberedAndReplaceable) {
  StartWindow();
  window->LogClear();
  window->LogAdd("first");
  window->LogAdd("second");
  window->LogSetLine(1, "second, rewritten");
  window->LogSetLine(7, "ignored");
  EXPECT_EQ(window->LogCount(), 2);
  EXPECT_EQ(window->LogLine(1), "second, rewritten");
  EXPECT_EQ(window->LogLine(2), "");
  EXPECT_EQ(window->Memo1->toPlainText(), "first\nsecond, rewritten");
}

TEST_F(WindowTest, OutputLinesFollowTheProgramAndTheUser) {
  StartWindow();
  window->OutputBeginUpdate();
  window->OutputClear();
  EXPECT_EQ(window->OutputCount(), 0);
  window->OutputAdd("");
  window->OutputSetLine(0, "Haus   Maus");
  window->OutputAdd("");  // an empty last line still counts
  window->OutputEndUpdate();
  EXPECT_EQ(window->OutputCount(), 2);
  EXPECT_EQ(window->OutputLine(0), "Haus   Maus");
  EXPECT_EQ(OutputText(), "Haus   Maus\n");

  // Hand edits are what the field holds from then on.
  window->RichEdit1->setPlainText(QString::fromUtf8("Grüße\nzwei\ndrei"));
  EXPECT_EQ(window->OutputCount(), 3);
  EXPECT_EQ(window->OutputLine(0), "Grüße");
  window->OutputClear();
  EXPECT_EQ(window->OutputCount(), 0);
  EXPECT_TRUE(OutputText().isEmpty());
}

TEST_F(WindowTest, MessageBoxShowsTitleTextIconAndAnswers) {
  StartWindow();
  closeStrayBoxes = false;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  MessageResult result = MessageResult::Cancel;
  ASSERT_TRUE(AnswerDialog<QMessageBox>(
      [&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Yes)->click();
      },
      [&] {
        result = window->MessageBox("Learn this character?", "Recog V2", MessageIcon::Question,
                                    MessageButtons::YesNo);
      }));
  EXPECT_EQ(title, "Recog V2");
  EXPECT_EQ(text, "Learn this character?");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(result, MessageResult::Yes);

  ASSERT_TRUE(AnswerDialog<QMessageBox>(
      [&](QMessageBox* box) {
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
      },
      [&] {
        result = window->MessageBox("Error while opening x.png!", "", MessageIcon::Error,
                                    MessageButtons::Ok);
      }));
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_EQ(result, MessageResult::Ok);
}

TEST_F(WindowTest, LernenDialogAsksForACharacter) {
  StartWindow();
  std::string text;
  QString caption;
  ASSERT_TRUE(AnswerDialog<TEntercharForm>(
      [&](TEntercharForm* dialog) {
        caption = dialog->windowTitle();
        dialog->Edit1->setText(QString::fromUtf8("ä"));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { EXPECT_TRUE(window->EnterCharDialog(&text)); }));
  EXPECT_EQ(caption, "Lernen");
  EXPECT_EQ(text, "ä");
  ASSERT_TRUE(AnswerDialog<TEntercharForm>([](TEntercharForm* dialog) { dialog->reject(); },
                                           [&] { EXPECT_FALSE(window->EnterCharDialog(&text)); }));
}

TEST_F(WindowTest, SaveDialogAddsTheExtensionAndAsksBeforeReplacing) {
  StartWindow();
  closeStrayBoxes = false;
  std::string name;
  int32_t index = 1;
  // A name without extension gets the filter's.
  ASSERT_TRUE(AnswerDialog<QFileDialog>(
      [&](QFileDialog* dialog) {
        dialog->selectFile(QString::fromStdString(Path("page")));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { EXPECT_TRUE(window->SaveFileDialog("Text files (*.txt)|*.txt", &name, &index)); }));
  EXPECT_EQ(name, Path("page.txt"));
  EXPECT_EQ(index, 1);

  // The file with that extension exists: the question comes, and "No" keeps the dialog
  // open (then cancelled here).
  QFile existing(QString::fromStdString(Path("page.txt")));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();
  bool asked = false;
  name.clear();
  ASSERT_TRUE(AnswerDialog<QFileDialog>(
      [&](QFileDialog* dialog) {
        QTimer::singleShot(20, [&, dialog] {
          if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->button(QMessageBox::No)->click();
          }
          QTimer::singleShot(20, dialog, &QDialog::reject);
        });
        dialog->selectFile(QString::fromStdString(Path("page")));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { EXPECT_FALSE(window->SaveFileDialog("Text files (*.txt)|*.txt", &name, &index)); }));
  EXPECT_TRUE(asked);
}

TEST_F(WindowTest, EventPumpRunsEventsAtMostEveryFewMilliseconds) {
  StartWindow();
  int delivered = 0;
  QThread::msleep(40);
  QMetaObject::invokeMethod(
      window.get(), [&] { ++delivered; }, Qt::QueuedConnection);
  window->ProcessMessages();
  EXPECT_EQ(delivered, 1);
  // Asked again at once, it does not run the event loop: the fill asks once per span.
  QMetaObject::invokeMethod(
      window.get(), [&] { ++delivered; }, Qt::QueuedConnection);
  window->ProcessMessages();
  EXPECT_EQ(delivered, 1);
  QThread::msleep(40);
  window->ProcessMessages();
  EXPECT_EQ(delivered, 2);
}

TEST_F(WindowTest, ScanMessageFromAnotherThreadIsHandledOnTheWindowThread) {
  StartWindow();
  const std::string path = DrawBoxes("scanned.png", 200, 100, {QRect(20, 20, 30, 30)});
  // A scan id that the scanner does not know installs nothing, whichever thread posts it.
  std::thread poster([this] { window->PostScanMessage(424242); });
  poster.join();
  Settle();
  EXPECT_EQ(DIBWidth(form->picture), 320);
  ASSERT_TRUE(form->OpenPic(path));
  EXPECT_EQ(DIBWidth(form->picture), 200);
}

TEST_F(WindowTest, DeveloperPanelIsHiddenUntilItsKeys) {
  StartWindow();
  EXPECT_FALSE(window->Panel1->isVisible());
  window->activateWindow();
  QApplication::setActiveWindow(window.get());
  QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
  Settle(20);
  EXPECT_TRUE(window->Panel1->isVisible());
  // A developer action shows its result in Label2 afterwards.
  form->label2Caption = "x";
  window->findChild<QPushButton*>("LoadWordsBtn")->click();
  EXPECT_EQ(window->Label2->text(), "x");
  QTest::keyClick(window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(window->Panel1->isVisible());
}

TEST_F(WindowTest, OnePictureArgumentIsOpenedAtTheFirstShowing) {
  const std::string path = DrawBoxes("argument.png", 240, 180, {QRect(40, 40, 50, 20)});
  StartWindow({path});
  EXPECT_TRUE(form->formShown);
  EXPECT_EQ(DIBWidth(form->picture), 240);
  EXPECT_EQ(DIBHeight(form->picture), 180);
  EXPECT_EQ(window->ActivePage(), kPageScanDocument);  // nothing recognised
  EXPECT_FALSE(form->endRequested);
}

TEST_F(WindowTest, OpenPictureButtonOpensTheChosenFile) {
  StartWindow();
  const std::string path = DrawBoxes("chosen.png", 300, 150, {QRect(10, 10, 30, 30)});
  closeStrayBoxes = false;
  ASSERT_TRUE(AnswerDialog<QFileDialog>(
      [&](QFileDialog* dialog) {
        dialog->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { window->OpenPicsBtn->click(); }));
  EXPECT_EQ(DIBWidth(form->picture), 300);
  EXPECT_EQ(DIBHeight(form->picture), 150);
}

TEST_F(WindowTest, AMultiPagePictureShowsItsPagesOneAfterAnother) {
  const std::string path = Path("three.tif");
  const std::vector<uint8_t> tiff = multipage::PlainTiff({200, 300, 250}, 80);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(tiff.data()), std::streamsize(tiff.size()));
  StartWindow({path});
  EXPECT_FALSE(window->PageRow->isHidden());
  EXPECT_EQ(window->PageLabel->text(), "Page 1 of 3");
  EXPECT_FALSE(window->PrevPageBtn->isEnabled());
  window->NextPageBtn->click();
  EXPECT_EQ(DIBWidth(form->picture), 300);
  EXPECT_EQ(window->PageLabel->text(), "Page 2 of 3");
  window->NextPageBtn->click();
  EXPECT_EQ(DIBWidth(form->picture), 250);
  EXPECT_FALSE(window->NextPageBtn->isEnabled());
  window->PrevPageBtn->click();
  EXPECT_EQ(DIBWidth(form->picture), 300);
  EXPECT_EQ(form->pageIndex, 1);
  // The run reads the page shown.
  EXPECT_EQ(form->searchArea.right, 299);
}

TEST_F(WindowTest, ASinglePagePictureHasNoPageRow) {
  StartWindow({DrawBoxes("one.png", 240, 180, {QRect(40, 40, 50, 20)})});
  EXPECT_EQ(DIBWidth(form->picture), 240);
  EXPECT_TRUE(window->PageRow->isHidden());
  EXPECT_EQ(form->pageCount, 1);
}

// ---- the OCR run seen from the window ----

std::vector<TextAt> Paragraph(int x, int y, int lines, int lineHeight) {
  const char* words[] = {"Haus Maus Baum", "Quillon liest", "Seite mit Text", "kleine Zeile"};
  std::vector<TextAt> result;
  for (int i = 0; i < lines; ++i) result.push_back({x, y + i * lineHeight, words[i % 4]});
  return result;
}

// A page long enough that the recognition run lasts several pumps of the event loop
// (some 3000 objects).
std::vector<TextAt> LongPage() {
  std::vector<TextAt> result;
  for (int i = 0; i < 56; ++i)
    result.push_back({30, 20 + i * 46, "Quillon liest die Seite mit Text und kleinen Zeilen"});
  return result;
}

int Letters(const QString& text) {
  int count = 0;
  for (QChar c : text)
    if (!c.isSpace()) ++count;
  return count;
}

// The line boxes and their blue labels stay on the page view once "Only find lines" is
// done: the view was painted during the search, not asked to repaint afterwards.
TEST_F(WindowTest, OnlyFindLinesLeavesTheLabelledLineBoxesOnTheView) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawText("lines.png", 700, 220, Paragraph(30, 30, 3, 50))));
  form->settings.ZoomEd = 100;
  window->ZoomEd->setValue(100);
  Settle();
  window->FindCharsBtn->click();
  Settle(200);
  ASSERT_EQ(form->lines.Count, 3);
  int blue = 0, red = 0;
  const SoftwareCanvas& view = window->PaintBox1->canvas;
  for (int32_t y = 0; y < view.Height(); ++y)
    for (int32_t x = 0; x < view.Width(); ++x) {
      blue += view.GetPixel(x, y) == clBlue;
      red += view.GetPixel(x, y) == clRed;
    }
  EXPECT_GT(blue, 0) << "the labels";
  EXPECT_GT(red, 0) << "the line boxes";
}

// "Regcog V3" runs the recognition again on the objects of the last search: no new search,
// and the characters are appended to the lines' texts once more.
TEST_F(WindowTest, RegcogV3RecognisesTheLastSearchAgain) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawText("again.png", 700, 120, Paragraph(30, 30, 1, 50))));
  window->FindCharsBtn->click();
  ASSERT_EQ(form->lines.Count, 1);
  auto* regBtn = window->findChild<QPushButton*>("RegBtn");
  ASSERT_NE(regBtn, nullptr);
  regBtn->click();
  ASSERT_NE(form->lines.At(0)->text, nullptr);
  const std::string once = form->lines.At(0)->text;
  ASSERT_FALSE(once.empty());
  const int32_t searches = window->LogCount();
  regBtn->click();
  EXPECT_EQ(std::string(form->lines.At(0)->text), once + once);
  bool searchedAgain = false;
  for (int32_t i = searches; i < window->LogCount(); ++i)
    searchedAgain |= window->LogLine(i) == "Search for objects...";
  EXPECT_FALSE(searchedAgain);
}

TEST_F(WindowTest, StartTextOcrFillsTheOutputAndShowsItsPage) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawText("text.png", 700, 220, Paragraph(30, 30, 3, 50))));
  window->TextErkennBtn->click();
  if (form->lines.Count == 0) GTEST_SKIP() << "the line finding finds no lines yet";
  if (Letters(OutputText()) == 0) GTEST_SKIP() << "the recognition run produces no text yet";
  EXPECT_EQ(window->ActivePage(), kPageOutputText);
  EXPECT_EQ(window->OutputCount(), 3);
  EXPECT_GE(Letters(OutputText()), 20);
}

// A cancel loses nothing: the text read before stays, with its marks, and the log says so.
TEST_F(WindowTest, CancelledRunKeepsTheTextReadBeforeAndSaysSo) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawText("long.png", 1000, 2620, LongPage(), 24)));
  window->TextErkennBtn->click();
  const QString before = OutputText();
  if (Letters(before) == 0) GTEST_SKIP() << "the recognition run produces no text yet";
  window->SetActivePage(kPageScanDocument);

  // Cancel as soon as the recogniser is at work (its template set exists only then).
  bool cancelled = false;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!cancelled && form->templateSet) {
      cancelled = true;
      window->BreakBtn->click();
    }
  });
  poll.start();
  closeStrayBoxes = false;
  AnswerDialog<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Discard)->click(); },
                            [&] { window->TextErkennBtn->click(); });
  poll.stop();
  ASSERT_TRUE(cancelled) << "the recognition ended before the window could run events";
  EXPECT_EQ(window->ActivePage(), kPageScanDocument);
  EXPECT_EQ(OutputText(), before);
  EXPECT_TRUE(window->TextUnsaved()) << "the kept text is still not saved";
  EXPECT_NE(QString::fromStdString(window->LogLine(window->LogCount() - 1)).indexOf("cancelled"),
            -1);
}

TEST_F(WindowTest, ColumnWidthChangeFitsTheTextAgain) {
  StartWindow();
  std::vector<TextAt> texts = {{20, 30, "links"}, {520, 30, "rechts"}, {20, 90, "unten"}};
  ASSERT_TRUE(form->OpenPic(DrawText("columns.png", 800, 160, texts)));
  window->TextErkennBtn->click();
  if (Letters(OutputText()) == 0) GTEST_SKIP() << "the recognition run produces no text yet";
  ASSERT_GE(window->OutputCount(), 1);
  const size_t wide = window->OutputLine(0).size();
  const int fittings = window->LogCount();
  // Half the factor: twice the indentation of the right column.
  window->KoorFakEd->setValue(2.5);
  EXPECT_GT(window->LogCount(), fittings);
  EXPECT_GT(window->OutputLine(0).size(), wide);
  window->KoorFakEd->setValue(5.0);
  EXPECT_EQ(window->OutputLine(0).size(), wide);
}

TEST_F(WindowTest, DuringARunOperationsOnItsListsWaitAndClosingStopsIt) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawText("busy.png", 1000, 2620, LongPage(), 24)));
  auto histogramLines = [this] {
    int count = 0;
    for (int32_t i = 0; i < window->LogCount(); ++i)
      count += window->LogLine(i).rfind("Histogram broder", 0) == 0;
    return count;
  };
  const int conversions = histogramLines();
  bool tried = false;
  QTimer poll;
  poll.setInterval(1);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (tried || !form->templateSet) return;
    tried = true;
    // A new black/white page now would pull the page from under the recogniser.
    window->RenderBlackWhiteBtn->click();
    window->close();
  });
  poll.start();
  window->TextErkennBtn->click();
  poll.stop();
  if (!tried) GTEST_SKIP() << "the recognition ended before the window could run events";
  EXPECT_EQ(histogramLines(), conversions);
  EXPECT_TRUE(form->cancelRequested);
  EXPECT_EQ(window->ActivePage(), kPageScanDocument);
  Settle();
  EXPECT_FALSE(window->isVisible());  // closed once the run had stopped
}

TEST_F(WindowTest, ScannerButtonsChooseScanAndInstallThePage) {
  const std::string missing = UseSaneTestBackend();
  if (!missing.empty()) GTEST_SKIP() << missing;

  StartWindow();
  closeStrayBoxes = false;
  QStringList offered;
  ASSERT_TRUE(AnswerDialog<QInputDialog>(
      [&](QInputDialog* dialog) {
        offered = dialog->comboBoxItems();
        dialog->setTextValue(offered.value(0));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { window->SourceBtn->click(); }));
  ASSERT_FALSE(offered.isEmpty());
  EXPECT_TRUE(offered[0].startsWith("test:0"));
  closeStrayBoxes = true;
  // The scan runs on its own thread; the window stays alive and gets the page by message.
  window->ScanBtn->click();
  form->WaitForScan();
  Settle(100);
  EXPECT_TRUE(strayMessages.empty()) << strayMessages.front();
  EXPECT_NEAR(DIBWidth(form->picture), 80 / 25.4 * 300, 1.0);  // the test page, 80 mm
  EXPECT_EQ(form->searchArea.right, DIBWidth(form->picture) - 1);
}

TEST_F(WindowTest, EditPictureMenuOpensBelowTheButtonAndRotates) {
  StartWindow();
  ASSERT_TRUE(form->OpenPic(DrawBoxes("turn.png", 240, 100, {QRect(0, 0, 20, 20)})));
  window->PicEditBtn->click();
  Settle(20);
  ASSERT_TRUE(window->PicEditMenu->isVisible());
  EXPECT_EQ(window->PicEditMenu->pos(),
            window->PicEditBtn->mapToGlobal(window->PicEditBtn->rect().bottomLeft()));
  window->PicEditMenu->actions()[0]->trigger();  // "Rotation 90° to the left..."
  window->PicEditMenu->hide();
  EXPECT_EQ(DIBWidth(form->picture), 100);
  EXPECT_EQ(DIBHeight(form->picture), 240);
  EXPECT_EQ(form->searchArea.bottom, 239);
  // The view follows with the next paint: 30 x 72 at 30 %.
  window->PaintBox1->grab();
  EXPECT_EQ(window->PaintBox1Width(), 30);
  EXPECT_EQ(window->PaintBox1Height(), 72);
}

TEST_F(WindowTest, HelpButtonOpensTheManualThroughXdgOpen) {
  StartWindow();
  // A stand-in xdg-open that notes what it was asked to open.
  const QString script = QString::fromStdString(Path("xdg-open"));
  const QString note = QString::fromStdString(Path("opened.txt"));
  QFile file(script);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QString("#!/bin/sh\necho \"$1\" > '%1'\n").arg(note).toUtf8());
  file.close();
  file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", QFileInfo(script).absolutePath().toUtf8() + ":" + path);
  window->ImageBtn1->click();
  qputenv("PATH", path);
  QElapsedTimer clock;
  clock.start();
  while (QFileInfo(note).size() == 0 && clock.elapsed() < 5000) Settle(20);
  QFile opened(note);
  ASSERT_TRUE(opened.open(QIODevice::ReadOnly)) << "xdg-open was not started";
  EXPECT_TRUE(opened.readAll().trimmed().endsWith("/quillon-manual.html"));
}

}  // namespace

int main(int argc, char** argv) {
  // The tests need no display.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);  // what the window remembers stays out of ~/.config
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
