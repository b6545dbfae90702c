// The Cordavex code generator: a UTF-16 text, raw bytes, split data or
// password-protected content to one symbol (or up to 16 linked symbols), each
// delivered as a map of 70 x 70 characters '0' (light) and '1' (dark) that the
// caller scales and draws.
//
// A map holds the symbol's S rows (S = 13..57) of S + 4 characters: columns
// 0..2 the finder (two bars split in the middle and a 3 x 3 ring in the last
// three rows), column 3 light, columns 4..S+3 the module matrix; everything
// else is '0'. Row r starts at 70 * r.
//
// Ownership: every working buffer lives in the caller's CordavexGenerator
// (about 10 KB; keep it on the heap or in static storage) and the maps in the
// caller's output; the call allocates nothing of its own (the AES cipher of
// kinds 3 and 4 is OpenSSL's). One generator per thread.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "cordavex/scan_result.h"

namespace cordavex {

inline constexpr int kCordavexMapSide = 70;
inline constexpr int kCordavexMapBytes = kCordavexMapSide * kCordavexMapSide;  // 4900
inline constexpr int kCordavexMinSide = 13;
inline constexpr int kCordavexMaxSide = 57;
inline constexpr int kCordavexMaxParts = 16;
// Text units a symbol takes: its decoded text must fit the 1600-byte output
// with a zero unit.
inline constexpr int kCordavexMaxTextUnits = 799;
// Bytes a symbol can take at most (size 57, level 0, one byte segment).
inline constexpr int kCordavexMaxBytes = 1024;
inline constexpr int kCordavexMaxPasswordBytes = 32;
// Kinds 3 and 4: the decoded text (two bytes a unit) and the enciphered bytes
// together, at most what a result record keeps of binary content (its raw
// text less the key area).
inline constexpr int kCordavexMaxEncryptedContent =
    ScanResult::kRawTextUnits - ScanResult::kKeyAreaUnits;  // 736
inline constexpr int kCordavexMaxSegments = 80;

enum CordavexKind : int {
  kCordavexText = 0,           // UTF-16 text, split into segments by character class
  kCordavexBytes = 1,          // raw bytes, one byte segment
  kCordavexSplit = 2,          // bytes over `parts` linked symbols
  kCordavexEncrypted = 3,      // bytes enciphered with the password
  kCordavexTextEncrypted = 4,  // text, then bytes enciphered with the password
};

// The input of one generation. `text` for kinds 0 and 4; `data` for kinds 1,
// 2 and 3; `secondData` the part to encipher for kind 4; `key` the password
// (1..32 bytes) for kinds 3 and 4.
struct CordavexInput {
  std::u16string_view text;
  std::span<const uint8_t> data;
  std::span<const uint8_t> secondData;
  std::span<const uint8_t> key;
};

// One run of the text in one mode: `count` units (or bytes) from `start`,
// `bits` of stream including its mode, count field and terminator.
struct CordavexSegment {
  uint8_t mode;     // 1..7
  uint8_t keyword;  // mode 7: the keyword index (127: `functionNumber` follows)
  int16_t start;
  int16_t count;
  int32_t bits;
};

struct CordavexGenerator {
  // Results of the last call: per part its side, error level and mask.
  int partCount = 0;
  int partSides[kCordavexMaxParts] = {};
  int level = 0;
  int mask = 0;
  int bitCount = 0;  // stream bits of the last symbol made, end mode included
  // Working buffers.
  int segmentCount = 0;
  uint8_t functionNumber = 0;
  CordavexSegment segments[kCordavexMaxSegments];
  uint8_t classes[kCordavexMaxTextUnits];
  uint8_t codewords[kCordavexMaxBytes];
  uint8_t matrix[kCordavexMaxSide * kCordavexMaxSide];
  uint8_t trial[kCordavexMaxSide * kCordavexMaxSide];
  uint8_t cipher[kCordavexMaxBytes + 16];
  // The bytes of the part being made, for split data.
  std::span<const uint8_t> bytes;
};

// Makes the symbol(s). `output` receives one 4900-byte map per part (part i
// at 4900 * i). `size` in: the smallest side to try (below 13 counts as 13,
// above 57 as 57); out: the side chosen (for split data, that of part 0;
// every part's side is in work.partSides). `level` 0..3. `parts` (kind 2,
// 1..16) in: the number of parts to start from; out: the number made.
//
// Returns 1, or 0 (nothing drawn) for a kind outside 0..4, a level outside
// 0..3, empty input, a text longer than 799 units, holding a zero unit or
// with more than 80 segments, a password empty or longer than 32 bytes, data that does not fit a
// 57 x 57 symbol, split data needing more than 16 parts, or an output too
// small for the maps.
int GenerateCordavexCode(CordavexGenerator& work, std::span<char> output, int kind, int& size,
                         int level, const CordavexInput& input, int& parts);

}  // namespace cordavex
