// TREPreProcessor rewrites a pattern before it is compiled so that it also matches
// equivalent forms of its characters and words, taken from dictionaries. Two passes
// exist, synonyms and fuzzy characters, each switched by its flag; with both off the
// pattern comes out exactly as it went in.
//
// The dictionaries are owned elsewhere; the lists only refer to them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Scanner.h"

namespace SjisRegExp {

using Word = std::string;
using Group = std::vector<Word>;
using Dictionary = std::vector<Group>;

class TREPreProcessor {
 public:
  explicit TREPreProcessor(std::string_view text = {});

  void SetText(std::string_view text);
  // Applies the enabled passes to the text; may throw ERegExpParser.
  void Run();
  const std::string& ProcessedText() const { return processedText_; }

  bool UseFuzzyCharDic() const { return useFuzzyCharDic_; }
  void SetUseFuzzyCharDic(bool on) { useFuzzyCharDic_ = on; }
  bool UseSynonymDic() const { return useSynonymDic_; }
  void SetUseSynonymDic(bool on) { useSynonymDic_ = on; }

  std::vector<const Dictionary*> FuzzyCharDics;
  std::vector<const Dictionary*> SynonymDics;

 private:
  TREScanner scanner_;
  std::string processedText_;
  bool useFuzzyCharDic_ = false;
  bool useSynonymDic_ = false;
};

}  // namespace SjisRegExp
