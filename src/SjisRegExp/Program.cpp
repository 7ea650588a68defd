// TRE_Program: compiling a preprocessed pattern, and the pool of search caches.
#include "Program.h"

#include <limits>

#include "NFA.h"
#include "Parser.h"

namespace SjisRegExp {

namespace {

// The text of every match when the NFA is one chain of single characters from its entry to
// its exit (every state on the way has one transition, on one code); empty otherwise, or when
// a character could not stand in a line's text as these bytes (LF, CR, a lead byte alone, a
// two-byte code that no text holds).
std::string ChainLiteral(const TRE_NFAIndex& index) {
  std::string text;
  std::size_t steps = 0;
  for (auto state = static_cast<std::size_t>(index.Entry());
       state != static_cast<std::size_t>(index.Exit()); ++steps) {
    if (steps > index.StateCount()) return {};
    if (index.EpsBegin(state) != index.EpsEnd(state) ||
        index.MovesEnd(state) - index.MovesBegin(state) != 1) {
      return {};
    }
    const auto& move = *index.MovesBegin(state);
    const CharRange& range = index.Ranges()[move.range];
    const unsigned code = range.start;
    const unsigned lead = code >> 8;
    const unsigned low = code & 0xFF;
    if (range.end != code || low == '\n' || low == '\r') return {};
    if (code < 0x100) {
      if (IsLeadByte(static_cast<unsigned char>(code))) return {};
      text += static_cast<char>(code);
    } else {
      if (!IsLeadByte(static_cast<unsigned char>(lead))) return {};
      text += static_cast<char>(lead);
      text += static_cast<char>(low);
    }
    state = static_cast<std::size_t>(move.target);
  }
  return text;
}

}  // namespace

TRE_SearchCache::TRE_SearchCache(const TRE_Program& owner) : program(owner) {
  if (program.Lazy()) {
    lazy = std::make_unique<TRE_DFA>(program.Index(), program.Limits());
    lazy->BuildLazy();
  } else if (program.EagerDFA().StateCount() <= kMaxDenseStates) {
    scratch.Prepare(program.EagerDFA().StateCount());
  }
}

TRE_LineDFA& TRE_SearchCache::LineDFA() {
  if (lineDFA == nullptr) {
    lineDFA = std::make_unique<TRE_LineDFA>(program.Index(), program.LinePlan());
  }
  return *lineDFA;
}

TRE_Program::TRE_Program(const std::string& text, CharCode lineHeadCode, CharCode lineTailCode,
                         const DFALimits& limits)
    : limits_(limits) {
  // Positions are 32-bit and reported in 16 bits; a text this long is refused before its
  // positions could wrap.
  if (text.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) {
    throw ERegExpParser(kMsgTooComplex, std::numeric_limits<std::int64_t>::max());
  }
  {
    auto parser = std::make_unique<TREParser>(text);
    parser->Parse();
    auto nfa = std::make_unique<TRE_NFA>(*parser, lineHeadCode, lineTailCode);
    nfa->Build();
    index_ = std::make_unique<TRE_NFAIndex>(*nfa);
  }
  linePlan_ = std::make_unique<LineDFAPlan>(*index_, lineHeadCode, lineTailCode);
  literal_ = ChainLiteral(*index_);
  if (!literal_.empty()) wholeLiteral_ = LiteralText(literal_);
  auto dfa = std::make_unique<TRE_DFA>(*index_, limits_);
  dfa->Build();
  if (!dfa->Lazy()) {
    eager_ = std::move(dfa);
    plainByStops_ = Plain() && eager_->Accel().PlainSearch() == DFAAccel::kByStopBytes;
    plainByLiteral_ = Plain() && eager_->Accel().PlainSearch() == DFAAccel::kByLiteral;
  }
  spare_.store(new TRE_SearchCache(*this), std::memory_order_relaxed);
}

TRE_Program::~TRE_Program() { delete spare_.load(std::memory_order_relaxed); }

std::unique_ptr<TRE_SearchCache> TRE_Program::Checkout() const {
  if (TRE_SearchCache* cache = spare_.exchange(nullptr, std::memory_order_acquire)) {
    return std::unique_ptr<TRE_SearchCache>(cache);
  }
  {
    const std::lock_guard<std::mutex> lock(poolLock_);
    if (!pool_.empty()) {
      std::unique_ptr<TRE_SearchCache> cache = std::move(pool_.back());
      pool_.pop_back();
      return cache;
    }
  }
  return std::make_unique<TRE_SearchCache>(*this);
}

void TRE_Program::Return(std::unique_ptr<TRE_SearchCache> cache) const {
  TRE_SearchCache* expected = nullptr;
  if (spare_.compare_exchange_strong(expected, cache.get(), std::memory_order_release,
                                     std::memory_order_relaxed)) {
    cache.release();
    return;
  }
  const std::lock_guard<std::mutex> lock(poolLock_);
  pool_.push_back(std::move(cache));
}

void TRE_Program::ReleaseCaches() {
  delete spare_.exchange(nullptr, std::memory_order_relaxed);
  const std::lock_guard<std::mutex> lock(poolLock_);
  pool_.clear();
}

TRE_Program::CacheStats TRE_Program::Stats() const {
  CacheStats stats;
  const auto add = [&stats](const TRE_SearchCache& cache) {
    ++stats.caches;
    stats.uncachedSearches += cache.scratch.uncachedSearches;
    if (cache.lazy != nullptr) {
      stats.resets += cache.lazy->CacheResets();
      stats.largestBytes = std::max(stats.largestBytes, cache.lazy->CacheBytes());
    }
  };
  if (const TRE_SearchCache* spare = spare_.load(std::memory_order_acquire)) add(*spare);
  const std::lock_guard<std::mutex> lock(poolLock_);
  for (const auto& cache : pool_) add(*cache);
  return stats;
}

}  // namespace SjisRegExp
