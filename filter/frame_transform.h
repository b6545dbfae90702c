// The camera filter's pixel work: which window of the input frame lands in the
// output, and the three ways it gets there — YUV to 24-bit RGB, a 16-bit copy
// cropped and turned, and a plain copy (in the filter).
//
// Rows are top-down and tightly packed: the output is width × bytes per pixel
// per row, as the recognition engine reads frames. Callers check the buffer
// sizes (FrameBytes) first; these routines trust them. No allocation; any
// number of threads on distinct buffers.
#pragma once

#include <cstdint>

namespace cordavex::filter {

// The input window converted, and where it goes. Rotation 0 places input
// (oy + j, ox + i) at output (j, i); rotation 1 (90° anticlockwise) at
// (outputHeight − 1 − i, j); rotation 2 (90° clockwise) at (i, outputWidth − 1 − j).
struct Window {
  int32_t ox = 0, oy = 0;            // first input column and row
  int32_t columns = 0, rows = 0;     // extent in the input
  int32_t outputWidth = 0, outputHeight = 0;
  int32_t rotation = 0;              // 0, 1 or 2
};

// 0 stays 0, 1 stays 1, anything else turns clockwise (2).
int32_t NormalisedRotation(int32_t rotation);

// The centred window: offsets are half the size difference rounded up to an
// even number (so YUV pixel pairs and 4:2:0 chroma rows stay whole), the
// output's extents exchanged when turned; then clipped so that every placed
// pixel lies inside both frames.
Window CentredWindow(int32_t sourceWidth, int32_t sourceHeight, int32_t outputWidth,
                     int32_t outputHeight, int32_t rotation);

// Bytes a whole input frame of the YUV layout occupies (inputKind values of
// media_type.h), or -1 for an unknown layout.
int64_t YuvFrameBytes(int32_t inputKind, int32_t width, int32_t height);

// YUV (the layout's inputKind) to blue, green, red bytes:
//   blue  = (256·Y + 454·(Cb − 128)) >> 8
//   green = (256·Y − 183·(Cr − 128) − 88·(Cb − 128)) >> 8
//   red   = (256·Y + 359·(Cr − 128)) >> 8
// arithmetic shifts, clamped to 0..255; one chroma pair serves two pixels of a
// row (and two rows for 4:2:0). Only whole pixel pairs of the window are
// converted. `in` holds a frame of sourceWidth × sourceHeight.
void ConvertYuvToRgb24(const uint8_t* in, int32_t inputKind, int32_t sourceWidth,
                       int32_t sourceHeight, const Window& window, uint8_t* out);

// Copies the window of a 16-bit frame, with rows `inputStride` bytes apart,
// into the output, turned as the window says.
void Place16(const uint8_t* in, int32_t inputStride, const Window& window, uint8_t* out);

}  // namespace cordavex::filter
