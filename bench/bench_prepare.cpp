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

// A printed page with a version 3 QR code filling the view, light falling
// unevenly across it.
test::Frame PageFrame(int w, int h) {
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
  return test::RenderModules(symbol->modules, symbol->size, o);
}

// Args: frame width, height, mode.
void BM_PrepareAndLabel(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  const int mode = static_cast<int>(state.range(2));
  const test::Frame frame = PageFrame(w, h);
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

// One stage alone on the same frames, from the image the stage before it leaves
// (copied in afresh each iteration, so the copy is part of every figure).
// Args: frame width, height, stage (0 reduction, 1 threshold, 2 labelling).
void BM_PreparationStage(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0));
  const int h = static_cast<int>(state.range(1));
  const int stage = static_cast<int>(state.range(2));
  const test::Frame frame = PageFrame(w, h);
  std::vector<uint64_t> block(static_cast<size_t>(GetRecognizerSize(w, h)) / 8 + 1, 0);
  Recognizer& r = *reinterpret_cast<Recognizer*>(block.data());
  const auto load = [&](const std::vector<uint8_t>& grey, int width, int height) {
    r.toneExponent = 1.0;
    r.thresholdOffset = 0;
    r.imageWidth = width;
    r.imageHeight = height;
    r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{w} * h));
    std::memcpy(r.image(), grey.data(), grey.size());
  };
  // The input of the stage: the frame, or the frame reduced (and thresholded).
  std::vector<uint8_t> input = frame.grey;
  int width = w, height = h;
  if (stage >= 1) {
    load(input, width, height);
    ReduceImage(r);
    if (stage >= 2) ApplyThreshold(r);
    width = r.imageWidth;
    height = r.imageHeight;
    input.assign(r.image(), r.image() + static_cast<size_t>(width) * height);
  }
  for (auto _ : state) {
    load(input, width, height);
    if (stage == 0) ReduceImage(r);
    if (stage == 1) benchmark::DoNotOptimize(ApplyThreshold(r));
    if (stage == 2) benchmark::DoNotOptimize(LabelComponents(r));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PreparationStage)
    ->Args({640, 480, 0})  // blocks of 2 x 2
    ->Args({1280, 960, 0})  // blocks of 4 x 4
    ->Args({320, 240, 1})
    ->Args({552, 414, 1})  // the largest frame kept unreduced
    ->Args({320, 240, 2})
    ->Args({552, 414, 2})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace cordavex
