// TCompiledRegExp: a pattern compiled once (TRE_Program) with its options, and its searches,
// each one of the matching core's scans with its result as offsets.
#include <algorithm>
#include <cstring>

#include "FuzzyCharDic.h"
#include "MatchCore.h"
#include "PreProcessor.h"
#include "Program.h"
#include "SjisRegExp.h"

namespace SjisRegExp {

namespace {

std::string Preprocessed(const std::string& pattern, const TPatternOptions& options) {
  TREPreProcessor preProcessor(pattern);
  preProcessor.FuzzyCharDics.push_back(&FuzzyCharDic());
  preProcessor.SetUseFuzzyCharDic(options.UseFuzzyCharDic);
  preProcessor.SetUseSynonymDic(options.UseSynonymDic);
  preProcessor.Run();
  return preProcessor.ProcessedText();
}

}  // namespace

class TRE_Pattern {
 public:
  TRE_Pattern(std::string_view pattern, const TPatternOptions& options)
      : pattern_(pattern),
        options_(options),
        program_(Preprocessed(pattern_, options), LineHeadCode, LineTailCode) {
    rules_.separator = options.LineSeparator == mcls_LF ? '\n' : '\r';
    rules_.lineHeadMark = program_.LineHeadMark();
  }

  const std::string& Pattern() const { return pattern_; }
  const TPatternOptions& Options() const { return options_; }
  const TRE_Program& Program() const { return program_; }
  // The rules of Match and Find: the anchor codes, the separator of the options, the marks.
  const ScanRules& Rules() const { return rules_; }

 private:
  std::string pattern_;
  TPatternOptions options_;
  TRE_Program program_;
  ScanRules rules_;
};

namespace {

// Whether the character start `at` follows an LF that is a character of its own, or is 0.
bool AtLineHead(std::string_view text, std::size_t at) {
  return at == 0 || (text[at - 1] == '\n' && !IsTrailByte(text, at - 1));
}

std::optional<TMatchSpan> Offsets(std::string_view text, MatchSpan m) {
  if (m.start == nullptr) return std::nullopt;
  return TMatchSpan{static_cast<std::size_t>(m.start - text.data()),
                    static_cast<std::size_t>(m.end - text.data())};
}

// The Match of a pattern whose scan is not the plain one by stop bytes.
int MatchOfPattern(const void* context, std::string_view text, int& start, int& length) {
  const auto& pattern = *static_cast<const TRE_Pattern*>(context);
  text = MatchText(text);
  const char* begin = text.data();
  const MatchSpan m =
      SearchText<true>(pattern.Program(), pattern.Rules(), begin, begin + text.size());
  return MatchResult(text, m, start, length);
}

}  // namespace

TCompiledRegExp::TCompiledRegExp(std::string_view pattern, const TPatternOptions& options)
    : pattern_(std::make_unique<TRE_Pattern>(pattern, options)) {
  if (pattern_->Program().PlainScanByStops()) {
    match_ = &MatchByStopBytes;
    matchContext_ = &pattern_->Program();
  } else if (pattern_->Program().PlainScanByLiteral()) {
    match_ = &MatchByLiteral;
    matchContext_ = &pattern_->Program();
  } else if (pattern_->Program().Plain()) {
    match_ = &MatchPlain;
    matchContext_ = &pattern_->Program();
  } else {
    match_ = &MatchOfPattern;
    matchContext_ = pattern_.get();
  }
}

TCompiledRegExp::~TCompiledRegExp() = default;
TCompiledRegExp::TCompiledRegExp(TCompiledRegExp&&) noexcept = default;
TCompiledRegExp& TCompiledRegExp::operator=(TCompiledRegExp&&) noexcept = default;

const std::string& TCompiledRegExp::Pattern() const { return pattern_->Pattern(); }
const TPatternOptions& TCompiledRegExp::Options() const { return pattern_->Options(); }

std::optional<TMatchSpan> TCompiledRegExp::Find(std::string_view text, std::size_t from) const {
  if (from > text.size()) return std::nullopt;
  const char* p = text.data() + from;
  const char* end = text.data() + text.size();
  if (AtLineHead(text, from)) {
    return Offsets(text, SearchText<false>(pattern_->Program(), pattern_->Rules(), p, end));
  }
  const bool anchored = pattern_->Program().LineHeadMark() || pattern_->Program().LineTailMark();
  return Offsets(text, anchored ? ScanFrom<false>(pattern_->Program(), pattern_->Rules(), p, end)
                                : ScanPlain<false>(pattern_->Program(), p, end));
}

std::optional<TMatchSpan> TCompiledRegExp::FindInLines(std::string_view block) const {
  const char* begin = block.data();
  return Offsets(block, SjisRegExp::FindInLines(pattern_->Program(), pattern_->Rules(), begin,
                                                begin + block.size()));
}

std::optional<TMatchSpan> TCompiledRegExp::FindLine(std::string_view block) const {
  const char* begin = block.data();
  const char* end = begin + block.size();
  const char* line = FirstMatchingLine(pattern_->Program(), pattern_->Rules(), begin, end, nullptr);
  if (line == nullptr) return std::nullopt;
  const void* lineFeed = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
  return TMatchSpan{static_cast<std::size_t>(line - begin),
                    lineFeed != nullptr
                        ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - begin)
                        : block.size()};
}

std::optional<std::size_t> TCompiledRegExp::LongestAt(std::string_view text, std::size_t at,
                                                      std::size_t maxEnd) const {
  if (at > text.size()) return std::nullopt;
  const char* begin = text.data();
  const char* end = begin + text.size();
  const char* limit = begin + std::min(std::max(maxEnd, at), text.size());
  const char* e = LongestUpTo(pattern_->Program(), pattern_->Rules(), begin + at, limit, end,
                              AtLineHead(text, at));
  if (e == nullptr) return std::nullopt;
  return static_cast<std::size_t>(e - begin);
}

}  // namespace SjisRegExp
