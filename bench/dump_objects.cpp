// dump_objects: a developer's look at the recognition of a page, object by object.
//
//   dump_objects PAGE [FIRST_LINE [LAST_LINE]] [--grids] [--scores=CHARS] [--separation=N]
//       every object of those lines: line, box, the line's levels, the character, the five
//       best candidates and the features; --grids adds the object's sample grid, --scores
//       the best ratio and shift of each template font for the characters named
//   dump_objects PAGE --pixels X0 Y0 X1 Y1     the grey picture of a region
//   dump_objects PAGE --peaks                  the levels that survive the peak suppression
//   dump_objects --templates CHARS             the four template grids of each character
//   dump_objects --glyphs FONT CHARS [HEIGHT]  the rendered bitmaps in template font 1 ... 4
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Alphabet.h"
#include "recognition/ClassifyRules.h"
#include "recognition/GridMatcher.h"
#include "recognition/ObjectFeatures.h"
#include "recognition/Templates.h"

namespace {

void PrintGrids(const GlyphGrid* const grids[], int count) {
  for (int y = 0; y < kGridSize; ++y) {
    for (int g = 0; g < count; ++g) {
      for (int x = 0; x < kGridSize; ++x) std::putchar(grids[g]->at(x, y) == 0 ? '#' : '.');
      std::printf("   ");
    }
    std::printf("\n");
  }
}

char Printable(int32_t code) {
  return code > 32 && code < 127 ? char(code) : '?';
}

int Glyphs(int font, const char* chars, int32_t height) {
  LogFont description = TemplateFontDescription(font);
  if (height != 0) description.height = height;
  std::unique_ptr<PlatformFont> face(PlatformFont::Create(description));
  if (!face) return 1;
  for (const char* p = chars; *p; ++p) {
    const std::string text(1, *p);
    const int32_t w = face->TextWidth(text), h = face->TextHeight(text);
    SoftwareCanvas canvas;
    canvas.SetSize(w, h);
    canvas.brushColor = clWhite;
    canvas.brushStyle = BrushStyle::Solid;
    canvas.penColor = clWhite;
    canvas.Rectangle(0, 0, w, h);
    canvas.font = face.get();
    canvas.fontColor = clBlack;
    canvas.TextOut(0, 0, text);
    std::printf("'%c' %dx%d ascent %d ppem %d %s\n", *p, w, h, face->Ascent(), face->PixelsPerEm(),
                face->FontFile().c_str());
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) std::putchar(canvas.GetPixel(x, y) == 0 ? '#' : '.');
      std::printf("\n");
    }
  }
  return 0;
}

void Pixels(const RasterImage& picture, int x0, int y0, int x1, int y1) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, DIBWidth(picture) - 1);
  y1 = std::min(y1, DIBHeight(picture) - 1);
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const uint8_t* p = DIBPixel24(picture, x, y);
      const int g = (p[0] + p[1] + p[2]) / 3;
      std::putchar(g < 128 ? '#' : g < 230 ? '+' : '.');
    }
    std::printf("\n");
  }
}

// The brightness histogram as the black/white conversion counts it, before its marker.
void Peaks(const RasterImage& picture) {
  std::array<int32_t, 256> peaks{};
  for (int32_t y = 0; y < DIBHeight(picture); ++y)
    for (int32_t x = 0; x < DIBWidth(picture); ++x) {
      const uint8_t* p = DIBPixel24(picture, x, y);
      ++peaks[(p[0] + p[1] + p[2]) / 3];
    }
  for (int i = 0; i < 256; ++i)
    for (int j = std::max(0, i - 63); j <= std::min(255, i + 63); ++j)
      if (j != i && peaks[j] > peaks[i]) {
        peaks[i] = 0;
        break;
      }
  for (int i = 0; i < 256; ++i)
    if (peaks[i]) std::printf("level %d count %d\n", i, peaks[i]);
}

void Scores(const TemplateSet& templates, const GlyphGrid& grid, const char* chars) {
  for (const char* q = chars; *q; ++q) {
    const int k = AlphabetIndex(uint8_t(*q));
    if (k < 1 || k > kMatchedCount) continue;
    std::printf("    '%c':", *q);
    for (int f = 0; f < kTemplateFonts; ++f) {
      double best = -1;
      int bestDx = 0, bestDy = 0;
      for (int dx = -3; dx <= 3; ++dx)
        for (int dy = -3; dy <= 3; ++dy) {
          int32_t both = 0, all = 0;
          MatchCountsReference(templates.grids[k - 1][f], grid, dx, dy, &both, &all);
          if (all > 0 && double(both) / all > best) {
            best = double(both) / all;
            bestDx = dx;
            bestDy = dy;
          }
        }
      std::printf("  font %d %.3f (%d,%d)", f + 1, best, bestDx, bestDy);
    }
    std::printf("\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::strcmp(argv[1], "--glyphs") == 0)
    return Glyphs(std::atoi(argv[2]), argv[3], argc > 4 ? std::atoi(argv[4]) : 0);

  HeadlessWindow window;
  TMainForm form(window, argv[0], {});
  auto templates = std::make_unique<TemplateSet>();
  form.templateSet = templates.get();
  SoftwareCanvas bitmap;
  form.BuildTemplateSet(bitmap);
  struct Release {
    TMainForm& form;
    ~Release() { form.templateSet = nullptr; }
  } release{form};

  if (argc > 2 && std::strcmp(argv[1], "--templates") == 0) {
    for (const char* p = argv[2]; *p; ++p) {
      const int k = AlphabetIndex(uint8_t(*p));
      if (k < 1 || k > kMatchedCount) continue;
      std::printf("'%c'\n", *p);
      const GlyphGrid* grids[4] = {&templates->grids[k - 1][0], &templates->grids[k - 1][1],
                                   &templates->grids[k - 1][2], &templates->grids[k - 1][3]};
      PrintGrids(grids, 4);
    }
    return 0;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: see the head of dump_objects.cpp\n");
    return 1;
  }

  bool showGrids = false;
  const char* scoreChars = nullptr;
  int firstLine = 1, lastLine = 1 << 30, positional = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pixels") == 0 && i + 4 < argc) {
      if (!form.OpenPic(argv[1])) return 1;
      Pixels(form.picture, std::atoi(argv[i + 1]), std::atoi(argv[i + 2]), std::atoi(argv[i + 3]),
             std::atoi(argv[i + 4]));
      return 0;
    }
    if (std::strcmp(argv[i], "--peaks") == 0) {
      if (!form.OpenPic(argv[1])) return 1;
      Peaks(form.picture);
      return 0;
    }
    if (std::strcmp(argv[i], "--grids") == 0)
      showGrids = true;
    else if (std::strncmp(argv[i], "--scores=", 9) == 0)
      scoreChars = argv[i] + 9;
    else if (std::strncmp(argv[i], "--separation=", 13) == 0)
      form.settings.SchwellEd = std::atoi(argv[i] + 13);
    else if (positional++ == 0)
      firstLine = lastLine = std::atoi(argv[i]);
    else
      lastLine = std::atoi(argv[i]);
  }

  if (!form.OpenPic(argv[1])) return 1;
  form.ToBlackWhiteBtnClick();
  form.FindCharsBtnClick();
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    form.objects.Select(i);
    PageObject* object = form.currentObject;
    if (object->line < firstLine || object->line > lastLine) continue;
    const TextLine& line = *form.lines.Select(object->line - 1);
    const int32_t c = form.ClassifyObject();
    ObjectFeatures f;
    GlyphGrid grid;
    MeasureObject(object->image, &grid, &f);
    const Box& b = object->box;
    std::printf(
        "#%d line %d box %d,%d-%d,%d (%dx%d) levels top %d xTop %d xTopLim %d upper %d mid %d "
        "xMid %d base %d desc %d bottom %d third %d -> '%c' ",
        i, object->line, b.Left, b.Top, b.Right, b.Bottom, f.width, f.height, line.top, line.xTop,
        line.xTopLimit, line.upperLevel, line.middle, line.xMiddle, line.baseline,
        line.descenderLevel, line.bottom, line.thirdHeight, Printable(c));
    for (int k = 0; k < 5; ++k) {
      const Candidate& candidate = object->candidates[k];
      if (candidate.score <= 0) break;
      const int ci = candidate.charIndex;
      std::printf(" %c%.3f", ci >= 1 && ci <= kAlphabetSize ? Printable(AlphabetChar(ci)) : '?',
                  candidate.score);
    }
    std::printf("  bb%d tb%d bf%d tg%d ure%d lre%d st%d mb%d\n", f.bottomBar, f.topBar,
                f.bottomFull, f.topGap, f.upperRightEmpty, f.lowerRightEmpty, f.strokes, f.midBar);
    if (scoreChars) Scores(*templates, grid, scoreChars);
    if (showGrids) {
      const GlyphGrid* grids[1] = {&grid};
      PrintGrids(grids, 1);
    }
  }
  return 0;
}
