// The profile reader and writer on arbitrary file bytes with an arbitrary section and key.
// Input: one byte section length, one byte key length, the section, the key, the file.
// Besides not crashing it checks the rules that must hold for any file: a read returns at
// most 1023 bytes, a value the writer accepted reads back as written (up to its first line
// break, where a stored value ends), and a write that changes one key leaves every other
// key of the same section reading as before.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/AsciiText.h"
#include "platform/services/Profile.h"

namespace {

bool ReadsBackUnchanged(std::string_view value) {
  if (value.size() > sorbit::platform::kProfileValueLimit) return false;
  if (!value.empty() && (value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
                         value.back() == '\t')) {
    return false;
  }
  return !(value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
           value.back() == value.front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace sorbit::platform;
  if (size < 2) return 0;
  std::size_t section_length = data[0] % 24;
  std::size_t key_length = data[1] % 24;
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  if (rest.size() < section_length + key_length) return 0;
  std::string_view section = rest.substr(0, section_length);
  std::string_view key = rest.substr(section_length, key_length);
  std::string_view content = rest.substr(section_length + key_length);

  std::string got = GetProfileStringFromText(content, section, key, "default");
  if (got.size() > kProfileValueLimit) __builtin_trap();

  // The same through a file, as the settings are read.
  static int fd = ::memfd_create("profile", 0);
  if (fd >= 0 && ::ftruncate(fd, 0) == 0 &&
      ::pwrite(fd, content.data(), content.size(), 0) == static_cast<ssize_t>(content.size())) {
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (GetPrivateProfileString(section, key, "default", path) != got) __builtin_trap();
  }

  // Write a value taken from the file's first bytes, then read it back.
  std::string_view value = content.substr(0, data[0] % 40);
  std::string_view stored = value.substr(0, value.find_first_of("\r\n"));
  std::optional<std::string> updated = SetProfileStringInText(content, section, key, value);
  if (updated && ReadsBackUnchanged(stored)) {
    if (GetProfileStringFromText(*updated, section, key, "<none>") != stored) __builtin_trap();
  }
  // Another key of the section, named by the value's bytes, keeps its value.
  std::string_view other = value.substr(0, 4);
  if (updated && !EqualsIgnoringAsciiCase(other, key) &&
      GetProfileStringFromText(*updated, section, other, "<none>") !=
          GetProfileStringFromText(content, section, other, "<none>")) {
    __builtin_trap();
  }
  return 0;
}
