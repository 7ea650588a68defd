// The text encodings sjisgrep speaks: files are always Shift-JIS as Windows wrote it (code
// page 932, with the NEC and IBM extensions); the terminal side (patterns typed on the command
// line or read with -f, and the lines printed) is either the same Shift-JIS bytes or UTF-8.
//
// Which one follows the locale (LC_ALL, LC_CTYPE, LANG, read through setlocale and
// nl_langinfo(CODESET)): a UTF-8 codeset means UTF-8, anything else (C, POSIX, ...) means the
// bytes pass through unchanged. --encoding overrides it.
//
// Conversions use the C library's iconv ("CP932"), so both wave dashes (U+301C, U+FF5E) become
// 0x8160 and both minus signs (U+2212, U+FF0D) 0x817C, and 0x8160 prints as U+FF5E.
//
// A file byte that does not decode prints as one U+FFFD REPLACEMENT CHARACTER per byte: no
// byte is dropped, and a decodable character after it still shows as itself.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sjisgrep {

enum class TextEncoding { kSjis, kUtf8 };

// The terminal-side encoding of the process's locale. Calls setlocale(LC_ALL, "") once.
TextEncoding LocaleEncoding();

// A pattern that cannot be converted to Shift-JIS; the message names the character.
class PatternEncodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One iconv conversion descriptor, closed when this goes away.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from);
  ~IconvHandle();
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts UTF-8 pattern text to Shift-JIS. sjisToUtf8Offset, when given, receives for every
// byte offset of the result (and its end) the byte offset in the UTF-8 text of the character
// that byte belongs to, so that error positions can be told in the text as typed.
// Throws PatternEncodingError for invalid UTF-8 or a character without a CP932 form.
std::string Utf8ToSjis(std::string_view utf8, std::vector<std::size_t>* sjisToUtf8Offset = nullptr);

// Appends Shift-JIS bytes to a UTF-8 string, one U+FFFD per byte that does not decode.
class SjisToUtf8 {
 public:
  SjisToUtf8();
  void Append(const char* begin, const char* end, std::string& out);

 private:
  IconvHandle cd_;
};

}  // namespace sjisgrep
