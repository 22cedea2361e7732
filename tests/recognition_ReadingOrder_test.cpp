// The extended run on drawn pages read in the order a person reads them: two columns,
// a word divided across the column break, a photo between lines, a page of photo only.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "platform/Fonts.h"
#include "platform/SoftwareCanvas.h"

namespace {

constexpr int32_t kEm = 42;  // 10 pt at 300 dpi

class ReadingOrderTest : public ::testing::Test {
 protected:
  HeadlessWindow window;
  TMainForm form{window, std::string(QUILLON_MODEL_DIR) + "/quillon", {}};  // beside the model
  std::unique_ptr<PlatformFont> font;
  std::vector<uint8_t> grey;
  int32_t width = 0, height = 0;
  std::unique_ptr<SoftwareCanvas> canvas;

  void SetUp() override {
    form.FormCreate();  // finds the model beside its program file
    LogFont description;
    description.height = -kEm;
    description.faceName = "Liberation Sans";
    font.reset(PlatformFont::Create(description));
    ASSERT_TRUE(font);
  }
  void NewPage(int32_t w, int32_t h) {
    width = w;
    height = h;
    canvas = std::make_unique<SoftwareCanvas>(w, h);
    grey.assign(size_t(w) * size_t(h), 255);
  }
  void Text(int32_t x, int32_t baseline, const std::string& text) {
    canvas->brushStyle = BrushStyle::Clear;
    canvas->font = font.get();
    canvas->TextOut(x, baseline - font->Ascent(), text);
  }
  // A photo: a grey gradient with dark blobs and grain.
  void Photo(int32_t left, int32_t top, int32_t w, int32_t h) {
    std::mt19937 random(5);
    for (int32_t y = top; y < top + h; ++y)
      for (int32_t x = left; x < left + w; ++x) {
        const double blob = std::hypot(x - left - w / 3, y - top - h / 2) < h / 4 ? 0.0 : 1.0;
        const int32_t level =
            int32_t(60 + 150 * blob * (x - left) / w) + int32_t(random() % 60) - 30;
        grey[size_t(y) * size_t(width) + size_t(x)] = uint8_t(std::clamp(level, 0, 255));
      }
  }
  std::string Read(ReadingOrder order) {
    RasterImage image{};
    newdib(&image, width, height, 24, nullptr, 0);
    EXPECT_TRUE(image.pixels);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t drawn = uint8_t(canvas->GetPixel(x, y) & 0xFF);
        uint8_t* p = DIBPixel24(image, x, y);
        p[0] = p[1] = p[2] = std::min(drawn, grey[size_t(y) * size_t(width) + size_t(x)]);
      }
    form.InstallPicture(image);
    form.settings.recogniser = RecogniserKind::Extended;
    form.settings.readingOrder = order;
    window.output.clear();
    window.log.clear();
    form.TextErkennBtnClick();
    std::string text;
    for (const std::string& line : window.output) text += line + "\n";
    return text;
  }
  bool Logged(const std::string& line) const {
    return std::find(window.log.begin(), window.log.end(), line) != window.log.end();
  }
};

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::string token;
  for (char c : text + " ") {
    if (c != ' ' && c != '\n') {
      token += c;
    } else if (!token.empty()) {
      tokens.push_back(token);
      token.clear();
    }
  }
  return tokens;
}

// The anchors come in this order among the tokens (the characters between them may be
// misread: the order is what is tested here).
void ExpectInOrder(const std::string& text, const std::vector<std::string>& anchors) {
  const std::vector<std::string> tokens = Tokens(text);
  auto from = tokens.begin();
  for (const std::string& anchor : anchors) {
    const auto at = std::find(from, tokens.end(), anchor);
    ASSERT_NE(at, tokens.end()) << anchor << " missing or out of order in: " << text;
    from = at + 1;
  }
}

TEST_F(ReadingOrderTest, ColumnsOneAfterTheOtherPageOrderRowByRow) {
  NewPage(1500, 560);
  const char* left[] = {"Zuerst sehen wir", "die erste Spalte", "bis nach unten",
                        "und dann das Wet-"};
  const char* right[] = {"ter rechts oben", "in der anderen", "Spalte daneben", "bis zum Ende."};
  for (int32_t l = 0; l < 4; ++l) {
    Text(60, 100 + l * 110, left[l]);
    Text(800, 100 + l * 110, right[l]);
  }
  const std::string columns = Read(ReadingOrder::Columns);
  ExpectInOrder(columns, {"Zuerst", "unten", "Wetter", "rechts", "daneben", "Ende."});
  EXPECT_EQ(Tokens(columns).size(), 23u);  // the divided word is one
  // Page order: rows across the columns, the divided word left as it stands.
  const std::string page = Read(ReadingOrder::Page);
  ExpectInOrder(page, {"Zuerst", "ter", "rechts", "unten", "daneben", "Wet-", "Ende."});
  EXPECT_EQ(Tokens(page).size(), 24u);
}

TEST_F(ReadingOrderTest, PhotoBetweenLinesGivesNoCharacters) {
  NewPage(1400, 1000);
  Text(60, 100, "Ein Satz vor dem Foto steht hier.");
  Text(60, 170, "Und noch eine Zeile darunter.");
  Photo(300, 260, 800, 500);
  Text(60, 860, "Nach dem Foto kommt mehr Text.");
  const std::string text = Read(ReadingOrder::Columns);
  ExpectInOrder(text, {"Ein", "Satz", "darunter.", "Nach", "dem", "Foto", "Text."});
  EXPECT_EQ(Tokens(text).size(), 18u) << text;  // nothing from the photo
}

TEST_F(ReadingOrderTest, PageOfPhotoOnlyGivesAnEmptyTextAndSaysSo) {
  NewPage(1200, 900);
  Photo(0, 0, 1200, 900);
  EXPECT_EQ(Read(ReadingOrder::Columns), "");
  EXPECT_TRUE(Logged("No text blocks on the page: nothing to read"));
  EXPECT_EQ(window.log.back(), "done.");
}

}  // namespace
