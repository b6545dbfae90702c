// Reed-Solomon block correction and Cordavex code parity generation.
#include "decode/reed_solomon.h"

#include <cstring>

namespace cordavex {
namespace {

constexpr int kFieldOrder = 255;  // non-zero elements of GF(256)

// exp[i + 1] = exp[i] * x mod p(x), starting from exp[0] = 1.
constexpr GaloisField MakeField(unsigned polynomial) {
  GaloisField f{};
  unsigned v = 1;
  for (int i = 0; i < kFieldOrder; ++i) {
    f.exp[i] = static_cast<uint8_t>(v);
    f.exp[i + kFieldOrder] = static_cast<uint8_t>(v);
    f.log[v] = static_cast<uint8_t>(i);
    v <<= 1;
    if (v & 0x100u) v ^= polynomial;
  }
  return f;
}

constexpr GaloisField kField11D = MakeField(0x11D);  // QR code, Cordavex code
constexpr GaloisField kField12D = MakeField(0x12D);  // Data Matrix

uint8_t Mul(const GaloisField& f, uint8_t a, uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return f.exp[f.log[a] + f.log[b]];
}

// a / b with b non-zero.
uint8_t Div(const GaloisField& f, uint8_t a, uint8_t b) {
  if (a == 0) return 0;
  return f.exp[f.log[a] + kFieldOrder - f.log[b]];
}

// v * alpha^k for 0 <= k < 255.
uint8_t MulAlphaPower(const GaloisField& f, uint8_t v, int k) {
  if (v == 0) return 0;
  return f.exp[f.log[v] + k];
}

// poly(alpha^k) for a polynomial stored lowest degree first.
uint8_t EvaluateAt(const GaloisField& f, const uint8_t* poly, int degree, int k) {
  k %= kFieldOrder;
  uint8_t s = 0;
  for (int i = degree; i >= 0; --i) s = MulAlphaPower(f, s, k) ^ poly[i];
  return s;
}

int FirstRoot(int32_t variant) { return variant == kRsQrCode ? 0 : 1; }

// S_i = R(alpha^(b+i)) by Horner's rule over the block, element 0 first. The
// E evaluations advance together, codeword by codeword, so that their table
// look-ups do not wait on one another. Returns true when every syndrome is zero.
bool ComputeSyndromes(RsContext& c) {
  const GaloisField& f = *c.field;
  const int b = FirstRoot(c.variant);
  uint8_t* s = c.syndromes;
  std::memset(s, 0, static_cast<size_t>(c.checkCount));
  for (int k = 0; k < c.n; ++k) {
    const uint8_t r = static_cast<uint8_t>(c.block[k]);
    for (int i = 0; i < c.checkCount; ++i) s[i] = MulAlphaPower(f, s[i], b + i) ^ r;
  }
  uint8_t any = 0;
  for (int i = 0; i < c.checkCount; ++i) any |= s[i];
  return any == 0;
}

// Berlekamp-Massey from the locator 1 (no erasures). Returns the degree of the
// error locator left in c.locator.
int BerlekampMassey(RsContext& c) {
  const GaloisField& f = *c.field;
  uint8_t* lambda = c.locator;
  uint8_t* prev = c.previous;
  lambda[0] = 1;
  prev[0] = 1;
  int length = 0;  // L, the register length
  int shift = 1;   // powers of x since prev was last replaced
  uint8_t lastDiscrepancy = 1;
  for (int r = 0; r < c.checkCount; ++r) {
    uint8_t d = c.syndromes[r];
    for (int i = 1; i <= length; ++i) d ^= Mul(f, lambda[i], c.syndromes[r - i]);
    if (d == 0) {
      ++shift;
      continue;
    }
    const uint8_t factor = Div(f, d, lastDiscrepancy);
    const bool lengthens = 2 * length <= r;
    if (lengthens) std::memcpy(c.scratch, lambda, sizeof(c.scratch));
    // Lambda -= factor * x^shift * prev. prev has degree E at most, and the
    // sum stays inside the 136-entry arrays.
    for (int i = 0; i <= c.checkCount && i + shift < kRsPolynomialLength; ++i) {
      lambda[i + shift] ^= Mul(f, factor, prev[i]);
    }
    if (lengthens) {
      length = r + 1 - length;
      std::memcpy(prev, c.scratch, sizeof(c.scratch));
      lastDiscrepancy = d;
      shift = 1;
    } else {
      ++shift;
    }
  }
  int degree = kRsPolynomialLength - 1;
  while (degree > 0 && lambda[degree] == 0) --degree;
  return degree;
}

}  // namespace

const GaloisField& RsField(int32_t variant) {
  return variant == kRsDataMatrix ? kField12D : kField11D;
}

void RsInit(RsContext& context, int32_t* block, int32_t n, int32_t checkCount) {
  context.block = block;
  context.n = n;
  context.checkCount = checkCount;
  context.positionCount = 0;
  std::memset(context.syndromes, 0, sizeof(context.syndromes));
  std::memset(context.locator, 0, sizeof(context.locator));
  std::memset(context.evaluator, 0, sizeof(context.evaluator));
  std::memset(context.previous, 0, sizeof(context.previous));
  std::memset(context.scratch, 0, sizeof(context.scratch));
  const bool known = context.variant == kRsCordavexCode || context.variant == kRsQrCode ||
                     context.variant == kRsDataMatrix;
  context.field = known ? &RsField(context.variant) : nullptr;
}

int RsCorrect(RsContext& c) {
  c.failure = Failure::kRsArguments;
  if (c.checkCount > kRsMaxCheck) return 0;
  if (c.field == nullptr || c.block == nullptr || c.checkCount < 0 || c.n < 1 ||
      c.n > kRsMaxBlock || c.checkCount > c.n) {
    return 0;
  }
  for (int k = 0; k < c.n; ++k) {
    if (c.block[k] < 0 || c.block[k] > 255) return 0;
  }
  c.failure = Failure::kNone;
  if (ComputeSyndromes(c)) return 1;

  const GaloisField& f = *c.field;
  const int degree = BerlekampMassey(c);
  c.failure = Failure::kRsTooManyErrors;
  if (degree < 1 || degree > c.checkCount) return 0;

  // Omega = S(x) Lambda(x) mod x^E.
  for (int k = 0; k < c.checkCount; ++k) {
    uint8_t v = 0;
    for (int i = 0; i <= k && i <= degree; ++i) v ^= Mul(f, c.syndromes[k - i], c.locator[i]);
    c.evaluator[k] = v;
  }

  // Chien search: Lambda(alpha^j) = 0 marks an error at x^(255 - j). Only the
  // positions inside the block are searched; a locator of degree L that does not
  // vanish at L of them has roots beyond a shortened block (or outside the
  // field) and cannot describe the errors.
  // Each term Lambda_i alpha^(i j) is carried from one j to the next as a
  // logarithm that grows by i (-1 for a zero coefficient).
  const int firstJ = kFieldOrder + 1 - c.n;
  int16_t termLog[kRsPolynomialLength];
  for (int i = 0; i <= degree; ++i) {
    termLog[i] = c.locator[i] == 0
                     ? int16_t{-1}
                     : static_cast<int16_t>((f.log[c.locator[i]] + i * firstJ) % kFieldOrder);
  }
  c.failure = Failure::kRsLocatorRoots;
  c.positionCount = 0;
  for (int j = firstJ; j <= kFieldOrder; ++j) {
    uint8_t sum = 0;
    for (int i = 0; i <= degree; ++i) {
      if (termLog[i] < 0) continue;
      sum ^= f.exp[termLog[i]];
      termLog[i] = static_cast<int16_t>(termLog[i] + i);
      if (termLog[i] >= kFieldOrder) termLog[i] = static_cast<int16_t>(termLog[i] - kFieldOrder);
    }
    if (sum != 0) continue;
    if (c.positionCount == degree) return 0;
    c.positions[c.positionCount++] = static_cast<uint8_t>(kFieldOrder - j);
  }
  if (c.positionCount != degree) return 0;

  // Forney: e = X^(1-b) Omega(X^-1) / Lambda'(X^-1) with X = alpha^p. The
  // formal derivative keeps the odd-degree terms only.
  const int b = FirstRoot(c.variant);
  for (int e = 0; e < c.positionCount; ++e) {
    const int p = c.positions[e];
    const int inverse = (kFieldOrder - p) % kFieldOrder;  // X^-1 = alpha^inverse
    const uint8_t omega = EvaluateAt(f, c.evaluator, c.checkCount - 1, inverse);
    uint8_t derivative = 0;
    for (int i = 1; i <= degree; i += 2) {
      derivative ^= MulAlphaPower(f, c.locator[i], ((i - 1) * inverse) % kFieldOrder);
    }
    if (derivative == 0) return 0;  // a repeated root: the positions are not distinct errors
    if (b == 0) derivative = MulAlphaPower(f, derivative, inverse);
    const uint8_t value = Div(f, omega, derivative);
    c.block[c.n - 1 - p] ^= value;
  }

  if (!ComputeSyndromes(c)) {
    c.failure = Failure::kRsResidual;
    return 0;
  }
  c.failure = Failure::kNone;
  return 1;
}

int RsMakeGenerator(RsGenerator& g, int32_t variant, int32_t checkCount) {
  if (variant < kRsCordavexCode || variant > kRsDataMatrix) return 0;
  if (checkCount < 1 || checkCount > kRsMaxCheck) return 0;
  const GaloisField& f = RsField(variant);
  const int b = FirstRoot(variant);
  g = RsGenerator{};
  g.variant = variant;
  g.checkCount = checkCount;
  g.coefficients[0] = 1;
  for (int i = 0; i < checkCount; ++i) {
    // Multiply by (x + alpha^(b+i)).
    const int power = b + i;
    for (int k = i + 1; k >= 1; --k) {
      g.coefficients[k] = g.coefficients[k - 1] ^ MulAlphaPower(f, g.coefficients[k], power);
    }
    g.coefficients[0] = MulAlphaPower(f, g.coefficients[0], power);
  }
  return 1;
}

void RsEncode(const RsGenerator& g, std::span<const uint8_t> data, std::span<uint8_t> check) {
  const int e = g.checkCount;
  if (e < 1 || e > kRsMaxCheck || check.size() < static_cast<size_t>(e)) return;
  const GaloisField& f = RsField(g.variant);
  // A shift register: remainder[k] is the coefficient of x^k of the remainder so
  // far. Each product is looked up through the logarithm of the feedback once.
  uint8_t remainder[kRsMaxCheck] = {};
  for (const uint8_t d : data) {
    const uint8_t feedback = d ^ remainder[e - 1];
    if (feedback == 0) {
      for (int k = e - 1; k >= 1; --k) remainder[k] = remainder[k - 1];
      remainder[0] = 0;
      continue;
    }
    const int logFeedback = f.log[feedback];
    for (int k = e - 1; k >= 1; --k) {
      const uint8_t c = g.coefficients[k];
      remainder[k] = remainder[k - 1] ^ (c == 0 ? 0 : f.exp[logFeedback + f.log[c]]);
    }
    const uint8_t c0 = g.coefficients[0];
    remainder[0] = c0 == 0 ? 0 : f.exp[logFeedback + f.log[c0]];
  }
  for (int k = 0; k < e; ++k) check[static_cast<size_t>(k)] = remainder[e - 1 - k];
}

int RsEncodeBlocks(std::span<uint8_t> buffer, int32_t dataLength, int32_t checkLength,
                   int32_t symbolBits, int32_t blockCount) {
  if (symbolBits != 8) return 0;
  if (blockCount < 1 || dataLength < 0 || checkLength < 0) return 0;
  if (checkLength % blockCount != 0) return 0;
  const int check = checkLength / blockCount;
  const int shortData = dataLength / blockCount;
  const int longBlocks = dataLength % blockCount;
  if (shortData + (longBlocks > 0 ? 1 : 0) + check > kRsMaxBlock) return 0;
  if (buffer.size() < static_cast<size_t>(dataLength) + static_cast<size_t>(checkLength)) return 0;
  if (check == 0) return 1;
  RsGenerator generator;
  if (!RsMakeGenerator(generator, kRsCordavexCode, check)) return 0;

  size_t offset = 0;
  for (int block = 0; block < blockCount; ++block) {
    const size_t length = static_cast<size_t>(shortData + (block < longBlocks ? 1 : 0));
    RsEncode(generator, buffer.subspan(offset, length),
             buffer.subspan(static_cast<size_t>(dataLength) + static_cast<size_t>(block * check),
                            static_cast<size_t>(check)));
    offset += length;
  }
  return 1;
}

}  // namespace cordavex
