#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>

#include "decode/bch.h"

namespace cordavex {
namespace {

// Format information after masking, indexed by the five data bits (error
// correction level indicator then mask pattern), ISO/IEC 18004 Table C.1.
constexpr uint16_t kQrFormatInformation[32] = {
    0x5412, 0x5125, 0x5E7C, 0x5B4B, 0x45F9, 0x40CE, 0x4F97, 0x4AA0,
    0x77C4, 0x72F3, 0x7DAA, 0x789D, 0x662F, 0x6318, 0x6C41, 0x6976,
    0x1689, 0x13BE, 0x1CE7, 0x19D0, 0x0762, 0x0255, 0x0D0C, 0x083B,
    0x355F, 0x3068, 0x3F31, 0x3A06, 0x24B4, 0x2183, 0x2EDA, 0x2BED};
constexpr uint32_t kQrFormatMask = 0x5412;

// The codeword of five data bits as a 15-bit value (bit i the coefficient of x^i).
uint32_t EncodeWord(uint32_t data) {
  std::array<uint8_t, 15> bits{};
  for (int i = 0; i < 5; ++i) bits[i] = static_cast<uint8_t>((data >> i) & 1u);
  Bch15Encode(bits);
  uint32_t word = data << 10;
  for (int k = 0; k < 10; ++k) word |= static_cast<uint32_t>(bits[5 + k]) << k;
  return word;
}

std::array<int32_t, 15> ToWord(uint32_t value) {
  std::array<int32_t, 15> word{};
  for (int i = 0; i < 15; ++i) word[i] = static_cast<int32_t>((value >> i) & 1u);
  return word;
}

uint32_t FromWord(const std::array<int32_t, 15>& word) {
  uint32_t value = 0;
  for (int i = 0; i < 15; ++i) value |= (word[i] != 0 ? 1u : 0u) << i;
  return value;
}

TEST(Bch15Encode, MatchesQrFormatInformationOnceMasked) {
  for (uint32_t data = 0; data < 32; ++data) {
    EXPECT_EQ(EncodeWord(data) ^ kQrFormatMask, kQrFormatInformation[data]) << "data " << data;
  }
}

TEST(Bch15Encode, LeavesDataBytesAlone) {
  std::array<uint8_t, 15> bits = {1, 0, 1, 1, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  Bch15Encode(bits);
  EXPECT_EQ(bits[0], 1);
  EXPECT_EQ(bits[1], 0);
  EXPECT_EQ(bits[2], 1);
  EXPECT_EQ(bits[3], 1);
  EXPECT_EQ(bits[4], 0);
  for (int k = 5; k < 15; ++k) EXPECT_LE(bits[k], 1);
}

// Every codeword with every pattern of up to three flipped bits (32 x 576 cases).
TEST(Bch15Correct, CorrectsEveryPatternOfUpToThreeErrors) {
  for (uint32_t data = 0; data < 32; ++data) {
    const uint32_t codeword = EncodeWord(data);
    for (uint32_t pattern = 0; pattern < (1u << 15); ++pattern) {
      const int flips = std::popcount(pattern);
      if (flips > 3) continue;
      std::array<int32_t, 15> word = ToWord(codeword ^ pattern);
      ASSERT_EQ(Bch15Correct(word), 1) << "data " << data << " pattern " << pattern;
      ASSERT_EQ(FromWord(word), codeword) << "data " << data << " pattern " << pattern;
    }
  }
}

// Four or more errors: either refused or moved onto a codeword at most three bits
// away, never reported as corrected while still damaged.
TEST(Bch15Correct, MoreErrorsAreRefusedOrLandOnACodeword) {
  const uint32_t codeword = EncodeWord(0b10110);
  int refused = 0;
  for (uint32_t pattern = 0; pattern < (1u << 15); ++pattern) {
    if (std::popcount(pattern) < 4) continue;
    const uint32_t received = codeword ^ pattern;
    std::array<int32_t, 15> word = ToWord(received);
    if (Bch15Correct(word) == 1) {
      const uint32_t corrected = FromWord(word);
      ASSERT_EQ(EncodeWord(corrected >> 10), corrected) << "pattern " << pattern;
      ASSERT_LE(std::popcount(corrected ^ received), 3) << "pattern " << pattern;
    } else {
      ++refused;
    }
  }
  EXPECT_GT(refused, 0);
}

TEST(Bch15Correct, NonZeroValuesCountAsOne) {
  std::array<int32_t, 15> word = ToWord(EncodeWord(0b01101));
  for (auto& v : word) v *= 7;
  EXPECT_EQ(Bch15Correct(word), 1);
}

// Bytes in the generator's order: data bits x^10..x^14 first, then x^0..x^9.
TEST(Bch15CorrectBytes, CorrectsGeneratorOrder) {
  for (uint32_t data = 0; data < 32; ++data) {
    std::array<uint8_t, 15> clean{};
    for (int i = 0; i < 5; ++i) clean[i] = static_cast<uint8_t>((data >> i) & 1u);
    Bch15Encode(clean);
    std::array<uint8_t, 15> bits = clean;
    bits[(data % 5)] ^= 1;       // a data bit
    bits[5 + data % 10] ^= 1;    // a check bit
    bits[14 - data % 4] ^= 1;    // another check bit (x^9..x^6)
    ASSERT_EQ(Bch15CorrectBytes(bits), 1) << "data " << data;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bits[i], clean[i]) << "data " << data;
  }
}

TEST(Bch15CorrectBytes, RefusedWordLeavesBytesUntouched) {
  // Five flips: the data bits x^10..x^13 and x^0 of the all-zero codeword.
  std::array<uint8_t, 15> bits = {1, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::array<uint8_t, 15> before = bits;
  EXPECT_EQ(Bch15CorrectBytes(bits), 0);
  EXPECT_EQ(bits, before);
}

}  // namespace
}  // namespace cordavex
