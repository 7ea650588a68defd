#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "../support/Unprivileged.h"
#include "platform/posix/AsciiText.h"
#include "platform/services/Profile.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::RunUnprivileged;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

// ---- reading ----

struct ReadCase {
  const char* name;
  std::string content;
  std::string section;
  std::string key;
  std::string expected;
  friend void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
};

class ProfileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ProfileReadTest, FindsTheValueByTheReadingRules) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(GetProfileStringFromText(c.content, c.section, c.key, "<default>"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileReadTest,
    ::testing::Values(
        ReadCase{"plain", "[LogFld]\ntekuri=/home/a/\n", "LogFld", "tekuri", "/home/a/"},
        ReadCase{"sectionCase", "[logfld]\ntekuri=x\n", "LogFld", "tekuri", "x"},
        ReadCase{"keyCase", "[LogFld]\nTEKURI=x\n", "logfld", "Tekuri", "x"},
        ReadCase{"blanksAround", "[S]\n  k  =  a b \t\n", "S", "k", "a b"},
        ReadCase{"blanksInHeader", "  [ S ]  \nk=v\n", "S", "k", "v"},
        ReadCase{"doubleQuotes", "[S]\nk=\"a b\"\n", "S", "k", "a b"},
        ReadCase{"singleQuotes", "[S]\nk='a b'\n", "S", "k", "a b"},
        ReadCase{"quotesKeepInnerBlanks", "[S]\nk= \" a \" \n", "S", "k", " a "},
        ReadCase{"onePairOnly", "[S]\nk=\"\"a\"\"\n", "S", "k", "\"a\""},
        ReadCase{"mixedQuotesStay", "[S]\nk=\"a'\n", "S", "k", "\"a'"},
        ReadCase{"loneQuoteStays", "[S]\nk=\"\n", "S", "k", "\""},
        ReadCase{"emptyQuotes", "[S]\nk=\"\"\n", "S", "k", ""},
        ReadCase{"presentButEmpty", "[S]\nk=\n", "S", "k", ""},
        ReadCase{"presentOnlyBlanks", "[S]\nk=   \n", "S", "k", ""},
        ReadCase{"missingKey", "[S]\nother=1\n", "S", "k", "<default>"},
        ReadCase{"missingSection", "[T]\nk=1\n", "S", "k", "<default>"},
        ReadCase{"keyOfAnotherSection", "[S]\na=1\n[T]\nk=2\n", "S", "k", "<default>"},
        ReadCase{"keyBeforeAnySection", "k=1\n[S]\n", "S", "k", "<default>"},
        ReadCase{"firstKeyWins", "[S]\nk=1\nk=2\n", "S", "k", "1"},
        ReadCase{"firstSectionWins", "[S]\nk=1\n[s]\nk=2\n", "S", "k", "1"},
        ReadCase{"laterSectionOfSameName", "[S]\na=1\n[s]\nk=2\n", "S", "k", "<default>"},
        ReadCase{"crlf", "[S]\r\nk=v\r\n", "S", "k", "v"},
        ReadCase{"noFinalLineEnd", "[S]\nk=v", "S", "k", "v"},
        ReadCase{"equalsInValue", "[S]\nk=a=b\n", "S", "k", "a=b"},
        ReadCase{"commentNotAKey", "[S]\n;k=1\nk=2\n", "S", "k", "2"},
        ReadCase{"lineWithoutEquals", "[S]\nk\nk=3\n", "S", "k", "3"},
        ReadCase{"shiftJisBytesPass", "[S]\nk=\x83\x5c\x83\x74\x83\x67\n", "S", "k",
                 "\x83\x5c\x83\x74\x83\x67"},
        ReadCase{"emptyFile", "", "S", "k", "<default>"}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return std::string(p.param.name); });

TEST(ProfileRead, LongValueIsCutTo1023Bytes) {
  std::string value(3000, 'v');
  value[1022] = 'L';
  std::string got = GetProfileStringFromText("[S]\nk=" + value + "\n", "S", "k", "");
  ASSERT_EQ(got.size(), 1023u);
  EXPECT_EQ(got.back(), 'L');
}

TEST(ProfileRead, ValueOfExactly1023BytesIsWhole) {
  std::string value(1023, 'v');
  EXPECT_EQ(GetProfileStringFromText("[S]\nk=" + value + "\n", "S", "k", ""), value);
}

TEST(ProfileRead, LongDefaultIsCutToo) {
  std::string fallback(1500, 'd');
  EXPECT_EQ(GetProfileStringFromText("", "S", "k", fallback), fallback.substr(0, 1023));
}

TEST(ProfileRead, MissingFileGivesDefault) {
  TempDir dir;
  EXPECT_EQ(GetPrivateProfileString("S", "k", "svf", dir / "none.ini"), "svf");
}

TEST(ProfileRead, DirectoryGivesDefault) {
  TempDir dir;
  EXPECT_EQ(GetPrivateProfileString("S", "k", ".log", dir.path()), ".log");
}

TEST(ProfileRead, FifoGivesDefaultWithoutHanging) {
  TempDir dir;
  std::string fifo = dir / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(GetPrivateProfileString("S", "k", "d", fifo), "d");
}

TEST(ProfileRead, ReadsFromFile) {
  TempDir dir;
  WriteFile(dir / "a.ini", "[CnvSettings]\r\nPrefix=\r\nExtension=.txt\r\n");
  EXPECT_EQ(GetPrivateProfileString("CnvSettings", "Prefix", "svf", dir / "a.ini"), "");
  EXPECT_EQ(GetPrivateProfileString("cnvsettings", "extension", ".log", dir / "a.ini"), ".txt");
}

// ---- integers and Booleans ----

struct IntegerCase {
  const char* text;
  std::optional<int32_t> expected;
};

class ProfileIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ProfileIntegerTest, ReadsOrRefuses) {
  EXPECT_EQ(ParseProfileInteger(GetParam().text), GetParam().expected)
      << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ProfileIntegerTest,
    ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"1", 1}, IntegerCase{"2", 2},
                      IntegerCase{"-1", -1}, IntegerCase{"+7", 7}, IntegerCase{"00012", 12},
                      IntegerCase{"  5", 5}, IntegerCase{"\t5", 5}, IntegerCase{"0x0", 0},
                      IntegerCase{"0x1", 1}, IntegerCase{"0X1F", 31}, IntegerCase{"0xff", 255},
                      IntegerCase{"$A", 10}, IntegerCase{"$a", 10}, IntegerCase{"$0", 0},
                      IntegerCase{"-$1", -1}, IntegerCase{" -0x10", -16},
                      IntegerCase{"2147483647", INT32_MAX}, IntegerCase{"-2147483648", INT32_MIN},
                      IntegerCase{"$7FFFFFFF", INT32_MAX}, IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"0xFFFFFFFF", -1}, IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"-2147483649", std::nullopt},
                      IntegerCase{"99999999999999999999", std::nullopt},
                      IntegerCase{"$100000000", std::nullopt}, IntegerCase{"", std::nullopt},
                      IntegerCase{"   ", std::nullopt}, IntegerCase{"yes", std::nullopt},
                      IntegerCase{"true", std::nullopt}, IntegerCase{"-", std::nullopt},
                      IntegerCase{"+-1", std::nullopt}, IntegerCase{"$", std::nullopt},
                      IntegerCase{"0x", std::nullopt}, IntegerCase{"1a", std::nullopt},
                      IntegerCase{"0x1g", std::nullopt}, IntegerCase{"5 ", std::nullopt},
                      IntegerCase{"1.0", std::nullopt}, IntegerCase{"$-1", std::nullopt},
                      IntegerCase{"0b1", std::nullopt}));

TEST(ProfileBool, ReadsTheSettingsForms) {
  TempDir dir;
  std::string path = dir / "b.ini";
  WriteFile(path,
            "[B]\ntwo=2\nminus=-1\nhexZero=0x0\nhexOne=0x1\ndollarA=$A\nyes=yes\ntrue=true\n"
            "zero=0\nempty=\nblank=  1  \nquoted=\"0\"\nbig=4294967296\n");
  struct {
    const char* key;
    bool fallback;
    bool expected;
  } cases[] = {
      {"two", false, true},    {"minus", false, true},    {"hexZero", true, false},
      {"hexOne", false, true}, {"dollarA", false, true},  {"yes", false, false},
      {"yes", true, true},     {"true", false, false},    {"true", true, true},
      {"zero", true, false},   {"empty", true, true},     {"empty", false, false},
      {"missing", true, true}, {"missing", false, false}, {"blank", false, true},
      {"quoted", true, false}, {"big", true, true},       {"big", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadProfileBool("B", c.key, c.fallback, path), c.expected)
        << c.key << " with default " << c.fallback;
  }
}

// ---- writing: the text ----

TEST(ProfileWriteText, NewFileGetsSectionsInOrderWithLf) {
  std::string content;
  const std::vector<std::vector<std::string>> writes = {{"LogFld", "tekuri", "/in/"},
                                                        {"LogFld", "sfv", "/out"},
                                                        {"CnvSettings", "AddMsgNo", "1"},
                                                        {"CnvSettings", "Prefix", "svf"},
                                                        {"Tool", "Path", ""}};
  for (const auto& w : writes) content = *SetProfileStringInText(content, w[0], w[1], w[2]);
  EXPECT_EQ(content,
            "[LogFld]\ntekuri=/in/\nsfv=/out\n[CnvSettings]\nAddMsgNo=1\nPrefix=svf\n"
            "[Tool]\nPath=\n");
}

TEST(ProfileWriteText, ReplacingAKeyKeepsEveryOtherByte) {
  const std::string before =
      "; my settings\n[LogFld]\nTeKuRi = old value \nsfv=/out\n\n[Other]\nx=\"1\"\n";
  EXPECT_EQ(*SetProfileStringInText(before, "logfld", "tekuri", "/new/"),
            "; my settings\n[LogFld]\nTeKuRi = /new/\nsfv=/out\n\n[Other]\nx=\"1\"\n");
}

TEST(ProfileWriteText, CrLfFileStaysCrLf) {
  const std::string before = "[A]\r\nk=1\r\n[B]\r\nm=2\r\n";
  EXPECT_EQ(*SetProfileStringInText(before, "A", "k", "9"), "[A]\r\nk=9\r\n[B]\r\nm=2\r\n");
  EXPECT_EQ(*SetProfileStringInText(before, "A", "n", "3"), "[A]\r\nk=1\r\nn=3\r\n[B]\r\nm=2\r\n");
  EXPECT_EQ(*SetProfileStringInText(before, "C", "p", "4"),
            "[A]\r\nk=1\r\n[B]\r\nm=2\r\n[C]\r\np=4\r\n");
}

TEST(ProfileWriteText, NewKeyGoesAfterTheSectionsLastLineBeforeBlankLines) {
  EXPECT_EQ(*SetProfileStringInText("[A]\nk=1\n\n\n[B]\n", "A", "n", "2"),
            "[A]\nk=1\nn=2\n\n\n[B]\n");
  EXPECT_EQ(*SetProfileStringInText("[A]\n[B]\n", "A", "n", "2"), "[A]\nn=2\n[B]\n");
}

TEST(ProfileWriteText, LastLineWithoutLineEndGetsOne) {
  EXPECT_EQ(*SetProfileStringInText("[A]\nk=1", "A", "n", "2"), "[A]\nk=1\nn=2\n");
  EXPECT_EQ(*SetProfileStringInText("[A]\nk=1", "B", "n", "2"), "[A]\nk=1\n[B]\nn=2\n");
  EXPECT_EQ(*SetProfileStringInText("[A]\nk=1", "A", "k", "2"), "[A]\nk=2");
}

TEST(ProfileWriteText, ValueWrittenAsGivenAndReadBack) {
  for (std::string value : {"", "svf", ".LOG", "/a b/c/", "x=y", "\x83\x41"}) {
    std::string content = *SetProfileStringInText("[S]\nk=old\n", "S", "k", value);
    EXPECT_EQ(GetProfileStringFromText(content, "S", "k", "<d>"), value);
  }
}

TEST(ProfileWriteText, ValueEndsAtItsFirstLineBreakAndKeepsNul) {
  struct Case {
    std::string value, stored;
  };
  const std::vector<Case> cases = {
      {"a\nb=c", "a"},
      {"a\rb", "a"},
      {"a\r\n[T]\r\nk=2", "a"},
      {"\n", ""},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {std::string("/usr/bin/x\0y", 12), std::string("/usr/bin/x\0y", 12)}};
  for (const Case& c : cases) {
    const std::optional<std::string> content =
        SetProfileStringInText("[S]\nk=old\n", "S", "k", c.value);
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(*content, "[S]\nk=" + c.stored + "\n");
    EXPECT_EQ(GetProfileStringFromText(*content, "S", "k", "<d>"), c.stored);
  }
}

// Bytes that are not UTF-8 (Shift-JIS, a lone continuation byte, U+FFFD's own bytes) and a
// NUL read as they stand and, written back unchanged, leave the file byte for byte.
TEST(ProfileWriteText, UnchangedValuesAreWrittenBackByteForByte) {
  const std::vector<std::string> values = {
      "\x82\xA0",     "/tmp/\x82\xA0\x95\x5C",          "\x80\xFF\xFE",
      "\xEF\xBF\xBD", std::string("/usr/bin/x\0y", 12), std::string("\0", 1)};
  for (const std::string& value : values) {
    const std::string file =
        "[LogFld]\r\nsfv=" + value + "\r\n[CnvSettings]\r\nPrefix=" + value + "\r\n";
    const std::string read = GetProfileStringFromText(file, "LogFld", "sfv", "<d>");
    EXPECT_EQ(read, value);
    const std::optional<std::string> written = SetProfileStringInText(file, "LogFld", "sfv", read);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, file);
    EXPECT_EQ(*SetProfileStringInText(file, "CnvSettings", "Prefix", read), file);
  }
}

// CR alone ends a line as LF and CR LF do, in any mixture; a line the writer adds ends as the
// file's first line does.
TEST(ProfileReadText, EveryLineEndSplitsLines) {
  for (const std::string eol : {"\r", "\n", "\r\n"}) {
    const std::string file = "[A]" + eol + "k=1" + eol + "[B]" + eol + "m=2" + eol;
    EXPECT_EQ(GetProfileStringFromText(file, "A", "k", "<d>"), "1") << "line end " << eol.size();
    EXPECT_EQ(GetProfileStringFromText(file, "B", "m", "<d>"), "2");
    EXPECT_EQ(GetProfileStringFromText(file, "A", "m", "<d>"), "<d>");
  }
  const std::string mixed = "[A]\rk=1\r\n[B]\nm=2\rn=3";
  EXPECT_EQ(GetProfileStringFromText(mixed, "A", "k", "<d>"), "1");
  EXPECT_EQ(GetProfileStringFromText(mixed, "B", "m", "<d>"), "2");
  EXPECT_EQ(GetProfileStringFromText(mixed, "B", "n", "<d>"), "3");
}

TEST(ProfileWriteText, CrOnlyFileStaysCrOnly) {
  const std::string before = "[A]\rk=1\r[B]\rm=2\r";
  EXPECT_EQ(*SetProfileStringInText(before, "A", "k", "9"), "[A]\rk=9\r[B]\rm=2\r");
  EXPECT_EQ(*SetProfileStringInText(before, "A", "n", "3"), "[A]\rk=1\rn=3\r[B]\rm=2\r");
  EXPECT_EQ(*SetProfileStringInText(before, "C", "p", "4"), "[A]\rk=1\r[B]\rm=2\r[C]\rp=4\r");
  EXPECT_EQ(*SetProfileStringInText("[A]\rk=1", "C", "p", "4"), "[A]\rk=1\r[C]\rp=4\r");
  // Every key written on its own, as a close does, into a CR-only file that holds none.
  std::string content = "; mine\r";
  for (const char* key : {"tekuri", "sfv"})
    content = *SetProfileStringInText(content, "LogFld", key, "x");
  content = *SetProfileStringInText(content, "Tool", "Path", "");
  EXPECT_EQ(content, "; mine\r[LogFld]\rtekuri=x\rsfv=x\r[Tool]\rPath=\r");
}

// A key added in a CR-only file after a line that ends in LF, with an empty LF line after it,
// must not end in CR: that CR would pair with the next LF and swallow the empty line.
TEST(ProfileWriteText, AddedLineNeverPairsWithItsNeighbours) {
  EXPECT_EQ(*SetProfileStringInText("[A]\rk=1\n\n[B]\r", "A", "n", "2"), "[A]\rk=1\nn=2\n\n[B]\r");
  EXPECT_EQ(*SetProfileStringInText("[A]\nk=1\r\n[B]\n", "A", "n", "2"),
            "[A]\nk=1\r\nn=2\r\n[B]\n");
}

// Random files over the bytes that matter to the format: after one write, the key reads back
// as written and every other key of every section reads as before.
TEST(ProfileWriteText, OneWriteChangesOneKeyOnly) {
  const std::string alphabet = std::string("[]=;\r\n\r\n AkKSs\x82\xA0") + std::string(1, '\0');
  const std::vector<std::string> names = {"A", "k", "K", "S", "s", "kS"};
  uint64_t state = 0x9E3779B97F4A7C15ull;
  const auto next = [&state](uint64_t bound) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state % bound;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string content;
    for (uint64_t i = next(40); i > 0; --i) content.push_back(alphabet[next(alphabet.size())]);
    const std::string& section = names[next(names.size())];
    const std::string& key = names[next(names.size())];
    std::string value;
    for (uint64_t i = next(6); i > 0; --i) value.push_back("ak\x82\xA0=;"[next(6)]);
    const std::optional<std::string> updated = SetProfileStringInText(content, section, key, value);
    ASSERT_TRUE(updated.has_value());
    ASSERT_EQ(GetProfileStringFromText(*updated, section, key, "<none>"), value)
        << "content " << ::testing::PrintToString(content);
    for (const std::string& other_section : names) {
      for (const std::string& other_key : names) {
        if (EqualsIgnoringAsciiCase(other_section, section) &&
            EqualsIgnoringAsciiCase(other_key, key))
          continue;
        ASSERT_EQ(GetProfileStringFromText(*updated, other_section, other_key, "<none>"),
                  GetProfileStringFromText(content, other_section, other_key, "<none>"))
            << "content " << ::testing::PrintToString(content) << " set " << section << "/" << key;
      }
    }
  }
}

TEST(ProfileWriteText, RefusesNamesThatReadingWouldNotFindAgain) {
  EXPECT_FALSE(SetProfileStringInText("", "S", std::string("k\0", 2), "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S\rT", "k", "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S]", "k", "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S\n[T", "k", "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S", "", "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S", "k=x", "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S", " k", "v"));
  EXPECT_FALSE(SetProfileStringInText("", "S", ";k", "v"));
}

// ---- writing: the file ----

TEST(ProfileWriteFile, CreatesMissingFile) {
  TempDir dir;
  std::string path = dir / "Sorbit.ini";
  ASSERT_TRUE(WritePrivateProfileString("LogFld", "tekuri", "/in/", path));
  ASSERT_TRUE(WritePrivateProfileString("CnvSettings", "AddMsgNo", "1", path));
  EXPECT_EQ(ReadFile(path), "[LogFld]\ntekuri=/in/\n[CnvSettings]\nAddMsgNo=1\n");
  EXPECT_EQ(GetPrivateProfileString("LogFld", "tekuri", "", path), "/in/");
}

TEST(ProfileWriteFile, NewFileFollowsUmask) {
  TempDir dir;
  mode_t old_mask = ::umask(027);
  bool ok = WritePrivateProfileString("S", "k", "v", dir / "m.ini");
  ::umask(old_mask);
  ASSERT_TRUE(ok);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "m.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ProfileWriteFile, ReplaceKeepsModeAndLeavesNoTemporaryFile) {
  TempDir dir;
  std::string path = dir / "s.ini";
  WriteFile(path, "[S]\r\nk=1\r\n");
  ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", path));
  EXPECT_EQ(ReadFile(path), "[S]\r\nk=2\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST(ProfileWriteFile, WritesThroughASymbolicLink) {
  TempDir dir;
  WriteFile(dir / "real.ini", "[S]\nk=1\n");
  ASSERT_EQ(::symlink("real.ini", (dir / "link.ini").c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileString("S", "k", "2", dir / "link.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "[S]\nk=2\n");
}

TEST(ProfileWriteFile, DirectoryPathFails) {
  TempDir dir;
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.path()));
}

TEST(ProfileWriteFile, MissingFolderFails) {
  TempDir dir;
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir / "no/such/x.ini"));
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(ProfileWriteFile, RefusedKeyLeavesFileIntact) {
  TempDir dir;
  std::string path = dir / "s.ini";
  WriteFile(path, "[S]\nk=1\n");
  EXPECT_FALSE(WritePrivateProfileString("S", "k\n[T]", "v", path));
  EXPECT_EQ(ReadFile(path), "[S]\nk=1\n");
}

TEST(ProfileWriteFile, ValueWithALineBreakCannotAddLines) {
  TempDir dir;
  std::string path = dir / "s.ini";
  WriteFile(path, "[S]\nk=1\n");
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "a\n[T]", path));
  EXPECT_EQ(ReadFile(path), "[S]\nk=a\n");
}

TEST(ProfileWriteFile, ReadOnlyFileFailsAndStaysIntact) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);  // the folder would allow a rename
  std::string path = dir / "s.ini";
  WriteFile(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
  }
  EXPECT_FALSE(RunUnprivileged([&] { return WritePrivateProfileString("S", "k", "2", path); }));
  EXPECT_EQ(ReadFile(path), "[S]\nk=1\n");
}

TEST(ProfileWriteFile, UnwritableFolderWithoutFileFails) {
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  std::string path = dir / "s.ini";
  EXPECT_FALSE(RunUnprivileged([&] { return WritePrivateProfileString("S", "k", "2", path); }));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ProfileWriteFile, UnwritableFolderWithWritableFileWritesInPlace) {
  TempDir dir;
  std::string path = dir / "s.ini";
  WriteFile(path, "[S]\nk=a long old value\nm=2\n");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
  EXPECT_TRUE(RunUnprivileged([&] { return WritePrivateProfileString("S", "k", "new", path); }));
  EXPECT_EQ(ReadFile(path), "[S]\nk=new\nm=2\n");
}

}  // namespace
}  // namespace sorbit::platform
