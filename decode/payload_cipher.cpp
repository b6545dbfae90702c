#include "cordavex/payload_cipher.h"

#include <algorithm>

namespace cordavex {
namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr int kKeyWords = 4;  // the round function reads words 0..3 only
constexpr int kMaxWords = kPayloadMaxBytes / 4;

uint32_t LoadWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void StoreWord(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// Key bytes packed little-endian, zero-padded; longer keys keep their first
// 16 bytes' words, the only ones the rounds read.
void PackKey(std::span<const uint8_t> key, uint32_t (&k)[kKeyWords]) {
  std::fill(std::begin(k), std::end(k), 0u);
  for (size_t i = 0; i < key.size() && i < 4 * kKeyWords; ++i) {
    k[i / 4] |= static_cast<uint32_t>(key[i]) << (8 * (i % 4));
  }
}

uint32_t Mx(uint32_t y, uint32_t z, uint32_t sum, uint32_t p, uint32_t e, const uint32_t (&k)[kKeyWords]) {
  return ((y >> 3) ^ (z << 4) ^ y ^ sum) + ((y << 2) ^ (z >> 5)) + (k[(p & 3) ^ e] ^ z);
}

void Encipher(uint32_t* v, int n, const uint32_t (&k)[kKeyWords]) {
  if (n < 2) return;
  const int rounds = 6 + 52 / n;
  uint32_t sum = 0;
  uint32_t z = v[n - 1];
  for (int round = 0; round < rounds; ++round) {
    sum += kDelta;
    const uint32_t e = (sum >> 2) & 3;
    for (int p = 0; p < n - 1; ++p) {
      const uint32_t y = v[p + 1];
      v[p] += Mx(y, z, sum, static_cast<uint32_t>(p), e, k);
      z = v[p];
    }
    const uint32_t y = v[0];
    v[n - 1] += Mx(y, z, sum, static_cast<uint32_t>(n - 1), e, k);
    z = v[n - 1];
  }
}

void Decipher(uint32_t* v, int n, const uint32_t (&k)[kKeyWords]) {
  if (n < 2) return;
  const uint32_t rounds = static_cast<uint32_t>(6 + 52 / n);
  uint32_t sum = rounds * kDelta;
  uint32_t y = v[0];
  while (sum != 0) {
    const uint32_t e = (sum >> 2) & 3;
    for (int p = n - 1; p > 0; --p) {
      const uint32_t z = v[p - 1];
      v[p] -= Mx(y, z, sum, static_cast<uint32_t>(p), e, k);
      y = v[p];
    }
    const uint32_t z = v[n - 1];
    v[0] -= Mx(y, z, sum, 0, e, k);
    y = v[0];
    sum -= kDelta;
  }
}

}  // namespace

int EncipherPayload(std::span<const uint8_t> plain, std::span<const uint8_t> key,
                    std::span<uint8_t> output) {
  if (plain.empty() || plain.size() > static_cast<size_t>(kPayloadMaxPlainBytes)) return 0;
  const int length = static_cast<int>(plain.size());
  const int n = (length + 3) / 4 + 1;
  const int needed = 4 * n;
  if (output.data() == nullptr || output.empty()) return needed;
  if (static_cast<int>(output.size()) < needed) return 0;
  uint32_t words[kMaxWords] = {};
  for (int i = 0; i < length; ++i) {
    words[i / 4] |= static_cast<uint32_t>(plain[static_cast<size_t>(i)]) << (8 * (i % 4));
  }
  words[n - 1] = static_cast<uint32_t>(length);
  uint32_t k[kKeyWords];
  PackKey(key, k);
  Encipher(words, n, k);
  for (int i = 0; i < n; ++i) StoreWord(output.data() + 4 * i, words[i]);
  return needed;
}

int DecipherPayload(std::span<const uint8_t> cipher, std::span<const uint8_t> key,
                    std::span<uint8_t> output) {
  if (cipher.empty() || output.data() == nullptr || output.empty() ||
      cipher.size() > static_cast<size_t>(kPayloadMaxBytes)) {
    return 0;
  }
  const int m = static_cast<int>(cipher.size());
  const int n = (m + 3) / 4;
  uint32_t words[kMaxWords] = {};
  uint8_t last[4] = {};
  for (int i = 0; i < n; ++i) {
    const int at = 4 * i;
    if (at + 4 <= m) {
      words[i] = LoadWord(cipher.data() + at);
    } else {
      std::copy(cipher.begin() + at, cipher.end(), last);
      words[i] = LoadWord(last);
    }
  }
  uint32_t k[kKeyWords];
  PackKey(key, k);
  Decipher(words, n, k);
  const uint32_t length = words[n - 1];
  // The plaintext lies in the words before the length word.
  if (length < 1 || length > output.size() || length > 4u * static_cast<uint32_t>(n - 1)) return 0;
  for (uint32_t i = 0; i < length; ++i) {
    output[i] = static_cast<uint8_t>(words[i / 4] >> (8 * (i % 4)));
  }
  return static_cast<int>(length);
}

std::string FormatPayloadText(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(3 * bytes.size());
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 15]);
    text.push_back(' ');
  }
  return text;
}

int ReadPayloadText(std::string_view text, std::span<uint8_t> bytes) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  int count = 0;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && blank(text[i])) ++i;
    if (i >= text.size()) break;
    const size_t start = i;
    while (i < text.size() && !blank(text[i])) ++i;
    if (count >= static_cast<int>(bytes.size())) return -1;
    // As "%2x" reads it: up to two digits, the rest of the token ignored.
    int value = 0;
    for (size_t j = start; j < i && j < start + 2; ++j) {
      const int d = digit(text[j]);
      if (d < 0) break;
      value = value * 16 + d;
    }
    bytes[static_cast<size_t>(count++)] = static_cast<uint8_t>(value);
  }
  return count;
}

}  // namespace cordavex
