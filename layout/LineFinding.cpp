#include "layout/LineFinding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

int32_t Width(const Box& b) {
  return b.Right - b.Left + 1;
}
int32_t Height(const Box& b) {
  return b.Bottom - b.Top + 1;
}
int32_t Size(const Box& b) {
  return std::max(Width(b), Height(b));
}

// Indexes of the boxes of each line, in list order: members of line k are
// index[offset[k - 1]] ... index[offset[k] - 1].
struct LineMembers {
  std::vector<int32_t> offset, index;
};

LineMembers MembersByLine(const std::vector<int32_t>& line, int32_t lineCount) {
  LineMembers m;
  m.offset.assign(size_t(lineCount) + 1, 0);
  for (int32_t k : line)
    if (k >= 1 && k <= lineCount) ++m.offset[size_t(k)];
  for (int32_t k = 1; k <= lineCount; ++k) m.offset[size_t(k)] += m.offset[size_t(k) - 1];
  m.index.resize(size_t(m.offset[size_t(lineCount)]));
  std::vector<int32_t> next(m.offset.begin(), m.offset.end() - 1);
  for (int32_t i = 0; i < int32_t(line.size()); ++i) {
    const int32_t k = line[size_t(i)];
    if (k >= 1 && k <= lineCount) m.index[size_t(next[size_t(k - 1)]++)] = i;
  }
  return m;
}

}  // namespace

std::vector<int32_t> SortOrderByLeft(std::vector<int32_t> lefts) {
  const int32_t n = int32_t(lefts.size());
  std::vector<int32_t> order(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) order[size_t(i)] = i;
  if (n < 2) return order;
  // The two partitions of a step are disjoint, so the order in which they are sorted does
  // not change the result; a work list instead of recursion keeps the stack flat.
  std::vector<std::pair<int32_t, int32_t>> ranges{{0, n - 1}};
  while (!ranges.empty()) {
    const auto [lo, hi] = ranges.back();
    ranges.pop_back();
    int32_t i = lo, j = hi;
    const int32_t pivot = lefts[size_t((lo + hi) / 2)];
    do {
      while (lefts[size_t(i)] < pivot) ++i;
      while (lefts[size_t(j)] > pivot) --j;
      if (i <= j) {
        std::swap(lefts[size_t(i)], lefts[size_t(j)]);
        std::swap(order[size_t(i)], order[size_t(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (lo < j) ranges.push_back({lo, j});
    if (i < hi) ranges.push_back({i, hi});
  }
  return order;
}

int32_t GroupLines(const std::vector<Box>& boxes, std::vector<int32_t>& line) {
  const int32_t n = int32_t(boxes.size());
  line.assign(size_t(n), 0);
  // In a list sorted by Left, the first candidate at or beyond the far reach ends the
  // search: every later one lies further right, and the reach only moves when one joins.
  const bool sorted = std::is_sorted(boxes.begin(), boxes.end(),
                                     [](const Box& a, const Box& b) { return a.Left < b.Left; });
  int32_t lineCount = 0;
  std::vector<int32_t> joined;
  for (int32_t i = 0; i < n; ++i) {
    if (line[size_t(i)] != 0) continue;
    const Box& seed = boxes[size_t(i)];
    const int32_t s = ++lineCount;
    line[size_t(i)] = s;
    int32_t bandTop = seed.Top, bandBottom = seed.Bottom;
    int32_t widest = Width(seed), tallest = Height(seed);
    int32_t farReach = seed.Right + 2 * Size(seed), nearReach = seed.Right + Size(seed);
    int32_t accepted = 0, centred = 0;
    joined.clear();
    for (int32_t j = i + 1; j < n; ++j) {
      const Box& b = boxes[size_t(j)];
      if (sorted && b.Left >= farReach) break;
      if (line[size_t(j)] != 0) continue;
      if (b.Bottom < bandTop || b.Top > bandBottom || b.Left >= farReach) continue;
      const int32_t w = Width(b), h = Height(b);
      if (w >= 4 * widest || h >= 2 * tallest) continue;
      // Punctuation, accents and dots must follow more closely.
      if (h <= tallest / 2 && b.Left >= nearReach) continue;
      line[size_t(j)] = s;
      joined.push_back(j);
      farReach = b.Right + 2 * Size(b);
      nearReach = b.Right + Size(b);
      const int32_t centre = b.Top + (b.Bottom - b.Top) / 2;
      if (centre >= bandTop && centre <= bandBottom) ++centred;
      ++accepted;
      bandTop += (b.Top - bandTop) / 2;
      bandBottom += (b.Bottom - bandBottom) / 2;
      widest = std::max(widest, w);
      tallest = std::max(tallest, h);
    }
    // A chain whose members mostly miss the band is no line: its members start afresh.
    if (accepted > 0 && double(centred) / double(accepted) < 0.7)
      for (int32_t j : joined) line[size_t(j)] = 0;
  }
  return lineCount;
}

SlantMeasure MeasureSlant(const std::vector<Box>& boxes, const std::vector<int32_t>& line,
                          int32_t lineCount) {
  SlantMeasure m;
  m.lineSlope.assign(size_t(std::max(lineCount, 0)), 0.0);
  const LineMembers members = MembersByLine(line, std::max(lineCount, 0));
  SlantHistogram lineHistogram{};
  std::vector<int32_t> touched;
  std::vector<int32_t> lefts, bottoms;
  for (int32_t k = 1; k <= lineCount; ++k) {
    for (int32_t slant : touched) lineHistogram[size_t(slant + kSlantRange)] = 0;
    touched.clear();
    int32_t lineBest = 0, lineBestCount = 0;
    // The pair loop reads two small arrays instead of the records.
    lefts.clear();
    bottoms.clear();
    for (int32_t p = members.offset[size_t(k - 1)]; p < members.offset[size_t(k)]; ++p) {
      const Box& b = boxes[size_t(members.index[size_t(p)])];
      lefts.push_back(b.Left);
      bottoms.push_back(b.Bottom);
    }
    const int32_t count = int32_t(lefts.size());
    for (int32_t i = 0; i + 1 < count; ++i) {
      const int32_t li = lefts[size_t(i)], bi = bottoms[size_t(i)];
      for (int32_t j = i + 1; j < count; ++j) {
        const int32_t dx = lefts[size_t(j)] - li;
        if (dx == 0) continue;
        const double real = double(int64_t(bottoms[size_t(j)] - bi) * 1000) / double(dx);
        if (!(real > -kSlantRange - 1 && real < kSlantRange + 1)) continue;
        const int32_t slant = int32_t(std::trunc(real));
        const size_t at = size_t(slant + kSlantRange);
        if (lineHistogram[at]++ == 0) touched.push_back(slant);
        const int32_t pageCount = ++m.pageHistogram[at];
        if (slant == 0) continue;  // counted, but never the best
        if (pageCount > m.pageBestCount) {
          m.pageBest = slant;
          m.pageBestCount = pageCount;
        }
        if (lineHistogram[at] > lineBestCount) {
          lineBest = slant;
          lineBestCount = lineHistogram[at];
        }
      }
    }
    m.lineSlope[size_t(k - 1)] =
        3 * lineBestCount < lineHistogram[kSlantRange] ? 0.0 : double(-lineBest) / 1000.0;
  }
  m.pageSlope =
      3 * m.pageBestCount < m.pageHistogram[kSlantRange] ? 0.0 : double(-m.pageBest) / 1000.0;
  return m;
}

double PictureTolerance(int32_t position) {
  static constexpr double kTolerance[11] = {0.05,  0.025, 0.015, 0.01,  0.007, 0.005,
                                            0.004, 0.003, 0.002, 0.001, 0.0005};
  return kTolerance[std::clamp(position, 0, 10)];
}

double CorrectionAngle(double pageSlope) {
  return std::acos(1.0 / std::sqrt(pageSlope * pageSlope + 1.0)) * 57.29577951308232;
}

std::string CorrectionAngleLogLine(double angle) {
  // printf writes the decimal separator of the current numeric locale.
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", angle);
  return std::string("Correction angle:") + text + "\xC2\xB0";
}

int32_t SkewShift(int32_t distance, double pageSlope) {
  return int32_t(std::nearbyint(double(distance) * pageSlope));
}

void CorrectSkew(std::vector<Box>& boxes, const std::vector<int32_t>& line, int32_t lineCount,
                 double pageSlope) {
  if (lineCount <= 0) return;
  std::vector<int32_t> minLeft(size_t(lineCount) + 1, 10000000);
  for (size_t i = 0; i < boxes.size(); ++i) {
    const int32_t k = line[i];
    if (k >= 1 && k <= lineCount) minLeft[size_t(k)] = std::min(minLeft[size_t(k)], boxes[i].Left);
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    const int32_t k = line[i];
    if (k < 1 || k > lineCount) continue;
    const int32_t shift = SkewShift(boxes[i].Left - minLeft[size_t(k)], pageSlope);
    boxes[i].Top += shift;
    boxes[i].Bottom += shift;
  }
}

namespace {

// Adds one to the record of `value`, appending (value, 1) for a new value; returns its count.
int32_t CountValue(TDynaArray<ValueCount>& counts, int32_t value) {
  for (int32_t r = 0; r < counts.Count; ++r) {
    ValueCount* record = counts.At(r);
    if (record->value == value) return ++record->count;
  }
  ValueCount* record = counts.Add();
  record->value = value;
  record->count = 1;
  return 1;
}

}  // namespace

TextLine MakeTextLine(int32_t number, const std::vector<Box>& members,
                      TDynaArray<ValueCount>& bottomCounts, TDynaArray<ValueCount>& topCounts) {
  TextLine t{};
  t.number = number;
  bottomCounts.Clear();
  topCounts.Clear();
  int32_t maxHeight = 0, minHeight = 0, heightSum = 0, count = 0;
  int32_t top = 0, bottom = 0, left = 0, right = 0;
  int32_t baseline = 0, baselineCount = 0;
  for (const Box& b : members) {
    const int32_t h = b.Bottom - b.Top + 1;
    if (count == 0) {
      maxHeight = minHeight = h;
      top = b.Top;
      bottom = b.Bottom;
      left = b.Left;
      right = b.Right;
    } else {
      maxHeight = std::max(maxHeight, h);
      minHeight = std::min(minHeight, h);
      top = std::min(top, b.Top);
      bottom = std::max(bottom, b.Bottom);
      left = std::min(left, b.Left);
      right = std::max(right, b.Right);
    }
    heightSum += h;
    ++count;
    // The baseline is the Bottom that first climbs above the highest count so far.
    const int32_t c = CountValue(bottomCounts, b.Bottom);
    if (c > baselineCount) {
      baseline = b.Bottom;
      baselineCount = c;
    }
    CountValue(topCounts, b.Top);
  }
  if (count == 0) return t;

  t.left = left;
  t.right = right;
  t.maxHeight = maxHeight;
  t.minHeight = minHeight;
  t.baseline = baseline;
  t.top = top;
  t.bottom = bottom;
  t.avgHeight = heightSum / count;
  // The x-height: the commonest Top clearly below the line's top (capitals and ascenders
  // reach the top itself). A Top exactly on the floor counts: at 10 pt (42 px per em) the
  // x-height of a sans serif lies right there, and leaving it out made every small letter
  // of the page tall.
  const int32_t xTopFloor = top + (bottom - top) / 5;
  int32_t xTop = top + (bottom - top) / 3, xTopCount = 0;
  for (int32_t r = 0; r < topCounts.Count; ++r) {
    const ValueCount* record = topCounts.At(r);
    if (record->value >= xTopFloor && record->count > xTopCount) {
      xTop = record->value;
      xTopCount = record->count;
    }
  }
  t.xTop = xTop;
  t.middle = top + (bottom - top) / 2;
  t.upperLevel = top + (xTop - top) / 4;
  t.xTopLimit = xTop - (xTop - top) / 8 - 1;
  t.descenderLevel = bottom - baseline > 2 ? baseline + (bottom - baseline) / 3 : bottom;
  t.xMiddle = xTop + (baseline - xTop) / 2;
  t.thirdHeight = int32_t(std::nearbyint(double(t.avgHeight) / 3.0));
  return t;
}

void SortLinesReadingOrder(std::vector<TextLine>& lines) {
  const size_t n = lines.size();
  for (size_t i = 0; i + 1 < n; ++i) {
    for (size_t b = i + 1; b < n; ++b) {
      const TextLine& reference = lines[i];
      const TextLine& candidate = lines[b];
      const bool above = candidate.bottom < reference.top;
      const bool leftOf = candidate.top < reference.bottom && candidate.left < reference.left;
      if (above || leftOf) std::swap(lines[i], lines[b]);
    }
  }
}
