// IFF pictures (Amiga, Deluxe Paint): a FORM of type ILBM (bit planes) or PBM (one byte
// per pixel), with the chunks BMHD (size, planes, masking, compression), CMAP (colours),
// CAMG (display mode: HAM, extra half-brite) and BODY (rows, ByteRun1 or raw). Read: 1 to
// 8 planes indexed, EHB, HAM6/HAM8, 24- and 32-plane deep ILBM, PBM. Written: ILBM with
// ByteRun1, 1, 4, 8 or 24 planes.
#include <algorithm>

#include "core/codecs/Codec.h"

namespace codecs {
namespace {

constexpr uint32_t kCamgHam = 0x800, kCamgEhb = 0x80;

// ByteRun1 (PackBits): a signed count n >= 0 copies n + 1 bytes, n in -127..-1 repeats the
// next byte 1 - n times, -128 does nothing. Runs may go on into the next row.
class ByteRun1Reader {
 public:
  ByteRun1Reader(ByteReader& r, bool packed) : r_(r), packed_(packed) {}
  bool Fill(uint8_t* dest, size_t n) {
    if (!packed_) return r_.Read(dest, n);
    size_t filled = 0;
    while (filled < n) {
      if (literal_ > 0 || repeat_ > 0) {
        const size_t take = std::min<size_t>(literal_ + repeat_, n - filled);
        if (literal_ > 0) {
          if (!r_.Read(dest + filled, take)) return false;
          literal_ -= uint32_t(take);
        } else {
          std::memset(dest + filled, value_, take);
          repeat_ -= uint32_t(take);
        }
        filled += take;
        continue;
      }
      if (!r_.remaining()) return false;
      const int8_t count = int8_t(r_.U8());
      if (count >= 0) {
        literal_ = uint32_t(count) + 1;
      } else if (count != -128) {
        repeat_ = uint32_t(1 - count);
        value_ = r_.U8();
        if (!r_.ok()) return false;
      }
    }
    return true;
  }

 private:
  ByteReader& r_;
  bool packed_;
  uint32_t literal_ = 0, repeat_ = 0;
  uint8_t value_ = 0;
};

void PackBits(const uint8_t* b, size_t n, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 128 && b[i + run] == b[i]) ++run;
    if (run >= 3) {
      PutU8(out, uint32_t(257 - run));
      PutU8(out, b[i]);
      i += run;
      continue;
    }
    size_t lit = 0;
    while (i + lit < n && lit < 128 &&
           !(i + lit + 2 < n && b[i + lit] == b[i + lit + 1] && b[i + lit] == b[i + lit + 2]))
      ++lit;
    PutU8(out, uint32_t(lit - 1));
    out.insert(out.end(), b + i, b + i + lit);
    i += lit;
  }
}

void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body) {
  out.insert(out.end(), id, id + 4);
  PutU32BE(out, uint32_t(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() & 1) PutU8(out, 0);
}

// What the chunks of the FORM say.
struct IffPicture {
  bool chunky = false;  // PBM: one byte a pixel; ILBM: bit planes
  bool haveHeader = false;
  uint32_t width = 0, height = 0, planes = 0, masking = 0, compression = 0, camg = 0;
  std::vector<RgbQuad> cmap;
  const uint8_t* body = nullptr;
  size_t bodySize = 0;
  bool Ham() const { return (camg & kCamgHam) && (planes == 6 || planes == 8); }
  bool Deep() const { return planes == 24 || planes == 32; }
};

// Walks the chunks up to BODY: BMHD, CMAP and CAMG are read, others skipped.
void ReadIffChunks(const uint8_t* data, size_t size, IffPicture* pic) {
  ByteReader r(data, size);
  r.Seek(4);
  const size_t end = std::min<size_t>(size, size_t(r.U32BE()) + 8);
  r.Seek(12);
  while (r.pos() + 8 <= end) {
    char id[4];
    r.Read(reinterpret_cast<uint8_t*>(id), 4);
    const uint32_t length = r.U32BE();
    const size_t start = r.pos();
    const size_t available = end - start;
    if (std::memcmp(id, "BODY", 4) == 0) {
      pic->body = data + start;
      pic->bodySize = std::min<size_t>(length, available);  // a short BODY: truncated rows
    } else if (length > available) {
      break;
    } else if (std::memcmp(id, "BMHD", 4) == 0 && length >= 20) {
      pic->width = r.U16BE();
      pic->height = r.U16BE();
      r.Skip(4);
      pic->planes = r.U8();
      pic->masking = r.U8();
      pic->compression = r.U8();
      pic->haveHeader = true;
    } else if (std::memcmp(id, "CMAP", 4) == 0) {
      for (uint32_t i = 0; i < length / 3 && i < 256; ++i) {
        const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
        pic->cmap.push_back({blue, green, red, 0});
      }
    } else if (std::memcmp(id, "CAMG", 4) == 0 && length >= 4) {
      pic->camg = r.U32BE();
    }
    if (pic->body || start + length + (length & 1) > end) break;
    r.Seek(start + length + (length & 1));
  }
}

// The palette of an indexed or HAM picture: CMAP (grey without it), with the half-bright
// colours of EHB, filled up to 256 entries.
void CompleteIffPalette(IffPicture* pic) {
  if (pic->Deep()) return;
  std::vector<RgbQuad>& cmap = pic->cmap;
  const uint32_t colors = pic->Ham() ? 1u << (pic->planes - 2) : 1u << pic->planes;
  if (cmap.empty()) cmap = GreyPalette(int32_t(colors));
  if ((pic->camg & kCamgEhb) && pic->planes == 6) {  // extra half-brite: 32 more at half
    cmap.resize(32, RgbQuad{0, 0, 0, 0});
    for (int i = 0; i < 32; ++i)
      cmap.push_back({uint8_t(cmap[size_t(i)].blue / 2), uint8_t(cmap[size_t(i)].green / 2),
                      uint8_t(cmap[size_t(i)].red / 2), 0});
  }
  cmap.resize(256, RgbQuad{0, 0, 0, 0});
}

// One decoded row (all planes) into a memory row of the image.
void StoreIffRow(const IffPicture& pic, const std::vector<uint8_t>& row, size_t rowBytes,
                 int32_t outBits, uint8_t* dst) {
  const bool ham = pic.Ham(), deep = pic.Deep();
  const std::vector<RgbQuad>& cmap = pic.cmap;
  uint8_t hamRgb[3] = {0, 0, 0};  // a HAM row starts from the background colour
  if (ham) hamRgb[0] = cmap[0].red, hamRgb[1] = cmap[0].green, hamRgb[2] = cmap[0].blue;
  for (uint32_t x = 0; x < pic.width; ++x) {
    uint32_t v = 0;
    if (pic.chunky) {
      v = row[x];
    } else {
      for (uint32_t p = 0; p < pic.planes; ++p)
        v |= uint32_t((row[p * rowBytes + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
    }
    if (deep) {
      dst[3 * x + 2] = uint8_t(v);
      dst[3 * x + 1] = uint8_t(v >> 8);
      dst[3 * x] = uint8_t(v >> 16);
    } else if (ham) {
      const uint32_t bits = pic.planes - 2, control = v >> bits, value = v & ((1u << bits) - 1);
      const uint8_t level = uint8_t(bits == 4 ? value * 17 : (value << 2) | (value >> 4));
      if (control == 0) {
        hamRgb[0] = cmap[value].red, hamRgb[1] = cmap[value].green, hamRgb[2] = cmap[value].blue;
      } else {
        hamRgb[control == 1 ? 2 : control == 2 ? 0 : 1] = level;  // blue, red, green
      }
      dst[3 * x + 2] = hamRgb[0], dst[3 * x + 1] = hamRgb[1], dst[3 * x] = hamRgb[2];
    } else {
      SetRowIndex(dst, outBits, x, v);
    }
  }
}

}  // namespace

bool DecodeIff(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels) {
  std::memset(out, 0, sizeof(*out));
  if (size < 12 || std::memcmp(data, "FORM", 4) != 0 ||
      (std::memcmp(data + 8, "ILBM", 4) != 0 && std::memcmp(data + 8, "PBM ", 4) != 0)) {
    *error = "The file is not an IFF picture (ILBM or PBM).";
    return false;
  }
  IffPicture pic;
  pic.chunky = data[8] == 'P';
  ReadIffChunks(data, size, &pic);
  if (!pic.haveHeader || !pic.body) {
    *error = "The IFF file is truncated or corrupt (no BMHD or BODY chunk).";
    return false;
  }
  const uint32_t planes = pic.planes;
  if (pic.compression > 1 || (pic.chunky && planes != 8) ||
      !(planes >= 1 && (planes <= 8 || pic.Deep()))) {
    *error = "IFF pictures with " + std::to_string(planes) + " planes and compression " +
             std::to_string(pic.compression) + " cannot be read.";
    return false;
  }
  CompleteIffPalette(&pic);
  const int32_t outBits = pic.Deep() || pic.Ham() ? 24 : planes == 1 ? 1 : planes <= 4 ? 4 : 8;
  if (!MakeImage(out, pic.width, pic.height, outBits, pic.cmap.data(), int32_t(pic.cmap.size()),
                 error, maxPixels))
    return false;
  const size_t rowBytes =
      pic.chunky ? pic.width + (pic.width & 1) : (size_t(pic.width) + 15) / 16 * 2;
  const size_t filePlanes = pic.chunky ? 1 : planes + (pic.masking == 1 ? 1 : 0);
  std::vector<uint8_t> row(rowBytes * filePlanes);
  ByteReader br(pic.body, pic.bodySize);
  ByteRun1Reader runs(br, pic.compression == 1);
  for (uint32_t y = 0; y < pic.height; ++y) {
    if (!runs.Fill(row.data(), row.size())) {
      deldib(out);
      *error = "The IFF picture data end too early.";
      return false;
    }
    StoreIffRow(pic, row, rowBytes, outBits, DIBRow(*out, int32_t(pic.height - 1 - y)));
  }
  return true;
}

bool EncodeIff(const RasterImage& image, std::vector<uint8_t>* out, std::string* error) {
  if (!CheckSavable(image, error)) return false;
  const int32_t w = DIBWidth(image), h = DIBHeight(image), bits = DIBBitCount(image);
  if (w > 65535 || h > 65535) {
    *error = "IFF files hold at most 65535 x 65535 pixels.";
    return false;
  }
  const uint32_t planes = uint32_t(bits);
  std::vector<uint8_t> header;
  PutU16BE(header, uint32_t(w));
  PutU16BE(header, uint32_t(h));
  PutU32BE(header, 0);  // position
  PutU8(header, planes);
  PutU8(header, 0);  // no mask
  PutU8(header, 1);  // ByteRun1
  PutU8(header, 0);
  PutU16BE(header, 0);  // transparent colour
  PutU8(header, 1);     // square pixels
  PutU8(header, 1);
  PutU16BE(header, uint32_t(std::min(w, 32767)));
  PutU16BE(header, uint32_t(std::min(h, 32767)));

  std::vector<uint8_t> colours;
  const RgbQuad* table = DIBColorTable(image);
  for (int32_t i = 0; bits <= 8 && i < (1 << bits); ++i) {
    PutU8(colours, table[i].red);
    PutU8(colours, table[i].green);
    PutU8(colours, table[i].blue);
  }

  const size_t rowBytes = (size_t(w) + 15) / 16 * 2;
  std::vector<uint8_t> body, plane(rowBytes);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = DIBRow(image, h - 1 - y);
    for (uint32_t p = 0; p < planes; ++p) {
      std::fill(plane.begin(), plane.end(), 0);
      for (int32_t x = 0; x < w; ++x) {
        uint32_t v;
        if (bits == 24)  // planes 0-7 red, 8-15 green, 16-23 blue
          v = src[3 * x + 2] | src[3 * x + 1] << 8 | src[3 * x] << 16;
        else
          v = RowIndex(src, bits, x);
        if ((v >> p) & 1) plane[size_t(x) >> 3] |= uint8_t(0x80 >> (x & 7));
      }
      PackBits(plane.data(), plane.size(), body);
    }
  }

  std::vector<uint8_t> form;
  form.insert(form.end(), {'I', 'L', 'B', 'M'});
  PutChunk(form, "BMHD", header);
  if (!colours.empty()) PutChunk(form, "CMAP", colours);
  PutChunk(form, "BODY", body);
  out->clear();
  out->insert(out->end(), {'F', 'O', 'R', 'M'});
  PutU32BE(*out, uint32_t(form.size()));
  out->insert(out->end(), form.begin(), form.end());
  return true;
}

}  // namespace codecs
