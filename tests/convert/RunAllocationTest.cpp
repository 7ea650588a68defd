// A conversion run allocates per file, never per message: counted with a replaced global
// operator new (this test binary only).
#include <gtest/gtest.h>

#include "../support/CountingAllocator.h"
#include "TestSupport.h"
#include "convert/ReplyNo.h"

using sorbit::testing::g_allocations;

namespace sorbit {
namespace {

// Serves one log from memory and swallows the output.
class MemoryFileSystem final : public FileSystem {
 public:
  explicit MemoryFileSystem(std::string log) : log_(std::move(log)) {}
  bool IsRegularFile(const std::string&) override { return false; }
  bool IsDirectory(const std::string&) override { return true; }
  bool Exists(const std::string&) override { return false; }  // no output is there yet
  LocalTime ModificationTime(const std::string&) override { return {}; }
  void CreateDirectory(const std::string&) override {}
  bool RenameNoReplace(const std::string&, const std::string&) override { return true; }
  std::unique_ptr<InputFile> OpenInput(const std::string&) override {
    return std::make_unique<testing::MemoryInputFile>(log_);
  }
  std::unique_ptr<OutputFile> CreateOutput(const std::string&) override {
    class Sink final : public OutputFile {
     public:
      void Write(std::string_view) override {}
      void Close() override {}
    };
    return std::make_unique<Sink>();
  }

 private:
  std::string log_;
};

long long AllocationsToConvert(int messages) {
  std::string log;
  for (int i = 0; i < messages; ++i) {
    log += "Title : Re: " + std::to_string(i) +
           " a title long enough to leave the small-string buffer\r\n"
           "Name:someone with a long handle <someone@example.jp>\r\n"
           "Date : 98/12/31 12:34:56\r\nmini\r\nbody line that is long enough as well\r\n.\r\n";
  }
  MemoryFileSystem fs(log);
  testing::RecordingHost host;
  const ReplyNoFinder reply_numbers;
  const ReplyNumberFinder finder = [&](std::string_view t, std::string& reply_no) {
    reply_numbers.Find(t, reply_no);
  };
  ConversionOptions options;
  options.InputFiles = {"/logs/general.log"};
  options.InputFolder = "/logs/";
  options.OutputFolder = "/out/";
  // The host records every progress text; make room first so that its own growth is not
  // counted against the run.
  host.progress.reserve(static_cast<std::size_t>(messages) + 1);
  const long long before = g_allocations;
  EXPECT_EQ(RunConversion(options, host, fs, finder), RunOutcome::Finished);
  // The recording host copies each progress text: those are the host's, not the run's.
  return g_allocations - before - static_cast<long long>(host.progress.size());
}

TEST(RunAllocation, DoesNotGrowWithTheNumberOfMessages) {
  const long long few = AllocationsToConvert(50);
  const long long many = AllocationsToConvert(500);
  EXPECT_EQ(few, many) << "allocations for 50 and for 500 messages";
}

}  // namespace
}  // namespace sorbit
