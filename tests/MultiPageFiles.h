// Multi-page picture files made for the tests with Leptonica: TIFFs of several pages and
// GIFs of several frames.
#pragma once

#include <leptonica/allheaders.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/PlainTiff.h"

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

}  // namespace multipage
