// QR code bit-stream decoding (ISO/IEC 18004, model 2, versions 1 to 13): format
// information, unmasking, the codeword walk, de-interleaving, Reed-Solomon
// correction of each block and the mode segments, from a sampled module grid.
//
// Ownership: the caller owns the grid, the output buffers and the QrDecoder
// working state (the engine places it in its workspace); nothing is allocated.
// Threads: re-entrant with distinct QrDecoder states and output buffers.
#pragma once

#include <cstdint>
#include <span>

#include "decode/failure.h"
#include "decode/module_matrix.h"
#include "decode/qr_tables.h"
#include "decode/reed_solomon.h"

namespace cordavex {

inline constexpr int kQrMinDimension = 21;        // version 1
inline constexpr int kQrMaxDimension = 69;        // version 13: the matrix holds 70
inline constexpr int kQrReadableCodewords = 532;  // version 13 (ISO/IEC 18004 Table 1)

// The symbol state and working arrays of one decode. Plain data; its contents
// between calls mean nothing.
struct QrDecoder {
  int32_t version;
  int32_t level;           // 0 L, 1 M, 2 Q, 3 H
  int32_t mask;            // 0..7
  int32_t totalCodewords;  // T
  int32_t dataCodewords;   // D
  int32_t textLength;      // bytes written to the text buffer by the last success
  Failure failure;         // why the last QrDecodeGrid returned 0
  ModuleMatrix transposed;  // the grid read as its mirror image
  uint8_t codewords[kQrReadableCodewords];  // in placement order
  uint8_t data[kQrReadableCodewords];       // data codewords after correction, block order
  int32_t block[kQrMaxBlockCodewords];
  RsContext rs;
};

// Decodes the `dimension` x `dimension` grid (1 = dark; row 0 at the corner
// finder, columns growing towards the top-right finder). `text` receives the
// decoded bytes, zero-terminated (at most text.size() - 1 of them; kanji as
// Shift-JIS pairs, Chinese characters as GB2312 pairs); `secondString` receives
// "" or "CMCC:" (a GB2312 segment was read) or the structured-append record
// "parity:xor:position:last:length". Both buffers are cleared first. A grid
// that does not read is read once more transposed: that is how a mirrored
// symbol comes out of the sampler.
//
// Returns 1 when the symbol was read (possibly to an empty text: a stream that
// opens with an unsupported mode such as ECI stops there), 0 when the dimension
// is not 21..69 in steps of 4, both format copies are beyond correction, a block
// is uncorrectable, or the stream is malformed (a structured-append position past
// its last, a character value outside its table, a segment longer than the data).
int QrDecodeGrid(QrDecoder& decoder, const ModuleMatrix& grid, int dimension,
                 std::span<uint8_t> text, std::span<uint8_t> secondString);

}  // namespace cordavex
