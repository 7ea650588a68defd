// Which encoding the terminal side speaks, from the locale.
#include "Encoding.h"

#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>

namespace sjisgrep {

namespace {

// Whether a codeset name (from nl_langinfo or a locale name's ".codeset" part) is UTF-8.
bool IsUtf8Name(std::string_view name) {
  std::string folded;
  for (char c : name) {
    if (c != '-' && c != '_') folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  return folded == "utf8";
}

// The locale variable that decides LC_CTYPE, as setlocale reads them.
std::string_view CtypeVariable() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

}  // namespace

TextEncoding LocaleEncoding() {
  if (std::setlocale(LC_ALL, "") != nullptr) {
    return IsUtf8Name(nl_langinfo(CODESET)) ? TextEncoding::kUtf8 : TextEncoding::kSjis;
  }
  // The locale is not installed (a bare Debian has only C.UTF-8): its name still says what
  // the terminal speaks, as in "ja_JP.UTF-8".
  const std::string_view name = CtypeVariable();
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return TextEncoding::kSjis;
  std::string_view codeset = name.substr(dot + 1);
  codeset = codeset.substr(0, codeset.find('@'));
  return IsUtf8Name(codeset) ? TextEncoding::kUtf8 : TextEncoding::kSjis;
}

}  // namespace sjisgrep
