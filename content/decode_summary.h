// What a successful decode hands to content classification: the preliminary
// content kind, the decoder's text buffers, the character-set code of the text
// and the symbology that was located. The engine fills one of these from its
// workspace; classification reads nothing else of the engine.
//
// The buffers are the engine's (non-owning views); they stay valid until the
// next call into the engine with the same workspace.
#pragma once

#include <cstdint>

#include "cordavex/content.h"
#include "cordavex/symbology.h"

namespace cordavex {

// Sizes of the decoder output buffers, in bytes.
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
// Function types of the older Cordavex code layout: the payload names what it
// holds, and that decides the content type without the parser.
enum CordavexFunction : int32_t {
  kFunctionPhone = 1,
  kFunctionWeb = 2,
  kFunctionTextMessage = 3,
  kFunctionSecureWeb = 5,
  kFunctionSkype = 8,
  kFunctionSimpleContact = 10,
  kFunctionBusinessCard = 11,
  kFunctionEmail = 19,
};

// The decoder's preliminary content kind, which classification reads before
// the text. For the older Cordavex code layout it is the function type above.
enum ContentKind : int32_t {
  kKindText = 0,
  kKindCordavexText = 1,    // current Cordavex code: UTF-16 text
  kKindCordavexBinary = 2,  // current Cordavex code: bytes and their count
  kKindCordavexSplit = 3,   // current Cordavex code: one part of split data
  // QR code: a separator (':' ';' ' ') or a non-ASCII byte after the first byte.
  kKindQrSeparated = 16,
  // QR code: an at sign and no separator. Shares its value with the e-mail
  // function, which is how a bare address that the parser leaves as plain text
  // becomes an e-mail result.
  kKindQrAddress = kFunctionEmail,
  kKindSplitPart = 27,  // QR code structured-append part
  kKindEncrypted = 28,  // "PE:" content: check byte and length in the second string
  kKindNoDisplay = 63,
};

struct DecodeSummary {
  int32_t contentKind = kKindText;  // ContentKind, or CordavexFunction
  const uint8_t* text = nullptr;          // kDecodedTextBytes, zero-terminated
  const uint8_t* secondString = nullptr;  // kSecondStringBytes, zero-terminated
  const uint8_t* further[3] = {};         // kFurtherBufferBytes
};

// Located symbology, as the engine's lock records it: the symbology ids, with
// values 5..7 (left by an older state) locking nothing.
enum LockedKind : int32_t {
  kLockNone = static_cast<int32_t>(Symbology::kNone),
  kLockQr = static_cast<int32_t>(Symbology::kQr),
  kLockCordavex2 = static_cast<int32_t>(Symbology::kCordavex2),
  kLockCordavex3 = static_cast<int32_t>(Symbology::kCordavex3),
  kLockDataMatrix = static_cast<int32_t>(Symbology::kDataMatrix),
};

struct ClassifyInput {
  DecodeSummary summary;
  uint32_t textFlag = kCharsetGuess;  // character-set code of the text
  int32_t lockedKind = kLockNone;
};

}  // namespace cordavex
