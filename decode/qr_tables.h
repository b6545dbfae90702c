// QR code (model 2) symbol tables shared by the QR decoder and the QR encoder:
// the version table (ISO/IEC 18004 Table 1 sizes, Table 9 block structure,
// Annex E alignment centres, Annex D version-information words), the mode
// table with its count-field widths, the alphanumeric character set and the
// format-information words (Annex C).
//
// Everything here is constant data or a pure function of its arguments: no
// buffers, no state, safe to call from any thread.
#pragma once

#include <cstdint>

// The version range, the level numbering and the largest symbol's sizes.
#include "cordavex/qr_code.h"

namespace cordavex {

inline constexpr int kQrMaxBlocks = 81;           // version 40-H
// Alignment coordinates other than 6; the full list of centres adds 6 in front.
inline constexpr int kQrMaxAlignment = 6;

// One group of equally long blocks: `blocks` blocks of `codewords` codewords,
// `dataCodewords` of them data. A level's second group has one more data
// codeword per block than its first, and is all zero when absent.
struct QrBlockGroup {
  int16_t blocks;
  int16_t codewords;
  int16_t dataCodewords;
};

struct QrLevelBlocks {
  QrBlockGroup groups[2];
};

// One row per version.
struct QrVersionInfo {
  int8_t version;
  int16_t totalCodewords;
  int16_t dataCodewords[4];  // by level L, M, Q, H
  int8_t alignmentCount;     // coordinates other than 6
  uint8_t alignment[kQrMaxAlignment];
  QrLevelBlocks levels[4];   // by level L, M, Q, H
  uint32_t versionInformation;  // 18-bit word (6 version bits, BCH(18,6)); 0 below version 7
};

// The row of a version 1..40; nullptr outside that range.
const QrVersionInfo* QrVersion(int version);

// Side of the symbol in modules.
constexpr int QrSide(int version) { return 4 * version + 17; }
static_assert(QrSide(kQrMaxVersion) == kQrMaxSide);

// Count-field width group: 0 for versions 1-9 (and 0, "not chosen yet"), 1 for
// 10-26, 2 for 27-40.
constexpr int QrVersionGroup(int version) { return version < 10 ? 0 : (version < 27 ? 1 : 2); }

// Smallest version of a count-field group.
constexpr int QrGroupFirstVersion(int group) { return group == 0 ? 1 : (group == 1 ? 10 : 27); }
constexpr int QrGroupLastVersion(int group) { return group == 0 ? 9 : (group == 1 ? 26 : 40); }

// Total check codewords of a version and level (all blocks).
int QrCheckCodewords(const QrVersionInfo& info, int level);
// Number of blocks of a version and level.
int QrBlockCount(const QrVersionInfo& info, int level);

// All alignment-pattern centre coordinates of a version, 6 first, ascending.
// Returns their count (0 for version 1, at most 7). Every pair (p, q) of them is
// a centre except the three that fall on finder patterns.
int QrAlignmentCentres(int version, int centres[kQrMaxAlignment + 1]);

// Segment modes (ISO/IEC 18004 Table 2) and their count-field widths per group.
enum class QrMode : int8_t { kNumeric, kAlphanumeric, kByte, kKanji, kHanzi };

struct QrModeInfo {
  QrMode mode;
  int8_t indicator;     // 4-bit mode indicator
  int8_t countBits[3];  // by version group
};

inline constexpr QrModeInfo kQrModes[] = {
    {QrMode::kNumeric, 0b0001, {10, 12, 14}},
    {QrMode::kAlphanumeric, 0b0010, {9, 11, 13}},
    {QrMode::kByte, 0b0100, {8, 16, 16}},
    {QrMode::kKanji, 0b1000, {8, 10, 12}},
    // Chinese characters of GB 18284 (GB2312 subset), read but never written.
    {QrMode::kHanzi, 0b1101, {8, 10, 12}},
};

constexpr const QrModeInfo& QrModeRow(QrMode mode) { return kQrModes[static_cast<int>(mode)]; }

constexpr int QrCountBits(QrMode mode, int version) {
  return QrModeRow(mode).countBits[QrVersionGroup(version)];
}

// The 45 characters of alphanumeric mode in value order.
inline constexpr char kQrAlphanumeric[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

// Value 0..44 of an alphanumeric-mode character, or -1.
int QrAlphanumericValue(uint8_t c);

// Level indicator bits of the format information: L 01, M 00, Q 11, H 10.
inline constexpr int kQrLevelIndicator[4] = {0b01, 0b00, 0b11, 0b10};

// The pattern XORed into the format-information word (ISO/IEC 18004 7.9.1), so
// that no level and mask gives an all-light word.
inline constexpr uint16_t kQrFormatMask = 0x5412;

// The 15-bit format-information word for a level and mask, BCH(15,5) with
// generator 0x537, XORed with 0x5412.
uint16_t QrFormatInformation(int level, int mask);

// The same 32 words indexed by the 5 data bits (level indicator << 3 | mask), for
// a reader that looks for the nearest valid word.
extern const uint16_t kQrFormatWords[32];

// Whether data mask `mask` (0..7) inverts the module at row i, column j
// (ISO/IEC 18004 Table 10).
constexpr bool QrMaskCondition(int mask, int i, int j) {
  switch (mask) {
    case 0: return (i + j) % 2 == 0;
    case 1: return i % 2 == 0;
    case 2: return j % 3 == 0;
    case 3: return (i + j) % 3 == 0;
    case 4: return (i / 2 + j / 3) % 2 == 0;
    case 5: return (i * j) % 2 + (i * j) % 3 == 0;
    case 6: return ((i * j) % 2 + (i * j) % 3) % 2 == 0;
    default: return ((i + j) % 2 + (i * j) % 3) % 2 == 0;
  }
}

}  // namespace cordavex
