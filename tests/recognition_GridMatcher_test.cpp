// The grid matcher: the packed popcount path gives exactly the counts and ratios of the
// plain cell loop, on random grids and on real template and object grids.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/GridMatcher.h"
#include "recognition/ObjectFeatures.h"
#include "recognition/Templates.h"
#include "recognition_GlyphPage.h"

namespace {

GlyphGrid RandomGrid(std::mt19937& random, double inkShare) {
  std::bernoulli_distribution ink(inkShare);
  GlyphGrid grid;
  for (int32_t& cell : grid.cells) cell = ink(random) ? 0 : 255;
  return grid;
}

std::string Dump(const GlyphGrid& grid) {
  std::string text;
  for (int y = 0; y < kGridSize; ++y) {
    for (int x = 0; x < kGridSize; ++x) text += grid.at(x, y) == 0 ? '#' : '.';
    text += '\n';
  }
  return text;
}

// Compares both paths for every shift and for the best ratio; reports the grids on the
// first mismatch.
void ExpectSameScores(const GlyphGrid& templ, const GlyphGrid& object) {
  PackedTemplate packed;
  PackTemplate(templ, &packed);
  static ShiftedObject shifted;
  PrepareObject(object, &shifted);
  for (int dx = -kMaxShift; dx <= kMaxShift; ++dx) {
    for (int dy = -kMaxShift; dy <= kMaxShift; ++dy) {
      int32_t b0, u0, b1, u1;
      MatchCountsReference(templ, object, dx, dy, &b0, &u0);
      MatchCountsFast(packed, shifted, dx, dy, &b1, &u1);
      ASSERT_EQ(b0, b1) << "shift " << dx << "," << dy << "\n" << Dump(templ) << Dump(object);
      ASSERT_EQ(u0, u1) << "shift " << dx << "," << dy << "\n" << Dump(templ) << Dump(object);
    }
  }
  for (double start : {-1.0, 0.0, 0.5}) {
    const double reference = MatchBestReference(templ, object, start);
    ASSERT_EQ(reference, MatchBestFast(packed, shifted, start)) << Dump(templ) << Dump(object);
    ASSERT_EQ(reference, MatchBestFastScalar(packed, shifted, start))
        << Dump(templ) << Dump(object);
  }
}

}  // namespace

TEST(GridMatcher, FastPathEqualsCellLoopOnRandomGrids) {
  std::mt19937 random(20261207);
  for (int trial = 0; trial < 600; ++trial) {
    const double shares[] = {0.0, 0.02, 0.2, 0.5, 0.8, 1.0};
    const GlyphGrid templ = RandomGrid(random, shares[trial % 6]);
    const GlyphGrid object = RandomGrid(random, shares[(trial / 6) % 6]);
    ExpectSameScores(templ, object);
    if (HasFatalFailure()) return;
  }
}

TEST(GridMatcher, FastPathEqualsCellLoopOnRenderedGlyphs) {
  HeadlessWindow window;
  TMainForm form(window, "/tmp/quillon", {});
  auto set = std::make_unique<TemplateSet>();
  form.templateSet = set.get();
  SoftwareCanvas bitmap;
  form.BuildTemplateSet(bitmap);
  form.templateSet = nullptr;

  // Objects: characters of the page fonts at a page size, sampled as the classifier does.
  LogFont description;
  description.faceName = "Liberation Serif";
  description.height = -46;
  std::unique_ptr<PlatformFont> serif(PlatformFont::Create(description));
  ASSERT_TRUE(serif);
  int compared = 0;
  for (const char* text : {"aegkmsxBQR8(", "wyzAMW5,"}) {
    for (const char* p = text; *p; ++p) {
      PageObject object = testpage::MakeObject(*serif, uint8_t(*p), 0, 0, 1);
      GlyphGrid grid;
      ObjectFeatures features;
      MeasureObject(object.image, &grid, &features);
      deldib(&object.image);
      for (int k = 1; k <= kMatchedCount; k += 3) {
        ExpectSameScores(set->grids[k - 1][compared % kTemplateFonts], grid);
        if (HasFatalFailure()) return;
        ++compared;
      }
    }
  }
  // Templates against templates: all pairs of one font.
  for (int a = 1; a <= kMatchedCount; a += 2)
    for (int b = 1; b <= kMatchedCount; b += 5) {
      ExpectSameScores(set->grids[a - 1][0], set->grids[b - 1][2]);
      if (HasFatalFailure()) return;
    }
  EXPECT_GT(compared, 100);
}

TEST(GridMatcher, RatiosOfTheWorkedCases) {
  GlyphGrid templ, object;
  for (int32_t& cell : templ.cells) cell = 255;
  // 30 template cells in the first two columns (rows 0 ... 14).
  for (int y = 0; y < 15; ++y) templ.at(0, y) = templ.at(1, y) = 0;
  // Equal to its template: 1 at shift (0, 0).
  EXPECT_EQ(MatchBestReference(templ, templ, -1), 1.0);

  // 20 object cells, 15 of them shared with the template.
  for (int32_t& cell : object.cells) cell = 255;
  for (int y = 0; y < 15; ++y) object.at(1, y) = 0;
  for (int x = 10; x < 15; ++x) object.at(x, 16) = 0;
  int32_t both, unionCount;
  MatchCountsReference(templ, object, 0, 0, &both, &unionCount);
  EXPECT_EQ(both, 15);
  EXPECT_EQ(unionCount, 35);
  PackedTemplate packed;
  PackTemplate(templ, &packed);
  static ShiftedObject shifted;
  PrepareObject(object, &shifted);
  MatchCountsFast(packed, shifted, 0, 0, &both, &unionCount);
  EXPECT_EQ(double(both) / unionCount, 15.0 / 35.0);

  // No shared ink under any shift scores 0.
  GlyphGrid far;
  for (int32_t& cell : far.cells) cell = 255;
  far.at(16, 16) = 0;
  EXPECT_EQ(MatchBestReference(templ, far, -1), 0.0);
  PrepareObject(far, &shifted);
  EXPECT_EQ(MatchBestFast(packed, shifted, -1), 0.0);
}
