// sjisgrep's command line: the options of GNU grep that a reader uses every day, parsed the
// GNU way (getopt_long: options may follow operands, short ones cluster, long ones take
// "=VALUE" or the next argument and may be abbreviated), plus --fuzzy and --encoding.
// Values and messages are grep 3.8's.
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
enum class BinaryFiles { kBinary, kText, kWithoutMatch };
enum class DeviceAction { kRead, kSkip };

// One source of patterns, in command-line order.
struct PatternSource {
  enum class Kind { kOperand, kRegexp, kFile } kind = Kind::kOperand;
  std::string text;  // the pattern (the operand, -e), or the file's name (-f)
};

struct Options {
  bool ignoreCase = false;       // -i
  bool fuzzy = false;            // --fuzzy
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
  bool recursive = false;        // -r, -d recurse
  bool skipDirectories = false;  // -d skip
  bool followLinks = false;      // -R
  bool text = false;             // -a, --binary-files=text
  BinaryFiles binaryFiles = BinaryFiles::kBinary;
  DeviceAction devices = DeviceAction::kRead;  // -D
  bool nullData = false;                       // -z: lines end at a zero byte
  bool lineBuffered = false;                   // --line-buffered
  bool nullAfterName = false;                  // -Z
  FileNames fileNames = FileNames::kAuto;
  std::optional<std::uintmax_t> maxCount;  // -m; none: no limit
  std::uintmax_t after = 0;                // -A
  std::uintmax_t before = 0;               // -B
  bool contextGiven = false;  // -A, -B, -C or -NUM, even 0: groups are then parted by "--"

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
