// Accents and dots: how many dots of `dots` lie just above a character, and how many
// beside it at its lower right. Both walk the whole dot list with its cursor.
#include "app/MainUnit.h"
#include "layout/DotTests.h"

namespace {

int32_t CountDots(TMainForm& form, const Box& character, bool (*placed)(const Box&, const Box&)) {
  int32_t count = 0;
  form.dots.First();
  while (form.dots.Next())
    if (placed(form.currentDot->box, character)) ++count;
  return count;
}

}  // namespace

int32_t TMainForm::findaccentabove(Box character) {
  return CountDots(*this, character, IsDotAbove);
}

int32_t TMainForm::findaccentpoint(Box character) {
  return CountDots(*this, character, IsPointBeside);
}
