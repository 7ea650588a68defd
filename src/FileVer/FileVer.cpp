#include "FileVer/FileVer.h"

namespace platform = sorbit::platform;

void TVersionInfo::SetFileName(const std::string& file_name) {
  file_name_ = file_name;
  if (file_name.empty()) {
    fixed_ = nullptr;
    data_.clear();
    data_.shrink_to_fit();
    return;
  }
  uint32_t size = platform::GetFileVersionInfoSize(file_name);
  if (size == 0) return;
  // Read into a fresh buffer, so that fixed_ never points into data that is being replaced.
  std::vector<uint8_t> data;
  fixed_ = nullptr;
  data_.clear();
  if (!platform::GetFileVersionInfo(file_name, size, data)) return;
  data_ = std::move(data);
  fixed_ = platform::VerQueryValue(data_, "\\");
}
