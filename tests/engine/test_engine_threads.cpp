// The engine on several threads at once, as the phone program's capture
// threads and a still-image scan may run it: each thread with its own
// workspace and result record, on different frames, gives what one thread
// alone gives. Built with ThreadSanitizer (the tsan preset) this also shows
// that the engine shares no mutable state between workspaces.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cordavex/recognizer.h"
#include "support/dm_symbols.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

test::Frame QrFrame(const std::string& text, int bits, int version = 3) {
  const auto symbol = test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, version,
                                          test::kLevelM);
  EXPECT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.width = 320;
  o.height = 240;
  o.bitsPerPixel = bits;
  o.moduleSize = version > 3 ? 4.0 : 5.0;
  o.rotation = 8.0;
  o.blur = 0.5;
  o.noise = 2.0;
  return test::RenderModules(symbol->modules, symbol->size, o);
}

test::Frame DmFrame(const std::string& text) {
  const auto symbol = test::EncodeDmText(text, 22, test::DmScheme::kAscii);
  EXPECT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.width = 320;
  o.height = 240;
  o.bitsPerPixel = 8;
  o.moduleSize = 6.0;
  o.rotation = -5.0;
  return test::RenderMatrix(symbol->ToMatrix(), symbol->size, o);
}

struct Scan {
  int status = 0;
  std::u16string display;
};

// Up to 8 calls on the frame with a fresh workspace and record.
Scan ScanFrame(const test::Frame& frame) {
  test::Workspace workspace(frame.width, frame.height, test::Workspace::Filled{0});
  auto result = std::make_unique<ScanResult>();
  Scan scan;
  for (int call = 0; call < 8 && scan.status != 1; ++call) {
    result->mode() = 0;
    result->symbologyMask() = 7;
    scan.status = RecognizeImage(frame.pixels.data(), workspace.data(), frame.width, frame.height,
                                 frame.bitsPerPixel, result.get());
  }
  if (scan.status == 1) scan.display = std::u16string(result->DisplayText());
  return scan;
}

TEST(EngineThreads, SeparateWorkspacesGiveWhatOneThreadGives) {
  const std::vector<test::Frame> frames{QrFrame("http://example.com/one", 8), QrFrame("TEL:0912345678", 24),
                                        QrFrame("MECARD:N:Lin,Mei;;", 16), DmFrame("Data Matrix on a thread")};
  std::vector<Scan> alone;
  for (const test::Frame& frame : frames) alone.push_back(ScanFrame(frame));
  for (const Scan& scan : alone) ASSERT_EQ(scan.status, 1);

  constexpr int kRounds = 3;
  std::vector<std::vector<Scan>> together(frames.size());
  std::vector<std::thread> threads;
  for (size_t i = 0; i < frames.size(); ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < kRounds; ++round) together[i].push_back(ScanFrame(frames[i]));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t i = 0; i < frames.size(); ++i) {
    for (const Scan& scan : together[i]) {
      EXPECT_EQ(scan.status, alone[i].status) << i;
      EXPECT_EQ(scan.display, alone[i].display) << i;
    }
  }
}

TEST(EngineThreads, RecordCopiedWholeOutlivesTheOriginal) {
  const test::Frame frame = QrFrame("MECARD:N:Lin,Mei;TEL:0912345678;EMAIL:mei@example.com;;", 8, 6);
  test::Workspace workspace(frame.width, frame.height, test::Workspace::Filled{0});
  auto result = std::make_unique<ScanResult>();
  int status = 0;
  for (int call = 0; call < 8 && status != 1; ++call) {
    result->mode() = 0;
    result->symbologyMask() = 7;
    status = RecognizeImage(frame.pixels.data(), workspace.data(), frame.width, frame.height, 8, result.get());
  }
  ASSERT_EQ(status, 1);
  const std::u16string display(result->DisplayText());
  const std::u16string phone(result->Get(Field::phones));
  ASSERT_FALSE(phone.empty());

  auto copy = std::make_unique<ScanResult>(*result);
  std::memset(static_cast<void*>(result.get()), 0xA5, sizeof(ScanResult));
  EXPECT_EQ(copy->DisplayText(), display);
  EXPECT_EQ(copy->Get(Field::phones), phone);
}

}  // namespace
}  // namespace cordavex
