#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/services/ProgramFile.h"

namespace sorbit::platform {
namespace {

struct PathCase {
  const char* name;
  std::string program;
  std::vector<std::string> arguments;
  std::string expected;
  friend void PrintTo(const PathCase& c, std::ostream* os) { *os << c.name; }
};

class SettingsPathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(SettingsPathTest, FollowsTheCommandLine) {
  const PathCase& c = GetParam();
  EXPECT_EQ(SettingsPathFor(c.program, c.arguments), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, SettingsPathTest,
    ::testing::Values(
        PathCase{"noArgument", "/opt/sorbit/bin/sorbit", {}, "/opt/sorbit/bin/sorbit.ini"},
        PathCase{"extensionReplaced", "/opt/Sorbit.exe", {}, "/opt/Sorbit.ini"},
        PathCase{"lastDotOfName", "/opt/a.b.c", {}, "/opt/a.b.ini"},
        PathCase{"dotInFolderOnly", "/opt/v1.2/sorbit", {}, "/opt/v1.2/sorbit.ini"},
        PathCase{"slashAndName", "/opt/bin/sorbit", {"/my.ini"}, "/opt/bin/my.ini"},
        PathCase{"hyphenAndName", "/opt/bin/sorbit", {"-my.ini"}, "/opt/bin/my.ini"},
        PathCase{"anyFirstCharacterDropped", "/opt/bin/sorbit", {"xmy.ini"}, "/opt/bin/my.ini"},
        PathCase{"relativeBelowFolder", "/opt/bin/sorbit", {"/conf/s.ini"}, "/opt/bin/conf/s.ini"},
        PathCase{"oneCharacterGivesFolder", "/opt/bin/sorbit", {"/"}, "/opt/bin/"},
        PathCase{"emptyArgumentGivesFolder", "/opt/bin/sorbit", {""}, "/opt/bin/"},
        PathCase{"twoArgumentsIgnored", "/opt/bin/sorbit", {"/my.ini", "x"}, "/opt/bin/sorbit.ini"},
        PathCase{"rootFolder", "/sorbit", {"/s.ini"}, "/s.ini"},
        PathCase{"noFolderAtAll", "sorbit", {}, "sorbit.ini"}),
    [](const ::testing::TestParamInfo<PathCase>& p) { return std::string(p.param.name); });

TEST(ProgramPath, NamesThisTestProgram) {
  std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(std::filesystem::path(path).filename(), "platform_services_test");
}

}  // namespace
}  // namespace sorbit::platform
