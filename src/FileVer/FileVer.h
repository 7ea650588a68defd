// TVersionInfo: the version reader the main window owns as VersionInfo1. Given a file
// name it loads that file's version block and offers the file and product version numbers
// in their four parts. Without a block (or with an empty name) every number reads 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/services/Version.h"

class TVersionInfo {
 public:
  TVersionInfo() = default;

  const std::string& FileName() const { return file_name_; }
  // Stores the name and loads its version data. An empty name frees the data; a file
  // without version information (or one that cannot be read) changes nothing else, so
  // the numbers of an earlier file stay.
  void SetFileName(const std::string& file_name);

  int FIleMajor() const { return High(FileMS()); }
  int FIleMinor() const { return Low(FileMS()); }
  int FIleRelease() const { return High(FileLS()); }
  int FIleBuild() const { return Low(FileLS()); }
  int ProductMajor() const { return High(ProductMS()); }
  int ProductMinor() const { return Low(ProductMS()); }
  int ProductRelease() const { return High(ProductLS()); }
  int ProductBuild() const { return Low(ProductLS()); }

  // The numbers accept a value only so that a window layout can store one; it has no
  // effect.
  void SetFIleMajor(int) {}
  void SetFIleMinor(int) {}
  void SetFIleRelease(int) {}
  void SetFIleBuild(int) {}
  void SetProductMajor(int) {}
  void SetProductMinor(int) {}
  void SetProductRelease(int) {}
  void SetProductBuild(int) {}

 private:
  static int High(uint32_t v) { return static_cast<int>(v >> 16); }
  static int Low(uint32_t v) { return static_cast<int>(v & 0xFFFF); }
  uint32_t FileMS() const { return fixed_ != nullptr ? fixed_->dwFileVersionMS : 0; }
  uint32_t FileLS() const { return fixed_ != nullptr ? fixed_->dwFileVersionLS : 0; }
  uint32_t ProductMS() const { return fixed_ != nullptr ? fixed_->dwProductVersionMS : 0; }
  uint32_t ProductLS() const { return fixed_ != nullptr ? fixed_->dwProductVersionLS : 0; }

  std::string file_name_;
  std::vector<uint8_t> data_;
  // Points into data_, or nullptr while there is no fixed block.
  const sorbit::platform::VS_FIXEDFILEINFO* fixed_ = nullptr;
};
