// TRE_Program: one preprocessed pattern compiled: its NFA's index, and the automaton built
// whole from it, or nothing more when that passes the eager budget (DFA.h). A program never
// changes once built, so any number of threads may search it at once.
//
// What a search changes lives in a search cache (TRE_SearchCache): a lazy pattern's automaton,
// whose states the search builds as it goes, and the working memory of the one-pass scan.
// A search takes a cache from the program's pool when it first needs one (TRE_Search) and
// gives it back when it ends; two searches at once use two caches, so the pool holds as many
// caches as searches have run at the same time. The pool's one spare cache is taken and
// given back with one atomic exchange each; the others behind a lock. A program is made with
// one cache ready, its scan memory sized, so that the first search of a small pattern
// allocates nothing.
//
// Memory: the eager automaton and its tables (DFA.h), the index, and per cache at most the
// lazy automaton's kMaxDFACacheBytes, the line automaton's kMaxLineDFABytes and the scan's few
// bytes per automaton state.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DFA.h"
#include "LineDFA.h"
#include "LinearScan.h"
#include "LiteralSearch.h"
#include "NFAIndex.h"

namespace SjisRegExp {

class TRE_Program;

struct TRE_SearchCache {
  explicit TRE_SearchCache(const TRE_Program& program);
  // The line automaton, made the first time a search asks for it.
  TRE_LineDFA& LineDFA();

  const TRE_Program& program;
  // A lazy program's automaton, grown by this cache's searches; null for an eager program.
  std::unique_ptr<TRE_DFA> lazy;
  LinearScanScratch scratch;
  std::unique_ptr<TRE_LineDFA> lineDFA;
};

class TRE_Program {
 public:
  // Parses the preprocessed text, builds its NFA and from that its automaton, within the
  // limits; parser and NFA are freed on every path. Throws ERegExpParser for a pattern error
  // or a pattern too complex to compile.
  TRE_Program(const std::string& text, CharCode lineHeadCode, CharCode lineTailCode,
              const DFALimits& limits = {});
  ~TRE_Program();
  TRE_Program(const TRE_Program&) = delete;
  TRE_Program& operator=(const TRE_Program&) = delete;

  const TRE_NFAIndex& Index() const { return *index_; }
  const LineDFAPlan& LinePlan() const { return *linePlan_; }
  const DFALimits& Limits() const { return limits_; }
  bool LineHeadMark() const { return index_->LineHeadMark(); }
  bool LineTailMark() const { return index_->LineTailMark(); }
  // Whether the automaton is built by each search cache as its searches need it.
  bool Lazy() const { return eager_ == nullptr; }
  // Whether the pattern has no anchor marks and its plain scan goes by stop bytes, or by the
  // literal prefix, over dense rows: the usual cases, which Match takes without further
  // choice.
  bool PlainScanByStops() const { return plainByStops_; }
  bool PlainScanByLiteral() const { return plainByLiteral_; }
  // Whether the pattern has no anchor marks: its search is the plain scan alone.
  bool Plain() const { return !LineHeadMark() && !LineTailMark(); }
  // When every match of the pattern is one and the same text of whole characters, holding no
  // LF or CR, that text (of any length); else an empty one. A search of lines then looks for
  // the text itself (LiteralSearch.h).
  const LiteralText& WholeLiteral() const { return wholeLiteral_; }
  // The automaton of a program that is not lazy.
  const TRE_DFA& EagerDFA() const {
    assert(eager_ != nullptr);
    return *eager_;
  }

  // A cache for one search, and its return. Safe to call from any thread.
  std::unique_ptr<TRE_SearchCache> Checkout() const;
  void Return(std::unique_ptr<TRE_SearchCache> cache) const;
  // Drops the pooled caches; no search may be running.
  void ReleaseCaches();

  // Totals over the pooled caches (no search may be running): how many there are, how often
  // their lazy automata were cleared, how many searches gave up caching, and the largest
  // lazy automaton's size in bytes.
  struct CacheStats {
    std::size_t caches = 0;
    std::size_t resets = 0;
    std::size_t uncachedSearches = 0;
    std::size_t largestBytes = 0;
  };
  CacheStats Stats() const;

 private:
  std::unique_ptr<TRE_NFAIndex> index_;
  std::unique_ptr<LineDFAPlan> linePlan_;
  std::unique_ptr<TRE_DFA> eager_;
  bool plainByStops_ = false;
  bool plainByLiteral_ = false;
  std::string literal_;
  LiteralText wholeLiteral_;
  DFALimits limits_;
  mutable std::atomic<TRE_SearchCache*> spare_{nullptr};
  mutable std::mutex poolLock_;
  mutable std::vector<std::unique_ptr<TRE_SearchCache>> pool_;
};

// One search of a program: the cache is taken from the pool when first asked for and given
// back when the search ends. Used by one thread.
class TRE_Search {
 public:
  explicit TRE_Search(const TRE_Program& program) : program_(program) {}
  ~TRE_Search() {
    if (cache_ != nullptr) program_.Return(std::move(cache_));
  }
  TRE_Search(const TRE_Search&) = delete;
  TRE_Search& operator=(const TRE_Search&) = delete;

  const TRE_Program& Program() const { return program_; }
  TRE_SearchCache& Cache() {
    if (cache_ == nullptr) cache_ = program_.Checkout();
    return *cache_;
  }
  // The automaton of a lazy program, which this search may grow.
  TRE_DFA& LazyDFA() { return *Cache().lazy; }

 private:
  const TRE_Program& program_;
  std::unique_ptr<TRE_SearchCache> cache_;
};

}  // namespace SjisRegExp
