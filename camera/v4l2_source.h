// A V4L2 video device as a frame source: "v4l2:/dev/videoN". The device's
// YUYV and MJPEG formats, with their discrete frame sizes (and the usual
// camera sizes within a stepwise range), form the capability list; frames are
// streamed through four memory-mapped buffers and delivered as YUY2 (MJPEG
// frames decoded with libjpeg).
//
// A frame the driver marks as damaged, or an MJPEG frame that does not decode,
// is skipped (a camera's bad frame is not the end of the stream); a device that
// fails (unplugged, I/O error) ends the stream with the device's error.
//
// Every kernel call goes through a VideoDevice, so tests give a recorded
// stand-in. Threads: as FrameSource; the controller from MakeController may
// be used from other threads while frames stream (the kernel serialises the
// ioctls).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "camera/frame_source.h"
#include "camera/video_device.h"

namespace cordavex::camera {

class V4l2Source : public FrameSource {
 public:
  // Number of mapped buffers asked of the driver.
  static constexpr uint32_t kBufferCount = 4;

  V4l2Source(std::string path, std::unique_ptr<VideoDevice> device);
  ~V4l2Source() override;
  V4l2Source(const V4l2Source&) = delete;
  V4l2Source& operator=(const V4l2Source&) = delete;

  std::string Name() const override { return "v4l2:" + path_; }
  platform::Status Open() override;
  std::vector<CaptureFormat> Formats() const override { return formats_; }
  platform::Status SetFormat(const CaptureFormat& format) override;
  CaptureFormat Format() const override { return format_; }
  platform::Status Start() override;
  ReadResult Read(CameraFrame& frame, std::chrono::milliseconds timeout) override;
  void Stop() override;
  bool Live() const override { return true; }
  std::unique_ptr<CameraController> MakeController() override;

  // Frames skipped as damaged since Start.
  int64_t skipped() const { return skipped_; }

 private:
  struct Buffer {
    void* address = nullptr;
    size_t length = 0;
  };
  platform::Status DeviceError(const std::string& what, int error) const;
  platform::Status Apply(const CaptureFormat& format);
  void ReleaseBuffers();

  std::string path_;
  std::unique_ptr<VideoDevice> device_;
  bool open_ = false;
  bool streaming_ = false;
  bool formatApplied_ = false;
  std::vector<CaptureFormat> formats_;
  CaptureFormat format_;
  uint32_t bytesPerLine_ = 0;
  std::vector<Buffer> buffers_;
  std::vector<uint8_t> jpegRow_;  // one decoded MJPEG row, three bytes a pixel
  bool haveFirstTime_ = false;
  int64_t firstTime_ = 0;  // the first frame's driver time, in ticks
  int64_t sequence_ = 0;
  int64_t skipped_ = 0;
};

// Decodes one MJPEG frame of exactly width × height into YUY2 (`out` holds
// width × height × 2 bytes). `row` is scratch, resized as needed. False with
// *error when the data is not a JPEG picture of that size.
bool DecodeMjpegToYuy2(const uint8_t* data, size_t size, int32_t width, int32_t height, uint8_t* out,
                       std::vector<uint8_t>& row, std::string* error);

}  // namespace cordavex::camera
