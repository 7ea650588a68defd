// The registry lookup: Wine's user.reg read as text, one key block and one value line found.
#include "platform/services/Registry.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/posix/AsciiText.h"
#include "platform/posix/PosixFile.h"
#include "platform/posix/TextLines.h"

namespace sorbit::platform {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

// Collects text made of UTF-16 code units (the registry's own characters) and raw bytes
// (a hand-edited file may hold UTF-8 directly), stopping at the first NUL.
class TextBuilder {
 public:
  void AddUnit(uint32_t unit) {
    if (ended_) return;
    if (unit == 0) {
      FlushSurrogate();
      ended_ = true;
      return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushSurrogate();
      high_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (high_ != 0) {
        AppendUtf8(out_, 0x10000 + ((high_ - 0xD800) << 10) + (unit - 0xDC00));
        high_ = 0;
      } else {
        AppendUtf8(out_, 0xFFFD);
      }
      return;
    }
    FlushSurrogate();
    AppendUtf8(out_, unit);
  }
  void AddByte(char byte) {
    if (ended_) return;
    FlushSurrogate();
    out_.push_back(byte);
  }
  std::string Take() {
    FlushSurrogate();
    return std::move(out_);
  }

 private:
  void FlushSurrogate() {
    if (high_ != 0) AppendUtf8(out_, 0xFFFD);
    high_ = 0;
  }
  std::string out_;
  uint32_t high_ = 0;
  bool ended_ = false;
};

// Reads an escaped string from `text` at `pos` up to the unescaped `terminator`, leaving
// `pos` just past it. nullopt when the terminator is missing.
std::optional<std::string> ParseEscaped(std::string_view text, std::size_t& pos, char terminator) {
  TextBuilder builder;
  while (pos < text.size()) {
    char c = text[pos++];
    if (c == terminator) return builder.Take();
    if (c != '\\') {
      builder.AddByte(c);
      continue;
    }
    if (pos >= text.size()) return std::nullopt;
    char e = text[pos++];
    switch (e) {
      case 'a':
        builder.AddUnit('\a');
        break;
      case 'b':
        builder.AddUnit('\b');
        break;
      case 'e':
        builder.AddUnit(0x1B);
        break;
      case 'f':
        builder.AddUnit('\f');
        break;
      case 'n':
        builder.AddUnit('\n');
        break;
      case 'r':
        builder.AddUnit('\r');
        break;
      case 't':
        builder.AddUnit('\t');
        break;
      case 'v':
        builder.AddUnit('\v');
        break;
      case 'x': {
        uint32_t unit = 0;
        int digits = 0;
        while (digits < 4 && pos < text.size() && HexDigit(text[pos]) >= 0) {
          unit = unit * 16 + static_cast<uint32_t>(HexDigit(text[pos++]));
          ++digits;
        }
        if (digits == 0) {
          builder.AddUnit('x');
        } else {
          builder.AddUnit(unit);
        }
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          uint32_t unit = static_cast<uint32_t>(e - '0');
          for (int digits = 1;
               digits < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7'; ++digits) {
            unit = unit * 8 + static_cast<uint32_t>(text[pos++] - '0');
          }
          builder.AddUnit(unit);
        } else {
          builder.AddByte(e);  // "\\", "\"", "\[" ... stand for themselves
        }
        break;
    }
  }
  return std::nullopt;
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

// Bytes of a "hex:" or "hex(N):" value, which may go on over lines ending in "\".
std::optional<std::vector<uint8_t>> ParseHexBytes(const std::vector<TextLine>& lines,
                                                  std::size_t line_index, std::string_view rest) {
  std::vector<uint8_t> bytes;
  for (;;) {
    rest = TrimLeft(rest);
    bool continues = !rest.empty() && rest.back() == '\\';
    if (continues) rest.remove_suffix(1);
    std::size_t pos = 0;
    while (pos < rest.size()) {
      char c = rest[pos];
      if (c == ',' || c == ' ' || c == '\t') {
        ++pos;
        continue;
      }
      if (pos + 1 >= rest.size() || HexDigit(c) < 0 || HexDigit(rest[pos + 1]) < 0) {
        return std::nullopt;
      }
      bytes.push_back(static_cast<uint8_t>(HexDigit(c) * 16 + HexDigit(rest[pos + 1])));
      pos += 2;
    }
    if (!continues) return bytes;
    if (++line_index >= lines.size()) return std::nullopt;
    rest = lines[line_index].text;
  }
}

std::string TextFromUtf16Le(const std::vector<uint8_t>& bytes) {
  TextBuilder builder;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    builder.AddUnit(static_cast<uint32_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return builder.Take();
}

// The registry types that count as text (REG_SZ, REG_EXPAND_SZ).
bool IsTextType(unsigned long type) { return type == 1 || type == 2; }

RegistryValue ParseValueData(const std::vector<TextLine>& lines, std::size_t line_index,
                             std::string_view data) {
  RegistryValue other{RegistryValue::Type::Other, {}};
  std::size_t pos = 0;
  if (data.starts_with("\"")) {
    pos = 1;
    std::optional<std::string> text = ParseEscaped(data, pos, '"');
    if (!text) return other;
    return {RegistryValue::Type::Text, std::move(*text)};
  }
  if (data.starts_with("str(")) {
    std::size_t close = data.find("):\"");
    if (close == std::string_view::npos) return other;
    unsigned long type = std::strtoul(std::string(data.substr(4, close - 4)).c_str(), nullptr, 16);
    if (!IsTextType(type)) return other;
    pos = close + 3;
    std::optional<std::string> text = ParseEscaped(data, pos, '"');
    if (!text) return other;
    return {RegistryValue::Type::Text, std::move(*text)};
  }
  if (data.starts_with("hex(")) {
    // A text type that Wine could not write as a string (no final NUL, odd length) is
    // stored as its UTF-16 bytes; it is still text.
    std::size_t close = data.find("):");
    if (close == std::string_view::npos) return other;
    unsigned long type = std::strtoul(std::string(data.substr(4, close - 4)).c_str(), nullptr, 16);
    if (!IsTextType(type)) return other;
    std::optional<std::vector<uint8_t>> bytes =
        ParseHexBytes(lines, line_index, data.substr(close + 2));
    if (!bytes) return other;
    return {RegistryValue::Type::Text, TextFromUtf16Le(*bytes)};
  }
  return other;  // dword:, hex:, anything else
}

}  // namespace

RegistryValue FindRegistryValueInText(std::string_view reg_text, std::string_view key_path,
                                      std::string_view value_name) {
  const bool want_default = value_name.empty() || value_name == "@";
  std::vector<TextLine> lines = SplitLines(reg_text);
  bool in_key = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = TrimLeft(lines[i].text);
    if (line.starts_with("[")) {
      std::size_t pos = 1;
      std::optional<std::string> name = ParseEscaped(line, pos, ']');
      in_key = name && EqualsIgnoringAsciiCase(*name, key_path);
      continue;
    }
    if (!in_key) continue;
    std::size_t data_begin;
    bool matches;
    if (line.starts_with("@=")) {
      matches = want_default;
      data_begin = 2;
    } else if (line.starts_with("\"")) {
      std::size_t pos = 1;
      std::optional<std::string> name = ParseEscaped(line, pos, '"');
      if (!name || pos >= line.size() || line[pos] != '=') continue;
      matches = !want_default && EqualsIgnoringAsciiCase(*name, value_name);
      data_begin = pos + 1;
    } else {
      continue;  // "#time=...", continuation lines of binary data, comments
    }
    if (matches) return ParseValueData(lines, i, line.substr(data_begin));
  }
  return {};
}

std::string UserRegistryPath() {
  const char* prefix = std::getenv("WINEPREFIX");
  if (prefix != nullptr && *prefix != '\0') return std::string(prefix) + "/user.reg";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const struct passwd* entry = ::getpwuid(::getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || *home == '\0') return {};
  return std::string(home) + "/.wine/user.reg";
}

RegistryValue QueryUserRegistryValue(std::string_view key_path, std::string_view value_name) {
  std::string path = UserRegistryPath();
  if (path.empty()) return {};
  // A FIFO or device in the file's place must not hang us: it reads as no file.
  std::optional<std::string> text = ReadRegularFile(path);
  if (!text) return {};
  return FindRegistryValueInText(*text, key_path, value_name);
}

}  // namespace sorbit::platform
