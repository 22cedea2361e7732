// The ink components of a page file as Leptonica finds them (kept apart from the project's
// headers: Leptonica has a Box of its own).
#include "bench/SegmentationComponents.h"

#include <leptonica/allheaders.h>

std::vector<ComponentBox> LeptonicaComponents(const std::string& file, int32_t& width,
                                              int32_t& height) {
  std::vector<ComponentBox> components;
  PIX* page = pixRead(file.c_str());
  if (!page) return components;
  PIX* grey = pixConvertTo8(page, 0);
  PIX* binary = pixThresholdToBinary(grey, 128);
  width = int32_t(pixGetWidth(binary));
  height = int32_t(pixGetHeight(binary));
  PIXA* pieces = nullptr;
  BOXA* boxes = pixConnComp(binary, &pieces, 8);
  const int32_t n = boxaGetCount(boxes);
  for (int32_t i = 0; i < n; ++i) {
    l_int32 x, y, w, h;
    boxaGetBoxGeometry(boxes, i, &x, &y, &w, &h);
    PIX* piece = pixaGetPix(pieces, i, L_CLONE);
    l_int32 ink = 0;
    pixCountPixels(piece, &ink, nullptr);
    pixDestroy(&piece);
    components.push_back({x, y, x + w - 1, y + h - 1, ink});
  }
  boxaDestroy(&boxes);
  pixaDestroy(&pieces);
  pixDestroy(&binary);
  pixDestroy(&grey);
  pixDestroy(&page);
  return components;
}
