// What a decoded symbol holds: the content type codes of the result record,
// the character-set codes of 8-bit text, and classification of the bytes of a
// scanned QR code without a camera frame.
//
// Constant data and a re-entrant call; nothing is allocated.
#pragma once

#include <cstdint>
#include <span>

#include "cordavex/scan_result.h"

namespace cordavex {

// Content type codes: the result record's first word after a scan.
enum ContentType : int32_t {
  kTypePlainText = 0,
  kTypeWebAddress = 1,
  kTypeSecureWebAddress = 2,
  kTypePhone = 3,
  kTypeSimpleContact = 4,  // name and phone only
  kTypeTextMessage = 5,
  kTypeWtaiLink = 6,
  kTypeEmail = 7,
  kTypeVcard = 8,
  kTypeContactCard = 9,
  kTypeSkypeCall = 10,
  kTypeNoDisplay = 11,
  kTypeBookmark = 12,
  kTypeMatmsg = 13,
  kTypeMecard = 14,
  kTypeTitledBookmark = 15,  // no rule produces it; the result screens accept it
  kTypeVendorEmail = 16,
  kTypeMemory = 17,
  kTypeSplitPart = 18,
  kTypeTagId = 19,
  kTypeRawData = 20,
  kTypeCalendar = 22,
  kTypeEncrypted = 23,
  kTypeTextWithSubject = 24,
  kTypeMedia = 25,
  kTypeAdvert = 26,
  kTypeBusinessCard = 27,
  kTypeMms = 28,
  kTypeDatedItem = 29,
  kTypeUnclassified = 256,  // own-format object not yet decided
};

// Character-set codes (the `textFlag` of the result record).
enum CharsetCode : uint32_t {
  kCharsetShiftJis = 1,  // code page 932
  kCharsetUtf8 = 2,
  kCharsetBig5 = 4,      // code page 950
  kCharsetGb2312 = 8,    // code page 936
  kCharsetGuess = 32,    // unknown: guess from the bytes
};

// The decoders' text buffer: a symbol's text is at most 1599 bytes and a zero.
inline constexpr int kDecodedTextBytes = 1600;

// Classifies `bytes` exactly as a QR code holding them would be classified
// after a scan: the reader's first look at the bytes (structured-append parts
// aside), then the content parser with `charset` as the text's character-set
// code. Fills `result` and returns its content type. Bytes past the
// 1599 a symbol's text buffer holds are not read.
int32_t ClassifyQrBytes(std::span<const uint8_t> bytes, uint32_t charset, ScanResult& result);

}  // namespace cordavex
