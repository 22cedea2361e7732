#include "layout/PageSegmentation.h"

#include <algorithm>

SegmentedPage SegmentPage(const std::vector<InkComponent>& components, int32_t /*width*/,
                          int32_t /*height*/, int32_t /*textHeight*/) {
  // One block of all the page's ink until columns are told apart.
  SegmentedPage page;
  if (components.empty()) return page;
  PageRegion block;
  block.box = components.front().box;
  for (int32_t i = 0; i < int32_t(components.size()); ++i) {
    const Box& b = components[size_t(i)].box;
    block.box.Left = std::min(block.box.Left, b.Left);
    block.box.Top = std::min(block.box.Top, b.Top);
    block.box.Right = std::max(block.box.Right, b.Right);
    block.box.Bottom = std::max(block.box.Bottom, b.Bottom);
    block.components.push_back(i);
  }
  page.textBlocks.push_back(std::move(block));
  return page;
}
