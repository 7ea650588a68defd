// The reader's arguments: files, folders and patterns made into the files to open, and what
// is reported for the ones that name nothing.
#include <fnmatch.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "reader/Arguments.h"
#include "support/TempDir.h"

namespace sorbit::reader {
namespace {

using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

// Against the C library's fnmatch over patterns and names of the bytes that matter: "*" as
// fnmatch reads it, a leading "." only matched by a leading "." (FNM_PERIOD).
TEST(ArgumentsTest, NameMatchesAsFnmatchDoesForStarPatterns) {
  std::mt19937 random(18);
  const char pattern_bytes[] = {'a', 'b', '.', '*', '*'};
  const char name_bytes[] = {'a', 'b', '.'};
  int matches = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string pattern, name;
    for (std::size_t n = random() % 7; n > 0; --n) pattern += pattern_bytes[random() % 5];
    for (std::size_t n = random() % 8; n > 0; --n) name += name_bytes[random() % 3];
    const bool want = ::fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) == 0;
    EXPECT_EQ(NameMatches(pattern, name), want) << pattern << " / " << name;
    matches += want;
  }
  EXPECT_GT(matches, 2000);
  // Only "*" is special: "?" and "[" are bytes of a name like any other.
  EXPECT_FALSE(NameMatches("a?[c]", "abc"));
  EXPECT_TRUE(NameMatches("a?[c]*", "a?[c]\x8c\x66.log"));
}

class ArgumentsFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"svfb.log", "svfa.log", "README", "c.LOG", ".svfh.log"}) {
      WriteFile(dir / name, "x");
    }
    std::filesystem::create_directory(dir / "sub.log");
    WriteFile(dir / "sub.log/svfz.log", "x");
  }
  TempDir dir;
};

TEST_F(ArgumentsFolderTest, FilesFoldersAndPatternsInOrderEachFileOnce) {
  const ExpandedArguments got = ExpandArguments({
      dir / "README",             // a file, whatever its name
      dir.path(),                 // the folder's .log files in byte order, no subfolder
      dir / "svf*.log",           // a pattern: both svf files again, listed once only
      dir.Folder() + "./README",  // another path to a file already listed
  });
  EXPECT_EQ(got.files, (std::vector<std::string>{dir / "README", dir / ".svfh.log", dir / "c.LOG",
                                                 dir / "svfa.log", dir / "svfb.log"}));
  EXPECT_TRUE(got.problems.empty());
  // A pattern without a folder names the working folder's files, as they are named there.
  const std::string was = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const ExpandedArguments here = ExpandArguments({"svf*.log", "*.log"});
  std::filesystem::current_path(was);
  EXPECT_EQ(here.files, (std::vector<std::string>{"svfa.log", "svfb.log"}));
}

TEST_F(ArgumentsFolderTest, WhatNamesNothingIsReportedWithItsReason) {
  TempDir empty;
  WriteFile(empty / "notes.txt", "x");
  const ExpandedArguments got = ExpandArguments({
      dir / "missing.log",   // no such file
      dir / "none*.log",     // a pattern without a match
      dir / "no-folder/a*",  // a pattern in a missing folder
      dir / "svf*/x.log",    // "*" in a folder part is no pattern
      empty.path(),          // a folder without logs
      "/dev/null",           // neither a file nor a folder
      dir / "svfa.log",
  });
  EXPECT_EQ(got.files, std::vector<std::string>{dir / "svfa.log"});
  using Kind = ArgumentProblem::Kind;
  ASSERT_EQ(got.problems.size(), 6u);
  const std::pair<Kind, int> want[] = {{Kind::kUnreadable, ENOENT}, {Kind::kNoMatch, 0},
                                       {Kind::kUnreadable, ENOENT}, {Kind::kUnreadable, ENOENT},
                                       {Kind::kEmptyFolder, 0},     {Kind::kNotARegularFile, 0}};
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(got.problems[i].kind, want[i].first) << got.problems[i].argument;
    EXPECT_EQ(got.problems[i].error_number, want[i].second) << got.problems[i].argument;
  }
  EXPECT_EQ(got.problems[0].argument, dir / "missing.log");
}

}  // namespace
}  // namespace sorbit::reader
