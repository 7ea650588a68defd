// The conversion run's host on a terminal: the summary on stdout, every other message on
// stderr, the folder question asked on the terminal, and a progress line that is redrawn at
// most about ten times a second. Standard output is written with the platform's full write,
// which a signal cannot cut short.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "convert/ConversionRun.h"

namespace sorbit::cli {

struct TerminalHostOptions {
  bool assume_yes = false;     // create a missing output folder without asking
  bool show_progress = false;  // draw the progress line (only on a terminal)
  bool interactive = false;    // stdin and stderr are a terminal: questions can be asked
};

class TerminalHost final : public ConversionHost {
 public:
  TerminalHost(std::string program_name, TerminalHostOptions options, int out_fd, std::FILE* err,
               std::FILE* in);

  MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons,
                            std::string_view text) override;
  void ReportError(std::string_view text) override;
  void ProcessEvents() override {}
  void ShowProgress() override;
  void SetProgress(const ProgressInfo& progress) override;
  void CloseProgress() override;
  void PrefixTurnedOn(std::string_view prefix) override;
  // One line on stderr naming the file and the reason, before the save error's own line.
  void ReportSaveError(std::string_view detail) override;

  // The errno of the first failed write to standard output, or 0.
  int OutputError() const { return output_error_; }

 private:
  void ClearProgressLine();

  std::string program_;
  TerminalHostOptions options_;
  int out_fd_;
  int output_error_ = 0;
  std::FILE* err_;
  std::FILE* in_;
  bool progress_drawn_ = false;
  std::chrono::steady_clock::time_point last_draw_{};
};

// The text with its CR LF line breaks as plain line ends.
std::string PlainLines(std::string_view text);

}  // namespace sorbit::cli
