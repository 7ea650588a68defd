// TRE_Program: compiling a preprocessed pattern, and the pool of search caches.
#include "Program.h"

#include <limits>

#include "NFA.h"
#include "Parser.h"

namespace SjisRegExp {

TRE_SearchCache::TRE_SearchCache(const TRE_Program& program) {
  if (program.Lazy()) {
    lazy = std::make_unique<TRE_DFA>(program.Index(), program.Limits());
    lazy->BuildLazy();
  } else if (program.EagerDFA().StateCount() <= kMaxDenseStates) {
    scratch.Prepare(program.EagerDFA().StateCount());
  }
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
  auto dfa = std::make_unique<TRE_DFA>(*index_, limits_);
  dfa->Build();
  if (!dfa->Lazy()) {
    eager_ = std::move(dfa);
    plainByStops_ = !LineHeadMark() && !LineTailMark() &&
                    eager_->Accel().PlainSearch() == DFAAccel::kByStopBytes;
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
