// TCompiledRegExp: a pattern compiled once (TRE_Program) and its searches, each one of the
// matching core's scans with its result as offsets.
#include <algorithm>
#include <cstring>

#include "FuzzyCharDic.h"
#include "MatchCore.h"
#include "PreProcessor.h"
#include "Program.h"
#include "SjisRegExp.h"

namespace SjisRegExp {

TRE_Program::TRE_Program(std::string_view pattern, const TPatternOptions& options)
    : pattern_(pattern), options_(options) {
  TREPreProcessor preProcessor(pattern_);
  preProcessor.FuzzyCharDics.push_back(&FuzzyCharDic());
  preProcessor.SetUseFuzzyCharDic(options.UseFuzzyCharDic);
  preProcessor.SetUseSynonymDic(options.UseSynonymDic);
  preProcessor.Run();
  dfa_ = CompileDFA(preProcessor.ProcessedText(), LineHeadCode, LineTailCode);
  rules_.separator = options.LineSeparator == mcls_LF ? '\n' : '\r';
  rules_.lineHeadMark = dfa_->LineHeadMark();
}

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

}  // namespace

TCompiledRegExp::TCompiledRegExp(std::string_view pattern, const TPatternOptions& options)
    : program_(std::make_unique<TRE_Program>(pattern, options)) {}

TCompiledRegExp::~TCompiledRegExp() = default;
TCompiledRegExp::TCompiledRegExp(TCompiledRegExp&&) noexcept = default;
TCompiledRegExp& TCompiledRegExp::operator=(TCompiledRegExp&&) noexcept = default;

const std::string& TCompiledRegExp::Pattern() const { return program_->Pattern(); }
const TPatternOptions& TCompiledRegExp::Options() const { return program_->Options(); }

int TCompiledRegExp::Match(std::string_view text, int& start, int& length) const {
  text = MatchText(text);
  const char* begin = text.data();
  const MatchSpan m = SearchText(program_->DFA(), program_->Rules(), begin, begin + text.size());
  return MatchResult(text, m, start, length);
}

std::optional<TMatchSpan> TCompiledRegExp::Find(std::string_view text, std::size_t from) const {
  if (from > text.size()) return std::nullopt;
  const TRE_DFA& dfa = program_->DFA();
  const char* p = text.data() + from;
  const char* end = text.data() + text.size();
  if (AtLineHead(text, from)) return Offsets(text, SearchText(dfa, program_->Rules(), p, end));
  const bool anchored = dfa.LineHeadMark() || dfa.LineTailMark();
  return Offsets(text,
                 anchored ? ScanFrom(dfa, program_->Rules(), p, end) : ScanPlain(dfa, p, end));
}

std::optional<TMatchSpan> TCompiledRegExp::FindInLines(std::string_view block) const {
  const char* begin = block.data();
  return Offsets(block, SjisRegExp::FindInLines(program_->DFA(), program_->Rules(), begin,
                                                begin + block.size()));
}

std::optional<TMatchSpan> TCompiledRegExp::FindLine(std::string_view block) const {
  const std::optional<TMatchSpan> m = FindInLines(block);
  if (!m) return std::nullopt;
  const char* begin = block.data();
  const void* before = memrchr(begin, '\n', m->start);
  const void* after = std::memchr(begin + m->start, '\n', block.size() - m->start);
  return TMatchSpan{
      before != nullptr ? static_cast<std::size_t>(static_cast<const char*>(before) - begin) + 1
                        : 0,
      after != nullptr ? static_cast<std::size_t>(static_cast<const char*>(after) - begin)
                       : block.size()};
}

std::optional<std::size_t> TCompiledRegExp::LongestAt(std::string_view text, std::size_t at,
                                                      std::size_t maxEnd) const {
  if (at > text.size()) return std::nullopt;
  const char* begin = text.data();
  const char* end = begin + text.size();
  const char* limit = begin + std::min(std::max(maxEnd, at), text.size());
  const char* e =
      LongestUpTo(program_->DFA(), program_->Rules(), begin + at, limit, end, AtLineHead(text, at));
  if (e == nullptr) return std::nullopt;
  return static_cast<std::size_t>(e - begin);
}

}  // namespace SjisRegExp
