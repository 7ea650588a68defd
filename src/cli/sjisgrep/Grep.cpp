#include "Grep.h"

#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "AWKStr.h"
#include "Chars.h"

namespace sjisgrep {

namespace {

constexpr char kProgram[] = "sjisgrep";

constexpr char kUsage[] =
    "Usage: sjisgrep [OPTION]... PATTERN [FILE]...\n"
    "Search for PATTERN in each Shift-JIS FILE (standard input when there is none, or for -).\n"
    "\n"
    "  -i, --fuzzy   fuzzy-character dictionary on: width, case, kana forms, voiced\n"
    "                marks and numerals match their equivalents\n"
    "  -n            prefix each line with its line number\n"
    "  -c            print only a count of matching lines per file\n"
    "  -o            print only the matched parts of each line, one per line\n"
    "  -H            print the file name with each line\n"
    "  -h            never print file names (default: print them when there are\n"
    "                several files)\n"
    "      --help    show this help and exit\n"
    "      --version show the version and exit\n"
    "\n"
    "Lines end at LF; a CR before the LF is not matched but is printed. A zero byte ends\n"
    "the part of a line that is matched. Matches start only at whole characters.\n"
    "Exit status is 0 if a line matched, 1 if none did, 2 if an error occurred.\n";

// Finds matches of one pattern in the text of a line. Further matches in the rest of a line
// (-o) are looked for from where the last one ended; there a line-head anchor must no longer
// match, so a pattern that has one is then scanned without its anchored reading.
class LineMatcher {
 public:
  // Throws ERegExpParser for a bad pattern.
  LineMatcher(const std::string& pattern, bool fuzzy) {
    // Lines come without their LF, so "$" matches at the end of the text only (a CR in the
    // middle of a line is an ordinary character).
    matcher_.SetLineSeparator(SjisRegExp::mcls_LF);
    matcher_.SetUseFuzzyCharDic(fuzzy);
    matcher_.SetRegExp(pattern);
    lineHead_ = matcher_.CurrentDFA().LineHeadMark();
  }

  // Searches [from, end), which holds no zero byte; from is at a character boundary and is
  // the line's start when atLineStart. On a match, [start, matchEnd) is the matched text.
  bool Find(const char* from, const char* end, bool atLineStart, const char*& start,
            const char*& matchEnd) const {
    if (!atLineStart && lineHead_) {
      const SjisRegExp::MatchSpan span = matcher_.ScanFrom(from, end);
      start = span.start;
      matchEnd = span.end;
      return span.start != nullptr;
    }
    int start1 = 0;
    int length = 0;
    if (matcher_.Match(std::string_view(from, static_cast<std::size_t>(end - from)), start1,
                       length) <= 0) {
      return false;
    }
    start = from + (start1 - 1);
    matchEnd = start + length;
    return true;
  }

 private:
  SjisRegExp::TAWKStr matcher_;
  bool lineHead_ = false;
};

struct CloseDeleter {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

class Searcher {
 public:
  Searcher(const Options& options, LineMatcher& matcher, std::FILE* out, std::FILE* err)
      : options_(options), matcher_(matcher), out_(out), err_(err) {}
  ~Searcher() { std::free(buffer_); }
  Searcher(const Searcher&) = delete;
  Searcher& operator=(const Searcher&) = delete;

  // Searches one input; returns the number of matching lines, or nothing after a read error
  // (already reported).
  std::optional<std::uintmax_t> Search(std::FILE* in, const std::string& name, bool showName) {
    std::uintmax_t matching = 0;
    std::uintmax_t lineNumber = 0;
    for (;;) {
      errno = 0;
      const ssize_t read = getline(&buffer_, &capacity_, in);
      if (read < 0) break;
      ++lineNumber;
      std::size_t size = static_cast<std::size_t>(read);
      const bool endsWithLineFeed = size > 0 && buffer_[size - 1] == '\n';
      if (endsWithLineFeed) --size;
      std::size_t textSize = size;
      // Only the CR of a CR LF is left out; a last line without LF keeps its CR.
      if (endsWithLineFeed && textSize > 0 && buffer_[textSize - 1] == '\r') --textSize;
      if (ProcessLine(size, textSize, name, showName, lineNumber)) ++matching;
    }
    if (std::ferror(in)) {
      Error(name, std::strerror(errno != 0 ? errno : EIO));
      return std::nullopt;
    }
    if (options_.countOnly) {
      if (showName) Print(name + ":");
      Print(std::to_string(matching) + "\n");
    }
    return matching;
  }

  void Error(const std::string& name, const char* reason) {
    std::fprintf(err_, "%s: %s: %s\n", kProgram, name.c_str(), reason);
  }

 private:
  // buffer_[0, size) is the line without its LF, [0, textSize) the part that is matched.
  bool ProcessLine(std::size_t size, std::size_t textSize, const std::string& name, bool showName,
                   std::uintmax_t lineNumber) {
    const char* const line = buffer_;
    const char* end = line + textSize;
    if (const void* zero = std::memchr(line, 0, textSize)) end = static_cast<const char*>(zero);
    const char* start = nullptr;
    const char* matchEnd = nullptr;
    const bool matched = matcher_.Find(line, end, true, start, matchEnd);
    if (!matched || options_.countOnly) return matched;
    if (!options_.onlyMatching) {
      PrintPrefix(name, showName, lineNumber);
      std::fwrite(line, 1, size, out_);
      std::fputc('\n', out_);
      return true;
    }
    for (;;) {
      const char* next = matchEnd;
      if (matchEnd > start) {
        PrintPrefix(name, showName, lineNumber);
        std::fwrite(start, 1, static_cast<std::size_t>(matchEnd - start), out_);
        std::fputc('\n', out_);
      } else {
        // An empty match prints nothing; look again one character further on.
        if (start >= end) break;
        next = start + SjisRegExp::CharStep(start, end);
      }
      if (next >= end || !matcher_.Find(next, end, false, start, matchEnd)) break;
    }
    return true;
  }

  void PrintPrefix(const std::string& name, bool showName, std::uintmax_t lineNumber) {
    if (showName) {
      std::fputs(name.c_str(), out_);
      std::fputc(':', out_);
    }
    if (options_.lineNumbers) std::fprintf(out_, "%ju:", lineNumber);
  }

  void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), out_); }

  const Options& options_;
  LineMatcher& matcher_;
  std::FILE* out_;
  std::FILE* err_;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;  // getline's buffer, reused for every line
};

void UsageError(std::FILE* err, const std::string& message) {
  std::fprintf(err, "%s: %s\nUsage: sjisgrep [OPTION]... PATTERN [FILE]...\n", kProgram,
               message.c_str());
  std::fprintf(err, "Try 'sjisgrep --help' for more information.\n");
}

enum class ParseResult { kRun, kHelp, kVersion, kError };

ParseResult ParseArguments(const std::vector<std::string>& args, Options& options, std::FILE* err) {
  bool havePattern = false;
  bool optionsEnded = false;
  for (const std::string& arg : args) {
    if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (arg == "--") {
        optionsEnded = true;
        continue;
      }
      if (arg[1] == '-') {
        if (arg == "--help") return ParseResult::kHelp;
        if (arg == "--version") return ParseResult::kVersion;
        if (arg == "--fuzzy") {
          options.fuzzy = true;
          continue;
        }
        UsageError(err, "unrecognized option '" + arg + "'");
        return ParseResult::kError;
      }
      for (std::size_t k = 1; k < arg.size(); ++k) {
        switch (arg[k]) {
          case 'i':
            options.fuzzy = true;
            break;
          case 'n':
            options.lineNumbers = true;
            break;
          case 'c':
            options.countOnly = true;
            break;
          case 'o':
            options.onlyMatching = true;
            break;
          case 'H':
            options.fileNames = FileNames::kWith;
            break;
          case 'h':
            options.fileNames = FileNames::kWithout;
            break;
          default:
            UsageError(err, std::string("invalid option -- '") + arg[k] + "'");
            return ParseResult::kError;
        }
      }
      continue;
    }
    if (!havePattern) {
      options.pattern = arg;
      havePattern = true;
    } else {
      options.files.push_back(arg);
    }
  }
  if (!havePattern) {
    UsageError(err, "no pattern given");
    return ParseResult::kError;
  }
  return ParseResult::kRun;
}

}  // namespace

int Main(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  Options options;
  switch (ParseArguments(args, options, err)) {
    case ParseResult::kHelp:
      std::fputs(kUsage, out);
      return std::fflush(out) == 0 ? kExitMatch : kExitError;
    case ParseResult::kVersion:
      std::fprintf(out, "sjisgrep (Sorbit) %s\n", SJISGREP_VERSION);
      return std::fflush(out) == 0 ? kExitMatch : kExitError;
    case ParseResult::kError:
      return kExitError;
    case ParseResult::kRun:
      break;
  }

  std::optional<LineMatcher> matcher;
  try {
    matcher.emplace(options.pattern, options.fuzzy);
  } catch (const SjisRegExp::ERegExpParser& error) {
    std::fprintf(err, "%s: pattern:%u: %s\n", kProgram, static_cast<unsigned>(error.ErrorPos()),
                 error.what());
    return kExitError;
  }

  std::vector<std::string> files = options.files;
  if (files.empty()) files.push_back("-");
  const bool showName = options.fileNames == FileNames::kWith ||
                        (options.fileNames == FileNames::kAuto && files.size() > 1);

  Searcher searcher(options, *matcher, out, err);
  bool anyMatch = false;
  bool anyError = false;
  for (const std::string& file : files) {
    std::optional<std::uintmax_t> matching;
    if (file == "-") {
      matching = searcher.Search(stdin, "(standard input)", showName);
    } else {
      std::unique_ptr<std::FILE, CloseDeleter> in(std::fopen(file.c_str(), "rb"));
      if (!in) {
        searcher.Error(file, std::strerror(errno));
        anyError = true;
        continue;
      }
      matching = searcher.Search(in.get(), file, showName);
    }
    if (!matching) anyError = true;
    if (matching && *matching > 0) anyMatch = true;
  }

  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: write error: %s\n", kProgram, std::strerror(errno));
    return kExitError;
  }
  if (anyError) return kExitError;
  return anyMatch ? kExitMatch : kExitNoMatch;
}

}  // namespace sjisgrep
