// The built-in fuzzy-character dictionary: groups of equivalent written forms
// (full- and half-width, kana forms, voiced kana with a separate mark, ...).
// One shared read-only object, built on first use and kept until the program ends.
#pragma once

#include "PreProcessor.h"

namespace SjisRegExp {

const Dictionary& FuzzyCharDic();

}  // namespace SjisRegExp
