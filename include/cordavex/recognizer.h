// The recognition engine's entry: one camera frame in, at most one decoded and
// classified symbol out.
//
// Ownership: the caller owns the frame, the workspace and the result record. The
// workspace is one block of GetRecognizerSize(width, height) bytes, aligned for
// 8 bytes (as malloc and operator new give), kept across frames of one size: it
// carries the engine's adaptive state from frame to frame, so consecutive calls
// with the same workspace are not independent. The engine allocates nothing.
//
// Threads: re-entrant with distinct workspaces and result records; one workspace
// must not be used by two threads at once.
#pragma once

#include <cstdint>
#include <span>

#include "cordavex/scan_result.h"

namespace cordavex {

// Workspace size in bytes for a width x height frame, or 0 when the size does not
// fit in 32 bits (such a frame is refused by RecognizeImage as well).
int32_t GetRecognizerSize(int32_t width, int32_t height);

// Returns 1 when a symbol was found and decoded (result holds the content), 0 for
// bad arguments, and otherwise minus the mean grey level of the prepared frame
// (-255..0). Reads result.mode() and result.symbologyMask() on input.
int32_t RecognizeImage(const uint8_t* image, void* recognizer, int32_t width, int32_t height,
                       int32_t bitsPerPixel, ScanResult* result);

// What the last successful RecognizeImage call with this workspace decoded, for
// tools that show the symbol's bytes beside the classified record. `symbology`
// is 1 QR code, 2 or 3 Cordavex code (older, current layout), 4 Data Matrix, 0
// when the last call decoded nothing. The bytes live in the workspace.
struct DecodedSymbol {
  int32_t symbology = 0;
  std::span<const uint8_t> bytes;
};
DecodedSymbol LastDecodedSymbol(const void* recognizer);

}  // namespace cordavex
