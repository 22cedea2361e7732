// Walks the blocks of a GIF file without decoding its pixels: how many frames it holds and
// which palette index of the first frame is transparent.
#include <algorithm>

#include "core/codecs/Codec.h"

namespace codecs {

namespace {

// Skips a chain of data sub-blocks (a size byte, that many bytes, ... a zero size).
void SkipSubBlocks(ByteReader& r) {
  while (r.ok()) {
    const uint8_t n = r.U8();
    if (n == 0) return;
    r.Skip(n);
  }
}

void SkipColourTable(ByteReader& r, uint8_t packed) {
  if (packed & 0x80) r.Skip(3 * (size_t(2) << (packed & 7)));
}

}  // namespace

GifFacts ScanGif(const uint8_t* data, size_t size) {
  GifFacts facts;
  ByteReader r(data, size);
  r.Skip(6);  // signature, version
  facts.screenPixels = int64_t(r.U16LE()) * r.U16LE();
  const uint8_t screen = r.U8();
  r.Skip(2);  // background colour, aspect ratio
  SkipColourTable(r, screen);
  int32_t pendingTransparent = -1;  // from the control extension before the next image
  while (r.ok()) {
    const uint8_t introducer = r.U8();
    if (!r.ok() || introducer == 0x3B) break;  // trailer
    if (introducer == 0x21) {
      const uint8_t label = r.U8();
      if (label == 0xF9 && r.remaining() >= 6 && r.here()[0] == 4) {
        const uint8_t* control = r.here();
        pendingTransparent = (control[1] & 1) ? control[4] : -1;
      }
      SkipSubBlocks(r);
    } else if (introducer == 0x2C) {
      r.Skip(4);  // position
      const int64_t width = r.U16LE(), height = r.U16LE();
      facts.largestFramePixels = std::max(facts.largestFramePixels, width * height);
      const uint8_t packed = r.U8();
      SkipColourTable(r, packed);
      r.Skip(1);  // LZW code size
      SkipSubBlocks(r);
      if (!r.ok()) break;
      if (facts.frames == 0) facts.transparentIndex = pendingTransparent;
      ++facts.frames;
      pendingTransparent = -1;
    } else {
      break;  // not GIF any more: what was counted stands
    }
  }
  return facts;
}

}  // namespace codecs
