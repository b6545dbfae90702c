#include "cordavex/cordavex_code.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "decode/cv_decoder.h"
#include "decode/cv_layout.h"
#include "support/alloc_counter.h"
#include "support/cv_symbols.h"

namespace cordavex {
namespace {

using test::CvDecoded;
using test::CvSymbol;
using test::DecodeCv;
using test::GenerateCv;
using test::GenerateCvText;

TEST(CvGeometry, WorkedExamples) {
  struct Case {
    int side, level, total, unit, check, data, blocks, width;
  };
  const Case cases[] = {
      {13, 0, 12, 2, 2, 10, 1, 7},
      {21, 0, 42, 2, 6, 36, 1, 9},
      {29, 3, 87, 4, 44, 43, 2, 9},     // B = 4: two blocks of 22 check codewords
      {57, 0, 381, 12, 48, 333, 6, 12},
      {57, 3, 381, 12, 192, 189, 6, 11},
  };
  for (const Case& c : cases) {
    CvGeometry g;
    ASSERT_EQ(CvMakeGeometry(c.side, c.level, g), 1) << c.side;
    EXPECT_EQ(g.total, c.total) << c.side;
    EXPECT_EQ(g.blockUnit, c.unit) << c.side;
    EXPECT_EQ(g.check, c.check) << c.side;
    EXPECT_EQ(g.data, c.data) << c.side;
    EXPECT_EQ(g.blocks, c.blocks) << c.side;
    EXPECT_EQ(g.countWidth, c.width) << c.side;
  }
  CvGeometry g;
  EXPECT_EQ(CvMakeGeometry(31, 0, g), 0);  // not a size
  EXPECT_EQ(CvMakeGeometry(13, 4, g), 0);
}

// Every size has room for its codewords in the placement walk, with every
// block's check count whole and even, and at most 68 per block.
TEST(CvGeometry, PlacementHoldsEveryCodeword) {
  for (const CvSizeRow& row : kCvSizes) {
    int modules = 0;
    std::set<int> seen;
    CvForEachDataModule(row.side, row.arm, [&](int r, int c) {
      ++modules;
      seen.insert(r * 100 + c);
      EXPECT_FALSE(c == 0 || CvCornerMarkDark(row.side, row.arm, r, c)) << row.side;
    });
    EXPECT_EQ(static_cast<int>(seen.size()), modules) << row.side;
    for (int level = 0; level < 4; ++level) {
      CvGeometry g;
      ASSERT_EQ(CvMakeGeometry(row.side, level, g), 1);
      EXPECT_GE(modules, 8 * g.total) << row.side;
      EXPECT_LE(modules, 8 * g.total + 7) << row.side;
      EXPECT_EQ(g.check % g.blocks, 0);
      EXPECT_EQ((g.check / g.blocks) % 2, 0);
      EXPECT_LE(g.check / g.blocks, 68);
    }
  }
}

TEST(CvGenerator, FiveDigitsNeedThirtyBits) {
  const CvSymbol s = GenerateCvText(u"12345");
  ASSERT_EQ(s.status, 1);
  EXPECT_EQ(s.side, 13);
  EXPECT_EQ(s.work->bitCount, 30);  // end 3 + (mode 3 + digits 10 + 7) + count 7
  ASSERT_EQ(s.work->segmentCount, 1);
  EXPECT_EQ(s.work->segments[0].mode, kCvModeNumeric);
  const CvDecoded d = DecodeCv(s.Matrix(), s.side);
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.text, u"12345");
}

// Pieces of text that between them need every mode of a text symbol.
const std::u16string kPieces[] = {
    u"0123456789012345",  // numeric
    u"+886-2,27.55",      // phone
    u"hello world",       // six-bit
    u"ABC DEF9 x",        // capitals on and off
    u"aBc dE",            // single capitals by escape
    u"line\r\n[one]~@\\", // escaped values
    u"中文字元",          // wide
    u"MECARD:",           // keywords
    u"http://www.",
    u".com",
    u"TEL:",
    u"{}<>|",             // ASCII outside the six-bit alphabet
    u"a\u00e9b",
    u"007",
};

// Every size and level: seeded texts that fill the symbol come back exactly.
TEST(CvGenerator, RoundTripEverySizeAndLevel) {
  std::mt19937 rng(20261210);
  std::set<int> modes;
  for (const CvSizeRow& row : kCvSizes) {
    for (int level = 0; level < 4; ++level) {
      for (int trial = 0; trial < 3; ++trial) {
        std::u16string text;
        std::u16string accepted;
        // Grow the text piece by piece while it stays within this size.
        for (int i = 0; i < 40; ++i) {
          text += kPieces[rng() % std::size(kPieces)];
          const CvSymbol s = GenerateCvText(text, row.side, level);
          if (s.status != 1 || s.side != row.side) break;
          accepted = text;
        }
        if (accepted.empty()) accepted.push_back(u'1');
        const CvSymbol s = GenerateCvText(accepted, row.side, level);
        ASSERT_EQ(s.status, 1) << row.side << " " << level;
        ASSERT_EQ(s.side, row.side);
        for (int i = 0; i < s.work->segmentCount; ++i) modes.insert(s.work->segments[i].mode);
        const CvDecoded d = DecodeCv(s.Matrix(), s.side);
        ASSERT_EQ(d.status, 1) << row.side << " " << level << " " << FailureInfo(d.failure).cause;
        EXPECT_EQ(d.text, accepted) << row.side << " " << level;
        EXPECT_EQ(d.contentKind, kCvPayloadText);
      }
    }
  }
  for (int mode = kCvModeNumeric; mode <= kCvModeWide; ++mode) EXPECT_TRUE(modes.count(mode)) << mode;
  EXPECT_TRUE(modes.count(kCvModeKeyword));
}

TEST(CvGenerator, SegmentsByClass) {
  struct Case {
    std::u16string text;
    std::vector<int> modes;
  };
  const Case cases[] = {
      {u"0123456789", {kCvModeNumeric}},
      {u"+886-2-2755-1234", {kCvModePhone}},
      // A digit run right after the first unit is not merged backwards.
      {u"+886912345678", {kCvModePhone, kCvModeNumeric}},
      {u"Hello, World", {kCvModeSixBit}},
      {u"中文", {kCvModeWide}},
      // Short digit runs join the text around them.
      {u"abc12def", {kCvModeSixBit}},
      // A keyword becomes its index; the rest by class.
      {u"TEL:0912345678", {kCvModeKeyword, kCvModeNumeric}},
      {u"http://www.example.com", {kCvModeKeyword, kCvModeSixBit, kCvModeKeyword}},
      // A single six-bit unit between wide ones stays wide.
      {u"中a文", {kCvModeWide}},
  };
  for (const Case& c : cases) {
    const CvSymbol s = GenerateCvText(c.text);
    ASSERT_EQ(s.status, 1);
    std::vector<int> modes;
    for (int i = 0; i < s.work->segmentCount; ++i) modes.push_back(s.work->segments[i].mode);
    EXPECT_EQ(modes, c.modes);
    EXPECT_EQ(DecodeCv(s.Matrix(), s.side).text, c.text);
  }
}

// The longer of two overlapping keywords wins.
TEST(CvGenerator, LongerKeywordWins) {
  const CvSymbol s = GenerateCvText(u"https://www.x");
  ASSERT_EQ(s.status, 1);
  ASSERT_GE(s.work->segmentCount, 1);
  EXPECT_EQ(s.work->segments[0].mode, kCvModeKeyword);
  EXPECT_EQ(s.work->segments[0].keyword, 25);
}

TEST(CvGenerator, BytesRoundTrip) {
  std::vector<uint8_t> bytes(300);
  std::mt19937 rng(7);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  CordavexInput input;
  input.data = bytes;
  const CvSymbol s = GenerateCv(kCordavexBytes, 13, 0, input);
  ASSERT_EQ(s.status, 1);
  EXPECT_EQ(s.side, 57);
  const CvDecoded d = DecodeCv(s.Matrix(), s.side);
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.contentKind, kCvPayloadBinary);
  EXPECT_EQ(d.bytes, bytes);
  EXPECT_EQ(d.second, "300");
  EXPECT_EQ(d.information.hasFunction, 0);
}

TEST(CvGenerator, SplitDataOverParts) {
  std::vector<uint8_t> bytes(700);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
  uint8_t parity = 0;
  for (uint8_t b : bytes) parity ^= b;
  CordavexInput input;
  input.data = bytes;
  // Two parts cannot hold 700 bytes; the generator grows to three.
  const CvSymbol s = GenerateCv(kCordavexSplit, 13, 0, input, 2);
  ASSERT_EQ(s.status, 1);
  ASSERT_EQ(s.parts, 3);
  std::vector<uint8_t> joined;
  for (int i = 0; i < s.parts; ++i) {
    const CvDecoded d = DecodeCv(s.Matrix(i), s.partSides[static_cast<size_t>(i)]);
    ASSERT_EQ(d.status, 1) << i;
    EXPECT_EQ(d.contentKind, kCvPayloadSplit);
    int p = 0, x = 0, index = 0, last = 0, count = 0;
    ASSERT_EQ(std::sscanf(d.second.c_str(), "%d:%d:%d:%d:%d", &p, &x, &index, &last, &count), 5);
    EXPECT_EQ(p, parity);
    EXPECT_EQ(index, i);
    EXPECT_EQ(last, 2);
    EXPECT_EQ(count, i < 2 ? 233 : 234);
    joined.insert(joined.end(), d.bytes.begin(), d.bytes.end());
  }
  EXPECT_EQ(joined, bytes);
  EXPECT_EQ(s.side, s.partSides[0]);
}

TEST(CvGenerator, SplitDataNeedingSeventeenPartsFails) {
  // 16 full symbols take 16 * 330 bytes at level 0; one byte more each is too much.
  std::vector<uint8_t> bytes(16 * 331, 0x5A);
  CordavexInput input;
  input.data = bytes;
  EXPECT_EQ(GenerateCv(kCordavexSplit, 13, 0, input, 1).status, 0);
  bytes.resize(16 * 320);  // 15 parts of 341 do not fit; 16 of 320 do
  input.data = bytes;
  const CvSymbol s = GenerateCv(kCordavexSplit, 13, 0, input, 1);
  EXPECT_EQ(s.status, 1);
  EXPECT_EQ(s.parts, 16);
}

TEST(CvGenerator, RefusesWhatItCannotDraw) {
  CordavexInput input;
  const std::u16string tooLong(800, u'a');
  input.text = tooLong;
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 0, input).status, 0);
  const std::u16string tooMuch(400, u'中');
  input.text = tooMuch;
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 0, input).status, 0);
  const std::u16string withZero(u"a\0b", 3);
  input.text = withZero;
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 0, input).status, 0);
  input.text = u"x";
  EXPECT_EQ(GenerateCv(5, 13, 0, input).status, 0);
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 4, input).status, 0);
  input.text = {};
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 0, input).status, 0);
  // At most 80 segments: 40 times "ab" and a wide unit fit, 41 times do not.
  std::u16string alternating;
  for (int i = 0; i < 40; ++i) alternating += u"ab\u4e2d";
  input.text = alternating;
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 0, input).status, 1);
  alternating += u"ab\u4e2d";
  input.text = alternating;
  EXPECT_EQ(GenerateCv(kCordavexText, 13, 0, input).status, 0);
  // Sizes outside 13..57 are clamped, and an in-between size rounds up.
  input.text = u"x";
  EXPECT_EQ(GenerateCv(kCordavexText, 3, 0, input).side, 13);
  EXPECT_EQ(GenerateCv(kCordavexText, 99, 0, input).side, 57);
  EXPECT_EQ(GenerateCv(kCordavexText, 30, 0, input).side, 33);
}

// The map: the matrix at columns 4.., the finder's bars split in the middle
// and before the ring, the ring in the last three rows, light elsewhere.
TEST(CvGenerator, OutputMapFinder) {
  const CvSymbol s = GenerateCvText(u"finder", 21);
  ASSERT_EQ(s.status, 1);
  const int side = s.side;
  const char* map = s.maps.data();
  for (int r = 0; r < kCordavexMapSide; ++r) {
    for (int c = 0; c < kCordavexMapSide; ++c) {
      const char v = map[r * kCordavexMapSide + c];
      ASSERT_TRUE(v == '0' || v == '1');
      if (r >= side || c == 3 || c >= side + 4) {
        EXPECT_EQ(v, '0') << r << "," << c;
      }
    }
  }
  std::string finder;
  for (int r = 0; r < side; ++r) {
    finder.append(map + r * kCordavexMapSide, 3);
    finder.push_back('\n');
  }
  std::string expected;
  for (int r = 0; r < side; ++r) {
    if (r == (side - 5) / 2 || r == side - 4) {
      expected += "000\n";
    } else if (r == side - 3 || r == side - 1) {
      expected += "111\n";
    } else {
      expected += "101\n";
    }
  }
  EXPECT_EQ(finder, expected);
  // The left column's timing for side 21: rows 7..13 dark between the marks.
  const ModuleMatrix m = s.Matrix();
  std::string timing;
  for (int r = 0; r < side; ++r) timing += m.Get(r, 0) ? '1' : '0';
  EXPECT_EQ(timing, "111110011111110011111");
}

TEST(CvGenerator, TimingColumnExample) {
  std::string timing;
  for (int r = 0; r < 29; ++r) timing += CvTimingDark(29, 7, r) ? '1' : '0';
  EXPECT_EQ(timing, "11111110111111011111101111111");
}

// The mask chosen is the lowest-scoring one: forcing any other yields a grid
// that still decodes (the reader takes whatever the format word says).
TEST(CvGenerator, AnyMaskReads) {
  std::vector<uint8_t> data;
  test::CvBits bits;
  bits.Append(kCvModeSixBit, 3).Append(11, 6).Append(0, 6).Append(0, 3);
  for (int mask = 0; mask < 8; ++mask) {
    const ModuleMatrix m = test::BuildCvGrid(17, 1, mask, bits.bytes);
    const CvDecoded d = DecodeCv(m, 17);
    ASSERT_EQ(d.status, 1) << mask;
    EXPECT_EQ(d.text, u"a");
  }
}

// Codewords past the end mode carry the pad values of the generator seeded
// with 305419896 (4-bit fields at shifts 28, 21, 15, 10, 6, 3, 1, 0, then four
// steps of state * 65537 + counter).
TEST(CvGenerator, PadValues) {
  const CvSymbol s = GenerateCvText(u"1", 21);
  ASSERT_EQ(s.status, 1);
  EXPECT_EQ(s.work->bitCount, 19);  // mode, 9-bit count, one digit, end
  auto decoder = std::make_unique<CvDecoder>();
  std::array<uint8_t, 1600> output{};
  std::array<uint8_t, 512> second{};
  std::array<CvFieldSpan, kCvKeywordCount> fields{};
  ASSERT_EQ(CvDecodeGrid(*decoder, s.Matrix(), 21, output, second, fields), 1);
  const std::vector<uint8_t> expected = {1, 1, 8, 5, 9, 15, 12, 8, 6, 0, 0, 5, 9, 15, 15, 14, 12,
                                         1, 8, 5, 10, 2, 10, 4, 2, 5, 0, 5, 10, 7, 13, 10, 7};
  EXPECT_EQ(std::vector<uint8_t>(decoder->data + 3, decoder->data + 36), expected);
}

TEST(CvGenerator, AllocatesNothing) {
  auto work = std::make_unique<CordavexGenerator>();
  std::vector<char> maps(static_cast<size_t>(kCordavexMaxParts) * kCordavexMapBytes);
  const std::u16string text = u"MECARD:N:Doe,John;TEL:0955667788;;";
  std::vector<uint8_t> bytes(600, 0x33);
  CordavexInput textInput;
  textInput.text = text;
  CordavexInput byteInput;
  byteInput.data = bytes;
  int size = 13;
  int parts = 1;
  const size_t before = test::AllocationCount();
  EXPECT_EQ(GenerateCordavexCode(*work, maps, kCordavexText, size, 2, textInput, parts), 1);
  size = 13;
  EXPECT_EQ(GenerateCordavexCode(*work, maps, kCordavexSplit, size, 0, byteInput, parts), 1);
  EXPECT_EQ(test::AllocationCount(), before);
}

}  // namespace
}  // namespace cordavex
