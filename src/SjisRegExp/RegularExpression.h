// TRegularExpression holds the current pattern and a cache of compiled patterns.
//
// Writing RegExp runs the preprocessor, then looks the processed text up in the cache
// (entry 0 is always the empty pattern; at most CacheCapacity entries). A miss is
// inserted at index 1 and compiled (parser -> NFA -> DFA); when the cache is full the
// last entry, the one inserted earliest, is dropped first. A failed compilation drops
// its entry and leaves the empty pattern current with RegExp empty; a preprocessor
// error leaves everything as it was. Only the program (Program.h) stays: parser and NFA
// are freed as soon as it is built.
//
// Like a text for Match, a pattern ends at its first zero byte: the scanner reads
// that byte as the end of the text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "PreProcessor.h"
#include "Program.h"

namespace SjisRegExp {

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

  // The dictionaries of the preprocessor's fuzzy-character pass; a new component has none.
  const std::vector<const Dictionary*>& FuzzyCharDics() const {
    return preProcessor_.FuzzyCharDics;
  }
  void AddFuzzyCharDic(const Dictionary& dictionary) {
    preProcessor_.FuzzyCharDics.push_back(&dictionary);
  }

  // The two dictionary switches; writing one writes RegExp again with its current text.
  bool UseFuzzyCharDic() const { return preProcessor_.UseFuzzyCharDic(); }
  void SetUseFuzzyCharDic(bool on);
  bool UseSynonymDic() const { return preProcessor_.UseSynonymDic(); }
  void SetUseSynonymDic(bool on);

  // The bounds of the automata of patterns compiled from now on (DFA.h); the defaults
  // suit every use, smaller ones make the on-demand states and the cache clearing run on
  // small patterns.
  void SetDFALimits(const DFALimits& limits) { dfaLimits_ = limits; }

  const TRE_Program& CurrentProgram() const {
    return *cache_[static_cast<std::size_t>(currentIndex_)].program;
  }
  // The current pattern's automaton, when it is not lazy.
  const TRE_DFA& CurrentDFA() const { return CurrentProgram().EagerDFA(); }

 protected:
  // Compiles the text into the cache entry at CurrentIndex.
  virtual void Compile(const std::string& text);
  TREPreProcessor& PreProcessor() { return preProcessor_; }
  const TREPreProcessor& PreProcessor() const { return preProcessor_; }

 private:
  struct CacheEntry {
    std::string text;
    std::unique_ptr<TRE_Program> program;
  };

  std::string regExp_;
  std::string written_;  // the text being written, until it becomes regExp_
  std::vector<CacheEntry> cache_;
  std::int32_t currentIndex_ = 0;
  TREPreProcessor preProcessor_;
  std::size_t compileCount_ = 0;
  DFALimits dfaLimits_;
};

}  // namespace SjisRegExp
