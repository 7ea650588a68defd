// BlockReader: sjisgrep's one way to read an input. It reads a file descriptor in large
// blocks into one buffer that holds [Begin(), End()): the bytes from the file offset
// BaseOffset() on. Fill keeps the bytes from a given point (a line that is not complete yet,
// and the context lines before it) and reads after them, so memory is bounded by the longest
// stretch that must be kept plus a block; when it cannot grow to hold that, Fill says so
// instead of dropping bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sjisgrep {

class BlockReader {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  BlockReader() = default;
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // Starts on a new input: nothing held, offset 0.
  void Reset(int fd);

  enum class Status {
    kRead,      // at least one byte was added
    kEnd,       // end of input: nothing was added
    kError,     // a read error; errno tells which
    kNoMemory,  // the kept bytes and a block do not fit in memory
  };
  // Drops the bytes before `keep` (a pointer into the held bytes, or End()), then reads.
  // Invalidates every pointer into the held bytes; the offsets stay valid.
  Status Fill(const char* keep);

  const char* Begin() const { return data_; }
  const char* End() const { return data_ + size_; }
  // The bytes added by the last Fill.
  const char* Fresh() const { return data_ + fresh_; }
  std::uintmax_t BaseOffset() const { return base_; }
  std::uintmax_t OffsetOf(const char* p) const {
    return base_ + static_cast<std::uintmax_t>(p - data_);
  }
  const char* At(std::uintmax_t offset) const {
    return data_ + static_cast<std::size_t>(offset - base_);
  }

 private:
  int fd_ = -1;
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::size_t fresh_ = 0;
  std::uintmax_t base_ = 0;
};

}  // namespace sjisgrep
