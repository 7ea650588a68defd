// SVF record builder: turns one tekuri message into its SVF lines.
//
// A record is an empty line, "@@@MSG,0,<board>,<id>,<handle>,<date>,<time>",
// "@@@<msgno>,<replyno>,0,<title>", then every line of the message as held. An SVF file is
// the records of one input file in order, every line followed by CR LF, and nothing else.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/Decimal.h"
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

// The two "@@@" header lines of a record, without line ends.
struct SvfHeader {
  std::string msg_line;     // "@@@MSG,0,..."
  std::string number_line;  // "@@@<msgno>,..."
};

SvfHeader BuildSvfHeader(const LogMessage& message, long long message_count,
                         std::string_view board_name, std::string_view reply_no,
                         const RecordOptions& options);
// The same, into the strings of `header`, whose capacity is reused.
void BuildSvfHeaderInto(SvfHeader& header, const LogMessage& message, long long message_count,
                        std::string_view board_name, std::string_view reply_no,
                        const RecordOptions& options);

SvfRecord BuildSvfRecord(const LogMessage& message, long long message_count,
                         std::string_view board_name, std::string_view reply_no,
                         const RecordOptions& options);

// Where an OutputLines gets the fresh chunks it fills, each of OutputLines::kChunkBytes
// bytes. A front end may hand out chunks whose pages it had mapped ahead of time, on a helper
// thread, so that filling them takes no page faults; the bytes written are the same.
class OutputChunkSource {
 public:
  virtual ~OutputChunkSource() = default;
  virtual std::unique_ptr<char[]> TakeChunk() = 0;
};

// The SVF bytes of one output file as they are built: every line followed by CR LF. Held in
// fixed-size chunks so that a large file never needs a doubled buffer.
class OutputLines {
 public:
  // `prepare`, when given, is called with every chunk before it is filled.
  static constexpr std::size_t kChunkBytes = 1 << 20;

  explicit OutputLines(MemoryPreparer prepare = nullptr) : prepare_(prepare) {}
  // Takes every chunk from `chunks`, which must outlive the filling.
  explicit OutputLines(OutputChunkSource& chunks) : chunk_source_(&chunks) {}

  void AppendLine(std::string_view line);
  void AppendRecord(const LogMessage& message, long long message_count, std::string_view board_name,
                    std::string_view reply_no, const RecordOptions& options);
  std::size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  // The chunks in order; their concatenation is the file's bytes.
  std::vector<std::string_view> Chunks() const;
  std::string ToString() const;

 private:
  void Append(std::string_view bytes);

  void AddChunk();

  std::vector<std::unique_ptr<char[]>> chunks_;
  MemoryPreparer prepare_ = nullptr;
  OutputChunkSource* chunk_source_ = nullptr;
  SvfHeader header_;               // scratch of AppendRecord
  DecimalCounter message_number_;  // AppendRecord's message_count
  std::size_t used_in_last_ = 0;
  std::size_t size_ = 0;
};

}  // namespace sorbit
