#include "gui/QtWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>

#include "app/MainUnit.h"
#include "app/Options.h"
#include "gui/Dialogs.h"
#include "gui/Icons.h"
#include "gui/PaintBoxWidget.h"

namespace {

// Pending events run at most this often: the object fill asks once per span, which must
// cost nothing, while a click on the cancel button must still be handled promptly.
constexpr auto kPumpInterval = std::chrono::milliseconds(30);

// The work column's width: its widest row, the picture buttons beside the scanner's.
constexpr int kLeftColumnWidth = 290;
// The page view takes this many times the log's height; the log keeps a few lines.
constexpr int kViewShare = 4;
constexpr int kLogMinimumHeight = 60;
// The window's first size, made smaller where the screen is smaller (1024 x 768 and up).
constexpr QSize kPreferredSize(1180, 780);
// The page list's width: room for "Page 999" and a scroll bar.
constexpr int kPageListWidth = 110;
// A page's picture in the list: an A4 page fits at 64 x 90.
constexpr QSize kThumbnailSize(64, 90);
constexpr int kThumbnailShown = Qt::UserRole;  // item data: the page's own picture is shown
// Where the window keeps what it remembers between runs.
constexpr const char* kSplitterKey = "window/viewSplitter";
constexpr const char* kFolderKey = "files/lastFolder";
// xdg-open that fails (no program for the file) does so at once; one that is still
// running after this long has started a program.
constexpr int kShellOpenWatch = 15000;  // ms
constexpr int kShellOpenPoll = 100;     // ms

// The background of doubtful words in the output field: a light orange.
const QColor kDoubtfulWordColour(255, 200, 120);
// A word shown on the page view keeps this many pixels of its surroundings in sight, so
// that its line can be read.
constexpr int kShownWordMargin = 80;
// The first line of each later page of a document: a light blue.
const QColor kPageStartColour(215, 230, 250);

// The largest page view, in pixels (4 bytes each): an A4 page scanned at 600 dpi shown at
// the highest zoom of 300 % needs about 313 million.
constexpr int64_t kMaxViewPixels = int64_t(1) << 29;

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// The log and output widgets show one block per line; a line break inside a line would
// put the widget's block numbers out of step with the line numbers.
QString OneLine(const std::string& s) {
  QString text = Text(s);
  text.replace('\n', ' ');
  text.replace('\r', ' ');
  return text;
}

// The row of a setting in the option table: its range and caption are the window's too.
const OptionSpec& Option(const char* name) {
  const OptionSpec* spec = FindOption(name);
  if (!spec) throw std::logic_error(std::string("no option row ") + name);
  return *spec;
}

QString Caption(const char* option) {
  return Option(option).caption;
}

template <typename SpinBox>
void SetRangeOf(SpinBox* box, const char* option) {
  const OptionSpec& spec = Option(option);
  box->setRange(spec.low, spec.high);
}

QPushButton* Button(const QString& caption, const QString& name, const QIcon& icon,
                    QWidget* parent) {
  auto* button = new QPushButton(icon, caption, parent);
  button->setObjectName(name);
  button->setIconSize(QSize(20, 20));
  button->setMinimumHeight(30);
  return button;
}

QToolButton* PictureButton(const QIcon& icon, const QString& text, const QString& hint,
                           const QString& name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(icon);
  button->setIconSize(QSize(28, 28));
  button->setText(text);
  button->setToolTip(hint);
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  return button;
}

QLabel* Title(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.25);
  label->setFont(font);
  return label;
}

// The decorative side panel of the output page: a column of blue with the page banner.
QWidget* BannerPanel(const QString& caption, const QString& name, QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName("BannerPanel");
  panel->setFixedWidth(120);
  panel->setStyleSheet(
      "#BannerPanel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
      "stop:0 #2f5f9e, stop:1 #16345c); border-radius: 4px; }");
  auto* layout = new QVBoxLayout(panel);
  auto* picture = new QLabel(panel);
  picture->setPixmap(ApplicationIcon().pixmap(64, 64));
  picture->setAlignment(Qt::AlignCenter);
  layout->addWidget(picture);
  auto* label = new QLabel(caption, panel);
  label->setObjectName(name);
  label->setStyleSheet("color: white; font-weight: bold;");
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  layout->addWidget(label);
  layout->addStretch(1);
  return panel;
}

// A small grey picture of a page (24 bits) for the page list: each pixel the mean
// brightness of the page pixels it covers.
QIcon PageThumbnail(const RasterImage& picture) {
  const int32_t width = DIBWidth(picture), height = DIBHeight(picture);
  if (!picture.pixels || DIBBitCount(picture) != 24 || width <= 0 || height <= 0) return {};
  const QSize size = QSize(width, height).scaled(kThumbnailSize, Qt::KeepAspectRatio);
  QImage thumbnail(std::max(size.width(), 1), std::max(size.height(), 1),
                   QImage::Format_Grayscale8);
  for (int ty = 0; ty < thumbnail.height(); ++ty) {
    const int32_t y0 = int32_t(int64_t(ty) * height / thumbnail.height());
    const int32_t y1 = std::max(y0 + 1, int32_t(int64_t(ty + 1) * height / thumbnail.height()));
    uchar* row = thumbnail.scanLine(ty);
    for (int tx = 0; tx < thumbnail.width(); ++tx) {
      const int32_t x0 = int32_t(int64_t(tx) * width / thumbnail.width());
      const int32_t x1 = std::max(x0 + 1, int32_t(int64_t(tx + 1) * width / thumbnail.width()));
      int64_t sum = 0;
      for (int32_t y = y0; y < y1; ++y)
        for (const uint8_t* p = DIBPixel24(picture, x0, y); p < DIBPixel24(picture, x1, y); p += 3)
          sum += p[0] + p[1] + p[2];
      row[tx] = uchar(sum / (3 * int64_t(x1 - x0) * (y1 - y0)));
    }
  }
  return QIcon(QPixmap::fromImage(thumbnail));
}

// A page not shown yet: white paper, so that every page takes the same room.
QIcon BlankThumbnail() {
  QPixmap paper(kThumbnailSize);
  paper.fill(Qt::white);
  QPainter painter(&paper);
  painter.setPen(Qt::lightGray);
  painter.drawRect(paper.rect().adjusted(0, 0, -1, -1));
  return QIcon(paper);
}

}  // namespace

QtWindow::QtWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("MainForm");
  setWindowTitle(kProductCaption);
  setWindowIcon(ApplicationIcon());

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(6, 6, 6, 6);

  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName("PageControl1");
  PageControl1->addTab(BuildScanPage(), "Scan document");
  PageControl1->addTab(BuildOutputPage(), "Output text");
  PageControl1->addTab(BuildSettingsPage(), "Other settings");
  PageControl1->setCornerWidget(BuildBar(), Qt::TopRightCorner);
  layout->addWidget(PageControl1, 1);

  Panel1 = BuildDeveloperPanel();
  Panel1->setParent(central);
  Panel1->hide();
  layout->addWidget(Panel1);
  setCentralWidget(central);

  EntercharForm = new TEntercharForm(this);
  AboutBox = new TAboutBox(this);

  auto* shortcut = new QShortcut(QKeySequence("Ctrl+Shift+D"), this);
  connect(shortcut, &QShortcut::activated, this,
          [this] { SetDeveloperPanelVisible(!Panel1->isVisible()); });

  setAcceptDrops(true);
  RichEdit1->viewport()->installEventFilter(this);
  ScrollBox1->viewport()->installEventFilter(this);
  BuildShortcuts();
  QSize size = kPreferredSize;
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size());
  resize(size);
  const QByteArray splitter = QSettings().value(kSplitterKey).toByteArray();
  if (splitter.isEmpty() || !ViewSplitter->restoreState(splitter))
    ViewSplitter->setSizes({kViewShare * size.height(), size.height()});
}

QtWindow::~QtWindow() {
  QSettings().setValue(kSplitterKey, ViewSplitter->saveState());
}

// The shortcuts a desktop program has; the buttons' own letters come with their captions.
void QtWindow::BuildShortcuts() {
  const auto add = [this](QKeySequence keys, QAbstractButton* button) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
  };
  add(QKeySequence::Open, OpenPicsBtn);
  add(QKeySequence::Save, SaveBtn);
  add(QKeySequence::HelpContents, ImageBtn1);
}

QWidget* QtWindow::BuildPageArea(QWidget* parent) {
  auto* area = new QWidget(parent);
  auto* row = new QHBoxLayout(area);
  row->setContentsMargins(0, 0, 0, 0);
  auto* pagesColumn = new QWidget(area);
  pagesColumn->setObjectName("PagesColumn");
  pagesColumn->setFixedWidth(kPageListWidth);
  auto* pages = new QVBoxLayout(pagesColumn);
  pages->setContentsMargins(0, 0, 0, 0);
  auto* readLabel = new QLabel("Rea&d:", pagesColumn);
  ReadPagesCombo = new QComboBox(pagesColumn);
  ReadPagesCombo->setObjectName("ReadPagesCombo");
  ReadPagesCombo->addItems({"All pages", "Selected pages"});
  ReadPagesCombo->setToolTip("Which pages \"Start text OCR...\" reads");
  readLabel->setBuddy(ReadPagesCombo);
  PageList = new QListWidget(pagesColumn);
  PageList->setObjectName("PageList");
  PageList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  PageList->setViewMode(QListView::IconMode);  // the picture above its number, one column
  PageList->setFlow(QListView::TopToBottom);
  PageList->setWrapping(false);
  PageList->setMovement(QListView::Static);
  PageList->setIconSize(kThumbnailSize);
  pages->addWidget(readLabel);
  pages->addWidget(ReadPagesCombo);
  pages->addWidget(PageList, 1);
  pagesColumn->hide();
  row->addWidget(pagesColumn);

  ScrollBox1 = new QScrollArea(area);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setBackgroundRole(QPalette::Dark);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PaintBox1 = new PaintBoxWidget(96, 60);
  PaintBox1->setObjectName("PaintBox1");
  ScrollBox1->setWidget(PaintBox1);
  row->addWidget(ScrollBox1, 1);

  // A click on a page shows it; selecting several chooses what to read.
  connect(PageList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int32_t page = PageList->row(item);
    if (!form_ || Busy() || page == form_->pageIndex || form_->pictureName.empty()) return;
    const std::string name = form_->pictureName;
    Run(Kind::Exclusive, [this, name, page] { form_->OpenPicPage(name, page); });
  });
  connect(PageList, &QListWidget::itemSelectionChanged, this, [this] {
    if (PageList->selectedItems().size() > 1) ReadPagesCombo->setCurrentIndex(1);
  });
  return area;
}

QWidget* QtWindow::BuildScanPage() {
  auto* page = new QWidget;
  auto* outer = new QHBoxLayout(page);
  outer->addWidget(BuildWorkColumn(page));
  outer->addWidget(BuildViewSplitter(page), 1);
  ConnectPageView();
  return page;
}

QWidget* QtWindow::BuildWorkColumn(QWidget* page) {
  // Left: the work, from the picture to the text, top to bottom; it scrolls where the
  // window is too low for all of it.
  LeftPanel = new QScrollArea(page);
  LeftPanel->setObjectName("LeftPanel");
  LeftPanel->setWidgetResizable(true);
  LeftPanel->setFrameShape(QFrame::NoFrame);
  LeftPanel->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  auto* column = new QWidget(LeftPanel);
  column->setFixedWidth(kLeftColumnWidth);
  LeftPanel->setFixedWidth(kLeftColumnWidth + LeftPanel->verticalScrollBar()->sizeHint().width());
  auto* left = new QVBoxLayout(column);
  left->setContentsMargins(0, 0, 0, 0);

  left->addWidget(BuildPictureBox(column));
  left->addWidget(BuildBlackWhiteBox(column));
  left->addWidget(BuildRecognitionBox(column));
  left->addStretch(1);
  LeftPanel->setWidget(column);
  return LeftPanel;
}

QGroupBox* QtWindow::BuildPictureBox(QWidget* column) {
  auto* pictureBox = new QGroupBox("Picture", column);
  auto* pictureGrid = new QGridLayout(pictureBox);
  OpenPicsBtn = Button("&Open picture...", "OpenPicsBtn", OpenIcon(), pictureBox);
  SavePicBtn = Button("Sa&ve picture...", "SavePicBtn", SaveIcon(), pictureBox);
  PicEditBtn = Button("&Edit picture...", "PicEditBtn", RotateIcon(), pictureBox);
  SourceBtn =
      PictureButton(SourceIcon(), "Sc&anner...", "Choose the scanner", "SourceBtn", pictureBox);
  ScanBtn = PictureButton(ScannerIcon(), "S&can", "Scan a page", "ScanBtn", pictureBox);
  pictureGrid->addWidget(OpenPicsBtn, 0, 0);
  pictureGrid->addWidget(SavePicBtn, 1, 0);
  pictureGrid->addWidget(PicEditBtn, 2, 0);
  pictureGrid->addWidget(SourceBtn, 0, 1, 2, 1);
  pictureGrid->addWidget(ScanBtn, 2, 1, 1, 1);
  PageRow = new QWidget(pictureBox);
  auto* pageLayout = new QHBoxLayout(PageRow);
  pageLayout->setContentsMargins(0, 0, 0, 0);
  PrevPageBtn = new QPushButton("<", PageRow);
  PrevPageBtn->setObjectName("PrevPageBtn");
  PrevPageBtn->setToolTip("Previous page");
  PageLabel = new QLabel(PageRow);
  PageLabel->setObjectName("PageLabel");
  PageLabel->setAlignment(Qt::AlignCenter);
  NextPageBtn = new QPushButton(">", PageRow);
  NextPageBtn->setObjectName("NextPageBtn");
  NextPageBtn->setToolTip("Next page");
  pageLayout->addWidget(PrevPageBtn);
  pageLayout->addWidget(PageLabel, 1);
  pageLayout->addWidget(NextPageBtn);
  PageRow->hide();
  pictureGrid->addWidget(PageRow, 3, 0, 1, 2);

  PicEditMenu = new QMenu(PicEditBtn);
  PicEditMenu->setObjectName("PopupMenu1");
  QAction* rotateLeft = PicEditMenu->addAction("Rotation 90° to the left...");
  rotateLeft->setObjectName("Rotation901");
  QAction* rotateRight = PicEditMenu->addAction("Rotation 90° to the right...");
  rotateRight->setObjectName("Rotation90nachrechts1");

  connect(OpenPicsBtn, &QPushButton::clicked, this, [this] {
    if (!form_ || Busy() || !MayDiscardText()) return;
    const void* before = form_->picture.pixels;
    Run(Kind::Exclusive, [this] { form_->OpenPicsBtnClick(); });
    if (form_->picture.pixels != before) ForgetTextOfOldPicture();
  });
  connect(PrevPageBtn, &QPushButton::clicked, this,
          [this] { Run(Kind::Exclusive, [this] { form_->PrevPageBtnClick(); }); });
  connect(NextPageBtn, &QPushButton::clicked, this,
          [this] { Run(Kind::Exclusive, [this] { form_->NextPageBtnClick(); }); });
  connect(SavePicBtn, &QPushButton::clicked, this,
          [this] { Run(Kind::Plain, [this] { form_->SavePicBtnClick(); }); });
  connect(PicEditBtn, &QPushButton::clicked, this, [this] {
    // The menu opens at the lower left corner of the button.
    PicEditMenu->popup(PicEditBtn->mapToGlobal(PicEditBtn->rect().bottomLeft()));
  });
  connect(rotateLeft, &QAction::triggered, this,
          [this] { Run(Kind::Exclusive, [this] { form_->Rotation901Click(); }); });
  connect(rotateRight, &QAction::triggered, this,
          [this] { Run(Kind::Exclusive, [this] { form_->Rotation90nachrechts1Click(); }); });
  connect(SourceBtn, &QToolButton::clicked, this, [this] {
    // The search for devices takes seconds and holds the window meanwhile.
    BeginBusy("Searching for scanners...", 0);
    Run(Kind::Plain, [this] { form_->SourceBtnClick(); });
    EndBusy();
  });
  connect(ScanBtn, &QToolButton::clicked, this,
          [this] { Run(Kind::Plain, [this] { form_->ScanBtnClick(); }); });
  return pictureBox;
}

QGroupBox* QtWindow::BuildBlackWhiteBox(QWidget* column) {
  auto* bwBox = new QGroupBox("Black and white", column);
  auto* bw = new QGridLayout(bwBox);
  bw->addWidget(new QLabel(Caption("--separation"), bwBox), 0, 0, 1, 3);
  SchwellEd = new QSpinBox(bwBox);
  SchwellEd->setObjectName("SchwellEd");
  SetRangeOf(SchwellEd, "--separation");
  SchwellEd->setValue(Settings{}.SchwellEd);
  bw->addWidget(SchwellEd, 1, 0);
  bw->addWidget(new QLabel("%", bwBox), 1, 1);
  RenderBlackWhiteBtn = Button("&Render again", "RenderBlackWhiteBtn", RenderIcon(), bwBox);
  bw->addWidget(RenderBlackWhiteBtn, 1, 2);
  bw->addWidget(new QLabel("Histogram of brightness:", bwBox), 2, 0, 1, 3);
  PaintBox2 = new PaintBoxWidget(256, 256, bwBox);
  PaintBox2->setObjectName("PaintBox2");
  PaintBox2->setMouseTracking(false);
  bw->addWidget(PaintBox2, 3, 0, 1, 3, Qt::AlignHCenter);
  bw->setColumnStretch(2, 1);

  connect(RenderBlackWhiteBtn, &QPushButton::clicked, this,
          [this] { Run(Kind::Exclusive, [this] { form_->RenderBlackWhiteBtnClick(); }); });
  connect(SchwellEd, &QSpinBox::valueChanged, this, [this](int value) {
    if (form_) form_->settings.SchwellEd = value;
  });
  return bwBox;
}

QGroupBox* QtWindow::BuildRecognitionBox(QWidget* column) {
  auto* ocrBox = new QGroupBox("Recognition", column);
  auto* ocr = new QGridLayout(ocrBox);
  auto* zoomLabel = new QLabel("&Zoom:", ocrBox);
  ocr->addWidget(zoomLabel, 0, 0);
  ZoomEd = new QSpinBox(ocrBox);
  zoomLabel->setBuddy(ZoomEd);
  ZoomEd->setObjectName("ZoomEd");
  ZoomEd->setRange(10, 300);
  ZoomEd->setSingleStep(5);
  ZoomEd->setValue(Settings{}.ZoomEd);
  ocr->addWidget(ZoomEd, 0, 1);
  ocr->addWidget(new QLabel("%", ocrBox), 0, 2);
  FindCharsBtn = Button("Only &find lines", "FindCharsBtn", FindLinesIcon(), ocrBox);
  ocr->addWidget(FindCharsBtn, 1, 0, 1, 4);
  TextErkennBtn = Button("Start &text OCR...", "TextErkennBtn", RecogniseIcon(), ocrBox);
  QFont strong = TextErkennBtn->font();
  strong.setBold(true);
  TextErkennBtn->setFont(strong);
  TextErkennBtn->setMinimumHeight(36);
  ocr->addWidget(TextErkennBtn, 2, 0, 1, 4);
  BreakBtn = Button("Cancel", "BreakBtn", CancelIcon(), ocrBox);
  BreakBtn->setToolTip("Stops the recognition after the current character (Esc)");
  BreakBtn->setShortcut(QKeySequence(Qt::Key_Escape));
  ocr->addWidget(BreakBtn, 3, 0, 1, 4);
  BusyLabel = new QLabel(ocrBox);
  BusyLabel->setObjectName("BusyLabel");
  BusyLabel->setWordWrap(true);
  BusyLabel->hide();
  ocr->addWidget(BusyLabel, 4, 0, 1, 4);
  ReadProgress = new QProgressBar(ocrBox);
  ReadProgress->setObjectName("ReadProgress");
  ReadProgress->hide();
  ocr->addWidget(ReadProgress, 5, 0, 1, 4);
  ocr->setColumnStretch(3, 1);

  connect(FindCharsBtn, &QPushButton::clicked, this,
          [this] { Run(Kind::Exclusive, [this] { form_->FindCharsBtnClick(); }); });
  connect(TextErkennBtn, &QPushButton::clicked, this, [this] {
    if (form_ && !Busy()) ReadDocument();
  });
  connect(BreakBtn, &QPushButton::clicked, this,
          [this] { Run(Kind::Plain, [this] { form_->BitBtn1Click(); }); });
  connect(ZoomEd, &QSpinBox::valueChanged, this, [this](int value) {
    if (!form_) return;
    form_->settings.ZoomEd = value;
    Run(Kind::Plain, [this] { form_->ZoomEdChange(); });
  });
  return ocrBox;
}

QSplitter* QtWindow::BuildViewSplitter(QWidget* page) {
  // Right: the pages and the page view above the log; the view gets the room.
  ViewSplitter = new QSplitter(Qt::Vertical, page);
  ViewSplitter->setObjectName("ViewSplitter");
  ViewSplitter->setChildrenCollapsible(false);
  QWidget* pageArea = BuildPageArea(ViewSplitter);
  Memo1 = new QPlainTextEdit(ViewSplitter);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setFont(QFont("Liberation Mono", 9));
  Memo1->setMinimumHeight(kLogMinimumHeight);
  ViewSplitter->addWidget(pageArea);
  ViewSplitter->addWidget(Memo1);
  ViewSplitter->setStretchFactor(0, kViewShare);
  ViewSplitter->setStretchFactor(1, 1);
  return ViewSplitter;
}

void QtWindow::ConnectPageView() {
  PaintBox1->onPaint = [this] {
    if (form_) Guarded([this] { form_->PaintBox1Paint(); });
  };
  // Editing the search area while a search runs over it would move the ground under it.
  PaintBox1->onMouseDown = [this](int32_t x, int32_t y) {
    if (form_ && !Busy()) Run(Kind::Plain, [=, this] { form_->PaintBox1MouseDown(x, y); });
  };
  PaintBox1->onMouseMove = [this](int32_t x, int32_t y) {
    if (form_ && !Busy()) Run(Kind::Plain, [=, this] { form_->PaintBox1MouseMove(x, y); });
  };
  PaintBox1->onMouseUp = [this](int32_t x, int32_t y) {
    if (form_ && !Busy()) Run(Kind::Plain, [=, this] { form_->PaintBox1MouseUp(x, y); });
  };
  PaintBox2->onPaint = [this] {
    if (form_) Guarded([this] { form_->PaintBox2Paint(); });
  };
}

QWidget* QtWindow::BuildOutputPage() {
  auto* page = new QWidget;
  auto* outer = new QVBoxLayout(page);
  auto* title = Title("Output text - here you can save the recognized text as word file", page);
  title->setObjectName("RxLabel2");
  outer->addWidget(title);

  auto* body = new QHBoxLayout;
  body->addWidget(BannerPanel("Output text....", "RxLabel7", page));
  auto* right = new QVBoxLayout;
  auto* row = new QHBoxLayout;
  SaveBtn = Button("&Save text as...", "SaveBtn", SaveIcon(), page);
  SaveRTFBtn = Button("Save &word file as...", "SaveRTFBtn", SaveIcon(), page);
  OpenWordCheck = new QCheckBox("O&pen word file after creation", page);
  OpenWordCheck->setObjectName("OpenWordCheck");
  OpenWordCheck->setChecked(true);
  MarkWordsCheck = new QCheckBox("&Mark doubtful words", page);
  MarkWordsCheck->setObjectName("MarkWordsCheck");
  MarkWordsCheck->setChecked(true);
  MarkWordsCheck->setToolTip("Words more likely wrong than right get a coloured background");
  auto* label10 = new QLabel(Caption("--column-width").replace("width", "&width"), page);
  label10->setObjectName("Label10");
  KoorFakEd = new QDoubleSpinBox(page);
  KoorFakEd->setObjectName("KoorFakEd");
  SetRangeOf(KoorFakEd, "--column-width");
  KoorFakEd->setDecimals(1);
  KoorFakEd->setSingleStep(0.5);
  KoorFakEd->setValue(Settings{}.KoorFakEd);
  KoorFakEd->setToolTip("Page pixels per pixel of indentation: smaller values spread columns");
  label10->setBuddy(KoorFakEd);
  row->addWidget(SaveBtn);
  row->addWidget(SaveRTFBtn);
  row->addWidget(OpenWordCheck);
  row->addWidget(MarkWordsCheck);
  row->addStretch(1);
  row->addWidget(label10);
  row->addWidget(KoorFakEd);
  right->addLayout(row);

  right->addWidget(BuildOutputField(page), 1);
  body->addLayout(right, 1);
  outer->addLayout(body, 1);

  connect(SaveBtn, &QPushButton::clicked, this,
          [this] { SaveOutput([this] { form_->SaveTextBtnClick(); }); });
  connect(SaveRTFBtn, &QPushButton::clicked, this,
          [this] { SaveOutput([this] { form_->SaveWordBtnClick(); }); });
  connect(MarkWordsCheck, &QCheckBox::toggled, this, [this] { ShowMarks(); });
  connect(OpenWordCheck, &QCheckBox::toggled, this, [this](bool checked) {
    if (form_) form_->openWordFileAfterCreation = checked;
  });
  // Every change of the text counts, also text that is not (yet) a number. The spin box
  // reports only acceptable values, and its line edit stays silent when the value is set
  // (arrows, program): both are heard, and a text already handled is not fitted twice.
  koorFakEdit_ = KoorFakEd->findChild<QLineEdit*>();
  connect(koorFakEdit_, &QLineEdit::textChanged, this, &QtWindow::KoorFakEdTextChanged);
  connect(KoorFakEd, &QDoubleSpinBox::valueChanged, this,
          [this] { KoorFakEdTextChanged(koorFakEdit_->text()); });
  connect(RichEdit1->document(), &QTextDocument::contentsChanged, this, [this] {
    if (writingOutput_) return;
    outputStale_ = true;
    textEdited_ = true;
    textUnsaved_ = true;
  });
  return page;
}

QPlainTextEdit* QtWindow::BuildOutputField(QWidget* page) {
  RichEdit1 = new QPlainTextEdit(page);
  RichEdit1->setObjectName("RichEdit1");
  RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  RichEdit1->setTabChangesFocus(false);
  // The fitting measures indentation in this font (Arial, 11 pixels).
  QFont font("Arial");
  font.setPixelSize(11);
  RichEdit1->setFont(font);
  RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(RichEdit1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const std::unique_ptr<QMenu> menu(OutputContextMenu(at));
    menu->exec(RichEdit1->viewport()->mapToGlobal(at));
  });
  return RichEdit1;
}

QWidget* QtWindow::BuildSettingsPage() {
  auto* page = new QWidget;
  auto* outer = new QVBoxLayout(page);
  outer->addWidget(Title("Other settings", page));

  auto* objectsBox = new QGroupBox("Object search", page);
  auto* grid = new QGridLayout(objectsBox);
  grid->addWidget(new QLabel(Caption("--min-object-size"), objectsBox), 0, 0);
  MinObjSizeED = new QSpinBox(objectsBox);
  MinObjSizeED->setObjectName("MinObjSizeED");
  SetRangeOf(MinObjSizeED, "--min-object-size");
  MinObjSizeED->setValue(Settings{}.MinObjSizeED);
  grid->addWidget(MinObjSizeED, 0, 1);
  grid->setColumnStretch(2, 1);
  outer->addWidget(objectsBox);

  auto* picturesBox = new QGroupBox("Pictures on the page", page);
  auto* pictures = new QGridLayout(picturesBox);
  BildFilterCheck = new QCheckBox(Caption("--exclude-pictures"), picturesBox);
  BildFilterCheck->setObjectName("BildFilterCheck");
  BildFilterCheck->setChecked(Settings{}.BildFilterCheck);
  pictures->addWidget(BildFilterCheck, 0, 0, 1, 3);
  TrackBar1 = new QSlider(Qt::Horizontal, picturesBox);
  TrackBar1->setObjectName("TrackBar1");
  SetRangeOf(TrackBar1, "--picture-filter");
  TrackBar1->setSingleStep(1);
  TrackBar1->setPageStep(1);
  TrackBar1->setValue(Settings{}.TrackBar1);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setTickInterval(1);
  TrackBar1->setMinimumWidth(220);
  pictures->addWidget(new QLabel("More text", picturesBox), 1, 0);
  pictures->addWidget(TrackBar1, 1, 1);
  pictures->addWidget(new QLabel("Less pictures", picturesBox), 1, 2);
  pictures->setColumnStretch(3, 1);
  outer->addWidget(picturesBox);
  outer->addWidget(BuildRecogniserBox(page));
  outer->addWidget(BuildReadingBox(page));
  outer->addStretch(1);

  connect(MinObjSizeED, &QSpinBox::valueChanged, this, [this](int value) {
    if (form_) form_->settings.MinObjSizeED = value;
  });
  connect(BildFilterCheck, &QCheckBox::toggled, this, [this](bool checked) {
    if (form_) form_->settings.BildFilterCheck = checked;
  });
  connect(TrackBar1, &QSlider::valueChanged, this, [this](int value) {
    if (form_) form_->settings.TrackBar1 = value;
  });
  return page;
}

// The recogniser's choice, captioned and listed as in the option table.
QWidget* QtWindow::BuildRecogniserBox(QWidget* page) {
  const OptionSpec* option = FindOption("--recogniser");
  auto* box = new QGroupBox("Recognition", page);
  auto* grid = new QGridLayout(box);
  grid->addWidget(new QLabel(option ? option->caption : "Recogniser:", box), 0, 0);
  RecogniserBox = new QComboBox(box);
  RecogniserBox->setObjectName("RecogniserBox");
  if (option)
    for (const char* choice : option->choices) RecogniserBox->addItem(choice);
  grid->addWidget(RecogniserBox, 0, 1);
  grid->setColumnStretch(2, 1);
  connect(RecogniserBox, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!form_) return;
    form_->settings.recogniser = index == 1 ? RecogniserKind::Extended : RecogniserKind::Classic;
    // The word list follows the recogniser until the user chooses: show what is in force.
    const QSignalBlocker blocker(DictionaryCheck);
    DictionaryCheck->setChecked(form_->settings.UseDictionary());
  });
  return box;
}

// Reading order and word list of the extended recogniser; captions and choices from the
// option table.
QWidget* QtWindow::BuildReadingBox(QWidget* page) {
  auto* box = new QGroupBox("Reading", page);
  auto* grid = new QGridLayout(box);
  const OptionSpec* order = FindOption("--reading-order");
  grid->addWidget(new QLabel(order->caption, box), 0, 0);
  ReadingOrderCombo = new QComboBox(box);
  ReadingOrderCombo->setObjectName("ReadingOrderCombo");
  ReadingOrderCombo->addItem("Automatic");
  for (const char* choice : order->choices) ReadingOrderCombo->addItem(choice);
  grid->addWidget(ReadingOrderCombo, 0, 1);
  DictionaryCheck = new QCheckBox(FindOption("--dictionary")->caption, box);
  DictionaryCheck->setObjectName("DictionaryCheck");
  grid->addWidget(DictionaryCheck, 1, 0, 1, 2);
  grid->addWidget(new QLabel(FindOption("--language")->caption, box), 2, 0);
  LanguagesEdit = new QLineEdit(box);
  LanguagesEdit->setObjectName("LanguagesEdit");
  LanguagesEdit->setToolTip(FindOption("--language")->help);
  grid->addWidget(LanguagesEdit, 2, 1);
  grid->setColumnStretch(2, 1);
  connect(ReadingOrderCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
    // The items: Automatic (by the recogniser), then the orders as they are enumerated.
    if (!form_) return;
    if (index <= 0)
      form_->settings.readingOrder.reset();
    else
      form_->settings.readingOrder = ReadingOrder(std::min(index, 2) - 1);
  });
  connect(DictionaryCheck, &QCheckBox::toggled, this, [this](bool checked) {
    if (form_) form_->settings.dictionary = checked ? Switch::On : Switch::Off;
  });
  // A list being typed is taken once it is whole; until then the last whole one stays, and
  // the field, in red, says what is wrong.
  connect(LanguagesEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
    std::vector<Language> languages;
    std::string problem;
    const bool whole = ParseLanguages(text.trimmed().toStdString(), &languages, &problem);
    if (whole && form_ && form_->settings.languages != text.trimmed().toStdString()) {
      form_->settings.languages = text.trimmed().toStdString();
      form_->settings.languagesNamed = true;
    }
    LanguagesEdit->setStyleSheet(whole ? "" : "color: red");
    LanguagesEdit->setToolTip(whole ? FindOption("--language")->help
                                    : QString::fromStdString(problem));
  });
  return box;
}

QWidget* QtWindow::BuildDeveloperPanel() {
  auto* panel = new QGroupBox("Developer");
  panel->setObjectName("Panel1");
  auto* row = new QHBoxLayout(panel);
  struct Entry {
    const char* caption;
    const char* name;
    void (*handler)(TMainForm&);
  };
  static const Entry entries[] = {
      {"Recognize", "RecogBtn", [](TMainForm& f) { f.RecogBtnClick(); }},
      {"Recog V2", "Rec2Btn", [](TMainForm& f) { f.Rec2BtnClick(); }},
      {"Regcog V3", "RegBtn", [](TMainForm& f) { f.RegBtnClick(); }},
      {"auto learn", "Autolearn", [](TMainForm& f) { f.AutolearnClick(); }},
      {"BitBtn3", "BitBtn3", [](TMainForm& f) { f.BitBtn3Click(); }},
      {"Generate font", "BitBtn2", [](TMainForm& f) { f.BitBtn2Click(); }},
      {"Load Words", "LoadWordsBtn", [](TMainForm& f) { f.LoadWordsBtnClick(); }},
  };
  for (const Entry& entry : entries) {
    auto* button = new QPushButton(entry.caption, panel);
    button->setObjectName(entry.name);
    const auto handler = entry.handler;
    connect(button, &QPushButton::clicked, this,
            [this, handler] { Run(Kind::Exclusive, [this, handler] { handler(*form_); }); });
    row->addWidget(button);
  }
  row->addWidget(new QLabel("Line:", panel));
  lineed = new QSpinBox(panel);
  lineed->setObjectName("lineed");
  lineed->setRange(INT_MIN, INT_MAX);
  lineed->setValue(0);
  row->addWidget(lineed);
  Label1 = new QLabel(panel);
  Label1->setObjectName("Label1");
  Label1->setMinimumWidth(60);
  row->addWidget(Label1);
  Label2 = new QLabel(panel);
  Label2->setObjectName("Label2");
  Label2->setMinimumWidth(40);
  QFont big = Label2->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.5);
  Label2->setFont(big);
  row->addWidget(Label2);
  ProgressBar1 = new QProgressBar(panel);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  row->addWidget(ProgressBar1, 1);

  connect(lineed, &QSpinBox::valueChanged, this, [this](int value) {
    if (!form_) return;
    form_->settings.lineed = value;
    Run(Kind::Plain, [this] { form_->lineedChange(); });
  });
  return panel;
}

QWidget* QtWindow::BuildBar() {
  auto* bar = new QWidget;
  auto* row = new QHBoxLayout(bar);
  row->setContentsMargins(0, 0, 2, 2);
  row->setSpacing(2);
  InfoBtn = PictureButton(InfoIcon(), "&Info", "Information about the program", "InfoBtn", bar);
  ImageBtn1 = PictureButton(HelpIcon(), "&Help", "Click here, if you need help", "ImageBtn1", bar);
  endebtn = PictureButton(LeaveIcon(), "&Leave", "Hereby you leave the program", "endebtn", bar);
  for (QToolButton* button : {InfoBtn, ImageBtn1, endebtn}) {
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setIconSize(QSize(20, 20));
    row->addWidget(button);
  }
  connect(InfoBtn, &QToolButton::clicked, this, [this] { AboutBox->exec(); });
  connect(ImageBtn1, &QToolButton::clicked, this,
          [this] { Run(Kind::Plain, [this] { form_->ImageBtn1Click(); }); });
  connect(endebtn, &QToolButton::clicked, this, [this] {
    if (!MayDiscardText()) return;
    textUnsaved_ = false;  // asked already: closing does not ask again
    Run(Kind::Plain, [this] { form_->endebtnClick(); });
  });
  return bar;
}

void QtWindow::Attach(TMainForm* form) {
  form_ = form;
  if (form_) SettingsToWidgets();
}

void QtWindow::SettingsToWidgets() {
  const Settings& s = form_->settings;
  const QSignalBlocker b1(SchwellEd), b2(ZoomEd), b3(MinObjSizeED), b4(BildFilterCheck),
      b5(TrackBar1), b6(KoorFakEd), b7(lineed), b8(OpenWordCheck), b9(koorFakEdit_),
      b10(RecogniserBox), b11(ReadingOrderCombo), b12(DictionaryCheck), b13(LanguagesEdit);
  SchwellEd->setValue(s.SchwellEd);
  ZoomEd->setValue(s.ZoomEd);
  MinObjSizeED->setValue(s.MinObjSizeED);
  BildFilterCheck->setChecked(s.BildFilterCheck);
  TrackBar1->setValue(s.TrackBar1);
  if (!std::isnan(s.KoorFakEd)) KoorFakEd->setValue(s.KoorFakEd);
  lastKoorFakText_ = koorFakEdit_->text();
  lineed->setValue(s.lineed);
  OpenWordCheck->setChecked(form_->openWordFileAfterCreation);
  RecogniserBox->setCurrentIndex(s.Extended() ? 1 : 0);
  ReadingOrderCombo->setCurrentIndex(s.readingOrder ? int(*s.readingOrder) + 1 : 0);
  DictionaryCheck->setChecked(s.UseDictionary());
  LanguagesEdit->setText(QString::fromStdString(s.languages));
}

void QtWindow::KoorFakEdTextChanged(const QString& text) {
  if (!form_ || text == lastKoorFakText_) return;
  // Fitting again replaces the field's text: edits by hand would be lost.
  if (textEdited_ && !Busy() && !MayDiscardText()) {
    RestoreColumnWidthText(lastKoorFakText_);
    return;
  }
  lastKoorFakText_ = text;
  bool ok = false;
  double value = KoorFakEd->locale().toDouble(text.trimmed(), &ok);
  if (!ok) value = QLocale::c().toDouble(text.trimmed(), &ok);
  form_->settings.KoorFakEd = ok ? value : std::numeric_limits<double>::quiet_NaN();
  if (Busy()) {
    // The fitting reorders the lines that a running recognition addresses by index; the
    // run fits with the new value at its end, and any other operation is followed by one.
    refitAfterRun_ = true;
    return;
  }
  if (!linesMatchText_) {
    // The form holds the lines of one page only, and of the last finished run only.
    if (!document_.empty() && form_->RecogniserUsesColumnWidth())
      LogAdd("The new column width applies from the next reading.");
    return;
  }
  Run(Kind::Plain, [this] { form_->KoorFakEdChange(); });
  textEdited_ = false;
  if (!document_.empty()) document_.back().lines = OutputLines();
}

void QtWindow::RestoreColumnWidthText(const QString& text) {
  const QSignalBlocker blockEdit(koorFakEdit_), blockBox(KoorFakEd);
  bool ok = false;
  const double value = KoorFakEd->locale().toDouble(text.trimmed(), &ok);
  if (ok) KoorFakEd->setValue(value);
  koorFakEdit_->setText(text);
}

void QtWindow::SetDeveloperPanelVisible(bool visible) {
  Panel1->setVisible(visible);
  if (visible) ShowDeveloperReadouts();
}

void QtWindow::Run(Kind kind, const std::function<void()>& operation) {
  if (!form_) return;
  if (kind == Kind::Exclusive && Busy()) {
    QApplication::beep();
    return;
  }
  ++busyDepth_;
  Guarded(operation);
  --busyDepth_;
  AfterOperation();
}

void QtWindow::Guarded(const std::function<void()>& operation) {
  // An exception must not cross Qt's event loop; the likely one is a page too large for
  // memory (a huge picture at a high zoom). The state stays as the operation left it; the
  // message waits for the event loop, as this may run inside a paint event.
  QString message;
  try {
    operation();
  } catch (const std::bad_alloc&) {
    message = "There is not enough memory to show or work on this page. Try a smaller zoom.";
  } catch (const std::exception& error) {
    message = QString::fromStdString(error.what());
  }
  if (message.isEmpty()) return;
  QTimer::singleShot(0, this,
                     [this, message] { QMessageBox::warning(this, kApplicationTitle, message); });
}

void QtWindow::AfterOperation() {
  ShowDeveloperReadouts();
  ShowPageRow();
  ShowPageList();
  ScrollToNewPage();
  // What the operation drew straight onto the canvases becomes visible.
  PaintBox1->ShowBuffer();
  PaintBox2->ShowBuffer();
  if (Busy()) return;
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
    return;
  }
  if (!pendingScans_.empty()) {
    const std::vector<int32_t> scans = std::move(pendingScans_);
    pendingScans_.clear();
    for (int32_t id : scans) PostScanMessage(id);
  }
  if (refitAfterRun_) {
    refitAfterRun_ = false;
    if (linesMatchText_) Run(Kind::Plain, [this] { form_->KoorFakEdChange(); });
  }
}

void QtWindow::ScrollToNewPage() {
  if (!form_) return;
  if (form_->picture.pixels == shownPixels_ && form_->pageIndex == shownPage_) return;
  shownPixels_ = form_->picture.pixels;
  shownPage_ = form_->pageIndex;
  ScrollBox1->horizontalScrollBar()->setValue(0);
  ScrollBox1->verticalScrollBar()->setValue(0);
}

void QtWindow::ShowPageList() {
  if (!form_) return;
  QWidget* column = PageList->parentWidget();
  const bool document = form_->pageCount > 1 && !form_->pictureName.empty();
  column->setVisible(document);
  if (!document) {
    PageList->clear();
    return;
  }
  if (PageList->count() != form_->pageCount) {
    const QSignalBlocker blocker(PageList);
    PageList->clear();
    for (int32_t page = 1; page <= form_->pageCount; ++page)
      PageList->addItem(new QListWidgetItem(BlankThumbnail(), QString("Page %1").arg(page)));
  }
  if (PageList->currentRow() != form_->pageIndex) {
    const QSignalBlocker blocker(PageList);
    PageList->setCurrentRow(form_->pageIndex, QItemSelectionModel::NoUpdate);
  }
  // A page gets its picture in the list once it has been shown.
  QListWidgetItem* item = PageList->item(form_->pageIndex);
  if (item && !item->data(kThumbnailShown).toBool()) {
    item->setIcon(PageThumbnail(form_->picture));
    item->setData(kThumbnailShown, true);
  }
}

void QtWindow::ShowDeveloperReadouts() {
  if (!form_) return;
  const QString caption = Text(form_->label2Caption);
  if (Label2->text() != caption) Label2->setText(caption);
  const QString label1 = Text(form_->label1Caption);
  if (Label1->text() != label1) Label1->setText(label1);
  if (ProgressBar1->value() != form_->progressBar1Position)
    ProgressBar1->setValue(form_->progressBar1Position);
}

void QtWindow::ShowPageRow() {
  if (!form_) return;
  const QString caption = Text(form_->PageCaption());
  PageRow->setVisible(!caption.isEmpty());
  if (PageLabel->text() != caption) PageLabel->setText(caption);
  PrevPageBtn->setEnabled(form_->pageIndex > 0);
  NextPageBtn->setEnabled(form_->pageIndex + 1 < form_->pageCount);
}

void QtWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;
  // After the window is up, so that a message box of the opening has a window to sit on.
  QTimer::singleShot(0, this, [this] { Run(Kind::Exclusive, [this] { form_->FormShow(); }); });
}

// The first local file of a drop, empty when it brings none.
static QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls()) return QString();
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return QString();
}

void QtWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (form_ && !DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void QtWindow::dropEvent(QDropEvent* event) {
  const QString file = DroppedFile(event->mimeData());
  if (!form_ || file.isEmpty()) return;
  event->acceptProposedAction();
  OpenDroppedPicture(file.toStdString());
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event) {
  // A file dropped on the output field is a picture to open, not text to paste.
  if (watched == RichEdit1->viewport()) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (DroppedFile(drag->mimeData()).isEmpty()) return false;
      drag->acceptProposedAction();
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString file = DroppedFile(drop->mimeData());
      if (file.isEmpty()) return false;
      drop->acceptProposedAction();
      OpenDroppedPicture(file.toStdString());
      return true;
    }
  }
  // A click on a word shows where it stands on the page.
  if (watched == RichEdit1->viewport() && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
      !RichEdit1->textCursor().hasSelection())
    ShowWordOnPage(RichEdit1->textCursor());
  // Ctrl and the wheel zoom the page view, a step of the zoom field per notch.
  if (watched == ScrollBox1->viewport() && event->type() == QEvent::Wheel) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
    const int notches = wheel->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0) ZoomEd->stepBy(notches);
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void QtWindow::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    // The running operation still uses the form: stop it first, then close.
    if (form_) form_->cancelRequested = true;
    closeAfterRun_ = true;
    event->ignore();
    return;
  }
  if (!MayDiscardText()) {
    event->ignore();
    return;
  }
  event->accept();
}

// ---- log ----

void QtWindow::LogAdd(const std::string& line) {
  log_.push_back(line);
  if (logSink) *logSink << line << std::endl;
  QScrollBar* bar = Memo1->verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum() - 2;
  Memo1->appendPlainText(OneLine(line));
  if (atEnd) bar->setValue(bar->maximum());
}

std::string QtWindow::LogLine(int32_t index) const {
  return index >= 0 && index < LogCount() ? log_[size_t(index)] : std::string();
}

void QtWindow::LogSetLine(int32_t index, const std::string& line) {
  if (index < 0 || index >= LogCount()) return;
  log_[size_t(index)] = line;
  QTextBlock block = Memo1->document()->findBlockByNumber(index);
  if (!block.isValid()) return;
  QTextCursor cursor(block);
  cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  cursor.insertText(OneLine(line));
}

void QtWindow::LogClear() {
  log_.clear();
  Memo1->clear();
}

// ---- output field ----

const std::vector<std::string>& QtWindow::OutputLines() const {
  if (outputStale_) {
    // The user edited the field: its text is the truth again.
    output_.clear();
    const QString text = RichEdit1->toPlainText();
    if (!text.isEmpty())
      for (const QString& line : text.split('\n')) output_.push_back(line.toStdString());
    outputStale_ = false;
  }
  return output_;
}

void QtWindow::RewriteOutput() {
  if (outputBatch_) return;
  QStringList lines;
  for (const std::string& line : output_) lines << OneLine(line);
  writingOutput_ = true;
  RichEdit1->setPlainText(lines.join('\n'));
  writingOutput_ = false;
  SelectMarks();  // the new text needs its own cursors
}

void QtWindow::OutputMarkWords(const std::vector<OutputMark>& marks) {
  marks_ = marks;
  SelectMarks();
}

void QtWindow::SelectMarks() {
  markSelections_.clear();
  QTextCharFormat doubtful;
  doubtful.setBackground(kDoubtfulWordColour);
  for (const OutputMark& mark : marks_) {
    const QTextBlock block = RichEdit1->document()->findBlockByNumber(mark.line);
    if (!block.isValid() || mark.start < 0 || mark.length <= 0) continue;
    const int end = std::min(mark.start + mark.length, block.length() - 1);
    if (mark.start >= end) continue;
    QTextEdit::ExtraSelection selection;
    selection.format = doubtful;
    selection.cursor = QTextCursor(block);
    selection.cursor.setPosition(block.position() + mark.start);
    selection.cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
    markSelections_.push_back(selection);
  }
  ShowMarks();
}

void QtWindow::ShowMarks() {
  // The form feed that begins a page does not show: the page's first line is tinted.
  QList<QTextEdit::ExtraSelection> shown;
  QTextCharFormat pageStart;
  pageStart.setBackground(kPageStartColour);
  pageStart.setProperty(QTextFormat::FullWidthSelection, true);
  for (QTextBlock block = RichEdit1->document()->begin(); block.isValid(); block = block.next())
    if (block.text().startsWith(QChar(kPageBreak)))
      shown.push_back({QTextCursor(block), pageStart});
  if (MarkWordsCheck->isChecked()) shown += markSelections_;
  RichEdit1->setExtraSelections(shown);
}

void QtWindow::OutputBeginUpdate() {
  OutputLines();
  outputBatch_ = true;
  RichEdit1->setUpdatesEnabled(false);
}

void QtWindow::OutputEndUpdate() {
  outputBatch_ = false;
  RewriteOutput();
  RichEdit1->setUpdatesEnabled(true);
}

void QtWindow::OutputClear() {
  OutputLines();
  output_.clear();
  marks_.clear();
  RewriteOutput();
}

void QtWindow::OutputAdd(const std::string& line) {
  OutputLines();
  output_.push_back(line);
  RewriteOutput();
}

int32_t QtWindow::OutputCount() const {
  return int32_t(OutputLines().size());
}

std::string QtWindow::OutputLine(int32_t index) const {
  const std::vector<std::string>& lines = OutputLines();
  return index >= 0 && size_t(index) < lines.size() ? lines[size_t(index)] : std::string();
}

void QtWindow::OutputSetLine(int32_t index, const std::string& line) {
  OutputLines();
  if (index < 0 || size_t(index) >= output_.size()) return;
  output_[size_t(index)] = line;
  RewriteOutput();
}

// ---- page view and histogram ----

Canvas& QtWindow::PaintBox1Canvas() {
  return PaintBox1->canvas;
}

int32_t QtWindow::PaintBox1Width() const {
  return PaintBox1->canvas.Width();
}

int32_t QtWindow::PaintBox1Height() const {
  return PaintBox1->canvas.Height();
}

void QtWindow::SetPaintBox1Size(int32_t width, int32_t height) {
  // The view's buffer is filled when made: a size beyond what memory can hold is refused
  // before the system has to kill the program for it.
  if (int64_t(std::max(width, 0)) * std::max(height, 0) > kMaxViewPixels) throw std::bad_alloc();
  PaintBox1->SetBoxSize(width, height);
}

void QtWindow::RepaintPaintBox1() {
  PaintBox1->RequestRepaint();
}

Canvas& QtWindow::PaintBox2Canvas() {
  return PaintBox2->canvas;
}

void QtWindow::RepaintPaintBox2() {
  PaintBox2->RequestRepaint();
}

void QtWindow::ShowPageViewArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  // The page shown is placed on purpose: no scroll back to its top.
  if (form_) {
    shownPixels_ = form_->picture.pixels;
    shownPage_ = form_->pageIndex;
  }
  const auto show = [this, left, top, right, bottom] {
    ScrollBox1->ensureVisible((left + right) / 2, (top + bottom) / 2,
                              (right - left) / 2 + kShownWordMargin,
                              (bottom - top) / 2 + kShownWordMargin);
  };
  show();
  QTimer::singleShot(0, this, show);  // again once a new page has its size
}

void QtWindow::ShowWordOnPage(const QTextCursor& cursor) {
  if (!form_ || Busy()) return;
  const QTextBlock block = cursor.block();
  // The field's columns count characters, Qt's count UTF-16 units.
  const int32_t column = int32_t(block.text().left(cursor.positionInBlock()).toUcs4().size());
  Run(Kind::Plain,
      [this, line = block.blockNumber(), column] { form_->ShowOutputWord(line, column); });
}

QMenu* QtWindow::OutputContextMenu(const QPoint& at) {
  QMenu* menu = RichEdit1->createStandardContextMenu(at);
  const QTextCursor clicked = RichEdit1->cursorForPosition(at);
  QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().front();
  auto* show = new QAction("Show on page", menu);
  connect(show, &QAction::triggered, this, [this, clicked] {
    ShowWordOnPage(clicked);
    SetActivePage(kPageScanDocument);
  });
  menu->insertAction(first, show);
  const int mark = MarkAt(clicked.position());
  if (form_ && mark >= 0 && !Busy()) {
    const QString word = markSelections_[mark].cursor.selectedText();
    const std::vector<std::string> suggestions = form_->WordSuggestions(word.toStdString());
    for (const std::string& suggestion : suggestions) {
      auto* action = new QAction(QString::fromStdString(suggestion), menu);
      connect(action, &QAction::triggered, this, [this, mark, suggestion] {
        if (mark >= markSelections_.size()) return;  // the marks were made again meanwhile
        // The word corrected is doubtful no more.
        QTextCursor replace = markSelections_.takeAt(mark).cursor;
        replace.insertText(QString::fromStdString(suggestion));  // an edit, as the user's own
        ShowMarks();
      });
      menu->insertAction(show, action);
    }
  }
  menu->insertSeparator(first);
  return menu;
}

int QtWindow::MarkAt(int position) const {
  for (int i = 0; i < markSelections_.size(); ++i) {
    const QTextCursor& mark = markSelections_[i].cursor;
    if (mark.hasSelection() && position >= mark.selectionStart() && position <= mark.selectionEnd())
      return i;
  }
  return -1;
}

void QtWindow::SetPageViewCursor(CursorKind cursor) {
  switch (cursor) {
    case CursorKind::Default:
      PaintBox1->unsetCursor();
      break;
    case CursorKind::SizeWE:
      PaintBox1->setCursor(Qt::SizeHorCursor);
      break;
    case CursorKind::SizeNS:
      PaintBox1->setCursor(Qt::SizeVerCursor);
      break;
    case CursorKind::SizeNWSE:
      PaintBox1->setCursor(Qt::SizeFDiagCursor);
      break;
    case CursorKind::SizeNESW:
      PaintBox1->setCursor(Qt::SizeBDiagCursor);
      break;
  }
}

void QtWindow::CaptureMouse(bool capture) {
  // Moves outside the view keep arriving at the view while a button is held.
  if (capture) {
    if (PaintBox1->isVisible()) PaintBox1->grabMouse();
  } else if (QWidget::mouseGrabber() == PaintBox1) {
    PaintBox1->releaseMouse();
  }
}

// ---- page control, caption, end ----

void QtWindow::SetActivePage(int32_t index) {
  if (index >= 0 && index < PageControl1->count()) PageControl1->setCurrentIndex(index);
}

int32_t QtWindow::ActivePage() const {
  return PageControl1->currentIndex();
}

void QtWindow::SetCaption(const std::string& caption) {
  setWindowTitle(Text(caption));
}

void QtWindow::RequestClose() {
  QTimer::singleShot(0, this, &QWidget::close);
}

// ---- dialogs ----

MessageResult QtWindow::MessageBox(const std::string& text, const std::string& title,
                                   MessageIcon icon, MessageButtons buttons) {
  if (closeAfterRun_) {
    // The window is closing: a developer loop that asks after every object ends quickly.
    return buttons == MessageButtons::Ok ? MessageResult::Ok : MessageResult::No;
  }
  ShowDeveloperReadouts();
  PaintBox1->ShowBuffer();
  if (icon == MessageIcon::Error) saveFailed_ = true;  // a save that was under way failed
  QMessageBox::Icon qicon = QMessageBox::NoIcon;
  switch (icon) {
    case MessageIcon::None:
      break;
    case MessageIcon::Information:
      qicon = QMessageBox::Information;
      break;
    case MessageIcon::Warning:
      qicon = QMessageBox::Warning;
      break;
    case MessageIcon::Error:
      qicon = QMessageBox::Critical;
      break;
    case MessageIcon::Question:
      qicon = QMessageBox::Question;
      break;
  }
  const QMessageBox::StandardButtons standard =
      buttons == MessageButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
  QMessageBox box(qicon, title.empty() ? QString(kApplicationTitle) : Text(title), Text(text),
                  standard, this);
  box.setObjectName("MessageBox");
  if (buttons == MessageButtons::YesNo) box.setDefaultButton(QMessageBox::Yes);
  const int answer = box.exec();
  if (buttons == MessageButtons::Ok) return MessageResult::Ok;
  return answer == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
}

bool QtWindow::OpenFileDialog(const std::string& filter, std::string* fileName) {
  QFileDialog dialog(this, "Open");
  dialog.setObjectName("OpenDialog");
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFiltersFromFilter(filter));
  dialog.setDirectory(LastFolder());
  if (!fileName->empty()) dialog.selectFile(Text(*fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *fileName = dialog.selectedFiles().first().toStdString();
  RememberFolder(Text(*fileName));
  return true;
}

QString QtWindow::LastFolder() const {
  const QString folder = QSettings().value(kFolderKey).toString();
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  if (form_ && !form_->pictureName.empty())
    return QFileInfo(Text(form_->pictureName)).absolutePath();
  return QDir::homePath();
}

void QtWindow::RememberFolder(const QString& file) {
  QSettings().setValue(kFolderKey, QFileInfo(file).absolutePath());
}

QString QtWindow::SuggestedName() const {
  if (!form_ || form_->pictureName.empty()) return "scan";
  return QFileInfo(Text(form_->pictureName)).completeBaseName();
}

bool QtWindow::SaveFileDialog(const std::string& filter, std::string* fileName,
                              int32_t* filterIndex) {
  QFileDialog dialog(this, "Save as");
  dialog.setObjectName("SaveDialog");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = NameFiltersFromFilter(filter);
  dialog.setNameFilters(filters);
  if (*filterIndex >= 1 && *filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[*filterIndex - 1]);
  }
  // A name typed without extension gets the chosen type's, before the dialog checks
  // whether the file exists, so the overwrite question is asked about the real file.
  dialog.setDefaultSuffix(DefaultSuffixOfNameFilter(dialog.selectedNameFilter()));
  connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& chosen) {
    dialog.setDefaultSuffix(DefaultSuffixOfNameFilter(chosen));
  });
  dialog.setDirectory(LastFolder());
  dialog.selectFile(fileName->empty() ? SuggestedName() : Text(*fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  *fileName = dialog.selectedFiles().first().toStdString();
  *filterIndex = int32_t(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (*filterIndex < 1) *filterIndex = 1;
  RememberFolder(Text(*fileName));
  saveConfirmed_ = true;
  return true;
}

bool QtWindow::EnterCharDialog(std::string* text) {
  EntercharForm->Edit1->setText(Text(*text));
  EntercharForm->Edit1->selectAll();
  EntercharForm->Edit1->setFocus();
  if (EntercharForm->exec() != QDialog::Accepted) return false;
  *text = EntercharForm->Edit1->text().toStdString();
  return true;
}

int32_t QtWindow::ChooseScannerDialog(const std::vector<std::string>& devices) {
  EndBusy();  // the search is over
  return RunScannerChoice(this, devices);
}

// ---- event loop and shell ----

void QtWindow::PostScanMessage(int32_t scanId) {
  // May be called from the scanning thread: the message is queued to the window's thread.
  QMetaObject::invokeMethod(
      this,
      [this, scanId] {
        if (!form_) return;
        if (Busy()) {
          pendingScans_.push_back(scanId);  // installed when the running operation ends
          return;
        }
        Run(Kind::Exclusive, [this, scanId] { form_->WMUser2(scanId); });
      },
      Qt::QueuedConnection);
}

void QtWindow::ProcessMessages() {
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPump_ < kPumpInterval) return;
  ShowDeveloperReadouts();
  PaintBox1->ShowBuffer();
  PaintBox2->ShowBuffer();
  if (closeAfterRun_ && form_) form_->cancelRequested = true;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  lastPump_ = std::chrono::steady_clock::now();
}

bool QtWindow::ShellOpen(const std::string& path) {
  // xdg-open may run the program it starts until that ends, so it runs on its own; a small
  // shell notes its exit status, which tells whether any program could open the file.
  auto* status = new QTemporaryFile(QDir::tempPath() + "/quillon-open-XXXXXX", this);
  if (!status->open()) {
    delete status;
    return QProcess::startDetached("xdg-open", {Text(path)});
  }
  const QString statusFile = status->fileName();
  status->close();
  const bool started = QProcess::startDetached(
      "/bin/sh", {"-c", "xdg-open \"$1\"; echo $? > \"$2\"", "sh", Text(path), statusFile});
  if (started) WatchShellOpen(Text(path), statusFile);
  QTimer::singleShot(kShellOpenWatch, status, &QObject::deleteLater);
  return started;
}

void QtWindow::WatchShellOpen(const QString& path, const QString& statusFile) {
  auto* poll = new QTimer(this);  // the window owns it, so it goes with the window
  QElapsedTimer clock;
  clock.start();
  poll->setInterval(kShellOpenPoll);
  connect(poll, &QTimer::timeout, this, [this, poll, clock, path, statusFile] {
    QFile file(statusFile);
    const QByteArray status = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : "";
    const bool over = !status.isEmpty() || clock.elapsed() > kShellOpenWatch;
    if (!over) return;
    poll->stop();
    poll->deleteLater();
    if (status.isEmpty() || status == "0") return;  // still open after a while: it worked
    if (path.endsWith(".html")) {
      ShowManualHere(path);
      return;
    }
    QMessageBox::warning(this, kApplicationTitle,
                         QString("No program could be started to open %1.\n\nInstall a program "
                                 "for this kind of file, or open it yourself.")
                             .arg(path));
  });
  poll->start();
}

void QtWindow::ShowManualHere(const QString& path) {
  if (!QFileInfo::exists(path)) {
    QMessageBox::warning(this, kApplicationTitle,
                         QString("The manual cannot be found: %1 is missing.").arg(path));
    return;
  }
  QMessageBox::information(this, kApplicationTitle,
                           "No web browser could be started, so the manual opens in a "
                           "window of Quillon.");
  auto* viewer = new QTextBrowser;
  viewer->setAttribute(Qt::WA_DeleteOnClose);
  viewer->setObjectName("ManualViewer");
  viewer->setWindowTitle("Quillon manual");
  viewer->setOpenExternalLinks(true);
  viewer->setSource(QUrl::fromLocalFile(path));
  viewer->resize(760, 600);
  viewer->show();
}
