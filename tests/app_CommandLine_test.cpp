#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "app/CommandLine.h"
#include "app/Options.h"
#include "recognition/Languages.h"

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
  const Settings& s = cl.settings;
  EXPECT_EQ(std::tuple(s.SchwellEd, s.ZoomEd, s.MinObjSizeED, s.BildFilterCheck, s.TrackBar1,
                       s.KoorFakEd),
            std::tuple(50, 30, 3, true, 5, 5.0));
}

// The settings' values once `value` is stored. Giving --language marks the languages named,
// whichever they are (the page's own is then not guessed): that mark is no value.
Settings StoredSettings(const OptionSpec& spec, const OptionValue& value) {
  CommandLine cl;
  spec.store(cl, value);
  cl.settings.languagesNamed = false;
  return cl.settings;
}

// Every row's stated default is what Settings starts with: storing it changes nothing. A
// default that names no single value ("off with classic, on with extended") belongs to a
// setting that starts on Auto, so that every value it can be given changes the settings.
TEST(OptionTable, EveryDefaultIsTheSettingsDefault) {
  for (const OptionSpec& spec : OptionTable()) {
    if (spec.kind == OptionKind::Flag || spec.kind == OptionKind::Text ||
        spec.kind == OptionKind::Pages)
      continue;
    OptionValue value;
    // Batch rows (--jobs, --page-timeout) set the command line, not the window's settings.
    value.number = spec.low;
    if (StoredSettings(spec, value) == Settings{} && spec.kind == OptionKind::Whole &&
        !ParseOptionValue(spec, spec.defaultText, &value))
      continue;
    if (ParseOptionValue(spec, spec.defaultText, &value)) {
      EXPECT_TRUE(StoredSettings(spec, value) == Settings{})
          << spec.name << " default " << spec.defaultText;
      continue;
    }
    std::vector<std::string> values = {"on", "off"};
    if (spec.kind == OptionKind::Choice) values.assign(spec.choices.begin(), spec.choices.end());
    ASSERT_TRUE(spec.kind == OptionKind::OnOff || spec.kind == OptionKind::Choice)
        << spec.name << ": the default " << spec.defaultText << " is no value of the row";
    for (const std::string& text : values) {
      ASSERT_TRUE(ParseOptionValue(spec, text, &value)) << spec.name;
      EXPECT_FALSE(StoredSettings(spec, value) == Settings{}) << spec.name << "=" << text;
    }
  }
}

TEST(CommandLine, LanguageTakesListsOfKnownCodesOnly) {
  std::string error;
  CommandLine defaults, one, two;
  ASSERT_TRUE(Parse({}, &defaults, &error));
  EXPECT_EQ(defaults.settings.languages, "deu");
  EXPECT_FALSE(defaults.settings.languagesNamed);  // the page's own may be guessed
  ASSERT_TRUE(Parse({"--language=fra"}, &one, &error)) << error;
  EXPECT_EQ(one.settings.languages, "fra");
  EXPECT_TRUE(one.settings.languagesNamed);
  ASSERT_TRUE(Parse({"--language=deu+eng", "--recogniser=classic"}, &two, &error)) << error;
  EXPECT_EQ(two.settings.languages, "deu+eng");  // accepted with the classic recogniser too
  for (const char* bad : {"--language=", "--language=xyz", "--language=deu+", "--language"}) {
    CommandLine cl;
    EXPECT_FALSE(Parse({bad}, &cl, &error)) << bad;
    EXPECT_NE(error.find("--language"), std::string::npos) << error;
  }
  CommandLine unknown;
  EXPECT_FALSE(Parse({"--language=deu+klingon"}, &unknown, &error));
  EXPECT_EQ(error,
            "invalid value for --language: \"deu+klingon\" (unknown language \"klingon\"; "
            "known: " +
                LanguageCodes() + ")");
}

TEST(CommandLine, FormatChoosesTheOutputsFormat) {
  CommandLine cl;
  std::string error;
  for (const OutputFormat format : {OutputFormat::Text, OutputFormat::Hocr, OutputFormat::Alto,
                                    OutputFormat::Tsv, OutputFormat::Pdf}) {
    const std::string option = std::string("--format=") + FormatName(format);
    ASSERT_TRUE(Parse({option.c_str()}, &cl, &error)) << error;
    EXPECT_EQ(cl.format, format) << option;
  }
  CommandLine defaults;
  ASSERT_TRUE(Parse({}, &defaults, &error));
  EXPECT_EQ(defaults.format, OutputFormat::Text);
  CommandLine bad;
  EXPECT_FALSE(Parse({"--format=docx"}, &bad, &error));
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The automatic run writes the format asked for; text stays the output field's text.
TEST(CommandLine, AutomaticRunWritesTheChosenFormat) {
  namespace fs = std::filesystem;
  const fs::path dir =
      fs::temp_directory_path() / ("quillon_cl_format_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string picture = std::string(QUILLON_SAMPLES) + "/sample.png";
  for (const char* format : {"text", "tsv", "alto", "pdf"}) {
    const std::string output = (dir / format).string();
    const std::string option = std::string("--format=") + format;
    CommandLine cl;
    std::string error;
    ASSERT_TRUE(Parse({picture.c_str(), output.c_str(), option.c_str()}, &cl, &error));
    std::ostringstream err;
    EXPECT_EQ(RunAutomatic(cl, err), 0) << format << ": " << err.str();
  }
  EXPECT_EQ(ReadFile(dir / "text"), ReadFile(std::string(QUILLON_SAMPLES) + "/sample.txt"));
  const std::string tsv = ReadFile(dir / "tsv");
  EXPECT_EQ(tsv.rfind("level\tpage_num\t", 0), 0u);
  EXPECT_NE(tsv.find("\n1\t1\t0\t0\t0\t0\t0\t0\t1200\t400\t-1\t\n"), std::string::npos);
  EXPECT_NE(ReadFile(dir / "alto").find("<fileName>" + picture + "</fileName>"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "pdf").rfind("%PDF-", 0), 0u);
  fs::remove_all(dir);
}

}  // namespace
