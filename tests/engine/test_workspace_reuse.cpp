// The workspace as callers really hand it over: uninitialised memory before the
// first call, and one block reused for frames of changing sizes. The repair
// rules must bring any bit pattern back into range, and nothing may be read or
// written outside the frame and the block (the asan preset checks the second).
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "cordavex/recognizer.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

test::Frame QrFrame(const std::string& text, int version, int width, int height, int bits,
                    double moduleSize) {
  const auto symbol = test::EncodeQrBytes(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, version, test::kLevelM);
  EXPECT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.width = width;
  o.height = height;
  o.bitsPerPixel = bits;
  o.moduleSize = moduleSize;
  o.rotation = 6.0;
  o.blur = 0.6;
  o.noise = 3.0;
  return test::RenderModules(symbol->modules, symbol->size, o);
}

// Up to 8 calls; the decoded bytes, or "" when nothing decoded.
std::string Scan(void* block, const test::Frame& f) {
  auto result = std::make_unique<ScanResult>();
  for (int call = 0; call < 8; ++call) {
    result->mode() = 0;
    result->symbologyMask() = 7;
    const int32_t status =
        RecognizeImage(f.pixels.data(), block, f.width, f.height, f.bitsPerPixel, result.get());
    if (status == 1) {
      const DecodedSymbol d = LastDecodedSymbol(block);
      return {d.bytes.begin(), d.bytes.end()};
    }
    EXPECT_LE(status, 0);
    EXPECT_GE(status, -255);
  }
  return {};
}

TEST(WorkspaceReuse, RandomBytesBeforeTheFirstCall) {
  const test::Frame frame = QrFrame("random workspace", 2, 320, 240, 24, 5.0);
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    test::Workspace ws(320, 240, test::Workspace::Filled{0});
    std::mt19937 rng(seed);
    auto* bytes = static_cast<uint8_t*>(ws.data());
    for (size_t i = 0; i < ws.Block().size() * sizeof(uint64_t); ++i) {
      bytes[i] = static_cast<uint8_t>(rng());
    }
    EXPECT_EQ(Scan(ws.data(), frame), "random workspace") << "seed " << seed;
    const Recognizer& r = ws.r();
    EXPECT_GE(r.thresholdOffset, 0);
    EXPECT_LE(r.thresholdOffset, 128);
    EXPECT_TRUE(r.toneExponent >= 0.4 && r.toneExponent <= 1.6);
  }
}

TEST(WorkspaceReuse, FrameSizesChangeWithinTheBlock) {
  // One block for the largest frame; every later frame needs no more.
  test::Workspace ws(640, 480);
  const struct {
    int width, height, bits, version;
    double moduleSize;
    const char* text;  // nullptr: a frame with nothing in view
  } frames[] = {
      {640, 480, 24, 3, 7.0, "first 640x480"},
      {320, 240, 8, 2, 4.5, "then 320x240"},
      {176, 144, 16, 1, 4.0, "small 176x144"},
      {480, 640, 32, 4, 6.0, "portrait 480x640"},
      {77, 53, 8, 0, 0.0, nullptr},
      {1, 307200, 8, 0, 0.0, nullptr},
      {320, 240, 24, 2, 4.5, "back to 320x240"},
  };
  for (const auto& f : frames) {
    ASSERT_LE(GetRecognizerSize(f.width, f.height), GetRecognizerSize(640, 480));
    if (f.text == nullptr) {
      test::Frame blank;
      blank.width = f.width;
      blank.height = f.height;
      blank.bitsPerPixel = f.bits;
      blank.pixels.assign(static_cast<size_t>(f.width) * f.height * (f.bits / 8), 170);
      EXPECT_EQ(Scan(ws.data(), blank), "") << f.width << "x" << f.height;
      continue;
    }
    const test::Frame frame = QrFrame(f.text, f.version, f.width, f.height, f.bits, f.moduleSize);
    EXPECT_EQ(Scan(ws.data(), frame), f.text) << f.width << "x" << f.height;
  }
}

}  // namespace
}  // namespace cordavex
