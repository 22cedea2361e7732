// The searchable PDF: each page is its picture, with the recognised words laid over it in
// invisible text (render mode 3) at their place and size, so that a viewer finds and
// copies them. Written with PoDoFo's streamed document, which writes each page's objects
// when the page is done, so that only one page's picture is ever held; the text uses a base
// font in WinAnsiEncoding, which holds every character of Windows-1252.
#include <leptonica/allheaders.h>
#include <podofo/podofo.h>
#include <unistd.h>
#include <ext/stdio_filebuf.h>

#include <algorithm>
#include <memory>
#include <new>

#include "core/Cp1252.h"
#include "output/FormatWriters.h"
#include "output/PdfWords.h"

using namespace PoDoFo;

namespace {

// Without a stated resolution a picture is taken as a 300 dpi scan.
constexpr double kDefaultDpi = 300.0;

double PictureDpi(const DocumentPage& page) {
  if (page.text.dpi > 0) return page.text.dpi;
  const int32_t perMeter = DIBInfo(*page.picture)->biXPelsPerMeter;
  return perMeter > 0 ? perMeter * 0.0254 : kDefaultDpi;
}

RgbQuad PixelColour(const RasterImage& image, int32_t x, int32_t y) {
  if (DIBBitCount(image) == 24) {  // the form's pictures: straight from the row
    const uint8_t* bgr = DIBPixel24(image, x, y);
    return RgbQuad{bgr[0], bgr[1], bgr[2], 0};
  }
  const uint32_t value = getpixel(image, x, y);
  if (DIBBitCount(image) >= 16)
    return RgbQuad{uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value), 0};
  const int64_t colours = DIBColorCount(image);
  return int64_t(value) < colours ? DIBColorTable(image)[value] : RgbQuad{0, 0, 0, 0};
}

// The picture's pixels in the leanest PDF form that keeps them: one bit per pixel for a
// black-and-white page, grey for a grey one, else colour. Rows top down.
struct PdfPixels {
  EPdfColorSpace colourSpace = ePdfColorSpace_DeviceRGB;
  unsigned bitsPerComponent = 8;
  std::string data;
};

// The picture's pixels in the form PictureToPdfPixels gives them, one row after another.
template <typename PutPixel>
void ForEachPixel(const RasterImage& image, PutPixel put) {
  for (int32_t y = 0; y < DIBHeight(image); ++y)
    for (int32_t x = 0; x < DIBWidth(image); ++x) put(x, y, PixelColour(image, x, y));
}

// A first pass finds the leanest form, a second writes only that: a copy of every pixel in
// colour would take three bytes a pixel of a page that needs one bit.
PdfPixels PictureToPdfPixels(const RasterImage& image) {
  bool grey = true, blackWhite = true;
  ForEachPixel(image, [&](int32_t, int32_t, const RgbQuad& c) {
    grey = grey && c.red == c.green && c.green == c.blue;
    blackWhite = blackWhite && grey && (c.red == 0 || c.red == 255);
  });
  const size_t width = size_t(DIBWidth(image)), height = size_t(DIBHeight(image));
  PdfPixels pixels;
  if (!grey) {
    pixels.data.resize(width * height * 3);
    ForEachPixel(image, [&](int32_t x, int32_t y, const RgbQuad& c) {
      char* out = &pixels.data[(size_t(y) * width + size_t(x)) * 3];
      out[0] = char(c.red);
      out[1] = char(c.green);
      out[2] = char(c.blue);
    });
    return pixels;
  }
  pixels.colourSpace = ePdfColorSpace_DeviceGray;
  if (!blackWhite) {
    pixels.data.resize(width * height);
    ForEachPixel(image, [&](int32_t x, int32_t y, const RgbQuad& c) {
      pixels.data[size_t(y) * width + size_t(x)] = char(c.red);
    });
    return pixels;
  }
  // Rows of whole bytes, a set bit white (DeviceGray: 1 is white).
  pixels.bitsPerComponent = 1;
  const size_t rowBytes = (width + 7) / 8;
  pixels.data.assign(rowBytes * height, '\0');
  ForEachPixel(image, [&](int32_t x, int32_t y, const RgbQuad& c) {
    if (c.red != 0) pixels.data[size_t(y) * rowBytes + size_t(x) / 8] |= char(0x80 >> (x % 8));
  });
  return pixels;
}

// A black-and-white page as CCITT group 4 data, the usual compression of scanned pages
// (Leptonica encodes it); false when the encoding fails.
bool SetG4Picture(PdfImage& image, const PdfPixels& pixels, int32_t width, int32_t height) {
  PIX* pix = pixCreate(width, height, 1);  // Leptonica's 1 is black
  if (!pix) return false;
  const size_t rowBytes = (size_t(width) + 7) / 8;
  for (int32_t y = 0; y < height; ++y) {
    l_uint32* row = pixGetData(pix) + int64_t(y) * pixGetWpl(pix);
    for (int32_t x = 0; x < width; ++x)
      if (!(uint8_t(pixels.data[size_t(y) * rowBytes + size_t(x) / 8]) & (0x80 >> (x % 8))))
        SET_DATA_BIT(row, x);
  }
  L_COMP_DATA* g4 = nullptr;
  const bool encoded = pixGenerateCIData(pix, L_G4_ENCODE, 0, 0, &g4) == 0 && g4;
  pixDestroy(&pix);
  if (encoded) {
    PdfDictionary parameters;
    parameters.AddKey("K", PdfVariant(pdf_int64(-1)));
    parameters.AddKey("Columns", PdfVariant(pdf_int64(width)));
    parameters.AddKey("Rows", PdfVariant(pdf_int64(height)));
    if (g4->minisblack) parameters.AddKey("BlackIs1", PdfVariant(true));
    image.SetImageColorSpace(ePdfColorSpace_DeviceGray);
    image.GetObject()->GetDictionary().AddKey(PdfName::KeyFilter, PdfName("CCITTFaxDecode"));
    image.GetObject()->GetDictionary().AddKey("DecodeParms", parameters);
    PdfMemoryInputStream stream(reinterpret_cast<const char*>(g4->datacomp),
                                pdf_long(g4->nbytescomp));
    image.SetImageDataRaw(unsigned(width), unsigned(height), 1, &stream);
  }
  l_CIDataDestroy(&g4);
  return encoded;
}

// The picture's pixels into `image` (the document keeps the data; the wrapper is ours).
void SetPicture(PdfImage& image, const RasterImage& picture) {
  const PdfPixels pixels = PictureToPdfPixels(picture);
  if (pixels.bitsPerComponent == 1 &&
      SetG4Picture(image, pixels, DIBWidth(picture), DIBHeight(picture)))
    return;
  image.SetImageColorSpace(pixels.colourSpace);
  PdfMemoryInputStream stream(pixels.data.data(), pdf_long(pixels.data.size()));
  image.SetImageData(unsigned(DIBWidth(picture)), unsigned(DIBHeight(picture)),
                     pixels.bitsPerComponent, &stream);
}

// The width of Windows-1252 text in `font` at size 1 without scaling.
double NaturalWidth(PdfFont* font, const std::string& text) {
  const std::string utf8 = Cp1252ToUtf8(text);
  font->SetFontSize(1.0F);
  font->SetFontScale(100.0F);
  return font->GetFontMetrics()->StringWidth(
      PdfString(reinterpret_cast<const pdf_utf8*>(utf8.c_str())));
}

// A painter that also takes content of ours: the text layer, made where the PDF of a PDF
// makes it.
class LayerPainter : public PdfPainter {
 public:
  void AddContent(const std::string& content, PdfFont* font) {
    AddToPageResources(font->GetIdentifier(), font->GetObject()->Reference(), PdfName("Font"));
    GetCanvas()->Append(content);
  }
};

void AddPage(PdfStreamedDocument& document, PdfFont* font, const DocumentPage& page) {
  const double scale = 72.0 / PictureDpi(page);  // points per pixel
  const double width = DIBWidth(*page.picture) * scale;
  const double height = DIBHeight(*page.picture) * scale;
  PdfImage image(&document);
  SetPicture(image, *page.picture);
  PdfPage* pdfPage = document.CreatePage(PdfRect(0, 0, width, height));
  LayerPainter painter;
  painter.SetPage(pdfPage);
  painter.DrawImage(0, 0, &image, scale, scale);
  PageText text = page.text;
  text.height = DIBHeight(*page.picture);
  const auto measure = [font](const std::string& words) { return NaturalWidth(font, words); };
  painter.AddContent(TextLayer(text, scale, "/" + font->GetIdentifier().GetName(), measure), font);
  painter.FinishPage();
}

// A streamed document whose catalogue takes the document's language: PoDoFo's own
// SetLanguage leaks the value it sets.
class LanguageStreamedDocument : public PdfStreamedDocument {
 public:
  using PdfStreamedDocument::PdfStreamedDocument;
  void SetCatalogLanguage(const std::string& language) {
    GetCatalog()->GetDictionary().AddKey(PdfName("Lang"), PdfString(language));
  }
};

// The writer: a streamed document over the caller's descriptor.
class StreamedPdf : public PdfPageWriter {
 public:
  explicit StreamedPdf(int fd)
      : buffer_(::dup(fd), std::ios::out | std::ios::binary),
        stream_(&buffer_),
        device_(&stream_),
        document_(&device_) {
    document_.GetInfo()->SetCreator(PdfString("Quillon"));
    font_ = document_.CreateFont("Helvetica", false, false, false,
                                 PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                 PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
  }

  bool AddPage(const DocumentPage& page, std::string* error) override {
    if (!page.picture || !page.picture->pixels) {
      *error = "a PDF page needs its picture";
      return false;
    }
    pageLanguages_.push_back(page.text.language);
    return Guarded([&] { ::AddPage(document_, font_, page); }, error);
  }

  bool Finish(std::string* error) override {
    // Screen readers read the text layer in the document's language.
    const std::string language = DocumentLanguage(pageLanguages_);
    if (!language.empty()) document_.SetCatalogLanguage(language);
    if (!Guarded([&] { document_.Close(); }, error)) return false;
    stream_.flush();
    if (!stream_ || buffer_.close() == nullptr) {
      *error = "cannot write the PDF";
      return false;
    }
    return true;
  }

  bool Ready() { return font_ != nullptr && buffer_.fd() >= 0; }

 private:
  template <typename Step>
  bool Guarded(Step step, std::string* error) {
    try {
      step();
      return true;
    } catch (const PdfError& e) {
      *error = std::string("cannot make the PDF: ") + PdfError::ErrorMessage(e.GetError());
    } catch (const std::bad_alloc&) {
      *error = "not enough memory to make the PDF";
    }
    return false;
  }

  __gnu_cxx::stdio_filebuf<char> buffer_;
  std::ostream stream_;
  PdfOutputDevice device_;
  LanguageStreamedDocument document_;
  PdfFont* font_ = nullptr;
  std::vector<std::string> pageLanguages_;
};

}  // namespace

PdfPageWriter* NewPdfPageWriter(int fd, std::string* error) {
  PdfError::EnableLogging(false);
  PdfError::EnableDebug(false);
  try {
    auto writer = std::make_unique<StreamedPdf>(fd);
    if (writer->Ready()) return writer.release();
    *error = "cannot make the PDF's font";
  } catch (const PdfError& e) {
    *error = std::string("cannot make the PDF: ") + PdfError::ErrorMessage(e.GetError());
  } catch (const std::bad_alloc&) {
    *error = "not enough memory to make the PDF";
  }
  return nullptr;
}
