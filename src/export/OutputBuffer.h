// The buffer every export writes through: bytes gathered in memory and handed to a sink in
// blocks of about a megabyte, so that a million short fields make a few hundred writes.
//
// Invariants: size() <= capacity; the bytes [0, size()) are output not yet handed to the sink.
// Once the sink has failed, its errno stays in error() and later bytes are dropped: the caller
// looks at error() where it can stop early, and at Flush()'s result at the end.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace sorbit::exporter {

// Where the bytes go: standard output, or a file that only appears under its name when whole.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes every byte of `bytes`; returns 0 or an errno value.
  virtual int Write(std::string_view bytes) = 0;
};

// Appends to a string: for texts built once and kept (and for the tests).
class StringSink final : public ByteSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  int Write(std::string_view bytes) override {
    text_.append(bytes);
    return 0;
  }

 private:
  std::string& text_;
};

class OutputBuffer {
 public:
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

  explicit OutputBuffer(ByteSink& sink);
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // At least `bytes` writable bytes at the end of the content; they count as content once
  // SetEnd names the end of what was written there.
  char* Room(std::size_t bytes);
  void SetEnd(char* end);
  void Append(std::string_view bytes);
  void Append(char c) {
    if (size_ == capacity_) Grow(1);
    bytes_[size_++] = c;
  }
  // Hands the content to the sink once a block of it is held: cheap to call after each piece.
  void WriteFullBlocks() {
    if (size_ >= kBlockBytes) Flush();
  }
  // Hands all content to the sink; returns error().
  int Flush();
  int error() const { return error_; }
  std::size_t size() const { return size_; }
  std::string_view Content() const { return {bytes_.get(), size_}; }

 private:
  void Grow(std::size_t more);

  ByteSink& sink_;
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  int error_ = 0;
};

}  // namespace sorbit::exporter
