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
#include <new>
#include <optional>
#include <set>
#include <utility>

#include "BlockReader.h"
#include "Encoding.h"
#include "FileSearcher.h"
#include "LineMatcher.h"
#include "Options.h"
#include "Patterns.h"
#include "Printer.h"
#include "SjisRegExp/SjisRegExp.h"

namespace sjisgrep {

namespace {

constexpr char kProgram[] = "sjisgrep";

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
  std::vector<MatchPiece> pieces_;
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
  std::optional<std::vector<MatchPiece>> pieces = ReadPatterns(options_, encoding, err_);
  if (!pieces) return false;
  if (pieces->empty()) {
    noPatterns_ = true;  // an empty -f file, or patterns that can match nothing
    return true;
  }
  pieces_ = std::move(*pieces);
  return true;
}

int Grep::Run() {
  const TextEncoding encoding = options_.encoding ? *options_.encoding : LocaleEncoding();
  if (!BuildPatterns(encoding)) return kExitError;

  try {
    // -x takes a whole line, which leaves -w nothing to test (grep does the same).
    if (!noPatterns_) {
      lines_.emplace(pieces_, options_.fuzzy, options_.wordRegexp && !options_.lineRegexp);
    }
  } catch (const SjisRegExp::ERegExpParser& error) {
    // The translated patterns are well formed; the library refuses them only as too complex
    // (nesting or the size of their automaton).
    if (std::string_view(error.what()) == "正規表現が複雑すぎます。") {
      std::fprintf(err_, "%s: the patterns are too complex to search\n", kProgram);
    } else {
      std::fprintf(err_, "%s: internal error: the library refused the translated patterns: %s\n",
                   kProgram, error.what());
    }
    return kExitError;
  }

  bool colour = options_.color == ColorWhen::kAlways;
  if (options_.color == ColorWhen::kAuto) {
    const char* term = std::getenv("TERM");
    colour = ::isatty(::fileno(out_)) != 0 && term != nullptr && std::strcmp(term, "dumb") != 0;
  }
  const Colors colors = ColorsFromEnvironment();
  printer_.emplace(out_, encoding, colour ? &colors : nullptr, options_.nullAfterName);
  printer_->SetLineBuffered(options_.lineBuffered);
  printer_->SetLineEnd(options_.nullData ? '\0' : '\n');

  setup_.options = &options_;
  setup_.lines = lines_ ? &*lines_ : nullptr;
  setup_.checkLines = lines_ && lines_->NeedsCheck();
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
      if (!options_.skipDirectories) FileError(name, EISDIR);  // -d read; -d skip says nothing
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
  // are passed over; -D skip passes over those named on the command line too.
  if (!commandLine && !S_ISREG(info.st_mode)) return;
  if (options_.devices == DeviceAction::kSkip &&
      (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode) ||
       S_ISSOCK(info.st_mode))) {
    return;
  }
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
  const char* text = nullptr;
  std::string version;
  switch (ParseArguments(args, options, err)) {
    case ParseResult::kHelp:
      text = kHelpText;
      break;
    case ParseResult::kVersion:
      version = std::string("sjisgrep (Sorbit) ") + SJISGREP_VERSION + "\n";
      text = version.c_str();
      break;
    case ParseResult::kError:
      return kExitError;
    case ParseResult::kRun:
      break;
  }
  if (text != nullptr) {
    if (std::fputs(text, out) < 0 || std::fflush(out) != 0) {
      std::fprintf(err, "%s: write error: %s\n", kProgram, std::strerror(errno));
      return kExitError;
    }
    return kExitMatch;
  }
  // Memory runs out only for a pattern of huge counts or a line that cannot be held, both
  // told where they happen; anything else ends here as grep ends, not with an abort.
  try {
    Grep grep(options, out, err);
    return grep.Run();
  } catch (const std::bad_alloc&) {
    std::fflush(out);
    std::fprintf(err, "%s: memory exhausted\n", kProgram);
    return kExitError;
  }
}

}  // namespace sjisgrep
