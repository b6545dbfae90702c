#include "support/oracle_parity.h"

namespace cordavex::test {
namespace {

struct Gf {
  uint8_t exp[512];
  uint8_t log[256];
  explicit Gf(unsigned polynomial) {
    unsigned x = 1;
    for (int i = 0; i < 255; ++i) {
      exp[i] = static_cast<uint8_t>(x);
      log[x] = static_cast<uint8_t>(i);
      x <<= 1;
      if (x & 0x100) x ^= polynomial;
    }
    for (int i = 255; i < 512; ++i) exp[i] = exp[i - 255];
  }
  uint8_t Mul(uint8_t a, uint8_t b) const {
    return (a == 0 || b == 0) ? 0 : exp[log[a] + log[b]];
  }
};

}  // namespace

std::vector<uint8_t> OracleParity(std::span<const uint8_t> data, int e, unsigned polynomial,
                                  int firstRoot) {
  const Gf gf(polynomial);
  std::vector<uint8_t> gen(static_cast<size_t>(e) + 1, 0);
  gen[0] = 1;
  for (int i = 0; i < e; ++i) {  // multiply by (x + alpha^(b+i)); gen[0] is the top coefficient
    for (int k = i + 1; k > 0; --k) gen[k] = gen[k] ^ gf.Mul(gen[k - 1], gf.exp[firstRoot + i]);
  }
  std::vector<uint8_t> rem(static_cast<size_t>(e), 0);
  for (uint8_t byte : data) {
    const uint8_t factor = byte ^ rem[0];
    for (int k = 0; k + 1 < e; ++k) rem[k] = rem[k + 1] ^ gf.Mul(gen[k + 1], factor);
    rem[e - 1] = gf.Mul(gen[e], factor);
  }
  return rem;
}

}  // namespace cordavex::test
