// sjisgrep: prints the lines of Shift-JIS files that the library's pattern matches, with GNU
// grep's everyday options and output formats.
//
// A line ends at LF; a CR just before the LF is not part of the text that is matched, but
// it is part of a printed line. Matching steps over whole characters, so a match never starts
// on the trail byte of a two-byte character (where a byte-oriented grep would match). A zero
// byte in a line is a character like any other (which no "." matches).
//
// Under the C locale patterns and output are the files' own Shift-JIS bytes, byte for byte;
// under a UTF-8 locale (or --encoding=utf-8) patterns are UTF-8 converted to CP932 and the
// output is converted to UTF-8 (Encoding.h).
//
// Exit status as in grep: 0 when a line was selected, 1 when none was, 2 when an error
// occurred (a bad option or pattern, a file that could not be read, a line too long to hold,
// a write error; the other files are still searched), except that -q exits 0 at its first hit.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace sjisgrep {

inline constexpr int kExitMatch = 0;
inline constexpr int kExitNoMatch = 1;
inline constexpr int kExitError = 2;

// Runs the whole program on its arguments (argv[0] excluded) and returns the exit status.
// The locale is read from the environment (setlocale) unless --encoding says otherwise.
int Main(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace sjisgrep
