// Preparation and labelling of camera-sized frames with a QR code in view: the
// per-frame cost that every locator runs on top of.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/label.h"
#include "engine/prepare.h"
#include "cordavex/recognizer.h"
#include "engine/workspace.h"
#include "support/qr_symbols.h"
#include "support/render.h"

namespace cordavex {
namespace {

// Args: frame width, height, mode.
void BM_PrepareAndLabel(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  const int mode = static_cast<int>(state.range(2));
  const std::string text = "https://example.com/cordavex/benchmark";
  const auto symbol = test::EncodeQrBytes(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 3, test::kLevelM);
  test::RenderOptions o;
  o.width = w;
  o.height = h;
  o.moduleSize = w / 64;
  o.unevenLight = 0.25;
  o.background = o.light;  // paper all round, as a printed page fills the view
  o.noise = 2;
  o.seed = 5;
  const test::Frame frame = test::RenderModules(symbol->modules, symbol->size, o);
  std::vector<uint64_t> block(static_cast<size_t>(GetRecognizerSize(w, h)) / 8 + 1, 0);
  Recognizer& r = *reinterpret_cast<Recognizer*>(block.data());
  r.toneExponent = 1.0;
  int components = 0;
  for (auto _ : state) {
    // Fresh adaptive state each time, so every iteration does the same work.
    r.toneExponent = 1.0;
    r.thresholdOffset = 0;
    r.sharpenPhase = 3;  // the alternating filter runs (d = 3)
    r.imageWidth = w;
    r.imageHeight = h;
    r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{w} * h));
    std::memcpy(r.image(), frame.grey.data(), frame.grey.size());
    benchmark::DoNotOptimize(PrepareImage(r, mode));
    benchmark::DoNotOptimize(LabelComponents(r));
    components = r.labelCount - 1;
  }
  state.counters["components"] = components;
  state.counters["holes"] = r.holeCount;
  state.counters["preparedWidth"] = r.imageWidth;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PrepareAndLabel)
    ->Args({320, 240, 0})  // enlarged to 640 x 480
    ->Args({320, 240, 2})
    ->Args({320, 240, 1})  // 5 x 5 filter, enlarged
    ->Args({640, 480, 0})  // reduced, then enlarged
    ->Args({640, 480, 4})  // reduced only
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace cordavex
