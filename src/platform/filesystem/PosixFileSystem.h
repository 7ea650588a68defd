// The engine's file-system adapter: FileSystem (convert/FileSystem.h) on POSIX. Regular-file
// and directory tests, modification time in local time at two-second resolution, one-level
// directory creation, a rename that never replaces its target, reading with every error
// reported (a file cut short while it is read among them), and outputs written through the
// atomic file writer (platform/posix/AtomicFileWriter.h), so that a kill or a full disk never
// leaves a truncated file under an output's name. A path holding a NUL byte names nothing
// here. Every call may be made from several threads at once.
#pragma once

#include "convert/FileSystem.h"

namespace sorbit::platform {

class PosixFileSystem final : public FileSystem {
 public:
  bool IsRegularFile(const std::string& path) override;
  bool IsDirectory(const std::string& path) override;
  bool Exists(const std::string& path) override;
  LocalTime ModificationTime(const std::string& path) override;
  void CreateDirectory(const std::string& path) override;
  bool RenameNoReplace(const std::string& from, const std::string& to) override;
  std::unique_ptr<InputFile> OpenInput(const std::string& path) override;
  std::unique_ptr<OutputFile> CreateOutput(const std::string& path) override;
};

// Broken-down local time of `seconds` since the epoch, seconds rounded down to even.
LocalTime ToLocalTime(long long seconds);

}  // namespace sorbit::platform
