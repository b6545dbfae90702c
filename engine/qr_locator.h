// The QR code locator's stages, for tests: the finder search and ordering, the
// dimension rule, the fourth corner and the decode with its retries.
// LocateQrCode (engine/locators.h) runs them in order.
//
// Everything works on the caller's workspace: the labelled image, the component
// table, the module matrix and the decoder buffers. The QR decoder's working
// state is placed in the contour-point buffer, which nothing needs once the
// corners are known. Single-threaded per workspace.
#pragma once

#include <cstdint>

#include "engine/workspace.h"

namespace cordavex {

// The locator's state for one frame, cleared at the start of every attempt.
struct QrLocation {
  int32_t cornerLabel;     // finder at the symbol's corner (top left upright)
  int32_t firstLabel;      // finder at the end of the first module row (top right)
  int32_t secondLabel;     // finder at the start of the last module row (bottom left)
  int32_t alignmentLabel;  // alignment component found, 0 if none (254/255: light)
  int32_t fourthX;         // sample point of the bottom-right module
  int32_t fourthY;
  // What the attempt did, for tests and tuning.
  int32_t alignmentSearched;  // 1 when components were searched for an alignment pattern
  int32_t decodeAttempt;      // -1 none; 0 unshifted; 1..8 the retry that decoded;
                              // 9 through the pattern centres (modes 6..11)
  int32_t shiftX;             // offset of the fourth corner in the sampling being decoded
  int32_t shiftY;
};

// The decode step behind the sampling, replaceable by tests: returns 1 when the
// sampled matrix (r.matrix, r.symbolDimension) decoded into the workspace's text
// buffers, with textFlag set.
struct QrLocatorHooks {
  int (*decode)(Recognizer& r, const QrLocation& location, void* context);
  void* context;
};

// The real decode: QrDecodeGrid plus the empty-text and "CMCC:" rules.
int DecodeQrMatrix(Recognizer& r, const QrLocation& location, void* context);
inline constexpr QrLocatorHooks kQrDefaultHooks = {DecodeQrMatrix, nullptr};

// LocateQrCode with its state visible and its decode step replaceable.
int LocateQrCodeWith(Recognizer& r, QrLocation& location, const QrLocatorHooks& hooks);

// Finds the three finders, orders and orients them and extracts their corners
// (cornerA outer, cornerB inner, in the component records). Returns 1 or 0.
int FindQrFinders(Recognizer& r, QrLocation& location);

// The symbol dimension from the larger timing-pattern count c (finders included):
// 0 when c < 19 or the result exceeds 69.
int QrDimensionFromCount(int count);

// Dimension from the timing patterns and the fourth corner; 1 or 0.
int FindQrDimensionAndFourthCorner(Recognizer& r, QrLocation& location);

// Samples r.matrix from the three outer corners and the fourth corner moved by
// (dx, dy); 1, or 0 when a corner lies off the image or the corners are degenerate.
int SampleQrGrid(Recognizer& r, const QrLocation& location, int dx, int dy);

// The decoder buffers that the first look at a decoded text reads, and for
// enciphered content rewrites.
struct QrTextBuffers {
  uint8_t* text;          // kDecodedTextBytes, zero-filled past the text
  uint8_t* secondString;  // kSecondStringBytes
  int32_t length;         // bytes decoded; the payload's length after a rewrite
};

// The preliminary content kind of a decoded QR text: a structured-append part,
// "PE:" content (the check byte and payload length move to the second string,
// the payload to the front of the text), or a kind from the separators and at
// signs in the text up to its first zero byte.
int32_t QrPreliminaryKind(QrTextBuffers& buffers);

// QrPreliminaryKind on the workspace's buffers, into contentKind.
void SetQrContentKind(Recognizer& r);

}  // namespace cordavex
