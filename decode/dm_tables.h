// Data Matrix ECC 200 symbol sizes shared by the reader and any writer: one row
// per size with the figures of ISO/IEC 16022 Table 7 (symbol size, data region
// size and count, mapping matrix, data and check codewords, Reed-Solomon
// blocks).
//
// Constant data and pure functions: no buffers, no state, safe from any thread.
#pragma once

#include <cstdint>

namespace cordavex {

inline constexpr int kDmMinSquareSide = 10;
inline constexpr int kDmMaxReadSide = 48;  // the largest square size with one block
inline constexpr int kDmMaxReadCodewords = 242;    // 48 x 48: 174 data + 68 check
inline constexpr int kDmMaxReadDataCodewords = 174;

// One row of ISO/IEC 16022 Table 7.
struct DmSymbolSize {
  int16_t rows;            // symbol rows, finder and timing included
  int16_t columns;
  int8_t regionRows;       // data region size, without its alignment patterns
  int8_t regionColumns;
  int8_t regionsVertical;  // data regions stacked vertically
  int8_t regionsHorizontal;
  int16_t dataCodewords;
  int16_t checkCodewords;  // over all blocks
  int8_t blocks;           // interleaved Reed-Solomon blocks

  constexpr int MappingRows() const { return regionRows * regionsVertical; }
  constexpr int MappingColumns() const { return regionColumns * regionsHorizontal; }
  constexpr int TotalCodewords() const { return dataCodewords + checkCodewords; }
  constexpr bool Square() const { return rows == columns; }
};

// Every ECC 200 size: the 24 square sizes, then the 6 rectangular ones.
inline constexpr DmSymbolSize kDmSymbolSizes[] = {
    {10, 10, 8, 8, 1, 1, 3, 5, 1},
    {12, 12, 10, 10, 1, 1, 5, 7, 1},
    {14, 14, 12, 12, 1, 1, 8, 10, 1},
    {16, 16, 14, 14, 1, 1, 12, 12, 1},
    {18, 18, 16, 16, 1, 1, 18, 14, 1},
    {20, 20, 18, 18, 1, 1, 22, 18, 1},
    {22, 22, 20, 20, 1, 1, 30, 20, 1},
    {24, 24, 22, 22, 1, 1, 36, 24, 1},
    {26, 26, 24, 24, 1, 1, 44, 28, 1},
    {32, 32, 14, 14, 2, 2, 62, 36, 1},
    {36, 36, 16, 16, 2, 2, 86, 42, 1},
    {40, 40, 18, 18, 2, 2, 114, 48, 1},
    {44, 44, 20, 20, 2, 2, 144, 56, 1},
    {48, 48, 22, 22, 2, 2, 174, 68, 1},
    {52, 52, 24, 24, 2, 2, 204, 84, 2},
    {64, 64, 14, 14, 4, 4, 280, 112, 2},
    {72, 72, 16, 16, 4, 4, 368, 144, 4},
    {80, 80, 18, 18, 4, 4, 456, 192, 4},
    {88, 88, 20, 20, 4, 4, 576, 224, 4},
    {96, 96, 22, 22, 4, 4, 696, 272, 4},
    {104, 104, 24, 24, 4, 4, 816, 336, 6},
    {120, 120, 18, 18, 6, 6, 1050, 408, 6},
    {132, 132, 20, 20, 6, 6, 1304, 496, 8},
    {144, 144, 22, 22, 6, 6, 1558, 620, 10},
    {8, 18, 6, 16, 1, 1, 5, 7, 1},
    {8, 32, 6, 14, 1, 2, 10, 11, 1},
    {12, 26, 10, 24, 1, 1, 16, 14, 1},
    {12, 36, 10, 16, 1, 2, 22, 18, 1},
    {16, 36, 14, 16, 1, 2, 32, 24, 1},
    {16, 48, 14, 22, 1, 2, 49, 28, 1},
};

// The row of a rows x columns symbol, or nullptr for a size ECC 200 does not have.
constexpr const DmSymbolSize* FindDmSymbolSize(int rows, int columns) {
  for (const DmSymbolSize& s : kDmSymbolSizes) {
    if (s.rows == rows && s.columns == columns) return &s;
  }
  return nullptr;
}

// The row of a square size the reader takes (10..48, one Reed-Solomon block), or
// nullptr. Larger squares interleave two or more blocks and rectangles have no
// place in the locator's square sampling; both are refused here rather than
// half-read, so every row stays in the table for a writer.
constexpr const DmSymbolSize* FindReadableDmSize(int side) {
  const DmSymbolSize* s = FindDmSymbolSize(side, side);
  return s != nullptr && s->blocks == 1 && side <= kDmMaxReadSide ? s : nullptr;
}

}  // namespace cordavex

namespace cordavex {

// Every row's mapping matrix holds its codewords: eight modules each, with at
// most seven left over for the fixed corner pattern.
constexpr bool DmSizesConsistent() {
  for (const DmSymbolSize& s : kDmSymbolSizes) {
    const int modules = s.MappingRows() * s.MappingColumns();
    if (modules / 8 != s.TotalCodewords()) return false;
    if (s.rows != s.MappingRows() + 2 * s.regionsVertical) return false;
    if (s.columns != s.MappingColumns() + 2 * s.regionsHorizontal) return false;
  }
  return true;
}
static_assert(DmSizesConsistent(), "ISO/IEC 16022 Table 7 rows agree with their mapping matrices");

}  // namespace cordavex
