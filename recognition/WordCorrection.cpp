#include "recognition/WordCorrection.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kLowSingleQuote = 0x82, kLowDoubleQuote = 0x84;  // ‚ „ in Windows-1252

uint32_t HashOf(std::string_view word) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (char c : word) h = (h ^ uint8_t(c)) * 16777619u;
  return h;
}

// One doubtful character and a reading it could take instead.
struct Option {
  size_t position;  // in the word's chars
  uint8_t code;
  double loss;  // confidence given up
};

// The letters of a word in one piece: [begin, end) of its chars.
struct Stretch {
  size_t begin, end;
};

// Stretches of letters (and digits among letters, which may be misread letters) between
// punctuation; stretches with more digits than letters, or as many and a digit first,
// are numbers and left out.
std::vector<Stretch> LetterStretches(const PageWord& word) {
  std::vector<Stretch> stretches;
  const size_t n = word.chars.size();
  for (size_t i = 0; i < n;) {
    const uint8_t c = word.chars[i].code;
    if (!IsLetter1252(c) && !IsDigit1252(c)) {
      ++i;
      continue;
    }
    size_t end = i, letters = 0, digits = 0;
    for (; end < n && (IsLetter1252(word.chars[end].code) || IsDigit1252(word.chars[end].code));
         ++end)
      IsDigit1252(word.chars[end].code) ? ++digits : ++letters;
    // "s0" is a word with a misread letter, "1O" a number.
    const bool isWord = letters > digits || (letters == digits && IsLetter1252(word.chars[i].code));
    if (isWord && end - i >= 2) stretches.push_back({i, end});
    i = end;
  }
  return stretches;
}

std::vector<Option> DoubtfulOptions(const PageWord& word, Stretch s, double maxLoss) {
  std::vector<Option> options;
  for (size_t i = s.begin; i < s.end; ++i) {
    const PageChar& c = word.chars[i];
    for (const Alternative& a : c.alternatives) {
      const double loss = std::max(0.0, c.confidence - a.confidence);
      if (a.code != c.code && a.code != 0 && loss <= maxLoss) options.push_back({i, a.code, loss});
    }
  }
  // The closest readings first; a long word with many doubtful characters is cut short
  // so that the pairs stay few.
  std::sort(options.begin(), options.end(),
            [](const Option& a, const Option& b) { return a.loss < b.loss; });
  if (options.size() > 12) options.resize(12);
  return options;
}

struct Choice {
  std::vector<Option> changes;
  double loss = INFINITY;
};

// The search for list words among the readings of the doubtful characters: up to
// maxChanges changes within the loss budget; the best and the second best loss are kept.
class ReadingSearch {
 public:
  ReadingSearch(const std::string& text, size_t offset, const std::vector<Option>& options,
                const KnownWords& words, const CorrectionLimits& limits)
      : text_(text),
        candidate_(text),
        offset_(offset),
        options_(options),
        words_(words),
        limits_(limits) {}

  void Run() { Extend(0, 0.0); }
  Choice best;
  double secondLoss = INFINITY;

 private:
  // Tries every further change from option `from` on, on top of the changes made.
  void Extend(size_t from, double loss) {
    if (int32_t(changes_.size()) >= limits_.maxChanges) return;
    for (size_t k = from; k < options_.size(); ++k) {
      const Option& option = options_[k];
      const double total = loss + option.loss;
      if (total > limits_.maxWordLoss) break;  // the options come sorted by loss
      char& slot = candidate_[option.position - offset_];
      if (slot != text_[option.position - offset_]) continue;  // this character changed already
      slot = char(option.code);
      changes_.push_back(option);
      if (words_.Knows(candidate_)) Consider(total);
      Extend(k + 1, total);
      changes_.pop_back();
      slot = text_[option.position - offset_];
    }
  }
  void Consider(double loss) {
    if (loss < best.loss) {
      secondLoss = best.loss;
      best = {changes_, loss};
    } else if (loss < secondLoss) {
      secondLoss = loss;
    }
  }

  const std::string& text_;
  std::string candidate_;
  size_t offset_;
  const std::vector<Option>& options_;
  const KnownWords& words_;
  const CorrectionLimits& limits_;
  std::vector<Option> changes_;
};

bool SettleStretch(PageWord& word, Stretch s, const KnownWords& words,
                   const CorrectionLimits& limits) {
  std::string text;
  for (size_t i = s.begin; i < s.end; ++i) text += char(word.chars[i].code);
  if (words.Knows(text)) return false;
  // A capitalised word the list lacks is most likely a name: only a close reading with
  // few changes is taken.
  const bool capitalised = IsCapital1252(uint8_t(text[0]));
  CorrectionLimits used = limits;
  if (capitalised) {
    used.maxChanges = std::min(limits.maxChanges, limits.capitalisedMaxChanges);
    used.maxWordLoss = std::min(limits.maxWordLoss, limits.capitalisedMaxLoss);
  }
  const std::vector<Option> options = DoubtfulOptions(word, s, used.maxWordLoss);
  ReadingSearch search(text, s.begin, options, words, used);
  search.Run();
  if (search.best.changes.empty() || search.secondLoss - search.best.loss < limits.tieMargin)
    return false;
  for (const Option& change : search.best.changes) {
    PageChar& c = word.chars[change.position];
    // The reading given up becomes an alternative in its place.
    for (Alternative& a : c.alternatives)
      if (a.code == change.code) a = {c.code, c.confidence};
    c.code = change.code;
    c.confidence = std::max(0.0, c.confidence - change.loss);
  }
  return true;
}

// The small form of a word's first letter.
std::string FirstSmall(std::string_view word) {
  std::string small(word);
  if (!small.empty()) small[0] = char(ToSmall1252(uint8_t(small[0])));
  return small;
}

}  // namespace

void WordLookup::Add(std::string_view word) {
  if (word.empty() || text_.size() + word.size() + 1 > UINT32_MAX) return;
  offsets_.push_back(uint32_t(text_.size()));
  text_.append(word);
  text_.push_back('\0');
}

void WordLookup::Reserve(size_t words, size_t bytes) {
  offsets_.reserve(words);
  text_.reserve(bytes + words);  // each word's NUL
}

void WordLookup::Build() {
  size_t size = 16;
  while (size < 2 * offsets_.size()) size *= 2;
  table_.assign(size, 0);
  for (uint32_t k = 0; k < offsets_.size(); ++k) {
    const std::string_view word(text_.data() + offsets_[k]);
    size_t slot = HashOf(word) & (size - 1);
    while (table_[slot] != 0) slot = (slot + 1) & (size - 1);
    table_[slot] = k + 1;
  }
}

bool WordLookup::Contains(std::string_view word) const {
  if (table_.empty() || word.empty()) return false;
  const size_t mask = table_.size() - 1;
  for (size_t slot = HashOf(word) & mask; table_[slot] != 0; slot = (slot + 1) & mask)
    if (std::string_view(text_.data() + offsets_[table_[slot] - 1]) == word) return true;
  return false;
}

bool WordLookup::Knows(std::string_view word) const {
  if (Contains(word)) return true;
  return !word.empty() && IsCapital1252(uint8_t(word[0])) && Contains(FirstSmall(word));
}

bool AnyOfWords::Knows(std::string_view word) const {
  for (const KnownWords* language : languages)
    if (language->Knows(word)) return true;
  return false;
}

bool AnyOfWords::Empty() const {
  for (const KnownWords* language : languages)
    if (!language->Empty()) return false;
  return true;
}

uint8_t CommaOrLowQuote(const PageWord& word, size_t i) {
  const uint8_t code = word.chars[i].code;
  if (code != ',' && code != kLowSingleQuote) return code;
  if (i > 0) return ',';
  return word.chars.size() > 1 ? kLowSingleQuote : code;
}

bool SettleMarks(PageWord& word, const CorrectionLimits& limits) {
  bool changed = false;
  for (size_t i = 0; i < word.chars.size(); ++i) {
    PageChar& c = word.chars[i];
    // A low double quote opens a quotation too; after another character (a low quote's
    // second mark aside) it is a comma with a speck.
    const bool lowQuoteBefore = i > 0 && (word.chars[i - 1].code == kLowSingleQuote ||
                                          word.chars[i - 1].code == kLowDoubleQuote);
    const uint8_t wanted = c.code == kLowDoubleQuote && i > 0 && !lowQuoteBefore
                               ? uint8_t(',')
                               : CommaOrLowQuote(word, i);
    if (wanted == c.code) continue;
    for (Alternative& a : c.alternatives) {
      if (a.code != wanted || c.confidence - a.confidence > limits.maxMarkLoss) continue;
      std::swap(c.code, a.code);
      std::swap(c.confidence, a.confidence);
      changed = true;
      break;
    }
  }
  return changed;
}

bool SettleWord(PageWord& word, const KnownWords& words, const CorrectionLimits& limits) {
  bool changed = false;
  for (const Stretch& s : LetterStretches(word)) changed |= SettleStretch(word, s, words, limits);
  return changed;
}

CorrectionCount SettleDoubtfulCharacters(PageText& page, const KnownWords& words,
                                         const CorrectionLimits& limits) {
  CorrectionCount count;
  for (PageBlock& block : page.blocks)
    for (PageLine& line : block.lines)
      for (PageWord& word : line.words) {
        if (SettleMarks(word, limits)) ++count.marksChanged;
        if (words.Empty()) continue;
        bool unknown = false;
        for (const Stretch& s : LetterStretches(word)) {
          std::string text;
          for (size_t i = s.begin; i < s.end; ++i) text += char(word.chars[i].code);
          unknown |= !words.Knows(text);
        }
        if (!unknown) continue;
        ++count.wordsChecked;
        if (SettleWord(word, words, limits)) ++count.wordsChanged;
      }
  page.Summarise();
  return count;
}

namespace {

std::string StretchText(const PageWord& word, Stretch s) {
  std::string text;
  for (size_t i = s.begin; i < s.end; ++i) text += char(word.chars[i].code);
  return text;
}

// The probability of character i of a known stretch, against the readings that would make
// another known word only.
double KnownCharProbability(const PageWord& word, Stretch s, size_t i, const KnownWords& words) {
  const PageChar& c = word.chars[i];
  double rivals = 0;
  std::string text = StretchText(word, s);
  for (const Alternative& a : c.alternatives) {
    if (a.code == c.code || a.code == 0) continue;
    text[i - s.begin] = char(a.code);
    if (words.Knows(text)) rivals += a.confidence;
  }
  return c.confidence + rivals > 0 ? c.confidence / (c.confidence + rivals) : 0.0;
}

}  // namespace

void WeighByKnownWords(PageText& page, const KnownWords& words) {
  if (words.Empty()) return;
  for (PageBlock& block : page.blocks)
    for (PageLine& line : block.lines)
      for (PageWord& word : line.words) {
        std::vector<double> weighed;
        for (const Stretch& s : LetterStretches(word)) {
          if (!words.Knows(StretchText(word, s))) continue;
          weighed.clear();
          for (size_t i = s.begin; i < s.end; ++i)
            weighed.push_back(KnownCharProbability(word, s, i, words));
          for (size_t i = s.begin; i < s.end; ++i) word.chars[i].confidence = weighed[i - s.begin];
        }
      }
  page.Summarise();
}

double WordRightProbability(const PageWord& word, const KnownWords* words) {
  std::vector<double> chars;
  for (const PageChar& c : word.chars) chars.push_back(c.confidence);
  if (words && !words->Empty())
    for (const Stretch& s : LetterStretches(word))
      if (words->Knows(StretchText(word, s)))
        for (size_t i = s.begin; i < s.end; ++i)
          chars[i] = KnownCharProbability(word, s, i, *words);
  double probability = 1.0;
  for (double p : chars) probability *= p;
  return probability;
}

bool JoinsDividedWord(std::string_view head, std::string_view tail, const KnownWords* words) {
  if (head.empty() || tail.empty()) return false;
  const uint8_t last = uint8_t(head.back()), next = uint8_t(tail.front());
  // Only letters join, and a capital after the break begins a word of its own.
  if (!IsLetter1252(last) || !IsLetter1252(next) || IsCapital1252(next)) return false;
  std::string_view tailWord = tail;
  while (!tailWord.empty() && !IsLetter1252(uint8_t(tailWord.back()))) tailWord.remove_suffix(1);
  // "Bus- und Autofahrer": the hyphen stands for a word's second part.
  static constexpr std::string_view kConjunctions[] = {"und", "oder", "bis",  "sowie",
                                                       "bzw", "als",  "noch", "wie"};
  for (std::string_view c : kConjunctions)
    if (tailWord == c) return false;
  if (!words) return true;
  const std::string joined = std::string(head) + std::string(tailWord);
  if (words->Knows(joined)) return true;
  if (words->Knows(std::string(head) + "-" + std::string(tailWord))) return false;
  return true;  // a word divided at the line's end is far commoner than a compound hyphen
}
