// The export's outputs as files: a sink that writes through the platform's atomic file writer,
// so that a file appears under its name only when it is whole, and a descriptor sink for
// standard output.
#pragma once

#include <string>
#include <string_view>

#include "export/OutputBuffer.h"
#include "platform/posix/AtomicFileWriter.h"

namespace sorbit::exporter {

// Standard output, or any descriptor the caller keeps open.
class DescriptorSink final : public ByteSink {
 public:
  explicit DescriptorSink(int fd) : fd_(fd) {}
  int Write(std::string_view bytes) override;

 private:
  int fd_;
};

// A file written into a hidden temporary file beside its name and renamed over it by Commit,
// replacing what stood there; without Commit, nothing of it remains.
class FileSink final : public ByteSink {
 public:
  // Returns 0 or an errno value.
  int Open(const std::string& path) { return writer_.Open(path); }
  int Write(std::string_view bytes) override { return writer_.Write(bytes); }
  int Commit() { return writer_.Commit(platform::CommitMode::kReplace); }
  void Abandon() { writer_.Abandon(); }

 private:
  platform::AtomicFileWriter writer_;
};

}  // namespace sorbit::exporter
