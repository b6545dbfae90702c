// The benchmarks' engine loop: RecognizeImage called again and again on one
// rendered frame with one workspace, as the camera loop calls it, with the
// share of calls that decoded reported beside the time.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "cordavex/recognizer.h"
#include "support/render.h"

namespace cordavex::bench {

inline void ReportDecodedShare(benchmark::State& state, int64_t decoded) {
  state.counters["decodedShare"] =
      benchmark::Counter(static_cast<double>(decoded), benchmark::Counter::kAvgIterations);
}

// Mode 0 with `mask`, on a frame of 8-bit grey pixels.
inline void RecognizeRepeatedly(benchmark::State& state, const test::Frame& frame, int32_t mask) {
  std::vector<uint64_t> workspace(
      static_cast<size_t>(GetRecognizerSize(frame.width, frame.height)) / 8 + 1);
  auto result = std::make_unique<ScanResult>();
  int64_t decoded = 0;
  for (auto _ : state) {
    result->mode() = 0;
    result->symbologyMask() = mask;
    decoded += RecognizeImage(frame.pixels.data(), workspace.data(), frame.width, frame.height,
                              frame.bitsPerPixel, result.get()) == 1;
  }
  ReportDecodedShare(state, decoded);
}

}  // namespace cordavex::bench
