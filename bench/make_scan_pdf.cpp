// Makes a scanned PDF for measuring the PDF path: one stored image a page (CCITT fax or
// JPEG, as scanners store them) at 300 dpi, the pages given in turn until COUNT pages.
//   make_scan_pdf fax|jpeg COUNT OUT.pdf PAGE.png...
#include <cstdio>
#include <string>

#include "PdfMaking.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: make_scan_pdf fax|jpeg COUNT OUT.pdf PAGE.png...\n");
    return 2;
  }
  const pdfmaking::Stored stored =
      std::string(argv[1]) == "jpeg" ? pdfmaking::Stored::Jpeg : pdfmaking::Stored::Fax;
  const int count = std::stoi(argv[2]);
  QPDF pdf;
  pdf.emptyPDF();
  for (int page = 0; page < count; ++page) {
    PIX* picture = pixRead(argv[4 + page % (argc - 4)]);
    if (!picture) return 1;
    pdfmaking::AddPage(pdf, picture, {stored});
    pixDestroy(&picture);
  }
  QPDFWriter writer(pdf, argv[3]);
  writer.write();
  return 0;
}
