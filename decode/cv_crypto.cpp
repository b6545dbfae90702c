#include "decode/cv_crypto.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

#include "decode/charset.h"

namespace cordavex {
namespace {

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

// ECB over whole blocks, in place. keyBytes 16 or 32.
bool AesEcb(const uint8_t* key, int keyBytes, uint8_t* data, int blocks, bool encipher) {
  const EVP_CIPHER* cipher = keyBytes == 16 ? EVP_aes_128_ecb() : EVP_aes_256_ecb();
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) return false;
  if (EVP_CipherInit_ex(context.get(), cipher, nullptr, key, nullptr, encipher ? 1 : 0) != 1) {
    return false;
  }
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  for (int b = 0; b < blocks; ++b) {
    uint8_t* block = data + b * kAesBlockBytes;
    int written = 0;
    if (EVP_CipherUpdate(context.get(), block, &written, block, kAesBlockBytes) != 1 ||
        written != kAesBlockBytes) {
      return false;
    }
  }
  return true;
}

uint8_t XorOf(std::span<const uint8_t> bytes) {
  uint8_t x = 0;
  for (uint8_t b : bytes) x ^= b;
  return x;
}

// The password in a zeroed 32-byte buffer; the key length it selects.
int MakeKey(std::span<const uint8_t> password, uint8_t (&key)[kMaxPasswordBytes]) {
  std::fill(std::begin(key), std::end(key), uint8_t{0});
  std::copy(password.begin(), password.end(), key);
  return password.size() < 17 ? 16 : 32;
}

}  // namespace

int EncryptContent(std::span<const uint8_t> password, std::span<uint8_t> data, int& length,
                   uint8_t& checkByte) {
  if (password.empty() || password.size() > kMaxPasswordBytes || length < 0) return 0;
  const int padded = (length + kAesBlockBytes - 1) / kAesBlockBytes * kAesBlockBytes;
  if (padded > static_cast<int>(data.size())) return 0;
  const uint8_t check = XorOf(data.first(static_cast<size_t>(length)));
  uint8_t key[kMaxPasswordBytes];
  const int keyBytes = MakeKey(password, key);
  std::fill(data.begin() + length, data.begin() + padded, uint8_t{0});
  if (!AesEcb(key, keyBytes, data.data(), padded / kAesBlockBytes, true)) return 0;
  length = padded;
  checkByte = check;
  return 1;
}

int DecipherBlocks(std::span<const uint8_t> key, std::span<uint8_t> data, int length,
                   uint8_t& checkByte) {
  if ((key.size() != 16 && key.size() != 32) || length < 0 ||
      length > static_cast<int>(data.size())) {
    return 0;
  }
  if (!AesEcb(key.data(), static_cast<int>(key.size()), data.data(), length / kAesBlockBytes,
              false)) {
    return 0;
  }
  checkByte = XorOf(data.first(static_cast<size_t>(length)));
  return 1;
}

int LocateEncryptedPart(std::span<char16_t> content, std::span<const char16_t> sideInfo,
                        EncryptedPart& target) {
  target = {};
  // A base-128 number from its digit count at `at`; -1 when it runs past the
  // side information or overflows.
  const auto number = [&](size_t& at) -> int64_t {
    if (at >= sideInfo.size()) return -1;
    const int digits = sideInfo[at++];
    int64_t value = 0;
    for (int i = 0; i < digits; ++i, ++at) {
      if (at >= sideInfo.size() || i >= 4) return -1;
      value |= static_cast<int64_t>(sideInfo[at] & 0x7F) << (7 * i);
    }
    return value;
  };
  if (sideInfo.size() < 4) return 0;
  size_t at = 3;
  const int64_t length = number(at);
  const int64_t offset = number(at);
  const auto size = static_cast<int64_t>(content.size());
  if (length < 0 || offset < 0 || offset + length > size) return 0;
  target.checkByte = static_cast<uint8_t>(sideInfo[2]);
  target.length = static_cast<int>(length);
  target.data = content.data() + offset;
  if (offset == 0) return 0;
  // The plain part: little-endian byte pairs into units, then a zero unit; the
  // enciphered units behind it stay where they are.
  const int64_t units = offset / 2;
  for (int64_t i = 0; i < units; ++i) {
    content[static_cast<size_t>(i)] = static_cast<char16_t>((content[static_cast<size_t>(2 * i)] & 0xFF) |
                                                            ((content[static_cast<size_t>(2 * i + 1)] & 0xFF) << 8));
  }
  content[static_cast<size_t>(units)] = 0;
  return 1;
}

int DecryptContent(std::span<const uint8_t> password, std::span<char16_t> text,
                   const EncryptedPart& target) {
  std::fill(text.begin(), text.end(), char16_t{0});
  if (text.empty() || password.empty() || password[0] == 0 || password[0] > kMaxPasswordBytes ||
      static_cast<size_t>(password[0]) + 1 > password.size() || target.data == nullptr ||
      target.length < 0 || target.length > kDecryptedTextUnits) {
    return 0;
  }
  uint8_t key[kMaxPasswordBytes];
  const int keyBytes = MakeKey(password.subspan(1, password[0]), key);
  // Deciphered in a copy: a wrong password must not spoil the content for the
  // next attempt.
  uint8_t plain[kDecryptedTextUnits];
  for (int i = 0; i < target.length; ++i) plain[i] = static_cast<uint8_t>(target.data[i]);
  uint8_t check = 0;
  if (DecipherBlocks({key, static_cast<size_t>(keyBytes)}, {plain, sizeof plain}, target.length,
                     check) != 1 ||
      check != target.checkByte) {
    return 0;
  }
  const auto end = std::find(plain, plain + target.length, uint8_t{0});
  const std::span<const uint8_t> bytes(plain, static_cast<size_t>(end - plain));
  // The last unit stays zero.
  const size_t room = std::min(text.size(), static_cast<size_t>(kDecryptedTextUnits)) - 1;
  DecodeToUnicode(kCharsetGuess, bytes, text.first(room));
  return 1;
}

}  // namespace cordavex
