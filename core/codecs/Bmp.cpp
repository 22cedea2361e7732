// BMP and DIB files: Windows (info headers of 40 to 124 bytes) and OS/2 (12 and 64 bytes),
// 1, 4, 8, 16, 24 and 32 bits, uncompressed, bit fields, RLE8 and RLE4, bottom-up or
// top-down; a .DIB file may also lack the 14-byte file header. Written: a 40-byte info
// header, uncompressed or RLE.
//
// The in-memory image already is a bottom-up DIB with rows padded to 4 bytes, so an
// uncompressed file copies rows unchanged in both directions.
#include <algorithm>

#include "core/codecs/Codec.h"

namespace codecs {
namespace {

enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

// Extracts one channel under a bit mask and scales it to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  uint8_t Get(uint32_t px) const {
    if (!mask) return 0;
    return uint8_t(uint64_t((px & mask) >> shift) * 255 / max);
  }
};

// Run-length data of RLE8 (bits 8) or RLE4 (bits 4) into a bottom-up image.
bool DecodeRle(ByteReader& r, RasterImage& img, int32_t bits, std::string* error) {
  const int64_t w = DIBWidth(img), h = DIBHeight(img);
  int64_t x = 0, y = 0;
  auto put = [&](uint32_t v) {
    if (x < w && y < h) SetRowIndex(DIBRow(img, int32_t(y)), bits, x, v);
    ++x;
  };
  while (y < h) {
    if (r.remaining() < 2) {
      *error = "The RLE picture data end too early.";
      return false;
    }
    const uint32_t n = r.U8(), c = r.U8();
    if (n > 0) {
      for (uint32_t k = 0; k < n && x < w; ++k)
        put(bits == 8 ? c : (k & 1) ? (c & 0x0F) : (c >> 4));
    } else if (c == 0) {
      x = 0;
      ++y;
    } else if (c == 1) {
      break;
    } else if (c == 2) {
      x += r.U8();
      y += r.U8();
    } else {
      const size_t bytes = bits == 8 ? c : (c + 1) / 2;
      const size_t padded = bytes + (bytes & 1);
      if (r.remaining() < padded) {
        *error = "The RLE picture data end too early.";
        return false;
      }
      const uint8_t* p = r.here();
      for (uint32_t k = 0; k < c && x < w; ++k)
        put(bits == 8 ? p[k] : (k & 1) ? (p[k / 2] & 0x0F) : (p[k / 2] >> 4));
      r.Skip(padded);
    }
  }
  return true;
}

// Encodes one row of palette indexes as RLE8 or RLE4 (without the end-of-line mark).
void EncodeRleRow(const std::vector<uint8_t>& px, int32_t bits, std::vector<uint8_t>& out) {
  const size_t n = px.size();
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 255 && px[i + run] == px[i]) ++run;
    if (run >= 3 || i + run == n) {
      PutU8(out, uint32_t(run));
      PutU8(out, bits == 8 ? px[i] : uint32_t(px[i] << 4 | px[i]));
      i += run;
      continue;
    }
    // A literal stretch ends where a run of three or more begins.
    size_t lit = 0;
    while (i + lit < n && lit < 255) {
      if (i + lit + 2 < n && px[i + lit] == px[i + lit + 1] && px[i + lit] == px[i + lit + 2])
        break;
      ++lit;
    }
    if (lit < 3) {  // absolute mode needs at least 3 pixels
      for (size_t k = 0; k < lit; ++k) {
        PutU8(out, 1);
        PutU8(out, bits == 8 ? px[i + k] : uint32_t(px[i + k] << 4));
      }
    } else {
      PutU8(out, 0);
      PutU8(out, uint32_t(lit));
      size_t bytes = 0;
      if (bits == 8) {
        out.insert(out.end(), px.begin() + long(i), px.begin() + long(i + lit));
        bytes = lit;
      } else {
        for (size_t k = 0; k < lit; k += 2, ++bytes)
          PutU8(out, uint32_t(px[i + k] << 4 | (k + 1 < lit ? px[i + k + 1] : 0)));
      }
      if (bytes & 1) PutU8(out, 0);
    }
    i += lit;
  }
}

// What the file and info headers say.
struct BmpHeader {
  bool haveFileHeader = false;
  uint32_t pixelOffset = 0;  // from the file header
  size_t infoStart = 0;
  uint32_t headerSize = 0;
  int64_t width = 0, height = 0;  // height made positive; topDown tells the order
  bool topDown = false;
  uint32_t bits = 0, compression = kBiRgb, colorsUsed = 0;
  size_t entrySize = 4;  // bytes of a palette entry: 3 for OS/2 1.x
};

bool ReadBmpHeader(ByteReader& r, const uint8_t* data, size_t size, BmpHeader* h,
                   std::string* error) {
  h->haveFileHeader = size >= 2 && data[0] == 'B' && data[1] == 'M';
  if (h->haveFileHeader) {
    r.Skip(10);
    h->pixelOffset = r.U32LE();
  }
  h->infoStart = r.pos();
  h->headerSize = r.U32LE();
  if (h->headerSize == 12) {
    h->width = r.U16LE();
    h->height = r.U16LE();
    r.U16LE();  // planes
    h->bits = r.U16LE();
    h->entrySize = 3;
  } else if (h->headerSize >= 40 && h->headerSize <= 4096) {
    h->width = int32_t(r.U32LE());
    h->height = int32_t(r.U32LE());
    r.U16LE();
    h->bits = r.U16LE();
    h->compression = r.U32LE();
    r.Skip(12);  // image size, resolution
    h->colorsUsed = r.U32LE();
    if (h->headerSize == 64 && h->compression > kBiRle4)
      h->compression = 0xFFFF;  // OS/2 Huffman, RLE24
  } else {
    *error = "The BMP file has an unknown header.";
    return false;
  }
  if (!r.ok()) {
    *error = "The BMP file is truncated.";
    return false;
  }
  h->topDown = h->height < 0;
  if (h->topDown) h->height = -h->height;
  return true;
}

bool CheckBmpKind(const BmpHeader& h, std::string* error) {
  const uint32_t bits = h.bits, compression = h.compression;
  const bool bitsOk = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  const bool compressionOk = compression == kBiRgb || (compression == kBiRle8 && bits == 8) ||
                             (compression == kBiRle4 && bits == 4) ||
                             ((compression == kBiBitfields || compression == kBiAlphaBitfields) &&
                              (bits == 16 || bits == 32));
  if (!bitsOk || !compressionOk) {
    *error = "BMP pictures of " + std::to_string(bits) + " bits with compression " +
             std::to_string(compression) + " cannot be read.";
    return false;
  }
  if (h.topDown && (compression == kBiRle8 || compression == kBiRle4)) {
    *error = "The BMP file is corrupt (top-down RLE picture).";
    return false;
  }
  return true;
}

// Colour masks of direct-colour pictures; moves *paletteStart past masks that a 40-byte
// header is followed by.
void ReadBmpMasks(ByteReader& r, const BmpHeader& h, uint32_t masks[3], size_t* paletteStart) {
  masks[0] = 0x00FF0000, masks[1] = 0x0000FF00, masks[2] = 0x000000FF;
  if (h.bits == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
    r.Seek(h.infoStart + 40);
    for (int i = 0; i < 3; ++i) masks[i] = r.U32LE();
    if (h.headerSize == 40) *paletteStart += h.compression == kBiBitfields ? 12 : 16;
  }
}

// The colour table of an indexed picture: at most 2^bits entries, and no more than fit
// before the pixels. Moves *paletteStart past it.
std::vector<RgbQuad> ReadBmpPalette(ByteReader& r, const BmpHeader& h, size_t* paletteStart) {
  std::vector<RgbQuad> palette;
  if (h.bits > 8) return palette;
  size_t count = h.colorsUsed ? std::min<size_t>(h.colorsUsed, 256) : (size_t(1) << h.bits);
  count = std::min<size_t>(count, size_t(1) << h.bits);
  if (h.haveFileHeader && h.pixelOffset > *paletteStart)
    count = std::min(count, (h.pixelOffset - *paletteStart) / h.entrySize);
  r.Seek(*paletteStart);
  for (size_t i = 0; i < count; ++i) {
    RgbQuad q;
    q.blue = r.U8();
    q.green = r.U8();
    q.red = r.U8();
    q.reserved = 0;
    if (h.entrySize == 4) r.U8();
    palette.push_back(q);
  }
  *paletteStart += count * h.entrySize;
  return palette;
}

// Uncompressed rows: copied as they are, direct colour through the masks to 24 bits.
bool CopyBmpRows(const BmpHeader& h, const uint8_t* pixels, size_t available,
                 const uint32_t masks[3], RasterImage* out, std::string* error) {
  const int64_t width = h.width, height = h.height, bits = h.bits;
  const int64_t srcStride = (width * bits + 31) / 32 * 4;
  if (uint64_t(srcStride) * uint64_t(height) > available) {
    *error = "The BMP file is truncated.";
    return false;
  }
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
  for (int64_t i = 0; i < height; ++i) {
    const uint8_t* src = pixels + i * srcStride;
    uint8_t* dst = DIBRow(*out, int32_t(h.topDown ? height - 1 - i : i));
    if (bits <= 8 || bits == 24) {
      std::memcpy(dst, src, size_t(srcStride));
      continue;
    }
    for (int64_t x = 0; x < width; ++x) {
      const uint32_t px = bits == 16
                              ? uint32_t(src[2 * x] | src[2 * x + 1] << 8)
                              : uint32_t(src[4 * x] | src[4 * x + 1] << 8 | src[4 * x + 2] << 16 |
                                         uint32_t(src[4 * x + 3]) << 24);
      // Alpha is ignored: many writers leave it zero on opaque pictures.
      dst[3 * x] = blue.Get(px);
      dst[3 * x + 1] = green.Get(px);
      dst[3 * x + 2] = red.Get(px);
    }
  }
  return true;
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels) {
  std::memset(out, 0, sizeof(*out));
  ByteReader r(data, size);
  BmpHeader h;
  if (!ReadBmpHeader(r, data, size, &h, error) || !CheckBmpKind(h, error)) return false;
  uint32_t masks[3];
  size_t paletteStart = h.infoStart + h.headerSize;
  ReadBmpMasks(r, h, masks, &paletteStart);
  const std::vector<RgbQuad> palette = ReadBmpPalette(r, h, &paletteStart);
  const size_t pixelStart = h.haveFileHeader ? h.pixelOffset : paletteStart;
  if (!r.ok() || pixelStart > size) {
    *error = "The BMP file is truncated.";
    return false;
  }
  const int32_t outBits = h.bits <= 8 ? int32_t(h.bits) : 24;
  if (!MakeImage(out, h.width, h.height, outBits, palette.data(), int32_t(palette.size()), error,
                 maxPixels))
    return false;
  r.Seek(pixelStart);
  const bool ok = h.compression == kBiRle8 || h.compression == kBiRle4
                      ? DecodeRle(r, *out, int32_t(h.bits), error)
                      : CopyBmpRows(h, data + pixelStart, r.remaining(), masks, out, error);
  if (!ok) deldib(out);
  return ok;
}

bool EncodeBmp(const RasterImage& image, bool rle, std::vector<uint8_t>* out, std::string* error) {
  if (!CheckSavable(image, error)) return false;
  const int32_t w = DIBWidth(image), h = DIBHeight(image), bits = DIBBitCount(image);
  const bool rleUsed = rle && bits <= 8;
  const int32_t fileBits = rleUsed && bits == 1 ? 4 : bits;
  const uint32_t colors = fileBits <= 8 ? 1u << fileBits : 0;

  std::vector<uint8_t> body;
  if (rleUsed) {
    std::vector<uint8_t> px(size_t(w), 0);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* row = DIBRow(image, y);
      for (int32_t x = 0; x < w; ++x) px[size_t(x)] = uint8_t(RowIndex(row, bits, x));
      EncodeRleRow(px, fileBits, body);
      PutU8(body, 0);
      PutU8(body, y + 1 < h ? 0 : 1);  // end of line, or end of picture
    }
  } else {
    body.assign(image.pixels, image.pixels + size_t(image.stride) * size_t(h));
  }

  const uint32_t offset = 14 + 40 + colors * 4;
  out->clear();
  out->reserve(offset + body.size());
  out->push_back('B');
  out->push_back('M');
  PutU32LE(*out, uint32_t(offset + body.size()));
  PutU32LE(*out, 0);
  PutU32LE(*out, offset);
  PutU32LE(*out, 40);
  PutU32LE(*out, uint32_t(w));
  PutU32LE(*out, uint32_t(h));
  PutU16LE(*out, 1);
  PutU16LE(*out, uint32_t(fileBits));
  PutU32LE(*out, rleUsed ? (fileBits == 8 ? kBiRle8 : kBiRle4) : kBiRgb);
  PutU32LE(*out, uint32_t(body.size()));
  PutU32LE(*out, uint32_t(DIBInfo(image)->biXPelsPerMeter));
  PutU32LE(*out, uint32_t(DIBInfo(image)->biYPelsPerMeter));
  PutU32LE(*out, colors);
  PutU32LE(*out, 0);
  const RgbQuad* table = DIBColorTable(image);
  const uint32_t known = bits <= 8 ? 1u << bits : 0;
  for (uint32_t i = 0; i < colors; ++i) {
    const RgbQuad c = i < known ? table[i] : RgbQuad{0, 0, 0, 0};
    PutU8(*out, c.blue);
    PutU8(*out, c.green);
    PutU8(*out, c.red);
    PutU8(*out, 0);
  }
  out->insert(out->end(), body.begin(), body.end());
  return true;
}

}  // namespace codecs
