// Random bytes as a tekuri log: every message is read and turned into SVF bytes, both from
// the reader's borrowed lines and line by line from a copy; the two must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "convert/LogReader.h"
#include "convert/SvfRecord.h"

namespace {

class Bytes final : public sorbit::InputFile {
 public:
  Bytes(const uint8_t* data, std::size_t size, std::size_t piece)
      : data_(data), size_(size), piece_(piece) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    std::size_t n = size < piece_ ? size : piece_;
    if (n > size_ - pos_) n = size_ - pos_;
    for (std::size_t i = 0; i < n; ++i) buffer[i] = static_cast<char>(data_[pos_ + i]);
    pos_ += n;
    return n;
  }
  long long Size() const override { return static_cast<long long>(size_); }
  bool IsSameFile(const std::string&) const override { return false; }

 private:
  const uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  std::size_t piece_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the read size, so refills land everywhere.
  const std::size_t piece = data[0] < 128 ? 1 + data[0] : std::size_t{1} << 20;
  sorbit::LogReader reader(std::make_unique<Bytes>(data + 1, size - 1, piece), 4096 + data[0]);
  sorbit::OutputLines out;
  std::string expected;
  const sorbit::RecordOptions options{(data[0] & 1) != 0, (data[0] & 2) != 0, (data[0] & 4) != 0};
  sorbit::LogMessage message;
  long long count = 0;
  while (!reader.AtEnd()) {
    if (!reader.ReadMessage(message)) break;
    ++count;
    for (std::size_t i = 0; i < message.LineCount(); ++i) {
      if (message.Line(i).size() > sorbit::kMaxLineBytes) std::abort();
    }
    out.AppendRecord(message, count, "board", "1", options);
    const sorbit::LogMessage copy(message);
    for (const std::string& line : sorbit::BuildSvfRecord(copy, count, "board", "1", options)) {
      expected.append(line).append("\r\n");
    }
  }
  if (out.ToString() != expected) std::abort();
  return 0;
}
