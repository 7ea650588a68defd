#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "SjisRegExp/NFA.h"
#include "SjisRegExp/Parser.h"

namespace SjisRegExp {
namespace {

// "from-label->to" for every transition, states in order, each state's list in order.
// Labels: a printable single code as itself, e for empty, H / T for the anchors,
// [lo-hi] in hex otherwise.
std::string Label(CharRange r) {
  if (r.start == EpsilonCode) return "e";
  if (r.start == LineHeadCode && r.end == LineHeadCode) return "H";
  if (r.start == LineTailCode && r.end == LineTailCode) return "T";
  if (r.start == r.end && r.start > 0x20 && r.start < 0x7F) return std::string(1, char(r.start));
  char buf[24];
  std::snprintf(buf, sizeof buf, "[%X-%X]", r.start, r.end);
  return buf;
}

struct Built {
  std::size_t states;
  std::string transitions;
  bool head;
  bool tail;
};

Built Build(const std::string& pattern) {
  TREParser parser(pattern);
  parser.Parse();
  TRE_NFA nfa(parser, LineHeadCode, LineTailCode);
  nfa.Build();
  std::string out;
  for (std::size_t s = 0; s < nfa.StateCount(); ++s) {
    for (std::int32_t t = nfa.FirstTransition(static_cast<std::int32_t>(s)); t >= 0;
         t = nfa.Transition(t).next) {
      if (!out.empty()) out += " ";
      out += std::to_string(s) + "-" + Label(nfa.Transition(t).range) + "->" +
             std::to_string(nfa.Transition(t).target);
    }
  }
  EXPECT_EQ(nfa.EntryState(), 0);
  EXPECT_EQ(nfa.ExitState(), 1);
  EXPECT_EQ(nfa.FirstTransition(1), -1) << "the exit has no transitions";
  return {nfa.StateCount(), out, nfa.LineHeadMark(), nfa.LineTailMark()};
}

struct NFARow {
  std::string pattern;
  std::size_t states;
  std::string transitions;
  bool head = false;
  bool tail = false;
};

TEST(NFATest, StateNumberingAndTransitions) {
  const NFARow rows[] = {
      {"", 2, "0-e->1"},
      {"ab", 3, "0-a->2 2-b->1"},
      {"a*", 4, "0-e->2 2-e->1 2-a->3 3-e->2"},
      {"a|b", 2, "0-b->1 0-a->1"},  // newest first
      {"a?", 2, "0-e->1 0-a->1"},
      {"a+", 5, "0-a->2 2-e->3 3-e->1 3-a->4 4-e->3"},
      {"^a", 3, "0-H->2 2-a->1", true, false},
      {"a^b", 4, "0-a->3 2-b->1 3-^->2"},
      {"a$", 3, "0-a->2 2-T->1", false, true},
      {"a$b", 4, "0-a->3 2-b->1 3-$->2"},
      {"(^a|^b)", 4, "0-H->3 0-H->2 2-a->1 3-b->1", true, false},
      {"a$|b$", 4, "0-b->3 0-a->2 2-T->1 3-T->1", false, true},
      {"^*", 4, "0-e->2 2-e->1 2-^->3 3-e->2"},
      {"(a*)*", 6, "0-e->2 2-e->1 2-e->4 3-e->2 4-e->3 4-a->5 5-e->4"},
      {"[^\\x01-\\xFCFC]", 2, ""},
      {"a[^\\x01-\\xFCFC]*", 5, "0-a->2 2-e->3 3-e->1 4-e->3"},
      {"\\xFFFF", 2, "0-e->1"},
  };
  for (const NFARow& r : rows) {
    const Built b = Build(r.pattern);
    EXPECT_EQ(b.states, r.states) << r.pattern;
    EXPECT_EQ(b.transitions, r.transitions) << r.pattern;
    EXPECT_EQ(b.head, r.head) << r.pattern;
    EXPECT_EQ(b.tail, r.tail) << r.pattern;
  }
}

TEST(NFATest, DeepTreesBuildWithoutRecursion) {
  // A long concatenation is a left-nested chain as deep as the pattern is long.
  const std::string pattern(200000, 'a');
  const Built b = Build(pattern);
  EXPECT_EQ(b.states, pattern.size() + 1);
}

TEST(NFATest, ExponentialExpansionIsRefused) {
  std::string pattern = "a";
  for (int i = 0; i < 30; ++i) pattern = "(" + pattern + ")+";
  TREParser parser(pattern);
  parser.Parse();
  TRE_NFA nfa(parser, LineHeadCode, LineTailCode);
  try {
    nfa.Build();
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), kMsgTooComplex);
    EXPECT_EQ(e.ErrorPos(), pattern.size() + 1);
  }
}

TEST(NFATest, StateSetBits) {
  EXPECT_EQ(TRE_NFAStateSet(8).Size(), 2u);
  EXPECT_EQ(TRE_NFAStateSet(16).Size(), 3u);
  EXPECT_EQ(TRE_NFAStateSet(0).Size(), 1u);
  TRE_NFAStateSet s(16);
  EXPECT_FALSE(s.Has(7));
  s.Include(7);
  EXPECT_TRUE(s.Has(7));
  EXPECT_EQ(s.Bytes()[0], 0x80);
  s.Include(8);
  EXPECT_EQ(s.Bytes()[1], 0x01);
  EXPECT_FALSE(s.Has(9));
  TRE_NFAStateSet t(16);
  EXPECT_FALSE(t.Equals(s));
  t.Include(8);
  t.Include(7);
  EXPECT_TRUE(t.Equals(s));
  t.Clear();
  EXPECT_FALSE(t.Has(7));
}

}  // namespace
}  // namespace SjisRegExp
