// Our own QR encoder and our own reader meet: every version the reader takes,
// encoded by QrEncode and rendered into a camera-like frame, reads back to the
// same bytes. And a decoding call allocates nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cordavex/qr_encoder.h"
#include "support/alloc_counter.h"
#include "support/engine_frames.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

// A mixed text (alphanumeric, digits and lower-case bytes) filling about two
// thirds of the symbol, so the encoder's segmentation has work to do.
std::string MixedText(int version, int level) {
  const int capacity = test::QrByteCapacity(version, level);
  std::string text = "V" + std::to_string(version) + "/";
  for (int i = 0; static_cast<int>(text.size()) < capacity * 2 / 3; ++i) {
    text += (i / 12) % 3 == 0 ? static_cast<char>('0' + i % 10)
            : (i / 12) % 3 == 1 ? static_cast<char>('a' + i % 26)
                                : static_cast<char>('A' + i % 26);
  }
  return text;
}

test::Frame RenderEncoded(const QrEncoder& encoder, int bitsPerPixel, uint32_t seed) {
  std::vector<uint8_t> modules(static_cast<size_t>(encoder.side * encoder.side));
  for (int row = 0; row < encoder.side; ++row) {
    for (int column = 0; column < encoder.side; ++column) {
      modules[static_cast<size_t>(row * encoder.side + column)] = QrModule(encoder, row, column);
    }
  }
  test::RenderOptions o;
  o.width = 640;
  o.height = 480;
  o.bitsPerPixel = bitsPerPixel;
  o.moduleSize = 380.0 / (encoder.side + 8);
  o.rotation = 7.0;
  o.blur = 0.6;
  o.noise = 3;
  o.seed = seed;
  return test::RenderModules(modules, encoder.side, o);
}

TEST(QrOwnSymbols, EveryReadableVersionReadsBack) {
  auto encoder = std::make_unique<QrEncoder>();
  static constexpr int kFormats[] = {8, 16, 24, 32};
  for (int version = 1; version <= 13; ++version) {
    const int level = version % 4;
    const std::string text = MixedText(version, level);
    ASSERT_EQ(QrEncode(*encoder, level, version, 0, -1, text.data(), static_cast<int>(text.size())), 1)
        << "v" << version;
    ASSERT_EQ(encoder->version, version);
    const test::Frame frame =
        RenderEncoded(*encoder, kFormats[version % 4], static_cast<uint32_t>(version));
    const test::Outcome out = test::RecognizeFrame(frame, 8, 0, 1);
    EXPECT_EQ(out.status, 1) << "v" << version << " level " << level;
    EXPECT_EQ(out.bytes, text) << "v" << version;
    EXPECT_EQ(out.symbology, 1);
  }
}

TEST(QrOwnSymbols, DecodingCallsAllocateNothing) {
  auto encoder = std::make_unique<QrEncoder>();
  const std::string text = "MECARD:N:Doe,John;TEL:0955667788;;";
  ASSERT_EQ(QrEncode(*encoder, 1, 0, 0, -1, text.data(), static_cast<int>(text.size())), 1);
  const test::Frame frame = RenderEncoded(*encoder, 24, 3);
  test::Workspace ws(frame.width, frame.height);
  auto result = std::make_unique<ScanResult>();
  int decoded = 0;
  for (int call = 0; call < 8; ++call) {
    result->mode() = 0;
    result->symbologyMask() = 7;
    const size_t before = test::AllocationCount();
    const int32_t status = RecognizeImage(frame.pixels.data(), ws.data(), frame.width,
                                          frame.height, frame.bitsPerPixel, result.get());
    EXPECT_EQ(test::AllocationCount(), before) << "call " << call;
    decoded += status == 1;
  }
  EXPECT_GT(decoded, 0) << "the frame must decode, so the whole path is measured";
}

}  // namespace
}  // namespace cordavex
