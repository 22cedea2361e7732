// The invisible text layer of a searchable PDF page: the one layer that both PDF writers
// lay over a page (pages made from pictures, and a PDF's own pages).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "recognition/PageText.h"

// A text's width at font size 1 without scaling, in text space units.
using NaturalWidth = std::function<double(const std::string& cp1252)>;

// The page's words as PDF content (BT ... ET, render mode 3: invisible) in `font` (a name
// in the page's resources, "/F1"), in units of the picture (`unit` per pixel) with the
// origin at the picture's bottom left corner, y up. The words go line by line in reading
// order, each line's text sized by the line's height, every word at its box's left edge
// with a blank after it but the last of its line, so that viewers and text extraction
// break words where the page result does.
std::string TextLayer(const PageText& text, double unit, const std::string& font,
                      const NaturalWidth& naturalWidth);

// A PDF literal string of Windows-1252 bytes.
std::string PdfLiteral(const std::string& cp1252);

// The language a document's pages were read in, for its catalogue's /Lang ("fr"): empty
// where one page was read in another, or in none that could be named.
std::string DocumentLanguage(const std::vector<std::string>& pageLanguages);
