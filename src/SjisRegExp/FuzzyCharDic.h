// The built-in fuzzy-character dictionary: 145 groups of characters and short character
// sequences that the fuzzy-character pass of the preprocessor treats as the same (full- and
// half-width letters, digits and symbols, kanji and circled numerals, the kana forms, voiced
// kana written with a separate mark).
//
// The table is kept as Shift-JIS comma-text rows (FuzzyCharDicRows.cpp) and split into words
// once, when the program loads. The result is shared read-only by every component, so any
// number of preprocessors may read it at the same time.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "PreProcessor.h"

namespace SjisRegExp {

inline constexpr std::size_t kFuzzyCharDicRowCount = 145;

// The stored rows, Shift-JIS bytes in comma text (see ReadCommaText). Row n is group n.
extern const std::array<std::string_view, kFuzzyCharDicRowCount> FuzzyCharDicRows;

// Splits one comma-text row into its words:
//  - characters with codes 1 to 32 before an item are skipped;
//  - an item that begins with a double quote runs to the closing quote, two double quotes
//    inside it standing for one; commas and blanks inside belong to the item. An item whose
//    closing quote is missing runs to the end of the row;
//  - any other item runs up to the next comma or the next character with a code of 32 or less;
//  - after an item, blanks, then one comma and the blanks after it, are skipped.
// A comma at the very end adds no word; two commas in a row add an empty word. The row is
// read by whole characters (code page 932), so the trail byte of a two-byte character is
// never taken for a comma, a quote or a blank; a lead byte at the very end counts as a
// character of its own. A zero byte ends the row, as it ends every text in this library.
Group ReadCommaText(std::string_view row);

// The dictionary built from FuzzyCharDicRows. Built before main runs and never changed
// afterwards; the reference stays valid until the program ends.
const Dictionary& FuzzyCharDic();

}  // namespace SjisRegExp
