#include <gtest/gtest.h>

#include <string>

#include "FileVer/FileVer.h"
#include "platform/services/ProgramFile.h"

namespace {

std::string VersionText(const TVersionInfo& info) {
  return std::to_string(info.FIleMajor()) + "." + std::to_string(info.FIleMinor()) + "." +
         std::to_string(info.FIleRelease()) + "." + std::to_string(info.FIleBuild());
}

std::string ProductText(const TVersionInfo& info) {
  return std::to_string(info.ProductMajor()) + "." + std::to_string(info.ProductMinor()) + "." +
         std::to_string(info.ProductRelease()) + "." + std::to_string(info.ProductBuild());
}

TEST(TVersionInfo, NewReaderReadsZeros) {
  TVersionInfo info;
  EXPECT_EQ(info.FileName(), "");
  EXPECT_EQ(VersionText(info), "0.0.0.0");
  EXPECT_EQ(ProductText(info), "0.0.0.0");
}

TEST(TVersionInfo, ProgramFileReadsItsVersion) {
  TVersionInfo info;
  info.SetFileName(sorbit::platform::ProgramPath());
  EXPECT_EQ(info.FileName(), sorbit::platform::ProgramPath());
  EXPECT_EQ(VersionText(info), "0.9.2.1");
  EXPECT_EQ(ProductText(info), "0.9.2.1");
}

TEST(TVersionInfo, SecondLoadReadsTheSame) {
  TVersionInfo info;
  info.SetFileName(sorbit::platform::ProgramPath());
  info.SetFileName(sorbit::platform::ProgramPath());
  EXPECT_EQ(VersionText(info), "0.9.2.1");
}

TEST(TVersionInfo, FileWithoutBlockReadsZeros) {
  TVersionInfo info;
  info.SetFileName(SORBIT_PLAIN_PROGRAM);
  EXPECT_EQ(info.FileName(), SORBIT_PLAIN_PROGRAM);
  EXPECT_EQ(VersionText(info), "0.0.0.0");
}

TEST(TVersionInfo, FileWithoutBlockKeepsEarlierNumbers) {
  // Size 0 changes nothing else: the block loaded before stays.
  TVersionInfo info;
  info.SetFileName(sorbit::platform::ProgramPath());
  info.SetFileName("/no/such/file");
  EXPECT_EQ(info.FileName(), "/no/such/file");
  EXPECT_EQ(VersionText(info), "0.9.2.1");
}

TEST(TVersionInfo, EmptyNameFreesTheData) {
  TVersionInfo info;
  info.SetFileName(sorbit::platform::ProgramPath());
  info.SetFileName("");
  EXPECT_EQ(info.FileName(), "");
  EXPECT_EQ(VersionText(info), "0.0.0.0");
  EXPECT_EQ(ProductText(info), "0.0.0.0");
}

TEST(TVersionInfo, WritingANumberHasNoEffect) {
  TVersionInfo info;
  info.SetFileName(sorbit::platform::ProgramPath());
  info.SetFIleMajor(7);
  info.SetFIleMinor(7);
  info.SetFIleRelease(7);
  info.SetFIleBuild(7);
  info.SetProductMajor(7);
  info.SetProductMinor(7);
  info.SetProductRelease(7);
  info.SetProductBuild(7);
  EXPECT_EQ(VersionText(info), "0.9.2.1");
  EXPECT_EQ(ProductText(info), "0.9.2.1");
}

}  // namespace
