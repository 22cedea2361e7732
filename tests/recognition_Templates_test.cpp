// Glyph templates: the font list, the glyph images '0' ... 'z' and the 70 x 4 template grids.
#include <gtest/gtest.h>

#include <memory>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/Templates.h"

namespace {

bool RowHasInk(const GlyphGrid& grid, int y) {
  for (int x = 0; x < kGridSize; ++x)
    if (grid.at(x, y) == 0) return true;
  return false;
}
bool ColumnHasInk(const GlyphGrid& grid, int x) {
  for (int y = 0; y < kGridSize; ++y)
    if (grid.at(x, y) == 0) return true;
  return false;
}

struct FormFixture : ::testing::Test {
  HeadlessWindow window;
  TMainForm form{window, "/tmp/quillon", {}};
};

}  // namespace

TEST_F(FormFixture, FontListHoldsFourStylesPerTypeface) {
  form.EnumerateFonts();
  const size_t typefaces = EnumerateTypefaces().size();
  ASSERT_GT(typefaces, 0u);
  ASSERT_EQ(size_t(form.fontHandles.Count), 4 * typefaces);
  for (int32_t i = 0; i < form.fontHandles.Count; i += 4) {
    const int32_t weights[4] = {400, 400, 700, 700};
    const bool italics[4] = {false, true, false, true};
    for (int k = 0; k < 4; ++k) {
      PlatformFont* font = *form.fontHandles.At(i + k);
      ASSERT_NE(font, nullptr);
      EXPECT_EQ(font->Description().height, 24);
      EXPECT_EQ(font->Description().weight, weights[k]);
      EXPECT_EQ(font->Description().italic, italics[k]);
      EXPECT_EQ(font->Description().faceName, (*form.fontHandles.At(i))->Description().faceName);
    }
  }
  EXPECT_EQ(form.FontEnumCallback(nullptr), 1);
  form.ReleaseFonts();
  EXPECT_EQ(*form.fontHandles.At(0), nullptr);
}

TEST_F(FormFixture, GenerateDibsTwiceGivesTwoCroppedSets) {
  form.GenerateDibs();
  form.BitBtn2Click();
  ASSERT_EQ(form.glyphImages.Count, 150);
  for (int32_t i = 0; i < 150; ++i) {
    const GlyphImage& glyph = *form.glyphImages.At(i);
    EXPECT_EQ(glyph.charCode, 48 + i % 75);
    ASSERT_NE(glyph.image.pixels, nullptr);
    ASSERT_EQ(DIBBitCount(glyph.image), 24);
    // Cropped to its ink: the first and last row and column each hold ink.
    const int32_t w = DIBWidth(glyph.image), h = DIBHeight(glyph.image);
    int32_t x0, y0, x1, y1;
    ASSERT_TRUE(FindInkBox24(glyph.image, &x0, &y0, &x1, &y1)) << char(glyph.charCode);
    EXPECT_EQ(x0, 0);
    EXPECT_EQ(y0, 0);
    EXPECT_EQ(x1, w - 1);
    EXPECT_EQ(y1, h - 1);
  }
  // The signs between digits and capitals are cropped to their own ink too: ':' is narrow.
  EXPECT_LT(DIBWidth(form.glyphImages.At(':' - 48)->image),
            DIBWidth(form.glyphImages.At('W' - 48)->image));
  // A tall glyph is taller than a small letter.
  EXPECT_GT(DIBHeight(form.glyphImages.At('l' - 48)->image),
            DIBHeight(form.glyphImages.At('x' - 48)->image));
}

TEST_F(FormFixture, EveryTemplateFillsTheWholeGrid) {
  TemplateSet set;
  form.templateSet = &set;
  SoftwareCanvas bitmap;
  const uint64_t before = form.templateGeneration;
  form.BuildTemplateSet(bitmap);
  EXPECT_NE(form.templateGeneration, before);
  for (int c = 1; c <= kAlphabetSize; ++c) {
    for (int f = 0; f < kTemplateFonts; ++f) {
      const GlyphGrid& grid = set.grids[c - 1][f];
      SCOPED_TRACE(testing::Message() << "char " << AlphabetChar(c) << " font " << f + 1);
      for (int32_t cell : grid.cells) ASSERT_TRUE(cell == 0 || cell == 255);
      int ink = 0;
      for (int32_t cell : grid.cells) ink += cell == 0;
      EXPECT_GT(ink, 0);
      // The samples run from the box's first to its last pixel: ink reaches the outer
      // rows and columns (a thin serif may fall between two samples of an edge; the
      // serifs of the umlaut capitals do).
      if (c > kMatchedCount) continue;
      EXPECT_TRUE(RowHasInk(grid, 0) || RowHasInk(grid, 1));
      EXPECT_TRUE(RowHasInk(grid, 16) || RowHasInk(grid, 15));
      EXPECT_TRUE(ColumnHasInk(grid, 0) || ColumnHasInk(grid, 1));
      EXPECT_TRUE(ColumnHasInk(grid, 16) || ColumnHasInk(grid, 15));
    }
  }
  // The fonts differ: regular and bold Arial give different 'a' templates.
  EXPECT_NE(0, std::memcmp(&set.grids[0][1], &set.grids[0][3], sizeof(GlyphGrid)));
  // An 'l' is one solid stroke in the sans fonts: every cell ink.
  int lInk = 0;
  for (int32_t cell : set.grids[AlphabetIndex('l') - 1][1].cells) lInk += cell == 0;
  EXPECT_GT(lInk, 17 * 15);
  form.templateSet = nullptr;
}

TEST(Templates, CommaIsSampledFromItsOwnInkBox) {
  LogFont description = TemplateFontDescription(2);
  std::unique_ptr<PlatformFont> font(PlatformFont::Create(description));
  SoftwareCanvas bitmap;
  bitmap.font = font.get();
  GlyphGrid comma;
  ASSERT_TRUE(RenderTemplateGrid(bitmap, ',', &comma));
  // Sampled from its ink only: the grid's corners touch the ink box and the stroke's
  // position under the base line plays no part.
  EXPECT_TRUE(RowHasInk(comma, 0));
  EXPECT_TRUE(RowHasInk(comma, 16));
  EXPECT_TRUE(ColumnHasInk(comma, 0));
  EXPECT_TRUE(ColumnHasInk(comma, 16));
  // The bitmap is twice the character's extent.
  EXPECT_EQ(bitmap.Width(), 2 * font->TextWidth(","));
  EXPECT_EQ(bitmap.Height(), 2 * font->TextHeight(","));
}

TEST(Templates, SinglePixelAndSingleLineGlyphs) {
  SoftwareCanvas bitmap(20, 20);
  bitmap.SetPixel(7, 11, clBlack);
  GlyphGrid grid;
  SampleInkBox(bitmap, 20, 20, &grid);
  for (int32_t cell : grid.cells) EXPECT_EQ(cell, 0);  // every sample on the one pixel

  // A horizontal line with a gap: bh = 0, so every row repeats the line's samples.
  bitmap.SetSize(20, 20);
  for (int x = 2; x <= 18; ++x)
    if (x != 10) bitmap.SetPixel(x, 5, clBlack);
  SampleInkBox(bitmap, 20, 20, &grid);
  for (int y = 0; y < kGridSize; ++y)
    for (int x = 0; x < kGridSize; ++x) EXPECT_EQ(grid.at(x, y), x == 8 ? 255 : 0);

  // No ink at all: a paper grid.
  bitmap.SetSize(5, 5);
  SampleInkBox(bitmap, 5, 5, &grid);
  for (int32_t cell : grid.cells) EXPECT_EQ(cell, 255);
}

TEST(Templates, SamplingRoundsHalvesToEven) {
  // A box 9 pixels wide (bw = 8): sample j lies at j / 2. Halves go to the even column,
  // so samples 1 and 5 (0.5 and 2.5) read columns 0 and 2, not 1 and 3.
  SoftwareCanvas bitmap(12, 3);
  for (int x : {0, 2, 8}) bitmap.SetPixel(x, 0, clBlack);
  GlyphGrid grid;
  SampleInkBox(bitmap, 12, 3, &grid);
  EXPECT_EQ(grid.at(1, 0), 0);
  EXPECT_EQ(grid.at(5, 0), 0);
  EXPECT_EQ(grid.at(2, 0), 255);  // column 1
  EXPECT_EQ(grid.at(6, 0), 255);  // column 3
  EXPECT_EQ(grid.at(16, 9), 0);   // column 8, every row the same (bh = 0)
}
