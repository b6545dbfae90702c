// QR code (model 2) encoder: 8-bit text to a module matrix, versions 1-40,
// levels L, M, Q, H (ISO/IEC 18004).
//
// The text is split into numeric, alphanumeric, byte and Shift-JIS kanji
// segments, the smallest fitting version is chosen, the data is padded, split
// into Reed-Solomon blocks and interleaved, and the codewords are placed and
// masked (by the lowest penalty score unless a mask is given).
//
// Every buffer lives in the caller-owned `QrEncoder` (about 100 KB; put it on
// the heap or in static storage rather than on a small stack). QrEncode
// allocates nothing. One context per thread; contexts share only constant
// tables.
#pragma once

#include <cstdint>

#include "cordavex/qr_code.h"

namespace cordavex {

// Row stride of the encoder's module matrix, the side of version 40.
inline constexpr int kQrMatrixStride = kQrMaxSide;
// The data stream of version 40-L: 2956 codewords.
inline constexpr int kQrMaxDataBits = kQrMaxDataCodewords * 8;
// The longest text that fits any symbol (7089 digits in version 40-L).
inline constexpr int kQrMaxTextLength = 7089;

// One segment of the text: `length` bytes of one mode (a kanji counts 2).
// Segments are kept as a list threaded through the array while merging.
struct QrRun {
  uint8_t mode;  // the segment mode: 0 numeric, 1 alphanumeric, 2 byte, 3 kanji
  int16_t prev;  // index of the previous run, -1 at the start
  int16_t next;  // index of the next run, -1 at the end
  int16_t length;
};

struct QrEncoder {
  int level = 0;    // 0 L, 1 M, 2 Q, 3 H
  int version = 0;  // 1..40 once encoded
  int side = 0;     // 4 * version + 17
  int mask = -1;    // the mask applied, 0..7 once encoded
  int bitCount = 0;
  // The data stream, most significant bit first; after padding, the data
  // codewords in block order.
  uint8_t bits[kQrMaxDataCodewords];
  // The final interleaved codeword sequence, data then check codewords.
  uint8_t codewords[kQrMaxCodewords];
  uint8_t block[kQrMaxBlockCodewords];
  // side rows of side modules at stride kQrMatrixStride; 1 = dark after
  // QrEncode returns 1. While building: 0/1 data, ' ' light and '0' dark
  // function modules.
  uint8_t matrix[kQrMatrixStride * kQrMatrixStride];
  // The segments of the last encoding, first at `firstRun`, in text order.
  int firstRun = -1;
  int runCount = 0;
  QrRun runs[kQrMaxTextLength];
};

// Encodes `text` (`length` bytes; length <= 0: up to its zero terminator).
// level 0..3; version 0 for the smallest that fits, or 1..40 to ask for one,
// in which case a larger one is used only when allowLarger is non-zero; mask
// -1 for the lowest-penalty mask or 0..7. Returns 1 with context.side and
// context.matrix ready, 0 for an empty text, bad arguments or data that does
// not fit.
int QrEncode(QrEncoder& context, int level, int version, int allowLarger, int mask,
             const char* text, int length);

// The dark module at row, column of an encoded symbol.
inline bool QrModule(const QrEncoder& context, int row, int column) {
  return context.matrix[row * kQrMatrixStride + column] != 0;
}

// Penalty score of a matrix (ISO/IEC 18004 mask evaluation): runs of five or
// more, 2x2 blocks, finder-like 1:1:3:1:1 patterns with four light modules on a
// side, and the dark share. A module is dark when (byte & 0x11) != 0, so the
// score reads a finished matrix and one under construction alike.
int QrPenaltyScore(const uint8_t* matrix, int side, int stride);

}  // namespace cordavex
