#include "camera/yuv_convert.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace cordavex::camera {

namespace {

// Full-range BT.601, the inverse of the filter's YUV to RGB conversion, in
// fixed point with 16 fraction bits; + kHalf rounds to nearest.
constexpr int32_t kOne = 1 << 16;
constexpr int32_t kHalf = kOne / 2;

uint8_t Clamp(int32_t value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

struct Yuv {
  int32_t y, u, v;
};

Yuv FromRgb(int32_t r, int32_t g, int32_t b) {
  // Y = 0.299 R + 0.587 G + 0.114 B
  const int32_t y = (19595 * r + 38470 * g + 7471 * b + kHalf) >> 16;
  // Cb = 128 + 0.564 (B − Y), Cr = 128 + 0.713 (R − Y); the products of a
  // negative difference shift arithmetically, which rounds towards −∞ as the
  // + kHalf expects.
  const int32_t u = 128 + ((36962 * (b - y) + kHalf) >> 16);
  const int32_t v = 128 + ((46727 * (r - y) + kHalf) >> 16);
  return {y, u, v};
}

}  // namespace

void PlanarToYuy2(const PlanarYuv& in, uint8_t* out) {
  const bool fullWidthChroma = in.chromaWidth >= in.width;
  for (int32_t row = 0; row < in.height; ++row) {
    const uint8_t* luma = in.y + static_cast<size_t>(row) * in.width;
    // The chroma row covering this luma row (one per two rows for 4:2:0).
    const int32_t chromaRow =
        in.chromaHeight > 0 ? static_cast<int32_t>(int64_t{row} * in.chromaHeight / in.height) : 0;
    const uint8_t* u = in.u != nullptr ? in.u + static_cast<size_t>(chromaRow) * in.chromaWidth : nullptr;
    const uint8_t* v = in.v != nullptr ? in.v + static_cast<size_t>(chromaRow) * in.chromaWidth : nullptr;
    uint8_t* o = out + static_cast<size_t>(row) * in.width * 2;
    for (int32_t pair = 0; pair < in.width / 2; ++pair) {
      uint8_t cb = 128, cr = 128;
      if (u != nullptr && v != nullptr) {
        if (fullWidthChroma) {
          cb = static_cast<uint8_t>((u[2 * pair] + u[2 * pair + 1] + 1) / 2);
          cr = static_cast<uint8_t>((v[2 * pair] + v[2 * pair + 1] + 1) / 2);
        } else {
          cb = u[pair];
          cr = v[pair];
        }
      }
      o[4 * pair] = luma[2 * pair];
      o[4 * pair + 1] = cb;
      o[4 * pair + 2] = luma[2 * pair + 1];
      o[4 * pair + 3] = cr;
    }
  }
}

void FitPictureToYuy2(const Picture& picture, int32_t frameWidth, int32_t frameHeight,
                      std::span<uint8_t> out) {
  // Mid-grey margins.
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    out[i] = 128;
    out[i + 1] = 128;
  }
  if (picture.width <= 0 || picture.height <= 0 || frameWidth <= 0 || frameHeight <= 0) return;
  // The scaled size: the picture's proportions, as large as the frame allows.
  int64_t shownWidth = frameWidth;
  int64_t shownHeight = int64_t{picture.height} * frameWidth / picture.width;
  if (shownHeight > frameHeight) {
    shownHeight = frameHeight;
    shownWidth = int64_t{picture.width} * frameHeight / picture.height;
  }
  shownWidth = std::max<int64_t>(shownWidth, 1);
  shownHeight = std::max<int64_t>(shownHeight, 1);
  const int64_t left = (frameWidth - shownWidth) / 2;
  const int64_t top = (frameHeight - shownHeight) / 2;

  const int32_t bytesPerPixel = picture.layout == PictureLayout::kGrey   ? 1
                                : picture.layout == PictureLayout::kBgr ? 3
                                                                        : 4;
  std::vector<Yuv> row(static_cast<size_t>(frameWidth), Yuv{128, 128, 128});
  for (int64_t y = 0; y < shownHeight; ++y) {
    // The picture rows this output row covers: at least one.
    const int64_t y0 = y * picture.height / shownHeight;
    const int64_t y1 = std::max(y0 + 1, (y + 1) * picture.height / shownHeight);
    for (int64_t x = 0; x < shownWidth; ++x) {
      const int64_t x0 = x * picture.width / shownWidth;
      const int64_t x1 = std::max(x0 + 1, (x + 1) * picture.width / shownWidth);
      int64_t r = 0, g = 0, b = 0;
      for (int64_t sy = y0; sy < y1; ++sy) {
        const uint8_t* p = picture.pixels + sy * picture.stride + x0 * bytesPerPixel;
        for (int64_t sx = x0; sx < x1; ++sx, p += bytesPerPixel) {
          switch (picture.layout) {
            case PictureLayout::kGrey:
              r += p[0];
              g += p[0];
              b += p[0];
              break;
            case PictureLayout::kBgr:
              b += p[0];
              g += p[1];
              r += p[2];
              break;
            case PictureLayout::kRgba:
              r += p[0];
              g += p[1];
              b += p[2];
              break;
          }
        }
      }
      const int64_t count = (y1 - y0) * (x1 - x0);
      row[static_cast<size_t>(left + x)] =
          FromRgb(static_cast<int32_t>(r / count), static_cast<int32_t>(g / count),
                  static_cast<int32_t>(b / count));
    }
    uint8_t* o = out.data() + static_cast<size_t>(top + y) * frameWidth * 2;
    for (int32_t pair = 0; pair < frameWidth / 2; ++pair) {
      const Yuv& a = row[static_cast<size_t>(2 * pair)];
      const Yuv& c = row[static_cast<size_t>(2 * pair + 1)];
      o[4 * pair] = Clamp(a.y);
      o[4 * pair + 1] = Clamp((a.u + c.u + 1) / 2);
      o[4 * pair + 2] = Clamp(c.y);
      o[4 * pair + 3] = Clamp((a.v + c.v + 1) / 2);
    }
  }
}

}  // namespace cordavex::camera
