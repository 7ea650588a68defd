#include "FuzzyCharDic.h"

namespace SjisRegExp {

// The table itself is not filled in yet: the dictionary is empty, so the fuzzy pass
// copies patterns unchanged.
const Dictionary& FuzzyCharDic() {
  static const Dictionary dictionary;
  return dictionary;
}

}  // namespace SjisRegExp
