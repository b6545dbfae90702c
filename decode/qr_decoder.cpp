#include "decode/qr_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decode/bch.h"
#include "decode/qr_layout.h"
#include "decode/qr_tables.h"

namespace cordavex {
namespace {

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

// One format copy: bit i of the result is the module for x^i of the BCH word.
uint32_t ReadFormatBits(const ModuleMatrix& grid, const QrCell (&cells)[15]) {
  uint32_t bits = 0;
  for (int i = 0; i < 15; ++i) {
    if (grid.Get(cells[i].row, cells[i].column)) bits |= 1u << i;
  }
  return bits;
}

// Unmasks and corrects one format copy; on success returns the five data bits
// (x^10..x^14 as bits 0..4), else -1.
int CorrectFormat(uint32_t bits) {
  bits ^= kQrFormatMask;
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
  const QrFormatCells cells = QrFormatPositions(n);
  const int data = CorrectFormat(ReadFormatBits(grid, cells.split));
  if (data >= 0) return data;
  return CorrectFormat(ReadFormatBits(grid, cells.corner));
}

// Level code in the format word (ISO/IEC 18004 Table 12): 01 L, 00 M, 11 Q, 10 H.
int LevelFromBits(int bits) {
  constexpr int kLevels[4] = {1, 0, 3, 2};
  return kLevels[bits & 3];
}

// The data modules of every version the reader takes, in placement order, and
// each mask's pattern as bit rows: a misread symbol is sampled and decoded many
// times over, and walking the function map and evaluating the mask condition
// module by module cost more than the rest of a failed decode. Built on first
// use (static storage, no allocation) and read-only afterwards.
constexpr int kReadableVersions = (kQrMaxDimension - kQrMinDimension) / 4 + 1;

// More than the data modules of all readable versions: every module of each.
constexpr int AllModules() {
  int sum = 0;
  for (int version = 1; version <= kReadableVersions; ++version) sum += QrSide(version) * QrSide(version);
  return sum;
}

struct QrModuleOrder {
  struct Position {
    uint8_t row, column;
  };
  // Placement order of all readable versions back to back; version v's modules
  // start at first[v - 1] and end at first[v].
  Position positions[AllModules()];
  int first[kReadableVersions + 1];
  // masks[m]: module (i, j) set where mask m flips it, for every i, j below 70.
  ModuleMatrix masks[8];

  QrModuleOrder() {
    int count = 0;
    for (int version = 1; version <= kReadableVersions; ++version) {
      first[version - 1] = count;
      QrForEachDataModule(version, [&](int row, int column) {
        positions[count++] = {static_cast<uint8_t>(row), static_cast<uint8_t>(column)};
        return true;
      });
    }
    first[kReadableVersions] = count;
    for (int mask = 0; mask < 8; ++mask) {
      masks[mask].Clear();
      for (int i = 0; i < ModuleMatrix::kSize; ++i) {
        for (int j = 0; j < ModuleMatrix::kSize; ++j) masks[mask].Set(i, j, QrMaskCondition(mask, i, j));
      }
    }
  }
};

const QrModuleOrder& ModuleOrder() {
  static const QrModuleOrder order;
  return order;
}

// Unmasks the data modules and packs their bits into codewords in placement
// order, most significant bit first.
int ReadCodewords(const ModuleMatrix& grid, int version, int mask, int total, uint8_t* codewords) {
  if (version < 1 || version > kReadableVersions || mask < 0 || mask > 7) return 0;
  const QrModuleOrder& order = ModuleOrder();
  const ModuleMatrix& flips = order.masks[mask];
  const int begin = order.first[version - 1];
  const int available = (order.first[version] - begin) / 8;
  const int count = std::min(total, available);
  const QrModuleOrder::Position* at = order.positions + begin;
  for (int k = 0; k < count; ++k) {
    uint32_t current = 0;
    for (int bit = 0; bit < 8; ++bit, ++at) {
      const bool dark = grid.Get(at->row, at->column) != flips.Get(at->row, at->column);
      current = (current << 1) | (dark ? 1u : 0u);
    }
    codewords[k] = static_cast<uint8_t>(current);
  }
  return count;
}

// Separates the interleaved blocks, corrects each and concatenates their data
// codewords into decoder.data. Returns 1, or 0 when a block is uncorrectable.
int CorrectBlocks(QrDecoder& d, const QrBlockLayout& layout) {
  int written = 0;
  for (int j = 0; j < layout.blocks; ++j) {
    const int dataLength = layout.DataLength(j);
    for (int k = 0; k < dataLength; ++k) d.block[k] = d.codewords[layout.DataIndex(j, k)];
    for (int e = 0; e < layout.check; ++e) {
      d.block[dataLength + e] = d.codewords[layout.CheckIndex(j, e)];
    }
    d.rs.variant = kRsQrCode;
    RsInit(d.rs, d.block, dataLength + layout.check, layout.check);
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
  const QrBlockLayout layout = QrBlocks(info, d.level);
  d.dataCodewords = layout.dataTotal;

  d.failure = Failure::kCodewordCount;
  if (ReadCodewords(grid, d.version, d.mask, d.totalCodewords, d.codewords) != d.totalCodewords) {
    return 0;
  }
  d.failure = Failure::kUncorrectable;
  if (!CorrectBlocks(d, layout)) return 0;
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
