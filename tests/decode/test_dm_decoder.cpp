#include "decode/dm_decoder.h"

#include <gtest/gtest.h>

#include <dmtx.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/decode_summary.h"
#include "decode/dm_tables.h"
#include "support/dm_symbols.h"
#include "support/qr_symbols.h"

namespace cordavex {
namespace {

using test::BuildDmSymbol;
using test::DmScheme;
using test::DmSymbol;

struct Decoded {
  int status = 0;
  std::string text;
  Failure failure = Failure::kNone;
};

Decoded Decode(const DmSymbol& symbol) {
  auto decoder = std::make_unique<DmDecoder>();
  std::array<uint8_t, kDecodedTextBytes> text{};
  std::array<uint8_t, kSecondStringBytes> second{};
  const ModuleMatrix grid = symbol.ToDecoderGrid();
  Decoded d;
  d.status = DmDecodeGrid(*decoder, grid, symbol.size, text, second);
  d.failure = decoder->failure;
  d.text.assign(reinterpret_cast<const char*>(text.data()),
                static_cast<size_t>(d.status ? decoder->textLength : 0));
  return d;
}

std::vector<uint8_t> Words(std::initializer_list<int> values) {
  std::vector<uint8_t> v;
  for (int x : values) v.push_back(static_cast<uint8_t>(x));
  return v;
}

// ASCII codeword of a character.
int A(char c) { return static_cast<uint8_t>(c) + 1; }

// The 255-state randomising of a Base 256 codeword at data position `position`.
int Randomise255(int value, int position) {
  return (value + (149 * position) % 255 + 1) % 256;
}

constexpr int kSquareSizes[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48};

TEST(DmTables, RowsAgreeWithLibdmtx) {
  ASSERT_EQ(std::size(kDmSymbolSizes), size_t{DmtxSymbolSquareCount + DmtxSymbolRectCount});
  for (int i = 0; i < DmtxSymbolSquareCount + DmtxSymbolRectCount; ++i) {
    const DmSymbolSize& s = kDmSymbolSizes[i];
    SCOPED_TRACE(std::to_string(s.rows) + "x" + std::to_string(s.columns));
    EXPECT_EQ(s.rows, dmtxGetSymbolAttribute(DmtxSymAttribSymbolRows, i));
    EXPECT_EQ(s.columns, dmtxGetSymbolAttribute(DmtxSymAttribSymbolCols, i));
    EXPECT_EQ(s.regionRows, dmtxGetSymbolAttribute(DmtxSymAttribDataRegionRows, i));
    EXPECT_EQ(s.regionColumns, dmtxGetSymbolAttribute(DmtxSymAttribDataRegionCols, i));
    EXPECT_EQ(s.regionsVertical, dmtxGetSymbolAttribute(DmtxSymAttribVertDataRegions, i));
    EXPECT_EQ(s.regionsHorizontal, dmtxGetSymbolAttribute(DmtxSymAttribHorizDataRegions, i));
    EXPECT_EQ(s.dataCodewords, dmtxGetSymbolAttribute(DmtxSymAttribSymbolDataWords, i));
    EXPECT_EQ(s.checkCodewords, dmtxGetSymbolAttribute(DmtxSymAttribSymbolErrorWords, i));
    EXPECT_EQ(s.blocks, dmtxGetSymbolAttribute(DmtxSymAttribInterleavedBlocks, i));
  }
  EXPECT_NE(FindReadableDmSize(48), nullptr);
  EXPECT_EQ(FindReadableDmSize(52), nullptr);  // two blocks
  EXPECT_EQ(FindReadableDmSize(11), nullptr);
}

// Our test builder must make symbols that the independent encoder would make,
// or the hand-made streams below would prove nothing.
TEST(DmTestBuilder, MatchesLibdmtxModuleForModule) {
  for (int size : kSquareSizes) {
    const auto lib = test::EncodeDmText("Hi", size, DmScheme::kAscii);
    ASSERT_TRUE(lib.has_value()) << size;
    const int data = test::DmDataCodewordCount(size);
    const DmSymbol own =
        BuildDmSymbol(size, std::span<const uint8_t>(lib->codewords).first(static_cast<size_t>(data)));
    EXPECT_EQ(own.codewords, lib->codewords) << size;
    EXPECT_EQ(own.modules, lib->modules) << size;
  }
}

// Content in one encodation, long enough to fill most of each size.
struct SchemeCase {
  DmScheme scheme;
  const char* name;
  std::string pattern;
};

std::vector<SchemeCase> SchemeCases() {
  std::vector<SchemeCase> cases = {
      {DmScheme::kAscii, "ASCII", "Cordavex reads Data Matrix, ECC 200! {a|b}~ #%&*"},
      {DmScheme::kAscii, "digit pairs", "0123456789876543210246813579"},
      {DmScheme::kC40, "C40", "WXY ABC 2026 XYZ WORLD Q9 WAXY "},
      {DmScheme::kText, "Text", "wxy the quick brown fox 42 jumps "},
      {DmScheme::kX12, "X12", "WXY*ABC>123 XYZ\r987*"},
      {DmScheme::kEdifact, "EDIFACT", "EDIFACT: DATA/123 <WXY> ?"},
      {DmScheme::kBase256, "Base 256", ""},
  };
  const std::vector<uint8_t> random = test::RandomBytes(200, 7);
  cases.back().pattern.assign(random.begin(), random.end());
  return cases;
}

// The longest prefix of the repeated pattern that libdmtx fits in `size`.
std::optional<std::pair<std::string, DmSymbol>> Fill(const SchemeCase& c, int size) {
  const int data = test::DmDataCodewordCount(size);
  std::string text;
  while (static_cast<int>(text.size()) < 3 * data) text += c.pattern;
  for (size_t length = static_cast<size_t>(3 * data); length > 0; --length) {
    auto s = test::EncodeDmText(text.substr(0, length), size, c.scheme);
    if (s) return std::make_pair(text.substr(0, length), *s);
  }
  return std::nullopt;
}

TEST(DmDecoder, EverySizeAndEncodationFromLibdmtx) {
  for (const SchemeCase& c : SchemeCases()) {
    for (int size : kSquareSizes) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(size));
      const auto filled = Fill(c, size);
      ASSERT_TRUE(filled.has_value());
      const Decoded d = Decode(filled->second);
      ASSERT_EQ(d.status, 1) << FailureInfo(d.failure).cause;
      EXPECT_EQ(d.text, filled->first);
    }
  }
}

// Inside C40, Text and X12 pairs a first codeword of 230..241 is data ("X" and
// "Y" open such pairs), not a latch or a function codeword; likewise inside
// EDIFACT groups and Base 256 fields.
TEST(DmDecoder, LatchValuesInsideOtherEncodationsAreData) {
  struct Case {
    DmScheme scheme;
    std::string text;
  };
  const Case cases[] = {
      {DmScheme::kC40, "XYZXYZ"}, {DmScheme::kX12, "YYYXXX"}, {DmScheme::kText, "xyzxyz"},
      {DmScheme::kEdifact, "::::::::"}, {DmScheme::kBase256, "'ABC"},  // the apostrophe at position 3 randomises to 232
  };
  for (const Case& c : cases) {
    const auto s = test::EncodeDmText(c.text, 16, c.scheme);
    ASSERT_TRUE(s.has_value()) << c.text;
    const int data = test::DmDataCodewordCount(16);
    bool inRange = false;
    for (int i = 1; i < data; ++i) inRange |= s->codewords[i] >= 230 && s->codewords[i] <= 241;
    EXPECT_TRUE(inRange) << c.text << ": the case must hold such a codeword";
    const Decoded d = Decode(*s);
    EXPECT_EQ(d.status, 1) << c.text;
    EXPECT_EQ(d.text, c.text);
  }
}

TEST(DmDecoder, DigitsIn10x10) {
  const auto s = test::EncodeDmText("987650", 10, DmScheme::kAscii);
  ASSERT_TRUE(s.has_value());
  ASSERT_EQ(s->codewords.size(), 8u);
  EXPECT_EQ(s->codewords[0], 228);
  EXPECT_EQ(s->codewords[1], 206);
  EXPECT_EQ(s->codewords[2], 180);
  const Decoded d = Decode(*s);
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.text, "987650");
}

TEST(DmDecoder, FunctionCodewordsFailTheSymbol) {
  // 232 FNC1, 233 structured append, 234 reader programming, 236 and 237 the
  // macros, 241 ECI; first or later in the data.
  for (int function : {232, 233, 234, 236, 237, 241}) {
    for (bool first : {true, false}) {
      const auto data = first ? Words({function, A('0'), A('1'), A('2')})
                              : Words({A('A'), A('B'), function, A('1')});
      const Decoded d = Decode(BuildDmSymbol(14, data));
      EXPECT_EQ(d.status, 0) << function;
      EXPECT_EQ(d.failure, Failure::kDmFunctionCodeword) << function;
    }
  }
  // A GS1 symbol from libdmtx: FNC1 first.
  DmtxEncode* enc = dmtxEncodeCreate();
  ASSERT_NE(enc, nullptr);
  dmtxEncodeSetProp(enc, DmtxPropFnc1, '~');
  dmtxEncodeSetProp(enc, DmtxPropSizeRequest, DmtxSymbol16x16);
  unsigned char gs1[] = "~0101234567890128";
  ASSERT_EQ(dmtxEncodeDataMatrix(enc, sizeof gs1 - 1, gs1), DmtxPass);
  ASSERT_EQ(enc->message->code[0], 232);
  const DmSymbol lib = BuildDmSymbol(
      16, std::span<const uint8_t>(enc->message->code, static_cast<size_t>(test::DmDataCodewordCount(16))));
  dmtxEncodeDestroy(&enc);
  EXPECT_EQ(Decode(lib).status, 0);
}

TEST(DmDecoder, HandBuiltStreams) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    std::string expected;  // "" with status 0 expected when `fails`
    bool fails = false;
  };
  const int len0 = Randomise255(0, 2);
  const Case cases[] = {
      {"upper shift then 66 gives 0xC1, then ASCII again", Words({235, 66, A('B')}), "\xC1" "B"},
      {"C40 group opening with 254 returns to ASCII", Words({230, 254, A('A'), A('Z')}), "AZ"},
      {"digit pair codewords", Words({130, 229, 142}), "009912"},
      {"pad ends the data", Words({A('O'), A('K'), 129, A('X')}), "OK"},
      {"first codeword 0 fails", Words({0, A('A')}), "", true},
      {"undefined codeword 242 fails", Words({A('A'), 242}), "", true},
      {"upper shift of a non-ASCII value fails", Words({235, 200}), "", true},
      {"Base 256 after ASCII, each byte randomised by its position",
       Words({A('x'), 231, Randomise255(3, 3), Randomise255(0, 4), Randomise255(0xFF, 5),
              Randomise255('!', 6), A('y')}),
       std::string("x\0\xFF!y", 5)},
      {"Base 256 length 0 runs to the end of the data",
       Words({231, len0, Randomise255('a', 3), Randomise255('b', 4), Randomise255('c', 5),
              Randomise255('d', 6), Randomise255('e', 7), Randomise255('f', 8)}),
       "abcdef"},
      {"Base 256 longer than the data fails", Words({231, Randomise255(20, 2), 1, 2}), "", true},
      // EDIFACT "AB" then the unlatch value 31 in the third value: ASCII resumes
      // at the next group.
      {"EDIFACT unlatch", Words({240, (1 << 2) | (2 >> 4), ((2 & 15) << 4) | (31 >> 2), (31 & 3) << 6, A('z')}),
       "AB" "z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = Decode(BuildDmSymbol(14, c.data));
    if (c.fails) {
      EXPECT_EQ(d.status, 0);
      continue;
    }
    ASSERT_EQ(d.status, 1) << FailureInfo(d.failure).cause;
    EXPECT_EQ(d.text, c.expected);
  }
}

// A single codeword left at the end of C40 data is read as ASCII.
TEST(DmDecoder, C40TrailingCodewordIsAscii) {
  // "ABC" in C40: v = 1600*14 + 40*15 + 16 + 1 = 23017 = 89 * 256 + 233.
  const Decoded d = Decode(BuildDmSymbol(10, Words({230, 89, 233})));
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.text, "ABC");
  // 14 x 14 holds 8 data codewords: the latch, three pairs and one left over.
  const Decoded e = Decode(BuildDmSymbol(14, Words({230, 89, 233, 89, 233, 89, 233, A('d')})));
  ASSERT_EQ(e.status, 1);
  EXPECT_EQ(e.text, "ABCABCABCd");
}

// 48 x 48: 174 data and 68 check codewords, the most Reed-Solomon corrects.
TEST(DmDecoder, LargestSymbolCorrectsUpToItsLimit) {
  const auto lib = test::EncodeDmBytes(test::RandomBytes(150, 3), 48, DmScheme::kBase256);
  ASSERT_TRUE(lib.has_value());
  ASSERT_EQ(lib->codewords.size(), 242u);
  const std::string expected = Decode(*lib).text;
  ASSERT_EQ(expected.size(), 150u);
  for (int damaged : {1, 20, 34, 35, 40}) {
    DmSymbol s = *lib;
    for (int i = 0; i < damaged; ++i) s.codewords[static_cast<size_t>(i * 6)] ^= 0x5A;  // data and check codewords alike
    test::PlaceDmCodewords(s);
    const Decoded d = Decode(s);
    if (damaged <= 34) {
      EXPECT_EQ(d.status, 1) << damaged;
      EXPECT_EQ(d.text, expected) << damaged;
    } else {
      EXPECT_EQ(d.status, 0) << damaged;
      EXPECT_EQ(d.failure, Failure::kUncorrectable) << damaged;
    }
  }
}

TEST(DmDecoder, RejectsSizesItDoesNotRead) {
  const auto s = test::EncodeDmText("ABC", 10, DmScheme::kAscii);
  ASSERT_TRUE(s.has_value());
  auto decoder = std::make_unique<DmDecoder>();
  std::array<uint8_t, kDecodedTextBytes> text{};
  std::array<uint8_t, kSecondStringBytes> second{};
  for (int side : {0, 9, 11, 28, 52, 64, 70, -3}) {
    EXPECT_EQ(DmDecodeGrid(*decoder, s->ToDecoderGrid(), side, text, second), 0) << side;
    EXPECT_EQ(decoder->failure, Failure::kGridDimension);
  }
}

}  // namespace
}  // namespace cordavex
