// A degraded page misreads its letters the same way throughout: a fax loses the bar of every
// "e", which then reads "c"; a face the classifier never saw draws its "t" like an "f". The
// words the word list settles on the page show which readings stood for which letters, and
// the page's other words are read again with those misreadings weighed in.
#include <algorithm>
#include <map>

#include "recognition/ExtendedPage.h"

namespace {

// A misreading seen fewer times than this on the page may be a wrong word taken for a
// right one: it weighs nothing.
constexpr uint32_t kLeastEvidence = 3;
// A reading stands for itself as if seen this many times more than the page shows: a few
// settled words do not turn every "c" of the page into an "e".
constexpr double kSelfEvidence = 4.0;

}  // namespace

PageMisreadings MisreadingsOf(const std::vector<ReadAndMeant>& pairs) {
  std::map<std::pair<uint8_t, uint8_t>, uint32_t> counts;
  std::array<uint32_t, 256> readAsItself{};
  for (const ReadAndMeant& pair : pairs) {
    if (pair.read == pair.meant)
      ++readAsItself[pair.read];
    else
      ++counts[{pair.read, pair.meant}];
  }
  PageMisreadings misreadings;
  for (const auto& [key, count] : counts)
    if (count >= kLeastEvidence) misreadings[key.first].push_back({key.second, double(count)});
  for (size_t read = 0; read < misreadings.size(); ++read) {
    std::vector<Misreading>& row = misreadings[read];
    if (row.empty()) continue;
    const double self = kSelfEvidence + readAsItself[read];
    double total = self;
    for (const Misreading& m : row) total += m.share;
    for (Misreading& m : row) m.share /= total;
    row.push_back({uint8_t(read), self / total});
  }
  return misreadings;
}

bool AnyMisreading(const PageMisreadings& misreadings) {
  return std::any_of(misreadings.begin(), misreadings.end(),
                     [](const std::vector<Misreading>& row) { return !row.empty(); });
}

void SpreadOverMisreadings(const PageMisreadings& misreadings, std::vector<ScoredChar>* readings) {
  std::array<double, 256> spread{};
  std::array<bool, 256> seen{};
  std::vector<uint8_t> codes;  // in the order first met
  const auto add = [&](uint8_t code, double score) {
    if (!seen[code]) codes.push_back(code), seen[code] = true;
    spread[code] += score;
  };
  for (const ScoredChar& r : *readings) {
    const std::vector<Misreading>& row = misreadings[r.code];
    if (row.empty()) add(r.code, r.score);
    for (const Misreading& m : row) add(m.meant, r.score * m.share);
  }
  readings->clear();
  for (const uint8_t code : codes) readings->push_back({code, spread[code]});
  std::stable_sort(readings->begin(), readings->end(),
                   [](const ScoredChar& a, const ScoredChar& b) { return a.score > b.score; });
}
