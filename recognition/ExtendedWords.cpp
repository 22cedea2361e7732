// Word breaks of a line. The gaps between letters and between words differ by typeface,
// size, resolution and justification, so each line's gaps are split into two groups where
// they separate best; a line whose gaps are all of one kind is judged against its x-height.
#include <algorithm>

#include "recognition/ExtendedPage.h"

namespace {

// The threshold that splits sorted values into two groups of least spread within them,
// or a negative value when the two groups are not clearly apart.
double SplitOfTwoGroups(const std::vector<int32_t>& sorted, int32_t xHeight) {
  const size_t n = sorted.size();
  std::vector<double> prefix(n + 1, 0), prefixSquares(n + 1, 0);
  for (size_t i = 0; i < n; ++i) {
    prefix[i + 1] = prefix[i] + sorted[i];
    prefixSquares[i + 1] = prefixSquares[i] + double(sorted[i]) * sorted[i];
  }
  auto spread = [&](size_t from, size_t to) {
    const double count = double(to - from), sum = prefix[to] - prefix[from];
    return prefixSquares[to] - prefixSquares[from] - sum * sum / count;
  };
  double best = -1, bestSpread = 1e300;
  for (size_t k = 1; k < n; ++k) {
    if (sorted[k] == sorted[k - 1]) continue;
    const double s = spread(0, k) + spread(k, n);
    const double lowMean = prefix[k] / double(k),
                 highMean = (prefix[n] - prefix[k]) / double(n - k);
    const bool apart = highMean >= 2 * lowMean + 0.1 * xHeight && sorted[k] >= 0.18 * xHeight;
    if (apart && s < bestSpread) bestSpread = s, best = (sorted[k - 1] + sorted[k]) / 2.0;
  }
  return best;
}

}  // namespace

std::vector<bool> WordBreaks(const std::vector<PageBox>& chars, int32_t xHeight) {
  if (chars.size() < 2) return {};
  std::vector<int32_t> gaps;
  for (size_t i = 0; i + 1 < chars.size(); ++i)
    gaps.push_back(chars[i + 1].left - chars[i].right - 1);
  std::vector<int32_t> sorted = gaps;
  std::sort(sorted.begin(), sorted.end());
  double threshold = SplitOfTwoGroups(sorted, std::max(xHeight, 1));
  // All gaps alike: letters of one word, or single letters apart.
  if (threshold < 0) threshold = 0.4 * xHeight;
  std::vector<bool> breaks;
  for (int32_t gap : gaps) breaks.push_back(gap > threshold);
  return breaks;
}
