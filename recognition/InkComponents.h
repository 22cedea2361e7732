// The connected components of a black/white page (Leptonica's 1-bit Pix), each with its own
// pixels and its box, owned together.
#pragma once

#include <cstdint>
#include <vector>

#include "recognition/LeptonicaPix.h"
#include "recognition/PageText.h"

struct Components {
  PIXA* pixa = nullptr;
  BOXA* boxa = nullptr;
  std::vector<PageBox> boxes;
  // connectivity: 8 (letters' diagonal strokes hold together) or 4.
  explicit Components(PIX* binary, int32_t connectivity = 8) {
    boxa = pixConnComp(binary, &pixa, connectivity);
    for (int32_t i = 0; boxa && i < boxaGetCount(boxa); ++i) {
      l_int32 x = 0, y = 0, w = 0, h = 0;
      boxaGetBoxGeometry(boxa, i, &x, &y, &w, &h);
      boxes.push_back({x, y, x + w - 1, y + h - 1});
    }
  }
  ~Components() {
    pixaDestroy(&pixa);
    boxaDestroy(&boxa);
  }
  Components(const Components&) = delete;
  Components& operator=(const Components&) = delete;
  // Component i's pixels counted.
  int32_t InkOf(int32_t i) const {
    PIX* pix = pixaGetPix(pixa, i, L_CLONE);
    l_int32 count = 0;
    if (pix) pixCountPixels(pix, &count, nullptr);
    pixDestroy(&pix);
    return count;
  }
};
