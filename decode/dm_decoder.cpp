// Data Matrix ECC 200: placement walk, Reed-Solomon correction and the
// encodations.
#include "decode/dm_decoder.h"

#include <algorithm>
#include <cstring>

namespace cordavex {
namespace {

// ASCII codewords (ISO/IEC 16022 Table 2).
constexpr int kAsciiPad = 129;
constexpr int kAsciiFirstDigitPair = 130;  // 130..229: "00".."99"
constexpr int kAsciiLastDigitPair = 229;
constexpr int kLatchC40 = 230;
constexpr int kLatchBase256 = 231;
constexpr int kFnc1 = 232;
constexpr int kStructuredAppend = 233;
constexpr int kReaderProgramming = 234;
constexpr int kUpperShift = 235;
constexpr int kMacro05 = 236;
constexpr int kMacro06 = 237;
constexpr int kLatchX12 = 238;
constexpr int kLatchText = 239;
constexpr int kLatchEdifact = 240;
constexpr int kEci = 241;
constexpr int kUnlatch = 254;  // C40, Text, X12: back to ASCII

constexpr int kEdifactUnlatch = 31;

enum class Scheme { kAscii, kC40, kText, kX12, kEdifact, kBase256 };

// ---- Placement -------------------------------------------------------------

// The placement walk over the nrow x ncol mapping matrix, which sits at grid
// rows and columns 1 onwards.
class Placement {
 public:
  Placement(DmDecoder& d, const ModuleMatrix& grid, int nrow, int ncol)
      : d_(d), grid_(grid), nrow_(nrow), ncol_(ncol) {}

  int Walk() {
    d_.visited.Clear();
    int row = 4, col = 0;
    do {
      if (row == nrow_ && col == 0) Corner1();
      if (row == nrow_ - 2 && col == 0 && ncol_ % 4 != 0) Corner2();
      if (row == nrow_ - 2 && col == 0 && ncol_ % 8 == 4) Corner3();
      if (row == nrow_ + 4 && col == 2 && ncol_ % 8 == 0) Corner4();
      // Up and to the right.
      do {
        if (row < nrow_ && col >= 0 && !d_.visited.Get(row, col)) Utah(row, col);
        row -= 2;
        col += 2;
      } while (row >= 0 && col < ncol_);
      row += 1;
      col += 3;
      // Down and to the left.
      do {
        if (row >= 0 && col < ncol_ && !d_.visited.Get(row, col)) Utah(row, col);
        row += 2;
        col -= 2;
      } while (row < nrow_ && col >= 0);
      row += 3;
      col += 1;
    } while (row < nrow_ || col < ncol_);
    return count_;
  }

 private:
  // One module of the current codeword; negative positions wrap as the
  // standard prescribes.
  int Module(int row, int col) {
    if (row < 0) {
      row += nrow_;
      col += 4 - ((nrow_ + 4) % 8);
    }
    if (col < 0) {
      col += ncol_;
      row += 4 - ((ncol_ + 4) % 8);
    }
    d_.visited.Set(row, col, true);
    return grid_.Get(1 + row, 1 + col) ? 1 : 0;
  }

  // Appends a codeword from eight modules, most significant bit first.
  void Emit(const int (&at)[8][2]) {
    int value = 0;
    for (const auto& p : at) value = (value << 1) | Module(p[0], p[1]);
    if (count_ < kDmMaxReadCodewords) d_.codewords[count_] = static_cast<uint8_t>(value);
    ++count_;
  }

  // The standard codeword shape, its bit 0 at (row, col).
  void Utah(int r, int c) {
    const int at[8][2] = {{r - 2, c - 2}, {r - 2, c - 1}, {r - 1, c - 2}, {r - 1, c - 1},
                          {r - 1, c},     {r, c - 2},     {r, c - 1},     {r, c}};
    Emit(at);
  }
  void Corner1() {
    const int n = nrow_, m = ncol_;
    const int at[8][2] = {{n - 1, 0}, {n - 1, 1}, {n - 1, 2}, {0, m - 2},
                          {0, m - 1}, {1, m - 1}, {2, m - 1}, {3, m - 1}};
    Emit(at);
  }
  void Corner2() {
    const int n = nrow_, m = ncol_;
    const int at[8][2] = {{n - 3, 0}, {n - 2, 0}, {n - 1, 0}, {0, m - 4},
                          {0, m - 3}, {0, m - 2}, {0, m - 1}, {1, m - 1}};
    Emit(at);
  }
  void Corner3() {
    const int n = nrow_, m = ncol_;
    const int at[8][2] = {{n - 3, 0}, {n - 2, 0}, {n - 1, 0}, {0, m - 2},
                          {0, m - 1}, {1, m - 1}, {2, m - 1}, {3, m - 1}};
    Emit(at);
  }
  void Corner4() {
    const int n = nrow_, m = ncol_;
    const int at[8][2] = {{n - 1, 0},     {n - 1, m - 1}, {0, m - 3}, {0, m - 2},
                          {0, m - 1},     {1, m - 3},     {1, m - 2}, {1, m - 1}};
    Emit(at);
  }

  DmDecoder& d_;
  const ModuleMatrix& grid_;
  int nrow_;
  int ncol_;
  int count_ = 0;
};

// ---- Encodations -----------------------------------------------------------

// The text being written: bounded by the buffer, always leaving room for the
// terminating zero.
class TextOut {
 public:
  explicit TextOut(std::span<uint8_t> text) : text_(text) {}
  void Put(int byte) {
    if (length_ + 1 < text_.size()) text_[length_++] = static_cast<uint8_t>(byte);
  }
  void Put(const char* s) {
    while (*s != 0) Put(static_cast<uint8_t>(*s++));
  }
  size_t length() const { return length_; }

 private:
  std::span<uint8_t> text_;
  size_t length_ = 0;
};

class Stream {
 public:
  Stream(DmDecoder& d, std::span<const uint8_t> data, TextOut& out) : d_(d), data_(data), out_(out) {}

  int Run() {
    Scheme scheme = Scheme::kAscii;
    while (pos_ < data_.size() && !done_) {
      switch (scheme) {
        case Scheme::kAscii:
          if (!Ascii(scheme)) return 0;
          break;
        case Scheme::kC40:
        case Scheme::kText:
        case Scheme::kX12:
          if (!Triples(scheme)) return 0;
          scheme = Scheme::kAscii;
          break;
        case Scheme::kEdifact:
          Edifact();
          scheme = Scheme::kAscii;
          break;
        case Scheme::kBase256:
          if (!Base256()) return 0;
          scheme = Scheme::kAscii;
          break;
      }
    }
    return 1;
  }

 private:
  int Fail(Failure why) {
    d_.failure = why;
    return 0;
  }

  // One ASCII codeword, or a latch to another scheme.
  int Ascii(Scheme& scheme) {
    const int c = data_[pos_++];
    if (c >= 1 && c <= 128) {
      out_.Put(c - 1);
    } else if (c == kAsciiPad) {
      done_ = true;  // the rest is padding
    } else if (c >= kAsciiFirstDigitPair && c <= kAsciiLastDigitPair) {
      const int v = c - kAsciiFirstDigitPair;
      out_.Put('0' + v / 10);
      out_.Put('0' + v % 10);
    } else if (c == kLatchC40) {
      scheme = Scheme::kC40;
    } else if (c == kLatchBase256) {
      scheme = Scheme::kBase256;
    } else if (c == kLatchX12) {
      scheme = Scheme::kX12;
    } else if (c == kLatchText) {
      scheme = Scheme::kText;
    } else if (c == kLatchEdifact) {
      scheme = Scheme::kEdifact;
    } else if (c == kUpperShift) {
      // The next codeword is an ASCII value with 128 added.
      if (pos_ >= data_.size()) return Fail(Failure::kMalformedStream);
      const int next = data_[pos_++];
      if (next < 1 || next > 128) return Fail(Failure::kMalformedStream);
      out_.Put(next + 127);
    } else if (c == kFnc1 || c == kStructuredAppend || c == kReaderProgramming ||
               c == kMacro05 || c == kMacro06 || c == kEci) {
      return Fail(Failure::kDmFunctionCodeword);
    } else if (c == kUnlatch) {
      // An unlatch met in ASCII is already where it leads.
    } else {
      return Fail(Failure::kMalformedStream);  // 0 and the undefined 242..253, 255
    }
    return 1;
  }

  // C40, Text and X12: pairs of codewords holding three values each, until an
  // unlatch or the end of the data. Only an unlatch can stand first in a pair:
  // any other first codeword, 230..241 included, is part of a pair, so those
  // values mean letters here, not latches or function codewords.
  int Triples(Scheme scheme) {
    int shift = 0;
    bool upper = false;
    while (pos_ < data_.size()) {
      const int c1 = data_[pos_];
      if (c1 == kUnlatch) {
        ++pos_;
        return 1;
      }
      if (pos_ + 1 >= data_.size()) return 1;  // a single codeword left: ASCII
      const int c2 = data_[pos_ + 1];
      pos_ += 2;
      const int v = 256 * c1 + c2 - 1;
      const int values[3] = {v / 1600, (v / 40) % 40, v % 40};
      for (int value : values) {
        if (scheme == Scheme::kX12) {
          X12Value(value);
        } else {
          TextValue(scheme, value, shift, upper);
        }
      }
    }
    return 1;
  }

  void X12Value(int value) {
    if (value == 0) {
      out_.Put('\r');
    } else if (value == 1) {
      out_.Put('*');
    } else if (value == 2) {
      out_.Put('>');
    } else if (value == 3) {
      out_.Put(' ');
    } else if (value <= 13) {
      out_.Put('0' + value - 4);
    } else {
      out_.Put('A' + value - 14);
    }
  }

  void PutShifted(int byte, bool& upper) {
    out_.Put(upper ? byte + 128 : byte);
    upper = false;
  }

  void TextValue(Scheme scheme, int value, int& shift, bool& upper) {
    const int set = shift;
    shift = 0;
    switch (set) {
      case 0:
        if (value <= 2) {
          shift = value + 1;
        } else if (value == 3) {
          PutShifted(' ', upper);
        } else if (value <= 13) {
          PutShifted('0' + value - 4, upper);
        } else {
          PutShifted((scheme == Scheme::kC40 ? 'A' : 'a') + value - 14, upper);
        }
        break;
      case 1:
        PutShifted(value, upper);
        break;
      case 2:
        if (value <= 14) {
          PutShifted('!' + value, upper);
        } else if (value <= 21) {
          PutShifted(':' + value - 15, upper);
        } else if (value <= 26) {
          PutShifted('[' + value - 22, upper);
        } else if (value == 27) {
          out_.Put("FNC1:");
        } else if (value == 30) {
          upper = true;
        }
        // 28 and 29 write nothing; 31 and above do not occur in this set.
        break;
      case 3:
        if (scheme == Scheme::kText && value == 0) {
          PutShifted('`', upper);
        } else if (scheme == Scheme::kText && value <= 26) {
          PutShifted('A' + value - 1, upper);
        } else {
          PutShifted(value + 96, upper);
        }
        break;
    }
  }

  // EDIFACT: groups of three codewords holding four 6-bit values, until the
  // unlatch value. Fewer than three codewords left at the end are ASCII (the
  // standard's rule: an encoder that ends in EDIFACT there returns to ASCII
  // without an unlatch).
  void Edifact() {
    while (pos_ + 3 <= data_.size()) {
      const uint32_t bits = (uint32_t{data_[pos_]} << 16) | (uint32_t{data_[pos_ + 1]} << 8) |
                            data_[pos_ + 2];
      for (int k = 0; k < 4; ++k) {
        const int value = static_cast<int>((bits >> (18 - 6 * k)) & 0x3F);
        if (value == kEdifactUnlatch) {
          // ASCII resumes at the codeword after the one the unlatch ends in.
          pos_ += static_cast<size_t>((6 * k + 6 + 7) / 8);
          return;
        }
        out_.Put(value <= 30 ? value + 64 : value);
      }
      pos_ += 3;
    }
  }

  // The 255-state un-randomising of the codeword at data position pos_
  // (positions counted from 1).
  int Unrandomise255() {
    const int position = static_cast<int>(pos_) + 1;
    const int pseudo = (149 * position) % 255 + 1;
    const int value = data_[pos_++] - pseudo;
    return value < 0 ? value + 256 : value;
  }

  // Base 256: a length field and that many bytes, each un-randomised with its
  // own position in the data. A length of 0 means "to the end of the data";
  // lengths of 250 and more take a second length codeword.
  int Base256() {
    const int d1 = Unrandomise255();
    size_t length = 0;
    if (d1 == 0) {
      length = data_.size() - pos_;
    } else if (d1 <= 249) {
      length = static_cast<size_t>(d1);
    } else {
      if (pos_ >= data_.size()) return Fail(Failure::kMalformedStream);
      length = static_cast<size_t>(250 * (d1 - 249) + Unrandomise255());
    }
    if (length > data_.size() - pos_) return Fail(Failure::kMalformedStream);
    for (size_t i = 0; i < length; ++i) out_.Put(Unrandomise255());
    return 1;
  }

  DmDecoder& d_;
  std::span<const uint8_t> data_;
  TextOut& out_;
  size_t pos_ = 0;
  bool done_ = false;
};

}  // namespace

int DmReadCodewords(DmDecoder& decoder, const ModuleMatrix& grid, int side) {
  const DmSymbolSize* size = FindReadableDmSize(side);
  if (size == nullptr) return 0;
  Placement placement(decoder, grid, size->MappingRows(), size->MappingColumns());
  decoder.codewordCount = placement.Walk();
  return decoder.codewordCount;
}

int DmDecodeData(DmDecoder& decoder, std::span<const uint8_t> data, std::span<uint8_t> text) {
  decoder.failure = Failure::kNone;
  decoder.textLength = 0;
  if (text.empty()) return 0;
  std::fill(text.begin(), text.end(), uint8_t{0});
  if (data.empty() || data[0] == 0) {
    decoder.failure = Failure::kMalformedStream;
    return 0;
  }
  TextOut out(text);
  Stream stream(decoder, data, out);
  if (!stream.Run()) {
    std::fill(text.begin(), text.end(), uint8_t{0});
    return 0;
  }
  decoder.textLength = static_cast<int32_t>(out.length());
  return 1;
}

int DmDecodeGrid(DmDecoder& decoder, const ModuleMatrix& grid, int side, std::span<uint8_t> text,
                 std::span<uint8_t> /*secondString*/) {
  decoder.failure = Failure::kNone;
  decoder.textLength = 0;
  if (!text.empty()) std::fill(text.begin(), text.end(), uint8_t{0});
  const DmSymbolSize* size = FindReadableDmSize(side);
  if (size == nullptr) {
    decoder.failure = Failure::kGridDimension;
    return 0;
  }
  const int n = DmReadCodewords(decoder, grid, side);
  // More codewords than the mapping matrix holds would mean a broken walk.
  if (n > side * side / 8 || n != size->TotalCodewords()) {
    decoder.failure = Failure::kCodewordCount;
    return 0;
  }
  for (int i = 0; i < n; ++i) decoder.block[i] = decoder.codewords[i];
  decoder.rs.variant = kRsDataMatrix;
  RsInit(decoder.rs, decoder.block, n, n - size->dataCodewords);
  if (!RsCorrect(decoder.rs)) {
    decoder.failure = Failure::kUncorrectable;
    return 0;
  }
  for (int i = 0; i < size->dataCodewords; ++i) {
    decoder.codewords[i] = static_cast<uint8_t>(decoder.block[i]);
  }
  return DmDecodeData(decoder, {decoder.codewords, static_cast<size_t>(size->dataCodewords)}, text);
}

}  // namespace cordavex
