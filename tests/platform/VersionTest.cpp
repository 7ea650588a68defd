#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "platform/services/ProgramFile.h"
#include "platform/services/Version.h"
#include "platform/services/VersionBlock.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

std::vector<uint8_t> ReadVersionData(const std::string& path) {
  std::vector<uint8_t> data;
  uint32_t size = GetFileVersionInfoSize(path);
  if (size == 0 || !GetFileVersionInfo(path, size, data)) data.clear();
  return data;
}

TEST(Version, BuiltProgramCarriesItsVersion) {
  std::vector<uint8_t> data = ReadVersionData(ProgramPath());
  ASSERT_FALSE(data.empty());
  const VS_FIXEDFILEINFO* fixed = VerQueryValue(data, "\\");
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, kFixedFileInfoSignature);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00000009u);  // 0.9
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00020001u);  // .2.1
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00000009u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00020001u);
}

TEST(Version, BuiltProgramCarriesItsVersionTexts) {
  std::vector<uint8_t> data = ReadVersionData(ProgramPath());
  EXPECT_EQ(VerQueryString(data, "FileVersion"), "0.9.2.1");
  EXPECT_EQ(VerQueryString(data, "ProductVersion"), "0.9");
  EXPECT_EQ(VerQueryString(data, "FileDescription"), "tekuri Log to SVF Converter ");
  EXPECT_EQ(VerQueryString(data, "InternalName"), "platform_services_test");
  EXPECT_EQ(VerQueryString(data, "NoSuchText"), std::nullopt);
  // Japanese (0x0411) with code page 932 (0x03a4): the table key and the translation pair.
  const std::u16string table = u"041103a4";
  std::vector<uint8_t> key_bytes;
  for (char16_t c : table) {
    key_bytes.push_back(static_cast<uint8_t>(c));
    key_bytes.push_back(0);
  }
  EXPECT_NE(std::search(data.begin(), data.end(), key_bytes.begin(), key_bytes.end()), data.end());
  const uint8_t translation[] = {0x11, 0x04, 0xa4, 0x03};
  EXPECT_TRUE(std::equal(std::end(translation) - 4, std::end(translation), data.end() - 4));
}

TEST(Version, ProgramWithoutBlockHasNone) {
  EXPECT_EQ(GetFileVersionInfoSize(SORBIT_PLAIN_PROGRAM), 0u);
  std::vector<uint8_t> data;
  EXPECT_FALSE(GetFileVersionInfo(SORBIT_PLAIN_PROGRAM, 1024, data));
  EXPECT_EQ(VerQueryValue(data, "\\"), nullptr);
}

TEST(Version, FilesThatAreNoProgramHaveNone) {
  TempDir dir;
  WriteFile(dir / "text.txt", "just text\n");
  WriteFile(dir / "empty", "");
  WriteFile(dir / "elf-head",
            "\x7f"
            "ELF\x02\x01\x01");
  for (const std::string& path :
       {dir / "text.txt", dir / "empty", dir / "elf-head", dir / "missing", dir.path()}) {
    EXPECT_EQ(GetFileVersionInfoSize(path), 0u) << path;
  }
}

TEST(Version, BlockBytesOutsideTheSectionAreNotTaken) {
  TempDir dir;
  std::vector<uint8_t> data = ReadVersionData(ProgramPath());
  ASSERT_FALSE(data.empty());
  std::string raw = "padding " + std::string(data.begin(), data.end()) + " more";
  WriteFile(dir / "raw.bin", raw);
  EXPECT_EQ(GetFileVersionInfoSize(dir / "raw.bin"), 0u);
}

TEST(Version, DamagedBlockInProgramIsRefused) {
  TempDir dir;
  std::vector<uint8_t> data = ReadVersionData(ProgramPath());
  ASSERT_FALSE(data.empty());
  std::string program = ReadFile(ProgramPath());
  const std::string block(data.begin(), data.end());
  // Break the signature of every copy of the block in the file.
  std::size_t copies = 0;
  for (std::size_t at = program.find(block); at != std::string::npos;
       at = program.find(block, at + 1)) {
    program[at + 40] = static_cast<char>(program[at + 40] ^ 0xFF);
    ++copies;
  }
  ASSERT_GE(copies, 1u);
  WriteFile(dir / "damaged", program);
  EXPECT_EQ(GetFileVersionInfoSize(dir / "damaged"), 0u);

  // Cut off before the section headers at its end.
  WriteFile(dir / "cut", ReadFile(ProgramPath()).substr(0, program.size() / 2));
  EXPECT_EQ(GetFileVersionInfoSize(dir / "cut"), 0u);
}

TEST(Version, QueryNeedsTheRootAndWholeData) {
  std::vector<uint8_t> data = ReadVersionData(ProgramPath());
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(VerQueryValue(data, "\\StringFileInfo"), nullptr);
  EXPECT_EQ(VerQueryValue(data, ""), nullptr);
  EXPECT_EQ(VerQueryValue({}, "\\"), nullptr);
  std::vector<uint8_t> truncated;
  ASSERT_TRUE(GetFileVersionInfo(ProgramPath(), 60, truncated));
  EXPECT_EQ(truncated.size(), 60u);
  EXPECT_EQ(VerQueryValue(truncated, "\\"), nullptr);
}

struct BuiltCase {
  uint16_t file[4];
  uint16_t product[4];
};

TEST(VersionBlock, NumbersRoundTripThroughTheReader) {
  const BuiltCase cases[] = {
      {{0, 9, 2, 1}, {0, 9, 2, 1}},
      {{1, 2, 3, 4}, {5, 6, 7, 8}},
      {{65535, 0, 65535, 1}, {0, 65535, 1, 65535}},
  };
  for (const BuiltCase& c : cases) {
    version_block::Builder built(
        version_block::Definition{{c.file[0], c.file[1], c.file[2], c.file[3]},
                                  {c.product[0], c.product[1], c.product[2], c.product[3]},
                                  0x0411,
                                  932,
                                  {{"FileVersion", "x"}}});
    std::vector<uint8_t> data(built.size());
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = built[i];
    const VS_FIXEDFILEINFO* fixed = VerQueryValue(data, "\\");
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwFileVersionMS, uint32_t{c.file[0]} << 16 | c.file[1]);
    EXPECT_EQ(fixed->dwFileVersionLS, uint32_t{c.file[2]} << 16 | c.file[3]);
    EXPECT_EQ(fixed->dwProductVersionMS, uint32_t{c.product[0]} << 16 | c.product[1]);
    EXPECT_EQ(fixed->dwProductVersionLS, uint32_t{c.product[2]} << 16 | c.product[3]);
    EXPECT_EQ(VerQueryString(data, "FileVersion"), "x");
    // The root's length covers the whole block.
    EXPECT_EQ(data[0] | data[1] << 8, static_cast<int>(data.size()));
  }
}

}  // namespace
}  // namespace sorbit::platform
