// The extended recogniser's page analysis on pages like scans, drawn here at 150, 300 and
// 600 dpi (the same page scaled): a halftone photograph, a black scan border and an edge
// shadow, specks, show-through from the back of the sheet, skewed lines and an underline
// through a line's descenders. The lines found
// must be the lines drawn, and nothing may be read from the photograph, border or specks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestHelpers.h"
#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "layout/PageSegmentation.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/ExtendedPage.h"

namespace {

// Sizes of the page at 150 dpi; `scale` 1, 2, 4 gives 150, 300, 600 dpi.
constexpr int32_t kWidth = 1000, kHeight = 720, kEm = 24;
struct Rect {
  int32_t left, top, right, bottom;  // exclusive right and bottom
};
constexpr Rect kPhoto{560, 50, 960, 400};
constexpr int32_t kBorder = 22, kShadow = 16;  // black strip left, dark shadow at the foot

const char* const kBesidePhoto[] = {
    "Links steht der Text, rechts", "ein Foto aus vielen Punkten.",
    "Die Zeilen daneben werden",    "gelesen, das Bild nicht, auch",
    "wenn es fast die halbe Seite", "einnimmt und sehr dunkel ist.",
};
const char* const kBelowPhoto[] = {
    "Unter dem Bild laufen drei schiefe Zeilen quer ueber die Seite hin,",
    "mit Staub und Flecken vom Kopierer und der Schrift der Rueckseite,",
    "die durch das Papier scheint; gelesen wird nur, was vorne steht.",
};
constexpr int32_t kLinesDrawn = 9;

std::unique_ptr<PlatformFont> Font(int32_t pixelsPerEm) {
  LogFont description;
  description.height = -pixelsPerEm;
  description.faceName = "Liberation Serif";
  return std::unique_ptr<PlatformFont>(PlatformFont::Create(description));
}

struct ScannedPage {
  int32_t scale, width, height;
  std::vector<uint8_t> grey;  // 0 black ... 255 white
  size_t charsDrawn = 0;      // spaces aside
  Rect photo, border, shadow;
};

bool Inside(int32_t x, int32_t y, const Rect& r) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

Rect Scaled(const Rect& r, int32_t s) {
  return {r.left * s, r.top * s, r.right * s, r.bottom * s};
}

// A photograph screened to dots at 100 lines an inch, as a magazine prints it: dot sizes
// follow a picture of soft light and dark patches; where it is dark, they run together.
void Halftone(ScannedPage& page) {
  const double pitch = 1.5 * page.scale;
  const Rect& r = page.photo;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) {
      const double u = double(x - r.left) / (r.right - r.left);
      const double v = double(y - r.top) / (r.bottom - r.top);
      const double darkness = 0.5 + 0.35 * std::sin(7 * u) * std::cos(5 * v) + 0.1 * (u - v);
      const double dx = std::fmod(x, pitch) - pitch / 2, dy = std::fmod(y, pitch) - pitch / 2;
      if (std::hypot(dx, dy) < darkness * pitch * 0.75) page.grey[size_t(y) * page.width + x] = 20;
    }
}

ScannedPage MakePage(int32_t scale) {
  ScannedPage page{scale, kWidth * scale, kHeight * scale, {}, 0, Scaled(kPhoto, scale), {}, {}};
  page.border = {0, 0, kBorder * scale, page.height};
  page.shadow = {0, page.height - kShadow * scale, page.width, page.height};
  const auto font = Font(kEm * scale);
  SoftwareCanvas front(page.width, page.height), back(page.width, page.height);
  for (int32_t i = 0; i < 6; ++i) {
    DrawText(front, *font, 60 * scale, (90 + i * 48) * scale, kBesidePhoto[i], 0.0);
    DrawText(back, *font, 80 * scale, (110 + i * 48) * scale, kBesidePhoto[5 - i], 0.0);
  }
  for (int32_t i = 0; i < 3; ++i) {
    DrawText(front, *font, 60 * scale, (500 + i * 56) * scale, kBelowPhoto[i], 0.03);
    DrawText(back, *font, 60 * scale, (470 + i * 56) * scale, kBelowPhoto[2 - i], 0.0);
  }
  for (const char* line : kBesidePhoto) page.charsDrawn += std::string(line).size();
  for (const char* line : kBelowPhoto) page.charsDrawn += std::string(line).size();
  for (const char* line : kBesidePhoto)
    page.charsDrawn -= size_t(std::count(line, line + std::string(line).size(), ' '));
  for (const char* line : kBelowPhoto)
    page.charsDrawn -= size_t(std::count(line, line + std::string(line).size(), ' '));
  // Yellowed paper; the back's text shows through mirrored and faint.
  page.grey.assign(size_t(page.width) * page.height, 235);
  for (int32_t y = 0; y < page.height; ++y)
    for (int32_t x = 0; x < page.width; ++x) {
      uint8_t& v = page.grey[size_t(y) * page.width + x];
      if ((back.GetPixel(page.width - 1 - x, y) & 0xFF) < 128) v = 200;
      if ((front.GetPixel(x, y) & 0xFF) < 128) v = 25;
      if (Inside(x, y, page.border)) v = 15;
      if (Inside(x, y, page.shadow)) v = 50;
    }
  // One line underlined, the rule running through its descenders.
  const int32_t underline = (90 + 3 * 48 + 3) * scale;
  for (int32_t y = underline; y < underline + scale; ++y)
    for (int32_t x = 55 * scale; x < 345 * scale; ++x) page.grey[size_t(y) * page.width + x] = 25;
  Halftone(page);
  // Specks from a copier's drum: a few pixels at 150 dpi, scaled with the page.
  std::mt19937 random(7);
  for (int32_t k = 0; k < 400; ++k) {
    const int32_t side = scale * int32_t(1 + random() % 2);
    const int32_t x = int32_t(random() % uint32_t(page.width - side));
    const int32_t y = int32_t(random() % uint32_t(page.height - side));
    for (int32_t dy = 0; dy < side; ++dy)
      for (int32_t dx = 0; dx < side; ++dx) page.grey[size_t(y + dy) * page.width + x + dx] = 30;
  }
  return page;
}

// The lines the run finds: the page's blocks, then each block's lines.
std::vector<InkLine> LinesOf(const InkPage& ink) {
  const SegmentedPage segments = SegmentInk(ink);
  std::vector<InkLine> lines;
  for (const PageRegion& block : segments.textBlocks)
    for (InkLine& line : FindLines(ink.parts, block.components)) lines.push_back(std::move(line));
  return lines;
}

bool Meets(const PageBox& b, const Rect& r) {
  return b.left < r.right && b.right >= r.left && b.top < r.bottom && b.bottom >= r.top;
}

class ScannedPageTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(ScannedPageTest, LinesFoundAreTheLinesDrawnBesideAPhotoBorderAndSpecks) {
  const ScannedPage page = MakePage(GetParam());
  const InkPage ink = FindInkInGrey(page.grey, page.width, page.height);
  const std::vector<InkLine> lines = LinesOf(ink);
  EXPECT_EQ(int32_t(lines.size()), kLinesDrawn);
  for (const InkLine& line : lines) {
    EXPECT_FALSE(Meets(line.box, page.photo)) << line.box.left << "," << line.box.top;
    EXPECT_FALSE(Meets(line.box, page.border)) << line.box.left << "," << line.box.top;
    EXPECT_FALSE(Meets(line.box, page.shadow)) << line.box.left << "," << line.box.top;
  }
  // The photograph is a region of its own, named in the log.
  const auto photo = std::find_if(ink.leftOut.begin(), ink.leftOut.end(), [&](auto& region) {
    return region.box.left <= page.photo.left + 2 * kEm * page.scale &&
           region.box.right >= page.photo.right - 2 * kEm * page.scale &&
           region.box.top <= page.photo.top + 2 * kEm * page.scale &&
           region.box.bottom >= page.photo.bottom - 2 * kEm * page.scale;
  });
  EXPECT_NE(photo, ink.leftOut.end());
}

// The extended run on a page: the output field's lines and the log.
struct PageRun {
  std::vector<std::string> output, log;
  std::string noTextReason;
};

PageRun RunExtended(const ScannedPage& page) {
  HeadlessWindow window;
  TMainForm form{window, "/nonexistent/quillon", {}};
  RasterImage image{};
  newdib(&image, page.width, page.height, 24, nullptr, 0);
  for (int32_t y = 0; image.pixels && y < page.height; ++y)
    for (int32_t x = 0; x < page.width; ++x) {
      uint8_t* p = DIBPixel24(image, x, y);
      p[0] = p[1] = p[2] = page.grey[size_t(y) * page.width + x];
    }
  form.InstallPicture(image);
  form.settings.recogniser = RecogniserKind::Extended;
  form.TextErkennBtnClick();
  return {window.output, window.log, form.pageText.noTextReason};
}

TEST_P(ScannedPageTest, TheRunReadsTheLinesAndNothingOfThePhotoOrBorder) {
  const ScannedPage page = MakePage(GetParam());
  const PageRun run = RunExtended(page);
  size_t lines = 0, chars = 0;
  for (const std::string& line : run.output) {
    const size_t ink =
        size_t(std::count_if(line.begin(), line.end(), [](char c) { return c != ' '; }));
    lines += ink > 0;
    chars += ink;
  }
  EXPECT_EQ(int32_t(lines), kLinesDrawn);
  // Bytes of UTF-8 a character or more each; what the photograph or border gave would add
  // far more than a tenth.
  EXPECT_GE(chars, page.charsDrawn * 9 / 10);
  EXPECT_LE(chars, page.charsDrawn * 11 / 10);
  EXPECT_NE(std::find_if(run.log.begin(), run.log.end(),
                         [](const std::string& l) { return l.rfind("Left out, ", 0) == 0; }),
            run.log.end());
  EXPECT_EQ(run.noTextReason, "");
}

TEST_P(ScannedPageTest, APageOfPhotoAndBorderAloneGivesNoTextAndSaysWhy) {
  ScannedPage page = MakePage(GetParam());
  // The text wiped off: the photograph, the border, the shadow and the specks stay.
  for (int32_t y = 0; y < page.height; ++y)
    for (int32_t x = 0; x < page.width; ++x) {
      uint8_t& v = page.grey[size_t(y) * page.width + x];
      const bool keep = Inside(x, y, page.photo) || Inside(x, y, page.border) ||
                        Inside(x, y, page.shadow) || v == 30;
      if (!keep) v = 235;
    }
  const PageRun run = RunExtended(page);
  for (const std::string& line : run.output) EXPECT_EQ(line, "");
  EXPECT_NE(run.noTextReason, "");
  EXPECT_NE(std::find(run.log.begin(), run.log.end(), "No text found: " + run.noTextReason + "."),
            run.log.end());
}

INSTANTIATE_TEST_SUITE_P(At150300And600Dpi, ScannedPageTest, ::testing::Values(1, 2, 4));

// A drop capital three lines tall beside the first lines of a paragraph joins none of them:
// each line keeps its own letters and rows.
TEST(ExtendedLinesOnScans, ADropCapitalJoinsNoneOfTheLinesBesideIt) {
  for (const int32_t scale : {1, 2, 4}) {
    const int32_t pitch = 40 * scale;
    const auto font = Font(kEm * scale), capital = Font(3 * pitch);
    ASSERT_TRUE(font && capital);
    SoftwareCanvas canvas(900 * scale, 560 * scale);  // a page on which the capital is small
    DrawText(canvas, *capital, 20 * scale, 60 * scale + 2 * pitch, "S", 0.0);
    const char* const beside[] = {"he sighed. She wandered around", "the house with the look of",
                                  "an injured puppy, sometimes"};
    for (int32_t l = 0; l < 3; ++l)
      DrawText(canvas, *font, 150 * scale, 60 * scale + l * pitch, beside[l], 0.0);
    std::vector<uint8_t> grey(size_t(canvas.Width()) * canvas.Height());
    for (int32_t y = 0; y < canvas.Height(); ++y)
      for (int32_t x = 0; x < canvas.Width(); ++x)
        grey[size_t(y) * canvas.Width() + x] = uint8_t(canvas.GetPixel(x, y) & 0xFF);
    const InkPage ink = FindInkInGrey(grey, canvas.Width(), canvas.Height());
    std::vector<int32_t> all(ink.parts.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = int32_t(i);
    int32_t textLines = 0;
    for (const InkLine& line : FindLines(ink.parts, all)) {
      if (line.parts.size() == 1) continue;  // the capital
      ++textLines;
      EXPECT_LT(line.box.Height(), pitch) << "scale " << scale;
    }
    EXPECT_EQ(textLines, 3) << "scale " << scale;
  }
}

}  // namespace
