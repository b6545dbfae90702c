// The module matrix: the seam between locating a symbol and decoding it.
//
// Locators sample a symbol into it; decoders read only it and its dimension, so
// every decoder can be tested from a hand-built or independently encoded grid.
// Row r, column c; true = dark module. Up to 70 x 70 modules: the largest
// symbols read are QR code version 13 (69), the 57 x 57 Cordavex code and the
// 48 x 48 Data Matrix symbol.
//
// Stored one bit per module (70 rows of two 64-bit words, 1120 bytes) so that it
// fits in the engine workspace beside the contour and component tables. Plain
// data: copyable, no allocation, no internal locking.
#pragma once

#include <cstdint>
#include <cstring>

namespace cordavex {

class ModuleMatrix {
 public:
  static constexpr int kSize = 70;

  void Clear() { std::memset(rows_, 0, sizeof(rows_)); }

  // Out-of-range reads are light and out-of-range writes are ignored, so that a
  // sampler or decoder with a wrong dimension cannot reach outside the matrix.
  bool Get(int row, int column) const {
    if (!InRange(row, column)) return false;
    return (rows_[row][column >> 6] >> (column & 63)) & 1u;
  }
  void Set(int row, int column, bool dark) {
    if (!InRange(row, column)) return;
    // Without a branch: samplers set modules whose darkness is anyone's guess.
    uint64_t& word = rows_[row][column >> 6];
    word = (word & ~(uint64_t{1} << (column & 63))) | (uint64_t{dark} << (column & 63));
  }
  void Flip(int row, int column) {
    if (InRange(row, column)) rows_[row][column >> 6] ^= uint64_t{1} << (column & 63);
  }

  friend bool operator==(const ModuleMatrix&, const ModuleMatrix&) = default;

 private:
  static bool InRange(int row, int column) {
    return row >= 0 && row < kSize && column >= 0 && column < kSize;
  }
  uint64_t rows_[kSize][2];
};

}  // namespace cordavex
