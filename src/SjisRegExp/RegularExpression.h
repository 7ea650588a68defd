// TRegularExpression holds the current pattern and a cache of compiled patterns.
//
// Writing RegExp runs the preprocessor, then looks the processed text up in the cache
// (entry 0 is always the empty pattern; at most CacheCapacity entries). A miss is
// inserted at index 1 and compiled (parser -> NFA -> DFA); when the cache is full the
// last entry, the one inserted earliest, is dropped first. A failed compilation drops
// its entry and leaves the empty pattern current with RegExp empty; a preprocessor
// error leaves everything as it was. Only the DFA stays: parser and NFA are freed
// as soon as it is built.
//
// Like a text for Match, a pattern ends at its first zero byte: the scanner reads
// that byte as the end of the text.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "DFA.h"
#include "PreProcessor.h"

namespace SjisRegExp {

// Whether two texts are equal; those of 8 to 32 bytes, as patterns mostly are, are compared
// a word at a time, without a call.
inline bool SameText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (n != b.size()) return false;
  if (n < 8 || n > 32) return a == b;
  const auto word = [](const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  };
  const char* x = a.data();
  const char* y = b.data();
  // Words at 0, 8 and 16 as far as they fit, and the last 8 bytes: together every byte.
  std::uint64_t diff = (word(x) ^ word(y)) | (word(x + n - 8) ^ word(y + n - 8));
  if (n > 16) diff |= word(x + 8) ^ word(y + 8);
  if (n > 24) diff |= word(x + 16) ^ word(y + 16);
  return diff == 0;
}

class TRegularExpression {
 public:
  static constexpr std::int32_t CacheCapacity = 30;

  TRegularExpression();
  virtual ~TRegularExpression() = default;
  TRegularExpression(const TRegularExpression&) = delete;
  TRegularExpression& operator=(const TRegularExpression&) = delete;

  const std::string& RegExp() const { return regExp_; }
  // May throw ERegExpParser (a pattern error or a pattern too complex to compile).
  virtual void SetRegExp(std::string_view pattern);

  virtual CharCode LineHeadCode() const { return SjisRegExp::LineHeadCode; }
  virtual CharCode LineTailCode() const { return SjisRegExp::LineTailCode; }

  std::int32_t CurrentIndex() const { return currentIndex_; }
  std::size_t CacheCount() const { return cache_.size(); }
  const std::string& CacheText(std::size_t index) const { return cache_[index].text; }
  // How many patterns this component has compiled (the empty one included).
  std::size_t CompileCount() const { return compileCount_; }

  // The dictionaries of the preprocessor's fuzzy-character pass.
  const std::vector<const Dictionary*>& FuzzyCharDics() const {
    return preProcessor_.FuzzyCharDics;
  }

  // The bounds of the automata of patterns compiled from now on (DFA.h); the defaults
  // suit every use, smaller ones make the on-demand states and the cache clearing run on
  // small patterns.
  void SetDFALimits(const DFALimits& limits) { dfaLimits_ = limits; }

  const TRE_DFA& CurrentDFA() const { return *cache_[static_cast<std::size_t>(currentIndex_)].dfa; }

 protected:
  // Compiles the text into the cache entry at CurrentIndex.
  virtual void Compile(const std::string& text);
  TREPreProcessor& PreProcessor() { return preProcessor_; }
  const TREPreProcessor& PreProcessor() const { return preProcessor_; }

  // Whether writing this pattern would change nothing, so that the write can be skipped:
  // both passes are off (the preprocessor then hands the text on unchanged) and it is the
  // RegExp text, which the current entry holds. The cache holds each text once, so the
  // lookup could only find the current entry again. The converter writes its pattern
  // before every title: this keeps such a write to a flag test and one compare.
  bool RewritesCurrent(std::string_view pattern) const {
    return currentIsRegExp_ && !preProcessor_.UseFuzzyCharDic() && !preProcessor_.UseSynonymDic() &&
           SameText(pattern, regExp_);
  }
  // Changes with every write that is not skipped, whether it succeeds or fails: state that
  // a descendant derives from the current pattern is still valid while this has not moved.
  std::uint32_t WriteSerial() const { return writeSerial_; }

 private:
  struct CacheEntry {
    std::string text;
    std::unique_ptr<TRE_DFA> dfa;
  };

  std::string regExp_;
  std::string written_;  // the text being written, until it becomes regExp_
  std::vector<CacheEntry> cache_;
  std::int32_t currentIndex_ = 0;
  TREPreProcessor preProcessor_;
  std::size_t compileCount_ = 0;
  // Kept true exactly while the text of the entry at CurrentIndex equals regExp_ (so a
  // pattern written with a pass on, or a failed write, clears it until the next write).
  bool currentIsRegExp_ = true;
  std::uint32_t writeSerial_ = 0;
  DFALimits dfaLimits_;
};

}  // namespace SjisRegExp
