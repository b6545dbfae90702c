// RecognizeImage on camera-sized frames in each pixel format. The frames hold a
// seeded scene of dark blocks on a lit background, so every stage of the engine
// has work to do, with no symbol to stop early on.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "cordavex/recognizer.h"

namespace cordavex {
namespace {

std::vector<uint8_t> SceneFrame(int width, int height, int bitsPerPixel) {
  std::mt19937 random(42);
  std::vector<uint8_t> grey(static_cast<size_t>(width * height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool dark = ((x / 9) * 7 + (y / 11) * 3) % 5 == 0;
      const int light = 150 + (x + y) * 80 / (width + height);  // uneven light
      grey[static_cast<size_t>(y * width + x)] =
          static_cast<uint8_t>((dark ? 40 : light) + static_cast<int>(random() % 16));
    }
  }
  const size_t bytes = static_cast<size_t>(bitsPerPixel / 8);
  std::vector<uint8_t> frame(grey.size() * bytes);
  for (size_t i = 0; i < grey.size(); ++i) {
    const uint8_t g = grey[i];
    switch (bitsPerPixel) {
      case 8:
        frame[i] = g;
        break;
      case 16: {
        const unsigned word = ((g >> 3) << 11) | ((g >> 2) << 5) | (g >> 3);
        frame[2 * i] = static_cast<uint8_t>(word);
        frame[2 * i + 1] = static_cast<uint8_t>(word >> 8);
        break;
      }
      default:
        for (size_t b = 0; b < bytes; ++b) frame[bytes * i + b] = g;
    }
  }
  return frame;
}

void BM_RecognizeImage(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = width * 3 / 4;
  const int bitsPerPixel = static_cast<int>(state.range(1));
  const std::vector<uint8_t> frame = SceneFrame(width, height, bitsPerPixel);
  std::vector<uint64_t> workspace(static_cast<size_t>(GetRecognizerSize(width, height)) / 8 + 1);
  ScanResult result{};
  for (auto _ : state) {
    result.mode() = 0;
    result.symbologyMask() = 7;
    benchmark::DoNotOptimize(
        RecognizeImage(frame.data(), workspace.data(), width, height, bitsPerPixel, &result));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(width) + "x" + std::to_string(height) + " " +
                 std::to_string(bitsPerPixel) + "bpp");
}
BENCHMARK(BM_RecognizeImage)->ArgsProduct({{320, 640}, {8, 16, 24, 32}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace cordavex
