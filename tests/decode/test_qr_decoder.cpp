#include "decode/qr_decoder.h"
#include "decode/qr_layout.h"

#include <gtest/gtest.h>

#include <ZXing/ReadBarcode.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/decode_summary.h"
#include "decode/bch.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

using test::BuildQrSymbol;
using test::QrBitStream;
using test::QrSymbol;

struct Decoded {
  int status = 0;
  std::string text;
  std::string second;
  int length = 0;
  Failure failure = Failure::kNone;
};

Decoded Decode(const QrSymbol& symbol, int dimension = -1) {
  auto decoder = std::make_unique<QrDecoder>();
  std::array<uint8_t, kDecodedTextBytes> text{};
  std::array<uint8_t, kSecondStringBytes> second{};
  const ModuleMatrix m = symbol.ToMatrix();
  Decoded d;
  d.status = QrDecodeGrid(*decoder, m, dimension >= 0 ? dimension : symbol.size, text, second);
  d.length = decoder->textLength;
  d.failure = decoder->failure;
  d.text.assign(reinterpret_cast<const char*>(text.data()),
                static_cast<size_t>(d.status ? decoder->textLength : 0));
  d.second = reinterpret_cast<const char*>(second.data());
  return d;
}

// A version-1 symbol at level L, mask 2, holding the given stream.
QrSymbol Build(const QrBitStream& stream, int version = 1, int level = test::kLevelL, int mask = 2) {
  const int count = test::QrDataCodewordCount(version, level);
  return BuildQrSymbol(version, level, mask, stream.DataCodewords(count));
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// The test builder itself must make symbols that an independent reader accepts,
// or the hand-made streams below would prove nothing.
TEST(QrTestBuilder, ZxingReadsItsSymbols) {
  for (int version : {1, 2, 7, 13}) {
    for (int mask = 0; mask < 8; ++mask) {
      const int level = mask % 4;
      QrBitStream s;
      // Short enough for version 1-H (7 bytes).
      const std::string payload = "v" + std::to_string(version) + "m" + std::to_string(mask);
      s.Append(0b0100, 4);  // byte mode
      s.Append(static_cast<uint32_t>(payload.size()), version <= 9 ? 8 : 16);
      for (char c : payload) s.Append(static_cast<uint8_t>(c), 8);
      const QrSymbol symbol = Build(s, version, level, mask);
      test::RenderOptions o;
      o.width = o.height = (symbol.size + 8) * 4;
      o.moduleSize = 4;
      o.dark = 0;
      o.light = 255;
      o.background = 255;
      const test::Frame f = test::RenderModules(symbol.modules, symbol.size, o);
      const auto result = ZXing::ReadBarcode(
          ZXing::ImageView(f.grey.data(), f.width, f.height, ZXing::ImageFormat::Lum),
          ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode));
      ASSERT_TRUE(result.isValid()) << "version " << version << " mask " << mask;
      EXPECT_EQ(std::string(result.bytes().begin(), result.bytes().end()), payload);
      EXPECT_EQ(Decode(symbol).text, payload);
    }
  }
}

// Every version the reader takes, at every level, filled to capacity with bytes
// from libqrencode.
TEST(QrDecodeGrid, EveryVersionAndLevelFromLibqrencode) {
  for (int version = 1; version <= 13; ++version) {
    for (int level = 0; level < 4; ++level) {
      const int capacity = test::QrByteCapacity(version, level);
      const auto bytes = test::RandomBytes(static_cast<size_t>(capacity),
                                           static_cast<uint32_t>(100 * version + level));
      const auto symbol = test::EncodeQrBytes(bytes, version, level);
      ASSERT_TRUE(symbol.has_value()) << version << "/" << level;
      const Decoded d = Decode(*symbol);
      ASSERT_EQ(d.status, 1) << "version " << version << " level " << level;
      EXPECT_EQ(d.text, std::string(bytes.begin(), bytes.end()));
      EXPECT_EQ(d.length, capacity);
      EXPECT_EQ(d.second, "");
    }
  }
}

TEST(QrDecodeGrid, NumericGroupsKeepTheirLeadingZeros) {
  QrBitStream s;
  s.Append(0b0001, 4);  // numeric
  s.Append(7, 10);      // seven digits
  s.Append(9, 10);      // "009"
  s.Append(876, 10);    // "876"
  s.Append(5, 4);       // "5"
  EXPECT_EQ(Decode(Build(s)).text, "0098765");

  const test::QrSegment seg{test::QrSegmentMode::kNumeric, "0098765"};
  const auto libq = test::EncodeQrSegments({&seg, 1}, 1, test::kLevelM);
  ASSERT_TRUE(libq.has_value());
  EXPECT_EQ(Decode(*libq).text, "0098765");
}

TEST(QrDecodeGrid, TwoDigitGroupIsPadded) {
  QrBitStream s;
  s.Append(0b0001, 4);
  s.Append(5, 10);
  s.Append(120, 10);  // "120"
  s.Append(7, 7);     // "07"
  EXPECT_EQ(Decode(Build(s)).text, "12007");
}

TEST(QrDecodeGrid, OddAlphanumericSegmentEndsWithSixBitCharacter) {
  QrBitStream s;
  s.Append(0b0010, 4);        // alphanumeric
  s.Append(5, 9);             // five characters
  s.Append(10 * 45 + 12, 11);  // "AC"
  s.Append(41 * 45 + 4, 11);   // "-4"
  s.Append(2, 6);             // "2"
  EXPECT_EQ(Decode(Build(s)).text, "AC-42");

  const test::QrSegment seg{test::QrSegmentMode::kAlphanumeric, "HELLO WORLD $%*+-./:"};
  const auto libq = test::EncodeQrSegments({&seg, 1}, 2, test::kLevelQ);
  ASSERT_TRUE(libq.has_value());
  EXPECT_EQ(Decode(*libq).text, "HELLO WORLD $%*+-./:");
}

TEST(QrDecodeGrid, CharacterValuesOutsideTheirTablesFailTheSymbol) {
  struct Case {
    const char* name;
    uint32_t mode, count, value;
    int countBits, valueBits;
  };
  const Case cases[] = {
      {"numeric triple 1000", 0b0001, 3, 1000, 10, 10},
      {"numeric pair 100", 0b0001, 2, 100, 10, 7},
      {"numeric digit 10", 0b0001, 1, 10, 10, 4},
      {"alphanumeric pair 2025", 0b0010, 2, 2025, 9, 11},
      {"alphanumeric single 45", 0b0010, 1, 45, 9, 6},
  };
  for (const Case& c : cases) {
    QrBitStream s;
    s.Append(c.mode, 4);
    s.Append(c.count, c.countBits);
    s.Append(c.value, c.valueBits);
    EXPECT_EQ(Decode(Build(s)).status, 0) << c.name;
  }
}

TEST(QrDecodeGrid, KanjiExtremesGiveShiftJisPairs) {
  QrBitStream s;
  s.Append(0b1000, 4);  // kanji
  s.Append(2, 8);
  s.Append(0, 13);
  s.Append(0x1FFF, 13);
  const std::string expected = Bytes({0x81, 0x40, 0xEB, 0xBF});
  EXPECT_EQ(Decode(Build(s)).text, expected);

  // libqrencode packs the same two characters to the same values.
  const test::QrSegment seg{test::QrSegmentMode::kKanji, expected};
  const auto libq = test::EncodeQrSegments({&seg, 1}, 1, test::kLevelH);
  ASSERT_TRUE(libq.has_value());
  EXPECT_EQ(Decode(*libq).text, expected);
}

TEST(QrDecodeGrid, ChineseSegmentGivesGb2312AndRemark) {
  QrBitStream s;
  s.Append(0b1101, 4);  // GB 18284 Chinese characters
  s.Append(1, 4);       // GB2312 subset
  s.Append(3, 8);
  s.Append(1, 13);      // 0xA1A2, first range
  s.Append(4655, 13);   // 0xD6D0, second range
  s.Append(3875, 13);   // 0xCEC4
  const Decoded d = Decode(Build(s));
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.text, Bytes({0xA1, 0xA2, 0xD6, 0xD0, 0xCE, 0xC4}));
  EXPECT_EQ(d.second, "CMCC:");
}

TEST(QrDecodeGrid, OtherChineseSubsetEndsDecoding) {
  QrBitStream s;
  s.Append(0b0100, 4);
  s.Append(1, 8);
  s.Append('X', 8);
  s.Append(0b1101, 4);
  s.Append(2, 4);  // not the GB2312 subset
  s.Append(1, 8);
  s.Append(1, 13);
  const Decoded d = Decode(Build(s));
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.text, "X");
  EXPECT_EQ(d.second, "");
}

TEST(QrDecodeGrid, StructuredAppendRecord) {
  QrBitStream s;
  s.Append(0b0011, 4);  // structured append
  s.Append(1, 4);       // this symbol, 0-based
  s.Append(2, 4);       // last symbol
  s.Append(0x5A, 8);    // parity of the whole message
  s.Append(0b0100, 4);
  s.Append(3, 8);
  for (char c : std::string("ABC")) s.Append(static_cast<uint8_t>(c), 8);
  const Decoded d = Decode(Build(s));
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.text, "ABC");
  EXPECT_EQ(d.second, "90:64:1:2:3");  // 0x41 ^ 0x42 ^ 0x43 = 64
}

TEST(QrDecodeGrid, StructuredAppendPositionPastLastFails) {
  QrBitStream s;
  s.Append(0b0011, 4);
  s.Append(3, 4);
  s.Append(2, 4);
  s.Append(0, 8);
  s.Append(0b0100, 4);
  s.Append(1, 8);
  s.Append('A', 8);
  EXPECT_EQ(Decode(Build(s)).status, 0);
}

TEST(QrDecodeGrid, StructuredAppendLaterInTheStreamEndsDecoding) {
  QrBitStream s;
  s.Append(0b0100, 4);
  s.Append(1, 8);
  s.Append('A', 8);
  s.Append(0b0011, 4);
  s.Append(0, 4);
  s.Append(1, 4);
  s.Append(0, 8);
  const Decoded d = Decode(Build(s));
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.text, "A");
  EXPECT_EQ(d.second, "");
}

TEST(QrDecodeGrid, StructuredAppendRecordReplacesChineseRemark) {
  QrBitStream s;
  s.Append(0b0011, 4);
  s.Append(0, 4);
  s.Append(1, 4);
  s.Append(7, 8);
  s.Append(0b1101, 4);
  s.Append(1, 4);
  s.Append(1, 8);
  s.Append(1, 13);  // 0xA1 0xA2
  const Decoded d = Decode(Build(s));
  EXPECT_EQ(d.text, Bytes({0xA1, 0xA2}));
  EXPECT_EQ(d.second, "7:3:0:1:2");  // 0xA1 ^ 0xA2 = 3
}

TEST(QrDecodeGrid, EciFirstGivesEmptyText) {
  const test::QrSegment segs[] = {{test::QrSegmentMode::kEci, "", 26},
                                  {test::QrSegmentMode::kByte, "text"}};
  const auto libq = test::EncodeQrSegments(segs, 1, test::kLevelL);
  ASSERT_TRUE(libq.has_value());
  const Decoded d = Decode(*libq);
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.text, "");
  EXPECT_EQ(d.length, 0);
}

TEST(QrDecodeGrid, SegmentsFollowOneAnother) {
  const test::QrSegment segs[] = {{test::QrSegmentMode::kByte, "tel:"},
                                  {test::QrSegmentMode::kNumeric, "0123456789"},
                                  {test::QrSegmentMode::kAlphanumeric, "X-1"}};
  const auto libq = test::EncodeQrSegments(segs, 10, test::kLevelM);  // 16-bit byte count
  ASSERT_TRUE(libq.has_value());
  EXPECT_EQ(Decode(*libq).text, "tel:0123456789X-1");
}

TEST(QrDecodeGrid, FieldEndingOnTheLastDataBitIsRead) {
  // Version 1-L holds 19 data codewords, 152 bits: a byte segment of two bytes
  // (28 bits) and 33 digits (4 + 10 + 11 x 10 = 124 bits) fill them exactly.
  QrBitStream s;
  s.Append(0b0100, 4);
  s.Append(2, 8);
  s.Append('A', 8);
  s.Append('B', 8);
  s.Append(0b0001, 4);
  s.Append(33, 10);
  std::string digits;
  for (int g = 0; g < 11; ++g) {
    const int value = 100 + 73 * g;
    s.Append(static_cast<uint32_t>(value), 10);
    digits += std::to_string(value);
  }
  ASSERT_EQ(s.BitCount(), 152u);
  EXPECT_EQ(Decode(Build(s)).text, "AB" + digits);
}

TEST(QrDecodeGrid, CountBeyondTheDataFails) {
  QrBitStream s;
  s.Append(0b0100, 4);
  s.Append(200, 8);  // version 1-L has room for 17 bytes
  s.Append('A', 8);
  EXPECT_EQ(Decode(Build(s)).status, 0);
}

TEST(QrDecodeGrid, ZeroCountEndsDecoding) {
  QrBitStream s;
  s.Append(0b0100, 4);
  s.Append(1, 8);
  s.Append('Z', 8);
  s.Append(0b0100, 4);
  s.Append(0, 8);
  s.Append(0b0100, 4);
  s.Append(1, 8);
  s.Append('Y', 8);
  EXPECT_EQ(Decode(Build(s)).text, "Z");
}

// A 15-bit pattern more than three bits from every format word.
uint32_t UncorrectableFormatPattern() {
  for (uint32_t bits = 0; bits < (1u << 15); ++bits) {
    std::array<int32_t, 15> word{};
    for (int i = 0; i < 15; ++i) word[static_cast<size_t>(i)] = static_cast<int32_t>((bits >> i) & 1u);
    if (Bch15Correct(word) == 0) return bits ^ 0x5412;  // as it would sit in the symbol
  }
  return 0;
}

void OverwriteFormat(QrSymbol& s, const QrCell (&cells)[15], uint32_t bits) {
  for (int i = 0; i < 15; ++i) s.Set(cells[i].row, cells[i].column, (bits >> i) & 1u);
}
void OverwriteOuterFormat(QrSymbol& s, uint32_t bits) {
  OverwriteFormat(s, QrFormatPositions(s.size).split, bits);
}
void OverwriteInnerFormat(QrSymbol& s, uint32_t bits) {
  OverwriteFormat(s, QrFormatPositions(s.size).corner, bits);
}

TEST(QrDecodeGrid, DestroyedFirstFormatCopyDecodesFromTheSecond) {
  const std::string text = "format copy";
  auto symbol = test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 1,
                                    test::kLevelQ);
  ASSERT_TRUE(symbol.has_value());
  const uint32_t bad = UncorrectableFormatPattern();
  OverwriteOuterFormat(*symbol, bad);
  EXPECT_EQ(Decode(*symbol).text, text);
  OverwriteInnerFormat(*symbol, bad);
  EXPECT_EQ(Decode(*symbol).status, 0);
}

TEST(QrDecodeGrid, CorrectsUpToTheBlockLimitAndNoFurther) {
  // Version 1-H: one block of 26 codewords, 17 of them check codewords, corrects
  // 8 codeword errors (ISO/IEC 18004 Table 9). One bit of each of the first k
  // codewords is flipped, found through the placement order.
  const std::string text = "damage";
  const auto clean = test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                         1, test::kLevelH);
  ASSERT_TRUE(clean.has_value());
  auto damage = [&](int codewords) {
    auto symbol = *clean;
    int module = 0;
    QrForEachDataModule(1, [&](int row, int column) {
      if (module % 8 == 3) symbol.Set(row, column, !symbol.Dark(row, column));
      return ++module < 8 * codewords;
    });
    return symbol;
  };
  EXPECT_EQ(Decode(damage(8)).text, text);
  const auto beyond = Decode(damage(9));
  EXPECT_EQ(beyond.status, 0);
  EXPECT_EQ(beyond.failure, Failure::kUncorrectable);
}

TEST(QrDecodeGrid, MirroredSymbolIsReadFromItsTransposedGrid) {
  // The sampler sees a mirrored symbol with its handedness reversed: its grid
  // is the transpose of the symbol's.
  for (int version : {1, 7}) {
    const std::string text = "glass";
    const auto symbol = test::EncodeQrBytes(
        {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, version, test::kLevelM);
    ASSERT_TRUE(symbol.has_value());
    QrSymbol transposed = *symbol;
    for (int r = 0; r < symbol->size; ++r) {
      for (int c = 0; c < symbol->size; ++c) transposed.Set(c, r, symbol->Dark(r, c));
    }
    EXPECT_EQ(Decode(transposed).text, text) << version;
  }
}

TEST(QrDecodeGrid, RejectsDimensionsOutsideVersions1To13) {
  const std::string text = "size";
  const auto symbol = test::EncodeQrBytes(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 1, test::kLevelL);
  ASSERT_TRUE(symbol.has_value());
  for (int dimension : {0, 17, 20, 22, 23, 73, 177}) {
    EXPECT_EQ(Decode(*symbol, dimension).status, 0) << dimension;
  }
}

}  // namespace
}  // namespace cordavex
