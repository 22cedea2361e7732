// The main window's life: creation and release of the state, the OCR run, the automatic
// run of the command line, leaving the program and help.
#include <cstdlib>
#include <filesystem>

#include "app/MainUnit.h"
#include "recognition/WordList.h"

#ifndef QUILLON_DATA_DIR
#define QUILLON_DATA_DIR "/usr/local/share/quillon"
#endif
#ifndef QUILLON_DATA_FROM_BIN
#define QUILLON_DATA_FROM_BIN "../share/quillon"
#endif

TMainForm::TMainForm(WindowInterface& window_, std::string programFile_,
                     std::vector<std::string> args_)
    : window(window_), args(std::move(args_)), programFile(std::move(programFile_)) {}

TMainForm::~TMainForm() {
  FormDestroy();
}

std::string TMainForm::DataFilePath(const std::string& name) const {
  // Beside the program (a build tree), else where an installed program keeps its data.
  std::error_code error;
  if (std::filesystem::exists(programPath + name, error)) return programPath + name;
  // An installed tree, wherever it was put; else where it was meant to go.
  const std::string installed = programPath + QUILLON_DATA_FROM_BIN + "/" + name;
  if (std::filesystem::exists(installed, error)) return installed;
  return std::string(QUILLON_DATA_DIR) + "/" + name;
}

void TMainForm::FormCreate() {
  programPath = std::filesystem::path(programFile).parent_path().string();
  if (programPath.empty() || programPath.back() != '/') programPath += '/';
  if (programPath == "/" && programFile.find('/') == std::string::npos) programPath = "./";

  wordList.chunk = 50000;
  // The list itself is loaded when a step first consults it (EnsureWordList); only a
  // list that cannot serve is reported now, which costs no reading.
  const std::string wordListProblem = WordListFileProblem(DataFilePath("german.spe"));
  if (!wordListProblem.empty()) Log(wordListProblem);

  newdib(&picture, 320, 200, 24, nullptr, 0);
  NewPicture();
  newdib(&bwImage, 320, 200, 24, nullptr, 0);

  EnumerateFonts();

  objects.chunk = 10000;
  dots.chunk = 10000;

  ToBlackWhiteBtnClick();
  GenerateDibs();
  created_ = true;
}

void TMainForm::FormShow() {
  if (args.size() >= 2) {
    // The automatic run has already happened at start-up.
    RequestEnd();
    return;
  }
  if (!formShown && !args.empty()) OpenPic(args[0]);
  formShown = true;
}

void TMainForm::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (wordLookupLoad.valid()) wordLookupLoad.wait();  // its thread writes the word list
  bottomCounts.Destroy();
  topCounts.Destroy();
  for (int32_t i = 0; i < lines.Count; ++i) ReleaseTextLine(*lines.At(i));
  lines.Destroy();
  wordArena.Release();  // every word of wordList at once
  wordList.Destroy();
  ReleaseFonts();
  fontHandles.Destroy();
  for (int32_t i = 0; i < glyphImages.Count; ++i) deldib(&glyphImages.At(i)->image);
  glyphImages.Destroy();
  ClearChars();
  objects.Destroy();
  dots.Destroy();
  deldib(&picture);
  deldib(&bwImage);
}

void TMainForm::RequestEnd() {
  endRequested = true;
  window.RequestClose();
}

void TMainForm::TextErkennBtnClick() {
  RunRecogniser();
  if (!cancelRequested) window.SetActivePage(kPageOutputText);
}

void TMainForm::BitBtn1Click() {
  cancelRequested = true;
}

void TMainForm::Timer1Timer() {
  TextErkennBtnClick();
  if (args.size() >= 3 && args[2] == "-exit") RequestEnd();
}

void TMainForm::endebtnClick() {
  RequestEnd();
}

void TMainForm::ImageBtn1Click() {
  window.ShellOpen(DataFilePath("quillon-manual.html"));
}

void ReleaseTextLine(TextLine& line) {
  std::free(line.text);
  line.text = nullptr;
}
