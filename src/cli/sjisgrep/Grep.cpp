// sjisgrep's main program: patterns, the files and folders to search, the exit status.
#include "Grep.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "BlockReader.h"
#include "Encoding.h"
#include "FileSearcher.h"
#include "LineMatcher.h"
#include "Options.h"
#include "Printer.h"
#include "SjisRegExp/SjisRegExp.h"

namespace sjisgrep {

namespace {

constexpr char kProgram[] = "sjisgrep";

// A pattern ready for the library, with what is needed to tell its errors in the text as typed.
struct Pattern {
  std::string sjis;
  std::vector<std::size_t> typedOffset;  // per byte of sjis (and its end); empty: the same
};

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ > 2) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

// Splits pattern text at its newlines, as grep does: each line is a pattern of its own.
void SplitLines(const std::string& text, bool fromFile, std::vector<std::string>& into) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      // A file's last line needs no LF, and an LF at the end of a file adds no pattern.
      if (!(fromFile && start == text.size())) into.push_back(text.substr(start));
      return;
    }
    into.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
}

// Reads a whole pattern file (or standard input for "-") with the one block reader.
bool ReadWholeFile(const std::string& name, std::string& text) {
  const int fd = name == "-" ? 0 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  FdCloser closer(fd);
  BlockReader reader;
  reader.Reset(fd);
  for (;;) {
    switch (reader.Fill(reader.Begin())) {
      case BlockReader::Status::kRead:
        continue;
      case BlockReader::Status::kEnd:
        text.assign(reader.Begin(), reader.End());
        return true;
      case BlockReader::Status::kError:
        return false;
      case BlockReader::Status::kNoMemory:
        errno = ENOMEM;
        return false;
    }
  }
}

// -x: the pattern must match a whole line. A pattern's own anchors at its ends are dropped
// first, since inside the group they would stand for themselves.
std::string WithoutEndAnchors(std::string pattern) {
  if (!pattern.empty() && pattern[0] == '^') pattern.erase(0, 1);
  if (!pattern.empty() && pattern.back() == '$') {
    // The "$" is an anchor unless it is escaped: after an odd run of backslashes that are
    // characters of their own (not trail bytes).
    const std::size_t last = pattern.size() - 1;
    std::size_t backslashes = 0;
    while (backslashes < last && pattern[last - 1 - backslashes] == '\\' &&
           !SjisRegExp::IsTrailByte(pattern, last - 1 - backslashes)) {
      ++backslashes;
    }
    if (backslashes % 2 == 0 && !SjisRegExp::IsTrailByte(pattern, last)) pattern.pop_back();
  }
  return pattern;
}

class Grep {
 public:
  Grep(const Options& options, std::FILE* out, std::FILE* err)
      : options_(options), out_(out), err_(err) {}

  int Run();

 private:
  bool BuildPatterns(TextEncoding encoding);
  void SearchOperand(const std::string& name, bool commandLine, bool implicitDot);
  void SearchDirectory(const std::string& name, bool implicitDot);
  void SearchFd(int fd, const std::string& name, bool showName);
  bool Included(const std::string& name) const;
  void FileError(const std::string& name, int error);

  const Options& options_;
  std::FILE* out_;
  std::FILE* err_;
  std::string combined_;
  bool noPatterns_ = false;
  std::optional<LineMatcher> lines_;
  std::optional<Printer> printer_;
  std::optional<FileSearcher> searcher_;
  SearchSetup setup_;
  bool groupPrinted_ = false;
  bool showNames_ = false;
  bool anySelected_ = false;
  bool anyError_ = false;
  bool stop_ = false;
  std::set<std::pair<dev_t, ino_t>> openDirectories_;  // -R: folders on the current path
};

bool Grep::BuildPatterns(TextEncoding encoding) {
  std::vector<std::string> typed;
  for (const PatternSource& source : options_.patterns) {
    if (!source.isFile) {
      SplitLines(source.text, false, typed);
      continue;
    }
    std::string text;
    if (!ReadWholeFile(source.text, text)) {
      std::fprintf(err_, "%s: %s: %s\n", kProgram, source.text.c_str(), std::strerror(errno));
      return false;
    }
    SplitLines(text, true, typed);
  }
  std::vector<Pattern> patterns;
  for (const std::string& text : typed) {
    Pattern pattern;
    if (encoding == TextEncoding::kUtf8) {
      try {
        pattern.sjis = Utf8ToSjis(text, &pattern.typedOffset);
      } catch (const PatternEncodingError& error) {
        std::fprintf(err_, "%s: pattern: %s\n", kProgram, error.what());
        return false;
      }
    } else {
      pattern.sjis = text;
    }
    if (options_.fixedStrings) {
      pattern.sjis = SjisRegExp::QuoteMetaChars(pattern.sjis);
      pattern.typedOffset.clear();
    }
    if (options_.lineRegexp) pattern.sjis = WithoutEndAnchors(pattern.sjis);
    // Each pattern is compiled on its own first, so that an error names its place in it.
    try {
      SjisRegExp::TPatternOptions check;
      check.UseFuzzyCharDic = options_.fuzzy;
      SjisRegExp::TCompiledRegExp(pattern.sjis, check);
    } catch (const SjisRegExp::ERegExpParser& error) {
      std::size_t position = error.ErrorPos();
      if (!pattern.typedOffset.empty() && position >= 1) {
        const std::size_t at = std::min(position - 1, pattern.typedOffset.size() - 1);
        position = pattern.typedOffset[at] + 1;
      }
      std::fprintf(err_, "%s: pattern:%zu: %s\n", kProgram, position, error.what());
      return false;
    }
    patterns.push_back(std::move(pattern));
  }
  if (patterns.empty()) {
    noPatterns_ = true;  // an empty -f file: no line matches
    return true;
  }
  if (patterns.size() == 1) {
    combined_ = patterns[0].sjis;
  } else {
    for (std::size_t k = 0; k < patterns.size(); ++k) {
      if (k > 0) combined_ += '|';
      combined_ += "(" + patterns[k].sjis + ")";
    }
  }
  if (options_.lineRegexp) combined_ = "^(" + combined_ + ")$";
  return true;
}

int Grep::Run() {
  const TextEncoding encoding = options_.encoding ? *options_.encoding : LocaleEncoding();
  if (!BuildPatterns(encoding)) return kExitError;

  try {
    if (!noPatterns_) lines_.emplace(combined_, options_.fuzzy, options_.wordRegexp);
  } catch (const SjisRegExp::ERegExpParser& error) {
    std::fprintf(err_, "%s: pattern:%u: %s\n", kProgram, static_cast<unsigned>(error.ErrorPos()),
                 error.what());
    return kExitError;
  }

  bool colour = options_.color == ColorWhen::kAlways;
  if (options_.color == ColorWhen::kAuto) {
    const char* term = std::getenv("TERM");
    colour = ::isatty(::fileno(out_)) != 0 && term != nullptr && std::strcmp(term, "dumb") != 0;
  }
  const Colors colors = ColorsFromEnvironment();
  printer_.emplace(out_, encoding, colour ? &colors : nullptr, options_.nullAfterName);

  setup_.options = &options_;
  setup_.lines = lines_ ? &*lines_ : nullptr;
  setup_.checkLines = options_.wordRegexp;
  setup_.printer = &*printer_;
  setup_.groupPrinted = &groupPrinted_;
  searcher_.emplace(setup_);

  std::vector<std::string> files = options_.files;
  const bool implicitDot = files.empty() && options_.recursive;
  if (files.empty()) files.push_back(options_.recursive ? "." : "-");
  showNames_ = options_.fileNames == FileNames::kWith ||
               (options_.fileNames == FileNames::kAuto && files.size() > 1);
  for (const std::string& file : files) {
    if (stop_) break;
    SearchOperand(file, true, implicitDot);
  }

  if (!printer_->Flush()) {
    std::fprintf(err_, "%s: write error: %s\n", kProgram, std::strerror(errno));
    return kExitError;
  }
  if (options_.quiet && anySelected_) return kExitMatch;
  if (anyError_) return kExitError;
  return anySelected_ ? kExitMatch : kExitNoMatch;
}

void Grep::FileError(const std::string& name, int error) {
  anyError_ = true;
  if (!options_.noMessages) {
    std::fprintf(err_, "%s: %s: %s\n", kProgram, name.c_str(), std::strerror(error));
  }
}

bool Grep::Included(const std::string& name) const {
  const std::size_t slash = name.find_last_of('/');
  const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  for (const std::string& glob : options_.exclude) {
    if (fnmatch(glob.c_str(), base.c_str(), 0) == 0) return false;
  }
  if (options_.include.empty()) return true;
  for (const std::string& glob : options_.include) {
    if (fnmatch(glob.c_str(), base.c_str(), 0) == 0) return true;
  }
  return false;
}

void Grep::SearchOperand(const std::string& name, bool commandLine, bool implicitDot) {
  if (commandLine && name == "-") {
    SearchFd(0, options_.label ? *options_.label : "(standard input)", showNames_);
    return;
  }
  struct stat info;
  const bool follow = commandLine || options_.followLinks;
  if ((follow ? ::stat(name.c_str(), &info) : ::lstat(name.c_str(), &info)) != 0) {
    FileError(name, errno);
    return;
  }
  if (S_ISDIR(info.st_mode)) {
    if (!options_.recursive) {
      FileError(name, EISDIR);
      return;
    }
    const std::size_t slash = name.find_last_of('/', name.size() > 1 ? name.size() - 2 : 0);
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    for (const std::string& glob : options_.excludeDir) {
      if (!(commandLine && name == ".") && fnmatch(glob.c_str(), base.c_str(), 0) == 0) return;
    }
    const auto key = std::make_pair(info.st_dev, info.st_ino);
    if (!openDirectories_.insert(key).second) {
      if (!options_.noMessages) {
        std::fprintf(err_, "%s: %s: recursive directory loop\n", kProgram, name.c_str());
      }
      return;
    }
    SearchDirectory(name, implicitDot && commandLine);
    openDirectories_.erase(key);
    return;
  }
  // In a folder, only regular files are read: devices, pipes and (with -r) symbolic links
  // are passed over.
  if (!commandLine && !S_ISREG(info.st_mode)) return;
  if (!Included(name)) return;
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    FileError(name, errno);
    return;
  }
  FdCloser closer(fd);
  SearchFd(fd, name, commandLine ? showNames_ : options_.fileNames != FileNames::kWithout);
}

void Grep::SearchDirectory(const std::string& name, bool implicitDot) {
  DIR* dir = ::opendir(name.c_str());
  if (dir == nullptr) {
    FileError(name, errno);
    return;
  }
  std::vector<std::string> entries;
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string child = entry->d_name;
    if (child != "." && child != "..") entries.push_back(child);
  }
  const int readError = errno;
  ::closedir(dir);
  if (readError != 0) FileError(name, readError);
  // Sorted, so that the output does not depend on the order the file system keeps.
  std::sort(entries.begin(), entries.end());
  for (const std::string& child : entries) {
    if (stop_) return;
    std::string path;
    if (implicitDot) {
      path = child;
    } else {
      path = name;
      if (path.back() != '/') path += '/';
      path += child;
    }
    SearchOperand(path, false, false);
  }
}

void Grep::SearchFd(int fd, const std::string& name, bool showName) {
  struct stat info;
  const bool known = ::fstat(fd, &info) == 0;
  if (known && S_ISDIR(info.st_mode)) {
    FileError(name, EISDIR);
    return;
  }
  // Reading the file that the lines are written to would never end (or would read its own
  // output): as grep does, such an input is an error unless nothing is printed from it.
  struct stat output;
  const bool printsLines =
      !options_.quiet && !options_.countOnly && !options_.listMatching && !options_.listNonMatching;
  if (printsLines && known && S_ISREG(info.st_mode) && ::fstat(::fileno(out_), &output) == 0 &&
      S_ISREG(output.st_mode) && output.st_dev == info.st_dev && output.st_ino == info.st_ino) {
    anyError_ = true;
    if (!options_.noMessages) {
      std::fprintf(err_, "%s: %s: input file is also the output\n", kProgram, name.c_str());
    }
    return;
  }
  const FileSearcher::Outcome outcome = searcher_->Search(fd, name, showName, err_);
  if (outcome.error) anyError_ = true;
  if (outcome.selected > 0) anySelected_ = true;
  if (outcome.stopAll) stop_ = true;
  // A failed write (a full disk, a closed pipe) ends the run; the caller reports it.
  if (printer_->Failed()) stop_ = true;
}

}  // namespace

int Main(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  Options options;
  switch (ParseArguments(args, options, err)) {
    case ParseResult::kHelp:
      std::fputs(kHelpText, out);
      return std::fflush(out) == 0 ? kExitMatch : kExitError;
    case ParseResult::kVersion:
      std::fprintf(out, "sjisgrep (Sorbit) %s\n", SJISGREP_VERSION);
      return std::fflush(out) == 0 ? kExitMatch : kExitError;
    case ParseResult::kError:
      return kExitError;
    case ParseResult::kRun:
      break;
  }
  Grep grep(options, out, err);
  return grep.Run();
}

}  // namespace sjisgrep
