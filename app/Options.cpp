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
    {.name = "--separation",
     .kind = OptionKind::Whole,
     .valueName = "N",
     .low = 1,
     .high = 99,
     .defaultText = "50",
     .help = "black/white separation value, 1...99 %",
     .caption = "Black/white separation value:",
     .store = [](CommandLine& c, const OptionValue& v) { S(c).SchwellEd = int32_t(v.number); }},
    {.name = "--min-object-size",
     .kind = OptionKind::Whole,
     .valueName = "N",
     .low = 1,
     .high = 10,
     .defaultText = "3",
     .help = "minimal object size in pixels, 1...10",
     .caption = "Minimal object size in pixels:",
     .store = [](CommandLine& c, const OptionValue& v) { S(c).MinObjSizeED = int32_t(v.number); }},
    {.name = "--exclude-pictures",
     .kind = OptionKind::OnOff,
     .defaultText = "on",
     .help = "leave out lines that belong to pictures",
     .caption = "Exclude pictures",
     .store = [](CommandLine& c, const OptionValue& v) { S(c).BildFilterCheck = v.on; }},
    {.name = "--picture-filter",
     .kind = OptionKind::Whole,
     .valueName = "N",
     .low = 0,
     .high = 10,
     .defaultText = "5",
     .help = "0 (more text) ... 10 (less pictures)",
     .store = [](CommandLine& c, const OptionValue& v) { S(c).TrackBar1 = int32_t(v.number); }},
    {.name = "--column-width",
     .kind = OptionKind::Real,
     .valueName = "X",
     .low = 0.1,
     .high = 100,
     .defaultText = "5.0",
     .help = "column width factor of the text layout, 0.1...100",
     .caption = "Column width:",
     .store = [](CommandLine& c, const OptionValue& v) { S(c).KoorFakEd = v.number; }},
    {.name = "--recogniser",
     .kind = OptionKind::Choice,
     .choices = {"classic", "extended"},
     .defaultText = "classic",
     .help = "classic: the template recogniser; extended: every character, any typeface and size",
     .caption = "Recogniser:",
     .store =
         [](CommandLine& c, const OptionValue& v) {
           S(c).recogniser = v.choice == 1 ? RecogniserKind::Extended : RecogniserKind::Classic;
         }},
    {.name = "--reading-order",
     .kind = OptionKind::Choice,
     .choices = {"page", "columns"},
     .defaultText = "page with classic, columns with extended",
     .help = "page: lines as on the page; columns: block after block",
     .caption = "Reading order:",
     .store =
         [](CommandLine& c, const OptionValue& v) {
           S(c).readingOrder = v.choice == 1 ? ReadingOrder::Columns : ReadingOrder::Page;
         }},
    {.name = "--dictionary",
     .kind = OptionKind::OnOff,
     .defaultText = "off with classic, on with extended",
     .help = "settle doubtful characters with the word list",
     .caption = "Settle doubtful characters with the word list",
     .store = [](CommandLine& c,
                 const OptionValue& v) { S(c).dictionary = v.on ? Switch::On : Switch::Off; }},
    {.name = "--language",
     .kind = OptionKind::Languages,
     .valueName = "LIST",
     .defaultText = "deu",
     .help = "the page's languages, e.g. deu+eng: their words settle doubtful readings of the "
             "extended recogniser (no effect on the classic one); without it, German, or the "
             "languages the page's words plainly are in",
     .caption = "Languages:",
     .store =
         [](CommandLine& c, const OptionValue& v) {
           S(c).languages = v.text;
           S(c).languagesNamed = true;
         }},
    {.name = "--format",
     .kind = OptionKind::Choice,
     .choices = {"text", "hocr", "alto", "tsv", "pdf"},
     .defaultText = "text",
     .help = "the output's format: text, hOCR, ALTO XML, TSV or a searchable PDF",
     // The choices stand in the order of OutputFormat.
     .store = [](CommandLine& c, const OptionValue& v) { c.format = OutputFormat(v.choice); }},
    {.name = "--max-megapixels",
     .kind = OptionKind::Whole,
     .valueName = "N",
     .low = 1,
     .high = 268,
     .defaultText = "100",
     .help = "refuse pictures of more than N million pixels (a run needs about 8 bytes a pixel)",
     .store = [](CommandLine& c, const OptionValue& v) { S(c).maxMegapixels = int32_t(v.number); }},
    {.name = "--pages",
     .kind = OptionKind::Pages,
     .valueName = "LIST",
     .defaultText = "all",
     .help = "read only these pages of each picture or PDF, e.g. 1-3,7",
     .store =
         [](CommandLine& c, const OptionValue& v) {
           std::string unused;
           ParsePageSelection(v.text, &c.pages, &unused);
         }},
    {.name = "--redo-text",
     .kind = OptionKind::Flag,
     .help = "a PDF's pages whose text is all invisible (an earlier OCR's) are read again and that "
             "text replaced",
     .store = [](CommandLine& c, const OptionValue&) { c.redoText = true; }},
    {.name = "--force-ocr",
     .kind = OptionKind::Flag,
     .help = "read every page of a PDF as a picture, also those that carry text",
     .store = [](CommandLine& c, const OptionValue&) { c.forceOcr = true; }},
    {.name = "--sidecar",
     .kind = OptionKind::Text,
     .valueName = "FILE",
     .help = "also write the plain text to FILE (beside a PDF or another format)",
     .store = [](CommandLine& c, const OptionValue& v) { c.sidecar = v.text; }},
    {.name = "--output-dir",
     .kind = OptionKind::Text,
     .valueName = "DIR",
     .help = "a batch: each picture's output goes to DIR/NAME.EXT",
     .store = [](CommandLine& c, const OptionValue& v) { c.outputDir = v.text; }},
    {.name = "--list",
     .kind = OptionKind::Text,
     .valueName = "FILE",
     .help = "a batch: read the picture names from FILE, one a line (\"-\": standard input)",
     .store = [](CommandLine& c, const OptionValue& v) { c.listFile = v.text; }},
    {.name = "--jobs",
     .kind = OptionKind::Whole,
     .valueName = "N",
     .low = 1,
     .high = 1024,
     .defaultText = "the number of cores",
     .help = "read N pictures at once",
     .store = [](CommandLine& c, const OptionValue& v) { c.jobs = int32_t(v.number); }},
    {.name = "--skip-existing",
     .kind = OptionKind::Flag,
     .help = "leave out pictures whose output exists (an interrupted batch resumes)",
     .store = [](CommandLine& c, const OptionValue&) { c.skipExisting = true; }},
    {.name = "--page-timeout",
     .kind = OptionKind::Whole,
     .valueName = "S",
     .low = 1,
     .high = 86400,
     .defaultText = "60",
     .help = "give up on a page that takes longer than S seconds",
     .store = [](CommandLine& c, const OptionValue& v) { c.pageTimeout = int32_t(v.number); }},
    {.name = "--log",
     .kind = OptionKind::Flag,
     .help = "write the log lines to standard error",
     .store = [](CommandLine& c, const OptionValue&) { c.log = true; }},
    {.name = "--help",
     .kind = OptionKind::Flag,
     .help = "show this text (also -h)",
     .store = [](CommandLine& c, const OptionValue&) { c.help = true; }},
    {.name = "--version",
     .kind = OptionKind::Flag,
     .help = "show the version",
     .store = [](CommandLine& c, const OptionValue&) { c.version = true; }},

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
