#include "content/classify.h"

namespace cordavex {

// Until the content parser exists, a result is plain text: the decoded bytes
// widened unit by unit into the raw text.
void ClassifyResult(const ClassifyInput& input, ScanResult& result) {
  result.Clear();
  const uint8_t* text = input.summary.text;
  if (text == nullptr) return;
  for (int i = 0; i < ScanResult::kRawTextUnits - 1 && i < kDecodedTextBytes && text[i] != 0; ++i) {
    result.rawText()[i] = text[i];
  }
}

}  // namespace cordavex
