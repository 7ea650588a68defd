// JSON and HTML escaping over the special-byte search.
#include "export/Escape.h"

#include <cstring>

#include "export/EscapeStops.h"

namespace sorbit::exporter {

namespace {

constexpr EscapeStops kJsonSpecial{{'"', '\\', '"', '"', '"'}};
constexpr EscapeStops kHtmlSpecial{{'&', '<', '>', '"', '\x7F'}};

// The longest form one input byte takes: "\u00XX", and a Control Pictures symbol or an
// entity in HTML ("&quot;" is six bytes too).
constexpr std::size_t kMaxEscapedBytes = 6;

char* CopyRun(const char* from, const char* to, char* out) {
  const auto size = static_cast<std::size_t>(to - from);
  std::memcpy(out, from, size);
  return out + size;
}

char* Put(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}

}  // namespace

void AppendJsonEscaped(std::string_view utf8, OutputBuffer& out, bool crlf_as_lf) {
  const char* p = utf8.data();
  const char* const end = p + utf8.size();
  char* o = out.Room(kMaxEscapedBytes * utf8.size());
  while (p != end) {
    const char* const special = FindEscapeStop(p, end, kJsonSpecial);
    o = CopyRun(p, special, o);
    if (special == end) break;
    p = special + 1;
    const char c = *special;
    switch (c) {
      case '"':
        o = Put(o, "\\\"");
        break;
      case '\\':
        o = Put(o, "\\\\");
        break;
      case '\n':
        o = Put(o, "\\n");
        break;
      case '\r':
        if (crlf_as_lf && p != end && *p == '\n') {
          ++p;
          o = Put(o, "\\n");
        } else {
          o = Put(o, "\\r");
        }
        break;
      case '\t':
        o = Put(o, "\\t");
        break;
      case '\b':
        o = Put(o, "\\b");
        break;
      case '\f':
        o = Put(o, "\\f");
        break;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        const auto byte = static_cast<unsigned char>(c);
        const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15]};
        o = Put(o, std::string_view(escaped, sizeof escaped));
      }
    }
  }
  out.SetEnd(o);
}

void AppendHtmlEscaped(std::string_view utf8, OutputBuffer& out) {
  const char* p = utf8.data();
  const char* const end = p + utf8.size();
  char* o = out.Room(kMaxEscapedBytes * utf8.size());
  while (p != end) {
    const char* const special = FindEscapeStop(p, end, kHtmlSpecial);
    o = CopyRun(p, special, o);
    if (special == end) break;
    p = special + 1;
    const auto byte = static_cast<unsigned char>(*special);
    switch (byte) {
      case '&':
        o = Put(o, "&amp;");
        break;
      case '<':
        o = Put(o, "&lt;");
        break;
      case '>':
        o = Put(o, "&gt;");
        break;
      case '"':
        o = Put(o, "&quot;");
        break;
      case '\t':
      case '\n':
        *o++ = static_cast<char>(byte);
        break;
      default: {
        // U+2400 + byte, or U+2421 for DEL: E2 90 80+byte, E2 90 A1.
        const unsigned picture = byte == 0x7F ? 0x21 : byte;
        const char symbol[] = {'\xE2', '\x90', static_cast<char>(0x80 + picture)};
        o = Put(o, std::string_view(symbol, sizeof symbol));
      }
    }
  }
  out.SetEnd(o);
}

}  // namespace sorbit::exporter
