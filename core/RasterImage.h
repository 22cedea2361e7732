// RasterImage: the record of an in-memory device-independent bitmap, and the raster
// library that creates, frees, reads, writes, opens and saves such images.
//
// Pixel rows are stored bottom-up: memory row 0 is the bottom row of the picture, so
// pixel (x, y) with y counted from the top lies in memory row H - 1 - y. A 24-bit pixel is
// blue, green, red. Rows are padded to a multiple of 4 bytes; always step by `stride`.
//
// Ownership: a RasterImage is a value; copying the record copies the pointers, not the
// pixels. Exactly one copy of each image is released with deldib. A null `pixels` means
// there is no image (a failed create, open or scan); deldib on such a record is harmless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // always positive: rows bottom-up
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

struct RgbQuad {
  uint8_t blue, green, red, reserved;
};

struct LogPaletteEntry {
  uint8_t red, green, blue, flags;
};

struct LogPalette {
  uint16_t version;
  uint16_t count;
  LogPaletteEntry entries[256];
};
#pragma pack(pop)

static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(sizeof(LogPalette) == 1028);

// Size of the block behind `header`: the info header and a full 256-entry colour table.
constexpr int kBitmapInfoSize = 40 + 256 * 4;

struct RasterImage {
  uint8_t* header;  // BitmapInfoHeader followed by the colour table (RgbQuad) at header + 40
  uint32_t libReserved1[2];  // [0]: length of a directly mapped pixel block, else 0
  uint8_t* pixels;           // first byte of memory row 0; null when there is no image
  int32_t stride;            // bytes from one memory row to the next
  uint8_t paletteInUse;
  uint8_t libReserved2;
  // Colours of palette indexes for 1-, 4- and 8-bit images. After a failed OpenDib the
  // entries hold a NUL-terminated error description instead (see DIBErrorText).
  LogPalette logPalette;
  uint16_t libReserved3;
  uint32_t paletteHandle;
  uint8_t libReserved4[28];
};

// ---- accessors ----
inline const BitmapInfoHeader* DIBInfo(const RasterImage& image) {
  return reinterpret_cast<const BitmapInfoHeader*>(image.header);
}
int32_t DIBWidth(const RasterImage& image);
int32_t DIBHeight(const RasterImage& image);
int32_t DIBBitCount(const RasterImage& image);
int64_t PowerOfTwo(int32_t n);
int64_t DIBColorCount(const RasterImage& image);
RgbQuad* DIBColorTable(const RasterImage& image);
// Address of memory row `row` (0 = bottom of the picture).
inline uint8_t* DIBRow(const RasterImage& image, int32_t row) {
  return image.pixels + int64_t(row) * image.stride;
}
// Address of the first byte of pixel (x, y), y counted from the top; 24-bit images only.
inline uint8_t* DIBPixel24(const RasterImage& image, int32_t x, int32_t y) {
  return DIBRow(image, DIBHeight(image) - 1 - y) + 3 * int64_t(x);
}
// The error description that a failed OpenDib left in the record.
std::string DIBErrorText(const RasterImage& image);
void DIBSetErrorText(RasterImage& image, const std::string& text);

// ---- raster library ----
// Largest picture the library creates, in pixels: keeps a single image below 2 GiB of
// 24-bit rows and every offset within 32 bits.
constexpr int64_t kMaxImagePixels = int64_t(1) << 28;

// Makes a new image of the given size and depth (1, 4, 8, 16, 24 or 32 bits) with a
// standard stride and zeroed pixels. colorSource, when not null, is a BITMAPINFO whose
// first `colorCount` table entries are copied (also into logPalette). On failure (bad
// size, too large, no memory) `out.pixels` is null and the error text says why.
void newdib(RasterImage* out, int32_t width, int32_t height, int32_t bitsPerPixel,
            const uint8_t* colorSource, int32_t colorCount);
// Frees all memory of the image and nulls its pointers. Harmless on a null image.
void deldib(RasterImage* image);
// Pixel values: palette index for 1, 4 and 8 bits; for 24 bits red | green << 8 |
// blue << 16. Coordinates outside the image read 0 and write nothing.
uint32_t getpixel(const RasterImage& image, int32_t x, int32_t y);
void setpixel(RasterImage& image, int32_t x, int32_t y, uint32_t value);

// Reads a picture file at its own depth (16- and 32-bit pictures arrive as 24 bits).
// On failure `out.pixels` is null and DIBErrorText(out) describes the problem.
void OpenDib(RasterImage* out, const char* fileName, int32_t reserved, void* ownerWindow);
// OpenDib that refuses a picture of more than maxPixels pixels before allocating its pixels.
// directColour: the commonest page, a plain 8-bit grey PNG, arrives as 24 bits (each pixel
// the colour of its grey, as a conversion to 24 bits would make it), which spares the
// caller that conversion; every other picture arrives at its own depth as with OpenDib.
void OpenDibLimited(RasterImage* out, const char* fileName, int64_t maxPixels,
                    bool directColour = false);
// Reads a picture held in memory as OpenDibLimited reads a file; `fileName` only tells the
// formats with weak signatures (PCX, TGA) by their extension.
void DecodeDib(RasterImage* out, const uint8_t* data, size_t size, const std::string& fileName,
               int64_t maxPixels);
// True when the file begins as a picture of a format the library reads (by its first
// bytes, whatever its name); false for text and for files that cannot be read.
bool LooksLikePictureFile(const std::string& fileName);
// Writes the image in the format of `formatCode` (3 + the index in the save filter, see
// GetDIBSaveFilter). Writes a temporary file beside the target and renames it, so an
// existing file is never left half-written. Returns false (with `error` set) on failure.
bool SaveDib(const RasterImage& image, const char* fileName, int32_t formatCode, void* ownerWindow,
             std::string* error = nullptr);
// File-dialog filter of the savable formats: BMP, DIB, GIF, IFF, JIF, JPG, LBM, PCX, RLE,
// TGA, TIF; entry k (from 1) has format code k + 2.
const char* GetDIBSaveFilter();
