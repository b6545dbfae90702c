#include "support/qr_symbols.h"

#include <qrencode.h>

#include <memory>
#include <random>

#include "decode/qr_tables.h"
#include "support/oracle_parity.h"

namespace cordavex::test {
namespace {

struct InputDeleter {
  void operator()(QRinput* p) const { QRinput_free(p); }
};
struct CodeDeleter {
  void operator()(QRcode* p) const { QRcode_free(p); }
};

QRencodeMode ToQrencode(QrSegmentMode mode) {
  switch (mode) {
    case QrSegmentMode::kNumeric: return QR_MODE_NUM;
    case QrSegmentMode::kAlphanumeric: return QR_MODE_AN;
    case QrSegmentMode::kByte: return QR_MODE_8;
    case QrSegmentMode::kKanji: return QR_MODE_KANJI;
    case QrSegmentMode::kEci: return QR_MODE_ECI;
  }
  return QR_MODE_8;
}

std::vector<uint8_t> Parity(std::span<const uint8_t> data, int e) {
  return OracleParity(data, e, 0x11D, 0);
}

uint32_t BchRemainder(uint32_t value, uint32_t generator, int generatorDegree) {
  for (int bit = 31; bit >= generatorDegree; --bit) {
    if (value & (1u << bit)) value ^= generator << (bit - generatorDegree);
  }
  return value;
}

// Draws function patterns and remembers which modules they took.
class Canvas {
 public:
  explicit Canvas(int version) : n_(4 * version + 17), reserved_(static_cast<size_t>(n_ * n_), 0) {
    symbol_.version = version;
    symbol_.size = n_;
    symbol_.modules.assign(static_cast<size_t>(n_ * n_), 0);
  }
  void Put(int r, int c, bool dark) {
    symbol_.Set(r, c, dark);
    reserved_[static_cast<size_t>(r * n_ + c)] = 1;
  }
  bool Reserved(int r, int c) const { return reserved_[static_cast<size_t>(r * n_ + c)] != 0; }
  int Size() const { return n_; }
  QrSymbol& Symbol() { return symbol_; }

  void Finder(int top, int left) {
    for (int dr = -1; dr <= 7; ++dr) {
      for (int dc = -1; dc <= 7; ++dc) {
        const int r = top + dr, c = left + dc;
        if (r < 0 || c < 0 || r >= n_ || c >= n_) continue;
        const int ring = std::max(std::abs(dr - 3), std::abs(dc - 3));
        Put(r, c, ring != 2 && ring != 4);
      }
    }
  }
  void Alignment(int row, int column) {
    for (int dr = -2; dr <= 2; ++dr) {
      for (int dc = -2; dc <= 2; ++dc) Put(row + dr, column + dc, std::max(std::abs(dr), std::abs(dc)) != 1);
    }
  }

 private:
  int n_;
  std::vector<uint8_t> reserved_;
  QrSymbol symbol_;
};

}  // namespace

ModuleMatrix QrSymbol::ToMatrix() const {
  ModuleMatrix m;
  m.Clear();
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) m.Set(r, c, Dark(r, c));
  }
  return m;
}

std::optional<QrSymbol> EncodeQrSegments(std::span<const QrSegment> segments, int version,
                                         int level) {
  std::unique_ptr<QRinput, InputDeleter> input(
      QRinput_new2(version, static_cast<QRecLevel>(level)));
  if (!input) return std::nullopt;
  for (const QrSegment& s : segments) {
    int rc = 0;
    if (s.mode == QrSegmentMode::kEci) {
      rc = QRinput_appendECIheader(input.get(), s.eci);
    } else {
      rc = QRinput_append(input.get(), ToQrencode(s.mode), static_cast<int>(s.data.size()),
                          reinterpret_cast<const unsigned char*>(s.data.data()));
    }
    if (rc != 0) return std::nullopt;
  }
  std::unique_ptr<QRcode, CodeDeleter> code(QRcode_encodeInput(input.get()));
  if (!code || code->version != version) return std::nullopt;
  QrSymbol symbol;
  symbol.version = code->version;
  symbol.size = code->width;
  symbol.modules.resize(static_cast<size_t>(code->width * code->width));
  for (size_t i = 0; i < symbol.modules.size(); ++i) symbol.modules[i] = code->data[i] & 1;
  return symbol;
}

std::optional<QrSymbol> EncodeQrBytes(std::span<const uint8_t> bytes, int version, int level) {
  const QrSegment segment{QrSegmentMode::kByte, std::string(bytes.begin(), bytes.end())};
  return EncodeQrSegments({&segment, 1}, version, level);
}

int QrDataCodewordCount(int version, int level) {
  return QrVersion(version)->dataCodewords[level];
}

int QrByteCapacity(int version, int level) {
  const int countBits = version <= 9 ? 8 : 16;
  return (QrDataCodewordCount(version, level) * 8 - 4 - countBits) / 8;
}

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(count);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng() & 0xFF);
  return out;
}

void QrBitStream::Append(uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) bits_.push_back(static_cast<uint8_t>((value >> i) & 1u));
}

std::vector<uint8_t> QrBitStream::DataCodewords(int count) const {
  std::vector<uint8_t> bits = bits_;
  const size_t capacity = static_cast<size_t>(count) * 8;
  for (int i = 0; i < 4 && bits.size() < capacity; ++i) bits.push_back(0);  // terminator
  while (bits.size() % 8 != 0 && bits.size() < capacity) bits.push_back(0);
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 8 <= bits.size() && out.size() < static_cast<size_t>(count); i += 8) {
    uint8_t byte = 0;
    for (size_t k = 0; k < 8; ++k) byte = static_cast<uint8_t>((byte << 1) | bits[i + k]);
    out.push_back(byte);
  }
  for (bool flip = false; out.size() < static_cast<size_t>(count); flip = !flip) {
    out.push_back(flip ? 0x11 : 0xEC);
  }
  return out;
}

QrSymbol BuildQrSymbol(int version, int level, int mask, std::span<const uint8_t> data) {
  const QrVersionInfo& info = *QrVersion(version);
  const int total = info.totalCodewords;
  const int blocks = QrBlockCount(info, level);
  const int e = QrCheckCodewords(info, level) / blocks;
  const int shortLength = total / blocks;
  const int longCount = total % blocks;

  // Split into blocks (short blocks first), add parity, interleave.
  std::vector<std::vector<uint8_t>> dataBlocks, checkBlocks;
  size_t offset = 0;
  for (int j = 0; j < blocks; ++j) {
    const int length = shortLength + (j >= blocks - longCount ? 1 : 0) - e;
    std::vector<uint8_t> block(data.begin() + static_cast<long>(offset),
                               data.begin() + static_cast<long>(offset) + length);
    offset += static_cast<size_t>(length);
    checkBlocks.push_back(Parity(block, e));
    dataBlocks.push_back(std::move(block));
  }
  std::vector<uint8_t> stream;
  for (size_t k = 0; k <= static_cast<size_t>(shortLength - e); ++k) {
    for (const auto& b : dataBlocks) {
      if (k < b.size()) stream.push_back(b[k]);
    }
  }
  for (int k = 0; k < e; ++k) {
    for (const auto& b : checkBlocks) stream.push_back(b[static_cast<size_t>(k)]);
  }

  Canvas canvas(version);
  const int n = canvas.Size();
  canvas.Finder(0, 0);
  canvas.Finder(0, n - 7);
  canvas.Finder(n - 7, 0);
  for (int i = 8; i < n - 8; ++i) {
    canvas.Put(6, i, i % 2 == 0);
    canvas.Put(i, 6, i % 2 == 0);
  }
  int centres[kQrMaxAlignment + 1];
  const int count = QrAlignmentCentres(version, centres);
  for (int a = 0; a < count; ++a) {
    for (int b = 0; b < count; ++b) {
      const bool onFinder = (a == 0 && b == 0) || (a == 0 && b == count - 1) ||
                            (a == count - 1 && b == 0);
      if (!onFinder) canvas.Alignment(centres[a], centres[b]);
    }
  }
  canvas.Put(n - 8, 8, true);  // the dark module

  // Format information (levels are coded 01 L, 00 M, 11 Q, 10 H).
  constexpr uint32_t kLevelBits[4] = {1, 0, 3, 2};
  const uint32_t formatData = (kLevelBits[level] << 3) | static_cast<uint32_t>(mask);
  const uint32_t format =
      ((formatData << 10) | BchRemainder(formatData << 10, 0x537, 10)) ^ 0x5412;
  for (int i = 0; i < 15; ++i) {
    const bool bit = (format >> i) & 1u;
    if (i < 8) {
      canvas.Put(8, n - 1 - i, bit);
    } else {
      canvas.Put(n - 15 + i, 8, bit);
    }
    if (i < 6) {
      canvas.Put(i, 8, bit);
    } else if (i == 6) {
      canvas.Put(7, 8, bit);
    } else if (i == 7) {
      canvas.Put(8, 8, bit);
    } else if (i == 8) {
      canvas.Put(8, 7, bit);
    } else {
      canvas.Put(8, 14 - i, bit);
    }
  }
  if (version >= 7) {
    const uint32_t bits = (static_cast<uint32_t>(version) << 12) |
                          BchRemainder(static_cast<uint32_t>(version) << 12, 0x1F25, 12);
    for (int i = 0; i < 18; ++i) {
      const bool bit = (bits >> i) & 1u;
      canvas.Put(i / 3, n - 11 + i % 3, bit);
      canvas.Put(n - 11 + i % 3, i / 3, bit);
    }
  }
  // The separator modules beside the finders that Finder() drew are reserved;
  // also reserve the format areas already written. Place the data.
  size_t bitIndex = 0;
  const size_t bitTotal = stream.size() * 8;
  bool upwards = true;
  for (int right = n - 1; right > 0; right -= 2) {
    if (right == 6) right = 5;
    for (int step = 0; step < n; ++step) {
      const int row = upwards ? n - 1 - step : step;
      for (int c = 0; c < 2; ++c) {
        const int column = right - c;
        if (canvas.Reserved(row, column)) continue;
        bool dark = false;
        if (bitIndex < bitTotal) {
          dark = (stream[bitIndex / 8] >> (7 - bitIndex % 8)) & 1u;
          ++bitIndex;
        }
        canvas.Symbol().Set(row, column, dark != QrMaskCondition(mask, row, column));
      }
    }
    upwards = !upwards;
  }
  return canvas.Symbol();
}

}  // namespace cordavex::test
