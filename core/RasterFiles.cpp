// Picture files of the raster library: OpenDib, SaveDib, GetDIBSaveFilter.
//
// How pictures arrive (OpenDib): indexed pictures keep their palette indexes and depth: 1
// bit stays 1 bit, 2 and 4 bits become 4 bits, 8-bit colour-mapped stays 8 bits. Their true
// colours stand in the colour table behind `header` and in `logPalette` (all 2, 16 or 256
// entries filled; unused ones black), so colours must be taken from the palette, never
// from the index value: a 1-bit picture from Leptonica (PNG, TIFF G4, PNM...) has index 0
// white and index 1 black, while a 1-bit BMP or PCX keeps whatever palette it was written
// with. Grey pictures (8 bits, or 16 bits cut to 8) are 8 bits with the grey ramp (entry i
// = i, i, i). Direct-colour pictures of 15, 16, 24 or 32 bits arrive as 24 bits; alpha,
// where a format declares it (PNG, WebP, TIFF, TGA, PCX), is laid over white paper, since
// a transparent part of a page is paper; BMP alpha is ignored.
//
// Formats: Leptonica reads GIF, JPEG, PNG, PNM, TIFF, WebP and JPEG 2000 and writes GIF,
// JPEG and TIFF; the commonest page, a plain 8-bit grey PNG, is read with libpng straight
// into the image's rows (the same pixels, without Leptonica's two intermediate copies).
// BMP/DIB (with RLE), PCX, TGA and IFF/LBM are the library's own codecs (core/codecs).
// The format is told by the file's first bytes; PCX and TGA, which have weak signatures,
// also by the extension. Windows metafiles are refused.
#include <fcntl.h>
#include <leptonica/allheaders.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

#include "core/AtomicFile.h"
#include "core/LibraryMessages.h"
#include "core/OverwriteGuard.h"
#include "core/RasterDecode.h"
#include "core/RasterImage.h"
#include "core/RegularFiles.h"
#include "core/codecs/Codec.h"

namespace {

namespace fs = std::filesystem;

enum class FileKind { Unknown, Bmp, Pcx, Tga, Iff, Leptonica, Emf, Wmf };

void QuietLeptonica() {
  RouteLeptonicaMessages();
}

// libpng and libjpeg print their own complaints about a cut file before Leptonica gives
// up on it; the commonest damage, a file cut short, is caught here first. A PNG must
// reach its IEND chunk; a JPEG must end with its end-of-image marker (searched in the
// last 4 KiB, as some writers append data after it; entropy-coded data never holds it).
bool LooksComplete(const std::vector<uint8_t>& d) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (d.size() >= 8 && std::memcmp(d.data(), kPng, 8) == 0) {
    size_t pos = 8;
    while (pos + 12 <= d.size()) {
      const uint32_t length =
          uint32_t(d[pos]) << 24 | d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
      if (std::memcmp(d.data() + pos + 4, "IEND", 4) == 0) return true;
      if (length > d.size() - pos - 12) return false;
      pos += 12 + size_t(length);
    }
    return false;
  }
  if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) {
    for (size_t i = d.size() - 1; i > 0 && i + 4096 >= d.size(); --i)
      if (d[i - 1] == 0xFF && d[i] == 0xD9) return true;
    return false;
  }
  return true;
}

std::string UpperExtension(const std::string& name) {
  std::string ext = fs::path(name).extension().string();
  for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

bool StartsWith(const std::vector<uint8_t>& d, size_t at, const char* text) {
  const size_t n = std::strlen(text);
  return d.size() >= at + n && std::memcmp(d.data() + at, text, n) == 0;
}

FileKind Detect(const std::vector<uint8_t>& d, const std::string& ext) {
  const size_t n = d.size();
  if (StartsWith(d, 0, "BM")) return FileKind::Bmp;
  if (StartsWith(d, 0, "FORM") && (StartsWith(d, 8, "ILBM") || StartsWith(d, 8, "PBM ")))
    return FileKind::Iff;
  if (n >= 44 && d[0] == 1 && d[1] == 0 && d[2] == 0 && d[3] == 0 && StartsWith(d, 40, " EMF"))
    return FileKind::Emf;
  if (n >= 4 && d[0] == 0xD7 && d[1] == 0xCD && d[2] == 0xC6 && d[3] == 0x9A) return FileKind::Wmf;
  if (n >= 6 && (d[0] == 1 || d[0] == 2) && d[1] == 0 && d[2] == 9 && d[3] == 0 && d[4] == 0 &&
      (d[5] == 1 || d[5] == 3))
    return FileKind::Wmf;
  int format = IFF_UNKNOWN;
  if (n >= 12 && findFileFormatBuffer(d.data(), &format) == 0) {
    switch (format) {
      case IFF_JFIF_JPEG:
      case IFF_PNG:
      case IFF_PNM:
      case IFF_GIF:
      case IFF_JP2:
      case IFF_WEBP:
        return FileKind::Leptonica;
      default:
        if (L_FORMAT_IS_TIFF(format)) return FileKind::Leptonica;
    }
  }
  // PCX: manufacturer 10, a known version, RLE or none, a known pixel size.
  if (n >= 128 && d[0] == 0x0A && d[1] <= 5 && d[1] != 1 && d[2] <= 1 &&
      (d[3] == 1 || d[3] == 2 || d[3] == 4 || d[3] == 8))
    return FileKind::Pcx;
  static const char kTgaFooter[] = "TRUEVISION-XFILE.";
  if (n >= 44 && std::memcmp(d.data() + n - 18, kTgaFooter, 18) == 0) return FileKind::Tga;
  if (ext == ".PCX") return FileKind::Pcx;
  if (ext == ".TGA" || ext == ".VDA" || ext == ".ICB" || ext == ".VST") return FileKind::Tga;
  if (ext == ".BMP" || ext == ".DIB" || ext == ".RLE")
    return FileKind::Bmp;  // DIB without file header
  if (ext == ".IFF" || ext == ".LBM") return FileKind::Iff;
  if (ext == ".EMF") return FileKind::Emf;
  if (ext == ".WMF") return FileKind::Wmf;
  return FileKind::Unknown;
}

bool ReadWholeFile(const std::string& name, std::vector<uint8_t>* data, std::string* error) {
  std::error_code ec;
  const fs::file_status st = fs::status(name, ec);
  if (ec || !fs::exists(st)) {
    *error = "The file does not exist.";
    return false;
  }
  if (fs::is_directory(st)) {
    *error = "This is a folder, not a picture file.";
    return false;
  }
  // Told before opening: opening a FIFO or a device to read it could wait for ever.
  if (!fs::is_regular_file(st)) {
    *error = "This is not a regular file.";
    return false;
  }
  std::string why;
  const int fd = OpenRegularFile(name, &why);
  if (fd < 0) {
    *error = why;
    return false;
  }
  FILE* f = fdopen(fd, "rb");
  if (!f) {
    ::close(fd);
    *error = "The file cannot be opened.";
    return false;
  }
  struct stat info {};
  if (fstat(fileno(f), &info) != 0) info.st_size = 0;
  // A picture the library can hold has at most 2^28 pixels; no sane file of one is
  // larger than 4 GiB.
  if (uint64_t(info.st_size) > (uint64_t(4) << 30)) {
    std::fclose(f);
    *error = "The file is too large to be a picture.";
    return false;
  }
  data->resize(size_t(info.st_size));
  const size_t got = data->empty() ? 0 : std::fread(data->data(), 1, data->size(), f);
  const bool failed = std::ferror(f);
  std::fclose(f);
  if (failed || got != data->size()) {
    *error = "The file could not be read completely.";
    return false;
  }
  if (data->empty()) {
    *error = "The file is empty.";
    return false;
  }
  return true;
}

int32_t DpiToPelsPerMeter(int32_t dpi) {
  return dpi > 0 ? int32_t(std::lround(dpi / 0.0254)) : 11811;
}

int32_t PelsPerMeterToDpi(int32_t ppm) {
  return ppm > 0 ? int32_t(std::lround(ppm * 0.0254)) : 300;
}

// Copies a Leptonica image into a new RasterImage, keeping depth and palette as the
// comment at the top of the file says.
bool FromPix(PIX* pix, RasterImage* out, std::string* error) {
  PIX* own = nullptr;
  if (pixGetDepth(pix) == 16)
    pix = own = pixConvert16To8(pix, L_MS_BYTE);
  else if (pixGetDepth(pix) == 24)
    pix = own = pixConvert24To32(pix);
  if (!pix) {
    *error = "Not enough memory for the picture.";
    return false;
  }
  const int32_t w = pixGetWidth(pix), h = pixGetHeight(pix), d = pixGetDepth(pix);
  const int32_t wpl = pixGetWpl(pix);
  l_uint32* data = pixGetData(pix);
  PIXCMAP* cmap = pixGetColormap(pix);
  bool ok = false;
  if (d == 32) {
    const bool alpha = pixGetSpp(pix) == 4;
    ok = codecs::MakeImage(out, w, h, 24, nullptr, 0, error);
    for (int32_t y = 0; ok && y < h; ++y) {
      const l_uint32* line = data + int64_t(y) * wpl;
      uint8_t* dst = DIBRow(*out, h - 1 - y);
      for (int32_t x = 0; x < w; ++x) {
        const l_uint32 px = line[x];
        uint8_t r = uint8_t(px >> 24), g = uint8_t(px >> 16), b = uint8_t(px >> 8);
        if (alpha) {
          const uint32_t a = px & 0xFF;
          r = codecs::OverWhite(r, a), g = codecs::OverWhite(g, a), b = codecs::OverWhite(b, a);
        }
        dst[3 * x] = b, dst[3 * x + 1] = g, dst[3 * x + 2] = r;
      }
    }
  } else if (d == 1 || d == 2 || d == 4 || d == 8) {
    std::vector<RgbQuad> palette;
    if (cmap) {
      for (int32_t i = 0; i < pixcmapGetCount(cmap) && i < 256; ++i) {
        l_int32 r = 0, g = 0, b = 0;
        pixcmapGetColor(cmap, i, &r, &g, &b);
        palette.push_back({uint8_t(b), uint8_t(g), uint8_t(r), 0});
      }
    } else if (d == 1) {
      palette = {{255, 255, 255, 0}, {0, 0, 0, 0}};  // Leptonica: 1 is black
    } else {
      palette = codecs::GreyPalette(1 << d);
    }
    const int32_t bits = d == 2 ? 4 : d;
    ok = codecs::MakeImage(out, w, h, bits, palette.data(), int32_t(palette.size()), error);
    for (int32_t y = 0; ok && y < h; ++y) {
      const l_uint32* line = data + int64_t(y) * wpl;
      uint8_t* dst = DIBRow(*out, h - 1 - y);
      if (d == 2) {
        for (int32_t x = 0; x < w; ++x) codecs::SetRowIndex(dst, 4, x, GET_DATA_DIBIT(line, x));
        continue;
      }
      // Leptonica keeps the first pixel in the most significant bits of each 32-bit word;
      // both strides are the row's bits rounded up to whole 32-bit words.
      const int32_t words = std::min(out->stride / 4, wpl);
      for (int32_t k = 0; k < words; ++k) {
        const uint32_t word = __builtin_bswap32(line[k]);
        std::memcpy(dst + 4 * k, &word, 4);
      }
    }
  } else {
    *error = "Pictures of " + std::to_string(d) + " bits per pixel cannot be read.";
  }
  if (ok) {
    auto* info = reinterpret_cast<BitmapInfoHeader*>(out->header);
    info->biXPelsPerMeter = DpiToPelsPerMeter(pixGetXRes(pix));
    info->biYPelsPerMeter = DpiToPelsPerMeter(pixGetYRes(pix));
  }
  pixDestroy(&own);
  return ok;
}

// ---- plain grey and colour PNG through libpng ----

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void ReadPngBytes(png_structp png, png_bytep dest, png_size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->size - source->pos < length) png_error(png, "cut off");
  std::memcpy(dest, source->data + source->pos, length);
  source->pos += length;
}

void QuietPngWarning(png_structp, png_const_charp) {}
// libpng's errors end in a longjmp to the setjmp of the stage that was running.
void PngErrorJump(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

struct PngHeader {
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  bool transparency = false;
  png_uint_32 xPerMetre = 0, yPerMetre = 0;  // 0: no resolution in metres
};

// The stages that libpng may leave by longjmp hold no C++ object, so none is skipped.
bool ReadPngHeader(png_structp png, png_infop info, PngHeader* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_get_IHDR(png, info, &header->width, &header->height, &header->depth, &header->colourType,
               &header->interlace, nullptr, nullptr);
  header->transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_uint_32 x = 0, y = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER)
    header->xPerMetre = x, header->yPerMetre = y;
  return true;
}

// Rows arrive top first; the image's memory rows run bottom-up. Grey arrives as grey in
// all three channels when the image has 24 bits; colour arrives as it is.
bool ReadPngRows(png_structp png, png_infop info, bool colourPng, RasterImage* image) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (colourPng) {
    png_set_bgr(png);  // the image's rows hold blue, green, red
    png_read_update_info(png, info);
  } else if (DIBBitCount(*image) == 24) {
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
  }
  const int32_t h = DIBHeight(*image);
  for (int32_t y = 0; y < h; ++y) png_read_row(png, DIBRow(*image, h - 1 - y), nullptr);
  png_read_end(png, info);
  return true;
}

// Leptonica's reading of a pHYs value: whole pixels per inch, rounded.
int32_t PngDpi(png_uint_32 perMetre) {
  return int32_t(float(perMetre) / 39.37f + 0.5f);
}

enum class PngResult { Done, NotPlain, Failed };

// Reads an 8-bit grey or colour, non-interlaced PNG without transparency into `out` as
// FromPix would make it from Leptonica's reading (grey: 8 bits, grey ramp; colour: 24 bits;
// Leptonica's resolution), straight into the image's rows, without Leptonica's picture of
// 32 bits a pixel in between; grey with `greyBits` 24 arrives as 24 bits instead (each
// pixel the colour of its grey). Any other PNG answers NotPlain and is left to Leptonica.
PngResult DecodePlainPng(const std::vector<uint8_t>& d, int32_t greyBits, RasterImage* out,
                         std::string* error) {
  struct Reader {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorJump, QuietPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
  } reader;
  if (!reader.png || !reader.info) return PngResult::NotPlain;
  PngSource source{d.data(), d.size(), 0};
  png_set_read_fn(reader.png, &source, ReadPngBytes);
  PngHeader header;
  if (!ReadPngHeader(reader.png, reader.info, &header)) return PngResult::NotPlain;
  const bool colour = header.colourType == PNG_COLOR_TYPE_RGB;
  if (header.depth != 8 || (header.colourType != PNG_COLOR_TYPE_GRAY && !colour) ||
      header.interlace != PNG_INTERLACE_NONE || header.transparency)
    return PngResult::NotPlain;
  const std::vector<RgbQuad> ramp = codecs::GreyPalette(256);
  const bool made =
      colour
          ? codecs::MakeImage(out, header.width, header.height, 24, nullptr, 0, error)
          : codecs::MakeImage(out, header.width, header.height, greyBits, ramp.data(), 256, error);
  if (!made) return PngResult::Failed;
  if (!ReadPngRows(reader.png, reader.info, colour, out)) {
    deldib(out);
    std::memset(out, 0, sizeof(*out));
    *error = "The picture file is damaged or truncated.";
    return PngResult::Failed;
  }
  auto* info = reinterpret_cast<BitmapInfoHeader*>(out->header);
  info->biXPelsPerMeter = DpiToPelsPerMeter(PngDpi(header.xPerMetre));
  info->biYPelsPerMeter = DpiToPelsPerMeter(PngDpi(header.yPerMetre));
  return PngResult::Done;
}

// A plain PBM may write its bits without blanks between them ("0110"), as pnmtoplainpnm
// does; Leptonica reads each bit as a number of its own. The copy has a blank after every
// bit of the raster, which is the same picture.
std::vector<uint8_t> PlainPbmWithBlanks(const std::vector<uint8_t>& d) {
  size_t pos = 2;                                              // after "P1"
  for (int token = 0; token < 2 && pos < d.size(); ++token) {  // width, height
    while (pos < d.size() && (std::isspace(d[pos]) || d[pos] == '#')) {
      if (d[pos] == '#')
        while (pos < d.size() && d[pos] != '\n') ++pos;
      else
        ++pos;
    }
    while (pos < d.size() && std::isdigit(d[pos])) ++pos;
  }
  std::vector<uint8_t> spaced(d.begin(), d.begin() + std::ptrdiff_t(pos));
  spaced.reserve(2 * d.size());
  for (bool comment = false; pos < d.size(); ++pos) {
    comment = d[pos] == '#' || (comment && d[pos] != '\n');
    spaced.push_back(d[pos]);
    if (!comment && (d[pos] == '0' || d[pos] == '1')) spaced.push_back(' ');
  }
  return spaced;
}

// Leptonica reads a netpbm header's numbers into 32 bits, where 2^32 + 1 becomes 1; the
// numbers are checked whole first.
bool CheckPnmSizes(const std::vector<uint8_t>& d, std::string* error) {
  codecs::PnmHeader header;
  if (!codecs::ReadPnmHeader(d.data(), d.size(), &header)) return true;  // Leptonica judges
  if (header.width <= INT32_MAX && header.height <= INT32_MAX && header.maxValue <= 65535)
    return true;
  *error = "The PNM picture's header is damaged (" + std::to_string(header.width) + " x " +
           std::to_string(header.height) + " pixels, largest value " +
           std::to_string(header.maxValue) + ").";
  return false;
}

// libpng and libjpeg write their warnings and errors straight to standard error, where
// they would stand before and apart from the program's own message. While a capture lives,
// standard error goes to a temporary file; Text() gives what was written.
class StandardErrorCapture {
 public:
  StandardErrorCapture() {
    std::fflush(stderr);
    file_ = std::tmpfile();
    saved_ = file_ ? ::dup(STDERR_FILENO) : -1;
    if (saved_ >= 0) ::dup2(fileno(file_), STDERR_FILENO);
  }
  ~StandardErrorCapture() {
    Restore();
    if (file_) std::fclose(file_);
  }
  StandardErrorCapture(const StandardErrorCapture&) = delete;
  StandardErrorCapture& operator=(const StandardErrorCapture&) = delete;
  // Ends the capture and returns its text, without line breaks at its end.
  std::string Text() {
    Restore();
    std::string text;
    if (!file_) return text;
    std::rewind(file_);
    char buffer[512];
    size_t n;
    while (text.size() < 4096 && (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0)
      text.append(buffer, n);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  FILE* file_ = nullptr;
  int saved_ = -1;
};

// Leptonica reads a GIF's transparent colour as the colour it stands for; a transparent
// part of a page is paper, as with PNG alpha.
void LayTransparencyOverWhite(const std::vector<uint8_t>& d, PIX* pix) {
  const int32_t transparent = codecs::ScanGif(d.data(), d.size()).transparentIndex;
  PIXCMAP* cmap = pixGetColormap(pix);
  if (transparent >= 0 && cmap && transparent < pixcmapGetCount(cmap))
    pixcmapResetColor(cmap, transparent, 255, 255, 255);
}

// A GIF whose screen or any frame is larger than the limit is refused before it is decoded.
bool CheckGifSizes(const std::vector<uint8_t>& d, int64_t maxPixels, std::string* error) {
  const codecs::GifFacts facts = codecs::ScanGif(d.data(), d.size());
  const int64_t largest = std::max(facts.screenPixels, facts.largestFramePixels);
  const int64_t limit = std::min(maxPixels, kMaxImagePixels);
  if (largest <= limit) return true;
  *error = "The picture is too large (a frame of " + std::to_string((largest + 999999) / 1000000) +
           " megapixels; the limit is " + std::to_string(limit / 1000000) + " megapixels).";
  return false;
}

// directColour: a plain grey PNG arrives as 24 bits (see OpenDibLimited).
bool DecodeWithLeptonica(const std::vector<uint8_t>& given, int64_t maxPixels, bool directColour,
                         RasterImage* out, std::string* error) {
  QuietLeptonica();
  const std::vector<uint8_t> spaced =
      StartsWith(given, 0, "P1") ? PlainPbmWithBlanks(given) : std::vector<uint8_t>();
  const std::vector<uint8_t>& d = spaced.empty() ? given : spaced;
  StandardErrorCapture libraryMessages;
  // Leptonica reads a whole GIF (every frame, each at its own size) even for its header.
  if (StartsWith(d, 0, "GIF8") && !CheckGifSizes(d, maxPixels, error)) return false;
  if (StartsWith(d, 0, "P") && !CheckPnmSizes(d, error)) return false;
  l_int32 format = 0, w = 0, h = 0, bps = 0, spp = 0, iscmap = 0;
  if (!LooksComplete(d) ||
      pixReadHeaderMem(d.data(), d.size(), &format, &w, &h, &bps, &spp, &iscmap) != 0) {
    *error = "The picture file is damaged or truncated.";
    return false;
  }
  // Checked before decoding, so that a lying header cannot make Leptonica allocate.
  if (w <= 0 || h <= 0) {
    *error = "The picture has no pixels (width or height is 0).";
    return false;
  }
  if (!codecs::CheckPixelCount(w, h, maxPixels, error)) return false;
  if (format == IFF_PNG && bps == 8 && (spp == 1 || spp == 3) && !iscmap) {
    const PngResult plain = DecodePlainPng(d, directColour ? 24 : 8, out, error);
    if (plain != PngResult::NotPlain) return plain == PngResult::Done;
  }
  // A JPEG that libjpeg decodes with only a warning (an unknown JFIF revision, a few
  // stray bytes before a marker) is a picture all the same; the warning goes to the log.
  l_int32 jpegWarnings = 0;
  PIX* pix = format == IFF_JFIF_JPEG ? pixReadMemJpeg(d.data(), d.size(), 0, 1, &jpegWarnings,
                                                      L_JPEG_CONTINUE_WITH_BAD_DATA)
                                     : pixReadMem(d.data(), d.size());
  const std::string said = libraryMessages.Text();
  // The header's reading and the decoding each say it: once is enough.
  if (pix && jpegWarnings > 0)
    LibraryMessage("the JPEG decoder warned: " + said.substr(said.rfind('\n') + 1));
  if (!pix) {
    *error = "The picture file is damaged or truncated.";
    if (!said.empty()) *error += " (" + said + ")";
    return false;
  }
  if (format == IFF_GIF) LayTransparencyOverWhite(d, pix);
  const bool ok = FromPix(pix, out, error);
  pixDestroy(&pix);
  return ok;
}

bool DecodeBytes(const std::vector<uint8_t>& data, const std::string& name, int64_t maxPixels,
                 bool directColour, RasterImage* out, std::string* error) {
  switch (Detect(data, UpperExtension(name))) {
    case FileKind::Bmp:
      return codecs::DecodeBmp(data.data(), data.size(), out, error, maxPixels);
    case FileKind::Pcx:
      return codecs::DecodePcx(data.data(), data.size(), out, error, maxPixels);
    case FileKind::Tga:
      return codecs::DecodeTga(data.data(), data.size(), out, error, maxPixels);
    case FileKind::Iff:
      return codecs::DecodeIff(data.data(), data.size(), out, error, maxPixels);
    case FileKind::Leptonica:
      return DecodeWithLeptonica(data, maxPixels, directColour, out, error);
    case FileKind::Emf:
      *error = "EMF pictures (Windows metafiles) cannot be read on Linux.";
      return false;
    case FileKind::Wmf:
      *error = "WMF pictures (Windows metafiles) cannot be read on Linux.";
      return false;
    case FileKind::Unknown:
      break;
  }
  *error = "The file is not a picture in a known format.";
  return false;
}

// Turns a failed decoding into the record OpenDib promises: null pixels, the reason inside.
void SetFailure(RasterImage* out, const std::string& error) {
  deldib(out);
  std::memset(out, 0, sizeof(*out));
  DIBSetErrorText(*out, error.empty() ? "The picture could not be read." : error);
}

// ---- saving ----

struct PixHolder {
  PIX* pix = nullptr;
  ~PixHolder() { pixDestroy(&pix); }
};

// A Leptonica image of the same pixels. 1-bit pictures in black and white become Leptonica's
// plain 1-bit form (1 = black), so that TIFF can use G4; other palettes become colour maps.
PIX* ToPix(const RasterImage& image) {
  const int32_t w = DIBWidth(image), h = DIBHeight(image), bits = DIBBitCount(image);
  const RgbQuad* table = DIBColorTable(image);
  auto is = [](const RgbQuad& c, uint8_t v) { return c.red == v && c.green == v && c.blue == v; };
  bool invert = false, plain = false;
  if (bits == 1) {
    plain = (is(table[0], 255) && is(table[1], 0)) || (is(table[0], 0) && is(table[1], 255));
    invert = plain && is(table[0], 0);
  } else if (bits == 8) {
    plain = codecs::IsGreyRamp(image);
  }
  PIX* pix = pixCreate(w, h, bits == 24 ? 32 : bits);
  if (!pix) return nullptr;
  pixSetResolution(pix, PelsPerMeterToDpi(DIBInfo(image)->biXPelsPerMeter),
                   PelsPerMeterToDpi(DIBInfo(image)->biYPelsPerMeter));
  if (bits <= 8 && !plain) {
    PIXCMAP* cmap = pixcmapCreate(bits);
    for (int32_t i = 0; i < (1 << bits); ++i)
      pixcmapAddColor(cmap, table[i].red, table[i].green, table[i].blue);
    pixSetColormap(pix, cmap);
  }
  const int32_t wpl = pixGetWpl(pix);
  l_uint32* data = pixGetData(pix);
  for (int32_t y = 0; y < h; ++y) {
    l_uint32* line = data + int64_t(y) * wpl;
    const uint8_t* src = DIBRow(image, h - 1 - y);
    if (bits == 24) {
      for (int32_t x = 0; x < w; ++x)
        line[x] = l_uint32(src[3 * x + 2]) << 24 | l_uint32(src[3 * x + 1]) << 16 |
                  l_uint32(src[3 * x]) << 8;
      continue;
    }
    const int32_t words = std::min(image.stride / 4, wpl);
    for (int32_t k = 0; k < words; ++k) {
      uint32_t word;
      std::memcpy(&word, src + 4 * k, 4);
      line[k] = __builtin_bswap32(invert ? ~word : word);
    }
  }
  if (bits == 24) pixSetSpp(pix, 3);
  return pix;
}

// Runs a Leptonica writer into memory.
template <typename Writer>
bool EncodeWithLeptonica(const RasterImage& image, std::vector<uint8_t>* out, std::string* error,
                         const char* what, Writer write) {
  if (!codecs::CheckSavable(image, error)) return false;
  QuietLeptonica();
  PixHolder pix;
  pix.pix = ToPix(image);
  if (!pix.pix) {
    *error = "Not enough memory to save the picture.";
    return false;
  }
  l_uint8* bytes = nullptr;
  size_t size = 0;
  if (write(pix.pix, &bytes, &size) != 0 || !bytes) {
    lept_free(bytes);
    *error = std::string("The picture could not be written as ") + what + ".";
    return false;
  }
  out->assign(bytes, bytes + size);
  lept_free(bytes);
  return true;
}

bool EncodeJpeg(const RasterImage& image, std::vector<uint8_t>* out, std::string* error) {
  return EncodeWithLeptonica(image, out, error, "JPEG", [](PIX* pix, l_uint8** b, size_t* n) {
    // JPEG has neither palettes nor 1 bit: grey or RGB first.
    PixHolder flat;
    if (pixGetColormap(pix))
      flat.pix = pixRemoveColormap(pix, REMOVE_CMAP_BASED_ON_SRC);
    else if (pixGetDepth(pix) == 1)
      flat.pix = pixConvert1To8(nullptr, pix, 255, 0);
    if (flat.pix) pixCopyResolution(flat.pix, pix);
    return pixWriteMemJpeg(b, n, flat.pix ? flat.pix : pix, 90, 0);
  });
}

bool EncodeGif(const RasterImage& image, std::vector<uint8_t>* out, std::string* error) {
  // Leptonica keeps every colour of a picture with at most 256 of them and quantises
  // richer 24-bit pictures with its octree (dithered) to 256 colours.
  return EncodeWithLeptonica(image, out, error, "GIF", [](PIX* pix, l_uint8** b, size_t* n) {
    return pixWriteMemGif(b, n, pix);
  });
}

bool EncodeTiff(const RasterImage& image, std::vector<uint8_t>* out, std::string* error) {
  return EncodeWithLeptonica(image, out, error, "TIFF", [](PIX* pix, l_uint8** b, size_t* n) {
    const bool g4 = pixGetDepth(pix) == 1 && !pixGetColormap(pix);
    return pixWriteMemTiff(b, n, pix, g4 ? IFF_TIFF_G4 : IFF_TIFF_LZW);
  });
}

}  // namespace

bool LooksLikePictureFile(const std::string& fileName) {
  return ReadableFormatOfFile(fileName) != nullptr;
}

void OpenDib(RasterImage* out, const char* fileName, int32_t, void*) {
  OpenDibLimited(out, fileName, kMaxImagePixels);
}

void OpenDibLimited(RasterImage* out, const char* fileName, int64_t maxPixels, bool directColour) {
  std::memset(out, 0, sizeof(*out));
  std::string error;
  bool ok = false;
  try {
    std::vector<uint8_t> data;
    if (!fileName || !*fileName)
      error = "No file name was given.";
    else if (ReadWholeFile(fileName, &data, &error))
      ok = DecodeBytes(data, fileName, maxPixels, directColour, out, &error);
  } catch (const std::bad_alloc&) {
    error = "Not enough memory for the picture.";
  }
  if (!ok) SetFailure(out, error);
}

void DecodeDib(RasterImage* out, const uint8_t* data, size_t size, const std::string& fileName,
               int64_t maxPixels) {
  std::memset(out, 0, sizeof(*out));
  std::string error;
  bool ok = false;
  try {
    ok = DecodeBytes(std::vector<uint8_t>(data, data + size), fileName, maxPixels, false, out,
                     &error);
  } catch (const std::bad_alloc&) {
    error = "Not enough memory for the picture.";
  }
  if (!ok) SetFailure(out, error);
}

bool SaveDib(const RasterImage& image, const char* fileName, int32_t formatCode, void*,
             std::string* error) {
  std::string message;
  bool ok = false;
  try {
    std::vector<uint8_t> bytes;
    bool encoded = false;
    if (!fileName || !*fileName) {
      message = "No file name was given.";
    } else {
      switch (formatCode) {
        case 3:  // BMP
        case 4:  // DIB
          encoded = codecs::EncodeBmp(image, false, &bytes, &message);
          break;
        case 5:
          encoded = EncodeGif(image, &bytes, &message);
          break;
        case 6:  // IFF
        case 9:  // LBM
          encoded = codecs::EncodeIff(image, &bytes, &message);
          break;
        case 7:  // JIF
        case 8:  // JPG
          encoded = EncodeJpeg(image, &bytes, &message);
          break;
        case 10:
          encoded = codecs::EncodePcx(image, &bytes, &message);
          break;
        case 11:
          encoded = codecs::EncodeBmp(image, true, &bytes, &message);
          break;
        case 12:
          encoded = codecs::EncodeTga(image, true, &bytes, &message);
          break;
        case 13:
          encoded = EncodeTiff(image, &bytes, &message);
          break;
        default:
          message = "Unknown picture format " + std::to_string(formatCode) + ".";
      }
    }
    ok = encoded &&
         WritePictureFileAtomically(
             fileName, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
             &message);
  } catch (const std::bad_alloc&) {
    message = "Not enough memory to save the picture.";
    ok = false;
  }
  if (error) *error = ok ? std::string() : message;
  return ok;
}

const char* GetDIBSaveFilter() {
  return "BMP - Windows Bitmap|*.BMP|"
         "DIB - Windows Device Independent Bitmap|*.DIB|"
         "GIF - CompuServe Graphics Interchange|*.GIF|"
         "IFF - Amiga Interchange File Format|*.IFF|"
         "JIF - JPEG File Interchange Format|*.JIF|"
         "JPG - JPEG File Interchange Format|*.JPG|"
         "LBM - Deluxe Paint Bitmap|*.LBM|"
         "PCX - ZSoft Paintbrush|*.PCX|"
         "RLE - Windows Run-Length Encoded Bitmap|*.RLE|"
         "TGA - Truevision Targa|*.TGA|"
         "TIF - Tagged Image File Format|*.TIF";
}

// ---- shared with the reading of single pages (core/RasterDecode.h) ----

void QuietRasterLibrary() {
  QuietLeptonica();
}

bool DecodeLeptonicaBytes(const std::vector<uint8_t>& bytes, int64_t maxPixels, RasterImage* out,
                          std::string* error) {
  return DecodeWithLeptonica(bytes, maxPixels, false, out, error);
}

bool RasterFromPix(Pix* pix, RasterImage* out, std::string* error) {
  return FromPix(pix, out, error);
}
