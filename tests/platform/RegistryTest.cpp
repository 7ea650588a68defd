#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "../support/TempDir.h"
#include "platform/services/Registry.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

constexpr const char* kKey = "Software\\NOKU\\SHOWPC\\File";

// A user.reg as Wine writes it, with the viewer's key among others.
std::string UserReg(const std::string& showpc_line) {
  return "WINE REGISTRY Version 2\n"
         ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
         "\n#arch=win32\n\n"
         "[Software\\\\NOKU\\\\SHOWPC] 1700000000\n"
         "#time=1d9f0c1a2b3c4d5\n"
         "\"SHOWPC\"=\"wrong key\"\n\n"
         "[Software\\\\NOKU\\\\SHOWPC\\\\File] 1700000001\n"
         "#time=1d9f0c1a2b3c4d6\n"
         "@=\"default value\"\n"
         "\"Before\"=dword:00000001\n" +
         showpc_line +
         "\n\"After\"=\"x\"\n\n"
         "[Software\\\\Wine] 1700000002\n"
         "\"SHOWPC\"=\"other key\"\n";
}

struct RegCase {
  const char* name;
  std::string showpc_line;
  RegistryValue::Type type;
  std::string text;
  friend void PrintTo(const RegCase& c, std::ostream* os) { *os << c.name; }
};

class RegistryParseTest : public ::testing::TestWithParam<RegCase> {};

TEST_P(RegistryParseTest, ReadsTheViewerValue) {
  const RegCase& c = GetParam();
  RegistryValue value = FindRegistryValueInText(UserReg(c.showpc_line), kKey, "SHOWPC");
  EXPECT_EQ(value.type, c.type);
  EXPECT_EQ(value.text, c.text);
}

using Type = RegistryValue::Type;

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryParseTest,
    ::testing::Values(
        RegCase{"string", R"("SHOWPC"="C:\\Program Files\\SHOWPC\\SHOWPC.EXE")", Type::Text,
                "C:\\Program Files\\SHOWPC\\SHOWPC.EXE"},
        RegCase{"nameCase", R"("showpc"="C:\\a.exe")", Type::Text, "C:\\a.exe"},
        RegCase{"escapes", R"("SHOWPC"="q\"t\tn\nb\\e")", Type::Text, "q\"t\tn\nb\\e"},
        RegCase{"hexEscapeToUtf8", R"("SHOWPC"="C:\\\x30c4\x30fc\x30eb.exe")", Type::Text,
                "C:\\\xE3\x83\x84\xE3\x83\xBC\xE3\x83\xAB.exe"},
        RegCase{"surrogatePair", R"("SHOWPC"="\xd83d\xde00")", Type::Text, "\xF0\x9F\x98\x80"},
        RegCase{"octalEscape", R"("SHOWPC"="a\101")", Type::Text, "aA"},
        RegCase{"upToFirstNul", R"("SHOWPC"="abc\0def")", Type::Text, "abc"},
        RegCase{"empty", R"("SHOWPC"="")", Type::Text, ""},
        RegCase{"expandable", R"("SHOWPC"=str(2):"%ProgramFiles%\\SHOWPC.EXE")", Type::Text,
                "%ProgramFiles%\\SHOWPC.EXE"},
        RegCase{"multiString", R"("SHOWPC"=str(7):"a\0b\0")", Type::Other, ""},
        RegCase{"dword", R"("SHOWPC"=dword:00000010)", Type::Other, ""},
        RegCase{"binary", R"("SHOWPC"=hex:41,00,42,00)", Type::Other, ""},
        RegCase{"binaryOverLines", "\"SHOWPC\"=hex:41,00,\\\n  42,00", Type::Other, ""},
        RegCase{"qword", R"("SHOWPC"=hex(b):01,00,00,00,00,00,00,00)", Type::Other, ""},
        RegCase{"hexString", "\"SHOWPC\"=hex(2):43,00,3a,00,5c,00,\\\n  78,00,00,00,79,00",
                Type::Text, "C:\\x"},
        RegCase{"unterminatedString", R"("SHOWPC"="abc)", Type::Other, ""},
        RegCase{"missingValue", R"("Other"="x")", Type::Missing, ""}),
    [](const ::testing::TestParamInfo<RegCase>& p) { return std::string(p.param.name); });

TEST(RegistryParse, KeyPathMatchesWithoutCase) {
  RegistryValue value =
      FindRegistryValueInText(UserReg(R"("SHOWPC"="v")"), "software\\noku\\showpc\\FILE", "SHOWPC");
  EXPECT_EQ(value.type, Type::Text);
  EXPECT_EQ(value.text, "v");
}

TEST(RegistryParse, DefaultValueByEmptyName) {
  RegistryValue value = FindRegistryValueInText(UserReg(""), kKey, "");
  EXPECT_EQ(value.type, Type::Text);
  EXPECT_EQ(value.text, "default value");
}

TEST(RegistryParse, MissingKeyIsMissing) {
  RegistryValue value = FindRegistryValueInText(UserReg(R"("SHOWPC"="v")"),
                                                "Software\\NOKU\\SHOWPC\\Files", "SHOWPC");
  EXPECT_EQ(value.type, Type::Missing);
  EXPECT_EQ(FindRegistryValueInText("", kKey, "SHOWPC").type, Type::Missing);
}

TEST(RegistryParse, CrLfFileIsRead) {
  std::string text = "[Software\\\\NOKU\\\\SHOWPC\\\\File] 1\r\n\"SHOWPC\"=\"C:\\\\v.exe\"\r\n";
  RegistryValue value = FindRegistryValueInText(text, kKey, "SHOWPC");
  EXPECT_EQ(value.type, Type::Text);
  EXPECT_EQ(value.text, "C:\\v.exe");
}

// Sets WINEPREFIX for one test and puts the old value back.
class ScopedWinePrefix {
 public:
  explicit ScopedWinePrefix(const std::string& prefix) {
    const char* old = ::getenv("WINEPREFIX");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
  }
  ~ScopedWinePrefix() {
    if (had_old_) {
      ::setenv("WINEPREFIX", old_.c_str(), 1);
    } else {
      ::unsetenv("WINEPREFIX");
    }
  }

 private:
  bool had_old_ = false;
  std::string old_;
};

TEST(RegistryFile, ReadsUserRegOfThePrefix) {
  TempDir prefix;
  WriteFile(prefix / "user.reg", UserReg(R"("SHOWPC"="Z:\\opt\\SHOWPC.EXE")"));
  ScopedWinePrefix scoped(prefix.path());
  EXPECT_EQ(UserRegistryPath(), prefix / "user.reg");
  RegistryValue value = QueryUserRegistryValue(kKey, "SHOWPC");
  EXPECT_EQ(value.type, Type::Text);
  EXPECT_EQ(value.text, "Z:\\opt\\SHOWPC.EXE");
}

TEST(RegistryFile, NoFileIsMissing) {
  TempDir prefix;
  ScopedWinePrefix scoped(prefix.path());
  EXPECT_EQ(QueryUserRegistryValue(kKey, "SHOWPC").type, Type::Missing);
}

TEST(RegistryFile, ReadingDoesNotChangeTheFile) {
  TempDir prefix;
  std::string content = UserReg(R"("SHOWPC"=dword:00000001)");
  WriteFile(prefix / "user.reg", content);
  ScopedWinePrefix scoped(prefix.path());
  EXPECT_EQ(QueryUserRegistryValue(kKey, "SHOWPC").type, Type::Other);
  EXPECT_EQ(sorbit::testing::ReadFile(prefix / "user.reg"), content);
}

}  // namespace
}  // namespace sorbit::platform
