// Media types, samples and an allocator for the camera filter's tests.
#pragma once

#include <cstdint>
#include <vector>

#include "filter/frame_filter.h"
#include "filter/media_type.h"

namespace cordavex::test {

// A camera's video-info media type.
inline filter::MediaType VideoType(const filter::Guid& subtype, int32_t width, int32_t height,
                                   uint16_t bits, int64_t timePerFrame = 666666) {
  filter::MediaType type;
  type.majorType = filter::kMediaTypeVideo;
  type.subType = subtype;
  type.fixedSizeSamples = true;
  filter::VideoInfoHeader info;
  info.rcSource = {0, 0, width, height};
  info.rcTarget = {0, 0, width, height};
  info.AvgTimePerFrame = timePerFrame;
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bits;
  info.bmiHeader.biCompression = subtype.data1;
  const int64_t abs = height < 0 ? -int64_t{height} : height;
  info.bmiHeader.biSizeImage = static_cast<uint32_t>(int64_t{width} * abs * bits / 8);
  info.bmiHeader.biXPelsPerMeter = 2835;
  filter::WriteVideoInfo(&type, info);
  type.sampleSize = info.bmiHeader.biSizeImage;
  return type;
}

// An allocator that grants what it is asked, or less when told to.
class TestAllocator : public filter::MemoryAllocator {
 public:
  virtual ~TestAllocator() = default;
  filter::HRESULT SetProperties(const filter::AllocatorProperties& request,
                                filter::AllocatorProperties* actual) override {
    asked = request;
    *actual = request;
    if (grantBuffers >= 0) actual->buffers = grantBuffers;
    if (grantSize >= 0) actual->bufferSize = grantSize;
    return result;
  }
  filter::AllocatorProperties asked;
  int32_t grantBuffers = -1;
  int32_t grantSize = -1;
  filter::HRESULT result = filter::S_OK;
};

// A sample over an owned buffer.
struct OwnedSample {
  explicit OwnedSample(size_t size, uint8_t fill = 0) : bytes(size, fill) {
    sample.buffer = bytes.data();
    sample.size = static_cast<int32_t>(size);
    sample.actualLength = static_cast<int32_t>(size);
  }
  OwnedSample(const OwnedSample&) = delete;
  OwnedSample& operator=(const OwnedSample&) = delete;
  std::vector<uint8_t> bytes;
  filter::MediaSample sample;
};

}  // namespace cordavex::test
