// The camera filter's own logic, the overrides of a DirectShow transform
// filter: input type check, output negotiation (with auto-rotation and the
// crop limits), buffer size, and the per-sample transform.
//
// The graph's connecting and streaming calls come from one thread at a time
// (the graph serialises them); SetRotation may come from any thread and takes
// the filter's lock. The filter writes its negotiation and each published
// frame into a FilterState it borrows (the process's, or a test's), which
// must outlive it. It keeps no pointer to a sample after Transform returns
// except the published frame, which it withdraws in Stop and when destroyed.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "filter/filter_state.h"
#include "filter/hresult.h"
#include "filter/media_type.h"

namespace cordavex::filter {

// The graph's allocator as the filter sees it when asking for buffers.
class MemoryAllocator {
 public:
  virtual HRESULT SetProperties(const AllocatorProperties& request, AllocatorProperties* actual) = 0;

 protected:
  ~MemoryAllocator() = default;
};

// Largest frame side accepted; beyond it the sizes would not fit the 32-bit
// fields of the media types.
constexpr int32_t kMaxFrameSide = 16384;

class FrameFilter {
 public:
  explicit FrameFilter(FilterState& state) : state_(state) {}
  ~FrameFilter();
  FrameFilter(const FrameFilter&) = delete;
  FrameFilter& operator=(const FrameFilter&) = delete;

  // S_OK, E_INVALIDARG (not a video-info format), or E_FAIL (major type, bit
  // depth, or a frame size the transform cannot take).
  HRESULT CheckInputType(const MediaType& in);
  // S_OK or VFW_E_TYPE_NOT_ACCEPTED.
  HRESULT CheckTransform(const MediaType& in, const MediaType& out);
  // The connected input type (the base filter's SetMediaType on the input pin).
  HRESULT SetInputType(const MediaType& in);
  // Position 0 only. E_INVALIDARG for a negative position, VFW_S_NO_MORE_ITEMS
  // above 0, E_UNEXPECTED before an input type is set.
  HRESULT GetMediaType(int32_t position, MediaType* out);
  HRESULT DecideBufferSize(MemoryAllocator* allocator, AllocatorProperties* request);
  HRESULT Transform(const MediaSample& in, MediaSample* out);
  // Streaming ends: the published frame (in the graph's buffer) is withdrawn.
  void Stop();

  // The private rotation interface: stores *rotation under the filter's lock.
  HRESULT SetRotation(const int32_t* rotation);

  // The negotiated geometry, for tests and the graph.
  int32_t sourceWidth() const { return sourceWidth_; }
  int32_t sourceHeight() const { return sourceHeight_; }
  int32_t outputWidth() const { return outputWidth_; }
  int32_t outputHeight() const { return outputHeight_; }
  bool crop() const { return crop_ != 0; }
  bool passThrough() const { return passThrough_ != 0; }
  bool convert() const { return convert_ != 0; }

 private:
  // Bytes of one output frame as the transform writes it.
  int64_t OutputFrameBytes() const;

  FilterState& state_;
  std::mutex mutex_;
  std::optional<MediaType> input_;
  const uint8_t* lastBuffer_ = nullptr;  // the published output buffer
  int32_t lastBufferSize_ = 0;

  int32_t sourceWidth_ = 0;
  int32_t sourceHeight_ = 0;
  int32_t outputWidth_ = 0;
  int32_t outputHeight_ = 0;
  int32_t passThrough_ = 0;
  int32_t crop_ = 0;
  int32_t limitX_ = kDefaultLimitX;
  int32_t limitY_ = kDefaultLimitY;
  int32_t convert_ = 0;
  int32_t bitsPerPixel_ = 0;
  int32_t inputKind_ = 0;
  int32_t formatCode_ = 0;
};

}  // namespace cordavex::filter
