// Character classification: decides one character for the current object of the page by
// matching its sample grid against the templates and applying the rules for dots, bars,
// strokes and position on the line.
#include "app/MainUnit.h"
#include "recognition/ClassifyRules.h"
#include "recognition/ObjectFeatures.h"

namespace {

// Working memory of the classification, kept between objects so that an object costs no
// allocation: the object under its 49 shifts and the packed templates of the run.
struct MatcherState {
  ShiftedObject object;
  PackedTemplateSet templates;
  const TemplateSet* packedSet = nullptr;
  uint64_t packedGeneration = 0;
};

MatcherState& State() {
  static MatcherState* state = new MatcherState();  // lives as long as the program
  return *state;
}

}  // namespace

int32_t TMainForm::ClassifyObject() {
  PageObject* object = currentObject;
  if (!object) return 0;
  ObjectFeatures features;
  MeasureObject(object->image, &objectGrid, &features);

  // The object's line supplies the levels. An object without a valid line is measured
  // against a line made of its own box (no x-height, nothing tall or descending).
  TextLine ownLine{};
  const TextLine* line = &ownLine;
  if (object->line >= 1 && object->line <= lines.Count) {
    line = lines.Select(object->line - 1);
  } else {
    ownLine.top = ownLine.xTop = ownLine.xTopLimit = ownLine.upperLevel = object->box.Top;
    ownLine.descenderLevel = ownLine.bottom = object->box.Bottom;
    ownLine.middle = ownLine.xMiddle = (object->box.Top + object->box.Bottom) / 2;
  }
  // findaccentabove moves the dots' cursor only; currentObject stays.
  const PositionFeatures position =
      MeasurePosition(object->box, *line, findaccentabove(object->unskewedBox));

  // A classification starts from fresh entries, so classifying an object again gives the
  // same table as the first time.
  ResetCandidates(object->candidates);
  uint8_t provisional = 0;
  if (templateSet) {
    MatcherState& state = State();
    if (templateGeneration == 0) TemplateSetChanged();
    if (state.packedSet != templateSet || state.packedGeneration != templateGeneration) {
      PackTemplateSet(*templateSet, &state.templates);
      state.packedSet = templateSet;
      state.packedGeneration = templateGeneration;
    }
    PrepareObject(objectGrid, &state.object);
    provisional = ScoreCandidates(state.object, state.templates, position, object->candidates);
  }
  const int32_t c = DecideCharacter(object->candidates, provisional, features, position);
  object->recognisedChar = c;
  return c;
}
