// Where a QR code symbol keeps what (ISO/IEC 18004 clauses 7.7 to 7.9): the
// two copies of the format information, the function patterns, the order in
// which data modules take codeword bits, and how the codeword sequence is
// split into Reed-Solomon blocks and interleaved. The reader reads through
// these and the writer writes through them, so the two cannot disagree.
//
// Pure functions of their arguments; no buffers, no state, any thread.
#pragma once

#include <cstdint>

#include "decode/qr_tables.h"

namespace cordavex {

struct QrCell {
  int16_t row;
  int16_t column;
};

// The 15 modules of each format-information copy, cells[i] holding the bit of
// x^i (ISO/IEC 18004 Figure 25): `split` is the copy divided between the
// top-right and bottom-left finders, `corner` the one around the top-left
// finder. The dark module beside the bottom-left copy is kQrDarkModule.
struct QrFormatCells {
  QrCell split[15];
  QrCell corner[15];
};
QrFormatCells QrFormatPositions(int side);

// The module that is always dark, above the bottom-left finder's separator.
constexpr QrCell QrDarkModule(int side) {
  return {static_cast<int16_t>(side - 8), static_cast<int16_t>(8)};
}

// The function modules of one version: finders with their separators and
// format areas, the timing patterns, the version information, the alignment
// patterns and the dark module. Built once per symbol; each question is then a
// few comparisons.
class QrFunctionMap {
 public:
  explicit QrFunctionMap(int version);
  bool IsFunction(int row, int column) const;

 private:
  int version_;
  int side_;
  int lastCentre_;
  // For each coordinate, the index of the alignment centre within two modules
  // of it, or -1.
  int8_t nearCentre_[kQrMaxSide];
};

// Calls visit(row, column) for each data module in the order codeword bits fill
// them (most significant bit first): two-column strips from the right edge,
// alternately upwards and downwards, skipping the timing column and function
// modules. Stops early when visit returns false. Returns the modules visited.
template <typename Visit>
int QrForEachDataModule(int version, Visit&& visit) {
  const int side = QrSide(version);
  const QrFunctionMap functions(version);
  int visited = 0;
  bool upwards = true;
  for (int right = side - 1; right > 0; right -= 2) {
    if (right == 6) right = 5;  // the vertical timing column is skipped whole
    for (int step = 0; step < side; ++step) {
      const int row = upwards ? side - 1 - step : step;
      for (int c = 0; c < 2; ++c) {
        const int column = right - c;
        if (functions.IsFunction(row, column)) continue;
        ++visited;
        if (!visit(row, column)) return visited;
      }
    }
    upwards = !upwards;
  }
  return visited;
}

// The blocks of one version and level (ISO/IEC 18004 Table 9): the short blocks
// come first, each long block holds one data codeword more, and every block has
// the same number of check codewords.
struct QrBlockLayout {
  int blocks = 0;
  int shortBlocks = 0;
  int shortData = 0;   // data codewords of a short block
  int check = 0;       // check codewords of every block
  int dataTotal = 0;   // data codewords of the symbol
  int total = 0;       // codewords of the symbol

  int DataLength(int block) const { return shortData + (block >= shortBlocks ? 1 : 0); }
  // Positions in the interleaved sequence (ISO/IEC 18004 7.6): data codewords
  // column by column over the blocks, the long blocks' extra codeword after all
  // the short columns, then the check codewords column by column.
  int DataIndex(int block, int k) const {
    return k < shortData ? k * blocks + block : shortData * blocks + (block - shortBlocks);
  }
  int CheckIndex(int block, int e) const { return dataTotal + e * blocks + block; }
};
QrBlockLayout QrBlocks(const QrVersionInfo& info, int level);

}  // namespace cordavex
