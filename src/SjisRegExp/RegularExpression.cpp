// TRegularExpression's pattern cache: lookup, insertion, eviction and compilation.
#include "RegularExpression.h"

#include <cassert>
#include <limits>

namespace SjisRegExp {

TRegularExpression::TRegularExpression() {
  cache_.reserve(CacheCapacity);
  cache_.push_back({std::string(), nullptr});
  currentIndex_ = 0;
  Compile(std::string());
}

void TRegularExpression::SetRegExp(std::string_view pattern) {
  // Only the current pattern keeps its search caches: a lazy pattern's automaton gives its
  // states back as another pattern is written (they are built again if it becomes current).
  if (const auto& current = cache_[static_cast<std::size_t>(currentIndex_)].program;
      current != nullptr && current->Lazy()) {
    current->ReleaseCaches();
  }
  // The pattern may be our own RegExp text (the dictionary switches write it again), so it is
  // copied first; into a member, so that writing a cached pattern again allocates nothing.
  if (written_ != pattern) written_.assign(pattern);
  preProcessor_.SetText(written_);
  preProcessor_.Run();
  const std::string& processed = preProcessor_.ProcessedText();
  try {
    currentIndex_ = -1;
    for (std::size_t i = 0; i < cache_.size(); ++i) {
      if (cache_[i].text == processed) {
        currentIndex_ = static_cast<std::int32_t>(i);
        break;
      }
    }
    if (currentIndex_ < 0) {
      if (cache_.size() >= static_cast<std::size_t>(CacheCapacity)) cache_.pop_back();
      cache_.insert(cache_.begin() + 1, CacheEntry{processed, nullptr});
      currentIndex_ = 1;
      Compile(cache_[1].text);
    }
    regExp_.swap(written_);
    // Every entry holds a compiled automaton, entry 0 the empty pattern, each text once.
    assert(cache_[0].text.empty() && cache_[static_cast<std::size_t>(currentIndex_)].program);
    assert(cache_.size() <= static_cast<std::size_t>(CacheCapacity));
  } catch (...) {
    currentIndex_ = 0;
    regExp_.clear();
    throw;
  }
}

void TRegularExpression::SetUseFuzzyCharDic(bool on) {
  preProcessor_.SetUseFuzzyCharDic(on);
  const std::string current = regExp_;  // a copy: writing RegExp replaces it
  SetRegExp(current);
}

void TRegularExpression::SetUseSynonymDic(bool on) {
  preProcessor_.SetUseSynonymDic(on);
  const std::string current = regExp_;
  SetRegExp(current);
}

void TRegularExpression::Compile(const std::string& text) {
  try {
    cache_[static_cast<std::size_t>(currentIndex_)].program =
        std::make_unique<TRE_Program>(text, LineHeadCode(), LineTailCode(), dfaLimits_);
    ++compileCount_;
  } catch (...) {
    if (currentIndex_ > 0) {
      cache_.erase(cache_.begin() + currentIndex_);
    }
    currentIndex_ = 0;
    throw;
  }
}

}  // namespace SjisRegExp
