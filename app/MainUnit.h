// TMainForm: the program as one object. It owns every item of state (the page images,
// all record lists, the settings of the window's controls) and its operations are
// started by window events. Each folder adds its operations as member functions defined
// in its own files; the blocks below name the defining file. The window itself is reached
// only through WindowInterface, so everything here runs headless too.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/WindowInterface.h"
#include "core/DynaArray.h"
#include "core/RasterImage.h"
#include "layout/LayoutTypes.h"
#include "output/Formats.h"
#include "recognition/GlyphTypes.h"
#include "recognition/PageText.h"
#include "recognition/WordList.h"

class PlatformFont;
class SoftwareCanvas;
struct TemplateSet;

constexpr const char* kProductCaption = "Quillon 1.0";
constexpr const char* kApplicationTitle = "Quillon";

enum class RecogniserKind : uint8_t { Classic, Extended };
// Auto follows the recogniser: page order and no word list with the classic one,
// columns and the word list with the extended one.
enum class ReadingOrder : uint8_t { Auto, Page, Columns };
enum class Switch : uint8_t { Auto, Off, On };

// Values of the window's controls. The Qt window keeps them in step with its widgets;
// the command line sets them from its options (ranges, defaults and captions: the option
// table of app/Options.h).
struct Settings {
  int32_t SchwellEd = 50;       // "Black/white separation value:" 1 ... 99 %
  int32_t ZoomEd = 30;          // "Zoom:" 10 ... 300 %, step 5
  int32_t MinObjSizeED = 3;     // "Minimal object size in pixels:" 1 ... 10
  bool BildFilterCheck = true;  // "Exclude pictures"
  int32_t TrackBar1 = 5;        // 0 ("More text") ... 10 ("Less pictures")
  double KoorFakEd = 5.0;       // "Column width:" 0.1 ... 100; NaN when the field is unreadable
  int32_t lineed = 0;           // developer panel: line whose objects the page view highlights
  RecogniserKind recogniser = RecogniserKind::Classic;  // "Recogniser:"
  ReadingOrder readingOrder = ReadingOrder::Auto;       // "Reading order:"
  Switch dictionary = Switch::Auto;  // "Settle doubtful characters with the word list"
  int32_t maxMegapixels = 250;       // pictures larger than this are refused

  bool Extended() const { return recogniser == RecogniserKind::Extended; }
  bool ColumnsOrder() const {
    return readingOrder == ReadingOrder::Auto ? Extended() : readingOrder == ReadingOrder::Columns;
  }
  bool UseDictionary() const {
    return dictionary == Switch::Auto ? Extended() : dictionary == Switch::On;
  }
};

struct Rect32 {
  int32_t left, top, right, bottom;
};

class TMainForm {
 public:
  // window: not owned, must outlive the form. args: the command line without the program
  // name and without options; programFile: argument 0 (the program's own path).
  TMainForm(WindowInterface& window, std::string programFile, std::vector<std::string> args);
  ~TMainForm();  // FormDestroy
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // ---- state, in its fixed order ----
  RasterImage picture{};  // the page as opened or scanned; 24 bits once installed (app/Intake)
  RasterImage bwImage{};  // the black/white page the search runs on (app/BlackWhite)
  PlatformFont** curFontHandle = nullptr;
  TDynaArray<PlatformFont*> fontHandles{&curFontHandle};  // 4 per typeface (recognition)
  GlyphImage* curGlyphImage = nullptr;
  TDynaArray<GlyphImage> glyphImages{&curGlyphImage};  // glyphs '0'...'z' (recognition)
  PageObject* currentObject = nullptr;
  TDynaArray<PageObject> objects{&currentObject};  // objects of the page (layout)
  PageObject* currentDot = nullptr;
  TDynaArray<PageObject> dots{&currentDot};  // round dots taken out of objects (layout)
  std::string programPath;                   // directory of the program, ending in '/'
  std::array<int32_t, 256> histogram{};      // brightness histogram of picture (app/BlackWhite)
  std::array<std::array<int32_t, 2>, 256> peakTable{};  // (count, grey level) working table
  int32_t histogramMax = 0;
  GlyphGrid objectGrid{};               // the sampled object (recognition, devtools)
  GlyphGrid templateScratch{};          // the template under comparison (recognition)
  TDynaArray<char*> wordList{nullptr};  // words of "german.spe", stored in wordArena
  WordArena wordArena;                  // owns the words of wordList (recognition/WordList)
  TextLine* currentLine = nullptr;
  TDynaArray<TextLine> lines{&currentLine};  // text lines of the page (layout)
  bool cancelRequested = false;              // set by the cancel button, read by RegBtnClick
  ValueCount* currentBottomCount = nullptr;
  TDynaArray<ValueCount> bottomCounts{&currentBottomCount};  // line finding histograms
  ValueCount* currentTopCount = nullptr;
  TDynaArray<ValueCount> topCounts{&currentTopCount};
  double correctionAngle = 0;  // skew of the page in degrees (layout)
  int32_t stepStartTicks = 0;  // tick count at the start of a timed step
  Rect32 searchArea{};         // picture pixels, inclusive (app/PageView, layout)
  Rect32 viewArea{};           // searchArea in page-view pixels (app/PageView)
  bool overEdge = false;
  uint32_t dragging = 0;
  std::array<bool, 4> dragEdges{};  // left, right, top, bottom
  bool formShown = false;

  Settings settings;
  WindowInterface& window;
  std::vector<std::string> args;
  std::string programFile;
  bool endRequested = false;  // the command line asked for the end of the program
  PageText pageText;          // the last run's page result, whichever recogniser made it
  std::string pictureName;    // the file of the picture shown; empty for a scanned one

  // ---- app/MainForm.cpp: start-up, the OCR run, the end ----
  void FormCreate();
  void FormShow();
  void FormDestroy();
  void TextErkennBtnClick();
  void BitBtn1Click();
  void Timer1Timer();
  void endebtnClick();
  void ImageBtn1Click();
  void Log(const std::string& line) { window.LogAdd(line); }
  void RequestEnd();
  // Path of a data file of the program ("german.spe", the manual): beside the program
  // file when it is there, else in the installed data directory.
  std::string DataFilePath(const std::string& name) const;

  // ---- app/Intake.cpp: picture intake ----
  // Returns false when the picture could not be opened (the message box has been shown).
  bool OpenPic(const std::string& name);
  void OpenPicsBtnClick();
  void SavePicBtnClick();
  void SourceBtnClick();
  void ScanBtnClick();
  void WMUser2(int32_t scanId);
  void NewPicture();
  void InstallPicture(RasterImage& image);
  void Rotation901Click();            // DIBRotLeft
  void Rotation90nachrechts1Click();  // DIBRotRight
  void DIBRotLeft();
  void DIBRotRight();
  void WaitForScan();  // returns once no scan runs (the end, tests)
  // Pages of a multi-page picture (app/PicturePages.cpp): OpenPic opens the first page and
  // counts them; OpenPicPage opens another page of the same file. A scanned, rotated or
  // single-page picture has one page.
  bool OpenPicPage(const std::string& name, int32_t page);
  void PrevPageBtnClick();
  void NextPageBtnClick();
  std::string PageCaption() const;  // "Page 2 of 3"; empty for a single page
  int32_t pageIndex = 0;            // the page shown, from 0
  int32_t pageCount = 1;
  // The scanner connection; a running scan is waited for when the form goes.
  struct ScannerHandle {
    ScannerHandle();
    ~ScannerHandle();
    ScannerHandle(const ScannerHandle&) = delete;
    ScannerHandle& operator=(const ScannerHandle&) = delete;
    class ScannerLink* link;
  } scanner;

  // ---- app/BlackWhite.cpp: black/white conversion and histogram ----
  void ToBlackWhiteBtnClick();
  void RenderBlackWhiteBtnClick();
  void PaintBox2Paint();

  // ---- app/PageView.cpp: page view and search area ----
  void PaintBox1Paint();
  void ZoomEdChange();
  void lineedChange();
  void PaintBox1MouseDown(int32_t x, int32_t y);
  void PaintBox1MouseMove(int32_t x, int32_t y);
  void PaintBox1MouseUp(int32_t x, int32_t y);
  void setcursor(CursorKind cursor);
  CursorKind pageViewCursor = CursorKind::Default;

  // ---- layout/FindChars.cpp: object search ----
  void FindCharsBtnClick();
  void ClearChars();
  // Makes the page copy and the object images of the search (newdib; tests put a failing
  // one here to see the search through a lack of memory).
  void (*objectImageMaker)(RasterImage* out, int32_t width, int32_t height, int32_t bitsPerPixel,
                           const uint8_t* colorSource, int32_t colorCount) = newdib;
  bool findCharsRunning = false;  // a search is under way (its fill lets events run)

  // ---- layout/FindLines.cpp: text line finding ----
  void findlinesoftext();
  void SortObjectsByLeft();  // the quicksort of `objects` by box.Left

  // ---- layout/Accents.cpp: accents and dots ----
  int32_t findaccentabove(Box character);
  int32_t findaccentpoint(Box character);

  // ---- recognition/Templates.cpp: fonts and glyph templates ----
  // Four fonts (height 24; regular, italic, bold, bold italic) per reported typeface.
  // Returns 1 (go on) for every call; a call without a description does nothing.
  int32_t FontEnumCallback(const struct LogFont* logFont);
  void EnumerateFonts();
  void ReleaseFonts();  // deletes every font of fontHandles (the list itself stays)
  void GenerateDibs();
  void BitBtn2Click();
  void savedibs() {}

  // ---- recognition/Classify.cpp: character classification ----
  // Classifies *currentObject (its TextLine current in `lines`) against *templateSet:
  // fills its candidates and recognisedChar and returns the character code.
  int32_t ClassifyObject();
  // Renders the 70 x 4 templates into *templateSet on the given off-screen bitmap (does
  // nothing while templateSet is null).
  void BuildTemplateSet(SoftwareCanvas& bitmap);
  TemplateSet* templateSet = nullptr;  // exists only during a recognition run
  // The matcher keeps row masks of templateSet between objects. BuildTemplateSet calls
  // this; whoever changes templateSet otherwise must call it before classifying again.
  void TemplateSetChanged() {
    static uint64_t lastGeneration = 0;  // unique across forms
    templateGeneration = ++lastGeneration;
  }
  uint64_t templateGeneration = 0;  // 0: not yet announced
  // A template set rendered once and used by every run after (recognition/KeptTemplates):
  // a batch renders it before its workers start, so that no page renders it again. The
  // window keeps none: there a set exists only during a run.
  void KeepTemplateSet();
  std::unique_ptr<TemplateSet> keptTemplates;

  // ---- recognition/WordListForm.cpp: word list ----
  void LoadWordsBtnClick();
  void LoadWordsIn() {}

  // ---- recognition/RecognitionRun.cpp: recognition run ----
  void RegBtnClick();
  // The run with the classification step given: RegBtnClick passes ClassifyObject; the
  // text assembly can so be exercised on objects whose characters are known.
  using ClassifyStep = int32_t (*)(TMainForm& form, void* context);
  void RecognitionRun(ClassifyStep classify, void* context);
  // Appends ch to the text of line `line` (1-based), which becomes current in `lines`.
  void AppendToLineText(int32_t line, char ch);

  // ---- output/TextField.cpp: fitting lines into the text field, saves ----
  void Lines2Textfield();
  void KoorFakEdChange();
  void SaveTextBtnClick();
  void SaveWordBtnClick();
  bool openWordFileAfterCreation = true;  // "Open word file after creation"
  // Writes the output field's text as UTF-8 (OUTPUT of the automatic run; "-" is stdout).
  bool WriteOutputText(const std::string& fileName, std::string* error);
  // Writes the page in `format` ("-" is stdout): the output field's text for text, else
  // the page result (and the picture, for a PDF).
  bool WriteOutputDocument(OutputFormat format, const std::string& fileName, std::string* error);
  // The page shown as the writers take it: its result, its picture, the output field's text.
  DocumentPage OutputDocumentPage() const;
  // Marks the words of pageText read with little confidence in the output field.
  void MarkDoubtfulWords();

  // ---- devtools/: developer recognisers and learning ----
  void RecogBtnClick();
  void Rec2BtnClick();
  void AutolearnClick();
  void BitBtn3Click();
  std::string label2Caption;  // the developer label Label2 (UTF-8, as the window shows it)
  // Stroke classifier (devtools/StrokeClassifier): the direction table of the current
  // "Recognize" run, and the profile means of the current glyph by region, direction, bin.
  std::array<double, 8> directionSin{}, directionCos{};
  std::array<double, 7 * 8 * 10> profileMeans{};
  void ComputeProfiles(const RasterImage& image);  // also draws the graph on PaintBox2
  void ClassifyStrokes();                          // logs the 31 features, sets Label2
  // Learning recogniser (devtools/LearnedGrids, kept in the user's data directory):
  // the character for objectGrid ('?' when nothing is learned), and objectGrid learned as
  // an example of the Windows-1252 character c.
  uint8_t getthechar();
  void LearnTheChar(uint8_t c);
  // Read-outs of auto learn: ProgressBar1's position and Label1's caption.
  int32_t progressBar1Position = 0;
  std::string label1Caption;

 private:
  bool created_ = false;
  bool destroyed_ = false;
};
