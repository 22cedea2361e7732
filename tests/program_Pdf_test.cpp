// Scanned PDFs in, searchable PDFs out, run as a user runs the program. The PDFs are made
// here with QPDF from the sample page: scans of one image a page (grey pixels, JPEG, CCITT
// fax), a page turned by /Rotate, a page of vector text, bookmarks and metadata; and bad
// ones (encrypted, damaged, empty, a page 200 inches wide).
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <unistd.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "PdfMaking.h"
#include "ProgramRun.h"
#include "TempDir.h"
#include "core/RasterPages.h"

namespace fs = std::filesystem;
using programrun::Quoted;
using programrun::ReadFile;
using programrun::WriteFile;

namespace {

const std::string kProgram = QUILLON_PROGRAM;
const std::string kSample = std::string(QUILLON_SAMPLES) + "/sample.png";

using pdfmaking::Bytes;
using pdfmaking::PageSpec;
using pdfmaking::Stored;

// A PDF of pages made from the sample page.
void MakePdf(const std::string& path, const std::vector<PageSpec>& pages,
             const std::string& userPassword = "") {
  PIX* sample = pixRead(kSample.c_str());
  pdfmaking::MakePdf(path, sample, pages, userPassword);
  pixDestroy(&sample);
}

// The raw bytes of every image of every page, in page order.
std::vector<std::string> ImageStreams(const std::string& path) {
  QPDF pdf;
  pdf.processFile(path.c_str());
  std::vector<std::string> streams;
  for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages())
    for (auto& [name, image] : page.getImages()) {
      std::shared_ptr<Buffer> raw = image.getRawStreamData();
      streams.push_back(Bytes(raw->getBuffer(), raw->getSize()));
    }
  return streams;
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// The words of an hOCR, ALTO or TSV output, in their order.
std::string XmlUnescaped(std::string text) {
  for (const auto& [entity, c] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}})
    for (size_t at = 0; (at = text.find(entity, at)) != std::string::npos; at += 1)
      text.replace(at, std::strlen(entity), c);
  return text;
}
// The text from `open` (the start tag's end, or an attribute's opening quote) to `close`
// after each `marker`.
std::vector<std::string> MarkedWords(const std::string& text, const std::string& marker,
                                     const std::string& open, const std::string& close) {
  std::vector<std::string> words;
  for (size_t at = 0; (at = text.find(marker, at)) != std::string::npos;) {
    const size_t start = text.find(open, at) + open.size();
    const size_t end = text.find(close, start);
    words.push_back(XmlUnescaped(text.substr(start, end - start)));
    at = end;
  }
  return words;
}
std::vector<std::string> TsvWords(const std::string& tsv) {
  std::vector<std::string> words;
  std::istringstream rows(tsv);
  for (std::string row; std::getline(rows, row);)
    if (row.rfind("5\t", 0) == 0) words.push_back(row.substr(row.rfind('\t') + 1));
  return words;
}

class PdfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = FreshTestDir("pdf").string();
    fs::copy_file(kSample, dir + "/sample.png");
  }
  void TearDown() override { fs::remove_all(dir); }

  programrun::Result Quillon(const std::string& arguments) {
    return programrun::Run(dir, Quoted(kProgram) + " " + arguments);
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  std::string PdfText(const std::string& name) {
    return programrun::Run(dir, "pdftotext -enc UTF-8 " + Quoted(name) + " -").out;
  }

  std::string dir;
};

TEST_F(PdfTest, AScannedPdfGetsATextLayerAndKeepsEverythingElse) {
  MakePdf(Path("scan.pdf"), {{Stored::Grey}, {Stored::Jpeg}, {Stored::Fax}});
  const std::string input = ReadFile(Path("scan.pdf"));
  const programrun::Result text = Quillon("scan.pdf -");
  ASSERT_EQ(text.status, 0) << text.err;
  const programrun::Result pdf = Quillon("--format=pdf scan.pdf out.pdf");
  ASSERT_EQ(pdf.status, 0) << pdf.err;
  EXPECT_EQ(ReadFile(Path("scan.pdf")), input);  // the input is never changed

  // Every page read: the grey page as the picture itself reads.
  std::vector<std::string> pages;
  std::istringstream split(text.out);
  for (std::string page; std::getline(split, page, '\f');) pages.push_back(page);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0], Quillon("sample.png -").out);
  for (const std::string& page : pages) EXPECT_GE(Words(page).size(), 10u) << page;

  // The text layer gives the text output's words in their order.
  EXPECT_EQ(Words(PdfText("out.pdf")), Words(text.out));
  // Images byte for byte; pages, boxes, bookmarks and metadata kept.
  EXPECT_EQ(ImageStreams(Path("out.pdf")), ImageStreams(Path("scan.pdf")));
  QPDF before, after;
  before.processFile(Path("scan.pdf").c_str());
  after.processFile(Path("out.pdf").c_str());
  std::vector<QPDFObjectHandle> pagesBefore = before.getAllPages(),
                                pagesAfter = after.getAllPages();
  ASSERT_EQ(pagesAfter.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(pagesAfter[i].getKey("/MediaBox").unparse(),
              pagesBefore[i].getKey("/MediaBox").unparse());
  EXPECT_EQ(QPDFOutlineDocumentHelper(after).getTopLevelOutlines().size(), 3u);
  EXPECT_EQ(after.getTrailer().getKey("/Info").getKey("/Title").getUTF8Value(), "Test scans");
}

// One word segmentation for every output of a run: the words of the text, hOCR, ALTO and
// TSV outputs and of the PDF's text layer are one sequence, with either recogniser.
TEST_F(PdfTest, EveryFormatHasTheTextOutputsWords) {
  for (const std::string recogniser : {"classic", "extended"}) {
    const std::string options = "--recogniser=" + recogniser + " --format=";
    for (const std::string format : {"text", "hocr", "alto", "tsv", "pdf"})
      ASSERT_EQ(Quillon(options + format + " sample.png out." + format).status, 0) << format;
    const std::vector<std::string> words = Words(ReadFile(Path("out.text")));
    ASSERT_GE(words.size(), 10u);
    EXPECT_EQ(MarkedWords(ReadFile(Path("out.hocr")), "class=\"ocrx_word\"", ">", "</span>"), words)
        << recogniser;
    EXPECT_EQ(MarkedWords(ReadFile(Path("out.alto")), "CONTENT", "\"", "\""), words) << recogniser;
    EXPECT_EQ(TsvWords(ReadFile(Path("out.tsv"))), words) << recogniser;
    EXPECT_EQ(Words(PdfText("out.pdf")), words) << recogniser;
    for (const std::string format : {"text", "hocr", "alto", "tsv", "pdf"})
      fs::remove(Path("out." + format));
  }
}

// The language the extended recogniser read the pages in is the searchable PDF's /Lang, for
// screen readers, whether the PDF was made from a picture or laid over a scanned PDF; a
// language the scanned PDF states stays, and the classic recogniser names none.
TEST_F(PdfTest, TheSearchablePdfNamesTheLanguageItsPagesWereReadIn) {
  MakePdf(Path("scan.pdf"), {{Stored::Grey}});
  const auto language = [this](const std::string& name) {
    QPDF pdf;
    pdf.processFile(Path(name).c_str());
    QPDFObjectHandle lang = pdf.getRoot().getKey("/Lang");
    return lang.isString() ? lang.getUTF8Value() : std::string();
  };
  // Each run writes a PDF of its own: an existing PDF is never replaced.
  for (const std::string input : {"sample.png", "scan.pdf"}) {
    const std::string one = "one-" + input + ".pdf", two = "two-" + input + ".pdf",
                      classic = "classic-" + input + ".pdf";
    ASSERT_EQ(Quillon("--recogniser=extended --format=pdf " + input + " " + one).status, 0);
    EXPECT_EQ(language(one), "de") << input;
    const std::string both = "--recogniser=extended --language=deu+eng --format=pdf ";
    ASSERT_EQ(Quillon(both + input + " " + two).status, 0);
    EXPECT_EQ(language(two), "") << input;  // which words are in which is not known
    ASSERT_EQ(Quillon("--format=pdf " + input + " " + classic).status, 0);
    EXPECT_EQ(language(classic), "") << input;
  }
  QPDF stated;
  stated.processFile(Path("scan.pdf").c_str());
  stated.getRoot().replaceKey("/Lang", QPDFObjectHandle::newString("en-GB"));
  const std::string statedPath = Path("stated.pdf");  // the writer keeps the name's pointer
  QPDFWriter writer(stated, statedPath.c_str());
  writer.write();
  const programrun::Result run = Quillon("--recogniser=extended --format=pdf stated.pdf kept.pdf");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(language("kept.pdf"), "en-GB");
}

// Each word of an hOCR output or of pdftotext's -bbox output with its box, in their order.
struct BoxedWord {
  std::string text;
  double left, top, right, bottom;
};
std::vector<BoxedWord> BoxedWords(const std::string& text, const std::regex& word) {
  std::vector<BoxedWord> words;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator();
       ++it)
    words.push_back({(*it)[5], std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                     std::stod((*it)[4])});
  return words;
}

// A page scanned on its side or upside down is read upright; its words' boxes in hOCR and in
// the searchable PDF's layer stand where the words stand on the picture as it is.
TEST_F(PdfTest, APageScannedOnItsSideIsReadUprightAndItsWordsLieOnIt) {
  const std::regex hocrWord(
      "ocrx_word\"[^>]*bbox (\\d+) (\\d+) (\\d+) (\\d+);[^>]*>([^<]*)</span>");
  const std::regex pdfWord(
      "xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<");
  const std::string options = "--recogniser=extended ";
  ASSERT_EQ(Quillon(options + "--format=hocr sample.png upright.hocr").status, 0);
  const std::string upright = Quillon(options + "sample.png -").out;
  const std::vector<BoxedWord> uprightWords = BoxedWords(ReadFile(Path("upright.hocr")), hocrWord);
  ASSERT_GE(uprightWords.size(), 10u);
  PIX* sample = pixRead(kSample.c_str());
  ASSERT_NE(sample, nullptr);
  const int32_t width = pixGetWidth(sample), height = pixGetHeight(sample);
  for (const int32_t quarters : {1, 2, 3}) {
    PIX* turned = pixRotateOrth(sample, quarters);  // clockwise
    ASSERT_EQ(pixWrite(Path("turned.png").c_str(), turned, IFF_PNG), 0);
    pixDestroy(&turned);
    EXPECT_EQ(Quillon(options + "turned.png -").out, upright) << quarters;
    ASSERT_EQ(Quillon(options + "--format=hocr turned.png turned.hocr").status, 0);
    ASSERT_EQ(Quillon(options + "--format=pdf turned.png turned.pdf").status, 0);
    // Its lines say how the text is turned: anticlockwise, as the picture was clockwise.
    EXPECT_NE(
        ReadFile(Path("turned.hocr")).find("; textangle " + std::to_string(360 - 90 * quarters)),
        std::string::npos)
        << quarters;
    const std::vector<BoxedWord> hocr = BoxedWords(ReadFile(Path("turned.hocr")), hocrWord);
    ASSERT_EQ(hocr.size(), uprightWords.size()) << quarters;
    // Each upright box turned clockwise as the picture was.
    for (size_t i = 0; i < hocr.size(); ++i) {
      BoxedWord expected = uprightWords[i];
      int32_t w = width, h = height;
      for (int32_t q = 0; q < quarters; ++q) {
        expected = {expected.text, h - 1 - expected.bottom, expected.left, h - 1 - expected.top,
                    expected.right};
        std::swap(w, h);
      }
      EXPECT_EQ(hocr[i].text, expected.text);
      EXPECT_NEAR(hocr[i].left, expected.left, 2) << quarters << " " << expected.text;
      EXPECT_NEAR(hocr[i].top, expected.top, 2) << quarters << " " << expected.text;
      EXPECT_NEAR(hocr[i].right, expected.right, 2) << quarters << " " << expected.text;
      EXPECT_NEAR(hocr[i].bottom, expected.bottom, 2) << quarters << " " << expected.text;
    }
    // The layer's words over their hOCR boxes (points from the top, 72 to 300 pixels): their
    // ends within a letter, their sides within a few points.
    const std::string bbox =
        programrun::Run(dir, "pdftotext -bbox " + Quoted("turned.pdf") + " -").out;
    const std::vector<BoxedWord> layer = BoxedWords(bbox, pdfWord);
    ASSERT_EQ(layer.size(), hocr.size()) << quarters;
    for (const BoxedWord& word : layer) {
      const auto same = std::find_if(hocr.begin(), hocr.end(),
                                     [&word](const BoxedWord& h) { return h.text == word.text; });
      ASSERT_NE(same, hocr.end()) << word.text;
      const double unit = 72.0 / 300;
      EXPECT_NEAR((word.left + word.right) / 2, (same->left + same->right + 1) / 2 * unit, 4)
          << quarters << " " << word.text;
      EXPECT_NEAR((word.top + word.bottom) / 2, (same->top + same->bottom + 1) / 2 * unit, 4)
          << quarters << " " << word.text;
    }
  }
  pixDestroy(&sample);
}

TEST_F(PdfTest, ATurnedPageIsReadAsItIsShownAndItsLayerLiesOnIt) {
  MakePdf(Path("upright.pdf"), {{Stored::Grey}});
  MakePdf(Path("turned.pdf"), {{Stored::Grey, 90}, {Stored::Jpeg, 270}, {Stored::Grey, 180}});
  const std::string upright = Quillon("upright.pdf -").out;
  const programrun::Result turned = Quillon("turned.pdf -");
  ASSERT_EQ(turned.status, 0) << turned.err;
  EXPECT_EQ(turned.out.substr(0, turned.out.find('\f')), upright);
  ASSERT_EQ(Quillon("--format=pdf turned.pdf out.pdf").status, 0);
  EXPECT_EQ(Words(PdfText("out.pdf")), Words(turned.out));
  QPDF out;
  out.processFile(Path("out.pdf").c_str());
  std::vector<QPDFObjectHandle> pages = out.getAllPages();
  EXPECT_EQ(pages[0].getKey("/Rotate").getIntValue(), 90);
}

TEST_F(PdfTest, PagesWithTextAreTakenAsTheyStandUnlessAskedToBeRead) {
  MakePdf(Path("mixed.pdf"), {{Stored::Grey}, {Stored::Grey, 0, "Quillon keeps vector text"}});
  const programrun::Result text = Quillon("mixed.pdf -");
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Quillon keeps vector text"), std::string::npos) << text.out;
  ASSERT_EQ(Quillon("--format=pdf mixed.pdf out.pdf").status, 0);
  // The vector page gets no second layer: its words come once.
  EXPECT_EQ(Words(PdfText("out.pdf")), Words(text.out));

  // out.pdf's first page now carries an invisible layer: taken as it stands by default,
  // read again and replaced with --redo-text (not doubled).
  const programrun::Result taken = Quillon("out.pdf -");
  EXPECT_EQ(Words(taken.out), Words(text.out));
  const programrun::Result redone = Quillon("--redo-text out.pdf -");
  ASSERT_EQ(Quillon("--redo-text --format=pdf out.pdf redone.pdf").status, 0);
  EXPECT_EQ(Words(PdfText("redone.pdf")), Words(redone.out));
  EXPECT_EQ(Words(redone.out), Words(text.out));

  // --force-ocr reads the vector page as a picture too; in the PDF that page keeps its
  // own text and gets no layer: every word once for search and copy.
  const programrun::Result forced = Quillon("--force-ocr --pages=2 mixed.pdf -");
  ASSERT_EQ(forced.status, 0) << forced.err;
  EXPECT_NE(forced.out.find("vector"), std::string::npos) << forced.out;
  ASSERT_EQ(Quillon("--force-ocr --format=pdf mixed.pdf forced.pdf").status, 0);
  EXPECT_EQ(Words(PdfText("forced.pdf")), Words(text.out));
  // A page whose text is all invisible is read and its layer replaced, not doubled.
  ASSERT_EQ(Quillon("--force-ocr --format=pdf out.pdf reforced.pdf").status, 0);
  EXPECT_EQ(Words(PdfText("reforced.pdf")), Words(text.out));
}

TEST_F(PdfTest, PagesSidecarBatchesAndStandardInput) {
  MakePdf(Path("scan.pdf"), {{Stored::Grey}, {Stored::Fax}, {Stored::Jpeg}});
  const std::string all = Quillon("scan.pdf -").out;
  const programrun::Result second = Quillon("--pages=2 scan.pdf -");
  ASSERT_EQ(second.status, 0) << second.err;
  std::istringstream split(all);
  std::string page;
  std::getline(split, page, '\f');
  std::getline(split, page, '\f');
  EXPECT_EQ(second.out, page);

  ASSERT_EQ(Quillon("--pages=2 --sidecar=side.txt --format=pdf scan.pdf out.pdf").status, 0);
  EXPECT_EQ(ReadFile(Path("side.txt")), page);
  EXPECT_EQ(Words(PdfText("out.pdf")), Words(page));
  QPDF out;
  out.processFile(Path("out.pdf").c_str());
  EXPECT_EQ(out.getAllPages().size(), 3u);  // pages not read stay, without a layer

  EXPECT_EQ(Quillon("- - < scan.pdf").out, all);
  const programrun::Result batch = Quillon("--format=pdf --output-dir=dir scan.pdf sample.png");
  ASSERT_EQ(batch.status, 0) << batch.err;
  EXPECT_EQ(Words(PdfText("dir/scan.pdf")), Words(all));
  EXPECT_EQ(ImageStreams(Path("dir/scan.pdf")), ImageStreams(Path("scan.pdf")));
  EXPECT_EQ(Quillon("--pages=7 scan.pdf -").status, 1);
  EXPECT_EQ(Quillon("--pages=0 scan.pdf -").status, 2);
}

// The window pages through a PDF as through a multi-page TIFF, with the same two calls;
// each scan comes at its own size and resolution (not resampled).
TEST_F(PdfTest, APdfIsPagedAsAMultiPageTiffIs) {
  QPDF pdf;
  pdf.emptyPDF();
  for (const int width : {100, 200, 300}) {
    PIX* page = pixCreate(width, 60, 8);
    pixSetAll(page);
    pdfmaking::AddPage(pdf, page, {Stored::Grey});
    pixDestroy(&page);
  }
  QPDFWriter(pdf, Path("three.pdf").c_str()).write();
  EXPECT_EQ(DIBPageCount(Path("three.pdf").c_str()), 3);
  for (int32_t page = 0; page < 3; ++page) {
    RasterImage image{};
    OpenDibPage(&image, Path("three.pdf").c_str(), page);
    ASSERT_NE(image.pixels, nullptr) << DIBErrorText(image);
    EXPECT_EQ(DIBWidth(image), 100 * (page + 1));
    EXPECT_EQ(DIBHeight(image), 60);
    EXPECT_NEAR(DIBInfo(image)->biXPelsPerMeter * 0.0254, 300, 1);
    deldib(&image);
  }
  RasterImage missing{};
  OpenDibPage(&missing, Path("three.pdf").c_str(), 3);
  EXPECT_EQ(missing.pixels, nullptr);
  EXPECT_FALSE(DIBErrorText(missing).empty());
}

TEST_F(PdfTest, BadPdfsAreRefusedWithAReasonAndNoOutput) {
  MakePdf(Path("scan.pdf"), {{Stored::Grey}});
  MakePdf(Path("encrypted.pdf"), {{Stored::Grey}}, "secret");
  const std::string good = ReadFile(Path("scan.pdf"));
  WriteFile(Path("damaged.pdf"), good.substr(0, 300) + std::string(2000, 'x'));
  WriteFile(
      Path("empty.pdf"),
      "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
      "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");
  // A page 200 inches wide, and a tree that claims a million pages for one.
  WriteFile(Path("huge.pdf"),
            "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
            "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1000000 >> endobj\n"
            "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 14400 14400] >> endobj\n"
            "trailer << /Root 1 0 R >>\n%%EOF\n");
  // An image that claims 483 million rows, drawn turned on a small page: the renderer would
  // scale every row it claims, for minutes, though its data ends at once.
  const std::string draw = "q 0 100 -100 0 150 50 cm /Im0 Do Q\n";
  WriteFile(Path("hugeimage.pdf"),
            "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
            "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
            "3 0 obj << /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] "
            "/Resources << /XObject << /Im0 4 0 R >> >> /Contents 5 0 R >> endobj\n"
            "4 0 obj << /Type /XObject /Subtype /Image /Width 80 /Height 483333333 "
            "/ColorSpace /DeviceGray /BitsPerComponent 1 /Length 1 >> stream\n0\nendstream "
            "endobj\n5 0 obj << /Length " +
                std::to_string(draw.size()) + " >> stream\n" + draw +
                "endstream endobj\ntrailer << /Root 1 0 R >>\n%%EOF\n");
  const std::map<std::string, std::string> reasons = {{"encrypted.pdf", "encrypted"},
                                                      {"damaged.pdf", "damaged"},
                                                      {"empty.pdf", "no pages"},
                                                      {"huge.pdf", "too large"},
                                                      {"hugeimage.pdf", "image too large"}};
  for (const auto& [name, reason] : reasons) {
    const std::string before = ReadFile(Path(name));
    for (const std::string format : {"text", "pdf"}) {
      const programrun::Result run = Quillon("--format=" + format + " " + name + " out." + format);
      EXPECT_EQ(run.status, 1) << name;
      EXPECT_NE(run.err.find(reason), std::string::npos) << name << ": " << run.err;
      EXPECT_FALSE(fs::exists(Path("out." + format))) << name;
    }
    EXPECT_EQ(ReadFile(Path(name)), before) << name;
  }
  const programrun::Result batch = Quillon("--output-dir=dir damaged.pdf scan.pdf");
  EXPECT_EQ(batch.status, 1);
  EXPECT_TRUE(fs::exists(Path("dir/scan.txt")));
  EXPECT_FALSE(fs::exists(Path("dir/damaged.txt")));
}

}  // namespace
