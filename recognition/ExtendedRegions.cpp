// Regions of the black/white page that are no text: the grain of a halftone or of a
// photograph thresholded to black and white, and solid ink (a photograph's dark parts, a
// scanner's black border, an edge shadow). The page is looked at in cells of a few text
// heights, so that the same page at any resolution gives the same regions; a region is
// left out as a whole and the text beside it is kept, cell for cell along its outline.
#include <leptonica/allheaders.h>

#include <algorithm>
#include <memory>
#include <string>

#include "recognition/ExtendedPage.h"
#include "recognition/LeptonicaPix.h"

namespace {

// A cell two text heights square holds parts of two lines of a few letters each: enough
// objects to tell text from grain, and small enough to follow a photograph's outline.
constexpr double kCellInTextHeights = 2.0;
// An object no longer than this is grain: a full stop is about this size, a letter larger.
constexpr double kGrainInTextHeights = 0.3;
// Text puts a few dots and stops into a cell; a halftone dozens. A cell counts as grain
// when it holds this many grain objects and twice as many as letter-sized ones (a dirty
// copy's specks around letters stay text).
constexpr int32_t kGrainPerCell = 8;
// Letters cover well under half of their cell even in bold type; a photograph's dark parts,
// a black border or a shadow cover more. A headline's heavy letters cover whole cells too:
// an object standing like a letter beside others of its height on one baseline makes no
// solid cell (a photograph's dark patches stand so seldom).
constexpr double kSolidCover = 0.6;
// A cell with fewer grain objects than this beside a region is paper with a speck or two.
constexpr int32_t kFewestEdgeGrain = 2;
// Fewer flagged cells together are a cluster of stops or a bold blot, not a picture.
constexpr int32_t kFewestRegionCells = 4;

enum CellKind : uint8_t { kText = 0, kGrain = 1, kSolid = 2 };

// Objects of each cell (row-major) by their middle: grain, and the larger ones; and the larger
// ones whose box reaches into the cell. The dots and accents of a line can lie in a row of
// cells of their own, above the middles of their letters, but never above all their ink.
struct CellCounts {
  std::vector<int32_t> grain, letters, lettersReaching;
  std::vector<uint8_t> inLetter;  // a letter's box reaches into the cell
};

CellCounts CountObjects(const std::vector<PageBox>& boxes, const std::vector<uint8_t>& letter,
                        int32_t cell, int32_t textHeight, int32_t columns, int32_t rows) {
  CellCounts counts{std::vector<int32_t>(size_t(columns) * size_t(rows), 0), {}, {}, {}};
  counts.letters = counts.lettersReaching = counts.grain;
  counts.inLetter.assign(counts.grain.size(), 0);
  const int32_t grainSide = std::max(1, int32_t(kGrainInTextHeights * textHeight));
  for (size_t i = 0; i < boxes.size(); ++i) {
    const PageBox& b = boxes[i];
    const size_t at = size_t((b.top + b.bottom) / 2 / cell) * size_t(columns) +
                      size_t((b.left + b.right) / 2 / cell);
    const bool grain = std::max(b.Width(), b.Height()) <= grainSide;
    (grain ? counts.grain : counts.letters)[at]++;
    if (grain) continue;
    for (int32_t r = b.top / cell; r <= std::min(b.bottom / cell, rows - 1); ++r)
      for (int32_t c = b.left / cell; c <= std::min(b.right / cell, columns - 1); ++c) {
        const size_t at = size_t(r) * size_t(columns) + size_t(c);
        counts.lettersReaching[at]++;
        counts.inLetter[at] |= letter[i];
      }
  }
  return counts;
}

// Ink pixels of each cell (row-major), in one pass over the page eight pixels at a time: a
// byte counts towards the cell of its first pixel, near enough for cells of many bytes.
std::vector<int32_t> InkPerCell(PIX* binary, int32_t cell, int32_t columns, int32_t rows) {
  std::vector<int32_t> ink(size_t(columns) * size_t(rows), 0);
  const int32_t height = pixGetHeight(binary), bytes = (pixGetWidth(binary) + 7) / 8;
  for (int32_t y = 0; y < height; ++y) {
    const l_uint32* line = pixGetData(binary) + int64_t(y) * pixGetWpl(binary);
    int32_t* row = ink.data() + size_t(y / cell) * size_t(columns);
    for (int32_t k = 0; k < bytes; ++k)
      if (const uint32_t byte = GET_DATA_BYTE(line, k))
        row[k * 8 / cell] += __builtin_popcount(byte);
  }
  return ink;
}

// What each cell is, one byte a cell (row-major).
std::vector<uint8_t> CellKinds(PIX* binary, const CellCounts& counts, int32_t cell, int32_t columns,
                               int32_t rows) {
  const std::vector<int32_t>& grain = counts.grain;
  const std::vector<int32_t>& letters = counts.letters;
  const std::vector<int32_t> ink = InkPerCell(binary, cell, columns, rows);
  std::vector<uint8_t> kinds(grain.size(), kText);
  for (size_t at = 0; at < kinds.size(); ++at)
    if (ink[at] >= kSolidCover * cell * cell && !counts.inLetter[at])
      kinds[at] = kSolid;
    else if (grain[at] >= kGrainPerCell && grain[at] >= 2 * letters[at])
      kinds[at] = kGrain;
  return kinds;
}

// A photograph's lighter parts hold fewer dots than its body: cells beside a region join it
// while they hold more grain than letters reach into (text beside it, its dots too, holds
// more letters).
void GrowIntoGrain(const CellCounts& counts, int32_t columns, int32_t rows,
                   std::vector<uint8_t>* region) {
  const auto in = [&](int32_t r, int32_t c) {
    return r >= 0 && c >= 0 && r < rows && c < columns &&
           (*region)[size_t(r) * size_t(columns) + size_t(c)];
  };
  for (bool grew = true; grew;) {
    grew = false;
    for (int32_t r = 0; r < rows; ++r)
      for (int32_t c = 0; c < columns; ++c) {
        const size_t at = size_t(r) * size_t(columns) + size_t(c);
        if ((*region)[at] || counts.grain[at] < kFewestEdgeGrain ||
            counts.grain[at] <= counts.lettersReaching[at])
          continue;
        bool beside = false;
        for (int32_t dr = -1; dr <= 1; ++dr)
          for (int32_t dc = -1; dc <= 1; ++dc) beside = beside || in(r + dr, c + dc);
        if (beside) (*region)[at] = 1, grew = true;
      }
  }
}

// Whether most of a region's cells are grain (a photograph) rather than solid ink.
bool MostlyGrain(const std::vector<uint8_t>& kinds, const std::vector<uint8_t>& mask) {
  int32_t solid = 0, grain = 0;
  for (size_t i = 0; i < kinds.size(); ++i)
    if (mask[i]) (kinds[i] == kSolid ? solid : grain)++;
  return grain >= solid;
}

}  // namespace

bool RegionMap::Covers(const PageBox& box) const {
  if (cell <= 0 || columns <= 0) return false;
  const size_t at = size_t((box.top + box.bottom) / 2 / cell) * size_t(columns) +
                    size_t((box.left + box.right) / 2 / cell);
  return at < inRegion.size() && inRegion[at];
}

RegionMap NonTextRegions(Pix* binary, const std::vector<PageBox>& boxes, int32_t textHeight,
                         std::vector<LeftOutRegion>* regions) {
  RegionMap map;
  if (!binary || textHeight <= 0) return map;
  const int32_t cell = std::max(2, int32_t(kCellInTextHeights * textHeight));
  const int32_t columns = (pixGetWidth(binary) + cell - 1) / cell;
  const int32_t rows = (pixGetHeight(binary) + cell - 1) / cell;
  const std::vector<uint8_t> letter =
      StandingLikeLetters(boxes, std::max(pixGetWidth(binary), pixGetHeight(binary)));
  const CellCounts counts = CountObjects(boxes, letter, cell, textHeight, columns, rows);
  const std::vector<uint8_t> kinds = CellKinds(binary, counts, cell, columns, rows);
  // The flagged cells as a small picture of their own, its components the regions.
  PixPtr cells(pixCreate(columns, rows, 1));
  if (!cells) return map;
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < columns; ++c)
      if (kinds[size_t(r) * size_t(columns) + size_t(c)] != kText)
        pixSetPixel(cells.get(), c, r, 1);
  PIXA* pixa = nullptr;
  BOXA* boxa = pixConnComp(cells.get(), &pixa, 8);
  std::vector<uint8_t> region(kinds.size(), 0);  // cells of the regions kept
  for (int32_t i = 0; boxa && i < boxaGetCount(boxa); ++i) {
    PIX* piece = pixaGetPix(pixa, i, L_CLONE);
    l_int32 x = 0, y = 0, w = 0, h = 0, count = 0;
    boxaGetBoxGeometry(boxa, i, &x, &y, &w, &h);
    pixCountPixels(piece, &count, nullptr);
    if (count >= kFewestRegionCells) {
      std::vector<uint8_t> mask(kinds.size(), 0);
      for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c) {
          l_uint32 on = 0;
          pixGetPixel(piece, c, r, &on);
          if (on) mask[size_t(y + r) * size_t(columns) + size_t(x + c)] = 1;
        }
      const PageBox box{x * cell, y * cell, std::min((x + w) * cell, pixGetWidth(binary)) - 1,
                        std::min((y + h) * cell, pixGetHeight(binary)) - 1};
      regions->push_back(
          {box, MostlyGrain(kinds, mask)
                    ? "grain of a halftone or photograph"
                    : "solid ink (a photograph's dark parts, a border or a shadow)"});
      for (size_t k = 0; k < mask.size(); ++k) region[k] |= mask[k];
    }
    pixDestroy(&piece);
  }
  pixaDestroy(&pixa);
  boxaDestroy(&boxa);
  GrowIntoGrain(counts, columns, rows, &region);
  map.cell = cell;
  map.columns = columns;
  map.inRegion = std::move(region);
  return map;
}
