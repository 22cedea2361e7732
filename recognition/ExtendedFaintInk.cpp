// Grey print: a paragraph, a caption or a side note set in grey on a page whose other text is
// black. The page's threshold lies halfway between its darkest ink and the paper, so print at
// half black or lighter falls on the paper's side of it and is lost whole. Here each stretch of
// the page far from dark ink takes a threshold from its own ink, and what that finds is kept
// only where it looks like lines of letters drawn as sharply as the page's dark print: paper's
// grain, a sheet's shaded edge, a smudge or a back page showing through is no text.
#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "recognition/ExtendedPage.h"
#include "recognition/InkComponents.h"
#include "recognition/LeptonicaPix.h"

namespace {

// The page is measured in tiles this many pixels square: a letter of body text at 300 dpi
// fits in one, and the tiles around it take its ink level (a tile between two lines holds
// none of its own).
constexpr l_int32 kTile = 32;
// Ink of a tile whose darkest is this light or lighter (on paper brought to kPaperGrey) is no
// print: paper's grain and a faint stain stay above it.
constexpr int32_t kFaintestInk = 150;
// A stretch of faint ink is text when it holds at least this many parts, of which at least a
// kAlikeShare stand within twice or half their median height, and that median is a letter's
// (kSmallestLetter pixels at least: specks of grain are smaller).
constexpr size_t kFewestLetters = 10;
constexpr double kAlikeShare = 0.6;
constexpr int32_t kSmallestLetter = 6;
// Letters cover at most this share of the box they stand in; a smudge or a shadow more.
constexpr double kMostInkOfLetters = 0.6;

// Faint print's edges are at least this share as steep as the page's dark print's: grey print
// on clean, scanned and photographed pages measured 0.75 to 1.1 of it, a back page showing
// through 0.6 or less.
constexpr double kSteepAsPrint = 0.67;

// Faint print whose strokes break into specks halfway from its ink to the paper is taken where
// it is darker than this share of the way (taken so everywhere, the thin letters of pages at
// 100 dpi grew fatter and read worse).
constexpr double kWideShare = 0.6;

struct Tiles {
  int32_t columns = 0, rows = 0;
  std::vector<int32_t> threshold;  // 0: the page's own threshold holds there
  int32_t At(int32_t x, int32_t y) const {
    return threshold[size_t(std::min(y / kTile, rows - 1) * columns +
                            std::min(x / kTile, columns - 1))];
  }
};

// Each tile's ink level: its darkest pixel after each 2 x 2 block of pixels has taken the
// lightest of its four (a speck of grain or noise does not make a tile's ink, a stroke does).
// Null where short of memory.
PixPtr TileInk(PIX* grey) {
  const PixPtr blocks(pixScaleGrayMinMax(grey, 2, 2, L_CHOOSE_MAX));
  return PixPtr(blocks ? pixScaleGrayMinMax(blocks.get(), kTile / 2, kTile / 2, L_CHOOSE_MIN)
                       : nullptr);
}

// Each tile's own threshold where its ink and its neighbourhood's are faint: halfway from that
// ink to the paper, as the page's threshold stands halfway from the page's ink. Ink is faint
// from halfway between the page's ink and its threshold up to kFaintestInk. The neighbourhood
// (the tile and its eight neighbours, less those of dark ink) gives the tiles between lines and
// those holding a letter's edge the ink level of what they border on.
Tiles FaintTiles(PIX* grey, int32_t pageThreshold) {
  Tiles tiles;
  const PixPtr ink = TileInk(grey);
  if (!ink) return tiles;
  tiles.columns = pixGetWidth(ink.get());
  tiles.rows = pixGetHeight(ink.get());
  const int32_t pageInk = 2 * pageThreshold - kPaperGrey;
  const int32_t faintFrom = (pageInk + pageThreshold) / 2;
  auto inkAt = [&ink](int32_t x, int32_t y) {
    l_uint32 level = 255;
    pixGetPixel(ink.get(), x, y, &level);
    return int32_t(level);
  };
  tiles.threshold.assign(size_t(tiles.columns) * size_t(tiles.rows), 0);
  for (int32_t y = 0; y < tiles.rows; ++y)
    for (int32_t x = 0; x < tiles.columns; ++x) {
      if (inkAt(x, y) < faintFrom) continue;
      int32_t faintest = 255;
      for (int32_t ny = std::max(0, y - 1); ny <= std::min(tiles.rows - 1, y + 1); ++ny)
        for (int32_t nx = std::max(0, x - 1); nx <= std::min(tiles.columns - 1, x + 1); ++nx)
          if (const int32_t near = inkAt(nx, ny); near >= faintFrom)
            faintest = std::min(faintest, near);
      if (faintest < kFaintestInk)
        tiles.threshold[size_t(y * tiles.columns + x)] = (faintest + kPaperGrey) / 2;
    }
  return tiles;
}

// The ink of the faint tiles under their own thresholds, less the grey edges of dark letters
// reaching into them from the tiles beside (what touches the dark tiles' ink in `binary`);
// null where there is none.
PixPtr FaintInkOf(PIX* grey, const Tiles& tiles, PIX* binary) {
  if (std::none_of(tiles.threshold.begin(), tiles.threshold.end(), [](int32_t t) { return t > 0; }))
    return nullptr;
  const int32_t width = pixGetWidth(grey), height = pixGetHeight(grey);
  PixPtr faint(pixCreate(width, height, 1)), touching(pixCreate(width, height, 1));
  if (!faint || !touching) return nullptr;
  auto darkInkAt = [&](int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x < width && y < height && tiles.At(x, y) == 0 &&
           GET_DATA_BIT(pixGetData(binary) + int64_t(y) * pixGetWpl(binary), x);
  };
  bool anyFaint = false, anyTouching = false;
  for (int32_t row = 0; row < tiles.rows; ++row)
    for (int32_t column = 0; column < tiles.columns; ++column) {
      const int32_t threshold = tiles.threshold[size_t(row * tiles.columns + column)];
      if (threshold == 0) continue;
      // The last tiles of a row or column take the page's odd pixels beyond the whole tiles.
      const int32_t left = column * kTile, top = row * kTile;
      const int32_t right = column + 1 < tiles.columns ? left + kTile : width;
      const int32_t bottom = row + 1 < tiles.rows ? top + kTile : height;
      for (int32_t y = top; y < bottom; ++y) {
        const l_uint32* line = pixGetData(grey) + int64_t(y) * pixGetWpl(grey);
        l_uint32* out = pixGetData(faint.get()) + int64_t(y) * pixGetWpl(faint.get());
        for (int32_t x = left; x < right; ++x) {
          if (int32_t(GET_DATA_BYTE(line, x)) >= threshold) continue;
          SET_DATA_BIT(out, x);
          anyFaint = true;
          const bool atTileEdge = x == left || y == top || x + 1 == right || y + 1 == bottom;
          if (atTileEdge &&
              (darkInkAt(x - 1, y - 1) || darkInkAt(x, y - 1) || darkInkAt(x + 1, y - 1) ||
               darkInkAt(x - 1, y) || darkInkAt(x + 1, y) || darkInkAt(x - 1, y + 1) ||
               darkInkAt(x, y + 1) || darkInkAt(x + 1, y + 1))) {
            SET_DATA_BIT(pixGetData(touching.get()) + int64_t(y) * pixGetWpl(touching.get()), x);
            anyTouching = true;
          }
        }
      }
    }
  if (!anyFaint) return nullptr;
  if (anyTouching) {
    PixPtr edges(pixSeedfillBinary(nullptr, touching.get(), faint.get(), 8));
    if (edges) pixSubtract(faint.get(), faint.get(), edges.get());
  }
  return faint;
}

// The ink of the page's tiles that keep its own threshold; null where short of memory.
PixPtr DarkInk(PIX* binary, const Tiles& tiles) {
  PixPtr dark(pixCopy(nullptr, binary));
  if (!dark) return nullptr;
  for (int32_t y = 0; y < tiles.rows; ++y)
    for (int32_t x = 0; x < tiles.columns; ++x)
      if (tiles.threshold[size_t(y * tiles.columns + x)] > 0)
        pixRasterop(dark.get(), x * kTile, y * kTile, kTile, kTile, PIX_CLR, nullptr, 0, 0);
  return dark;
}

// How steeply the grey rises from ink to paper at the edges of ink: the mean, over the ink's
// edge pixels, of the grey's slope as a share of the ink's contrast with the paper. Print is as
// steep as the page's camera or scanner draws it; a back page showing through the paper is
// blurred by it.
struct Steepness {
  double sum = 0;
  int64_t edges = 0;
  double Mean() const { return edges > 0 ? sum / double(edges) : 0; }
};

// Adds the edges of `ink` (a 1-bit Pix at left, top on the page) whose ink level is `inkLevel`
// (of a page position) to `steepness`.
template <typename InkLevel>
void AddEdges(PIX* grey, PIX* ink, int32_t left, int32_t top, InkLevel inkLevel,
              Steepness* steepness) {
  const PixPtr edges(pixExtractBoundary(ink, 1));
  if (!edges) return;
  const int32_t width = pixGetWidth(grey), height = pixGetHeight(grey);
  auto at = [&](int32_t x, int32_t y) {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return double(GET_DATA_BYTE(pixGetData(grey) + int64_t(y) * pixGetWpl(grey), x));
  };
  const l_uint32* data = pixGetData(edges.get());
  const int32_t wpl = pixGetWpl(edges.get());
  for (int32_t y = 0; y < pixGetHeight(edges.get()); ++y)
    for (int32_t x = 0; x < pixGetWidth(edges.get()); ++x) {
      if (!GET_DATA_BIT(data + int64_t(y) * wpl, x)) continue;
      const int32_t px = left + x, py = top + y;
      const double dx = at(px + 1, py) - at(px - 1, py), dy = at(px, py + 1) - at(px, py - 1);
      steepness->sum += std::hypot(dx, dy) / 2 / std::max(1, kPaperGrey - inkLevel(px, py));
      ++steepness->edges;
    }
}

// The stretches of touching faint tiles, each tile labelled by its stretch (-1: not faint).
std::vector<int32_t> Stretches(const Tiles& tiles) {
  std::vector<int32_t> label(tiles.threshold.size(), -1);
  int32_t next = 0;
  std::vector<size_t> todo;
  for (size_t start = 0; start < label.size(); ++start) {
    if (tiles.threshold[start] == 0 || label[start] >= 0) continue;
    label[start] = next;
    todo.assign(1, start);
    while (!todo.empty()) {
      const size_t t = todo.back();
      todo.pop_back();
      const int32_t x = int32_t(t) % tiles.columns, y = int32_t(t) / tiles.columns;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= tiles.columns || ny >= tiles.rows) continue;
          const size_t n = size_t(ny * tiles.columns + nx);
          if (tiles.threshold[n] == 0 || label[n] >= 0) continue;
          label[n] = next;
          todo.push_back(n);
        }
    }
    ++next;
  }
  return label;
}

// The faint ink's parts, how many pixels each holds and the tile of each one's middle.
struct FaintParts {
  Components objects;
  std::vector<int32_t> ink;  // each part's pixels counted
  std::vector<size_t> tile;
  FaintParts(PIX* faint, const Tiles& tiles) : objects(faint) {
    for (size_t i = 0; i < objects.boxes.size(); ++i) {
      const PageBox& b = objects.boxes[i];
      ink.push_back(objects.InkOf(int32_t(i)));
      tile.push_back(
          size_t(std::min((b.top + b.Height() / 2) / kTile, tiles.rows - 1) * tiles.columns +
                 std::min((b.left + b.Width() / 2) / kTile, tiles.columns - 1)));
    }
  }
};

// Whether these parts look like letters: enough of them, of a letter's size, most alike in
// height, none a blot.
bool LooksLikeLetters(const FaintParts& all, const std::vector<l_int32>& parts) {
  if (parts.size() < kFewestLetters) return false;
  std::vector<int32_t> heights;
  int64_t inkPixels = 0, boxPixels = 0;
  for (const l_int32 i : parts) {
    const PageBox& box = all.objects.boxes[size_t(i)];
    heights.push_back(box.Height());
    inkPixels += all.ink[size_t(i)];
    boxPixels += int64_t(box.Width()) * box.Height();
  }
  std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
  const int32_t median = heights[heights.size() / 2];
  if (median < kSmallestLetter) return false;
  const auto alike = std::count_if(heights.begin(), heights.end(), [median](int32_t h) {
    return 2 * h >= median && h <= 2 * median;
  });
  return double(alike) >= kAlikeShare * double(heights.size()) &&
         double(inkPixels) <= kMostInkOfLetters * double(boxPixels);
}

// The parts of each stretch of faint tiles.
std::vector<std::vector<l_int32>> PartsByStretch(const FaintParts& all, const Tiles& tiles) {
  const std::vector<int32_t> stretch = Stretches(tiles);
  const int32_t stretches = 1 + *std::max_element(stretch.begin(), stretch.end());
  std::vector<std::vector<l_int32>> partsOf(size_t(std::max(stretches, 0)));
  for (size_t i = 0; i < all.tile.size(); ++i)
    if (const int32_t s = stretch[all.tile[i]]; s >= 0) partsOf[size_t(s)].push_back(l_int32(i));
  return partsOf;
}

// The steepness of the dark ink's edges, that of the page's print; nullopt where short of
// memory.
std::optional<double> DarkSteepness(PIX* grey, PIX* binary, const Tiles& tiles,
                                    int32_t pageThreshold) {
  const PixPtr dark = DarkInk(binary, tiles);
  if (!dark) return std::nullopt;
  const int32_t pageInk = 2 * pageThreshold - kPaperGrey;
  Steepness steepness;
  AddEdges(
      grey, dark.get(), 0, 0, [pageInk](int32_t, int32_t) { return pageInk; }, &steepness);
  return steepness.Mean();
}

// The steepness of the edges of all the parts, summed by the tile of each part's middle.
std::vector<Steepness> EdgesByTile(PIX* grey, const FaintParts& all, const Tiles& tiles) {
  const auto tileInk = [&tiles](int32_t x, int32_t y) { return 2 * tiles.At(x, y) - kPaperGrey; };
  std::vector<Steepness> ofTile(tiles.threshold.size());
  for (size_t i = 0; i < all.tile.size(); ++i) {
    const PageBox& box = all.objects.boxes[i];
    PIX* part = pixaGetPix(all.objects.pixa, l_int32(i), L_CLONE);
    AddEdges(grey, part, box.left, box.top, tileInk, &ofTile[all.tile[i]]);
    pixDestroy(&part);
  }
  return ofTile;
}

// The parts less those whose edges (`ofTile`, EdgesByTile's) are less steep than `least`,
// judged around each part over its tile and the tiles beside it: grey print and a back page
// showing through may share a stretch, and one letter's edges are few.
void DropBlurredParts(const FaintParts& all, const Tiles& tiles,
                      const std::vector<Steepness>& ofTile, double least,
                      std::vector<l_int32>* parts) {
  std::erase_if(*parts, [&](l_int32 i) {
    const int32_t column = int32_t(all.tile[size_t(i)]) % tiles.columns;
    const int32_t row = int32_t(all.tile[size_t(i)]) / tiles.columns;
    Steepness around;
    for (int32_t y = std::max(0, row - 1); y <= std::min(tiles.rows - 1, row + 1); ++y)
      for (int32_t x = std::max(0, column - 1); x <= std::min(tiles.columns - 1, column + 1); ++x) {
        around.sum += ofTile[size_t(y * tiles.columns + x)].sum;
        around.edges += ofTile[size_t(y * tiles.columns + x)].edges;
      }
    return around.Mean() < least;
  });
}

// The tiles thresholded nearer the paper, a kWideShare of the way from their ink to it: halfway
// broke the thin strokes of faint print scanned at 200 dpi into specks.
Tiles WideTiles(const Tiles& tiles) {
  Tiles wide = tiles;
  for (int32_t& threshold : wide.threshold)
    if (threshold > 0) {
      const int32_t ink = 2 * threshold - kPaperGrey;
      threshold = ink + int32_t(kWideShare * (kPaperGrey - ink));
    }
  return wide;
}

}  // namespace

void AddFaintInk(PIX* grey, int32_t pageThreshold, PIX* binary) {
  const Tiles tiles = FaintTiles(grey, pageThreshold);
  if (tiles.threshold.empty()) return;
  const PixPtr faint = FaintInkOf(grey, tiles, binary);
  if (!faint) return;
  const FaintParts all(faint.get(), tiles);
  std::vector<std::vector<l_int32>> byStretch = PartsByStretch(all, tiles);
  // Where thin strokes broke into specks halfway, the print thresholded nearer the paper.
  std::optional<FaintParts> wide;
  std::vector<std::vector<l_int32>> wideByStretch;
  std::optional<double> darkSteepness;  // measured once, where there is faint ink to judge
  std::vector<Steepness> edges;         // judged halfway, where a page's print is steepest
  for (size_t stretch = 0; stretch < byStretch.size(); ++stretch) {
    const FaintParts* found = &all;
    std::vector<l_int32>* parts = &byStretch[stretch];
    if (parts->size() < kFewestLetters) continue;
    if (!LooksLikeLetters(all, *parts)) {
      if (!wide) {
        const PixPtr wider = FaintInkOf(grey, WideTiles(tiles), binary);
        if (!wider) return;
        wide.emplace(wider.get(), tiles);
        wideByStretch = PartsByStretch(*wide, tiles);
      }
      found = &*wide;
      parts = &wideByStretch[stretch];
      if (!LooksLikeLetters(*found, *parts)) continue;
    }
    if (!darkSteepness) {
      if (!(darkSteepness = DarkSteepness(grey, binary, tiles, pageThreshold))) return;
      edges = EdgesByTile(grey, all, tiles);
    }
    DropBlurredParts(*found, tiles, edges, kSteepAsPrint * *darkSteepness, parts);
    if (!LooksLikeLetters(*found, *parts)) continue;
    for (const l_int32 i : *parts) {
      const PageBox& box = found->objects.boxes[size_t(i)];
      PIX* part = pixaGetPix(found->objects.pixa, i, L_CLONE);
      pixRasterop(binary, box.left, box.top, box.Width(), box.Height(), PIX_SRC | PIX_DST, part, 0,
                  0);
      pixDestroy(&part);
    }
  }
}
