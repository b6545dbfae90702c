#include "cordavex/payload_cipher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace cordavex {
namespace {

std::span<const uint8_t> Key(std::string_view key = kPayloadKey) {
  return {reinterpret_cast<const uint8_t*>(key.data()), key.size()};
}

std::vector<uint8_t> Encipher(const std::vector<uint8_t>& plain, std::string_view key = kPayloadKey) {
  const int size = EncipherPayload(plain, Key(key), {});
  std::vector<uint8_t> out(static_cast<size_t>(std::max(size, 0)));
  EXPECT_EQ(EncipherPayload(plain, Key(key), out), size);
  return out;
}

TEST(PayloadCipher, RoundTripEveryLength) {
  std::mt19937 rng(5831);
  std::vector<uint8_t> back(kPayloadMaxBytes);
  for (int length = 1; length <= kPayloadMaxPlainBytes; ++length) {
    std::vector<uint8_t> plain(static_cast<size_t>(length));
    for (auto& b : plain) b = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> cipher = Encipher(plain);
    ASSERT_EQ(cipher.size(), static_cast<size_t>(4 * ((length + 3) / 4 + 1))) << length;
    ASSERT_EQ(DecipherPayload(cipher, Key(), back), length) << length;
    ASSERT_EQ(std::vector<uint8_t>(back.begin(), back.begin() + length), plain) << length;
  }
}

TEST(PayloadCipher, Sizes) {
  struct Case {
    int length;
    int words;
  };
  for (const Case c : {Case{1, 2}, Case{4, 2}, Case{5, 3}, Case{8, 3}, Case{1020, 256}}) {
    const std::vector<uint8_t> plain(static_cast<size_t>(c.length), 'a');
    EXPECT_EQ(EncipherPayload(plain, Key(), {}), 4 * c.words) << c.length;
  }
  const std::vector<uint8_t> one = {0};
  const std::vector<uint8_t> cipher = Encipher(one);
  EXPECT_EQ(cipher.size(), 8u);
  EXPECT_EQ(FormatPayloadText(cipher).size(), 24u);
  // Refused: nothing to encipher, more than the main program reads, too small an output.
  std::vector<uint8_t> out(8);
  EXPECT_EQ(EncipherPayload({}, Key(), out), 0);
  EXPECT_EQ(EncipherPayload(std::vector<uint8_t>(1021, 'a'), Key(), {}), 0);
  EXPECT_EQ(EncipherPayload(std::vector<uint8_t>(5, 'a'), Key(), out), 0);
}

// The round function's grouping is part of the format (the published XXTEA
// grouping gives other bytes). Expected bytes from a separate transcription of
// the written cipher steps.
TEST(PayloadCipher, PinnedBytes) {
  const std::string card = "BEGIN:VCARD\r\nN:Doe;John\r\nEND:VCARD\r\n";
  std::vector<uint8_t> plain(card.begin(), card.end());
  plain.push_back(0);
  const std::vector<uint8_t> cipher = Encipher(plain);
  EXPECT_EQ(FormatPayloadText(cipher),
            "28 81 77 f1 80 b2 8b 69 6a 77 ea 93 a8 88 4f 94 00 a2 46 f4 22 b4 0f 2a 5c 0e "
            "aa 5e c0 0c 9b 66 20 1c 49 53 2f 88 d2 5e 89 75 0f 23 ");
  std::vector<uint8_t> back(64);
  ASSERT_EQ(DecipherPayload(cipher, Key(), back), static_cast<int>(plain.size()));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.data())), card);
}

TEST(PayloadCipher, AnotherKeyFailsTheLengthCheck) {
  std::vector<uint8_t> back(kPayloadMaxBytes);
  for (int length = 1; length <= 300; ++length) {
    const std::vector<uint8_t> plain(static_cast<size_t>(length), 'x');
    const std::vector<uint8_t> cipher = Encipher(plain, "1234");
    EXPECT_EQ(DecipherPayload(cipher, Key(), back), 0) << length;
  }
}

TEST(PayloadCipher, DecipherRefusesWhatDoesNotFit) {
  const std::vector<uint8_t> plain(40, 'q');
  const std::vector<uint8_t> cipher = Encipher(plain);
  std::vector<uint8_t> small(39);
  EXPECT_EQ(DecipherPayload(cipher, Key(), small), 0);
  EXPECT_EQ(DecipherPayload({}, Key(), small), 0);
  std::vector<uint8_t> none;
  EXPECT_EQ(DecipherPayload(cipher, Key(), none), 0);
  // Missing words: the stored length no longer fits what is there.
  std::vector<uint8_t> big(64);
  EXPECT_EQ(DecipherPayload(std::span(cipher).first(12), Key(), big), 0);
  EXPECT_EQ(DecipherPayload(std::vector<uint8_t>(4, 0x55), Key(), big), 0);
  EXPECT_EQ(DecipherPayload(std::vector<uint8_t>(1025, 0x55), Key(), big), 0);
}

TEST(PayloadCipher, CommandLineText) {
  EXPECT_EQ(FormatPayloadText(std::vector<uint8_t>{0x0A, 0xFF, 0x10}), "0a ff 10 ");
  struct Case {
    const char* text;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {"0a ff 10 ", {0x0A, 0xFF, 0x10}},
      {"  0A\tfF  1 ", {0x0A, 0xFF, 0x01}},
      {"abc 12zz zz", {0xAB, 0x12, 0x00}},  // at most two digits; the rest ignored
      {"   ", {}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(8);
    const int n = ReadPayloadText(c.text, bytes);
    ASSERT_EQ(n, static_cast<int>(c.bytes.size())) << c.text;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + n), c.bytes) << c.text;
  }
  std::vector<uint8_t> two(2);
  EXPECT_EQ(ReadPayloadText("01 02 03", two), -1);
}

}  // namespace
}  // namespace cordavex
