// The folder names of a site's boards: safe on every common file system and web host, and
// distinct even where the disk ignores letter case.
//
// A board name (UTF-8) becomes a folder name character by character:
//   - ASCII letters are lower-cased; digits, "-" and "_" are kept;
//   - every other ASCII byte ("/", "\", ".", blanks, control bytes, ":" "*" "?" "<" ">" "|"
//     and the rest) becomes "_", so no name holds a path separator or is "." or "..";
//   - of the characters outside ASCII, those that have a case (full-width Latin, Greek,
//     Cyrillic, Roman numerals, the Angstrom sign: all that CP932 holds) are lower-cased
//     (the Angstrom sign becomes "å"), the ideographic space,
//     the no-break space and U+FFFD become "_", and every other character is kept.
// The name is cut to at most 60 bytes (at a character's end); an empty name is "_"; a name
// that Windows reserves for a device (con, prn, aux, nul, com0-com9, lpt0-lpt9) gets a "_"
// after it. Two boards that come out with the same name are told apart by order: the first
// keeps it, the next ones get "-2", "-3", ... (the first such name no board has yet). Since
// every name is lower case, names that differ only in case never occur.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorbit::exporter {

std::string SafeFolderName(std::string_view board_utf8);

// One distinct folder name a board, in the order given.
std::vector<std::string> DistinctFolderNames(const std::vector<std::string>& boards_utf8);

}  // namespace sorbit::exporter
