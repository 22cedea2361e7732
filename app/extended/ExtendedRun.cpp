// The extended recogniser's run: ink, blocks, lines, characters, the page's own glyph shapes
// learned from what read confidently, words, and the page result in the output field.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string_view>

#include "app/MainUnit.h"
#include "core/BothCores.h"
#include "core/Cp1252.h"
#include "core/Median.h"
#include "layout/PageSegmentation.h"
#include "output/PlainText.h"
#include "recognition/ExtendedPage.h"
#include "recognition/GlyphNet.h"

namespace {

constexpr double kLearnScore = 0.9;    // a reading this good teaches the page's shapes
constexpr double kLearnMargin = 0.05;  // ... when the next reading is this far behind
// A glyph this many times as wide as the page's confident readings of its character is
// suspected to be two letters touching; a few readings make a character's usual width.
// Only narrow letters (f t r i l, under this many x-heights wide) are suspected: they are the
// ones that touch their neighbours in print ("fl", "ft", "tt"), and the widths of wide
// letters vary more between the sizes and faces of one page.
constexpr double kTooWide = 1.35;
constexpr double kNarrowLetter = 0.55;
constexpr size_t kWidthSamples = 3;
constexpr double kNoText = 0.25;  // a line whose glyphs read this badly is a picture's ink
// A few glyphs are little evidence: the grain of a photograph reads as a letter or two now and
// then, so each glyph of a short line must read fairly to count as text.
constexpr size_t kShortLine = 4;
constexpr double kNoTextInShortLine = 0.5;
// The glyph model learned letters from an x-height of 6 px up: a few glyphs standing in a
// line lower than that are a picture's grain.
constexpr int32_t kSmallestXHeight = 6;
// A line whose letters were broken apart (a light copy's strokes) reads like a picture's ink
// until its words are read again; where at least this share of its letters, and this many,
// then stand in words the page's languages know, it is text. A picture's grain read again
// makes letters, hardly words.
constexpr double kKnownLettersOfText = 0.5;
constexpr size_t kFewestKnownLetters = 8;

// The page's words for both cores: a Hunspell dictionary keeps working state, and a lookup
// is short beside the reading it decides.
class OneAtATime final : public KnownWords {
 public:
  explicit OneAtATime(const KnownWords& words) : words_(words) {}
  bool Knows(std::string_view word) const override {
    std::lock_guard<std::mutex> hold(lock_);
    return words_.Knows(word);
  }
  bool Empty() const override { return words_.Empty(); }

 private:
  const KnownWords& words_;
  mutable std::mutex lock_;
};

// One line of a block and the characters read on it.
struct LineWork {
  size_t block = 0;
  InkLine line;
  std::vector<ReadGlyph> glyphs;
  // As first read: reading the words again may find letters in a picture's grain, or junk
  // where there were letters, and a line that reads badly either way is a picture's ink.
  bool firstReadLikePicture = false;
};

// A block of so many lines is a paragraph, not a heading or a page's number.
constexpr size_t kLinesOfAParagraph = 3;

std::vector<LineWork> PageLines(const InkPage& ink, const SegmentedPage& segments) {
  std::vector<std::vector<InkLine>> lines;
  std::vector<int32_t> pageRatios;
  std::vector<bool> ownRatio;
  for (const PageRegion& block : segments.textBlocks) {
    std::vector<int32_t> ratios;
    lines.push_back(FindLines(ink.parts, block.components, ink.letterHeight, 0, &ratios));
    ownRatio.push_back(!ratios.empty());
    pageRatios.insert(pageRatios.end(), ratios.begin(), ratios.end());
  }
  // A paragraph whose lines each show letters of one height (a fax's, its small letters broken)
  // measures them by the page's capitals and small letters, not a common face's. A line or two
  // alone (a heading in capitals, a page's number) keeps the common measure.
  if (!pageRatios.empty()) {
    const int32_t pageRatio = Median(pageRatios);
    for (size_t b = 0; b < lines.size(); ++b)
      if (!ownRatio[b] && lines[b].size() >= kLinesOfAParagraph)
        lines[b] =
            FindLines(ink.parts, segments.textBlocks[b].components, ink.letterHeight, pageRatio);
  }
  std::vector<LineWork> work;
  for (size_t b = 0; b < lines.size(); ++b)
    for (InkLine& line : lines[b]) work.push_back({b, std::move(line), {}});
  return work;
}

void ReadLine(const InkPage& ink, const GlyphClassifier& classifier, LineWork* work) {
  const ClassifyFunction classify = [&classifier](const GlyphBitmap& glyph, const PageBox& box,
                                                  const LineMetrics& metrics) {
    return classifier.Read(glyph, box, metrics);
  };
  for (const GlyphParts& glyph : AssembleGlyphs(ink.parts, work->line)) {
    const GlyphBitmap bitmap = GlyphInk(ink.parts, glyph.parts, glyph.box);
    for (ReadGlyph& read : ReadWithSplits(bitmap, glyph.box, work->line, classify))
      work->glyphs.push_back(std::move(read));
  }
}

// The learned classifier reads a line's characters in one batch, and the pieces of a
// character that reads badly in a batch for each try at cutting it.
std::vector<GlyphReading> ReadBatch(const GlyphNet& net, const CharacterPriors& priors,
                                    const std::vector<GlyphToRead>& glyphs) {
  std::vector<GlyphNetInput> inputs(glyphs.size());
  for (size_t i = 0; i < glyphs.size(); ++i)
    PrepareGlyph(*glyphs[i].ink, glyphs[i].box, glyphs[i].metrics, &inputs[i]);
  std::vector<GlyphReading> readings = net.Classify(inputs);
  for (GlyphReading& reading : readings) WeighByPriors(priors, &reading);
  return readings;
}

ClassifyBatch BatchReader(const GlyphNet& net, const CharacterPriors& priors) {
  return [&net, &priors](const std::vector<GlyphToRead>& glyphs) {
    return ReadBatch(net, priors, glyphs);
  };
}

void LeaveOutSpecks(std::vector<LineWork>* lines) {
  PageFullStops fullStops;
  for (const LineWork& work : *lines) fullStops.Add(work.glyphs, work.line.xHeight);
  for (LineWork& work : *lines) fullStops.LeaveOutSpecks(&work.glyphs, work.line.xHeight);
}

void ReadLineWithNet(const InkPage& ink, const ClassifyBatch& classify, LineWork* work) {
  const InkLine& line = work->line;
  const std::vector<GlyphParts> glyphs = AssembleGlyphs(ink.parts, line);
  std::vector<GlyphBitmap> bitmaps;
  bitmaps.reserve(glyphs.size());  // the batch below points into it
  std::vector<GlyphToRead> batch;
  for (const GlyphParts& glyph : glyphs) {
    bitmaps.push_back(GlyphInk(ink.parts, glyph.parts, glyph.box));
    batch.push_back({&bitmaps.back(), glyph.box, line.MetricsUnder(glyph.box)});
  }
  std::vector<GlyphReading> readings = classify(batch);
  for (size_t i = 0; i < glyphs.size(); ++i)
    for (ReadGlyph& read :
         ReadWithSplits(bitmaps[i], glyphs[i].box, line, classify, std::move(readings[i])))
      work->glyphs.push_back(std::move(read));
  JoinBrokenGlyphs(&work->glyphs, line, classify);
  SplitOffTouchingStops(&work->glyphs, line, classify);
}

// The letters of the page's known words, as the learned classifier saw them.
std::vector<ShapeExample> ShapeExamples(const std::vector<LineWork>& lines,
                                        const std::vector<std::vector<ReadAndMeant>>& letters) {
  std::vector<ShapeExample> examples;
  for (size_t i = 0; i < lines.size(); ++i)
    for (const ReadAndMeant& letter : letters[i])
      examples.push_back({lines[i].glyphs[letter.glyph].features, letter.meant});
  return examples;
}

// A page whose languages know fewer of its letters' words than this is in another language, or
// is no prose: the words they know there are chance look-alikes, not the page's letters. (Pages
// in their language know two thirds and more even as faxes; in another, a tenth.)
constexpr double kLeastKnownShare = 0.3;

PageShapes ShapesOfPage(const std::vector<LineWork>& lines,
                        const std::vector<std::vector<ReadAndMeant>>& letters) {
  size_t known = 0, read = 0;
  for (const std::vector<ReadAndMeant>& line : letters) known += line.size();
  for (const LineWork& work : lines)
    for (const ReadGlyph& glyph : work.glyphs)
      if (!glyph.readings.empty() && IsLetter1252(glyph.readings.front().code)) ++read;
  if (double(known) < kLeastKnownShare * double(read)) return PageShapes({});
  return PageShapes(ShapeExamples(lines, letters));
}

// A glyph the classifier reads this surely keeps its reading: the page's shapes are for the
// glyphs in doubt.
constexpr double kSureReading = 0.99;

// The readings of the line's glyphs in doubt weighed with the page's shapes; whether that
// changed any glyph's best reading.
bool WeighWithPageShapes(const PageShapes& shapes, LineWork* work) {
  std::vector<GlyphReading> readings;
  std::vector<size_t> inDoubt;
  for (size_t k = 0; k < work->glyphs.size(); ++k) {
    const ReadGlyph& glyph = work->glyphs[k];
    if (glyph.readings.empty() || glyph.Score() >= kSureReading || !glyph.features) continue;
    inDoubt.push_back(k);
    readings.emplace_back(glyph.readings);
    readings.back().features = glyph.features;
  }
  shapes.Weigh(&readings);
  bool changed = false;
  for (size_t k = 0; k < readings.size(); ++k) {
    std::vector<ScoredChar>& was = work->glyphs[inDoubt[k]].readings;
    changed |= was.front().code != readings[k].readings.front().code;
    was = std::move(readings[k].readings);
  }
  return changed;
}

// The letters of each line's known words.
std::vector<std::vector<ReadAndMeant>> LettersOfKnownWords(const std::vector<LineWork>& lines,
                                                           const KnownWords& words) {
  std::vector<std::vector<ReadAndMeant>> letters(lines.size());
  OnPageThreads(lines.size(), [&](size_t i) {
    letters[i] = LettersOfKnownWords(lines[i].glyphs, lines[i].line, words);
  });
  return letters;
}

// Rounds of learning the page's shapes from the words read and reading again: the second
// learns from the words the first settled (a third mended hardly more).
constexpr int kShapeRounds = 2;

// The doubtful words read again with the word list. The words it settles show how the page
// draws its letters and which letters it misreads the same way throughout; the doubtful words
// are then read again, from the glyphs as first read, with both weighed in. (Learning the
// misreadings again from that reading settled no more words, and mended fewer.)
void ReadWordsAgain(const ClassifyBatch& classify, const KnownWords& words,
                    const LetterModel& spelling, std::vector<LineWork>* lines) {
  std::vector<LineWork> asRead = *lines;
  OnPageThreads(lines->size(), [&](size_t i) {
    LineWork& work = (*lines)[i];
    ReadDoubtfulWordsAgain(&work.glyphs, work.line, classify, words, nullptr, &spelling);
  });
  std::vector<std::vector<ReadAndMeant>> letters = LettersOfKnownWords(*lines, words);
  std::vector<ReadAndMeant> all;
  for (const std::vector<ReadAndMeant>& line : letters)
    all.insert(all.end(), line.begin(), line.end());
  const PageMisreadings misreadings = MisreadingsOf(all);
  const PageMisreadings* misread = AnyMisreading(misreadings) ? &misreadings : nullptr;
  for (int round = 0; round < kShapeRounds; ++round) {
    const PageShapes shapes = ShapesOfPage(*lines, letters);
    if (!misread && shapes.Empty()) return;
    const ClassifyBatch withShapes = [&classify, &shapes](const std::vector<GlyphToRead>& glyphs) {
      std::vector<GlyphReading> readings = classify(glyphs);
      shapes.Weigh(&readings);
      return readings;
    };
    std::vector<LineWork> before = std::move(*lines);
    // The last round needs the glyphs as first read no more.
    *lines = round + 1 < kShapeRounds ? asRead : std::move(asRead);
    OnPageThreads(lines->size(), [&](size_t i) {
      LineWork& work = (*lines)[i];
      const bool shapesChanged = !shapes.Empty() && WeighWithPageShapes(shapes, &work);
      // A line the shapes read as before, on a page of no misreadings, keeps its reading.
      if (!shapesChanged && !misread) {
        work = std::move(before[i]);
        return;
      }
      ReadDoubtfulWordsAgain(&work.glyphs, work.line, withShapes, words, misread, &spelling);
    });
    if (shapes.Empty()) return;
    letters = LettersOfKnownWords(*lines, words);
  }
}

bool Confident(const ReadGlyph& glyph);

// Each character's usual width on this page, in x-heights, from its confident readings
// (0 where fewer than kWidthSamples were read).
std::vector<double> TypicalWidths(const std::vector<LineWork>& lines) {
  std::vector<std::vector<double>> widths(256);
  for (const LineWork& work : lines)
    for (const ReadGlyph& glyph : work.glyphs)
      if (Confident(glyph) && work.line.xHeight > 0)
        widths[glyph.readings.front().code].push_back(double(glyph.box.Width()) /
                                                      work.line.xHeight);
  std::vector<double> typical(256, 0.0);
  for (size_t code = 0; code < 256; ++code) {
    std::vector<double>& w = widths[code];
    if (w.size() < kWidthSamples) continue;
    typical[code] = Median(std::move(w));
  }
  return typical;
}

// Touching letters that read as one ("fl" as "f", "tt" as "r") stand out by their width
// against the page's own readings of that character.
void CutTooWideGlyphs(const ClassifyBatch& classify, std::vector<LineWork>* lines) {
  const std::vector<double> typical = TypicalWidths(*lines);
  OnPageThreads(lines->size(), [&](size_t i) {
    LineWork& work = (*lines)[i];
    if (work.line.xHeight <= 0) return;
    std::vector<ReadGlyph> cut;
    for (ReadGlyph& glyph : work.glyphs) {
      const double usual = glyph.readings.empty() ? 0.0 : typical[glyph.readings.front().code];
      const double width = double(glyph.box.Width()) / work.line.xHeight;
      if (usual <= 0 || usual > kNarrowLetter || width < kTooWide * usual) {
        cut.push_back(std::move(glyph));
        continue;
      }
      for (ReadGlyph& piece : CutTooWide(glyph, work.line, classify))
        cut.push_back(std::move(piece));
    }
    work.glyphs = std::move(cut);
  });
}

bool Confident(const ReadGlyph& glyph) {
  const double second = glyph.readings.size() > 1 ? glyph.readings[1].score : 0.0;
  return glyph.Score() >= kLearnScore && glyph.Score() - second >= kLearnMargin;
}

// The page's own shapes: glyphs read with confidence become examples, then the doubtful
// glyphs are read again with them.
void AdaptToPage(GlyphClassifier& classifier, std::vector<LineWork>* lines) {
  classifier.Forget();
  bool learned = false;
  for (const LineWork& work : *lines)
    for (const ReadGlyph& glyph : work.glyphs) {
      if (!Confident(glyph)) continue;  // a confident glyph has a reading
      classifier.Learn(glyph.ink, glyph.box, work.line.MetricsAt(glyph.box.left),
                       glyph.readings.front().code);
      learned = true;
    }
  if (!learned) return;
  OnPageThreads(lines->size(), [&](size_t i) {
    LineWork& work = (*lines)[i];
    for (ReadGlyph& glyph : work.glyphs) {
      // The templates' verdict is kept from the first reading; only the examples are new.
      std::shared_ptr<const TemplateVerdict> verdict = std::move(glyph.verdict);
      if (Confident(glyph)) continue;
      const LineMetrics metrics = work.line.MetricsUnder(glyph.box);
      std::vector<ScoredChar> again = verdict ? classifier.ReadAgain(*verdict)
                                              : classifier.Classify(glyph.ink, glyph.box, metrics);
      if (!again.empty()) glyph.readings = std::move(again);
    }
  });
}

// The templates of several faces, rendered at the first run and kept in `kept` for the next
// pages, then the page's own shapes learned from what they read confidently.
void ReadWithTemplates(std::shared_ptr<GlyphClassifier>& kept, const InkPage& ink,
                       std::vector<LineWork>* lines) {
  if (!kept) kept = std::make_shared<GlyphClassifier>();
  GlyphClassifier& classifier = *kept;
  classifier.Forget();
  std::vector<int32_t> xHeights;
  for (const LineWork& work : *lines) xHeights.push_back(work.line.xHeight);
  GlyphClassifier::PrepareFor(xHeights);
  OnPageThreads(lines->size(), [&](size_t i) { ReadLine(ink, classifier, &(*lines)[i]); });
  AdaptToPage(classifier, lines);
}

PageChar ToPageChar(const ReadGlyph& glyph) {
  PageChar c;
  c.box = glyph.box;
  if (glyph.readings.empty()) return c;
  c.code = glyph.readings.front().code;
  // A letter drawn like its capital at another size is told by its height (SettleCaseTwins).
  if (IsCaseTwin(c.code)) c.box = BodyBox(glyph);
  c.confidence = std::clamp(glyph.readings.front().score, 0.0, 1.0);
  for (size_t i = 1; i < glyph.readings.size(); ++i)
    if (glyph.readings[i].code != c.code)
      c.alternatives.push_back(
          {glyph.readings[i].code, std::clamp(glyph.readings[i].score, 0.0, 1.0)});
  return c;
}

LetterHeights MeasureLetterHeights(const std::vector<LineWork>& lines) {
  std::vector<double> ascenders, capitals;
  for (const LineWork& work : lines) {
    if (work.line.xHeight <= 0) continue;
    for (const ReadGlyph& glyph : work.glyphs) {
      if (!Confident(glyph)) continue;
      const uint8_t code = glyph.readings.front().code;
      const double h = double(glyph.box.Height()) / work.line.xHeight;
      if (std::string_view("bdhk").find(char(code)) != std::string_view::npos)
        ascenders.push_back(h);
      if (std::string_view("BDEFHKLNPRT").find(char(code)) != std::string_view::npos)
        capitals.push_back(h);
    }
  }
  return {Median(ascenders), Median(capitals)};
}

// A lone object cut by the picture's edge is a scanner's border or the rest of a picture,
// not a line of text.
bool IsEdgeSliver(const LineWork& work, int32_t width, int32_t height) {
  const PageBox& box = work.line.box;
  return work.glyphs.size() == 1 &&
         (box.left <= 0 || box.top <= 0 || box.right >= width - 1 || box.bottom >= height - 1);
}

// A line of one small glyph is a speck: lower than half the page's letters, or any such line
// on a page where nothing stands like letters.
bool IsLoneSpeck(const LineWork& work, int32_t letterHeight) {
  return work.glyphs.size() == 1 &&
         (letterHeight == 0 || 2 * work.line.box.Height() < letterHeight);
}

bool ReadsAsKnownWords(const LineWork& work, const KnownWords& words) {
  const size_t letters =
      size_t(std::count_if(work.glyphs.begin(), work.glyphs.end(), [](const ReadGlyph& g) {
        return !g.readings.empty() && IsLetter1252(g.readings.front().code);
      }));
  const size_t known = LettersOfKnownWords(work.glyphs, work.line, words).size();
  return known >= kFewestKnownLetters && double(known) >= kKnownLettersOfText * double(letters);
}

bool LooksLikePicture(const LineWork& work) {
  std::vector<double> scores;
  for (const ReadGlyph& g : work.glyphs) scores.push_back(g.Score());
  if (scores.empty()) return true;
  if (scores.size() <= kShortLine)
    return work.line.xHeight < kSmallestXHeight ||
           *std::min_element(scores.begin(), scores.end()) < kNoTextInShortLine;
  return Median(scores) < kNoText;
}

PageLine ToPageLine(const LineWork& work, const LetterHeights& heights) {
  PageLine line;
  line.baseline = work.line.Baseline((work.line.box.left + work.line.box.right) / 2);
  std::vector<const ReadGlyph*> glyphs;
  for (const ReadGlyph& g : work.glyphs)
    if (!g.readings.empty()) glyphs.push_back(&g);
  const std::vector<bool> breaks = GlyphWordGaps(glyphs, work.line).breaks;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    if (i == 0 || breaks[i - 1]) line.words.emplace_back();
    line.words.back().chars.push_back(ToPageChar(*glyphs[i]));
  }
  const double smallHeight = SmallLetterHeight(line.words);
  for (PageWord& word : line.words) {
    SettleCharactersWithoutAClass(&word, work.line);
    SettleCommas(&word);
    SettleDigits(&word);
    SettleIAndL(&word, heights, work.line.xHeight);
    SettleCaseTwins(&word, smallHeight);
  }
  // After the case twins: in small capitals they stand as high as the small letters.
  SettleSmallCapitals(&line.words, work.line.xHeight);
  return line;
}

// "3.0 degrees clockwise", as a turn reads to the user.
std::string TurnText(double radians) {
  char degrees[32];
  std::snprintf(degrees, sizeof degrees, "%.1f", std::abs(radians) * 180 / M_PI);
  return std::string(degrees) + (radians > 0 ? " degrees clockwise" : " degrees anticlockwise");
}

std::string QuarterTurnsText(int32_t quarterTurns) {
  if (quarterTurns == 1) return "a quarter turn clockwise";
  if (quarterTurns == 2) return "half a turn";
  return "a quarter turn anticlockwise";
}

// The page's boxes and baselines where they stand on the picture as it came, where the page
// was turned upright or straightened to be read.
void TurnBack(const PageTurn& turn, PageText* text) {
  if (!turn.Turned()) return;
  text->quarterTurns = turn.quarterTurns;
  for (PageBlock& block : text->blocks)
    for (PageLine& line : block.lines) {
      // A baseline is a row of the page only where the text stands upright on it.
      const PageBox baseline{line.box.left, line.baseline, line.box.right, line.baseline};
      line.baseline = turn.quarterTurns == 0 ? turn.Back(baseline).top : 0;
      for (PageWord& word : line.words)
        for (PageChar& c : word.chars) c.box = turn.Back(c.box);
    }
  text->Summarise();
}

// Why a page gave no text, for the user; empty when it gave some.
std::string NoTextReason(const InkPage& ink, size_t linesFound, const PageText& text) {
  for (const PageBlock& block : text.blocks)
    if (!block.lines.empty()) return {};
  if (ink.parts.empty() && ink.leftOut.empty()) return "the page is blank";
  if (ink.parts.empty()) return "all its ink lies in pictures, borders or shadows";
  if (linesFound == 0) return "nothing on it stands in lines like letters";
  return "what stands in lines reads like no letters (a picture's ink)";
}

// Unknown codes (a window's field being typed) weigh no character down.
CharacterPriors PagePriors(const std::string& languageList) {
  std::vector<Language> languages;
  std::string unknown;
  if (ParseLanguages(languageList, &languages, &unknown)) return PriorsOf(languages);
  CharacterPriors none;
  none.fill(1.0);
  return none;
}

int32_t StatedDpi(const RasterImage& picture) {
  const BitmapInfoHeader* info = DIBInfo(picture);
  return info && info->biXPelsPerMeter > 0 ? int32_t(std::lround(info->biXPelsPerMeter * 0.0254))
                                           : 0;
}

// Each line's best readings, parted at its word gaps: the words that tell the page's language;
// those of the lines that read like a picture's grain at first only where `likePictures`.
std::vector<std::string> LineWords(const std::vector<LineWork>& lines, bool likePictures) {
  std::vector<std::string> words;
  for (const LineWork& work : lines) {
    if (work.firstReadLikePicture && !likePictures) continue;
    std::vector<const ReadGlyph*> glyphs;
    for (const ReadGlyph& g : work.glyphs)
      if (!g.readings.empty()) glyphs.push_back(&g);
    const std::vector<bool> breaks = GlyphWordGaps(glyphs, work.line).breaks;
    std::string word;
    for (size_t i = 0; i < glyphs.size(); ++i) {
      word += char(glyphs[i]->readings.front().code);
      if (i + 1 == glyphs.size() || breaks[i]) words.push_back(std::move(word)), word.clear();
    }
  }
  return words;
}

// The words as first read, of the lines that read like letters.
std::vector<std::string> FirstReadWords(const std::vector<LineWork>& lines) {
  return LineWords(lines, false);
}

// The words of every line, those that read like a picture's grain too: a light copy's letters
// fallen apart into strokes read so.
std::vector<std::string> WordsOfEveryLine(const std::vector<LineWork>& lines) {
  return LineWords(lines, true);
}

// The languages the program can read a page in here: German, and those whose dictionary is
// installed.
std::vector<Language> InstalledLanguages() {
  std::vector<Language> installed;
  const std::vector<std::string> folders = DictionaryFolders();
  for (const Language& language : KnownLanguages())
    if (!*language.dictionary || !FindDictionary(language, folders).empty())
      installed.push_back(language);
  return installed;
}

// The doubtful words read again in the page's languages; a line that read like a picture's
// grain and now reads as their words is text.
void ReadInPageLanguages(TMainForm& form, const ClassifyBatch& classify,
                         std::vector<LineWork>* lines) {
  const OneAtATime words(form.PageLanguageWords());
  ReadWordsAgain(classify, words, form.PageLetterModel(), lines);
  for (LineWork& work : *lines)
    if (work.firstReadLikePicture && ReadsAsKnownWords(work, words))
      work.firstReadLikePicture = false;
}

}  // namespace

const GlyphNet* TMainForm::LoadGlyphNet() {
  if (glyphNetTried) return glyphNet.get();
  glyphNetTried = true;
  try {
    glyphNet = std::make_shared<const GlyphNet>(DataFilePath("glyphnet.onnx"),
                                                DataFilePath("glyphnet.labels"));
  } catch (const std::exception& problem) {
    Log(std::string(problem.what()) + " The templates read instead.");
  }
  return glyphNet.get();
}

const LetterModel& TMainForm::PageLetterModel() {
  if (letterModelMade && letterModelLanguages == PageLanguages()) return letterModel;
  std::vector<Language> languages;
  std::string unknown;
  std::vector<std::string> codes;
  if (ParseLanguages(PageLanguages(), &languages, &unknown))
    for (const Language& language : languages) codes.push_back(language.code);
  letterModel = LetterModel::FromFile(DataFilePath("letters.tsv"), codes);
  if (letterModel.Empty() && !codes.empty())
    Log("Letter model: " + DataFilePath("letters.tsv") +
        " holds none of the languages; doubtful words are read without it.");
  letterModelLanguages = PageLanguages();
  letterModelMade = true;
  return letterModel;
}

bool TMainForm::MayGuessPageLanguage() const {
  return !settings.languagesNamed && settings.languages == kUsualLanguage;
}

bool TMainForm::GuessPageLanguage(const std::vector<std::string>& words) {
  if (!MayGuessPageLanguage()) return false;
  const std::string spelt = PageLanguagesByCommonWords(words, InstalledLanguages(), kUsualLanguage);
  if (spelt.empty()) return false;
  guessedLanguage = spelt;
  Log("Languages: the page's words are " + spelt + "; read in them");
  return true;
}

void TMainForm::ExtendedRecognitionRun() {
  Log("Starting OCR process...");
  if (settings.UseDictionary()) LoadWordLookupMeanwhile();
  pageText = PageText();
  if (!picture.pixels) {
    Log("done.");
    return;
  }
  pageText.width = DIBWidth(picture);
  pageText.height = DIBHeight(picture);
  pageText.dpi = StatedDpi(picture);
  const InkPage ink = FindInk(picture);
  if (ink.onDarkGround) Log("Sheet found on a dark ground: the ground left out");
  if (ink.lightOnDark) Log("Page read as its negative: light print on dark paper");
  if (ink.turn.quarterTurns != 0)
    Log("Page turned upright: " + QuarterTurnsText(ink.turn.quarterTurns));
  if (ink.turn.radians != 0) Log("Page straightened: turned " + TurnText(ink.turn.radians));
  for (const LeftOutRegion& region : ink.leftOut) {
    const PageBox box = ink.turn.Back(region.box);
    Log("Left out, " + region.why + ": " + std::to_string(box.Width()) + "x" +
        std::to_string(box.Height()) + " at " + std::to_string(box.left) + "," +
        std::to_string(box.top));
  }
  const SegmentedPage segments = SegmentInk(ink);
  std::vector<LineWork> lines = PageLines(ink, segments);

  if (const GlyphNet* net = LoadGlyphNet()) {
    CharacterPriors priors = PagePriors(PageLanguages());
    const ClassifyBatch classify = BatchReader(*net, priors);
    OnPageThreads(lines.size(), [&](size_t i) { ReadLineWithNet(ink, classify, &lines[i]); });
    CutTooWideGlyphs(classify, &lines);
    LeaveOutSpecks(&lines);
    for (LineWork& work : lines) work.firstReadLikePicture = LooksLikePicture(work);
    // The doubtful words are read again in the page's language, with its letters. Reading
    // the whole page again with them changed no more than a few characters.
    if (settings.UseDictionary()) {
      const std::vector<std::string> firstWords = FirstReadWords(lines);
      const bool guessed = GuessPageLanguage(firstWords);
      if (guessed) priors = PagePriors(PageLanguages());
      // Letters fallen apart into strokes (a light copy) spell no language as first read, and
      // read again in German, the words of their own language stand out; the page is then
      // read again in it, from its first reading.
      const bool anyLikePicture = std::any_of(
          lines.begin(), lines.end(), [](const LineWork& w) { return w.firstReadLikePicture; });
      std::vector<LineWork> asRead;
      if (!guessed && MayGuessPageLanguage() &&
          HardlyAnyLanguagesWords(anyLikePicture ? WordsOfEveryLine(lines) : firstWords,
                                  InstalledLanguages()))
        asRead = lines;
      ReadInPageLanguages(*this, classify, &lines);
      if (!asRead.empty() && GuessPageLanguage(WordsOfEveryLine(lines))) {
        priors = PagePriors(PageLanguages());
        lines = std::move(asRead);
        ReadInPageLanguages(*this, classify, &lines);
      }
    }
  } else {
    ReadWithTemplates(glyphClassifier, ink, &lines);
  }

  pageText.blocks.resize(segments.textBlocks.size());
  const LetterHeights heights = MeasureLetterHeights(lines);
  for (LineWork& work : lines) {
    SettleApostrophes(&work.glyphs);
    SettleSpeckedSemicolons(&work.glyphs);
  }
  size_t textLines = 0;
  for (const LineWork& work : lines)
    if (!work.firstReadLikePicture && !LooksLikePicture(work) &&
        !IsEdgeSliver(work, ink.width, ink.height) && !IsLoneSpeck(work, ink.letterHeight)) {
      pageText.blocks[work.block].lines.push_back(ToPageLine(work, heights));
      ++textLines;
    }
  // The lines that read as text: those of a picture's grain, a border or a speck are none.
  Log("Text lines found: " + std::to_string(textLines));
  pageText.Summarise();
  pageText.noTextReason = NoTextReason(ink, lines.size(), pageText);
  if (!pageText.noTextReason.empty()) Log("No text found: " + pageText.noTextReason + ".");
  if (settings.UseDictionary()) {
    SettleDoubtfulCharacters();
    SplitRunTogetherWords(&pageText, PageLanguageWords());
    SettleIAndLByKnownWords(&pageText, PageLanguageWords());
    WeighByKnownWords(pageText, PageLanguageWords());
  }
  // Marks set off from their words join them, or go as specks, before the word after a full
  // stop judges it.
  SettleStrayMarks(&pageText);
  if (settings.UseDictionary()) LeaveOutUnpairedQuotes(&pageText, PageLanguageWords());
  // After the words are settled: a capital "I" may have read as "l" until then.
  CommasBeforeSmallLetters(&pageText, settings.UseDictionary() ? &PageLanguageWords() : nullptr);
  pageText.language = DocumentTagOf(PageLanguages());
  TurnBack(ink.turn, &pageText);
  ShowPageText();
  Log("done.");
}

void TMainForm::ShowPageText() {
  const std::string text = PageTextForOutput();
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(Cp1252ToUtf8(std::string_view(text).substr(start, end - start)));
    start = end + 1;
  }
  ShowOutputLines(lines);
  MarkDoubtfulWords();
}
