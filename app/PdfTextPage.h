// A PDF page's own text as a page result, so that every output takes it as it takes a page
// that was read: words with their boxes, grouped into lines, in the pixels the page would
// have if it were rendered.
#pragma once

#include "core/PdfPages.h"
#include "output/Formats.h"

DocumentPage PdfTextPage(const PdfPageText& text);
