// The V4L2 source against a recorded camera: format negotiation in YUYV and
// MJPEG, streaming through mapped buffers, damaged frames, device errors, and
// the camera controls.
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "camera/camera_controller.h"
#include "camera/recorded_video_device.h"
#include "camera/v4l2_source.h"

namespace cordavex::camera {
namespace {

using test::RecordedVideoDevice;

constexpr int64_t k30Fps = kTicksPerSecond / 30;

struct Rig {
  RecordedVideoDevice* device;
  std::unique_ptr<V4l2Source> source;
};

Rig MakeRig(std::vector<RecordedVideoDevice::Format> formats) {
  auto device = std::make_unique<RecordedVideoDevice>();
  device->formats = std::move(formats);
  Rig rig{device.get(), nullptr};
  rig.source = std::make_unique<V4l2Source>("/dev/video0", std::move(device));
  return rig;
}

// A YUYV frame as the driver fills it: rows of width × 2 bytes plus padding.
std::vector<uint8_t> PaddedYuyv(int width, int height, uint32_t padding) {
  std::vector<uint8_t> bytes;
  for (int row = 0; row < height; ++row) {
    for (int i = 0; i < width * 2; ++i) bytes.push_back(static_cast<uint8_t>(row * 7 + i));
    bytes.insert(bytes.end(), padding, 0xEE);
  }
  return bytes;
}

// A colour JPEG of a horizontal grey ramp, as a webcam's MJPEG frame.
std::vector<uint8_t> RampJpeg(int width, int height) {
  jpeg_compress_struct info;
  jpeg_error_mgr error;
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    const auto grey = static_cast<uint8_t>(x * 255 / (width - 1));
    row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = grey;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

TEST(V4l2Source, NegotiatesYuyvAndStreamsThroughMappedBuffers) {
  Rig rig = MakeRig({{V4L2_PIX_FMT_YUYV, {{640, 480}, {320, 240}, {175, 144}}},
                     {V4L2_PIX_FMT_RGB24, {{320, 240}}},
                     {V4L2_PIX_FMT_MJPEG, {{320, 240}}}});
  rig.device->padding = 64;
  ASSERT_TRUE(rig.source->Open().ok());
  // YUYV and MJPEG only, odd widths left out, in the device's order.
  EXPECT_EQ(rig.source->Formats(), (std::vector<CaptureFormat>{{640, 480, kFourccYuyv, k30Fps},
                                                               {320, 240, kFourccYuyv, k30Fps},
                                                               {320, 240, kFourccMjpeg, k30Fps}}));
  ASSERT_TRUE(rig.source->SetFormat({320, 240, kFourccYuyv, k30Fps}).ok());
  EXPECT_EQ(rig.device->format().width, 320u);
  EXPECT_EQ(rig.device->format().pixelformat, static_cast<uint32_t>(V4L2_PIX_FMT_YUYV));
  const platform::Status notListed = rig.source->SetFormat({176, 144, kFourccYuyv, k30Fps});
  EXPECT_EQ(notListed.message(), "v4l2:/dev/video0: 176x144 YUYV 30 fps is not one of the device's formats");

  ASSERT_TRUE(rig.source->Start().ok());
  EXPECT_EQ(rig.device->mapped(), 4u);
  const std::vector<uint8_t> first = PaddedYuyv(320, 240, 64);
  rig.device->Record({first, 0, 5'000'000});
  rig.device->Record({PaddedYuyv(320, 240, 64), 0, 5'066'666});

  CameraFrame frame;
  ASSERT_EQ(rig.source->Read(frame, std::chrono::milliseconds(10)).outcome, ReadOutcome::kFrame);
  ASSERT_EQ(frame.yuy2.size(), 320u * 240 * 2);
  // The driver's row padding is gone.
  EXPECT_EQ(std::vector<uint8_t>(frame.yuy2.begin() + 640, frame.yuy2.begin() + 1280),
            std::vector<uint8_t>(first.begin() + 704, first.begin() + 704 + 640));
  EXPECT_EQ(frame.timestamp, 0);
  ASSERT_EQ(rig.source->Read(frame, std::chrono::milliseconds(10)).outcome, ReadOutcome::kFrame);
  EXPECT_EQ(frame.timestamp, 666'660);  // 66 666 µs later, in 100 ns ticks
  EXPECT_EQ(frame.sequence, 1);
  EXPECT_EQ(rig.source->Read(frame, std::chrono::milliseconds(10)).outcome, ReadOutcome::kTimedOut);

  rig.source->Stop();
  EXPECT_EQ(rig.device->mapped(), 0u);
  const std::vector<std::string> expected = {
      "open /dev/video0", "QUERYCAP", "ENUM_FMT", "ENUM_FRAMESIZES", "ENUM_FRAMESIZES", "ENUM_FRAMESIZES",
      "ENUM_FRAMESIZES", "ENUM_FMT", "ENUM_FMT", "ENUM_FRAMESIZES", "ENUM_FRAMESIZES", "ENUM_FMT",
      "S_FMT", "REQBUFS", "QUERYBUF", "QBUF", "QUERYBUF", "QBUF", "QUERYBUF", "QBUF", "QUERYBUF", "QBUF",
      "STREAMON", "DQBUF", "QBUF", "DQBUF", "QBUF", "STREAMOFF", "REQBUFS"};
  EXPECT_EQ(rig.device->log(), expected);
}

TEST(V4l2Source, DecodesMjpegAndSkipsDamagedFrames) {
  Rig rig = MakeRig({{V4L2_PIX_FMT_MJPEG, {{320, 240}}}});
  ASSERT_TRUE(rig.source->Open().ok());
  ASSERT_EQ(rig.source->Format(), (CaptureFormat{320, 240, kFourccMjpeg, k30Fps}));
  // Start applies the first listed format by itself.
  ASSERT_TRUE(rig.source->Start().ok());
  EXPECT_EQ(rig.device->format().pixelformat, static_cast<uint32_t>(V4L2_PIX_FMT_MJPEG));

  const std::vector<uint8_t> jpeg = RampJpeg(320, 240);
  rig.device->Record({jpeg, V4L2_BUF_FLAG_ERROR, 0});                       // marked damaged
  rig.device->Record({std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20), 0, 1});  // cut short
  rig.device->Record({RampJpeg(160, 120), 0, 2});                           // not the size set
  rig.device->Record({jpeg, 0, 3});
  CameraFrame frame;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rig.source->Read(frame, std::chrono::milliseconds(10)).outcome, ReadOutcome::kTimedOut);
  }
  EXPECT_EQ(rig.source->skipped(), 3);
  ASSERT_EQ(rig.source->Read(frame, std::chrono::milliseconds(10)).outcome, ReadOutcome::kFrame);
  EXPECT_EQ(frame.sequence, 0);
  // The ramp's luma, and no colour.
  for (int x : {0, 100, 319}) {
    const int y = frame.yuy2[static_cast<size_t>((120 * 320 + x) * 2)];
    EXPECT_NEAR(y, x * 255 / 319, 3) << x;
  }
  EXPECT_NEAR(frame.yuy2[static_cast<size_t>(120 * 320 * 2 + 1)], 128, 2);
  EXPECT_NEAR(frame.yuy2[static_cast<size_t>(120 * 320 * 2 + 3)], 128, 2);
}

TEST(V4l2Source, OffersTheCameraSizesOfAStepwiseRange) {
  RecordedVideoDevice::Format format{V4L2_PIX_FMT_YUYV, {}, true, {160, 640, 16, 120, 480, 8}};
  Rig rig = MakeRig({format});
  ASSERT_TRUE(rig.source->Open().ok());
  std::vector<std::pair<int, int>> sizes;
  for (const CaptureFormat& f : rig.source->Formats()) sizes.emplace_back(f.width, f.height);
  // 180 rows are off the 8-row grid; 144 and 120 columns below the range.
  EXPECT_EQ(sizes,
            (std::vector<std::pair<int, int>>{{640, 480}, {320, 240}, {240, 320}, {176, 144}, {160, 120}}));
}

TEST(V4l2Source, DeviceErrorsComeBackClearly) {
  struct Case {
    const char* name;
    void (*arrange)(RecordedVideoDevice&);
    const char* message;  // from Open, or else from Start, or else from Read
  };
  const Case cases[] = {
      {"missing", [](RecordedVideoDevice& d) { d.openError = ENOENT; },
       "v4l2:/dev/video0: cannot open the device: No such file or directory"},
      {"no permission", [](RecordedVideoDevice& d) { d.openError = EACCES; },
       "cannot open the device: Permission denied (is the user in the video group?)"},
      {"not v4l2", [](RecordedVideoDevice& d) { d.failures[VIDIOC_QUERYCAP] = ENOTTY; },
       "not a V4L2 device: Inappropriate ioctl for device"},
      {"output only", [](RecordedVideoDevice& d) { d.capabilities = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING; },
       "the device does not capture video"},
      {"read only", [](RecordedVideoDevice& d) { d.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE; },
       "cannot stream through mapped buffers"},
      {"rgb only", [](RecordedVideoDevice& d) { d.formats = {{V4L2_PIX_FMT_RGB24, {{320, 240}}}}; },
       "the device offers no YUYV or MJPEG frame size"},
      {"listing fails", [](RecordedVideoDevice& d) { d.failures[VIDIOC_ENUM_FMT] = EIO; },
       "listing the pixel formats failed: Input/output error"},
      {"size adjusted", [](RecordedVideoDevice& d) { d.adjustWidth = 32; },
       "asked for 320x240 YUYV 30 fps, the driver gave 352x240 YUYV"},
      {"format busy", [](RecordedVideoDevice& d) { d.failures[VIDIOC_S_FMT] = EBUSY; },
       "setting 320x240 YUYV 30 fps failed: Device or resource busy"},
      {"one buffer", [](RecordedVideoDevice& d) { d.grantedBuffers = 1; },
       "the driver gave 1 buffer(s); streaming needs two"},
      {"no stream", [](RecordedVideoDevice& d) { d.failures[VIDIOC_STREAMON] = ENOSPC; },
       "starting the stream failed: No space left on device"},
      {"unplugged", [](RecordedVideoDevice& d) { d.failures[VIDIOC_DQBUF] = ENODEV; },
       "taking a frame failed: No such device"},
      {"poll fails", [](RecordedVideoDevice& d) { d.waitError = EIO; },
       "waiting for a frame failed: Input/output error"},
  };
  for (const Case& c : cases) {
    Rig rig = MakeRig({{V4L2_PIX_FMT_YUYV, {{320, 240}}}});
    c.arrange(*rig.device);
    rig.device->Record({PaddedYuyv(320, 240, 0), 0, 0});
    std::string message;
    platform::Status status = rig.source->Open();
    if (status.ok()) status = rig.source->Start();
    if (status.ok()) {
      CameraFrame frame;
      const ReadResult read = rig.source->Read(frame, std::chrono::milliseconds(10));
      ASSERT_EQ(read.outcome, ReadOutcome::kFailed) << c.name;
      status = read.error;
    }
    ASSERT_FALSE(status.ok()) << c.name;
    EXPECT_NE(status.message().find(c.message), std::string::npos) << c.name << ": " << status.message();
    // Whatever failed, nothing stays mapped once stopped.
    rig.source->Stop();
    EXPECT_EQ(rig.device->mapped(), 0u) << c.name;
  }
}

TEST(V4l2Source, ControlsMapOntoTheDevicesControls) {
  Rig rig = MakeRig({{V4L2_PIX_FMT_YUYV, {{320, 240}}}});
  auto control = [](uint32_t id, int32_t min, int32_t max, int32_t step, int32_t value) {
    v4l2_queryctrl q{};
    q.id = id;
    q.minimum = min;
    q.maximum = max;
    q.step = step;
    q.default_value = value;
    return q;
  };
  rig.device->controls[V4L2_CID_ZOOM_ABSOLUTE] = control(V4L2_CID_ZOOM_ABSOLUTE, 100, 500, 1, 100);
  rig.device->controls[V4L2_CID_FOCUS_ABSOLUTE] = control(V4L2_CID_FOCUS_ABSOLUTE, 0, 250, 5, 0);
  rig.device->controls[V4L2_CID_FOCUS_AUTO] = control(V4L2_CID_FOCUS_AUTO, 0, 1, 1, 1);
  rig.device->controls[V4L2_CID_BRIGHTNESS] = control(V4L2_CID_BRIGHTNESS, -64, 64, 1, 0);
  ASSERT_TRUE(rig.source->Open().ok());
  std::unique_ptr<CameraController> controller = rig.source->MakeController();
  ASSERT_TRUE(controller->HasCameraControl());
  ASSERT_TRUE(controller->HasProcAmp());
  ControlRange range;
  ASSERT_EQ(controller->GetCameraRange(kCameraZoom, &range), filter::S_OK);
  EXPECT_EQ(range.min, 100);
  EXPECT_EQ(range.max, 500);
  EXPECT_EQ(range.step, 1);
  EXPECT_EQ(controller->SetCamera(kCameraZoom, 300, kFlagsManual), filter::S_OK);
  EXPECT_EQ(controller->SetCamera(kCameraZoom, 900, kFlagsManual), filter::E_INVALIDARG);
  EXPECT_EQ(controller->SetCamera(kCameraFocus, 2, kFlagsManual), filter::S_OK);
  EXPECT_EQ(rig.device->values()[V4L2_CID_FOCUS_AUTO], 0);
  EXPECT_EQ(controller->SetCamera(kCameraFocus, 0, kFlagsAuto), filter::S_OK);
  EXPECT_EQ(rig.device->values()[V4L2_CID_FOCUS_AUTO], 1);
  EXPECT_EQ(rig.device->values()[V4L2_CID_FOCUS_ABSOLUTE], 2);
  EXPECT_EQ(rig.device->values()[V4L2_CID_ZOOM_ABSOLUTE], 300);
  int32_t value = 0, flags = 0;
  ASSERT_EQ(controller->GetProcAmp(kBrightness, &value, &flags), filter::S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(controller->SetProcAmp(kBrightness, 40, kFlagsManual), filter::S_OK);
  EXPECT_EQ(rig.device->values()[V4L2_CID_BRIGHTNESS], 40);
  // What V4L2 has no control for.
  EXPECT_EQ(controller->SetCamera(kCameraFocusMode, 1, kFlagsManual), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(controller->GetProcAmp(kGamma, &value, &flags), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(controller->GetCameraRange(kCameraRoll, &range), E_PROP_ID_UNSUPPORTED);
}

}  // namespace
}  // namespace cordavex::camera
