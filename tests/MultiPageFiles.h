// Multi-page picture files made for the tests with Leptonica: TIFFs of several pages and
// GIFs of several frames.
#pragma once

#include <leptonica/allheaders.h>

#include <cstdint>
#include <string>
#include <vector>

namespace multipage {

// A TIFF of the pages in order (1-bit pages G4-compressed, others ZIP: both lossless).
inline bool WriteTiff(const std::string& path, const std::vector<PIX*>& pages) {
  for (size_t i = 0; i < pages.size(); ++i) {
    const l_int32 compression = pixGetDepth(pages[i]) == 1 ? IFF_TIFF_G4 : IFF_TIFF_ZIP;
    if (pixWriteTiff(path.c_str(), pages[i], compression, i ? "a" : "w") != 0) return false;
  }
  return true;
}

// A GIF with one frame per page: each page is written alone by Leptonica, and the frames
// after the first take their file's global colour table as their own local one.
inline std::vector<uint8_t> GifFrames(const std::vector<PIX*>& pages) {
  std::vector<uint8_t> gif;
  for (size_t i = 0; i < pages.size(); ++i) {
    l_uint8* bytes = nullptr;
    size_t size = 0;
    if (pixWriteMemGif(&bytes, &size, pages[i]) != 0) return {};
    const std::vector<uint8_t> one(bytes, bytes + size);
    lept_free(bytes);
    const size_t tableSize = (one[10] & 0x80) ? size_t(3) << ((one[10] & 7) + 1) : 0;
    if (i == 0) {
      gif.assign(one.begin(), one.end() - 1);  // all but the trailer
      continue;
    }
    size_t at = 13 + tableSize;
    while (one[at] == 0x21) {  // extensions go along as they are
      size_t end = at + 2;
      while (one[end]) end += one[end] + 1;
      gif.insert(gif.end(), one.begin() + long(at), one.begin() + long(end) + 1);
      at = end + 1;
    }
    std::vector<uint8_t> descriptor(one.begin() + long(at), one.begin() + long(at) + 10);
    descriptor[9] = uint8_t(0x80 | (one[10] & 7));
    gif.insert(gif.end(), descriptor.begin(), descriptor.end());
    gif.insert(gif.end(), one.begin() + 13, one.begin() + 13 + long(tableSize));
    gif.insert(gif.end(), one.begin() + long(at) + 10, one.end() - 1);
  }
  gif.push_back(0x3B);
  return gif;
}

// A TIFF of `pages` small white 1-bit pages (uncompressed, all sharing one strip), written
// directly: Leptonica appends a page by reading the file again, which takes long for a
// thousand. Page `hugePage` (when in range) claims to be 100000 x 100000 pixels.
inline std::vector<uint8_t> ManyPageTiff(int32_t pages, int32_t side, int32_t hugePage = -1) {
  std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 0, 0, 0, 0};
  auto put16 = [&tiff](size_t at, uint32_t v) {
    tiff[at] = uint8_t(v), tiff[at + 1] = uint8_t(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  const uint32_t rowBytes = uint32_t(side + 7) / 8, strip = uint32_t(tiff.size());
  tiff.resize(tiff.size() + rowBytes * uint32_t(side), 0);  // 0 is white (WhiteIsZero)
  size_t link = 4;  // where the offset of the next directory goes
  for (int32_t page = 0; page < pages; ++page) {
    const uint32_t side32 = page == hugePage ? 100000 : uint32_t(side);
    const uint32_t entries[8][2] = {
        {256, side32}, {257, side32}, {258, 1},      {259, 1},
        {262, 0},      {273, strip},  {278, side32}, {279, rowBytes * uint32_t(side)}};
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
