// RecognizeImage with the Cordavex code mask on rendered frames: a symbol in
// view (decoded every call) and the same sheet with nothing on it, and the
// locator alone on a frame already prepared and labelled.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cordavex/cordavex_code.h"
#include "cordavex/recognizer.h"
#include "engine/label.h"
#include "engine/locators.h"
#include "engine/prepare.h"
#include "engine/workspace.h"
#include "support/cv_symbols.h"
#include "recognize_frames.h"
#include "support/render.h"

namespace cordavex {
namespace {

// A size-25 symbol of a contact card filling about 70% of the frame height;
// with `empty` the frame shows the same sheet without a symbol.
test::Frame MakeFrame(int width, int height, bool empty, double noise = 3) {
  const test::CvSymbol s =
      test::GenerateCvText(u"MECARD:N:Lin,Mei;TEL:0223456789;EMAIL:mei@example.org;;", 25, 1);
  const int side = s.side + 4;
  std::vector<uint8_t> modules(static_cast<size_t>(side * side), 0);
  if (!empty) {
    for (int r = 0; r < s.side; ++r) {
      for (int c = 0; c < side; ++c) {
        modules[static_cast<size_t>(r * side + c)] = s.maps[static_cast<size_t>(r * kCordavexMapSide + c)] == '1';
      }
    }
  }
  test::RenderOptions o;
  o.width = width;
  o.height = height;
  o.moduleSize = height * 0.7 / side;
  o.rotation = 8;
  o.blur = 0.7;
  o.noise = noise;
  return test::RenderModules(modules, side, o);
}

void BM_RecognizeCordavex(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool empty = state.range(2) != 0;
  const test::Frame frame = MakeFrame(width, height, empty);
  bench::RecognizeRepeatedly(state, frame, 2);
}

// The locator alone: the prepared and labelled frame is restored before each
// call (the locator retraces contours into the image), outside the timing.
// Prepared as the thorough mode prepares (threshold only), on a frame without
// noise: single noisy pixels would exhaust the labels of a small frame.
void BM_LocateCordavexCode(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const bool empty = state.range(2) != 0;
  const test::Frame frame = MakeFrame(width, height, empty, 0.0);
  const size_t bytes = static_cast<size_t>(GetRecognizerSize(width, height));
  std::vector<uint64_t> workspace(bytes / 8 + 1);
  Recognizer& r = *reinterpret_cast<Recognizer*>(workspace.data());
  r.toneExponent = 1.0;
  r.imageWidth = width;
  r.imageHeight = height;
  r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{width} * height));
  std::memcpy(r.image(), frame.grey.data(), frame.grey.size());
  if (PrepareImage(r, 4) != 1 || LabelComponents(r) != 1) {
    state.SkipWithError("frame did not label");
    return;
  }
  const std::vector<uint64_t> labelled = workspace;
  int64_t decoded = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(workspace.data(), labelled.data(), labelled.size() * sizeof(uint64_t));
    r.skipVersion2 = 1;
    state.ResumeTiming();
    decoded += LocateCordavexCode(r);
  }
  bench::ReportDecodedShare(state, decoded);
}

// Arguments: width, height, empty (0: a symbol in view, 1: nothing).
#define CV_FRAMES ->Args({320, 240, 0})->Args({320, 240, 1})->Args({640, 480, 0})->Args({640, 480, 1})
BENCHMARK(BM_RecognizeCordavex) CV_FRAMES;
BENCHMARK(BM_LocateCordavexCode) CV_FRAMES;
#undef CV_FRAMES

}  // namespace
}  // namespace cordavex
