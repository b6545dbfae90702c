// The camera filter's transform: a 640 × 480 YUY2 frame to 24-bit RGB, whole
// (limits at the frame size) and turned, and the device's usual 192 × 144
// crop; beside it, a plain copy of the camera frame as the memory's pace.
// Bytes processed are the camera frame's bytes (614400 per frame).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "filter/filter_state.h"
#include "filter/frame_filter.h"
#include "filter/media_type.h"

namespace {

using namespace cordavex::filter;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr size_t kCameraBytes = size_t{kWidth} * kHeight * 2;

class Allocator : public MemoryAllocator {
 public:
  virtual ~Allocator() = default;
  HRESULT SetProperties(const AllocatorProperties& request, AllocatorProperties* actual) override {
    *actual = request;
    return S_OK;
  }
};

MediaType Yuy2Type() {
  MediaType type;
  type.majorType = kMediaTypeVideo;
  type.subType = kSubtypeYUY2;
  VideoInfoHeader info;
  info.AvgTimePerFrame = 333333;
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  info.bmiHeader.biSizeImage = static_cast<uint32_t>(kCameraBytes);
  WriteVideoInfo(&type, info);
  return type;
}

std::vector<uint8_t> CameraFrame() {
  std::mt19937 random(1);
  std::vector<uint8_t> frame(kCameraBytes);
  for (uint8_t& b : frame) b = static_cast<uint8_t>(random());
  return frame;
}

// Arguments: limit width, limit height, rotation.
void BM_FilterYuy2ToRgb(benchmark::State& state) {
  FilterState filterState;
  filterState.SetRxy(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)));
  filterState.SetGlobalRotate(static_cast<int32_t>(state.range(2)));
  FrameFilter filter(filterState);
  MediaType out;
  if (filter.SetInputType(Yuy2Type()) != S_OK || filter.GetMediaType(0, &out) != S_OK) {
    state.SkipWithError("negotiation failed");
    return;
  }
  Allocator allocator;
  AllocatorProperties request;
  filter.DecideBufferSize(&allocator, &request);
  std::vector<uint8_t> camera = CameraFrame();
  std::vector<uint8_t> output(static_cast<size_t>(request.bufferSize));
  MediaSample in{camera.data(), static_cast<int32_t>(camera.size()), static_cast<int32_t>(camera.size())};
  MediaSample result{output.data(), static_cast<int32_t>(output.size()), 0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(filter.Transform(in, &result));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kCameraBytes));
  state.counters["outputBytes"] = static_cast<double>(result.actualLength);
}
BENCHMARK(BM_FilterYuy2ToRgb)
    ->ArgNames({"limitX", "limitY", "rotation"})
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({192, 144, 0});

// The same camera frame copied as it is: what the memory alone allows.
void BM_FilterCopyCameraFrame(benchmark::State& state) {
  std::vector<uint8_t> camera = CameraFrame();
  std::vector<uint8_t> output(kCameraBytes);
  for (auto _ : state) {
    std::memcpy(output.data(), camera.data(), camera.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kCameraBytes));
}
BENCHMARK(BM_FilterCopyCameraFrame);

}  // namespace
