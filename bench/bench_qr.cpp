// RecognizeImage on rendered QR frames, decoded and with nothing in view, beside
// zxing-cpp's ReadBarcode on the same frames.
#include <benchmark/benchmark.h>

#include <ZXing/ReadBarcode.h>

#include <memory>
#include <string>
#include <vector>

#include "cordavex/recognizer.h"
#include "support/qr_symbols.h"
#include "recognize_frames.h"
#include "support/render.h"

namespace cordavex {
namespace {

// A version-4 symbol of a web address filling about 60% of the frame height;
// with `empty` the frame shows the same sheet without a symbol.
test::Frame MakeFrame(int width, int height, bool empty) {
  const std::string text = "https://cordavex.example/bench?frame=qr";
  const auto symbol = test::EncodeQrBytes(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 4, test::kLevelM);
  test::RenderOptions o;
  o.width = width;
  o.height = height;
  o.moduleSize = height * 0.6 / symbol->size;
  o.rotation = 8;
  o.blur = 0.7;
  o.noise = 3;
  std::vector<uint8_t> modules = symbol->modules;
  if (empty) std::fill(modules.begin(), modules.end(), uint8_t{0});
  return test::RenderModules(modules, symbol->size, o);
}

void BM_RecognizeQr(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool empty = state.range(2) != 0;
  const test::Frame frame = MakeFrame(width, height, empty);
  bench::RecognizeRepeatedly(state, frame, 1);
}

void BM_ZxingReadBarcode(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool empty = state.range(2) != 0;
  const test::Frame frame = MakeFrame(width, height, empty);
  const auto hints = ZXing::DecodeHints().setFormats(ZXing::BarcodeFormat::QRCode);
  int64_t decoded = 0;
  for (auto _ : state) {
    const auto r = ZXing::ReadBarcode(
        ZXing::ImageView(frame.grey.data(), width, height, ZXing::ImageFormat::Lum), hints);
    decoded += r.isValid();
  }
  bench::ReportDecodedShare(state, decoded);
}

// Arguments: width, height, empty (0: a symbol in view, 1: nothing).
#define QR_FRAMES ->Args({320, 240, 0})->Args({320, 240, 1})->Args({640, 480, 0})->Args({640, 480, 1})
BENCHMARK(BM_RecognizeQr) QR_FRAMES;
BENCHMARK(BM_ZxingReadBarcode) QR_FRAMES;
#undef QR_FRAMES

}  // namespace
}  // namespace cordavex
