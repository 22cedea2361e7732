// Words read again over every way of joining and cutting their pieces. A light copy, a fax
// or an old book loses thin strokes, and a letter falls apart into pieces that each read
// well as another letter: "h" as "lì", "d" as "cl", "m" as "rri", "u" as "ii"; and two
// letters printed as one ("fi", a touching "ft") read as a third ("6"). Each piece alone is
// no evidence against that; the word is. A doubtful word is read over a lattice of its
// pieces, of close neighbours joined and of wide glyphs cut, and the likeliest reading
// that the page's languages know is taken when it is nearly as probable as the likeliest
// of all. How the languages spell weighs in too, so that a word no list knows (a name, a
// compound) is read as a word rather than as pieces ("(lreinuil" for "dreimal"). A
// copier's or a scanner's specks join the lattice too: a speck read as a mark inside a word
// ("B,ahnsteig") may be left out, and one read as an accent ("Fahrgäšte", "dÂr") may be
// taken for the bare letter, or the letter read again without it.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <iterator>
#include <map>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_set>

#include "recognition/ExtendedPage.h"
#include "recognition/WordCorrection.h"

namespace {

// Pieces this close may belong to one letter. A copy of a copy loses the thin strokes: a
// "D" keeps its stem and its bowl's right side, about two thirds of an x-height apart.
constexpr double kPieceGap = 0.8;  // x-heights
// No letter of a line is wider than this (a wide "M" or "W" of a serif face is about 1.6).
constexpr double kWidestLetter = 2.0;  // x-heights
// What a lost hairline leaves of a letter: a stroke with its serifs (x-heights).
constexpr double kLoneStroke = 0.6;
// A letter falls into three pieces at most ("m" as "rri").
constexpr size_t kMostPieces = 3;
// Readings of one character tried, and readings of a word's beginning kept at each piece.
// A fax's word may have every letter in doubt, and then its own spelling ranks far down
// among the readings of its beginning: 32 kept lost it where 128 did not.
constexpr size_t kReadingsTried = 8;
constexpr size_t kBeamWidth = 128;
// A word the languages know wins over the likeliest reading when it is at most this many
// times less probable (natural log), and this much more for each letter beyond three: a
// misreading seldom spells another word, and the longer the word the seldomer, so a long
// known word outweighs several doubtful letters (a fax's "Nicdcrschlag").
constexpr double kKnownWordWeight = 2.0;
constexpr double kKnownWordWeightPerLetter = 1.0;
constexpr size_t kLettersOfAShortWord = 3;
// A character's reading this much less probable than its best is never taken (natural log).
// A fax's broken letter may read a thousand times likelier as another: 5 lost such words.
constexpr double kLeastLikelyReading = 7.0;
// Each piece joined to another, and each cut, costs this much (natural log): two letters
// often read about as well joined as apart, and then they stay apart. It is small: the
// whole's reading already weighs what is no letter (the model has a class for it), and a copy
// of a copy or a fax breaks several letters of a word. A join with a piece read as a mark, or
// of pieces each read as a sure letter, costs kSureJoinCost: neither is a broken letter's
// piece, and a letter and the comma after it ("International" of "International,"), or two
// sure letters (a bold face's "nj" reads as "m"), read about as well joined as apart too.
// Measured from 0.2 to 0.7 (typeset pages, real scans and pages in faces found nowhere in the
// repository), 0.4 and 0.5 were best together.
constexpr double kJoinCost = 0.4;
constexpr double kSureJoinCost = 0.5;
// A probability below this is no reading at all (and keeps logarithms finite).
constexpr double kLeastProbability = 1e-4;
// A glyph read less well than this as a letter may well be two ("m" reads as "rn" too).
constexpr double kConfidentCharacter = 0.85;
// One read better may still be two letters printed as one: a ligature ("fi" read as "h", "ft"
// as "R") or a touching pair of a kerned face ("rt" read as "n"). Cutting it costs this much
// more (natural log), and this share of the log of the classifier's belief that it is more
// than one character (the model's class for no single character). Without them the doubtful
// words of a page in a language the lists lack took known words of pieces ("tout" as "tollt").
constexpr double kCutSureLetter = 1.0;
constexpr double kMoreThanOneWeight = 0.5;
// A doubtful letter of a word the languages do not know may be one the classifier did not
// offer at all: a fax's speck joined to an "o" reads as "9", "Q" or "g", never "o" ("Stati9n");
// a letter that lost its hairlines reads as another shape ("Virgleich"). Where one letter the
// classifier read less surely than kUnsureLetter (more likely misread than not), replaced by
// another, makes a known word, and no other replacement of the word does, that word is taken
// as if the letter read kUnofferedLetter (natural log) less probable than the reading, within
// the allowance of a known word: words of four letters or more (4.0 admitted five or more; 2 to
// 3 measured alike, a few words better). Surer letters stay: a clean page's names and
// compounds the lists lack ("Sachunterricht") would otherwise become their known neighbours.
constexpr double kUnofferedLetter = 3.0;
constexpr double kUnsureLetter = 0.5;
// Letters that a face prints as one shape, a ligature, or that touch in print as if one: read
// as one character they make no known word ("hrst", "Lußdruck", "o#"). Where one glyph of
// a word the languages do not know, read as such letters, makes a known word, and no other
// such glyph or letters do, that word is taken as if the glyph read kLigatureCost (natural
// log) less probable than as read, within the allowance of a known word. Such a glyph begins
// with the stem of an "f": its left half rises above the small letters by kFRises x-heights
// (an "f" rises about half an x-height; a word of small letters read in another language,
// "on" for "oft", does not), and one narrower than kLigatureWidth x-heights is one letter.
// Measured on pages in faces found nowhere in the repository: 368 edits before, 354 at a cost
// of 2.0 or 3.0; the typeset pages and real scans read as before. Any reading allowed to be a
// ligature read 163 edits worse on the typeset pages ("of" as "oft", "Les" as "fies").
constexpr std::array<std::string_view, 6> kLigatures = {"ff", "fi", "fl", "ft", "ffi", "ffl"};
constexpr double kLigatureCost = 3.0;
constexpr double kLigatureWidth = 0.6;
constexpr double kFRises = 0.25;
// The likeliest cuts (the columns of least ink) tried of a glyph that may well be two
// letters: the valley inside an "n" may hold less ink than where a touching "r" meets it
// ("Metem" for "Metern"), and so may the valley after the "r"'s stem, below its arm. A glyph
// read confidently (an "m", a ligature letter, a mark) is tried at kCutsOfAConfidentGlyph, a
// doubtful one at kCutsOfAGlyph: more pieces of a fax's broken letters make more wrong known words.
// A sure letter is cut at its likeliest only, and so is one that the classifier is all but sure is
// one character (kSurelyOne): a clean "m" cut at its second valley reads as "na" ("ml" as "nal").
constexpr size_t kCutsOfAGlyph = 2;
constexpr size_t kCutsOfAConfidentGlyph = 3;
constexpr double kSurelyOne = 0.9999;
// Leaving out a speck that stands alone in a word costs this much (natural log): only a word
// the languages know pays for it ("B,ahn" stays where "Bahn" is no word, and "Ph.D." keeps
// its stops).
constexpr double kSpeckCost = 1.0;
// Reading a glyph without its stray ink, or an accent as a speck's, costs this much. Measured
// from 0.3 to 1.25: 0.3 to 0.6 read the typeset pages and real scans alike, and the lower the
// better the pages in faces found nowhere in the repository; 1.0 was 34 edits worse on the
// typeset pages (a fax's specks read as accents: "Uebérflüssiges"). 0.5 lies in the middle.
constexpr double kStrayInkCost = 0.5;
// Within pieces joined into one letter, each piece's stray ink left out costs this much: the
// whole must still read as one letter, which a fax's broken letter with a streak over it
// does only without the streak.
constexpr double kStrayInkInAJoin = 0.5;
// An accented capital read within a word may be taken for the small letter at this cost
// (natural log): a fax's speck over a small letter makes it as tall as a capital and reads as
// an accent ("braÛcht"). Only a word the languages know pays for it.
constexpr double kCapitalInAWord = 1.0;
// A word read where gaps of doubtful width lie may take in this many words as those widths
// make them ("Gä rtnerinnen", "da rf da s"), at most.
constexpr size_t kMostWordsJoined = 3;
// The doubtful gaps of a line are set as make the most letters of known words; this much for
// each gap set as its width says (far less than a letter) leaves ties to the widths.
constexpr double kWidthsSay = 0.01;
// What each word costs a long run read as words, in letters of known words: the fewer
// words, the likelier, where they spell as many letters of known words.
constexpr double kWordInALongRun = 0.5;
// The worth of a way of reading that is not taken.
constexpr double kNoWay = -1e9;
// The letter model's say beside the glyphs' readings: a word's readings that the glyphs
// make about as probable differ in how their letters spell, by several natural logs a letter
// for a misreading ("lr" beginning a German word), and this share of it counts.
constexpr double kLetterModelWeight = 0.15;
// A mark between two letters (other than a hyphen or an apostrophe), or out of its place:
// rarer than any letter sequence the lists spell (natural log, before the weight).
constexpr double kMarkBetweenLetters = 4.0;
// A speck is no taller and no wider than this (x-heights); a comma or a full stop is about
// a third of an x-height wide and high.
constexpr double kLargestSpeck = 0.4;

// One character of the lattice. The lattice runs over atoms: each glyph as read, or both
// pieces of a wide glyph cut in two.
struct Candidate {
  size_t firstAtom = 0, atoms = 1;
  ReadGlyph glyph;
  double cost = 0;       // of joining or cutting, natural log
  bool asRead = false;   // one glyph as it was read
  bool leftOut = false;  // a speck, read as nothing
};

// How a character of a reading takes its candidate's reading: as read, its letter without
// the accent, or an accented capital within a word as the small letter (with or without its
// accent).
enum class Taken : uint8_t { kAsRead, kBare, kSmall, kBareSmall };

// One character of a reading: a candidate, its reading and how it is taken.
struct Step {
  size_t candidate = 0, reading = 0;
  Taken taken = Taken::kAsRead;
};

struct Hypothesis {  // a reading of the word's first pieces
  double logProbability = 0;
  std::string text;
  std::vector<Step> steps;  // in order
};

// The letter under an accent, a caron, a cedilla, a tilde or a ring (Windows-1252); 0 for
// others. Not under two dots: one speck does not make them, and "ö" of a name ("Wöhler")
// must not become the "o" of a word ("wohl").
uint8_t BareLetter(uint8_t c) {
  const bool twoDots = c == 0xC4 || c == 0xCB || c == 0xCF || c == 0xD6 || c == 0xDC || c == 0xE4 ||
                       c == 0xEB || c == 0xEF || c == 0xF6 || c == 0xFC || c == 0xFF || c == 0x9F;
  return twoDots ? 0 : BaseLetter1252(c);
}

// Read as a letter with an accent (not two dots: see BareLetter).
bool ReadAsAccented(const ReadGlyph& glyph) {
  return !glyph.readings.empty() && BareLetter(glyph.readings.front().code) != 0;
}

// Whether the pieces above a glyph's body may be a fax's stray ink rather than its own: an
// accent (not two dots: "Wöhler" stays a name), or a lone piece above a letter or figure that
// has no dot of its own ("d8rt" of an "o" with a speck over it, "äuf" of one speck).
bool MayBeStrayInkAbove(const ReadGlyph& glyph, int32_t piecesAbove) {
  if (piecesAbove == 0 || glyph.readings.empty()) return false;
  const uint8_t code = glyph.readings.front().code;
  const bool dotted = code == 'i' || code == 'j';
  return ReadAsAccented(glyph) ||
         (piecesAbove == 1 && !dotted && (IsLetter1252(code) || IsDigit1252(code)));
}

// Whether pieces below a glyph's body may be a fax's specks: below a letter other than "ç",
// the one letter of these languages with a mark of its own beneath.
bool MayBeStrayInkBelow(const ReadGlyph& glyph, int32_t piecesBelow) {
  if (piecesBelow == 0 || glyph.readings.empty()) return false;
  const uint8_t code = glyph.readings.front().code;
  return IsLetter1252(code) && ToSmall1252(code) != 0xE7;  // ç
}

// Whether small pieces of a glyph may be a fax's specks: beside a figure or a letter that has
// no small piece of its own (the dot of an "i" or a "j", the dots and accents of the letters
// beyond ASCII).
bool MayBeStraySpecks(const ReadGlyph& glyph, int32_t specks) {
  if (specks == 0 || glyph.readings.empty()) return false;
  const uint8_t code = glyph.readings.front().code;
  const bool plainLetter = code < 0x80 && IsLetter1252(code) && code != 'i' && code != 'j';
  return plainLetter || IsDigit1252(code);
}

// The letter that a reading is taken as; 0 where it cannot be so taken.
uint8_t TakenAs(uint8_t code, Taken taken) {
  const uint8_t small = IsCapital1252(code) ? ToSmall1252(code) : 0;
  switch (taken) {
    case Taken::kAsRead:
      return code;
    case Taken::kBare:
      return BareLetter(code);
    case Taken::kSmall:
      return small;
    case Taken::kBareSmall:
      return small && BareLetter(small) ? BareLetter(small) : 0;
  }
  return 0;
}

bool IsSpeck(const ReadGlyph& glyph, double xh) {
  return glyph.box.Width() <= kLargestSpeck * xh && glyph.box.Height() <= kLargestSpeck * xh &&
         !glyph.readings.empty() && !IsLetter1252(glyph.readings.front().code);
}

bool IsApostrophe(uint8_t c) {
  return c == '\'' || c == 0x92;  // ' and ’
}

// The pieces beside an apostrophe that need not be words themselves: the elided "l'", "d'",
// "qu'" and their kin, and the clipped "'s", "'t", "'ll", "'re", "'ve", "'n".
bool IsClitic(const std::string& piece) {
  static const std::unordered_set<std::string> kClitics = {"c", "d",  "j", "l",  "m",  "n",  "s",
                                                           "t", "qu", "o", "ll", "re", "ve", "em"};
  std::string small;
  for (const char c : piece) small += char(ToSmall1252(uint8_t(c)));
  return kClitics.count(small) > 0;
}

double LogOf(double p) {
  return std::log(std::max(p, kLeastProbability));
}

// The word's letters without the marks around them ("Luftdruck," -> "Luftdruck"); empty
// when a figure or a mark other than a hyphen or an apostrophe stands among them, or a figure
// against them: a touching "r," read as "5" makes no known word of "Paddle5".
std::string LettersOf(std::string_view text) {
  const std::string_view core = CoreOf(text);
  const size_t begin = size_t(core.data() - text.data()), end = begin + core.size();
  if ((begin > 0 && IsDigit1252(uint8_t(text[begin - 1]))) ||
      (end < text.size() && IsDigit1252(uint8_t(text[end]))))
    return {};
  for (const char c : core)
    if (!IsLetter1252(uint8_t(c)) && c != '-' && !IsApostrophe(uint8_t(c))) return {};
  return std::string(core);
}

// A word with an apostrophe is known when its pieces are: one word of the language, and
// elided or clipped pieces beside it ("l'amabilité", "d'un", "it's", "don't"). A copier's
// speck read as an apostrophe makes no known word of two ("Brief'und") or of a letter and a
// word ("z'um").
bool KnownPieces(const std::string& letters, const KnownWords& words) {
  size_t wordsIn = 0;
  size_t start = 0;
  while (start <= letters.size()) {
    size_t end = start;
    while (end < letters.size() && !IsApostrophe(uint8_t(letters[end]))) ++end;
    const std::string piece = letters.substr(start, end - start);
    if (piece.size() >= 2 && words.Knows(piece))
      ++wordsIn;
    else if (!IsClitic(piece))
      return false;
    start = end + 1;
  }
  return wordsIn == 1;
}

// One upright stroke repeated ("ii", "iii", "ll"): the stems of a broken "n", "m" or "u" read
// so, and a dictionary that lists roman numerals would make a word of them.
bool RepeatedStrokes(const std::string& letters) {
  return letters.find_first_not_of('i') == std::string::npos ||
         letters.find_first_not_of('l') == std::string::npos;
}

bool Known(std::string_view text, const KnownWords& words) {
  const std::string letters = LettersOf(text);
  if (letters.size() < 2 || RepeatedStrokes(letters)) return false;
  if (words.Knows(letters)) return true;
  return std::any_of(letters.begin(), letters.end(),
                     [](char c) { return IsApostrophe(uint8_t(c)); }) &&
         KnownPieces(letters, words);
}

std::string TextOf(const std::vector<ReadGlyph>& glyphs, size_t begin, size_t end) {
  std::string text;
  for (size_t i = begin; i < end; ++i)
    if (!glyphs[i].readings.empty()) text += char(glyphs[i].readings.front().code);
  return text;
}

// Marks that stand only before a word, and only after one. Quotes open in one language
// and close in another, and are neither.
bool OpensOnly(uint8_t c) {
  return c == '(' || c == '[' || c == 0x84 || c == 0x82 || c == 0xBF || c == 0xA1;  // „ ‚ ¿ ¡
}

bool ClosesOnly(uint8_t c) {
  return c == ')' || c == ']' || c == '.' || c == ',' || c == ';' || c == ':' || c == '!' ||
         c == '?';
}

// A mark out of its place: one that only opens after a letter ("s()"), or one that only
// closes before the first ("()gration"); and a per cent sign after a letter, where figures
// stand before it ("In%" of "Inc.,"). A letter broken into pieces reads so.
bool OutOfPlace(uint8_t code, bool letterSeen) {
  return letterSeen ? OpensOnly(code) || code == '%' : ClosesOnly(code);
}

bool MarkOutOfPlace(std::string_view text) {
  bool letterSeen = false;
  for (const char c : text) {
    const uint8_t code = uint8_t(c);
    if (IsLetter1252(code)) letterSeen = true;
    if (OutOfPlace(code, letterSeen)) return true;
  }
  return false;
}

// An e-mail or web address ("info@werkzeug-mueller.de", "www.quillon.org"): no word of any
// language, and its full stops stand between letters. A name, "@", and a domain that ends in
// a full stop and two letters or more; or "www." or "http" at its start.
bool LooksLikeAnAddress(std::string_view text) {
  if (text.starts_with("www.") || text.starts_with("http://") || text.starts_with("https://"))
    return true;
  const size_t at = text.find('@');
  const size_t dot = text.rfind('.');
  if (at == std::string_view::npos || at == 0 || dot == std::string_view::npos || dot < at + 2)
    return false;
  const std::string_view ending = text.substr(dot + 1);
  return ending.size() >= 2 &&
         std::all_of(ending.begin(), ending.end(), [](char c) { return IsLetter1252(uint8_t(c)); });
}

// A word the page's languages know as read is left as it is: a doubtful character of it (a
// look-alike such as "l" and "I") is settled later, by the letters' heights and the word
// list. Numbers and marks are left as read; a word of letters with a figure among them
// ("con6rmed" of a "fi" printed as one) is doubtful. An address is left as read.
bool Doubtful(const std::vector<ReadGlyph>& glyphs, size_t begin, size_t end,
              const KnownWords& words) {
  const std::string text = TextOf(glyphs, begin, end);
  const std::string_view core = CoreOf(text);
  const bool hasLetters =
      std::any_of(core.begin(), core.end(), [](char c) { return IsLetter1252(uint8_t(c)); });
  if (!hasLetters || LooksLikeAnAddress(core)) return false;
  return (core.size() >= 2 && !Known(core, words)) || MarkOutOfPlace(text);
}

// A word of one small letter after a gap of doubtful width and a known word: likelier the last
// letter of a word whose loose gaps cut it off (a paragraph's short last line: "eine m",
// "wurde n.") than a word of its own, and no doubtful word where it stands alone. The page's
// words settle such a phrase. One-letter words ("a", "y", "à") lead into the next word ("a
// long", not "along"): a letter before a doubtful gap does not count; nor one after junk.
bool LetterCutOffAKnownWord(const std::vector<ReadGlyph>& glyphs, const WordGaps& gaps,
                            size_t wordBefore, size_t begin, size_t end, const KnownWords& words) {
  if (wordBefore >= begin || !gaps.doubtful[begin - 1]) return false;
  const std::string text = TextOf(glyphs, begin, end);
  const std::string_view core = CoreOf(text);
  if (core.size() != 1 || !IsSmall1252(uint8_t(core[0]))) return false;
  const std::string before = TextOf(glyphs, wordBefore, begin);
  return Known(CoreOf(before), words);
}

// Where each glyph's atoms begin (one more at the end): a wide glyph that may be two
// letters printed as one ("fi", "ft") has one more than it has cuts, for the pieces of its
// likeliest cuts, left to right; each piece spans the atoms between its cut and its edge.
struct Cut {
  std::array<ReadGlyph, 2> pieces;
  double cost = 0;  // natural log
};
struct Atoms {
  std::vector<size_t> firstOf;
  std::vector<Cut> cuts;  // of the glyphs with several atoms, in order, each left to right
};

// Æ and Œ are two letters in one shape: a touching "re" or "ae" of a blurred page reads as one.
bool LigatureLetter(uint8_t c) {
  return c == 0xC6 || c == 0xE6 || c == 0x8C || c == 0x9C;  // Æ æ Œ œ
}

// A doubtful glyph, a mark or a figure may well be two letters printed as one; of the
// confident letters, the ligature letters and "m", which the touching "rn" of a kerned face
// reads as.
bool MayWellBeTwo(const ReadGlyph& glyph) {
  const uint8_t code = glyph.readings.front().code;
  return glyph.Score() < kConfidentCharacter || !IsLetter1252(code) || LigatureLetter(code) ||
         code == 'm';
}

size_t CutsTried(const ReadGlyph& glyph) {
  if (!MayWellBeTwo(glyph) || glyph.Wholeness() >= kSurelyOne) return 1;
  return glyph.Score() >= kConfidentCharacter ? kCutsOfAConfidentGlyph : kCutsOfAGlyph;
}

double CutCost(const ReadGlyph& glyph) {
  if (MayWellBeTwo(glyph)) return kJoinCost;
  const double moreThanOne = std::max(1.0 - glyph.Wholeness(), kLeastProbability);
  return kJoinCost + kCutSureLetter - kMoreThanOneWeight * std::log(moreThanOne);
}

Atoms AtomsOf(const std::vector<ReadGlyph>& glyphs, size_t begin, size_t end, const InkLine& line) {
  Atoms atoms;
  size_t next = 0;
  for (size_t i = begin; i < end; ++i) {
    atoms.firstOf.push_back(next);
    std::vector<std::array<ReadGlyph, 2>> cuts;
    if (!glyphs[i].readings.empty()) cuts = CutsAcross(glyphs[i], line, CutsTried(glyphs[i]));
    std::sort(cuts.begin(), cuts.end(),
              [](const auto& a, const auto& b) { return a[1].box.left < b[1].box.left; });
    // Cuts at both ends of one flat valley may make the same pieces.
    cuts.erase(std::unique(cuts.begin(), cuts.end(),
                           [](const auto& a, const auto& b) {
                             return a[0].box.right == b[0].box.right &&
                                    a[1].box.left == b[1].box.left;
                           }),
               cuts.end());
    next += cuts.size() + 1;
    for (std::array<ReadGlyph, 2>& pieces : cuts)
      atoms.cuts.push_back({std::move(pieces), CutCost(glyphs[i])});
  }
  atoms.firstOf.push_back(next);
  return atoms;
}

// A piece of a cut glyph joined with the glyph beside it: a fax's letter that broke where a
// hairline was lost, and whose other part touches the letter after it ("kommen" as a stroke,
// then the rest of the first "m" and the second as one glyph). One of the two is then a lone
// stroke, no wider than kLoneStroke: joining wider ones mended hardly more, at a tenth more time.
void AddPiecesJoinedToNeighbours(const std::vector<ReadGlyph>& glyphs, size_t begin, size_t end,
                                 size_t i, size_t k, const Cut& cut, const Atoms& atoms, double xh,
                                 std::vector<Candidate>* candidates) {
  const auto atomOf = [&](size_t glyph) { return atoms.firstOf[glyph - begin]; };
  const auto mayBeOneLetter = [&](const PageBox& a, const PageBox& b) {
    return b.left - a.right - 1 <= kPieceGap * xh &&
           std::min(a.Width(), b.Width()) <= kLoneStroke * xh;
  };
  const size_t atom = atomOf(i);
  if (i > begin && mayBeOneLetter(glyphs[i - 1].box, cut.pieces[0].box)) {
    ReadGlyph joined = JoinedGlyph(glyphs[i - 1], cut.pieces[0]);
    if (joined.box.Width() <= kWidestLetter * xh)
      candidates->push_back({atomOf(i - 1), atom + k - atomOf(i - 1), std::move(joined),
                             cut.cost + kJoinCost, false});
  }
  if (i + 1 < end && mayBeOneLetter(cut.pieces[1].box, glyphs[i + 1].box)) {
    ReadGlyph joined = JoinedGlyph(cut.pieces[1], glyphs[i + 1]);
    if (joined.box.Width() <= kWidestLetter * xh)
      candidates->push_back(
          {atom + k, atomOf(i + 2) - atom - k, std::move(joined), kJoinCost, false});
  }
}

// The characters worth reading besides the glyphs as read: close neighbours joined, no
// wider together than a letter, and the pieces of the cuts, alone and joined with their
// neighbours.
std::vector<Candidate> NewCandidates(const std::vector<ReadGlyph>& glyphs, size_t begin, size_t end,
                                     const InkLine& line, Atoms* atoms) {
  const double xh = std::max(line.xHeight, 1);
  // Each glyph without a fax's stray ink above or below it, or specks beside it, where it may
  // have some; one that may be cut too is also read so, whole (a fax's "m" under specks).
  std::vector<std::optional<ReadGlyph>> bodies(end - begin);
  for (size_t i = begin; i < end; ++i) {
    // Most glyphs are one piece of ink, and have none to leave out.
    if (InkPieceAreas(glyphs[i].ink).size() < 2) continue;
    ReadGlyph body;
    if (MayBeStrayInkAbove(glyphs[i], WithoutMarkAbove(glyphs[i], &body)) ||
        MayBeStrayInkBelow(glyphs[i], WithoutInkBelow(glyphs[i], &body)) ||
        MayBeStraySpecks(glyphs[i], WithoutSpecks(glyphs[i], &body)))
      bodies[i - begin] = std::move(body);
  }
  std::vector<Candidate> candidates;
  size_t cut = 0;
  for (size_t first = begin; first < end; ++first) {
    const size_t atom = atoms->firstOf[first - begin];
    const size_t atomsOfGlyph = atoms->firstOf[first - begin + 1] - atom;
    for (size_t k = 1; k < atomsOfGlyph; ++k) {
      Cut& both = atoms->cuts[cut++];
      AddPiecesJoinedToNeighbours(glyphs, begin, end, first, k, both, *atoms, xh, &candidates);
      candidates.push_back({atom, k, std::move(both.pieces[0]), both.cost, false});
      candidates.push_back({atom + k, atomsOfGlyph - k, std::move(both.pieces[1]), 0, false});
    }
    // Inside the word only: a mark before or after it is the text's or settled by others.
    if (first > begin && first + 1 < end && IsSpeck(glyphs[first], xh))
      candidates.push_back({atom, 1, {}, kSpeckCost, false, true});
    if (bodies[first - begin])
      candidates.push_back({atom, atomsOfGlyph, *bodies[first - begin], kStrayInkCost, false});
    // Pieces of one letter joined, as they stand and without their stray ink (a fax's
    // streak over the first stroke of an "m" makes the whole read as "h").
    ReadGlyph whole = glyphs[first];
    size_t strippedPieces = 0;
    const auto strip = [&](size_t i) -> const ReadGlyph& {
      if (bodies[i - begin]) ++strippedPieces;
      return bodies[i - begin] ? *bodies[i - begin] : glyphs[i];
    };
    ReadGlyph stripped = strip(first);
    bool anyMark = ReadAsMark(glyphs[first]);
    bool allSure = glyphs[first].Score() >= kConfidentCharacter;
    for (size_t last = first + 1; last < end && last - first < kMostPieces; ++last) {
      const PageBox& prev = glyphs[last - 1].box;
      if (glyphs[last].box.left - prev.right - 1 > kPieceGap * xh) break;
      whole = JoinedGlyph(whole, glyphs[last]);
      if (whole.box.Width() > kWidestLetter * xh) break;
      const size_t atomsSpanned = atoms->firstOf[last - begin + 1] - atom;
      anyMark |= ReadAsMark(glyphs[last]);
      allSure &= glyphs[last].Score() >= kConfidentCharacter;
      const double joins = (anyMark || allSure ? kSureJoinCost : kJoinCost) * double(last - first);
      candidates.push_back({atom, atomsSpanned, whole, joins, false});
      stripped = JoinedGlyph(stripped, strip(last));
      if (strippedPieces > 0)
        candidates.push_back({atom, atomsSpanned, stripped,
                              joins + kStrayInkInAJoin * double(strippedPieces), false});
    }
  }
  return candidates;
}

// A doubtful word of the line: its glyphs [begin, end), its atoms and the characters read
// for it besides its glyphs as read.
struct WordWork {
  size_t begin = 0, end = 0;
  Atoms atoms;
  std::vector<Candidate> candidates;
};

// The new characters of all the line's doubtful words, read in one batch.
void ReadCandidates(std::vector<WordWork>* words, const InkLine& line,
                    const ClassifyBatch& classify, const PageMisreadings* misreadings) {
  // Words read over overlapping stretches of a line share candidates: each is read once.
  std::vector<GlyphToRead> batch;
  std::vector<size_t> readingOf;  // of each candidate read, in order
  std::map<std::array<int32_t, 4>, std::vector<size_t>> byBox;
  for (const WordWork& word : *words)
    for (const Candidate& c : word.candidates) {
      if (c.leftOut) continue;
      const PageBox& box = c.glyph.box;
      std::vector<size_t>& same = byBox[{box.left, box.top, box.right, box.bottom}];
      const auto read = std::find_if(same.begin(), same.end(), [&](size_t i) {
        return batch[i].ink->width == c.glyph.ink.width && batch[i].ink->ink == c.glyph.ink.ink;
      });
      if (read != same.end()) {
        readingOf.push_back(*read);
        continue;
      }
      same.push_back(batch.size());
      readingOf.push_back(batch.size());
      batch.push_back({&c.glyph.ink, box, line.MetricsUnder(box)});
    }
  if (batch.empty()) return;
  const std::vector<GlyphReading> readings = classify(batch);
  size_t k = 0;
  for (WordWork& word : *words)
    for (Candidate& c : word.candidates) {
      if (c.leftOut) continue;
      const GlyphReading& reading = readings[readingOf[k++]];
      c.glyph.readings = reading.readings;
      c.glyph.oneCharacter = reading.oneCharacter;
      c.glyph.features = reading.features;
      if (misreadings) SpreadOverMisreadings(*misreadings, &c.glyph.readings);
    }
}

// Where a reading's letters stand for the letter model: the two letters before (kBoundary
// before a word's first), whether a mark other than a hyphen or an apostrophe follows the
// last letter, and whether a figure as the classifier read it came before any letter. Such
// a reading is a number or a code ("1o.ooo" of "10.000", whose noughts the later rules
// settle), which no list spells: the model has no say in it. A figure that the reading makes
// of a piece ("11ew" of a cut "n") is no such sign.
struct Spelling {
  uint8_t before1 = LetterModel::kBoundary, before2 = LetterModel::kBoundary;
  bool markAfterLetter = false;
  bool anyLetter = false;
  bool number = false;
  // An abbreviation spells its letters one by one, each closed by a full stop ("z.B.",
  // "d.h.", "e.V.", "U.S.A."): no list spells so, and the model would weigh each letter as a
  // word of its own and each stop as a mark inside a word. While a reading may still be one,
  // the model's weights are held back, and they are dropped where it is one. (Groups of two,
  // "Ph.D.", let a fax's speck in "Stadtwerke" make one of "St.ad.".)
  bool mayBeAbbreviation = true;
  bool letterBeforeStop = false;    // since the reading's start or the last full stop
  bool stopClosedLetter = false;    // the last character was a full stop after a letter
  bool stopBetweenLetters = false;  // a letter followed such a stop
  bool marksAfter = false;          // closing marks after the last stop ("e.V.)")
  double heldBack = 0;
};

// Whether a reading spelled so far may still be an abbreviation once `code` follows.
bool StillAbbreviation(uint8_t code, Spelling* spelling) {
  if (IsLetter1252(code)) {
    if (spelling->marksAfter || spelling->letterBeforeStop) return false;
    spelling->stopBetweenLetters |= spelling->stopClosedLetter;
    spelling->stopClosedLetter = false;
    spelling->letterBeforeStop = true;
    return true;
  }
  if (code == '.' && spelling->letterBeforeStop) {
    spelling->letterBeforeStop = false;
    spelling->stopClosedLetter = true;
    return true;
  }
  // An opening mark before the first letter, or closing marks after the last stop.
  if (!spelling->anyLetter && OpensOnly(code)) return true;
  if (spelling->stopClosedLetter || spelling->marksAfter) {
    spelling->stopClosedLetter = false;
    spelling->marksAfter = true;
    return !IsDigit1252(code);
  }
  return false;
}

bool SpelledAsAbbreviation(const Spelling& spelling) {
  return spelling.mayBeAbbreviation && spelling.stopBetweenLetters &&
         (spelling.stopClosedLetter || spelling.marksAfter);
}

// The weight as charged: held back while the reading may be an abbreviation, and everything
// held back charged with it once it cannot be.
double Charged(double weight, Spelling* spelling) {
  if (spelling->mayBeAbbreviation) {
    spelling->heldBack += weight;
    return 0.0;
  }
  const double charged = spelling->heldBack + weight;
  spelling->heldBack = 0;
  return kLetterModelWeight * charged;
}

// How the letter model weighs a character that extends the reading (natural log, its weight
// applied), and where the letters then stand. A mark after a letter ends that letter's word; a
// letter after such a mark is a mark inside a word, which the lists spell seldom ("B,ahn"), and
// a mark out of its place costs as much ("s()"). classifiersOwn: the character is the first
// reading of a glyph as the classifier read it.
double Spell(const LetterModel& letters, uint8_t code, bool classifiersOwn, Spelling* spelling) {
  if (spelling->number) return 0.0;
  if (IsDigit1252(code) && classifiersOwn && !spelling->anyLetter) {
    spelling->number = true;
    return 0.0;
  }
  if (spelling->mayBeAbbreviation) spelling->mayBeAbbreviation = StillAbbreviation(code, spelling);
  double weight = 0;
  if (IsLetter1252(code)) {
    weight = letters.Weigh(spelling->before1, spelling->before2, code);
    if (spelling->markAfterLetter) weight -= kMarkBetweenLetters;
    spelling->before1 = spelling->before2;
    spelling->before2 = code;
    spelling->markAfterLetter = false;
    spelling->anyLetter = true;
  } else {
    const bool afterLetter = spelling->before2 != LetterModel::kBoundary;
    if (afterLetter)
      weight = letters.Weigh(spelling->before1, spelling->before2, LetterModel::kBoundary);
    if (OutOfPlace(code, spelling->anyLetter)) weight -= kMarkBetweenLetters;
    const bool joinsWords = code == '-' || IsApostrophe(code);
    spelling->markAfterLetter =
        (afterLetter || spelling->markAfterLetter) && !joinsWords && !IsDigit1252(code);
    spelling->before1 = spelling->before2 = LetterModel::kBoundary;
    // Words run together after a comma ("wird,z.B."): what follows may be an abbreviation.
    if (afterLetter && code == ',' && !spelling->mayBeAbbreviation) {
      const double charged = Charged(weight, spelling);
      spelling->mayBeAbbreviation = true;
      spelling->letterBeforeStop = spelling->stopClosedLetter = false;
      spelling->stopBetweenLetters = spelling->marksAfter = false;
      return charged;
    }
  }
  return Charged(weight, spelling);
}

// The letter model's weight of a reading's end: its last letters end a word. An abbreviation's
// weights are dropped.
double SpellEnd(const LetterModel& letters, const Spelling& spelling) {
  if (spelling.number || SpelledAsAbbreviation(spelling)) return 0.0;
  const double end =
      spelling.before2 == LetterModel::kBoundary
          ? 0.0
          : letters.Weigh(spelling.before1, spelling.before2, LetterModel::kBoundary);
  return kLetterModelWeight * (spelling.heldBack + end);
}

// A reading of the word's first pieces, kept as its last step and the reading it extends, so
// that a wide beam costs no copies of texts.
struct Partial {
  double logProbability = 0;
  // Of the text so far: readings with the same text at one node share every future, and
  // only the likeliest is kept, which leaves the beam to readings that differ.
  uint64_t textHash = 0;
  size_t fromNode = 0, parent = 0;  // the reading it extends: at[fromNode][parent]
  Step step;
  Spelling spelling;
};

uint64_t HashWith(uint64_t hash, uint8_t code) {
  constexpr uint64_t kPrime = 1099511628211ULL;  // FNV-1a's
  return (hash ^ code) * kPrime;
}

// The texts kept at a node, by their hashes: open addressing in a table twice their number,
// since a node's readings are many and a set's node for each cost more than the reading.
class SeenTexts {
 public:
  explicit SeenTexts(size_t most) : slots_(std::bit_ceil(2 * most + 1)), used_(slots_.size()) {}
  // False when the text was seen before.
  bool Insert(uint64_t hash) {
    const size_t mask = slots_.size() - 1;
    for (size_t at = size_t(hash) & mask;; at = (at + 1) & mask) {
      if (!used_[at]) {
        used_[at] = true;
        slots_[at] = hash;
        return true;
      }
      if (slots_[at] == hash) return false;
    }
  }

 private:
  std::vector<uint64_t> slots_;
  std::vector<bool> used_;
};

// Best first (of equals, the first), one of each text, at most `most`. A node's readings are
// many times the beam: only the best few are put in order, and more only where their texts
// repeat.
void KeepBest(std::vector<Partial>* partials, size_t most) {
  std::vector<size_t> order(partials->size());
  std::iota(order.begin(), order.end(), size_t(0));
  const auto better = [partials](size_t a, size_t b) {
    const double pa = (*partials)[a].logProbability, pb = (*partials)[b].logProbability;
    return pa != pb ? pa > pb : a < b;
  };
  size_t ordered = std::min(order.size(), 2 * most);
  if (ordered < order.size())
    std::nth_element(order.begin(), order.begin() + long(ordered), order.end(), better);
  std::sort(order.begin(), order.begin() + long(ordered), better);
  SeenTexts seen(std::min(most, partials->size()));
  std::vector<Partial> kept;
  kept.reserve(std::min(most, partials->size()));
  for (size_t i = 0; i < order.size() && kept.size() < most; ++i) {
    if (i == ordered) {
      std::sort(order.begin() + long(ordered), order.end(), better);
      ordered = order.size();
    }
    const Partial& p = (*partials)[order[i]];
    if (seen.Insert(p.textHash)) kept.push_back(p);
  }
  *partials = std::move(kept);
}

Hypothesis Unwound(const std::vector<std::vector<Partial>>& at, size_t node, size_t index,
                   const std::vector<Candidate>& candidates) {
  Hypothesis h;
  h.logProbability = at[node][index].logProbability;
  while (node > 0) {
    const Partial& p = at[node][index];
    h.steps.push_back(p.step);
    const Candidate& c = candidates[p.step.candidate];
    if (!c.leftOut) {
      const uint8_t code = c.glyph.readings[p.step.reading].code;
      h.text += char(TakenAs(code, p.step.taken));
    }
    node = p.fromNode;
    index = p.parent;
  }
  std::reverse(h.steps.begin(), h.steps.end());
  std::reverse(h.text.begin(), h.text.end());
  return h;
}

// A capital that is no small letter with a speck over it: the word's first letter, and every
// plain capital (a word in capitals, "RALPH", is no "Ralph"; "der Zeit" run together is no
// "derzeit"). Within a word an accented capital may be a speck's work.
bool OwnCapital(uint8_t code, size_t atom) {
  return atom == 0 || BaseLetter1252(code) == 0;
}

// Readings of the whole word, best first, over every path through the lattice, as far as a
// known word among them could still be taken.
std::vector<Hypothesis> ReadLattice(const std::vector<Candidate>& candidates, size_t atoms,
                                    double allowance, const LetterModel& letters) {
  std::vector<std::vector<Partial>> at(atoms + 1);
  at[0].push_back({});
  for (size_t node = 0; node < atoms; ++node) {
    std::vector<Partial>& here = at[node];
    KeepBest(&here, kBeamWidth);
    for (size_t k = 0; k < candidates.size(); ++k) {
      const Candidate& c = candidates[k];
      if (c.firstAtom != node) continue;
      std::vector<Partial>& there = at[node + c.atoms];
      if (c.leftOut) {
        for (size_t i = 0; i < here.size(); ++i)
          there.push_back({here[i].logProbability - c.cost,
                           here[i].textHash,
                           node,
                           i,
                           {k, 0, Taken::kAsRead},
                           here[i].spelling});
        continue;
      }
      const size_t tried = std::min(kReadingsTried, c.glyph.readings.size());
      for (size_t r = 0; r < tried; ++r) {
        if (LogOf(c.glyph.readings[0].score) - LogOf(c.glyph.readings[r].score) >
            kLeastLikelyReading)
          break;
        const uint8_t code = c.glyph.readings[r].code;
        for (const Taken taken : {Taken::kAsRead, Taken::kBare, Taken::kSmall, Taken::kBareSmall}) {
          const bool lowered = taken == Taken::kSmall || taken == Taken::kBareSmall;
          const uint8_t letter = TakenAs(code, taken);
          if (!letter || (lowered && OwnCapital(code, node))) continue;
          const bool bare = taken == Taken::kBare || taken == Taken::kBareSmall;
          const double gain = LogOf(c.glyph.readings[r].score) - c.cost -
                              (bare ? kStrayInkCost : 0.0) - (lowered ? kCapitalInAWord : 0.0);
          for (size_t i = 0; i < here.size(); ++i) {
            Spelling spelling = here[i].spelling;
            const double spelled = Spell(letters, letter, c.asRead && r == 0, &spelling);
            there.push_back({here[i].logProbability + gain + spelled,
                             HashWith(here[i].textHash, letter),
                             node,
                             i,
                             {k, r, taken},
                             spelling});
          }
        }
      }
    }
  }
  std::vector<Partial>& whole = at.back();
  for (Partial& p : whole) p.logProbability += SpellEnd(letters, p.spelling);
  KeepBest(&whole, whole.size());
  std::vector<Hypothesis> readings;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (whole.front().logProbability - whole[i].logProbability > allowance) break;
    readings.push_back(Unwound(at, atoms, i, candidates));
  }
  return readings;
}

// How much less probable than the likeliest reading a known word of so many letters may be.
double AllowanceForLetters(size_t letters) {
  const size_t beyondShort = letters > kLettersOfAShortWord ? letters - kLettersOfAShortWord : 0;
  return kKnownWordWeight + kKnownWordWeightPerLetter * double(beyondShort);
}

double KnownWordAllowance(const std::string& text) {
  return AllowanceForLetters(LettersOf(text).size());
}

bool UprightStroke(uint8_t c) {
  return c == 'I' || c == 'l' || c == 'i' || c == '1' || c == '|';
}

// The later rules settle these readings by shape: the same letter in the other case, or one
// upright stroke for another.
bool SettledByShape(uint8_t read, uint8_t chosen) {
  return ToSmall1252(read) == ToSmall1252(chosen) || (UprightStroke(read) && UprightStroke(chosen));
}

// Whether the text is an abbreviation ("z.B.", "U.S.A.,"). Its letters may spell a known word
// ("PS", "US"), and that is no better reading of it.
bool IsAbbreviation(std::string_view text) {
  Spelling spelling;
  for (const char c : text) {
    if (!StillAbbreviation(uint8_t(c), &spelling)) return false;
    spelling.anyLetter |= IsLetter1252(uint8_t(c));
  }
  return SpelledAsAbbreviation(spelling);
}

// The reading to keep: a known word nearly as probable as the best, else the best. A known
// word with a mark out of its place is none ("In%" of "Inc.,").
const Hypothesis* Choose(const std::vector<Hypothesis>& readings, const KnownWords& words) {
  if (readings.empty()) return nullptr;
  const Hypothesis& best = readings.front();
  if (IsAbbreviation(best.text)) return &best;
  for (const Hypothesis& h : readings)
    if (best.logProbability - h.logProbability <= KnownWordAllowance(h.text) &&
        Known(h.text, words) && !MarkOutOfPlace(h.text))
      return &h;
  return &best;
}

// A letter of `reading` replaced by one the classifier did not offer (see kUnofferedLetter).
struct UnofferedLetter {
  size_t step = 0;
  uint8_t code = 0;
};

std::optional<UnofferedLetter> OneUnofferedLetter(const Hypothesis& reading,
                                                  const std::vector<Candidate>& candidates,
                                                  const KnownWords& words) {
  if (reading.text.size() != reading.steps.size()) return {};
  std::optional<UnofferedLetter> found;
  std::string text = reading.text;
  for (size_t s = 0; s < reading.steps.size(); ++s) {
    const Candidate& candidate = candidates[reading.steps[s].candidate];
    const double score = candidate.glyph.readings[reading.steps[s].reading].score;
    const uint8_t read = uint8_t(reading.text[s]);
    if (score >= kUnsureLetter || !(IsLetter1252(read) || IsDigit1252(read))) continue;
    const double loss = kUnofferedLetter - std::log(std::max(score, kLeastProbability));
    for (int code = 1; code < 256; ++code) {
      // A capital for its small letter is the height rules' to settle.
      if (!IsLetter1252(uint8_t(code)) || ToSmall1252(uint8_t(code)) == ToSmall1252(read)) continue;
      text[s] = char(code);
      if (!Known(text, words) || loss > KnownWordAllowance(text)) continue;
      if (found) return {};  // two known words: the letter does not tell
      found = UnofferedLetter{s, uint8_t(code)};
    }
    text[s] = char(read);
  }
  return found;
}

// One glyph of `reading` read as letters printed as one (see kLigatures).
struct Ligature {
  size_t step = 0;
  std::string_view letters;
};

// What the classifier reads a ligature as: the character nearest its shape. An "fi" or an
// "fl" whose arm joins the next letter's top is an "h" or an "ñ"; an "ft", an "fl" or an
// "ff" whose arm joins the next stem an "ß"; a touching "ff" a "#" or an "&".
bool ReadAsLigature(uint8_t code) {
  return code == 'h' || code == 0xF1 || code == 0xDF || code == '#' || code == '&';  // ñ ß
}

// Whether the glyph may begin with an "f": wide enough for two letters, its left half tall.
bool MayBeLigature(const ReadGlyph& glyph, const InkLine& line) {
  const LineMetrics metrics = line.MetricsUnder(glyph.box);
  if (glyph.box.Width() < kLigatureWidth * metrics.xHeight) return false;
  const double smallTop = metrics.baseline - metrics.xHeight - kFRises * metrics.xHeight;
  for (int32_t y = 0; y < glyph.ink.height && glyph.box.top + y < smallTop; ++y)
    for (int32_t x = 0; x < glyph.ink.width / 2; ++x)
      if (glyph.ink.at(x, y)) return true;
  return false;
}

std::optional<Ligature> OneLigature(const Hypothesis& reading,
                                    const std::vector<Candidate>& candidates,
                                    const KnownWords& words, const InkLine& line) {
  if (reading.text.size() != reading.steps.size()) return {};
  std::optional<Ligature> found;
  for (size_t s = 0; s < reading.steps.size(); ++s) {
    if (!ReadAsLigature(uint8_t(reading.text[s])) ||
        !MayBeLigature(candidates[reading.steps[s].candidate].glyph, line))
      continue;
    for (const std::string_view letters : kLigatures) {
      std::string text = reading.text;
      text.replace(s, 1, letters);
      if (!Known(text, words) || kLigatureCost > KnownWordAllowance(text)) continue;
      if (found) return {};  // two known words: the shape does not tell
      found = Ligature{s, letters};
    }
  }
  return found;
}

// The glyph as the letters of a ligature: its columns shared out evenly, each piece cut to
// its ink. The pieces carry none of the classifier's view of the whole, which shows no one of
// their letters.
std::vector<ReadGlyph> LigaturePieces(const ReadGlyph& glyph, std::string_view letters) {
  std::vector<ReadGlyph> pieces;
  const int32_t width = glyph.ink.width, count = int32_t(letters.size());
  for (int32_t k = 0; k < count; ++k) {
    const int32_t from = width * k / count, to = std::max(width * (k + 1) / count, from + 1);
    ReadGlyph piece;
    if (!CutPiece(glyph.ink, glyph.box, from, to, &piece.ink, &piece.box))
      piece.box = {glyph.box.left + from, glyph.box.top, glyph.box.left + to - 1, glyph.box.bottom};
    piece.readings = {{uint8_t(letters[size_t(k)]), std::exp(-kLigatureCost)}};
    piece.spaceAfter = SpaceAfter::kNo;
    pieces.push_back(std::move(piece));
  }
  pieces.back().spaceAfter = glyph.spaceAfter;
  return pieces;
}

// One word of the line read again, its new characters read; its characters as chosen.
std::vector<ReadGlyph> ChosenReading(const std::vector<ReadGlyph>& glyphs, WordWork& word,
                                     const KnownWords& words, const LetterModel& letters,
                                     const InkLine& line) {
  std::vector<Candidate>& candidates = word.candidates;
  for (size_t i = word.begin; i < word.end; ++i) {
    const size_t first = word.atoms.firstOf[i - word.begin];
    candidates.push_back(
        {first, word.atoms.firstOf[i - word.begin + 1] - first, glyphs[i], 0, true});
  }
  const size_t atoms = word.atoms.firstOf.back();
  // No reading has more letters than the word has atoms.
  const double allowance = AllowanceForLetters(atoms);
  const std::vector<Hypothesis> readings = ReadLattice(candidates, atoms, allowance, letters);
  const Hypothesis* chosen = Choose(readings, words);
  // A word of no list may be one letter the classifier did not offer, or a ligature's.
  const bool unknown = chosen && !Known(chosen->text, words);
  const std::optional<UnofferedLetter> unoffered =
      unknown ? OneUnofferedLetter(*chosen, candidates, words) : std::nullopt;
  const std::optional<Ligature> ligature =
      unknown && !unoffered ? OneLigature(*chosen, candidates, words, line) : std::nullopt;
  // Without a join, a cut or another reading the characters stay as read. A capital or a
  // small letter, and "I", "l" or "1", are settled later by the letters' heights and their
  // neighbours, with rules of their own.
  const auto asRead = [&candidates](const Step& step) {
    const Candidate& c = candidates[step.candidate];
    return c.asRead && step.taken == Taken::kAsRead &&
           SettledByShape(c.glyph.readings[0].code, c.glyph.readings[step.reading].code);
  };
  if (!chosen ||
      (!unoffered && !ligature && std::all_of(chosen->steps.begin(), chosen->steps.end(), asRead)))
    return {glyphs.begin() + long(word.begin), glyphs.begin() + long(word.end)};
  std::vector<ReadGlyph> chosenGlyphs;
  for (size_t s = 0; s < chosen->steps.size(); ++s) {
    const Step& step = chosen->steps[s];
    if (candidates[step.candidate].leftOut) continue;
    if (ligature && ligature->step == s) {
      for (ReadGlyph& piece : LigaturePieces(candidates[step.candidate].glyph, ligature->letters))
        chosenGlyphs.push_back(std::move(piece));
      continue;
    }
    ReadGlyph glyph = candidates[step.candidate].glyph;
    std::vector<ScoredChar>& readings = glyph.readings;
    const uint8_t read = readings.front().code;
    std::rotate(readings.begin(), readings.begin() + long(step.reading),
                readings.begin() + long(step.reading) + 1);
    readings.front().code = TakenAs(readings.front().code, step.taken);
    if (unoffered && unoffered->step == s)
      readings.insert(readings.begin(), {unoffered->code, std::exp(-kUnofferedLetter)});
    if (readings.front().code != read) glyph.readAs = read;
    chosenGlyphs.push_back(std::move(glyph));
  }
  return chosenGlyphs;
}

// A full stop, a comma or a middle dot never begins a word ("5" of ".5" aside): one before a
// letter is a speck.
bool StraySpeckBefore(const ReadGlyph& speck, const ReadGlyph& next, double xh) {
  const uint8_t code = speck.readings.empty() ? 0 : speck.readings.front().code;
  return (code == '.' || code == ',' || code == 0xB7) && IsSpeck(speck, xh) &&
         !next.readings.empty() && IsLetter1252(next.readings.front().code);
}

// False when there was none (the glyphs and their word breaks stay as they were).
bool LeaveOutStraySpecks(std::vector<ReadGlyph>* glyphs, const std::vector<bool>& breaks,
                         double xh) {
  std::vector<bool> stray(glyphs->size(), false);
  bool any = false;
  for (size_t i = 0; i + 1 < glyphs->size(); ++i) {
    const bool wordStart = i == 0 || breaks[i - 1];
    stray[i] = wordStart && !breaks[i] && StraySpeckBefore((*glyphs)[i], (*glyphs)[i + 1], xh);
    any |= stray[i];
  }
  if (!any) return false;
  std::vector<ReadGlyph> kept;
  for (size_t i = 0; i < glyphs->size(); ++i)
    if (!stray[i]) kept.push_back(std::move((*glyphs)[i]));
  *glyphs = std::move(kept);
  return true;
}

WordGaps GapsOf(const std::vector<ReadGlyph>& glyphs, const InkLine& line) {
  std::vector<const ReadGlyph*> pointers;
  for (const ReadGlyph& g : glyphs) pointers.push_back(&g);
  return GlyphWordGaps(pointers, line);
}

// A stretch of the line between sure word breaks, and where words may begin in it: at every
// gap of doubtful width when the reading settles them, else at its breaks.
struct Phrase {
  std::vector<size_t> starts;  // glyph indices, the phrase's end last
  bool settleGaps = false;
};

// A word as the line may be read: glyphs [begin, end), read again when doubtful.
struct Span {
  size_t first = 0, last = 0;  // of the phrase's starts
  size_t begin = 0, end = 0;
  std::optional<size_t> work;  // which of the words read again
  std::vector<ReadGlyph> chosen;
  double value = 0;
};

// The line's phrases. The gaps of a phrase are settled by the reading only where one of its
// words as the gaps' widths make them is doubtful: a line of known words stays as it is.
std::vector<Phrase> PhrasesOf(const std::vector<ReadGlyph>& glyphs, const WordGaps& gaps,
                              const KnownWords& words) {
  std::vector<Phrase> phrases;
  Phrase phrase{{0}, false};
  std::vector<size_t> breaks{0};
  bool anyDoubtfulGap = false, anyDoubtfulWord = false;
  for (size_t i = 1; i <= glyphs.size(); ++i) {
    const bool phraseEnds = i == glyphs.size() || (gaps.breaks[i - 1] && !gaps.doubtful[i - 1]);
    if (i < glyphs.size() && gaps.doubtful[i - 1])
      phrase.starts.push_back(i), anyDoubtfulGap = true;
    if (phraseEnds || gaps.breaks[i - 1]) {
      const size_t wordBefore = breaks.size() >= 2 ? breaks[breaks.size() - 2] : breaks.back();
      anyDoubtfulWord |= Doubtful(glyphs, breaks.back(), i, words) ||
                         LetterCutOffAKnownWord(glyphs, gaps, wordBefore, breaks.back(), i, words);
      breaks.push_back(i);
    }
    if (!phraseEnds) continue;
    phrase.starts.push_back(i);
    phrase.settleGaps = anyDoubtfulGap && anyDoubtfulWord;
    if (!phrase.settleGaps) phrase.starts = breaks;
    phrases.push_back(std::move(phrase));
    phrase = Phrase{{i}, false};
    breaks = {i};
    anyDoubtfulGap = anyDoubtfulWord = false;
  }
  return phrases;
}

// Every word that the phrases may be read as, in order of where they begin: the words as the
// gaps' widths make them, and where the reading settles the gaps, every run of a few words
// between doubtful gaps.
std::vector<Span> SpansOf(const std::vector<Phrase>& phrases, const WordGaps& gaps) {
  std::vector<Span> spans;
  for (const Phrase& phrase : phrases) {
    const std::vector<size_t>& starts = phrase.starts;
    const size_t most = phrase.settleGaps ? kMostWordsJoined : 1;
    for (size_t a = 0; a + 1 < starts.size(); ++a) {
      for (size_t b = a + 1; b < starts.size() && b - a <= most; ++b)
        spans.push_back({a, b, starts[a], starts[b], {}, {}, 0});
      // The word of the widths that begins here, when it runs on past those.
      if (a > 0 && !gaps.breaks[starts[a] - 1]) continue;
      size_t end = a + 1;
      while (end + 1 < starts.size() && !gaps.breaks[starts[end] - 1]) ++end;
      if (end - a > most) spans.push_back({a, end, starts[a], starts[end], {}, {}, 0});
    }
  }
  return spans;
}

// Whether the span's words are those that the widths of its doubtful gaps make.
bool AsWidthsSay(const Span& span, const WordGaps& gaps, size_t phraseBegin, size_t phraseEnd) {
  for (size_t i = span.begin; i + 1 < span.end; ++i)
    if (gaps.doubtful[i] && gaps.breaks[i]) return false;
  return (span.begin == phraseBegin || gaps.breaks[span.begin - 1]) &&
         (span.end == phraseEnd || gaps.breaks[span.end - 1]);
}

// Whether the phrase is one word as its gaps' widths make it, and longer than any word.
bool OneRunLongerThanAnyWord(const std::vector<ReadGlyph>& glyphs, const WordGaps& gaps,
                             size_t phraseBegin, size_t phraseEnd, int32_t xHeight) {
  for (size_t i = phraseBegin; i + 1 < phraseEnd; ++i)
    if (gaps.breaks[i]) return false;
  return LongerThanAnyWord(glyphs[phraseBegin].box, glyphs[phraseEnd - 1].box, xHeight);
}

// What a span is worth to its phrase: the letters of a known word or an abbreviation, and a
// little for each gap that it sets as the gap's width would. A span that sets a gap otherwise
// must be a known word or an abbreviation: a misread word ("frpher") is not cut to make a known
// word of its end ("frp her"), except in a run longer than any word, where a misread word
// ("§chule") may stand between known ones, and each word costs a little.
double ValueOf(const Span& span, const std::vector<ReadGlyph>& glyphs, const WordGaps& gaps,
               const KnownWords& words, size_t phraseBegin, size_t phraseEnd, bool longRun) {
  const std::string text =
      span.work ? TextOf(span.chosen, 0, span.chosen.size()) : TextOf(glyphs, span.begin, span.end);
  const bool known = Known(text, words);
  const bool abbreviation = !known && IsAbbreviation(text);
  if (!known && !abbreviation && !longRun && !AsWidthsSay(span, gaps, phraseBegin, phraseEnd))
    return kNoWay;
  double value = 0.0;
  if (known) value = double(LettersOf(text).size());
  if (abbreviation)
    value = double(
        std::count_if(text.begin(), text.end(), [](char c) { return IsLetter1252(uint8_t(c)); }));
  if (longRun) value -= kWordInALongRun;
  for (size_t i = span.begin; i + 1 < span.end; ++i)
    if (gaps.doubtful[i] && !gaps.breaks[i]) value += kWidthsSay;
  if (span.end != phraseEnd && gaps.breaks[span.end - 1]) value += kWidthsSay;
  return value;
}

// The spans of one phrase that together are worth the most, in order; its words as the
// widths make them are always among them.
std::vector<const Span*> BestSpans(const std::vector<const Span*>& spans, size_t points) {
  std::vector<double> best(points, kNoWay);
  std::vector<const Span*> from(points, nullptr);
  best[0] = 0;
  for (const Span* span : spans)  // in order of their first point
    if (best[span->first] > kNoWay && span->value > kNoWay &&
        best[span->first] + span->value > best[span->last])
      best[span->last] = best[span->first] + span->value, from[span->last] = span;
  std::vector<const Span*> chosen;
  for (size_t at = points - 1; at > 0; at = from[at]->first) chosen.push_back(from[at]);
  std::reverse(chosen.begin(), chosen.end());
  return chosen;
}

}  // namespace

void ReadDoubtfulWordsAgain(std::vector<ReadGlyph>* glyphs, const InkLine& line,
                            const ClassifyBatch& classify, const KnownWords& words,
                            const PageMisreadings* misreadings, const LetterModel* letters) {
  if (glyphs->empty() || words.Empty()) return;
  static const LetterModel kNoLetterModel;
  const LetterModel& spelling = letters ? *letters : kNoLetterModel;
  WordGaps gaps = GapsOf(*glyphs, line);
  if (LeaveOutStraySpecks(glyphs, gaps.breaks, std::max(line.xHeight, 1)))
    gaps = GapsOf(*glyphs, line);
  const std::vector<Phrase> phrases = PhrasesOf(*glyphs, gaps, words);
  std::vector<Span> spans = SpansOf(phrases, gaps);
  // Doubtful words are read with the page's misreadings weighed in, from copies of their
  // glyphs: a known word over the same glyphs stays as read.
  std::vector<ReadGlyph> spreadGlyphs(misreadings ? glyphs->size() : 0);
  std::vector<bool> spread(spreadGlyphs.size(), false);
  const std::vector<ReadGlyph>& toRead = misreadings ? spreadGlyphs : *glyphs;
  std::vector<WordWork> doubtful;
  for (Span& span : spans) {
    if (!Doubtful(*glyphs, span.begin, span.end, words)) continue;
    for (size_t k = span.begin; misreadings && k < span.end; ++k) {
      if (spread[k]) continue;
      spreadGlyphs[k] = (*glyphs)[k];
      SpreadOverMisreadings(*misreadings, &spreadGlyphs[k].readings);
      spread[k] = true;
    }
    WordWork word{span.begin, span.end, AtomsOf(toRead, span.begin, span.end, line), {}};
    word.candidates = NewCandidates(toRead, span.begin, span.end, line, &word.atoms);
    span.work = doubtful.size();
    doubtful.push_back(std::move(word));
  }
  // Gaps may be settled with no word to read again: a letter cut off a known word ("eine m").
  const bool anyGapsToSettle =
      std::any_of(phrases.begin(), phrases.end(), [](const Phrase& p) { return p.settleGaps; });
  if (doubtful.empty() && !anyGapsToSettle) return;
  ReadCandidates(&doubtful, line, classify, misreadings);
  std::vector<ReadGlyph> result;
  size_t firstSpan = 0;
  for (const Phrase& phrase : phrases) {
    const size_t phraseBegin = phrase.starts.front(), phraseEnd = phrase.starts.back();
    const bool longRun =
        OneRunLongerThanAnyWord(*glyphs, gaps, phraseBegin, phraseEnd, line.xHeight);
    std::vector<const Span*> ofPhrase;
    for (; firstSpan < spans.size() && spans[firstSpan].begin < phrase.starts.back(); ++firstSpan) {
      Span& span = spans[firstSpan];
      if (span.work)
        span.chosen = ChosenReading(toRead, doubtful[*span.work], words, spelling, line);
      span.value = ValueOf(span, *glyphs, gaps, words, phraseBegin, phraseEnd, longRun);
      ofPhrase.push_back(&span);
    }
    for (const Span* span : BestSpans(ofPhrase, phrase.starts.size())) {
      const size_t wordBegin = result.size();
      if (span->work)
        result.insert(result.end(), span->chosen.begin(), span->chosen.end());
      else
        result.insert(result.end(), std::make_move_iterator(glyphs->begin() + long(span->begin)),
                      std::make_move_iterator(glyphs->begin() + long(span->end)));
      if (result.size() == wordBegin) continue;
      // The words keep their spaces: glyphs cut or joined gape otherwise than those first
      // read, and the line's gaps measured again may group otherwise.
      for (size_t k = wordBegin; k + 1 < result.size(); ++k) result[k].spaceAfter = SpaceAfter::kNo;
      if (span->end != glyphs->size()) result.back().spaceAfter = SpaceAfter::kYes;
    }
  }
  *glyphs = std::move(result);
}

std::vector<ReadAndMeant> LettersOfKnownWords(const std::vector<ReadGlyph>& glyphs,
                                              const InkLine& line, const KnownWords& words) {
  std::vector<ReadAndMeant> letters;
  if (glyphs.empty()) return letters;
  const std::vector<bool> breaks = GapsOf(glyphs, line).breaks;
  size_t begin = 0;
  for (size_t i = 1; i <= glyphs.size(); ++i) {
    if (i < glyphs.size() && !breaks[i - 1]) continue;
    if (Known(TextOf(glyphs, begin, i), words))
      for (size_t k = begin; k < i; ++k) {
        if (glyphs[k].readings.empty()) continue;
        const uint8_t meant = glyphs[k].readings.front().code;
        const uint8_t read = glyphs[k].readAs ? glyphs[k].readAs : meant;
        // Case and upright strokes are the height rules' to settle.
        if (IsLetter1252(meant) && (read == meant || !SettledByShape(read, meant)))
          letters.push_back({read, meant, k});
      }
    begin = i;
  }
  return letters;
}

namespace {

bool EndsASentencePart(uint8_t c) {
  return c == ',' || c == '.' || c == ';' || c == ':';
}

// Where a word may split in two: before a capital that follows a small letter, or after a
// mark that ends a sentence or a clause and stands between letters, or between a figure and
// a capital ("14.Oktober").
bool MaySplitBefore(const std::vector<PageChar>& chars, size_t i) {
  const uint8_t before = chars[i - 1].code, here = chars[i].code;
  if (IsSmall1252(before) && IsCapital1252(here)) return true;
  if (i < 2 || !EndsASentencePart(before) || !IsLetter1252(here)) return false;
  const uint8_t letterOrFigure = chars[i - 2].code;
  return IsLetter1252(letterOrFigure) || (IsDigit1252(letterOrFigure) && IsCapital1252(here));
}

// Figures and the marks within numbers, dates and times ("14.", "1.250,00", "14:30").
bool IsNumber(std::string_view text) {
  const auto numeric = [](char c) {
    return IsDigit1252(uint8_t(c)) || c == '.' || c == ',' || c == ':' || c == '/' || c == '-';
  };
  return std::all_of(text.begin(), text.end(), numeric) &&
         std::any_of(text.begin(), text.end(), [](char c) { return IsDigit1252(uint8_t(c)); });
}

// The first place where the word splits into two known words, a number or an abbreviation and
// a known word ("14.11.2026.Wie", "P.S.The"), or a known word and an abbreviation
// ("wird,z.B."); 0 for none.
size_t RunTogetherAt(const PageWord& word, const KnownWords& words) {
  const std::string text = word.Text();
  // A known word's letters with figures before them ("14.Oktober") are two words.
  const auto figure = [](char c) { return IsDigit1252(uint8_t(c)); };
  if (Known(text, words) && std::none_of(text.begin(), text.end(), figure)) return 0;
  for (size_t i = 2; i + 2 <= text.size(); ++i) {
    const std::string second = text.substr(i);
    if (!MaySplitBefore(word.chars, i) || !(Known(second, words) || IsAbbreviation(second)))
      continue;
    const std::string first = text.substr(0, i);
    if (Known(first, words) || IsNumber(first) || IsAbbreviation(first)) return i;
  }
  return 0;
}

}  // namespace

void SplitRunTogetherWords(PageText* page, const KnownWords& words) {
  if (words.Empty()) return;
  for (PageBlock& block : page->blocks)
    for (PageLine& line : block.lines) {
      std::vector<PageWord> split;
      for (PageWord& word : line.words) {
        const size_t at = RunTogetherAt(word, words);
        if (at == 0) {
          split.push_back(std::move(word));
          continue;
        }
        PageWord first, second;
        first.chars.assign(word.chars.begin(), word.chars.begin() + long(at));
        second.chars.assign(word.chars.begin() + long(at), word.chars.end());
        split.push_back(std::move(first));
        split.push_back(std::move(second));
      }
      line.words = std::move(split);
    }
  page->Summarise();
}
