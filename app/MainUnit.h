// TMainForm: the program as one object. It owns every item of state (the page images,
// all record lists, the settings of the window's controls) and its operations are
// started by window events. Each folder adds its operations as member functions defined
// in its own files; the blocks below name the defining file. The window itself is reached
// only through WindowInterface, so everything here runs headless too.
#pragma once

#include <array>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/WindowInterface.h"
#include "core/DynaArray.h"
#include "core/RasterImage.h"
#include "layout/LayoutTypes.h"
#include "output/Formats.h"
#include "output/LineFitting.h"
#include "output/PlainText.h"
#include "recognition/GlyphTypes.h"
#include "recognition/Languages.h"
#include "recognition/LetterModel.h"
#include "recognition/PageText.h"
#include "recognition/WordCorrection.h"
#include "recognition/WordList.h"

class GlyphClassifier;
class GlyphNet;
class PageReadAhead;
class PlatformFont;
class SoftwareCanvas;
struct TemplateSet;

constexpr const char* kProductCaption = "Quillon 1.0";
constexpr const char* kApplicationTitle = "Quillon";

enum class RecogniserKind : uint8_t { Classic, Extended };
// Auto follows the recogniser: no word list with the classic one, the word list with the
// extended one.
enum class Switch : uint8_t { Auto, Off, On };

// Values of the window's controls. The Qt window keeps them in step with its widgets;
// the command line sets them from its options. Their ranges and captions are the rows of
// the option table (app/Options.h); the defaults here are those rows' defaults.
struct Settings {
  int32_t SchwellEd = 50;       // "Black/white separation value:" (--separation)
  int32_t ZoomEd = 30;          // "Zoom:" 10 ... 300 %, step 5 (the window only)
  int32_t MinObjSizeED = 3;     // "Minimal object size in pixels:" (--min-object-size)
  bool BildFilterCheck = true;  // "Exclude pictures" (--exclude-pictures)
  int32_t TrackBar1 = 5;        // slider "More text" ... "Less pictures" (--picture-filter)
  double KoorFakEd = 5.0;       // "Column width:" (--column-width); NaN when unreadable
  int32_t lineed = 0;           // developer panel: line whose objects the page view highlights
  RecogniserKind recogniser = RecogniserKind::Classic;  // "Recogniser:"
  // "Reading order:"; none follows the recogniser: page order with the classic one, columns
  // with the extended one.
  std::optional<ReadingOrder> readingOrder;
  Switch dictionary = Switch::Auto;  // "Settle doubtful characters with the word list"
  int32_t maxMegapixels = 100;       // pictures larger than this are refused (about 1 GB a run)
  std::string languages =
      kUsualLanguage;  // "Languages:" (--language), the page's languages: "deu+eng"
  // --language given or the field edited: the page is read in those languages, and its own
  // is not guessed.
  bool languagesNamed = false;

  bool Extended() const { return recogniser == RecogniserKind::Extended; }
  ReadingOrder Order() const {
    return readingOrder.value_or(Extended() ? ReadingOrder::Columns : ReadingOrder::Page);
  }
  bool UseDictionary() const {
    return dictionary == Switch::Auto ? Extended() : dictionary == Switch::On;
  }
  bool operator==(const Settings&) const = default;
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
  int32_t histogramMax = 0;             // largest count of `histogram`, the scale of its drawing
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
  double correctionAngle = 0;       // skew of the page in degrees (layout)
  int32_t stepStartTicks = 0;       // tick count at the start of a timed step
  PageBox searchArea{0, 0, 0, 0};   // picture pixels, inclusive (app/PageView, layout)
  PageBox viewArea{0, 0, 0, 0};     // searchArea in page-view pixels (app/PageView)
  bool overEdge = false;            // the mouse rests on an edge of viewArea (app/PageView)
  uint32_t dragging = 0;            // 1 while a mouse button is held on the page view
  std::array<bool, 4> dragEdges{};  // left, right, top, bottom
  bool formShown = false;           // the window has been shown once (FormShow)
  bool pageUnseen = false;          // no window shows the page (command line, batch)

  Settings settings;
  WindowInterface& window;
  std::vector<std::string> args;
  std::string programFile;
  bool endRequested = false;  // the command line asked for the end of the program
  PageText pageText;          // the last run's page result, whichever recogniser made it
  std::string pictureName;    // the file of the picture shown; empty for a scanned one
  WordLookup wordLookup;      // wordList for lookups, made at its first use (WordCorrectionForm)
  int32_t wordLookupSource = -1;      // wordList.Count when wordLookup was made
  LanguageDictionaries dictionaries;  // of the languages but German, which wordList holds
  std::string dictionariesLanguages;  // settings.languages when they were opened
  AnyOfWords pageWords;               // the page's languages together (PageLanguageWords)

  // ---- app/MainForm.cpp: start-up, the OCR run, the end ----
  void FormCreate();
  void FormShow();
  void FormDestroy();
  void TextErkennBtnClick();
  void BitBtn1Click();    // "Cancel" (BreakBtn): asks the running recognition to stop
  void Timer1Timer();     // the automatic run of the command line: OCR, then the end
  void endebtnClick();    // "Hereby you leave the program": ends the program
  void ImageBtn1Click();  // "Click here, if you need help": opens the manual
  void Log(const std::string& line) { window.LogAdd(line); }

  // ---- app/Recogniser.cpp: the recogniser of the settings, chosen here alone ----
  // What a headless run sets up before its pages: in a single run some of it loads while
  // the first page is decoded (the future ends with it); a batch has it all ready before its
  // workers are forked.
  enum class Preparation { Meanwhile, BeforeWorkers };
  std::future<void> PrepareRecogniser(Preparation preparation);
  // Whether the recogniser reads the black/white page (the window shows it either way).
  bool RecogniserUsesBlackWhite() const;
  // Whether the recogniser's text depends on the column width (its lines are fitted).
  bool RecogniserUsesColumnWidth() const;
  // Reads the installed picture into pageText and shows its text in the output field.
  void RunRecogniser();
  // Shows the last run's text in the output field again (the column width changed).
  void ShowRecognisedText();
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
  void WMUser2(int32_t scanId);  // a scan has finished: installs its page
  void NewPicture();
  void InstallPicture(RasterImage& image);
  void Rotation901Click();            // DIBRotLeft
  void Rotation90nachrechts1Click();  // DIBRotRight
  void DIBRotLeft();
  void DIBRotRight();
  void RotatePicture(bool left);  // a quarter turn; the picture stays when memory lacks
  void WaitForScan();             // returns once no scan runs (the end, tests)
  // Pages of a multi-page picture (app/PicturePages.cpp): OpenPic opens the first page and
  // counts them; OpenPicPage opens another page of the same file. A scanned, rotated or
  // single-page picture has one page.
  bool OpenPicPage(const std::string& name, int32_t page);
  // A page that the command line has begun to read on another thread; OpenPicPage takes
  // it instead of reading the file again. Null in the window.
  PageReadAhead* pageReadAhead = nullptr;
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
  // A click on a word of the output field (its line and character, from 0): the page it was
  // read from is shown, scrolled to the word, whose box is marked. Nothing happens where the
  // page result has no word there (an edit, a recogniser without boxes).
  void ShowOutputWord(int32_t line, int32_t column);
  void DrawMarkedWord(Canvas& canvas);
  PageBox markedWord;  // page pixels; empty: none (a new picture drops it)

  // ---- app/classic/FindChars.cpp: object search ----
  void FindCharsBtnClick();
  void ClearChars();
  void ClearLines();  // frees the text of every line and empties `lines`
  // Makes the page copy and the object images of the search (newdib; tests put a failing
  // one here to see the search through a lack of memory).
  void (*objectImageMaker)(RasterImage* out, int32_t width, int32_t height, int32_t bitsPerPixel,
                           const uint8_t* colorSource, int32_t colorCount) = newdib;
  bool findCharsRunning = false;  // a search is under way (its fill lets events run)

  // ---- app/classic/FindLines.cpp: text line finding ----
  void findlinesoftext();
  void SortObjectsByLeft();  // the quicksort of `objects` by box.Left

  // ---- app/classic/Accents.cpp: accents and dots ----
  int32_t findaccentabove(Box character);
  int32_t findaccentpoint(Box character);

  // ---- app/classic/FontTemplates.cpp: fonts and glyph templates ----
  // Four fonts (height 24; regular, italic, bold, bold italic) per reported typeface.
  // Returns 1 (go on) for every call; a call without a description does nothing.
  int32_t FontEnumCallback(const struct LogFont* logFont);
  void EnumerateFonts();
  void ReleaseFonts();  // deletes every font of fontHandles (the list itself stays)
  void GenerateDibs();
  void BitBtn2Click();  // "Generate font": renders the glyphs again

  // ---- app/classic/ClassifyObject.cpp, ClassifyAll.cpp: character classification ----
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
  // A template set rendered once and used by every run after (app/classic/KeptTemplates):
  // a batch renders it before its workers start, so that no page renders it again. The
  // window keeps none: there a set exists only during a run.
  void KeepTemplateSet();
  std::unique_ptr<TemplateSet> keptTemplates;

  // ---- app/WordListForm.cpp: word list ----
  void LoadWordsBtnClick();
  // Loads "german.spe" into wordList the first time a step consults it (a classic run never
  // does, so it never waits for the list); a damaged list is reported in the log.
  void EnsureWordList();
  bool wordListLoaded = false;

  // ---- app/WordCorrectionForm.cpp: the word list settles the page result ----
  // Loads the word list and the dictionaries of the page's languages on another thread
  // while the page is read; the next step that consults them waits. Nothing else may touch
  // them meanwhile.
  void LoadWordLookupMeanwhile();
  void AwaitWordLookup();  // the load started meanwhile, if any, finished
  std::future<std::vector<std::string>> wordLookupLoad;  // its problems for the log
  void SettleDoubtfulCharacters();  // pageText's doubtful characters, by the page's languages
  // Corrections of a doubtful word (UTF-8) from the page's languages, best first, at most
  // kMostSuggestions: the word list's words one step away, then Hunspell's suggestions.
  std::vector<std::string> WordSuggestions(const std::string& utf8Word);
  static constexpr size_t kMostSuggestions = 5;  // a short menu, read at a glance
  std::string PageTextForOutput();               // pageText as text in the reading order set
  const WordLookup& CurrentWordLookup();
  // The words of the page's languages: the word list for German, dictionaries for the
  // others, opened at their first use.
  const KnownWords& PageLanguageWords();
  bool ReadsGerman() const;  // German is among the page's languages
  // The languages the page is read in: settings.languages, or the language its words spell
  // where the user named none (GuessPageLanguage).
  const std::string& PageLanguages() const;
  std::string guessedLanguage;  // the page's, empty where none was guessed
  // Opens the dictionaries of `languages` ("deu+eng") unless they are open; the problems.
  std::vector<std::string> OpenLanguageDictionaries(const std::string& languages);

  // ---- app/classic/RecognitionRun.cpp: recognition run ----
  void RegBtnClick();
  // The run with the classification step given: RegBtnClick passes ClassifyObject; the
  // text assembly can so be exercised on objects whose characters are known.
  using ClassifyStep = int32_t (*)(TMainForm& form, void* context);
  void RecognitionRun(ClassifyStep classify, void* context);
  // Appends ch to the text of line `line` (1-based), which becomes current in `lines`.
  void AppendToLineText(int32_t line, char ch);
  // The characters of the lines' texts as the page result keeps them (LineFitting.h); they
  // live as long as the texts of `lines`.
  LineChars lineChars;
  // pageText becomes the classic run's result with these lines, in one block.
  void SetClassicPageText(std::vector<PageLine> pageLines);

  // ---- app/extended/ExtendedRun.cpp: the extended recogniser ----
  // Reads the installed picture into pageText and shows its plain text in the output field.
  void ExtendedRecognitionRun();
  void ShowPageText();
  // Its templates, rendered at the first extended run and kept for the next pages.
  std::shared_ptr<GlyphClassifier> glyphClassifier;
  // The learned classifier that reads instead of the templates, loaded once; null when its
  // files are missing or damaged (the log says so and the templates read).
  const GlyphNet* LoadGlyphNet();
  std::shared_ptr<const GlyphNet> glyphNet;
  bool glyphNetTried = false;
  // How the page's languages spell (letters.tsv), made again when they change; empty when
  // the table is missing.
  const LetterModel& PageLetterModel();
  LetterModel letterModel;
  std::string letterModelLanguages;
  bool letterModelMade = false;
  // Where the user named no language and the words of the page's first reading are plainly
  // those of another language than German whose dictionary is installed, the page is read in
  // that language; true then.
  bool GuessPageLanguage(const std::vector<std::string>& words);
  bool MayGuessPageLanguage() const;  // the user named no language

  // ---- app/TextField.cpp: fitting lines into the text field, saves ----
  void Lines2Textfield();
  void KoorFakEdChange();
  void SaveTextBtnClick();
  void SaveWordBtnClick();
  bool openWordFileAfterCreation = true;  // "Open word file after creation"
  // Writes the page in `format` ("-" is stdout): the output field's text for text, else
  // the page result (and the picture, for a PDF).
  bool WriteOutputDocument(OutputFormat format, const std::string& fileName, std::string* error);
  // Shows `lines` (UTF-8) in the output field and keeps their text as recognisedText.
  void ShowOutputLines(const std::vector<std::string>& lines);
  std::string recognisedText;  // the text the last run showed, before any edit of the field
  // The page read as the writers take it: its result, its picture and the text the run showed
  // (a headless run's document); OutputDocumentPage has the output field's text instead.
  DocumentPage RecognisedPage() const;
  // The page shown as the writers take it: its result, its picture, the output field's text.
  DocumentPage OutputDocumentPage() const;
  // A document that the window read page after page: each page's number (from 0) and
  // result. Empty when the output field holds the page shown alone. Every save format but
  // the text (the field's own, form feeds and edits included) writes these pages.
  struct ReadPage {
    int32_t page = 0;
    PageText text;
  };
  std::vector<ReadPage> readPages;
  // Marks the words of pageText read with little confidence in the output field.
  void MarkDoubtfulWords();

  // ---- app/DevTools.cpp: developer recognisers and learning (devtools/) ----
  void RecogBtnClick();
  void Rec2BtnClick();
  void AutolearnClick();
  void BitBtn3Click();        // "BitBtn3": shows the last glyph's pixel count in the caption
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
