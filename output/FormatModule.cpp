#include "output/FormatModule.h"

#include "output/FormatWriters.h"

extern "C" const FormatModuleWriters* QuillonFormatWriters() {
  static const FormatModuleWriters writers{&NewHocrStream, &NewAltoStream, &NewPdfPageWriter,
                                           &PdfWithTextLayer};
  return &writers;
}
