#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "decode/reed_solomon.h"

namespace cordavex {
namespace {

// An independent reference for the tests: GF(256) by shift-and-add, with no
// tables, and a long-division encoder for any first root b.
struct Reference {
  unsigned polynomial;
  int firstRoot;

  uint8_t Mul(uint8_t a, uint8_t b) const {
    unsigned r = 0, x = a;
    for (unsigned y = b; y != 0; y >>= 1) {
      if (y & 1u) r ^= x;
      x <<= 1;
      if (x & 0x100u) x ^= polynomial;
    }
    return static_cast<uint8_t>(r);
  }
  uint8_t AlphaPower(int k) const {
    uint8_t v = 1;
    for (int i = 0; i < k; ++i) v = Mul(v, 2);
    return v;
  }
  // Codeword bytes (element 0 the highest power) evaluated at alpha^k.
  uint8_t Evaluate(const std::vector<int32_t>& block, int k) const {
    const uint8_t x = AlphaPower(k);
    uint8_t s = 0;
    for (int32_t c : block) s = Mul(s, x) ^ static_cast<uint8_t>(c);
    return s;
  }
  bool IsCodeword(const std::vector<int32_t>& block, int checkCount) const {
    for (int i = 0; i < checkCount; ++i) {
      if (Evaluate(block, firstRoot + i) != 0) return false;
    }
    return true;
  }
  // Generator (x + alpha^b)...(x + alpha^(b+E-1)), highest degree first.
  std::vector<uint8_t> Generator(int checkCount) const {
    std::vector<uint8_t> g{1};
    for (int i = 0; i < checkCount; ++i) {
      std::vector<uint8_t> next(g.size() + 1, 0);
      const uint8_t root = AlphaPower(firstRoot + i);
      for (size_t k = 0; k < g.size(); ++k) {
        next[k] ^= g[k];
        next[k + 1] ^= Mul(g[k], root);
      }
      g = next;
    }
    return g;
  }
  std::vector<uint8_t> Parity(const std::vector<uint8_t>& data, int checkCount) const {
    const std::vector<uint8_t> g = Generator(checkCount);
    std::vector<uint8_t> work(data);
    work.resize(data.size() + static_cast<size_t>(checkCount), 0);
    for (size_t i = 0; i < data.size(); ++i) {
      const uint8_t lead = work[i];
      if (lead == 0) continue;
      for (size_t k = 0; k < g.size(); ++k) work[i + k] ^= Mul(g[k], lead);
    }
    return {work.begin() + static_cast<std::ptrdiff_t>(data.size()), work.end()};
  }
  std::vector<int32_t> Encode(const std::vector<uint8_t>& data, int checkCount) const {
    std::vector<int32_t> block(data.begin(), data.end());
    for (uint8_t c : Parity(data, checkCount)) block.push_back(c);
    return block;
  }
};

Reference ReferenceFor(int32_t variant) {
  switch (variant) {
    case kRsQrCode:
      return {0x11D, 0};
    case kRsDataMatrix:
      return {0x12D, 1};
    default:
      return {0x11D, 1};
  }
}

int Correct(int32_t variant, std::vector<int32_t>& block, int checkCount) {
  RsContext context;
  context.variant = variant;
  RsInit(context, block.data(), static_cast<int32_t>(block.size()), checkCount);
  return RsCorrect(context);
}

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t count) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<uint8_t> out(count);
  for (auto& b : out) b = static_cast<uint8_t>(byte(rng));
  return out;
}

// Changes `count` distinct codewords, each by a non-zero value.
void AddErrors(std::mt19937& rng, std::vector<int32_t>& block, int count) {
  std::vector<int> positions(block.size());
  for (size_t i = 0; i < positions.size(); ++i) positions[i] = static_cast<int>(i);
  std::shuffle(positions.begin(), positions.end(), rng);
  std::uniform_int_distribution<int> value(1, 255);
  for (int i = 0; i < count; ++i) block[static_cast<size_t>(positions[i])] ^= value(rng);
}

// Worked examples of the public standards pin the reference itself.
TEST(ReedSolomonReference, MatchesPublishedExamples) {
  // ISO/IEC 18004 Annex I: "01234567" as version 1-M, 16 data and 10 check codewords.
  const std::vector<uint8_t> qrData = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11,
                                       0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11};
  const std::vector<uint8_t> qrCheck = {0xA5, 0x24, 0xD4, 0xC1, 0xED,
                                        0x36, 0xC7, 0x87, 0x2C, 0x55};
  EXPECT_EQ(ReferenceFor(kRsQrCode).Parity(qrData, 10), qrCheck);
  // ISO/IEC 16022 Annex O: "123456" in a 10x10 symbol, 3 data and 5 check codewords.
  const std::vector<uint8_t> dmData = {142, 164, 186};
  const std::vector<uint8_t> dmCheck = {114, 25, 5, 88, 102};
  EXPECT_EQ(ReferenceFor(kRsDataMatrix).Parity(dmData, 5), dmCheck);
}

TEST(RsCorrect, PublishedCodewordsCorrectAfterDamage) {
  std::vector<int32_t> qr = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC,
                             0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xA5, 0x24,
                             0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55};
  const std::vector<int32_t> qrClean = qr;
  qr[0] = 0x00;
  qr[9] ^= 0xFF;
  qr[17] = 0x77;
  qr[25] ^= 0x01;
  qr[3] ^= 0x40;
  EXPECT_EQ(Correct(kRsQrCode, qr, 10), 1);
  EXPECT_EQ(qr, qrClean);

  std::vector<int32_t> dm = {142, 164, 186, 114, 25, 5, 88, 102};
  const std::vector<int32_t> dmClean = dm;
  dm[1] = 0;
  dm[6] = 1;
  EXPECT_EQ(Correct(kRsDataMatrix, dm, 5), 1);
  EXPECT_EQ(dm, dmClean);
}

struct BlockLayout {
  int32_t variant;
  int n;
  int checkCount;
};

class RsCorrectLayouts : public ::testing::TestWithParam<BlockLayout> {};

TEST_P(RsCorrectLayouts, CleanBlockComesBackUnchanged) {
  const BlockLayout layout = GetParam();
  const Reference ref = ReferenceFor(layout.variant);
  std::mt19937 rng(1234);
  for (int trial = 0; trial < 5; ++trial) {
    const std::vector<int32_t> codeword =
        ref.Encode(RandomBytes(rng, static_cast<size_t>(layout.n - layout.checkCount)),
                   layout.checkCount);
    std::vector<int32_t> block = codeword;
    ASSERT_EQ(Correct(layout.variant, block, layout.checkCount), 1);
    EXPECT_EQ(block, codeword);
  }
}

TEST_P(RsCorrectLayouts, CorrectsUpToHalfTheCheckCodewords) {
  const BlockLayout layout = GetParam();
  const Reference ref = ReferenceFor(layout.variant);
  std::mt19937 rng(static_cast<unsigned>(layout.n * 1000 + layout.checkCount));
  for (int errors = 1; errors <= layout.checkCount / 2; ++errors) {
    for (int trial = 0; trial < 4; ++trial) {
      const std::vector<int32_t> codeword =
          ref.Encode(RandomBytes(rng, static_cast<size_t>(layout.n - layout.checkCount)),
                     layout.checkCount);
      std::vector<int32_t> block = codeword;
      AddErrors(rng, block, errors);
      ASSERT_EQ(Correct(layout.variant, block, layout.checkCount), 1)
          << errors << " errors, trial " << trial;
      ASSERT_EQ(block, codeword) << errors << " errors, trial " << trial;
    }
  }
}

// Past the correction radius a success must at least be a codeword.
TEST_P(RsCorrectLayouts, BeyondTheRadiusFailsOrGivesACodeword) {
  const BlockLayout layout = GetParam();
  const Reference ref = ReferenceFor(layout.variant);
  std::mt19937 rng(static_cast<unsigned>(layout.n * 7 + layout.checkCount + 99));
  int failures = 0;
  for (int extra = 1; extra <= 3; ++extra) {
    const int errors = std::min(layout.checkCount / 2 + extra, layout.n);
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<int32_t> block =
          ref.Encode(RandomBytes(rng, static_cast<size_t>(layout.n - layout.checkCount)),
                     layout.checkCount);
      AddErrors(rng, block, errors);
      if (Correct(layout.variant, block, layout.checkCount) == 1) {
        EXPECT_TRUE(ref.IsCodeword(block, layout.checkCount)) << errors << " errors";
      } else {
        ++failures;
      }
    }
  }
  // Almost every such pattern is detected; miscorrection is rare.
  EXPECT_GT(failures, 50);
}

// Shortening leaves positions n..254 outside the block; an error pattern whose
// locator points there is uncorrectable in the block. The check codewords are
// changed by the remainder of x^p mod g(x), which has the syndromes of a single
// error at x^p.
TEST_P(RsCorrectLayouts, LocatorRootBeyondShortenedBlockFails) {
  const BlockLayout layout = GetParam();
  if (layout.n >= 255) GTEST_SKIP() << "a full-length block has no positions beyond it";
  const Reference ref = ReferenceFor(layout.variant);
  std::mt19937 rng(77);
  const std::vector<int32_t> codeword = ref.Encode(
      RandomBytes(rng, static_cast<size_t>(layout.n - layout.checkCount)), layout.checkCount);
  for (int p : {layout.n, layout.n + 1, 254}) {
    // x^p as a message of p - E + 1 codewords whose leading one sits at x^p.
    std::vector<uint8_t> monomial(static_cast<size_t>(p - layout.checkCount + 1), 0);
    monomial[0] = 1;
    const std::vector<uint8_t> remainder = ref.Parity(monomial, layout.checkCount);
    std::vector<int32_t> block = codeword;
    for (int k = 0; k < layout.checkCount; ++k) {
      block[static_cast<size_t>(layout.n - layout.checkCount + k)] ^= remainder[static_cast<size_t>(k)];
    }
    EXPECT_EQ(Correct(layout.variant, block, layout.checkCount), 0) << "position " << p;
  }
  // The same construction inside the block is an ordinary single error.
  const int inside = layout.n - 1;
  std::vector<uint8_t> monomial(static_cast<size_t>(inside - layout.checkCount + 1), 0);
  monomial[0] = 1;
  const std::vector<uint8_t> remainder = ref.Parity(monomial, layout.checkCount);
  std::vector<int32_t> block = codeword;
  for (int k = 0; k < layout.checkCount; ++k) {
    block[static_cast<size_t>(layout.n - layout.checkCount + k)] ^= remainder[static_cast<size_t>(k)];
  }
  ASSERT_EQ(Correct(layout.variant, block, layout.checkCount), 1);
  EXPECT_TRUE(ref.IsCodeword(block, layout.checkCount));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RsCorrectLayouts,
    ::testing::Values(BlockLayout{kRsCordavexCode, 42, 6}, BlockLayout{kRsCordavexCode, 64, 32},
                      BlockLayout{kRsCordavexCode, 255, 68}, BlockLayout{kRsQrCode, 26, 10},
                      BlockLayout{kRsQrCode, 146, 30}, BlockLayout{kRsQrCode, 255, 68},
                      BlockLayout{kRsDataMatrix, 8, 5}, BlockLayout{kRsDataMatrix, 62, 24},
                      BlockLayout{kRsDataMatrix, 255, 68}, BlockLayout{kRsQrCode, 3, 2}),
    [](const ::testing::TestParamInfo<BlockLayout>& p) {
      return "Variant" + std::to_string(p.param.variant) + "_n" +
             std::to_string(p.param.n) + "_E" + std::to_string(p.param.checkCount);
    });

TEST(RsCorrect, QrBlockWithThirtyCheckCodewords) {
  const Reference ref = ReferenceFor(kRsQrCode);
  std::mt19937 rng(30);
  const std::vector<int32_t> codeword = ref.Encode(RandomBytes(rng, 116), 30);
  std::vector<int32_t> block = codeword;
  for (int i = 0; i < 15; ++i) block[static_cast<size_t>(7 * i)] ^= 0x5A;  // data codewords
  EXPECT_EQ(Correct(kRsQrCode, block, 30), 1);
  EXPECT_EQ(block, codeword);
  block = codeword;
  for (int i = 0; i < 16; ++i) block[static_cast<size_t>(7 * i)] ^= 0x5A;
  EXPECT_EQ(Correct(kRsQrCode, block, 30), 0);
}

TEST(RsCorrect, CheckCountLimitIsSixtyEight) {
  const Reference ref = ReferenceFor(kRsDataMatrix);
  std::mt19937 rng(68);
  const std::vector<int32_t> codeword = ref.Encode(RandomBytes(rng, 187), 68);
  std::vector<int32_t> block = codeword;
  AddErrors(rng, block, 34);
  EXPECT_EQ(Correct(kRsDataMatrix, block, 68), 1);
  EXPECT_EQ(block, codeword);

  // With 69 the block is refused before anything is touched.
  const std::vector<int32_t> longCodeword =
      ReferenceFor(kRsCordavexCode).Encode(RandomBytes(rng, 186), 69);
  block = longCodeword;
  block[5] ^= 1;
  const std::vector<int32_t> damaged = block;
  EXPECT_EQ(Correct(kRsCordavexCode, block, 69), 0);
  EXPECT_EQ(block, damaged);
  block = longCodeword;
  EXPECT_EQ(Correct(kRsCordavexCode, block, 69), 0);
}

// The first consecutive root decides which blocks are codewords: a QR block read
// as a Cordavex code block (b = 1) does not decode.
TEST(RsCorrect, FirstRootSeparatesQrFromCordavexCode) {
  const std::vector<int32_t> qr = {0x10, 0x20, 0x0C, 0x56, 0x61, 0x80, 0xEC, 0x11, 0xEC,
                                   0x11, 0xEC, 0x11, 0xEC, 0x11, 0xEC, 0x11, 0xA5, 0x24,
                                   0xD4, 0xC1, 0xED, 0x36, 0xC7, 0x87, 0x2C, 0x55};
  std::vector<int32_t> damaged = qr;
  damaged[2] ^= 0x33;
  damaged[20] ^= 0x81;

  std::vector<int32_t> block = damaged;
  EXPECT_EQ(Correct(kRsQrCode, block, 10), 1);
  EXPECT_EQ(block, qr);
  block = damaged;
  EXPECT_EQ(Correct(kRsCordavexCode, block, 10), 0);
  block = qr;
  EXPECT_EQ(Correct(kRsCordavexCode, block, 10), 0);
}

TEST(RsCorrect, RefusesMalformedBlocks) {
  const std::vector<int32_t> codeword =
      ReferenceFor(kRsCordavexCode).Encode({1, 2, 3, 4, 5, 6}, 4);
  struct Case {
    const char* what;
    int32_t variant;
    int32_t n;
    int32_t checkCount;
    int index;  // codeword replaced by `value`, or -1
    int32_t value;
  };
  const Case cases[] = {
      {"codeword above 255", kRsCordavexCode, 10, 4, 3, 256},
      {"negative codeword", kRsCordavexCode, 10, 4, 0, -1},
      {"unknown variant", 3, 10, 4, -1, 0},
      {"empty block", kRsCordavexCode, 0, 0, -1, 0},
      {"negative check count", kRsCordavexCode, 10, -1, -1, 0},
      {"more check codewords than the block", kRsCordavexCode, 3, 4, -1, 0},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> block = codeword;
    if (c.index >= 0) block[static_cast<size_t>(c.index)] = c.value;
    RsContext context;
    context.variant = c.variant;
    RsInit(context, block.data(), c.n, c.checkCount);
    EXPECT_EQ(RsCorrect(context), 0) << c.what;
  }
  std::vector<int32_t> big(256, 0);
  RsContext context;
  RsInit(context, big.data(), 256, 10);
  EXPECT_EQ(RsCorrect(context), 0) << "block longer than 255";
}

// One context serves block after block, as the decoders use it.
TEST(RsCorrect, ContextIsReusable) {
  const Reference ref = ReferenceFor(kRsQrCode);
  std::mt19937 rng(5);
  RsContext context;
  context.variant = kRsQrCode;
  for (int round = 0; round < 10; ++round) {
    const int check = 2 + 2 * (round % 5);
    const std::vector<int32_t> codeword = ref.Encode(RandomBytes(rng, 20), check);
    std::vector<int32_t> block = codeword;
    AddErrors(rng, block, check / 2);
    RsInit(context, block.data(), static_cast<int32_t>(block.size()), check);
    ASSERT_EQ(RsCorrect(context), 1);
    EXPECT_EQ(block, codeword);
  }
}

// The Cordavex code's sizes and levels: T total codewords, (T >> 6) + 1 blocks,
// the check count a multiple of twice the block count.
struct CordavexLayout {
  int total;
  int check;
  int blocks;
};

std::vector<CordavexLayout> CordavexLayouts() {
  std::vector<CordavexLayout> out;
  const int sizes[] = {13, 15, 17, 19, 21, 23, 25, 27, 29, 33, 37, 41, 45, 49, 53, 57};
  const int percent[] = {12, 24, 40, 50};
  for (int s : sizes) {
    const int k = s < 21 ? 3 : s < 29 ? 5 : s < 45 ? 7 : 9;
    const int total = (s * s - s - 14 * k - 13) >> 3;
    const int unit = 2 + ((total >> 5) & ~1);
    for (int p : percent) {
      const int check = ((total * p + 99) / 100 + unit - 1) / unit * unit;
      out.push_back({total, check, (total >> 6) + 1});
    }
  }
  return out;
}

TEST(RsEncode, SingleCodewordGivesTheGeneratorOfEachVariant) {
  // A single data codeword 1 leaves the generator's own low coefficients:
  // QR code (roots 1, alpha): x^2 + 3x + 2; the others (roots alpha, alpha^2):
  // x^2 + 6x + 8, the same in both fields while no product leaves 8 bits.
  const struct {
    int32_t variant;
    uint8_t high, low;
  } cases[] = {{kRsQrCode, 3, 2}, {kRsCordavexCode, 6, 8}, {kRsDataMatrix, 6, 8}};
  for (const auto& c : cases) {
    RsGenerator g;
    ASSERT_EQ(RsMakeGenerator(g, c.variant, 2), 1);
    const uint8_t one = 1;
    uint8_t check[2];
    RsEncode(g, {&one, 1}, check);
    EXPECT_EQ(check[0], c.high) << c.variant;
    EXPECT_EQ(check[1], c.low) << c.variant;
  }
  RsGenerator g;
  EXPECT_EQ(RsMakeGenerator(g, kRsQrCode, 0), 0);
  EXPECT_EQ(RsMakeGenerator(g, kRsQrCode, kRsMaxCheck + 1), 0);
  EXPECT_EQ(RsMakeGenerator(g, 3, 4), 0);
}

TEST(RsEncodeBlocks, EveryCordavexLayoutCorrects) {
  const Reference ref = ReferenceFor(kRsCordavexCode);
  std::mt19937 rng(2024);
  for (const CordavexLayout& layout : CordavexLayouts()) {
    const int data = layout.total - layout.check;
    std::vector<uint8_t> buffer = RandomBytes(rng, static_cast<size_t>(layout.total));
    const std::vector<uint8_t> dataBytes(buffer.begin(), buffer.begin() + data);
    ASSERT_EQ(RsEncodeBlocks(buffer, data, layout.check, 8, layout.blocks), 1)
        << "T " << layout.total << " E " << layout.check;
    EXPECT_TRUE(std::equal(dataBytes.begin(), dataBytes.end(), buffer.begin()));

    const int c = layout.check / layout.blocks;
    const int q = data / layout.blocks;
    const int r = data % layout.blocks;
    int offset = 0;
    for (int b = 0; b < layout.blocks; ++b) {
      const int length = q + (b < r ? 1 : 0);
      std::vector<int32_t> block(buffer.begin() + offset, buffer.begin() + offset + length);
      for (int e = 0; e < c; ++e) block.push_back(buffer[static_cast<size_t>(data + b * c + e)]);
      const std::vector<int32_t> expected =
          ref.Encode({dataBytes.begin() + offset, dataBytes.begin() + offset + length}, c);
      ASSERT_EQ(block, expected) << "T " << layout.total << " block " << b;
      AddErrors(rng, block, c / 2);
      ASSERT_EQ(Correct(kRsCordavexCode, block, c), 1) << "T " << layout.total << " block " << b;
      EXPECT_EQ(block, expected);
      offset += length;
    }
  }
}

TEST(RsEncodeBlocks, LongerBlocksComeFirst) {
  // 7 data codewords in 3 blocks: 3 + 2 + 2, each with 2 check codewords.
  std::vector<uint8_t> buffer = {10, 11, 12, 20, 21, 30, 31, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(RsEncodeBlocks(buffer, 7, 6, 8, 3), 1);
  const Reference ref = ReferenceFor(kRsCordavexCode);
  const std::vector<uint8_t> p0 = ref.Parity({10, 11, 12}, 2);
  const std::vector<uint8_t> p1 = ref.Parity({20, 21}, 2);
  const std::vector<uint8_t> p2 = ref.Parity({30, 31}, 2);
  const std::vector<uint8_t> expected = {10, 11, 12, 20, 21, 30, 31, p0[0],
                                         p0[1], p1[0], p1[1], p2[0], p2[1]};
  EXPECT_EQ(buffer, expected);
}

TEST(RsEncodeBlocks, RefusesImpossibleLayouts) {
  struct Case {
    const char* what;
    int32_t data, check, bits, blocks;
    size_t bufferSize;
  };
  const Case cases[] = {
      {"check length not a multiple of the block count", 10, 7, 8, 2, 17},
      {"symbols other than 8 bits", 10, 6, 4, 2, 16},
      {"no blocks", 10, 6, 8, 0, 16},
      {"buffer too small", 10, 6, 8, 2, 15},
      {"block longer than 255", 250, 10, 8, 1, 260},
      {"negative data length", -1, 6, 8, 1, 16},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> buffer(c.bufferSize, 0x42);
    const std::vector<uint8_t> before = buffer;
    EXPECT_EQ(RsEncodeBlocks(buffer, c.data, c.check, c.bits, c.blocks), 0) << c.what;
    EXPECT_EQ(buffer, before) << c.what;
  }
}

}  // namespace
}  // namespace cordavex
