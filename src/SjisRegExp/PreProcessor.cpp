// TREPreProcessor: the synonym and fuzzy-character passes over a pattern's tokens.
#include "PreProcessor.h"

#include <cstddef>

namespace SjisRegExp {

namespace {

bool IsPostfixOperator(TokenKind kind) {
  return kind == tk_Star || kind == tk_Plus || kind == tk_QMark;
}

}  // namespace

TREPreProcessor::TREPreProcessor(std::string_view text) : scanner_(text) {}

void TREPreProcessor::SetText(std::string_view text) { scanner_.SetText(text); }

void TREPreProcessor::Run() {
  if (processedText_ != scanner_.Text) processedText_ = scanner_.Text;
  if (useSynonymDic_) {
    ProcessWith(&TREPreProcessor::MatchSynonym);
    // The fuzzy pass reads what the synonym pass wrote.
    scanner_.SetText(processedText_);
  }
  if (useFuzzyCharDic_) ProcessWith(&TREPreProcessor::MatchFuzzyChar);
}

void TREPreProcessor::Tokenize() {
  tokenList_.clear();
  std::int32_t start = scanner_.Index;
  for (;;) {
    const TokenKind kind = scanner_.GetToken();
    if (kind == tk_End) break;
    tokenList_.push_back({kind, scanner_.Code, scanner_.CodeEnd, start, scanner_.Index});
    start = scanner_.Index;
  }
  tokenList_.push_back(TokenRecord{});
}

void TREPreProcessor::AppendSourceText(const TokenRecord& record) {
  if (record.EndPos <= record.StartPos) return;  // the end record has no text
  processedText_.append(scanner_.Text, static_cast<std::size_t>(record.StartPos - 1),
                        static_cast<std::size_t>(record.EndPos - record.StartPos));
}

void TREPreProcessor::ProcessWith(MatchProcedure matchProcedure) {
  processedText_.clear();
  // Start from the beginning even when an earlier Run left the scanner at the end, so
  // that running twice on the same text gives the same result.
  scanner_.SetText(std::string(scanner_.Text));
  Tokenize();
  bool inClass = false;
  const int count = static_cast<int>(tokenList_.size());
  int i = 0;
  while (i < count) {
    const TokenRecord& record = tokenList_[i];
    if (record.Kind == tk_LBra || record.Kind == tk_LBraNeg) inClass = true;
    if (record.Kind == tk_RBra) inClass = false;
    if (record.Kind != tk_Char || inClass) {
      AppendSourceText(record);
      ++i;
      continue;
    }
    // A run of plain characters; the end record guarantees that it ends.
    int j = i + 1;
    while (tokenList_[j].Kind == tk_Char) ++j;
    while (i < j) {
      const int m = (this->*matchProcedure)(i, j);
      if (m != -1) {
        processedText_ += replaceText_;
        i = m;
      } else {
        AppendSourceText(tokenList_[i]);
        ++i;
      }
    }
  }
}

int TREPreProcessor::MatchSynonym(int i, int j) { return MatchDictionaries(SynonymDics, i, j); }

int TREPreProcessor::MatchFuzzyChar(int i, int j) { return MatchDictionaries(FuzzyCharDics, i, j); }

int TREPreProcessor::MatchDictionaries(const std::vector<const Dictionary*>& dictionaries, int i,
                                       int j) {
  for (const Dictionary* dictionary : dictionaries) {
    if (dictionary == nullptr) continue;
    const int m = MatchDictionary(i, j, *dictionary);
    if (m != -1) return m;
  }
  return -1;
}

int TREPreProcessor::MatchDictionary(int i, int j, const Dictionary& dictionary) {
  for (const Group& group : dictionary) {
    for (const Word& word : group) {
      const int m = MatchWord(word, i, j);
      if (m == -1) continue;
      replaceText_.assign(1, '(');
      for (std::size_t k = 0; k < group.size(); ++k) {
        if (k > 0) replaceText_ += '|';
        replaceText_ += QuoteMetaChars(group[k]);
      }
      replaceText_ += ')';
      return m;
    }
  }
  return -1;
}

// Compares the word, character by character (16-bit codes), with the codes of records i, i+1,
// ... before j. Returns the index after the matched records, or -1 when the word differs or
// is longer than what is left of the run.
//
// A word of several characters must not end directly before a postfix operator: in "ｶﾞ*"
// the star repeats only the voicing mark, and replacing ｶﾞ by a group would make it repeat
// the whole が instead (and so match the empty text). The characters are then matched one by
// one, which keeps the pattern's meaning.
int TREPreProcessor::MatchWord(const Word& word, int i, int j) const {
  if (word.empty()) return -1;
  int t = i;
  std::int32_t index1 = 1;
  CharCode c = GetChar(word, index1);
  while (c != 0 && t < j) {
    if (c != tokenList_[t].Code) return -1;
    ++t;
    c = GetChar(word, index1);
  }
  if (c != 0) return -1;
  if (t - i > 1 && IsPostfixOperator(tokenList_[t].Kind)) return -1;
  return t;
}

}  // namespace SjisRegExp
