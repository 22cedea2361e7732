// The two tests of a dot against a character's box (page coordinates, y downwards,
// inclusive; both boxes as found, before any skew correction).
#pragma once

#include "layout/LayoutTypes.h"

// A dot just above the character: it begins higher than the character, the character's
// top is at most two dot heights below the dot's bottom, and the two overlap horizontally
// by more than a touching column. (The dot of an i or j, the dots of an umlaut.)
inline bool IsDotAbove(const Box& dot, const Box& character) {
  const int32_t dotHeight = dot.Bottom - dot.Top + 1;
  return dot.Top < character.Top && character.Top <= dot.Bottom + 2 * dotHeight &&
         dot.Right > character.Left && dot.Left < character.Right;
}

// A point beside the character at its lower right: it begins at or right of the
// character's horizontal middle, ends within one character width of its right edge,
// begins above its bottom and reaches below its vertical middle. (A full stop.)
inline bool IsPointBeside(const Box& dot, const Box& character) {
  const int32_t cw = character.Right - character.Left;
  const int32_t ch = character.Bottom - character.Top;
  return dot.Left >= character.Left + cw / 2 && dot.Right <= character.Right + cw &&
         dot.Top < character.Bottom && dot.Bottom > character.Top + ch / 2;
}
