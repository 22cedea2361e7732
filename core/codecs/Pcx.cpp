// ZSoft PCX: a 128-byte header, then every scan line as its colour planes one after
// another, each plane line `bytesPerLine` bytes, run-length coded (a byte of the form
// 11nnnnnn repeats the next byte n times). Read: 1 bit with 1 to 4 planes, 2 and 4 bits
// packed, 8 bits with 1 (indexed or grey), 3 (RGB) or 4 (RGBA) planes. The 256-colour
// palette of 8-bit pictures follows the data after a 0x0C byte.
#include <algorithm>

#include "core/codecs/Codec.h"

namespace codecs {
namespace {

constexpr size_t kHeaderSize = 128;

// The default EGA palette, used when a 16-colour picture's header palette is empty.
constexpr uint8_t kEgaPalette[16][3] = {
    {0, 0, 0},     {0, 0, 170},     {0, 170, 0},    {0, 170, 170},  {170, 0, 0},   {170, 0, 170},
    {170, 85, 0},  {170, 170, 170}, {85, 85, 85},   {85, 85, 255},  {85, 255, 85}, {85, 255, 255},
    {255, 85, 85}, {255, 85, 255},  {255, 255, 85}, {255, 255, 255}};

void EncodeLine(const uint8_t* line, size_t n, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 63 && line[i + run] == line[i]) ++run;
    if (run > 1 || line[i] >= 0xC0) PutU8(out, 0xC0 | uint32_t(run));
    PutU8(out, line[i]);
    i += run;
  }
}

struct PcxHeader {
  uint32_t encoding = 0, bpp = 0, planes = 0, bytesPerLine = 0;
  int64_t width = 0, height = 0;
  bool packed = false;     // one plane of 1, 2, 4 or 8 bits
  bool bitPlanes = false;  // 2 to 4 planes of 1 bit
  bool truecolor = false;  // 3 or 4 planes of 8 bits
};

bool ReadPcxHeader(const uint8_t* data, size_t size, PcxHeader* h, std::string* error) {
  if (size < kHeaderSize || data[0] != 0x0A) {
    *error = "The PCX file is truncated or not a PCX picture.";
    return false;
  }
  ByteReader r(data, size);
  r.Skip(2);  // manufacturer, version
  h->encoding = r.U8();
  h->bpp = r.U8();
  const int64_t xmin = r.U16LE(), ymin = r.U16LE(), xmax = r.U16LE(), ymax = r.U16LE();
  r.Seek(65);
  h->planes = r.U8();
  h->bytesPerLine = r.U16LE();
  h->width = xmax - xmin + 1;
  h->height = ymax - ymin + 1;
  const uint32_t bpp = h->bpp, planes = h->planes;
  h->packed = planes == 1 && (bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8);
  h->bitPlanes = bpp == 1 && planes >= 2 && planes <= 4;
  h->truecolor = bpp == 8 && (planes == 3 || planes == 4);
  if (h->encoding > 1 || !(h->packed || h->bitPlanes || h->truecolor)) {
    *error = "PCX pictures of " + std::to_string(bpp) + " bits in " + std::to_string(planes) +
             " planes cannot be read.";
    return false;
  }
  if (h->width <= 0 || h->height <= 0 || int64_t(h->bytesPerLine) * 8 < h->width * bpp) {
    *error = "The PCX file is corrupt (bad picture size).";
    return false;
  }
  return true;
}

// The colours of an indexed picture: the 256-colour palette at the end of the file (grey
// without it), else the header palette (the EGA colours when it is all zero).
std::vector<RgbQuad> PcxPalette(const uint8_t* data, size_t size, uint32_t indexBits) {
  std::vector<RgbQuad> palette;
  if (indexBits == 8) {
    if (size < kHeaderSize + 769 || data[size - 769] != 0x0C) return GreyPalette(256);
    const uint8_t* p = data + size - 768;
    for (int i = 0; i < 256; ++i) palette.push_back({p[3 * i + 2], p[3 * i + 1], p[3 * i], 0});
    return palette;
  }
  const uint8_t* headerPalette = data + 16;
  const uint32_t count = 1u << indexBits;
  bool empty = true;
  for (uint32_t i = 0; i < count * 3; ++i) empty = empty && headerPalette[i] == 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* c = headerPalette + 3 * i;
    if (empty) c = kEgaPalette[i * 15 / (count - 1)];  // 2 colours: black and white
    palette.push_back({c[2], c[1], c[0], 0});
  }
  return palette;
}

// The run-length decoder; a run may go on across plane and line ends.
struct PcxRuns {
  ByteReader& r;
  bool rle;
  uint32_t pending = 0;
  uint8_t pendingValue = 0;

  // Fills `line` whole; false when the file ends first.
  bool ReadLine(std::vector<uint8_t>& line) {
    size_t filled = 0;
    while (filled < line.size()) {
      if (pending) {
        const size_t n = std::min<size_t>(pending, line.size() - filled);
        std::memset(line.data() + filled, pendingValue, n);
        filled += n;
        pending -= uint32_t(n);
        continue;
      }
      if (!r.remaining()) return false;
      const uint8_t b = r.U8();
      if (rle && (b & 0xC0) == 0xC0) {
        pending = b & 0x3F;
        pendingValue = r.U8();
        if (!r.ok()) pending = 0;
      } else {
        line[filled++] = b;
      }
    }
    return true;
  }
};

// One decoded scan line (all planes) into a memory row of the image.
void StorePcxRow(const PcxHeader& h, const std::vector<uint8_t>& line, int32_t outBits,
                 uint8_t* dst) {
  const size_t stride = h.bytesPerLine;
  const uint32_t bpp = h.bpp;
  for (int64_t x = 0; x < h.width; ++x) {
    if (h.truecolor) {
      dst[3 * x + 2] = line[size_t(x)];
      dst[3 * x + 1] = line[stride + size_t(x)];
      dst[3 * x] = line[2 * stride + size_t(x)];
      if (h.planes == 4) {
        const uint32_t a = line[3 * stride + size_t(x)];
        for (int k = 0; k < 3; ++k) dst[3 * x + k] = OverWhite(dst[3 * x + k], a);
      }
      continue;
    }
    uint32_t index = 0;
    if (h.packed) {
      index = bpp == 8
                  ? line[size_t(x)]
                  : (line[size_t(x * bpp / 8)] >> (8 - bpp - (x * bpp) % 8)) & ((1u << bpp) - 1);
    } else {
      for (uint32_t p = 0; p < h.planes; ++p)
        index |= ((line[p * stride + size_t(x >> 3)] >> (7 - (x & 7))) & 1u) << p;
    }
    SetRowIndex(dst, outBits, x, index);
  }
}

}  // namespace

bool DecodePcx(const uint8_t* data, size_t size, RasterImage* out, std::string* error,
               int64_t maxPixels) {
  std::memset(out, 0, sizeof(*out));
  PcxHeader h;
  if (!ReadPcxHeader(data, size, &h, error)) return false;
  int32_t outBits = 24;
  std::vector<RgbQuad> palette;
  if (!h.truecolor) {
    const uint32_t indexBits = h.bpp * h.planes;
    outBits = indexBits == 1 ? 1 : indexBits <= 4 ? 4 : 8;
    palette = PcxPalette(data, size, indexBits);
  }
  if (!MakeImage(out, h.width, h.height, outBits, palette.data(), int32_t(palette.size()), error,
                 maxPixels))
    return false;
  std::vector<uint8_t> line(size_t(h.bytesPerLine) * h.planes);
  ByteReader r(data, size);
  r.Seek(kHeaderSize);
  PcxRuns runs{r, h.encoding == 1};
  for (int64_t y = 0; y < h.height; ++y) {
    if (!runs.ReadLine(line)) {
      deldib(out);
      *error = "The PCX file is truncated.";
      return false;
    }
    StorePcxRow(h, line, outBits, DIBRow(*out, int32_t(h.height - 1 - y)));
  }
  return true;
}

bool EncodePcx(const RasterImage& image, std::vector<uint8_t>* out, std::string* error) {
  if (!CheckSavable(image, error)) return false;
  const int32_t w = DIBWidth(image), h = DIBHeight(image), bits = DIBBitCount(image);
  if (w > 65535 || h > 65535) {
    *error = "PCX files hold at most 65535 x 65535 pixels.";
    return false;
  }
  const uint32_t planes = bits == 24 ? 3 : bits == 4 ? 4 : 1;
  const uint32_t bpp = bits == 24 || bits == 8 ? 8 : 1;
  uint32_t bytesPerLine = uint32_t((int64_t(w) * bpp + 7) / 8);
  bytesPerLine += bytesPerLine & 1;  // even, as the format asks
  const RgbQuad* table = DIBColorTable(image);

  out->assign(kHeaderSize, 0);
  uint8_t* hd = out->data();
  hd[0] = 0x0A;
  hd[1] = 5;
  hd[2] = 1;
  hd[3] = uint8_t(bpp);
  hd[8] = uint8_t(w - 1);
  hd[9] = uint8_t((w - 1) >> 8);
  hd[10] = uint8_t(h - 1);
  hd[11] = uint8_t((h - 1) >> 8);
  hd[12] = hd[14] = uint8_t(300 & 0xFF);
  hd[13] = hd[15] = uint8_t(300 >> 8);
  // Many readers take a one-plane 1-bit picture as 0 black, 1 white whatever the header
  // palette says, so the darker colour goes to index 0.
  auto luma = [](const RgbQuad& c) { return 299 * c.red + 587 * c.green + 114 * c.blue; };
  const uint32_t flip = bits == 1 && luma(table[0]) > luma(table[1]) ? 1 : 0;
  if (bits == 1 || bits == 4) {
    for (uint32_t i = 0; i < (bits == 1 ? 2u : 16u); ++i) {
      const RgbQuad& c = table[i ^ flip];
      hd[16 + 3 * i] = c.red;
      hd[17 + 3 * i] = c.green;
      hd[18 + 3 * i] = c.blue;
    }
  }
  hd[65] = uint8_t(planes);
  hd[66] = uint8_t(bytesPerLine);
  hd[67] = uint8_t(bytesPerLine >> 8);
  hd[68] = bits == 8 && IsGreyRamp(image) ? 2 : 1;

  std::vector<uint8_t> line(bytesPerLine);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = DIBRow(image, h - 1 - y);
    for (uint32_t p = 0; p < planes; ++p) {
      std::fill(line.begin(), line.end(), 0);
      for (int32_t x = 0; x < w; ++x) {
        if (bits == 24) {
          line[size_t(x)] = row[3 * x + 2 - p];
        } else if (bits == 8) {
          line[size_t(x)] = row[x];
        } else {
          const uint32_t bit = ((RowIndex(row, bits, x) ^ flip) >> p) & 1;
          if (bit) line[size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
        }
      }
      EncodeLine(line.data(), line.size(), *out);
    }
  }
  if (bits == 8) {
    PutU8(*out, 0x0C);
    for (int i = 0; i < 256; ++i) {
      PutU8(*out, table[i].red);
      PutU8(*out, table[i].green);
      PutU8(*out, table[i].blue);
    }
  }
  return true;
}

}  // namespace codecs
