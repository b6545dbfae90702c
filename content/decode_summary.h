// What a successful decode hands to content classification: the preliminary
// content kind, the decoder's text buffers, the character-set code of the text
// and the symbology that was located. The engine fills one of these from its
// workspace; classification reads nothing else of the engine.
//
// The buffers are the engine's (non-owning views); they stay valid until the
// next call into the engine with the same workspace.
#pragma once

#include <cstdint>

namespace cordavex {

// Sizes of the decoder output buffers, in bytes.
inline constexpr int kDecodedTextBytes = 1600;
inline constexpr int kSecondStringBytes = 512;
inline constexpr int kFurtherBufferBytes[3] = {512, 1600, 512};

// What the buffers hold, by symbology and content kind:
// - QR code, Data Matrix: 8-bit text in `text`, in the set `textFlag` names.
//   Kind 27 (split-data part): the part's bytes, with "%d:%d:%d:%d:%d" in the
//   second string; kind 28 (enciphered): the payload's bytes, with the check
//   byte and length digits in the second string.
// - Cordavex code, current generation: kind 1, UTF-16 text as little-endian
//   units ending with a zero unit; kinds 2 and 3, bytes in `text`, with the
//   byte count (or "D:" side information, or the split-data record) in the
//   second string.
// - Cordavex code, older generation: `contentKind` is the function type; the
//   text and the second string, then further[0..2], are the payload's first to
//   fifth strings (8-bit, zero-terminated).
struct DecodeSummary {
  int32_t contentKind = 0;
  const uint8_t* text = nullptr;          // kDecodedTextBytes, zero-terminated
  const uint8_t* secondString = nullptr;  // kSecondStringBytes, zero-terminated
  const uint8_t* further[3] = {};         // kFurtherBufferBytes
};

// Located symbology, as the engine's lock records it.
enum LockedKind : int32_t {
  kLockNone = 0,
  kLockQr = 1,
  kLockCordavex2 = 2,
  kLockCordavex3 = 3,
  kLockDataMatrix = 4,
};

struct ClassifyInput {
  DecodeSummary summary;
  uint32_t textFlag = 32;  // character-set code of the text
  int32_t lockedKind = kLockNone;
};

}  // namespace cordavex
