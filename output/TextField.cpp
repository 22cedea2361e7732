// Fitting the recognised lines into the output field, and saving it. (Being built.)
#include <fstream>
#include <iostream>

#include "app/MainUnit.h"

void TMainForm::Lines2Textfield() {}
void TMainForm::KoorFakEdChange() {
  Lines2Textfield();
}
void TMainForm::SaveTextBtnClick() {}
void TMainForm::SaveWordBtnClick() {}
bool TMainForm::WriteOutputText(const std::string& fileName, std::string* error) {
  std::string text;
  for (int32_t i = 0; i < window.OutputCount(); ++i) text += window.OutputLine(i) + "\n";
  if (fileName == "-") {
    std::cout << text << std::flush;
    return bool(std::cout);
  }
  std::ofstream out(fileName, std::ios::binary);
  out << text;
  if (!out) *error = "could not write " + fileName;
  return bool(out);
}
