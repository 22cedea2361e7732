// Finding the page result's doubtful words in the output field, so that the window can
// mark them for proofreading.
#pragma once

#include <string>
#include <vector>

#include "output/OutputMark.h"
#include "recognition/PageText.h"
#include "recognition/WordCorrection.h"

// A word is marked when it is more likely wrong than right: its probability of being right
// (WordRightProbability) is below one half. Measured on the bench and typeset pages, 92 % of
// the words so marked are wrong, and 2 % of the others.
constexpr double kDoubtfulProbability = 0.5;

// Where the words of `page` less likely right than `threshold` stand in `lines` (the
// output field, UTF-8); `words` are the page's languages' words that settled it (null: none).
// The words are looked up in reading order as whole words (between blanks or line ends),
// each from where the previous one was found, and from the start when the field lays them
// out in another order; a word the field does not hold (edited away) is not marked.
std::vector<OutputMark> FindDoubtfulWords(const std::vector<std::string>& lines,
                                          const PageText& page, const KnownWords* words,
                                          double threshold = kDoubtfulProbability);

// A word of the page result and where it stands in the field.
struct WordInField {
  const PageWord* word;  // into the page result given
  OutputMark place;
};

// Where the words of `page` stand in `lines`, found as FindDoubtfulWords finds them; words
// the field does not hold are left out.
std::vector<WordInField> WordsInField(const std::vector<std::string>& lines, const PageText& page);

// The word of `page` at character `column` of line `line` of `lines` (at its end included);
// null where the field holds none of the page's words there.
const PageWord* WordAt(const std::vector<std::string>& lines, const PageText& page, int32_t line,
                       int32_t column);

// Page separator of the text output: a form feed begins each later page's first line.
constexpr char kPageBreak = '\f';

// The page of a document's text (pages separated as above) that holds line `line`: its
// index among the pages, its first line there, and its own lines without the form feed.
struct PagePart {
  int32_t index = 0;
  int32_t firstLine = 0;
  std::vector<std::string> lines;
};
PagePart PartOfDocument(const std::vector<std::string>& lines, int32_t line);
