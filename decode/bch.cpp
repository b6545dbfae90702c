// BCH(15,5) correction by Peterson's direct solution over GF(16), and encoding.
#include "decode/bch.h"

#include <array>

namespace cordavex {
namespace {

constexpr int kLength = 15;  // also the order of GF(16)'s multiplicative group
constexpr int kZero = -1;    // the exponent that stands for the field's zero

// GF(16) from x^4 + x + 1: element i is alpha^i as a 4-bit vector, and the
// inverse table turns a vector back into its exponent.
struct Gf16 {
  std::array<uint8_t, kLength> vector{};
  std::array<int8_t, 16> exponent{};
};

constexpr Gf16 MakeGf16() {
  Gf16 g{};
  g.exponent[0] = kZero;
  unsigned v = 1;
  for (int i = 0; i < kLength; ++i) {
    g.vector[i] = static_cast<uint8_t>(v);
    g.exponent[v] = static_cast<int8_t>(i);
    v <<= 1;
    if (v & 0x10u) v ^= 0x13u;
  }
  return g;
}

constexpr Gf16 kGf16 = MakeGf16();

// Field elements are held as exponents; sums go through the vector form.
int Add(int a, int b) {
  const unsigned va = a == kZero ? 0 : kGf16.vector[a];
  const unsigned vb = b == kZero ? 0 : kGf16.vector[b];
  return kGf16.exponent[va ^ vb];
}
int Mul(int a, int b) { return (a == kZero || b == kZero) ? kZero : (a + b) % kLength; }
// a / b with b non-zero.
int Div(int a, int b) { return a == kZero ? kZero : (a - b + kLength) % kLength; }

struct Syndromes {
  int s1 = kZero, s3 = kZero, s5 = kZero;
  bool Zero() const { return s1 == kZero && s3 == kZero && s5 == kZero; }
};

// S1, S3, S5 over the positions with a set bit. S2 = S1^2 and S4 = S2^2 vanish
// exactly when S1 does, so they need no test of their own.
Syndromes ComputeSyndromes(std::span<const int32_t, 15> word) {
  Syndromes s;
  for (int i = 0; i < kLength; ++i) {
    if (word[i] == 0) continue;
    s.s1 = Add(s.s1, i);
    s.s3 = Add(s.s3, (3 * i) % kLength);
    s.s5 = Add(s.s5, (5 * i) % kLength);
  }
  return s;
}

}  // namespace

int Bch15Correct(std::span<int32_t, 15> word) {
  const Syndromes s = ComputeSyndromes(word);
  if (s.Zero()) return 1;

  const int s1Cubed = Mul(s.s1, Mul(s.s1, s.s1));
  const int denominator = Add(s1Cubed, s.s3);                      // S1^3 + S3
  const int numerator = Add(Mul(Mul(s.s1, s.s1), s.s3), s.s5);     // S1^2 S3 + S5
  const int sigma1 = s.s1;
  int sigma2 = kZero;
  int sigma3 = kZero;
  if (denominator != kZero) {
    sigma2 = Div(numerator, denominator);
    sigma3 = Add(denominator, Mul(s.s1, sigma2));
  } else if (numerator != kZero) {
    return 0;  // no locator of degree three or less fits: more than three errors
  }

  // An error at x^i makes 1 + sigma1 x + sigma2 x^2 + sigma3 x^3 vanish at alpha^-i.
  int flips = 0;
  for (int i = 0; i < kLength; ++i) {
    const int x = (kLength - i) % kLength;
    int v = 0;  // the exponent of 1
    v = Add(v, Mul(sigma1, x));
    v = Add(v, Mul(sigma2, (2 * x) % kLength));
    v = Add(v, Mul(sigma3, (3 * x) % kLength));
    if (v != kZero) continue;
    word[i] = word[i] == 0 ? 1 : 0;
    ++flips;
  }
  if (flips < 1 || flips > 3) return 0;
  // A locator with fewer roots than its degree flips too few bits to reach a
  // codeword; only a word that now checks is reported as corrected.
  return ComputeSyndromes(word).Zero() ? 1 : 0;
}

void Bch15Encode(std::span<uint8_t, 15> bits) {
  uint32_t data = 0;
  for (int i = 0; i < 5; ++i) data |= (bits[i] != 0 ? 1u : 0u) << i;
  const uint32_t v = BchRemainder(data, kBch15Generator, 10);
  for (int k = 0; k < 10; ++k) bits[5 + k] = static_cast<uint8_t>((v >> k) & 1u);
}

int Bch15CorrectBytes(std::span<uint8_t, 15> bits) {
  int32_t word[kLength];
  for (int i = 0; i < 5; ++i) word[10 + i] = bits[i] != 0 ? 1 : 0;
  for (int k = 0; k < 10; ++k) word[k] = bits[5 + k] != 0 ? 1 : 0;
  if (Bch15Correct(word) != 1) return 0;
  for (int i = 0; i < 5; ++i) bits[i] = static_cast<uint8_t>(word[10 + i]);
  return 1;
}

}  // namespace cordavex
