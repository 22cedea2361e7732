#include "recognition/LetterModel.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <string_view>

#include "core/Cp1252.h"

namespace {

// The table's own marks for the boundaries of a word.
constexpr char kBeforeWord = '^', kAfterWord = '$';

// A letter this rare among a language's letters is no letter of its own to the model.
constexpr double kRareLetter = 0.001;

using Trigram = std::array<uint8_t, 3>;  // small letters, 0 for a boundary
using Counts = std::map<Trigram, double>;

// One line of the table as a language's trigram and its count; false for any other line.
bool ParseLine(std::string_view line, std::string_view* code, Trigram* gram, double* count) {
  const size_t tab1 = line.find('\t');
  const size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return false;
  *code = line.substr(0, tab1);
  const std::string_view number = line.substr(tab2 + 1);
  const auto [end, problem] = std::from_chars(number.data(), number.data() + number.size(), *count);
  if (problem != std::errc() || end != number.data() + number.size() || *count <= 0) return false;
  std::string bytes;
  if (!Utf8ToCp1252(line.substr(tab1 + 1, tab2 - tab1 - 1), &bytes) || bytes.size() != 3)
    return false;
  for (size_t i = 0; i < 3; ++i) {
    const uint8_t c = uint8_t(bytes[i]);
    if (c == kBeforeWord || c == kAfterWord)
      (*gram)[i] = LetterModel::kBoundary;
    else if (IsLetter1252(c))
      (*gram)[i] = ToSmall1252(c);
    else
      return false;
  }
  return true;
}

// Witten-Bell: each context keeps for unseen letters the share that its distinct
// continuations have among all, spread as the shorter context spreads it.
std::vector<double> Smoothed(const std::vector<double>& counts,
                             const std::vector<double>& shorter) {
  double total = 0, distinct = 0;
  for (const double n : counts) total += n, distinct += n > 0 ? 1 : 0;
  if (total <= 0) return shorter;
  std::vector<double> p(counts.size());
  for (size_t c = 0; c < counts.size(); ++c)
    p[c] = (counts[c] + distinct * shorter[c]) / (total + distinct);
  return p;
}

using LanguageCounts = std::map<std::string, Counts>;

// The counts of the table's lines for the languages.
LanguageCounts ReadCounts(std::istream& table, const std::vector<std::string>& languages) {
  LanguageCounts byLanguage;
  std::string line;
  std::string_view code;
  Trigram gram{};
  double count = 0;
  while (std::getline(table, line)) {
    // Most lines are another language's: their code is all that is read of them.
    const auto wanted = [&line](const std::string& language) {
      return line.size() > language.size() && line.compare(0, language.size(), language) == 0 &&
             line[language.size()] == '\t';
    };
    if (std::any_of(languages.begin(), languages.end(), wanted) &&
        ParseLine(line, &code, &gram, &count))
      byLanguage[std::string(code)][gram] += count;
  }
  return byLanguage;
}

// Each letter's index (0 for a boundary, letters from 1, the last for letters of no list),
// both cases alike; how many letters have one of their own. A letter with an accent that
// none of the languages writes often ("é" in German loanwords) counts as its base letter:
// whether the accent is there is the glyph's to say.
size_t IndexLetters(const LanguageCounts& byLanguage, std::vector<uint8_t>* index) {
  std::vector<double> share(256, 0.0);
  for (const auto& [language, counts] : byLanguage) {
    std::vector<double> letters(256, 0.0);
    double total = 0;
    for (const auto& [g, n] : counts)
      if (g[2] != LetterModel::kBoundary) letters[g[2]] += n, total += n;
    for (size_t c = 0; c < 256; ++c) share[c] = std::max(share[c], letters[c] / total);
  }
  const auto folded = [&share](size_t c) {
    const uint8_t base = BaseLetter1252(uint8_t(c));
    return base != 0 && share[c] < kRareLetter && share[base] > 0 ? base : uint8_t(c);
  };
  index->assign(256, 0);
  size_t own = 0;
  for (size_t c = 1; c < 256; ++c)
    if (share[c] > 0 && folded(c) == c) (*index)[c] = uint8_t(++own);
  for (size_t c = 1; c < 256; ++c)
    if ((*index)[c] == 0) (*index)[c] = (*index)[folded(c)];
  for (size_t c = 1; c < 256; ++c)
    if ((*index)[c] == 0) (*index)[c] = uint8_t(own + 1);
  for (size_t c = 1; c < 256; ++c)
    if (IsCapital1252(uint8_t(c))) (*index)[c] = (*index)[ToSmall1252(uint8_t(c))];
  return own;
}

// P(c | a b) of each language (trigram over bigram over single letters over all alike),
// averaged over the languages; [a][b][c], each of `size` indices.
std::vector<double> AveragedProbabilities(const LanguageCounts& byLanguage,
                                          const std::vector<uint8_t>& index, size_t size) {
  std::vector<double> probability(size * size * size, 0.0);
  for (const auto& [language, counts] : byLanguage) {
    std::vector<double> c3(size * size * size, 0.0), c2(size * size, 0.0), c1(size, 0.0);
    for (const auto& [g, n] : counts) {
      const size_t a = index[g[0]], b = index[g[1]], c = index[g[2]];
      c3[(a * size + b) * size + c] += n;
      c2[b * size + c] += n;
      c1[c] += n;
    }
    const std::vector<double> p1 = Smoothed(c1, std::vector<double>(size, 1.0 / double(size)));
    for (size_t b = 0; b < size; ++b) {
      const std::vector<double> p2 =
          Smoothed({c2.begin() + long(b * size), c2.begin() + long((b + 1) * size)}, p1);
      for (size_t a = 0; a < size; ++a) {
        const size_t row = (a * size + b) * size;
        const std::vector<double> p3 =
            Smoothed({c3.begin() + long(row), c3.begin() + long(row + size)}, p2);
        for (size_t c = 0; c < size; ++c) probability[row + c] += p3[c] / double(byLanguage.size());
      }
    }
  }
  return probability;
}

// The mean natural log of the probability of a language's own letters, over the languages.
double MeanLogProbability(const LanguageCounts& byLanguage, const std::vector<uint8_t>& index,
                          const std::vector<double>& probability, size_t size) {
  double logSum = 0;
  for (const auto& [language, counts] : byLanguage) {
    double sum = 0, total = 0;
    for (const auto& [g, n] : counts) {
      const size_t a = index[g[0]], b = index[g[1]], c = index[g[2]];
      sum += n * std::log(probability[(a * size + b) * size + c]);
      total += n;
    }
    logSum += sum / total;
  }
  return logSum / double(byLanguage.size());
}

}  // namespace

LetterModel LetterModel::FromTable(std::istream& table, const std::vector<std::string>& languages) {
  const LanguageCounts byLanguage = ReadCounts(table, languages);
  LetterModel model;
  if (byLanguage.empty()) return model;
  model.letters_ = IndexLetters(byLanguage, &model.index_);
  const size_t size = model.letters_ + 2;
  const std::vector<double> probability = AveragedProbabilities(byLanguage, model.index_, size);
  const double meanLog = MeanLogProbability(byLanguage, model.index_, probability, size);
  model.weights_.resize(probability.size());
  for (size_t i = 0; i < probability.size(); ++i)
    model.weights_[i] = float(std::log(probability[i]) - meanLog);
  return model;
}

LetterModel LetterModel::FromFile(const std::string& path,
                                  const std::vector<std::string>& languages) {
  std::ifstream table(path);
  if (!table) return {};
  return FromTable(table, languages);
}

double LetterModel::Weigh(uint8_t before1, uint8_t before2, uint8_t next) const {
  if (Empty()) return 0.0;
  const size_t size = letters_ + 2;
  return weights_[(size_t(index_[before1]) * size + index_[before2]) * size + index_[next]];
}
