// How a language spells: the likelihood of each letter after the two before it, learned from
// the words of Debian's word lists (data/letters.tsv, made by training/letter_model.py). It
// tells a misread word that no list knows ("lreinuil", "Kiunm") from a plausible one
// ("dreimal", a name), where the glyphs alone read both about as well.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

class LetterModel {
 public:
  // Before a word's first letter, and after its last.
  static constexpr uint8_t kBoundary = 0;

  // The model of the languages (codes as --language names them) from a table's lines; empty
  // when it holds none of them. Lines that are not `code<TAB>three characters<TAB>count` are
  // passed over: the table is the program's own, and a damaged line costs only its counts.
  static LetterModel FromTable(std::istream& table, const std::vector<std::string>& languages);
  static LetterModel FromFile(const std::string& path, const std::vector<std::string>& languages);

  bool Empty() const { return letters_ == 0; }
  // The natural log of how much likelier `next` (a Windows-1252 letter, either case, or
  // kBoundary: the word ends) is after `before1` `before2` than a letter of the languages'
  // words is on average: above 0 for a usual sequence, far below for one no word spells.
  // 0 for every letter of an empty model.
  double Weigh(uint8_t before1, uint8_t before2, uint8_t next) const;

 private:
  std::vector<uint8_t> index_ = std::vector<uint8_t>(256, 0);  // code -> letter index (0 boundary)
  size_t letters_ = 0;          // letter indices 1..letters_; one more for letters not seen
  std::vector<float> weights_;  // [a][b][c], each of (letters_ + 2) values
};
