#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "../support/TempDir.h"
#include "platform/services/NamedMutex.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::TempDir;
using Clock = std::chrono::steady_clock;
using WaitResult = NamedMutex::WaitResult;

// Each test gets its own runtime folder, so that it meets neither a running program nor
// another test.
class NamedMutexTest : public ::testing::Test {
 protected:
  NamedMutexTest() {
    const char* old = ::getenv("XDG_RUNTIME_DIR");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
  }
  ~NamedMutexTest() override {
    if (had_old_) {
      ::setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
  }
  TempDir runtime_;
  bool had_old_ = false;
  std::string old_;
};

TEST_F(NamedMutexTest, LockFileLivesInTheRuntimeFolder) {
  EXPECT_EQ(NamedMutex::LockPathFor("Sorbit"), runtime_ / "Sorbit.lock");
  EXPECT_EQ(NamedMutex::LockPathFor(""), "");
  EXPECT_EQ(NamedMutex::LockPathFor("a/b"), "");
  EXPECT_EQ(NamedMutex::LockPathFor(".."), "");
}

TEST_F(NamedMutexTest, FallsBackToTmpWithTheUserId) {
  const std::string expected = "/tmp/Sorbit-" + std::to_string(::geteuid()) + ".lock";
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(NamedMutex::LockPathFor("Sorbit"), expected);
  ::setenv("XDG_RUNTIME_DIR", "relative/dir", 1);
  EXPECT_EQ(NamedMutex::LockPathFor("Sorbit"), expected);
  ::setenv("XDG_RUNTIME_DIR", (runtime_ / "missing").c_str(), 1);
  EXPECT_EQ(NamedMutex::LockPathFor("Sorbit"), expected);
}

TEST_F(NamedMutexTest, OpenExistingOnlyWhileSomeoneHoldsIt) {
  EXPECT_FALSE(NamedMutex::OpenExisting("M"));  // no file yet
  NamedMutex holder;
  ASSERT_TRUE(holder.Create("M"));
  EXPECT_FALSE(NamedMutex::OpenExisting("M"));  // file, but nobody holds it
  ASSERT_EQ(holder.Wait(0), WaitResult::Acquired);
  EXPECT_TRUE(NamedMutex::OpenExisting("M"));
  EXPECT_TRUE(NamedMutex::OpenExisting("M"));   // the probe took nothing away
  EXPECT_FALSE(NamedMutex::OpenExisting("m"));  // names are exact
  holder.Release();
  EXPECT_FALSE(NamedMutex::OpenExisting("M"));
}

TEST_F(NamedMutexTest, SecondWaiterTimesOutWithinItsLimit) {
  NamedMutex first;
  ASSERT_TRUE(first.Create("M"));
  ASSERT_EQ(first.Wait(1000), WaitResult::Acquired);
  NamedMutex second;
  ASSERT_TRUE(second.Create("M"));
  auto start = Clock::now();
  EXPECT_EQ(second.Wait(150), WaitResult::Timeout);
  auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(150));
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_EQ(second.Wait(0), WaitResult::Timeout);
  EXPECT_TRUE(first.IsHeld());
  EXPECT_FALSE(second.IsHeld());
}

TEST_F(NamedMutexTest, WaiterGetsTheLockWhenItIsReleased) {
  NamedMutex first;
  ASSERT_TRUE(first.Create("M"));
  ASSERT_EQ(first.Wait(0), WaitResult::Acquired);
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    first.Release();
  });
  NamedMutex second;
  ASSERT_TRUE(second.Create("M"));
  auto start = Clock::now();
  EXPECT_EQ(second.Wait(10000), WaitResult::Acquired);  // released cleanly: not abandoned
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  releaser.join();
}

TEST_F(NamedMutexTest, DestructorReleases) {
  {
    NamedMutex scoped;
    ASSERT_TRUE(scoped.Create("M"));
    ASSERT_EQ(scoped.Wait(0), WaitResult::Acquired);
    EXPECT_TRUE(NamedMutex::OpenExisting("M"));
  }
  EXPECT_FALSE(NamedMutex::OpenExisting("M"));
}

TEST_F(NamedMutexTest, KilledHolderLeavesAnAbandonedMutex) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    NamedMutex held;
    bool ok = held.Create("M") && held.Wait(0) == WaitResult::Acquired;
    char byte = ok ? 'y' : 'n';
    [[maybe_unused]] ssize_t ignored = ::write(ready[1], &byte, 1);
    ::pause();
    ::_exit(0);
  }
  ::close(ready[1]);
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(byte, 'y');
  EXPECT_TRUE(NamedMutex::OpenExisting("M"));
  NamedMutex next;
  ASSERT_TRUE(next.Create("M"));
  EXPECT_EQ(next.Wait(0), WaitResult::Timeout);

  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_FALSE(NamedMutex::OpenExisting("M"));
  auto start = Clock::now();
  EXPECT_EQ(next.Wait(10000), WaitResult::Abandoned);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  next.Release();
  // Released properly this time: the following holder finds a clean mutex.
  NamedMutex after;
  ASSERT_TRUE(after.Create("M"));
  EXPECT_EQ(after.Wait(0), WaitResult::Acquired);
}

TEST_F(NamedMutexTest, WaitWithoutCreateFails) {
  NamedMutex never_created;
  EXPECT_EQ(never_created.Wait(10), WaitResult::Failed);
  EXPECT_FALSE(never_created.Create(""));
  EXPECT_FALSE(never_created.Create("a/b"));
  EXPECT_EQ(never_created.Wait(10), WaitResult::Failed);
}

TEST_F(NamedMutexTest, RefusesASymbolicLinkInPlaceOfTheLockFile) {
  ASSERT_EQ(::symlink("/etc/passwd", (runtime_ / "Link.lock").c_str()), 0);
  NamedMutex via_link;
  EXPECT_FALSE(via_link.Create("Link"));
  EXPECT_FALSE(NamedMutex::OpenExisting("Link"));
}

TEST_F(NamedMutexTest, RefusesALockFileOfAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file to another user needs root";
  sorbit::testing::WriteFile(runtime_ / "Foreign.lock", "");
  ASSERT_EQ(::chown((runtime_ / "Foreign.lock").c_str(), 65534, 65534), 0);
  NamedMutex foreign;
  EXPECT_FALSE(foreign.Create("Foreign"));
}

}  // namespace
}  // namespace sorbit::platform
