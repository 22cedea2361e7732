// PDFs made for the tests and the fuzz seeds: pages of one stored image each (grey pixels,
// JPEG, CCITT fax), turned by /Rotate, pages of vector text, bookmarks and metadata. Made
// with QPDF, the images encoded by Leptonica.
#pragma once

#include <leptonica/allheaders.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <sstream>
#include <string>
#include <vector>

namespace pdfmaking {

enum class Stored { Grey, Jpeg, Fax };

// How a test page is made: the sample stored one way, or a page of vector text.
struct PageSpec {
  PageSpec(Stored stored = Stored::Grey, int rotate = 0, std::string vectorText = "")
      : stored(stored), rotate(rotate), vectorText(std::move(vectorText)) {}
  Stored stored;
  int rotate;              // the page's /Rotate; the image is stored turned against it
  std::string vectorText;  // when set, a page of this text in Helvetica instead
};

inline std::string Bytes(const l_uint8* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The page in grey, turned counter-clockwise by `quarters` quarter turns, so that a page
// that turns it back by /Rotate shows it upright.
inline PIX* GreyTurned(PIX* page, int quarters) {
  PIX* grey = pixConvertTo8(page, 0);
  PIX* turned = pixRotateOrth(grey, (4 - quarters) % 4);
  pixDestroy(&grey);
  return turned;
}

inline QPDFObjectHandle ImageStream(QPDF& pdf, PIX* pix, Stored stored) {
  const int w = pixGetWidth(pix), h = pixGetHeight(pix);
  QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
  dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
  dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
  dict.replaceKey("/Width", QPDFObjectHandle::newInteger(w));
  dict.replaceKey("/Height", QPDFObjectHandle::newInteger(h));
  dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
  std::string data;
  QPDFObjectHandle filter = QPDFObjectHandle::newNull(), parms = QPDFObjectHandle::newNull();
  if (stored == Stored::Grey) {
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        l_uint32 value = 0;
        pixGetPixel(pix, x, y, &value);
        data += char(value);
      }
  } else if (stored == Stored::Jpeg) {
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    l_uint8* jpeg = nullptr;
    size_t size = 0;
    pixWriteMemJpeg(&jpeg, &size, pix, 90, 0);
    data = Bytes(jpeg, size);
    lept_free(jpeg);
    filter = QPDFObjectHandle::newName("/DCTDecode");
  } else {
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(1));
    PIX* binary = pixThresholdToBinary(pix, 128);
    L_COMP_DATA* g4 = nullptr;
    pixGenerateCIData(binary, L_G4_ENCODE, 0, 0, &g4);
    data = Bytes(g4->datacomp, g4->nbytescomp);
    parms = QPDFObjectHandle::parse("<< /K -1 /Columns " + std::to_string(w) + " /Rows " +
                                    std::to_string(h) + (g4->minisblack ? " /BlackIs1 true" : "") +
                                    " >>");
    l_CIDataDestroy(&g4);
    pixDestroy(&binary);
    filter = QPDFObjectHandle::newName("/CCITTFaxDecode");
  }
  QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
  stream.replaceDict(dict);
  stream.replaceStreamData(data, filter, parms);
  return stream;
}

// One page of `spec` added to `pdf`: the picture at 300 dpi, or vector text on A5.
inline void AddPage(QPDF& pdf, PIX* picture, const PageSpec& spec) {
  QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
  std::string content;
  double width = 420, height = 595;
  if (spec.vectorText.empty()) {
    PIX* pix = GreyTurned(picture, spec.rotate / 90);
    width = pixGetWidth(pix) * 72.0 / 300, height = pixGetHeight(pix) * 72.0 / 300;
    QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", ImageStream(pdf, pix, spec.stored));
    pixDestroy(&pix);
    resources.replaceKey("/XObject", xobjects);
    std::ostringstream draw;
    draw << "q " << width << " 0 0 " << height << " 0 0 cm /Im0 Do Q\n";
    content = draw.str();
  } else {
    resources = QPDFObjectHandle::parse(
        "<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>");
    content = "BT /F1 24 Tf 40 500 Td (" + spec.vectorText + ") Tj ET\n";
  }
  QPDFObjectHandle page = QPDFObjectHandle::parse("<< /Type /Page >>");
  page.replaceKey("/MediaBox",
                  QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
  page.replaceKey("/Resources", resources);
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
  if (spec.rotate) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(spec.rotate));
  QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
}

// A PDF of the pages, made of `picture`, with a title and a bookmark on each page;
// encrypted when a password is given.
inline void MakePdf(const std::string& path, PIX* picture, const std::vector<PageSpec>& pages,
                    const std::string& userPassword = "") {
  QPDF pdf;
  pdf.emptyPDF();
  for (const PageSpec& spec : pages) AddPage(pdf, picture, spec);
  std::vector<QPDFObjectHandle> all = pdf.getAllPages();
  QPDFObjectHandle outlines =
      pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Outlines >>"));
  QPDFObjectHandle previous;
  for (size_t i = 0; i < all.size(); ++i) {
    QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    item.replaceKey("/Title", QPDFObjectHandle::newUnicodeString("Page " + std::to_string(i + 1)));
    item.replaceKey("/Parent", outlines);
    QPDFObjectHandle destination = QPDFObjectHandle::newArray();
    destination.appendItem(all[i]);
    destination.appendItem(QPDFObjectHandle::newName("/Fit"));
    item.replaceKey("/Dest", destination);
    if (i == 0) outlines.replaceKey("/First", item);
    if (i > 0) previous.replaceKey("/Next", item), item.replaceKey("/Prev", previous);
    previous = item;
  }
  outlines.replaceKey("/Last", previous);
  outlines.replaceKey("/Count", QPDFObjectHandle::newInteger(int64_t(all.size())));
  pdf.getRoot().replaceKey("/Outlines", outlines);
  pdf.getTrailer().replaceKey(
      "/Info", pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Title (Test scans) >>")));
  QPDFWriter writer(pdf, path.c_str());
  if (!userPassword.empty())
    writer.setR6EncryptionParameters(userPassword.c_str(), "owner", true, true, true, true, true,
                                     true, qpdf_r3p_full, true);
  writer.write();
}

}  // namespace pdfmaking
