// Cordavex code grid decoding: the corner check, the format word, unmasking,
// the codeword walk in the generator's placement order, Reed-Solomon
// correction block by block, and the payload's seven modes into UTF-16 text,
// raw bytes or one part of split data, with a table of field spans. Beside it,
// the older fixed-layout generation's routine (sides 13, 17, 19, 23, 29).
//
// The seam with the locator: a sampled ModuleMatrix (row 0 from the top-left
// corner mark towards the top-right one, column 0 the side with the timing
// runs, 1 = dark) and its dimension, plus caller-owned buffers: the CvDecoder
// working state and the output, second-string and field-span buffers. The
// engine keeps all of them in its workspace.
//
// Ownership: the caller owns everything; nothing is allocated. Threads:
// re-entrant with distinct decoder states and buffers.
#pragma once

#include <cstdint>
#include <span>

#include "decode/cv_layout.h"
#include "decode/failure.h"
#include "decode/module_matrix.h"
#include "decode/reed_solomon.h"

namespace cordavex {

// Where a keyword field's value lies in the output: a byte offset and a byte
// length; start -1 when the symbol does not carry the field.
struct CvFieldSpan {
  int32_t start = -1;
  int32_t length = 0;
};

// The decoder's information record, the four words from which the locator
// builds the "D:" side information of enciphered content.
struct CvInformation {
  int32_t hasFunction;     // 1 when a keyword 127 gave a function number
  int32_t functionNumber;  // the number (the check byte of enciphered content)
  int32_t byteCount;       // bytes of the last byte segment
  int32_t byteStart;       // where those bytes start in the output
};

// Working state of one decode. Plain data; between calls only the results
// (everything above `geometry`) mean anything.
struct CvDecoder {
  int32_t side;
  int32_t level;
  int32_t mask;
  int32_t contentKind;   // CvPayloadKind: 1 text, 2 binary data, 3 split part
  int32_t outputLength;  // bytes written to the output (text: without its zero unit)
  CvInformation information;
  Failure failure;  // why the last call returned 0
  CvGeometry geometry;
  uint8_t codewords[kCvMaxCodewords];  // stream order: data of all blocks, then check
  uint8_t data[kCvMaxCodewords];       // corrected data codewords
  int32_t block[kRsMaxBlock];
  RsContext rs;
};

// Decodes the current layout from `grid` of side `dimension`. `output`
// receives the payload: for text (kind 1) UTF-16 little-endian units ending
// with a zero unit; for binary data (kind 2) and split parts (kind 3) the
// bytes, behind any text that came first. `secondString` receives "%d" (the
// byte count of binary data), the split record
// "parity:xor:index:last:count", or "". `fields` gets one span per keyword
// index. Every buffer is cleared first.
//
// Returns 1, or 0 (with decoder.failure) when the dimension is not a size,
// more than k modules of a corner area are wrong, the format word is beyond
// correction, a block is uncorrectable, or the stream is malformed (opens with
// the end mode, runs out of bits before it, a keyword index without a text, a
// zero wide unit, more output than the buffer holds).
int CvDecodeGrid(CvDecoder& decoder, const ModuleMatrix& grid, int dimension,
                 std::span<uint8_t> output, std::span<uint8_t> secondString,
                 std::span<CvFieldSpan, kCvKeywordCount> fields);

// Builds the second string the locator hands to classification: for binary
// data with a function number "D:", the number, then the byte count and the
// start as a count byte and base-128 digits (least significant first, at
// least one);
// otherwise a copy of the decoder's own second string. Returns the bytes
// written (the buffer is cleared first and always ends with a zero).
int CvSecondString(const CvDecoder& decoder, std::span<const uint8_t> decoderSecond,
                   std::span<uint8_t> out);

// ---- the older fixed-layout generation ----
//
// Sides 13, 17, 19, 23 and 29 (corner arm k as in the current layout). There is
// no mask and no Reed-Solomon. The function type is the 6-bit value in row
// N-3, columns N-8..N-3, most significant bit first. The payload bits are read
// from the band of rows k+1 .. N-k-2, columns 1 .. N-1, row by row from the
// left, most significant bit first:
//   - every type: a string, an 8-bit byte count then the bytes (the first
//     string, into `text`);
//   - types 10 (simple contact) and 11 (business card): a second string, the
//     phone number, in the same form (into the second string);
//   - type 11 also: the e-mail address and the address prefix, each in the same
//     form (further[0] and further[1]), then the numeric street address:
//       postal code 10 bits, road section (4 bits), lane 10 bits, alley 8 bits,
//       house number 10 bits, sub-number 7 bits, floor 7 bits, basement 1 bit,
//       room 10 bits,
//     a field of 0 being absent, written into further[2] as
//     "%03d#" then "%dS" "%dR" "%dL" "%dH" "E%d " "%dF" "B" "%dM" for the
//     parts present. The postal code is always written, in three digits.
// Band capacities: 13: 60 bits, 17: 144, 19: 198, 23: 242, 29: 364.
inline constexpr int kCvOlderSides[] = {13, 17, 19, 23, 29};

struct CvOlderOutput {
  std::span<uint8_t> text;
  std::span<uint8_t> secondString;
  std::span<uint8_t> further[3];
};

// Returns 1 with `contentKind` set to the function type and the strings
// written (zero-terminated, buffers cleared first), or 0 for another side, a
// function type outside 1, 2, 3, 5-12, 16-20, 29, 63, a field running past the
// band or a string longer than its buffer.
int CvDecodeOlderGrid(const ModuleMatrix& grid, int dimension, CvOlderOutput output,
                      int32_t& contentKind, Failure& failure);

// The band of payload bits of the older layout, in reading order; the
// generator of test symbols uses it too.
template <typename Visit>
void CvForEachOlderModule(int dimension, Visit&& visit) {
  const int arm = dimension < 21 ? 3 : dimension < 29 ? 5 : 7;
  for (int r = arm + 1; r <= dimension - arm - 2; ++r) {
    for (int c = 1; c <= dimension - 1; ++c) visit(r, c);
  }
}

}  // namespace cordavex
