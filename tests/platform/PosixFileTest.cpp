// The platform layer's file helpers, its atomic file writer and its line splitter.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "platform/posix/AtomicFileWriter.h"
#include "platform/posix/MappedFile.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/TextLines.h"
#include "platform/posix/TruncationGuard.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

// ---- lines ----

struct LinesCase {
  std::string text;
  std::vector<std::string> lines;  // each with its line end
};

TEST(SplitLines, EveryLineEndEndsALine) {
  const std::vector<LinesCase> cases = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a\n"}},
      {"a\r\nb", {"a\r\n", "b"}},
      {"a\rb\r", {"a\r", "b\r"}},
      {"\r\r\n\n\r", {"\r", "\r\n", "\n", "\r"}},
      {"a\n\rb", {"a\n", "\r", "b"}},
      {std::string("a\0b\rc", 5), {std::string("a\0b\r", 4), "c"}},
  };
  for (const LinesCase& c : cases) {
    std::vector<std::string> got;
    for (const TextLine& line : SplitLines(c.text))
      got.push_back(std::string(line.text) + std::string(line.line_end));
    EXPECT_EQ(got, c.lines) << ::testing::PrintToString(c.text);
  }
}

// Random texts over the bytes that matter: the lines cover the text exactly, no line's text
// holds a line end, and only the last line may lack one.
TEST(SplitLines, LinesCoverTheTextAndHoldNoLineEnd) {
  uint64_t state = 88172645463325252ull;
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int i = static_cast<int>(state % 30); i > 0; --i) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      text.push_back("\r\nab\0"[state % 5]);
    }
    state += 0x9E3779B97F4A7C15ull;
    const std::vector<TextLine> lines = SplitLines(text);
    std::size_t pos = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const TextLine& line = lines[i];
      ASSERT_EQ(line.begin, pos);
      ASSERT_EQ(line.text.find_first_of("\r\n"), std::string_view::npos);
      ASSERT_EQ(std::string(line.text) + std::string(line.line_end),
                text.substr(line.begin, line.end - line.begin));
      ASSERT_TRUE(!line.line_end.empty() || i + 1 == lines.size());
      // A CR that ends a line is never the first half of a CR LF.
      if (line.line_end == "\r") {
        ASSERT_TRUE(line.end == text.size() || text[line.end] != '\n');
      }
      pos = line.end;
    }
    ASSERT_EQ(pos, text.size());
  }
}

TEST(SplitLines, FirstLineEndIsTheFilesOwn) {
  EXPECT_EQ(FirstLineEnd("a\rb\r\n", "\n"), "\r");
  EXPECT_EQ(FirstLineEnd("a\r\nb\r", "\n"), "\r\n");
  EXPECT_EQ(FirstLineEnd("a\nb\r", "\r"), "\n");
  EXPECT_EQ(FirstLineEnd("ab", "\n"), "\n");
}

// ---- files ----

TEST(ReadRegularFile, ReadsEveryByte) {
  TempDir dir;
  std::string bytes(200000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  WriteFile(dir.Path("f"), bytes);
  int error = -1;
  EXPECT_EQ(ReadRegularFile(dir.Path("f"), error), bytes);
  EXPECT_EQ(ReadRegularFile(dir.Path("empty-missing"), error), std::nullopt);
  EXPECT_EQ(error, ENOENT);
}

TEST(ReadRegularFile, RefusesFifoDirectoryAndDeviceWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  int error = 0;
  EXPECT_EQ(ReadRegularFile(dir.Path("fifo"), error), std::nullopt);  // no writer ever comes
  EXPECT_EQ(error, EINVAL);
  EXPECT_EQ(ReadRegularFile(dir.path(), error), std::nullopt);
  EXPECT_EQ(error, EISDIR);
  EXPECT_EQ(ReadRegularFile("/dev/zero", error), std::nullopt);  // would never end
  EXPECT_EQ(error, EINVAL);
}

// A mapping holds what reading holds, for empty and odd-sized files, moves without a second
// unmap, and refuses what ReadRegularFile refuses.
TEST(MappedFile, MapsWhatReadingReadsAndRefusesTheSame) {
  TempDir dir;
  for (std::size_t size : {0, 1, 4095, 4096, 100001}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + size);
    WriteFile(dir.Path("f"), bytes);
    int error = 0;
    std::optional<MappedFile> mapped = MappedFile::Open(dir.Path("f"), error);
    ASSERT_TRUE(mapped.has_value()) << size;
    mapped->WillRead(0, size + 10);
    MappedFile moved = std::move(*mapped);
    EXPECT_EQ(moved.bytes(), ReadRegularFile(dir.Path("f"), error)) << size;
    EXPECT_EQ(mapped->size(), 0u);
  }
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  for (const std::string& path :
       {dir.Path("fifo"), dir.path(), std::string("/dev/zero"), dir.Path("missing")}) {
    int mapped_error = 0;
    int read_error = 0;
    EXPECT_FALSE(MappedFile::Open(path, mapped_error).has_value()) << path;
    EXPECT_FALSE(ReadRegularFile(path, read_error).has_value()) << path;
    EXPECT_EQ(mapped_error, read_error) << path;
  }
}

// Under the guard, a file cut short by another program while it is mapped reads as zeros past
// its new end, the mapping says so, and what is still in the file reads as before.
TEST(TruncationGuard, AFileCutShortUnderItsMappingReadsZerosAndSaysSo) {
  InstallTruncationGuard();
  TempDir dir;
  const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  std::string bytes(3 * page + 100, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  WriteFile(dir.Path("cut"), bytes);
  WriteFile(dir.Path("kept"), bytes);
  int error = 0;
  std::optional<MappedFile> cut = MappedFile::Open(dir.Path("cut"), error);
  std::optional<MappedFile> kept = MappedFile::Open(dir.Path("kept"), error);
  ASSERT_TRUE(cut && kept);
  const volatile char* cut_bytes = cut->data();
  EXPECT_EQ(cut_bytes[2 * page + 1], bytes[2 * page + 1]);  // mapped in before the cut
  ASSERT_EQ(::truncate(dir.Path("cut").c_str(), static_cast<off_t>(page + 10)), 0);
  EXPECT_FALSE(cut->Truncated());
  EXPECT_EQ(cut_bytes[page + 9], bytes[page + 9]);
  EXPECT_EQ(cut_bytes[2 * page + 1], '\0');
  EXPECT_TRUE(cut->Truncated());
  EXPECT_EQ(cut_bytes[3 * page + 99], '\0');
  EXPECT_EQ(cut_bytes[5], bytes[5]);
  EXPECT_EQ(kept->bytes(), bytes);
  EXPECT_FALSE(kept->Truncated());
}

TEST(TruncationGuard, ASigbusAnywhereElseStillEndsTheProcess) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstallTruncationGuard();
    ::raise(SIGBUS);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << status;
}

TEST(WriteAll, ReportsAFullDevice) {
  FileDescriptor full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  ASSERT_TRUE(full.valid());
  EXPECT_EQ(WriteAll(full.get(), "x"), ENOSPC);
  EXPECT_EQ(WriteAll(full.get(), ""), 0);
}

TEST(FileDescriptor, ClosesOnceAndMovesOwnership) {
  TempDir dir;
  WriteFile(dir.Path("f"), "x");
  FileDescriptor a(::open(dir.Path("f").c_str(), O_RDONLY | O_CLOEXEC));
  const int fd = a.get();
  FileDescriptor b(std::move(a));
  EXPECT_FALSE(a.valid());
  EXPECT_EQ(b.get(), fd);
  EXPECT_EQ(b.Close(), 0);
  EXPECT_EQ(b.Close(), 0);  // nothing left to close
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

// ---- the atomic file writer ----

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicFileWriter, ShowsNothingUnderTheNameUntilTheCommit) {
  TempDir dir;
  const std::string target = dir.Path("out.log");
  std::string expected;
  {
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(target), 0);
    // Pieces that fill the buffer, pass it whole, and go around it.
    for (const std::size_t n :
         {std::size_t{10}, AtomicFileWriter::kBufferBytes - 5, std::size_t{3},
          3 * AtomicFileWriter::kBufferBytes, std::size_t{0}, std::size_t{7}}) {
      const std::string piece(n, static_cast<char>('a' + n % 26));
      ASSERT_EQ(n % 2 ? writer.Append(piece) : writer.Write(piece), 0);
      expected += piece;
    }
    const std::vector<std::string> during = NamesIn(dir.path());
    ASSERT_EQ(during.size(), 1u);
    EXPECT_EQ(during[0].rfind(".out.log.", 0), 0u) << during[0];
    EXPECT_EQ(writer.Commit(CommitMode::kNoReplace), 0);
  }
  EXPECT_EQ(ReadFile(target), expected);
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out.log"});

  // Never replacing, a writer fails and leaves the file as it was; replacing, it takes over.
  for (const CommitMode mode : {CommitMode::kNoReplace, CommitMode::kReplace}) {
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(target), 0);
    ASSERT_EQ(writer.Append("new"), 0);
    EXPECT_EQ(writer.Commit(mode), mode == CommitMode::kNoReplace ? EEXIST : 0);
    EXPECT_EQ(ReadFile(target), mode == CommitMode::kNoReplace ? expected : "new");
    EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out.log"});
  }
  AtomicFileWriter abandoned;
  ASSERT_EQ(abandoned.Open(dir.Path("other")), 0);
  EXPECT_EQ(abandoned.Append("x"), 0);
  abandoned.Abandon();
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out.log"});
  EXPECT_EQ(AtomicFileWriter().Open(dir.Path("missing/out.log")), ENOENT);
}

// The cleanup a signal handler calls: every uncommitted temporary file goes, and the writers
// that owned them can still be abandoned and dropped without waiting for anything.
TEST(AtomicFileWriter, RemoveTemporaryFilesTakesEveryUncommittedFile) {
  TempDir dir;
  std::vector<std::unique_ptr<AtomicFileWriter>> writers;
  for (int i = 0; i < 5; ++i) {
    writers.push_back(std::make_unique<AtomicFileWriter>());
    ASSERT_EQ(writers.back()->Open(dir.Path("out" + std::to_string(i))), 0);
    ASSERT_EQ(writers.back()->Write("bytes"), 0);
  }
  ASSERT_EQ(writers[4]->Commit(CommitMode::kNoReplace), 0);
  EXPECT_EQ(NamesIn(dir.path()).size(), 5u);
  RemoveTemporaryFiles();
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out4"});
  EXPECT_EQ(writers[0]->Commit(CommitMode::kNoReplace), ENOENT);  // it is gone
  writers.clear();
  AtomicFileWriter later;  // the registry takes new files afterwards
  ASSERT_EQ(later.Open(dir.Path("later")), 0);
  RemoveTemporaryFiles();
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out4"});
}

// A signal that ends the program removes the temporary files first and still ends it, by the
// same signal; one that the program ignores stays ignored.
TEST(AtomicFileWriter, SignalsThatEndTheProgramTakeItsTemporaryFilesAlong) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGXFSZ, -SIGINT}) {
    TempDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const rlimit no_core{0, 0};  // SIGXFSZ would leave a core file
      ::setrlimit(RLIMIT_CORE, &no_core);
      if (signal < 0) ::signal(-signal, SIG_IGN);
      AtomicFileWriter writer;
      if (writer.Open(dir.Path("out")) != 0 || writer.Write("partial") != 0) ::_exit(3);
      ::raise(std::abs(signal));
      ::_exit(writer.Commit(CommitMode::kNoReplace) == 0 ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    if (signal < 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out"});
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
      EXPECT_TRUE(NamesIn(dir.path()).empty()) << "signal " << signal;
    }
  }
}

TEST(RenameNoReplace, NeverReplacesAndSaysWhy) {
  TempDir dir;
  WriteFile(dir.Path("a"), "a");
  WriteFile(dir.Path("b"), "b");
  EXPECT_EQ(RenameNoReplace(dir.Path("a"), dir.Path("b")), EEXIST);
  EXPECT_EQ(ReadFile(dir.Path("b")), "b");
  EXPECT_EQ(RenameNoReplace(dir.Path("a"), dir.Path("c")), 0);
  EXPECT_EQ(ReadFile(dir.Path("c")), "a");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("a")));
  EXPECT_EQ(RenameNoReplace(dir.Path("a"), dir.Path("d")), ENOENT);
}

TEST(PathParts, FolderAndName) {
  EXPECT_EQ(FolderOfPath("/a/b"), "/a");
  EXPECT_EQ(FolderOfPath("/b"), "/");
  EXPECT_EQ(FolderOfPath("b"), ".");
  EXPECT_EQ(NameOfPath("/a/b"), "b");
  EXPECT_EQ(NameOfPath("b"), "b");
  EXPECT_EQ(NameOfPath("/a/"), "");
}

}  // namespace
}  // namespace sorbit::platform
