// The classic templates kept between runs: what is read back is exactly what was rendered,
// and a file that is not for these fonts, or is damaged, is never used.
#include "recognition/TemplateCache.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "platform/SoftwareCanvas.h"
#include "recognition/Templates.h"
#include "tests/TempDir.h"

namespace {

namespace fs = std::filesystem;

class TemplateCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = FreshTestDir("quillon_template_cache");
    const char* old = std::getenv("XDG_CACHE_HOME");
    savedCacheHome = old ? old : "";
    hadCacheHome = old != nullptr;
    setenv("XDG_CACHE_HOME", dir.c_str(), 1);
    key = TemplateCacheKey(TemplateFontFiles());
    ASSERT_FALSE(key.empty()) << "the template fonts are not installed";
    rendered = std::make_unique<TemplateSet>();
    form.templateSet = rendered.get();
    SoftwareCanvas bitmap;
    form.BuildTemplateSet(bitmap);
    form.templateSet = nullptr;
  }
  void TearDown() override {
    if (hadCacheHome)
      setenv("XDG_CACHE_HOME", savedCacheHome.c_str(), 1);
    else
      unsetenv("XDG_CACHE_HOME");
    fs::remove_all(dir);
  }
  bool Same(const TemplateSet& a, const TemplateSet& b) {
    return std::memcmp(&a, &b, sizeof(TemplateSet)) == 0;
  }

  fs::path dir;
  std::string savedCacheHome;
  bool hadCacheHome = false;
  std::string key;
  std::unique_ptr<TemplateSet> rendered;
  HeadlessWindow window;
  TMainForm form{window, "/tmp/quillon", {}};
};

TEST_F(TemplateCacheTest, AKeptSetReadsBackAsRenderedAndTheFormUsesIt) {
  const std::string file = TemplateCacheFile();
  EXPECT_EQ(file, (dir / "quillon/classic-templates").string());
  form.KeepTemplateSet();  // renders and keeps the set
  ASSERT_TRUE(form.keptTemplates);
  EXPECT_TRUE(Same(*form.keptTemplates, *rendered));
  ASSERT_TRUE(fs::is_regular_file(file));

  auto read = std::make_unique<TemplateSet>();
  ASSERT_TRUE(ReadTemplateCache(file, key, read.get()));
  EXPECT_TRUE(Same(*read, *rendered));
  // A second form takes the kept file: the same set, and the matcher is told of it.
  HeadlessWindow otherWindow;
  TMainForm other{otherWindow, "/tmp/quillon", {}};
  const uint64_t before = other.templateGeneration;
  other.KeepTemplateSet();
  ASSERT_TRUE(other.keptTemplates);
  EXPECT_TRUE(Same(*other.keptTemplates, *rendered));
  EXPECT_NE(other.templateGeneration, before);
}

TEST_F(TemplateCacheTest, AFileForOtherFontsOrDamagedIsNotUsed) {
  const std::string file = TemplateCacheFile();
  WriteTemplateCache(file, key, *rendered);
  auto untouched = std::make_unique<TemplateSet>();
  std::memset(untouched.get(), 0x5A, sizeof(TemplateSet));
  const TemplateSet marker = *untouched;

  // Another key: a font file changed (its time), another engine, another font.
  std::string otherKey = key;
  otherKey[otherKey.size() - 2] ^= 1;
  EXPECT_FALSE(ReadTemplateCache(file, otherKey, untouched.get()));
  EXPECT_FALSE(ReadTemplateCache(file, "", untouched.get()));
  EXPECT_TRUE(TemplateCacheKey({"", "", "", ""}).empty());
  EXPECT_TRUE(TemplateCacheKey({(dir / "missing.ttf").string()}).empty());

  std::ifstream in(file, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto damaged = [&](const std::string& content) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
    return !ReadTemplateCache(file, key, untouched.get());
  };
  EXPECT_TRUE(damaged(whole.substr(0, whole.size() - 1)));  // cut short
  EXPECT_TRUE(damaged(whole + "x"));                        // something after it
  std::string badCell = whole;
  badCell[badCell.size() - 100] = 7;  // a cell neither ink nor paper
  EXPECT_TRUE(damaged(badCell));
  EXPECT_TRUE(damaged(""));
  EXPECT_EQ(std::memcmp(untouched.get(), &marker, sizeof(TemplateSet)), 0);

  // The form renders again instead, and replaces the damaged file.
  form.KeepTemplateSet();
  ASSERT_TRUE(form.keptTemplates);
  EXPECT_TRUE(Same(*form.keptTemplates, *rendered));
  EXPECT_TRUE(ReadTemplateCache(file, key, untouched.get()));
}

TEST_F(TemplateCacheTest, WithoutAUsableFolderTheSetIsStillRendered) {
  setenv("XDG_CACHE_HOME", "/proc/quillon-no-such-folder", 1);
  form.KeepTemplateSet();
  ASSERT_TRUE(form.keptTemplates);
  EXPECT_TRUE(Same(*form.keptTemplates, *rendered));
  setenv("XDG_CACHE_HOME", "relative/path", 1);  // ignored, as the XDG rules say
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') {
    EXPECT_EQ(TemplateCacheFile(), std::string(home) + "/.cache/quillon/classic-templates");
  }
}

}  // namespace
