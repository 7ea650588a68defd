// Shared helpers of the engine tests: an in-memory input, an output into a string and a host
// that records what the run shows and answers its question (the scratch folder is
// tests/support/TempDir.h).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "convert/ConversionRun.h"
#include "convert/LogReader.h"

namespace sorbit::testing {

// Hands out its bytes at most `piece` at a time, so that every buffer boundary is exercised.
class MemoryInputFile final : public InputFile {
 public:
  explicit MemoryInputFile(std::string bytes, std::size_t piece = 1 << 20)
      : bytes_(std::move(bytes)), piece_(piece) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, bytes_.size() - pos_});
    bytes_.copy(buffer, n, pos_);
    pos_ += n;
    return n;
  }
  long long Size() const override { return static_cast<long long>(bytes_.size()); }
  bool IsSameFile(const std::string&) const override { return false; }

 private:
  std::string bytes_;
  std::size_t piece_;
  std::size_t pos_ = 0;
};

// An output file that keeps its bytes in a string of the caller's.
class StringOutputFile final : public OutputFile {
 public:
  explicit StringOutputFile(std::string& bytes) : bytes_(bytes) {}
  void Write(std::string_view bytes) override { bytes_.append(bytes); }
  void Close() override {}

 private:
  std::string& bytes_;
};

// OutputLines that stream into a string.
struct StringLines {
  StringLines() : lines(std::make_unique<StringOutputFile>(bytes)) {}
  // Every byte appended so far.
  const std::string& Bytes() {
    lines.Finish();
    return bytes;
  }
  std::string bytes;
  OutputLines lines;
};

// Every message of a text, each as its list of lines.
inline std::vector<std::vector<std::string>> ReadAll(
    std::string bytes, std::size_t piece = 1 << 20,
    std::size_t buffer_bytes = LogReader::kDefaultBufferBytes) {
  LogReader reader(std::make_unique<MemoryInputFile>(std::move(bytes), piece), buffer_bytes);
  std::vector<std::vector<std::string>> messages;
  LogMessage m;
  while (!reader.AtEnd()) {
    if (!reader.ReadMessage(m)) break;
    std::vector<std::string> lines;
    for (std::string_view l : m.Lines()) lines.emplace_back(l);
    messages.push_back(std::move(lines));
  }
  return messages;
}

struct ShownMessage {
  MessageKind kind;
  MessageButtons buttons;
  std::string text;
  bool operator==(const ShownMessage&) const = default;
};

class RecordingHost final : public ConversionHost {
 public:
  MessageAnswer answer = MessageAnswer::Yes;  // to the folder question
  std::vector<ShownMessage> messages;
  std::vector<std::string> errors;
  std::vector<std::string> save_errors;  // what ReportSaveError was told
  std::vector<std::string> progress;     // label texts in order
  std::vector<std::string> prefix_changes;
  int shows = 0, closes = 0, event_passes = 0;

  MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons,
                            std::string_view text) override {
    messages.push_back({kind, buttons, std::string(text)});
    return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
  }
  void ReportError(std::string_view text) override { errors.emplace_back(text); }
  void ProcessEvents() override { ++event_passes; }
  void ShowProgress() override { ++shows; }
  void SetProgress(const ProgressInfo& p) override { progress.emplace_back(p.Text()); }
  void CloseProgress() override { ++closes; }
  void PrefixTurnedOn(std::string_view prefix) override { prefix_changes.emplace_back(prefix); }
  void ReportSaveError(std::string_view detail) override { save_errors.emplace_back(detail); }
};

// A file system that hands every call to another one; a test overrides the one call it
// wants to fail.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& real) : real_(real) {}
  bool IsRegularFile(const std::string& p) override { return real_.IsRegularFile(p); }
  bool IsDirectory(const std::string& p) override { return real_.IsDirectory(p); }
  bool Exists(const std::string& p) override { return real_.Exists(p); }
  LocalTime ModificationTime(const std::string& p) override { return real_.ModificationTime(p); }
  void CreateDirectory(const std::string& p) override { real_.CreateDirectory(p); }
  bool RenameNoReplace(const std::string& from, const std::string& to) override {
    return real_.RenameNoReplace(from, to);
  }
  std::unique_ptr<InputFile> OpenInput(const std::string& p) override { return real_.OpenInput(p); }
  std::unique_ptr<OutputFile> CreateOutput(const std::string& p) override {
    return real_.CreateOutput(p);
  }

 protected:
  FileSystem& real_;
};

}  // namespace sorbit::testing
