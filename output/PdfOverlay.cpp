// The searchable PDF of a PDF: the document itself, with the text of each page read laid
// invisibly over the page. QPDF copies every object as it is stored (images byte for byte,
// never decoded); a page gets one content stream more and a font in its resources. The
// page's own content is put between q and Q, so that the text layer starts from the
// page's initial graphics state whatever the content leaves behind.
#include <podofo/podofo.h>
#include <unistd.h>
#include <zlib.h>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>

#include "core/Cp1252.h"
#include "output/FormatWriters.h"
#include "output/PdfWords.h"

namespace {

// The name of the text layer's font in a page's resources; unlikely to be taken.
constexpr char kFontName[] = "/QuillonText";

// Helvetica's widths, from PoDoFo's metrics of the base fonts.
class HelveticaWidths {
 public:
  HelveticaWidths()
      : font_(document_.CreateFont("Helvetica", false, false, false,
                                   PoDoFo::PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                   PoDoFo::PdfFontCache::eFontCreationFlags_AutoSelectBase14,
                                   false)) {}
  double operator()(const std::string& text) const {
    if (!font_) return 0;
    const std::string utf8 = Cp1252ToUtf8(text);
    font_->SetFontSize(1.0F);
    font_->SetFontScale(100.0F);
    return font_->GetFontMetrics()->StringWidth(
        PoDoFo::PdfString(reinterpret_cast<const PoDoFo::pdf_utf8*>(utf8.c_str())));
  }

 private:
  PoDoFo::PdfMemDocument document_;
  PoDoFo::PdfFont* font_;
};

// The matrix that takes the picture's pixels (origin bottom left, y up) to the points of
// the page where the picture lies, turned as the page is shown.
std::string PictureToPage(const PdfPagePlace& place, double width, double height) {
  const double across = (place.right - place.left), up = (place.top - place.bottom);
  double m[6] = {across / width, 0, 0, up / height, place.left, place.bottom};
  switch (place.rotation) {
    case 90:
      m[0] = 0, m[1] = up / width, m[2] = -across / height, m[3] = 0;
      m[4] = place.right, m[5] = place.bottom;
      break;
    case 180:
      m[0] = -across / width, m[3] = -up / height, m[4] = place.right, m[5] = place.top;
      break;
    case 270:
      m[0] = 0, m[1] = -up / width, m[2] = across / height, m[3] = 0;
      m[4] = place.left, m[5] = place.top;
      break;
    default:
      break;
  }
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(8);
  for (const double value : m) out << value << ' ';
  out << "cm\n";
  return out.str();
}

// The page's words over the picture read: the picture's pixels are taken to where it lies
// on the page.
std::string PageTextLayer(const DocumentPage& page, const HelveticaWidths& widths) {
  const double width = page.text.width > 0 ? page.text.width : 1;
  const double height = page.text.height > 0 ? page.text.height : 1;
  const auto measure = [&widths](const std::string& text) { return widths(text); };
  return "q\n" + PictureToPage(page.place, width, height) +
         TextLayer(page.text, 1.0, kFontName, measure) + "Q\n";
}

// Drops every text object (BT ... ET) of a page's content: on a page whose text is all
// invisible, that removes an earlier OCR's text layer and nothing that shows.
class DropText : public QPDFObjectHandle::TokenFilter {
 public:
  void handleToken(QPDFTokenizer::Token const& token) override {
    const bool word = token.getType() == QPDFTokenizer::tt_word;
    if (word && token.getValue() == "BT") inText_ = true;
    if (!inText_) writeToken(token);
    if (word && token.getValue() == "ET") inText_ = false;
  }

 private:
  bool inText_ = false;
};

// A content stream of ours, Flate-compressed: a page's text layer is a few dozen bytes a
// word, a fifth of that compressed.
QPDFObjectHandle CompressedStream(QPDF& pdf, const std::string& content) {
  Pl_Buffer compressed("compressed content");
  Pl_Flate::setCompressionLevel(Z_BEST_COMPRESSION);  // a layer is small: the best costs little
  Pl_Flate flate("flate", &compressed, Pl_Flate::a_deflate);
  flate.writeString(content);
  flate.finish();
  std::unique_ptr<Buffer> bytes(compressed.getBuffer());
  QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
  stream.replaceStreamData(
      std::string(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize()),
      QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
  return stream;
}

QPDFObjectHandle FontDictionary(QPDF& pdf) {
  QPDFObjectHandle font = QPDFObjectHandle::newDictionary();
  font.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
  font.replaceKey("/Subtype", QPDFObjectHandle::newName("/Type1"));
  font.replaceKey("/BaseFont", QPDFObjectHandle::newName("/Helvetica"));
  font.replaceKey("/Encoding", QPDFObjectHandle::newName("/WinAnsiEncoding"));
  return pdf.makeIndirectObject(font);
}

// What every page of the layer shares: its font, and the stream that saves the graphics
// state before the page's own content (one object for all pages keeps the file small).
struct LayerShared {
  QPDFObjectHandle font, save;
};

void LayText(QPDF& pdf, QPDFPageObjectHelper& page, const DocumentPage& read,
             const LayerShared& shared, const HelveticaWidths& widths) {
  if (read.replacesText) {
    DropText dropText;
    Pl_Buffer kept("content without text");
    page.filterContents(&dropText, &kept);
    std::unique_ptr<Buffer> content(kept.getBuffer());
    page.getObjectHandle().replaceKey(
        "/Contents",
        CompressedStream(pdf, std::string(reinterpret_cast<const char*>(content->getBuffer()),
                                          content->getSize())));
  }
  page.addPageContents(shared.save, true);
  page.addPageContents(CompressedStream(pdf, "\nQ\n" + PageTextLayer(read, widths)), false);
  QPDFObjectHandle resources = page.getAttribute("/Resources", true);
  if (!resources.isDictionary()) {
    resources = QPDFObjectHandle::newDictionary();
    page.getObjectHandle().replaceKey("/Resources", resources);
  }
  QPDFObjectHandle fonts = resources.getKey("/Font");
  if (!fonts.isDictionary()) {
    fonts = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/Font", fonts);
  }
  fonts.replaceKey(kFontName, shared.font);
}

}  // namespace

bool PdfWithTextLayer(const std::string& source, const std::vector<DocumentPage>& pages, int fd,
                      std::string* error) {
  PoDoFo::PdfError::EnableLogging(false);
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(source.c_str());
    std::vector<QPDFPageObjectHelper> all = QPDFPageDocumentHelper(pdf).getAllPages();
    const HelveticaWidths widths;
    const LayerShared shared{FontDictionary(pdf), QPDFObjectHandle::newStream(&pdf, "q\n")};
    std::vector<std::string> languages;
    for (const DocumentPage& read : pages)
      if (read.pdfPage >= 0 && size_t(read.pdfPage) < all.size() && !read.keepsPage) {
        LayText(pdf, all[size_t(read.pdfPage)], read, shared, widths);
        languages.push_back(read.text.language);
      }
    // A language the PDF states already is its author's, and stays.
    const std::string language = DocumentLanguage(languages);
    if (!language.empty() && !pdf.getRoot().hasKey("/Lang"))
      pdf.getRoot().replaceKey("/Lang", QPDFObjectHandle::newString(language));
    std::unique_ptr<FILE, int (*)(FILE*)> out(fdopen(::dup(fd), "wb"), &std::fclose);
    if (!out) {
      *error = "cannot write the PDF";
      return false;
    }
    QPDFWriter writer(pdf);
    writer.setOutputFile("output", out.get(), false);
    // Streams are copied as stored: no decoding, and no compression of those without a
    // filter, so that every image keeps its bytes.
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(false);
    writer.write();
    if (std::fflush(out.get()) != 0 || std::ferror(out.get())) {
      *error = "cannot write the PDF";
      return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    *error = "not enough memory to write the PDF";
  } catch (const std::exception& e) {
    *error = std::string("cannot write the PDF: ") + e.what();
  }
  return false;
}
