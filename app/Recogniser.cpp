// The one place that tells the classic recogniser from the extended one: what each prepares,
// how each reads a page, and how each shows its text.
#include "app/MainUnit.h"
#include "recognition/GlyphClassifier.h"

std::future<void> TMainForm::PrepareRecogniser(Preparation preparation) {
  std::future<void> meanwhile;
  if (!settings.Extended()) {
    KeepTemplateSet();  // the classic templates, rendered once for all pages
    if (preparation == Preparation::BeforeWorkers && settings.UseDictionary()) PageLanguageWords();
    return meanwhile;
  }
  if (preparation == Preparation::BeforeWorkers) {
    // Prepare's threads have ended when it returns, so forking the workers stays safe.
    if (!LoadGlyphNet()) GlyphClassifier::Prepare();
    if (settings.UseDictionary()) {
      PageLanguageWords();
      PageLetterModel();
    }
    return meanwhile;
  }
  // The word list loads (and the template faces open, where no model reads) while the first
  // page is decoded.
  if (settings.UseDictionary()) LoadWordLookupMeanwhile();
  if (!LoadGlyphNet()) meanwhile = std::async(std::launch::async, GlyphClassifier::OpenFaces);
  return meanwhile;
}

bool TMainForm::RecogniserUsesBlackWhite() const {
  return !settings.Extended();
}

bool TMainForm::RecogniserUsesColumnWidth() const {
  return !settings.Extended();
}

void TMainForm::RunRecogniser() {
  guessedLanguage.clear();  // the last page's
  if (settings.Extended()) {
    ExtendedRecognitionRun();
  } else {
    FindCharsBtnClick();
    RegBtnClick();
    Lines2Textfield();
  }
}

void TMainForm::ShowRecognisedText() {
  // The column width fits the classic run's lines; the extended run's text has no such lines.
  if (RecogniserUsesColumnWidth())
    Lines2Textfield();
  else
    ShowPageText();
}
