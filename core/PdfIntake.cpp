// Reading the pages of PDF documents. QPDF parses the document and its page contents: it
// finds a page that is one image and hands over that image's stored bytes, which
// Leptonica decodes (JPEG, CCITT fax, plain and Flate pixels), so that a scan is read at
// its own resolution, never resampled. Poppler renders every other page and gives the
// text of pages that carry text.
#include <leptonica/allheaders.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>
#include <sys/stat.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/PdfPages.h"

namespace {

constexpr double kPointsPerInch = 72.0;

// ---- the open document ----

// The document last opened on this thread: a run reads its pages one after another, and
// opening the document once for all of them spares parsing it again for every page.
struct OpenDocument {
  std::string fileName;
  struct stat status {};  // the file's size and time say whether it is still the same
  std::unique_ptr<QPDF> qpdf;
  std::vector<QPDFPageObjectHelper> pages;
  std::unique_ptr<poppler::document> poppler;  // opened when a page is rendered
};

void Quiet(const std::string&, void*) {}

std::string PageName(int32_t page) {
  return "page " + std::to_string(page + 1);
}

// Opens the document (or finds it open); null with the reason.
OpenDocument* Open(const char* fileName, std::string* error) {
  thread_local OpenDocument open;
  struct stat status {};
  stat(fileName, &status);
  if (open.qpdf && open.fileName == fileName && open.status.st_size == status.st_size &&
      open.status.st_mtim.tv_sec == status.st_mtim.tv_sec &&
      open.status.st_mtim.tv_nsec == status.st_mtim.tv_nsec)
    return &open;
  open = OpenDocument();
  auto qpdf = std::make_unique<QPDF>();
  qpdf->setSuppressWarnings(true);
  try {
    qpdf->processFile(fileName);
    if (qpdf->isEncrypted()) {
      *error = "The PDF is encrypted; Quillon reads only documents without encryption.";
      return nullptr;
    }
    open.pages = QPDFPageDocumentHelper(*qpdf).getAllPages();
  } catch (const std::bad_alloc&) {
    *error = "Not enough memory to read the PDF.";
    return nullptr;
  } catch (const std::exception& e) {
    *error = std::string("The PDF is damaged: ") + e.what();
    return nullptr;
  }
  if (open.pages.empty()) {
    *error = "The PDF has no pages.";
    return nullptr;
  }
  open.qpdf = std::move(qpdf);
  open.fileName = fileName;
  open.status = status;
  return &open;
}

poppler::page* PopplerPage(OpenDocument& document, int32_t page, std::string* error) {
  if (!document.poppler) {
    poppler::set_debug_error_function(Quiet, nullptr);
    document.poppler.reset(poppler::document::load_from_file(document.fileName));
    if (!document.poppler || document.poppler->is_locked()) {
      document.poppler.reset();
      *error = "The PDF is damaged: its pages cannot be drawn.";
      return nullptr;
    }
  }
  poppler::page* result = document.poppler->create_page(page);
  if (!result) *error = "The PDF is damaged: " + PageName(page) + " cannot be drawn.";
  return result;
}

// ---- what a page's content does ----

using Matrix = std::array<double, 6>;  // a b c d e f, as the cm operator takes it

Matrix Multiply(const Matrix& m, const Matrix& n) {  // m then n
  return {m[0] * n[0] + m[1] * n[2],        m[0] * n[1] + m[1] * n[3],
          m[2] * n[0] + m[3] * n[2],        m[2] * n[1] + m[3] * n[3],
          m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5]};
}

// Walks a page's content and counts what it paints: images, text (visible or not), and
// everything else. The graphics state is followed as far as that needs (q, Q, cm, Tr).
class ContentSurvey : public QPDFObjectHandle::ParserCallbacks {
 public:
  explicit ContentSurvey(QPDFObjectHandle xobjects) : xobjects_(std::move(xobjects)) {}

  int32_t images = 0, visibleText = 0, invisibleText = 0, otherPaint = 0, forms = 0;
  Matrix imageMatrix{};  // where the last image went
  QPDFObjectHandle image;

  void handleObject(QPDFObjectHandle object, size_t, size_t) override {
    if (!object.isOperator()) {
      if (object.isInlineImage()) ++otherPaint;
      operands_.push_back(object);
      return;
    }
    Operator(object.getOperatorValue());
    operands_.clear();
  }
  void handleEOF() override {}

 private:
  struct State {
    Matrix ctm{1, 0, 0, 1, 0, 0};
    int renderMode = 0;
  };

  void Operator(const std::string& op) {
    static const std::vector<std::string> kPaint = {"f", "F",  "f*", "B", "B*",
                                                    "b", "b*", "S",  "s", "sh"};
    if (op == "q") {
      stack_.push_back(state_);
    } else if (op == "Q") {
      if (!stack_.empty()) state_ = stack_.back(), stack_.pop_back();
    } else if (op == "cm" && operands_.size() == 6) {
      Matrix m{};
      for (size_t i = 0; i < 6; ++i)
        if (!operands_[i].getValueAsNumber(m[i])) return;
      state_.ctm = Multiply(m, state_.ctm);
    } else if (op == "Tr" && operands_.size() == 1) {
      operands_[0].getValueAsInt(state_.renderMode);
    } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
      ++(state_.renderMode == 3 ? invisibleText : visibleText);
    } else if (op == "Do" && operands_.size() == 1 && operands_[0].isName()) {
      Draw(operands_[0].getName());
    } else if (std::find(kPaint.begin(), kPaint.end(), op) != kPaint.end()) {
      ++otherPaint;
    }
  }

  void Draw(const std::string& name) {
    QPDFObjectHandle object =
        xobjects_.isDictionary() ? xobjects_.getKey(name) : QPDFObjectHandle::newNull();
    if (!object.isStream()) return;
    const std::string subtype = object.getDict().getKey("/Subtype").isName()
                                    ? object.getDict().getKey("/Subtype").getName()
                                    : "";
    if (subtype == "/Image") {
      ++images;
      image = object;
      imageMatrix = state_.ctm;
    } else {
      ++forms;  // its content is not surveyed: the page is rendered
    }
  }

  QPDFObjectHandle xobjects_;
  std::vector<QPDFObjectHandle> operands_;
  State state_;
  std::vector<State> stack_;
};

int64_t IntegerOf(QPDFObjectHandle dictionary, const char* key, int64_t fallback) {
  QPDFObjectHandle value = dictionary.getKey(key);
  return value.isInteger() ? value.getIntValue() : fallback;
}

// ---- the page's box and turn ----

struct Box {
  double left = 0, bottom = 0, right = 0, top = 0;
  double Width() const { return right - left; }
  double Height() const { return top - bottom; }
};

Box RectangleOf(QPDFObjectHandle rectangle) {
  Box box;
  if (!rectangle.isRectangle()) return box;
  const QPDFObjectHandle::Rectangle r = rectangle.getArrayAsRectangle();
  return {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx),
          std::max(r.lly, r.ury)};
}

int32_t RotationOf(QPDFPageObjectHelper& page) {
  QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
  long long degrees = 0;
  if (rotate.isInteger()) degrees = rotate.getIntValue();
  return int32_t(((degrees % 360) + 360) % 360 / 90 * 90);
}

// An image placed without turning or mirroring: it lies on the page as an upright rectangle.
bool IsUpright(const Matrix& m) {
  return m[0] > 0 && m[3] > 0 && m[1] == 0 && m[2] == 0;
}

bool Decodable(QPDFObjectHandle image);

// The image of most pixels among the page's resources, as their dictionaries state them:
// the renderer scales every stated row of an image it draws, however few the page's pixels
// and however soon its data ends. All of them count, drawn or not: a damaged content stream
// may hide from the survey an image that the renderer still draws.
void LargestImage(QPDFObjectHandle xobjects, int64_t* width, int64_t* height) {
  if (!xobjects.isDictionary()) return;
  for (const std::string& key : xobjects.getKeys()) {
    QPDFObjectHandle object = xobjects.getKey(key);
    if (!object.isStream()) continue;
    QPDFObjectHandle dictionary = object.getDict();
    QPDFObjectHandle subtype = dictionary.getKey("/Subtype");
    if (!subtype.isName() || subtype.getName() != "/Image") continue;
    const int64_t w = std::max<int64_t>(0, IntegerOf(dictionary, "/Width", 0));
    const int64_t h = std::max<int64_t>(0, IntegerOf(dictionary, "/Height", 0));
    if (double(w) * double(h) > double(*width) * double(*height)) *width = w, *height = h;
  }
}

// What reading a page needs to know of it.
struct PageSurvey {
  PdfPageFacts facts;
  QPDFObjectHandle image;  // the image that is all of the page, when facts.oneImage
  double renderDpi = kPdfRenderDpi;
  int64_t largestImageWidth = 0, largestImageHeight = 0;  // of the images it may draw
};

// A scan's image of a kind not decoded here is drawn at its own resolution, within reason.
constexpr double kLowestImageDpi = 70, kHighestImageDpi = 1200;

// The facts of a page, and how it is read.
bool Survey(OpenDocument& document, int32_t page, PageSurvey* result, std::string* error) {
  PdfPageFacts* facts = &result->facts;
  if (page < 0 || size_t(page) >= document.pages.size()) {
    *error = "The PDF has no " + PageName(page) + ".";
    return false;
  }
  QPDFPageObjectHelper& helper = document.pages[size_t(page)];
  try {
    QPDFObjectHandle resources = helper.getAttribute("/Resources", false);
    ContentSurvey survey(resources.isDictionary() ? resources.getKey("/XObject")
                                                  : QPDFObjectHandle::newNull());
    helper.parseContents(&survey);
    if (resources.isDictionary())
      LargestImage(resources.getKey("/XObject"), &result->largestImageWidth,
                   &result->largestImageHeight);
    const Box crop = RectangleOf(helper.getCropBox(false, false));
    facts->place = {crop.left, crop.bottom, crop.right, crop.top, RotationOf(helper)};
    facts->hasText = survey.visibleText + survey.invisibleText > 0;
    facts->invisibleTextOnly = survey.invisibleText > 0 && survey.visibleText == 0;
    // Invisible text (an earlier OCR's layer) paints nothing: the image is still all of it.
    const bool scan = survey.images == 1 && survey.forms == 0 && survey.otherPaint == 0 &&
                      survey.visibleText == 0 && IsUpright(survey.imageMatrix);
    const Matrix& m = survey.imageMatrix;
    if (scan && Decodable(survey.image)) {
      facts->oneImage = true;
      facts->place.left = m[4], facts->place.bottom = m[5];
      facts->place.right = m[4] + m[0], facts->place.top = m[5] + m[3];
      result->image = survey.image;
    } else if (scan) {
      const double width = double(IntegerOf(survey.image.getDict(), "/Width", 0));
      result->renderDpi =
          std::clamp(width / (m[0] / kPointsPerInch), kLowestImageDpi, kHighestImageDpi);
    }
    // Text inside forms is not surveyed; Poppler tells whether there is any.
    if (survey.forms > 0 && !facts->hasText) {
      poppler::page* drawn = PopplerPage(document, page, error);
      if (!drawn) return false;
      std::unique_ptr<poppler::page> owned(drawn);
      facts->hasText = !owned->text_list().empty();
    }
  } catch (const std::bad_alloc&) {
    *error = "Not enough memory to read " + PageName(page) + " of the PDF.";
    return false;
  } catch (const std::exception& e) {
    *error = "The PDF is damaged on " + PageName(page) + ": " + e.what();
    return false;
  }
  if (facts->place.right - facts->place.left <= 0 || facts->place.top - facts->place.bottom <= 0) {
    *error = "The PDF's " + PageName(page) + " has no area.";
    return false;
  }
  return true;
}

// ---- the page's own image ----

// The stream's filter when it has one (or none: ""), "?" for a chain of several.
std::string FilterOf(QPDFObjectHandle dictionary) {
  QPDFObjectHandle filter = dictionary.getKey("/Filter");
  if (filter.isArray() && filter.getArrayNItems() == 1) filter = filter.getArrayItem(0);
  if (filter.isNull()) return "";
  return filter.isName() ? filter.getName() : "?";
}

// The colour components of a plain colour space: 1 (grey) or 3 (RGB), else 0.
int32_t PlainComponents(QPDFObjectHandle space) {
  if (space.isName()) {
    const std::string name = space.getName();
    return name == "/DeviceGray" ? 1 : name == "/DeviceRGB" ? 3 : 0;
  }
  if (space.isArray() && space.getArrayNItems() == 2 && space.getArrayItem(0).isName() &&
      space.getArrayItem(0).getName() == "/ICCBased" && space.getArrayItem(1).isStream()) {
    const int64_t n = IntegerOf(space.getArrayItem(1).getDict(), "/N", 0);
    return n == 1 || n == 3 ? int32_t(n) : 0;
  }
  return 0;
}

void PutLittle(std::string& bytes, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes += char((value >> (8 * i)) & 0xFF);
}

// CCITT fax data wrapped into a one-strip TIFF, which Leptonica decodes (libtiff knows the
// codes; a PDF stores the bare data with its parameters beside it).
std::string FaxAsTiff(const std::string& data, int64_t width, int64_t height,
                      QPDFObjectHandle parameters, bool decodeInverted) {
  const int64_t k = IntegerOf(parameters, "/K", 0);
  QPDFObjectHandle blackIs1 = parameters.getKey("/BlackIs1");
  const bool minIsBlack = (blackIs1.isBool() && blackIs1.getBoolValue()) != decodeInverted;
  QPDFObjectHandle align = parameters.getKey("/EncodedByteAlign");
  const bool byteAligned = align.isBool() && align.getBoolValue();
  struct Entry {
    uint16_t tag, type;
    uint32_t value;
  };
  std::vector<Entry> entries = {
      {256, 4, uint32_t(width)},
      {257, 4, uint32_t(height)},
      {258, 3, 1},
      {259, 3, uint32_t(k < 0 ? 4 : 3)},  // group 4, else group 3
      {262, 3, minIsBlack ? 1u : 0u},
      {273, 4, 0},  // the strip's offset, set below
      {277, 3, 1},
      {278, 4, uint32_t(height)},
      {279, 4, uint32_t(data.size())},
  };
  if (k >= 0) entries.push_back({292, 4, uint32_t((k > 0 ? 1 : 0) | (byteAligned ? 4 : 0))});
  if (k < 0 && byteAligned) entries.push_back({293, 4, 4});
  const uint32_t directorySize = uint32_t(2 + entries.size() * 12 + 4);
  for (Entry& entry : entries)
    if (entry.tag == 273) entry.value = 8 + directorySize;
  std::string tiff = "II*";
  tiff += '\0';
  PutLittle(tiff, 8, 4);
  PutLittle(tiff, entries.size(), 2);
  for (const Entry& entry : entries) {
    PutLittle(tiff, entry.tag, 2);
    PutLittle(tiff, entry.type, 2);
    PutLittle(tiff, 1, 4);
    PutLittle(tiff, entry.value, entry.type == 3 ? 2 : 4);
    if (entry.type == 3) PutLittle(tiff, 0, 2);
  }
  PutLittle(tiff, 0, 4);
  return tiff + data;
}

// Plain pixels (decoded by QPDF) as a picture: 1 or 8 bits of grey, 8 bits of RGB.
PIX* PixelsAsPix(const std::string& data, int32_t width, int32_t height, int32_t components,
                 int32_t bits) {
  const size_t rowBytes = (size_t(width) * size_t(components) * size_t(bits) + 7) / 8;
  if (data.size() < rowBytes * size_t(height)) return nullptr;
  PIX* pix = pixCreate(width, height, components == 3 ? 32 : bits);
  if (!pix) return nullptr;
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint8_t*>(data.data()) + size_t(y) * rowBytes;
    l_uint32* line = pixGetData(pix) + int64_t(y) * pixGetWpl(pix);
    for (int32_t x = 0; x < width; ++x) {
      if (components == 3)
        composeRGBPixel(row[x * 3], row[x * 3 + 1], row[x * 3 + 2], line + x);
      else if (bits == 8)
        SET_DATA_BYTE(line, x, row[x]);
      else if (!(row[x / 8] & (0x80 >> (x % 8))))  // PDF grey: 0 is black; Leptonica: 1 is
        SET_DATA_BIT(line, x);
    }
  }
  return pix;
}

bool IsInvertingDecode(QPDFObjectHandle decode) {
  return decode.isArray() && decode.getArrayNItems() == 2 && decode.getArrayItem(0).isNumber() &&
         decode.getArrayItem(0).getNumericValue() == 1;
}

// The kinds of stored image read here: JPEG, CCITT fax, and plain or Flate pixels of grey
// (1 or 8 bits) or RGB (8 bits). Others (JBIG2, JPEG 2000, palettes, masks) are drawn.
enum class ImageKind { Other, Jpeg, Fax, Pixels };

ImageKind KindOf(QPDFObjectHandle dictionary) {
  const int64_t width = IntegerOf(dictionary, "/Width", 0);
  const int64_t height = IntegerOf(dictionary, "/Height", 0);
  const int64_t bits = IntegerOf(dictionary, "/BitsPerComponent", 0);
  QPDFObjectHandle mask = dictionary.getKey("/ImageMask");
  const bool decodeDefault = dictionary.getKey("/Decode").isNull();
  const std::string filter = FilterOf(dictionary);
  const int32_t components = PlainComponents(dictionary.getKey("/ColorSpace"));
  if ((mask.isBool() && mask.getBoolValue()) || width <= 0 || height <= 0 || width > INT32_MAX ||
      height > INT32_MAX)
    return ImageKind::Other;
  if (filter == "/DCTDecode" && decodeDefault && components > 0) return ImageKind::Jpeg;
  if (filter == "/CCITTFaxDecode") return ImageKind::Fax;
  if ((filter.empty() || filter == "/FlateDecode") && decodeDefault && components > 0 &&
      (bits == 8 || (bits == 1 && components == 1)))
    return ImageKind::Pixels;
  return ImageKind::Other;
}

bool Decodable(QPDFObjectHandle image) {
  return KindOf(image.getDict()) != ImageKind::Other;
}

// The image as stored, decoded by Leptonica; null when it cannot be decoded.
PIX* DecodeImage(QPDFObjectHandle image) {
  QPDFObjectHandle dictionary = image.getDict();
  const int64_t width = IntegerOf(dictionary, "/Width", 0);
  const int64_t height = IntegerOf(dictionary, "/Height", 0);
  const int64_t bits = IntegerOf(dictionary, "/BitsPerComponent", 0);
  QPDFObjectHandle decode = dictionary.getKey("/Decode");
  const int32_t components = PlainComponents(dictionary.getKey("/ColorSpace"));
  const ImageKind kind = KindOf(dictionary);
  if (kind == ImageKind::Jpeg) {
    const std::shared_ptr<Buffer> raw = image.getRawStreamData();
    return pixReadMem(raw->getBuffer(), raw->getSize());
  }
  if (kind == ImageKind::Fax) {
    const std::shared_ptr<Buffer> raw = image.getRawStreamData();
    const std::string data(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
    const std::string tiff = FaxAsTiff(data, width, height, dictionary.getKey("/DecodeParms"),
                                       IsInvertingDecode(decode));
    return pixReadMemTiff(reinterpret_cast<const l_uint8*>(tiff.data()), tiff.size(), 0);
  }
  if (kind == ImageKind::Pixels) {
    const std::shared_ptr<Buffer> pixels = image.getStreamData(qpdf_dl_generalized);
    const std::string data(reinterpret_cast<const char*>(pixels->getBuffer()), pixels->getSize());
    return PixelsAsPix(data, int32_t(width), int32_t(height), components, int32_t(bits));
  }
  return nullptr;
}

// The page's image as the page shows it: turned by the page's /Rotate, its resolution
// from the size it is shown at.
PIX* ImagePicture(QPDFObjectHandle image, const PdfPageFacts& facts) {
  PIX* decoded = DecodeImage(image);
  if (!decoded) return nullptr;
  const int64_t width = IntegerOf(image.getDict(), "/Width", 0);
  const int64_t height = IntegerOf(image.getDict(), "/Height", 0);
  if (pixGetWidth(decoded) != width || pixGetHeight(decoded) != height) {
    pixDestroy(&decoded);  // the stored data disagrees with its dictionary
    return nullptr;
  }
  const double inches = (facts.place.right - facts.place.left) / kPointsPerInch;
  const double dpi = std::clamp(double(width) / inches, 1.0, 1e5);
  pixSetResolution(decoded, int32_t(std::lround(dpi)), int32_t(std::lround(dpi)));
  PIX* turned =
      facts.place.rotation ? pixRotateOrth(decoded, facts.place.rotation / 90) : pixClone(decoded);
  pixDestroy(&decoded);
  return turned;
}

// ---- rendering ----

// Whether the page, drawn at `dpi`, stays within maxPixels; checked before drawing, so that a
// page 200 inches wide cannot take the memory first.
bool FitsDrawn(const PdfPagePlace& place, int32_t page, double dpi, int64_t maxPixels,
               std::string* error) {
  const double width = (place.right - place.left) * dpi / kPointsPerInch;
  const double height = (place.top - place.bottom) * dpi / kPointsPerInch;
  if (width >= 1 && height >= 1 && width * height <= double(maxPixels)) return true;
  *error = "The PDF's " + PageName(page) + " is too large to read (" +
           std::to_string(std::lround(width)) + " x " + std::to_string(std::lround(height)) +
           " pixels at " + std::to_string(std::lround(dpi)) + " dpi).";
  return false;
}

// The page drawn by Poppler at `dpi`, as the page is shown, in grey.
PIX* Render(OpenDocument& document, int32_t page, double dpi, std::string* error) {
  std::unique_ptr<poppler::page> drawn(PopplerPage(document, page, error));
  if (!drawn) return nullptr;
  poppler::page_renderer renderer;
  renderer.set_render_hint(poppler::page_renderer::antialiasing, true);
  renderer.set_render_hint(poppler::page_renderer::text_antialiasing, true);
  renderer.set_image_format(poppler::image::format_gray8);
  const poppler::image picture = renderer.render_page(drawn.get(), dpi, dpi);
  if (!picture.is_valid()) {
    *error = "The PDF's " + PageName(page) + " cannot be drawn.";
    return nullptr;
  }
  PIX* pix = pixCreate(picture.width(), picture.height(), 8);
  if (!pix) {
    *error = "Not enough memory for the PDF's " + PageName(page) + ".";
    return nullptr;
  }
  for (int y = 0; y < picture.height(); ++y) {
    const char* row = picture.const_data() + size_t(y) * size_t(picture.bytes_per_row());
    l_uint32* line = pixGetData(pix) + int64_t(y) * pixGetWpl(pix);
    for (int x = 0; x < picture.width(); ++x) SET_DATA_BYTE(line, x, uint8_t(row[x]));
  }
  pixSetResolution(pix, int32_t(std::lround(dpi)), int32_t(std::lround(dpi)));
  return pix;
}

// ---- the module's functions ----

int32_t PageCount(const char* fileName, std::string* error) {
  OpenDocument* document = Open(fileName, error);
  return document ? int32_t(std::min<size_t>(document->pages.size(), INT32_MAX)) : 0;
}

bool PageFacts(const char* fileName, int32_t page, PdfPageFacts* facts, std::string* error) {
  OpenDocument* document = Open(fileName, error);
  PageSurvey survey;
  if (!document || !Survey(*document, page, &survey, error)) return false;
  *facts = survey.facts;
  return true;
}

// The picture itself may be larger than its page or image dictionary claims (a damaged
// or lying PDF): the limit holds for what was read.
Pix* WithinLimit(Pix* pix, int32_t page, int64_t maxPixels, std::string* error) {
  if (!pix || int64_t(pixGetWidth(pix)) * pixGetHeight(pix) <= maxPixels) return pix;
  *error = "The PDF's " + PageName(page) + " is too large to read (" +
           std::to_string(pixGetWidth(pix)) + " x " + std::to_string(pixGetHeight(pix)) +
           " pixels).";
  pixDestroy(&pix);
  return nullptr;
}

Pix* ReadPage(const char* fileName, int32_t page, int64_t maxPixels, std::string* error) {
  OpenDocument* document = Open(fileName, error);
  PageSurvey survey;
  if (!document || !Survey(*document, page, &survey, error)) return nullptr;
  try {
    if (survey.facts.oneImage) {
      QPDFObjectHandle dictionary = survey.image.getDict();
      const double width = double(IntegerOf(dictionary, "/Width", 0));
      const double height = double(IntegerOf(dictionary, "/Height", 0));
      if (width * height > double(maxPixels)) {
        *error = "The PDF's " + PageName(page) + " is too large to read (" +
                 std::to_string(int64_t(width)) + " x " + std::to_string(int64_t(height)) +
                 " pixels).";
        return nullptr;
      }
      PIX* pix = ImagePicture(survey.image, survey.facts);
      if (!pix) *error = "The PDF's " + PageName(page) + " holds an image that cannot be decoded.";
      return WithinLimit(pix, page, maxPixels, error);
    }
    if (!FitsDrawn(survey.facts.place, page, survey.renderDpi, maxPixels, error)) return nullptr;
    // An image larger than any page read here would take the renderer minutes, even where
    // its data ends at once: it is refused as a page of that size is.
    if (double(survey.largestImageWidth) * double(survey.largestImageHeight) > double(maxPixels)) {
      *error = "The PDF's " + PageName(page) + " holds an image too large to read (" +
               std::to_string(survey.largestImageWidth) + " x " +
               std::to_string(survey.largestImageHeight) + " pixels).";
      return nullptr;
    }
    return WithinLimit(Render(*document, page, survey.renderDpi, error), page, maxPixels, error);
  } catch (const std::bad_alloc&) {
    *error = "Not enough memory for the PDF's " + PageName(page) + ".";
  } catch (const std::exception& e) {
    *error = "The PDF is damaged on " + PageName(page) + ": " + e.what();
  }
  return nullptr;
}

bool PageText(const char* fileName, int32_t page, PdfPageText* text, std::string* error) {
  OpenDocument* document = Open(fileName, error);
  if (!document) return false;
  std::unique_ptr<poppler::page> drawn(PopplerPage(*document, page, error));
  if (!drawn) return false;
  const poppler::rectf box = drawn->page_rect(poppler::crop_box);
  const bool across = drawn->orientation() == poppler::page::landscape ||
                      drawn->orientation() == poppler::page::seascape;
  text->width = across ? box.height() : box.width();
  text->height = across ? box.width() : box.height();
  for (const poppler::text_box& word : drawn->text_list()) {
    const poppler::byte_array utf8 = word.text().to_utf8();
    const poppler::rectf r = word.bbox();
    text->words.push_back(
        {std::string(utf8.begin(), utf8.end()), r.left(), r.top(), r.right(), r.bottom()});
  }
  const poppler::byte_array all =
      drawn->text(poppler::rectf(), poppler::page::physical_layout).to_utf8();
  text->text.assign(all.begin(), all.end());
  return true;
}

}  // namespace

extern "C" const PdfModule* QuillonPdfModule() {
  static const PdfModule module{&PageCount, &PageFacts, &ReadPage, &PageText};
  return &module;
}
