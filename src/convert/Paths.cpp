#include "convert/Paths.h"

#include <cstdlib>

namespace sorbit {

std::string_view FolderPart(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string_view FileNamePart(std::string_view path) {
  return path.substr(FolderPart(path).size());
}

bool EndsInLog(std::string_view name) {
  if (name.size() < 4) return false;
  constexpr std::string_view kLog = ".log";
  for (std::size_t i = 0; i < 4; ++i) {
    char c = name[name.size() - 4 + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kLog[i]) return false;
  }
  return true;
}

std::string BoardName(std::string_view input_path) {
  const std::string_view name = FileNamePart(input_path);
  return name.size() <= 4 ? std::string() : std::string(name.substr(0, name.size() - 4));
}

std::string OutputPath(std::string_view output_folder, std::string_view prefix,
                       std::string_view board_name, std::string_view extension) {
  std::string path;
  path.reserve(output_folder.size() + 1 + prefix.size() + board_name.size() + extension.size());
  path.append(output_folder).append("/").append(prefix).append(board_name).append(extension);
  return path;
}

std::string TimeStamp(const LocalTime& t) {
  // Years before 1980 or after 2107 cannot be stored in a two-second file date, but they
  // still name a backup: the stamp simply keeps the year within its century.
  const int parts[] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
  std::string stamp;
  stamp.reserve(12);
  for (int part : parts) {
    const int two = std::abs(part) % 100;
    stamp.push_back(static_cast<char>('0' + two / 10));
    stamp.push_back(static_cast<char>('0' + two % 10));
  }
  return stamp;
}

std::string BackupName(std::string_view path, const LocalTime& modified) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  const bool has_extension =
      dot != std::string_view::npos && (slash == std::string_view::npos || slash < dot);
  std::string name(has_extension ? path.substr(0, dot) : path);
  name.append(".").append(TimeStamp(modified));
  return name;
}

}  // namespace sorbit
