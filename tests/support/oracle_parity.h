// Reed-Solomon check codewords computed the plain way, for the test symbol
// builders: an oracle kept apart from the library's encoder, so that a fault
// there cannot hide in the symbols the reader's tests are made of.
//
// Test-only code; allocates its result.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace cordavex::test {

// The `e` check codewords of `data` over GF(256) with the field polynomial
// `polynomial` (0x11D, 0x12D) and the generator roots alpha^firstRoot ..
// alpha^(firstRoot + e - 1); highest power first, as symbols store them.
std::vector<uint8_t> OracleParity(std::span<const uint8_t> data, int e, unsigned polynomial,
                                  int firstRoot);

}  // namespace cordavex::test
