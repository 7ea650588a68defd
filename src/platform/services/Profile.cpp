// Profile files by hand: finding sections and keys in a file's lines, and changing one key
// while every other byte stays.
#include "platform/services/Profile.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/posix/AsciiText.h"
#include "platform/posix/AtomicFileWriter.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/TextLines.h"

namespace sorbit::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string CutToLimit(std::string_view text) {
  return std::string(text.substr(0, kProfileValueLimit));
}

// The section name of a section line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line_text) {
  std::string_view t = TrimBlanks(line_text);
  if (t.empty() || t.front() != '[') return std::nullopt;
  std::size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(t.substr(1, close - 1));
}

// A key line split at its first "=": the key (trimmed) and the offset of the "=".
struct KeyLine {
  std::string_view key;
  std::size_t equals = 0;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line_text) {
  std::string_view t = TrimBlanks(line_text);
  if (t.empty() || t.front() == ';') return std::nullopt;
  std::size_t equals = line_text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return KeyLine{TrimBlanks(line_text.substr(0, equals)), equals};
}

// Where a section was found: the index of its header line and one past its last line.
struct SectionPlace {
  std::size_t header = 0;
  std::size_t end = 0;
};

std::optional<SectionPlace> FindSection(const std::vector<TextLine>& lines, std::string_view name) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::optional<std::string_view> found = SectionName(lines[i].text);
    if (!found || !EqualsIgnoringAsciiCase(*found, name)) continue;
    std::size_t end = i + 1;
    while (end < lines.size() && !SectionName(lines[end].text)) ++end;
    return SectionPlace{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<TextLine>& lines, const SectionPlace& section,
                                   std::string_view key) {
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    std::optional<KeyLine> parsed = ParseKeyLine(lines[i].text);
    if (parsed && EqualsIgnoringAsciiCase(parsed->key, key)) return i;
  }
  return std::nullopt;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

bool HoldsLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// What a key line can hold of a value: everything up to its first line break, which is also
// what reading the line gives back. A NUL is a byte like any other.
std::string_view StorablePart(std::string_view value) {
  return value.substr(0, value.find_first_of("\r\n"));
}

// Writes `content` as the file at `path` through the atomic writer: as a new file, never
// taking the place of one that appeared meanwhile, or (`old_stat` given) in place of the
// existing file, with its mode and, where we may, its owner. `writable` is the old file opened
// for writing; when the folder does not let us create the temporary file, the content is
// written into it in place instead.
bool WriteWholeFile(const std::string& path, std::string_view content,
                    const struct stat* old_stat = nullptr, int writable = -1) {
  AtomicFileWriter writer;
  if (const int error = writer.Open(path); error != 0) {
    if (old_stat == nullptr || (error != EACCES && error != EPERM)) return false;
    // In place: the only way left. Write first, then cut, so that a shorter write
    // failure leaves at worst the old tail behind rather than an empty file.
    if (WriteAllAt(writable, content, 0) != 0) return false;
    if (::ftruncate(writable, static_cast<off_t>(content.size())) != 0) return false;
    return ::fsync(writable) == 0;
  }
  if (old_stat != nullptr) {
    if (::fchmod(writer.fd(), old_stat->st_mode & 07777) != 0) return false;
    if (old_stat->st_uid != ::geteuid() || old_stat->st_gid != ::getegid()) {
      // Keeping another owner needs privileges; a failure here is not worth refusing for.
      [[maybe_unused]] int ignored = ::fchown(writer.fd(), old_stat->st_uid, old_stat->st_gid);
    }
  }
  // Replacing is the point of an update: the new content takes the settings file's place at
  // once.
  return writer.Write(content) == 0 &&
         writer.Commit(old_stat != nullptr ? CommitMode::kReplace : CommitMode::kNoReplace,
                       /*sync=*/true) == 0;
}

}  // namespace

std::string GetProfileStringFromText(std::string_view content, std::string_view section,
                                     std::string_view key, std::string_view default_value) {
  std::vector<TextLine> lines = SplitLines(content);
  std::optional<SectionPlace> place = FindSection(lines, section);
  if (!place) return CutToLimit(default_value);
  std::optional<std::size_t> index = FindKey(lines, *place, key);
  if (!index) return CutToLimit(default_value);
  std::string_view text = lines[*index].text;
  std::size_t equals = ParseKeyLine(text)->equals;
  return CutToLimit(Unquote(TrimBlanks(text.substr(equals + 1))));
}

std::optional<std::string> SetProfileStringInText(std::string_view content,
                                                  std::string_view section, std::string_view key,
                                                  std::string_view value) {
  // A name that reading would not find again cannot be stored.
  if (HoldsLineBreakOrNul(section) || HoldsLineBreakOrNul(key)) return std::nullopt;
  value = StorablePart(value);
  if (section.find(']') != std::string_view::npos || TrimBlanks(section) != section) {
    return std::nullopt;
  }
  if (key.empty() || key.find('=') != std::string_view::npos || TrimBlanks(key) != key ||
      key.front() == ';' || key.front() == '[') {
    return std::nullopt;
  }

  const std::string_view eol = FirstLineEnd(content, "\n");
  std::vector<TextLine> lines = SplitLines(content);
  std::string out;
  out.reserve(content.size() + section.size() + key.size() + value.size() + 8);

  std::optional<SectionPlace> place = FindSection(lines, section);
  if (!place) {
    out.append(content);
    if (!lines.empty() && lines.back().line_end.empty()) out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(value).append(eol);
    return out;
  }

  std::optional<std::size_t> index = FindKey(lines, *place, key);
  if (index) {
    // Keep the key as it is spelt and spaced, and the blanks after "=".
    const TextLine& line = lines[*index];
    std::size_t value_begin = ParseKeyLine(line.text)->equals + 1;
    while (value_begin < line.text.size() && IsBlank(line.text[value_begin])) ++value_begin;
    out.append(content.substr(0, line.begin + value_begin));
    out.append(value);
    out.append(content.substr(line.begin + line.text.size()));
    return out;
  }

  // A new key goes after the section's last non-blank line, before any blank lines that
  // separate it from the next section.
  std::size_t after = place->header;
  for (std::size_t i = place->header + 1; i < place->end; ++i) {
    if (!TrimBlanks(lines[i].text).empty()) after = i;
  }
  // The new line ends as the line before it does: after a lone CR, an LF of ours could pair
  // with the CR of the next line, or a CR of ours with its LF, and change the lines around.
  const TextLine& last = lines[after];
  const std::string_view key_eol = last.line_end.empty() ? eol : last.line_end;
  out.append(content.substr(0, last.end));
  if (last.line_end.empty()) out.append(eol);
  out.append(key).append("=").append(value).append(key_eol);
  out.append(content.substr(last.end));
  return out;
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view default_value, const std::string& path) {
  std::optional<std::string> content = ReadRegularFile(path);
  if (!content) return CutToLimit(default_value);
  return GetProfileStringFromText(*content, section, key, default_value);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
  if (path.empty()) return false;
  // Write through a symbolic link to the file it names, rather than replacing the link.
  std::string target = path;
  struct stat link_stat {};
  if (::lstat(path.c_str(), &link_stat) == 0 && S_ISLNK(link_stat.st_mode)) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved != nullptr) {
      target = resolved;
      ::free(resolved);
    }
  }

  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    std::optional<std::string> fresh = SetProfileStringInText("", section, key, value);
    return fresh && WriteWholeFile(target, *fresh);
  }
  if (!S_ISREG(st.st_mode)) return false;

  // The file must be writable itself: replacing a read-only file through its folder would
  // overrule the protection the user gave it.
  FileDescriptor writable(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
  if (!writable.valid()) return false;
  std::optional<std::string> old = ReadRegularFile(target);
  if (!old) return false;
  std::optional<std::string> updated = SetProfileStringInText(*old, section, key, value);
  if (!updated) return false;
  if (!WriteWholeFile(target, *updated, &st, writable.get())) return false;
  return writable.Close() == 0;
}

std::optional<int32_t> ParseProfileInteger(std::string_view text) {
  const std::size_t whole_length = text.size();
  std::size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  bool hex = false;
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    ++pos;
  } else if (whole_length > 2 && pos + 1 < text.size() && text[pos] == '0' &&
             (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) return std::nullopt;

  // Accumulate in 64 bits; stop as soon as the 32-bit range is left.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
  uint64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (magnitude > limit) return std::nullopt;
  }
  // Hexadecimal digits give the 32-bit pattern; the sign then negates it, with wrap-around.
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  return static_cast<int32_t>(bits);
}

bool ReadProfileBool(std::string_view section, std::string_view key, bool default_value,
                     const std::string& path) {
  std::optional<int32_t> number =
      ParseProfileInteger(GetPrivateProfileString(section, key, "", path));
  if (!number) return default_value;
  return *number != 0;
}

}  // namespace sorbit::platform
