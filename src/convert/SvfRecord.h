// SVF record builder: turns one tekuri message into its SVF lines.
//
// A record is an empty line, "@@@MSG,0,<board>,<id>,<handle>,<date>,<time>",
// "@@@<msgno>,<replyno>,0,<title>", then every line of the message as held. An SVF file is
// the records of one input file in order, every line followed by CR LF, and nothing else.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/LogReader.h"

namespace sorbit {

// The message options of a conversion run that shape a record.
struct RecordOptions {
  bool AddMsgNo = true;      // number messages that carry no "NO:" label
  bool DivEMail = true;      // split " <address>" off the handle
  bool UseEMail4ID = false;  // with DivEMail: the address becomes the ID
};

// The output lines of one message.
using SvfRecord = std::vector<std::string>;

SvfRecord BuildSvfRecord(const LogMessage& message, long long message_count,
                         std::string_view board_name, std::string_view reply_no,
                         const RecordOptions& options);
// The same record as the bytes of a file, every line followed by CR LF, appended to `bytes`.
void AppendSvfRecord(std::string& bytes, const LogMessage& message, long long message_count,
                     std::string_view board_name, std::string_view reply_no,
                     const RecordOptions& options);

// The SVF bytes of one output file, streamed into the file as they are built: every line
// followed by CR LF. They are built in a ring of buffers of kBufferBytes; a full one is handed
// to the file (OutputFile::Write) while the next is filled, so that a file that writes on a
// helper thread is seldom waited for and never copied from. Memory stays the ring, whatever
// the size of the file.
//
// The first failure of the file is kept (Error) and every byte after it dropped: the run still
// reads its input to the end, since a read error is reported before a save error.
//
// Invariants: begin_ <= at_ <= end_ = begin_ + kBufferBytes inside the current buffer, or all
// three null (before the first byte and after Finish); the file is there exactly while no
// failure is kept.
class OutputLines {
 public:
  static constexpr std::size_t kBufferBytes = 512 * 1024;
  static constexpr int kBuffers = OutputFile::kPiecesInFlight + 1;  // and the one being filled

  // Streams into `file`.
  explicit OutputLines(std::unique_ptr<OutputFile> file);
  // An output that could not be created: `error` is kept and every byte dropped.
  explicit OutputLines(FileError error);
  OutputLines(OutputLines&&) noexcept = default;
  OutputLines& operator=(OutputLines&&) = delete;

  void AppendLine(std::string_view line);
  void AppendRecord(const LogMessage& message, long long message_count, std::string_view board_name,
                    std::string_view reply_no, const RecordOptions& options);
  // Hands the rest to the file and waits until the file has written everything; the buffers
  // are freed. A later append would start them afresh.
  void Finish();
  // Finish, then Close: the output appears under its name. Throws the kept failure, or
  // Close's (FileError).
  void Commit();
  const std::optional<FileError>& Error() const { return error_; }
  // Bytes appended so far, dropped ones included.
  long long Size() const { return flushed_ + (at_ - begin_); }

 private:
  void Append(std::string_view bytes);
  // Hands the current buffer's bytes to the file, and with `flush` waits until it has written
  // everything; keeps the first failure.
  void HandOver(bool flush);
  // Hands the current buffer's bytes to the file and makes the next buffer current.
  void Spill();
  void Fail(const FileError& error);

  // Before the file, so that they outlive it: a file that writes on a helper thread may be
  // writing from one of them until it is gone.
  std::unique_ptr<char[]> buffers_[kBuffers];
  std::unique_ptr<OutputFile> file_;  // null once it failed
  std::optional<FileError> error_;
  int current_ = 0;
  char* begin_ = nullptr;  // the current buffer: [begin_, at_) built, [at_, end_) free
  char* at_ = nullptr;
  char* end_ = nullptr;
  long long flushed_ = 0;
  std::string scratch_;  // a header that runs across a buffer's end
};

}  // namespace sorbit
