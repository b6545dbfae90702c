#include <gtest/gtest.h>
#include <qrencode.h>

#include <vector>

#include "decode/qr_tables.h"

namespace cordavex {
namespace {

// Function-pattern-free module count of a version divided into codewords
// (ISO/IEC 18004 Table 1, column "data modules"), computed independently of
// the table: the square minus finders, separators, format, timing, alignment
// and version information.
int RawCodewords(int v) {
  int modules = (16 * v + 128) * v + 64;
  if (v >= 2) {
    const int alignments = v / 7 + 2;
    modules -= (25 * alignments - 10) * alignments - 55;
    if (v >= 7) modules -= 36;
  }
  return modules / 8;
}

// Alignment coordinates by the spacing rule behind Annex E: evenly spaced from
// 4v + 10 down, in even steps, with version 32 as its one exception.
std::vector<int> AlignmentByRule(int v) {
  if (v == 1) return {};
  const int count = v / 7 + 2;
  const int step = v == 32 ? 26 : (v * 4 + count * 2 + 1) / (count * 2 - 2) * 2;
  std::vector<int> centres(count);
  centres[0] = 6;
  for (int i = count - 1, position = 4 * v + 10; i >= 1; --i, position -= step) {
    centres[i] = position;
  }
  return centres;
}

uint32_t PolyRemainder(uint32_t value, uint32_t generator, int degree) {
  for (int bit = 31; bit >= degree; --bit) {
    if ((value >> bit) & 1u) value ^= generator << (bit - degree);
  }
  return value;
}

TEST(QrTables, RowsAreConsistent) {
  EXPECT_EQ(QrVersion(0), nullptr);
  EXPECT_EQ(QrVersion(41), nullptr);
  for (int v = 1; v <= 40; ++v) {
    SCOPED_TRACE(v);
    const QrVersionInfo& info = *QrVersion(v);
    EXPECT_EQ(info.version, v);
    EXPECT_EQ(info.totalCodewords, RawCodewords(v));
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE(level);
      const QrBlockGroup& first = info.levels[level].groups[0];
      const QrBlockGroup& second = info.levels[level].groups[1];
      ASSERT_GT(first.blocks, 0);
      EXPECT_EQ(first.blocks * first.codewords + second.blocks * second.codewords,
                info.totalCodewords);
      EXPECT_EQ(first.blocks * first.dataCodewords + second.blocks * second.dataCodewords,
                info.dataCodewords[level]);
      if (second.blocks > 0) {
        EXPECT_EQ(second.codewords, first.codewords + 1);
        EXPECT_EQ(second.dataCodewords, first.dataCodewords + 1);
      } else {
        EXPECT_EQ(second.codewords, 0);
        EXPECT_EQ(second.dataCodewords, 0);
      }
      EXPECT_LE(first.codewords, kQrMaxBlockCodewords);
      EXPECT_LE(second.codewords, kQrMaxBlockCodewords);
      EXPECT_LE(QrBlockCount(info, level), kQrMaxBlocks);
      EXPECT_EQ(QrCheckCodewords(info, level) % QrBlockCount(info, level), 0);
      if (level > 0) {
        EXPECT_LT(info.dataCodewords[level], info.dataCodewords[level - 1]);
      }
    }
  }
}

TEST(QrTables, WorkedRows) {
  struct Row {
    int version, total, data[4];
  };
  // ISO/IEC 18004 Table 7 rows.
  const Row rows[] = {
      {1, 26, {19, 16, 13, 9}},
      {7, 196, {156, 124, 88, 66}},
      {13, 532, {428, 334, 244, 180}},
      {40, 3706, {2956, 2334, 1666, 1276}},
  };
  for (const Row& row : rows) {
    const QrVersionInfo& info = *QrVersion(row.version);
    EXPECT_EQ(info.totalCodewords, row.total);
    for (int level = 0; level < 4; ++level) EXPECT_EQ(info.dataCodewords[level], row.data[level]);
  }
  const QrLevelBlocks& q7 = QrVersion(7)->levels[kQrLevelQ];
  EXPECT_EQ(q7.groups[0].blocks, 2);
  EXPECT_EQ(q7.groups[0].codewords, 32);
  EXPECT_EQ(q7.groups[0].dataCodewords, 14);
  EXPECT_EQ(q7.groups[1].blocks, 4);
  EXPECT_EQ(q7.groups[1].codewords, 33);
  EXPECT_EQ(q7.groups[1].dataCodewords, 15);
  EXPECT_EQ(QrVersion(40)->levels[kQrLevelH].groups[1].blocks, 61);
}

// ISO/IEC 18004 Table 9 for the versions the camera reader handles: number of
// blocks and total check codewords per level.
TEST(QrTables, BlockCountsOfReaderVersions) {
  struct Row {
    int blocks[4], check[4];
  };
  const Row rows[13] = {
      {{1, 1, 1, 1}, {7, 10, 13, 17}},       {{1, 1, 1, 1}, {10, 16, 22, 28}},
      {{1, 1, 2, 2}, {15, 26, 36, 44}},      {{1, 2, 2, 4}, {20, 36, 52, 64}},
      {{1, 2, 4, 4}, {26, 48, 72, 88}},      {{2, 4, 4, 4}, {36, 64, 96, 112}},
      {{2, 4, 6, 5}, {40, 72, 108, 130}},    {{2, 4, 6, 6}, {48, 88, 132, 156}},
      {{2, 5, 8, 8}, {60, 110, 160, 192}},   {{4, 5, 8, 8}, {72, 130, 192, 224}},
      {{4, 5, 8, 11}, {80, 150, 224, 264}},  {{4, 8, 10, 11}, {96, 176, 260, 308}},
      {{4, 9, 12, 16}, {104, 198, 288, 352}},
  };
  for (int v = 1; v <= 13; ++v) {
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE(testing::Message() << "version " << v << " level " << level);
      EXPECT_EQ(QrBlockCount(*QrVersion(v), level), rows[v - 1].blocks[level]);
      EXPECT_EQ(QrCheckCodewords(*QrVersion(v), level), rows[v - 1].check[level]);
    }
  }
}

TEST(QrTables, AlignmentCentresFollowSpacingRule) {
  for (int v = 1; v <= 40; ++v) {
    SCOPED_TRACE(v);
    int centres[kQrMaxAlignment + 1] = {};
    const int count = QrAlignmentCentres(v, centres);
    EXPECT_EQ(std::vector<int>(centres, centres + count), AlignmentByRule(v));
  }
  int centres[kQrMaxAlignment + 1] = {};
  ASSERT_EQ(QrAlignmentCentres(40, centres), 7);
  EXPECT_EQ(std::vector<int>(centres, centres + 7),
            (std::vector<int>{6, 30, 58, 86, 114, 142, 170}));
}

TEST(QrTables, VersionInformationIsBchOfVersion) {
  for (int v = 1; v <= 40; ++v) {
    SCOPED_TRACE(v);
    const uint32_t expected =
        v < 7 ? 0 : ((uint32_t(v) << 12) | PolyRemainder(uint32_t(v) << 12, 0x1F25, 12));
    EXPECT_EQ(QrVersion(v)->versionInformation, expected);
  }
  EXPECT_EQ(QrVersion(7)->versionInformation, 0x07C94u);  // ISO/IEC 18004 Annex D example
}

TEST(QrTables, FormatInformation) {
  // ISO/IEC 18004 Annex C worked example: level M, mask 101.
  EXPECT_EQ(QrFormatInformation(kQrLevelM, 5), 0b100000011001110);
  EXPECT_EQ(QrFormatInformation(kQrLevelM, 0), 0x5412);  // all-zero data, only the XOR mask
  EXPECT_EQ(QrFormatInformation(kQrLevelL, 0), 0x77C4);
  // Distinct words at least 7 bits apart, so up to 3 flipped bits are correctable.
  for (int a = 0; a < 32; ++a) {
    for (int b = a + 1; b < 32; ++b) {
      EXPECT_GE(__builtin_popcount(kQrFormatWords[a] ^ kQrFormatWords[b]), 7) << a << " " << b;
    }
  }
}

TEST(QrTables, ModesAndAlphanumeric) {
  EXPECT_EQ(QrCountBits(QrMode::kNumeric, 9), 10);
  EXPECT_EQ(QrCountBits(QrMode::kNumeric, 10), 12);
  EXPECT_EQ(QrCountBits(QrMode::kByte, 26), 16);
  EXPECT_EQ(QrCountBits(QrMode::kKanji, 27), 12);
  EXPECT_EQ(QrCountBits(QrMode::kAlphanumeric, 40), 13);
  for (int value = 0; value < 45; ++value) {
    EXPECT_EQ(QrAlphanumericValue(static_cast<uint8_t>(kQrAlphanumeric[value])), value);
  }
  EXPECT_EQ(QrAlphanumericValue('a'), -1);
  EXPECT_EQ(QrAlphanumericValue(0), -1);
  EXPECT_EQ(QrAlphanumericValue('#'), -1);
}

// libqrencode's version choice: the largest byte-mode payload our table allows
// must give version v, one byte more the next version (none after 40).
TEST(QrTables, ByteCapacityAgreesWithLibqrencode) {
  const QRecLevel levels[4] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};
  for (int v = 1; v <= 40; ++v) {
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE(testing::Message() << "version " << v << " level " << level);
      const int bits = QrVersion(v)->dataCodewords[level] * 8 - 4 - QrCountBits(QrMode::kByte, v);
      const int capacity = bits / 8;
      std::vector<unsigned char> data(capacity + 1, 0xA5);
      QRcode* fits = QRcode_encodeData(capacity, data.data(), 0, levels[level]);
      ASSERT_NE(fits, nullptr);
      EXPECT_EQ(fits->width, QrSide(v));
      QRcode_free(fits);
      QRcode* over = QRcode_encodeData(capacity + 1, data.data(), 0, levels[level]);
      if (v == 40) {
        EXPECT_EQ(over, nullptr);
      } else {
        ASSERT_NE(over, nullptr);
        EXPECT_EQ(over->width, QrSide(v + 1));
      }
      QRcode_free(over);
    }
  }
}

}  // namespace
}  // namespace cordavex
