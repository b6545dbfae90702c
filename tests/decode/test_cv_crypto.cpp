#include "decode/cv_crypto.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/classify.h"
#include "content/decode_summary.h"
#include "cordavex/cordavex_code.h"
#include "support/cv_symbols.h"

namespace cordavex {
namespace {

std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::vector<uint8_t> Counting(int n) {
  std::vector<uint8_t> v(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  return v;
}

// FIPS-197 appendix C.1 (AES-128) and C.3 (AES-256): a password of exactly the
// key's bytes gives the key itself.
TEST(CvCrypto, Fips197Vectors) {
  struct Case {
    int keyBytes;
    const char* cipher;
  };
  const Case cases[] = {{16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
                        {32, "8ea2b7ca516745bfeafc49904b496089"}};
  for (const Case& c : cases) {
    const std::vector<uint8_t> password = Counting(c.keyBytes);
    std::vector<uint8_t> data = Hex("00112233445566778899aabbccddeeff");
    int length = 16;
    uint8_t check = 0;
    ASSERT_EQ(EncryptContent(password, data, length, check), 1);
    EXPECT_EQ(length, 16);
    EXPECT_EQ(data, Hex(c.cipher)) << c.keyBytes;
    uint8_t back = 1;
    ASSERT_EQ(DecipherBlocks(password, data, length, back), 1);
    EXPECT_EQ(data, Hex("00112233445566778899aabbccddeeff"));
    EXPECT_EQ(back, check);
  }
}

// 16 bytes of password select AES-128, 17 AES-256 over the zero-filled key.
TEST(CvCrypto, PasswordLengthSelectsTheKey) {
  for (int n : {1, 15, 16, 17, 31, 32}) {
    const std::vector<uint8_t> password(static_cast<size_t>(n), 'k');
    std::vector<uint8_t> data(16, 'p');
    int length = 16;
    uint8_t check = 0;
    ASSERT_EQ(EncryptContent(password, data, length, check), 1);
    std::vector<uint8_t> key(n < 17 ? 16 : 32, 0);
    std::copy(password.begin(), password.end(), key.begin());
    ASSERT_EQ(DecipherBlocks(key, data, length, check), 1) << n;
    EXPECT_EQ(data, std::vector<uint8_t>(16, 'p')) << n;
  }
  // Too long or empty passwords never reach the cipher.
  std::vector<uint8_t> data(16, 0);
  int length = 16;
  uint8_t check = 0;
  EXPECT_EQ(EncryptContent(std::vector<uint8_t>(33, 'k'), data, length, check), 0);
  EXPECT_EQ(EncryptContent({}, data, length, check), 0);
  EXPECT_EQ(DecipherBlocks(std::vector<uint8_t>(17, 'k'), data, length, check), 0);
}

TEST(CvCrypto, PaddingAndCheckByte) {
  const std::vector<uint8_t> plain = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9',
                                      'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'};
  uint8_t expected = 0;
  for (uint8_t b : plain) expected ^= b;
  std::vector<uint8_t> data(plain);
  data.resize(32, 0xEE);
  int length = 20;
  uint8_t check = 0;
  const std::vector<uint8_t> password = {'p', 'w'};
  ASSERT_EQ(EncryptContent(password, data, length, check), 1);
  EXPECT_EQ(length, 32);
  EXPECT_EQ(check, expected);
  // The zero fill, not what the buffer held, is what was enciphered.
  std::vector<uint8_t> key(16, 0);
  key[0] = 'p';
  key[1] = 'w';
  uint8_t back = 0;
  ASSERT_EQ(DecipherBlocks(key, data, length, back), 1);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 20), plain);
  EXPECT_EQ(std::vector<uint8_t>(data.begin() + 20, data.end()), std::vector<uint8_t>(12, 0));
  EXPECT_EQ(back, expected);

  std::vector<uint8_t> zeros(16, 0);
  length = 16;
  ASSERT_EQ(EncryptContent(password, zeros, length, check), 1);
  EXPECT_EQ(check, 0);
  // A buffer that cannot hold the padded length is refused untouched.
  std::vector<uint8_t> small(20, 'x');
  length = 20;
  EXPECT_EQ(EncryptContent(password, small, length, check), 0);
  EXPECT_EQ(length, 20);
}

std::vector<uint8_t> Password(const std::string& p) {
  std::vector<uint8_t> v(p.size() + 1);
  v[0] = static_cast<uint8_t>(p.size());
  for (size_t i = 0; i < p.size(); ++i) v[i + 1] = static_cast<uint8_t>(p[i]);
  return v;
}

TEST(CvCrypto, EncryptedKindsRoundTripThroughTheSymbol) {
  const std::string secret = "Meet at noon, gate 7. 密碼";
  const std::vector<uint8_t> secretBytes(secret.begin(), secret.end());
  const std::vector<uint8_t> key = {'o', 'p', 'e', 'n', ' ', 's', 'e', 's', 'a', 'm', 'e'};
  const std::u16string plainPart = u"Note: 中文 ok";
  for (int kind : {kCordavexEncrypted, kCordavexTextEncrypted}) {
    CordavexInput input;
    input.key = key;
    if (kind == kCordavexEncrypted) {
      input.data = secretBytes;
    } else {
      input.text = plainPart;
      input.secondData = secretBytes;
    }
    const test::CvSymbol s = test::GenerateCv(kind, 13, 1, input);
    ASSERT_EQ(s.status, 1) << kind;
    const test::CvDecoded d = test::DecodeCv(s.Matrix(), s.side);
    ASSERT_EQ(d.status, 1) << kind;
    EXPECT_EQ(d.contentKind, kCvPayloadBinary);
    EXPECT_EQ(d.information.hasFunction, 1);
    EXPECT_EQ(d.information.byteCount, 32);
    ASSERT_GE(d.record.size(), 6u);
    ASSERT_EQ(d.record[0], 'D');
    ASSERT_EQ(d.record[1], ':');

    // As the result handler meets it: classified, the bytes one per unit in
    // the raw text and the side information in the key area.
    std::array<uint8_t, kDecodedTextBytes> buffer{};
    std::array<uint8_t, kSecondStringBytes> second{};
    std::copy(d.bytes.begin(), d.bytes.end(), buffer.begin());
    std::copy(d.record.begin(), d.record.end(), second.begin());
    ClassifyInput classify;
    classify.summary.contentKind = d.contentKind;
    classify.summary.text = buffer.data();
    classify.summary.secondString = second.data();
    classify.lockedKind = kLockCordavex3;
    auto record = std::make_unique<ScanResult>();
    ClassifyResult(classify, *record);
    ASSERT_EQ(record->contentType, kTypeEncrypted);
    std::span<char16_t> content(record->rawText(), 736);
    std::span<const char16_t> side(record->keyArea(), ScanResult::kKeyAreaUnits - 1);
    EncryptedPart target;
    const int hasPlain = LocateEncryptedPart(content, side, target);
    EXPECT_EQ(hasPlain, kind == kCordavexTextEncrypted ? 1 : 0);
    EXPECT_EQ(target.length, 32);
    if (hasPlain == 1) {
      EXPECT_EQ(std::u16string(content.data()), plainPart);
    }

    std::array<char16_t, kDecryptedTextUnits> text{};
    // A wrong password shows in the check byte and spoils nothing.
    EXPECT_EQ(DecryptContent(Password("open sesame!"), text, target), 0);
    EXPECT_EQ(DecryptContent(Password(""), text, target), 0);
    ASSERT_EQ(DecryptContent(Password("open sesame"), text, target), 1);
    EXPECT_EQ(std::u16string(text.data()), u"Meet at noon, gate 7. 密碼");
  }
}

// Kind 4's text and enciphered bytes must stay within the 736 bytes a result
// record keeps of binary content, else the enciphered part would be cut off.
TEST(CvCrypto, TextAndEncryptedPartWithinTheRecord) {
  const std::vector<uint8_t> key = {'k'};
  const std::vector<uint8_t> secret(16, 's');
  for (const auto& [units, status] : {std::pair{360, 1}, std::pair{361, 0}}) {
    const std::u16string digits(static_cast<size_t>(units), u'7');
    CordavexInput input;
    input.text = digits;
    input.secondData = secret;
    input.key = key;
    EXPECT_EQ(test::GenerateCv(kCordavexTextEncrypted, 13, 0, input).status, status) << units;
  }
}

TEST(CvCrypto, SideInformationOutsideTheContent) {
  std::vector<char16_t> content(64, 'x');
  EncryptedPart target;
  // Length 100 in one digit, offset 0.
  const std::vector<char16_t> tooLong = {'D', ':', 0, 1, 100, 1, 0};
  EXPECT_EQ(LocateEncryptedPart(content, tooLong, target), 0);
  EXPECT_EQ(target.data, nullptr);
  // A digit count running past the side information.
  const std::vector<char16_t> truncated = {'D', ':', 0, 5, 1};
  EXPECT_EQ(LocateEncryptedPart(content, truncated, target), 0);
  EXPECT_EQ(target.data, nullptr);
}

}  // namespace
}  // namespace cordavex
