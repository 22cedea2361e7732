// The pages of a multi-page picture in the form: the page shown, going back and forth, a
// page that cannot be opened, and pictures that have one page only.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/PageReadAhead.h"
#include "tests/PlainTiff.h"
#include "tests/TempDir.h"

namespace {

namespace fs = std::filesystem;

class PicturePagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = FreshTestDir("quillon_form_pages");
    form.FormCreate();
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Tiff(const std::string& name, const std::vector<int32_t>& widths, int32_t huge = -1) {
    const std::vector<uint8_t> bytes = multipage::PlainTiff(widths, 60, huge);
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }

  fs::path dir;
  HeadlessWindow window;
  TMainForm form{window, "quillon", {}};
};

TEST_F(PicturePagesTest, OpeningShowsTheFirstPageAndCountsThemAll) {
  ASSERT_TRUE(form.OpenPic(Tiff("three.tif", {100, 200, 300})));
  EXPECT_EQ(form.pageCount, 3);
  EXPECT_EQ(form.pageIndex, 0);
  EXPECT_EQ(DIBWidth(form.picture), 100);
  EXPECT_EQ(form.PageCaption(), "Page 1 of 3");
  form.PrevPageBtnClick();  // nothing before the first page
  EXPECT_EQ(form.pageIndex, 0);
  form.NextPageBtnClick();
  form.NextPageBtnClick();
  EXPECT_EQ(form.PageCaption(), "Page 3 of 3");
  EXPECT_EQ(DIBWidth(form.picture), 300);
  EXPECT_EQ(form.searchArea.right, 299);  // the new page is the one installed
  form.NextPageBtnClick();                // nothing after the last
  EXPECT_EQ(form.pageIndex, 2);
  form.PrevPageBtnClick();
  EXPECT_EQ(DIBWidth(form.picture), 200);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(PicturePagesTest, APageThatCannotBeOpenedLeavesThePageShown) {
  ASSERT_TRUE(form.OpenPic(Tiff("broken.tif", {100, 200, 300}, 1)));
  form.NextPageBtnClick();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_NE(window.messages[0].text.find("too large"), std::string::npos);
  EXPECT_EQ(form.pageIndex, 0);
  EXPECT_EQ(DIBWidth(form.picture), 100);
  EXPECT_EQ(form.PageCaption(), "Page 1 of 3");
  // The page after it can still be reached.
  ASSERT_TRUE(form.OpenPicPage(form.pictureName, 2));
  EXPECT_EQ(form.PageCaption(), "Page 3 of 3");
}

TEST_F(PicturePagesTest, SinglePagesAndTurnedPagesHaveNoPageRow) {
  ASSERT_TRUE(form.OpenPic(Tiff("three.tif", {100, 200, 300})));
  form.NextPageBtnClick();
  form.DIBRotLeft();  // a turned page is a picture of its own
  EXPECT_EQ(form.pageCount, 1);
  EXPECT_EQ(form.PageCaption(), "");
  EXPECT_EQ(DIBHeight(form.picture), 200);
  ASSERT_TRUE(form.OpenPic(Tiff("three.tif", {100, 200, 300})));
  ASSERT_TRUE(form.OpenPic(Tiff("one.tif", {150})));
  EXPECT_EQ(form.pageCount, 1);
  EXPECT_EQ(form.PageCaption(), "");
  // A picture that cannot be opened changes nothing.
  EXPECT_FALSE(form.OpenPic((dir / "missing.tif").string()));
  EXPECT_EQ(DIBWidth(form.picture), 150);
  EXPECT_EQ(form.pictureName, (dir / "one.tif").string());
}

}  // namespace

// The command line reads the first page on another thread while the form prepares itself.
TEST_F(PicturePagesTest, APageReadAheadIsTheOneOpenedAndOnlyThatOne) {
  const std::string three = Tiff("three.tif", {100, 200, 300});
  const int64_t limit = int64_t(form.settings.maxMegapixels) * 1000000;
  {
    PageReadAhead ahead;
    ahead.Start(three, 1, limit);
    form.pageReadAhead = &ahead;
    ASSERT_TRUE(form.OpenPicPage(three, 1));  // taken: the same page
    EXPECT_EQ(DIBWidth(form.picture), 200);
    ASSERT_TRUE(form.OpenPicPage(three, 2));  // read as before
    EXPECT_EQ(DIBWidth(form.picture), 300);
  }
  {
    PageReadAhead ahead;
    ahead.Start(three, 0, limit);
    form.pageReadAhead = &ahead;
    ASSERT_TRUE(form.OpenPicPage(three, 2));  // another page: the one read ahead is dropped
    EXPECT_EQ(DIBWidth(form.picture), 300);
  }
  {
    PageReadAhead ahead;  // a reading nobody takes is freed (the leak checker would say)
    ahead.Start(three, 0, limit);
  }
  PageReadAhead failing;
  failing.Start((dir / "missing.png").string(), 0, limit);
  form.pageReadAhead = &failing;
  EXPECT_FALSE(form.OpenPicPage((dir / "missing.png").string(), 0));
  ASSERT_FALSE(window.messages.empty());  // the reading's own error is told
  EXPECT_EQ(DIBWidth(form.picture), 300);
  form.pageReadAhead = nullptr;
}
