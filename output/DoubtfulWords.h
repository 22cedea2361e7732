// Finding the page result's doubtful words in the output field, so that the window can
// mark them for proofreading.
#pragma once

#include <string>
#include <vector>

#include "app/WindowInterface.h"
#include "recognition/PageText.h"

// Words read with less confidence than this are marked.
constexpr double kDoubtfulConfidence = 0.75;

// Where the words of `page` whose confidence is below `threshold` stand in `lines` (the
// output field, UTF-8). The words are looked up in reading order as whole words (between
// blanks or line ends), each from where the previous one was found, and from the start
// when the field lays them out in another order; a word the field does not hold (edited
// away) is not marked.
std::vector<OutputMark> FindDoubtfulWords(const std::vector<std::string>& lines,
                                          const PageText& page, double threshold);
