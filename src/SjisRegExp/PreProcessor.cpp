#include "PreProcessor.h"

namespace SjisRegExp {

TREPreProcessor::TREPreProcessor(std::string_view text) : scanner_(text) {}

void TREPreProcessor::SetText(std::string_view text) { scanner_.SetText(text); }

// The dictionary passes are not written yet: the text passes unchanged.
void TREPreProcessor::Run() { processedText_ = scanner_.Text; }

}  // namespace SjisRegExp
