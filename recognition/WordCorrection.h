// The word list settles doubtful characters: a word the list does not know is read again
// with the next best readings of its doubtful characters, and a reading the list knows is
// taken when the scores hardly drop and few characters change. Numbers, names and words
// the list lacks stay as read. Also the test whether a word divided at a line's end is one
// word to join.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Cp1252.h"  // the letter classes the corrections use
#include "recognition/PageText.h"

// What the settling asks of the words of a page's languages. Words are Windows-1252, as the
// page text is.
class KnownWords {
 public:
  // The word as it stands, or with its first letter small (a sentence begins with a
  // capital), is a word of the language.
  virtual bool Knows(std::string_view word) const = 0;
  virtual bool Empty() const = 0;  // knows no word at all

 protected:
  ~KnownWords() = default;
};

// The words of several languages: a word any of them knows is known. Not owned.
class AnyOfWords final : public KnownWords {
 public:
  std::vector<const KnownWords*> languages;
  bool Knows(std::string_view word) const override;
  bool Empty() const override;
};

// A set of Windows-1252 words for quick lookups: one block of text and an open-addressing
// table of offsets into it, built once per list (a few milliseconds for 350,000 words).
class WordLookup final : public KnownWords {
 public:
  WordLookup() = default;
  void Add(std::string_view word);           // call before the first lookup, or Build again
  void Reserve(size_t words, size_t bytes);  // room for that many words of that many bytes
  void Build();                              // makes the table of the words added so far
  bool Contains(std::string_view word) const;
  bool Knows(std::string_view word) const override;
  bool Empty() const override { return offsets_.empty(); }
  size_t Size() const { return offsets_.size(); }

 private:
  std::string text_;               // the words, each followed by a NUL
  std::vector<uint32_t> offsets_;  // where each word starts in text_
  std::vector<uint32_t> table_;    // 0: empty; otherwise 1 + index into offsets_
};

struct CorrectionLimits {
  double maxCharLoss = 0.15;          // an alternative this much below the reading is doubtful
  double maxWordLoss = 0.20;          // the readings given up together may lose this much
  int32_t maxChanges = 3;             // characters changed in one word at most
  double capitalisedMaxLoss = 0.08;   // capitalised words (names, nouns) lose this much at most
  int32_t capitalisedMaxChanges = 3;  // and change this many characters
  double maxMarkLoss = 0.35;          // a comma read as a low quote: the place is strong evidence
  double tieMargin = 0.02;            // two list words closer than this: the evidence is too weak
};

struct CorrectionCount {
  int32_t wordsChecked = 0;  // words of letters the list did not know
  int32_t wordsChanged = 0;
  int32_t marksChanged = 0;  // commas and low quotes set right by their place
};

// The comma and the low single quote are one shape in most faces; only the place in a word
// tells them apart: the quote opens a word that goes on, the comma follows a character.
// What the character at `i` is by its place, when it is either; else its own code.
uint8_t CommaOrLowQuote(const PageWord& word, size_t i);

// A comma or low single quote out of its place (see CommaOrLowQuote), and a low double quote
// inside a word ("Wort„"), become what their place makes them when the character has that
// reading within maxMarkLoss.
bool SettleMarks(PageWord& word, const CorrectionLimits& limits = {});

// Settles the doubtful characters of one word's letters; true when it changed the word.
bool SettleWord(PageWord& word, const KnownWords& words, const CorrectionLimits& limits = {});

// The probability that `word` was read right: its characters' probabilities together. In a
// stretch of letters that `words` knows, a character's doubt counts only the readings that
// would make another known word: the list has ruled the others out. Without words (null or
// empty) every reading counts.
double WordRightProbability(const PageWord& word, const KnownWords* words);

// Each character of a stretch of letters that `words` knows gets the probability it has in
// WordRightProbability, so that every format's confidences count the languages' evidence;
// the page's summaries are brought up to date.
void WeighByKnownWords(PageText& page, const KnownWords& words);

// Both for every word of the page; the page's summaries are brought up to date.
CorrectionCount SettleDoubtfulCharacters(PageText& page, const KnownWords& words,
                                         const CorrectionLimits& limits = {});

// A word divided at a line's end: `head` is the part before the hyphen (hyphen left out),
// `tail` the first word of the next line. True when the halves are one word to join; a
// compound hyphen stays ("Nord-" + "Ostsee", "Bus-" + "und", a hyphenated form the list
// knows). `words` may be null (no list).
bool JoinsDividedWord(std::string_view head, std::string_view tail, const KnownWords* words);
