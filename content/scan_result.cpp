#include "cordavex/scan_result.h"

#include <cstring>

#include "decode/text_routines.h"

namespace cordavex {

std::u16string_view ScanResult::StringAt(uint16_t offset) const {
  if (offset >= kTextUnits) return {};
  // Bounded by the text area even when a record was filled carelessly and its
  // terminating zero is missing.
  size_t length = 0;
  while (offset + length < static_cast<size_t>(kTextUnits) && text[offset + length] != 0) ++length;
  return {text + offset, length};
}

void ScanResult::Clear() {
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
  displayText = kPoolStart;
  for (uint16_t& f : fields) f = kEmptyString;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideToUtf8(text, out));
  return out;
}

}  // namespace cordavex
