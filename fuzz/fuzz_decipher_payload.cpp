// The Contacts hand-over as the main program receives it: command-line text
// read into bytes and deciphered with the program's key, and the same bytes
// deciphered directly.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "cordavex/payload_cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex;
  static uint8_t bytes[kPayloadMaxBytes];
  static uint8_t plain[kPayloadMaxBytes];
  const std::span<const uint8_t> key(reinterpret_cast<const uint8_t*>(kPayloadKey.data()),
                                     kPayloadKey.size());
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const int m = ReadPayloadText(text, bytes);
  if (m > 0) DecipherPayload(std::span(bytes, static_cast<size_t>(m)), key, plain);
  // Raw bytes, with an output as small as the input.
  DecipherPayload(std::span(data, size), key, std::span(plain, size < sizeof plain ? size : sizeof plain));
  return 0;
}
