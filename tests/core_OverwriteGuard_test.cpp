// The overwrite guard: no file the program writes replaces a picture or document it reads,
// told by its content whatever its name, nor a file the run reads, nor either behind a link.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "core/AtomicFile.h"
#include "core/OverwriteGuard.h"
#include "core_PictureTestUtil.h"

namespace {

namespace fs = std::filesystem;
using testpic::ReadBytes;
using testpic::WriteBytes;

class OverwriteGuard : public ::testing::Test {
 protected:
  std::string dir = testpic::TempDir();
  void TearDown() override { fs::remove_all(dir); }

  // The picture saved in the save list's format `code`, under a name that hides its kind.
  std::string Saved(int32_t code, const RasterImage& image) {
    const std::string name = dir + "/saved-" + std::to_string(code) + ".txt";
    std::string error;
    EXPECT_TRUE(SaveDib(image, name.c_str(), code, nullptr, &error)) << error;
    return name;
  }
  // True when writing text to `name` is refused and leaves the file as it was.
  bool Refused(const std::string& name) {
    const std::vector<uint8_t> before = ReadBytes(name);
    std::string error;
    const bool written = WriteFileAtomically(name, "recognised text\n", &error);
    EXPECT_EQ(ReadBytes(name), before) << name;
    return !written && error.find("not replaced") != std::string::npos;
  }
};

TEST_F(OverwriteGuard, EveryPictureFormatIsToldByItsContentAndNeverReplaced) {
  RasterImage grey = testpic::Make(8, 40, 30, 3, true), colour = testpic::Make(24, 40, 30, 4);
  std::vector<std::string> pictures;
  for (int32_t code = 3; code <= 13;
       ++code)  // BMP, DIB, GIF, IFF, JIF, JPG, LBM, PCX, RLE, TGA, TIF
    pictures.push_back(Saved(code, code % 2 ? grey : colour));
  // A TGA without its optional footer, as many writers leave it.
  std::vector<uint8_t> tga = ReadBytes(Saved(12, colour));
  tga.resize(tga.size() - 26);
  WriteBytes(dir + "/bare-tga.txt", tga);
  pictures.push_back(dir + "/bare-tga.txt");
  WriteBytes(dir + "/grey.pnm", {'P', '5', '\n', '#', ' ', 'x', '\n', '2', ' ', '1', '\n', '2', '5',
                                 '5', '\n', 0, 255});
  pictures.push_back(dir + "/grey.pnm");
  const std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<<>>\nendobj\n";
  WriteBytes(dir + "/scan.pdf", std::vector<uint8_t>(pdf.begin(), pdf.end()));
  pictures.push_back(dir + "/scan.pdf");
  for (const std::string& picture : pictures) {
    EXPECT_NE(ReadableFormatOfFile(picture), nullptr) << picture;
    EXPECT_TRUE(Refused(picture)) << picture;
  }
  deldib(&grey);
  deldib(&colour);
}

TEST_F(OverwriteGuard, TextsThatBeginLikeAPictureAreStillReplaced) {
  // A PCX begins with a line feed, PNM with "P1", BMP with "BM": texts may too.
  const std::vector<std::string> texts = {std::string("\n\x01\x01") + std::string(200, 'x'),
                                          "P1 ist die erste Zeile\n", "BMW faehrt gut.\n",
                                          "P2 3 4 Seiten\n", ""};
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::string name = dir + "/text" + std::to_string(i) + ".txt";
    WriteBytes(name, std::vector<uint8_t>(texts[i].begin(), texts[i].end()));
    EXPECT_EQ(ReadableFormatOfFile(name), nullptr) << texts[i];
    std::string error;
    EXPECT_TRUE(WriteFileAtomically(name, "new text\n", &error)) << error;
  }
}

TEST_F(OverwriteGuard, TheProgramsOwnPdfIsReplacedWhereverItNamesItsCreator) {
  // Written page by page, the Info with the creator comes after the pages' pictures.
  const std::string pictures(100000, 'x');
  const std::string own = "%PDF-1.4\n1 0 obj<</Length 100000>>stream\n" + pictures +
                          "\nendstream endobj\n2 0 obj<</Creator(Quillon)>>endobj\n%%EOF\n";
  const std::string user = "%PDF-1.4\n1 0 obj<</Length 100000>>stream\n" + pictures +
                           "\nendstream endobj\n2 0 obj<</Creator(Scanner)>>endobj\n%%EOF\n";
  WriteBytes(dir + "/own.pdf", std::vector<uint8_t>(own.begin(), own.end()));
  WriteBytes(dir + "/user.pdf", std::vector<uint8_t>(user.begin(), user.end()));
  EXPECT_EQ(ReadableFormatOfFile(dir + "/own.pdf"), nullptr);
  std::string error;
  EXPECT_TRUE(WriteFileAtomically(dir + "/own.pdf", "recognised text\n", &error)) << error;
  EXPECT_TRUE(Refused(dir + "/user.pdf"));
}

TEST_F(OverwriteGuard, ALinkIsJudgedByTheFileItLeadsTo) {
  RasterImage image = testpic::Make(1, 64, 20, 5);
  const std::string pcx = Saved(10, image);
  fs::create_symlink(pcx, dir + "/out.txt");
  EXPECT_TRUE(Refused(dir + "/out.txt"));
  EXPECT_TRUE(fs::is_symlink(dir + "/out.txt"));
  deldib(&image);
}

TEST_F(OverwriteGuard, AFileTheRunReadsIsNotReplacedWhateverItHolds) {
  const std::string notes = dir + "/notes.txt";
  WriteBytes(notes, {'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', '\n'});
  fs::create_hard_link(notes, dir + "/alias.txt");
  ProtectFromOverwrite(notes);
  EXPECT_TRUE(Refused(notes));
  EXPECT_TRUE(Refused(dir + "/alias.txt"));
  EXPECT_NE(OverwriteRefusal(dir + "/alias.txt").find("picture itself"), std::string::npos);
}

TEST_F(OverwriteGuard, APictureTheUserSavesMayReplaceAPicture) {
  RasterImage image = testpic::Make(8, 30, 20, 6, true);
  const std::string bmp = Saved(3, image);
  std::string error;
  EXPECT_TRUE(SaveDib(image, bmp.c_str(), 13, nullptr, &error)) << error;  // as TIFF now
  EXPECT_STREQ(ReadableFormatOfFile(bmp), "a TIFF picture");
  deldib(&image);
}

}  // namespace
