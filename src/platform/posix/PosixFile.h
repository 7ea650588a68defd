// The one way the platform layer does file I/O on POSIX: an owned file descriptor, reading
// a whole regular file without ever blocking on a FIFO or device, reading and writing every
// byte asked for, and the rename that never replaces. Files that must appear whole are
// written with AtomicFileWriter.h.
//
// Errors are errno values: 0 means success. Every call retries on EINTR (RetryOnEintr), and
// no call blocks on a FIFO, a device or a socket that stands where a regular file was
// expected: those are opened non-blocking and refused (EINVAL) once fstat has said what they
// are.
#pragma once

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sorbit::platform {

// Makes a system call again for as long as it fails with EINTR, a signal having come first:
// such a failure says nothing about the file. `call` returns -1 (with errno) on failure.
template <typename Call>
auto RetryOnEintr(Call call) {
  for (;;) {
    const auto result = call();
    if (result != -1 || errno != EINTR) return result;
  }
}

// Owns one open descriptor (or none: -1) and closes it exactly once, on every path.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and returns close(2)'s errno, 0 when it succeeded (a late write error of a
  // network file system shows here). Closing nothing succeeds, and so does a close that a
  // signal interrupted: Linux has closed the descriptor all the same.
  int Close();
  // Gives the descriptor up without closing it.
  int Release();

 private:
  int fd_ = -1;
};

// A regular file opened for reading, with what fstat said of it.
struct OpenedFile {
  FileDescriptor fd;
  struct stat status {};
};

// Opens `path` for reading only when it is a regular file. The open itself is non-blocking,
// so a FIFO without a writer cannot hang it; the descriptor is blocking again afterwards.
// Sets `error` (EINVAL for anything but a regular file) and returns nullopt on failure.
std::optional<OpenedFile> OpenRegularFile(const std::string& path, int& error);

// The whole content of the regular file at `path`; nullopt (and `error`) when it is missing,
// not a regular file, or cannot be read.
std::optional<std::string> ReadRegularFile(const std::string& path, int& error);
std::optional<std::string> ReadRegularFile(const std::string& path);

// Reads until `size` bytes are in `buffer` or the end of the file; `got` says how many came.
// Returns 0 or the errno of the failed read.
int ReadFull(int fd, void* buffer, std::size_t size, std::size_t& got);
// The same at `offset`, without moving the file position.
int ReadFullAt(int fd, void* buffer, std::size_t size, long long offset, std::size_t& got);

// Writes every byte of `data`. Returns 0 or the errno of the failed write; a write that
// takes nothing counts as ENOSPC.
int WriteAll(int fd, std::string_view data);
// The same at `offset` (pwrite), without moving the file position.
int WriteAllAt(int fd, std::string_view data, long long offset);

// The folder part of a path without its final "/" ("." for a bare name, "/" at the root) and
// the name after the last "/".
std::string FolderOfPath(const std::string& path);
std::string NameOfPath(const std::string& path);

// Renames `from` to `to` only when `to` does not exist. Returns 0, EEXIST when `to` exists,
// or the errno of the failure. renameat2 with RENAME_NOREPLACE is atomic; where the file
// system refuses it, link and unlink give the same guarantee (link fails when `to` exists).
int RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace sorbit::platform
