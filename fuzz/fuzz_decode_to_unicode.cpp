// DecodeToUnicode over every character-set code, with and without the platform
// conversion: the first byte picks the code and the path, the rest is the text.
// The output must stay within the input's length and leave the margin untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "decode/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr uint32_t kCodes[] = {1, 2, 4, 8, 32, 0, 16};
  const uint8_t selector = data[0];
  const std::span<const uint8_t> text(data + 1, size - 1);

  cordavex::CharsetOptions options;
  options.platformConversion = (selector & 0x80) == 0;
  options.uiLanguage = (selector & 0x40) != 0 ? 1028 : 0x0409;
  const uint32_t code = kCodes[(selector & 0x3F) % std::size(kCodes)];

  constexpr size_t kMaxText = 4096;
  constexpr size_t kMargin = 8;
  static char16_t out[kMaxText + kMargin];
  const size_t room = text.size() < kMaxText ? text.size() : kMaxText;
  for (char16_t& unit : out) unit = 0;
  const int n = cordavex::DecodeToUnicode(code, text.first(room), std::span(out, room), options);
  if (n < 0 || static_cast<size_t>(n) > room) std::abort();
  for (size_t i = static_cast<size_t>(n); i < room + kMargin; ++i) {
    if (out[i] != 0) std::abort();
  }
  return 0;
}
