// A small strict JSON reader for the tests (RFC 8259), written apart from the export's own
// writer so that it can judge it: a text is one value and nothing else but blanks around it,
// strings hold no raw control byte and only valid UTF-8, escapes are the standard ones
// (\u with surrogate pairs), numbers follow the grammar exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sorbit::testing {

struct JsonMember;

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  std::string text;  // a number's text, a string's UTF-8
  std::vector<JsonValue> items;
  std::vector<JsonMember> members;  // in order

  const JsonValue* Member(std::string_view name) const;
};

struct JsonMember {
  std::string first;  // the name
  JsonValue second;
};

inline const JsonValue* JsonValue::Member(std::string_view name) const {
  for (const JsonMember& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

class JsonReader {
 public:
  static std::optional<JsonValue> Parse(std::string_view text) {
    JsonReader reader(text);
    JsonValue value;
    reader.Blanks();
    if (!reader.Value(value, 0)) return std::nullopt;
    reader.Blanks();
    if (reader.at_ != text.size()) return std::nullopt;
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : text_(text) {}

  bool More() const { return at_ < text_.size(); }
  char Peek() const { return More() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c || !More()) return false;
    ++at_;
    return true;
  }
  void Blanks() {
    while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++at_;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Digits() {
    const std::size_t from = at_;
    while (More() && Peek() >= '0' && Peek() <= '9') ++at_;
    return at_ > from;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > 64) return false;
    const char c = Peek();
    if (c == 'n') return value.kind = JsonValue::kNull, Word("null");
    if (c == 't') return value.kind = JsonValue::kBool, value.boolean = true, Word("true");
    if (c == 'f') return value.kind = JsonValue::kBool, Word("false");
    if (c == '"') return value.kind = JsonValue::kString, String(value.text);
    if (c == '[' || c == '{') {
      const bool object = c == '{';
      value.kind = object ? JsonValue::kObject : JsonValue::kArray;
      ++at_;
      Blanks();
      if (Take(object ? '}' : ']')) return true;
      do {
        Blanks();
        JsonValue item;
        std::string key;
        if (object && !(String(key) && (Blanks(), Take(':')) && (Blanks(), true))) return false;
        if (!Value(item, depth + 1)) return false;
        if (object) {
          value.members.push_back(JsonMember{std::move(key), std::move(item)});
        } else {
          value.items.push_back(std::move(item));
        }
        Blanks();
      } while (Take(','));
      return Take(object ? '}' : ']');
    }
    const std::size_t from = at_;
    value.kind = JsonValue::kNumber;
    Take('-');
    if (!Take('0') && !(Peek() >= '1' && Peek() <= '9' && Digits())) return false;
    if (Take('.') && !Digits()) return false;
    if ((Take('e') || Take('E')) && !((Take('+') || Take('-') || true) && Digits())) return false;
    value.text = std::string(text_.substr(from, at_ - from));
    return true;
  }

  static void PutUtf8(std::uint32_t c, std::string& out) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  bool Hex4(std::uint32_t& c) {
    c = 0;
    for (int k = 0; k < 4; ++k, ++at_) {
      const char h = Peek();
      if (!More()) return false;
      const int v = h >= '0' && h <= '9'   ? h - '0'
                    : h >= 'a' && h <= 'f' ? h - 'a' + 10
                    : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                           : -1;
      if (v < 0) return false;
      c = c * 16 + static_cast<std::uint32_t>(v);
    }
    return true;
  }

  // One UTF-8 character of the string, checked: no overlong form, surrogate or value past
  // U+10FFFF.
  bool Utf8Char(std::string& out) {
    const auto lead = static_cast<unsigned char>(text_[at_]);
    const int length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
    if (length == 0 || at_ + length > text_.size()) return false;
    std::uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text_[at_ + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.append(text_.substr(at_, length));
    at_ += length;
    return true;
  }

  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (More()) {
      const auto c = static_cast<unsigned char>(Peek());
      if (c == '"') return ++at_, true;
      if (c < 0x20) return false;
      if (c != '\\') {
        if (!Utf8Char(out)) return false;
        continue;
      }
      ++at_;
      const char e = Peek();
      ++at_;
      std::uint32_t u = 0;
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u':
          if (!Hex4(u)) return false;
          if (u >= 0xD800 && u <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
          } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
          }
          PutUtf8(u, out);
          break;
        default:
          return false;
      }
    }
    return false;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace sorbit::testing
