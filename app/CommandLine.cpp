#include "app/CommandLine.h"

#include <iostream>

#include "app/HeadlessWindow.h"
#include "app/Options.h"
#include "app/OutputGuard.h"
#include "app/PageReadAhead.h"
#include "app/PictureRun.h"
#include "core/LibraryMessages.h"
#include "recognition/Languages.h"

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* commandLine,
                      std::string* error) {
  commandLine->programFile = argc > 0 ? argv[0] : "quillon";
  bool optionsEnded = false;  // after "--" every word is an argument, as with any Unix tool
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && arg == "-h") {
      commandLine->help = true;
      continue;
    }
    if (optionsEnded || arg.rfind("--", 0) != 0) {
      commandLine->args.push_back(arg);
      continue;
    }
    const size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : arg.substr(eq + 1);
    const OptionSpec* spec = FindOption(name);
    const bool flag = spec && spec->kind == OptionKind::Flag;
    if (!spec || flag != (eq == std::string::npos)) {
      *error = "unknown option: " + arg + " (see --help)";
      return false;
    }
    OptionValue parsed;
    std::string problem;
    if (!ParseOptionValue(*spec, value, &parsed, &problem)) {
      *error = "invalid value for " + name + ": \"" + value + "\" (" +
               (problem.empty() ? "see --help" : problem) + ")";
      return false;
    }
    spec->store(*commandLine, parsed);
  }
  return true;
}

bool CheckLanguages(const Settings& settings, const std::vector<std::string>& folders,
                    std::ostream& err) {
  std::vector<Language> languages;
  std::string error;
  if (!settings.Extended() || !settings.UseDictionary() ||
      !ParseLanguages(settings.languages, &languages, &error))
    return true;
  std::vector<std::string> missing;
  for (const Language& language : languages)
    if (*language.dictionary && FindDictionary(language, folders).empty())
      missing.push_back(NotInstalled(language));
  if (missing.size() == languages.size()) {
    err << "quillon: --language=" << settings.languages << ": ";
    for (size_t i = 0; i < missing.size(); ++i) err << (i ? "; " : "") << missing[i];
    err << std::endl;
    return false;
  }
  for (const std::string& line : missing)
    err << "quillon: " << line << "; the pages are read without it" << std::endl;
  return true;
}

DocumentChoices Choices(const CommandLine& commandLine) {
  return {commandLine.pages, commandLine.redoText, commandLine.forceOcr};
}

std::string UsageText() {
  return "Usage: quillon [OPTIONS] [--] [PICTURE [OUTPUT [-exit]]]\n"
         "       quillon [OPTIONS] --output-dir=DIR [--] PICTURE...\n"
         "\n"
         "Optical character recognition of printed pages.\n"
         "\n"
         "  quillon                  open the window\n"
         "  quillon PICTURE          open the window with PICTURE\n"
         "  quillon PICTURE OUTPUT   recognise PICTURE without a window and write its text\n"
         "                           to OUTPUT as UTF-8 (\"-\" for standard output)\n"
         "  quillon --output-dir=DIR PICTURE...\n"
         "                           a batch: each picture's output to DIR/NAME.txt\n"
         "                           (.hocr, .xml, .tsv, .pdf with --format)\n"
         "\n"
         "A multi-page picture (TIFF, GIF) or a PDF gives every page, a form feed between\n"
         "pages; --format=pdf of a PDF is that PDF with its text laid invisibly over it.\n"
         "PICTURE \"-\" reads the picture from standard input.\n"
         "\n"
         "Options:\n" +
         OptionsHelp() +
         "\n"
         "Exit status:\n"
         "  0  every picture was read\n"
         "  1  some pictures could not be read or written (the others were)\n"
         "  2  the command line was wrong\n";
}

std::string VersionText() {
  return std::string(kProductCaption) + "\n";
}

int RunAutomatic(const CommandLine& commandLine, std::ostream& err) {
  const std::string& output = commandLine.args[1];
  const LibraryMessagesShown libraryMessages(commandLine.log ? &err : nullptr);
  // Checked before anything runs: the user's picture must survive a mistyped command line.
  const std::string refusal = OutputRefusal(commandLine.args[0], output);
  if (!refusal.empty()) {
    err << "quillon: " << refusal << std::endl;
    return 1;
  }
  // A picture from standard input or a FIFO is kept in a file first, so that it can be
  // read ahead.
  std::string picture = commandLine.args[0], error;
  StreamedPicture stream;
  if (IsStreamedPicture(picture)) {
    if (!stream.Take(picture, &error)) {
      err << "quillon: " << error << std::endl;
      return 1;
    }
    picture = stream.FileName();
  }
  // The first page is read while the form prepares its fonts and templates.
  PageReadAhead firstPage;
  firstPage.Start(picture, 0, int64_t(commandLine.settings.maxMegapixels) * 1000000);
  HeadlessWindow window;
  window.drawsPageView = false;  // nothing shows it
  if (commandLine.log) window.logSink = &err;
  window.messageSink = &err;
  TMainForm form(window, commandLine.programFile, commandLine.args);
  form.settings = commandLine.settings;
  form.pageUnseen = true;
  form.pageReadAhead = &firstPage;
  form.FormCreate();
  // A picture that cannot be opened ends the run: recognising the blank start-up page
  // instead would report success with an empty text. The page's message box has already
  // told why it could not be opened.
  RunOutputs outputs(commandLine.format, output, commandLine.args[0], picture, commandLine.sidecar);
  const size_t messages = window.messages.size();
  if (!RecognisePicture(form, window, picture, Choices(commandLine), nullptr, &outputs, &error) ||
      !outputs.Finish(&error)) {
    // A page that could not be opened has told why in its message box already.
    if (window.messages.size() == messages) err << "quillon: " << error << std::endl;
    return 1;
  }
  if (!outputs.HasText()) {
    err << "quillon: no text was found on \"" << commandLine.args[0] << "\"";
    if (!outputs.NoTextReason().empty()) err << " (" << outputs.NoTextReason() << ")";
    err << "; the output is empty." << std::endl;
  }
  return 0;
}
