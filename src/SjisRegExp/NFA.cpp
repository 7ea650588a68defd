// The expansion of a parse tree into TRE_NFA, node by node between a from and a to
// state, and the NFA state set.
#include "NFA.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "Parser.h"

namespace SjisRegExp {

namespace {
constexpr CharRange kEmptyLabel{EpsilonCode, EpsilonCode};
}  // namespace

TRE_NFA::TRE_NFA(const TREParser& parser, CharCode lineHeadCode, CharCode lineTailCode)
    : parser_(parser), lineHeadCode_(lineHeadCode), lineTailCode_(lineTailCode) {}

void TRE_NFA::Build() {
  entry_ = AddState();
  exit_ = AddState();
  GenerateStateList(parser_.ParseTree.Root, entry_, exit_);
}

std::int32_t TRE_NFA::AddState() {
  stateHeads_.push_back(-1);
  return static_cast<std::int32_t>(stateHeads_.size() - 1);
}

void TRE_NFA::AddTransition(std::int32_t from, std::int32_t to, CharRange range) {
  transitions_.push_back({range, to, stateHeads_[from]});
  stateHeads_[from] = static_cast<std::int32_t>(transitions_.size() - 1);
}

void TRE_NFA::GenerateStateList(const ParseNode* root, std::int32_t from, std::int32_t to) {
  // The recursive expansion, run on an explicit stack so that deep trees (a long
  // concatenation is a left-nested chain) cannot exhaust the call stack. Children are
  // pushed in reverse so that they are expanded in the order of the recursion, and a
  // closure's trailing transitions wait in a `closeLoop` item until its child is done.
  struct Item {
    const ParseNode* node;
    std::int32_t from;
    std::int32_t to;
    std::int32_t loopEnd;  // closeLoop only: s2
    bool closeLoop;
  };
  std::vector<Item> stack;
  stack.push_back({root, from, to, 0, false});
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    if (++steps_ > kMaxNFASteps) {
      throw ERegExpParser(kMsgTooComplex, PatternEndPos());
    }
    if (item.closeLoop) {
      AddTransition(item.loopEnd, item.from, kEmptyLabel);  // s2 -> s1
      AddTransition(item.from, item.to, kEmptyLabel);       // s1 -> to
      continue;
    }
    const ParseNode* node = item.node;
    if (node == nullptr) continue;
    switch (node->Kind) {
      case nk_Char:
        AddTransition(item.from, item.to, {node->lo, node->hi});
        break;
      case nk_LineHead:
        if (item.from == entry_) {
          lineHeadMark_ = true;
          AddTransition(item.from, item.to, {lineHeadCode_, lineHeadCode_});
        } else {
          AddTransition(item.from, item.to, {node->lo, node->hi});
        }
        break;
      case nk_LineTail:
        if (item.to == exit_) {
          lineTailMark_ = true;
          AddTransition(item.from, item.to, {lineTailCode_, lineTailCode_});
        } else {
          AddTransition(item.from, item.to, {node->lo, node->hi});
        }
        break;
      case nk_Concat: {
        const std::int32_t s = AddState();
        stack.push_back({node->right, s, item.to, 0, false});
        stack.push_back({node->left, item.from, s, 0, false});
        break;
      }
      case nk_Union:
        stack.push_back({node->right, item.from, item.to, 0, false});
        stack.push_back({node->left, item.from, item.to, 0, false});
        break;
      case nk_Closure: {
        const std::int32_t s1 = AddState();
        const std::int32_t s2 = AddState();
        AddTransition(item.from, s1, kEmptyLabel);
        stack.push_back({nullptr, s1, item.to, s2, true});
        stack.push_back({node->left, s1, s2, 0, false});
        break;
      }
      case nk_Empty:
        AddTransition(item.from, item.to, kEmptyLabel);
        break;
      default:
        throw std::runtime_error("This cannot happen in TRE_NFA.GenerateStateList");
    }
  }
}

bool TRE_NFAStateSet::Equals(const TRE_NFAStateSet& other) const {
  return other.bytes_.size() >= bytes_.size() &&
         std::memcmp(bytes_.data(), other.bytes_.data(), bytes_.size()) == 0;
}

}  // namespace SjisRegExp

namespace SjisRegExp {
std::int64_t TRE_NFA::PatternEndPos() const {
  return static_cast<std::int64_t>(parser_.Scanner.Text.size()) + 1;
}
}  // namespace SjisRegExp
