// Truevision TGA: an 18-byte header, an id field, an optional colour map, then the pixels,
// raw (types 1, 2, 3) or run-length coded (9, 10, 11). Read: colour-mapped with 8-bit
// indexes, true colour of 15, 16, 24 and 32 bits, 8-bit grey; either row order and either
// column order. Written bottom-up, which is the DIB order.
#include <algorithm>

#include "core/codecs/Codec.h"

namespace codecs {
namespace {

// A pixel of `bytes` bytes (little-endian as stored) as blue, green, red.
void ToBgr(const uint8_t* p, uint32_t bytes, bool alpha, uint8_t* bgr) {
  if (bytes >= 3) {
    bgr[0] = p[0], bgr[1] = p[1], bgr[2] = p[2];
    if (bytes == 4 && alpha)
      for (int k = 0; k < 3; ++k) bgr[k] = OverWhite(bgr[k], p[3]);
    return;
  }
  const uint32_t v = p[0] | p[1] << 8;
  bgr[0] = uint8_t((v & 31) * 255 / 31);
  bgr[1] = uint8_t(((v >> 5) & 31) * 255 / 31);
  bgr[2] = uint8_t(((v >> 10) & 31) * 255 / 31);
}

void EncodeRow(const uint8_t* px, size_t count, size_t bytes, bool rle, std::vector<uint8_t>& out) {
  if (!rle) {
    out.insert(out.end(), px, px + count * bytes);
    return;
  }
  auto same = [&](size_t a, size_t b) {
    return std::memcmp(px + a * bytes, px + b * bytes, bytes) == 0;
  };
  size_t i = 0;
  while (i < count) {
    size_t run = 1;
    while (i + run < count && run < 128 && same(i, i + run)) ++run;
    if (run >= 2) {
      PutU8(out, 0x80 | uint32_t(run - 1));
      out.insert(out.end(), px + i * bytes, px + (i + 1) * bytes);
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
      ++raw;
    PutU8(out, uint32_t(raw - 1));
    out.insert(out.end(), px + i * bytes, px + (i + raw) * bytes);
    i += raw;
  }
}

struct TgaHeader {
  uint32_t idLength = 0, mapType = 0, type = 0;
  uint32_t mapFirst = 0, mapLength = 0, mapEntryBits = 0;
  int64_t width = 0, height = 0;
  uint32_t depth = 0, descriptor = 0;
  bool rle = false, mapped = false, grey = false;
};

bool ReadTgaHeader(ByteReader& r, TgaHeader* h, std::string* error) {
  h->idLength = r.U8();
  h->mapType = r.U8();
  h->type = r.U8();
  h->mapFirst = r.U16LE();
  h->mapLength = r.U16LE();
  h->mapEntryBits = r.U8();
  r.Skip(4);  // origin
  h->width = r.U16LE();
  h->height = r.U16LE();
  h->depth = r.U8();
  h->descriptor = r.U8();
  if (!r.ok()) {
    *error = "The TGA file is truncated.";
    return false;
  }
  const uint32_t base = h->type & ~8u, depth = h->depth;
  h->rle = h->type & 8;
  h->mapped = base == 1, h->grey = base == 3;
  const bool truecolor = base == 2;
  const bool depthOk = (h->mapped && depth == 8 && h->mapType == 1) || (h->grey && depth == 8) ||
                       (truecolor && (depth == 15 || depth == 16 || depth == 24 || depth == 32));
  if (!(h->mapped || h->grey || truecolor) || h->type > 11 || h->mapType > 1) {
    *error = "The file is not a TGA picture of a known kind.";
    return false;
  }
  if (!depthOk) {
    *error = "TGA pictures of type " + std::to_string(h->type) + " with " + std::to_string(depth) +
             " bits cannot be read.";
    return false;
  }
  r.Skip(h->idLength);
  return true;
}

// The colour map (read past even when the picture does not use it) and the palette of the
// picture: the map for a colour-mapped picture, a grey ramp for grey.
bool ReadTgaPalette(ByteReader& r, const TgaHeader& h, std::vector<RgbQuad>* palette,
                    std::string* error) {
  if (h.mapType == 1) {
    const uint32_t entryBytes = (h.mapEntryBits + 7) / 8;
    if (entryBytes < 2 || entryBytes > 4) {
      *error = "The TGA file is corrupt (colour map entries of " + std::to_string(h.mapEntryBits) +
               " bits).";
      return false;
    }
    if (size_t(h.mapLength) * entryBytes > r.remaining()) {
      *error = "The TGA file is truncated.";
      return false;
    }
    if (h.mapped) palette->assign(256, RgbQuad{0, 0, 0, 0});
    for (uint32_t i = 0; i < h.mapLength; ++i) {
      uint8_t bgr[3];
      ToBgr(r.here(), entryBytes, false, bgr);
      r.Skip(entryBytes);
      if (h.mapped && h.mapFirst + i < 256)
        (*palette)[h.mapFirst + i] = {bgr[0], bgr[1], bgr[2], 0};
    }
  }
  if (h.grey) *palette = GreyPalette(256);
  return true;
}

// The pixels in file order, run-length packets undone (they may run on across rows).
bool ReadTgaPixels(ByteReader& r, const TgaHeader& h, uint32_t bytes,
                   std::vector<uint8_t>* pixels) {
  const size_t total = size_t(h.width) * size_t(h.height);
  if (!h.rle) {
    if (total * bytes > r.remaining()) return false;
    pixels->assign(r.here(), r.here() + total * bytes);
    return true;
  }
  pixels->reserve(std::min(total * bytes, r.remaining() * 128));
  while (pixels->size() < total * bytes) {
    const uint32_t head = r.U8();
    const size_t n = std::min<size_t>((head & 0x7F) + 1, total - pixels->size() / bytes);
    const size_t take = head & 0x80 ? bytes : n * bytes;
    if (!r.ok() || take > r.remaining()) return false;
    if (head & 0x80)
      for (size_t k = 0; k < n; ++k) pixels->insert(pixels->end(), r.here(), r.here() + bytes);
    else
      pixels->insert(pixels->end(), r.here(), r.here() + take);
    r.Skip(take);
  }
  return true;
}

}  // namespace

bool DecodeTga(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels) {
  std::memset(out, 0, sizeof(*out));
  ByteReader r(data, size);
  TgaHeader h;
  std::vector<RgbQuad> palette;
  if (!ReadTgaHeader(r, &h, error) || !ReadTgaPalette(r, h, &palette, error)) return false;
  const uint32_t bytes = (h.depth + 7) / 8;
  const bool alpha = (h.descriptor & 15) != 0;
  if (!MakeImage(out, h.width, h.height, h.mapped || h.grey ? 8 : 24, palette.data(),
                 int32_t(palette.size()), error, maxPixels))
    return false;
  std::vector<uint8_t> pixels;
  if (!ReadTgaPixels(r, h, bytes, &pixels)) {
    deldib(out);
    *error = "The TGA file is truncated.";
    return false;
  }
  const bool topDown = h.descriptor & 0x20, rightToLeft = h.descriptor & 0x10;
  const int64_t width = h.width, height = h.height;
  for (int64_t i = 0; i < height; ++i) {
    uint8_t* dst = DIBRow(*out, int32_t(topDown ? height - 1 - i : i));
    const uint8_t* src = pixels.data() + size_t(i) * size_t(width) * bytes;
    for (int64_t x = 0; x < width; ++x) {
      const int64_t dx = rightToLeft ? width - 1 - x : x;
      if (bytes == 1)
        dst[dx] = src[x];
      else
        ToBgr(src + x * bytes, bytes, alpha, dst + 3 * dx);
    }
  }
  return true;
}

bool EncodeTga(const RasterImage& image, bool rle, std::vector<uint8_t>* out, std::string* error) {
  if (!CheckSavable(image, error)) return false;
  const int32_t w = DIBWidth(image), h = DIBHeight(image), bits = DIBBitCount(image);
  if (w > 65535 || h > 65535) {
    *error = "TGA files hold at most 65535 x 65535 pixels.";
    return false;
  }
  const bool grey = IsGreyRamp(image);
  const bool mapped = bits <= 8 && !grey;
  const uint32_t colors = mapped ? 1u << bits : 0;
  out->clear();
  PutU8(*out, 0);
  PutU8(*out, mapped ? 1 : 0);
  PutU8(*out, (mapped ? 1 : grey ? 3 : 2) | (rle ? 8 : 0));
  PutU16LE(*out, 0);
  PutU16LE(*out, colors);
  PutU8(*out, mapped ? 24 : 0);
  PutU32LE(*out, 0);
  PutU16LE(*out, uint32_t(w));
  PutU16LE(*out, uint32_t(h));
  PutU8(*out, bits == 24 ? 24 : 8);
  PutU8(*out, 0);  // bottom-up, no alpha
  const RgbQuad* table = DIBColorTable(image);
  for (uint32_t i = 0; i < colors; ++i) {
    PutU8(*out, table[i].blue);
    PutU8(*out, table[i].green);
    PutU8(*out, table[i].red);
  }
  std::vector<uint8_t> row(size_t(w) * (bits == 24 ? 3 : 1));
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = DIBRow(image, y);
    if (bits == 24)
      std::memcpy(row.data(), src, row.size());
    else
      for (int32_t x = 0; x < w; ++x) row[size_t(x)] = uint8_t(RowIndex(src, bits, x));
    EncodeRow(row.data(), size_t(w), bits == 24 ? 3 : 1, rle, *out);
  }
  // TGA 2.0 footer without extension or developer areas.
  PutU32LE(*out, 0);
  PutU32LE(*out, 0);
  const char sig[] = "TRUEVISION-XFILE.";
  out->insert(out->end(), sig, sig + sizeof(sig));
  return true;
}

}  // namespace codecs
