// Multi-page TIFFs written directly, without any library, for the tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace multipage {

// A TIFF of white 1-bit pages, one for each width given, all `height` rows high
// (uncompressed, all sharing one strip), written directly: Leptonica appends a page by
// reading the file again, which takes long for a thousand. Page `hugePage` (when in
// range) claims to be 100000 x 100000 pixels.
inline std::vector<uint8_t> PlainTiff(const std::vector<int32_t>& widths, int32_t height,
                                      int32_t hugePage = -1) {
  int32_t side = height;
  for (int32_t w : widths) side = std::max(side, w);
  std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 0, 0, 0, 0};
  auto put16 = [&tiff](size_t at, uint32_t v) {
    tiff[at] = uint8_t(v), tiff[at + 1] = uint8_t(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  const uint32_t rowBytes = uint32_t(side + 7) / 8, strip = uint32_t(tiff.size());
  tiff.resize(tiff.size() + rowBytes * uint32_t(side), 0);  // 0 is white (WhiteIsZero)
  size_t link = 4;  // where the offset of the next directory goes
  for (int32_t page = 0; page < int32_t(widths.size()); ++page) {
    const bool huge = page == hugePage;
    const uint32_t w = huge ? 100000 : uint32_t(widths[size_t(page)]);
    const uint32_t h = huge ? 100000 : uint32_t(height);
    const uint32_t entries[8][2] = {{256, w}, {257, h},     {258, 1}, {259, 1},
                                    {262, 0}, {273, strip}, {278, h}, {279, (w + 7) / 8 * h}};
    const size_t at = tiff.size();
    put32(link, uint32_t(at));
    tiff.resize(at + 2 + 8 * 12 + 4, 0);
    put16(at, 8);
    for (size_t e = 0; e < 8; ++e) {
      const size_t entry = at + 2 + 12 * e;
      put16(entry, entries[e][0]);
      put16(entry + 2, 4);  // LONG
      put32(entry + 4, 1);
      put32(entry + 8, entries[e][1]);
    }
    link = at + 2 + 8 * 12;
  }
  return tiff;
}

}  // namespace multipage
