#include "decode/cv_decoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "decode/bch.h"

namespace cordavex {
namespace {

int Fail(Failure& slot, Failure why) {
  slot = why;
  return 0;
}

// Counts the modules of one corner area that differ from what the generator
// draws: the two arms of k dark modules along the border, the light module
// that ends each arm, and the light inner L one module in.
int CornerErrors(const ModuleMatrix& grid, int arm, int r0, int c0, int dr, int dc) {
  int errors = 0;
  const auto expect = [&](int row, int column, bool dark) {
    if (grid.Get(row, column) != dark) ++errors;
  };
  for (int i = 0; i < arm; ++i) {
    expect(r0, c0 + dc * i, true);
    if (i > 0) expect(r0 + dr * i, c0, true);
  }
  expect(r0, c0 + dc * arm, false);
  expect(r0 + dr * arm, c0, false);
  for (int i = 1; i <= arm; ++i) {
    expect(r0 + dr, c0 + dc * i, false);
    if (i > 1) expect(r0 + dr * i, c0 + dc, false);
  }
  return errors;
}

bool CornersIntact(const ModuleMatrix& grid, int side, int arm) {
  const int e = side - 1;
  return CornerErrors(grid, arm, 0, 0, 1, 1) <= arm && CornerErrors(grid, arm, 0, e, 1, -1) <= arm &&
         CornerErrors(grid, arm, e, 0, -1, 1) <= arm && CornerErrors(grid, arm, e, e, -1, -1) <= arm;
}

// Most significant bit first over a run of codewords.
class BitReader {
 public:
  BitReader(const uint8_t* bytes, int count) : bytes_(bytes), bits_(8 * count) {}
  int Left() const { return bits_ - at_; }
  // Callers check Left() first; reading past the end yields zero bits.
  int Read(int n) {
    int value = 0;
    for (int i = 0; i < n; ++i, ++at_) {
      const int bit = at_ < bits_ ? (bytes_[at_ >> 3] >> (7 - (at_ & 7))) & 1 : 0;
      value = (value << 1) | bit;
    }
    return value;
  }

 private:
  const uint8_t* bytes_;
  int bits_;
  int at_ = 0;
};

// The payload as it is written: UTF-16 little-endian text and raw bytes into
// the caller's buffer, keeping room for a closing zero unit, and the span of
// the field that a keyword opened.
class Output {
 public:
  Output(std::span<uint8_t> buffer, std::span<CvFieldSpan, kCvKeywordCount> fields)
      : buffer_(buffer), fields_(fields) {}

  int Length() const { return length_; }
  bool Full() const { return full_; }

  void Unit(char16_t unit) {
    if (!Room(2)) return;
    buffer_[length_++] = static_cast<uint8_t>(unit & 0xFF);
    buffer_[length_++] = static_cast<uint8_t>(unit >> 8);
    Grow(unit, 2);
  }
  void Ascii(std::string_view text) {
    for (char c : text) Unit(static_cast<unsigned char>(c));
  }
  void Byte(uint8_t byte) {
    if (!Room(1)) return;
    buffer_[length_++] = byte;
    Grow(byte, 1);
  }
  void OpenField(int index) {
    open_ = index;
    fields_[index].start = length_;
    fields_[index].length = 0;
  }
  void CloseField() { open_ = -1; }

 private:
  bool Room(int bytes) {
    // Two bytes stay free for the zero unit that ends a text.
    if (length_ + bytes + 2 > static_cast<int>(buffer_.size())) full_ = true;
    return !full_;
  }
  void Grow(char16_t unit, int bytes) {
    if (open_ < 0) return;
    if (unit == u';') {
      open_ = -1;  // a value ends at its ";"
      return;
    }
    fields_[open_].length += bytes;
  }

  std::span<uint8_t> buffer_;
  std::span<CvFieldSpan, kCvKeywordCount> fields_;
  int length_ = 0;
  int open_ = -1;
  bool full_ = false;
};

// The payload stream of the corrected data codewords.
int DecodeStream(CvDecoder& d, std::span<uint8_t> buffer, std::span<uint8_t> secondString,
                 std::span<CvFieldSpan, kCvKeywordCount> fields) {
  BitReader in(d.data, d.geometry.data);
  Output out(buffer, fields);
  const int w = d.geometry.countWidth;
  const auto setKind = [&](int32_t kind) {
    // Binary content stays binary when text follows it.
    if (d.contentKind == kCvPayloadNone || kind != kCvPayloadText) d.contentKind = kind;
  };
  bool first = true;
  while (in.Left() >= kCvModeBits) {
    const int mode = in.Read(kCvModeBits);
    if (mode == kCvModeEnd) {
      if (first) return Fail(d.failure, Failure::kMalformedStream);
      if (out.Full()) return Fail(d.failure, Failure::kCvOutputFull);
      d.outputLength = out.Length();
      return 1;
    }
    first = false;
    switch (mode) {
      case kCvModeNumeric: {
        if (in.Left() < w) return Fail(d.failure, Failure::kMalformedStream);
        int digits = in.Read(w) + 1;
        setKind(kCvPayloadText);
        char group[16];
        while (digits > 0) {
          const int n = std::min(digits, 3);
          const int bits = n == 3 ? 10 : n == 2 ? 7 : 4;
          const int limit = n == 3 ? 1000 : n == 2 ? 100 : 10;
          if (in.Left() < bits) return Fail(d.failure, Failure::kMalformedStream);
          const int value = in.Read(bits);
          if (value < limit) {
            std::snprintf(group, sizeof group, "%0*d", n, value);
            out.Ascii(group);
          }
          digits -= n;
        }
        break;
      }
      case kCvModePhone: {
        setKind(kCvPayloadText);
        for (;;) {
          if (in.Left() < 5) return Fail(d.failure, Failure::kMalformedStream);
          const int value = in.Read(4);
          if (value == 0) break;
          if (value < static_cast<int>(kCvPhoneAlphabet.size())) {
            out.Unit(static_cast<unsigned char>(kCvPhoneAlphabet[value]));
          }
        }
        break;
      }
      case kCvModeSixBit: {
        setKind(kCvPayloadText);
        bool capitals = false;
        bool escaped = false;
        while (in.Left() >= 7) {
          const int value = in.Read(6);
          if (value == kCvSixBitEnd) break;
          if (value == kCvSixBitEscape) {
            escaped = true;  // a second escape leaves it escaped
            continue;
          }
          if (escaped && value < static_cast<int>(kCvSixBitEscaped.size())) {
            out.Unit(static_cast<unsigned char>(kCvSixBitEscaped[value]));
            escaped = false;
            continue;
          }
          if (value == kCvSixBitCapitalsOn || value == kCvSixBitCapitalsOff) {
            if (!escaped) capitals = value == kCvSixBitCapitalsOn;
            escaped = false;
            continue;
          }
          char c = kCvSixBitAlphabet[value];
          if (capitals != escaped && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
          out.Unit(static_cast<unsigned char>(c));
          escaped = false;
        }
        break;
      }
      case kCvModeWide: {
        if (in.Left() < w) return Fail(d.failure, Failure::kMalformedStream);
        const int units = in.Read(w) + 1;
        if (in.Left() < 16 * units) return Fail(d.failure, Failure::kMalformedStream);
        setKind(kCvPayloadText);
        for (int i = 0; i < units; ++i) {
          const int unit = in.Read(16);
          if (unit == 0) return Fail(d.failure, Failure::kMalformedStream);
          out.Unit(static_cast<char16_t>(unit));
        }
        break;
      }
      case kCvModeBytes: {
        if (in.Left() < w) return Fail(d.failure, Failure::kMalformedStream);
        const int count = in.Read(w) + 1;
        if (in.Left() < 8 * count) return Fail(d.failure, Failure::kMalformedStream);
        setKind(kCvPayloadBinary);
        d.information.byteStart = out.Length();
        d.information.byteCount = count;
        for (int i = 0; i < count; ++i) out.Byte(static_cast<uint8_t>(in.Read(8)));
        std::snprintf(reinterpret_cast<char*>(secondString.data()), secondString.size(), "%d",
                      count);
        break;
      }
      case kCvModeSplit: {
        if (in.Left() < w + 16) return Fail(d.failure, Failure::kMalformedStream);
        const int count = in.Read(w) + 1;
        const int parity = in.Read(8);
        const int index = in.Read(4);
        const int last = in.Read(4);
        if (in.Left() < 8 * count) return Fail(d.failure, Failure::kMalformedStream);
        setKind(kCvPayloadSplit);
        int xorOfBytes = 0;
        d.information.byteStart = out.Length();
        d.information.byteCount = count;
        for (int i = 0; i < count; ++i) {
          const int byte = in.Read(8);
          xorOfBytes ^= byte;
          out.Byte(static_cast<uint8_t>(byte));
        }
        std::snprintf(reinterpret_cast<char*>(secondString.data()), secondString.size(),
                      "%d:%d:%d:%d:%d", parity, xorOfBytes, index, last, count);
        break;
      }
      case kCvModeKeyword: {
        if (in.Left() < 7) return Fail(d.failure, Failure::kMalformedStream);
        const int index = in.Read(7);
        if (index == kCvFunctionEscape) {
          if (in.Left() < 8) return Fail(d.failure, Failure::kMalformedStream);
          d.information.hasFunction = 1;
          d.information.functionNumber = in.Read(8);
          break;
        }
        if (index >= kCvKeywordCount) return Fail(d.failure, Failure::kMalformedStream);
        setKind(kCvPayloadText);
        const CvKeyword& keyword = kCvKeywords[static_cast<size_t>(index)];
        out.Ascii(keyword.text);
        if (keyword.opensField) out.OpenField(index);
        break;
      }
      default:
        break;
    }
    if (out.Full()) return Fail(d.failure, Failure::kCvOutputFull);
  }
  // Out of bits before the end mode.
  return Fail(d.failure, Failure::kMalformedStream);
}

}  // namespace

int CvDecodeGrid(CvDecoder& d, const ModuleMatrix& grid, int dimension,
                 std::span<uint8_t> output, std::span<uint8_t> secondString,
                 std::span<CvFieldSpan, kCvKeywordCount> fields) {
  std::fill(output.begin(), output.end(), uint8_t{0});
  std::fill(secondString.begin(), secondString.end(), uint8_t{0});
  std::fill(fields.begin(), fields.end(), CvFieldSpan{});
  d.side = dimension;
  d.level = -1;
  d.mask = -1;
  d.contentKind = kCvPayloadNone;
  d.outputLength = 0;
  d.information = {};
  d.failure = Failure::kNone;
  // Three bytes at least: "%d" of a count, or room for one text unit and its zero.
  if (output.size() < 4 || secondString.size() < 24) return Fail(d.failure, Failure::kCvOutputFull);
  if (CvSizeIndex(dimension) < 0) return Fail(d.failure, Failure::kGridDimension);
  const int arm = kCvSizes[CvSizeIndex(dimension)].arm;
  if (!CornersIntact(grid, dimension, arm)) return Fail(d.failure, Failure::kCvCornerMarks);

  // Format word: bit i is w(14 - i); Bch15CorrectBytes wants byte j as x^(10+j)
  // for the data and 5 + j as x^j for the check bits.
  uint8_t format[15];
  for (int i = 0; i < 15; ++i) {
    const CvModule m = CvFormatModule(dimension, i);
    const int power = 14 - i;
    format[power >= 10 ? power - 10 : 5 + power] = grid.Get(m.row, m.column) ? 1 : 0;
  }
  if (Bch15CorrectBytes(std::span<uint8_t, 15>(format)) != 1) {
    return Fail(d.failure, Failure::kFormat);
  }
  int value = 0;
  for (int i = 0; i < 5; ++i) value |= format[i] << i;
  d.level = value >> 3;
  d.mask = value & 7;
  CvGeometry& g = d.geometry;
  if (CvMakeGeometry(dimension, d.level, g) != 1 || g.check % g.blocks != 0 ||
      (g.check / g.blocks) % 2 != 0 || g.total > kCvMaxCodewords) {
    return Fail(d.failure, Failure::kGridDimension);
  }

  // Codewords in placement order, unmasked on the way.
  std::memset(d.codewords, 0, sizeof d.codewords);
  int bit = 0;
  const int bits = 8 * g.total;
  const int mask = d.mask;
  CvForEachDataModule(dimension, arm, [&](int r, int c) {
    if (bit >= bits) return;
    const bool dark = grid.Get(r, c) != CvMaskBit(mask, r, c);
    if (dark) d.codewords[bit >> 3] = static_cast<uint8_t>(d.codewords[bit >> 3] | (0x80 >> (bit & 7)));
    ++bit;
  });
  if (bit < bits) return Fail(d.failure, Failure::kCodewordCount);

  // Blocks: the first (D mod blocks) carry one data codeword more.
  const int checkPerBlock = g.check / g.blocks;
  const int shortData = g.data / g.blocks;
  const int longBlocks = g.data % g.blocks;
  int dataAt = 0;
  for (int b = 0; b < g.blocks; ++b) {
    const int dataLength = shortData + (b < longBlocks ? 1 : 0);
    const int n = dataLength + checkPerBlock;
    if (n > kRsMaxBlock) return Fail(d.failure, Failure::kGridDimension);
    for (int i = 0; i < dataLength; ++i) d.block[i] = d.codewords[dataAt + i];
    for (int i = 0; i < checkPerBlock; ++i) {
      d.block[dataLength + i] = d.codewords[g.data + b * checkPerBlock + i];
    }
    d.rs.variant = kRsCordavexCode;
    RsInit(d.rs, d.block, n, checkPerBlock);
    if (RsCorrect(d.rs) != 1) return Fail(d.failure, Failure::kUncorrectable);
    for (int i = 0; i < dataLength; ++i) d.data[dataAt + i] = static_cast<uint8_t>(d.block[i]);
    dataAt += dataLength;
  }
  return DecodeStream(d, output, secondString, fields);
}

int CvSecondString(const CvDecoder& decoder, std::span<const uint8_t> decoderSecond,
                   std::span<uint8_t> out) {
  std::fill(out.begin(), out.end(), uint8_t{0});
  if (out.empty()) return 0;
  const size_t room = out.size() - 1;
  size_t n = 0;
  if (decoder.contentKind == kCvPayloadBinary && decoder.information.hasFunction == 1) {
    // "D:", the function number, then each number as its digit count and its
    // 7-bit digits, least significant first (one digit 0 for 0, as the QR code reader writes it).
    uint8_t record[2 + 1 + 2 * 6];
    size_t at = 0;
    record[at++] = 'D';
    record[at++] = ':';
    record[at++] = static_cast<uint8_t>(decoder.information.functionNumber);
    for (const int32_t number : {decoder.information.byteCount, decoder.information.byteStart}) {
      const size_t countAt = at++;
      uint32_t v = static_cast<uint32_t>(number);
      uint8_t digits = 0;
      do {
        record[at++] = static_cast<uint8_t>(v & 0x7F);
        v >>= 7;
        ++digits;
      } while (v != 0);
      record[countAt] = digits;
    }
    n = std::min(at, room);
    std::copy_n(record, n, out.begin());
    return static_cast<int>(n);
  }
  for (; n < room && n < decoderSecond.size() && decoderSecond[n] != 0; ++n) out[n] = decoderSecond[n];
  return static_cast<int>(n);
}

// ---- older fixed layout ----

namespace {

bool OlderFunctionTaken(int type) {
  return type == 1 || type == 2 || type == 3 || (type >= 5 && type <= 12) ||
         (type >= 16 && type <= 20) || type == 29 || type == 63;
}

// The band's bits, read in order without storing them.
class OlderReader {
 public:
  OlderReader(const ModuleMatrix& grid, int dimension) : grid_(grid) {
    const int arm = dimension < 21 ? 3 : dimension < 29 ? 5 : 7;
    first_ = arm + 1;
    width_ = dimension - 1;
    bits_ = (dimension - 2 * arm - 2) * width_;
  }
  int Left() const { return bits_ - at_; }
  int Read(int n) {
    int value = 0;
    for (int i = 0; i < n; ++i, ++at_) {
      const bool dark = at_ < bits_ && grid_.Get(first_ + at_ / width_, 1 + at_ % width_);
      value = (value << 1) | (dark ? 1 : 0);
    }
    return value;
  }

 private:
  const ModuleMatrix& grid_;
  int first_ = 0;
  int width_ = 0;
  int bits_ = 0;
  int at_ = 0;
};

bool ReadOlderString(OlderReader& in, std::span<uint8_t> out) {
  if (in.Left() < 8) return false;
  const int count = in.Read(8);
  if (in.Left() < 8 * count || count + 1 > static_cast<int>(out.size())) return false;
  for (int i = 0; i < count; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(in.Read(8));
  return true;
}

}  // namespace

int CvDecodeOlderGrid(const ModuleMatrix& grid, int dimension, CvOlderOutput output,
                      int32_t& contentKind, Failure& failure) {
  failure = Failure::kNone;
  std::span<uint8_t> strings[5] = {output.text, output.secondString, output.further[0],
                                   output.further[1], output.further[2]};
  for (std::span<uint8_t> s : strings) std::fill(s.begin(), s.end(), uint8_t{0});
  if (std::find(std::begin(kCvOlderSides), std::end(kCvOlderSides), dimension) ==
      std::end(kCvOlderSides)) {
    return Fail(failure, Failure::kGridDimension);
  }
  int type = 0;
  for (int c = dimension - 8; c <= dimension - 3; ++c) {
    type = (type << 1) | (grid.Get(dimension - 3, c) ? 1 : 0);
  }
  if (!OlderFunctionTaken(type)) return Fail(failure, Failure::kCvFunctionType);

  OlderReader in(grid, dimension);
  if (!ReadOlderString(in, output.text)) return Fail(failure, Failure::kMalformedStream);
  if (type == kCvOlderSimpleContact || type == kCvOlderBusinessCard) {
    if (!ReadOlderString(in, output.secondString)) return Fail(failure, Failure::kMalformedStream);
  }
  if (type == kCvOlderBusinessCard) {
    if (!ReadOlderString(in, output.further[0]) || !ReadOlderString(in, output.further[1])) {
      return Fail(failure, Failure::kMalformedStream);
    }
    // A present part is written as prefix, number, suffix; the basement flag
    // as its letter alone.
    struct AddressPart {
      int bits;
      const char* prefix;
      const char* suffix;
    };
    static constexpr AddressPart kParts[] = {
        {4, "", "S"}, {10, "", "R"}, {8, "", "L"}, {10, "", "H"},
        {7, "E", " "}, {7, "", "F"}, {1, "", "B"}, {10, "", "M"},
    };
    if (in.Left() < 10) return Fail(failure, Failure::kMalformedStream);
    const int postalCode = in.Read(10);
    char address[96];
    int length = std::snprintf(address, sizeof address, "%03d#", postalCode % 1000);
    for (const AddressPart& part : kParts) {
      if (in.Left() < part.bits) return Fail(failure, Failure::kMalformedStream);
      const int value = in.Read(part.bits);
      if (value == 0) continue;
      char* at = address + length;
      const size_t room = sizeof address - static_cast<size_t>(length);
      length += part.bits == 1 ? std::snprintf(at, room, "%s", part.suffix)
                               : std::snprintf(at, room, "%s%d%s", part.prefix, value, part.suffix);
    }
    if (length + 1 > static_cast<int>(output.further[2].size())) {
      return Fail(failure, Failure::kCvOutputFull);
    }
    std::memcpy(output.further[2].data(), address, static_cast<size_t>(length));
  }
  contentKind = type;
  return 1;
}

}  // namespace cordavex
