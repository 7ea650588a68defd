// The atomic file writer: the one way the program writes a file whose name must show either
// its old content or the whole new one, never a part of it.
//
// The bytes go to a hidden temporary file ".<name>.XXXXXX" in the target's own folder (made
// exclusively, mode 0666 less the umask), through a buffer of at most kBufferBytes. Commit
// writes out what is buffered, closes the file and renames it to the target's name, either
// never replacing a file that stands there (kNoReplace) or over it (kReplace, for callers that
// replace on purpose). A failed commit, and a writer that goes without one, remove the
// temporary file.
//
// While a temporary file exists it is listed in a registry of the process.
// RemoveTemporaryFiles() unlinks every listed file and is async-signal-safe. The first writer
// makes it the handler of SIGTERM, SIGINT, SIGHUP, SIGXFSZ and SIGPIPE (a message written to a
// closed pipe) wherever those still have their default action: the handler removes the files
// and then ends the program by the same signal, as it would have ended anyway. A program with
// handlers of its own calls RemoveTemporaryFiles from them. After SIGKILL nothing can remove the
// files.
//
// Invariants: Commit or Abandon is the last call that does anything; the buffer holds fewer
// than kBufferBytes bytes between calls; a registered path is the name the temporary file has.
// Every call returns 0 or an errno value.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace sorbit::platform {

enum class CommitMode { kNoReplace, kReplace };

class AtomicFileWriter {
 public:
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter() { Abandon(); }

  // Creates the temporary file for `target`. EEXIST only when a hundred random names were
  // all taken.
  int Open(const std::string& target);
  // Adds `bytes` to the buffer, writing it out whenever it fills.
  int Append(std::string_view bytes);
  // Writes the buffer and then `bytes` out, without copying them.
  int Write(std::string_view bytes);
  int Flush();
  // Writes out what is left, syncs it to the disk when asked, closes the file and gives it the
  // target's name. EEXIST from kNoReplace when a file has that name.
  int Commit(CommitMode mode, bool sync = false);
  // Removes the temporary file; nothing is written.
  void Abandon();

  // The temporary file's descriptor (for its mode and owner), -1 when none is open.
  int fd() const { return fd_; }
  const std::string& target() const { return target_; }

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  int slot_ = -1;  // the registry entry of temporary_, or -1
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

// Unlinks every temporary file of an uncommitted writer. Async-signal-safe; meant for a
// signal handler of a program that is about to end.
void RemoveTemporaryFiles() noexcept;

}  // namespace sorbit::platform
