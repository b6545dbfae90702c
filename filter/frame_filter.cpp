#include "filter/frame_filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "filter/frame_transform.h"

namespace cordavex::filter {

namespace {

constexpr int64_t Align4(int64_t value) { return (value + 3) & ~int64_t{3}; }

// Rows of an uncompressed RGB bitmap start on 4-byte boundaries.
constexpr int64_t BitmapStride(int64_t width, int64_t bitsPerPixel) {
  return (width * bitsPerPixel + 31) / 32 * 4;
}

constexpr int64_t kHundredNanosecondsPerSecond = 10'000'000;

}  // namespace

FrameFilter::~FrameFilter() { Stop(); }

HRESULT FrameFilter::CheckInputType(const MediaType& in) {
  const std::optional<VideoInfoHeader> info = ReadVideoInfo(in);
  if (!info) return E_INVALIDARG;
  const SubtypeRow& row = FindSubtype(in.subType);
  formatCode_ = row.formatCode;
  state_.formatCode = row.formatCode;
  if (row.handling == Handling::kConvert) {
    inputKind_ = row.inputKind;
    state_.inputKind = row.inputKind;
  }
  convert_ = row.handling == Handling::kConvert ? 1 : 0;
  passThrough_ = row.handling == Handling::kPassThrough ? 1 : 0;
  if (in.majorType != kMediaTypeVideo) return E_FAIL;
  const BitmapInfoHeader& bitmap = info->bmiHeader;
  if (row.bitsPerPixel != 0 && bitmap.biBitCount != row.bitsPerPixel) return E_FAIL;
  if (bitmap.biBitCount > 32) return E_FAIL;

  // Sizes the transform can take: positive, not beyond the largest side, and
  // whole pixel pairs (whole 2 × 2 blocks for 4:2:0) for the YUV layouts.
  const int32_t width = bitmap.biWidth;
  const int32_t height = bitmap.biHeight;
  if (width <= 0 || width > kMaxFrameSide || height == 0 || height > kMaxFrameSide ||
      height < -kMaxFrameSide) {
    return E_FAIL;
  }
  if (convert_ && width % 2 != 0) return E_FAIL;
  if ((row.inputKind == kInputYV12 || row.inputKind == kInputYuv420) && height % 2 != 0) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT FrameFilter::CheckTransform(const MediaType& in, const MediaType& out) {
  if (Failed(CheckInputType(in))) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!convert_ && out.subType != in.subType) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT FrameFilter::SetInputType(const MediaType& in) {
  const HRESULT hr = CheckInputType(in);
  if (Failed(hr)) return hr;
  input_ = in;
  bitsPerPixel_ = 0;
  outputWidth_ = outputHeight_ = 0;  // until the output is negotiated again
  return S_OK;
}

HRESULT FrameFilter::GetMediaType(int32_t position, MediaType* out) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  if (out == nullptr) return E_POINTER;
  if (!input_) return E_UNEXPECTED;
  // The input type as it was checked, so the flags are its own.
  if (Failed(CheckInputType(*input_))) return E_UNEXPECTED;
  const VideoInfoHeader info = *ReadVideoInfo(*input_);
  const int32_t w = info.bmiHeader.biWidth;
  const int32_t h = std::abs(info.bmiHeader.biHeight);

  limitX_ = state_.limitX;
  limitY_ = state_.limitY;
  int32_t lx = limitX_, ly = limitY_;
  int32_t rotation = state_.rotation;
  crop_ = 0;
  if (!passThrough_) {
    if (state_.autoDetectRotate == 1) {
      const bool wideScreen = state_.screenX >= state_.screenY;
      rotation = (wideScreen && w < h) || (!wideScreen && w > h) ? 1 : 0;
      state_.rotation = rotation;
    }
    // Limits ordered like the frame.
    if ((h >= w && lx > ly) || (w > h && lx < ly)) std::swap(lx, ly);
    // Limits of zero or less would make an empty frame: such limits crop nothing.
    if (lx > 0 && ly > 0 && w > lx && h > ly && (rotation == 0 || rotation == 1)) crop_ = 1;
  }

  // A passed-through frame is copied as it comes, never turned, so it keeps
  // its size whatever the rotation.
  int32_t outW = w, outH = h;
  if (crop_) {
    outW = rotation == 0 ? lx : ly;
    outH = rotation == 0 ? ly : lx;
  } else if (rotation != 0 && !passThrough_) {
    outW = h;
    outH = w;
  }
  bitsPerPixel_ = convert_ ? 24 : info.bmiHeader.biBitCount;
  const int64_t sampleSize = convert_ ? Align4(outW) * outH * 3
                                      : int64_t{bitsPerPixel_} * outH * Align4(outW) / 8;
  if (sampleSize > std::numeric_limits<int32_t>::max()) return E_FAIL;

  MediaType type;
  VideoInfoHeader header = info;
  if (convert_) {
    type.majorType = kMediaTypeVideo;
    type.subType = kSubtypeRGB24;
    type.fixedSizeSamples = true;
    type.temporalCompression = false;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = kBiRgb;
  } else {
    type = *input_;
  }
  type.sampleSize = static_cast<uint32_t>(sampleSize);
  header.rcSource = {};
  header.rcTarget = {};
  header.bmiHeader.biWidth = outW;
  header.bmiHeader.biHeight = info.bmiHeader.biHeight < 0 ? -outH : outH;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biSize = sizeof(BitmapInfoHeader);
  header.bmiHeader.biXPelsPerMeter = 0;
  header.bmiHeader.biYPelsPerMeter = 0;
  header.bmiHeader.biSizeImage = static_cast<uint32_t>(sampleSize);
  // Bits per second at the input's frame rate.
  const int64_t bitRate = info.AvgTimePerFrame > 0
                              ? sampleSize * 8 * kHundredNanosecondsPerSecond / info.AvgTimePerFrame
                              : 0;
  header.dwBitRate = static_cast<uint32_t>(std::min<int64_t>(bitRate, std::numeric_limits<uint32_t>::max()));
  WriteVideoInfo(&type, header);
  *out = std::move(type);

  sourceWidth_ = w;
  sourceHeight_ = h;
  outputWidth_ = outW;
  outputHeight_ = outH;
  state_.sourceWidth = w;
  state_.sourceHeight = h;
  state_.outputWidth = outW;
  state_.outputHeight = outH;
  state_.bitsPerPixel = bitsPerPixel_;
  return S_OK;
}

int64_t FrameFilter::OutputFrameBytes() const {
  const int64_t pixels = int64_t{outputWidth_} * outputHeight_;
  if (convert_) return pixels * 3;
  if (!passThrough_) return pixels * 2;
  return BitmapStride(outputWidth_, bitsPerPixel_) * outputHeight_;
}

HRESULT FrameFilter::DecideBufferSize(MemoryAllocator* allocator, AllocatorProperties* request) {
  if (allocator == nullptr || request == nullptr) return E_POINTER;
  if (!input_ || outputWidth_ <= 0 || outputHeight_ <= 0) return E_UNEXPECTED;
  int64_t size;
  if (convert_) {
    size = Align4(outputWidth_) * outputHeight_ * 3;
  } else if (crop_) {
    size = int64_t{outputHeight_} * bitsPerPixel_ * Align4(outputWidth_) / 8;
  } else {
    size = ReadVideoInfo(*input_)->bmiHeader.biSizeImage;
  }
  // Never less than the transform writes (an input claiming a small or zero
  // image size must not shrink the output buffer).
  size = std::max(size, OutputFrameBytes());
  if (size > std::numeric_limits<int32_t>::max()) return E_FAIL;
  request->buffers = 1;
  request->bufferSize = static_cast<int32_t>(size);
  AllocatorProperties actual;
  const HRESULT hr = allocator->SetProperties(*request, &actual);
  if (Failed(hr)) return hr;
  if (actual.buffers < 1 || actual.bufferSize < size) return E_FAIL;
  return S_OK;
}

HRESULT FrameFilter::Transform(const MediaSample& in, MediaSample* out) {
  if (out == nullptr) return E_POINTER;
  if (state_.transformOn == 0) return S_OK;
  if (!input_ || outputWidth_ <= 0 || outputHeight_ <= 0) return E_UNEXPECTED;
  if (in.buffer == nullptr || out->buffer == nullptr) return E_POINTER;
  if (in.actualLength < 0 || in.actualLength > in.size || out->size < 0) return E_FAIL;

  const int32_t rotation = NormalisedRotation(state_.rotation);
  const int64_t outputBytes = OutputFrameBytes();
  int32_t written = 0;
  auto frameLock = state_.LockFrame();
  if (convert_) {
    if (YuvFrameBytes(inputKind_, sourceWidth_, sourceHeight_) > in.actualLength) return E_FAIL;
    if (outputBytes > out->size) return E_FAIL;
    const Window window = CentredWindow(sourceWidth_, sourceHeight_, outputWidth_, outputHeight_, rotation);
    ConvertYuvToRgb24(in.buffer, inputKind_, sourceWidth_, sourceHeight_, window, out->buffer);
    written = static_cast<int32_t>(outputBytes);
  } else if (crop_ || (rotation != 0 && !passThrough_)) {
    // A 16-bit frame (RGB 5-6-5): the centred window, turned; without a crop
    // the window is the whole frame.
    const int64_t stride = BitmapStride(sourceWidth_, 16);
    if (stride * sourceHeight_ > in.actualLength) return E_FAIL;
    if (outputBytes > out->size) return E_FAIL;
    const Window window = CentredWindow(sourceWidth_, sourceHeight_, outputWidth_, outputHeight_, rotation);
    Place16(in.buffer, static_cast<int32_t>(stride), window, out->buffer);
    written = static_cast<int32_t>(outputBytes);
  } else {
    written = std::min(in.actualLength, out->size);
    std::memcpy(out->buffer, in.buffer, static_cast<size_t>(written));
  }
  state_.Publish(out->buffer, written);
  lastBuffer_ = out->buffer;
  lastBufferSize_ = out->size;
  frameLock.unlock();

  out->timeValid = in.timeValid;
  out->start = in.start;
  out->stop = in.stop;
  out->mediaTimeValid = in.mediaTimeValid;
  out->mediaStart = in.mediaStart;
  out->mediaStop = in.mediaStop;
  out->syncPoint = in.syncPoint;
  out->discontinuity = in.discontinuity;
  out->preroll = in.preroll;
  // The bytes this output holds (the input's length would overstate a
  // cropped or converted frame, and could exceed the output buffer).
  out->actualLength = written;
  return S_OK;
}

void FrameFilter::Stop() {
  if (lastBuffer_ != nullptr) state_.Unpublish(lastBuffer_, lastBufferSize_);
  lastBuffer_ = nullptr;
  lastBufferSize_ = 0;
}

HRESULT FrameFilter::SetRotation(const int32_t* rotation) {
  if (rotation == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  state_.rotation = *rotation;
  return S_OK;
}

}  // namespace cordavex::filter
