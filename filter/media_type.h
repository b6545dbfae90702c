// Our model of the DirectShow media types and samples the camera filter
// negotiates and transforms: the media type with its video-info format block,
// the sample with its buffer and timing flags, the allocator's properties, and
// the table of input subtypes the filter knows.
//
// Plain values. A MediaSample points into a buffer its owner (the graph's
// allocator, or a test) keeps alive for the call it is passed to.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "filter/guid.h"

namespace cordavex::filter {

// The platform's bitmap and video-info headers, field for field.
struct BitmapInfoHeader {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // negative: top-down rows
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct VideoInfoHeader {
  Rect rcSource;
  Rect rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  int64_t AvgTimePerFrame = 0;  // 100 ns units
  BitmapInfoHeader bmiHeader;
};
static_assert(sizeof(VideoInfoHeader) == 88);

constexpr uint32_t kBiRgb = 0;  // uncompressed

struct MediaType {
  Guid majorType;
  Guid subType;
  bool fixedSizeSamples = false;
  bool temporalCompression = false;
  uint32_t sampleSize = 0;
  Guid formatType;
  std::vector<uint8_t> format;  // the format block; a VideoInfoHeader for video-info
};

// The format block as a video-info header, or nullopt when the format type is
// not video-info or the block is too short to hold one.
std::optional<VideoInfoHeader> ReadVideoInfo(const MediaType& type);
void WriteVideoInfo(MediaType* type, const VideoInfoHeader& header);

struct MediaSample {
  uint8_t* buffer = nullptr;
  int32_t size = 0;          // bytes the buffer holds
  int32_t actualLength = 0;  // bytes of it in use
  bool timeValid = false;
  int64_t start = 0, stop = 0;
  bool mediaTimeValid = false;
  int64_t mediaStart = 0, mediaStop = 0;
  bool syncPoint = false;
  bool discontinuity = false;
  bool preroll = false;
};

struct AllocatorProperties {
  int32_t buffers = 0;
  int32_t bufferSize = 0;
  int32_t alignment = 0;
  int32_t prefix = 0;
};

// How the filter treats an input subtype.
enum class Handling { kConvert, kCropAndTurn, kPassThrough };

// The filter's input subtypes, one row each.
struct SubtypeRow {
  Guid subtype;
  int32_t formatCode;    // published in FrameFormat
  int32_t inputKind;     // YUV layout when converting (below), else 0
  Handling handling;
  uint16_t bitsPerPixel;  // required bit depth, 0 = any
};

// inputKind values.
constexpr int32_t kInputYUY2 = 3;
constexpr int32_t kInputUYVY = 5;
constexpr int32_t kInputYV12 = 7;
constexpr int32_t kInputYuv420 = 8;  // luma plane, then interleaved Cb Cr pairs

constexpr int32_t kFormatRGB565 = 13;
constexpr int32_t kFormatOther = 16;

// The row of a subtype; the "anything else" row (format code 16, passed
// through) for a subtype not in the table.
const SubtypeRow& FindSubtype(const Guid& subtype);

}  // namespace cordavex::filter
