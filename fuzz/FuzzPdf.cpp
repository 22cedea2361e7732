// The PDF target, apart from the others: Leptonica's header and the layout's share a name.
#include <leptonica/allheaders.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "core/PdfPages.h"
#include "fuzz/FuzzEntries.h"

namespace fuzz {

namespace {

// As the picture decoders' limit: a lying page cannot run the fuzzer out of memory.
constexpr int64_t kDecoderMaxPixels = 4 << 20;

}  // namespace

// The PDF intake reads files: the input goes into one of its own first, a file in memory, so
// that no run leaves files behind. Every page (of the first few) is surveyed, read and its text
// taken; each either works or says why.
bool ReadPdf(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("quillon-fuzz-pdf", 0);
  static const std::string file = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return true;
  const PdfModule* pdf = QuillonPdfModule();
  std::string error;
  const int32_t pages = pdf->pageCount(file.c_str(), &error);
  bool promised = pages > 0 || !error.empty();
  constexpr int32_t kPagesTried = 3;  // later pages take the same paths
  for (int32_t page = 0; page < std::min(pages, kPagesTried); ++page) {
    PdfPageFacts facts;
    error.clear();
    promised = promised && (pdf->pageFacts(file.c_str(), page, &facts, &error) || !error.empty());
    error.clear();
    PIX* pix = pdf->readPage(file.c_str(), page, kDecoderMaxPixels, &error);
    promised = promised && (pix ? int64_t(pixGetWidth(pix)) * pixGetHeight(pix) <= kDecoderMaxPixels
                                : !error.empty());
    pixDestroy(&pix);
    PdfPageText text;
    error.clear();
    promised = promised && (pdf->pageText(file.c_str(), page, &text, &error) || !error.empty());
  }
  return promised;
}

}  // namespace fuzz
