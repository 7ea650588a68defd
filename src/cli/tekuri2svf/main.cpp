// tekuri2svf: converts tekuri log files into SVF files from the command line, with the same
// engine, checks, backups and texts as the window.
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "InputList.h"
#include "MemoryReuse.h"
#include "OrderedRun.h"
#include "TerminalHost.h"
#include "convert/ConversionRun.h"
#include "convert/Paths.h"
#include "convert/ReplyNo.h"
#include "platform/filesystem/PosixFileSystem.h"

namespace {

constexpr const char* kProgram = "tekuri2svf";
constexpr const char* kVersion = TEKURI2SVF_VERSION;

constexpr int kExitOk = 0;
constexpr int kExitEarlyEnd = 1;
constexpr int kExitUsage = 2;
constexpr unsigned kMaxJobs = 1024;

void PrintUsage(std::FILE* to) {
  std::fputs(
      "Usage: tekuri2svf [OPTIONS] LOGFILE...\n"
      "Convert tekuri log files into SVF files for the SHOWPC viewer.\n"
      "\n"
      "  -o, --output-dir DIR   output folder (default: the folder of the first LOGFILE, with "
      "its final \"/\")\n"
      "  -p, --prefix TEXT      file-name prefix (default: svf; an empty TEXT means none)\n"
      "  -e, --extension EXT    extension (default: .log)\n"
      "      --no-msgno         AddMsgNo off (default on)\n"
      "      --keep-email       DivEMail off (default on)\n"
      "      --email-id         UseEMail4ID on (default off)\n"
      "  -y, --yes              create a missing output folder without asking\n"
      "  -q, --quiet            no progress display\n"
      "  -j, --jobs N           convert N files at a time (default: the number of processors);\n"
      "                         outputs, messages and exit status are those of -j 1\n"
      "      --help             show this help and exit\n"
      "      --version          show the version and exit\n"
      "\n"
      "Each LOGFILE becomes OUTPUT-DIR/PREFIX + BOARD + EXT, BOARD being the file name less\n"
      "its last four bytes. A folder given as LOGFILE stands for the files directly in it\n"
      "whose names end in \".log\" (any letter case), in name order. An existing output file\n"
      "is first renamed to a dated backup. Files are saved in the order given.\n"
      "Exit status: 0 after the summary, 1 when the run ends early, 2 for a usage error.\n",
      to);
}

int UsageError(const char* message) {
  if (message != nullptr) std::fprintf(stderr, "%s: %s\n", kProgram, message);
  std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
  return kExitUsage;
}

// The current folder with its final "/"; nullopt, with errno set, when it cannot be found
// (it may have been removed while we stood in it).
std::optional<std::string> CurrentFolder() {
  std::vector<char> cwd(4096);
  while (::getcwd(cwd.data(), cwd.size()) == nullptr) {
    if (errno != ERANGE) return std::nullopt;
    cwd.resize(cwd.size() * 2);
  }
  std::string folder(cwd.data());
  if (folder != "/") folder.push_back('/');
  return folder;
}

// The number of processors online, at least 1.
unsigned OnlineProcessors() {
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n < 1 ? 1u : n > kMaxJobs ? kMaxJobs : static_cast<unsigned>(n);
}

// A job count: a decimal number from 1 to kMaxJobs, nothing else.
std::optional<unsigned> ParseJobs(std::string_view text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  if (n < 1 || n > kMaxJobs) return std::nullopt;
  return n;
}

// Writes out what is still buffered for standard output; false, after a message, when it
// could not be written (a full disk, a closed pipe): the user would otherwise take a lost
// summary for a finished run.
bool FlushStandardOutput() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "%s: write error: %s\n", kProgram, std::strerror(error));
  return false;
}

// The text of an option error. getopt_long leaves the offending argument in different places
// for each kind of error, so each is named from what getopt tells about it: a short option by
// its letter (its cluster may still be being read), a long one by the argument it came in.
std::string OptionError(int result, const option* options, char** argv) {
  const std::string element = argv[optind - 1];
  const std::string name = element.substr(0, element.find('='));
  const bool long_form = element.rfind("--", 0) == 0;
  if (result == ':') {
    if (long_form) return "option '" + name + "' requires an argument";
    return std::string("option requires an argument -- '") + static_cast<char>(optopt) + "'";
  }
  if (optopt == 0) {
    // An unknown long option, or an abbreviation of more than one.
    int matches = 0;
    for (const option* o = options; o->name != nullptr; ++o) {
      if (std::string_view(o->name).starts_with(std::string_view(name).substr(2))) ++matches;
    }
    if (matches > 1) return "option '" + name + "' is ambiguous";
    return "unrecognized option '" + element + "'";
  }
  for (const option* o = options; o->name != nullptr; ++o) {
    if (o->val == optopt && o->has_arg == no_argument && long_form) {
      return "option '--" + std::string(o->name) + "' doesn't allow an argument";
    }
  }
  return std::string("invalid option -- '") + static_cast<char>(optopt) + "'";
}

}  // namespace

int main(int argc, char** argv) {
  enum LongOnly { kNoMsgNo = 256, kKeepEmail, kEmailId, kHelp, kVersionOpt };
  static const option kOptions[] = {
      {"output-dir", required_argument, nullptr, 'o'},
      {"prefix", required_argument, nullptr, 'p'},
      {"extension", required_argument, nullptr, 'e'},
      {"no-msgno", no_argument, nullptr, kNoMsgNo},
      {"keep-email", no_argument, nullptr, kKeepEmail},
      {"email-id", no_argument, nullptr, kEmailId},
      {"yes", no_argument, nullptr, 'y'},
      {"quiet", no_argument, nullptr, 'q'},
      {"jobs", required_argument, nullptr, 'j'},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersionOpt},
      {nullptr, 0, nullptr, 0},
  };

  sorbit::ConversionOptions options;
  bool output_dir_given = false;
  sorbit::cli::TerminalHostOptions host_options;
  bool quiet = false;
  unsigned jobs = OnlineProcessors();
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":o:p:e:yqj:", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'o':
        // An empty folder would put the outputs below the root.
        if (*optarg == '\0')
          return UsageError("the output folder is empty (-o . names the current one)");
        options.OutputFolder = optarg;
        output_dir_given = true;
        break;
      case 'p':
        options.Prefix = optarg;
        options.UsePrefix = !options.Prefix.empty();
        break;
      case 'e':
        options.Extension = optarg;
        break;
      case kNoMsgNo:
        options.AddMsgNo = false;
        break;
      case kKeepEmail:
        options.DivEMail = false;
        break;
      case kEmailId:
        options.UseEMail4ID = true;
        break;
      case 'y':
        host_options.assume_yes = true;
        break;
      case 'q':
        quiet = true;
        break;
      case 'j':
        if (const std::optional<unsigned> n = ParseJobs(optarg)) {
          jobs = *n;
        } else {
          return UsageError(("invalid number of jobs: '" + std::string(optarg) + "'").c_str());
        }
        break;
      case kHelp:
        PrintUsage(stdout);
        return FlushStandardOutput() ? kExitOk : kExitEarlyEnd;
      case kVersionOpt:
        std::printf("%s (Sorbit) %s\n", kProgram, kVersion);
        return FlushStandardOutput() ? kExitOk : kExitEarlyEnd;
      default:
        return UsageError(OptionError(c, kOptions, argv).c_str());
    }
  }
  if (optind >= argc) return UsageError("no LOGFILE given");
  const std::optional<std::string> cwd = CurrentFolder();
  const int cwd_error = errno;
  std::vector<std::string> arguments;
  for (int i = optind; i < argc; ++i) {
    if (argv[i][0] == '/') {
      arguments.emplace_back(argv[i]);
    } else if (cwd) {
      arguments.push_back(*cwd + argv[i]);
    } else {
      std::fprintf(stderr, "%s: cannot find the current folder: %s\n", kProgram,
                   std::strerror(cwd_error));
      return kExitEarlyEnd;
    }
  }
  try {
    options.InputFiles = sorbit::cli::ExpandFolders(arguments);
  } catch (const sorbit::FileError& error) {
    std::fprintf(stderr, "%s: %s\n", kProgram, error.reason.c_str());
    return kExitEarlyEnd;
  }
  if (options.InputFiles.empty()) {
    // Only folders were given, and none holds a log.
    std::fprintf(stderr, "%s: no file whose name ends in \".log\" in %s\n", kProgram,
                 arguments.size() == 1 ? arguments.front().c_str() : "the folders given");
    return kExitEarlyEnd;
  }
  options.InputFolder = std::string(sorbit::FolderPart(options.InputFiles.front()));
  if (!output_dir_given) options.OutputFolder = options.InputFolder;

  const bool err_is_tty = ::isatty(STDERR_FILENO) != 0;
  host_options.interactive = err_is_tty && ::isatty(STDIN_FILENO) != 0;
  host_options.show_progress = err_is_tty && !quiet;
  sorbit::cli::TerminalHost host(kProgram, host_options, stdout, stderr, stdin);
  sorbit::platform::PosixFileSystem fs;
  sorbit::cli::KeepFreedMemoryForReuse();
  // The window's matcher settings: CR LF lines, both dictionaries off. One matcher a thread.
  const sorbit::cli::ReplyNumberFinderFactory new_finder = [] {
    auto matcher = std::make_shared<SjisRegExp::TAWKStr>();
    matcher->SetLineSeparator(SjisRegExp::mcls_CRLF);
    matcher->SetUseFuzzyCharDic(false);
    matcher->SetUseSynonymDic(false);
    return sorbit::ReplyNumberFinder([matcher](std::string_view title, std::string& reply_no) {
      sorbit::ExtractReplyNo(*matcher, title, reply_no);
    });
  };
  sorbit::RunOutcome outcome;
  if (jobs == 1) {
    // The one-thread run: the engine's own loop, no helper threads.
    outcome = sorbit::RunConversion(options, host, fs, new_finder());
  } else {
    // With fewer files than jobs the spare processors read input and map output memory
    // ahead instead.
    const bool spare = options.InputFiles.size() < jobs;
    outcome = sorbit::cli::RunInOrder(options, host, fs, {jobs, spare, spare}, new_finder);
  }
  const bool written = FlushStandardOutput();
  return outcome == sorbit::RunOutcome::Finished && written ? kExitOk : kExitEarlyEnd;
}
