// Page segmentation of the extended recogniser: the page's ink components grouped into
// blocks (columns, headings, paragraphs, address blocks, footnotes) in the order a person
// reads them, and the components that are no text (pictures, rules, specks) set apart.
// It knows nothing of recognition: boxes in, blocks out.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/LayoutTypes.h"

struct InkComponent {
  Box box;            // page pixels, inclusive
  int32_t inkPixels;  // how many pixels of the box are ink
};

enum class BlockKind : uint8_t { Text, Picture, Rule, Speck };

struct PageRegion {
  BlockKind kind = BlockKind::Text;
  Box box{0, 0, -1, -1};
  std::vector<int32_t> components;  // indices into the components given
};

struct SegmentedPage {
  std::vector<PageRegion> textBlocks;  // in reading order
  std::vector<PageRegion> nonText;     // pictures, rules and specks: no characters
};

// The median height of the page's letters (objects standing beside two others of like height
// on one baseline) in pixels; 0 when nothing on the page stands like letters. pageSide: the
// page's longer side.
int32_t LetterHeight(const std::vector<InkComponent>& components, int32_t pageSide);

// Letters stand side by side on a baseline: an object counts as one (1) when two others of
// like height end on the same row near it. pageSide: the page's longer side.
std::vector<uint8_t> LetterFlags(const std::vector<InkComponent>& components, int32_t pageSide);

// width, height: the page's size in pixels; textHeight: the typical height of a
// lowercase letter on the page in pixels (0: unknown).
SegmentedPage SegmentPage(const std::vector<InkComponent>& components, int32_t width,
                          int32_t height, int32_t textHeight);
