// The BCH(15,5) code of the 5-bit format word of QR code and of the Cordavex
// code: generator x^10+x^8+x^5+x^4+x^2+x+1 (0x537, ISO/IEC 18004), minimum
// distance 7, so up to three bit errors are corrected.
//
// Ownership: the caller owns every word; the GF(16) table is a constant. Nothing
// is allocated. Threads: pure functions, freely re-entrant.
#pragma once

#include <cstdint>
#include <span>

namespace cordavex {

inline constexpr uint32_t kBch15Generator = 0x537;

// Remainder of data * x^(generatorDegree) modulo the generator, over GF(2):
// the check bits of a systematic BCH word.
constexpr uint32_t BchRemainder(uint32_t data, uint32_t generator, int generatorDegree) {
  uint32_t value = data << generatorDegree;
  for (int bit = 31; bit >= generatorDegree; --bit) {
    if ((value >> bit) & 1u) value ^= generator << (bit - generatorDegree);
  }
  return value;
}

// Corrects a 15-bit word in place; word[i] is the coefficient of x^i (0 or 1; any
// non-zero value counts as 1). The five data bits are x^10..x^14, the ten check
// bits x^0..x^9. Returns 1 when the word is now a codeword (unchanged when it
// already was one, otherwise one to three bits flipped), 0 when it lies more than
// three bits from every codeword as far as can be told; after a 0 the flips made
// stay in the word.
int Bch15Correct(std::span<int32_t, 15> word);

// Systematic encoding in the generator's byte order: bytes 0..4 hold the data
// bits x^10..x^14 (byte i is x^(10+i)); writes the ten check bits x^0..x^9 into
// bytes 5..14 (byte 5 + k is x^k). No format mask is applied.
void Bch15Encode(std::span<uint8_t, 15> bits);

// Corrects fifteen bytes in Bch15Encode's order and writes the five corrected data
// bits (0 or 1) back into bytes 0..4; the check bytes are left as they were.
// Returns 1, or 0 (bytes untouched) when the word is beyond correction.
int Bch15CorrectBytes(std::span<uint8_t, 15> bits);

}  // namespace cordavex
