// Gathering output and handing it on in blocks.
#include "export/OutputBuffer.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace sorbit::exporter {

OutputBuffer::OutputBuffer(ByteSink& sink)
    : sink_(sink), bytes_(new char[2 * kBlockBytes]), capacity_(2 * kBlockBytes) {}

char* OutputBuffer::Room(std::size_t bytes) {
  if (capacity_ - size_ < bytes) Grow(bytes);
  return bytes_.get() + size_;
}

void OutputBuffer::SetEnd(char* end) {
  assert(end >= bytes_.get() && end <= bytes_.get() + capacity_);
  size_ = static_cast<std::size_t>(end - bytes_.get());
}

void OutputBuffer::Append(std::string_view bytes) {
  if (bytes.empty()) return;
  std::memcpy(Room(bytes.size()), bytes.data(), bytes.size());
  size_ += bytes.size();
}

int OutputBuffer::Flush() {
  if (size_ > 0 && error_ == 0) error_ = sink_.Write(Content());
  size_ = 0;
  return error_;
}

void OutputBuffer::Grow(std::size_t more) {
  // A failed sink takes nothing more: what is held is dropped rather than kept growing.
  if (error_ != 0) size_ = 0;
  if (capacity_ - size_ >= more) return;
  const std::size_t capacity = std::max(2 * capacity_, size_ + more);
  std::unique_ptr<char[]> bytes(new char[capacity]);
  std::memcpy(bytes.get(), bytes_.get(), size_);
  bytes_ = std::move(bytes);
  capacity_ = capacity;
}

}  // namespace sorbit::exporter
