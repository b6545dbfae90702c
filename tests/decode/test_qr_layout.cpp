// The QR symbol layout that the reader and the writer share, checked against
// the standard's own figures and counts rather than against either of them.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "decode/qr_layout.h"

namespace cordavex {
namespace {

// ISO/IEC 18004 Figure 25 for a version 1 symbol, bit 0 (x^0) first.
TEST(QrLayout, FormatPositionsOfVersion1) {
  const QrFormatCells cells = QrFormatPositions(21);
  const std::vector<std::pair<int, int>> split = {
      {8, 20}, {8, 19}, {8, 18}, {8, 17}, {8, 16}, {8, 15}, {8, 14}, {8, 13},
      {14, 8}, {15, 8}, {16, 8}, {17, 8}, {18, 8}, {19, 8}, {20, 8}};
  const std::vector<std::pair<int, int>> corner = {
      {0, 8}, {1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8}, {7, 8}, {8, 8},
      {8, 7}, {8, 5}, {8, 4}, {8, 3}, {8, 2}, {8, 1}, {8, 0}};
  for (int i = 0; i < 15; ++i) {
    EXPECT_EQ(std::make_pair(int{cells.split[i].row}, int{cells.split[i].column}), split[i]) << i;
    EXPECT_EQ(std::make_pair(int{cells.corner[i].row}, int{cells.corner[i].column}), corner[i])
        << i;
  }
  EXPECT_EQ(QrDarkModule(21).row, 13);
  EXPECT_EQ(QrDarkModule(21).column, 8);
}

// Every version's data modules hold its codewords plus the remainder bits of
// ISO/IEC 18004 Table 1, and none of them is a function module.
TEST(QrLayout, DataModulesHoldTheCodewordsAndRemainderBits) {
  auto remainderBits = [](int v) {
    if (v == 1) return 0;
    if (v <= 6) return 7;
    if (v <= 13) return 0;
    if (v <= 20) return 3;
    if (v <= 27) return 4;
    if (v <= 34) return 3;
    return 0;
  };
  for (int version = kQrMinVersion; version <= kQrMaxVersion; ++version) {
    const QrFunctionMap functions(version);
    std::set<std::pair<int, int>> seen;
    const int count = QrForEachDataModule(version, [&](int row, int column) {
      EXPECT_FALSE(functions.IsFunction(row, column));
      seen.insert({row, column});
      return true;
    });
    EXPECT_EQ(count, QrVersion(version)->totalCodewords * 8 + remainderBits(version)) << version;
    EXPECT_EQ(seen.size(), static_cast<size_t>(count)) << version;
  }
}

// Interleaving is a permutation of the symbol's codewords for every version
// and level, and follows ISO/IEC 18004 Table 9's block sizes.
TEST(QrLayout, BlockLayoutInterleavesEveryCodewordOnce) {
  for (int version = kQrMinVersion; version <= kQrMaxVersion; ++version) {
    const QrVersionInfo& info = *QrVersion(version);
    for (int level = 0; level < 4; ++level) {
      const QrBlockLayout b = QrBlocks(info, level);
      std::vector<int> hits(static_cast<size_t>(b.total), 0);
      int data = 0;
      for (int j = 0; j < b.blocks; ++j) {
        data += b.DataLength(j);
        for (int k = 0; k < b.DataLength(j); ++k) ++hits[static_cast<size_t>(b.DataIndex(j, k))];
        for (int e = 0; e < b.check; ++e) ++hits[static_cast<size_t>(b.CheckIndex(j, e))];
      }
      EXPECT_EQ(data, b.dataTotal);
      for (int h : hits) ASSERT_EQ(h, 1) << version << "-" << level;
    }
  }
  // 5-Q: two blocks of 15 data codewords, then two of 16 (Table 9).
  const QrBlockLayout b = QrBlocks(*QrVersion(5), kQrLevelQ);
  EXPECT_EQ(b.blocks, 4);
  EXPECT_EQ(b.DataLength(1), 15);
  EXPECT_EQ(b.DataLength(2), 16);
  EXPECT_EQ(b.check, 18);
  EXPECT_EQ(b.DataIndex(3, 15), 15 * 4 + 1);
}

}  // namespace
}  // namespace cordavex
