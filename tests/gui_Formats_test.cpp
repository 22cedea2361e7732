// The window's side of the output formats: "Save text as..." with every format, the
// doubtful words coloured in the output field, and a picture dropped onto the window.
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>
#include <QTextBlock>
#include <QUrl>

#include "gui_TestWindow.h"

namespace {

PageWord Word(const std::string& text, int32_t left, double confidence) {
  PageWord word;
  for (size_t i = 0; i < text.size(); ++i) {
    PageChar c;
    c.code = uint8_t(text[i]);
    c.box = PageBox{left + int32_t(i) * 12, 10, left + int32_t(i) * 12 + 9, 29};
    c.confidence = confidence;
    word.chars.push_back(c);
  }
  return word;
}

// The field "Seite zwei" whose second word was read with little confidence.
void ShowDoubtfulPage(QtWindow& window, TMainForm& form) {
  form.pageText = PageText();
  form.pageText.width = DIBWidth(form.picture);
  form.pageText.height = DIBHeight(form.picture);
  PageLine line;
  line.words = {Word("Seite", 10, 0.95), Word("zwei", 90, 0.3)};
  form.pageText.blocks.push_back(PageBlock{{line}, {}, 0});
  form.pageText.Summarise();
  window.OutputBeginUpdate();
  window.OutputClear();
  window.OutputAdd("Seite zwei");
  window.OutputEndUpdate();
  form.MarkDoubtfulWords();
}

// Pixels of the field's visible text area in the doubtful words' colour.
int MarkedPixels(QtWindow& window) {
  Settle(30);
  const QImage image = window.RichEdit1->viewport()->grab().toImage();
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      count += image.pixelColor(x, y) == QColor(255, 200, 120);
  return count;
}

TEST_F(WindowTest, SaveTextOffersEveryFormatAndWritesTheChosenOne) {
  StartWindow();
  ShowDoubtfulPage(*window, *form);
  closeStrayBoxes = false;
  QStringList filters;
  ASSERT_TRUE(AnswerDialog<QFileDialog>(
      [&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        // As a person does it: the type chosen in the dialog's list, a name without extension.
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(1);
        emit types->activated(1);  // what a click in the list sends
        emit types->textActivated(types->itemText(1));
        dialog->selectFile(QString::fromStdString(Path("page")));
        static_cast<QDialog*>(dialog)->accept();
      },
      [&] { window->SaveBtn->click(); }));
  const QStringList captions{"Text files (*.txt", "hOCR files (*.hocr", "ALTO XML files (*.xml",
                             "TSV files (*.tsv", "Searchable PDF files (*.pdf"};
  ASSERT_EQ(filters.size(), captions.size());
  for (int i = 0; i < captions.size(); ++i) EXPECT_TRUE(filters[i].startsWith(captions[i])) << i;
  QFile saved(QString::fromStdString(Path("page.hocr")));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray hocr = saved.readAll();
  EXPECT_TRUE(hocr.contains("class=\"ocr_page\""));
  EXPECT_TRUE(hocr.contains(">zwei</span>"));
}

TEST_F(WindowTest, DoubtfulWordsAreColouredUntilTheCheckBoxIsOff) {
  StartWindow();
  window->PageControl1->setCurrentIndex(kPageOutputText);
  EXPECT_EQ(MarkedPixels(*window), 0);
  ShowDoubtfulPage(*window, *form);
  ASSERT_EQ(window->RichEdit1->extraSelections().size(), 1);
  EXPECT_EQ(window->RichEdit1->extraSelections()[0].cursor.selectedText(), "zwei");
  EXPECT_GT(MarkedPixels(*window), 20);

  window->MarkWordsCheck->setChecked(false);
  EXPECT_TRUE(window->RichEdit1->extraSelections().isEmpty());
  EXPECT_EQ(MarkedPixels(*window), 0);
  window->MarkWordsCheck->setChecked(true);
  EXPECT_GT(MarkedPixels(*window), 20);

  // The mark stays on its word while the user edits in front of it.
  QTextCursor cursor(window->RichEdit1->document());
  cursor.insertText("Neue ");
  ASSERT_EQ(window->RichEdit1->extraSelections().size(), 1);
  EXPECT_EQ(window->RichEdit1->extraSelections()[0].cursor.selectedText(), "zwei");

  // A new text drops the old marks.
  window->OutputClear();
  window->OutputAdd("Seite zwei");
  EXPECT_TRUE(window->RichEdit1->extraSelections().isEmpty());
}

bool Drop(QtWindow& window, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QApplication::sendEvent(&window, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  Settle();
  return true;
}

TEST_F(WindowTest, DroppedPictureIsOpenedOnTheScanPage) {
  StartWindow();
  window->PageControl1->setCurrentIndex(kPageOutputText);
  const std::string path = DrawBoxes("dropped.png", 310, 170, {QRect(20, 20, 40, 30)});
  EXPECT_FALSE(Drop(*window, {QUrl("https://example.org/page.png")}));
  EXPECT_FALSE(Drop(*window, {}));
  ASSERT_TRUE(Drop(*window, {QUrl::fromLocalFile(QString::fromStdString(path))}));
  EXPECT_EQ(DIBWidth(form->picture), 310);
  EXPECT_EQ(DIBHeight(form->picture), 170);
  EXPECT_EQ(form->pictureName, path);
  EXPECT_EQ(window->ActivePage(), kPageScanDocument);

  // A file that is no picture is reported and the shown picture stays.
  QFile text(QString::fromStdString(Path("notes.txt")));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("not a picture");
  text.close();
  ASSERT_TRUE(Drop(*window, {QUrl::fromLocalFile(text.fileName())}));
  EXPECT_EQ(strayMessages.size(), 1u);
  EXPECT_EQ(DIBWidth(form->picture), 310);
}

}  // namespace
