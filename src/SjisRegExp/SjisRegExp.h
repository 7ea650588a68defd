// SjisRegExp: regular expressions over Shift-JIS (code page 932) text. This is the library's
// one public header; everything else in its folder is its own business.
//
// TEXT AND CHARACTERS
//
// Patterns and texts are byte strings in code page 932. A character is one byte, or a lead
// byte (0x81-0x9F, 0xE0-0xFC) and the byte after it, whatever that byte is; a lead byte
// with nothing after it is a character of its own. Two-byte characters are single steps
// everywhere: a pattern's "." or class takes the whole character, and a match never begins
// or ends inside one.
//
// PATTERNS
//
// The syntax is small and fixed: characters, "." (any character but LF and CR), classes
// "[...]" and "[^...]" with ranges of character codes (a two-byte character's code is
// lead * 256 + trail), grouping "( )", alternation "|", the repetitions "*", "+" and "?",
// the escapes \b \r \n \t \xHHHH \OOO and a backslash before any other character for that
// character itself, and the anchors "^" at the start of an alternative and "$" at its end
// ("^" and "$" elsewhere are plain characters). There are no braces, no \d or \w, no
// back-references. A pattern that is not well formed throws ERegExpParser, whose message
// is a Japanese text (UTF-8) and whose ErrorPos is the 1-based byte position just after
// what was wrong. A pattern is refused as too complex ("正規表現が複雑すぎます。") only for
// nesting deeper than a thousand groups or an automaton of more than four million steps to
// build, never for the size of the automaton a search needs. Two dictionary passes may
// widen a pattern before it is compiled (TPatternOptions): the built-in fuzzy-character
// dictionary lets each plain character outside a class also match its other written forms
// (full and half width, hiragana and katakana, small and large kana, kanji numerals).
//
// WHAT A SEARCH FINDS
//
// Every search finds the leftmost match and, at that start, the longest one: of all places
// where the pattern matches, the one that starts first, counting whole characters from the
// start of the text; of the matches there, the longest. "^" matches at the start of a text
// and just after every LF; "$" just before the line separator byte (CR or LF, as
// TPatternOptions::LineSeparator says) and at the end of the text.
//
// A compiled pattern (TCompiledRegExp) offers:
//   Match        the AWK-style operation: the text ends at its first zero byte; the result
//                is a 1-based position and a length;
//   Find         the match in a text at or after a given offset, for successive matches;
//   FindInLines  the first match in a block of lines, every line searched on its own;
//   FindLine     the first line of a block that holds a match;
//   LongestAt    the longest match that starts at a given offset.
// Results are byte offsets into the text given. Only Match ends its text at the first zero
// byte; the other searches read exactly the bytes they are given, a zero byte being a
// character of its own (which "." and "[^...]" do not match).
//
// TAWKStr is the component the converter's window owns: it keeps a pattern that can be
// rewritten at any time (with a cache of the 30 patterns compiled last), the line separator
// and the two dictionary switches, and offers Match.
//
// COST
//
// Compiling builds an automaton over whole characters; for everyday patterns it is built
// whole at once (at most 10,000 states and 16 MiB, with 4 MiB of tables). A bigger one is
// built by the searches, state by state, as they need it.
//
// Every search takes time linear in the length of the text for a given pattern; nothing
// backtracks. Match and Find try each start in turn while walks are short; where the walks
// from successive starts would overlap, they first read the rest of the text once with an
// automaton of all walks at once, a byte at a time, and where a match can begin, find it in
// one pass that runs the walks side by side. FindLine and FindInLines find their line by
// the cheapest way the pattern allows: a pattern that is one literal is looked for as bytes
// (its rarest byte, or the two-way algorithm for a long one); the bytes every match begins
// with are looked for sixteen at a time; otherwise that automaton of all walks reads each
// byte once, one table look-up a byte.
//
// Memory: a compiled pattern holds its automaton (as above) and its NFA, which grows with
// the pattern's length. A search that needs states built as it goes keeps them in a cache
// of at most 32 MiB for the automaton and 16 MiB for the automaton of all walks, cleared and
// refilled when full; a search whose cache keeps filling goes on with sets of NFA states,
// caching nothing. These bounds count the states' own bytes: the heap blocks that hold them
// and the room their arrays keep for growth may take nearly as much again. A search that
// first meets a kind of text may allocate; searches after it reuse what it built.
//
// THREADS
//
// A TCompiledRegExp is never changed by its searches: any number of threads may search one
// at the same time. Each search that builds states takes a cache of its own from the
// pattern (and gives it back), so the memory above is per search running at the same time.
// A TAWKStr is used by one thread at a time: writing its pattern or its switches changes
// it. Different objects share nothing but the built-in dictionary, which is read-only.
//
// INSIDE (for readers of this folder; none of it is installed)
//
// The pipeline, one stage a file pair, each opening with what it holds:
//   Chars / Scanner       characters, escapes, tokens
//   PreProcessor          dictionary widening of the pattern (FuzzyCharDic, its rows)
//   ParseTree / Parser    the parse tree with pairwise disjoint leaf ranges
//   NFA / NFAIndex        the NFA with its anchor marks; its transitions split by kind
//   DFABuilder / DFA      subset construction, whole at compile time or state by state
//   DFAAccel              the restart scans' tables: dense rows, start codes, stop bytes,
//                         literal and byte prefixes (their loops in DFAAccelScan.h)
//   LineDFA               the automaton of all walks at once, a byte at a time
//   LiteralSearch         one literal in a text
//   Program               a compiled pattern and its pool of search caches
//   MatchCore             the scans: restart scans, FindInLines, TMatchCORE
//   LinearScan / SetScan  the one-pass scan over automaton states, and over NFA sets
//   RegularExpression     the pattern cache (TRegularExpression)
//   AWKStr, CompiledRegExp  the two public classes
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace SjisRegExp {

// A character as a 16-bit code: a single byte's value, or lead * 256 + trail.
using CharCode = std::uint16_t;

// The code-page-932 lead-byte test, the same on every platform.
constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Whether the byte at the 0-based offset is the trail byte of a two-byte character, judged
// by the run of lead bytes directly before it (an odd run means yes).
bool IsTrailByte(std::string_view text, std::size_t byteOffset);

// The number of bytes of the character that begins at the 0-based offset: 2 for a lead byte
// with a nonzero byte after it in the text, else 1.
inline std::size_t CharLength(std::string_view text, std::size_t at) {
  return at + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[at])) &&
                 text[at + 1] != 0
             ? 2
             : 1;
}

// The text with a backslash before each of ^ ( | ) + * ? . [ ] $ and \: a pattern that
// matches exactly the text.
std::string QuoteMetaChars(std::string_view text);

// A pattern error: the Japanese message (UTF-8) and the 1-based byte position in the pattern
// just after what caused it. Positions past 65535 saturate at 65535.
class ERegExpParser : public std::runtime_error {
 public:
  ERegExpParser(const std::string& message, std::int64_t errorPos1);
  std::uint16_t ErrorPos() const { return errorPos_; }

 private:
  std::uint16_t errorPos_;
};

// The byte before which "$" matches inside a text (it matches at the text's end as well).
enum TMatchCORE_LineSeparator : std::uint8_t {
  mcls_CRLF = 0,  // CR
  mcls_LF = 1,    // LF
};

struct TPatternOptions {
  // Each plain character outside a class also matches its forms in the built-in
  // fuzzy-character dictionary.
  bool UseFuzzyCharDic = false;
  // The synonym pass; no synonym dictionary is built in, so it only checks the pattern's
  // characters and escapes before the parser does.
  bool UseSynonymDic = false;
  TMatchCORE_LineSeparator LineSeparator = mcls_CRLF;
};

// A match or a line as 0-based byte offsets into the text searched: [start, end).
struct TMatchSpan {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t Length() const { return end - start; }
  bool operator==(const TMatchSpan&) const = default;
};

class TRE_Pattern;

// One pattern, compiled once; searched any number of times. Moving it is cheap.
class TCompiledRegExp {
 public:
  // Throws ERegExpParser when the pattern is not well formed or too complex.
  explicit TCompiledRegExp(std::string_view pattern, const TPatternOptions& options = {});
  ~TCompiledRegExp();
  TCompiledRegExp(TCompiledRegExp&&) noexcept;
  TCompiledRegExp& operator=(TCompiledRegExp&&) noexcept;
  TCompiledRegExp(const TCompiledRegExp&) = delete;
  TCompiledRegExp& operator=(const TCompiledRegExp&) = delete;

  // The pattern as given, before the dictionary passes.
  const std::string& Pattern() const;
  const TPatternOptions& Options() const;

  // The leftmost-longest match in the text, which ends at its first zero byte. Returns the
  // 1-based start (also in start) and sets length in bytes; or returns 0 with start and
  // length 0 when nothing matches. Only the first INT32_MAX - 1 bytes of a longer text are
  // searched, so that every result fits.
  int Match(std::string_view text, int& start, int& length) const {
    return match_(matchContext_, text, start, length);
  }

  // The leftmost-longest match that starts at or after `from`, which must be a character
  // start of the text (0, or the end of an earlier match). The text before `from` is
  // context only: `from` is a line start for "^" when it is 0 or follows an LF. After an
  // empty match, go on from one character further (CharLength).
  std::optional<TMatchSpan> Find(std::string_view text, std::size_t from = 0) const;

  // The leftmost-longest match of the first line of the block that holds one. Lines end at
  // LF; a line's text is the line without its LF and without a CR just before that LF, and
  // the pattern's "^" and "$" match at the start and end of that text only. A match never
  // spans two lines.
  std::optional<TMatchSpan> FindInLines(std::string_view block) const;
  // The first line of the block that holds a match, as FindInLines would find it: from the
  // line's first byte to its LF (or the block's end), excluded.
  std::optional<TMatchSpan> FindLine(std::string_view block) const;

  // The end of the longest match that starts at `at` (a character start; a line start for
  // "^" when it is 0 or follows an LF) and ends at or before maxEnd, or nothing. The text
  // after maxEnd is still the text: "$" does not match at maxEnd unless it would there anyway.
  std::optional<std::size_t> LongestAt(std::string_view text, std::size_t at,
                                       std::size_t maxEnd = SIZE_MAX) const;

 private:
  std::unique_ptr<TRE_Pattern> pattern_;
  // Match goes straight to the search its pattern needs, with what that search reads: a
  // converter calls it once for every title it reads.
  int (*match_)(const void* context, std::string_view text, int& start, int& length);
  const void* matchContext_;
};

class TMatchCORE;

// The matching component: a pattern that may be rewritten at any time, compiled patterns
// kept in a cache of 30 (the empty pattern always among them, so rewriting a pattern used
// before compiles nothing), the line separator, the two dictionary switches, and Match.
class TAWKStr {
 public:
  // The empty pattern is current; mcls_CRLF; both dictionary passes off.
  TAWKStr();
  ~TAWKStr();
  TAWKStr(const TAWKStr&) = delete;
  TAWKStr& operator=(const TAWKStr&) = delete;

  // The pattern as last written (empty after a failed write).
  const std::string& RegExp() const;
  // Compiles the pattern unless it is cached. On a pattern error throws ERegExpParser and
  // leaves the empty pattern current (RegExp empty); an error found by a dictionary pass
  // leaves everything as it was.
  void SetRegExp(std::string_view pattern);

  TMatchCORE_LineSeparator LineSeparator() const;
  // Takes effect at the next Match; nothing is recompiled.
  void SetLineSeparator(TMatchCORE_LineSeparator separator);

  // Each switch writes RegExp again with its current text.
  bool UseFuzzyCharDic() const;
  void SetUseFuzzyCharDic(bool on);
  bool UseSynonymDic() const;
  void SetUseSynonymDic(bool on);

  // As TCompiledRegExp::Match, with the current pattern and line separator.
  int Match(std::string_view text, int& start, int& length) const {
    return match_(matchContext_, text, start, length);
  }

 private:
  // Chooses Match's search for the current pattern and separator.
  void ChooseMatch();

  std::unique_ptr<TMatchCORE> core_;
  int (*match_)(const void* context, std::string_view text, int& start, int& length);
  const void* matchContext_;
};

}  // namespace SjisRegExp
