#include "filter/filter_state.h"

#include <cstring>
#include <functional>

namespace cordavex::filter {

int32_t FilterState::SetAutoDetectRotate(int32_t flag) {
  const auto low = static_cast<uint8_t>(flag);
  autoDetectRotate = low;
  return low;
}

int32_t FilterState::SetGlobalRotate(int32_t value) {
  rotation = value;
  return value;
}

int32_t FilterState::PreviewStartStop(int32_t flag) {
  const auto low = static_cast<uint8_t>(flag);
  transformOn = low;
  return low;
}

int32_t FilterState::SetScreenXY(int32_t x, int32_t y) {
  screenX = x;
  screenY = y;
  return y;
}

int32_t FilterState::SetRxy(int32_t x, int32_t y) {
  limitX = x;
  limitY = y;
  return y;
}

FrameFormat* FilterState::GetVideoFormat(FrameFormat* format) const {
  if (format == nullptr) return format;
  format->sourceWidth = sourceWidth;
  format->sourceHeight = sourceHeight;
  format->formatCode = formatCode;
  format->bitsPerPixel = bitsPerPixel;
  format->outputWidth = outputWidth;
  format->outputHeight = outputHeight;
  format->rotation = rotation;
  return format;
}

void* FilterState::GetVideoBuffer(void* destination, int32_t size) {
  if (destination == nullptr || size <= 0) return destination;
  std::lock_guard lock(frameMutex_);
  if (frame_ == nullptr) return destination;
  const int32_t bytes = size < frameBytes_ ? size : frameBytes_;
  std::memcpy(destination, frame_, static_cast<size_t>(bytes));
  return destination;
}

void FilterState::Unpublish(const uint8_t* buffer, int32_t size) {
  std::lock_guard lock(frameMutex_);
  // std::less gives a total order even for pointers into different buffers.
  const std::less<const uint8_t*> before;
  if (frame_ != nullptr && buffer != nullptr && !before(frame_, buffer) &&
      before(frame_, buffer + size)) {
    frame_ = nullptr;
    frameBytes_ = 0;
  }
}

bool FilterState::HasFrame() {
  std::lock_guard lock(frameMutex_);
  return frame_ != nullptr;
}

FilterState& ProcessFilterState() {
  static FilterState state;
  return state;
}

}  // namespace cordavex::filter
