// The extended recogniser's page steps as plain functions over plain data: the black/white
// page and its ink components, the text lines of a block with their metrics, the characters
// put together from their parts (and touching ones split), the words of a line. The run
// that chains them lives in ExtendedRun.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/RasterImage.h"
#include "recognition/GlyphClassifier.h"
#include "recognition/Languages.h"
#include "recognition/LetterModel.h"
#include "recognition/PageText.h"

// ---- ink (ExtendedInk.cpp) ----

// One 8-connected ink component: its box in page pixels and its own pixels in the box.
struct InkPart {
  PageBox box;
  int32_t inkPixels = 0;
  GlyphBitmap ink;  // box-sized; 1 where the pixel belongs to this component
};

// A region of the page left out of the text, and why.
struct LeftOutRegion {
  PageBox box;
  std::string why;
};

// How a page was turned before its ink was found: upright by quarter turns where it lay on its
// side or upside down, then straightened where it lay askew. The ink's places are those of the
// turned page; Back() gives them on the page as it came.
struct PageTurn {
  int32_t quarterTurns = 0;                     // clockwise, 0 ... 3, to make it upright
  int32_t uprightWidth = 0, uprightHeight = 0;  // the page upright, before straightening
  double radians = 0;                           // clockwise, to straighten it; 0: not straightened
  int32_t left = 0, top = 0;         // the white margins added around the page to straighten it
  int32_t centreX = 0, centreY = 0;  // the turn's centre on the page with its margins
  bool Turned() const { return quarterTurns != 0 || radians != 0; }
  // A box of the turned page on the page as it came: its centre turned back, its size kept
  // (its sides swapped where the page lay on its side).
  PageBox Back(const PageBox& box) const;
};

struct InkPage {
  int32_t width = 0, height = 0;  // of the turned page where it was turned
  PageTurn turn;
  int32_t letterHeight = 0;  // the median height of the page's letters (0: none stand so)
  // The turn (radians, clockwise) that would set the lines level where the page lies askew too
  // little to be straightened: its lines are read as they lie, its columns told apart as if it
  // lay level.
  double lyingSkew = 0;
  bool lightOnDark = false;   // light print on dark paper, read as its negative
  bool onDarkGround = false;  // a sheet on a dark ground, the ground's ink left out
  std::vector<InkPart> parts;
  std::vector<LeftOutRegion> leftOut;  // pictures, borders, shadows, objects too large
};

// The page's ink: the 24-bit picture to grey, its uneven light evened out, then the
// threshold between paper and ink, and the components of what is ink.
InkPage FindInk(const RasterImage& picture);
// The same from a page already in grey (row-major, 0 black ... 255 white).
InkPage FindInkInGrey(const std::vector<uint8_t>& grey, int32_t width, int32_t height);

// The grey level that a page's paper is brought to before its ink is told from it.
constexpr int32_t kPaperGrey = 200;
// On a page as it came, lighter than this is paper, darker is ink or a dark ground.
constexpr int32_t kMidGrey = 128;
// Grey print far from the page's dark ink (on the grey page brought to kPaperGrey) added to its
// black/white page (Leptonica's 1-bit Pix) where it looks like lines of letters; the page's own
// threshold (`pageThreshold`) leaves it out.
void AddFaintInk(struct Pix* grey, int32_t pageThreshold, struct Pix* binary);

// Grey levels counted, 0 black ... 255 white.
using GreyCounts = std::array<uint64_t, 256>;
// The grey level between ink and paper of a page brought to one paper level, from the
// counts of every second pixel of every second row.
int32_t InkThreshold(const GreyCounts& counts);
// The black/white page whose components FindInkInGrey gives, before grey print is added to it
// (row-major, 1 ink), and the threshold that made it; empty for an empty page.
std::vector<uint8_t> BlackWhiteOfGrey(const std::vector<uint8_t>& grey, int32_t width,
                                      int32_t height, int32_t* threshold);

// ---- regions that are no text (ExtendedRegions.cpp) ----

// The cells of the page (squares of a few letter heights) that belong to regions that are no
// text: a halftone's or a photograph's grain, solid ink.
struct RegionMap {
  int32_t cell = 0, columns = 0;  // the cells' side in pixels; cells in a row
  std::vector<uint8_t> inRegion;  // one a cell, row-major
  // Whether the middle of `box` lies in a region.
  bool Covers(const PageBox& box) const;
};

// The regions of the black/white page (Leptonica's 1-bit Pix; its objects' boxes given) that
// are no text; each goes to `regions` with the reason. textHeight: the page's letter height.
RegionMap NonTextRegions(struct Pix* binary, const std::vector<PageBox>& boxes, int32_t textHeight,
                         std::vector<LeftOutRegion>* regions);

// ---- lines (ExtendedLines.cpp) ----

struct InkLine {
  std::vector<int32_t> parts;  // indices into InkPage::parts, left to right
  double baselineAt0 = 0;      // baseline row = baselineAt0 + slope * x
  double slope = 0;
  int32_t xHeight = 0, capHeight = 0;
  PageBox box;
  int32_t Baseline(int32_t x) const { return int32_t(baselineAt0 + slope * x + 0.5); }
  LineMetrics MetricsAt(int32_t x) const { return {Baseline(x), xHeight, capHeight}; }
  // Where the line stands under the middle of the box.
  LineMetrics MetricsUnder(const PageBox& b) const { return MetricsAt((b.left + b.right) / 2); }
};

// The median height of the page's letters from all its objects' boxes: those that stand
// beside two others of like height on one baseline (0: none stand so). pageSide: the page's
// longer side.
int32_t LetterHeight(const std::vector<PageBox>& boxes, int32_t pageSide);
// Of each box, whether it stands so (1) or not (0).
std::vector<uint8_t> StandingLikeLetters(const std::vector<PageBox>& boxes, int32_t pageSide);
// The typical height of the page's lowercase letters in pixels (0 without ink).
int32_t TypicalTextHeight(const std::vector<InkPart>& parts);
// The page's text blocks and other regions, from its ink parts (layout/PageSegmentation.h,
// kept out of this header: its Box is not Leptonica's).
struct SegmentedPage;
class KnownWords;
SegmentedPage SegmentInk(const InkPage& ink);
// The lines of one text block (its parts given by index), top to bottom. pageLetterHeight: the
// page's (InkPage::letterHeight; 0: the block's own letters tell). capToSmallPercent: capitals
// over small letters, for lines of one height alone where no line of the block shows both (0: a
// common text face's); the ratios the block's lines show are added to capToSmallShown.
std::vector<InkLine> FindLines(const std::vector<InkPart>& parts, const std::vector<int32_t>& block,
                               int32_t pageLetterHeight = 0, int32_t capToSmallPercent = 0,
                               std::vector<int32_t>* capToSmallShown = nullptr);

// ---- characters (GlyphAssembly.cpp) ----

// The parts of one character, and its box.
struct GlyphParts {
  std::vector<int32_t> parts;
  PageBox box;
};

// The line's parts grouped into characters, left to right: dots, accents and the marks of
// ": ; ! ? % = „ “" joined to their character; specks too small to be a full stop dropped.
std::vector<GlyphParts> AssembleGlyphs(const std::vector<InkPart>& parts, const InkLine& line);
// The pixels of the given parts inside `box`.
GlyphBitmap GlyphInk(const std::vector<InkPart>& parts, const std::vector<int32_t>& members,
                     const PageBox& box);

// Whether a word ends after a character: as the gap's width says, or as the word reading
// settled a gap whose width left it in doubt.
enum class SpaceAfter : uint8_t { kByGap, kYes, kNo };

// One recognised character: its box, its ink and its readings, best first.
struct ReadGlyph {
  PageBox box;
  GlyphBitmap ink;
  std::vector<ScoredChar> readings;
  std::shared_ptr<const TemplateVerdict> verdict;  // for reading it again (may be null)
  double oneCharacter = -1;                        // as GlyphReading's
  GlyphFeatures features;                          // as GlyphReading's
  // The classifier's own first reading where a word's reading chose another (0: none did).
  uint8_t readAs = 0;
  SpaceAfter spaceAfter = SpaceAfter::kByGap;
  double Score() const { return readings.empty() ? 0.0 : readings.front().score; }
  // How sure the reader is that this is one character, whichever of its look-alikes.
  double Wholeness() const { return oneCharacter >= 0 ? oneCharacter : Score(); }
};

using ClassifyFunction =
    std::function<GlyphReading(const GlyphBitmap&, const PageBox&, const LineMetrics&)>;

// Reads one assembled character; an object that reads badly and is wide enough to be two or
// more touching characters is cut at a column of little ink when its pieces read better.
std::vector<ReadGlyph> ReadWithSplits(const GlyphBitmap& ink, const PageBox& box,
                                      const InkLine& line, const ClassifyFunction& classify);
// One object to read in a batch: its ink, where it lies and its line's metrics there.
struct GlyphToRead {
  const GlyphBitmap* ink = nullptr;
  PageBox box;
  LineMetrics metrics;
};
using ClassifyBatch = std::function<std::vector<GlyphReading>(const std::vector<GlyphToRead>&)>;
// The same for a classifier of calibrated probabilities (the learned one), where the whole
// object has been read already (in a batch with its line) and the pieces of each try at
// cutting it are read in one batch.
std::vector<ReadGlyph> ReadWithSplits(const GlyphBitmap& ink, const PageBox& box,
                                      const InkLine& line, const ClassifyBatch& classify,
                                      GlyphReading whole);
// A glyph that reads well as one character but is far too wide for it (touching letters
// such as "fl" read as "f") is cut where every piece reads fairly; else kept whole.
std::vector<ReadGlyph> CutTooWide(const ReadGlyph& glyph, const InkLine& line,
                                  const ClassifyBatch& classify);

// A full stop or comma that touches the letter before it (in small print a serif's foot
// reaches it; a copy spreads the ink) reads as that letter alone, and surely. Where a glyph's
// last columns hold a mark on the baseline joined by a thin neck, and the letter and the mark
// each read surely apart, they are two characters.
void SplitOffTouchingStops(std::vector<ReadGlyph>* glyphs, const InkLine& line,
                           const ClassifyBatch& classify);

// A calibrated reading weighed by how likely each character is on the page (Bayes' rule):
// the probabilities stay a distribution over all classes, best first.
void WeighByPriors(const CharacterPriors& priors, GlyphReading* reading);

// The glyph without the ink that stands wholly above its tallest part: an accent, or a fax's
// stray pixels that read as one ("dÂr" for "der"); its box and ink only, and how many pieces
// were left out (two for the dots of an "ä"). 0 when there is none.
int32_t WithoutMarkAbove(const ReadGlyph& glyph, ReadGlyph* body);
// Likewise without the ink that stands wholly below its tallest part: a fax's specks under a
// letter, joined to it as if a cedilla.
int32_t WithoutInkBelow(const ReadGlyph& glyph, ReadGlyph* body);
// Likewise without the pieces of little ink wherever they stand: a fax's specks beside a
// letter, within its columns ("Stati9n").
int32_t WithoutSpecks(const ReadGlyph& glyph, ReadGlyph* body);
// Whether the glyph's best reading is a mark: neither a letter nor a figure.
bool ReadAsMark(const ReadGlyph& glyph);
// The box of the glyph's body: without the specks that stand wholly above or below it, whose
// height would make a small letter read as its capital twin.
PageBox BodyBox(const ReadGlyph& glyph);
// The ink of each 8-connected piece of the glyph, in pixels.
std::vector<int32_t> InkPieceAreas(const GlyphBitmap& ink);

// Neighbouring characters of a line (left to right) that are pieces of one character
// broken apart (thin strokes lost in a fax or a light copy) are joined where the whole reads
// clearly better than its pieces.
void JoinBrokenGlyphs(std::vector<ReadGlyph>* glyphs, const InkLine& line,
                      const ClassifyBatch& classify);
// The pieces of a glyph wide enough to be two letters, cut at the columns of least ink (at
// most `most` cuts, the likeliest first; not read yet). None for a narrow glyph.
std::vector<std::array<ReadGlyph, 2>> CutsAcross(const ReadGlyph& glyph, const InkLine& line,
                                                 size_t most);
// The ink of two characters as one (not read yet).
ReadGlyph JoinedGlyph(const ReadGlyph& a, const ReadGlyph& b);
// The columns [from, to) of a glyph's ink (lying in `box`), cut to the rows and columns that
// hold ink, and their box; false when they hold none.
bool CutPiece(const GlyphBitmap& ink, const PageBox& box, int32_t from, int32_t to,
              GlyphBitmap* piece, PageBox* pieceBox);

// ---- words read again (WordSegmentation.cpp) ----

struct Misreading;
// For each character as read, the letters it stood for on the page (PageMisreadings.cpp).
using PageMisreadings = std::array<std::vector<Misreading>, 256>;

// A word of a line (left to right) whose characters read doubtfully, or that the page's
// languages do not know, may hold letters broken into pieces that read as other letters ("lì"
// for "h", "cl" for "d") or two letters printed as one ("6" for "fi"): it is read again over
// every way of joining close neighbours and cutting wide glyphs, and a known word nearly as
// probable as the likeliest reading is taken. With the page's misreadings, the readings of a
// doubtful word's glyphs, and of its joins and cuts, are shared out over what they stood for
// on the page. With the letter model of the page's languages, the readings are weighed by
// how those languages spell too.
void ReadDoubtfulWordsAgain(std::vector<ReadGlyph>* glyphs, const InkLine& line,
                            const ClassifyBatch& classify, const KnownWords& words,
                            const PageMisreadings* misreadings = nullptr,
                            const LetterModel* letters = nullptr);

// A letter of a known word on the page: what the classifier read, and what the word meant.
struct ReadAndMeant {
  uint8_t read = 0, meant = 0;
  size_t glyph = 0;  // its index in the line's glyphs
};
// The letters of the words of a line (read again) that the page's languages know.
std::vector<ReadAndMeant> LettersOfKnownWords(const std::vector<ReadGlyph>& glyphs,
                                              const InkLine& line, const KnownWords& words);

// ---- the page's own misreadings (PageMisreadings.cpp) ----

// What a reading stood for on the page, with its share of that reading.
struct Misreading {
  uint8_t meant = 0;
  double share = 0;
};
// Of the letters of a page's known words: for each character as read, the letters it stood
// for, itself among them; empty for a character the page gives no cause to doubt.
PageMisreadings MisreadingsOf(const std::vector<ReadAndMeant>& pairs);
bool AnyMisreading(const PageMisreadings& misreadings);
// Each reading's score shared out over what that reading stood for on the page, best first.
void SpreadOverMisreadings(const PageMisreadings& misreadings, std::vector<ScoredChar>* readings);

// ---- the page's own shapes (PageShapes.cpp) ----

// A letter of a known word on the page, as the learned classifier saw it.
struct ShapeExample {
  GlyphFeatures features;
  uint8_t code = 0;
};
// A face the classifier never saw, or a fax, draws each letter its own way throughout the page:
// a glyph that looks like the page's own "e"s is an "e", whatever the classifier made of it.
class PageShapes {
 public:
  // The first examples of each letter are kept (those without features left out).
  explicit PageShapes(const std::vector<ShapeExample>& examples);
  // Too few examples, or none apart from each other, to weigh anything.
  bool Empty() const { return codes_.empty(); }
  // Each reading of a letter weighed with the letters of the page its glyph looks like.
  void Weigh(std::vector<GlyphReading>* readings) const;

 private:
  std::vector<float> examples_;  // one row of features each
  std::vector<uint8_t> codes_;
  size_t width_ = 0;
  double typicalDistance_ = 0;  // of an example from its nearest of the same letter
};
// Readings weighed with the letters `voted` for (one vote each) with `weight` (0 ... 1) beside
// their own scores; a letter voted for and not read is added.
void WeighWithVote(const std::vector<uint8_t>& voted, double weight,
                   std::vector<ScoredChar>* readings);

// ---- specks read as marks (PageSpecks.cpp) ----

// A speck of a copy, a fax or a scan reads as a full stop, a comma or a quote mark. The page's
// own full stops tell how much ink such a mark has: a speck has far less.
class PageFullStops {
 public:
  // The full stops read on one line; its x-height scales their ink to the page's.
  void Add(const std::vector<ReadGlyph>& glyphs, int32_t xHeight);
  // The small marks of a line with less than half the ink of the page's full stops at its
  // x-height, left out. Nothing is left out where the page shows too few full stops to tell.
  void LeaveOutSpecks(std::vector<ReadGlyph>* glyphs, int32_t xHeight) const;

 private:
  std::vector<double> inkShares_;  // each full stop's ink over its line's x-height squared
};

// Words run together where a narrow space went unseen: before a capital whose bar or arm
// reaches over the space ("derTube"), or after a comma or a full stop ("notiert.was"). A word
// the page's languages do not know is split there when they know both its parts.
void SplitRunTogetherWords(PageText* page, const KnownWords& words);

// ---- words (ExtendedWords.cpp) ----

// For each gap between neighbouring characters of a line (size chars - 1), whether it
// separates words: judged against the line's own gaps, so any size and resolution works.
// `codes`: the characters read (may be empty), so that the wide gaps around a narrow figure
// in a number do not split it.
std::vector<bool> WordBreaks(const std::vector<PageBox>& chars, int32_t xHeight,
                             const std::vector<uint8_t>& codes = {});
// The breaks, and which gaps lie between the line's letter gaps and its spaces, so that their
// width alone does not tell (never a gap of figures, nor one of a line whose gaps are alike).
struct WordGaps {
  std::vector<bool> breaks, doubtful;
};
// Whether characters from `first` to `last` stretch farther than any word: words whose
// spaces went unseen.
bool LongerThanAnyWord(const PageBox& first, const PageBox& last, int32_t xHeight);
WordGaps GapsBetweenWords(const std::vector<PageBox>& chars, int32_t xHeight,
                          const std::vector<uint8_t>& codes = {});
// Of a line's glyphs, with what the word reading settled of their gaps. A gap that a glyph's
// hook or arm reaches back over is in doubt where their ink beside the small letters' bodies
// stands a word apart.
WordGaps GlyphWordGaps(const std::vector<const ReadGlyph*>& glyphs, const InkLine& line);
// Gives the character another reading; the old one becomes its best alternative.
void Recode(PageChar* c, uint8_t code);
// In a word of figures alone, "I l | ]" are "1" and "O o" are "0", and "()" beside a figure
// is a broken "0".
void SettleDigits(PageWord* word);
// A sentence begins with a capital: a full stop before a small letter is a comma that lost its
// tail, as light copies and phone pictures lose it ("genäht. den"), unless it ends an
// abbreviation or a number. Across the lines of a block too. With the page's `words`, a
// doubtful comma before a capital that is no noun ("kaum, Die") is a full stop.
void CommasBeforeSmallLetters(PageText* page, const KnownWords* words = nullptr);
// A word of one small mark, set off from its word by a doubtful gap ("hast ." "decade. \""),
// joins it: a full stop or a comma the word before, an opening quote the word after, another
// quote the word before; a middle dot stands between words as a separator. A quote mark read
// unsurely, standing alone, is a speck of a copy or a fax ("Rohrstock ’ und") and is left
// out, as is a mark read unsurely at a word's edge where no such mark stands (a bar or a
// middle dot, "|gehört", "wir·").
void SettleStrayMarks(PageText* page);
// The word without the marks around it; a mark inside ("hal)en") stays.
std::string_view CoreOf(std::string_view text);
// A single quote mark read unsurely at a known word's edge that pairs with none in its block
// (an opening one with a closing one after it, a closing one with an opening one before it)
// is a speck of a copy or a fax ("zur'", "'zugemacht,"). One after "s", "x", "z" or "ß" may
// close its word alone (the possessive "Tanners’", "Hans’").
void LeaveOutUnpairedQuotes(PageText* page, const KnownWords& words);
// A word that begins with "I" or "l" and that the page's languages know only with the other
// ("lhre", "Iernen"): where the face draws both alike and its capitals stand as high as its
// ascenders, neither shape nor height tells them. And "II" (or "ll") that begins a sentence
// before a small letter's word is "Il" where the languages know it (French, Italian).
void SettleIAndLByKnownWords(PageText* page, const KnownWords& words);
// Comma or low single quote by its place in the word (CommaOrLowQuote), whatever was read.
void SettleCommas(PageWord* word);
// Heights of the page's ascender letters (b d h k) and flat-topped capitals in x-heights,
// from what was read with confidence (0: none seen).
struct LetterHeights {
  double ascender = 0, capital = 0;
};
// "I" and "l", one shape in many sans faces: by their neighbours in the word, at its start
// by their height.
void SettleIAndL(PageWord* word, const LetterHeights& heights, int32_t xHeight);
// The height of a line's small letters as printed: the median box height of the letters read
// as one that has no capital twin of its shape (a e m n r); 0 when fewer than three were read.
double SmallLetterHeight(const std::vector<PageWord>& words);
// "c o s u v w x z" and their capitals, one shape at two sizes: by their height against the
// line's small letters (`smallHeight` from SmallLetterHeight; 0: left as read), and small
// where the top stands level with the word's own small letters.
void SettleCaseTwins(PageWord* word, double smallHeight);
// A line set in small capitals (capitals of x-height size, as a byline's) reads as a mix of
// capitals and small letters: the words that show small capitals are set in capitals.
void SettleSmallCapitals(std::vector<PageWord>* words, int32_t xHeight);
// Characters the classifier has no class for, told by their size and place on the line: a dot
// as large as a bullet standing alone between the baseline and the x-height is a bullet "•"; a
// small ring standing above the baseline as high as a letter's top (read as "o", "O" or "0") is
// a degree sign "°"; a small "1", "2" or "3" raised so after a character is "¹", "²" or "³".
void SettleCharactersWithoutAClass(PageWord* word, const InkLine& line);
// One of "c o s u v w x z" or their capitals.
bool IsCaseTwin(uint8_t code);
// A single quote mark between two letters of a line's characters is an apostrophe ("Wer's",
// "l’an"): curled (’) or straight (') as its ink is drawn, where the reader saw it so.
void SettleApostrophes(std::vector<ReadGlyph>* glyphs);
// A semicolon is two pieces of ink of like size: one whose dot is a mere speck is a comma
// that touched the letter before it and kept a little of its ink when the two were cut
// apart ("gefreut,").
void SettleSpeckedSemicolons(std::vector<ReadGlyph>* glyphs);
