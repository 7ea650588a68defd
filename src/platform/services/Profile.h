// Profile (INI) files: the stand-ins for GetPrivateProfileStringA and
// WritePrivateProfileStringA that the settings of the main window go through.
//
// A profile file is a text file of section lines ("[name]") each followed by key lines
// ("key=value"). Sections and keys are found without regard to ASCII letter case; the
// first section and the first key of a name count. Lines that begin with ";" are comments.
// Text is bytes: nothing is converted, only ASCII letters are folded for matching. A line
// ends at CR LF, LF or a lone CR (platform/posix/TextLines.h).
//
// Reading never fails: a missing or unreadable file, section or key gives the default.
// Writing changes one key and keeps every other byte of the file, the places of existing
// keys and the file's own line ends: lines it adds end as the file's first line does
// (CR LF, LF or CR); a new file gets LF.
//
// Values are bytes, whatever their encoding (Shift-JIS from an old settings file, invalid
// UTF-8), and a NUL is a byte like any other: a value read and written back unchanged is
// written byte for byte. Only a line break cannot be part of a value's line, so a value is
// stored up to its first CR or LF, which is exactly what reading that line gives back.
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

// Sets `key` of `section` in the file at `path` to `value` (up to its first line break),
// creating the file, section or key as needed. Returns false on any failure: the folder or
// file cannot be written, the path names a directory, or section or key hold a line break
// or NUL (reading would not find them again). A failed write leaves the existing file as it
// was. Whatever the value holds, it never makes the write fail.
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
// Returns the new content, or nullopt when section or key cannot be stored.
std::optional<std::string> SetProfileStringInText(std::string_view content,
                                                  std::string_view section, std::string_view key,
                                                  std::string_view value);

}  // namespace sorbit::platform
