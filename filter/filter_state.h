// The camera filter's process-wide state: what the filter last negotiated and
// the newest frame it produced, and the settings the main program gives
// through the library's exports (rotation, screen size, crop limits).
//
// One FilterState per loaded library (ProcessFilterState); tests make their
// own. The graph's streaming thread writes it while the main program's threads
// read it: every field is atomic, and the newest frame is published and copied
// under a lock, so a copy never mixes two frames.
//
// The published frame is the filter's output buffer, owned by the graph's
// allocator; the filter withdraws it (Unpublish) before that buffer goes away.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace cordavex::filter {

// The block getVideoFormat fills: seven 32-bit fields in this order. The main
// program's own copy has an eighth field after these, which is never touched.
struct FrameFormat {
  int32_t sourceWidth;
  int32_t sourceHeight;
  int32_t formatCode;
  int32_t bitsPerPixel;
  int32_t outputWidth;
  int32_t outputHeight;
  int32_t rotation;
};
static_assert(sizeof(FrameFormat) == 28);

constexpr int32_t kDefaultLimitX = 192;
constexpr int32_t kDefaultLimitY = 144;

class FilterState {
 public:
  // YUV layout of a converted input (kInputYUY2...), and the output format code.
  std::atomic<int32_t> inputKind{0};
  std::atomic<int32_t> formatCode{0};
  // 0 none, 1 = 90° anticlockwise, 2 = 90° clockwise (other values turn as 2).
  std::atomic<int32_t> rotation{0};
  std::atomic<int32_t> sourceWidth{0};
  std::atomic<int32_t> sourceHeight{0};
  std::atomic<int32_t> bitsPerPixel{0};
  std::atomic<int32_t> outputWidth{0};
  std::atomic<int32_t> outputHeight{0};
  std::atomic<int32_t> screenX{0};
  std::atomic<int32_t> screenY{0};
  std::atomic<uint8_t> autoDetectRotate{0};
  std::atomic<uint8_t> transformOn{1};
  std::atomic<int32_t> limitX{kDefaultLimitX};
  std::atomic<int32_t> limitY{kDefaultLimitY};

  // The export calls. Each returns what it stored (the setters of two values
  // return the second).
  int32_t SetAutoDetectRotate(int32_t flag);
  int32_t SetGlobalRotate(int32_t value);
  int32_t PreviewStartStop(int32_t flag);
  int32_t SetScreenXY(int32_t x, int32_t y);
  int32_t SetRxy(int32_t x, int32_t y);
  // Fills the seven fields; a null block is left alone. Returns `format`.
  FrameFormat* GetVideoFormat(FrameFormat* format) const;
  // Copies the newest frame into `destination`: `size` bytes, but never more
  // than the frame holds; nothing before the first frame, for a null
  // destination or a size <= 0. Returns `destination`.
  void* GetVideoBuffer(void* destination, int32_t size);

  // The streaming thread's side. LockFrame is held while the filter
  // writes the output buffer and publishes it, so no copy sees half a frame.
  std::unique_lock<std::mutex> LockFrame() { return std::unique_lock(frameMutex_); }
  // Under LockFrame.
  void Publish(const uint8_t* frame, int32_t bytes) {
    frame_ = frame;
    frameBytes_ = bytes;
  }
  // Withdraws the frame if it lies in [buffer, buffer + size).
  void Unpublish(const uint8_t* buffer, int32_t size);
  bool HasFrame();

 private:
  std::mutex frameMutex_;
  const uint8_t* frame_ = nullptr;
  int32_t frameBytes_ = 0;
};

// The state of this loaded library.
FilterState& ProcessFilterState();

}  // namespace cordavex::filter
