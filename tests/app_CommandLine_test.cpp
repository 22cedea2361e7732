#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

bool Parse(std::vector<const char*> argv, CommandLine* cl, std::string* error) {
  argv.insert(argv.begin(), "/opt/q/quillon");
  return ParseCommandLine(int(argv.size()), argv.data(), cl, error);
}

TEST(CommandLine, OptionsDoNotCountAsArguments) {
  CommandLine cl;
  std::string error;
  ASSERT_TRUE(
      Parse({"--log", "page.png", "--separation=60", "out.txt", "-exit", "--column-width=2.5",
             "--exclude-pictures=off", "--picture-filter=0", "--min-object-size=10"},
            &cl, &error))
      << error;
  EXPECT_EQ(cl.args, (std::vector<std::string>{"page.png", "out.txt", "-exit"}));
  EXPECT_TRUE(cl.log);
  EXPECT_EQ(cl.settings.SchwellEd, 60);
  EXPECT_DOUBLE_EQ(cl.settings.KoorFakEd, 2.5);
  EXPECT_FALSE(cl.settings.BildFilterCheck);
  EXPECT_EQ(cl.settings.TrackBar1, 0);
  EXPECT_EQ(cl.settings.MinObjSizeED, 10);
}

TEST(CommandLine, RefusesValuesOutOfRangeOrNotNumbers) {
  for (const char* bad :
       {"--separation=0", "--separation=100", "--separation=5x", "--min-object-size=11",
        "--picture-filter=-1", "--column-width=0.05", "--column-width=abc",
        "--exclude-pictures=yes", "--frobnicate", "--separation="}) {
    CommandLine cl;
    std::string error;
    EXPECT_FALSE(Parse({bad}, &cl, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(CommandLine, DefaultsMatchTheWindow) {
  CommandLine cl;
  std::string error;
  ASSERT_TRUE(Parse({}, &cl, &error));
  EXPECT_EQ(cl.settings.SchwellEd, 50);
  EXPECT_EQ(cl.settings.ZoomEd, 30);
  EXPECT_EQ(cl.settings.MinObjSizeED, 3);
  EXPECT_TRUE(cl.settings.BildFilterCheck);
  EXPECT_EQ(cl.settings.TrackBar1, 5);
  EXPECT_DOUBLE_EQ(cl.settings.KoorFakEd, 5.0);
}

}  // namespace
