// A UTF-8 pattern of the library's syntax written in CP932, every character in all its codes.
#include "text/Cp932Pattern.h"

#include <span>
#include <vector>

#include "text/Cp932.h"

namespace sorbit::text {

namespace {

// The bytes of one code as the library reads it: a two-byte code as itself, a single byte
// escaped where the library would take it for syntax.
std::string CodeText(Cp932Code code, bool in_class) {
  if (code > 0xFF) return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
  const char c = static_cast<char>(code);
  const std::string_view special = in_class ? "]\\-^" : "^(|)+*?.[]$\\";
  if (code < 0x80 && special.find(c) != std::string_view::npos) return {'\\', c};
  return std::string(1, c);
}

// One character of the pattern: the texts of its codes (the first is its own code), or the
// escape as typed for an ASCII escape.
struct Item {
  std::vector<std::string> texts;
};

class Converter {
 public:
  Converter(std::string_view utf8, std::string& out) : utf8_(utf8), out_(out) {}

  std::optional<PatternFailure> Run() {
    while (at_ < utf8_.size()) {
      if (Peek() == '[') {
        out_ += '[';
        ++at_;
        if (Peek() == '^') {
          out_ += '^';
          ++at_;
        }
        if (!Class()) return failure_;
        continue;
      }
      std::optional<Item> item = Read(false);
      if (!item) return failure_;
      if (item->texts.size() == 1) {
        out_ += item->texts[0];
      } else {
        out_ += '(';
        for (std::size_t k = 0; k < item->texts.size(); ++k) {
          if (k > 0) out_ += '|';
          out_ += item->texts[k];
        }
        out_ += ')';
      }
    }
    return std::nullopt;
  }

 private:
  // The byte at the read position, or 0 at the end.
  char Peek(std::size_t ahead = 0) const {
    return at_ + ahead < utf8_.size() ? utf8_[at_ + ahead] : '\0';
  }

  // A class's items up to its "]" (or the end of the pattern, which the library reports).
  bool Class() {
    while (at_ < utf8_.size() && Peek() != ']') {
      std::optional<Item> first = Read(true);
      if (!first) return false;
      // A range: the library's rule, from the first code of one end to the first of the other.
      if (Peek() == '-' && at_ + 1 < utf8_.size() && Peek(1) != ']') {
        ++at_;
        std::optional<Item> last = Read(true);
        if (!last) return false;
        out_ += first->texts[0] + '-' + last->texts[0];
        continue;
      }
      for (const std::string& text : first->texts) out_ += text;
    }
    if (at_ < utf8_.size()) {
      out_ += ']';
      ++at_;
    }
    return true;
  }

  // The character at the read position, an escape with what it escapes included.
  std::optional<Item> Read(bool in_class) {
    const std::size_t start = at_;
    char32_t cp = 0;
    std::size_t length = ReadUtf8Char(utf8_, at_, cp);
    if (length == 0) return Fail(start, kNoCodePoint);
    if (cp == '\\' && at_ + 1 < utf8_.size()) {
      char32_t escaped = 0;
      const std::size_t escaped_length = ReadUtf8Char(utf8_, at_ + 1, escaped);
      if (escaped_length == 0) return Fail(at_ + 1, kNoCodePoint);
      if (escaped >= 0x80) {
        // "\" before a character beyond ASCII is that character.
        at_ += 1;
        cp = escaped;
        length = escaped_length;
      } else {
        // An ASCII escape as typed; the digits of \x and octal escapes follow as themselves.
        at_ += 2;
        return Item{{std::string(utf8_.substr(start, 2))}};
      }
    }
    const std::size_t offset = at_;
    at_ += length;
    if (cp < 0x80) return Item{{std::string(1, static_cast<char>(cp))}};
    const std::span<const Cp932Code> codes = Cp932CodesOf(cp);
    if (codes.empty()) return Fail(offset, cp);
    Item item;
    for (const Cp932Code code : codes) item.texts.push_back(CodeText(code, in_class));
    return item;
  }

  std::optional<Item> Fail(std::size_t offset, char32_t code_point) {
    failure_ = PatternFailure{offset, code_point};
    return std::nullopt;
  }

  std::string_view utf8_;
  std::string& out_;
  std::size_t at_ = 0;
  std::optional<PatternFailure> failure_;
};

}  // namespace

std::optional<PatternFailure> Utf8PatternToCp932(std::string_view utf8, std::string& cp932) {
  return Converter(utf8, cp932).Run();
}

}  // namespace sorbit::text
