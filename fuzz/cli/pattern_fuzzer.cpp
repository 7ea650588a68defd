// sjisgrep's reader of typed patterns: any bytes, as UTF-8 or Shift-JIS, with any of -i, -F,
// -x and --fuzzy (the input's first byte), cut into lines as patterns. Reading may refuse
// a pattern (PatternError, a translation error); it may not crash, and whatever it translates
// must be a pattern the library compiles, refused at most as too complex.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "PatternParser.h"
#include "PatternTranslator.h"
#include "SjisRegExp/SjisRegExp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned flags = data[0];
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Counts of hundreds and more are written out in full and take the library seconds to
  // compile under the fuzzer's instrumentation; their rules are the same for small counts.
  for (std::size_t brace = text.find('{'); brace != std::string_view::npos;
       brace = text.find('{', brace + 1)) {
    std::size_t digits = 0;
    for (std::size_t k = brace + 1;
         k < text.size() && (text[k] == ',' || (text[k] >= '0' && text[k] <= '9')); ++k) {
      if (text[k] != ',' && ++digits > 2) return 0;
      if (text[k] == ',') digits = 0;
    }
  }
  sjisgrep::ParseOptions parse;
  parse.encoding = (flags & 1) != 0 ? sjisgrep::TextEncoding::kUtf8 : sjisgrep::TextEncoding::kSjis;
  parse.ignoreCase = (flags & 2) != 0;
  parse.fixed = (flags & 4) != 0;
  sjisgrep::TranslateOptions translate;
  translate.lineRegexp = (flags & 8) != 0;
  translate.fuzzy = (flags & 16) != 0;

  std::vector<sjisgrep::PatternTree> trees;
  std::vector<std::string> warnings;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) lf = text.size();
    try {
      trees.push_back(sjisgrep::ParsePattern(text.substr(start, lf - start), parse, warnings));
    } catch (const sjisgrep::PatternError& error) {
      if (error.Column() > text.size()) std::abort();
      return 0;
    }
    start = lf + 1;
  }
  sjisgrep::TranslateError error;
  const std::vector<sjisgrep::MatchPiece> pieces =
      sjisgrep::TranslatePatterns(trees, translate, error);
  if (!error.message.empty()) {
    if (error.pattern >= trees.size()) std::abort();
    return 0;
  }
  SjisRegExp::TPatternOptions options;
  options.UseFuzzyCharDic = translate.fuzzy;
  options.LineSeparator = SjisRegExp::mcls_LF;
  for (const sjisgrep::MatchPiece& piece : pieces) {
    try {
      SjisRegExp::TCompiledRegExp compiled(piece.pattern, options);
    } catch (const SjisRegExp::ERegExpParser& refused) {
      if (std::string_view(refused.what()) != "正規表現が複雑すぎます。") std::abort();
    }
  }
  return 0;
}
