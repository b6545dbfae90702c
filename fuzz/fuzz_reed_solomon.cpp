// Reed-Solomon and BCH correction on arbitrary received words: no crash, no
// read or write outside the block, and a reported success is always a codeword
// (correcting it again changes nothing).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "decode/bch.h"
#include "decode/reed_solomon.h"

using namespace cordavex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // BCH: 15 bits from the first two bytes.
  {
    int32_t word[15];
    const unsigned bits = data[0] | (unsigned{data[1]} << 8);
    for (int i = 0; i < 15; ++i) word[i] = static_cast<int32_t>((bits >> i) & 1u);
    if (Bch15Correct(word) == 1) {
      int32_t again[15];
      std::memcpy(again, word, sizeof(word));
      if (Bch15Correct(again) != 1 || std::memcmp(again, word, sizeof(word)) != 0) std::abort();
    }
  }
  // RS: variant, check count, then the block (at most 255 codewords).
  const int32_t variant = data[2] % 4;  // 3 is not a variant and must be refused
  const int32_t checkCount = data[3];
  data += 4;
  size -= 4;
  const int32_t n = static_cast<int32_t>(size > 255 ? 255 : size);
  int32_t block[255];
  for (int32_t i = 0; i < n; ++i) block[i] = data[i];
  RsContext context;
  context.variant = variant;
  RsInit(context, block, n, checkCount);
  if (RsCorrect(context) == 1) {
    int32_t again[255];
    std::memcpy(again, block, sizeof(int32_t) * static_cast<size_t>(n));
    RsInit(context, again, n, checkCount);
    if (RsCorrect(context) != 1 ||
        std::memcmp(again, block, sizeof(int32_t) * static_cast<size_t>(n)) != 0) {
      std::abort();
    }
  }
  return 0;
}
