// Locale detection and the iconv conversions between Shift-JIS (CP932) and UTF-8.
#include "Encoding.h"

#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The length of the UTF-8 sequence that starts with b, or 0 when b cannot start one.
std::size_t Utf8Length(unsigned char b) {
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  if (b >= 0xE0 && b <= 0xEF) return 3;
  if (b >= 0xF0 && b <= 0xF4) return 4;
  return 0;
}

std::string CodePointName(std::string_view character) {
  std::uint32_t cp = static_cast<unsigned char>(character[0]);
  if (character.size() > 1) {
    cp &= 0x7Fu >> character.size();
    for (std::size_t k = 1; k < character.size(); ++k) {
      cp = cp << 6 | (static_cast<unsigned char>(character[k]) & 0x3F);
    }
  }
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
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

IconvHandle::IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {
  if (cd_ == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
}

IconvHandle::~IconvHandle() { iconv_close(cd_); }

std::string Utf8ToSjis(std::string_view utf8, std::vector<std::size_t>* sjisToUtf8Offset) {
  IconvHandle cd("CP932", "UTF-8");
  std::string sjis;
  if (sjisToUtf8Offset != nullptr) sjisToUtf8Offset->clear();
  std::size_t k = 0;
  while (k < utf8.size()) {
    // One character at a time: a failure then names exactly the character.
    const std::size_t length = Utf8Length(static_cast<unsigned char>(utf8[k]));
    if (length == 0 || k + length > utf8.size()) {
      throw PatternEncodingError("the pattern is not valid UTF-8 (byte " + std::to_string(k + 1) +
                                 ")");
    }
    const std::string_view character = utf8.substr(k, length);
    char in[4];
    std::memcpy(in, character.data(), length);
    char outBytes[8];
    char* inPtr = in;
    std::size_t inLeft = length;
    char* outPtr = outBytes;
    std::size_t outLeft = sizeof outBytes;
    if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
      if (errno == EILSEQ && length > 1) {
        // Valid UTF-8 but not in CP932, or malformed inside the sequence: tell which.
        IconvHandle check("UTF-32LE", "UTF-8");
        char* checkIn = in;
        std::size_t checkLeft = length;
        char wide[8];
        char* wideOut = wide;
        std::size_t wideLeft = sizeof wide;
        std::memcpy(in, character.data(), length);
        if (iconv(check.get(), &checkIn, &checkLeft, &wideOut, &wideLeft) !=
            static_cast<std::size_t>(-1)) {
          throw PatternEncodingError("'" + std::string(character) + "' (" +
                                     CodePointName(character) + ") has no Shift-JIS (CP932) form");
        }
      }
      throw PatternEncodingError("the pattern is not valid UTF-8 (byte " + std::to_string(k + 1) +
                                 ")");
    }
    const std::size_t produced = sizeof outBytes - outLeft;
    sjis.append(outBytes, produced);
    if (sjisToUtf8Offset != nullptr) sjisToUtf8Offset->insert(sjisToUtf8Offset->end(), produced, k);
    k += length;
  }
  if (sjisToUtf8Offset != nullptr) sjisToUtf8Offset->push_back(utf8.size());
  return sjis;
}

SjisToUtf8::SjisToUtf8() : cd_("UTF-8", "CP932") {}

void SjisToUtf8::Append(const char* begin, const char* end, std::string& out) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";
  const std::size_t start = out.size();
  // Every Shift-JIS byte becomes at most three UTF-8 bytes (U+FFFD included).
  out.resize(start + 3 * static_cast<std::size_t>(end - begin));
  char* inPtr = const_cast<char*>(begin);
  std::size_t inLeft = static_cast<std::size_t>(end - begin);
  char* outPtr = out.data() + start;
  std::size_t outLeft = out.size() - start;
  while (inLeft > 0) {
    if (iconv(cd_.get(), &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) {
      break;
    }
    // EILSEQ or EINVAL (a lead byte at the end): show the byte and go on after it.
    std::memcpy(outPtr, kReplacement, 3);
    outPtr += 3;
    outLeft -= 3;
    ++inPtr;
    --inLeft;
    iconv(cd_.get(), nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(static_cast<std::size_t>(outPtr - out.data()));
}

}  // namespace sjisgrep
