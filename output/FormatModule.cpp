#include "output/FormatModule.h"

#include "output/FormatWriters.h"

extern "C" const FormatModuleWriters* QuillonFormatWriters() {
  static const FormatModuleWriters writers{&HocrDocument, &AltoDocument, &NewPdfPageWriter,
                                           &PdfWithTextLayer};
  return &writers;
}
