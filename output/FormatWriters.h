// The writers behind WriteDocument: each turns the pages into the bytes of one format.
#pragma once

#include <string>
#include <vector>

#include "output/FormatModule.h"
#include "output/Formats.h"

// The pages' output field texts with a form feed between pages.
std::string TextDocument(const std::vector<DocumentPage>& pages);
// XHTML with the hOCR classes ocr_page, ocr_carea, ocr_par, ocr_line and ocrx_word.
std::string HocrDocument(const std::vector<DocumentPage>& pages, const std::string& pictureName);
// ALTO XML version 4, pixel measures.
std::string AltoDocument(const std::vector<DocumentPage>& pages, const std::string& pictureName);
// Tab-separated values, one row per page, block, paragraph, line and word.
std::string TsvDocument(const std::vector<DocumentPage>& pages);
// The pictures as PDF pages with the text laid invisibly over each word (FormatModule.h).
PdfPageWriter* NewPdfPageWriter(int fd, std::string* error);
// A PDF's own pages with the text laid invisibly over each word (FormatModule.h).
bool PdfWithTextLayer(const std::string& source, const std::vector<DocumentPage>& pages, int fd,
                      std::string* error);
