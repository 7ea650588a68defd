// sorbit-export: publishes SVF files and tekuri logs as a static web site, as UTF-8 text or as
// JSON lines, read by the archive library's rules.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

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
#include "platform/posix/PosixFile.h"
#include "platform/posix/TruncationGuard.h"

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

// The text of an input that another program cut short while it was read.
std::string CutShort(const std::string& path) {
  return path + ": the file was cut short while it was read; nothing more was written";
}

// Hands bytes on only while the input they were read from is whole: what was read after
// another program cut it short (zeros, under the truncation guard) never reaches the output.
class WholeInputSink final : public sorbit::exporter::ByteSink {
 public:
  explicit WholeInputSink(sorbit::exporter::ByteSink& sink) : sink_(sink) {}
  void Reading(const Archive* archive) { archive_ = archive; }
  int Write(std::string_view bytes) override {
    if (archive_ != nullptr && archive_->FileTruncated()) return EIO;
    return sink_.Write(bytes);
  }

 private:
  sorbit::exporter::ByteSink& sink_;
  const Archive* archive_ = nullptr;
};

// The input that `output` names too, if any: renaming the output over it would lose it.
const std::string* InputAtOutput(const std::vector<std::string>& inputs,
                                 const std::string& output) {
  struct stat out {};
  if (::stat(output.c_str(), &out) != 0) return nullptr;
  for (const std::string& input : inputs) {
    struct stat in {};
    if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
      return &input;
    }
  }
  return nullptr;
}

int ExportLines(const std::vector<std::string>& inputs, sorbit::exporter::LineFormat format,
                const std::optional<std::string>& output, Terminal& terminal) {
  using namespace sorbit::exporter;
  std::unique_ptr<ByteSink> sink;
  FileSink* file = nullptr;
  if (output) {
    if (const std::string* input = InputAtOutput(inputs, *output)) {
      terminal.Error("cannot write " + *output + ": it is the input " + *input +
                     " (nothing was written)");
      return kExitFailure;
    }
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
  WholeInputSink whole(*sink);
  OutputBuffer out(whole);
  bool read_all = true;
  for (const std::string& path : inputs) {
    const std::unique_ptr<Archive> archive = OpenIndexed(path, terminal);
    if (!archive) {
      read_all = false;
      break;
    }
    whole.Reading(archive.get());
    const long long count = archive->MessageCount();
    WriteMessageLines(*archive, path, format, out, [&](std::uint32_t written) {
      terminal.Progress(path, written, count + 4 * static_cast<long long>(written),
                        5 * std::max(count, 1LL));
    });
    // The rest of this input's output goes out now, while it can still be told whole.
    out.Flush();
    whole.Reading(nullptr);
    if (archive->FileTruncated()) {
      terminal.Close();
      terminal.Error(CutShort(path));
      read_all = false;
      break;
    }
    if (out.error() != 0) break;
  }
  terminal.Close();
  const std::string name = output ? *output : "standard output";
  int error = read_all ? out.Flush() : 0;
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
  const bool written = sorbit::exporter::WriteSite(dir, sources, report);
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
  if (inputs.empty()) {
    // Only folders were given, and none holds a log: most likely the wrong folder.
    std::fprintf(stderr, "%s: no file whose name ends in \".log\" in %s\n", kProgram,
                 argc - optind == 1 ? argv[optind] : "the folders given");
    return kExitFailure;
  }
  // An input that another program cuts short while it is mapped reads as zeros past its new
  // end instead of ending the program; the export then stops and writes nothing of it.
  sorbit::platform::InstallTruncationGuard();
  Terminal terminal(!quiet && ::isatty(STDERR_FILENO) != 0);
  if (mode == Mode::kHtml) return ExportSite(inputs, dir, terminal);
  const int status = ExportLines(inputs,
                                 mode == Mode::kJson ? sorbit::exporter::LineFormat::kJson
                                                     : sorbit::exporter::LineFormat::kText,
                                 output, terminal);
  return status;
}
