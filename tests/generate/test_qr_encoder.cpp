#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cordavex/qr_encoder.h"
#include "decode/qr_layout.h"
#include "decode/qr_tables.h"
#include "decode/reed_solomon.h"
#include "support/zxing_qr_oracle.h"

namespace cordavex {
namespace {

using Bytes = std::vector<uint8_t>;

class QrEncoderTest : public testing::Test {
 protected:
  int Encode(const std::string& text, int level, int version = 0, int allowLarger = 0,
             int mask = -1) {
    return QrEncode(*c_, level, version, allowLarger, mask, text.data(),
                    static_cast<int>(text.size()));
  }
  Bytes DataCodewords() const {
    return Bytes(c_->bits, c_->bits + QrVersion(c_->version)->dataCodewords[c_->level]);
  }
  struct Segment {
    QrMode mode;
    int length;
    bool operator==(const Segment&) const = default;
    friend void PrintTo(const Segment& s, std::ostream* os) {
      *os << "{mode " << static_cast<int>(s.mode) << ", " << s.length << "}";
    }
  };
  std::vector<Segment> Segments() const {
    std::vector<Segment> segments;
    for (int i = c_->firstRun; i != -1; i = c_->runs[i].next) {
      segments.push_back({static_cast<QrMode>(c_->runs[i].mode), c_->runs[i].length});
    }
    return segments;
  }
  std::optional<Bytes> ReadBack() const {
    return test::ZxingReadQr(c_->matrix, c_->side, kQrMatrixStride);
  }
  int Score() const { return QrPenaltyScore(c_->matrix, c_->side, kQrMatrixStride); }

  std::unique_ptr<QrEncoder> c_ = std::make_unique<QrEncoder>();
};

// "98765432" at M: 0001 (numeric), count 8 in 10 bits, 987 and 654 in 10 bits,
// 32 in 7 bits = 41 bits, 4 terminator bits, 3 padding bits, then 236/17.
TEST_F(QrEncoderTest, NumericWorkedExample) {
  ASSERT_EQ(Encode("98765432", kQrLevelM), 1);
  EXPECT_EQ(c_->version, 1);
  EXPECT_EQ(c_->side, 21);
  EXPECT_EQ(Segments(), (std::vector<Segment>{{QrMode::kNumeric, 8}}));
  EXPECT_EQ(DataCodewords(), (Bytes{0x10, 0x23, 0xDB, 0xA3, 0x90, 0x00, 0xEC, 0x11, 0xEC, 0x11,
                                    0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11}));
  EXPECT_EQ(ReadBack(), (Bytes{'9', '8', '7', '6', '5', '4', '3', '2'}));
}

// ISO/IEC 18004 Annex I: "01234567" as 1-M, data and check codewords.
TEST_F(QrEncoderTest, AnnexIExampleCodewords) {
  ASSERT_EQ(Encode("01234567", kQrLevelM), 1);
  const Bytes expected = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC, 0x11, 0xEC,
                          0x11, 0xEC, 0x11, 0xEC, 0x11, 0xA5, 0x24, 0xD4, 0xC1, 0xED, 0x36,
                          0xC7, 0x87, 0x2C, 0x55};
  EXPECT_EQ(Bytes(c_->codewords, c_->codewords + 26), expected);
  RsGenerator generator;
  ASSERT_EQ(RsMakeGenerator(generator, kRsQrCode, 10), 1);
  uint8_t check[10];
  RsEncode(generator, {expected.data(), 16}, check);
  EXPECT_EQ(Bytes(check, check + 10), Bytes(expected.begin() + 16, expected.end()));
}

// ISO/IEC 18004 8.4.5: the kanji 0x935F and 0xE4AA give the 13-bit values
// 0x0D9F and 0x1AAA.
TEST_F(QrEncoderTest, KanjiWorkedExample) {
  ASSERT_EQ(Encode("\x93\x5F\xE4\xAA", kQrLevelH), 1);
  EXPECT_EQ(Segments(), (std::vector<Segment>{{QrMode::kKanji, 4}}));
  const Bytes data = DataCodewords();
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 6), (Bytes{0x80, 0x26, 0xCF, 0xEA, 0xA8, 0x00}));
  EXPECT_EQ(ReadBack(), (Bytes{0x93, 0x5F, 0xE4, 0xAA}));
}

TEST_F(QrEncoderTest, Segmentation) {
  struct Case {
    const char* text;
    std::vector<Segment> segments;
  };
  const Case cases[] = {
      // Short digit runs inside letters cost more as their own segment.
      {"AB12CD", {{QrMode::kAlphanumeric, 6}}},
      // A long digit run saves bits as its own numeric segment.
      {"ABCDEF0123456789012GHIJKL",
       {{QrMode::kAlphanumeric, 6}, {QrMode::kNumeric, 13}, {QrMode::kAlphanumeric, 6}}},
      {"abc123456789def", {{QrMode::kByte, 3}, {QrMode::kNumeric, 9}, {QrMode::kByte, 3}}},
      {"a1b", {{QrMode::kByte, 3}}},
      {"http://example.com/0123456789", {{QrMode::kByte, 19}, {QrMode::kNumeric, 10}}},
      {"http://example.com/01", {{QrMode::kByte, 21}}},
      {"HTTP://EXAMPLE.COM/0123456789", {{QrMode::kAlphanumeric, 19}, {QrMode::kNumeric, 10}}},
      // A kanji run beside bytes is cheaper in kanji mode only when long enough.
      {"ab\x93\x5F", {{QrMode::kByte, 4}}},
      {"ab\x93\x5F\x93\x5F\x93\x5F\x93\x5F", {{QrMode::kByte, 2}, {QrMode::kKanji, 8}}},
      // Well-formed UTF-8 is never read as Shift-JIS pairs.
      {"\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87", {{QrMode::kByte, 12}}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text);
    ASSERT_EQ(Encode(test.text, kQrLevelL), 1);
    EXPECT_EQ(Segments(), test.segments);
    const std::string text = test.text;
    EXPECT_EQ(ReadBack(), Bytes(text.begin(), text.end()));
  }
}

TEST_F(QrEncoderTest, CapacityLimits) {
  // 40-L has 2956 data codewords; a byte segment's 20-bit header leaves 2953 bytes.
  EXPECT_EQ(Encode(std::string(2953, 'a'), kQrLevelL), 1);
  EXPECT_EQ(c_->version, 40);
  EXPECT_EQ(Encode(std::string(2954, 'a'), kQrLevelL), 0);
  EXPECT_EQ(Encode(std::string(2957, 'a'), kQrLevelL), 0);
  EXPECT_EQ(Encode(std::string(7089, '7'), kQrLevelL), 1);
  EXPECT_EQ(Encode(std::string(7090, '7'), kQrLevelL), 0);
  EXPECT_EQ(Encode(std::string(4296, 'Z'), kQrLevelL), 1);
  EXPECT_EQ(Encode(std::string(4297, 'Z'), kQrLevelL), 0);
  EXPECT_EQ(Encode(std::string(1276 - 3, 'a'), kQrLevelH), 1);  // 40-H: 1276 codewords
  EXPECT_EQ(Encode(std::string(1276 - 2, 'a'), kQrLevelH), 0);
}

TEST_F(QrEncoderTest, RejectsBadArguments) {
  EXPECT_EQ(Encode("", kQrLevelL), 0);
  EXPECT_EQ(QrEncode(*c_, kQrLevelL, 0, 0, -1, nullptr, 0), 0);
  EXPECT_EQ(QrEncode(*c_, kQrLevelL, 0, 0, -1, "", 0), 0);
  EXPECT_EQ(Encode("A", -1), 0);
  EXPECT_EQ(Encode("A", 4), 0);
  EXPECT_EQ(Encode("A", kQrLevelL, 41), 0);
  EXPECT_EQ(Encode("A", kQrLevelL, -1), 0);
  EXPECT_EQ(Encode("A", kQrLevelL, 0, 0, 8), 0);
  EXPECT_EQ(Encode("A", kQrLevelL, 0, 0, -2), 0);
  // A failed call leaves no symbol behind.
  EXPECT_EQ(c_->side, 0);
  // Length 0 means the text runs to its terminator.
  ASSERT_EQ(QrEncode(*c_, kQrLevelM, 0, 0, -1, "HELLO", 0), 1);
  EXPECT_EQ(ReadBack(), (Bytes{'H', 'E', 'L', 'L', 'O'}));
}

// 50 bytes need version 3 at L (version 2 holds 32).
TEST_F(QrEncoderTest, RequestedVersion) {
  const std::string text(50, 'x');
  EXPECT_EQ(Encode(text, kQrLevelL, 2, 0), 0);
  ASSERT_EQ(Encode(text, kQrLevelL, 2, 1), 1);
  EXPECT_EQ(c_->version, 3);
  ASSERT_EQ(Encode(text, kQrLevelL, 3, 0), 1);
  EXPECT_EQ(c_->version, 3);
  // A larger version than needed is kept, across version groups too.
  ASSERT_EQ(Encode("HELLO", kQrLevelQ, 12, 0), 1);
  EXPECT_EQ(c_->version, 12);
  ASSERT_EQ(Encode("HELLO", kQrLevelQ, 33, 0), 1);
  EXPECT_EQ(c_->version, 33);
  EXPECT_EQ(ReadBack(), (Bytes{'H', 'E', 'L', 'L', 'O'}));
  // 9-L holds 230 bytes; 300 bytes move on to version 10's 16-bit count field.
  ASSERT_EQ(Encode(std::string(300, 'x'), kQrLevelL, 9, 1), 1);
  EXPECT_EQ(c_->version, 11);
}

uint32_t ReadVersionArea(const QrEncoder& c, bool transposed) {
  uint32_t word = 0;
  for (int i = 0; i < 18; ++i) {
    const int row = transposed ? c.side - 11 + i % 3 : i / 3;
    const int column = transposed ? i / 3 : c.side - 11 + i % 3;
    if (QrModule(c, row, column)) word |= 1u << i;
  }
  return word;
}

TEST_F(QrEncoderTest, VersionInformationFromVersion7) {
  for (int version : {7, 8, 21, 40}) {
    SCOPED_TRACE(version);
    ASSERT_EQ(Encode("VERSION INFORMATION", kQrLevelM, version, 0, 3), 1);
    EXPECT_EQ(ReadVersionArea(*c_, false), QrVersion(version)->versionInformation);
    EXPECT_EQ(ReadVersionArea(*c_, true), QrVersion(version)->versionInformation);
  }
  // In version 6 those modules carry data: other data, other modules.
  ASSERT_EQ(Encode(std::string(100, 'a'), kQrLevelL, 6, 0, 0), 1);
  const uint32_t first = ReadVersionArea(*c_, false) ^ (ReadVersionArea(*c_, true) << 1);
  ASSERT_EQ(Encode(std::string(100, 'b'), kQrLevelL, 6, 0, 0), 1);
  const uint32_t second = ReadVersionArea(*c_, false) ^ (ReadVersionArea(*c_, true) << 1);
  EXPECT_NE(first, second);
}

TEST_F(QrEncoderTest, FormatInformationAndDarkModule) {
  ASSERT_EQ(Encode("FORMAT", kQrLevelQ, 1, 0, 5), 1);
  const uint32_t expected = QrFormatInformation(kQrLevelQ, 5);
  const QrFormatCells cells = QrFormatPositions(21);
  uint32_t corner = 0, split = 0;
  for (int i = 0; i < 15; ++i) {
    corner |= uint32_t{QrModule(*c_, cells.corner[i].row, cells.corner[i].column)} << i;
    split |= uint32_t{QrModule(*c_, cells.split[i].row, cells.split[i].column)} << i;
  }
  EXPECT_EQ(corner, expected);
  EXPECT_EQ(split, expected);
  EXPECT_TRUE(QrModule(*c_, 21 - 8, 8));
}

// The chosen mask has the lowest of the eight scores, ties to the lower number,
// and the symbol is exactly the one made with that mask given.
TEST_F(QrEncoderTest, MaskChoiceHasLowestPenalty) {
  const char* texts[] = {"98765432", "HELLO WORLD", "https://example.com/?q=cordavex",
                         "\x93\x5F\xE4\xAA", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"};
  for (const char* text : texts) {
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE(testing::Message() << text << " level " << level);
      int scores[8];
      Bytes symbols[8];
      for (int mask = 0; mask < 8; ++mask) {
        ASSERT_EQ(Encode(text, level, 0, 0, mask), 1);
        EXPECT_EQ(c_->mask, mask);
        scores[mask] = Score();
        symbols[mask] = Bytes(c_->matrix, c_->matrix + sizeof(c_->matrix));
      }
      int best = 0;
      for (int mask = 1; mask < 8; ++mask) {
        if (scores[mask] < scores[best]) best = mask;
      }
      ASSERT_EQ(Encode(text, level), 1);
      EXPECT_EQ(c_->mask, best);
      EXPECT_EQ(Bytes(c_->matrix, c_->matrix + sizeof(c_->matrix)), symbols[best]);
    }
  }
}

TEST(QrPenaltyScore, HandCountedMatrices) {
  // All light, 21 x 21: runs 42 * 19, 2x2 blocks 400 * 3, dark share 0% -> 100.
  std::vector<uint8_t> light(21 * 21, 0);
  EXPECT_EQ(QrPenaltyScore(light.data(), 21, 21), 42 * 19 + 400 * 3 + 100);

  // 7 x 7, top row 1011101 and the rest light. The symbol edge counts as light
  // on both sides of the finder-like row: 40. Rows 1-6 runs of 7: 6 * 5.
  // Columns: five of one dark then six light (4 each), two all light (5 each).
  // 2x2 blocks: 5 * 6 light ones in rows 1-6: 90. Dark 5/49 = 10% -> 80.
  std::vector<uint8_t> finderLike(7 * 7, 0);
  const uint8_t row[7] = {1, 0, 1, 1, 1, 0, 1};
  for (int k = 0; k < 7; ++k) finderLike[k] = row[k];
  EXPECT_EQ(QrPenaltyScore(finderLike.data(), 7, 7), 40 + 30 + 30 + 90 + 80);

  // Construction-time values score like 0/1: ' ' light, '0' dark.
  std::vector<uint8_t> functions(7 * 7, ' ');
  for (int k = 0; k < 7; ++k) functions[k] = row[k] ? '0' : ' ';
  EXPECT_EQ(QrPenaltyScore(functions.data(), 7, 7), 270);
}

// ---------------------------------------------------------------- oracle

enum class TextKind { kNumeric, kAlphanumeric, kBytes, kUtf8, kShiftJis, kMixed };

std::string RandomText(std::mt19937& rng, TextKind kind, int length) {
  std::string text;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  while (static_cast<int>(text.size()) < length) {
    TextKind k = kind;
    if (kind == TextKind::kMixed) k = static_cast<TextKind>(pick(5));
    const int chunk = kind == TextKind::kMixed ? 1 + pick(24) : length;
    for (int i = 0; i < chunk && static_cast<int>(text.size()) < length; ++i) {
      switch (k) {
        case TextKind::kNumeric: text += static_cast<char>('0' + pick(10)); break;
        case TextKind::kAlphanumeric: text += kQrAlphanumeric[pick(45)]; break;
        case TextKind::kBytes: text += static_cast<char>(pick(256)); break;
        case TextKind::kUtf8: {
          const int code = pick(3) == 0 ? 0x20 + pick(0x5F) : 0x4E00 + pick(0x5000);
          if (code < 0x80) {
            text += static_cast<char>(code);
          } else {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default: {
          const int lead = 0x88 + pick(0x98 - 0x88);
          int trail = 0x40 + pick(0xFC - 0x40 + 1);
          if (trail == 0x7F) trail = 0x80;
          text += static_cast<char>(lead);
          text += static_cast<char>(trail);
          break;
        }
      }
    }
  }
  text.resize(static_cast<size_t>(length));
  return text;
}

// For every version and level: a seeded text of each kind in turn, about as
// long as the version holds, encoded at exactly that version and read back by
// zxing-cpp to the same bytes.
TEST_F(QrEncoderTest, ZxingReadsEveryVersionAndLevel) {
  std::mt19937 rng(20240611);
  int kindIndex = 0;
  for (int version = 1; version <= 40; ++version) {
    for (int level = 0; level < 4; ++level) {
      const auto kind = static_cast<TextKind>(kindIndex++ % 6);
      const std::string pool = RandomText(rng, kind, 7089);
      // Longest prefix that fits this version (mask fixed to keep the search fast).
      int low = 1;
      int high = static_cast<int>(pool.size());
      while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (QrEncode(*c_, level, version, 0, 0, pool.data(), mid) == 1) {
          low = mid;
        } else {
          high = mid - 1;
        }
      }
      const int length = low - static_cast<int>(rng() % 3);
      SCOPED_TRACE(testing::Message() << "version " << version << " level " << level << " kind "
                                      << static_cast<int>(kind) << " length " << length);
      int used = length;
      if (QrEncode(*c_, level, version, 0, -1, pool.data(), used) != 1) {
        // A shorter cut may split a kanji pair and cost a few bits more.
        used -= 3;
        ASSERT_EQ(QrEncode(*c_, level, version, 0, -1, pool.data(), used), 1);
      }
      ASSERT_EQ(c_->version, version);
      const std::optional<Bytes> read = ReadBack();
      ASSERT_TRUE(read.has_value());
      EXPECT_EQ(*read, Bytes(pool.begin(), pool.begin() + used));
    }
  }
}

}  // namespace
}  // namespace cordavex
