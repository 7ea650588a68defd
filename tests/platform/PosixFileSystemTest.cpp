#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "../support/Unprivileged.h"
#include "platform/filesystem/PosixFileSystem.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

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

// Each failure names the folder and the system's own reason.
TEST(PosixFileSystem, CreatesOneLevelOnlyAndSaysWhyNot) {
  TempDir dir;
  PosixFileSystem fs;
  fs.CreateDirectory(dir.Path("a"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("a")));
  const auto reason = [&](const std::string& path) {
    try {
      fs.CreateDirectory(path);
    } catch (const FileError& e) {
      return e.reason;
    }
    return std::string("created");
  };
  EXPECT_EQ(reason(dir.Path("a")), "cannot create the folder " + dir.Path("a") + ": File exists");
  EXPECT_EQ(reason(dir.Path("b/c")),
            "cannot create the folder " + dir.Path("b/c") + ": No such file or directory");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("b")));
  // A folder the user may not write into: refused for that reason, also when we are root.
  std::filesystem::create_directory(dir.Path("locked"));
  ::chmod(dir.Path("locked").c_str(), 0555);
  ::chmod(dir.path().c_str(), 0755);
  EXPECT_TRUE(testing::RunUnprivileged([&] {
    return reason(dir.Path("locked/new")) ==
           "cannot create the folder " + dir.Path("locked/new") + ": Permission denied";
  }));
}

// A path the system cannot look at is no "nothing there": the question throws the system's
// reason (here a loop of symbolic links), which a save then reports.
TEST(PosixFileSystem, QuestionsThatCannotBeAnsweredSayWhy) {
  TempDir dir;
  PosixFileSystem fs;
  std::filesystem::create_symlink("loop", dir.Path("loop"));
  const std::vector<std::pair<std::string, std::function<bool(const std::string&)>>> questions = {
      {dir.Path("loop"), [&](const std::string& p) { return fs.IsRegularFile(p); }},
      {dir.Path("loop"), [&](const std::string& p) { return fs.IsDirectory(p); }},
      {dir.Path("loop/inside"), [&](const std::string& p) { return fs.IsDirectory(p); }}};
  for (const auto& [path, ask] : questions) {
    try {
      ask(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const FileError& e) {
      EXPECT_EQ(e.reason, "cannot access " + path + ": Too many levels of symbolic links");
    }
  }
  EXPECT_TRUE(fs.Exists(dir.Path("loop")));  // the link itself is there
  // Nothing there, or a file where a folder would be: simply no.
  EXPECT_FALSE(fs.IsRegularFile(dir.Path("none/x")));
  WriteFile(dir.Path("f"), "x");
  EXPECT_FALSE(fs.IsDirectory(dir.Path("f/x")));
}

// A file that becomes shorter while it is read is a read error, not an early end.
TEST(PosixFileSystem, AFileCutShortWhileItIsReadIsAnError) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("in"), std::string(10000, 'x'));
  auto in = fs.OpenInput(dir.Path("in"));
  char buffer[4096];
  ASSERT_EQ(in->Read(buffer, sizeof buffer), sizeof buffer);
  ASSERT_EQ(::truncate(dir.Path("in").c_str(), 5000), 0);
  EXPECT_EQ(in->Read(buffer, sizeof buffer), 904u);
  try {
    in->Read(buffer, sizeof buffer);
    FAIL() << "the end of a cut file read as its end";
  } catch (const FileError& e) {
    EXPECT_EQ(e.reason, "cannot read " + dir.Path("in") + ": it became shorter while it was read");
  }
  // A file that grows meanwhile is read to its new end.
  WriteFile(dir.Path("grows"), "abc");
  auto grows = fs.OpenInput(dir.Path("grows"));
  WriteFile(dir.Path("grows"), "abcdef");
  EXPECT_EQ(grows->Read(buffer, sizeof buffer), 6u);
  EXPECT_EQ(grows->Read(buffer, sizeof buffer), 0u);
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

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PosixFileSystem, OutputAppearsUnderItsNameOnlyWhenClosed) {
  TempDir dir;
  PosixFileSystem fs;
  auto out = fs.CreateOutput(dir.Path("out.log"));
  out->Write("abc");
  out->Write("de");
  EXPECT_FALSE(std::filesystem::exists(dir.Path("out.log")));
  const std::vector<std::string> during = NamesIn(dir.path());
  ASSERT_EQ(during.size(), 1u);
  EXPECT_EQ(during[0].rfind(".out.log.", 0), 0u) << during[0];  // hidden, beside the output
  EXPECT_EQ(ReadFile(dir.Path(during[0])), "abcde");
  out->Close();
  EXPECT_EQ(ReadFile(dir.Path("out.log")), "abcde");
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out.log"});
}

TEST(PosixFileSystem, OutputTakesTheUsualMode) {
  TempDir dir;
  PosixFileSystem fs;
  const mode_t mask = ::umask(022);
  auto out = fs.CreateOutput(dir.Path("out"));
  out->Close();
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat(dir.Path("out").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(PosixFileSystem, OutputNeverReplacesWhatAppearedMeanwhile) {
  TempDir dir;
  PosixFileSystem fs;
  auto out = fs.CreateOutput(dir.Path("out"));
  out->Write("new");
  WriteFile(dir.Path("out"), "someone else's");
  try {
    out->Close();
    FAIL() << "Close replaced a file";
  } catch (const FileError& e) {
    EXPECT_NE(e.reason.find(dir.Path("out")), std::string::npos) << e.reason;
    EXPECT_NE(e.reason.find("File exists"), std::string::npos) << e.reason;
  }
  out.reset();
  EXPECT_EQ(ReadFile(dir.Path("out")), "someone else's");
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out"});
}

TEST(PosixFileSystem, AbandonedOutputLeavesNothing) {
  TempDir dir;
  PosixFileSystem fs;
  fs.CreateOutput(dir.Path("out"))->Write("abc");
  EXPECT_TRUE(NamesIn(dir.path()).empty());
}

TEST(PosixFileSystem, CreateErrorsNameThePathAndTheReason) {
  TempDir dir;
  PosixFileSystem fs;
  try {
    fs.CreateOutput(dir.Path("no/such/out"));
    FAIL() << "created in a missing folder";
  } catch (const FileError& e) {
    EXPECT_EQ(e.reason, "cannot create " + dir.Path("no/such/out") + ": No such file or directory");
  }
  // A folder's own name: nothing can be put in its place.
  EXPECT_THROW(fs.CreateOutput(dir.Folder())->Close(), FileError);
  EXPECT_TRUE(NamesIn(dir.path()).empty());
}

// A real write failure: a file-size limit makes the kernel refuse the write (EFBIG), as a full
// disk does with ENOSPC. In a child, so that the limit stays there.
TEST(PosixFileSystem, FailedWriteThrowsAndRemovesTheTemporaryFile) {
  TempDir dir;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    PosixFileSystem fs;
    const std::string bytes(10000, 'x');
    try {
      auto out = fs.CreateOutput(dir.Path("out"));
      out->Write(bytes);
      ::_exit(4);
    } catch (const FileError& e) {
      if (e.reason != "cannot write " + dir.Path("out") + ": File too large") ::_exit(5);
    }
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(NamesIn(dir.path()).empty());
}

TEST(PosixFileSystem, ExistsSeesEveryKindWithoutOpening) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("file"), "x");
  ASSERT_EQ(::mkfifo(dir.Path("fifo").c_str(), 0600), 0);
  std::filesystem::create_symlink(dir.Path("nowhere"), dir.Path("dangling"));
  EXPECT_TRUE(fs.Exists(dir.Path("file")));
  EXPECT_TRUE(fs.Exists(dir.path()));
  EXPECT_TRUE(fs.Exists(dir.Path("fifo")));  // no writer: an open would block
  EXPECT_TRUE(fs.Exists(dir.Path("dangling")));
  EXPECT_TRUE(fs.Exists("/dev/null"));
  EXPECT_FALSE(fs.Exists(dir.Path("missing")));
  EXPECT_FALSE(fs.IsRegularFile(dir.Path("fifo")));
  EXPECT_FALSE(fs.IsDirectory(dir.Path("fifo")));
}

// The kernel reads a path only up to its first NUL: "out\0x" would write "out".
TEST(PosixFileSystem, PathWithNulNamesNothing) {
  TempDir dir;
  PosixFileSystem fs;
  WriteFile(dir.Path("out"), "old");
  const std::string with_nul = dir.Path("out") + std::string("\0x", 2);
  EXPECT_FALSE(fs.IsRegularFile(with_nul));
  EXPECT_FALSE(fs.Exists(with_nul));
  EXPECT_THROW(fs.CreateDirectory(with_nul), FileError);
  EXPECT_THROW(fs.CreateOutput(with_nul), FileError);
  EXPECT_THROW(fs.OpenInput(with_nul), FileError);
  EXPECT_THROW(fs.RenameNoReplace(dir.Path("out"), with_nul), FileError);
  EXPECT_EQ(ReadFile(dir.Path("out")), "old");
  EXPECT_EQ(NamesIn(dir.path()), std::vector<std::string>{"out"});
}

}  // namespace
}  // namespace sorbit::platform
