// Pattern search over an archive: the whole-file pass and the message-by-message search.
#include "archive/Search.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "archive/SvfText.h"
#include "text/Cp932.h"
#include "text/Cp932Pattern.h"

namespace sorbit::archive {

namespace {

// Whether the pattern may hold an anchor: any "^" or "$" at a character start. A plain "^"
// or "$" (escaped, or in a class) only costs the whole-file pass, never a hit.
bool MayHoldAnchor(std::string_view pattern) {
  for (std::size_t at = 0; at < pattern.size(); at += SjisRegExp::CharLength(pattern, at)) {
    if (pattern[at] == '^' || pattern[at] == '$') return true;
  }
  return false;
}

bool FieldMatches(const SjisRegExp::TCompiledRegExp& pattern, std::string_view field) {
  return pattern.Find(field).has_value();
}

}  // namespace

ArchiveSearch::ArchiveSearch(const Archive& archive, const SjisRegExp::TCompiledRegExp& pattern,
                             std::uint8_t fields, std::uint32_t board)
    : archive_(archive), pattern_(pattern), fields_(fields & kSearchAll), board_(board) {
  assert(archive.Indexed());
  whole_file_ = archive.Kind() == FileKind::kSvf && (fields_ & kSearchBody) != 0 &&
                !MayHoldAnchor(pattern.Pattern());
  const std::uint32_t count = archive.MessageCount();
  if (count == 0 || fields_ == 0) {
    Finish();
    return;
  }
  position_ = archive.Message(0).Offset();
  if (whole_file_) {
    // A zero byte in a header line ends that line for the pass: such messages' titles and
    // handles are looked at on their own.
    for (std::uint32_t i = 0; i < count; ++i) {
      if (archive.Message(i).HeaderHoldsZeroByte() && InScope(i)) header_nul_.push_back(i);
    }
  }
}

bool ArchiveSearch::InScope(std::uint32_t index) const {
  return board_ == kNone || archive_.Message(index).Board() == board_;
}

bool ArchiveSearch::Step(std::size_t bytes) {
  if (done_) return true;
  if (bytes == 0) bytes = 1;
  return whole_file_ ? StepWholeFile(bytes) : StepByMessage(bytes);
}

bool ArchiveSearch::MessageMatches(std::uint32_t index) {
  archive_.ReadRaw(index, raw_);
  return ((fields_ & kSearchTitle) != 0 && FieldMatches(pattern_, raw_.number.title)) ||
         ((fields_ & kSearchHandle) != 0 && FieldMatches(pattern_, raw_.msg.handle)) ||
         ((fields_ & kSearchBody) != 0 && pattern_.FindLine(raw_.body).has_value());
}

bool ArchiveSearch::StepByMessage(std::size_t bytes) {
  const std::uint32_t count = archive_.MessageCount();
  const std::uint64_t stop = position_ + bytes;
  while (next_ < count) {
    const std::uint32_t i = next_++;
    if (InScope(i) && MessageMatches(i)) hits_.push_back(i);
    if (next_ < count && archive_.Message(next_).Offset() >= stop) {
      position_ = archive_.Message(next_).Offset();
      return false;
    }
  }
  Finish();
  return true;
}

bool ArchiveSearch::StepWholeFile(std::size_t bytes) {
  const std::string_view text = archive_.Bytes();
  const std::uint32_t count = archive_.MessageCount();
  auto message_end = [&](std::uint32_t m) {
    return m + 1 < count ? archive_.Message(m + 1).Offset() : text.size();
  };
  const std::uint64_t stop = position_ + bytes;
  while (next_ < count && position_ < stop) {
    // A block of whole messages from position_, ending at the first message start at or
    // after `stop`, so that every line found lies in a known message.
    std::uint32_t last = next_ + 1;
    std::uint32_t step = 1;
    while (last < count && archive_.Message(last).Offset() < stop) {
      last = std::min(count, last + step);
      step *= 2;
    }
    const std::uint64_t block_end = last < count ? archive_.Message(last).Offset() : text.size();
    const std::string_view block = text.substr(position_, block_end - position_);
    const std::optional<SjisRegExp::TMatchSpan> line = pattern_.FindLine(block);
    if (!line) {
      position_ = block_end;
      next_ = last;
      continue;
    }
    const std::uint64_t line_start = position_ + line->start;
    const std::uint64_t line_end = position_ + line->end;
    std::uint32_t m = next_;
    while (m + 1 < count && archive_.Message(m + 1).Offset() <= line_start) ++m;
    next_ = m;
    const std::uint64_t after_line =
        line_end < text.size() && text[line_end] == '\n' ? line_end + 1 : line_end;
    bool hit = false;
    if (InScope(m) && HeaderLinesAt(text, archive_.Message(m).Offset())) {
      const MessageBounds bounds = ReadMessageBounds(text, archive_.Message(m).Offset());
      if (line_start == bounds.msg_line) {
        hit = (fields_ & kSearchHandle) != 0 &&
              FieldMatches(pattern_, CutMsgLine(text.substr(bounds.msg_line,
                                                            bounds.msg_line_end - bounds.msg_line))
                                         .handle);
      } else if (line_start == bounds.number_line) {
        hit = (fields_ & kSearchTitle) != 0 &&
              FieldMatches(pattern_,
                           CutNumberLine(text.substr(bounds.number_line,
                                                     bounds.number_line_end - bounds.number_line))
                               .title);
      } else {
        // A body line, or the empty line before the next message.
        hit = line_start < BodyEnd(text, m + 1 < count ? archive_.Message(m + 1).Offset()
                                                       : std::string_view::npos);
      }
    }
    if (hit || !InScope(m)) {
      if (hit) hits_.push_back(m);
      position_ = message_end(m);
      next_ = m + 1;
    } else {
      position_ = after_line;
    }
  }
  if (next_ >= count || position_ >= text.size()) Finish();
  return done_;
}

void ArchiveSearch::Finish() {
  for (std::uint32_t i : header_nul_) {
    if (!std::binary_search(hits_.begin(), hits_.end(), i) && MessageMatches(i)) {
      hits_.insert(std::lower_bound(hits_.begin(), hits_.end(), i), i);
    }
  }
  header_nul_.clear();
  position_ = archive_.FileSize();
  done_ = true;
}

std::vector<std::uint32_t> SearchArchive(const Archive& archive,
                                         const SjisRegExp::TCompiledRegExp& pattern,
                                         std::uint8_t fields, std::uint32_t board) {
  ArchiveSearch search(archive, pattern, fields, board);
  while (!search.Step()) {
  }
  return search.Hits();
}

std::vector<TextMatch> FindInMessage(const Archive& archive,
                                     const SjisRegExp::TCompiledRegExp& pattern,
                                     std::uint32_t index, std::uint8_t fields, RawMessage& raw) {
  archive.ReadRaw(index, raw);
  std::vector<TextMatch> found;
  std::string prefix;
  // The matches of one text (a field, or one body line) with offsets moved into UTF-8 by
  // decoding what stands before each, plus `base`.
  auto matches_in = [&](std::uint8_t field, std::string_view bytes, std::size_t base) {
    for (std::size_t from = 0; from <= bytes.size();) {
      const std::optional<SjisRegExp::TMatchSpan> match = pattern.Find(bytes, from);
      if (!match) break;
      prefix.clear();
      text::AppendCp932AsUtf8(bytes.substr(0, match->start), prefix);
      const std::size_t begin = base + prefix.size();
      text::AppendCp932AsUtf8(bytes.substr(match->start, match->Length()), prefix);
      found.push_back(TextMatch{field, begin, base + prefix.size()});
      from = match->end > match->start ? match->end
                                       : match->end + SjisRegExp::CharLength(bytes, match->end);
    }
  };
  if ((fields & kSearchTitle) != 0) matches_in(kSearchTitle, raw.number.title, 0);
  if ((fields & kSearchHandle) != 0) matches_in(kSearchHandle, raw.msg.handle, 0);
  if ((fields & kSearchBody) != 0) {
    std::size_t base = 0;  // the line's offset in the UTF-8 body
    std::string line_text;
    for (std::size_t at = 0; at < raw.body.size();) {
      const std::size_t end = LineEnd(raw.body, at);
      const std::string_view line = raw.body.substr(at, end - at);
      matches_in(kSearchBody, line, base);
      line_text.clear();
      text::AppendCp932AsUtf8(line, line_text);
      base += line_text.size() + 1;
      const std::size_t lf = raw.body.find('\n', end);
      at = lf == std::string_view::npos ? raw.body.size() : lf + 1;
    }
  }
  return found;
}

std::string PatternToCp932(std::string_view utf8) {
  std::string cp932;
  const std::optional<text::PatternFailure> failure = text::Utf8PatternToCp932(utf8, cp932);
  if (!failure) return cp932;
  if (failure->code_point == text::kNoCodePoint) {
    throw PatternEncodingError(
        "the pattern is not valid UTF-8 (byte " + std::to_string(failure->offset + 1) + ")",
        failure->offset);
  }
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(failure->code_point));
  char32_t ignored = 0;
  const std::size_t length = text::ReadUtf8Char(utf8, failure->offset, ignored);
  throw PatternEncodingError("'" + std::string(utf8.substr(failure->offset, length)) + "' (" +
                                 name + ") has no Shift-JIS (CP932) form",
                             failure->offset);
}

SjisRegExp::TCompiledRegExp CompileSearchPattern(std::string_view utf8, bool fuzzy) {
  SjisRegExp::TPatternOptions options;
  options.UseFuzzyCharDic = fuzzy;
  options.LineSeparator = SjisRegExp::mcls_LF;
  return SjisRegExp::TCompiledRegExp(PatternToCp932(utf8), options);
}

}  // namespace sorbit::archive
