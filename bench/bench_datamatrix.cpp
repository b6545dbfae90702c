// RecognizeImage with the Data Matrix mask on rendered frames, decoded and with
// nothing in view, beside libdmtx and zxing-cpp reading the same frames; and
// the grid decoder alone on the smallest and the largest size.
#include <benchmark/benchmark.h>

#include <ZXing/ReadBarcode.h>
#include <dmtx.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/decode_summary.h"
#include "cordavex/recognizer.h"
#include "decode/dm_decoder.h"
#include "support/dm_symbols.h"
#include "support/qr_symbols.h"
#include "recognize_frames.h"
#include "support/render.h"

namespace cordavex {
namespace {

// A 24 x 24 symbol of a web address filling 70% of the frame height (the locator reads a symbol that fills the view, as a user holds the
// phone); with `empty` the frame shows the same sheet without a symbol.
test::Frame MakeFrame(int width, int height, bool empty) {
  const auto symbol =
      test::EncodeDmText("https://cordavex.example/dm", 24, test::DmScheme::kAscii);
  test::RenderOptions o;
  o.width = width;
  o.height = height;
  o.moduleSize = height * 0.7 / symbol->size;
  o.quietZone = 3;
  o.rotation = 8;
  o.blur = 0.7;
  o.noise = 3;
  std::vector<uint8_t> modules = symbol->modules;
  if (empty) std::fill(modules.begin(), modules.end(), uint8_t{0});
  return test::RenderModules(modules, symbol->size, o);
}

void BM_RecognizeDataMatrix(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const test::Frame frame = MakeFrame(width, height, state.range(2) != 0);
  bench::RecognizeRepeatedly(state, frame, 4);
}

void BM_LibdmtxDecode(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  test::Frame frame = MakeFrame(width, height, state.range(2) != 0);
  int64_t decoded = 0;
  for (auto _ : state) {
    DmtxImage* image = dmtxImageCreate(frame.grey.data(), width, height, DmtxPack8bppK);
    DmtxDecode* decode = dmtxDecodeCreate(image, 1);
    // One symbol is all a frame holds: stop at the first region, as a reader
    // of camera frames would, and give up after the time a frame allows.
    DmtxTime timeout = dmtxTimeAdd(dmtxTimeNow(), 1000);
    DmtxRegion* region = dmtxRegionFindNext(decode, &timeout);
    if (region != nullptr) {
      DmtxMessage* message = dmtxDecodeMatrixRegion(decode, region, DmtxUndefined);
      if (message != nullptr) {
        ++decoded;
        dmtxMessageDestroy(&message);
      }
      dmtxRegionDestroy(&region);
    }
    dmtxDecodeDestroy(&decode);
    dmtxImageDestroy(&image);
  }
  bench::ReportDecodedShare(state, decoded);
}

void BM_ZxingDataMatrix(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const test::Frame frame = MakeFrame(width, height, state.range(2) != 0);
  const auto hints = ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::DataMatrix);
  int64_t decoded = 0;
  for (auto _ : state) {
    const auto r = ZXing::ReadBarcode(
        ZXing::ImageView(frame.grey.data(), width, height, ZXing::ImageFormat::Lum), hints);
    decoded += r.isValid();
  }
  bench::ReportDecodedShare(state, decoded);
}

// Arguments: width, height, empty (0: a symbol in view, 1: nothing).
#define DM_FRAMES ->Args({320, 240, 0})->Args({320, 240, 1})->Args({640, 480, 0})->Args({640, 480, 1})
BENCHMARK(BM_RecognizeDataMatrix) DM_FRAMES;
BENCHMARK(BM_LibdmtxDecode) DM_FRAMES->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZxingDataMatrix) DM_FRAMES;
#undef DM_FRAMES

// The grid decoder alone: placement, Reed-Solomon and the encodation, on a
// symbol of the given size filled with bytes in Base 256.
void BM_DmDecodeGrid(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  const int data = test::DmDataCodewordCount(size);
  const auto symbol = test::EncodeDmBytes(
      test::RandomBytes(static_cast<size_t>(std::max(1, data - 3)), 5), size, test::DmScheme::kBase256);
  const ModuleMatrix grid = symbol->ToDecoderGrid();
  auto decoder = std::make_unique<DmDecoder>();
  std::array<uint8_t, kDecodedTextBytes> text{};
  std::array<uint8_t, kSecondStringBytes> second{};
  int64_t decoded = 0;
  for (auto _ : state) decoded += DmDecodeGrid(*decoder, grid, size, text, second);
  bench::ReportDecodedShare(state, decoded);
}
BENCHMARK(BM_DmDecodeGrid)->Arg(10)->Arg(24)->Arg(48);

}  // namespace
}  // namespace cordavex
