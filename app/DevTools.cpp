// Developer recognisers and learning on the hidden developer panel: "Recognize" (the stroke
// classifier over the page's objects), "Recog V2" (the learning recogniser with its
// "lernen???" question), "auto learn" (learns a fixed list of characters from a font) and
// the test button BitBtn3. None of them takes part in the OCR run.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

#include "app/MainUnit.h"
#include "core/DrawDIB.h"
#include "devtools/EnterChar.h"
#include "devtools/GridSampling.h"
#include "devtools/LearnedGrids.h"
#include "devtools/StrokeClassifier.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

static_assert(std::tuple_size_v<decltype(TMainForm::profileMeans)> ==
              std::tuple_size_v<ProfileMeans>);

namespace {

constexpr std::string_view kAutoLearnCharacters = "abcdefghklmnopqrstuvwxyzABDEFGHJLMNQRT23456789";

// The font of FontDialog2.
LogFont LearningFont() {
  LogFont font;
  font.faceName = "Times New Roman";
  font.height = -37;
  font.weight = 400;
  font.charSet = 0;  // ANSI
  return font;
}

// The object on the page view: its image in the top-left corner, its box in red.
void ShowObject(Canvas& canvas, const PageObject& object) {
  const RasterImage& image = object.image;
  const int32_t w = DIBWidth(image), h = DIBHeight(image);
  canvas.brushStyle = BrushStyle::Solid;
  canvas.penStyle = PenStyle::Solid;
  canvas.brushColor = clWhite;
  canvas.penColor = clWhite;
  canvas.Rectangle(0, 0, 40, 40);
  DrawDIB(canvas, 0, 0, w, h, image, 0, 0, w, h);
  canvas.brushColor = clRed;
  canvas.penColor = clRed;
  canvas.Rectangle(object.box.Left, object.box.Top, object.box.Right, object.box.Bottom);
}

}  // namespace

void TMainForm::ComputeProfiles(const RasterImage& image) {
  DirectionTable directions{directionSin, directionCos};
  profileMeans = ::ComputeProfiles(image, directions);
  DrawProfileGraph(window.PaintBox2Canvas(), profileMeans);
}

void TMainForm::ClassifyStrokes() {
  label2Caption.clear();
  label2Caption = ::ClassifyStrokes(profileMeans, [this](const std::string& line) { Log(line); });
}

void TMainForm::RecogBtnClick() {
  DirectionTable directions = BuildDirectionTable();
  directionSin = directions.sin;
  directionCos = directions.cos;
  Canvas& canvas = window.PaintBox1Canvas();
  // By index rather than the list cursor: a repaint during the message box walks the list.
  for (int32_t i = 0; i < objects.Count; ++i) {
    const PageObject object = *objects.At(i);  // the record only; the pixels stay shared
    const int32_t w = DIBWidth(object.image), h = DIBHeight(object.image);
    ComputeProfiles(object.image);
    ClassifyStrokes();
    ShowObject(canvas, object);
    for (int32_t g = 0; g < glyphImages.Count; ++g) {
      const RasterImage& glyph = glyphImages.At(g)->image;
      DrawDIB(canvas, 100, 0, w, h, glyph, 0, 0, DIBWidth(glyph), DIBHeight(glyph));
    }
    // Summary: the stroke result ("-" when no rule holds); then, from the last recognition
    // run, the top candidate's score and alphabet position and the decided character's
    // code (all 0 before the object has been classified).
    char numbers[80];
    std::snprintf(numbers, sizeof numbers, "%.4f;%d;%d", object.candidates[0].score,
                  int(object.candidates[0].charIndex), int(object.recognisedChar));
    Log((label2Caption.empty() ? std::string("-") : label2Caption) + ";" + numbers);
    window.MessageBox("dd", "dd", MessageIcon::None, MessageButtons::Ok);
  }
}

void TMainForm::Rec2BtnClick() {
  Canvas& canvas = window.PaintBox1Canvas();
  for (int32_t i = 0; i < objects.Count; ++i) {
    const PageObject object = *objects.At(i);
    objectGrid = SampleObjectImage(object.image);
    label2Caption = Windows1252CharToUtf8(getthechar());
    DrawGridDisplay(canvas, objectGrid, false);
    ShowObject(canvas, object);
    if (window.MessageBox("lernen???", "dd", MessageIcon::Question, MessageButtons::YesNo) !=
        MessageResult::Yes)
      continue;
    std::string text;
    bool confirmed = window.EnterCharDialog(&text);
    std::optional<uint8_t> c = CharacterToLearn(confirmed, text);
    if (c) {
      LearnTheChar(*c);
    } else if (confirmed && !text.empty()) {
      Log("\"" + text + "\" cannot be learned: not a character of Windows-1252");
    }
  }
}

void TMainForm::AutolearnClick() {
  std::unique_ptr<PlatformFont> font(PlatformFont::Create(LearningFont()));
  if (!font) {
    Log("auto learn: the font Times New Roman cannot be loaded");
    return;
  }
  SoftwareCanvas bitmap;

  const int32_t position = fontHandles.cursor, count = fontHandles.Count;
  progressBar1Position = count > 0 ? position / count : 0;
  label1Caption = std::to_string(position) + " " + std::to_string(count);
  window.ProcessMessages();

  Canvas& canvas = window.PaintBox1Canvas();
  for (char ch : kAutoLearnCharacters) {
    const std::string text(1, ch);
    bitmap.SetSize(0, 0);
    bitmap.font = font.get();
    const int32_t w = 2 * font->TextWidth(text), h = 2 * font->TextHeight(text);
    if (w <= 0 || h <= 0) continue;
    bitmap.SetSize(w, h);
    bitmap.brushColor = clWhite;
    bitmap.brushStyle = BrushStyle::Solid;
    bitmap.fontColor = clBlack;
    bitmap.TextOut(0, 0, text);

    int32_t minX = w, minY = h, maxX = 0, maxY = 0;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        if (bitmap.GetPixel(x, y) != clBlack) continue;
        minX = std::min(minX, x), minY = std::min(minY, y);
        maxX = std::max(maxX, x), maxY = std::max(maxY, y);
      }
    }
    const bool inked = minX <= maxX && minY <= maxY;
    if (inked) {
      objectGrid =
          SampleGrid(InkBoxSampleLines(minX, maxX), InkBoxSampleLines(minY, maxY),
                     [&](int32_t x, int32_t y) { return bitmap.GetPixel(x, y) == clBlack; });
    } else {
      for (int32_t& cell : objectGrid.cells) cell = 255;
    }

    canvas.brushStyle = BrushStyle::Solid;
    canvas.brushColor = clWhite;
    canvas.penColor = clBlack;
    canvas.Rectangle(0, 0, 50, 50);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) canvas.SetPixel(x, y, bitmap.GetPixel(x, y));
    DrawGridDisplay(canvas, objectGrid, true);

    // A character that draws no ink has nothing to learn from.
    if (inked) LearnTheChar(uint8_t(ch));
  }
}

void TMainForm::BitBtn3Click() {
  if (glyphImages.Count == 0) {
    window.SetCaption("1");
    return;
  }
  const RasterImage& last = glyphImages.At(glyphImages.Count - 1)->image;
  window.SetCaption(std::to_string(int64_t(DIBWidth(last)) * DIBHeight(last)));
}

uint8_t TMainForm::getthechar() {
  LearnedGrids store(LearnedGrids::DefaultDirectory());
  store.Load();
  if (!store.Problem().empty())
    window.MessageBox(store.Problem(), "Quillon", MessageIcon::Warning, MessageButtons::Ok);
  return store.Nearest(objectGrid);
}

void TMainForm::LearnTheChar(uint8_t c) {
  LearnedGrids store(LearnedGrids::DefaultDirectory());
  std::string error;
  bool learned = store.Add(c, objectGrid, &error);
  if (!store.Problem().empty())
    window.MessageBox(store.Problem(), "Quillon", MessageIcon::Warning, MessageButtons::Ok);
  if (!learned && error != store.Problem()) Log(error);
}
