// Accents and dots: how many dots of `dots` lie just above a character, and how many
// beside it at its lower right. Both walk the whole dot list with its cursor.
#include "app/MainUnit.h"
#include "layout/DotTests.h"

int32_t TMainForm::findaccentabove(Box character) {
  int32_t count = 0;
  dots.First();
  while (dots.Next())
    if (IsDotAbove(currentDot->box, character)) ++count;
  return count;
}

int32_t TMainForm::findaccentpoint(Box character) {
  int32_t count = 0;
  dots.First();
  while (dots.Next())
    if (IsPointBeside(currentDot->box, character)) ++count;
  return count;
}
