// The Data Matrix locator end to end: libdmtx symbols rendered into
// camera-like frames read back through RecognizeImage with the Data Matrix
// mask; and the rejections its rules promise.
#include "engine/dm_locator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cordavex/recognizer.h"
#include "support/alloc_counter.h"
#include "support/dm_symbols.h"
#include "support/engine_frames.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

using test::DmScheme;
using test::DmSymbol;

constexpr int kSquareSizes[] = {10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48};

struct ScanRun {
  int status = 0;
  std::string bytes;
  int symbology = 0;
  Failure miss = Failure::kNone;
};

// Up to `calls` calls on one frame with one fresh workspace, as the capture
// loop would make them; the furthest stage any call reached is kept.
ScanRun Scan(const test::Frame& f, int mask = 4, int calls = 8, int mode = 0) {
  test::Workspace ws(f.width, f.height);
  auto result = std::make_unique<ScanResult>();
  ScanRun run;
  for (int call = 0; call < calls; ++call) {
    result->mode() = mode;
    result->symbologyMask() = mask;
    run.status = RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, f.bitsPerPixel,
                                result.get());
    const Failure miss = ws.r().miss[static_cast<int>(Symbology::kDataMatrix)];
    if (DmStageRank(miss) > DmStageRank(run.miss)) run.miss = miss;
    if (run.status == 1) break;
  }
  const DecodedSymbol d = LastDecodedSymbol(ws.data());
  run.bytes.assign(d.bytes.begin(), d.bytes.end());
  run.symbology = d.symbology;
  return run;
}

std::string ContentFor(int size) {
  const int data = test::DmDataCodewordCount(size);
  std::string s = std::to_string(size);
  for (int i = 0; static_cast<int>(s.size()) < data * 3 / 4; ++i) {
    s += static_cast<char>(i % 3 == 0 ? 'a' + i % 26 : i % 3 == 1 ? '0' + i % 10 : 'A' + i % 26);
  }
  return s;
}

test::RenderOptions Options(int size, int bitsPerPixel, double rotation, double perspective,
                            uint32_t seed) {
  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.bitsPerPixel = bitsPerPixel;
  o.moduleSize = 330.0 / (size + 4);
  o.quietZone = 2;
  o.rotation = rotation;
  o.perspective = perspective;
  o.blur = 0.6;
  o.noise = 3;
  o.seed = seed;
  return o;
}

// Every size under rotations, mild perspective and every pixel format. The
// corner search works from the outline and the timing edges alone, so a few
// frames with perspective are lost; the rate is held, and each size must read
// in most conditions.
TEST(DmLocator, EverySizeReadsBackThroughRecognizeImage) {
  struct Condition {
    double rotation;
    double perspective;
    int bitsPerPixel;
  };
  static constexpr Condition kConditions[] = {
      {0, 0, 8},      {15, 0, 16},     {90, 0, 24},    {200, 0, 32},
      {333, 0.03, 8}, {45, 0.03, 16},  {270, 0.05, 24}, {135, 0.05, 32},
  };
  int total = 0, read = 0;
  for (int size : kSquareSizes) {
    const std::string text = ContentFor(size);
    const auto symbol = test::EncodeDmText(text, size, DmScheme::kAscii);
    ASSERT_TRUE(symbol.has_value()) << size;
    int readOfSize = 0;
    for (size_t i = 0; i < std::size(kConditions); ++i) {
      const Condition& c = kConditions[i];
      const auto o = Options(size, c.bitsPerPixel, c.rotation, c.perspective,
                             static_cast<uint32_t>(100 + i));
      const ScanRun run = Scan(test::RenderModules(symbol->modules, size, o));
      ++total;
      if (run.status == 1) {
        // A result is always the right one.
        EXPECT_EQ(run.bytes, text) << size;
        EXPECT_EQ(run.symbology, static_cast<int>(Symbology::kDataMatrix));
        readOfSize += run.bytes == text;
      } else {
        std::printf("  %dx%d rotation %.0f perspective %.2f, %d bits: missed at %s\n", size, size,
                    c.rotation, c.perspective, c.bitsPerPixel,
                    std::string(FailureInfo(run.miss).cause).c_str());
      }
    }
    read += readOfSize;
    EXPECT_GE(readOfSize, 7) << size << "x" << size;
  }
  std::printf("rendered Data Matrix frames: %d of %d read\n", read, total);
  // 111 of 112 when this floor was set.
  EXPECT_GE(read, 108);
}

test::Frame Render(const std::vector<uint8_t>& modules, int size, uint32_t seed = 1) {
  return test::RenderModules(modules, size, Options(size, 8, 10, 0, seed));
}

// A square of `size` modules with the finder L and the dashed edges of a Data
// Matrix symbol and random modules inside: what a reader would take for one.
std::vector<uint8_t> FinderShape(int size, uint32_t seed) {
  const std::vector<uint8_t> random = test::RandomBytes(static_cast<size_t>(size * size), seed);
  std::vector<uint8_t> m(static_cast<size_t>(size * size));
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      bool dark = random[static_cast<size_t>(r * size + c)] & 1;
      if (c == 0 || r == size - 1) dark = true;  // the solid L
      if (r == 0 && c > 0) dark = c % 2 == 0;      // dashed top edge
      if (c == size - 1 && r < size - 1) dark = r % 2 == 1;  // dashed right edge
      m[static_cast<size_t>(r * size + c)] = dark;
    }
  }
  return m;
}

TEST(DmLocator, DimensionRule) {
  struct Case {
    int c1, c2;
    int square;       // 0: rejected
    int rectHeight;   // rectangular form, 0: rejected
    int rectWidth;
  };
  const Case cases[] = {
      {10, 10, 10, 0, 0},   {10, 11, 10, 0, 0},   {12, 9, 0, 0, 0},     {26, 25, 26, 0, 0},
      {27, 20, 0, 0, 0},    {28, 28, 0, 0, 0},    {29, 10, 0, 0, 0},    {30, 30, 32, 0, 0},
      {31, 12, 32, 0, 0},   {33, 32, 32, 0, 0},   {36, 35, 36, 0, 0},   {48, 47, 48, 0, 0},
      {52, 50, 52, 0, 0},   {53, 20, 0, 0, 0},    {61, 61, 0, 0, 0},    {62, 10, 64, 0, 0},
      {64, 64, 64, 0, 0},   {65, 20, 0, 0, 0},    {9, 19, 0, 8, 18},    {7, 32, 0, 8, 32},
      {13, 36, 36, 12, 36}, {15, 48, 48, 16, 48}, {16, 35, 34, 16, 36}, {12, 48, 48, 0, 0},
      {18, 48, 48, 0, 0},   {9, 20, 0, 0, 0},
  };
  for (const Case& c : cases) {
    int r1 = 0, r2 = 0;
    const int square = DmSquareDimension(c.c1, c.c2, r1, r2);
    EXPECT_EQ(square ? r1 : 0, c.square) << c.c1 << "," << c.c2;
    EXPECT_TRUE(!square || r1 == r2);
    r1 = r2 = 0;
    const int rect = DmRectangularDimension(c.c1, c.c2, r1, r2);
    EXPECT_EQ(rect ? r1 : 0, c.rectHeight) << c.c1 << "," << c.c2;
    EXPECT_EQ(rect ? r2 : 0, c.rectWidth) << c.c1 << "," << c.c2;
  }
  int r1 = 0, r2 = 0;
  ASSERT_EQ(DmOddSquareDimension(9, 14, r1, r2), 1);
  EXPECT_EQ(r1, 13);
  EXPECT_EQ(DmOddSquareDimension(8, 14, r1, r2), 0);
}

// Counts of 27 to 29 along the timing edges fall between the sizes 26 and 32.
// (DimensionRule holds 27 and 29; an odd-sized shape cannot keep both dashed
// edges alternating up to a light corner, so the frames show 28.) Clean
// frames, so that the counts are the module counts; the calls alternate their
// sharpening, and several of them must end at the dimension rule.
TEST(DmLocator, CountsBetween26And32AreRejected) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    test::RenderOptions o = Options(28, 8, 90.0 * seed, 0, seed);
    o.noise = 0;
    o.blur = 0;
    const test::Frame f = test::RenderModules(FinderShape(28, seed), 28, o);
    test::Workspace ws(f.width, f.height);
    auto result = std::make_unique<ScanResult>();
    int rejected = 0;
    for (int call = 0; call < 8; ++call) {
      result->mode() = 0;
      result->symbologyMask() = 4;
      EXPECT_LE(RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get()), 0);
      rejected += ws.r().miss[static_cast<int>(Symbology::kDataMatrix)] == Failure::kDmDimension;
    }
    EXPECT_GE(rejected, 3) << seed;
  }
}

// 52 x 52 and 64 x 64 need two Reed-Solomon blocks: beyond what this reader takes.
TEST(DmLocator, SymbolsAbove48AreRejected) {
  for (int size : {52, 64}) {
    const auto symbol = test::EncodeDmText("Larger than the reader takes", size, DmScheme::kAscii);
    ASSERT_TRUE(symbol.has_value()) << size;
    const ScanRun run = Scan(Render(symbol->modules, size));
    EXPECT_LE(run.status, 0) << size;
    EXPECT_EQ(run.miss, Failure::kDmDimension) << size;
  }
}

TEST(DmLocator, DarkOppositeCornerIsRejected) {
  auto symbol = test::EncodeDmText("corner", 20, DmScheme::kAscii);
  ASSERT_TRUE(symbol.has_value());
  ASSERT_EQ(Scan(Render(symbol->modules, 20)).status, 1);
  symbol->Set(0, 19, true);
  const ScanRun run = Scan(Render(symbol->modules, 20));
  EXPECT_LE(run.status, 0);
  EXPECT_EQ(run.miss, Failure::kDmCornerDark);
}

TEST(DmLocator, QrCodeAloneIsNotReadAsDataMatrix) {
  const std::string text = "https://example.org/cordavex";
  const auto qr = test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                                      3, test::kLevelM);
  ASSERT_TRUE(qr.has_value());
  const test::Frame f = Render(qr->modules, qr->size);
  const ScanRun dm = Scan(f, 4);
  EXPECT_LE(dm.status, 0);
  EXPECT_EQ(dm.symbology, 0);
  const ScanRun all = Scan(f, 7);
  EXPECT_EQ(all.status, 1);
  EXPECT_EQ(all.symbology, static_cast<int>(Symbology::kQr));
  EXPECT_EQ(all.bytes, text);
}

// Located but not decoded: the lock holds the next frames for Data Matrix.
TEST(DmLocator, LocatedButUndecodedSymbolTakesTheLock) {
  auto symbol = test::EncodeDmText("locked", 16, DmScheme::kAscii);
  ASSERT_TRUE(symbol.has_value());
  for (int i = 0; i < 10; ++i) symbol->codewords[static_cast<size_t>(2 * i)] ^= 0xFF;
  test::PlaceDmCodewords(*symbol);
  test::RenderOptions o = Options(16, 8, 10, 0, 1);
  o.noise = 0;
  const test::Frame f = test::RenderModules(symbol->modules, 16, o);
  test::Workspace ws(f.width, f.height);
  auto result = std::make_unique<ScanResult>();
  result->mode() = 0;
  result->symbologyMask() = 4;
  EXPECT_LE(RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get()), 0);
  EXPECT_EQ(ws.r().lockedKind, kLockDataMatrix);
  EXPECT_EQ(ws.r().miss[static_cast<int>(Symbology::kDataMatrix)], Failure::kUncorrectable);
  // Under the lock a QR-only mask still runs the Data Matrix locator alone.
  result->mode() = 0;
  result->symbologyMask() = 1;
  EXPECT_LE(RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get()), 0);
  EXPECT_EQ(ws.r().miss[static_cast<int>(Symbology::kQr)], Failure::kNone);
  EXPECT_EQ(ws.r().miss[static_cast<int>(Symbology::kDataMatrix)], Failure::kUncorrectable);
}

// A 32 x 32 symbol is sampled whole and handed over as 30 x 30 without its
// central alignment pair.
TEST(DmLocator, SeparatorPairIsRemovedAbove26) {
  const auto symbol = test::EncodeDmText("thirty-two", 32, DmScheme::kAscii);
  ASSERT_TRUE(symbol.has_value());
  test::RenderOptions o = Options(32, 8, 0, 0, 1);
  o.blur = 0;
  o.noise = 0;
  const test::Frame f = test::RenderModules(symbol->modules, 32, o);
  test::Workspace ws(f.width, f.height);
  auto result = std::make_unique<ScanResult>();
  result->mode() = 0;
  result->symbologyMask() = 4;
  ASSERT_EQ(RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get()), 1);
  EXPECT_EQ(ws.r().symbolDimension, 32);
  const ModuleMatrix expected = symbol->ToDecoderGrid();
  int differing = 0;
  for (int r = 0; r < 30; ++r) {
    for (int c = 0; c < 30; ++c) differing += ws.r().matrix.Get(r, c) != expected.Get(r, c);
  }
  EXPECT_EQ(differing, 0);
}

// Locating, sampling, decoding and the retries allocate nothing.
TEST(DmLocator, RecognizeImageAllocatesNothing) {
  const auto good = test::EncodeDmText("no allocation", 22, DmScheme::kAscii);
  ASSERT_TRUE(good.has_value());
  auto bad = *good;
  for (int i = 0; i < 20; ++i) bad.codewords[static_cast<size_t>(i)] ^= 0x33;
  test::PlaceDmCodewords(bad);
  const test::Frame frames[] = {Render(good->modules, 22), Render(bad.modules, 22)};
  auto result = std::make_unique<ScanResult>();
  for (const test::Frame& f : frames) {
    test::Workspace ws(f.width, f.height);
    const size_t before = test::AllocationCount();
    int status = 0;
    for (int call = 0; call < 4 && status != 1; ++call) {
      result->mode() = 0;
      result->symbologyMask() = 4;
      status = RecognizeImage(f.pixels.data(), ws.data(), f.width, f.height, 8, result.get());
    }
    EXPECT_EQ(test::AllocationCount(), before);
    EXPECT_EQ(status == 1, &f == &frames[0]);
  }
}

// The thorough mode runs Data Matrix when nothing else was found; a frame
// holding only a Data Matrix symbol reads there too, with every mask bit set.
TEST(DmLocator, ThoroughModeReadsDataMatrix) {
  const std::string text = "thorough";
  const auto symbol = test::EncodeDmText(text, 18, DmScheme::kAscii);
  ASSERT_TRUE(symbol.has_value());
  const test::Frame f = Render(symbol->modules, 18);
  for (int mask : {4, 7}) {
    const ScanRun run = Scan(f, mask, 8, 4);
    EXPECT_EQ(run.status, 1) << mask;
    EXPECT_EQ(run.bytes, text) << mask;
    EXPECT_EQ(run.symbology, static_cast<int>(Symbology::kDataMatrix)) << mask;
  }
}

// Small blurred modules: four calls of the thorough mode do not read the
// symbol; with the extra readings (mode 10) the corners fitted to the finder
// and timing border give a grid that corrects, without allocating. The last
// case's timing counts name no square size: the sizes nearest the count are
// tried, each fitted to the border.
TEST(DmExtraReadings, GridFittedToTheBorderReadsWhatTheCornersLose) {
  struct Case {
    int size;
    double perspective, rotation, moduleSize, blur;
  } cases[] = {
      {24, 0.1, 0, 3.0, 1.0},
      {32, 0.0, 30, 2.5, 0.5},
      {40, 0.0, 0, 2.5, 1.0},
      {32, 0.1, 30, 3.0, 1.0},
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> bytes = test::RandomBytes(
        static_cast<size_t>(test::DmDataCodewordCount(c.size) - 2), static_cast<uint32_t>(c.size));
    const auto symbol = test::EncodeDmBytes(bytes, c.size, test::DmScheme::kBase256);
    ASSERT_TRUE(symbol.has_value()) << c.size;
    test::RenderOptions o;
    o.moduleSize = c.moduleSize;
    o.perspective = c.perspective;
    o.rotation = c.rotation;
    o.blur = c.blur;
    o.noise = 2;
    const test::Frame f = test::RenderModules(symbol->modules, symbol->size, o);
    EXPECT_NE(test::RecognizeFrame(f, 4, 4, 4).status, 1) << c.size;
    const test::Outcome read = test::RecognizeFrame(f, 4, 10, 4);
    EXPECT_EQ(read.allocations, 0u) << c.size;
    ASSERT_EQ(read.status, 1) << c.size;
    EXPECT_EQ(read.bytes, std::string(bytes.begin(), bytes.end())) << c.size;
  }
}

// Ink that fills light modules of the dashed edges (the top edge is light in
// odd columns, the right edge in even rows) makes the edges miscount:
// - A 40 x 40 symbol with one filled on each edge counts 38, a size no symbol
//   has. The thorough mode has only the grid of 38 to try; the extra readings
//   go to the sizes nearest the count.
// - A 22 x 22 symbol with one filled on the top edge and two on the right
//   counts 20 and 18: a size that exists, but not the symbol's. The counts
//   disagree and the grid of 20 fitted to the border leaves it poor, so the
//   extra readings try the other sizes nearest the larger count.
TEST(DmExtraReadings, MiscountedTimingTriesTheNearestSizes) {
  const struct {
    int size;
    uint32_t seed;
    std::vector<std::pair<int, int>> inked;  // (row, column)
  } cases[] = {
      {40, 7, {{0, 11}, {10, 39}}},
      {22, 11, {{0, 11}, {10, 21}, {14, 21}}},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> bytes = test::RandomBytes(
        static_cast<size_t>(test::DmDataCodewordCount(c.size) - 2), c.seed);
    const auto symbol = test::EncodeDmBytes(bytes, c.size, test::DmScheme::kBase256);
    ASSERT_TRUE(symbol.has_value()) << c.size;
    std::vector<uint8_t> modules = symbol->modules;
    for (const auto& [row, column] : c.inked) {
      uint8_t& module = modules[static_cast<size_t>(row * c.size + column)];
      ASSERT_EQ(module, 0) << c.size << " " << row << " " << column;
      module = 1;
    }
    test::RenderOptions o;
    o.moduleSize = 5.0;
    o.rotation = 10;
    o.blur = 0.5;
    o.noise = 2;
    const test::Frame f = test::RenderModules(modules, c.size, o);
    EXPECT_NE(test::RecognizeFrame(f, 4, 4, 4).status, 1) << c.size;
    const test::Outcome read = test::RecognizeFrame(f, 1, 10, 4);
    EXPECT_EQ(read.allocations, 0u) << c.size;
    ASSERT_EQ(read.status, 1) << c.size;
    EXPECT_EQ(read.bytes, std::string(bytes.begin(), bytes.end())) << c.size;
  }
}

// A frame bowed as curled paper or a wide lens bows it: each pixel taken from
// `bow` pixels further down at the frame's left and right edges than at its
// centre line, growing with the square of the distance, so that straight
// edges become parabolas.
test::Frame Bowed(const test::Frame& f, double bow) {
  test::Frame out = f;
  const double half = f.width / 2.0;
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      const double u = (x - half) / half;
      const double sy = y + bow * u * u;
      const int y0 = static_cast<int>(sy);
      const double t = sy - y0;
      const auto at = [&](int row) {
        return f.grey[static_cast<size_t>(std::clamp(row, 0, f.height - 1)) * f.width + x];
      };
      out.grey[static_cast<size_t>(y) * f.width + x] =
          static_cast<uint8_t>(std::lround(at(y0) * (1 - t) + at(y0 + 1) * t));
    }
  }
  out.pixels = out.grey;
  return out;
}

// A symbol of 2 x 2 data regions on bowed paper: no one plane's grid holds
// all four regions, so neither the thorough mode nor the grid fitted to the
// whole border reads it; each region fitted to its own finder and timing
// border does (mode 10).
TEST(DmExtraReadings, EachDataRegionFittedToItsOwnBorder) {
  const struct {
    int size;
    double bow;
  } cases[] = {{32, 14.0}, {40, 12.0}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> bytes = test::RandomBytes(
        static_cast<size_t>(test::DmDataCodewordCount(c.size) - 2), 11);
    const auto symbol = test::EncodeDmBytes(bytes, c.size, test::DmScheme::kBase256);
    ASSERT_TRUE(symbol.has_value()) << c.size;
    test::RenderOptions o;
    o.moduleSize = 180.0 / c.size;
    o.rotation = 4;
    o.blur = 0.5;
    o.noise = 2;
    const test::Frame f = Bowed(test::RenderModules(symbol->modules, c.size, o), c.bow);
    EXPECT_NE(test::RecognizeFrame(f, 4, 4, 4).status, 1) << c.size;
    const test::Outcome read = test::RecognizeFrame(f, 1, 10, 4);
    EXPECT_EQ(read.allocations, 0u) << c.size;
    ASSERT_EQ(read.status, 1) << c.size;
    EXPECT_EQ(read.bytes, std::string(bytes.begin(), bytes.end())) << c.size;
  }
}

}  // namespace
}  // namespace cordavex
