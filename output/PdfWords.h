// Where the words of a page's text layer go in a searchable PDF: the one placement that
// both PDF writers use (pages made from pictures, and text laid over a PDF's own pages).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "recognition/PageText.h"

// A word of the invisible text layer, in units of the picture (`unit` per pixel) with the
// origin at the picture's bottom left corner, y up.
struct PlacedWord {
  std::string text;            // Windows-1252
  double x = 0, baseline = 0;  // where the text starts
  double size = 0;             // the font size
  double widthPercent = 100;   // horizontal scaling, which makes the text as wide as the word
};

// The words of `text` in reading order, each sized by its line's height and stretched to
// its box. `naturalWidth` gives a text's width at size 1 without scaling, in the same units.
std::vector<PlacedWord> PlaceWords(const PageText& text, double unit,
                                   const std::function<double(const std::string&)>& naturalWidth);
