// The ink components of a page file: threshold at half grey, 8-connected, with Leptonica.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ComponentBox {
  int32_t left, top, right, bottom;  // inclusive
  int32_t ink;                       // ink pixels
};

std::vector<ComponentBox> LeptonicaComponents(const std::string& file, int32_t& width,
                                              int32_t& height);
