// sjisgrep's command line: the options of GNU grep that a reader uses every day, parsed the
// GNU way (getopt_long: options may follow operands, short ones cluster, long ones take
// "=VALUE" or the next argument and may be abbreviated), plus --fuzzy and --encoding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Encoding.h"

namespace sjisgrep {

enum class FileNames { kAuto, kWith, kWithout };
enum class ColorWhen { kNever, kAlways, kAuto };

// One source of patterns, in command-line order: -e TEXT (or the PATTERN operand) or -f FILE.
struct PatternSource {
  bool isFile = false;
  std::string text;  // the pattern, or the file's name
};

struct Options {
  bool fuzzy = false;            // -i, --fuzzy
  bool fixedStrings = false;     // -F
  bool invert = false;           // -v
  bool wordRegexp = false;       // -w
  bool lineRegexp = false;       // -x
  bool countOnly = false;        // -c
  bool listMatching = false;     // -l
  bool listNonMatching = false;  // -L
  bool onlyMatching = false;     // -o
  bool lineNumbers = false;      // -n
  bool byteOffset = false;       // -b
  bool quiet = false;            // -q
  bool noMessages = false;       // -s
  bool recursive = false;        // -r
  bool followLinks = false;      // -R
  bool text = false;             // -a
  bool nullAfterName = false;    // -Z
  FileNames fileNames = FileNames::kAuto;
  std::optional<std::uintmax_t> maxCount;  // -m
  std::uintmax_t after = 0;                // -A
  std::uintmax_t before = 0;               // -B
  ColorWhen color = ColorWhen::kNever;
  std::optional<TextEncoding> encoding;  // --encoding; else the locale's
  std::optional<std::string> label;      // --label
  std::vector<PatternSource> patterns;
  std::vector<std::string> include, exclude, excludeDir;
  std::vector<std::string> files;  // operands after the pattern
};

enum class ParseResult { kRun, kHelp, kVersion, kError };

// Parses the arguments (argv[0] excluded). Usage errors are reported on err.
ParseResult ParseArguments(const std::vector<std::string>& args, Options& options, std::FILE* err);

// The short usage lines printed after a usage error.
void PrintUsageHint(std::FILE* err);

extern const char kHelpText[];

}  // namespace sjisgrep
