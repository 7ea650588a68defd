// Profile (INI) files: the stand-ins for GetPrivateProfileStringA and
// WritePrivateProfileStringA that the settings of the main window go through.
//
// A profile file is a text file of section lines ("[name]") each followed by key lines
// ("key=value"). Sections and keys are found without regard to ASCII letter case; the
// first section and the first key of a name count. Lines that begin with ";" are comments.
// Text is bytes: nothing is converted, only ASCII letters are folded for matching.
//
// Reading never fails: a missing or unreadable file, section or key gives the default.
// Writing changes one key and keeps every other byte of the file, the places of existing
// keys and the file's own line ends (CR LF stays CR LF; a new file gets LF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorbit::platform {

// The most bytes a read returns; the Windows reader works with a 1024-byte buffer.
inline constexpr std::size_t kProfileValueLimit = 1023;

// Reads `key` of `section` from the file at `path`. At most kProfileValueLimit bytes are
// returned (a longer value or default is cut). A missing file, section or key gives
// `default_value`; a key present with an empty value gives "". Blanks around the value
// are dropped, then one pair of enclosing ' or " quotes.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path);

// Sets `key` of `section` in the file at `path` to `value`, creating the file, section or
// key as needed. Returns false on any failure: the folder or file cannot be written, the
// path names a directory, or section, key or value hold a line break or NUL (they would
// break the file's structure). A failed write leaves the existing file as it was.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

// Reads a settings integer: optional leading blanks, optional "+" or "-", then decimal
// digits, or hexadecimal digits after "$". A text longer than two characters whose digits
// begin with "0x" or "0X" is hexadecimal, those two characters standing for "$". Decimal
// values must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits (so
// "$FFFFFFFF" is -1). Anything else, the empty text included, gives nullopt.
std::optional<int32_t> ParseProfileInteger(std::string_view text);

// A Boolean setting: non-zero is true, zero false; a missing key or a text that is not a
// whole integer gives `default_value`.
bool ReadProfileBool(std::string_view section, std::string_view key, bool default_value,
                     const std::string& path);

// The text forms of the two operations, on a file's whole content held in memory. The
// file functions above are these plus the file handling; they are public for tests and
// for the fuzzer.
std::string GetProfileStringFromText(std::string_view content, std::string_view section,
                                     std::string_view key, std::string_view default_value);
// Returns the new content, or nullopt when section, key or value cannot be stored.
std::optional<std::string> SetProfileStringInText(std::string_view content,
                                                  std::string_view section, std::string_view key,
                                                  std::string_view value);

}  // namespace sorbit::platform
