// The camera filter with any media type and any sample: the first bytes choose
// the subtype, the frame size (negative and huge ones included), the bit
// depth, the format block's length, the limits, the rotation before and after
// negotiation and the buffer sizes; the rest are the camera's bytes. A type the
// filter accepts must transform without reading or writing outside the two
// buffers; everything else must be refused with an HRESULT.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "filter/filter_state.h"
#include "filter/frame_filter.h"
#include "filter/media_type.h"

using namespace cordavex::filter;

namespace {

// Reads little-endian fields from the front of the input, zeros past its end.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint32_t Next(int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      const uint32_t byte = used_ < size_ ? data_[used_] : 0;
      value |= byte << (8 * i);
      ++used_;
    }
    return value;
  }
  const uint8_t* rest() const { return data_ + std::min(used_, size_); }
  size_t restSize() const { return size_ - std::min(used_, size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

constexpr int64_t kLargestBuffer = 8 << 20;

class FuzzAllocator : public MemoryAllocator {
 public:
  virtual ~FuzzAllocator() = default;
  HRESULT SetProperties(const AllocatorProperties& request, AllocatorProperties* actual) override {
    if (request.bufferSize > kLargestBuffer) return E_OUTOFMEMORY;
    *actual = request;
    actual->bufferSize = request.bufferSize + shortfall;  // may grant less than asked
    return S_OK;
  }
  int32_t shortfall = 0;
};

const Guid kSubtypes[] = {kSubtypeYUY2, kSubtypeUYVY, kSubtypeYV12, kSubtypeYuv420,
                          kSubtypeRGB565, kSubtypeRGB24, kSubtypeRGB32, kSubtypeYVU9};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  const uint32_t choice = in.Next(1);
  const auto width = static_cast<int32_t>(in.Next(4));
  const auto height = static_cast<int32_t>(in.Next(4));
  const auto bits = static_cast<uint16_t>(in.Next(2));
  const uint32_t formatLength = in.Next(1);
  const auto limitX = static_cast<int32_t>(static_cast<int16_t>(in.Next(2)));
  const auto limitY = static_cast<int32_t>(static_cast<int16_t>(in.Next(2)));
  const auto before = static_cast<int32_t>(static_cast<int8_t>(in.Next(1)));
  const auto after = static_cast<int32_t>(static_cast<int8_t>(in.Next(1)));
  const uint32_t flags = in.Next(1);
  const auto screenX = static_cast<int32_t>(in.Next(2));
  const auto screenY = static_cast<int32_t>(in.Next(2));
  const auto shortfall = static_cast<int32_t>(static_cast<int8_t>(in.Next(1)));
  const auto inputShortfall = static_cast<int32_t>(static_cast<int8_t>(in.Next(1)));

  FilterState state;
  FrameFilter filter(state);
  state.SetRxy(limitX, limitY);
  state.SetGlobalRotate(before);
  state.SetAutoDetectRotate(flags & 1);
  state.SetScreenXY(screenX, screenY);

  MediaType type;
  type.majorType = (flags & 2) ? Guid{} : kMediaTypeVideo;
  type.subType = kSubtypes[choice % std::size(kSubtypes)];
  VideoInfoHeader info;
  info.AvgTimePerFrame = (flags & 4) ? -1 : 333333;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biSizeImage = in.Next(4);
  WriteVideoInfo(&type, info);
  if (flags & 8) type.format.resize(formatLength % sizeof(VideoInfoHeader));  // a short block

  if (Failed(filter.SetInputType(type))) return 0;
  MediaType out;
  if (filter.GetMediaType(0, &out) != S_OK) return 0;
  FuzzAllocator allocator;
  allocator.shortfall = shortfall;
  AllocatorProperties request;
  if (filter.DecideBufferSize(&allocator, &request) != S_OK) return 0;
  state.SetGlobalRotate(after);
  state.PreviewStartStop((flags & 16) ? 0 : 1);

  // The camera's sample: its bytes repeated to the size it claims, give or take.
  const int64_t claimed = static_cast<int64_t>(info.bmiHeader.biSizeImage) + inputShortfall;
  if (claimed < 0 || claimed > kLargestBuffer) return 0;
  std::vector<uint8_t> camera(static_cast<size_t>(claimed));
  for (size_t i = 0; i < camera.size() && in.restSize() > 0; ++i) camera[i] = in.rest()[i % in.restSize()];
  std::vector<uint8_t> output(static_cast<size_t>(request.bufferSize + std::min(0, shortfall)));
  MediaSample sample{camera.data(), static_cast<int32_t>(camera.size()),
                     static_cast<int32_t>(camera.size())};
  MediaSample result{output.data(), static_cast<int32_t>(output.size()), 0};
  if (camera.empty()) sample.buffer = nullptr;
  if (output.empty()) result.buffer = nullptr;
  const HRESULT hr = filter.Transform(sample, &result);
  if (hr == S_OK && (result.actualLength < 0 || result.actualLength > result.size)) __builtin_trap();

  // The main program's copy of the newest frame, asked for more than it holds.
  std::vector<uint8_t> copy(output.size() + 64);
  state.GetVideoBuffer(copy.data(), static_cast<int32_t>(copy.size()));
  filter.Stop();
  return 0;
}
