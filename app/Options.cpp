#include "app/Options.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "app/CommandLine.h"
#include "app/PageSelection.h"
#include "recognition/Languages.h"

namespace {

// Whole numbers as written, digits with an optional minus: no blanks, no plus sign.
bool ParseWhole(const std::string& text, double low, double high, double* value) {
  int64_t v = 0;
  const char* last = text.data() + text.size();
  const auto [end, status] = std::from_chars(text.data(), last, v);
  if (text.empty() || status != std::errc() || end != last || v < low || v > high) return false;
  *value = double(v);
  return true;
}

// A point, whatever the locale: the same command line works for every user.
bool ParseReal(const std::string& text, double low, double high, double* value) {
  double v = 0;
  const char* last = text.data() + text.size();
  const auto [end, status] = std::from_chars(text.data(), last, v);
  if (text.empty() || status != std::errc() || end != last || !std::isfinite(v) || v < low ||
      v > high)
    return false;
  *value = v;
  return true;
}

Settings& S(CommandLine& c) {
  return c.settings;
}

const std::vector<OptionSpec> kOptions = {
    {"--separation",
     OptionKind::Whole,
     "N",
     1,
     99,
     {},
     "50",
     "black/white separation value, 1...99 %",
     "Black/white separation value:",
     [](CommandLine& c, const OptionValue& v) { S(c).SchwellEd = int32_t(v.number); }},
    {"--min-object-size",
     OptionKind::Whole,
     "N",
     1,
     10,
     {},
     "3",
     "minimal object size in pixels, 1...10",
     "Minimal object size in pixels:",
     [](CommandLine& c, const OptionValue& v) { S(c).MinObjSizeED = int32_t(v.number); }},
    {"--exclude-pictures",
     OptionKind::OnOff,
     "",
     0,
     0,
     {},
     "on",
     "leave out lines that belong to pictures",
     "Exclude pictures",
     [](CommandLine& c, const OptionValue& v) { S(c).BildFilterCheck = v.on; }},
    {"--picture-filter",
     OptionKind::Whole,
     "N",
     0,
     10,
     {},
     "5",
     "0 (more text) ... 10 (less pictures)",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { S(c).TrackBar1 = int32_t(v.number); }},
    {"--column-width",
     OptionKind::Real,
     "X",
     0.1,
     100,
     {},
     "5.0",
     "column width factor of the text layout, 0.1...100",
     "Column width:",
     [](CommandLine& c, const OptionValue& v) { S(c).KoorFakEd = v.number; }},
    {"--recogniser",
     OptionKind::Choice,
     "",
     0,
     0,
     {"classic", "extended"},
     "classic",
     "classic: the template recogniser; extended: every character, any typeface and size",
     "Recogniser:",
     [](CommandLine& c, const OptionValue& v) {
       S(c).recogniser = v.choice == 1 ? RecogniserKind::Extended : RecogniserKind::Classic;
     }},
    {"--reading-order",
     OptionKind::Choice,
     "",
     0,
     0,
     {"page", "columns"},
     "page with classic, columns with extended",
     "page: lines as on the page; columns: block after block",
     "Reading order:",
     [](CommandLine& c, const OptionValue& v) {
       S(c).readingOrder = v.choice == 1 ? ReadingOrder::Columns : ReadingOrder::Page;
     }},
    {"--dictionary",
     OptionKind::OnOff,
     "",
     0,
     0,
     {},
     "off with classic, on with extended",
     "settle doubtful characters with the word list",
     "Settle doubtful characters with the word list",
     [](CommandLine& c, const OptionValue& v) {
       S(c).dictionary = v.on ? Switch::On : Switch::Off;
     }},
    {"--language",
     OptionKind::Languages,
     "LIST",
     0,
     0,
     {},
     "deu",
     "the page's languages, e.g. deu+eng: their words settle doubtful readings of the "
     "extended recogniser (no effect on the classic one)",
     "Languages:",
     [](CommandLine& c, const OptionValue& v) { S(c).languages = v.text; }},
    {"--format",
     OptionKind::Choice,
     "",
     0,
     0,
     {"text", "hocr", "alto", "tsv", "pdf"},
     "text",
     "the output's format: text, hOCR, ALTO XML, TSV or a searchable PDF",
     nullptr,
     // The choices stand in the order of OutputFormat.
     [](CommandLine& c, const OptionValue& v) { c.format = OutputFormat(v.choice); }},
    {"--max-megapixels",
     OptionKind::Whole,
     "N",
     1,
     268,
     {},
     "100",
     "refuse pictures of more than N million pixels (a run needs about 8 bytes a pixel)",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { S(c).maxMegapixels = int32_t(v.number); }},
    {"--pages",
     OptionKind::Pages,
     "LIST",
     0,
     0,
     {},
     "all",
     "read only these pages of each picture or PDF, e.g. 1-3,7",
     nullptr,
     [](CommandLine& c, const OptionValue& v) {
       std::string unused;
       ParsePageSelection(v.text, &c.pages, &unused);
     }},
    {"--redo-text",
     OptionKind::Flag,
     "",
     0,
     0,
     {},
     "",
     "a PDF's pages whose text is all invisible (an earlier OCR's) are read again and that "
     "text replaced",
     nullptr,
     [](CommandLine& c, const OptionValue&) { c.redoText = true; }},
    {"--force-ocr",
     OptionKind::Flag,
     "",
     0,
     0,
     {},
     "",
     "read every page of a PDF as a picture, also those that carry text",
     nullptr,
     [](CommandLine& c, const OptionValue&) { c.forceOcr = true; }},
    {"--sidecar",
     OptionKind::Text,
     "FILE",
     0,
     0,
     {},
     "",
     "also write the plain text to FILE (beside a PDF or another format)",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { c.sidecar = v.text; }},
    {"--output-dir",
     OptionKind::Text,
     "DIR",
     0,
     0,
     {},
     "",
     "a batch: each picture's output goes to DIR/NAME.EXT",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { c.outputDir = v.text; }},
    {"--list",
     OptionKind::Text,
     "FILE",
     0,
     0,
     {},
     "",
     "a batch: read the picture names from FILE, one a line (\"-\": standard input)",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { c.listFile = v.text; }},
    {"--jobs",
     OptionKind::Whole,
     "N",
     1,
     1024,
     {},
     "the number of cores",
     "read N pictures at once",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { c.jobs = int32_t(v.number); }},
    {"--skip-existing",
     OptionKind::Flag,
     "",
     0,
     0,
     {},
     "",
     "leave out pictures whose output exists (an interrupted batch resumes)",
     nullptr,
     [](CommandLine& c, const OptionValue&) { c.skipExisting = true; }},
    {"--page-timeout",
     OptionKind::Whole,
     "S",
     1,
     86400,
     {},
     "60",
     "give up on a page that takes longer than S seconds",
     nullptr,
     [](CommandLine& c, const OptionValue& v) { c.pageTimeout = int32_t(v.number); }},
    {"--log",
     OptionKind::Flag,
     "",
     0,
     0,
     {},
     "",
     "write the log lines to standard error",
     nullptr,
     [](CommandLine& c, const OptionValue&) { c.log = true; }},
    {"--help",
     OptionKind::Flag,
     "",
     0,
     0,
     {},
     "",
     "show this text (also -h)",
     nullptr,
     [](CommandLine& c, const OptionValue&) { c.help = true; }},
    {"--version",
     OptionKind::Flag,
     "",
     0,
     0,
     {},
     "",
     "show the version",
     nullptr,
     [](CommandLine& c, const OptionValue&) { c.version = true; }},
};

}  // namespace

const std::vector<OptionSpec>& OptionTable() {
  return kOptions;
}

const OptionSpec* FindOption(const std::string& name) {
  for (const OptionSpec& spec : kOptions)
    if (name == spec.name) return &spec;
  return nullptr;
}

bool ParseOptionValue(const OptionSpec& spec, const std::string& text, OptionValue* value,
                      std::string* problem) {
  switch (spec.kind) {
    case OptionKind::Flag:
      return true;
    case OptionKind::Whole:
      return ParseWhole(text, spec.low, spec.high, &value->number);
    case OptionKind::Real:
      return ParseReal(text, spec.low, spec.high, &value->number);
    case OptionKind::OnOff:
      value->on = text == "on";
      return text == "on" || text == "off";
    case OptionKind::Choice:
      for (size_t i = 0; i < spec.choices.size(); ++i)
        if (text == spec.choices[i]) {
          value->choice = i;
          return true;
        }
      return false;
    case OptionKind::Text:
      value->text = text;
      return !text.empty();
    case OptionKind::Pages: {
      PageSelection selection;
      std::string why;
      value->text = text;
      if (ParsePageSelection(text, &selection, &why)) return true;
      if (problem) *problem = why;
      return false;
    }
    case OptionKind::Languages: {
      std::vector<Language> languages;
      std::string why;
      value->text = text;
      if (ParseLanguages(text, &languages, &why)) return true;
      if (problem) *problem = why;
      return false;
    }
  }
  return false;
}

std::string OptionsHelp() {
  std::string help;
  for (const OptionSpec& spec : kOptions) {
    std::string left = std::string("  ") + spec.name;
    if (spec.kind == OptionKind::OnOff) left += "=on|off";
    if (spec.kind == OptionKind::Choice) {
      left += "=";
      for (size_t i = 0; i < spec.choices.size(); ++i)
        left += (i ? "|" : "") + std::string(spec.choices[i]);
    }
    if (*spec.valueName) left += std::string("=") + spec.valueName;
    // Help in one column: a long option name puts its help on the next line.
    constexpr size_t kHelpColumn = 27;
    std::string line = left.size() < kHelpColumn - 1
                           ? left + std::string(kHelpColumn - left.size(), ' ')
                           : left + "\n" + std::string(kHelpColumn, ' ');
    line += spec.help;
    if (*spec.defaultText) line += std::string(" (") + spec.defaultText + ")";
    help += line + "\n";
  }
  return help;
}
