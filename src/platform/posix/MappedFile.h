// A regular file mapped read-only into memory: the pages are the page cache's own, shared and
// file-backed, so a large file costs no anonymous memory and is read only where it is touched.
//
// Invariants: data() points to size() readable bytes for the life of the object (an empty
// file maps nothing: data() is then a valid pointer to no bytes). The size is the file's size
// when it was opened. If another program shortens the file while it is mapped, touching the
// pages past the new end raises SIGBUS, which ends the process unless the program has
// installed platform/posix/TruncationGuard.h: then those pages read as zeros and Truncated()
// says so; a reader of a file that another program is rewriting must reopen it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sorbit::platform {

class MappedFile {
 public:
  // Maps the regular file at `path` (opened as OpenRegularFile does, so a FIFO never blocks
  // it). Sets `error` (an errno value) and returns nullopt on failure.
  static std::optional<MappedFile> Open(const std::string& path, int& error);

  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  const char* data() const { return size_ == 0 ? "" : static_cast<const char*>(address_); }
  std::size_t size() const { return size_; }
  std::string_view bytes() const { return {data(), size_}; }

  // Whether the file was found shorter than its mapping while it was read (only ever true
  // under the truncation guard): the bytes past its end read as zeros.
  bool Truncated() const;

  // Tells the kernel the bytes [offset, offset + length) will be read soon, in order, so that
  // it reads ahead and maps them in large steps. Only a hint; errors are ignored.
  void WillRead(std::size_t offset, std::size_t length) const;

 private:
  MappedFile(void* address, std::size_t size);
  void Unmap();

  void* address_ = nullptr;
  std::size_t size_ = 0;
  int guard_slot_ = -1;  // its slot in the truncation guard's table
};

}  // namespace sorbit::platform
