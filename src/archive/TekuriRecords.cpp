// Tekuri blocks as SVF records, through the converter's reader and record builder.
#include "archive/TekuriRecords.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "convert/LogReader.h"
#include "convert/ReplyNo.h"
#include "convert/SvfRecord.h"

namespace sorbit::archive {

namespace {

// The log's bytes from an offset, as the input file a LogReader reads.
class MemoryInput final : public InputFile {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }
  long long Size() const override { return static_cast<long long>(bytes_.size()); }
  bool IsSameFile(const std::string&) const override { return false; }

 private:
  std::string_view bytes_;
  std::size_t at_ = 0;
};

// One block needs no more than a small buffer (and a short block one of its own size): any
// size reads the same lines.
constexpr std::size_t kRecordReaderBuffer = 64 * 1024;

}  // namespace

TekuriRecords::TekuriRecords(std::string_view log, std::string board_name)
    : log_(log),
      board_name_(std::move(board_name)),
      finder_(std::make_unique<ReplyNoFinder>()),
      message_(std::make_unique<LogMessage>()) {}

TekuriRecords::~TekuriRecords() = default;

std::uint64_t TekuriRecords::BytesRead() const {
  return reader_ ? static_cast<std::uint64_t>(reader_->BytesConsumed()) : 0;
}

bool TekuriRecords::Next(std::string& record, std::uint64_t& block_offset) {
  if (!reader_) reader_ = std::make_unique<LogReader>(std::make_unique<MemoryInput>(log_));
  if (reader_->AtEnd()) return false;
  block_offset = static_cast<std::uint64_t>(reader_->BytesConsumed());
  if (!reader_->ReadMessage(*message_)) return false;
  BuildRecord(*message_, ++ordinal_, record);
  return true;
}

void TekuriRecords::RecordAt(std::uint64_t block_offset, std::uint64_t block_end, long long ordinal,
                             std::string& record) {
  assert(block_offset <= block_end && block_end <= log_.size());
  const std::string_view block = log_.substr(block_offset, block_end - block_offset);
  LogReader reader(std::make_unique<MemoryInput>(block),
                   std::min(kRecordReaderBuffer, block.size() + 1));
  LogMessage message;
  record.clear();
  if (reader.AtEnd() || !reader.ReadMessage(message)) return;
  BuildRecord(message, ordinal, record);
}

void TekuriRecords::BuildRecord(const LogMessage& message, long long ordinal, std::string& record) {
  finder_->Find(message.Title(), reply_no_);
  record.clear();
  AppendSvfRecord(record, message, ordinal, board_name_, reply_no_, RecordOptions{});
}

}  // namespace sorbit::archive
