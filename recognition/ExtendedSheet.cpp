// A sheet smaller than its picture: a receipt or a letter scanned under a scanner's black lid, a
// page photographed on a dark table. The dark ground around it is no ink of the page, and as one
// object around the sheet it would make the sheet's letters part of a picture; its ink is left
// out of the black/white page.
#include "recognition/ExtendedSheet.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "recognition/InkComponents.h"

namespace {

// The sheet is sought on the page reduced this many times, each pixel the lightest of those it
// stands for: the print on the sheet vanishes into its paper, the dark ground stays dark.
constexpr l_int32 kReduction = 4;
// The sheet covers at least this share of the picture (a smaller light patch is a label or a
// photograph's highlight) and at most kLargestSheet (a page with a thin dark border is the whole
// picture: its border is left out as such).
constexpr double kSmallestSheet = 0.1, kLargestSheet = 0.92;
// Around the sheet the picture is dark: this share of it at least (a page's photographs and
// shaded boxes leave much of the rest light).
constexpr double kDarkGround = 0.8;
// The ground shows beside the sheet on two sides at least, each this share of the picture's side
// wide: a banner in a dark colour across a page's top is no ground.
constexpr double kGroundSide = 0.02;
constexpr int32_t kGroundSides = 2;
// The ground found on the reduced page reaches the sheet's edge within this many pixels.
constexpr l_int32 kEdge = 2 * kReduction + 1;

// A light region of the reduced page, its holes (the print on it) filled, and its box.
struct LightRegion {
  PixPtr mask;  // the reduced page's size
  PageBox box;
};

// The largest light region of the reduced page; its mask null where there is none.
LightRegion LargestLightRegion(PIX* dark) {
  LightRegion region;
  const PixPtr light(pixInvert(nullptr, dark));
  if (!light) return region;
  const Components parts(light.get(), 4);
  int32_t largest = -1, largestCount = 0;
  for (int32_t i = 0; i < int32_t(parts.boxes.size()); ++i)
    if (const int32_t count = parts.InkOf(i); count > largestCount)
      largest = i, largestCount = count;
  if (largest < 0) return region;
  region.box = parts.boxes[size_t(largest)];
  PixPtr mask(pixCreateTemplate(light.get()));
  PIX* part = pixaGetPix(parts.pixa, largest, L_CLONE);
  if (mask && part)
    pixRasterop(mask.get(), region.box.left, region.box.top, region.box.Width(),
                region.box.Height(), PIX_SRC, part, 0, 0);
  pixDestroy(&part);
  if (!mask) return region;
  PixPtr holes(pixHolesByFilling(mask.get(), 4));
  if (holes) pixOr(mask.get(), mask.get(), holes.get());
  region.mask = std::move(mask);
  return region;
}

// Whether the light region is a sheet on dark ground: of a sheet's size, the rest of the page
// dark, the ground showing on two sides.
bool IsSheetOnGround(const LightRegion& sheet, PIX* dark) {
  const int32_t width = pixGetWidth(dark), height = pixGetHeight(dark);
  const double all = double(width) * height;
  l_int32 sheetPixels = 0, groundPixels = 0;
  if (pixCountPixels(sheet.mask.get(), &sheetPixels, nullptr) != 0 ||
      sheetPixels < kSmallestSheet * all || sheetPixels > kLargestSheet * all)
    return false;
  const PixPtr ground(pixSubtract(nullptr, dark, sheet.mask.get()));
  if (!ground || pixCountPixels(ground.get(), &groundPixels, nullptr) != 0 ||
      groundPixels < kDarkGround * (all - sheetPixels))
    return false;
  const PageBox& b = sheet.box;
  const int32_t sides = (b.left >= kGroundSide * width) + (b.top >= kGroundSide * height) +
                        (width - 1 - b.right >= kGroundSide * width) +
                        (height - 1 - b.bottom >= kGroundSide * height);
  return sides >= kGroundSides;
}

}  // namespace

PixPtr GroundAroundSheet(PIX* grey) {
  const PixPtr reduced(pixScaleGrayMinMax(grey, kReduction, kReduction, L_CHOOSE_MAX));
  const PixPtr dark(reduced ? pixThresholdToBinary(reduced.get(), kMidGrey) : nullptr);
  if (!dark) return nullptr;
  const LightRegion sheet = LargestLightRegion(dark.get());
  if (!sheet.mask || !IsSheetOnGround(sheet, dark.get())) return nullptr;
  // At the page's size; the reduction's last pixels stand for the page's odd rows and columns
  // beyond its whole blocks.
  const PixPtr groundSmall(pixInvert(nullptr, sheet.mask.get()));
  const PixPtr groundLarge(groundSmall ? pixExpandReplicate(groundSmall.get(), kReduction)
                                       : nullptr);
  PixPtr ground(groundLarge ? pixCreate(pixGetWidth(grey), pixGetHeight(grey), 1) : nullptr);
  if (!ground) return nullptr;
  pixSetAll(ground.get());
  pixRasterop(ground.get(), 0, 0, pixGetWidth(groundLarge.get()), pixGetHeight(groundLarge.get()),
              PIX_SRC, groundLarge.get(), 0, 0);
  return PixPtr(pixDilateBrick(nullptr, ground.get(), kEdge, kEdge));
}

void LeaveOutGround(PIX* binary, PIX* ground) {
  // The ground's ink and what joins it (the sheet's shadowed edge), wherever it reaches.
  const PixPtr seeds(pixAnd(nullptr, binary, ground));
  const PixPtr joined(seeds ? pixSeedfillBinary(nullptr, seeds.get(), binary, 8) : nullptr);
  if (joined) pixSubtract(binary, binary, joined.get());
}
