// TREPreProcessor rewrites a pattern before it is compiled so that it also matches
// equivalent forms of its characters and words, taken from dictionaries. Two passes
// exist, synonyms and fuzzy characters, each switched by its flag; with both off the
// pattern comes out exactly as it went in, without even being scanned.
//
// A pass works on the scanner's tokens, not on the raw text: only runs of plain characters
// (tk_Char) outside a character class are looked up, an escape such as \. or \x41 counting
// as the character it denotes. A stretch of the run that equals a word of some group is
// replaced by the whole group as an alternation, "(w1|w2|...)", each word with its
// metacharacters quoted. Everything else, operators, classes and unmatched characters, is
// copied exactly as written, escape notation included.
//
// The dictionaries are owned elsewhere; the lists only refer to them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Scanner.h"

namespace SjisRegExp {

// A dictionary is an ordered list of groups; a group an ordered list of equivalent words;
// a word a non-empty Shift-JIS string of one or more characters. Groups are searched in
// order and the first word that matches wins; the words of a group are written into the
// replacement in their order.
using Word = std::string;
using Group = std::vector<Word>;
using Dictionary = std::vector<Group>;

// One token of the text being processed. StartPos and EndPos are 1-based byte positions
// in the scanned text, EndPos just after the token's last byte, so the token's source text
// is the EndPos - StartPos bytes from StartPos. The last record of a list is an end record:
// tk_End with Code 0 and both positions 0.
struct TokenRecord {
  TokenKind Kind = tk_End;
  CharCode Code = 0;
  CharCode CodeEnd = 0;
  std::int32_t StartPos = 0;
  std::int32_t EndPos = 0;
};

class TREPreProcessor {
 public:
  explicit TREPreProcessor(std::string_view text = {});

  void SetText(std::string_view text);
  // Applies the enabled passes to the text set last and leaves the result in ProcessedText.
  // A pattern error found while a pass scans the text propagates as ERegExpParser, its
  // position counted in the text that pass was reading; ProcessedText is then incomplete.
  void Run();
  const std::string& ProcessedText() const { return processedText_; }

  bool UseFuzzyCharDic() const { return useFuzzyCharDic_; }
  void SetUseFuzzyCharDic(bool on) { useFuzzyCharDic_ = on; }
  bool UseSynonymDic() const { return useSynonymDic_; }
  void SetUseSynonymDic(bool on) { useSynonymDic_ = on; }

  // The tokens of the text read by the last pass, end record included.
  const std::vector<TokenRecord>& TokenList() const { return tokenList_; }

  std::vector<const Dictionary*> FuzzyCharDics;
  std::vector<const Dictionary*> SynonymDics;

 private:
  // Returns the index just after the tokens that a match covered, or -1; on a match the
  // group text is left in replaceText_.
  using MatchProcedure = int (TREPreProcessor::*)(int i, int j);

  void Tokenize();
  void ProcessWith(MatchProcedure matchProcedure);
  int MatchSynonym(int i, int j);
  int MatchFuzzyChar(int i, int j);
  int MatchDictionaries(const std::vector<const Dictionary*>& dictionaries, int i, int j);
  int MatchDictionary(int i, int j, const Dictionary& dictionary);
  int MatchWord(const Word& word, int i, int j) const;
  // Appends the record's text as written, escape notation included.
  void AppendSourceText(const TokenRecord& record);

  TREScanner scanner_;
  std::string processedText_;
  std::vector<TokenRecord> tokenList_;
  std::string replaceText_;
  bool useFuzzyCharDic_ = false;
  bool useSynonymDic_ = false;
};

}  // namespace SjisRegExp
