#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "app/classic/ClassifyAll.h"

namespace {

// A form that has found the objects and lines of the sample page.
struct FoundPage {
  HeadlessWindow window;
  TMainForm form{window, "/nonexistent/quillon", {}};
  FoundPage() {
    form.FormCreate();
    EXPECT_TRUE(form.OpenPic(std::string(QUILLON_SAMPLES) + "/sample.png"));
    form.FindCharsBtnClick();
  }
};

int32_t PlainClassify(TMainForm& form, void*) {
  return form.ClassifyObject();
}

void ExpectSameResults(TMainForm& a, TMainForm& b) {
  ASSERT_EQ(a.lines.Count, b.lines.Count);
  for (int32_t i = 0; i < a.lines.Count; ++i) {
    const char* ta = a.lines.At(i)->text;
    const char* tb = b.lines.At(i)->text;
    EXPECT_STREQ(ta ? ta : "", tb ? tb : "") << "line " << i + 1;
  }
  ASSERT_EQ(a.objects.Count, b.objects.Count);
  for (int32_t i = 0; i < a.objects.Count; ++i) {
    const PageObject& oa = *a.objects.At(i);
    const PageObject& ob = *b.objects.At(i);
    EXPECT_EQ(oa.recognisedChar, ob.recognisedChar) << "object " << i;
    EXPECT_EQ(std::memcmp(oa.candidates, ob.candidates, sizeof(oa.candidates)), 0)
        << "object " << i;
  }
  EXPECT_EQ(std::memcmp(&a.objectGrid, &b.objectGrid, sizeof(GlyphGrid)), 0);
}

TEST(ClassifyAll, TheRunGivesEveryObjectWhatClassifyObjectGivesIt) {
  auto plain = std::make_unique<FoundPage>();
  auto parallel = std::make_unique<FoundPage>();
  ASSERT_GT(plain->form.objects.Count, 50);
  plain->form.RecognitionRun(PlainClassify, nullptr);
  parallel->form.RegBtnClick();
  ExpectSameResults(plain->form, parallel->form);
}

TEST(ClassifyAll, TheNumberOfThreadsChangesNothing) {
  auto one = std::make_unique<FoundPage>();
  auto three = std::make_unique<FoundPage>();
  ClassifiedPage onePage, threePage;
  onePage.threads = 1;
  threePage.threads = 3;
  one->form.RecognitionRun(TakeClassifiedObject, &onePage);
  three->form.RecognitionRun(TakeClassifiedObject, &threePage);
  EXPECT_EQ(onePage.next, onePage.objects.size());  // every result was used
  ExpectSameResults(one->form, three->form);
}

TEST(ClassifyAll, AnObjectOtherThanTheExpectedOneIsClassifiedAfresh) {
  FoundPage page;
  ClassifiedPage classified;
  classified.classified = true;  // an empty result list: nothing matches
  page.form.RecognitionRun(TakeClassifiedObject, &classified);
  FoundPage plain;
  plain.form.RecognitionRun(PlainClassify, nullptr);
  ExpectSameResults(plain.form, page.form);
}

}  // namespace
