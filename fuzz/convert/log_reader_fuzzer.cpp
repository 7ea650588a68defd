// Random bytes as a tekuri log: every message is read and turned into SVF bytes, both from
// the reader's borrowed lines and line by line from a copy; the two must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

// An output file into a string.
class StringFile final : public sorbit::OutputFile {
 public:
  explicit StringFile(std::string& bytes) : bytes_(bytes) {}
  void Write(std::string_view bytes) override { bytes_.append(bytes); }
  void Close() override {}

 private:
  std::string& bytes_;
};

// Every line of every message, each message closed by an empty marker that no line equals.
std::vector<std::string> Lines(const uint8_t* data, std::size_t size, std::size_t piece,
                               std::size_t buffer) {
  sorbit::LogReader reader(std::make_unique<Bytes>(data, size, piece), buffer);
  std::vector<std::string> lines;
  sorbit::LogMessage message;
  while (!reader.AtEnd() && reader.ReadMessage(message)) {
    for (std::string_view line : message.Lines()) lines.emplace_back(line);
    lines.emplace_back("\n<end>");
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the read size and the buffer size, so refills land everywhere,
  // with buffers from 1 byte to 4,351.
  const std::size_t piece = data[0] < 128 ? 1 + data[0] : std::size_t{1} << 20;
  const std::size_t buffer = data[0] < 128 ? 4096 + data[0] : 1 + (data[0] - 128) * 8u;
  sorbit::LogReader reader(std::make_unique<Bytes>(data + 1, size - 1, piece), buffer);
  std::string streamed;
  sorbit::OutputLines out(std::make_unique<StringFile>(streamed));
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
  out.Finish();
  if (streamed != expected) std::abort();
  // The messages do not depend on how the text was read.
  if (Lines(data + 1, size - 1, piece, buffer) !=
      Lines(data + 1, size - 1, std::size_t{1} << 20, std::size_t{1} << 20)) {
    std::abort();
  }
  return 0;
}
