#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "../convert/TestSupport.h"
#include "platform/PosixFileSystem.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

long MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Page faults taken while filling `bytes` bytes at `block`.
long FaultsToFill(char* block, std::size_t bytes) {
  const long before = MinorFaults();
  std::fill_n(block, bytes, 'w');
  return MinorFaults() - before;
}

// Memory prepared for an output is mapped before it is written: filling 16 MiB then takes
// a fraction of the faults that the same fill of unprepared memory takes (a sanitizer's own
// shadow memory still faults in both). Unaligned ends are left to the faults.
TEST(PosixFileSystem, PreparedOutputMemoryIsMappedAhead) {
  constexpr std::size_t kBytes = std::size_t{16} << 20;
  PosixFileSystem fs;
  const MemoryPreparer prepare = fs.OutputMemoryPreparer();
  ASSERT_NE(prepare, nullptr);
  auto plain = std::make_unique_for_overwrite<char[]>(kBytes + 1);
  const long unprepared = FaultsToFill(plain.get(), kBytes + 1);
  auto block = std::make_unique_for_overwrite<char[]>(kBytes + 1);
  prepare(block.get() + 1, kBytes);  // one byte in: the call rounds to whole pages
  const long prepared = FaultsToFill(block.get(), kBytes + 1);
  EXPECT_GE(unprepared, 4096) << "a fresh 16 MiB block faults page by page";
  EXPECT_LT(prepared * 4, unprepared) << prepared << " faults after preparing";
  EXPECT_EQ(block[kBytes], 'w');
  prepare(block.get(), 0);        // nothing to map
  prepare(block.get() + 7, 100);  // no whole page inside
}

TEST(PosixFileSystem, RegularFilesAndDirectories) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("f"), "x");
  EXPECT_TRUE(fs.IsRegularFile(dir.Path("f")));
  EXPECT_FALSE(fs.IsDirectory(dir.Path("f")));
  EXPECT_TRUE(fs.IsDirectory(dir.Folder()));
  EXPECT_FALSE(fs.IsRegularFile(dir.Folder()));
  EXPECT_FALSE(fs.IsRegularFile(dir.Path("none")));
  EXPECT_FALSE(fs.IsDirectory(""));
  EXPECT_FALSE(fs.IsRegularFile("/dev/null"));
}

TEST(PosixFileSystem, CreatesOneLevelOnly) {
  TempDir dir;
  PosixFileSystem fs;
  EXPECT_TRUE(fs.CreateDirectory(dir.Path("a")));
  EXPECT_FALSE(fs.CreateDirectory(dir.Path("a")));
  EXPECT_FALSE(fs.CreateDirectory(dir.Path("b/c")));
  EXPECT_FALSE(std::filesystem::exists(dir.Path("b")));
}

TEST(PosixFileSystem, RenameNeverReplaces) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("from"), "new");
  WriteFile(dir.Path("to"), "kept");
  EXPECT_FALSE(fs.RenameNoReplace(dir.Path("from"), dir.Path("to")));
  EXPECT_EQ(ReadFile(dir.Path("to")), "kept");
  EXPECT_EQ(ReadFile(dir.Path("from")), "new");
  EXPECT_TRUE(fs.RenameNoReplace(dir.Path("from"), dir.Path("free")));
  EXPECT_EQ(ReadFile(dir.Path("free")), "new");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("from")));
  EXPECT_THROW(fs.RenameNoReplace(dir.Path("gone"), dir.Path("x")), FileError);
}

TEST(PosixFileSystem, ModificationTimeIsLocalAndEven) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("f"), "x");
  for (time_t t : {time_t{946684801}, time_t{946684800}, time_t{1700000003}}) {
    const struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.Path("f").c_str(), times, 0), 0);
    struct tm tm {};
    ::localtime_r(&t, &tm);
    const LocalTime lt = fs.ModificationTime(dir.Path("f"));
    EXPECT_EQ(lt.year, tm.tm_year + 1900);
    EXPECT_EQ(lt.month, tm.tm_mon + 1);
    EXPECT_EQ(lt.day, tm.tm_mday);
    EXPECT_EQ(lt.hour, tm.tm_hour);
    EXPECT_EQ(lt.minute, tm.tm_min);
    EXPECT_EQ(lt.second, tm.tm_sec - tm.tm_sec % 2);
  }
  EXPECT_THROW(fs.ModificationTime(dir.Path("none")), FileError);
}

TEST(PosixFileSystem, ReadsAndKnowsItsOwnFile) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("in"), "hello");
  std::filesystem::create_hard_link(dir.Path("in"), dir.Path("link"));
  WriteFile(dir.Path("other"), "hello");
  auto in = fs.OpenInput(dir.Path("in"));
  char buffer[16];
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 5u);
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(in->Size(), 5);
  EXPECT_TRUE(in->IsSameFile(dir.Path("in")));
  EXPECT_TRUE(in->IsSameFile(dir.Folder() + "/in"));
  EXPECT_TRUE(in->IsSameFile(dir.Path("link")));
  EXPECT_FALSE(in->IsSameFile(dir.Path("other")));
  EXPECT_FALSE(in->IsSameFile(dir.Path("none")));
  EXPECT_THROW(fs.OpenInput(dir.Path("none")), FileError);
  EXPECT_THROW(fs.OpenInput(dir.Folder()), FileError);
}

TEST(PosixFileSystem, WriteErrorsAreReported) {
  TempDir dir;
  PosixFileSystem fs;
  auto out = fs.CreateOutput(dir.Path("out"));
  out->Write("abc", 3);
  out->Close();
  EXPECT_EQ(ReadFile(dir.Path("out")), "abc");
  auto again = fs.CreateOutput(dir.Path("out"));  // truncates
  again->Close();
  EXPECT_EQ(ReadFile(dir.Path("out")), "");
  EXPECT_THROW(fs.CreateOutput(dir.Path("no/such/out")), FileError);
  EXPECT_THROW(fs.CreateOutput(dir.Folder()), FileError);
  auto full = fs.CreateOutput("/dev/full");
  try {
    full->Write("x", 1);
    FAIL() << "a write to /dev/full succeeded";
  } catch (const FileError& e) {
    EXPECT_NE(e.reason.find("No space"), std::string::npos) << e.reason;
  }
}

}  // namespace
}  // namespace sorbit::platform
