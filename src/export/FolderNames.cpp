// Board names to folder names.
#include "export/FolderNames.h"

#include <array>
#include <unordered_map>
#include <unordered_set>

#include "text/Cp932.h"

namespace sorbit::exporter {

namespace {

constexpr std::size_t kMaxNameBytes = 60;

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character a folder name holds for `c`: its lower case, "_", or itself.
char32_t FolderChar(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c < 0x80) {
    const bool kept = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    return kept ? c : U'_';
  }
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;                 // Ａ-Ｚ
  if (c >= 0x0391 && c <= 0x03A9 && c != 0x03A2) return c + 0x20;  // Greek capitals
  if (c >= 0x0410 && c <= 0x042F) return c + 0x20;                 // Cyrillic А-Я
  if (c >= 0x0400 && c <= 0x040F) return c + 0x50;                 // Ѐ-Џ
  if (c >= 0x2160 && c <= 0x216F) return c + 0x10;                 // Roman numerals
  if (c == 0x212B) return 0x00E5;                                  // Angstrom sign: å
  if (c == 0x3000 || c == 0x00A0 || c == 0xFFFD) return U'_';
  return c;
}

bool IsDeviceName(const std::string& name) {
  static constexpr std::array<std::string_view, 4> kDevices = {"con", "prn", "aux", "nul"};
  for (std::string_view device : kDevices) {
    if (name == device) return true;
  }
  return name.size() == 4 && (name.starts_with("com") || name.starts_with("lpt")) &&
         name[3] >= '0' && name[3] <= '9';
}

}  // namespace

std::string SafeFolderName(std::string_view board_utf8) {
  std::string name;
  for (std::size_t at = 0; at < board_utf8.size();) {
    char32_t c = 0;
    std::size_t length = text::ReadUtf8Char(board_utf8, at, c);
    if (length == 0) {
      c = 0xFFFD;
      length = 1;
    }
    at += length;
    std::string one;
    AppendUtf8(FolderChar(c), one);
    if (name.size() + one.size() > kMaxNameBytes) break;
    name += one;
  }
  if (name.empty()) name = "_";
  if (IsDeviceName(name)) name += '_';
  return name;
}

std::vector<std::string> DistinctFolderNames(const std::vector<std::string>& boards_utf8) {
  std::vector<std::string> names;
  std::unordered_set<std::string> taken;
  // The next suffix to try for each name, so that many boards of one name take linear time.
  std::unordered_map<std::string, int> next_suffix;
  for (const std::string& board : boards_utf8) {
    const std::string base = SafeFolderName(board);
    std::string name = base;
    int& n = next_suffix.try_emplace(base, 2).first->second;
    while (taken.contains(name)) name = base + "-" + std::to_string(n++);
    taken.insert(name);
    names.push_back(std::move(name));
  }
  return names;
}

}  // namespace sorbit::exporter
