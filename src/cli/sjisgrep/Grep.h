// sjisgrep: prints the lines of Shift-JIS files that the library's pattern matches.
//
// A line ends at LF; a CR just before the LF is not part of the text that is matched, but
// every byte of a printed line is the input's byte, CR included. Matching steps over whole
// characters, so a match never starts on the trail byte of a two-byte character (where a
// byte-oriented grep would match). The library matches zero-terminated text: a zero byte
// inside a line ends the text that is matched, and the line is still printed whole.
//
// Exit status as in grep: 0 when a line matched, 1 when none did, 2 when an error occurred
// (a bad option or pattern, or a file that could not be read; the other files are still
// searched).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace sjisgrep {

enum class FileNames { kAuto, kWith, kWithout };

struct Options {
  bool fuzzy = false;                      // -i: fuzzy-character dictionary on
  bool lineNumbers = false;                // -n
  bool countOnly = false;                  // -c
  bool onlyMatching = false;               // -o
  FileNames fileNames = FileNames::kAuto;  // -H / -h
  std::string pattern;
  std::vector<std::string> files;  // empty: standard input; "-" is standard input too
};

inline constexpr int kExitMatch = 0;
inline constexpr int kExitNoMatch = 1;
inline constexpr int kExitError = 2;

// Runs the whole program on its arguments (argv[0] excluded) and returns the exit status.
int Main(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace sjisgrep
