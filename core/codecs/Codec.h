// The raster library's own picture codecs, for the formats Leptonica lacks: BMP/DIB
// (uncompressed and RLE4/RLE8), PCX, TGA and IFF (ILBM and PBM). Each decoder reads a
// whole file held in memory and fills a RasterImage; each encoder turns an image of 1, 4,
// 8 or 24 bits into the bytes of a file.
//
// Decoders never read outside `data` and never write outside the image they made: every
// length in a header is checked against what is left of the file before it is used. On
// failure they return false with `out->pixels` null and a sentence in `error`. A picture of
// more than `maxPixels` pixels is refused before its pixel memory is allocated.
//
// Depth and palette of a decoded picture: indexed pictures keep their indexes, at 1, 4 or
// 8 bits (2-bit pictures widen to 4), with the real colours in the colour table and
// logPalette (all 2, 16 or 256 entries filled, unused ones black); grey pictures are 8 bits
// with a grey palette; every direct-colour picture (15, 16, 24, 32 bits) arrives as 24
// bits, its alpha laid over white.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/RasterImage.h"

namespace codecs {

bool DecodeBmp(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels = kMaxImagePixels);
bool DecodePcx(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels = kMaxImagePixels);
bool DecodeTga(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels = kMaxImagePixels);
bool DecodeIff(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels = kMaxImagePixels);

// BMP: uncompressed, or with rle = true RLE8 for 8-bit and RLE4 for 1- and 4-bit pictures
// (a 1-bit picture is written as 4 bits with the same two colours); RLE has no 24-bit
// form, so a 24-bit picture is then written uncompressed.
bool EncodeBmp(const RasterImage& image, bool rle, std::vector<uint8_t>* out, std::string* error);
// PCX version 5, RLE: 1 bit as one plane, 4 bits as four bit planes with the header palette,
// 8 bits with the 256-colour palette at the end, 24 bits as three 8-bit planes.
bool EncodePcx(const RasterImage& image, std::vector<uint8_t>* out, std::string* error);
// TGA, run-length coded unless rle is false: 24 bits as true colour, an 8-bit grey picture as
// grey, other indexed pictures as 8-bit colour-mapped.
bool EncodeTga(const RasterImage& image, bool rle, std::vector<uint8_t>* out, std::string* error);
// IFF ILBM with ByteRun1: 1, 4 or 8 bit planes with CMAP; 24-bit pictures as 24 planes.
bool EncodeIff(const RasterImage& image, std::vector<uint8_t>* out, std::string* error);

// What the blocks of a GIF file tell without decoding it: the number of complete frames,
// the transparent palette index of the first frame (-1: none), and the sizes that a
// decoder allocates: the logical screen and the largest frame (which may exceed it).
struct GifFacts {
  int32_t frames = 0;
  int32_t transparentIndex = -1;
  int64_t screenPixels = 0;
  int64_t largestFramePixels = 0;
};
struct GifFacts ScanGif(const uint8_t* data, size_t size);

// The numbers of a netpbm header ("P1" to "P6"): width, height and, but for bitmaps, the
// largest sample value, each after white space or comments. Numbers are read in full, so
// that one beyond 32 bits is seen as such (a number past 2^63 reads as INT64_MAX). False
// when the header does not hold them all.
struct PnmHeader {
  int32_t numbers = 0;  // 2 for bitmaps, else 3
  int64_t width = 0, height = 0, maxValue = 0;
};
bool ReadPnmHeader(const uint8_t* data, size_t size, PnmHeader* header);

// ---- shared helpers of the codecs ----

// Bounds-checked reading of a byte buffer. Reads past the end return 0 and clear ok().
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  size_t remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  void Seek(size_t pos) {
    if (pos > size_) ok_ = false;
    pos_ = pos <= size_ ? pos : size_;
  }
  void Skip(size_t n) { Seek(n <= remaining() ? pos_ + n : size_ + 1); }
  uint8_t U8() {
    if (pos_ >= size_) {
      ok_ = false;
      return 0;
    }
    return data_[pos_++];
  }
  uint16_t U16LE() {
    uint16_t lo = U8();
    return uint16_t(lo | (U8() << 8));
  }
  uint32_t U32LE() {
    uint32_t lo = U16LE();
    return lo | (uint32_t(U16LE()) << 16);
  }
  uint16_t U16BE() {
    uint16_t hi = U8();
    return uint16_t((hi << 8) | U8());
  }
  uint32_t U32BE() {
    uint32_t hi = U16BE();
    return (hi << 16) | U16BE();
  }
  // Copies n bytes; false (and nothing copied) when fewer are left.
  bool Read(uint8_t* dest, size_t n) {
    if (n > remaining()) {
      ok_ = false;
      return false;
    }
    std::memcpy(dest, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  const uint8_t* here() const { return data_ + pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

inline void PutU8(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x));
}
inline void PutU16LE(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
inline void PutU32LE(std::vector<uint8_t>& v, uint32_t x) {
  PutU16LE(v, x);
  PutU16LE(v, x >> 16);
}
inline void PutU16BE(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(uint8_t(x >> 8));
  v.push_back(uint8_t(x));
}
inline void PutU32BE(std::vector<uint8_t>& v, uint32_t x) {
  PutU16BE(v, x >> 16);
  PutU16BE(v, x);
}

// Makes an image with newdib and, for 1, 4 and 8 bits, installs `palette` (count entries,
// the rest of the 2^bits entries black). False with `error` set when none was made.
bool MakeImage(RasterImage* out, int64_t width, int64_t height, int32_t bits,
               const RgbQuad* palette, int32_t count, std::string* error,
               int64_t maxPixels = kMaxImagePixels);
// False with a message when a picture of width x height has no pixels or more than
// maxPixels (never more than kMaxImagePixels) of them.
bool CheckPixelCount(int64_t width, int64_t height, int64_t maxPixels, std::string* error);
// Installs a palette into an existing indexed image: colour table and logPalette.
void SetPalette(RasterImage& image, const RgbQuad* palette, int32_t count);
// A grey ramp of `count` entries from black to white.
std::vector<RgbQuad> GreyPalette(int32_t count);
// True when the 256-entry table is the grey ramp (entry i = i, i, i).
bool IsGreyRamp(const RasterImage& image);
// Pixel index x of a memory row of a 1-, 4- or 8-bit image.
inline uint32_t RowIndex(const uint8_t* row, int32_t bits, int64_t x) {
  if (bits == 8) return row[x];
  if (bits == 4) return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
inline void SetRowIndex(uint8_t* row, int32_t bits, int64_t x, uint32_t v) {
  if (bits == 8) {
    row[x] = uint8_t(v);
  } else if (bits == 4) {
    uint8_t& b = row[x >> 1];
    b = (x & 1) ? uint8_t((b & 0xF0) | (v & 0x0F)) : uint8_t((b & 0x0F) | ((v & 0x0F) << 4));
  } else {
    const uint8_t mask = uint8_t(0x80 >> (x & 7));
    row[x >> 3] = (v & 1) ? uint8_t(row[x >> 3] | mask) : uint8_t(row[x >> 3] & ~mask);
  }
}
// Lays a colour with alpha over white paper.
inline uint8_t OverWhite(uint32_t c, uint32_t alpha) {
  return uint8_t((c * alpha + 255 * (255 - alpha) + 127) / 255);
}
// The depths the encoders accept; false with a message otherwise.
bool CheckSavable(const RasterImage& image, std::string* error);

}  // namespace codecs
