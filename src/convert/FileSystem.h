// The file-system services a conversion run needs, as an interface so that the engine stays
// free of platform calls. src/platform/filesystem/PosixFileSystem implements it; tests may
// inject faults through their own implementation.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sorbit {

// A broken-down local time, as the backup stamp needs it.
struct LocalTime {
  int year = 0;   // e.g. 1998
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;  // already rounded down to an even value
};

// A failure of a file-system operation: the reason in words (UTF-8), naming what failed, the
// path and the system's reason ("cannot write /out/svfgeneral.log: No space left on device").
struct FileError {
  std::string reason;
};

// An input file opened for sequential reading. Read errors throw FileError.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to `size` bytes into `buffer`; returns 0 at the physical end of the file. A file
  // that ends before the size it had when it was opened was cut short while it was read: that
  // is a read error, not its end.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Bytes in the file when it was opened (for progress only).
  virtual long long Size() const = 0;
  // True when `path` names this very file (same device and inode), whatever the path says.
  virtual bool IsSameFile(const std::string& path) const = 0;
};

// A byte sink for a new output file: bytes are handed over in pieces, then Close commits.
// Nothing appears under the output's name before Close has succeeded, and Close never
// replaces a file that stands there by then; an OutputFile destroyed without a successful
// Close leaves nothing behind.
//
// Write may return before its bytes are written (a front end may write them on a helper
// thread): the caller keeps them unchanged until kPiecesInFlight more calls of Write have
// returned, or Flush has. Any call may throw the FileError of an earlier write.
class OutputFile {
 public:
  static constexpr int kPiecesInFlight = 3;
  virtual ~OutputFile() = default;
  virtual void Write(std::string_view bytes) = 0;  // throws FileError
  // Returns once every byte handed over is written; the caller's memory is free again.
  virtual void Flush() {}    // throws FileError
  virtual void Close() = 0;  // throws FileError
};

// The questions about a path answer "no" when nothing is there; when the system cannot tell
// (no permission to look, a loop of symbolic links) they throw FileError with its reason.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // A regular file (directories do not count).
  virtual bool IsRegularFile(const std::string& path) = 0;
  virtual bool IsDirectory(const std::string& path) = 0;
  // Anything at all at `path`: a file of any kind, a folder, a symbolic link (even one that
  // leads nowhere). Found without opening it, so a FIFO cannot block the question.
  virtual bool Exists(const std::string& path) { return IsRegularFile(path) || IsDirectory(path); }
  // Last-modification time in local time, seconds rounded down to even. Throws FileError.
  virtual LocalTime ModificationTime(const std::string& path) = 0;
  // Creates one directory level. Throws FileError when it cannot be made.
  virtual void CreateDirectory(const std::string& path) = 0;
  // Renames `from` to `to`, never replacing an existing `to`. Returns false when `to`
  // exists; throws FileError for any other failure.
  virtual bool RenameNoReplace(const std::string& from, const std::string& to) = 0;
  // Opens for reading. Throws FileError.
  virtual std::unique_ptr<InputFile> OpenInput(const std::string& path) = 0;
  // Starts a new file for `path` (see OutputFile: it appears there on Close, never replacing
  // anything). Throws FileError.
  virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path) = 0;
};

}  // namespace sorbit
