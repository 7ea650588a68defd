// The built-in fuzzy-character dictionary, built from its rows when the library loads.
#include "FuzzyCharDic.h"

#include "Chars.h"

namespace SjisRegExp {

namespace {

// Reads a comma-text row one whole character at a time. A character is identified by its
// byte position and length; Code() gives 0 at the end (or at a zero byte).
class CommaTextReader {
 public:
  explicit CommaTextReader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return Code() == 0; }

  // The current character's code: the byte value, or lead * 256 + trail.
  unsigned Code() const {
    if (pos_ >= text_.size()) return 0;
    const auto lead = static_cast<unsigned char>(text_[pos_]);
    if (Length() == 2) return lead * 256u + static_cast<unsigned char>(text_[pos_ + 1]);
    return lead;
  }

  std::string_view Current() const { return text_.substr(pos_, Length()); }
  void Advance() { pos_ += Length(); }

  bool IsBlank() const {
    const unsigned code = Code();
    return code >= 1 && code <= 32;
  }
  void SkipBlanks() {
    while (IsBlank()) Advance();
  }

 private:
  std::size_t Length() const {
    if (pos_ >= text_.size()) return 0;
    const auto lead = static_cast<unsigned char>(text_[pos_]);
    return IsLeadByte(lead) && pos_ + 1 < text_.size() ? 2 : 1;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

Dictionary BuildFuzzyCharDic() {
  Dictionary dictionary;
  dictionary.reserve(FuzzyCharDicRows.size());
  for (std::string_view row : FuzzyCharDicRows) dictionary.push_back(ReadCommaText(row));
  return dictionary;
}

}  // namespace

Group ReadCommaText(std::string_view row) {
  Group words;
  CommaTextReader reader(row);
  reader.SkipBlanks();
  while (!reader.AtEnd()) {
    Word word;
    if (reader.Code() == '"') {
      reader.Advance();
      while (!reader.AtEnd()) {
        if (reader.Code() == '"') {
          reader.Advance();
          if (reader.Code() != '"') break;  // the closing quote
        }
        word += reader.Current();
        reader.Advance();
      }
    } else {
      while (!reader.AtEnd() && reader.Code() != ',' && !reader.IsBlank()) {
        word += reader.Current();
        reader.Advance();
      }
    }
    words.push_back(std::move(word));
    reader.SkipBlanks();
    if (reader.Code() == ',') {
      reader.Advance();
      reader.SkipBlanks();
    }
  }
  return words;
}

const Dictionary& FuzzyCharDic() {
  // A function-local static, so that a component created by another file's static
  // initializer still finds the table built.
  static const Dictionary dictionary = BuildFuzzyCharDic();
  return dictionary;
}

namespace {
// Builds the table while the program loads, before main, so that the first pattern compiled
// later pays nothing for it.
[[maybe_unused]] const Dictionary& built_at_load = FuzzyCharDic();
}  // namespace

}  // namespace SjisRegExp
