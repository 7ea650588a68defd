// sorbit-export: publishes SVF files and tekuri logs as a static web site, as UTF-8 text or as
// JSON lines, read by the archive library's rules.
#include <getopt.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "InputList.h"
#include "TerminalHost.h"
#include "archive/Archive.h"
#include "export/FileOutput.h"
#include "export/MessageLines.h"
#include "export/OutputBuffer.h"
#include "export/Site.h"
#include "platform/posix/AtomicFileWriter.h"
#include "platform/posix/PosixFile.h"

namespace {

using sorbit::archive::Archive;
using sorbit::archive::ArchiveError;

constexpr const char* kProgram = "sorbit-export";
constexpr const char* kVersion = SORBIT_EXPORT_VERSION;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

enum class Mode { kNone, kHtml, kText, kJson };

void PrintUsage(std::FILE* to) {
  std::fputs(
      "Usage: sorbit-export [OPTIONS] FILE|FOLDER...\n"
      "Publish SVF files and tekuri logs as a static web site, UTF-8 text or JSON lines.\n"
      "\n"
      "      --html DIR      write a static web site into DIR (made when missing)\n"
      "      --text          write UTF-8 text: a header line and the body of each message\n"
      "      --jsonl         write JSON lines: one object a message\n"
      "  -o, --output FILE   write the text or JSON lines to FILE (default: standard output)\n"
      "  -q, --quiet         no progress display\n"
      "      --help          show this help and exit\n"
      "      --version       show the version and exit\n"
      "\n"
      "Exactly one of --html, --text and --jsonl is given. Each FILE is an SVF file or a\n"
      "tekuri log, told apart by content; a FOLDER stands for the files directly in it whose\n"
      "names end in \".log\" (any letter case), in name order. A FILE written with -o, and\n"
      "every file of the site, appears under its name only when it is whole.\n"
      "Exit status: 0 when everything was written, 1 when a file could not be read or\n"
      "written, 2 for a usage error.\n",
      to);
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
  std::fprintf(stderr, "Try '%s --help' for more information.\n", kProgram);
  return kExitUsage;
}

bool FlushStandardOutput() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "%s: write error: %s\n", kProgram, std::strerror(errno != 0 ? errno : EIO));
  return false;
}

// The input being read, for the bus-error handler: a file that another program shortens
// while it is mapped raises SIGBUS when the lost pages are touched.
std::atomic<const char*> g_reading{nullptr};

void WriteToStandardError(const char* text) {
  for (std::size_t left = std::strlen(text); left > 0;) {
    const ssize_t n = ::write(STDERR_FILENO, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

// Names the file, removes the temporary files of the outputs being written (so nothing of
// them is left), and ends the program with status 1. Async-signal-safe.
extern "C" void OnBusError(int) {
  WriteToStandardError("\r\x1b[K");
  WriteToStandardError(kProgram);
  WriteToStandardError(": ");
  const char* path = g_reading.load();
  WriteToStandardError(path != nullptr ? path : "an input file");
  WriteToStandardError(": the file was cut short while it was read; nothing was finished\n");
  sorbit::platform::RemoveTemporaryFiles();
  ::_exit(kExitFailure);
}

void HandleBusErrors() {
  struct sigaction action {};
  action.sa_handler = OnBusError;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

// Progress and errors on the terminal, in the converter's style.
class Terminal {
 public:
  explicit Terminal(bool show_progress)
      : host_(kProgram, Options(show_progress), STDOUT_FILENO, stderr, stdin) {}

  // `share` of the work on `path` is done, out of `whole`; `messages` so far.
  void Progress(const std::string& path, long long messages, long long share, long long whole) {
    name_ = sorbit::platform::NameOfPath(path);
    if (name_.empty()) name_ = path;  // a folder given with its final "/"
    sorbit::ProgressInfo info;
    info.file_name = name_;
    info.ordinal = messages;
    info.bytes_read = share;
    info.file_size = whole;
    host_.SetProgress(info);
  }
  void Error(std::string_view text) { host_.ReportError(text); }
  void Close() { host_.CloseProgress(); }

 private:
  static sorbit::cli::TerminalHostOptions Options(bool show_progress) {
    sorbit::cli::TerminalHostOptions options;
    options.show_progress = show_progress;
    return options;
  }

  sorbit::cli::TerminalHost host_;
  std::string name_;
};

// Opens and indexes one input; nullptr after reporting why it could not be read. The index
// counts as the first fifth of the file's work.
std::unique_ptr<Archive> OpenIndexed(const std::string& path, Terminal& terminal) {
  g_reading.store(path.c_str());
  std::unique_ptr<Archive> archive;
  try {
    archive = Archive::Open(path);
  } catch (const ArchiveError& error) {
    terminal.Error(error.reason);
    return nullptr;
  }
  archive->BuildIndex([&](std::uint64_t read, std::uint64_t size) {
    terminal.Progress(path, archive->MessageCount(), static_cast<long long>(read),
                      static_cast<long long>(size) * 5);
  });
  return archive;
}

int ExportLines(const std::vector<std::string>& inputs, sorbit::exporter::LineFormat format,
                const std::optional<std::string>& output, Terminal& terminal) {
  using namespace sorbit::exporter;
  std::unique_ptr<ByteSink> sink;
  FileSink* file = nullptr;
  if (output) {
    auto file_sink = std::make_unique<FileSink>();
    if (const int error = file_sink->Open(*output); error != 0) {
      terminal.Error("cannot write " + *output + ": " + std::strerror(error));
      return kExitFailure;
    }
    file = file_sink.get();
    sink = std::move(file_sink);
  } else {
    sink = std::make_unique<DescriptorSink>(STDOUT_FILENO);
  }
  OutputBuffer out(*sink);
  bool read_all = true;
  for (const std::string& path : inputs) {
    const std::unique_ptr<Archive> archive = OpenIndexed(path, terminal);
    if (!archive) {
      read_all = false;
      break;
    }
    const long long count = archive->MessageCount();
    WriteMessageLines(*archive, path, format, out, [&](std::uint32_t written) {
      terminal.Progress(path, written, count + 4 * static_cast<long long>(written),
                        5 * std::max(count, 1LL));
    });
    if (out.error() != 0) break;
  }
  g_reading.store(nullptr);
  terminal.Close();
  const std::string name = output ? *output : "standard output";
  int error = out.Flush();
  if (file != nullptr) {
    if (error == 0 && read_all) error = file->Commit();
    if (error != 0 || !read_all) file->Abandon();
  }
  if (error != 0) terminal.Error("cannot write " + name + ": " + std::strerror(error));
  return read_all && error == 0 ? kExitOk : kExitFailure;
}

int ExportSite(const std::vector<std::string>& inputs, const std::string& dir, Terminal& terminal) {
  std::vector<std::unique_ptr<Archive>> archives;
  std::vector<sorbit::exporter::SiteSource> sources;
  for (const std::string& path : inputs) {
    archives.push_back(OpenIndexed(path, terminal));
    if (!archives.back()) {
      terminal.Close();
      terminal.Error("no site was written");
      return kExitFailure;
    }
    sources.push_back({path, archives.back().get()});
  }
  sorbit::exporter::SiteReport report;
  report.error = [&terminal](std::string_view text) { terminal.Error(text); };
  report.progress = [&](std::uint64_t done, std::uint64_t total) {
    terminal.Progress(dir, static_cast<long long>(done), static_cast<long long>(done),
                      static_cast<long long>(std::max<std::uint64_t>(total, 1)));
  };
  // The inputs stay mapped while pages are written: a file cut short now is still named.
  report.reading = [](const std::string& path) { g_reading.store(path.c_str()); };
  const bool written = sorbit::exporter::WriteSite(dir, sources, report);
  g_reading.store(nullptr);
  terminal.Close();
  return written ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
  enum LongOnly { kHtml = 256, kText, kJson, kHelp, kVersionOpt };
  static const option kOptions[] = {
      {"html", required_argument, nullptr, kHtml},    {"text", no_argument, nullptr, kText},
      {"jsonl", no_argument, nullptr, kJson},         {"output", required_argument, nullptr, 'o'},
      {"quiet", no_argument, nullptr, 'q'},           {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersionOpt}, {nullptr, 0, nullptr, 0},
  };
  Mode mode = Mode::kNone;
  std::string dir;
  std::optional<std::string> output;
  bool quiet = false;
  auto choose = [&mode](Mode chosen) {
    if (mode != Mode::kNone && mode != chosen) return false;
    mode = chosen;
    return true;
  };
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":o:q", kOptions, nullptr)) != -1;) {
    switch (c) {
      case kHtml:
        if (*optarg == '\0')
          return UsageError("the site's folder is empty (--html . names the current one)");
        if (!choose(Mode::kHtml)) return UsageError("give only one of --html, --text and --jsonl");
        dir = optarg;
        break;
      case kText:
        if (!choose(Mode::kText)) return UsageError("give only one of --html, --text and --jsonl");
        break;
      case kJson:
        if (!choose(Mode::kJson)) return UsageError("give only one of --html, --text and --jsonl");
        break;
      case 'o':
        if (*optarg == '\0') return UsageError("the output file is empty");
        output = optarg;
        if (*output == "-") output.reset();
        break;
      case 'q':
        quiet = true;
        break;
      case kHelp:
        PrintUsage(stdout);
        return FlushStandardOutput() ? kExitOk : kExitFailure;
      case kVersionOpt:
        std::printf("%s (Sorbit) %s\n", kProgram, kVersion);
        return FlushStandardOutput() ? kExitOk : kExitFailure;
      case ':':
        return UsageError(std::string("option '") + argv[optind - 1] + "' requires an argument");
      default:
        return UsageError(std::string("unrecognized option '") + argv[optind - 1] + "'");
    }
  }
  if (mode == Mode::kNone) return UsageError("give one of --html, --text and --jsonl");
  if (mode == Mode::kHtml && output)
    return UsageError("-o goes with --text and --jsonl, not --html");
  if (optind >= argc) return UsageError("no FILE given");
  std::vector<std::string> inputs;
  try {
    inputs = sorbit::cli::ExpandFolders(std::vector<std::string>(argv + optind, argv + argc));
  } catch (const sorbit::FileError& error) {
    std::fprintf(stderr, "%s: %s\n", kProgram, error.reason.c_str());
    return kExitFailure;
  }
  HandleBusErrors();
  Terminal terminal(!quiet && ::isatty(STDERR_FILENO) != 0);
  if (mode == Mode::kHtml) return ExportSite(inputs, dir, terminal);
  const int status = ExportLines(inputs,
                                 mode == Mode::kJson ? sorbit::exporter::LineFormat::kJson
                                                     : sorbit::exporter::LineFormat::kText,
                                 output, terminal);
  return status;
}
