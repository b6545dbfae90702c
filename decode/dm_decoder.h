// Data Matrix ECC 200 codeword decoding: the placement walk that reads the
// codewords out of a sampled module grid (ISO/IEC 16022 Annex F), Reed-Solomon
// correction over 0x12D, and the ASCII, C40, Text, X12, EDIFACT and Base 256
// encodations. Square symbols of 10 to 48 modules (one Reed-Solomon block).
//
// Ownership: the caller owns the grid, the output buffers and the DmDecoder
// working state (the engine places it in its workspace); nothing is allocated.
// Threads: re-entrant with distinct DmDecoder states and output buffers.
#pragma once

#include <cstdint>
#include <span>

#include "decode/dm_tables.h"
#include "decode/failure.h"
#include "decode/module_matrix.h"
#include "decode/reed_solomon.h"

namespace cordavex {

// The working state of one decode. Plain data; its contents between calls mean
// nothing except the results of the last call.
struct DmDecoder {
  int32_t codewordCount;  // codewords read by the placement walk
  int32_t textLength;     // bytes written to the text by the last success
  Failure failure;        // why the last DmDecodeGrid returned 0
  ModuleMatrix visited;   // modules of the mapping matrix already read
  uint8_t codewords[kDmMaxReadCodewords];  // in placement order; data corrected in place
  int32_t block[kDmMaxReadCodewords];
  RsContext rs;
};

// Decodes a symbol of `side` x `side` modules from `grid` (1 = dark): row 0 is
// the dashed top edge, column 0 the solid left edge, and the data regions follow
// each other without their alignment patterns, so that the mapping matrix lies
// at rows and columns 1 .. onwards (a 32 x 32 symbol arrives as 30 x 30 modules
// of grid). `text` receives the decoded bytes, zero-terminated (at most
// text.size() - 1 of them; cleared first); `secondString` is left alone.
//
// Returns 1 when the symbol was read, 0 when the side is not a square size of
// 10..48, the block is beyond correction, the first data codeword is 0, a
// function codeword (FNC1, structured append, reader programming, the two
// macros, ECI) occurs, or the data stream is malformed (an undefined codeword,
// a Base 256 field longer than the data, an upper shift of a non-ASCII value).
int DmDecodeGrid(DmDecoder& decoder, const ModuleMatrix& grid, int side,
                 std::span<uint8_t> text, std::span<uint8_t> secondString);

// The placement walk alone: reads the codewords of a symbol of the given size
// out of `grid` (laid out as above) into decoder.codewords. Returns the number
// read (the size's total codewords), or 0 for a size it does not take.
int DmReadCodewords(DmDecoder& decoder, const ModuleMatrix& grid, int side);

// Decodes `data` (corrected data codewords) into text as DmDecodeGrid does.
// Returns 1 or 0 and sets decoder.failure and decoder.textLength.
int DmDecodeData(DmDecoder& decoder, std::span<const uint8_t> data, std::span<uint8_t> text);

}  // namespace cordavex
