// The extended classifier: the whole alphabet read in template faces and in a face the
// templates do not use, at footnote to heading sizes; characters told apart by size and
// position; page learning; bad glyphs; several threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <thread>

#include "recognition/ExtendedAlphabet.h"
#include "recognition/GlyphClassifier.h"
#include "recognition/GlyphTemplates.h"

namespace {

struct Sample {
  uint8_t code = 0;
  GlyphBitmap bitmap;
  PageBox box;
  LineMetrics line;
};

// A character of `font` with an x-height of about `xHeight` pixels, standing on row 500.
bool Draw(const GlyphFont& font, uint8_t code, int32_t xHeight, Sample& sample,
          uint8_t threshold = 128, double shift = 0.0) {
  int32_t size = std::max(4, int32_t(std::lround(xHeight / font.XHeightPerEm())));
  sample.line = font.Metrics(size, threshold);
  sample.line.baseline = 500;
  RenderedGlyph glyph;
  if (!font.Render(code, size, threshold, glyph, shift, shift)) return false;
  sample.code = code;
  sample.bitmap = glyph.bitmap;
  sample.box = {40, sample.line.baseline + 1 - glyph.extent.topEdge, 40 + glyph.bitmap.width - 1,
                sample.line.baseline - glyph.extent.bottomEdge};
  return true;
}

std::vector<Sample> DrawAlphabet(const GlyphFont& font, int32_t xHeight, uint8_t threshold = 128,
                                 double shift = 0.0) {
  std::vector<Sample> samples;
  Sample sample;
  for (char c : kExtendedAlphabet)
    if (Draw(font, uint8_t(c), xHeight, sample, threshold, shift)) samples.push_back(sample);
  return samples;
}

// The share of samples read right, first choice.
double Accuracy(const GlyphClassifier& classifier, const std::vector<Sample>& samples) {
  size_t right = 0;
  for (const Sample& s : samples) {
    auto read = classifier.Classify(s.bitmap, s.box, s.line);
    right += !read.empty() && read[0].code == s.code;
  }
  return samples.empty() ? 0.0 : double(right) / double(samples.size());
}

uint8_t Best(const GlyphClassifier& classifier, const Sample& s) {
  auto read = classifier.Classify(s.bitmap, s.box, s.line);
  return read.empty() ? 0 : read[0].code;
}

std::unique_ptr<GlyphFont> OpenOrNull(const char* family, bool bold = false, bool italic = false) {
  return GlyphFont::Open(family, bold, italic);
}

}  // namespace

TEST(GlyphClassifier, ReadsTheAlphabetInTemplateFacesAtEverySize) {
  GlyphClassifier classifier;
  // 7 pt at 150 dpi to 24 pt at 600 dpi.
  for (const char* family : {"Liberation Sans", "Liberation Serif"})
    for (bool bold : {false, true}) {
      auto font = OpenOrNull(family, bold);
      ASSERT_TRUE(font) << family;
      for (int32_t xHeight : {8, 14, 26, 60}) {
        auto samples = DrawAlphabet(*font, xHeight);
        ASSERT_GT(samples.size(), kExtendedAlphabet.size() - 3);
        double minimum = xHeight < 10 ? 0.80 : 0.92;
        EXPECT_GE(Accuracy(classifier, samples), minimum)
            << font->Name() << " x-height " << xHeight;
      }
    }
}

TEST(GlyphClassifier, ReadsAFaceTheTemplatesDoNotUse) {
  auto mono = OpenOrNull("Liberation Mono");
  ASSERT_TRUE(mono);
  for (const std::string& name : TemplateStore::Instance().FaceNames())
    ASSERT_NE(name.rfind("Liberation Mono", 0), 0u);
  GlyphClassifier classifier;
  for (int32_t xHeight : {12, 24, 40})
    EXPECT_GE(Accuracy(classifier, DrawAlphabet(*mono, xHeight)), 0.85) << xHeight;
  // Thickened and thinned as by a dark or light scan.
  EXPECT_GE(Accuracy(classifier, DrawAlphabet(*mono, 20, 60, 0.3)), 0.80);
  EXPECT_GE(Accuracy(classifier, DrawAlphabet(*mono, 20, 190, 0.5)), 0.80);
}

TEST(GlyphClassifier, TellsCharactersApartBySizeAndPosition) {
  auto font = OpenOrNull("Liberation Sans");
  ASSERT_TRUE(font);
  GlyphClassifier classifier;
  Sample sample;
  for (int32_t xHeight : {14, 22, 50})
    // "–" (0x96), "„" (0x84), "“" (0x93).
    for (uint8_t code : std::string_view("oO,'-\x96"
                                         "cCsSxXzZ._\x84\x93")) {
      ASSERT_TRUE(Draw(*font, code, xHeight, sample));
      EXPECT_EQ(Best(classifier, sample), code) << "'" << char(code) << "' at " << xHeight;
    }
  // Footnote size: a comma may pass for a full stop, never for a quote; and the reverse.
  ASSERT_TRUE(Draw(*font, ',', 9, sample));
  EXPECT_TRUE(std::string_view(",.").find(char(Best(classifier, sample))) != std::string::npos);
  ASSERT_TRUE(Draw(*font, '\'', 9, sample));
  EXPECT_TRUE(std::string_view("'\x92").find(char(Best(classifier, sample))) != std::string::npos);
  ASSERT_TRUE(Draw(*font, 'O', 9, sample));
  EXPECT_EQ(Best(classifier, sample), 'O');
}

TEST(GlyphClassifier, ScoresAreConfidences) {
  auto font = OpenOrNull("DejaVu Sans");
  ASSERT_TRUE(font);
  GlyphClassifier classifier;
  std::vector<double> best, gaps;
  for (const Sample& s : DrawAlphabet(*font, 24)) {
    auto read = classifier.Classify(s.bitmap, s.box, s.line, 3);
    ASSERT_FALSE(read.empty());
    ASSERT_LE(read.size(), 3u);
    for (size_t i = 0; i < read.size(); ++i) {
      EXPECT_GE(read[i].score, 0.0);
      EXPECT_LE(read[i].score, 1.0);
      if (i > 0) {
        EXPECT_LE(read[i].score, read[i - 1].score);
      }
    }
    if (read[0].code == s.code) best.push_back(read[0].score);
  }
  std::sort(best.begin(), best.end());
  ASSERT_FALSE(best.empty());
  EXPECT_GE(best[best.size() / 2], 0.9);  // a clear match of a template face
}

namespace {

// A heavy, smeared print of a face unlike the templates, twice: the second shifted by a
// fraction of a pixel, so the pixels differ. False when neither face is installed.
bool TwoPrintsOfAnOddFace(std::vector<Sample>* learnFrom, std::vector<Sample>* readBack) {
  auto font = OpenOrNull("URW Gothic");
  if (!font) font = OpenOrNull("DejaVu Sans Mono");
  if (!font) return false;
  *learnFrom = DrawAlphabet(*font, 16, 30, 0.0);
  *readBack = DrawAlphabet(*font, 16, 30, 0.5);
  return true;
}

}  // namespace

TEST(GlyphClassifier, LearningThePageImprovesADistortedFace) {
  // A heavy, smeared print of a face unlike the templates: learned from one line of the
  // page, read on another (shifted by a fraction of a pixel, so the pixels differ).
  std::vector<Sample> learnFrom, readBack;
  ASSERT_TRUE(TwoPrintsOfAnOddFace(&learnFrom, &readBack));
  GlyphClassifier classifier;
  double before = Accuracy(classifier, readBack);
  for (const Sample& s : learnFrom) classifier.Learn(s.bitmap, s.box, s.line, s.code);
  double after = Accuracy(classifier, readBack);
  EXPECT_GE(after, before + 0.05);
  EXPECT_GE(after, 0.90);
  classifier.Forget();
  EXPECT_DOUBLE_EQ(Accuracy(classifier, readBack), before);
}

// A page teaches a few examples of each character: a page of one common letter must not
// make every later reading slower, nor crowd out the others. An example past the sixth of
// a character changes nothing, though as the first it would have decided the reading.
TEST(GlyphClassifier, APageTeachesSixExamplesOfACharacterAtMost) {
  std::vector<Sample> learnFrom, readBack;
  ASSERT_TRUE(TwoPrintsOfAnOddFace(&learnFrom, &readBack));
  const auto sampleOf = [&](char c) {
    return *std::find_if(learnFrom.begin(), learnFrom.end(),
                         [c](const Sample& s) { return s.code == uint8_t(c); });
  };
  const Sample o = sampleOf('o'), x = sampleOf('x');
  const auto teach = [&](GlyphClassifier& classifier, int32_t examplesOfO) {
    for (int32_t k = 0; k < examplesOfO; ++k) classifier.Learn(o.bitmap, o.box, o.line, 'o');
    classifier.Learn(x.bitmap, x.box, x.line, 'o');  // an "x" taught wrongly as an "o"
  };
  GlyphClassifier first, seventh, sixOnly;
  teach(first, 0);
  ASSERT_EQ(Best(first, x), 'o');
  teach(seventh, 6);
  for (int32_t k = 0; k < 6; ++k) sixOnly.Learn(o.bitmap, o.box, o.line, 'o');
  const auto withSeventh = seventh.Classify(x.bitmap, x.box, x.line);
  const auto withoutIt = sixOnly.Classify(x.bitmap, x.box, x.line);
  ASSERT_EQ(withSeventh.size(), withoutIt.size());
  for (size_t k = 0; k < withSeventh.size(); ++k) {
    EXPECT_EQ(withSeventh[k].code, withoutIt[k].code);
    EXPECT_DOUBLE_EQ(withSeventh[k].score, withoutIt[k].score);
  }
}

TEST(GlyphClassifier, BadGlyphsGiveLowScoresAndNoCrash) {
  GlyphClassifier classifier;
  LineMetrics line{500, 20, 28};
  GlyphBitmap empty;
  EXPECT_TRUE(classifier.Classify(empty, {0, 0, -1, -1}, line).empty());
  GlyphBitmap paper{10, 10, std::vector<uint8_t>(100, 0)};
  EXPECT_TRUE(classifier.Classify(paper, {0, 491, 9, 500}, line).empty());
  GlyphBitmap wrongSize{10, 10, std::vector<uint8_t>(7, 1)};
  EXPECT_TRUE(classifier.Classify(wrongSize, {0, 491, 9, 500}, line).empty());

  GlyphBitmap speck{1, 1, {1}};
  for (const LineMetrics& l : {line, LineMetrics{}, LineMetrics{-5, -3, 0}}) {
    auto read = classifier.Classify(speck, {10, 300, 10, 300}, l);
    for (const ScoredChar& c : read) EXPECT_LE(c.score, 1.0);
  }
  GlyphBitmap blob{3000, 3000, std::vector<uint8_t>(9000000, 1)};
  auto read = classifier.Classify(blob, {0, 0, 2999, 2999}, line, 5);
  ASSERT_LE(read.size(), 5u);
  for (const ScoredChar& c : read) EXPECT_LT(c.score, 0.5);
  classifier.Learn(blob, {0, 0, 2999, 2999}, line, 'x');
  classifier.Learn(empty, {0, 0, -1, -1}, line, 'x');
  EXPECT_TRUE(classifier.Classify(speck, {10, 300, 10, 300}, line, 0).empty());
}

TEST(GlyphClassifier, ThreadsReadAlikeAtOnce) {
  auto font = OpenOrNull("Liberation Serif");
  ASSERT_TRUE(font);
  auto samples = DrawAlphabet(*font, 11);  // a bucket no other test renders first
  GlyphClassifier classifier;
  std::vector<uint8_t> first(samples.size()), second(samples.size());
  auto readAll = [&](std::vector<uint8_t>& out) {
    for (size_t i = 0; i < samples.size(); ++i) out[i] = Best(classifier, samples[i]);
  };
  std::thread a(readAll, std::ref(first)), b(readAll, std::ref(second));
  a.join();
  b.join();
  EXPECT_EQ(first, second);
  EXPECT_GE(
      std::count_if(samples.begin(), samples.end(),
                    [&, i = size_t(0)](const Sample& s) mutable { return first[i++] == s.code; }),
      long(samples.size() * 9 / 10));
}

// The faces opened on another thread (as while a page is decoded) while a size is prepared:
// the size is rendered once, from every face, and reads as well.
TEST(GlyphClassifier, FacesOpenedMeanwhileServeTheSizePrepared) {
  auto font = OpenOrNull("Liberation Sans");
  ASSERT_TRUE(font);
  auto samples = DrawAlphabet(*font, 13);
  std::future<void> faces = std::async(std::launch::async, GlyphClassifier::OpenFaces);
  GlyphClassifier::PrepareFor({13});
  faces.get();
  GlyphClassifier classifier;
  const long right = std::count_if(samples.begin(), samples.end(),
                                   [&](const Sample& s) { return Best(classifier, s) == s.code; });
  EXPECT_GE(right, long(samples.size() * 9 / 10));
  EXPECT_GT(TemplateStore::Instance().FaceNames().size(), 1u);
}

// The faces are rendered on two threads and joined afterwards: every size holds each face's
// templates, a character's in the faces' order (as one thread rendering them would).
TEST(GlyphClassifier, PreparedSizesHoldEveryFaceInOrder) {
  GlyphClassifier::Prepare();
  const size_t faceCount = TemplateStore::Instance().FaceNames().size();
  ASSERT_GT(faceCount, 1u);
  for (double xHeight : TemplateStore::kBucketXHeights) {
    const TemplateBucket& set = TemplateStore::Instance().ForXHeight(xHeight);
    ASSERT_GT(set.Size(), 0u) << xHeight;
    std::vector<bool> seen(faceCount, false);
    for (size_t i = 0; i < set.Size(); ++i) {
      seen[set.faces[i]] = true;
      if (i > 0 && set.codes[i] == set.codes[i - 1]) {
        EXPECT_LE(set.faces[i - 1], set.faces[i]) << xHeight << " code " << int(set.codes[i]);
      }
    }
    EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](bool s) { return s; })) << xHeight;
    // One plain print of "e" per face: none lost or doubled in the joining.
    size_t plainE = 0;
    for (size_t i = set.firstOfCode['e']; i < set.firstOfCode['e' + 1u]; ++i)
      plainE += set.variant[i] == 0;
    EXPECT_EQ(plainE, faceCount) << xHeight;
  }
}

// A glyph read before the page was learned and read again from its kept verdict reads
// exactly as a fresh reading with the examples does; a glyph without ink keeps no verdict.
TEST(GlyphClassifier, ReadingAgainFromTheVerdictEqualsAFreshReading) {
  std::vector<Sample> learnFrom, readBack;
  ASSERT_TRUE(TwoPrintsOfAnOddFace(&learnFrom, &readBack));
  GlyphClassifier classifier;
  std::vector<GlyphReading> first;
  for (const Sample& s : readBack) {
    first.push_back(classifier.Read(s.bitmap, s.box, s.line));
    ASSERT_TRUE(first.back().verdict);
    const auto fresh = classifier.Classify(s.bitmap, s.box, s.line);
    ASSERT_EQ(first.back().readings.size(), fresh.size());
    EXPECT_EQ(first.back().readings[0].code, fresh[0].code);
  }
  for (const Sample& s : learnFrom) classifier.Learn(s.bitmap, s.box, s.line, s.code);
  size_t changed = 0;
  for (size_t i = 0; i < readBack.size(); ++i) {
    const Sample& s = readBack[i];
    const auto again = classifier.ReadAgain(*first[i].verdict);
    const auto fresh = classifier.Classify(s.bitmap, s.box, s.line);
    ASSERT_EQ(again.size(), fresh.size());
    for (size_t k = 0; k < again.size(); ++k) {
      EXPECT_EQ(again[k].code, fresh[k].code);
      EXPECT_DOUBLE_EQ(again[k].score, fresh[k].score);
    }
    changed += again[0].code != first[i].readings[0].code;
  }
  EXPECT_GT(changed, 0u);  // the examples did matter
  GlyphBitmap empty{3, 3, std::vector<uint8_t>(9, 0)};
  EXPECT_FALSE(classifier.Read(empty, {0, 0, 2, 2}, {10, 5, 7}).verdict);
}
