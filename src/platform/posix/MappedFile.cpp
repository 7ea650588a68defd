// Read-only file mappings.
#include "platform/posix/MappedFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

#include "platform/posix/PosixFile.h"
#include "platform/posix/TruncationGuard.h"

namespace sorbit::platform {

std::optional<MappedFile> MappedFile::Open(const std::string& path, int& error) {
  std::optional<OpenedFile> file = OpenRegularFile(path, error);
  if (!file) return std::nullopt;
  const auto size = static_cast<std::uint64_t>(file->status.st_size);
  if (size > std::numeric_limits<std::size_t>::max()) {
    error = EFBIG;
    return std::nullopt;
  }
  if (size == 0) return MappedFile(nullptr, 0);
  void* address =
      ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, file->fd.get(), 0);
  if (address == MAP_FAILED) {
    error = errno;
    return std::nullopt;
  }
  // The mapping keeps the file; the descriptor closes with `file`.
  return MappedFile(address, static_cast<std::size_t>(size));
}

MappedFile::MappedFile(void* address, std::size_t size) : address_(address), size_(size) {
  if (address_ != nullptr) guard_slot_ = GuardMapping(address_, size_);
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : address_(other.address_), size_(other.size_), guard_slot_(other.guard_slot_) {
  other.address_ = nullptr;
  other.size_ = 0;
  other.guard_slot_ = -1;
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Unmap();
    address_ = other.address_;
    size_ = other.size_;
    guard_slot_ = other.guard_slot_;
    other.address_ = nullptr;
    other.size_ = 0;
    other.guard_slot_ = -1;
  }
  return *this;
}

MappedFile::~MappedFile() { Unmap(); }

void MappedFile::Unmap() {
  ForgetMapping(guard_slot_);
  guard_slot_ = -1;
  if (address_ != nullptr) ::munmap(address_, size_);
  address_ = nullptr;
  size_ = 0;
}

bool MappedFile::Truncated() const { return MappingTruncated(guard_slot_); }

void MappedFile::WillRead(std::size_t offset, std::size_t length) const {
  if (address_ == nullptr || offset >= size_) return;
  if (length > size_ - offset) length = size_ - offset;
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t first = offset / page * page;
  (void)::madvise(static_cast<char*>(address_) + first, length + (offset - first), MADV_WILLNEED);
}

}  // namespace sorbit::platform
