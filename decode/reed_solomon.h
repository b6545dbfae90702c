// Reed-Solomon error correction over GF(256), shared by every symbology: block
// correction (Berlekamp-Massey, Chien search, Forney) for QR code, Data Matrix and
// the Cordavex code, and parity generation for the Cordavex code generator.
//
// Ownership: the caller owns the RsContext and the block it points at; the field
// tables are constants. Nothing is allocated, neither while correcting nor while
// encoding.
// Threads: re-entrant with distinct contexts; the tables are read-only.
#pragma once

#include <cstdint>
#include <span>

#include "decode/failure.h"

namespace cordavex {

// Symbology variants: the field polynomial and the first consecutive root b of
// the generator, whose roots are alpha^b .. alpha^(b+E-1).
inline constexpr int32_t kRsCordavexCode = 0;  // 0x11D, b = 1
inline constexpr int32_t kRsQrCode = 1;        // 0x11D, b = 0 (ISO/IEC 18004)
inline constexpr int32_t kRsDataMatrix = 2;    // 0x12D, b = 1 (ISO/IEC 16022)

// Check codewords per block: the most any symbol this system reads or writes
// uses (a 48 x 48 Data Matrix symbol's single block).
inline constexpr int kRsMaxCheck = 68;
inline constexpr int kRsMaxBlock = 255;
inline constexpr int kRsPolynomialLength = 2 * kRsMaxCheck;

// GF(256) as exponent and logarithm tables. exp repeats after 255 entries so that
// exp[log a + log b] needs no reduction; log[0] is unused (zero operands are
// tested first).
struct GaloisField {
  uint8_t exp[510];
  uint8_t log[256];
};

// The field of a variant (0x12D for Data Matrix, 0x11D otherwise).
const GaloisField& RsField(int32_t variant);

// The decoder's working state, reused for every block. Set `variant` before
// RsInit; everything else is RsInit's and RsCorrect's.
struct RsContext {
  int32_t variant = kRsCordavexCode;
  int32_t* block = nullptr;  // n codewords, element 0 the coefficient of x^(n-1)
  int32_t n = 0;
  int32_t checkCount = 0;  // E, also the number of syndromes
  const GaloisField* field = nullptr;
  uint8_t syndromes[kRsMaxCheck];
  uint8_t locator[kRsPolynomialLength];    // Lambda
  uint8_t evaluator[kRsPolynomialLength];  // Omega
  uint8_t previous[kRsPolynomialLength];   // Berlekamp-Massey's shifted copy
  uint8_t scratch[kRsPolynomialLength];
  uint8_t positions[kRsMaxCheck];  // exponents of x of the errors found
  int32_t positionCount = 0;
  Failure failure = Failure::kNone;  // why the last RsCorrect returned 0
};

// Points the context at a block of n codewords whose last `checkCount` are the
// check codewords, clears the working polynomials and selects the field of the
// context's variant. Limits are enforced by RsCorrect.
void RsInit(RsContext& context, int32_t* block, int32_t n, int32_t checkCount);

// Corrects the block in place. Returns 1 when the block is now a codeword (a
// block without errors is left untouched), 0 when it is uncorrectable: more than
// 68 check codewords, n outside 1..255, a codeword outside 0..255, an unknown
// variant, an error locator that does not resolve into error positions inside the
// block, or a result that is still not a codeword. After a 0 the block may be
// partly altered.
int RsCorrect(RsContext& context);

// The generator polynomial of a variant for E check codewords: the product of
// (x + alpha^(b+i)) for i = 0..E-1, coefficients[k] that of x^k, monic.
struct RsGenerator {
  int32_t variant = kRsCordavexCode;
  int32_t checkCount = 0;
  uint8_t coefficients[kRsMaxCheck + 1] = {};
};

// Builds the generator; returns 1, or 0 for an unknown variant or E outside
// 1..68 (the most any symbology uses, and the most RsCorrect corrects).
int RsMakeGenerator(RsGenerator& generator, int32_t variant, int32_t checkCount);

// The check codewords of one block: data[0] is the coefficient of the highest
// power, and check receives generator.checkCount codewords in the same order
// (data(x) x^E mod g(x)). Every encoder of the system goes through here.
void RsEncode(const RsGenerator& generator, std::span<const uint8_t> data,
              std::span<uint8_t> check);

// Cordavex code parity: buffer holds dataLength data codewords, followed by room
// for checkLength check codewords. The data is split into blockCount blocks in
// order, the first (dataLength mod blockCount) blocks one codeword longer; each
// gets checkLength / blockCount check codewords (generator roots alpha^1.. over
// 0x11D), written block after block behind the data. Returns 1, or 0 when
// symbolBits is not 8, the check length is not a multiple of the block count, a
// block would exceed 255 codewords or 68 check codewords, or the buffer is too
// small.
int RsEncodeBlocks(std::span<uint8_t> buffer, int32_t dataLength, int32_t checkLength,
                   int32_t symbolBits, int32_t blockCount);

}  // namespace cordavex
