// The options of the command line in one table: names, ranges, defaults, the window's
// captions and the lines of --help. The parser, --help and the window all read it.
#pragma once

#include <string>
#include <vector>

struct CommandLine;

enum class OptionKind {
  Flag,       // --log: no value
  Whole,      // a whole number in [low, high]
  Real,       // a number with a point in [low, high]
  OnOff,      // on|off
  Choice,     // one of `choices`
  Text,       // any non-empty text (a name, a folder)
  Languages,  // language codes joined by '+' (recognition/Languages.h)
  Pages,      // page numbers and ranges: 1-3,7 (app/PageSelection.h)
};

struct OptionValue {
  double number = 0;  // Whole, Real
  bool on = false;    // OnOff
  size_t choice = 0;  // Choice: index into choices
  std::string text;   // Text, Languages
};

struct OptionSpec {
  const char* name;  // "--separation"
  OptionKind kind;
  const char* valueName = "";  // shown in --help: "N", "X", "DIR"; empty for OnOff/Choice/Flag
  double low = 0, high = 0;    // Whole, Real
  std::vector<const char*> choices = {};  // Choice
  const char* defaultText = "";           // shown in --help, "" for none
  const char* help;                       // the line of --help
  const char* caption = nullptr;          // the window's caption, nullptr when it has none
  void (*store)(CommandLine& commandLine, const OptionValue& value);
};

const std::vector<OptionSpec>& OptionTable();
// The row of an option by its name ("--separation"); nullptr when there is none.
const OptionSpec* FindOption(const std::string& name);
// Checks `text` against the row's kind and range; false when it does not fit, with a
// sentence in *problem where the row's kind has more to say than its --help line.
bool ParseOptionValue(const OptionSpec& spec, const std::string& text, OptionValue* value,
                      std::string* problem = nullptr);
// The options part of --help, one line each, from the table.
std::string OptionsHelp();
