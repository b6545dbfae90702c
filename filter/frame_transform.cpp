#include "filter/frame_transform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "filter/media_type.h"

namespace cordavex::filter {

namespace {

// Coefficients of the conversion, scaled by 256.
constexpr int32_t kBlueFromCb = 454;
constexpr int32_t kGreenFromCr = 183;
constexpr int32_t kGreenFromCb = 88;
constexpr int32_t kRedFromCr = 359;

// Clamping to 0..255 by table: the shifted sums lie in -227..482 (Y and the
// chroma terms at their extremes), so an offset of 256 keeps every index inside.
struct ClampTable {
  static constexpr int32_t kOffset = 256;
  uint8_t values[768];
  constexpr ClampTable() : values() {
    for (int32_t i = 0; i < 768; ++i) {
      const int32_t v = i - kOffset;
      values[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
};
constexpr ClampTable kClamp;

inline uint8_t Clamp(int32_t value) { return kClamp.values[value + ClampTable::kOffset]; }

// Where the window's first pixel goes and how far a step along an input row
// (column step) and down the input (row step) moves in the output, in bytes.
struct Steps {
  ptrdiff_t origin, column, row;
};

Steps PlacementSteps(const Window& w, ptrdiff_t pixelBytes) {
  const ptrdiff_t outRow = ptrdiff_t{w.outputWidth} * pixelBytes;
  switch (w.rotation) {
    case 1: return {ptrdiff_t{w.outputHeight - 1} * outRow, -outRow, pixelBytes};
    case 2: return {ptrdiff_t{w.outputWidth - 1} * pixelBytes, outRow, -pixelBytes};
    default: return {0, pixelBytes, outRow};
  }
}

// One input row's samples: luma bytes `LumaStep` apart, one Cb and one Cr per
// pixel pair, `ChromaStep` apart.
struct RowSamples {
  const uint8_t* luma;
  const uint8_t* cb;
  const uint8_t* cr;
};

template <ptrdiff_t LumaStep, ptrdiff_t ChromaStep>
void ConvertRow(const RowSamples& s, int32_t pairs, uint8_t* out, ptrdiff_t step) {
  for (int32_t i = 0; i < pairs; ++i) {
    const int32_t db = s.cb[i * ChromaStep] - 128;
    const int32_t dr = s.cr[i * ChromaStep] - 128;
    const int32_t blue = kBlueFromCb * db;
    const int32_t green = -kGreenFromCr * dr - kGreenFromCb * db;
    const int32_t red = kRedFromCr * dr;
    const int32_t y0 = s.luma[(2 * i) * LumaStep] * 256;
    const int32_t y1 = s.luma[(2 * i + 1) * LumaStep] * 256;
    uint8_t* p0 = out + (2 * i) * step;
    uint8_t* p1 = p0 + step;
    p0[0] = Clamp((y0 + blue) >> 8);
    p0[1] = Clamp((y0 + green) >> 8);
    p0[2] = Clamp((y0 + red) >> 8);
    p1[0] = Clamp((y1 + blue) >> 8);
    p1[1] = Clamp((y1 + green) >> 8);
    p1[2] = Clamp((y1 + red) >> 8);
  }
}

}  // namespace

int32_t NormalisedRotation(int32_t rotation) { return rotation == 0 || rotation == 1 ? rotation : 2; }

Window CentredWindow(int32_t sourceWidth, int32_t sourceHeight, int32_t outputWidth,
                     int32_t outputHeight, int32_t rotation) {
  Window w;
  w.rotation = NormalisedRotation(rotation);
  w.outputWidth = outputWidth;
  w.outputHeight = outputHeight;
  const int32_t spanColumns = w.rotation == 0 ? outputWidth : outputHeight;
  const int32_t spanRows = w.rotation == 0 ? outputHeight : outputWidth;
  auto offset = [](int32_t difference) {
    if (difference <= 0) return 0;
    const int32_t half = difference / 2;
    return half + (half & 1);  // rounded up to even
  };
  w.ox = offset(sourceWidth - spanColumns);
  w.oy = offset(sourceHeight - spanRows);
  w.columns = std::max(0, std::min(spanColumns, sourceWidth - w.ox));
  w.rows = std::max(0, std::min(spanRows, sourceHeight - w.oy));
  return w;
}

int64_t YuvFrameBytes(int32_t inputKind, int32_t width, int32_t height) {
  const int64_t w = width, h = height;
  switch (inputKind) {
    case kInputYUY2:
    case kInputUYVY: return w * h * 2;
    case kInputYV12: return w * h + 2 * (w / 2) * (h / 2);
    case kInputYuv420: return w * h + (h / 2) * (w / 2) * 2;
    default: return -1;
  }
}

void ConvertYuvToRgb24(const uint8_t* in, int32_t inputKind, int32_t sourceWidth,
                       int32_t sourceHeight, const Window& window, uint8_t* out) {
  const Steps steps = PlacementSteps(window, 3);
  const int32_t pairs = window.columns / 2;
  const auto width = static_cast<size_t>(sourceWidth);
  const size_t lumaPlane = width * static_cast<size_t>(sourceHeight);
  const size_t chromaPlane = (width / 2) * static_cast<size_t>(sourceHeight / 2);
  const auto ox = static_cast<size_t>(window.ox);
  for (int32_t j = 0; j < window.rows; ++j) {
    const auto y = static_cast<size_t>(window.oy + j);
    uint8_t* rowOut = out + steps.origin + j * steps.row;
    switch (inputKind) {
      case kInputYUY2: {  // Y0 U Y1 V
        const uint8_t* row = in + y * width * 2 + ox * 2;
        ConvertRow<2, 4>({row, row + 1, row + 3}, pairs, rowOut, steps.column);
        break;
      }
      case kInputUYVY: {  // U Y0 V Y1
        const uint8_t* row = in + y * width * 2 + ox * 2;
        ConvertRow<2, 4>({row + 1, row, row + 2}, pairs, rowOut, steps.column);
        break;
      }
      case kInputYV12: {  // Y plane, then the plane read as Cb, then the one read as Cr
        const size_t chroma = (y / 2) * (width / 2) + ox / 2;
        const uint8_t* cb = in + lumaPlane + chroma;
        ConvertRow<1, 1>({in + y * width + ox, cb, cb + chromaPlane}, pairs, rowOut, steps.column);
        break;
      }
      case kInputYuv420: {  // Y plane, then Cb Cr pairs
        const uint8_t* cb = in + lumaPlane + (y / 2) * width + ox;
        ConvertRow<1, 2>({in + y * width + ox, cb, cb + 1}, pairs, rowOut, steps.column);
        break;
      }
      default:
        return;
    }
  }
}

void Place16(const uint8_t* in, int32_t inputStride, const Window& window, uint8_t* out) {
  const Steps steps = PlacementSteps(window, 2);
  for (int32_t j = 0; j < window.rows; ++j) {
    const uint8_t* row = in + static_cast<size_t>(window.oy + j) * static_cast<size_t>(inputStride) +
                         static_cast<size_t>(window.ox) * 2;
    uint8_t* rowOut = out + steps.origin + j * steps.row;
    if (steps.column == 2) {
      std::memcpy(rowOut, row, static_cast<size_t>(window.columns) * 2);
      continue;
    }
    for (int32_t i = 0; i < window.columns; ++i) {
      rowOut[i * steps.column] = row[2 * i];
      rowOut[i * steps.column + 1] = row[2 * i + 1];
    }
  }
}

}  // namespace cordavex::filter
