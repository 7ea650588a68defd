#include "TerminalHost.h"

#include "platform/posix/PosixFile.h"

namespace sorbit::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

}  // namespace

std::string PlainLines(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain.push_back(text[i]);
  }
  return plain;
}

TerminalHost::TerminalHost(std::string program_name, TerminalHostOptions options, int out_fd,
                           std::FILE* err, std::FILE* in)
    : program_(std::move(program_name)), options_(options), out_fd_(out_fd), err_(err), in_(in) {}

MessageAnswer TerminalHost::ShowMessage(MessageKind kind, MessageButtons buttons,
                                        std::string_view text) {
  ClearProgressLine();
  const std::string plain = PlainLines(text);
  if (buttons == MessageButtons::Ok) {
    if (kind == MessageKind::Plain) {
      const int error = platform::WriteAll(out_fd_, plain + "\n");
      if (output_error_ == 0) output_error_ = error;
    } else {
      std::fprintf(err_, "%s: %s\n", program_.c_str(), plain.c_str());
    }
    return MessageAnswer::Ok;
  }
  // The only question of a run: whether to create the missing output folder.
  std::fprintf(err_, "%s: %s\n", program_.c_str(), plain.c_str());
  if (options_.assume_yes) {
    std::fprintf(err_, "%s: yes (--yes)\n", program_.c_str());
    return MessageAnswer::Yes;
  }
  if (!options_.interactive) {
    std::fprintf(err_, "%s: no terminal to answer on: not created (--yes creates it)\n",
                 program_.c_str());
    return MessageAnswer::No;
  }
  for (;;) {
    std::fprintf(err_, "[y/n] ");
    std::fflush(err_);
    char answer[64];
    if (std::fgets(answer, sizeof answer, in_) == nullptr) return MessageAnswer::No;
    if (answer[0] == 'y' || answer[0] == 'Y') return MessageAnswer::Yes;
    if (answer[0] == 'n' || answer[0] == 'N') return MessageAnswer::No;
  }
}

void TerminalHost::ReportError(std::string_view text) {
  ClearProgressLine();
  std::fprintf(err_, "%s: %s\n", program_.c_str(), PlainLines(text).c_str());
}

void TerminalHost::ReportSaveError(std::string_view detail) { ReportError(detail); }

void TerminalHost::ShowProgress() { last_draw_ = {}; }

void TerminalHost::SetProgress(const ProgressInfo& progress) {
  if (!options_.show_progress) return;
  const auto now = std::chrono::steady_clock::now();
  if (progress_drawn_ && now - last_draw_ < kProgressInterval) return;
  last_draw_ = now;
  const long long percent =
      progress.file_size > 0 ? progress.bytes_read * 100 / progress.file_size : 0;
  std::string file(progress.file_name);
  std::fprintf(err_, "\r\x1b[K%s: message %lld (%lld%%)", file.c_str(), progress.ordinal, percent);
  std::fflush(err_);
  progress_drawn_ = true;
}

void TerminalHost::CloseProgress() { ClearProgressLine(); }

void TerminalHost::PrefixTurnedOn(std::string_view prefix) {
  std::fprintf(err_, "%s: prefix \"%.*s\" is used\n", program_.c_str(),
               static_cast<int>(prefix.size()), prefix.data());
}

void TerminalHost::ClearProgressLine() {
  if (!progress_drawn_) return;
  std::fprintf(err_, "\r\x1b[K");
  std::fflush(err_);
  progress_drawn_ = false;
}

}  // namespace sorbit::cli
