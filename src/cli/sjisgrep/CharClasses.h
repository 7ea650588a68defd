// What GNU grep knows of a character under a UTF-8 locale, for CP932 codes: the classes of
// "[[:alpha:]]" and the like, the word characters of -w, \w and \<, the letters that -i
// takes as the same, and (for messages) how wide a character shows. A code counts as its
// Unicode character (the one table, text/Cp932.h) judged by the C.UTF-8 locale's wctype
// functions, so kana, kanji and full-width forms are letters as in grep; a code that does not
// decode is in no class and has no case.
//
// The table of every code is made once, on first use (thread-safe), and then only read. If
// the C.UTF-8 locale is missing, the classes fall back to ASCII's.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "CodeSet.h"

namespace sjisgrep {

enum class CharClass : std::uint8_t {
  kAlnum,
  kAlpha,
  kBlank,
  kCntrl,
  kDigit,
  kGraph,
  kLower,
  kPrint,
  kPunct,
  kSpace,
  kUpper,
  kXdigit,
};

// The class of a bracket name ("alpha" for "[:alpha:]"), or nothing for an unknown name.
std::optional<CharClass> CharClassNamed(std::string_view name);

// Every code in the class.
const CodeSet& CodesOfClass(CharClass c);

// The word characters of -w, \w, \b, \< and \>: alphanumeric or "_".
const CodeSet& WordCodes();

// Adds to `into` every code of each other character that -i takes as the character `cp`: its
// upper- and lower-case forms, in all their codes. A character without case adds nothing.
void AddCaseCounterparts(char32_t cp, CodeSet& into);

// The columns a character takes on a terminal (wcwidth under C.UTF-8): 2 for the wide forms
// of East Asian scripts, 1 for most others, 0 for combining marks.
int DisplayWidth(char32_t cp);

}  // namespace sjisgrep
