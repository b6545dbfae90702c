#include <benchmark/benchmark.h>

#include <vector>

#include "engine/recognizer.h"

namespace cordavex {
namespace {

void BM_RecognizeBlank(benchmark::State& state) {
  const int w = 320, h = 240;
  std::vector<uint8_t> frame(static_cast<size_t>(w * h), 128);
  std::vector<uint64_t> workspace(static_cast<size_t>(GetRecognizerSize(w, h)) / 8 + 1);
  ScanResult result{};
  for (auto _ : state) {
    result.mode() = 0;
    result.symbologyMask() = 7;
    benchmark::DoNotOptimize(RecognizeImage(frame.data(), workspace.data(), w, h, 8, &result));
  }
}
BENCHMARK(BM_RecognizeBlank);

}  // namespace
}  // namespace cordavex
