#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "../support/RandomCases.h"
#include "PatternGen.h"
#include "SjisRegExp/DFA.h"
#include "SjisRegExp/MatchCore.h"
#include "SjisRegExp/Parser.h"

namespace SjisRegExp {
namespace {

// The subset construction written the plain way: linked lists with insertion at the
// front, linear searches for moves and states, a recursive closure. The library's
// hashed and tabled construction must give exactly this automaton.
struct RefDFA {
  struct State {
    std::vector<std::uint8_t> set;
    bool accepting = false;
    std::list<std::pair<CharRange, int>> transitions;
  };
  std::vector<State> states;

  explicit RefDFA(const TRE_NFA& nfa) {
    const std::size_t n = nfa.StateCount();
    const std::size_t bytes = n / 8 + 1;
    auto has = [](const std::vector<std::uint8_t>& s, int i) { return (s[i / 8] >> (i % 8)) & 1; };
    auto include = [](std::vector<std::uint8_t>& s, int i) {
      s[i / 8] |= std::uint8_t(1 << (i % 8));
    };
    std::function<void(std::vector<std::uint8_t>&, int)> visit = [&](std::vector<std::uint8_t>& s,
                                                                     int i) {
      include(s, i);
      for (int t = nfa.FirstTransition(i); t >= 0; t = nfa.Transition(t).next) {
        const NFATransition& tr = nfa.Transition(t);
        if (tr.range.start == 0xFFFF && !has(s, tr.target)) visit(s, tr.target);
      }
    };
    auto closure = [&](std::vector<std::uint8_t>& s) {
      for (std::size_t i = 0; i < n; ++i)
        if (has(s, static_cast<int>(i))) visit(s, static_cast<int>(i));
    };
    auto findOrAdd = [&](const std::vector<std::uint8_t>& s) {
      for (std::size_t k = 0; k < states.size(); ++k)
        if (states[k].set == s) return static_cast<int>(k);
      states.push_back({s, has(s, nfa.ExitState()) != 0, {}});
      return static_cast<int>(states.size() - 1);
    };
    std::vector<std::uint8_t> init(bytes, 0);
    include(init, nfa.EntryState());
    closure(init);
    findOrAdd(init);
    for (std::size_t k = 0; k < states.size(); ++k) {
      std::list<std::pair<CharRange, std::vector<std::uint8_t>>> moves;
      const std::vector<std::uint8_t> set = states[k].set;
      for (std::size_t i = 0; i < n; ++i) {
        if (!has(set, static_cast<int>(i))) continue;
        for (int t = nfa.FirstTransition(static_cast<int>(i)); t >= 0; t = nfa.Transition(t).next) {
          const NFATransition& tr = nfa.Transition(t);
          if (tr.range.start == 0xFFFF) continue;
          auto m = std::find_if(moves.begin(), moves.end(),
                                [&](const auto& mv) { return mv.first == tr.range; });
          if (m != moves.end()) {
            include(m->second, tr.target);
          } else {
            moves.push_front({tr.range, std::vector<std::uint8_t>(bytes, 0)});
            include(moves.front().second, tr.target);
          }
        }
      }
      for (auto& mv : moves) {
        closure(mv.second);
        const int target = findOrAdd(mv.second);
        states[k].transitions.push_front({mv.first, target});
      }
    }
    for (State& s : states) {
      s.transitions.sort(
          [](const auto& a, const auto& b) { return a.first.start < b.first.start; });
    }
  }
};

struct Compiled {
  std::unique_ptr<TREParser> parser;
  std::unique_ptr<TRE_NFA> nfa;
  std::unique_ptr<TRE_NFAIndex> index;
  std::unique_ptr<TRE_DFA> dfa;
};

Compiled CompileAll(const std::string& pattern) {
  Compiled c;
  c.parser = std::make_unique<TREParser>(pattern);
  c.parser->Parse();
  c.nfa = std::make_unique<TRE_NFA>(*c.parser, LineHeadCode, LineTailCode);
  c.nfa->Build();
  c.index = std::make_unique<TRE_NFAIndex>(*c.nfa);
  c.dfa = std::make_unique<TRE_DFA>(*c.index);
  c.dfa->Build();
  return c;
}

void ExpectSameAsReference(const std::string& pattern) {
  const Compiled c = CompileAll(pattern);
  const RefDFA ref(*c.nfa);
  const TRE_DFA& dfa = *c.dfa;
  ASSERT_EQ(dfa.StateCount(), ref.states.size()) << pattern;
  for (std::size_t s = 0; s < ref.states.size(); ++s) {
    const auto si = static_cast<std::int32_t>(s);
    const DFAState& state = dfa.State(si);
    ASSERT_EQ(state.states.Size(), ref.states[s].set.size());
    EXPECT_EQ(std::memcmp(state.states.Bytes(), ref.states[s].set.data(), state.states.Size()), 0)
        << pattern << " state " << s;
    EXPECT_EQ(dfa.Accepting(si), ref.states[s].accepting) << pattern << " state " << s;
    EXPECT_EQ(state.expanded, 0xFFFF);
    std::vector<std::pair<CharRange, int>> got;
    for (const DFATransition* t = dfa.TransitionsBegin(si); t != dfa.TransitionsEnd(si); ++t) {
      got.emplace_back(t->range, t->target);
    }
    const std::vector<std::pair<CharRange, int>> want(ref.states[s].transitions.begin(),
                                                      ref.states[s].transitions.end());
    EXPECT_EQ(got, want) << pattern << " state " << s;
  }
}

TEST(DFATest, SameAutomatonAsThePlainConstruction) {
  testing::PatternGenOptions options;
  options.alphabet = "ab^$c";
  options.anchors = true;
  options.wideChars = {"\x82\xA0", "\x82\xA2", "\x83\x4A"};
  testing::PatternGen gen(7, options);
  for (int i = 0; i < sorbit::testing::RandomCases(400); ++i) ExpectSameAsReference(gen.Pattern());
  for (const char* p : {"", "a*", "(a|b)*a(a|b)(a|b)", "[Rr][Ee][ :>\\[#]+[0-9]+", "^a|b$",
                        "[^a]b.", "a^b|[\\x5E-\\x60]", "(^a|^b)c$"}) {
    ExpectSameAsReference(p);
  }
}

TEST(DFATest, SmallAutomata) {
  {
    const Compiled c = CompileAll("a*");
    EXPECT_EQ(c.dfa->StateCount(), 2u);
    EXPECT_TRUE(c.dfa->Accepting(0));
    EXPECT_EQ(c.dfa->NextState(0, 'a'), 1);
    EXPECT_EQ(c.dfa->NextState(1, 'a'), 1);
    EXPECT_EQ(c.dfa->NextState(0, 'b'), kNoState);
  }
  {
    const Compiled c = CompileAll("^a$");
    EXPECT_TRUE(c.dfa->LineHeadMark());
    EXPECT_TRUE(c.dfa->LineTailMark());
    EXPECT_FALSE(c.dfa->Accepting(0));
    const std::int32_t afterHead = c.dfa->NextState(0, LineHeadCode);
    ASSERT_NE(afterHead, kNoState);
    const std::int32_t afterA = c.dfa->NextState(afterHead, 'a');
    ASSERT_NE(afterA, kNoState);
    EXPECT_NE(c.dfa->NextState(afterA, LineTailCode), kNoState);
  }
  {
    // The empty pattern: one accepting state without transitions.
    const Compiled c = CompileAll("");
    EXPECT_EQ(c.dfa->StateCount(), 1u);
    EXPECT_TRUE(c.dfa->Accepting(0));
    EXPECT_EQ(c.dfa->TransitionCount(), 0u);
  }
}

TEST(DFATest, TransitionsAreSortedAndALiteralAnchorMayOverlap) {
  // "^" in the middle is the character 0x5E, inside the class range 0x5D..0x60.
  const Compiled c = CompileAll("x(^|[\\x5D-\\x60])");
  const std::int32_t s = c.dfa->NextState(0, 'x');
  ASSERT_NE(s, kNoState);
  std::vector<CharRange> ranges;
  for (const DFATransition* t = c.dfa->TransitionsBegin(s); t != c.dfa->TransitionsEnd(s); ++t) {
    ranges.push_back(t->range);
  }
  ASSERT_GE(ranges.size(), 2u);
  for (std::size_t i = 1; i < ranges.size(); ++i) EXPECT_LE(ranges[i - 1].start, ranges[i].start);
  // Every code of the class is taken somewhere.
  for (CharCode code = 0x5D; code <= 0x60; ++code) {
    EXPECT_NE(c.dfa->NextState(s, code), kNoState) << code;
  }
}

TEST(DFATest, TableAndStartCodesGiveTheResultsOfTheWalk) {
  testing::PatternGenOptions options;
  options.alphabet = "ab^$c\x7F";
  options.anchors = true;
  options.wideChars = {"\x82\xA0", "\x82\xA2", "\x83\x4A", "\xE0\x40"};
  testing::PatternGen gen(99, options);
  int withTable = 0;
  const int patterns = sorbit::testing::RandomCases(150);
  for (int i = 0; i < patterns; ++i) {
    const std::string pattern = gen.Pattern();
    const Compiled c = CompileAll(pattern);
    const TRE_DFA& dfa = *c.dfa;
    withTable += dfa.Accel().HasDenseRows();
    for (std::size_t s = 0; s < dfa.StateCount(); ++s) {
      const auto si = static_cast<std::int32_t>(s);
      for (std::uint32_t code = 0; code <= 0xFFFF; code += (code < 0x100 ? 1 : 7)) {
        ASSERT_EQ(dfa.NextState(si, CharCode(code)), dfa.NextStateBySortedList(si, CharCode(code)))
            << pattern << " state " << s << " code " << code;
      }
    }
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
      const bool walks = dfa.NextStateBySortedList(0, CharCode(code)) != kNoState;
      ASSERT_EQ(dfa.Accel().CanStartWith(CharCode(code)), walks || dfa.Accepting(0))
          << pattern << " code " << code;
    }
    // A byte stops the plain scan exactly when some character beginning with it can begin
    // a match (a lead byte also alone, as the last byte of a text), by the walk itself.
    for (unsigned b = 1; b < 256; ++b) {
      bool can = dfa.Accepting(0) || dfa.NextStateBySortedList(0, CharCode(b)) != kNoState;
      for (unsigned t = 0; t < 256 && !can && IsLeadByte(static_cast<unsigned char>(b)); ++t) {
        can = dfa.NextStateBySortedList(0, CharCode(b << 8 | t)) != kNoState;
      }
      EXPECT_EQ(dfa.Accel().IsStopByte(static_cast<unsigned char>(b)), can)
          << pattern << " byte " << b;
    }
    EXPECT_TRUE(dfa.Accel().IsStopByte(0)) << pattern;
  }
  EXPECT_EQ(withTable, patterns);
}

std::string AOrBChain(int n) {
  std::string p = "(a|b)*a";
  for (int i = 0; i < n; ++i) p += "(a|b)";
  return p;
}

TEST(DFATest, ExponentialSubsetsCompileUpToTheBound) {
  // (a|b)*a(a|b){n} needs 2^(n+1) states remembering the last n+1 letters, and the
  // initial state.
  const Compiled c = CompileAll(AOrBChain(12));
  EXPECT_EQ(c.dfa->StateCount(), (1u << 13) + 1);
  EXPECT_FALSE(c.dfa->Accel().HasDenseRows()) << "above the table bound the walk is used";
  TMatchCORE awk;
  awk.SetRegExp(AOrBChain(12));
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match("bbbabbbbbbbbbbbbb", start, length), 1);
  EXPECT_EQ(length, 16);
  EXPECT_EQ(awk.Match("bbbabbbbbbbbbbb", start, length), 0) << "one letter short";
}

// A pattern whose whole automaton has 2^21 states is not refused: it compiles at once
// into an automaton that builds its states while matching, and answers like the rule.
TEST(DFATest, AnExplodingPatternIsAnsweredWithStatesBuiltOnDemand) {
  TMatchCORE awk;
  awk.SetRegExp("abc");
  const auto t0 = std::chrono::steady_clock::now();
  awk.SetRegExp(AOrBChain(20));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(awk.RegExp(), AOrBChain(20));
  EXPECT_TRUE(awk.CurrentProgram().Lazy());
  // (a|b)* takes the whole prefix; the longest match ends where an "a" stands twenty-one
  // letters before its end, which the last a's do.
  const std::string text = std::string(22, 'b') + "ab" + std::string(19, 'a') + "bbb";
  int start = -1;
  int length = -1;
  EXPECT_EQ(awk.Match(text, start, length), 1);
  EXPECT_EQ(length, static_cast<int>(text.size()));
  EXPECT_EQ(awk.Match(text.substr(0, 42), start, length), 0) << "one letter short";
}

}  // namespace
}  // namespace SjisRegExp
