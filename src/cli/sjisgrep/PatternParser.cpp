// GNU grep's extended syntax read into a PatternTree, with grep's rules for the odd cases.
#include "PatternParser.h"

#include <cstdio>
#include <optional>

#include "CharClasses.h"
#include "text/Cp932.h"

namespace sjisgrep {

namespace {

// grep's own words for the errors it shares with us.
constexpr char kUnmatchedParen[] = "Unmatched ( or \\(";
constexpr char kUnmatchedBracket[] = "Unmatched [, [^, [:, [., or [=";
constexpr char kBadClassName[] = "Invalid character class name";
constexpr char kTrailingBackslash[] = "Trailing backslash";
constexpr char kBadInterval[] = "Invalid content of \\{\\}";
constexpr char kTooBig[] = "Regular expression too big";
constexpr char kBadRangeEnd[] = "Invalid range end";
constexpr char kBadCollation[] = "Invalid collation character";
constexpr char kClassSyntax[] = "character class syntax is [[:space:]], not [:space:]";

constexpr int kMaxRepeat = 32767;  // grep's RE_DUP_MAX
// Deeper groups would only exhaust the stack; the library takes about this many too.
constexpr int kMaxDepth = 500;

std::string CodePointText(char32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

// Every code of a character that a CP932 code stands for, the code itself included.
void AddCodesOfCp932(std::uint16_t code, bool ignoreCase, CodeSet& into) {
  into.Add(code);
  const char32_t cp = sorbit::text::Cp932CodePoint(code);
  if (cp == sorbit::text::kNoCodePoint) return;
  for (const sorbit::text::Cp932Code other : sorbit::text::Cp932CodesOf(cp)) into.Add(other);
  if (ignoreCase) AddCaseCounterparts(cp, into);
}

// With -i, every code of the other cases of the characters in `set`.
CodeSet CaseFolded(const CodeSet& set) {
  CodeSet folded = set;
  for (const CodeSet::Range& r : set.Ranges()) {
    for (std::uint32_t code = r.first; code <= r.last; ++code) {
      const char32_t cp = sorbit::text::Cp932CodePoint(static_cast<std::uint16_t>(code));
      if (cp != sorbit::text::kNoCodePoint) AddCaseCounterparts(cp, folded);
    }
  }
  return folded;
}

class Parser {
 public:
  Parser(std::string_view text, const ParseOptions& options, std::vector<std::string>& warnings)
      : text_(text),
        chars_(SplitTypedText(text, options.encoding)),
        options_(options),
        warnings_(warnings) {}

  PatternTree Parse() {
    if (options_.fixed) {
      PatternNode concat = PatternNode::Make(PatternNode::Kind::kConcat);
      for (std::size_t k = 0; k < chars_.size(); ++k) concat.children.push_back(Literal(k));
      tree_.Add(std::move(concat));
      return std::move(tree_);
    }
    Alternation(0);
    if (pos_ < chars_.size()) throw PatternError(kUnmatchedParen, pos_);  // not reached
    return std::move(tree_);
  }

 private:
  bool AtEnd() const { return pos_ >= chars_.size(); }
  char32_t Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < chars_.size() ? chars_[pos_ + ahead].value : 0;
  }
  bool PeekIs(char32_t c, std::size_t ahead = 0) const {
    return pos_ + ahead < chars_.size() && chars_[pos_ + ahead].value == c;
  }

  int Add(PatternNode::Kind kind, std::size_t column) {
    PatternNode node;
    node.kind = kind;
    node.column = column;
    return tree_.Add(std::move(node));
  }
  int AddSet(CodeSet set, std::size_t column) {
    PatternNode node;
    node.kind = PatternNode::Kind::kSet;
    node.set = std::move(set);
    node.column = column;
    return tree_.Add(std::move(node));
  }

  // The typed character at `index` as a literal.
  int Literal(std::size_t index) { return AddSet(CharCodes(index), index); }

  CodeSet CharCodes(std::size_t index) const {
    const char32_t value = chars_[index].value;
    CodeSet codes = CodesOfChar(value, options_);
    if (codes.Empty()) {
      const std::string_view typed(text_.data() + chars_[index].offset, chars_[index].length);
      throw PatternError("'" + std::string(typed) + "' (" + CodePointText(value) +
                             ") has no Shift-JIS (CP932) form",
                         index);
    }
    return codes;
  }

  // alternation: branch ('|' branch)*
  int Alternation(int depth) {
    const std::size_t column = pos_;
    std::vector<int> branches{Branch(depth)};
    while (PeekIs('|')) {
      ++pos_;
      branches.push_back(Branch(depth));
    }
    if (branches.size() == 1) return branches[0];
    PatternNode node = PatternNode::Make(PatternNode::Kind::kUnion, std::move(branches));
    node.column = column;
    return tree_.Add(std::move(node));
  }

  // branch: (atom postfix*)*, up to '|', a ')' that closes a group, or the end.
  int Branch(int depth) {
    const std::size_t column = pos_;
    std::vector<int> items;
    // Whether only zero-width items stand between here and the start of the expression:
    // a repetition there repeats the empty string, and grep warns.
    bool atStart = true;
    for (;;) {
      if (AtEnd() || PeekIs('|') || (PeekIs(')') && depth > 0)) break;
      bool zeroWidth = false;
      std::optional<int> atom = Atom(depth, zeroWidth);
      int item = atom ? *atom : -1;
      const bool repeatAtStart = atStart && (!atom || zeroWidth);
      if (atom && !zeroWidth) atStart = false;
      while (!AtEnd()) {
        int min = 0, max = -1;
        const std::size_t opColumn = pos_;
        const char32_t c = Peek();
        const char* name = nullptr;
        if (c == '*') {
          name = "*";
          ++pos_;
        } else if (c == '+') {
          name = "+";
          min = 1;
          ++pos_;
        } else if (c == '?') {
          name = "?";
          max = 1;
          ++pos_;
        } else if (c == '{' && Interval(min, max)) {
          name = "{...}";
        } else {
          break;
        }
        if (repeatAtStart) warnings_.push_back(std::string(name) + " at start of expression");
        if (item < 0) item = Add(PatternNode::Kind::kEmpty, opColumn);
        PatternNode repeat = PatternNode::Make(PatternNode::Kind::kRepeat, {item});
        repeat.min = min;
        repeat.max = max;
        repeat.column = opColumn;
        item = tree_.Add(std::move(repeat));
      }
      if (item >= 0) items.push_back(item);
    }
    if (items.size() == 1) return items[0];
    if (items.empty()) return Add(PatternNode::Kind::kEmpty, column);
    PatternNode node = PatternNode::Make(PatternNode::Kind::kConcat, std::move(items));
    node.column = column;
    return tree_.Add(std::move(node));
  }

  // One atom; nothing when a repetition operator stands where an atom should be.
  std::optional<int> Atom(int depth, bool& zeroWidth) {
    const std::size_t column = pos_;
    const char32_t c = Peek();
    switch (c) {
      case '*':
      case '+':
      case '?':
        return std::nullopt;
      case '{': {
        // A count repeats what comes before it; with nothing before it, it repeats the empty
        // string if it is a valid count, and is text otherwise (grep does not complain there).
        int min = 0, max = -1;
        bool interval = false;
        try {
          interval = Interval(min, max);
        } catch (const PatternError&) {
        }
        pos_ = column;
        if (interval) return std::nullopt;
        ++pos_;
        return Literal(column);
      }
      case '(': {
        if (depth + 1 > kMaxDepth) {
          throw PatternError("groups nest more than " + std::to_string(kMaxDepth) + " deep",
                             column);
        }
        ++pos_;
        const int inner = Alternation(depth + 1);
        if (!PeekIs(')')) throw PatternError(kUnmatchedParen, column);
        ++pos_;
        return inner;
      }
      case ')':  // without its "(": itself, as in grep
        ++pos_;
        return Literal(column);
      case '^':
        ++pos_;
        zeroWidth = true;
        return Add(PatternNode::Kind::kLineHead, column);
      case '$':
        ++pos_;
        zeroWidth = true;
        return Add(PatternNode::Kind::kLineTail, column);
      case '.':
        ++pos_;
        return Add(PatternNode::Kind::kAny, column);
      case '[':
        return Bracket();
      case '\\':
        return Escape(zeroWidth);
      default:
        ++pos_;
        return Literal(column);
    }
  }

  int Escape(bool& zeroWidth) {
    const std::size_t column = pos_;
    ++pos_;
    if (AtEnd()) throw PatternError(kTrailingBackslash, column);
    const char32_t c = Peek();
    ++pos_;
    const auto assertion = [&](WordAssertion kind) {
      zeroWidth = true;
      PatternNode node = PatternNode::Make(PatternNode::Kind::kWordAssertion);
      node.assertion = kind;
      node.column = column;
      return tree_.Add(std::move(node));
    };
    switch (c) {
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        throw PatternError("back-references such as \\1 are not supported", column);
      case '<':
        return assertion(WordAssertion::kWordStart);
      case '>':
        return assertion(WordAssertion::kWordEnd);
      case 'b':
        return assertion(WordAssertion::kBoundary);
      case 'B':
        return assertion(WordAssertion::kNotBoundary);
      case '`':
        zeroWidth = true;
        return Add(PatternNode::Kind::kLineHead, column);
      case '\'':
        zeroWidth = true;
        return Add(PatternNode::Kind::kLineTail, column);
      case 'w':
        return AddSet(WordCodes(), column);
      case 'W':
        return AddSet(WordCodes().Complement(), column);
      case 's':
        return AddSet(CodesOfClass(CharClass::kSpace), column);
      case 'S':
        return AddSet(CodesOfClass(CharClass::kSpace).Complement(), column);
      default:
        return Literal(pos_ - 1);
    }
  }

  // A count after "{": true and the bounds when the text from pos_ is one (pos_ then after
  // its "}"); false when the "{" is an ordinary character (pos_ unchanged). The rules are
  // glibc's: "{" followed by anything but digits, one comma and "}" is itself; "{}", "{2,1}"
  // and "{1,2,3}" are errors, as are counts above 32767.
  bool Interval(int& min, int& max) {
    const std::size_t brace = pos_;
    std::size_t p = pos_ + 1;
    // Digits up to "}" or ",": -1 when there are none, -2 when something else comes first
    // or the text ends.
    const auto number = [&](char32_t& stop) {
      int value = -1;
      for (;;) {
        if (p >= chars_.size()) return -2;
        const char32_t c = chars_[p].value;
        if (c == '}' || c == ',') {
          stop = c;
          ++p;
          return value;
        }
        if (c == '\\' && p + 1 < chars_.size()) ++p;  // an escape is one character here
        ++p;
        if (c < '0' || c > '9' || value == -2) {
          value = -2;
        } else {
          value = value < 0 ? static_cast<int>(c - '0')
                            : std::min(kMaxRepeat + 1, value * 10 + static_cast<int>(c - '0'));
        }
      }
    };
    char32_t stop = 0;
    int first = number(stop);
    int last = 0;
    if (first == -1) {
      if (stop != ',') throw PatternError(kBadInterval, brace);  // "{}"
      first = 0;
    }
    if (first != -2) {
      if (stop == '}') {
        last = first;
      } else {
        last = number(stop);
      }
    }
    if (first == -2 || last == -2) return false;
    if ((last != -1 && first > last) || stop != '}') throw PatternError(kBadInterval, brace);
    if ((last == -1 ? first : last) > kMaxRepeat) throw PatternError(kTooBig, brace);
    min = first;
    max = last;
    pos_ = p;
    return true;
  }

  // One element of a bracket expression.
  struct Element {
    enum class Kind { kChar, kClass, kEquivalence } kind = Kind::kChar;
    char32_t value = 0;  // kChar, kEquivalence
    CharClass charClass = CharClass::kAlnum;
    std::size_t column = 0;
  };

  // "[:name:]", "[.c.]" or "[=c=]" at pos_ (which is at its "[").
  Element Symbol() {
    Element element;
    element.column = pos_;
    const char32_t delimiter = Peek(1);
    pos_ += 2;
    const std::size_t nameStart = pos_;
    while (!(PeekIs(delimiter) && PeekIs(']', 1))) {
      if (AtEnd()) throw PatternError(kUnmatchedBracket, element.column);
      ++pos_;
    }
    const std::size_t nameEnd = pos_;
    pos_ += 2;
    if (delimiter == ':') {
      std::string name;
      for (std::size_t k = nameStart; k < nameEnd; ++k) {
        const char32_t c = chars_[k].value;
        name += c < 0x80 ? static_cast<char>(c) : '?';
      }
      // Under -i grep takes upper and lower case letters for all letters.
      if (options_.ignoreCase && (name == "upper" || name == "lower")) name = "alpha";
      const std::optional<CharClass> found = CharClassNamed(name);
      if (!found) throw PatternError(kBadClassName, element.column);
      element.kind = Element::Kind::kClass;
      element.charClass = *found;
      return element;
    }
    if (nameEnd - nameStart != 1) throw PatternError(kBadCollation, element.column);
    element.kind = delimiter == '.' ? Element::Kind::kChar : Element::Kind::kEquivalence;
    element.value = chars_[nameStart].value;
    element.column = nameStart;
    return element;
  }

  // The element at pos_; a "-" is one only where `hyphenAllowed` (first in the expression, a
  // range's end, or just before the closing "]").
  Element BracketElement(bool hyphenAllowed, std::size_t open) {
    if (AtEnd()) throw PatternError(kUnmatchedBracket, open);
    if (PeekIs('[') && (PeekIs(':', 1) || PeekIs('.', 1) || PeekIs('=', 1))) return Symbol();
    if (PeekIs('-') && !hyphenAllowed && !PeekIs(']', 1)) throw PatternError(kBadRangeEnd, pos_);
    Element element;
    element.value = Peek();
    element.column = pos_;
    ++pos_;
    return element;
  }

  CodeSet RangeCodes(char32_t first, char32_t last) const {
    CodeSet codes;
    if (options_.encoding == TextEncoding::kUtf8) {
      for (std::uint32_t code = CodeSet::kFirstCode; code <= CodeSet::kLastCode; ++code) {
        const char32_t cp = sorbit::text::Cp932CodePoint(static_cast<std::uint16_t>(code));
        if (cp != sorbit::text::kNoCodePoint && first <= cp && cp <= last) {
          codes.Add(static_cast<std::uint16_t>(code));
        }
      }
    } else {
      codes.AddRange(static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(last));
      for (std::uint32_t code = first; code <= last; ++code) {
        AddCodesOfCp932(static_cast<std::uint16_t>(code), false, codes);
      }
    }
    return options_.ignoreCase ? CaseFolded(codes) : codes;
  }

  int Bracket() {
    const std::size_t open = pos_;
    ++pos_;
    bool negated = false;
    if (PeekIs('^')) {
      negated = true;
      ++pos_;
    }
    CodeSet codes;
    // grep's complaint about "[:space:]": an expression that begins and ends with ":", has
    // something else in it and no range.
    const bool colonFirst = PeekIs(':');
    bool colonLast = false, otherThanColon = false, range = false;
    bool first = true;
    for (;;) {
      const std::size_t elementStart = pos_;
      // A "]" first in the expression is itself.
      Element start;
      if (first && PeekIs(']')) {
        start.value = ']';
        start.column = pos_;
        ++pos_;
      } else {
        start = BracketElement(first, open);
      }
      first = false;
      if (AtEnd()) throw PatternError(kUnmatchedBracket, open);
      bool isRange = false;
      if (start.kind == Element::Kind::kChar && PeekIs('-')) {
        if (pos_ + 1 >= chars_.size()) throw PatternError(kUnmatchedBracket, open);
        if (!PeekIs(']', 1)) {
          isRange = true;
          ++pos_;
        }
      }
      if (isRange) {
        range = true;
        const Element end = BracketElement(true, open);
        if (end.kind != Element::Kind::kChar) throw PatternError(kBadRangeEnd, end.column);
        if (start.kind != Element::Kind::kChar || end.value < start.value) {
          throw PatternError(kBadRangeEnd, end.column);
        }
        codes.AddSet(RangeCodes(start.value, end.value));
      } else if (start.kind == Element::Kind::kClass) {
        const CodeSet& members = CodesOfClass(start.charClass);
        codes.AddSet(options_.ignoreCase ? CaseFolded(members) : members);
      } else {
        codes.AddSet(CharCodes(start.column));
      }
      const bool colon = pos_ == elementStart + 1 && chars_[elementStart].value == ':';
      colonLast = colon;
      otherThanColon = otherThanColon || !colon;
      if (AtEnd()) throw PatternError(kUnmatchedBracket, open);
      if (PeekIs(']')) {
        ++pos_;
        break;
      }
    }
    if (colonFirst && colonLast && otherThanColon && !range) {
      throw PatternError(kClassSyntax, open);
    }
    return AddSet(negated ? codes.Complement() : std::move(codes), open);
  }

  std::string_view text_;
  std::vector<TypedChar> chars_;
  const ParseOptions& options_;
  std::vector<std::string>& warnings_;
  PatternTree tree_;
  std::size_t pos_ = 0;
};

}  // namespace

std::vector<TypedChar> SplitTypedText(std::string_view text, TextEncoding encoding) {
  std::vector<TypedChar> chars;
  std::size_t k = 0;
  while (k < text.size()) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (encoding == TextEncoding::kUtf8) {
      char32_t cp = 0;
      const std::size_t length = sorbit::text::ReadUtf8Char(text, k, cp);
      if (length == 0) {
        throw PatternError("not valid UTF-8 (byte " + std::to_string(k + 1) + ")", chars.size());
      }
      chars.push_back({cp, k, length});
      k += length;
    } else if (sorbit::text::IsCp932LeadByte(byte)) {
      if (k + 1 >= text.size()) {
        throw PatternError("a two-byte character is cut off at the end", chars.size());
      }
      chars.push_back(
          {static_cast<char32_t>(byte << 8 | static_cast<unsigned char>(text[k + 1])), k, 2});
      k += 2;
    } else {
      chars.push_back({byte, k, 1});
      ++k;
    }
  }
  return chars;
}

CodeSet CodesOfChar(char32_t value, const ParseOptions& options) {
  CodeSet codes;
  if (options.encoding == TextEncoding::kUtf8) {
    for (const sorbit::text::Cp932Code code : sorbit::text::Cp932CodesOf(value)) codes.Add(code);
    if (options.ignoreCase) AddCaseCounterparts(value, codes);
  } else {
    AddCodesOfCp932(static_cast<std::uint16_t>(value), options.ignoreCase, codes);
  }
  return codes;
}

PatternTree ParsePattern(std::string_view text, const ParseOptions& options,
                         std::vector<std::string>& warnings) {
  Parser parser(text, options, warnings);
  return parser.Parse();
}

}  // namespace sjisgrep
