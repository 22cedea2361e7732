// Classification of every object of the page before the recognition run, on all cores.
//
// Objects are classified independently of each other: each needs only its own image, its
// line's levels, the dots above it and the (read-only) templates. So the run's
// classification can be done up front, in parallel, and the run then takes the results in
// its own order. The result of an object is exactly what ClassifyObject gives it.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/LayoutTypes.h"
#include "recognition/GlyphTypes.h"

class TMainForm;

struct ClassifiedObject {
  const uint8_t* pixels;  // identifies the object (its image), checked before use
  Box box;
  int32_t recognisedChar;
  GlyphGrid grid;  // the sampled object, as ClassifyObject leaves it in objectGrid
  Candidate candidates[kCandidateCount + 1];
};

struct ClassifiedPage {
  unsigned threads = 0;                   // 0: all cores
  bool classified = false;                // the objects below are ready
  std::vector<ClassifiedObject> objects;  // those on a line, in the order of `objects`
  size_t next = 0;                        // the run's position
};

// Classifies every object of form.objects that lies on a line, with form.templateSet, on
// up to `threads` threads (0: all cores). The form's state is not changed.
void ClassifyAllObjects(TMainForm& form, unsigned threads, ClassifiedPage* page);

// The recognition run's classification step over a ClassifiedPage (the context). Its first
// call classifies all objects (the run has made the templates by then); every call hands
// the current object its precomputed result, or classifies it with ClassifyObject when
// the object is not the one expected (the list changed during the run).
int32_t TakeClassifiedObject(TMainForm& form, void* page);
