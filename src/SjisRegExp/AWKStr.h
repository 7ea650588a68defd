// TAWKStr: the component the application uses. It publishes the pattern, the line
// separator and the two dictionary switches, and offers the AWK-style Match.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "MatchCore.h"

namespace SjisRegExp {

class TAWKStr : public TMatchCORE {
 public:
  using MatchMethodType = MatchSpan (TMatchCORE::*)(const char*, const char*) const;

  // The empty pattern is current and ScanPlain selected; the built-in fuzzy-character
  // dictionary is in the preprocessor's list (its pass stays off until switched on).
  TAWKStr();

  // Also selects MatchMethod; when the write fails, MatchMethod stays as it was.
  void SetRegExp(std::string_view pattern) override;

  bool UseFuzzyCharDic() const { return PreProcessor().UseFuzzyCharDic(); }
  void SetUseFuzzyCharDic(bool on);
  bool UseSynonymDic() const { return PreProcessor().UseSynonymDic(); }
  void SetUseSynonymDic(bool on);

  // Finds the leftmost-longest match in the text, which ends at its first zero byte.
  // Returns the 1-based start (also in start) and the length in bytes, or 0 with
  // start and length 0 when nothing matches. Allocates nothing and changes nothing.
  // Only the first INT32_MAX - 1 bytes of a longer text are searched, so that every
  // result fits the 32-bit outputs.
  // Inline, as it is called once for every title the converter reads.
  int Match(std::string_view text, int& start, int& length) const {
    constexpr std::size_t kMaxText = static_cast<std::size_t>(std::numeric_limits<int>::max()) - 1;
    if (text.size() > kMaxText) text = text.substr(0, kMaxText);
    const char* begin = text.data();
    // The scans stop at the first zero byte themselves, so the text is not measured
    // first: a long text with an early match costs only what is read.
    const char* end = begin + text.size();
    const MatchSpan m = (this->*matchMethod_)(begin, end);
    if (m.start == nullptr) {
      start = 0;
      length = 0;
      return 0;
    }
    start = static_cast<int>(m.start - begin) + 1;
    length = static_cast<int>(m.end - m.start);
    return start;
  }

  MatchMethodType MatchMethod() const { return matchMethod_; }

 private:
  MatchMethodType matchMethod_ = &TMatchCORE::ScanPlain;
  std::uint32_t methodSerial_ = 0;  // the WriteSerial for which matchMethod_ was chosen
};

}  // namespace SjisRegExp
