// SjisRegExp: regular expressions over Shift-JIS (code page 932) text with an
// AWK-style Match, two-byte characters being single steps everywhere.
//
// The pipeline, one stage a file pair:
//   Chars / Scanner      characters, escapes, tokens, ERegExpParser
//   PreProcessor         dictionary widening of the pattern (FuzzyCharDic)
//   ParseTree / Parser   the parse tree with pairwise disjoint leaf ranges
//   NFA                  Thompson-style NFA with anchor marks
//   DFA                  eager subset construction, sorted transitions
//   RegularExpression    pattern cache (TRegularExpression)
//   MatchCore            leftmost-longest scanning (TMatchCORE)
//   AWKStr               the component (TAWKStr)
#pragma once

#include "AWKStr.h"
#include "Chars.h"
#include "MatchCore.h"
#include "RegularExpression.h"
#include "Scanner.h"
