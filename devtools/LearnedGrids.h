// The store of learned grids behind LearnTheChar and getthechar: examples of characters as
// 17 x 17 grids, kept in a text file in the user's data directory so that they last between
// runs, and a recogniser that answers with the nearest example.
//
// The file is "learned-grids.txt": the line "Quillon learned grids 1", then one line per
// example in the order learned: the Windows-1252 code in decimal, a blank, and the 289
// cells in grid index order, '#' for ink and '.' for paper. Every change writes a new
// file beside it and renames it over the old one, so a crash or a full disk leaves either
// the old or the new store, never a broken one. A file that is damaged all the same is
// renamed aside (".damaged", ".damaged.1", ...) and reported, and learning starts afresh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recognition/GlyphTypes.h"

struct LearnedGrid {
  uint8_t charCode;
  GlyphGrid grid;
};

// Ink cells shared by both grids over ink cells of either: 1 for equal grids, 0 when no
// ink is shared or neither grid has ink.
double OverlapRatio(const GlyphGrid& a, const GlyphGrid& b);

// The store file's text: parsing (false with *reason saying where it broke) and writing.
bool ParseLearnedGrids(const std::string& content, std::vector<LearnedGrid>* examples,
                       std::string* reason);
std::string FormatLearnedGrids(const std::vector<LearnedGrid>& examples);

class LearnedGrids {
 public:
  static constexpr const char* kFileName = "learned-grids.txt";
  static constexpr char kNothingLearned = '?';

  // directory: where the store file lives; it is created when the first example is saved.
  // Empty: there is nowhere to keep examples (Add fails, nothing is ever learned).
  explicit LearnedGrids(std::string directory);

  // $XDG_DATA_HOME/quillon, else $HOME/.local/share/quillon; empty when neither variable
  // holds an absolute path.
  static std::string DefaultDirectory();

  std::string FilePath() const;

  enum class LoadResult { Loaded, NoFile, SetAside, Unreadable };
  // Reads the store file. A damaged file is set aside (SetAside); a file that cannot be
  // read at all is left where it is (Unreadable), and Add then refuses to replace it.
  LoadResult Load();
  // What the last Load had to report (a damaged or unreadable file); empty when all is well.
  const std::string& Problem() const { return problem_; }
  const std::vector<LearnedGrid>& Examples() const { return examples_; }

  // Reads the file afresh (other programs may have learned meanwhile), appends the example
  // and saves. On failure *error says why, and the file on disk is unchanged.
  bool Add(uint8_t charCode, const GlyphGrid& grid, std::string* error);

  // The character of the example nearest to grid by OverlapRatio (the first learned among
  // equals), or kNothingLearned when nothing is learned or nothing shares ink with it.
  uint8_t Nearest(const GlyphGrid& grid, double* ratio = nullptr) const;

 private:
  bool Save(std::string* error) const;

  std::string directory_;
  std::vector<LearnedGrid> examples_;
  std::string problem_;
  bool replaceable_ = true;  // false while an unreadable file stands in the way
};
