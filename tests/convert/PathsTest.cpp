#include <gtest/gtest.h>

#include "convert/Paths.h"

namespace sorbit {
namespace {

TEST(Paths, BoardNameDropsTheLastFourBytes) {
  EXPECT_EQ(BoardName("/logs/general.log"), "general");
  EXPECT_EQ(BoardName("/logs/general.txt"), "general");
  EXPECT_EQ(BoardName("/logs/ab.logx"), "ab.");
  EXPECT_EQ(BoardName("/logs/.log"), "");
  EXPECT_EQ(BoardName("/logs/a"), "");
  EXPECT_EQ(BoardName("/logs.d/x.log"), "x");
}

TEST(Paths, OutputPathAlwaysInsertsTheSeparator) {
  EXPECT_EQ(OutputPath("/out", "svf", "general", ".log"), "/out/svfgeneral.log");
  EXPECT_EQ(OutputPath("/out/", "svf", "general", ".log"), "/out//svfgeneral.log");
  EXPECT_EQ(OutputPath("", "", "general", ".log"), "/general.log");
}

TEST(Paths, FolderAndFileName) {
  EXPECT_EQ(FolderPart("/a/b/c.log"), "/a/b/");
  EXPECT_EQ(FileNamePart("/a/b/c.log"), "c.log");
  EXPECT_EQ(FolderPart("c.log"), "");
  EXPECT_EQ(FolderPart("/"), "/");
  EXPECT_EQ(FileNamePart("a:b"), "a:b");  // ":" is an ordinary character here
}

struct BackupCase {
  const char* path;
  LocalTime time;
  const char* expected;
};

class BackupNames : public ::testing::TestWithParam<BackupCase> {};

TEST_P(BackupNames, ReplaceTheExtensionByTheStamp) {
  EXPECT_EQ(BackupName(GetParam().path, GetParam().time), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, BackupNames,
    ::testing::Values(
        BackupCase{"/o/svfgeneral.log", {1998, 12, 31, 23, 59, 58}, "/o/svfgeneral.981231235958"},
        BackupCase{"/o/svfgeneral", {2001, 2, 3, 4, 5, 6}, "/o/svfgeneral.010203040506"},
        BackupCase{"/o.d/svfgeneral", {2001, 2, 3, 4, 5, 6}, "/o.d/svfgeneral.010203040506"},
        BackupCase{"/o/a.b.c", {2024, 1, 1, 0, 0, 0}, "/o/a.b.240101000000"},
        BackupCase{"/o/x.", {2024, 1, 1, 0, 0, 0}, "/o/x.240101000000"},
        BackupCase{"/o/old.log", {1970, 1, 1, 9, 0, 0}, "/o/old.700101090000"},
        BackupCase{"/o/far.log", {2150, 6, 7, 8, 9, 10}, "/o/far.500607080910"}),
    [](const auto& p) { return "Case" + std::to_string(p.index); });

TEST(Paths, EndsInLogInAnyLetterCase) {
  for (const char* name : {"a.log", "b.LOG", "c.Log", ".log", "x.lOg"}) {
    EXPECT_TRUE(EndsInLog(name)) << name;
  }
  for (const char* name : {"a.txt", "log", "a.logx", "a_log", "a.lo", "", "a.l0g"}) {
    EXPECT_FALSE(EndsInLog(name)) << name;
  }
}

}  // namespace
}  // namespace sorbit
