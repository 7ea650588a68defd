// A tekuri log read as its conversion reads: each message block through the converter's
// LogReader, laid out as its SVF record by the record builder with tekuri2svf's default
// options and the reply number of its title, so that the archive can read the record's text by
// the SVF rules. The log's bytes are the caller's (a mapping) and are never copied whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sorbit {
class LogReader;
class LogMessage;
class ReplyNoFinder;
}  // namespace sorbit

namespace sorbit::archive {

class TekuriRecords {
 public:
  // Reads `log` (which must outlive this object) as the log of board `board_name`.
  TekuriRecords(std::string_view log, std::string board_name);
  ~TekuriRecords();
  TekuriRecords(const TekuriRecords&) = delete;
  TekuriRecords& operator=(const TekuriRecords&) = delete;

  // Reads the next block into `record` (its SVF text: every line followed by CR LF) and tells
  // the offset of its first line. False at the end of the log's text.
  bool Next(std::string& record, std::uint64_t& block_offset);
  // Bytes of the log read so far.
  std::uint64_t BytesRead() const;

  // The record of the block at `block_offset` (an offset Next told) as the `ordinal`th
  // message of the log (1-based, for the message numbers the conversion adds). `block_end` is
  // the next block's offset (or the log's size): only the block's own bytes are read.
  void RecordAt(std::uint64_t block_offset, std::uint64_t block_end, long long ordinal,
                std::string& record);

 private:
  void BuildRecord(const LogMessage& message, long long ordinal, std::string& record);

  std::string_view log_;
  std::string board_name_;
  std::unique_ptr<ReplyNoFinder> finder_;
  std::unique_ptr<LogReader> reader_;  // the sequential reading of Next
  std::unique_ptr<LogMessage> message_;
  long long ordinal_ = 0;
  std::string reply_no_;
};

}  // namespace sorbit::archive
