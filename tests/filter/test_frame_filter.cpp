// The camera filter's logic: input checks, output negotiation, the transform
// paths against an independent per-pixel reference, the exports' state, and
// the refusal of hostile media types and samples.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <cmath>
#include <random>
#include <vector>

#include "filter/filter_state.h"
#include "filter/frame_filter.h"
#include "filter/frame_transform.h"
#include "filter/media_fixture.h"

namespace cordavex::filter {
namespace {

using test::OwnedSample;
using test::TestAllocator;
using test::VideoType;

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

class FrameFilterTest : public ::testing::Test {
 protected:
  // Sets the input type and negotiates the output; the output type in *out.
  HRESULT Negotiate(const MediaType& in, MediaType* out) {
    const HRESULT hr = filter_.SetInputType(in);
    if (Failed(hr)) return hr;
    return filter_.GetMediaType(0, out);
  }
  // Runs one frame through the transform into a buffer of the negotiated size.
  std::vector<uint8_t> Run(const std::vector<uint8_t>& frame, HRESULT* hr = nullptr) {
    TestAllocator allocator;
    AllocatorProperties request;
    EXPECT_EQ(filter_.DecideBufferSize(&allocator, &request), S_OK);
    OwnedSample in(frame.size());
    in.bytes = frame;
    in.sample.buffer = in.bytes.data();
    out_ = std::make_unique<OwnedSample>(static_cast<size_t>(request.bufferSize), 0xEE);
    const HRESULT result = filter_.Transform(in.sample, &out_->sample);
    if (hr != nullptr) *hr = result;
    EXPECT_TRUE(hr != nullptr || result == S_OK);
    return std::vector<uint8_t>(out_->bytes.begin(), out_->bytes.begin() + out_->sample.actualLength);
  }

  FilterState state_;
  FrameFilter filter_{state_};
  std::unique_ptr<OwnedSample> out_;
};

// --- reference conversion, one pixel at a time ---

struct Yuv {
  int y, cb, cr;
};

Yuv SampleAt(const std::vector<uint8_t>& f, int32_t kind, int w, int h, int x, int y) {
  const size_t luma = static_cast<size_t>(y) * w + x;
  switch (kind) {
    case kInputYUY2: {
      const size_t pair = (static_cast<size_t>(y) * w + (x / 2) * 2) * 2;  // Y0 U Y1 V
      return {f[pair + (x % 2) * 2], f[pair + 1], f[pair + 3]};
    }
    case kInputUYVY: {
      const size_t pair = (static_cast<size_t>(y) * w + (x / 2) * 2) * 2;  // U Y0 V Y1
      return {f[pair + 1 + (x % 2) * 2], f[pair], f[pair + 2]};
    }
    case kInputYV12: {
      const size_t quarter = static_cast<size_t>(w / 2) * (h / 2);
      const size_t c = static_cast<size_t>(w) * h + static_cast<size_t>(y / 2) * (w / 2) + x / 2;
      return {f[luma], f[c], f[c + quarter]};
    }
    default: {  // luma plane, then Cb Cr pairs
      const size_t c = static_cast<size_t>(w) * h + static_cast<size_t>(y / 2) * w + (x / 2) * 2;
      return {f[luma], f[c], f[c + 1]};
    }
  }
}

uint8_t ClampFloor(double v) { return static_cast<uint8_t>(std::clamp(std::floor(v), 0.0, 255.0)); }

std::array<uint8_t, 3> ReferenceBgr(Yuv s) {
  const double db = s.cb - 128, dr = s.cr - 128;
  return {ClampFloor((256.0 * s.y + 454 * db) / 256), ClampFloor((256.0 * s.y - 183 * dr - 88 * db) / 256),
          ClampFloor((256.0 * s.y + 359 * dr) / 256)};
}

// Input (row, column) shown at output (r, c), for a window at (ox, oy).
std::pair<int, int> SourceOf(int r, int c, int outW, int outH, int rotation, int ox, int oy) {
  switch (rotation) {
    case 1: return {oy + c, ox + (outH - 1 - r)};
    case 2: return {oy + (outW - 1 - c), ox + r};
    default: return {oy + r, ox + c};
  }
}

// The bytes of a frame of `kind`.
size_t YuvBytes(int32_t kind, int w, int h) {
  return kind == kInputYUY2 || kind == kInputUYVY ? static_cast<size_t>(w) * h * 2
                                                  : static_cast<size_t>(w) * h * 3 / 2;
}

const Guid& SubtypeOf(int32_t kind) {
  switch (kind) {
    case kInputYUY2: return kSubtypeYUY2;
    case kInputUYVY: return kSubtypeUYVY;
    case kInputYV12: return kSubtypeYV12;
    default: return kSubtypeYuv420;
  }
}

// --- the worked cases ---

TEST_F(FrameFilterTest, Yuy2CameraIsCroppedFromTheCentre) {
  // A grey ramp (Cb = Cr = 128) shows where each output pixel came from.
  constexpr int w = 320, h = 240;
  std::vector<uint8_t> frame(static_cast<size_t>(w) * h * 2);
  auto grey = [](int x, int y) { return static_cast<uint8_t>((x + 7 * y) & 0xFF); };
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      frame[(static_cast<size_t>(y) * w + x) * 2] = grey(x, y);
      frame[(static_cast<size_t>(y) * w + x) * 2 + 1] = 128;
    }
  }
  for (const int rotation : {0, 1}) {
    SCOPED_TRACE(rotation);
    state_.SetGlobalRotate(rotation);
    MediaType out;
    ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, w, h, 16), &out), S_OK);
    FrameFormat format{};
    state_.GetVideoFormat(&format);
    EXPECT_EQ(format.outputWidth, rotation == 0 ? 192 : 144);
    EXPECT_EQ(format.outputHeight, rotation == 0 ? 144 : 192);
    EXPECT_EQ(format.bitsPerPixel, 24);
    EXPECT_EQ(format.formatCode, 9);
    EXPECT_EQ(format.sourceWidth, 320);
    EXPECT_EQ(format.sourceHeight, 240);
    EXPECT_EQ(format.rotation, rotation);
    EXPECT_TRUE(filter_.crop());

    const std::vector<uint8_t> rgb = Run(frame);
    ASSERT_EQ(rgb.size(), 192u * 144 * 3);
    // Output (0, 0) is input row 48, column 64 (rotation 0); turned
    // anticlockwise, the window's top-right corner comes to output (0, 0).
    EXPECT_EQ(rgb[0], rotation == 0 ? grey(64, 48) : grey(64 + 191, 48));
    for (int r = 0; r < format.outputHeight; ++r) {
      for (int c = 0; c < format.outputWidth; ++c) {
        const auto [y, x] = SourceOf(r, c, format.outputWidth, format.outputHeight, rotation, 64, 48);
        const size_t at = (static_cast<size_t>(r) * format.outputWidth + c) * 3;
        ASSERT_EQ(rgb[at], grey(x, y)) << r << "," << c;
        ASSERT_EQ(rgb[at + 1], grey(x, y));
        ASSERT_EQ(rgb[at + 2], grey(x, y));
      }
    }
  }
}

TEST_F(FrameFilterTest, Rgb565CameraWithinTheLimitsIsNotCroppedButTurns) {
  constexpr int w = 176, h = 144;
  const std::vector<uint8_t> frame = RandomBytes(static_cast<size_t>(w) * h * 2, 5);
  state_.SetGlobalRotate(1);
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeRGB565, w, h, 16), &out), S_OK);
  EXPECT_FALSE(filter_.crop());
  EXPECT_EQ(filter_.outputWidth(), 144);
  EXPECT_EQ(filter_.outputHeight(), 176);
  EXPECT_EQ(out.subType, kSubtypeRGB565);
  const std::vector<uint8_t> turned = Run(frame);
  ASSERT_EQ(turned.size(), frame.size());
  // Input (y, x) goes to output (175 - x, y) in a frame 144 pixels wide.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t from = (static_cast<size_t>(y) * w + x) * 2;
      const size_t to = (static_cast<size_t>(w - 1 - x) * h + y) * 2;
      ASSERT_EQ(turned[to], frame[from]);
      ASSERT_EQ(turned[to + 1], frame[from + 1]);
    }
  }

  // Without rotation the frame passes unchanged.
  state_.SetGlobalRotate(0);
  ASSERT_EQ(Negotiate(VideoType(kSubtypeRGB565, w, h, 16), &out), S_OK);
  EXPECT_EQ(filter_.outputWidth(), 176);
  EXPECT_EQ(filter_.outputHeight(), 144);
  EXPECT_EQ(Run(frame), frame);
}

TEST_F(FrameFilterTest, MidGreyStaysMidGreyInEveryLayout) {
  for (const int32_t kind : {kInputYUY2, kInputUYVY, kInputYV12, kInputYuv420}) {
    MediaType out;
    ASSERT_EQ(Negotiate(VideoType(SubtypeOf(kind), 8, 4, kind <= kInputUYVY ? 16 : 12), &out), S_OK);
    const std::vector<uint8_t> rgb = Run(std::vector<uint8_t>(YuvBytes(kind, 8, 4), 128));
    ASSERT_EQ(rgb.size(), 8u * 4 * 3);
    for (uint8_t v : rgb) ASSERT_EQ(v, 128) << kind;
  }
}

// Each layout, turned each way, cropped or not, against the reference.
TEST_F(FrameFilterTest, YuvLayoutsMatchTheReferenceConversion) {
  struct Case {
    int w, h;          // camera
    int lx, ly;        // limits
    int rotation;
    int ox, oy;        // expected window origin
    int outW, outH;
  };
  const Case cases[] = {
      {16, 12, 8, 4, 0, 4, 4, 8, 4},      // crop
      {16, 12, 8, 4, 1, 4, 4, 4, 8},      // crop, turned anticlockwise
      {16, 12, 8, 4, 2, 0, 0, 12, 16},    // no crop with rotation 2: the whole frame, clockwise
      {16, 12, 32, 32, 0, 0, 0, 16, 12},  // smaller than the limits
      {20, 12, 10, 6, 0, 6, 4, 10, 6},    // half differences 5 and 3 round up to 6 and 4
      {12, 16, 4, 8, 0, 4, 4, 4, 8},      // a portrait camera: limits taken as given
      {12, 16, 8, 4, 0, 4, 4, 4, 8},      // limits turned to the frame's orientation
  };
  uint32_t seed = 1;
  for (const int32_t kind : {kInputYUY2, kInputUYVY, kInputYV12, kInputYuv420}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "kind " << kind << " " << c.w << "x" << c.h << " limits "
                                        << c.lx << "x" << c.ly << " rotation " << c.rotation);
      state_.SetRxy(c.lx, c.ly);
      state_.SetGlobalRotate(c.rotation);
      MediaType out;
      ASSERT_EQ(Negotiate(VideoType(SubtypeOf(kind), c.w, c.h, kind <= kInputUYVY ? 16 : 12), &out), S_OK);
      ASSERT_EQ(filter_.outputWidth(), c.outW);
      ASSERT_EQ(filter_.outputHeight(), c.outH);
      const std::vector<uint8_t> frame = RandomBytes(YuvBytes(kind, c.w, c.h), seed++);
      const std::vector<uint8_t> rgb = Run(frame);
      ASSERT_EQ(rgb.size(), static_cast<size_t>(c.outW) * c.outH * 3);
      for (int r = 0; r < c.outH; ++r) {
        for (int col = 0; col < c.outW; ++col) {
          const auto [y, x] = SourceOf(r, col, c.outW, c.outH, c.rotation, c.ox, c.oy);
          const auto expected = ReferenceBgr(SampleAt(frame, kind, c.w, c.h, x, y));
          const size_t at = (static_cast<size_t>(r) * c.outW + col) * 3;
          ASSERT_EQ(rgb[at], expected[0]) << "blue at " << r << "," << col;
          ASSERT_EQ(rgb[at + 1], expected[1]) << "green at " << r << "," << col;
          ASSERT_EQ(rgb[at + 2], expected[2]) << "red at " << r << "," << col;
        }
      }
    }
  }
}

TEST_F(FrameFilterTest, Rgb565CropAndClockwiseTurnMatchTheReference) {
  constexpr int w = 24, h = 20;
  const std::vector<uint8_t> frame = RandomBytes(static_cast<size_t>(w) * h * 2, 9);
  const struct {
    int rotation, ox, oy, outW, outH;
  } cases[] = {{0, 6, 6, 12, 8}, {1, 6, 6, 8, 12}, {2, 0, 0, 20, 24}};
  state_.SetRxy(12, 8);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rotation);
    state_.SetGlobalRotate(c.rotation);
    MediaType out;
    ASSERT_EQ(Negotiate(VideoType(kSubtypeRGB565, w, h, 16), &out), S_OK);
    ASSERT_EQ(filter_.outputWidth(), c.outW);
    ASSERT_EQ(filter_.outputHeight(), c.outH);
    const std::vector<uint8_t> turned = Run(frame);
    ASSERT_EQ(turned.size(), static_cast<size_t>(c.outW) * c.outH * 2);
    for (int r = 0; r < c.outH; ++r) {
      for (int col = 0; col < c.outW; ++col) {
        const auto [y, x] = SourceOf(r, col, c.outW, c.outH, c.rotation, c.ox, c.oy);
        const size_t at = (static_cast<size_t>(r) * c.outW + col) * 2;
        const size_t from = (static_cast<size_t>(y) * w + x) * 2;
        ASSERT_EQ(turned[at], frame[from]) << r << "," << col;
        ASSERT_EQ(turned[at + 1], frame[from + 1]) << r << "," << col;
      }
    }
  }
}

// --- negotiation ---

TEST_F(FrameFilterTest, NegotiationFollowsScreenFrameAndLimits) {
  struct Case {
    const char* what;
    Guid subtype;
    uint16_t bits;
    int w, h;
    int rotation, autoDetect, screenX, screenY;
    int outW, outH, bpp;
    bool crop;
    int rotationAfter;
  };
  const Case cases[] = {
      {"portrait screen turns a landscape camera", kSubtypeYUY2, 16, 320, 240, 0, 1, 240, 320, 144, 192, 24, true, 1},
      {"landscape screen keeps it", kSubtypeYUY2, 16, 320, 240, 1, 1, 320, 240, 192, 144, 24, true, 0},
      {"landscape screen turns a portrait camera", kSubtypeYUY2, 16, 240, 320, 0, 1, 320, 240, 192, 144, 24, true, 1},
      {"portrait camera, limits follow it", kSubtypeYUY2, 16, 240, 320, 0, 0, 0, 0, 144, 192, 24, true, 0},
      {"not taller than the limit", kSubtypeYUY2, 16, 176, 144, 0, 0, 0, 0, 176, 144, 24, false, 0},
      {"rotation 2 never crops", kSubtypeYUY2, 16, 320, 240, 2, 0, 0, 0, 240, 320, 24, false, 2},
      {"RGB 5-6-5 larger than the limits", kSubtypeRGB565, 16, 320, 240, 0, 0, 0, 0, 192, 144, 16, true, 0},
      {"passed through whole, not turned", kSubtypeRGB24, 24, 320, 240, 1, 1, 240, 320, 320, 240, 24, false, 1},
      {"YVYU passed through", kSubtypeYVYU, 16, 320, 240, 0, 0, 0, 0, 320, 240, 16, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FilterState state;
    FrameFilter filter(state);
    state.SetGlobalRotate(c.rotation);
    state.SetAutoDetectRotate(c.autoDetect);
    state.SetScreenXY(c.screenX, c.screenY);
    MediaType out;
    ASSERT_EQ(filter.SetInputType(VideoType(c.subtype, c.w, c.h, c.bits)), S_OK);
    ASSERT_EQ(filter.GetMediaType(0, &out), S_OK);
    FrameFormat format{};
    state.GetVideoFormat(&format);
    EXPECT_EQ(format.outputWidth, c.outW);
    EXPECT_EQ(format.outputHeight, c.outH);
    EXPECT_EQ(format.bitsPerPixel, c.bpp);
    EXPECT_EQ(format.rotation, c.rotationAfter);
    EXPECT_EQ(filter.crop(), c.crop);
  }
}

TEST_F(FrameFilterTest, LimitsOfZeroOrLessCropNothing) {
  state_.SetRxy(0, -144);
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 320, 240, 16), &out), S_OK);
  EXPECT_FALSE(filter_.crop());
  EXPECT_EQ(filter_.outputWidth(), 320);
  EXPECT_EQ(filter_.outputHeight(), 240);
}

TEST_F(FrameFilterTest, OutputMediaTypeDescribesTheOutputFrame) {
  MediaType in = VideoType(kSubtypeYUY2, 320, -240, 16, 666666);  // top-down, 15 frames/s
  MediaType out;
  ASSERT_EQ(Negotiate(in, &out), S_OK);
  EXPECT_EQ(out.majorType, kMediaTypeVideo);
  EXPECT_EQ(out.subType, kSubtypeRGB24);
  EXPECT_EQ(out.formatType, kFormatVideoInfo);
  EXPECT_TRUE(out.fixedSizeSamples);
  EXPECT_FALSE(out.temporalCompression);
  EXPECT_EQ(out.sampleSize, 192u * 144 * 3);
  const auto info = ReadVideoInfo(out);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->rcSource.right, 0);
  EXPECT_EQ(info->rcTarget.bottom, 0);
  EXPECT_EQ(info->bmiHeader.biWidth, 192);
  EXPECT_EQ(info->bmiHeader.biHeight, -144);
  EXPECT_EQ(info->bmiHeader.biBitCount, 24);
  EXPECT_EQ(info->bmiHeader.biCompression, kBiRgb);
  EXPECT_EQ(info->bmiHeader.biPlanes, 1);
  EXPECT_EQ(info->bmiHeader.biSize, 40u);
  EXPECT_EQ(info->bmiHeader.biXPelsPerMeter, 0);
  EXPECT_EQ(info->bmiHeader.biSizeImage, 192u * 144 * 3);
  EXPECT_EQ(info->AvgTimePerFrame, 666666);
  EXPECT_EQ(info->dwBitRate, static_cast<uint32_t>(int64_t{192 * 144 * 3} * 8 * 10000000 / 666666));
  EXPECT_EQ(state_.sourceHeight, 240);

  // A 16-bit crop keeps the camera's type with the new size; widths round up
  // to 4 pixels in the sample size.
  state_.SetRxy(190, 144);
  ASSERT_EQ(Negotiate(VideoType(kSubtypeRGB565, 320, 240, 16), &out), S_OK);
  EXPECT_EQ(out.subType, kSubtypeRGB565);
  EXPECT_EQ(out.sampleSize, 144u * 16 * 192 / 8);
  EXPECT_EQ(ReadVideoInfo(out)->bmiHeader.biWidth, 190);
}

TEST_F(FrameFilterTest, InputChecksAnswerAsTheSystemDefines) {
  auto withFormat = [](MediaType t, Guid formatType, size_t size) {
    t.formatType = formatType;
    t.format.resize(size);
    return t;
  };
  auto withMajor = [](MediaType t, Guid major) {
    t.majorType = major;
    return t;
  };
  const MediaType yuy2 = VideoType(kSubtypeYUY2, 320, 240, 16);
  const struct {
    const char* what;
    MediaType type;
    HRESULT expected;
  } cases[] = {
      {"YUY2", yuy2, S_OK},
      {"UYVY", VideoType(kSubtypeUYVY, 320, 240, 16), S_OK},
      {"YV12", VideoType(kSubtypeYV12, 320, 240, 12), S_OK},
      {"4:2:0 pairs", VideoType(kSubtypeYuv420, 320, 240, 12), S_OK},
      {"RGB 5-6-5", VideoType(kSubtypeRGB565, 175, 143, 16), S_OK},
      {"unknown subtype", VideoType(FourccGuid('M', 'J', 'P', 'G'), 320, 240, 24), S_OK},
      {"not video-info", withFormat(yuy2, kGuidNull, 88), E_INVALIDARG},
      {"format block too short", withFormat(yuy2, kFormatVideoInfo, 87), E_INVALIDARG},
      {"no format block", withFormat(yuy2, kFormatVideoInfo, 0), E_INVALIDARG},
      {"not video", withMajor(yuy2, FourccGuid('a', 'u', 'd', 's')), E_FAIL},
      {"YUY2 at 12 bits", VideoType(kSubtypeYUY2, 320, 240, 12), E_FAIL},
      {"YV12 at 16 bits", VideoType(kSubtypeYV12, 320, 240, 16), E_FAIL},
      {"RGB 5-6-5 at 24 bits", VideoType(kSubtypeRGB565, 320, 240, 24), E_FAIL},
      {"64 bits per pixel", VideoType(kSubtypeRGB32, 320, 240, 64), E_FAIL},
      {"zero width", VideoType(kSubtypeYUY2, 0, 240, 16), E_FAIL},
      {"negative width", VideoType(kSubtypeYUY2, -320, 240, 16), E_FAIL},
      {"zero height", VideoType(kSubtypeYUY2, 320, 0, 16), E_FAIL},
      {"most negative height", VideoType(kSubtypeYUY2, 320, INT_MIN, 16), E_FAIL},
      {"huge width", VideoType(kSubtypeYUY2, 1 << 20, 240, 16), E_FAIL},
      {"huge height", VideoType(kSubtypeRGB24, 320, INT_MAX, 24), E_FAIL},
      {"odd YUY2 width", VideoType(kSubtypeYUY2, 321, 240, 16), E_FAIL},
      {"odd UYVY width", VideoType(kSubtypeUYVY, 3, 2, 16), E_FAIL},
      {"odd YV12 height", VideoType(kSubtypeYV12, 320, 241, 12), E_FAIL},
      {"odd 4:2:0 width", VideoType(kSubtypeYuv420, 319, 240, 12), E_FAIL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(filter_.CheckInputType(c.type), c.expected) << c.what;
    EXPECT_EQ(filter_.SetInputType(c.type), c.expected) << c.what;
  }
}

TEST_F(FrameFilterTest, SubtypesSetTheFormatCode) {
  const struct {
    Guid subtype;
    int32_t formatCode, inputKind;
  } rows[] = {
      {kSubtypeYV12, 9, 7}, {kSubtypeYuv420, 9, 8}, {kSubtypeYVU9, 0, 0},  {kSubtypeY411, 1, 0},
      {kSubtypeY41P, 2, 0}, {kSubtypeYUY2, 9, 3},   {kSubtypeYVYU, 4, 0},  {kSubtypeUYVY, 9, 5},
      {kSubtypeY211, 6, 0}, {kSubtypeRGB1, 10, 0},  {kSubtypeRGB4, 11, 0}, {kSubtypeRGB8, 12, 0},
      {kSubtypeRGB565, 13, 0}, {kSubtypeRGB555, 14, 0}, {kSubtypeRGB32, 15, 0},
      {kSubtypeRGB24, 16, 0},
  };
  for (const auto& row : rows) {
    state_.inputKind = 0;
    filter_.CheckInputType(VideoType(row.subtype, 8, 8, 12));
    EXPECT_EQ(state_.formatCode, row.formatCode) << ToString(row.subtype);
    EXPECT_EQ(state_.inputKind, row.inputKind) << ToString(row.subtype);
  }
}

TEST_F(FrameFilterTest, CheckTransformNeedsTheSameSubtypeUnlessConverting) {
  const MediaType yuy2 = VideoType(kSubtypeYUY2, 320, 240, 16);
  const MediaType rgb565 = VideoType(kSubtypeRGB565, 320, 240, 16);
  const MediaType rgb24 = VideoType(kSubtypeRGB24, 192, 144, 24);
  EXPECT_EQ(filter_.CheckTransform(yuy2, rgb24), S_OK);
  EXPECT_EQ(filter_.CheckTransform(rgb565, rgb565), S_OK);
  EXPECT_EQ(filter_.CheckTransform(rgb565, rgb24), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(filter_.CheckTransform(VideoType(kSubtypeYUY2, 320, 240, 12), rgb24), VFW_E_TYPE_NOT_ACCEPTED);
}

TEST_F(FrameFilterTest, GetMediaTypeOffersOnePosition) {
  MediaType out;
  EXPECT_EQ(filter_.GetMediaType(0, &out), E_UNEXPECTED);  // no input yet
  ASSERT_EQ(filter_.SetInputType(VideoType(kSubtypeYUY2, 320, 240, 16)), S_OK);
  EXPECT_EQ(filter_.GetMediaType(-1, &out), E_INVALIDARG);
  EXPECT_EQ(filter_.GetMediaType(1, &out), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(filter_.GetMediaType(0, nullptr), E_POINTER);
  EXPECT_EQ(filter_.GetMediaType(0, &out), S_OK);
}

TEST_F(FrameFilterTest, BufferSizeIsOneOutputFrame) {
  AllocatorProperties request;
  TestAllocator allocator;
  EXPECT_EQ(filter_.DecideBufferSize(&allocator, &request), E_UNEXPECTED);
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 320, 240, 16), &out), S_OK);
  ASSERT_EQ(filter_.DecideBufferSize(&allocator, &request), S_OK);
  EXPECT_EQ(allocator.asked.buffers, 1);
  EXPECT_EQ(allocator.asked.bufferSize, 192 * 144 * 3);

  TestAllocator stingy;
  stingy.grantSize = 192 * 144 * 3 - 1;
  EXPECT_EQ(filter_.DecideBufferSize(&stingy, &request), E_FAIL);
  TestAllocator none;
  none.grantBuffers = 0;
  EXPECT_EQ(filter_.DecideBufferSize(&none, &request), E_FAIL);
  TestAllocator failing;
  failing.result = E_OUTOFMEMORY;
  EXPECT_EQ(filter_.DecideBufferSize(&failing, &request), E_OUTOFMEMORY);
  EXPECT_EQ(filter_.DecideBufferSize(nullptr, &request), E_POINTER);

  // An uncropped 16-bit turn asks for the input's image size, but never less
  // than the frame it writes, whatever the camera claims.
  state_.SetGlobalRotate(1);
  MediaType lying = VideoType(kSubtypeRGB565, 176, 144, 16);
  auto info = *ReadVideoInfo(lying);
  info.bmiHeader.biSizeImage = 0;
  WriteVideoInfo(&lying, info);
  ASSERT_EQ(Negotiate(lying, &out), S_OK);
  ASSERT_EQ(filter_.DecideBufferSize(&allocator, &request), S_OK);
  EXPECT_EQ(allocator.asked.bufferSize, 176 * 144 * 2);
}

// --- the exports' state and the published frame ---

TEST_F(FrameFilterTest, BeforeAnythingTheExportsGiveNothing) {
  FrameFormat format;
  std::memset(&format, 0x5A, sizeof format);
  EXPECT_EQ(state_.GetVideoFormat(&format), &format);
  const FrameFormat zeros{};
  EXPECT_EQ(std::memcmp(&format, &zeros, sizeof format), 0);
  EXPECT_EQ(state_.GetVideoFormat(nullptr), nullptr);

  std::vector<uint8_t> destination(64, 0x77);
  EXPECT_EQ(state_.GetVideoBuffer(destination.data(), 64), destination.data());
  EXPECT_EQ(destination, std::vector<uint8_t>(64, 0x77));
  EXPECT_EQ(state_.GetVideoBuffer(nullptr, 64), nullptr);
}

TEST_F(FrameFilterTest, SettersStoreAndReturnWhatTheyStored) {
  EXPECT_EQ(state_.SetAutoDetectRotate(0x101), 1);  // the low byte
  EXPECT_EQ(state_.autoDetectRotate, 1);
  EXPECT_EQ(state_.PreviewStartStop(0x100), 0);
  EXPECT_EQ(state_.transformOn, 0);
  EXPECT_EQ(state_.SetGlobalRotate(2), 2);
  EXPECT_EQ(state_.SetScreenXY(240, 320), 320);
  EXPECT_EQ(state_.screenX, 240);
  EXPECT_EQ(state_.SetRxy(160, 120), 120);
  EXPECT_EQ(state_.limitX, 160);
  EXPECT_EQ(state_.limitY, 120);
}

TEST_F(FrameFilterTest, CopiesOfTheFrameNeverReadPastIt) {
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 8, 4, 16), &out), S_OK);
  const std::vector<uint8_t> rgb = Run(std::vector<uint8_t>(8 * 4 * 2, 128));
  ASSERT_EQ(rgb.size(), 96u);
  // Asked for more than the frame holds: the frame, and the rest untouched.
  std::vector<uint8_t> destination(200, 0x11);
  state_.GetVideoBuffer(destination.data(), 200);
  EXPECT_EQ(std::vector<uint8_t>(destination.begin(), destination.begin() + 96), rgb);
  EXPECT_EQ(std::vector<uint8_t>(destination.begin() + 96, destination.end()), std::vector<uint8_t>(104, 0x11));
  std::vector<uint8_t> small(10, 0x11);
  state_.GetVideoBuffer(small.data(), 10);
  EXPECT_EQ(small, std::vector<uint8_t>(10, 128));
  state_.GetVideoBuffer(small.data(), -5);

  // When streaming stops, the buffer is no longer the filter's to show.
  filter_.Stop();
  EXPECT_FALSE(state_.HasFrame());
}

TEST_F(FrameFilterTest, ACopyNeverMixesTwoFrames) {
  // The streaming thread writes frames of alternating grey into one buffer
  // while the preview thread copies: every copy must be one frame or the other.
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 64, 48, 16), &out), S_OK);
  OwnedSample dark(64 * 48 * 2, 40), light(64 * 48 * 2, 200), output(64 * 48 * 3);
  for (size_t i = 1; i < dark.bytes.size(); i += 2) dark.bytes[i] = light.bytes[i] = 128;
  ASSERT_EQ(filter_.Transform(dark.sample, &output.sample), S_OK);
  std::atomic<bool> done{false};
  std::thread streaming([&] {
    for (int frame = 0; frame < 400; ++frame) {
      filter_.Transform(frame % 2 ? light.sample : dark.sample, &output.sample);
    }
    done = true;
  });
  std::vector<uint8_t> copy(64 * 48 * 3);
  int mixed = 0, copies = 0;
  while (!done || copies == 0) {
    state_.GetVideoBuffer(copy.data(), static_cast<int32_t>(copy.size()));
    mixed += std::any_of(copy.begin(), copy.end(), [&](uint8_t v) { return v != copy[0]; });
    ++copies;
  }
  streaming.join();
  EXPECT_EQ(mixed, 0) << "of " << copies << " copies";
}

TEST_F(FrameFilterTest, TransformOffLeavesTheOutputAlone) {
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 8, 4, 16), &out), S_OK);
  state_.PreviewStartStop(0);
  OwnedSample in(64, 128), output(96, 0xEE);
  output.sample.actualLength = 7;
  EXPECT_EQ(filter_.Transform(in.sample, &output.sample), S_OK);
  EXPECT_EQ(output.bytes, std::vector<uint8_t>(96, 0xEE));
  EXPECT_EQ(output.sample.actualLength, 7);
  EXPECT_FALSE(state_.HasFrame());
}

TEST_F(FrameFilterTest, SampleTimesAndFlagsCarryOver) {
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 8, 4, 16), &out), S_OK);
  OwnedSample in(64, 128), output(96);
  in.sample.timeValid = true;
  in.sample.start = 1000;
  in.sample.stop = 667666;
  in.sample.mediaTimeValid = true;
  in.sample.mediaStart = 3;
  in.sample.mediaStop = 4;
  in.sample.syncPoint = true;
  in.sample.discontinuity = true;
  in.sample.preroll = true;
  ASSERT_EQ(filter_.Transform(in.sample, &output.sample), S_OK);
  const MediaSample& o = output.sample;
  EXPECT_TRUE(o.timeValid && o.mediaTimeValid && o.syncPoint && o.discontinuity && o.preroll);
  EXPECT_EQ(o.start, 1000);
  EXPECT_EQ(o.stop, 667666);
  EXPECT_EQ(o.mediaStart, 3);
  EXPECT_EQ(o.mediaStop, 4);
  EXPECT_EQ(o.actualLength, 96);  // the converted frame, not the camera's 64 bytes
}

// --- hostile samples ---

TEST_F(FrameFilterTest, ShortOrInconsistentSamplesAreRefused) {
  OwnedSample in(320 * 240 * 2), output(192 * 144 * 3);
  EXPECT_EQ(filter_.Transform(in.sample, &output.sample), E_UNEXPECTED);  // not negotiated
  MediaType out;
  ASSERT_EQ(Negotiate(VideoType(kSubtypeYUY2, 320, 240, 16), &out), S_OK);

  OwnedSample shortIn(320 * 240 * 2 - 1), shortOut(192 * 144 * 3 - 1);
  EXPECT_EQ(filter_.Transform(shortIn.sample, &output.sample), E_FAIL);
  EXPECT_EQ(filter_.Transform(in.sample, &shortOut.sample), E_FAIL);
  OwnedSample lying(16);
  lying.sample.actualLength = 320 * 240 * 2;  // more than the buffer holds
  EXPECT_EQ(filter_.Transform(lying.sample, &output.sample), E_FAIL);
  MediaSample empty;
  EXPECT_EQ(filter_.Transform(empty, &output.sample), E_POINTER);
  EXPECT_EQ(filter_.Transform(in.sample, nullptr), E_POINTER);
  EXPECT_FALSE(state_.HasFrame());
  EXPECT_EQ(filter_.Transform(in.sample, &output.sample), S_OK);
}

TEST_F(FrameFilterTest, RotationChangedAfterNegotiationStaysInsideTheBuffer) {
  // The output was negotiated for one rotation; the setters may change it
  // while frames flow. Every write must still land inside the output.
  for (const Guid& subtype : {kSubtypeYUY2, kSubtypeRGB565}) {
    for (const int negotiated : {0, 1, 2}) {
      for (const int later : {0, 1, 2, 7, -3}) {
        FilterState state;
        FrameFilter filter(state);
        state.SetGlobalRotate(negotiated);
        MediaType out;
        ASSERT_EQ(filter.SetInputType(VideoType(subtype, 320, 240, 16)), S_OK);
        ASSERT_EQ(filter.GetMediaType(0, &out), S_OK);
        state.SetGlobalRotate(later);
        const size_t bytes = static_cast<size_t>(filter.outputWidth()) * filter.outputHeight() *
                             (subtype == kSubtypeYUY2 ? 3 : 2);
        OwnedSample in(320 * 240 * 2, 100);
        std::vector<uint8_t> exact(bytes);  // exactly the frame: ASan sees any stray write
        MediaSample output;
        output.buffer = exact.data();
        output.size = static_cast<int32_t>(bytes);
        EXPECT_EQ(filter.Transform(in.sample, &output), S_OK) << negotiated << " then " << later;
      }
    }
  }
}

TEST_F(FrameFilterTest, PrivateRotationSetsTheRotationUnderTheLock) {
  int32_t rotation = 1;
  EXPECT_EQ(filter_.SetRotation(&rotation), S_OK);
  EXPECT_EQ(state_.rotation, 1);
  EXPECT_EQ(filter_.SetRotation(nullptr), E_POINTER);
  EXPECT_EQ(state_.rotation, 1);
}

TEST(FrameTransform, CentredWindowRoundsOffsetsUpToEven) {
  const struct {
    int sw, sh, ow, oh, rotation;
    int ox, oy, columns, rows;
  } cases[] = {
      {320, 240, 192, 144, 0, 64, 48, 192, 144},
      {320, 240, 144, 192, 1, 64, 48, 192, 144},
      {320, 240, 240, 320, 2, 0, 0, 320, 240},
      {30, 20, 20, 10, 0, 6, 6, 20, 10},   // halves 5 and 5 round up to 6
      {30, 20, 20, 10, 7, 10, 0, 10, 20},  // 7 turns as 2: spans exchanged
      {10, 10, 20, 20, 0, 0, 0, 10, 10},   // output larger than the input
  };
  for (const auto& c : cases) {
    const Window w = CentredWindow(c.sw, c.sh, c.ow, c.oh, c.rotation);
    EXPECT_EQ(w.ox, c.ox);
    EXPECT_EQ(w.oy, c.oy);
    EXPECT_EQ(w.columns, c.columns);
    EXPECT_EQ(w.rows, c.rows);
  }
}

}  // namespace
}  // namespace cordavex::filter
