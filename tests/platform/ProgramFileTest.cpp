#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "../support/Unprivileged.h"
#include "platform/services/Profile.h"
#include "platform/services/ProgramFile.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

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

// ---- where the settings file lives ----

struct PlaceCase {
  const char* name;
  std::vector<std::string> arguments;
  bool writable;
  std::string user_folder;
  std::string path;
  std::string folder_to_make;
  friend void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }
};

class SettingsPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(SettingsPlaceTest, BesideAWritableProgramElseInTheUsersFolder) {
  const PlaceCase& c = GetParam();
  const SettingsPlace place =
      ChooseSettingsPlace("/usr/bin/sorbit", c.arguments, c.writable, c.user_folder);
  EXPECT_EQ(place.path, c.path);
  EXPECT_EQ(place.folder_to_make, c.folder_to_make);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, SettingsPlaceTest,
    ::testing::Values(
        PlaceCase{
            "writableNoArgument", {}, true, "/home/u/.config/sorbit", "/usr/bin/sorbit.ini", ""},
        PlaceCase{
            "writableOneArgument", {"/my.ini"}, true, "/h/.config/sorbit", "/usr/bin/my.ini", ""},
        PlaceCase{"installedNoArgument",
                  {},
                  false,
                  "/home/u/.config/sorbit",
                  "/home/u/.config/sorbit/sorbit.ini",
                  "/home/u/.config/sorbit"},
        PlaceCase{"installedOneArgument",
                  {"/my.ini"},
                  false,
                  "/c/sorbit",
                  "/c/sorbit/my.ini",
                  "/c/sorbit"},
        PlaceCase{"installedRelativeArgument",
                  {"-sub/s.ini"},
                  false,
                  "/c/sorbit",
                  "/c/sorbit/sub/s.ini",
                  "/c/sorbit"},
        PlaceCase{"installedTwoArguments",
                  {"/my.ini", "x"},
                  false,
                  "/c/sorbit",
                  "/c/sorbit/sorbit.ini",
                  "/c/sorbit"},
        PlaceCase{"installedWithoutAHome", {}, false, "", "/usr/bin/sorbit.ini", ""}),
    [](const ::testing::TestParamInfo<PlaceCase>& p) { return std::string(p.param.name); });

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserSettingsFolder, XdgConfigHomeThenHome) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(UserSettingsFolder(), "/cfg/sorbit");
  }
  for (const char* unusable : {static_cast<const char*>(nullptr), "", "relative/cfg"}) {
    ScopedEnv config("XDG_CONFIG_HOME", unusable);
    EXPECT_EQ(UserSettingsFolder(), "/home/someone/.config/sorbit");
  }
}

// The real decision: a program in a folder that "nobody" cannot write (a read-only bind
// would do the same for root) keeps its settings in the user's folder, which the first write
// creates; a program in a folder it can write keeps them beside itself. Run as "nobody",
// since permission bits do not bind root.
TEST(SettingsPlaceFor, AnInstalledProgramWritesIntoTheUsersFolder) {
  TempDir installed, portable, home;
  ASSERT_EQ(::chmod(installed.path().c_str(), 0755), 0);  // root's, readable by all
  ASSERT_EQ(::chmod(portable.path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(home.path().c_str(), 0777), 0);
  WriteFile(installed.Path("sorbit"), "");
  ScopedEnv config("XDG_CONFIG_HOME", nullptr);
  ScopedEnv user_home("HOME", home.path().c_str());

  const std::string user_folder = home.Path(".config/sorbit");
  EXPECT_TRUE(sorbit::testing::RunUnprivileged([&] {
    const SettingsPlace place = SettingsPlaceFor(installed.Path("sorbit"), {});
    return place.path == user_folder + "/sorbit.ini" && place.folder_to_make == user_folder &&
           MakeSettingsFolder(place.folder_to_make) &&
           WritePrivateProfileString("Tool", "Path", "", place.path);
  }));
  EXPECT_EQ(ReadFile(user_folder + "/sorbit.ini"), "[Tool]\nPath=\n");
  struct stat st {};
  ASSERT_EQ(::stat(user_folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  EXPECT_TRUE(sorbit::testing::RunUnprivileged([&] {
    const SettingsPlace place = SettingsPlaceFor(portable.Path("sorbit"), {"/p.ini"});
    return place.path == portable.Path("p.ini") && place.folder_to_make.empty();
  }));
}

TEST(MakeSettingsFolder, MakesEveryMissingLevelAndAcceptsAnExistingOne) {
  TempDir dir;
  EXPECT_TRUE(MakeSettingsFolder(dir.Path("a/b/c")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path("a/b/c")));
  EXPECT_TRUE(MakeSettingsFolder(dir.Path("a/b/c")));
  WriteFile(dir.Path("file"), "");
  EXPECT_FALSE(MakeSettingsFolder(dir.Path("file")));
  EXPECT_FALSE(MakeSettingsFolder(dir.Path("file/sub")));
}

TEST(ProgramPath, NamesThisTestProgram) {
  std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(std::filesystem::path(path).filename(), "platform_services_test");
}

}  // namespace
}  // namespace sorbit::platform
