// The character classes of CP932 codes, worked out once through the C.UTF-8 locale.
#include "CharClasses.h"

#include <locale.h>
#include <wchar.h>
#include <wctype.h>

#include <array>
#include <cassert>
#include <memory>

#include "text/Cp932.h"

namespace sjisgrep {

namespace {

constexpr std::array<std::string_view, 12> kClassNames = {
    "alnum", "alpha", "blank", "cntrl", "digit", "graph",
    "lower", "print", "punct", "space", "upper", "xdigit",
};
constexpr std::size_t kWordBit = kClassNames.size();

// The C.UTF-8 locale, or null when the system has none (the classes are ASCII's then).
locale_t Utf8Locale() {
  static const locale_t locale = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (made == static_cast<locale_t>(0)) {
      made = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }
    return made;
  }();
  return locale;
}

struct Classes {
  std::array<CodeSet, kClassNames.size() + 1> sets;  // the classes, then the word characters
  std::array<std::uint16_t, 0x10000> bits{};         // per code: bit k for sets[k]
};

const Classes& Table() {
  static const std::unique_ptr<Classes> table = [] {
    auto made = std::make_unique<Classes>();
    const locale_t locale = Utf8Locale();
    std::array<wctype_t, kClassNames.size()> types{};
    for (std::size_t k = 0; k < kClassNames.size(); ++k) {
      types[k] = wctype_l(std::string(kClassNames[k]).c_str(), locale);
    }
    for (std::uint32_t code = CodeSet::kFirstCode; code <= CodeSet::kLastCode; ++code) {
      const char32_t cp = sorbit::text::Cp932CodePoint(static_cast<std::uint16_t>(code));
      if (cp == sorbit::text::kNoCodePoint) continue;
      std::uint16_t bits = 0;
      for (std::size_t k = 0; k < types.size(); ++k) {
        if (iswctype_l(static_cast<wint_t>(cp), types[k], locale) != 0) {
          bits = static_cast<std::uint16_t>(bits | 1u << k);
        }
      }
      if ((bits & 1u << static_cast<int>(CharClass::kAlnum)) != 0 || cp == U'_') {
        bits = static_cast<std::uint16_t>(bits | 1u << kWordBit);
      }
      made->bits[code] = bits;
      for (std::size_t k = 0; k < made->sets.size(); ++k) {
        if ((bits & 1u << k) != 0) made->sets[k].Add(static_cast<std::uint16_t>(code));
      }
    }
    return made;
  }();
  return *table;
}

}  // namespace

std::optional<CharClass> CharClassNamed(std::string_view name) {
  for (std::size_t k = 0; k < kClassNames.size(); ++k) {
    if (kClassNames[k] == name) return static_cast<CharClass>(k);
  }
  return std::nullopt;
}

const CodeSet& CodesOfClass(CharClass c) { return Table().sets[static_cast<std::size_t>(c)]; }

const CodeSet& WordCodes() { return Table().sets[kWordBit]; }

void AddCaseCounterparts(char32_t cp, CodeSet& into) {
  const locale_t locale = Utf8Locale();
  const auto lower = [locale](char32_t c) {
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
  };
  const auto upper = [locale](char32_t c) {
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
  };
  for (const char32_t other : {lower(cp), upper(cp), lower(upper(cp)), upper(lower(cp))}) {
    if (other == cp) continue;
    for (const sorbit::text::Cp932Code code : sorbit::text::Cp932CodesOf(other)) into.Add(code);
  }
}

int DisplayWidth(char32_t cp) {
  const locale_t previous = uselocale(Utf8Locale());
  const int width = wcwidth(static_cast<wchar_t>(cp));
  uselocale(previous);
  return width < 0 ? 1 : width;
}

}  // namespace sjisgrep
