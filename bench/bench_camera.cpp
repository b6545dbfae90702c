// Frames per second the camera path sustains from the bundled clip: the clip
// source reading and converting each 320 × 240 frame to YUY2, then the frame
// filter's transform to the capture loop's 192 × 144 24-bit window — the
// streaming thread's whole work per frame, without the pacing. Items are
// frames; the source alone is beside it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "camera/y4m_source.h"
#include "filter/filter_state.h"
#include "filter/frame_filter.h"
#include "filter/media_type.h"

namespace {

using namespace cordavex;

bool OpenClip(camera::Y4mSource& clip, benchmark::State& state) {
  if (!clip.Open().ok() || !clip.Start().ok()) {
    state.SkipWithError("the clip cannot be read (" CORDAVEX_CAMERA_CLIP ")");
    return false;
  }
  return true;
}

void BM_CameraClipSource(benchmark::State& state) {
  camera::Y4mSource clip(CORDAVEX_CAMERA_CLIP, true, "clip");
  if (!OpenClip(clip, state)) return;
  camera::CameraFrame frame;
  for (auto _ : state) {
    benchmark::DoNotOptimize(clip.Read(frame, std::chrono::milliseconds(0)).outcome);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CameraClipSource);

void BM_CameraClipThroughFilter(benchmark::State& state) {
  camera::Y4mSource clip(CORDAVEX_CAMERA_CLIP, true, "clip");
  if (!OpenClip(clip, state)) return;
  const camera::CaptureFormat format = clip.Format();
  filter::FilterState filterState;
  filter::FrameFilter frameFilter(filterState);
  filter::MediaType in;
  in.majorType = filter::kMediaTypeVideo;
  in.subType = filter::kSubtypeYUY2;
  filter::VideoInfoHeader info;
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = format.width;
  info.bmiHeader.biHeight = format.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  filter::WriteVideoInfo(&in, info);
  filter::MediaType out;
  if (frameFilter.SetInputType(in) != filter::S_OK || frameFilter.GetMediaType(0, &out) != filter::S_OK) {
    state.SkipWithError("negotiation failed");
    return;
  }
  std::vector<uint8_t> output(out.sampleSize);
  camera::CameraFrame frame;
  for (auto _ : state) {
    clip.Read(frame, std::chrono::milliseconds(0));
    filter::MediaSample sample{frame.yuy2.data(), static_cast<int32_t>(frame.yuy2.size()),
                               static_cast<int32_t>(frame.yuy2.size())};
    filter::MediaSample result{output.data(), static_cast<int32_t>(output.size()), 0};
    benchmark::DoNotOptimize(frameFilter.Transform(sample, &result));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CameraClipThroughFilter);

}  // namespace
