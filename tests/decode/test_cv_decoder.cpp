#include "decode/cv_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/classify.h"
#include "content/decode_summary.h"
#include "cordavex/cordavex_code.h"
#include "support/alloc_counter.h"
#include "support/cv_symbols.h"

namespace cordavex {
namespace {

using test::BuildCvGrid;
using test::CvBits;
using test::CvDecoded;
using test::DecodeCv;

static_assert(int32_t{kCvPayloadText} == int32_t{kKindCordavexText});
static_assert(int32_t{kCvPayloadBinary} == int32_t{kKindCordavexBinary});
static_assert(int32_t{kCvPayloadSplit} == int32_t{kKindCordavexSplit});
static_assert(kCvOlderSimpleContact == kFunctionSimpleContact);
static_assert(kCvOlderBusinessCard == kFunctionBusinessCard);

// A side-15 symbol at level 0 carrying the hand-made stream.
CvDecoded DecodeStream(const CvBits& bits, int side = 15, int level = 0, int mask = 3) {
  return DecodeCv(BuildCvGrid(side, level, mask, bits.bytes), side);
}

CvBits SixBit(std::initializer_list<int> values) {
  CvBits bits;
  bits.Append(kCvModeSixBit, 3);  // six-bit text
  for (int v : values) bits.Append(static_cast<uint32_t>(v), 6);
  bits.Append(0, 6);  // end of the text
  bits.Append(0, 3);  // end mode
  return bits;
}

TEST(CvDecoder, SixBitCapitalsAndEscapes) {
  struct Case {
    std::initializer_list<int> values;
    std::u16string text;
  };
  const Case cases[] = {
      {{62, 11, 12, 63, 13}, u"ABc"},
      {{62, 10, 11, 63, 12}, u"0Ab"},  // a digit has no capital form
      {{11, 61, 2, 12}, u"a\rb"},      // escaped 2: carriage return
      {{61, 1, 61, 3, 61, 4}, u"\n[]"},
      {{61, 11, 12}, u"Ab"},           // one letter inverted
      {{62, 61, 11, 12}, u"aB"},       // inverted inside capitals
      {{62, 61, 61, 1, 11}, u"\nA"},   // a second escape escapes once more
      {{37, 59, 60, 58}, u"!~ _"},
  };
  for (const Case& c : cases) {
    const CvDecoded d = DecodeStream(SixBit(c.values));
    ASSERT_EQ(d.status, 1);
    EXPECT_EQ(d.text, c.text);
    EXPECT_EQ(d.contentKind, kCvPayloadText);
  }
}

TEST(CvDecoder, NumericAndPhone) {
  CvBits bits;
  bits.Append(kCvModeNumeric, 3).Append(4, 7);  // 5 digits (count width 7 at 15/L)
  bits.Append(123, 10).Append(45, 7);
  bits.Append(kCvModeNumeric, 3).Append(3, 7);  // 4 digits, the first group out of range
  bits.Append(1000, 10).Append(7, 4);
  bits.Append(kCvModePhone, 3).Append(11, 4).Append(10, 4).Append(15, 4).Append(14, 4).Append(0, 4);
  bits.Append(0, 3);
  const CvDecoded d = DecodeStream(bits);
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.text, u"123457+0.");
}

TEST(CvDecoder, RejectsMalformedStreams) {
  struct Case {
    const char* name;
    CvBits bits;
  };
  std::vector<Case> cases;
  cases.push_back({"starts with the end mode", CvBits{}.Append(0, 3).Append(kCvModeSixBit, 3)});
  // Fill all 15 data codewords with keyword 41 and no end.
  {
    CvBits b;
    for (int i = 0; i < 12; ++i) b.Append(kCvModeKeyword, 3).Append(41, 7);
    cases.push_back({"runs out of bits", b});
  }
  cases.push_back({"keyword without a text",
                   CvBits{}.Append(kCvModeKeyword, 3).Append(42, 7).Append(0, 3)});
  cases.push_back({"zero wide unit",
                   CvBits{}.Append(kCvModeWide, 3).Append(0, 7).Append(0, 16).Append(0, 3)});
  cases.push_back({"bytes past the data",
                   CvBits{}.Append(kCvModeBytes, 3).Append(100, 7).Append(0, 8).Append(0, 3)});
  for (const Case& c : cases) {
    const CvDecoded d = DecodeStream(c.bits);
    EXPECT_EQ(d.status, 0) << c.name;
    EXPECT_EQ(d.failure, Failure::kMalformedStream) << c.name;
  }
}

// Keyword expansion fills the output buffer long before the bits run out:
// the decoder stops with a reason instead of writing past it.
TEST(CvDecoder, OutputLongerThanTheBufferFails) {
  CvBits b;
  for (int i = 0; i < 260; ++i) b.Append(kCvModeKeyword, 3).Append(39, 7);  // BEGIN:VCALENDAR
  b.Append(0, 3);
  const CvDecoded d = DecodeCv(BuildCvGrid(57, 0, 0, b.bytes), 57);
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.failure, Failure::kCvOutputFull);
}

TEST(CvDecoder, KeywordsOpenFieldSpans) {
  const std::u16string text = u"MECARD:NAME:Doe;TEL:0955667788;URL:http://x.com;;";
  const test::CvSymbol s = test::GenerateCvText(text);
  ASSERT_EQ(s.status, 1);
  const CvDecoded d = DecodeCv(s.Matrix(), s.side);
  ASSERT_EQ(d.status, 1);
  ASSERT_EQ(d.text, text);
  const auto value = [&](int index) {
    const CvFieldSpan& f = d.fields[static_cast<size_t>(index)];
    if (f.start < 0) return std::u16string(u"<none>");
    return text.substr(static_cast<size_t>(f.start / 2), static_cast<size_t>(f.length / 2));
  };
  EXPECT_EQ(value(12), u"Doe");         // NAME:
  EXPECT_EQ(value(17), u"0955667788");  // TEL:
  EXPECT_EQ(value(19), u"http://x.com");  // URL:, keywords inside the value
  EXPECT_EQ(value(36), u"<none>");      // MECARD: names an object, not a field
  EXPECT_EQ(value(0), u"<none>");
}

// Each corner area takes up to k wrong modules; one more rejects the symbol.
TEST(CvDecoder, CornerAreasDamagedBeyondTheArm) {
  const test::CvSymbol s = test::GenerateCvText(u"corner", 21, 3);
  ASSERT_EQ(s.status, 1);
  const int side = s.side;
  const int k = 5;
  struct Corner {
    int r0, c0, dr, dc;
  };
  const Corner corners[] = {{0, 0, 1, 1}, {0, side - 1, 1, -1}, {side - 1, 0, -1, 1},
                            {side - 1, side - 1, -1, -1}};
  for (const Corner& c : corners) {
    ModuleMatrix m = s.Matrix();
    // Wrong modules along the mark's top arm and inner row.
    for (int i = 0; i < k; ++i) m.Flip(c.r0 + (i % 2) * c.dr, c.c0 + c.dc * (1 + i / 2));
    CvDecoded d = DecodeCv(m, side);
    EXPECT_EQ(d.status, 1) << c.r0 << "," << c.c0;
    m.Flip(c.r0 + k * c.dr, c.c0);  // the module that ends the side arm
    d = DecodeCv(m, side);
    EXPECT_EQ(d.status, 0) << c.r0 << "," << c.c0;
    EXPECT_EQ(d.failure, Failure::kCvCornerMarks);
  }
}

TEST(CvDecoder, CorrectsDataErrorsAndFormatErrors) {
  const test::CvSymbol s = test::GenerateCvText(u"Reed-Solomon in Cordavex code 2026", 25, 2);
  ASSERT_EQ(s.status, 1);
  CvGeometry g;
  ASSERT_EQ(CvMakeGeometry(s.side, 2, g), 1);
  ModuleMatrix m = s.Matrix();
  // One module in each of E/2 - 1 codewords of the first block, and two format bits.
  int flipped = 0;
  int bit = 0;
  CvForEachDataModule(s.side, g.arm, [&](int r, int c) {
    if (bit % 8 == 0 && bit / 8 < g.data / g.blocks && flipped < g.check / g.blocks / 2 - 1) {
      m.Flip(r, c);
      ++flipped;
    }
    ++bit;
  });
  const CvModule f0 = CvFormatModule(s.side, 0);
  const CvModule f9 = CvFormatModule(s.side, 9);
  m.Flip(f0.row, f0.column);
  m.Flip(f9.row, f9.column);
  const CvDecoded d = DecodeCv(m, s.side);
  ASSERT_EQ(d.status, 1) << FailureInfo(d.failure).cause;
  EXPECT_EQ(d.text, u"Reed-Solomon in Cordavex code 2026");
}

TEST(CvDecoder, RejectsOtherDimensions) {
  const ModuleMatrix m = BuildCvGrid(21, 0, 0, SixBit({11}).bytes);
  for (int dimension : {0, 12, 14, 31, 59, 61, 70, -3}) {
    const CvDecoded d = DecodeCv(m, dimension);
    EXPECT_EQ(d.status, 0) << dimension;
  }
}

TEST(CvDecoder, DecodingAllocatesNothing) {
  const test::CvSymbol s = test::GenerateCvText(u"MECARD:N:Doe,John;TEL:0955667788;;", 33, 1);
  ASSERT_EQ(s.status, 1);
  const ModuleMatrix m = s.Matrix();
  auto decoder = std::make_unique<CvDecoder>();
  std::array<uint8_t, kDecodedTextBytes> output{};
  std::array<uint8_t, kSecondStringBytes> second{};
  std::array<CvFieldSpan, kCvKeywordCount> fields{};
  const size_t before = test::AllocationCount();
  EXPECT_EQ(CvDecodeGrid(*decoder, m, s.side, output, second, fields), 1);
  EXPECT_EQ(test::AllocationCount(), before);
}

// ---- what classification makes of the decoder's results ----

ScanResult Classify(const std::vector<uint8_t>& output, const std::string& second,
                    const std::vector<uint8_t>& record, int32_t kind, int32_t locked) {
  static std::array<uint8_t, kDecodedTextBytes> text;
  static std::array<uint8_t, kSecondStringBytes> secondString;
  text.fill(0);
  secondString.fill(0);
  std::copy(output.begin(), output.end(), text.begin());
  if (!record.empty()) {
    std::copy(record.begin(), record.end(), secondString.begin());
  } else {
    std::copy(second.begin(), second.end(), secondString.begin());
  }
  ClassifyInput input;
  input.summary.contentKind = kind;
  input.summary.text = text.data();
  input.summary.secondString = secondString.data();
  input.textFlag = kCharsetGuess;
  input.lockedKind = locked;
  auto result = std::make_unique<ScanResult>();
  ClassifyResult(input, *result);
  return *result;
}

TEST(CvDecoder, ResultsClassifyByKind) {
  {
    const std::u16string text = u"MECARD:N:Doe,John;TEL:0955667788;;";
    const test::CvSymbol s = test::GenerateCvText(text);
    const CvDecoded d = DecodeCv(s.Matrix(), s.side);
    ASSERT_EQ(d.status, 1);
    const ScanResult r = Classify(d.bytes, d.second, d.record, d.contentKind, kLockCordavex3);
    EXPECT_EQ(r.contentType, kTypeMecard);
  }
  {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
    CordavexInput input;
    input.data = bytes;
    const test::CvSymbol s = test::GenerateCv(kCordavexBytes, 13, 0, input);
    const CvDecoded d = DecodeCv(s.Matrix(), s.side);
    ASSERT_EQ(d.status, 1);
    EXPECT_EQ(std::string(d.record.begin(), d.record.end()), "7");
    const ScanResult r = Classify(d.bytes, d.second, d.record, d.contentKind, kLockCordavex3);
    EXPECT_EQ(r.contentType, kTypeRawData);
    EXPECT_EQ(r.RawText().size(), 7u);
  }
  {
    const std::vector<uint8_t> bytes(40, 'z');
    CordavexInput input;
    input.data = bytes;
    const test::CvSymbol s = test::GenerateCv(kCordavexSplit, 13, 0, input, 2);
    const CvDecoded d = DecodeCv(s.Matrix(1), s.partSides[1]);
    ASSERT_EQ(d.status, 1);
    const ScanResult r = Classify(d.bytes, d.second, d.record, d.contentKind, kLockCordavex3);
    EXPECT_EQ(r.contentType, kTypeSplitPart);
  }
  {
    const std::vector<uint8_t> bytes = {'s', 'e', 'c', 'r', 'e', 't'};
    const std::vector<uint8_t> password = {'p', 'w'};
    CordavexInput input;
    input.data = bytes;
    input.key = password;
    const test::CvSymbol s = test::GenerateCv(kCordavexEncrypted, 13, 0, input);
    const CvDecoded d = DecodeCv(s.Matrix(), s.side);
    ASSERT_EQ(d.status, 1);
    ASSERT_GE(d.record.size(), 2u);
    EXPECT_EQ(d.record[0], 'D');
    const ScanResult r = Classify(d.bytes, d.second, d.record, d.contentKind, kLockCordavex3);
    EXPECT_EQ(r.contentType, kTypeEncrypted);
  }
}

// ---- older fixed layout ----

// A hand-built older-layout grid: the function type in row N-3 and the band's
// bits from row k+1, column 1 on.
ModuleMatrix OlderGrid(int side, int type, const CvBits& bits) {
  ModuleMatrix m;
  m.Clear();
  for (int i = 0; i < 6; ++i) m.Set(side - 3, side - 8 + i, (type >> (5 - i)) & 1);
  int at = 0;
  CvForEachOlderModule(side, [&](int r, int c) {
    if (at < bits.bits) m.Set(r, c, (bits.bytes[static_cast<size_t>(at >> 3)] >> (7 - (at & 7))) & 1);
    ++at;
  });
  return m;
}

CvBits OlderString(CvBits bits, const std::string& s) {
  bits.Append(static_cast<uint32_t>(s.size()), 8);
  for (char c : s) bits.Append(static_cast<unsigned char>(c), 8);
  return bits;
}

struct OlderDecoded {
  int status = 0;
  int32_t kind = 0;
  Failure failure = Failure::kNone;
  std::string strings[5];
};

OlderDecoded DecodeOlder(const ModuleMatrix& m, int side) {
  static std::array<uint8_t, kDecodedTextBytes> text;
  static std::array<uint8_t, kSecondStringBytes> second;
  static std::array<uint8_t, 512> f0;
  static std::array<uint8_t, 1600> f1;
  static std::array<uint8_t, 512> f2;
  OlderDecoded d;
  CvOlderOutput out{text, second, {f0, f1, f2}};
  d.status = CvDecodeOlderGrid(m, side, out, d.kind, d.failure);
  const uint8_t* buffers[5] = {text.data(), second.data(), f0.data(), f1.data(), f2.data()};
  for (int i = 0; i < 5; ++i) d.strings[i] = reinterpret_cast<const char*>(buffers[i]);
  return d;
}

TEST(CvOlderLayout, PhoneAndWebTypes) {
  const OlderDecoded phone = DecodeOlder(OlderGrid(13, 1, OlderString({}, "0912")), 13);
  ASSERT_EQ(phone.status, 1);
  EXPECT_EQ(phone.kind, kFunctionPhone);
  EXPECT_EQ(phone.strings[0], "0912");
  const OlderDecoded web = DecodeOlder(OlderGrid(19, 2, OlderString({}, "example.org/a")), 19);
  ASSERT_EQ(web.status, 1);
  EXPECT_EQ(web.kind, kFunctionWeb);
  EXPECT_EQ(web.strings[0], "example.org/a");
}

TEST(CvOlderLayout, BusinessCardAddress) {
  CvBits bits;
  bits = OlderString(bits, "Lin");
  bits = OlderString(bits, "0223456789");
  bits = OlderString(bits, "lin@x.tw");
  bits = OlderString(bits, "Zhongshan Rd");
  bits.Append(106, 10);  // postal code
  bits.Append(2, 4);     // section
  bits.Append(15, 10);   // lane
  bits.Append(0, 8);     // no alley
  bits.Append(33, 10);   // house number
  bits.Append(1, 7);     // sub-number
  bits.Append(5, 7);     // floor
  bits.Append(1, 1);     // basement
  bits.Append(502, 10);  // room
  const OlderDecoded d = DecodeOlder(OlderGrid(29, 11, bits), 29);
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.kind, kFunctionBusinessCard);
  EXPECT_EQ(d.strings[0], "Lin");
  EXPECT_EQ(d.strings[1], "0223456789");
  EXPECT_EQ(d.strings[2], "lin@x.tw");
  EXPECT_EQ(d.strings[3], "Zhongshan Rd");
  EXPECT_EQ(d.strings[4], "106#2S15R33HE1 5FB502M");

  // Classified by its function type, without the parser.
  static std::array<uint8_t, kDecodedTextBytes> text{};
  static std::array<uint8_t, kSecondStringBytes> second{};
  static std::array<uint8_t, 512> f0{};
  static std::array<uint8_t, 1600> f1{};
  static std::array<uint8_t, 512> f2{};
  CvOlderOutput out{text, second, {f0, f1, f2}};
  int32_t kind = 0;
  Failure failure = Failure::kNone;
  ASSERT_EQ(CvDecodeOlderGrid(OlderGrid(29, 11, bits), 29, out, kind, failure), 1);
  ClassifyInput input;
  input.summary.contentKind = kind;
  input.summary.text = text.data();
  input.summary.secondString = second.data();
  input.summary.further[0] = f0.data();
  input.summary.further[1] = f1.data();
  input.summary.further[2] = f2.data();
  input.lockedKind = kLockCordavex2;
  auto result = std::make_unique<ScanResult>();
  ClassifyResult(input, *result);
  EXPECT_EQ(result->contentType, kTypeContactCard);
  EXPECT_EQ(result->Get(Field::postalCode), u"106");
  EXPECT_EQ(result->Get(Field::emails), u"lin@x.tw");
}

TEST(CvOlderLayout, SimpleContactClassifies) {
  CvBits bits = OlderString(OlderString({}, "Ann"), "0912345678");
  const ModuleMatrix m = OlderGrid(23, 10, bits);
  const OlderDecoded d = DecodeOlder(m, 23);
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.strings[0], "Ann");
  EXPECT_EQ(d.strings[1], "0912345678");
  const std::vector<uint8_t> text(d.strings[0].begin(), d.strings[0].end());
  const ScanResult r = Classify(text, d.strings[1], {}, d.kind, kLockCordavex2);
  EXPECT_EQ(r.contentType, kTypeSimpleContact);
  EXPECT_EQ(r.Get(Field::phones), u"0912345678");
}

TEST(CvOlderLayout, Rejects) {
  // Function types outside the accepted set.
  for (int type : {0, 4, 13, 15, 21, 28, 30, 62}) {
    const OlderDecoded d = DecodeOlder(OlderGrid(17, type, OlderString({}, "x")), 17);
    EXPECT_EQ(d.status, 0) << type;
    EXPECT_EQ(d.failure, Failure::kCvFunctionType);
  }
  // Sides of the current layout only.
  for (int side : {15, 21, 25, 33}) {
    EXPECT_EQ(DecodeOlder(OlderGrid(side, 1, OlderString({}, "x")), side).status, 0) << side;
  }
  // A string longer than the band: side 13 holds 60 bits.
  CvBits bits;
  bits.Append(9, 8);
  const OlderDecoded d = DecodeOlder(OlderGrid(13, 1, bits), 13);
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.failure, Failure::kMalformedStream);
}

}  // namespace
}  // namespace cordavex
