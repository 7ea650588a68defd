// The command-line parser of sjisgrep and its --help text.
#include "Options.h"

#include <getopt.h>

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>

namespace sjisgrep {

const char kHelpText[] =
    "Usage: sjisgrep [OPTION]... PATTERN [FILE]...\n"
    "Search for PATTERN in each Shift-JIS (CP932) FILE.\n"
    "With no FILE, read standard input, or search the working folder with -r; '-' is\n"
    "standard input. Under a UTF-8 locale patterns are UTF-8 text and lines are printed\n"
    "as UTF-8 (bytes that do not decode as U+FFFD); under the C locale both are the\n"
    "files' own Shift-JIS bytes.\n"
    "\n"
    "Patterns:\n"
    "  -e, --regexp=PATTERN      use PATTERN; may be given more than once\n"
    "  -f, --file=FILE           take patterns from FILE, one a line\n"
    "  -F, --fixed-strings       PATTERNs are strings, not patterns\n"
    "  -E, --extended-regexp     PATTERNs are extended regular expressions (the default\n"
    "                            and only syntax; see sjisgrep(1) for what is read)\n"
    "  -i, --ignore-case         ignore case: ASCII, full-width and other letters\n"
    "      --no-ignore-case      do not ignore case (the default)\n"
    "      --fuzzy               width, case, kana forms, voiced marks and numerals of\n"
    "                            the characters outside [...] match their equivalents\n"
    "  -w, --word-regexp         match only whole words\n"
    "  -x, --line-regexp         match only whole lines\n"
    "  -z, --null-data           lines end at a zero byte, not a newline\n"
    "      --encoding=ENC        patterns and output are ENC (sjis or utf-8), whatever\n"
    "                            the locale says\n"
    "\n"
    "Selection and output:\n"
    "  -v, --invert-match        select the lines that do not match\n"
    "  -m, --max-count=NUM       stop after NUM selected lines (a negative NUM: no limit)\n"
    "  -c, --count               print only a count of selected lines per file\n"
    "  -l, --files-with-matches  print only the names of files with selected lines\n"
    "  -L, --files-without-match print only the names of files without any\n"
    "  -o, --only-matching       print only the matched parts of lines\n"
    "  -q, --quiet, --silent     print nothing; exit 0 at the first match\n"
    "  -s, --no-messages         no messages about missing or unreadable files\n"
    "  -n, --line-number         print line numbers\n"
    "  -b, --byte-offset         print the byte offset in the file\n"
    "  -H, --with-filename       print file names\n"
    "  -h, --no-filename         never print file names\n"
    "      --label=LABEL         name standard input LABEL\n"
    "  -Z, --null                print a zero byte after each file name\n"
    "  -A, --after-context=NUM   print NUM lines after each selected line\n"
    "  -B, --before-context=NUM  print NUM lines before each selected line\n"
    "  -C, --context=NUM         print NUM lines before and after\n"
    "      --color[=WHEN], --colour[=WHEN]\n"
    "                            mark matches, names and numbers; WHEN is never,\n"
    "                            always or auto (a terminal); see GREP_COLORS\n"
    "      --line-buffered       flush the output after every line\n"
    "      --binary-files=TYPE   TYPE is 'binary' (say that a binary file matches),\n"
    "                            'text' (search it as text) or 'without-match' (skip it)\n"
    "  -a, --text                the same as --binary-files=text\n"
    "  -I                        the same as --binary-files=without-match\n"
    "  -U, --binary              accepted for grep's sake; files are always read as bytes\n"
    "\n"
    "Files:\n"
    "  -d, --directories=ACTION  what to do with folders: 'read' (an error), 'recurse'\n"
    "                            (as -r) or 'skip'\n"
    "  -D, --devices=ACTION      devices, FIFOs and sockets: 'read' or 'skip'\n"
    "  -r, --recursive           search folders, not following symbolic links in them\n"
    "  -R, --dereference-recursive  search folders, following every symbolic link\n"
    "      --include=GLOB        search only files whose name matches GLOB\n"
    "      --exclude=GLOB        skip files whose name matches GLOB\n"
    "      --exclude-dir=GLOB    skip folders whose name matches GLOB\n"
    "\n"
    "      --help                show this help and exit\n"
    "  -V, --version             show the version and exit\n"
    "\n"
    "Lines end at LF; a CR before the LF is not matched but is printed. A file with zero\n"
    "bytes is binary: its first match is reported as \"sjisgrep: NAME: binary file\n"
    "matches\" on standard error unless -a is given. Matches start only at whole\n"
    "characters.\n"
    "Exit status is 0 if a line was selected, 1 if none was, 2 if an error occurred.\n";

void PrintUsageHint(std::FILE* err) {
  std::fputs(
      "Usage: sjisgrep [OPTION]... PATTERN [FILE]...\n"
      "Try 'sjisgrep --help' for more information.\n",
      err);
}

namespace {

constexpr char kProgram[] = "sjisgrep";

enum LongOnly {
  kColor = 256,
  kNoIgnoreCase,
  kFuzzy,
  kBinaryFiles,
  kLineBuffered,
  kEncoding,
  kLabel,
  kInclude,
  kExclude,
  kExcludeDir,
  kHelp,
};

const struct option kLongOptions[] = {
    {"regexp", required_argument, nullptr, 'e'},
    {"file", required_argument, nullptr, 'f'},
    {"fixed-strings", no_argument, nullptr, 'F'},
    {"extended-regexp", no_argument, nullptr, 'E'},
    {"ignore-case", no_argument, nullptr, 'i'},
    {"no-ignore-case", no_argument, nullptr, kNoIgnoreCase},
    {"fuzzy", no_argument, nullptr, kFuzzy},
    {"null-data", no_argument, nullptr, 'z'},
    {"word-regexp", no_argument, nullptr, 'w'},
    {"line-regexp", no_argument, nullptr, 'x'},
    {"encoding", required_argument, nullptr, kEncoding},
    {"invert-match", no_argument, nullptr, 'v'},
    {"max-count", required_argument, nullptr, 'm'},
    {"count", no_argument, nullptr, 'c'},
    {"files-with-matches", no_argument, nullptr, 'l'},
    {"files-without-match", no_argument, nullptr, 'L'},
    {"only-matching", no_argument, nullptr, 'o'},
    {"quiet", no_argument, nullptr, 'q'},
    {"silent", no_argument, nullptr, 'q'},
    {"no-messages", no_argument, nullptr, 's'},
    {"line-number", no_argument, nullptr, 'n'},
    {"byte-offset", no_argument, nullptr, 'b'},
    {"with-filename", no_argument, nullptr, 'H'},
    {"no-filename", no_argument, nullptr, 'h'},
    {"label", required_argument, nullptr, kLabel},
    {"null", no_argument, nullptr, 'Z'},
    {"after-context", required_argument, nullptr, 'A'},
    {"before-context", required_argument, nullptr, 'B'},
    {"context", required_argument, nullptr, 'C'},
    {"color", optional_argument, nullptr, kColor},
    {"colour", optional_argument, nullptr, kColor},
    {"text", no_argument, nullptr, 'a'},
    {"binary-files", required_argument, nullptr, kBinaryFiles},
    {"binary", no_argument, nullptr, 'U'},
    {"line-buffered", no_argument, nullptr, kLineBuffered},
    {"directories", required_argument, nullptr, 'd'},
    {"devices", required_argument, nullptr, 'D'},
    {"recursive", no_argument, nullptr, 'r'},
    {"dereference-recursive", no_argument, nullptr, 'R'},
    {"include", required_argument, nullptr, kInclude},
    {"exclude", required_argument, nullptr, kExclude},
    {"exclude-dir", required_argument, nullptr, kExcludeDir},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// "+" would stop at the first operand; GNU grep permutes, and so do we.
constexpr char kShortOptions[] = "e:f:FEiywxzvm:clLoqsnbHhZA:B:C:aIUd:D:rRV0123456789";

void Complain(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%s: %s\n", kProgram, message.c_str());
  PrintUsageHint(err);
}

// A decimal count; false for anything else (negative numbers included).
bool ParseCount(const char* text, std::uintmax_t& value) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const std::uintmax_t parsed = std::strtoumax(text, &end, 10);
  if (*end != '\0') return false;
  // A count too large to store is as good as no limit.
  value = errno == ERANGE ? UINTMAX_MAX : parsed;
  return true;
}

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args, Options& options, std::FILE* err) {
  std::vector<std::string> storage;
  storage.reserve(args.size() + 1);
  storage.push_back(kProgram);
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(storage.size());

  bool patternGiven = false;
  opterr = 0;
  optind = 0;  // a full restart of getopt's scan
  // -NUM is -C NUM, as in grep: the digits of one argument ("-12") make one number.
  int digitsArgument = -1;
  std::uintmax_t digits = 0;
  for (;;) {
    const int argument = optind == 0 ? 1 : optind;
    const int c = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr);
    if (c == -1) break;
    if (c >= '0' && c <= '9') {
      if (argument != digitsArgument) digits = 0;
      digitsArgument = optind == argument ? argument : -1;  // the argument goes on after it
      digits = digits > (UINTMAX_MAX - 9) / 10 ? UINTMAX_MAX : digits * 10 + (c - '0');
      options.after = options.before = digits;
      options.contextGiven = true;
      continue;
    }
    digitsArgument = -1;
    switch (c) {
      case 'e':
        options.patterns.push_back({PatternSource::Kind::kRegexp, optarg});
        patternGiven = true;
        break;
      case 'f':
        options.patterns.push_back({PatternSource::Kind::kFile, optarg});
        patternGiven = true;
        break;
      case 'F':
        options.fixedStrings = true;
        break;
      case 'E':
        break;
      case 'i':
      case 'y':  // grep's old spelling of -i
        options.ignoreCase = true;
        break;
      case kNoIgnoreCase:
        options.ignoreCase = false;
        break;
      case kFuzzy:
        options.fuzzy = true;
        break;
      case 'z':
        options.nullData = true;
        break;
      case 'U':
        break;
      case kLineBuffered:
        options.lineBuffered = true;
        break;
      case 'w':
        options.wordRegexp = true;
        break;
      case 'x':
        options.lineRegexp = true;
        break;
      case 'v':
        options.invert = true;
        break;
      case 'm': {
        // As in grep, a negative count means no limit.
        std::uintmax_t count = 0;
        if (optarg[0] == '-' && ParseCount(optarg + 1, count)) {
          options.maxCount.reset();
          break;
        }
        if (!ParseCount(optarg, count)) {
          std::fprintf(err, "%s: invalid max count\n", kProgram);
          return ParseResult::kError;
        }
        options.maxCount = count;
        break;
      }
      case 'c':
        options.countOnly = true;
        break;
      case 'l':
        options.listMatching = true;
        options.listNonMatching = false;
        break;
      case 'L':
        options.listNonMatching = true;
        options.listMatching = false;
        break;
      case 'o':
        options.onlyMatching = true;
        break;
      case 'q':
        options.quiet = true;
        break;
      case 's':
        options.noMessages = true;
        break;
      case 'n':
        options.lineNumbers = true;
        break;
      case 'b':
        options.byteOffset = true;
        break;
      case 'H':
        options.fileNames = FileNames::kWith;
        break;
      case 'h':
        options.fileNames = FileNames::kWithout;
        break;
      case 'Z':
        options.nullAfterName = true;
        break;
      case 'A':
      case 'B':
      case 'C': {
        std::uintmax_t lines = 0;
        if (!ParseCount(optarg, lines)) {
          std::fprintf(err, "%s: %s: invalid context length argument\n", kProgram, optarg);
          return ParseResult::kError;
        }
        if (c != 'B') options.after = lines;
        if (c != 'A') options.before = lines;
        options.contextGiven = true;
        break;
      }
      case 'a':
        options.text = true;
        options.binaryFiles = BinaryFiles::kText;
        break;
      case 'I':
        options.text = false;
        options.binaryFiles = BinaryFiles::kWithoutMatch;
        break;
      case kBinaryFiles: {
        const std::string type = optarg;
        if (type == "binary") {
          options.binaryFiles = BinaryFiles::kBinary;
        } else if (type == "text") {
          options.binaryFiles = BinaryFiles::kText;
        } else if (type == "without-match") {
          options.binaryFiles = BinaryFiles::kWithoutMatch;
        } else {
          std::fprintf(err, "%s: unknown binary-files type\n", kProgram);
          return ParseResult::kError;
        }
        options.text = options.binaryFiles == BinaryFiles::kText;
        break;
      }
      case 'd': {
        const std::string action = optarg;
        if (action == "read" || action == "recurse" || action == "skip") {
          options.recursive = action == "recurse";
          options.skipDirectories = action == "skip";
          if (options.recursive) options.followLinks = false;
        } else {
          std::fprintf(err,
                       "%s: invalid argument '%s' for '--directories'\n"
                       "Valid arguments are:\n  - 'read'\n  - 'recurse'\n  - 'skip'\n",
                       kProgram, optarg);
          PrintUsageHint(err);
          return ParseResult::kError;
        }
        break;
      }
      case 'D': {
        const std::string action = optarg;
        if (action == "read" || action == "skip") {
          options.devices = action == "skip" ? DeviceAction::kSkip : DeviceAction::kRead;
        } else {
          std::fprintf(err, "%s: unknown devices method\n", kProgram);
          return ParseResult::kError;
        }
        break;
      }
      case 'r':
        options.recursive = true;
        options.skipDirectories = false;
        options.followLinks = false;
        break;
      case 'R':
        options.recursive = true;
        options.skipDirectories = false;
        options.followLinks = true;
        break;
      case kColor: {
        const std::string when = optarg != nullptr ? optarg : "auto";
        if (when == "always" || when == "yes" || when == "force") {
          options.color = ColorWhen::kAlways;
        } else if (when == "never" || when == "no" || when == "none") {
          options.color = ColorWhen::kNever;
        } else if (when == "auto" || when == "tty" || when == "if-tty") {
          options.color = ColorWhen::kAuto;
        } else {
          Complain(err, "invalid argument '" + when + "' for '--color'");
          return ParseResult::kError;
        }
        break;
      }
      case kEncoding: {
        std::string name = optarg;
        for (char& ch : name) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
        if (name == "sjis" || name == "shift_jis" || name == "shift-jis" || name == "cp932") {
          options.encoding = TextEncoding::kSjis;
        } else if (name == "utf-8" || name == "utf8") {
          options.encoding = TextEncoding::kUtf8;
        } else {
          Complain(err, std::string("invalid argument '") + optarg +
                            "' for '--encoding' (sjis or utf-8)");
          return ParseResult::kError;
        }
        break;
      }
      case kLabel:
        options.label = optarg;
        break;
      case kInclude:
        options.include.push_back(optarg);
        break;
      case kExclude:
        options.exclude.push_back(optarg);
        break;
      case kExcludeDir:
        options.excludeDir.push_back(optarg);
        break;
      case kHelp:
        return ParseResult::kHelp;
      case 'V':
        return ParseResult::kVersion;
      default: {
        // '?': an unknown option, or one without its argument.
        const std::string arg =
            optind > 0 && optind <= argc ? argv[static_cast<std::size_t>(optind - 1)] : "";
        if (arg.rfind("--", 0) == 0) {
          const std::string name = arg.substr(0, arg.find('='));
          bool needsArgument = false;
          for (const option* o = kLongOptions; o->name != nullptr; ++o) {
            // Abbreviations count: getopt_long takes any unambiguous prefix.
            if (o->has_arg == required_argument && name.size() > 2 &&
                std::string("--").append(o->name).rfind(name, 0) == 0 &&
                arg.find('=') == std::string::npos) {
              needsArgument = true;
            }
          }
          Complain(err, needsArgument ? "option '" + name + "' requires an argument"
                                      : "unrecognized option '" + arg + "'");
        } else if (optopt > 0 && optopt < 128 && std::strchr(kShortOptions, optopt) != nullptr) {
          Complain(err, std::string("option requires an argument -- '") +
                            static_cast<char>(optopt) + "'");
        } else if (optopt > 0 && optopt < 128) {
          Complain(err, std::string("invalid option -- '") + static_cast<char>(optopt) + "'");
        } else {
          Complain(err, "unrecognized option '" + arg + "'");
        }
        return ParseResult::kError;
      }
    }
  }
  int k = optind;
  if (!patternGiven) {
    if (k >= argc) {
      Complain(err, "no pattern given");
      return ParseResult::kError;
    }
    options.patterns.push_back(
        {PatternSource::Kind::kOperand, argv[static_cast<std::size_t>(k++)]});
  }
  // getopt_long has moved the operands behind the options in argv (not in storage).
  for (; k < argc; ++k) options.files.push_back(argv[static_cast<std::size_t>(k)]);
  return ParseResult::kRun;
}

}  // namespace sjisgrep
