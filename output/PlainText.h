// The page result as plain text (Windows-1252).
//  Columns: the blocks one after another in reading order with a blank line between them,
//    a line break after each line, a blank between words.
//  Page: the lines as they stand on the page, rows across the columns: lines that share
//    their rows are put on one output row, left to right, each indented by its distance
//    from the page's leftmost line in character widths.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "recognition/PageText.h"

enum class ReadingOrder : uint8_t { Page, Columns };

// head: the part before the hyphen (without it); tail: the next line's first word.
using DividedWordTest = std::function<bool(std::string_view head, std::string_view tail)>;

std::string PlainText(const PageText& page, ReadingOrder order = ReadingOrder::Columns);

// Joins in the page result each word divided by a hyphen at a line's end (in reading order)
// with the next line's first word where `joins` says the halves are one word: the first
// line's word becomes the whole word, without the hyphen, boxed where its first half is
// written; the second half leaves its line. So every output has the joined word.
void JoinDividedWords(PageText* page, const DividedWordTest& joins);
