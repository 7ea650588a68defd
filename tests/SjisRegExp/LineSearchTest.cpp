// The searches for a block's first matching line against the definition, the text of each
// line searched in turn by the restart scan (RestartScan.h): random patterns and texts over
// alphabets that reach each way of finding the line (the line automaton, also with a cache
// so small that it is cleared over and over; a literal; a byte prefix; the restart scan's
// candidates), with CR, LF, CR LF, zero bytes, lone lead bytes and trail bytes that equal
// the pattern's characters. Also: the line automaton's MayMatch is a superset of the
// matches, and exact where no range overlaps and no line tail is asked for; the literal
// search against memmem.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../support/RandomCases.h"
#include "PatternGen.h"
#include "RestartScan.h"
#include "SjisRegExp/LineDFA.h"
#include "SjisRegExp/LiteralSearch.h"
#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp {
namespace {

using testing::RestartFindInLines;
using testing::RestartMatch;

// Ｂ (trail "a"), あ, カ (trail "J"), a lone lead byte, and one whose trail is "^".
const std::vector<std::string> kWide = {"\x82\x61", "\x82\xA0", "\x83\x4A", "\x82", "\x81\x5E"};

std::string Text(testing::PatternGen& gen, const std::string& letters) {
  std::string text;
  for (std::size_t n = gen.Pick(60); n > 0; --n) {
    switch (gen.Pick(12)) {
      case 0:
        text += "\r\n";
        break;
      case 1:
        text += '\n';
        break;
      case 2:
        text += gen.Pick(2) == 0 ? '\r' : '\0';
        break;
      case 3:
        text += kWide[gen.Pick(static_cast<int>(kWide.size()))];
        break;
      default:
        text += letters[gen.Pick(static_cast<int>(letters.size()))];
    }
  }
  return text;
}

int Offset(const MatchSpan& m, const char* begin) {
  return m.start == nullptr ? -1 : static_cast<int>(m.start - begin);
}

// Every way in: the public FindLine and FindInLines from every line start, and the line
// automaton itself with the given budget, against the definition.
int CompareLines(const std::string& pattern, const std::vector<std::string>& texts,
                 std::size_t budget, int& found) {
  TMatchCORE core;
  try {
    core.SetRegExp(pattern);
  } catch (const ERegExpParser&) {
    return 0;
  }
  const TCompiledRegExp compiled(pattern);
  const TRE_Program& program = core.CurrentProgram();
  TRE_DFA reference(program.Index());
  reference.BuildLazy();
  TRE_LineDFA small(program.Index(), program.LinePlan(), budget);
  int mismatches = 0;
  for (const std::string& text : texts) {
    const char* b = text.data();
    const char* e = b + text.size();
    for (const char* from = b; from < e;) {
      const MatchSpan want = RestartFindInLines(reference, from, e);
      const char* wantLine = want.start == nullptr ? nullptr : from;
      if (want.start != nullptr) {
        const void* lf = memrchr(from, '\n', static_cast<std::size_t>(want.start - from));
        if (lf != nullptr) wantLine = static_cast<const char*>(lf) + 1;
        ++found;
      }
      const std::string_view rest(from, static_cast<std::size_t>(e - from));
      const auto line = compiled.FindLine(rest);
      const auto match = compiled.FindInLines(rest);
      const char* gotLine = line ? from + line->start : nullptr;
      const char* smallLine = small.FindLine(from, e);
      // The line automaton alone only proposes a line when its ranges overlap.
      const bool smallOk =
          small.Exact() ? smallLine == wantLine : (wantLine == nullptr || smallLine <= wantLine);
      if ((gotLine != wantLine || !smallOk ||
           (match ? static_cast<int>(from - b + match->start) : -1) != Offset(want, b) ||
           (match && from + match->end != want.end)) &&
          ++mismatches <= 3) {
        ADD_FAILURE() << "pattern " << ::testing::PrintToString(pattern) << " text "
                      << ::testing::PrintToString(text) << " from " << (from - b);
      }
      const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(e - from));
      if (lf == nullptr) break;
      from = static_cast<const char*>(lf) + 1;
    }
  }
  return mismatches;
}

TEST(LineSearchTest, FirstMatchingLineAgreesWithTheLineByLineSearch) {
  testing::PatternGenOptions options;
  options.alphabet = "ab^$";
  options.anchors = true;
  options.wideChars = kWide;
  testing::PatternGen gen(4242, options);
  int mismatches = 0;
  int found = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(700); ++i) {
    std::string pattern = gen.Pattern();
    std::string literal;
    if (i % 5 == 0) pattern = gen.Text(6, "\r");  // a literal, or nearly
    if (i % 5 == 1) {
      // A long literal (searched line by line), and texts that hold it or most of it.
      literal = gen.Text(40, "");
      try {
        pattern = QuoteMetaChars(literal);
      } catch (const ERegExpParser&) {  // it ends in a lone lead byte
        literal.clear();
      }
    }
    std::vector<std::string> texts;
    for (int k = 0; k < 8; ++k) {
      std::string text = Text(gen, "ab^$");
      if (!literal.empty()) {
        const std::string piece = literal.substr(gen.Pick(2), literal.size() - gen.Pick(2));
        text.insert(gen.Pick(static_cast<int>(text.size()) + 1), piece);
      }
      texts.push_back(text);
    }
    mismatches +=
        CompareLines(pattern, texts, i % 2 == 0 ? std::size_t{4000} : kMaxLineDFABytes, found);
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(found, sorbit::testing::RandomCases(10000));
}

// Over bytes rare in logs, the byte prefix is chosen for many patterns; its lines are the
// definition's.
TEST(LineSearchTest, BytePrefixFindsTheLineByLineSearchesLines) {
  testing::PatternGenOptions options;
  options.alphabet = "\x01\x02\x03";
  options.wideChars = {"\xEA\xA4", "\xEA\x01"};
  testing::PatternGen gen(77, options);
  int mismatches = 0;
  int found = 0;
  int byPrefix = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(600); ++i) {
    const std::string pattern = gen.Pattern();
    TMatchCORE core;
    core.SetRegExp(pattern);
    byPrefix += !core.CurrentProgram().Lazy() && core.CurrentDFA().Accel().SearchesBytePrefix();
    std::vector<std::string> texts;
    for (int k = 0; k < 8; ++k) texts.push_back(Text(gen, "\x01\x02\x03xy"));
    mismatches += CompareLines(pattern, texts, kMaxLineDFABytes, found);
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(byPrefix, sorbit::testing::RandomCases(200));
  EXPECT_GT(found, sorbit::testing::RandomCases(5000));
}

// MayMatch never says no where a search finds a match; where the pattern's ranges do not
// overlap and it has no line-tail mark, it says yes only where one does.
TEST(LineSearchTest, MayMatchIsASupersetOfTheMatches) {
  testing::PatternGenOptions options;
  options.alphabet = "ab\n";
  options.anchors = true;
  options.wideChars = kWide;
  testing::PatternGen gen(99, options);
  int exactChecks = 0;
  int wrong = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(1000); ++i) {
    const std::string pattern = gen.Pattern();
    TMatchCORE core;
    try {
      core.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      continue;
    }
    const TRE_Program& program = core.CurrentProgram();
    TRE_DFA reference(program.Index());
    reference.BuildLazy();
    TRE_LineDFA lines(program.Index(), program.LinePlan(), i % 3 == 0 ? 3000 : kMaxLineDFABytes);
    const bool exact = lines.Exact() && !program.LineTailMark();
    for (int k = 0; k < 6; ++k) {
      const std::string text = Text(gen, "ab\n");
      const char* b = text.data();
      const char* e = b + text.size();
      for (const bool zeroEnds : {true, false}) {
        for (const CharCode separator : {CharCode{13}, CharCode{10}}) {
          const bool has = RestartMatch(reference, b, e, {separator, zeroEnds}).start != nullptr;
          const bool may = lines.MayMatch(b, e, true, separator, zeroEnds);
          if ((has && !may) || (exact && may != has)) {
            if (++wrong <= 3) {
              ADD_FAILURE() << "pattern " << ::testing::PrintToString(pattern) << " text "
                            << ::testing::PrintToString(text) << " zeroEnds " << zeroEnds
                            << " separator " << separator << ": may " << may << " has " << has;
            }
          }
          exactChecks += exact;
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(exactChecks, sorbit::testing::RandomCases(10000));
}

TEST(LineSearchTest, LiteralSearchFindsWhatMemmemFinds) {
  std::mt19937 random(1);
  int found = 0;
  for (int t = 0; t < 20000; ++t) {
    // Small alphabets make periodic literals and near misses; every other literal is a word
    // repeated, in a text of that word repeated with a letter changed here and there.
    const int letters = 1 + static_cast<int>(random() % 3);
    std::string literal;
    std::string text;
    if (t % 2 == 0) {
      for (std::size_t n = 1 + random() % 40; n > 0; --n) literal += char('a' + random() % letters);
      for (std::size_t n = random() % 200; n > 0; --n) text += char('a' + random() % letters);
    } else {
      std::string word;
      for (std::size_t n = 1 + random() % 5; n > 0; --n) word += char('a' + random() % letters);
      for (std::size_t n = 1 + random() % 12; n > 0; --n) literal += word;
      literal += word.substr(0, random() % word.size());
      for (std::size_t n = random() % 60; n > 0; --n) text += word;
      for (std::size_t n = random() % 4; n > 0 && !text.empty(); --n) {
        text[random() % text.size()] = char('a' + random() % 3);
      }
    }
    const LiteralText needle(literal);
    const char* b = text.data();
    const char* e = b + text.size();
    for (const char* from = b; from <= e; from += 1 + random() % 7) {
      const void* want =
          memmem(from, static_cast<std::size_t>(e - from), literal.data(), literal.size());
      ASSERT_EQ(FindLiteral(needle, from, e), want) << literal << " in " << text;
      found += want != nullptr;
    }
  }
  EXPECT_GT(found, 50000);
}

}  // namespace
}  // namespace SjisRegExp
