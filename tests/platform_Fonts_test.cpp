// Fonts: names resolve to the metric-compatible faces, Windows metrics, hinted advances,
// monochrome drawing with the baseline at y + ascent.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "core/Cp1252.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

namespace {

std::unique_ptr<PlatformFont> MakeFont(const char* face, int32_t height, int32_t weight = 400,
                                       bool italic = false) {
  LogFont description;
  description.faceName = face;
  description.height = height;
  description.weight = weight;
  description.italic = italic;
  return std::unique_ptr<PlatformFont>(PlatformFont::Create(description));
}

}  // namespace

TEST(Fonts, ArialAndTimesResolveToDifferentScalableFaces) {
  auto arial = MakeFont("Arial", -37);
  auto times = MakeFont("Times New Roman", -37);
  auto arialBold = MakeFont("Arial", -37, 700);
  ASSERT_TRUE(arial && times && arialBold);
  EXPECT_NE(arial->FontFile(), times->FontFile());
  EXPECT_NE(arial->FontFile(), arialBold->FontFile());
  EXPECT_EQ(arial->PixelsPerEm(), 37);
}

TEST(Fonts, CharacterHeightMetricsArePlausibleAndConsistent) {
  for (const char* face : {"Arial", "Times New Roman"}) {
    auto font = MakeFont(face, -37);
    ASSERT_TRUE(font);
    // The Windows cell of these faces is about 1.1 to 1.15 em.
    EXPECT_GE(font->Ascent(), 30) << face;
    EXPECT_LE(font->Ascent(), 36) << face;
    EXPECT_GE(font->Descent(), 6) << face;
    EXPECT_LE(font->Descent(), 10) << face;
    EXPECT_EQ(font->TextHeight("x"), font->Ascent() + font->Descent());
    EXPECT_EQ(font->TextHeight("x"), font->TextHeight("Hg"));
    EXPECT_LT(font->TextWidth("l"), font->TextWidth("m")) << face;
    EXPECT_EQ(font->TextWidth("lm"), font->TextWidth("l") + font->TextWidth("m"));
    EXPECT_EQ(font->TextWidth(""), 0);
  }
}

TEST(Fonts, PositiveHeightIsTheCellHeight) {
  for (int32_t height : {12, 24, 40}) {
    auto font = MakeFont("Arial", height);
    ASSERT_TRUE(font);
    EXPECT_LE(font->TextHeight("A"), height);
    EXPECT_GE(font->TextHeight("A"), height - 1);
    auto em = MakeFont("Arial", -height);
    EXPECT_GT(em->TextHeight("A"), font->TextHeight("A"));
  }
}

TEST(Fonts, TextOutIsMonochromeWithTheBaselineAtAscent) {
  auto font = MakeFont("Arial", -37);
  ASSERT_TRUE(font);
  SoftwareCanvas canvas(200, 100);
  canvas.brushStyle = BrushStyle::Clear;
  canvas.font = font.get();
  canvas.fontColor = clBlack;
  canvas.TextOut(10, 20, "xg");
  int32_t xBottom = -1, inkPixels = 0;
  std::set<TColor> colours;
  for (int32_t y = 0; y < canvas.Height(); ++y) {
    for (int32_t x = 0; x < canvas.Width(); ++x) {
      const TColor c = canvas.GetPixel(x, y);
      colours.insert(c);
      if (c != 0) continue;
      ++inkPixels;
      if (x < 10 + font->TextWidth("x")) xBottom = std::max(xBottom, y);
    }
  }
  EXPECT_GT(inkPixels, 100);
  EXPECT_EQ(colours, (std::set<TColor>{clBlack, clWhite}));
  // The x rests on the baseline: its last ink row is the row just above y + ascent.
  EXPECT_EQ(xBottom, 20 + font->Ascent() - 1);
}

TEST(Fonts, OpaqueTextFillsItsCellWithTheBrush) {
  auto font = MakeFont("Arial", -16);
  SoftwareCanvas canvas(60, 40);
  canvas.FillRect(0, 0, 60, 40);
  canvas.brushColor = clYellow;
  canvas.brushStyle = BrushStyle::Solid;
  canvas.font = font.get();
  canvas.TextOut(2, 3, "-");
  EXPECT_EQ(canvas.GetPixel(2, 3), clYellow);
  EXPECT_EQ(canvas.GetPixel(2 + font->TextWidth("-") - 1, 3 + font->TextHeight("-") - 1), clYellow);
  EXPECT_EQ(canvas.GetPixel(2 + font->TextWidth("-"), 3), clWhite);
}

TEST(Fonts, Windows1252BytesMapToTheirUnicodeGlyphs) {
  EXPECT_EQ(Cp1252ToCodePoint(0x80), 0x20ACu);
  EXPECT_EQ(Cp1252ToCodePoint(0x96), 0x2013u);
  EXPECT_EQ(Cp1252ToCodePoint(0x9F), 0x0178u);
  EXPECT_EQ(Cp1252ToCodePoint(0x81), 0x81u);
  EXPECT_EQ(Cp1252ToCodePoint(0xDF), 0xDFu);
  EXPECT_EQ(Cp1252ToCodePoint('A'), uint32_t('A'));
  auto font = MakeFont("Arial", -37);
  // The en dash (0x96) is drawn as an en dash: half an em, wider than a hyphen.
  EXPECT_GT(font->TextWidth("\x96"), font->TextWidth("-"));
  EXPECT_EQ(font->TextWidth("\x96"), font->TextWidth("\x96"));
  EXPECT_GT(font->TextWidth("\xE4"), 0);  // ä
}

TEST(Fonts, EnumerationListsEachTypefaceOnce) {
  const std::vector<LogFont> typefaces = EnumerateTypefaces();
  ASSERT_FALSE(typefaces.empty());
  std::set<std::string> names;
  for (const LogFont& typeface : typefaces) {
    EXPECT_FALSE(typeface.faceName.empty());
    EXPECT_TRUE(names.insert(typeface.faceName).second) << typeface.faceName;
  }
  EXPECT_TRUE(names.count("Liberation Sans"));
}

TEST(Fonts, ExtremeHeightsStayBounded) {
  for (int32_t height : {INT32_MIN, -100000, 0, 100000, INT32_MAX}) {
    auto font = MakeFont("Arial", height);
    ASSERT_TRUE(font);
    EXPECT_GT(font->PixelsPerEm(), 0) << height;
    EXPECT_LE(font->PixelsPerEm(), 4000) << height;
    EXPECT_GT(font->TextHeight("x"), 0) << height;
  }
}

// The templates' faces: exactly the family and style asked for, drawn with grey edges.
TEST(Fonts, OutlineFacesAreExactAndDrawnAntiAliased) {
  EXPECT_EQ(OutlineFace::Open("No Such Family Anywhere", false, false), nullptr);
  auto regular = OutlineFace::Open("Liberation Sans", false, false);
  auto bold = OutlineFace::Open("Liberation Sans", true, false);
  ASSERT_NE(regular, nullptr);
  ASSERT_NE(bold, nullptr);
  EXPECT_NE(regular->File(), bold->File());

  GrayGlyph o, shifted;
  ASSERT_TRUE(regular->DrawGray('o', 40, o, 0.0, 0.0));
  ASSERT_GT(o.width * o.height, 0);
  EXPECT_GT(o.top, 0);  // above the baseline
  const bool greyEdges =
      std::any_of(o.coverage.begin(), o.coverage.end(), [](uint8_t c) { return c > 0 && c < 255; });
  EXPECT_TRUE(greyEdges);
  ASSERT_TRUE(regular->DrawGray('o', 40, shifted, 0.5, 0.0));
  EXPECT_NE(shifted.coverage, o.coverage);  // a half-pixel move shows in the edges
  EXPECT_FALSE(regular->DrawGray('o', 0, o, 0.0, 0.0));
}
