// tekuri2svf: converts tekuri log files into SVF files from the command line, with the same
// engine, checks, backups and texts as the window.
#include <getopt.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FilesAhead.h"
#include "InputList.h"
#include "TerminalHost.h"
#include "convert/ConversionRun.h"
#include "convert/Paths.h"
#include "convert/ReplyNo.h"
#include "platform/filesystem/PosixFileSystem.h"
#include "platform/posix/PosixFile.h"

namespace {

constexpr const char* kProgram = "tekuri2svf";
constexpr const char* kVersion = TEKURI2SVF_VERSION;

constexpr int kExitOk = 0;
constexpr int kExitEarlyEnd = 1;
constexpr int kExitUsage = 2;
constexpr unsigned kMaxJobs = 1024;

constexpr std::string_view kUsage =
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
    "Exit status: 0 after the summary, 1 when the run ends early, 2 for a usage error.\n";

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
  unsigned n = 0;
  const char* end = text.data() + text.size();
  if (std::from_chars(text.data(), end, n).ptr != end || n < 1 || n > kMaxJobs) return {};
  return n;
}

// Says so when standard output could not be written (`error`, an errno value; 0 when it
// could): the user would otherwise take a lost summary for a finished run.
int ExitStatus(int status, int error) {
  if (error == 0) return status;
  std::fprintf(stderr, "%s: write error: %s\n", kProgram, std::strerror(error));
  return kExitEarlyEnd;
}

int PrintAndExit(std::string_view text) {
  return ExitStatus(kExitOk, sorbit::platform::WriteAll(STDOUT_FILENO, text));
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
        return PrintAndExit(kUsage);
      case kVersionOpt:
        return PrintAndExit(std::string(kProgram) + " (Sorbit) " + kVersion + "\n");
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
  sorbit::cli::TerminalHost host(kProgram, host_options, STDOUT_FILENO, stderr, stdin);
  sorbit::platform::PosixFileSystem fs;
  // Each file takes a few buffers of half a mebibyte or more and frees them at its end. By
  // default glibc maps each such block on its own and unmaps it when it is freed, so every
  // file would fault its buffers in afresh, a page at a time. Served from the heap and kept
  // there, they are reused by the next file. Only hints: a C library that refuses them costs
  // speed, not correctness.
  (void)::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  (void)::mallopt(M_TRIM_THRESHOLD, 256 << 20);
  sorbit::RunOutcome outcome;
  try {
    // The window's matcher settings and pattern, set once: one finder a thread.
    const auto new_finder = [] {
      auto finder = std::make_shared<const sorbit::ReplyNoFinder>();
      return sorbit::ReplyNumberFinder([finder](std::string_view title, std::string& reply_no) {
        finder->Find(title, reply_no);
      });
    };
    // With one job, the one-thread run: the engine's own loop, no helper threads.
    sorbit::cli::FilesAhead ahead(jobs, new_finder);
    outcome = sorbit::RunConversion(options, host, fs, new_finder(), jobs > 1 ? &ahead : nullptr);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "%s: not enough memory\n", kProgram);
    return kExitEarlyEnd;
  }
  return ExitStatus(outcome == sorbit::RunOutcome::Finished ? kExitOk : kExitEarlyEnd,
                    host.OutputError());
}
