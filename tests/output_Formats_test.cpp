// Each output format read back as its readers read it: the XML formats parsed by libxml2,
// the TSV split into its columns, the PDF through poppler's pdftotext and pdftoppm.
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <unistd.h>

#include <array>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <locale>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "core/Cp1252.h"
#include "output/FormatWriters.h"
#include "output/Formats.h"
#include "tests/TempDir.h"
#include "tests/TestHelpers.h"

namespace fs = std::filesystem;

namespace {

// The special characters that must survive every format, in Windows-1252:
// € § „ “ ä ß & <
const std::string kSpecial = "\x80\xA7\x84\x93\xE4\xDF&<";

// A word of `text` whose characters are 10 pixels wide with 2 between, from (left, top).
PageWord MakeWord(const std::string& text, int32_t left, int32_t top, double confidence) {
  PageWord word;
  for (size_t i = 0; i < text.size(); ++i) {
    PageChar c;
    c.code = uint8_t(text[i]);
    c.box = PageBox{left + int32_t(i) * 12, top, left + int32_t(i) * 12 + 9, top + 29};
    c.confidence = confidence;
    word.chars.push_back(c);
  }
  return word;
}

// Lines of words at 60 pixels' distance; each line's baseline is 5 above its bottom.
PageBlock MakeBlock(const std::vector<std::vector<std::string>>& lines, int32_t left, int32_t top,
                    double confidence) {
  PageBlock block;
  for (size_t l = 0; l < lines.size(); ++l) {
    PageLine line;
    int32_t x = left;
    for (const std::string& text : lines[l]) {
      line.words.push_back(MakeWord(text, x, top + int32_t(l) * 60, confidence));
      x += int32_t(text.size()) * 12 + 30;
    }
    line.baseline = top + int32_t(l) * 60 + 24;
    block.lines.push_back(line);
  }
  return block;
}

// A page of 800 x 600 at 150 dpi: two blocks, the second with the special characters.
PageText SamplePage() {
  PageText page;
  page.width = 800;
  page.height = 600;
  page.dpi = 150;
  page.blocks.push_back(MakeBlock({{"Hello", "world"}, {"second", "line"}}, 50, 40, 0.9));
  page.blocks.push_back(MakeBlock({{"Preis", kSpecial}}, 50, 300, 0.42));
  page.Summarise();
  return page;
}

// A white 24-bit picture with every character's box painted black (or `ink`).
struct Picture {
  RasterImage image{};
  Picture(const PageText& page, uint32_t ink = 0) {
    newdib(&image, page.width, page.height, 24, nullptr, 0);
    for (int32_t y = 0; y < page.height; ++y)
      for (int32_t x = 0; x < page.width; ++x) setpixel(image, x, y, 0xFFFFFF);
    for (const PageBlock& b : page.blocks)
      for (const PageLine& l : b.lines)
        for (const PageWord& w : l.words)
          for (const PageChar& c : w.chars)
            for (int32_t y = c.box.top; y <= c.box.bottom; ++y)
              for (int32_t x = c.box.left; x <= c.box.right; ++x) setpixel(image, x, y, ink);
  }
  ~Picture() { deldib(&image); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
};

std::vector<PageWord> AllWords(const PageText& page) {
  std::vector<PageWord> words;
  for (const PageBlock& b : page.blocks)
    for (const PageLine& l : b.lines)
      for (const PageWord& w : l.words) words.push_back(w);
  return words;
}

class FormatsTest : public ::testing::Test {
 protected:
  fs::path dir;
  void SetUp() override { dir = FreshTestDir("quillon_formats"); }
  void TearDown() override { fs::remove_all(dir); }

  std::string Write(OutputFormat format, const std::vector<DocumentPage>& pages) {
    const fs::path file = dir / (std::string("out") + FormatExtension(format));
    std::string error;
    EXPECT_TRUE(WriteDocument(format, pages, file.string(), "scan & <page>.png", &error)) << error;
    return file.string();
  }
};

// ---- XML ----

using DocPtr = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

// Parses without reaching for the network (the XHTML DTD stays unread).
DocPtr Parse(const std::string& file) {
  return DocPtr(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR),
                &xmlFreeDoc);
}

class XPath {
 public:
  XPath(xmlDoc* doc, const char* prefix, const char* ns) : context_(xmlXPathNewContext(doc)) {
    xmlXPathRegisterNs(context_, BAD_CAST prefix, BAD_CAST ns);
  }
  ~XPath() { xmlXPathFreeContext(context_); }
  std::vector<xmlNode*> Nodes(const std::string& expression, xmlNode* from = nullptr) {
    context_->node = from ? from : xmlDocGetRootElement(context_->doc);
    xmlXPathObject* result = xmlXPathEvalExpression(BAD_CAST expression.c_str(), context_);
    std::vector<xmlNode*> nodes;
    if (result && result->nodesetval)
      for (int i = 0; i < result->nodesetval->nodeNr; ++i)
        nodes.push_back(result->nodesetval->nodeTab[i]);
    xmlXPathFreeObject(result);
    return nodes;
  }
  // The one node `expression` finds; null when it finds none or several.
  xmlNode* One(const std::string& expression, xmlNode* from = nullptr) {
    const std::vector<xmlNode*> nodes = Nodes(expression, from);
    return nodes.size() == 1 ? nodes[0] : nullptr;
  }

 private:
  xmlXPathContext* context_;
};

std::string Attribute(xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

std::string Content(xmlNode* node) {
  xmlChar* value = xmlNodeGetContent(node);
  std::string text = value ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

std::string HocrBbox(const PageBox& box) {
  return "bbox " + std::to_string(box.left) + " " + std::to_string(box.top) + " " +
         std::to_string(box.right + 1) + " " + std::to_string(box.bottom + 1);
}

constexpr const char* kXhtml = "http://www.w3.org/1999/xhtml";
constexpr const char* kAlto = "http://www.loc.gov/standards/alto/ns-v4#";

TEST_F(FormatsTest, HocrNestsPagesBlocksLinesAndWordsWithBoxesAndConfidence) {
  const PageText page = SamplePage();
  DocPtr doc = Parse(Write(OutputFormat::Hocr, {{page, nullptr, ""}}));
  ASSERT_TRUE(doc);
  XPath x(doc.get(), "h", kXhtml);
  xmlNode* onePage = x.One("/h:html/h:body/h:div[@class='ocr_page']");
  ASSERT_TRUE(onePage);
  EXPECT_EQ(Attribute(onePage, "title"),
            "image \"scan & <page>.png\"; bbox 0 0 800 600; ppageno 0");
  EXPECT_EQ(x.Nodes("h:div[@class='ocr_carea']/h:p[@class='ocr_par']", onePage).size(), 2u);
  const auto lines = x.Nodes("//h:div[@class='ocr_carea']/h:p/h:span[@class='ocr_line']");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Attribute(lines[0], "title"),
            HocrBbox(page.blocks[0].lines[0].box) + "; baseline 0 -5");
  const auto words = x.Nodes("//h:span[@class='ocr_line']/h:span[@class='ocrx_word']");
  const std::vector<PageWord> expected = AllWords(page);
  ASSERT_EQ(words.size(), expected.size());
  for (size_t i = 0; i < words.size(); ++i) {
    EXPECT_EQ(Content(words[i]), Cp1252ToUtf8(expected[i].Text()));
    const int conf = expected[i].confidence > 0.5 ? 90 : 42;
    EXPECT_EQ(Attribute(words[i], "title"),
              HocrBbox(expected[i].box) + "; x_wconf " + std::to_string(conf));
  }
  EXPECT_EQ(Content(words.back()), "€§„“äß&<");
}

TEST_F(FormatsTest, AltoHasDescriptionLayoutAndStringsWithPositions) {
  const PageText page = SamplePage();
  DocPtr doc = Parse(Write(OutputFormat::Alto, {{page, nullptr, ""}}));
  ASSERT_TRUE(doc);
  XPath x(doc.get(), "a", kAlto);
  xmlNode* unit = x.One("/a:alto/a:Description/a:MeasurementUnit");
  ASSERT_TRUE(unit);
  EXPECT_EQ(Content(unit), "pixel");
  xmlNode* name = x.One("/a:alto/a:Description/a:sourceImageInformation/a:fileName");
  ASSERT_TRUE(name);
  EXPECT_EQ(Content(name), "scan & <page>.png");
  xmlNode* onePage = x.One("/a:alto/a:Layout/a:Page");
  ASSERT_TRUE(onePage);
  EXPECT_EQ(Attribute(onePage, "WIDTH"), "800");
  EXPECT_EQ(Attribute(onePage, "HEIGHT"), "600");
  const auto blocks = x.Nodes("a:PrintSpace/a:TextBlock", onePage);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(Attribute(blocks[1], "VPOS"), std::to_string(page.blocks[1].box.top));
  EXPECT_EQ(x.Nodes("a:TextLine", blocks[0]).size(), 2u);
  const auto strings = x.Nodes("//a:TextBlock/a:TextLine/a:String");
  const std::vector<PageWord> expected = AllWords(page);
  ASSERT_EQ(strings.size(), expected.size());
  for (size_t i = 0; i < strings.size(); ++i) {
    const PageBox& box = expected[i].box;
    EXPECT_EQ(Attribute(strings[i], "CONTENT"), Cp1252ToUtf8(expected[i].Text()));
    EXPECT_EQ(Attribute(strings[i], "HPOS"), std::to_string(box.left));
    EXPECT_EQ(Attribute(strings[i], "VPOS"), std::to_string(box.top));
    EXPECT_EQ(Attribute(strings[i], "WIDTH"), std::to_string(box.Width()));
    EXPECT_EQ(Attribute(strings[i], "HEIGHT"), std::to_string(box.Height()));
    EXPECT_EQ(Attribute(strings[i], "WC"), expected[i].confidence > 0.5 ? "0.90" : "0.42");
  }
  EXPECT_EQ(Attribute(strings.back(), "CONTENT"), "€§„“äß&<");
  // One space between the two words of each line, filling the gap between them.
  const auto spaces = x.Nodes("//a:TextLine/a:SP");
  ASSERT_EQ(spaces.size(), 3u);
  EXPECT_EQ(Attribute(spaces[0], "HPOS"), std::to_string(expected[0].box.right + 1));
  EXPECT_EQ(Attribute(spaces[0], "WIDTH"),
            std::to_string(expected[1].box.left - expected[0].box.right - 1));
  EXPECT_EQ(x.Nodes("//a:String/preceding-sibling::*[1][self::a:String]").size(), 0u);
}

// The language a page was read in tags its page in hOCR and its blocks in ALTO; a page read in
// several languages, or by the classic recogniser, is not tagged.
TEST_F(FormatsTest, TheLanguageOfAPageTagsItsTextInHocrAndAlto) {
  PageText french = SamplePage();
  french.language = "fr";
  const PageText untagged = SamplePage();
  DocPtr hocr = Parse(Write(OutputFormat::Hocr, {{french, nullptr, ""}, {untagged, nullptr, ""}}));
  ASSERT_TRUE(hocr);
  XPath h(hocr.get(), "h", kXhtml);
  const auto pages = h.Nodes("/h:html/h:body/h:div[@class='ocr_page']");
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Attribute(pages[0], "lang"), "fr");
  EXPECT_EQ(xmlHasProp(pages[1], BAD_CAST "lang"), nullptr);
  DocPtr alto = Parse(Write(OutputFormat::Alto, {{french, nullptr, ""}, {untagged, nullptr, ""}}));
  ASSERT_TRUE(alto);
  XPath a(alto.get(), "a", kAlto);
  const auto blocks = a.Nodes("//a:Page[1]//a:TextBlock");
  ASSERT_EQ(blocks.size(), 2u);
  for (xmlNode* block : blocks) EXPECT_EQ(Attribute(block, "LANG"), "fr");
  EXPECT_TRUE(a.Nodes("//a:Page[2]//a:TextBlock[@LANG]").empty());
  EXPECT_EQ(a.Nodes("//a:Page[2]//a:TextBlock").size(), 2u);
}

// A page scanned on its side: its blocks say how the text is turned, and the space between two
// words fills the white between them along the line, which runs up the page.
TEST_F(FormatsTest, AltoOfAPageOnItsSideSaysSoAndSpacesRunAlongItsLines) {
  PageText page = SamplePage();
  page.quarterTurns = 1;
  PageLine& line = page.blocks[0].lines[0];
  ASSERT_EQ(line.words.size(), 2u);
  // The first word below the second, as an upright line turned anticlockwise reads.
  const auto place = [](PageWord& word, const PageBox& box) {
    for (PageChar& c : word.chars) c.box = box;
  };
  place(line.words[0], {100, 400, 130, 480});
  place(line.words[1], {100, 300, 130, 380});
  page.Summarise();
  DocPtr doc = Parse(Write(OutputFormat::Alto, {{page, nullptr, ""}}));
  ASSERT_TRUE(doc);
  XPath x(doc.get(), "a", kAlto);
  for (xmlNode* block : x.Nodes("//a:TextBlock")) EXPECT_EQ(Attribute(block, "ROTATION"), "90");
  const auto spaces = x.Nodes("//a:TextLine/a:SP");
  ASSERT_FALSE(spaces.empty());
  EXPECT_EQ(Attribute(spaces[0], "VPOS"), "381");
  EXPECT_EQ(Attribute(spaces[0], "WIDTH"), "19");
}

// ---- TSV ----

std::vector<std::vector<std::string>> TsvRows(const std::string& file) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(ReadFile(file));
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      cells.push_back(line.substr(start, tab - start));
    cells.push_back(line.substr(start));
    rows.push_back(cells);
  }
  return rows;
}

TEST_F(FormatsTest, TsvHasHeaderAndOneRowPerPageBlockParagraphLineAndWord) {
  const PageText page = SamplePage();
  const auto rows = TsvRows(Write(OutputFormat::Tsv, {{page, nullptr, ""}}));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], (std::vector<std::string>{"level", "page_num", "block_num", "par_num",
                                               "line_num", "word_num", "left", "top", "width",
                                               "height", "conf", "text"}));
  std::map<std::string, int> levels;
  std::vector<std::vector<std::string>> words;
  for (size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 12u) << "row " << i;
    ++levels[rows[i][0]];
    if (rows[i][0] == "5") words.push_back(rows[i]);
  }
  EXPECT_EQ(levels, (std::map<std::string, int>{{"1", 1}, {"2", 2}, {"3", 2}, {"4", 3}, {"5", 6}}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "1", "0", "0", "0", "0", "0", "0", "800", "600",
                                               "-1", ""}));
  const std::vector<PageWord> expected = AllWords(page);
  ASSERT_EQ(words.size(), expected.size());
  for (size_t i = 0; i < words.size(); ++i) {
    const PageBox& box = expected[i].box;
    EXPECT_EQ(words[i][6], std::to_string(box.left));
    EXPECT_EQ(words[i][7], std::to_string(box.top));
    EXPECT_EQ(words[i][8], std::to_string(box.Width()));
    EXPECT_EQ(words[i][9], std::to_string(box.Height()));
    EXPECT_EQ(words[i][10], expected[i].confidence > 0.5 ? "90.00" : "42.00");
    EXPECT_EQ(words[i][11], Cp1252ToUtf8(expected[i].Text()));
  }
  // The last word: page 1, block 2, paragraph 1, line 1 of its paragraph, word 2.
  EXPECT_EQ(std::vector<std::string>(words.back().begin() + 1, words.back().begin() + 6),
            (std::vector<std::string>{"1", "2", "1", "1", "2"}));
  EXPECT_EQ(words.back()[11], "€§„“äß&<");
}

// ---- PDF ----

// Runs a command and collects its standard output; false when it fails.
bool RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  return ::pclose(pipe) == 0;
}

bool HavePoppler() {
  std::string ignored;
  return RunCommand("pdftotext -v 2>&1", &ignored) && RunCommand("pdftoppm -v 2>&1", &ignored);
}

#define REQUIRE_POPPLER() \
  if (!HavePoppler()) GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) are not installed"

std::string PdfText(const std::string& pdf, const std::string& options = "") {
  std::string text;
  EXPECT_TRUE(RunCommand("pdftotext " + options + " '" + pdf + "' -", &text));
  return text;
}

// The words pdftotext finds with their boxes (points): "word" -> {xMin, yMin, xMax, yMax}.
std::vector<std::pair<std::string, std::array<double, 4>>> PdfWordBoxes(const std::string& pdf) {
  std::string html;
  EXPECT_TRUE(RunCommand("pdftotext -bbox '" + pdf + "' -", &html));
  DocPtr doc(xmlReadMemory(html.data(), int(html.size()), nullptr, nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_RECOVER),
             &xmlFreeDoc);
  std::vector<std::pair<std::string, std::array<double, 4>>> words;
  if (!doc) return words;
  XPath x(doc.get(), "h", kXhtml);
  for (xmlNode* node : x.Nodes("//h:word"))
    words.push_back({Content(node),
                     {std::stod(Attribute(node, "xMin")), std::stod(Attribute(node, "yMin")),
                      std::stod(Attribute(node, "xMax")), std::stod(Attribute(node, "yMax"))}});
  return words;
}

// The first page rendered grey at `dpi`, as rows of bytes.
std::vector<std::string> RenderPage(const std::string& pdf, int dpi, int page = 1) {
  const std::string prefix = pdf + ".render";
  std::string ignored;
  EXPECT_TRUE(RunCommand("pdftoppm -gray -r " + std::to_string(dpi) + " -f " +
                             std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf +
                             "' '" + prefix + "'",
                         &ignored));
  std::string pgm;
  for (const auto& entry : fs::directory_iterator(fs::path(pdf).parent_path()))
    if (entry.path().string().rfind(prefix, 0) == 0) {
      pgm = ReadFile(entry.path());
      fs::remove(entry.path());
    }
  std::istringstream in(pgm);
  std::string magic;
  int width = 0, height = 0, maxValue = 0;
  in >> magic >> width >> height >> maxValue;
  in.get();
  std::vector<std::string> rows;
  if (magic != "P5") return rows;
  for (int y = 0; y < height; ++y) {
    std::string row(size_t(width), '\0');
    in.read(row.data(), width);
    rows.push_back(row);
  }
  return rows;
}

double DarkShare(const std::vector<std::string>& rows, const PageBox& box) {
  int dark = 0, all = 0;
  for (int32_t y = box.top; y <= box.bottom && y < int32_t(rows.size()); ++y)
    for (int32_t x = box.left; x <= box.right && x < int32_t(rows[size_t(y)].size()); ++x) {
      ++all;
      dark += uint8_t(rows[size_t(y)][size_t(x)]) < 128;
    }
  return all ? double(dark) / all : 0.0;
}

TEST_F(FormatsTest, PdfShowsThePictureAndHidesTheTextAtEachWordsPlace) {
  REQUIRE_POPPLER();
  const PageText page = SamplePage();
  Picture picture(page);
  const std::string pdf = Write(OutputFormat::Pdf, {{page, &picture.image, ""}});

  const std::string text = PdfText(pdf);
  for (const char* word : {"Hello", "world", "second", "line", "Preis", "€§„“äß&<"})
    EXPECT_NE(text.find(word), std::string::npos) << word << " in:\n" << text;

  // Each word starts where its box is on the picture (150 dpi: a pixel is 0.48 point) and
  // is about as wide as the box: a line's words share one horizontal scale, so a word's end
  // is off by how much its letters are wider or narrower than the line's.
  const auto boxes = PdfWordBoxes(pdf);
  const std::vector<PageWord> expected = AllWords(page);
  ASSERT_EQ(boxes.size(), expected.size());
  const double k = 72.0 / 150.0;
  for (size_t i = 0; i < boxes.size(); ++i) {
    const PageBox& box = expected[i].box;
    EXPECT_EQ(boxes[i].first, Cp1252ToUtf8(expected[i].Text()));
    EXPECT_NEAR(boxes[i].second[0], box.left * k, 1.0) << boxes[i].first;
    EXPECT_NEAR(boxes[i].second[2], (box.right + 1) * k, 0.2 * box.Width() * k) << boxes[i].first;
    if (i + 1 < boxes.size() && expected[i + 1].box.top == box.top) {
      EXPECT_LT(boxes[i].second[2], boxes[i + 1].second[0]) << "ends before the next word";
    }
    EXPECT_LT(boxes[i].second[1], (box.top + 8) * k) << boxes[i].first;
    EXPECT_GT(boxes[i].second[3], (box.bottom - 8) * k) << boxes[i].first;
  }

  // The page is the picture: dark where the characters are, white between the lines; the
  // invisible text adds no ink.
  const auto rows = RenderPage(pdf, 150);
  ASSERT_EQ(rows.size(), 600u);
  ASSERT_EQ(rows[0].size(), 800u);
  for (const PageWord& word : expected) EXPECT_GT(DarkShare(rows, word.chars[0].box), 0.9);
  EXPECT_EQ(DarkShare(rows, PageBox{0, 75, 799, 95}), 0.0);
  EXPECT_EQ(DarkShare(rows, PageBox{0, 180, 799, 290}), 0.0);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The window saves a PDF's searchable PDF as the command line writes it: the document
// itself with its layer over the page read (an earlier layer replaced, so each word comes
// once), not a new PDF of the picture.
TEST(WindowPdfSave, APdfIsSavedAsItselfWithALayer) {
  REQUIRE_POPPLER();
  const fs::path dir = FreshTestDir("quillon_window_pdf");
  HeadlessWindow window;
  TMainForm form(window, "/nonexistent/quillon", {});
  form.FormCreate();
  ASSERT_TRUE(form.OpenPic(std::string(QUILLON_SAMPLES) + "/sample.png"));
  form.TextErkennBtnClick();
  const std::string scan = (dir / "scan.pdf").string(), saved = (dir / "saved.pdf").string();
  std::string error;
  ASSERT_TRUE(form.WriteOutputDocument(OutputFormat::Pdf, scan, &error)) << error;

  ASSERT_TRUE(form.OpenPic(scan));
  form.TextErkennBtnClick();
  ASSERT_TRUE(form.WriteOutputDocument(OutputFormat::Pdf, saved, &error)) << error;
  std::ifstream file(saved, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), {});
  EXPECT_NE(bytes.find("/QuillonText"), std::string::npos) << "the layer laid over a PDF";
  std::string shown;
  for (const std::string& line : window.output) shown += line + "\n";
  EXPECT_EQ(Words(PdfText(saved)), Words(shown));
  form.FormDestroy();
  fs::remove_all(dir);
}

// The colour space, bits per component and encoding of the one image that
// `pdfimages -list` lists.
std::string ImageKind(const std::string& list) {
  std::istringstream in(list);
  std::string line;
  for (int i = 0; i < 3; ++i) std::getline(in, line);
  std::istringstream row(line);
  std::vector<std::string> cells;
  for (std::string cell; row >> cell;) cells.push_back(cell);
  return cells.size() > 8 ? cells[5] + " " + cells[7] + " " + cells[8] : "";
}

TEST_F(FormatsTest, PdfKeepsBlackWhiteGreyAndColourPictures) {
  REQUIRE_POPPLER();
  const PageText page = SamplePage();
  // black on white, grey ink, red ink: each renders dark enough where the characters are.
  for (const uint32_t ink : {0x000000u, 0x404040u, 0x0000C0u}) {
    Picture picture(page, ink);
    const std::string pdf = Write(OutputFormat::Pdf, {{page, &picture.image, ""}});
    std::string images;
    ASSERT_TRUE(RunCommand("pdfimages -list '" + pdf + "'", &images));
    EXPECT_EQ(ImageKind(images), ink == 0           ? "gray 1 ccitt"
                                 : ink == 0x404040u ? "gray 8 image"
                                                    : "rgb 8 image");
    const auto rows = RenderPage(pdf, 150);
    ASSERT_EQ(rows.size(), 600u);
    EXPECT_GT(DarkShare(rows, AllWords(page)[0].chars[0].box), 0.9) << std::hex << ink;
    EXPECT_EQ(DarkShare(rows, PageBox{0, 75, 799, 95}), 0.0);
  }
}

TEST_F(FormatsTest, PdfNumbersStayPointsInAGermanLocale) {
  REQUIRE_POPPLER();
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale";
  const std::locale savedGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
  const PageText page = SamplePage();
  Picture picture(page);
  const std::string pdf = Write(OutputFormat::Pdf, {{page, &picture.image, ""}});
  const std::string alto = Write(OutputFormat::Alto, {{page, nullptr, ""}});
  const std::string tsv = Write(OutputFormat::Tsv, {{page, nullptr, ""}});
  std::locale::global(savedGlobal);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_NE(PdfText(pdf).find("Hello"), std::string::npos);
  const auto boxes = PdfWordBoxes(pdf);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NEAR(boxes[0].second[0], 50 * 72.0 / 150.0, 1.0);
  EXPECT_NE(ReadFile(alto).find("WC=\"0.90\""), std::string::npos);
  EXPECT_NE(ReadFile(tsv).find("\t90.00\t"), std::string::npos);
}

// ---- every format: an empty page, two pages ----

TEST_F(FormatsTest, EmptyPageGivesAPageWithoutWordsInEveryFormat) {
  PageText empty;
  empty.width = 320;
  empty.height = 200;
  Picture picture(empty);
  const std::vector<DocumentPage> pages{{empty, &picture.image, ""}};
  {
    DocPtr doc = Parse(Write(OutputFormat::Hocr, pages));
    ASSERT_TRUE(doc);
    XPath x(doc.get(), "h", kXhtml);
    EXPECT_EQ(x.Nodes("//h:div[@class='ocr_page']").size(), 1u);
    EXPECT_EQ(x.Nodes("//h:span").size(), 0u);
  }
  // HTML readers take <div/> for an open div: an empty page element is closed by its tag.
  EXPECT_NE(ReadFile(dir / "out.hocr").find("ppageno 0\"></div>"), std::string::npos);
  {
    DocPtr doc = Parse(Write(OutputFormat::Alto, pages));
    ASSERT_TRUE(doc);
    XPath x(doc.get(), "a", kAlto);
    EXPECT_EQ(x.Nodes("//a:Page/a:PrintSpace").size(), 1u);
    EXPECT_EQ(x.Nodes("//a:TextBlock").size(), 0u);
  }
  EXPECT_EQ(TsvRows(Write(OutputFormat::Tsv, pages)).size(), 2u);
  EXPECT_EQ(ReadFile(Write(OutputFormat::Text, pages)), "");
  if (!HavePoppler()) return;
  const std::string pdf = Write(OutputFormat::Pdf, pages);
  EXPECT_EQ(PdfText(pdf).find_first_not_of(" \n\f"), std::string::npos);
  // A picture without a stated resolution is a 300 dpi page.
  EXPECT_NEAR(double(RenderPage(pdf, 300).size()), 200.0, 1.0);
}

TEST_F(FormatsTest, TwoPagesGiveTwoPageElementsAndAFormFeedBetweenTexts) {
  const PageText first = SamplePage();
  PageText second = first;
  second.blocks.erase(second.blocks.begin());
  Picture picture1(first), picture2(second);
  const std::vector<DocumentPage> pages{{first, &picture1.image, "page one\n"},
                                        {second, &picture2.image, "page two\n"}};
  EXPECT_EQ(ReadFile(Write(OutputFormat::Text, pages)), "page one\n\fpage two\n");
  {
    DocPtr doc = Parse(Write(OutputFormat::Hocr, pages));
    ASSERT_TRUE(doc);
    XPath x(doc.get(), "h", kXhtml);
    const auto pageNodes = x.Nodes("//h:div[@class='ocr_page']");
    ASSERT_EQ(pageNodes.size(), 2u);
    EXPECT_EQ(x.Nodes(".//h:span[@class='ocrx_word']", pageNodes[1]).size(), 2u);
    // Every id stays unique across the pages.
    std::set<std::string> ids;
    for (xmlNode* node : x.Nodes("//*[@id]")) EXPECT_TRUE(ids.insert(Attribute(node, "id")).second);
  }
  {
    DocPtr doc = Parse(Write(OutputFormat::Alto, pages));
    ASSERT_TRUE(doc);
    XPath x(doc.get(), "a", kAlto);
    const auto pageNodes = x.Nodes("//a:Layout/a:Page");
    ASSERT_EQ(pageNodes.size(), 2u);
    EXPECT_EQ(Attribute(pageNodes[1], "PHYSICAL_IMG_NR"), "2");
    EXPECT_EQ(x.Nodes(".//a:String", pageNodes[1]).size(), 2u);
    std::set<std::string> ids;
    for (xmlNode* node : x.Nodes("//*[@ID]")) EXPECT_TRUE(ids.insert(Attribute(node, "ID")).second);
  }
  {
    const auto rows = TsvRows(Write(OutputFormat::Tsv, pages));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back()[1], "2");
    EXPECT_EQ(rows.back()[2], "1");  // blocks count from 1 again on a new page
    EXPECT_EQ(rows.back()[11], "€§„“äß&<");
  }
  if (!HavePoppler()) return;
  const std::string pdf = Write(OutputFormat::Pdf, pages);
  std::string info;
  ASSERT_TRUE(RunCommand("pdfinfo '" + pdf + "'", &info));
  const size_t pagesAt = info.find("Pages:");
  ASSERT_NE(pagesAt, std::string::npos) << info;
  EXPECT_EQ(std::stoi(info.substr(pagesAt + 6)), 2);
  const std::string text = PdfText(pdf);
  const size_t feed = text.find('\f');
  ASSERT_NE(feed, std::string::npos);
  EXPECT_NE(text.find("Hello"), std::string::npos);
  EXPECT_LT(text.find("Hello"), feed);
  EXPECT_GT(text.rfind("Preis"), feed);
}

TEST_F(FormatsTest, FailuresAreReportedAndWriteNothing) {
  const PageText page = SamplePage();
  std::string error;
  const std::string pdf = (dir / "no picture.pdf").string();
  EXPECT_FALSE(WriteDocument(OutputFormat::Pdf, {{page, nullptr, ""}}, pdf, "", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(pdf));
  error.clear();
  EXPECT_FALSE(WriteDocument(OutputFormat::Pdf, {}, pdf, "", &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(WriteDocument(OutputFormat::Hocr, {{page, nullptr, ""}},
                             (dir / "missing" / "out.hocr").string(), "", &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

TEST_F(FormatsTest, TextThatXmlCannotCarryIsReplacedNotWrittenBroken) {
  PageText page = SamplePage();
  page.blocks[0].lines[0].words[0].chars[0].code = 0x01;  // a control character
  for (const OutputFormat format : {OutputFormat::Hocr, OutputFormat::Alto}) {
    DocPtr doc = Parse(Write(format, {{page, nullptr, ""}}));
    EXPECT_TRUE(doc) << FormatName(format);
  }
  // File names may hold anything but '/' and NUL: broken UTF-8, controls (C0, C1),
  // non-characters (U+FFFE, U+FFFF, U+FDD0, U+1FFFF), a surrogate written in UTF-8.
  const std::vector<std::string> names = {
      "bad\xff\x01name.png",      "scan\xEF\xBF\xBE.png", "scan\xEF\xBF\xBF\xEF\xB7\x90.png",
      "scan\xF0\x9F\xBF\xBF.png", "scan\xC2\x85\x7F.png", "scan\xED\xA0\x80.png"};
  for (const std::string& name : names)
    for (const OutputFormat format : {OutputFormat::Hocr, OutputFormat::Alto}) {
      const std::string file = (dir / "broken.xml").string();
      std::string error;
      ASSERT_TRUE(WriteDocument(format, {{page, nullptr, ""}}, file, name, &error)) << error;
      EXPECT_TRUE(Parse(file)) << FormatName(format) << " " << name;
    }
  const auto rows = TsvRows(Write(OutputFormat::Tsv, {{page, nullptr, ""}}));
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i].size(), 12u);
}

}  // namespace
