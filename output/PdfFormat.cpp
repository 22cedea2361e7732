// The searchable PDF: each page is its picture, with the recognised words laid over it in
// invisible text (render mode 3) at their place and size, so that a viewer finds and
// copies them. Written with PoDoFo; the text uses a base font in WinAnsiEncoding, which
// holds every character of Windows-1252.
#include <podofo/podofo.h>

#include <algorithm>

#include "core/Cp1252.h"
#include "output/FormatWriters.h"

using namespace PoDoFo;

namespace {

// Without a stated resolution a picture is taken as a 300 dpi scan.
constexpr double kDefaultDpi = 300.0;
// Helvetica's descender, as a share of the font size.
constexpr double kDescent = 0.207;

double PictureDpi(const DocumentPage& page) {
  if (page.text.dpi > 0) return page.text.dpi;
  const int32_t perMeter = DIBInfo(*page.picture)->biXPelsPerMeter;
  return perMeter > 0 ? perMeter * 0.0254 : kDefaultDpi;
}

RgbQuad PixelColour(const RasterImage& image, int32_t x, int32_t y) {
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

PdfPixels PictureToPdfPixels(const RasterImage& image) {
  const int32_t width = DIBWidth(image), height = DIBHeight(image);
  std::string rgb;
  rgb.reserve(size_t(width) * size_t(height) * 3);
  bool grey = true, blackWhite = true;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const RgbQuad c = PixelColour(image, x, y);
      grey = grey && c.red == c.green && c.green == c.blue;
      blackWhite = blackWhite && grey && (c.red == 0 || c.red == 255);
      rgb += char(c.red);
      rgb += char(c.green);
      rgb += char(c.blue);
    }
  PdfPixels pixels;
  if (!grey) {
    pixels.data = std::move(rgb);
    return pixels;
  }
  pixels.colourSpace = ePdfColorSpace_DeviceGray;
  if (!blackWhite) {
    for (size_t i = 0; i < rgb.size(); i += 3) pixels.data += rgb[i];
    return pixels;
  }
  // Rows of whole bytes, a set bit white (DeviceGray: 1 is white).
  pixels.bitsPerComponent = 1;
  const size_t rowBytes = (size_t(width) + 7) / 8;
  pixels.data.assign(rowBytes * size_t(height), '\0');
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      if (rgb[(size_t(y) * size_t(width) + size_t(x)) * 3] != 0)
        pixels.data[size_t(y) * rowBytes + size_t(x) / 8] |= char(0x80 >> (x % 8));
  return pixels;
}

PdfImage* AddPicture(PdfMemDocument& document, const RasterImage& picture) {
  const PdfPixels pixels = PictureToPdfPixels(picture);
  auto* image = new PdfImage(&document);  // owned by the document's objects
  image->SetImageColorSpace(pixels.colourSpace);
  PdfMemoryInputStream stream(pixels.data.data(), pdf_long(pixels.data.size()));
  image->SetImageData(unsigned(DIBWidth(picture)), unsigned(DIBHeight(picture)),
                      pixels.bitsPerComponent, &stream);
  return image;
}

// Lays one word at its box: the line's height gives the size, horizontal scaling makes
// the text exactly as wide as the word's box.
void LayWord(PdfPainter& painter, PdfFont* font, const PageWord& word, const PageLine& line,
             double scale, double pageHeight) {
  const std::string utf8 = Cp1252ToUtf8(word.Text());
  const PdfString text(reinterpret_cast<const pdf_utf8*>(utf8.c_str()));
  const double size = std::max(1.0, line.box.Height() * scale);
  font->SetFontSize(float(size));
  font->SetFontScale(100.0F);
  const double natural = font->GetFontMetrics()->StringWidth(text);
  const double wanted = word.box.Width() * scale;
  font->SetFontScale(natural > 0 ? float(std::clamp(100.0 * wanted / natural, 1.0, 1000.0))
                                 : 100.0F);
  // The baseline: the line's when known, else above the line's bottom by the descender.
  const double baselineRow = line.baseline > 0
                                 ? line.baseline + 1.0
                                 : line.box.bottom + 1.0 - kDescent * line.box.Height();
  painter.SetFont(font);
  painter.DrawText(word.box.left * scale, pageHeight - baselineRow * scale, text);
}

void AddPage(PdfMemDocument& document, PdfFont* font, const DocumentPage& page) {
  const double scale = 72.0 / PictureDpi(page);  // points per pixel
  const double width = DIBWidth(*page.picture) * scale;
  const double height = DIBHeight(*page.picture) * scale;
  PdfImage* image = AddPicture(document, *page.picture);
  PdfPage* pdfPage = document.CreatePage(PdfRect(0, 0, width, height));
  PdfPainter painter;
  painter.SetPage(pdfPage);
  painter.DrawImage(0, 0, image, scale, scale);
  painter.SetTextRenderingMode(ePdfTextRenderingMode_Invisible);
  for (const PageBlock& block : page.text.blocks)
    for (const PageLine& line : block.lines)
      for (const PageWord& word : line.words)
        if (!word.chars.empty()) LayWord(painter, font, word, line, scale, height);
  painter.FinishPage();
}

}  // namespace

bool PdfDocument(const std::vector<DocumentPage>& pages, std::string* pdf, std::string* error) {
  if (pages.empty()) {
    *error = "a PDF needs at least one page";
    return false;
  }
  for (const DocumentPage& page : pages)
    if (!page.picture || !page.picture->pixels) {
      *error = "a PDF page needs its picture";
      return false;
    }
  PdfError::EnableLogging(false);
  PdfError::EnableDebug(false);
  try {
    PdfMemDocument document;
    document.GetInfo()->SetCreator(PdfString("Quillon"));
    PdfFont* font = document.CreateFont("Helvetica", false, false, false,
                                        PdfEncodingFactory::GlobalWinAnsiEncodingInstance(),
                                        PdfFontCache::eFontCreationFlags_AutoSelectBase14, false);
    if (!font) {
      *error = "cannot make the PDF's font";
      return false;
    }
    for (const DocumentPage& page : pages) AddPage(document, font, page);
    PdfRefCountedBuffer buffer;
    PdfOutputDevice device(&buffer);
    document.Write(&device);
    pdf->assign(buffer.GetBuffer(), device.GetLength());
    return true;
  } catch (const PdfError& e) {
    *error = std::string("cannot make the PDF: ") + PdfError::ErrorMessage(e.GetError());
    return false;
  }
}
