// QR code symbols for the reader's tests: from libqrencode, an independent
// encoder, for ordinary content; and from our own small test-only builder for
// bit streams that libqrencode cannot write (the GB2312 mode, a structured-append
// header with a chosen parity, a damaged stream).
//
// Test-only code; every call allocates its result. Not thread-safe only in that
// libqrencode keeps no shared state we rely on: calls are independent.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "decode/module_matrix.h"

namespace cordavex::test {

enum QrLevel { kLevelL = 0, kLevelM = 1, kLevelQ = 2, kLevelH = 3 };

struct QrSymbol {
  int version = 0;
  int size = 0;                  // modules per side, 4 * version + 17
  std::vector<uint8_t> modules;  // row-major, 1 = dark

  bool Dark(int row, int column) const { return modules[row * size + column] != 0; }
  void Set(int row, int column, bool dark) { modules[row * size + column] = dark ? 1 : 0; }
  ModuleMatrix ToMatrix() const;
};

// libqrencode's segment modes, as far as the tests use them.
enum class QrSegmentMode { kNumeric, kAlphanumeric, kByte, kKanji, kEci };

struct QrSegment {
  QrSegmentMode mode;
  std::string data;   // digits, alphanumeric text, bytes, or Shift-JIS pairs
  unsigned eci = 0;   // the assignment number for kEci
};

// One segment of bytes in byte mode at exactly `version`; nullopt when the
// bytes do not fit (libqrencode would pick a larger version).
std::optional<QrSymbol> EncodeQrBytes(std::span<const uint8_t> bytes, int version, int level);
std::optional<QrSymbol> EncodeQrSegments(std::span<const QrSegment> segments, int version,
                                         int level);

// Data codewords D and the largest byte-mode payload of a version and level
// (ISO/IEC 18004 Tables 7 and 9).
int QrDataCodewordCount(int version, int level);
int QrByteCapacity(int version, int level);

// Seeded pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed);

// A bit stream written field by field, most significant bit first.
class QrBitStream {
 public:
  void Append(uint32_t value, int bits);
  // The stream with terminator, zero fill and the 0xEC 0x11 pad codewords,
  // cut to `count` codewords.
  std::vector<uint8_t> DataCodewords(int count) const;
  size_t BitCount() const { return bits_.size(); }

 private:
  std::vector<uint8_t> bits_;
};

// Our own placement of data codewords into a symbol: Reed-Solomon blocks,
// interleaving, function patterns, format and version information, and the
// mask. `data` must hold QrDataCodewordCount(version, level) codewords.
QrSymbol BuildQrSymbol(int version, int level, int mask, std::span<const uint8_t> data);

}  // namespace cordavex::test
