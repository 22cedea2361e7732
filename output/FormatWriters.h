// The writers behind WriteDocument and DocumentWriter: each turns pages into the bytes of one
// format.
#pragma once

#include <string>
#include <vector>

#include "output/FormatModule.h"
#include "output/Formats.h"

// The pages' output field texts with a form feed between pages.
PageStream* NewTextStream();
// XHTML with the hOCR classes ocr_page, ocr_carea, ocr_par, ocr_line and ocrx_word.
PageStream* NewHocrStream(const std::string& pictureName);
// ALTO XML version 4, pixel measures.
PageStream* NewAltoStream(const std::string& pictureName);
// Tab-separated values, one row per page, block, paragraph, line and word.
PageStream* NewTsvStream();
// The pictures as PDF pages with the text laid invisibly over each word (FormatModule.h).
PdfPageWriter* NewPdfPageWriter(int fd, std::string* error);
// A PDF's own pages with the text laid invisibly over each word (FormatModule.h).
bool PdfWithTextLayer(const std::string& source, const std::vector<DocumentPage>& pages, int fd,
                      std::string* error);
