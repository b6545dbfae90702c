// Grid sampling: every located symbol is sampled once or more per decode
// attempt, a version 13 grid at 69 x 69 modules.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "cordavex/recognizer.h"
#include "engine/geometry.h"
#include "engine/workspace.h"

namespace cordavex {
namespace {

// Args: modules per side - 1 (the grid's n), 0 for a parallelogram or 1 for a
// keystoned quadrilateral.
void BM_SampleGrid(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool keystone = state.range(1) != 0;
  constexpr int kWidth = 320, kHeight = 240;
  std::vector<uint64_t> block(static_cast<size_t>(GetRecognizerSize(kWidth, kHeight)) / 8 + 1, 0);
  Recognizer& r = *reinterpret_cast<Recognizer*>(block.data());
  r.imageWidth = kWidth;
  r.imageHeight = kHeight;
  r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(int64_t{kWidth} * kHeight));
  std::mt19937 rng(7);
  for (int i = 0; i < kWidth * kHeight; ++i) r.image()[i] = (rng() & 1) != 0 ? 0 : kLight;
  SampleCorners corners{};
  corners.points[0] = {40, 20};
  corners.points[1] = {260, 30};
  corners.points[2] = {35, 215};
  corners.points[3] = keystone ? Point16{250, 200} : Point16{255, 225};
  for (auto _ : state) {
    r.matrix.Clear();
    benchmark::DoNotOptimize(SampleGrid(r, corners, n));
  }
  state.SetItemsProcessed(state.iterations() * (n + 1) * (n + 1));
}
BENCHMARK(BM_SampleGrid)->ArgsProduct({{20, 68}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace cordavex
