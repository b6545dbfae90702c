#include "decode/qr_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decode/bch.h"
#include "decode/qr_tables.h"

namespace cordavex {
namespace {

constexpr uint32_t kFormatMask = 0x5412;  // ISO/IEC 18004 7.9.1
// Mode indicators not in the segment table (ISO/IEC 18004 Table 2).
constexpr uint32_t kModeTerminator = 0;
constexpr uint32_t kModeStructuredAppend = 3;

constexpr uint32_t kGb2312Subset = 1;
constexpr char kChineseRemark[] = "CMCC:";
constexpr int kAlphanumericCount = 45;

// The segment modes this reader decodes, by their indicator.
const QrModeInfo* FindMode(uint32_t indicator) {
  for (const QrModeInfo& row : kQrModes) {
    if (static_cast<uint32_t>(row.indicator) == indicator) return &row;
  }
  return nullptr;
}

// Modules that carry no codeword bits: finders with separators and format
// information, the timing row and column, and the version information.
bool IsFunctionModule(int row, int column, int n, int version) {
  if (row < 9 && column < 9) return true;
  if (row < 9 && column >= n - 8) return true;
  if (row >= n - 8 && column < 9) return true;
  if (row == 6 || column == 6) return true;
  if (version >= 7) {
    if (row < 6 && column >= n - 11) return true;
    if (column < 6 && row >= n - 11) return true;
  }
  return false;
}

bool InAlignmentPattern(int row, int column, const int* centres, int count) {
  const int last = count - 1;
  for (int a = 0; a < count; ++a) {
    if (std::abs(row - centres[a]) > 2) continue;
    for (int b = 0; b < count; ++b) {
      if (std::abs(column - centres[b]) > 2) continue;
      // The three pairs on the finders hold no alignment pattern.
      const bool onFinder = (a == 0 && b == 0) || (a == 0 && b == last) || (a == last && b == 0);
      if (!onFinder) return true;
    }
  }
  return false;
}

// One format copy: bit i of the result is the module for x^i of the BCH word.
struct ModuleRef {
  int row;
  int column;
};

uint32_t ReadFormatBits(const ModuleMatrix& grid, const ModuleRef (&cells)[15]) {
  uint32_t bits = 0;
  for (int i = 0; i < 15; ++i) {
    if (grid.Get(cells[i].row, cells[i].column)) bits |= 1u << i;
  }
  return bits;
}

// Unmasks and corrects one format copy; on success returns the five data bits
// (x^10..x^14 as bits 0..4), else -1.
int CorrectFormat(uint32_t bits) {
  bits ^= kFormatMask;
  int32_t word[15];
  for (int i = 0; i < 15; ++i) word[i] = static_cast<int32_t>((bits >> i) & 1u);
  if (Bch15Correct(word) != 1) return -1;
  int data = 0;
  for (int i = 0; i < 5; ++i) data |= (word[10 + i] & 1) << i;
  return data;
}

// Reads the format information, the top-right/bottom-left copy first. Returns
// the five data bits (level in bits 4..3, mask in bits 2..0), or -1.
int ReadFormat(const ModuleMatrix& grid, int n) {
  ModuleRef outer[15];
  for (int i = 0; i < 8; ++i) outer[i] = {8, n - 1 - i};
  for (int i = 8; i < 15; ++i) outer[i] = {n - 15 + i, 8};
  int data = CorrectFormat(ReadFormatBits(grid, outer));
  if (data >= 0) return data;

  ModuleRef inner[15];
  for (int i = 0; i < 6; ++i) inner[i] = {i, 8};
  inner[6] = {7, 8};
  inner[7] = {8, 8};
  inner[8] = {8, 7};
  for (int i = 9; i < 15; ++i) inner[i] = {8, 14 - i};
  return CorrectFormat(ReadFormatBits(grid, inner));
}

// Level code in the format word (ISO/IEC 18004 Table 12): 01 L, 00 M, 11 Q, 10 H.
int LevelFromBits(int bits) {
  constexpr int kLevels[4] = {1, 0, 3, 2};
  return kLevels[bits & 3];
}

// Walks the two-column zig-zag from the bottom-right module and packs the
// bits of the data modules into codewords, most significant bit first.
int ReadCodewords(const ModuleMatrix& grid, int n, int version, int total, uint8_t* codewords) {
  int centres[kQrMaxAlignment + 1];
  const int centreCount = QrAlignmentCentres(version, centres);
  int count = 0;
  int bit = 0;
  uint32_t current = 0;
  bool upwards = true;
  for (int right = n - 1; right > 0 && count < total; right -= 2) {
    if (right == 6) right = 5;  // the vertical timing column is skipped whole
    for (int step = 0; step < n && count < total; ++step) {
      const int row = upwards ? n - 1 - step : step;
      for (int c = 0; c < 2 && count < total; ++c) {
        const int column = right - c;
        if (IsFunctionModule(row, column, n, version)) continue;
        if (InAlignmentPattern(row, column, centres, centreCount)) continue;
        current = (current << 1) | (grid.Get(row, column) ? 1u : 0u);
        if (++bit == 8) {
          codewords[count++] = static_cast<uint8_t>(current);
          current = 0;
          bit = 0;
        }
      }
    }
    upwards = !upwards;
  }
  return count;
}

// Separates the interleaved blocks, corrects each and concatenates their data
// codewords into decoder.data. Returns 1, or 0 when a block is uncorrectable.
int CorrectBlocks(QrDecoder& d, int blocks, int checkTotal) {
  const int total = d.totalCodewords;
  const int dataTotal = d.dataCodewords;
  const int checkPerBlock = checkTotal / blocks;
  const int shortLength = total / blocks;
  const int longCount = total % blocks;
  const int shortCount = blocks - longCount;
  int written = 0;
  for (int j = 0; j < blocks; ++j) {
    const int length = shortLength + (j >= shortCount ? 1 : 0);
    const int dataLength = length - checkPerBlock;
    const int shortData = shortLength - checkPerBlock;
    for (int k = 0; k < shortData; ++k) d.block[k] = d.codewords[k * blocks + j];
    if (dataLength > shortData) {
      d.block[shortData] = d.codewords[shortData * blocks + (j - shortCount)];
    }
    for (int e = 0; e < checkPerBlock; ++e) {
      d.block[dataLength + e] = d.codewords[dataTotal + e * blocks + j];
    }
    d.rs.variant = kRsQrCode;
    RsInit(d.rs, d.block, length, checkPerBlock);
    if (RsCorrect(d.rs) != 1) return 0;
    for (int k = 0; k < dataLength; ++k) d.data[written++] = static_cast<uint8_t>(d.block[k]);
  }
  return 1;
}

// Reads fields of up to 16 bits across the data codewords; past them it reads 0
// and remembers that it ran out.
class BitReader {
 public:
  BitReader(const uint8_t* data, int length) : data_(data), bitsTotal_(length * 8) {}

  uint32_t Read(int bits) {
    uint32_t value = 0;
    for (int i = 0; i < bits; ++i) {
      uint32_t b = 0;
      if (position_ < bitsTotal_) {
        b = (data_[position_ >> 3] >> (7 - (position_ & 7))) & 1u;
      } else {
        overrun_ = true;
      }
      ++position_;
      value = (value << 1) | b;
    }
    return value;
  }
  bool Overrun() const { return overrun_; }

 private:
  const uint8_t* data_;
  int bitsTotal_;
  int position_ = 0;
  bool overrun_ = false;
};

// The text buffer: keeps one byte for the terminator, drops what does not fit
// and keeps the running parity of what it wrote for structured append.
class TextSink {
 public:
  explicit TextSink(std::span<uint8_t> buffer) : buffer_(buffer) {}

  void Put(uint8_t byte) {
    if (buffer_.empty() || length_ + 1 >= buffer_.size()) return;
    buffer_[length_++] = byte;
    parity_ ^= byte;
  }
  void PutDigits(uint32_t value, int digits) {
    char out[4];
    for (int i = digits - 1; i >= 0; --i) {
      out[i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    for (int i = 0; i < digits; ++i) Put(static_cast<uint8_t>(out[i]));
  }
  void ResetParity() { parity_ = 0; }
  size_t Length() const { return length_; }
  uint8_t Parity() const { return parity_; }

 private:
  std::span<uint8_t> buffer_;
  size_t length_ = 0;
  uint8_t parity_ = 0;
};

void WriteString(std::span<uint8_t> out, const char* s) {
  if (out.empty()) return;
  std::fill(out.begin(), out.end(), uint8_t{0});
  const size_t length = std::min(std::strlen(s), out.size() - 1);
  std::memcpy(out.data(), s, length);
}

enum class SegmentResult { kContinue, kStop, kFail };

// Numeric: three digits in 10 bits, a last pair in 7 bits or a digit in 4.
SegmentResult DecodeNumeric(BitReader& in, TextSink& out, uint32_t count) {
  while (count > 0) {
    const int digits = count >= 3 ? 3 : static_cast<int>(count);
    const int bits = digits == 3 ? 10 : (digits == 2 ? 7 : 4);
    const uint32_t limit = digits == 3 ? 1000 : (digits == 2 ? 100 : 10);
    const uint32_t value = in.Read(bits);
    // A group beyond its range has no digits: the symbol is misread.
    if (value >= limit) return SegmentResult::kFail;
    out.PutDigits(value, digits);
    count -= static_cast<uint32_t>(digits);
  }
  return SegmentResult::kContinue;
}

SegmentResult DecodeAlphanumeric(BitReader& in, TextSink& out, uint32_t count) {
  while (count >= 2) {
    const uint32_t value = in.Read(11);
    if (value >= kAlphanumericCount * kAlphanumericCount) return SegmentResult::kFail;
    out.Put(static_cast<uint8_t>(kQrAlphanumeric[value / kAlphanumericCount]));
    out.Put(static_cast<uint8_t>(kQrAlphanumeric[value % kAlphanumericCount]));
    count -= 2;
  }
  if (count == 1) {
    const uint32_t value = in.Read(6);
    if (value >= kAlphanumericCount) return SegmentResult::kFail;
    out.Put(static_cast<uint8_t>(kQrAlphanumeric[value]));
  }
  return SegmentResult::kContinue;
}

// Kanji and GB2312 share the 13-bit packing with different row widths and bases.
struct DoubleByteRule {
  uint32_t rowWidth;   // values per packed row (192 Shift-JIS, 96 GB2312)
  uint32_t rowSpread;  // 256 - rowWidth
  uint32_t base;       // first range
  uint32_t limit;      // largest code in the first range
  uint32_t altBase;    // second range
};
constexpr DoubleByteRule kShiftJisRule = {192, 64, 0x8140, 0x9FFC, 0xC140};
constexpr DoubleByteRule kGb2312Rule = {96, 160, 0xA1A1, 0xAAFE, 0xA6A1};

void DecodeDoubleByte(BitReader& in, TextSink& out, uint32_t count, const DoubleByteRule& rule) {
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t value = in.Read(13);
    const uint32_t packed = value + (value / rule.rowWidth) * rule.rowSpread;
    uint32_t code = packed + rule.base;
    if (code > rule.limit) code = packed + rule.altBase;
    out.Put(static_cast<uint8_t>(code >> 8));
    out.Put(static_cast<uint8_t>(code & 0xFF));
  }
}

}  // namespace

namespace {

// Reads one orientation of the grid.
int DecodeOnce(QrDecoder& d, const ModuleMatrix& grid, int n, std::span<uint8_t> text,
               std::span<uint8_t> secondString) {
  std::fill(text.begin(), text.end(), uint8_t{0});
  std::fill(secondString.begin(), secondString.end(), uint8_t{0});
  d.textLength = 0;
  d.version = (n - 17) / 4;
  const QrVersionInfo& info = *QrVersion(d.version);
  d.totalCodewords = info.totalCodewords;
  const int format = ReadFormat(grid, n);
  d.failure = Failure::kFormat;
  if (format < 0) return 0;
  d.level = LevelFromBits(format >> 3);
  d.mask = format & 7;
  const int blocks = QrBlockCount(info, d.level);
  const int checkTotal = QrCheckCodewords(info, d.level);
  d.dataCodewords = d.totalCodewords - checkTotal;

  d.unmasked = grid;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      if (!IsFunctionModule(i, j, n, d.version) && QrMaskCondition(d.mask, i, j)) d.unmasked.Flip(i, j);
    }
  }
  d.failure = Failure::kCodewordCount;
  if (ReadCodewords(d.unmasked, n, d.version, d.totalCodewords, d.codewords) != d.totalCodewords) {
    return 0;
  }
  d.failure = Failure::kUncorrectable;
  if (!CorrectBlocks(d, blocks, checkTotal)) return 0;
  d.failure = Failure::kMalformedStream;

  BitReader in(d.data, d.dataCodewords);
  TextSink out(text);
  bool structured = false;
  uint32_t saParity = 0, saPosition = 0, saLast = 0;
  bool chinese = false;
  const int maxSegments = 8 * d.totalCodewords;
  for (int segment = 0; segment < maxSegments; ++segment) {
    const uint32_t mode = in.Read(4);
    if (mode == kModeTerminator || in.Overrun()) break;
    if (mode == kModeStructuredAppend) {
      if (segment != 0) break;
      saPosition = in.Read(4);
      saLast = in.Read(4);
      saParity = in.Read(8);
      if (saPosition > saLast) return 0;
      structured = true;
      out.ResetParity();
      continue;
    }
    // ECI, FNC1 and undefined modes end the stream: what was read so far stands.
    const QrModeInfo* row = FindMode(mode);
    if (row == nullptr) break;
    if (row->mode == QrMode::kHanzi && in.Read(4) != kGb2312Subset) break;
    const uint32_t count = in.Read(QrCountBits(row->mode, d.version));
    if (count == 0) break;
    SegmentResult result = SegmentResult::kContinue;
    switch (row->mode) {
      case QrMode::kNumeric:
        result = DecodeNumeric(in, out, count);
        break;
      case QrMode::kAlphanumeric:
        result = DecodeAlphanumeric(in, out, count);
        break;
      case QrMode::kByte:
        for (uint32_t i = 0; i < count && !in.Overrun(); ++i) {
          out.Put(static_cast<uint8_t>(in.Read(8)));
        }
        break;
      case QrMode::kKanji:
        DecodeDoubleByte(in, out, count, kShiftJisRule);
        break;
      case QrMode::kHanzi:
        DecodeDoubleByte(in, out, count, kGb2312Rule);
        chinese = true;
        break;
    }
    // A segment that claims more characters than the data holds is a misread
    // count, not zero bytes of content.
    if (result == SegmentResult::kFail || in.Overrun()) return 0;
  }

  if (chinese) WriteString(secondString, kChineseRemark);
  if (structured) {
    char record[64];
    std::snprintf(record, sizeof record, "%u:%u:%u:%u:%zu", saParity, unsigned{out.Parity()},
                  saPosition, saLast, out.Length());
    WriteString(secondString, record);
  }
  d.textLength = static_cast<int32_t>(out.Length());
  return 1;
}

int Succeeded(QrDecoder& d) {
  d.failure = Failure::kNone;
  return 1;
}

}  // namespace

int QrDecodeGrid(QrDecoder& d, const ModuleMatrix& grid, int dimension, std::span<uint8_t> text,
                 std::span<uint8_t> secondString) {
  const int n = dimension;
  if (n < kQrMinDimension || n > kQrMaxDimension || (n - kQrMinDimension) % 4 != 0) {
    std::fill(text.begin(), text.end(), uint8_t{0});
    std::fill(secondString.begin(), secondString.end(), uint8_t{0});
    d.textLength = 0;
    d.failure = Failure::kGridDimension;
    return 0;
  }
  if (DecodeOnce(d, grid, n, text, secondString)) return Succeeded(d);
  const Failure upright = d.failure;
  // A symbol seen in a mirror (through glass, printed on film) is sampled with
  // its handedness reversed, which is the transposed grid.
  d.transposed.Clear();
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) d.transposed.Set(j, i, grid.Get(i, j));
  }
  if (DecodeOnce(d, d.transposed, n, text, secondString)) return Succeeded(d);
  // The orientation that got further says more about the miss.
  d.failure = std::max(upright, d.failure);
  std::fill(text.begin(), text.end(), uint8_t{0});
  std::fill(secondString.begin(), secondString.end(), uint8_t{0});
  d.textLength = 0;
  return 0;
}

}  // namespace cordavex
