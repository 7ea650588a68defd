// Block reads with a kept tail, for sjisgrep's inputs.
#include "BlockReader.h"

#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sjisgrep {

BlockReader::~BlockReader() { std::free(data_); }

void BlockReader::Reset(int fd) {
  fd_ = fd;
  size_ = 0;
  fresh_ = 0;
  base_ = 0;
}

BlockReader::Status BlockReader::Fill(const char* keep) {
  assert(keep >= data_ && keep <= data_ + size_);
  const std::size_t dropped = static_cast<std::size_t>(keep - data_);
  const std::size_t kept = size_ - dropped;
  if (dropped > 0) {
    std::memmove(data_, keep, kept);
    base_ += dropped;
    size_ = kept;
  }
  fresh_ = size_;
  if (capacity_ - size_ < kBlockSize) {
    // Grow by half as much again at least, so that a long line costs few copies.
    std::size_t wanted = size_ + kBlockSize;
    if (wanted < size_ || wanted > SIZE_MAX / 2) return Status::kNoMemory;
    if (wanted < capacity_ + capacity_ / 2) wanted = capacity_ + capacity_ / 2;
    char* grown = static_cast<char*>(std::realloc(data_, wanted));
    if (grown == nullptr) return Status::kNoMemory;
    data_ = grown;
    capacity_ = wanted;
  }
  for (;;) {
    const ssize_t n = ::read(fd_, data_ + size_, capacity_ - size_);
    if (n > 0) {
      size_ += static_cast<std::size_t>(n);
      return Status::kRead;
    }
    if (n == 0) return Status::kEnd;
    if (errno != EINTR) return Status::kError;
  }
}

}  // namespace sjisgrep
