// The cost of reply numbers: converts one log with and without a ReplyNoFinder, alternating,
// in one process, and prints the median wall times and their ratio.
//   reply_bench LOGFILE OUTPUT_FOLDER [RUNS [with|without]]
// With "with" or "without" only that kind runs: for counting instructions under callgrind,
// which the machine's noise cannot disturb.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "../support/Median.h"
#include "convert/ConversionRun.h"
#include "convert/Paths.h"
#include "convert/ReplyNo.h"
#include "platform/filesystem/PosixFileSystem.h"

namespace {

class QuietHost final : public sorbit::ConversionHost {
 public:
  sorbit::MessageAnswer ShowMessage(sorbit::MessageKind, sorbit::MessageButtons,
                                    std::string_view) override {
    return sorbit::MessageAnswer::Yes;
  }
  void ReportError(std::string_view text) override {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  }
  void ProcessEvents() override {}
  void ShowProgress() override {}
  void SetProgress(const sorbit::ProgressInfo&) override {}
  void CloseProgress() override {}
  void PrefixTurnedOn(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: reply_bench LOGFILE OUTPUT_FOLDER [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  const std::string only = argc > 4 ? argv[4] : "";
  sorbit::platform::PosixFileSystem fs;
  QuietHost host;
  const sorbit::ReplyNoFinder finder;
  const sorbit::ReplyNumberFinder with = [&](std::string_view title, std::string& reply_no) {
    finder.Find(title, reply_no);
  };
  const std::string output = sorbit::OutputPath(argv[2], "svf", sorbit::BoardName(argv[1]), ".log");
  std::vector<double> plain, replies;
  for (int i = 0; i < 2 * runs; ++i) {
    if ((only == "with" && i % 2 == 0) || (only == "without" && i % 2 == 1)) continue;
    sorbit::ConversionOptions options;
    options.InputFiles = {argv[1]};
    options.InputFolder = std::string(sorbit::FolderPart(argv[1]));
    options.OutputFolder = argv[2];
    std::remove(output.c_str());
    const auto start = std::chrono::steady_clock::now();
    const sorbit::RunOutcome outcome =
        sorbit::RunConversion(options, host, fs, i % 2 ? with : sorbit::ReplyNumberFinder());
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (outcome != sorbit::RunOutcome::Finished) return 1;
    (i % 2 ? replies : plain).push_back(wall.count());
  }
  std::remove(output.c_str());
  if (!only.empty()) return 0;
  // The machine's noise only ever adds time: the fastest run of each kind is the steadiest
  // figure; the medians are printed beside it.
  const double a = *std::min_element(plain.begin(), plain.end());
  const double b = *std::min_element(replies.begin(), replies.end());
  std::printf(
      "without reply numbers %.3f s, with %.3f s: +%.1f%% (fastest of %d; medians %.3f s "
      "and %.3f s: +%.1f%%) (bar 10%%)\n",
      a, b, (b / a - 1) * 100, runs, sorbit::bench::Median(plain), sorbit::bench::Median(replies),
      (sorbit::bench::Median(replies) / sorbit::bench::Median(plain) - 1) * 100);
  return 0;
}
