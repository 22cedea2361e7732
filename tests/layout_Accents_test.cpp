// Dots above and points beside a character, on the dot list of the main window.
#include <gtest/gtest.h>

#include "app/HeadlessWindow.h"
#include "app/MainUnit.h"
#include "layout/DotTests.h"

namespace {

struct AccentsFixture : ::testing::Test {
  HeadlessWindow window;
  TMainForm form{window, "/tmp/quillon", {}};
  void AddDot(const Box& box) { form.dots.Add()->box = box; }
};

TEST_F(AccentsFixture, EmptyDotListAnswersZero) {
  EXPECT_EQ(form.findaccentabove({10, 20, 12, 40}), 0);
  EXPECT_EQ(form.findaccentpoint({10, 20, 12, 40}), 0);
}

TEST_F(AccentsFixture, DotOfAnI) {
  const Box stem{10, 20, 12, 40};
  AddDot({10, 12, 12, 14});
  EXPECT_EQ(form.findaccentabove(stem), 1);
  form.dots.Clear();
  AddDot({10, 11, 12, 13});  // one pixel higher: 20 > 13 + 6
  EXPECT_EQ(form.findaccentabove(stem), 0);
}

TEST_F(AccentsFixture, UmlautCountsTwoAndDotsAreNotUsedUp) {
  const Box a{100, 50, 115, 65};
  AddDot({102, 44, 104, 46});
  AddDot({110, 44, 112, 46});
  EXPECT_EQ(form.findaccentabove(a), 2);
  EXPECT_EQ(form.findaccentabove(a), 2);
  EXPECT_EQ(form.findaccentabove({100, 50, 111, 65}), 2);
  EXPECT_EQ(form.findaccentabove({100, 50, 110, 65}), 1) << "the second dot starts at Right";
}

TEST(DotTests, EdgesOfTheDotAboveTest) {
  const Box character{10, 20, 20, 40};
  EXPECT_FALSE(IsDotAbove({12, 20, 14, 22}, character)) << "begins at the top";
  EXPECT_TRUE(IsDotAbove({12, 19, 14, 21}, character)) << "reaches into the character";
  EXPECT_FALSE(IsDotAbove({7, 12, 10, 14}, character)) << "right edge exactly at Left";
  EXPECT_TRUE(IsDotAbove({7, 12, 11, 14}, character));
  EXPECT_FALSE(IsDotAbove({20, 12, 22, 14}, character)) << "left edge exactly at Right";
}

TEST_F(AccentsFixture, FullStopBesideAnA) {
  const Box a{100, 50, 115, 65};
  AddDot({117, 62, 119, 65});
  EXPECT_EQ(form.findaccentpoint(a), 1);
  EXPECT_EQ(form.findaccentabove(a), 0);
}

TEST(DotTests, EdgesOfThePointBesideTest) {
  const Box a{100, 50, 115, 65};  // cw = ch = 15: middle column 107, middle row 57
  EXPECT_TRUE(IsPointBeside({107, 60, 109, 63}, a));
  EXPECT_FALSE(IsPointBeside({106, 60, 108, 63}, a)) << "left of the middle";
  EXPECT_TRUE(IsPointBeside({126, 60, 130, 63}, a)) << "ends exactly at Right + cw";
  EXPECT_FALSE(IsPointBeside({126, 60, 131, 63}, a));
  EXPECT_FALSE(IsPointBeside({117, 65, 119, 67}, a)) << "begins at the bottom";
  EXPECT_FALSE(IsPointBeside({117, 40, 119, 57}, a)) << "does not reach below the middle";
  EXPECT_TRUE(IsPointBeside({117, 40, 119, 58}, a));
}

}  // namespace
