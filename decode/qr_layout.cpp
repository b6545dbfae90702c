#include "decode/qr_layout.h"


namespace cordavex {

QrFormatCells QrFormatPositions(int side) {
  auto cell = [](int row, int column) {
    return QrCell{static_cast<int16_t>(row), static_cast<int16_t>(column)};
  };
  QrFormatCells f{};
  // Bits 0-7 along the row under the top-right finder, right to left; bits
  // 8-14 up the column beside the bottom-left finder.
  for (int i = 0; i < 8; ++i) f.split[i] = cell(8, side - 1 - i);
  for (int i = 8; i < 15; ++i) f.split[i] = cell(side - 15 + i, 8);
  // Around the top-left finder: down column 8 past the timing row, then
  // leftwards along row 8 past the timing column.
  for (int i = 0; i < 6; ++i) f.corner[i] = cell(i, 8);
  f.corner[6] = cell(7, 8);
  f.corner[7] = cell(8, 8);
  f.corner[8] = cell(8, 7);
  for (int i = 9; i < 15; ++i) f.corner[i] = cell(8, 14 - i);
  return f;
}

QrFunctionMap::QrFunctionMap(int version) : version_(version), side_(QrSide(version)), lastCentre_(0) {
  int centres[kQrMaxAlignment + 1];
  const int count = QrAlignmentCentres(version, centres);
  lastCentre_ = count - 1;
  for (int v = 0; v < kQrMaxSide; ++v) nearCentre_[v] = -1;
  for (int a = 0; a < count; ++a) {
    for (int v = centres[a] - 2; v <= centres[a] + 2; ++v) {
      if (v >= 0 && v < side_) nearCentre_[v] = static_cast<int8_t>(a);
    }
  }
}

bool QrFunctionMap::IsFunction(int row, int column) const {
  const int side = side_;
  // Finders with their separators and the format areas beside them; the dark
  // module lies in the bottom-left one.
  if (row < 9 && column < 9) return true;
  if (row < 9 && column >= side - 8) return true;
  if (row >= side - 8 && column < 9) return true;
  if (row == 6 || column == 6) return true;
  if (version_ >= 7) {
    if (row < 6 && column >= side - 11) return true;
    if (column < 6 && row >= side - 11) return true;
  }
  if (row < 0 || column < 0 || row >= side || column >= side) return false;
  const int a = nearCentre_[row], b = nearCentre_[column];
  if (a < 0 || b < 0) return false;
  // The three centres on the finders hold no alignment pattern (and lie inside
  // the finder areas tested above).
  const bool onFinder =
      (a == 0 && b == 0) || (a == 0 && b == lastCentre_) || (a == lastCentre_ && b == 0);
  return !onFinder;
}

QrBlockLayout QrBlocks(const QrVersionInfo& info, int level) {
  const QrBlockGroup& first = info.levels[level].groups[0];
  const QrBlockGroup& second = info.levels[level].groups[1];
  QrBlockLayout b;
  b.blocks = first.blocks + second.blocks;
  b.shortBlocks = first.blocks;
  b.shortData = first.dataCodewords;
  b.check = first.codewords - first.dataCodewords;
  b.dataTotal = info.dataCodewords[level];
  b.total = info.totalCodewords;
  return b;
}

}  // namespace cordavex
