// The per-user registry lookup, read only. The viewer is a Windows program that keeps its
// location in the registry; on Linux it runs under Wine, whose per-user registry is the
// text file user.reg in the Wine prefix ($WINEPREFIX, or ~/.wine when that is not set).
//
// user.reg holds one block a key: a header line with the key path relative to
// HKEY_CURRENT_USER in brackets (backslashes doubled, other characters escaped as in
// strings) followed by a time stamp, then one line a value:
//   [Software\\NOKU\\SHOWPC\\File] 1700000000
//   "SHOWPC"="C:\\Program Files\\SHOWPC\\SHOWPC.EXE"
//   "Other"=dword:00000001
// Strings use C-like escapes: \\ \" \n \r \t ..., octal \NNN and \xNNNN for UTF-16 code
// units, which come back here as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace sorbit::platform {

struct RegistryValue {
  // Text: a plain or expandable string. Other: any other type (dword, binary, multi-string).
  enum class Type { Missing, Text, Other };
  Type type = Type::Missing;
  std::string text;  // for Text: up to the first NUL, nothing expanded
};

// Reads value `value_name` of key `key_path` (e.g. "Software\\NOKU\\SHOWPC\\File", below
// HKEY_CURRENT_USER) from the Wine prefix's user.reg. Key path and value name are matched
// without regard to ASCII case; "" or "@" names the key's default value. No file, no key or
// no value gives Missing.
RegistryValue QueryUserRegistryValue(std::string_view key_path, std::string_view value_name);

// The same lookup on the text of a user.reg file (for tests and the file reader above).
RegistryValue FindRegistryValueInText(std::string_view reg_text, std::string_view key_path,
                                      std::string_view value_name);

// The path of the per-user registry file: $WINEPREFIX/user.reg, else $HOME/.wine/user.reg;
// empty when neither variable is usable.
std::string UserRegistryPath();

}  // namespace sorbit::platform
