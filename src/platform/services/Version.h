// The program file's version block: the stand-ins for GetFileVersionInfoSizeA,
// GetFileVersionInfoA and VerQueryValueA.
//
// The build puts a version block shaped like a Windows VS_VERSIONINFO resource into the
// program file, in its own ELF section (see VersionBlock.h and sorbit_embed_version in
// CMake). The reader finds that section in any ELF file by path through the section
// headers, so bytes that merely look like a block elsewhere in a file are never taken for
// one. Every length and offset read from the file is checked before use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorbit::platform {

// The fixed-size part of a version block, as Windows lays it out.
struct VS_FIXEDFILEINFO {
  uint32_t dwSignature;  // kFixedFileInfoSignature
  uint32_t dwStrucVersion;
  uint32_t dwFileVersionMS;  // major << 16 | minor
  uint32_t dwFileVersionLS;  // release << 16 | build
  uint32_t dwProductVersionMS;
  uint32_t dwProductVersionLS;
  uint32_t dwFileFlagsMask;
  uint32_t dwFileFlags;
  uint32_t dwFileOS;
  uint32_t dwFileType;
  uint32_t dwFileSubtype;
  uint32_t dwFileDateMS;
  uint32_t dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

// The name of the ELF section that holds the block.
inline constexpr std::string_view kVersionSectionName = ".sorbit_version";

// The size of the version block of the file at `path`; 0 when the file has none or
// cannot be read.
uint32_t GetFileVersionInfoSize(const std::string& path);

// Reads the version block of `path` into `data`, `size` bytes at most (as
// GetFileVersionInfoSize told). False when there is no block or it cannot be read.
bool GetFileVersionInfo(const std::string& path, uint32_t size, std::vector<uint8_t>& data);

// The fixed block of version data read by GetFileVersionInfo, for the root sub-block "\";
// nullptr for any other sub-block or for data that is not a valid block. The pointer
// points into `data`.
const VS_FIXEDFILEINFO* VerQueryValue(const std::vector<uint8_t>& data, std::string_view sub_block);

// A version text of the first string table ("FileVersion", "FileDescription", ...), as
// UTF-8; nullopt when there is none.
std::optional<std::string> VerQueryString(const std::vector<uint8_t>& data, std::string_view name);

}  // namespace sorbit::platform
