// Pixel conversions into the YUY2 frames the sources deliver: planar YUV of
// any common subsampling, and still pictures (grey, blue-green-red, RGBA)
// fitted into a frame of a given size.
//
// Plain functions on caller buffers; callers check sizes first. Any number of
// threads on distinct buffers.
#pragma once

#include <cstdint>
#include <span>

namespace cordavex::camera {

// A planar YUV picture: a luma plane of width × height bytes and two chroma
// planes of chromaWidth × chromaHeight (null for mono: chroma 128).
struct PlanarYuv {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int32_t width = 0, height = 0;
  int32_t chromaWidth = 0, chromaHeight = 0;
};

// To YUY2 of the same size (even width). Chroma is taken from the chroma
// sample that covers each pixel pair; where a chroma plane is as wide as the
// luma, the pair's two samples are averaged.
void PlanarToYuy2(const PlanarYuv& in, uint8_t* out);

// A still picture in one of these layouts.
enum class PictureLayout { kGrey, kBgr, kRgba };

struct Picture {
  const uint8_t* pixels = nullptr;
  int32_t width = 0, height = 0;
  int32_t stride = 0;  // bytes from one row to the next
  PictureLayout layout = PictureLayout::kGrey;
};

// Fits the picture into a frameWidth × frameHeight YUY2 frame (even width) as
// a camera looking at it would see it: scaled to fill the frame's width or
// height with its proportions kept (each output pixel the mean of the
// picture's pixels it covers when shrinking, the nearest one when enlarging),
// centred, the margins mid-grey.
void FitPictureToYuy2(const Picture& picture, int32_t frameWidth, int32_t frameHeight,
                      std::span<uint8_t> out);

}  // namespace cordavex::camera
