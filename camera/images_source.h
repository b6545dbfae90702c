// A folder of still pictures as a frame source: "images:DIR". The PNG, JPEG,
// PGM and PPM files of the folder (by extension, any case), in name order,
// each fitted into a 320 × 240 frame (camera-like: proportions kept, centred)
// and shown for `framesPerImage` frames at 15 frames per second; after the
// last the stream ends.
//
// The folder is listed when the source opens; a file that has vanished or
// cannot be decoded when its turn comes fails the stream with a message
// naming it.
//
// Threads: as FrameSource.
#pragma once

#include <string>
#include <vector>

#include "camera/frame_source.h"

namespace cordavex::camera {

class ImagesSource : public FrameSource {
 public:
  static constexpr int32_t kFrameWidth = 320;
  static constexpr int32_t kFrameHeight = 240;

  explicit ImagesSource(std::string folder, int framesPerImage = 15);

  std::string Name() const override { return "images:" + folder_; }
  platform::Status Open() override;
  std::vector<CaptureFormat> Formats() const override;
  platform::Status SetFormat(const CaptureFormat& format) override;
  CaptureFormat Format() const override { return format_; }
  platform::Status Start() override;
  ReadResult Read(CameraFrame& frame, std::chrono::milliseconds timeout) override;
  void Stop() override {}
  bool Live() const override { return false; }

  // The pictures found by Open, in the order they are shown.
  const std::vector<std::string>& files() const { return files_; }

 private:
  std::string folder_;
  int framesPerImage_;
  bool open_ = false;
  CaptureFormat format_{kFrameWidth, kFrameHeight, kFourccYuyv, kTicksPerSecond / 15};
  std::vector<std::string> files_;
  size_t next_ = 0;          // the picture of the next frame
  int shown_ = 0;            // frames of it delivered so far
  std::vector<uint8_t> current_;  // the current picture as a YUY2 frame
  int64_t sequence_ = 0;
};

}  // namespace cordavex::camera
