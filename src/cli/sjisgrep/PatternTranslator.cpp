// The rewriting of anchors and word assertions, and the writing of the library's syntax.
#include "PatternTranslator.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "CharClasses.h"
#include "text/Cp932.h"

namespace sjisgrep {

namespace {

using Kind = PatternNode::Kind;

constexpr int kNever = -1;  // a rewritten part that matches nothing
// Counts are written out in full; past this size the library would refuse the pattern anyway.
constexpr std::size_t kMaxPatternBytes = std::size_t{1} << 20;
constexpr int kMaxWrittenDepth = 2000;

struct Failure {
  std::string message;
  std::size_t column;
};

// The four cases of an assertion (bit 2 * word-before + word-after).
std::uint8_t AssertionCases(WordAssertion a) {
  switch (a) {
    case WordAssertion::kWordStart:
      return 0b0010;
    case WordAssertion::kWordEnd:
      return 0b0100;
    case WordAssertion::kBoundary:
      return 0b0110;
    case WordAssertion::kNotBoundary:
      return 0b1001;
  }
  return 0;
}

// 1 when every code of the set is a word character, 0 when none is, -1 otherwise.
int Wordness(const CodeSet& set) {
  const CodeSet& words = WordCodes();
  bool some = false, all = true;
  for (const CodeSet::Range& r : set.Ranges()) {
    for (std::uint32_t code = r.first; code <= r.last; ++code) {
      const bool word = words.Contains(static_cast<std::uint16_t>(code));
      some = some || word;
      all = all && word;
      if (some && !all) return -1;
    }
  }
  return all ? 1 : 0;
}

const char* AssertionText(WordAssertion a) {
  switch (a) {
    case WordAssertion::kWordStart:
      return "\\<";
    case WordAssertion::kWordEnd:
      return "\\>";
    case WordAssertion::kBoundary:
      return "\\b";
    case WordAssertion::kNotBoundary:
      return "\\B";
  }
  return "";
}

PatternNode SetNode(CodeSet codes) {
  PatternNode node = PatternNode::Make(Kind::kSet);
  node.set = std::move(codes);
  return node;
}

// The input patterns as one tree (which the rewriting may extend) and the anchor-free tree it
// writes; see the header for the form.
class Rewriter {
 public:
  explicit Rewriter(PatternTree in) : in_(std::move(in)) {
    for (int k = 0; k < static_cast<int>(in_.nodes.size()); ++k) NoteFlags(k);
  }

  PatternTree& In() { return in_; }
  const PatternTree& Out() const { return out_; }
  bool HasHead(int node) const { return head_[Index(node)]; }
  bool HasTail(int node) const { return tail_[Index(node)]; }
  bool Nullable(int outNode) const { return outNode != kNever && nullable_[Index(outNode)]; }

  int AddIn(PatternNode node) {
    const int index = in_.Add(std::move(node));
    NoteFlags(index);
    return index;
  }

  // The input node `node` with each "^" holding where `fresh` (nothing consumed before it)
  // and each "$" where `final` (nothing consumed after it), every other anchor failing.
  int Rewrite(int node, bool fresh, bool final) {
    fresh = fresh && HasHead(node);
    final = final && HasTail(node);
    if (!HasHead(node) && !HasTail(node)) return Copy(node);
    const auto key = std::make_tuple(node, fresh, final);
    if (auto found = rewritten_.find(key); found != rewritten_.end()) return found->second;
    // A copy: rewriting may add nodes to in_.
    const PatternNode n = in_[node];
    int result = kNever;
    switch (n.kind) {
      case Kind::kLineHead:
        result = fresh ? Empty() : kNever;
        break;
      case Kind::kLineTail:
        result = final ? Empty() : kNever;
        break;
      case Kind::kUnion:
        for (int child : n.children) result = Alt(result, Rewrite(child, fresh, final));
        break;
      case Kind::kConcat:
        result = Sequence(n.children, fresh, final);
        break;
      case Kind::kRepeat:
        result = RewriteRepeat(node, fresh, final);
        break;
      default:
        result = Copy(node);
        break;
    }
    rewritten_[key] = result;
    return result;
  }

 private:
  static std::size_t Index(int node) { return static_cast<std::size_t>(node); }

  void NoteFlags(int index) {
    const PatternNode& n = in_[index];
    bool head = n.kind == Kind::kLineHead, tail = n.kind == Kind::kLineTail;
    for (int child : n.children) {
      head = head || head_[Index(child)];
      tail = tail || tail_[Index(child)];
    }
    head_.resize(Index(index) + 1);
    tail_.resize(Index(index) + 1);
    head_[Index(index)] = head;
    tail_[Index(index)] = tail;
  }

  int AddOut(PatternNode node, bool nullable) {
    const int index = out_.Add(std::move(node));
    nullable_.push_back(nullable);
    return index;
  }
  int Empty() {
    if (empty_ == kNever) empty_ = AddOut(PatternNode::Make(Kind::kEmpty), true);
    return empty_;
  }
  int Cat(int a, int b) {
    if (a == kNever || b == kNever) return kNever;
    if (out_[a].kind == Kind::kEmpty) return b;
    if (out_[b].kind == Kind::kEmpty) return a;
    return AddOut(PatternNode::Make(Kind::kConcat, {a, b}), Nullable(a) && Nullable(b));
  }
  int Alt(int a, int b) {
    if (a == kNever) return b;
    if (b == kNever || a == b) return a;
    return AddOut(PatternNode::Make(Kind::kUnion, {a, b}), Nullable(a) || Nullable(b));
  }
  int Repeat(int a, int min, int max) {
    if (a == kNever) return min == 0 ? Empty() : kNever;
    if (out_[a].kind == Kind::kEmpty || max == 0) return Empty();
    if (min == 1 && max == 1) return a;
    // Stacked *, + and ? ("a+*", "(a?)+") are one of them: the library writes X+ as X X*,
    // so each level written out would double the automaton it builds.
    const auto simple = [](int lo, int hi) { return lo <= 1 && (hi == 1 ? lo == 0 : hi == -1); };
    if (out_[a].kind == Kind::kRepeat && simple(min, max) && simple(out_[a].min, out_[a].max)) {
      const int inner = out_[a].children[0];
      const int combinedMin = min * out_[a].min;
      const int combinedMax = max == -1 || out_[a].max == -1 ? -1 : 1;
      return Repeat(inner, combinedMin, combinedMax);
    }
    PatternNode node = PatternNode::Make(Kind::kRepeat, {a});
    node.min = min;
    node.max = max;
    return AddOut(std::move(node), min == 0 || Nullable(a));
  }

  // An anchor-free input subtree, copied once.
  int Copy(int node) {
    if (auto found = copied_.find(node); found != copied_.end()) return found->second;
    const PatternNode& n = in_[node];
    int result = kNever;
    switch (n.kind) {
      case Kind::kEmpty:
        result = Empty();
        break;
      case Kind::kSet: {
        CodeSet codes = n.set;
        if (!codes.Empty()) {
          result = AddOut(SetNode(std::move(codes)), false);
        }
        break;
      }
      case Kind::kAny:
        result = AddOut(PatternNode::Make(Kind::kAny), false);
        break;
      case Kind::kConcat:
        result = Empty();
        for (int child : n.children) result = Cat(result, Copy(child));
        break;
      case Kind::kUnion:
        for (int child : n.children) result = Alt(result, Copy(child));
        break;
      case Kind::kRepeat:
        result = Repeat(Copy(n.children[0]), n.min, n.max);
        break;
      case Kind::kLineHead:
      case Kind::kLineTail:
      case Kind::kWordAssertion:
        break;  // not reached: anchors are rewritten, assertions decided before
    }
    copied_[node] = result;
    return result;
  }

  // A concatenation: built from its end, so that a long one (a count written out) costs no
  // deep recursion. For the items X and the rest R after it:
  //   XR = X(fresh, -) R(-, final)              both consume something, or at least X does
  //      | X(fresh, -) nullable ? R(fresh, final)  X consumes nothing: R starts as fresh
  //      | X(fresh, final) R(-, final) nullable ?  R consumes nothing: X ends as final
  //      | both nullable as fresh and final ? the empty string
  // (a "-" being false). Taking an empty X or R in the first line only adds matches that the
  // other lines include, since an anchor that holds with less freedom holds with more.
  int Sequence(const std::vector<int>& items, bool fresh, bool final) {
    const std::size_t n = items.size();
    // rest[k][f][t]: the items from k on.
    std::vector<std::array<std::array<int, 2>, 2>> rest(n + 1);
    std::vector<bool> restHead(n + 1, false), restTail(n + 1, false);
    for (int f = 0; f < 2; ++f) {
      for (int t = 0; t < 2; ++t) rest[n][f][t] = Empty();
    }
    for (std::size_t k = n; k-- > 0;) {
      const int x = items[k];
      restHead[k] = restHead[k + 1] || HasHead(x);
      restTail[k] = restTail[k + 1] || HasTail(x);
      for (int f = 0; f < 2; ++f) {
        for (int t = 0; t < 2; ++t) {
          // Only the cases asked for at the front are needed further on.
          if (k == 0 && (f != int{fresh} || t != int{final})) continue;
          if (k + 1 == n) {
            rest[k][f][t] = Rewrite(x, f != 0, t != 0);
            continue;
          }
          const int xTail = Rewrite(x, f != 0, false);
          const int restPlain = rest[k + 1][0][t];
          int result = Cat(xTail, restPlain);
          if (f != 0 && restHead[k + 1] && Nullable(xTail)) {
            result = Alt(result, rest[k + 1][1][t]);
          }
          const int xFinal = Rewrite(x, f != 0, t != 0);
          if (t != 0 && HasTail(x) && Nullable(restPlain)) result = Alt(result, xFinal);
          if (!Nullable(result) && Nullable(xFinal) && Nullable(rest[k + 1][f][t])) {
            result = Alt(result, Empty());
          }
          rest[k][f][t] = result;
        }
      }
    }
    return rest[0][fresh][final];
  }

  // A repetition with anchors inside. X? and X* directly:
  //   X* = empty | X(fresh, final) | X(fresh, -) X(-, -)* X(-, final)
  // (empty rounds add nothing, the first round that consumes is fresh, the last is final);
  // any other count as the sequence of its rounds.
  int RewriteRepeat(int node, bool fresh, bool final) {
    const int x = in_[node].children[0];
    const int min = in_[node].min, max = in_[node].max;
    if (min == 0 && max == 1) return Alt(Empty(), Rewrite(x, fresh, final));
    if (min == 0 && max == -1) {
      const int once = Rewrite(x, fresh, final);
      const int loop = Cat(Cat(Rewrite(x, fresh, false), Repeat(Rewrite(x, false, false), 0, -1)),
                           Rewrite(x, false, final));
      return Alt(Empty(), Alt(once, loop));
    }
    std::vector<int> rounds(static_cast<std::size_t>(min), x);
    if (max == -1) {
      rounds.push_back(StarOrOptional(node, x, -1));
    } else {
      const int optional = StarOrOptional(node, x, 1);
      rounds.insert(rounds.end(), static_cast<std::size_t>(max - min), optional);
    }
    return Sequence(rounds, fresh, final);
  }

  int StarOrOptional(int node, int x, int max) {
    const auto key = std::make_pair(node, max);
    if (auto found = rounds_.find(key); found != rounds_.end()) return found->second;
    PatternNode round = PatternNode::Make(Kind::kRepeat, {x});
    round.max = max;
    round.column = in_[node].column;  // read before AddIn moves the nodes
    const int index = AddIn(std::move(round));
    rounds_[key] = index;
    return index;
  }

  PatternTree in_;
  PatternTree out_;
  std::vector<bool> head_, tail_, nullable_;
  int empty_ = kNever;
  std::map<std::tuple<int, bool, bool>, int> rewritten_;
  std::map<int, int> copied_;
  std::map<std::pair<int, int>, int> rounds_;
};

// Writes anchor-free trees in the library's syntax.
class Writer {
 public:
  Writer(const PatternTree& tree, bool fuzzy) : tree_(tree), fuzzy_(fuzzy) {}

  // Precedence: 0 alternation, 1 concatenation, 2 an operand of a repetition.
  void Write(int node, int level, std::string& out) {
    if (++depth_ > kMaxWrittenDepth) throw Failure{"the pattern is too complex", 0};
    const PatternNode& n = tree_[node];
    switch (n.kind) {
      case Kind::kEmpty:
        if (level == 2) out += "()";
        break;
      case Kind::kAny:
        out += '.';
        break;
      case Kind::kSet:
        WriteSet(n.set, level, out);
        break;
      case Kind::kConcat: {
        const bool group = level > 1;
        if (group) out += '(';
        // A long concatenation is a chain to the right: walked, not recursed into.
        int at = node;
        while (tree_[at].kind == Kind::kConcat) {
          Write(tree_[at].children[0], 1, out);
          at = tree_[at].children[1];
        }
        Write(at, 1, out);
        if (group) out += ')';
        break;
      }
      case Kind::kUnion: {
        const bool group = level > 0;
        if (group) out += '(';
        Write(n.children[0], 0, out);
        for (std::size_t k = 1; k < n.children.size(); ++k) {
          out += '|';
          Write(n.children[k], 0, out);
        }
        if (group) out += ')';
        break;
      }
      case Kind::kRepeat:
        WriteRepeat(n, level, out);
        break;
      case Kind::kLineHead:
      case Kind::kLineTail:
      case Kind::kWordAssertion:
        // The rewriting leaves none: its output holds characters and their structure only.
        assert(false && "an anchor or assertion reached the writer");
        break;
    }
    if (out.size() > kMaxPatternBytes) {
      throw Failure{"the pattern is too large when its counts are written out", n.column};
    }
    --depth_;
  }

 private:
  void WriteRepeat(const PatternNode& n, int level, std::string& out) {
    std::string operand;
    Write(n.children[0], 2, operand);
    const auto times = [&](int count) {
      for (int k = 0; k < count; ++k) {
        out += operand;
        if (out.size() > kMaxPatternBytes) {
          throw Failure{"the pattern is too large when its counts are written out", n.column};
        }
      }
    };
    const bool group = level > 1;
    if (group) out += '(';
    if (n.max == -1) {
      if (n.min == 0) {
        out += operand + '*';
      } else {
        times(n.min - 1);
        out += operand + '+';
      }
    } else {
      times(n.min);
      for (int k = n.min; k < n.max; ++k) {
        out += operand + '?';
        if (out.size() > kMaxPatternBytes) {
          throw Failure{"the pattern is too large when its counts are written out", n.column};
        }
      }
    }
    if (group) out += ')';
  }

  // A code as a character of the library's syntax: itself, escaped where it is special, or
  // \xHHHH where its bytes would read as another character.
  static void WriteCode(std::uint16_t code, bool inClass, std::string& out) {
    const auto special = [inClass](std::uint16_t c) {
      if (inClass) return c == ']' || c == '\\' || c == '-' || c == '^';
      return c < 0x80 &&
             std::string_view("^(|)+*?.[]$\\").find(static_cast<char>(c)) != std::string_view::npos;
    };
    const bool lead = sorbit::text::IsCp932LeadByte(static_cast<unsigned char>(code >> 8));
    if (code != 0 && code < 0x100 &&
        !sorbit::text::IsCp932LeadByte(static_cast<unsigned char>(code))) {
      if (special(code)) out += '\\';
      out += static_cast<char>(code);
    } else if (code >= 0x100 && lead) {
      out += static_cast<char>(code >> 8);
      out += static_cast<char>(code & 0xFF);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%04X", static_cast<unsigned>(code));
      out += hex;
    }
  }

  void WriteSet(const CodeSet& set, int level, std::string& out) {
    const std::vector<CodeSet::Range>& ranges = set.Ranges();
    if (ranges.size() == 1 && ranges[0].first == ranges[0].last) {
      WriteCode(ranges[0].first, false, out);
      return;
    }
    if (set.IsAny()) {
      out += '.';
      return;
    }
    // With the dictionary on, a few characters are written as an alternation, where its
    // pass can see each of them.
    std::size_t count = 0;
    for (const CodeSet::Range& r : ranges) count += r.last - r.first + 1u;
    if (fuzzy_ && count <= 8) {
      if (level > 0) out += '(';
      bool first = true;
      for (const CodeSet::Range& r : ranges) {
        for (std::uint32_t code = r.first; code <= r.last; ++code) {
          if (!first) out += '|';
          first = false;
          WriteCode(static_cast<std::uint16_t>(code), false, out);
        }
      }
      if (level > 0) out += ')';
      return;
    }
    // The shorter of the class and its complement; the complement only when the set lies
    // within the any-character set, which the library's "[^" takes its complement in.
    const CodeSet complement = set.Complement();
    const bool negate =
        complement.Ranges().size() < ranges.size() && complement.Complement() == set;
    const std::vector<CodeSet::Range>& items = negate ? complement.Ranges() : ranges;
    out += negate ? "[^" : "[";
    for (const CodeSet::Range& r : items) {
      WriteCode(r.first, true, out);
      if (r.last != r.first) {
        if (r.last > r.first + 1) out += '-';
        WriteCode(r.last, true, out);
      }
    }
    out += ']';
  }

  const PatternTree& tree_;
  bool fuzzy_;
  int depth_ = 0;
};

// One alternative of the whole pattern set, as found before the rewriting.
struct Alternative {
  int node;
  std::size_t pattern;
  EdgeTest start, end;
};

bool ZeroWidth(const PatternNode& n) {
  return n.kind == Kind::kLineHead || n.kind == Kind::kLineTail || n.kind == Kind::kWordAssertion;
}

// Takes the word assertions at the alternative's edges into its EdgeTests and decides the
// others (or refuses them); every assertion node becomes the empty string or an empty set.
void SettleAssertions(PatternTree& tree, Alternative& alt) {
  PatternNode& top = tree.nodes[static_cast<std::size_t>(alt.node)];
  std::vector<int> items = top.kind == Kind::kConcat ? top.children : std::vector<int>{alt.node};
  const auto node = [&tree](int index) -> PatternNode& {
    return tree.nodes[static_cast<std::size_t>(index)];
  };
  std::size_t lead = 0;
  while (lead < items.size() && ZeroWidth(node(items[lead]))) {
    PatternNode& n = node(items[lead]);
    if (n.kind == Kind::kWordAssertion) {
      alt.start.allowed &= AssertionCases(n.assertion);
      n.kind = Kind::kEmpty;
    }
    ++lead;
  }
  std::size_t trail = items.size();
  while (trail > lead && ZeroWidth(node(items[trail - 1]))) {
    PatternNode& n = node(items[trail - 1]);
    if (n.kind == Kind::kWordAssertion) {
      alt.end.allowed &= AssertionCases(n.assertion);
      n.kind = Kind::kEmpty;
    }
    --trail;
  }
  // Between two single characters whose word-ness is known, an assertion is decided here.
  for (std::size_t k = lead; k < trail; ++k) {
    PatternNode& n = node(items[k]);
    if (n.kind != Kind::kWordAssertion) continue;
    const int before =
        k > lead && node(items[k - 1]).kind == Kind::kSet ? Wordness(node(items[k - 1]).set) : -1;
    const int after = k + 1 < trail && node(items[k + 1]).kind == Kind::kSet
                          ? Wordness(node(items[k + 1]).set)
                          : -1;
    if (before < 0 || after < 0) continue;  // left for the check below
    const bool holds = (AssertionCases(n.assertion) >> (2 * before + after) & 1) != 0;
    n.kind = holds ? Kind::kEmpty : Kind::kSet;
    n.set = CodeSet();
  }
  // Any assertion left is somewhere the line matcher cannot look.
  std::vector<int> stack{alt.node};
  while (!stack.empty()) {
    const PatternNode& n = node(stack.back());
    stack.pop_back();
    if (n.kind == Kind::kWordAssertion) {
      throw Failure{std::string(AssertionText(n.assertion)) +
                        " is supported only at the start or end of a pattern or of one of its "
                        "alternatives, or between two characters",
                    n.column};
    }
    stack.insert(stack.end(), n.children.begin(), n.children.end());
  }
}

}  // namespace

std::vector<MatchPiece> TranslatePatterns(const std::vector<PatternTree>& patterns,
                                          const TranslateOptions& options, TranslateError& error) {
  // All patterns in one tree; their top-level alternatives are the alternatives of the set.
  PatternTree all;
  std::vector<Alternative> alternatives;
  for (std::size_t p = 0; p < patterns.size(); ++p) {
    const int offset = static_cast<int>(all.nodes.size());
    for (PatternNode node : patterns[p].nodes) {
      for (int& child : node.children) child += offset;
      all.Add(std::move(node));
    }
    const int root = all.Root();
    if (all[root].kind == Kind::kUnion) {
      for (int child : all[root].children) alternatives.push_back({child, p, {}, {}});
    } else {
      alternatives.push_back({root, p, {}, {}});
    }
  }
  Rewriter rewriter(std::move(all));
  std::vector<MatchPiece> pieces;
  std::size_t current = 0;
  try {
    // Alternatives with the same tests make one piece, in the order the tests first appear.
    std::vector<std::pair<EdgeTest, EdgeTest>> tests;
    std::vector<std::vector<int>> members;
    for (current = 0; current < alternatives.size(); ++current) {
      Alternative& alt = alternatives[current];
      SettleAssertions(rewriter.In(), alt);
      if (alt.start.allowed == 0 || alt.end.allowed == 0) continue;
      const auto key = std::make_pair(alt.start, alt.end);
      auto found = std::find(tests.begin(), tests.end(), key);
      if (found == tests.end()) {
        tests.push_back(key);
        members.emplace_back();
        found = tests.end() - 1;
      }
      members[static_cast<std::size_t>(found - tests.begin())].push_back(static_cast<int>(current));
    }
    for (std::size_t k = 0; k < tests.size(); ++k) {
      current = static_cast<std::size_t>(members[k][0]);
      std::vector<int> nodes;
      for (int member : members[k])
        nodes.push_back(alternatives[static_cast<std::size_t>(member)].node);
      const int root =
          nodes.size() == 1 ? nodes[0] : rewriter.AddIn(PatternNode::Make(Kind::kUnion, nodes));
      Writer writer(rewriter.Out(), options.fuzzy);
      // Appends one part, `before` the rewritten node `after`, as an alternative of `out`;
      // `some` tells whether `out` has one already.
      const auto append = [&writer](int node, const char* before, const char* after,
                                    std::string& out, bool& some) {
        if (node == kNever) return;
        if (some) out += '|';
        some = true;
        out += before;
        writer.Write(node, 0, out);
        out += after;
      };
      MatchPiece piece;
      piece.start = tests[k].first;
      piece.end = tests[k].second;
      bool any = false;
      if (options.lineRegexp) {
        append(rewriter.Rewrite(root, true, true), "^(", ")$", piece.pattern, any);
      } else {
        const bool head = rewriter.HasHead(root), tail = rewriter.HasTail(root);
        const int atHead = head ? rewriter.Rewrite(root, true, false) : kNever;
        const int anywhere = rewriter.Rewrite(root, false, false);
        if (head && tail)
          append(rewriter.Rewrite(root, true, true), "^(", ")$", piece.pattern, any);
        append(atHead, "^(", ")", piece.pattern, any);
        if (tail) append(rewriter.Rewrite(root, false, true), "(", ")$", piece.pattern, any);
        append(anywhere, "", "", piece.pattern, any);
      }
      if (any) pieces.push_back(std::move(piece));
    }
  } catch (const Failure& failure) {
    error.message = failure.message;
    error.pattern = alternatives.empty() ? 0 : alternatives[current].pattern;
    error.column = failure.column;
    return {};
  }
  return pieces;
}

std::string CombinedPattern(const std::vector<MatchPiece>& pieces) {
  std::string combined;
  for (const MatchPiece& piece : pieces) {
    if (!combined.empty()) combined += '|';
    combined += piece.pattern;
  }
  return combined;
}

}  // namespace sjisgrep
